#pragma once

#include <QImage>
#include <QWidget>

#include "data/PatternEvents.h"
#include "editors/ViewGeometry.h"
#include "preview/Preview.h"
#include "ui/DesignForm.h"

class QDoubleSpinBox;
class QSpinBox;
class QTableWidget;

namespace quillane {

class OPreviewUI;

// The goods as the canvas holds them; a drag pans, the wheel zooms about the pointer.
class TPreviewBox : public QWidget {
  Q_OBJECT
public:
  TPreviewBox(QWidget* parent, OPreviewCanvas& canvas);
  OPreviewCanvas& Canvas;

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

// "Preview": the picture's pattern as carpet, following every change of the pattern.
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
  TPreviewBox* pbPreview;
  // A row a state: its name, its tuft (Loop, Cut, Bare) and its pile height in mm.
  QTableWidget* tbPiles;

  const OPreviewCanvas& Shown() const { return Canvas; }
  void RefreshGrids() override;
  // Writes the whole goods to a PNG file of the chosen size and dots per inch.
  void ExportImage(const std::string& path);

protected:
  void Destroy() override;

private:
  OPattern& Pattern;
  OPreview Carpet;
  OPreviewCanvas Canvas;
  OPatternEvents::TSubscription Subscription;
  void Changed(const TPatternChange& change);
  void ShowPiles();
  // The user chose a tuft or height for the state in `row`: it holds for the state's name
  // from now on.
  void PileChosen(int row);
};

} // namespace quillane
