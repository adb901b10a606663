#pragma once

#include <QImage>
#include <QWidget>
#include <array>
#include <functional>

#include "data/PatternEvents.h"
#include "editors/ViewGeometry.h"
#include "preview/Preview.h"
#include "preview/StrikeOffEditor.h"
#include "ui/DesignForm.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class QTimer;

namespace quillane {

class OPreviewUI;

// The goods as the canvas holds them; a drag pans, the wheel zooms about the pointer.
class TPreviewBox : public QWidget {
  Q_OBJECT
public:
  TPreviewBox(QWidget* parent, OPreviewCanvas& canvas);
  OPreviewCanvas& Canvas;
  // The scale bar drawn over the picture at the canvas's scale; none when not set.
  std::function<TScaleBar(double)> ScaleBarOf;
  // Where it is drawn, within the box's bottom left corner.
  static constexpr int ScaleBarMargin = 12, ScaleBarHeight = 34;

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  // What a drag and a wheel notch do: this box's goods alone, unless told otherwise.
  virtual void Pan(int dx, int dy);
  virtual void Zoom(int x, int y, int steps);

private:
  QPoint DragFrom;
  bool Dragging = false;
  OWheelSteps Wheel;
};

// "Preview": the picture's pattern as carpet, following every change of the pattern: the goods
// off the machine, or a strike-off of them cut into tiles or laid in broadloom widths.
class TfmPreview : public TfmEditorForm {
  Q_OBJECT
public:
  explicit TfmPreview(OPreviewUI& controller);

  QToolButton* buZoomIn;
  QToolButton* buZoomOut;
  QToolButton* buFit;
  QDoubleSpinBox* edWidth; // m of goods; 0 the pattern alone
  QSpinBox* edSize;        // pixels of an exported image's longer side
  QSpinBox* edDpi;
  QToolButton* buExport;
  QToolButton* buPrint;
  QToolButton* buSavePdf;
  TPreviewBox* pbPreview;
  // The strike-off: what is shown, the tiles and their installations with each one's score,
  // the broadloom widths, the room, and what the tiles or widths make of the repeat.
  QComboBox* cbCarpet;
  QComboBox* cbTileSize;
  std::array<QRadioButton*, 4> rbInstall{};
  std::array<QLabel*, 4> lbScore{};
  QCheckBox* cbJoins;
  QComboBox* cbBroadloom;
  QComboBox* cbMatch;
  QLineEdit* edBow;
  QLineEdit* edSkew;
  QLineEdit* edRoom;
  QLabel* lbTileCut;
  QLabel* lbRepeatFit;
  // A row a state: its name, its tuft (Loop, Cut, Bare) and its pile height in mm.
  QTableWidget* tbPiles;

  const OPreviewCanvas& Shown() const { return Canvas; }
  const OStrikeOffEditor& StrikeOff() const { return Strike; }
  void RefreshGrids() override;
  // Writes the whole picture shown (the goods or the room) to a PNG file of the chosen size
  // and dots per inch, with progress that can be cancelled.
  void ExportImage(const std::string& path);
  // The part the box shows, at true size.
  void SavePdf(const std::string& path);
  void Print();

protected:
  void Destroy() override;

private:
  OPattern& Pattern;
  OPreview Carpet;
  OPreviewCanvas Canvas;
  OStrikeOffEditor Strike;
  // Scores compared again once painting pauses, not at every stroke.
  QTimer* ScoreTimer;
  std::pair<int64_t, int64_t> ShownSize; // the picture's, in um
  OPatternEvents::TSubscription Subscription;
  void Changed(const TPatternChange& change);
  QWidget* MakeStrikeOffPanel();
  // A typed size went to the model: its problem shown, the field showing what holds.
  void Typed(QWidget* field, const std::string& problem);
  // The picture and the fields after the strike-off changed.
  void StrikeOffChanged();
  void ShowStrikeOffFields();
  void ShowPiles();
  // The user chose a tuft or height for the state in `row`: it holds for the state's name
  // from now on.
  void PileChosen(int row);
};

} // namespace quillane
