#pragma once

#include <array>
#include <memory>
#include <vector>

#include <QWidget>

#include "editors/ColourwaysEditor.h"
#include "editors/ViewGeometry.h"
#include "preview/Preview.h"
#include "ui/DesignForm.h"
#include "ui/PreviewForm.h"

class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;

namespace quillane {

class TfmColourways;

// One colourway's pile preview; a drag or the wheel moves every preview of the window alike.
class TColourwayBox : public TPreviewBox {
  Q_OBJECT
public:
  TColourwayBox(QWidget* parent, TfmColourways& form, OPreviewCanvas& canvas);

protected:
  void Pan(int dx, int dy) override;
  void Zoom(int x, int y, int steps) override;

private:
  TfmColourways& Form;
};

// "Colourways": the pattern's colourings, a swatch per yarn type of the one selected, and a
// pile preview of each side by side.
class TfmColourways : public TfmEditorForm {
  Q_OBJECT
public:
  explicit TfmColourways(ODesignUI& controller);
  ~TfmColourways() override;

  QListWidget* lbColourways;
  QLineEdit* edName;
  QLabel* laProblem;
  QToolButton *buAdd, *buDuplicate, *buRename, *buDelete, *buMoveUp, *buMoveDown, *buShowInViews,
      *buMakePalette;
  // A row a yarn type: its name, its swatch (a click: the colour dialog), a field for
  // #RRGGBB or the shade code, and the look-alike mark.
  struct TSwatchRow {
    QLabel* Name;
    QToolButton* Swatch;
    QLineEdit* Text;
    QLabel* Close;
  };
  std::vector<TSwatchRow> Swatches;
  std::vector<TColourwayBox*> Previews;

  OColourwaysEditor& Editor() { return *Model; }
  void RefreshGrids() override;
  // Every preview moves as one.
  void PanAll(int dx, int dy);
  void ZoomAll(int x, int y, int steps);

protected:
  void Destroy() override;

private:
  std::unique_ptr<OColourwaysEditor> Model;
  OPatternEvents::TSubscription Subscription;
  QWidget* SwatchPanel;
  QGridLayout* SwatchGrid;
  QWidget* PreviewPanel;
  QGridLayout* PreviewGrid;
  struct TPreviewOf {
    std::unique_ptr<OPreview> Carpet;
    std::unique_ptr<OPreviewCanvas> Canvas;
    std::array<uint32_t, 256> Colours{};
  };
  std::vector<TPreviewOf> Carpets;
  std::vector<std::string> PreviewNames;
  bool Filling = false;
  // Shows a command's refusal, or clears the last one.
  void Say(const std::string& why);
  void FillList();
  void FillSwatches();
  void FillPreviews();
  // Each preview in its colourway's colours, drawn again where they changed (or all).
  void ColourPreviews(bool all = false);
  void Changed(const TPatternChange& change);
  void PickColour(int yarnType);
};

} // namespace quillane
