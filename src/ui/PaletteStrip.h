#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

class QLabel;

#include "setup/PalettePaintBox.h"

namespace quillane {

class OPalette;

// The palette strip on screen: draws the strip's cells, passes the mouse on and shows the
// hint of the cell under the mouse in the main window's status bar.
class TPaletteStrip : public QWidget {
  Q_OBJECT
public:
  TPaletteStrip(QWidget* parent, OPalette* palette, bool editable);
  // Shows and drives a strip logic that an editor model keeps.
  TPaletteStrip(QWidget* parent, OPalettePaintBox& box);
  ~TPaletteStrip() override;

  OPalettePaintBox& Box() { return *Strip; }
  void SetPalette(OPalette* palette);

signals:
  // After the strip handled a press.
  void Pressed();

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

private:
  std::unique_ptr<OPalettePaintBox> Owned;
  OPalettePaintBox* Strip;
  TSubscription Subscription;
  // The hint last put on the status bar and where the mouse was: while the bar still shows
  // it, a repaint (the colours or the buttons changed) shows it anew.
  QPointer<QLabel> StatusLabel;
  QString ShownHint;
  QPoint HintAt;
  void Press(QMouseEvent* event, uint32_t shift);
  void ShowHint();
};

} // namespace quillane
