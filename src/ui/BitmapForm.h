#pragma once

#include <QDialog>
#include <QImage>
#include <memory>
#include <optional>

#include "elements/BitmapMapping.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;
class QSpinBox;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace quillane {

class ORegion;
class TPaletteStrip;
class TBitmapPreview;
class TfmBitmap;

// One of the import window's two colour columns: the drawing's colours, or the palette
// colours assigned to them with their numbers.
class TColourColumn : public QWidget {
  Q_OBJECT
public:
  TColourColumn(TfmBitmap& form, bool palette, const char* name);
  // The row the keyboard works on.
  int Current = 1;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

private:
  TfmBitmap& Form;
  bool Palette;
  void Hint(int row);
  void Changed(int row);
};

// "Import Bitmap": a drawing's colours against the pattern's palette. The user corrects
// the assignment, may take the drawing's colours into a working copy of the palette, and
// applies; nothing in the pattern changes before that.
class TfmBitmap : public QDialog {
  Q_OBJECT
public:
  TfmBitmap(ORegion& region, OBitmap24 bitmap, QWidget* parent = nullptr);
  ~TfmBitmap() override;

  // Loads the file the region names, shows the window modally and applies what the user
  // chose. A file that cannot be read is reported with its own message. The view starts as
  // `machine` says when given (a window shows the picture so), else as the last import left it.
  static void Execute(ORegion& region, QWidget* parent, std::optional<bool> machine = {});

  OBitmapMapping Work;

  QToolBar* ToolBar1;
  QToolButton *buPalette, *buCancel, *buApply;
  QRadioButton *rbDesign, *rbMachine;
  // How the colours are assigned, and whether the preview shows the drawing or its cells.
  QComboBox *cbColours, *cbDither;
  QSpinBox* seReduce;
  QCheckBox *cbTakeColours, *cbOriginal;
  QLabel* lbUnstated;
  TBitmapPreview* imBitmap;
  TPaletteStrip* pbPalette;
  TColourColumn *pbBitmapColours, *pbPaletteColours;
  QStatusBar* StatusBar1;

  // The user's choice carried out: the mapping applied under a progress report.
  void ApplyChoice();
  // The cells again after the assignment changed, and the preview with them.
  void CellsChanged();

public slots:
  // The close box and Escape: "Apply changes" decides, unless a button already did.
  void reject() override;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

private:
  TCellValues Cells;
  void ShowHint(const std::string& text);
  void Repaint();
  // The controls' choices into the mapping, the ini and the enabled controls.
  void Choose();
  TImportChoices Chosen() const;
};

// "Export Mode": which view a state pattern's bitmap export shows.
class TfmExportMode : public QDialog {
  Q_OBJECT
public:
  explicit TfmExportMode(QWidget* parent = nullptr);
  QRadioButton *rbMachineView, *rbDesignView;
  // False when cancelled.
  static bool Ask(QWidget* parent, bool& machine);
};

} // namespace quillane
