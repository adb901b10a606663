#pragma once

#include <memory>

#include "editors/PatternSetupEditor.h"
#include "ui/NumberBox.h"
#include "ui/SetupForm.h"

class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;

namespace quillane {

class OPatternSetupUI;
class TPaletteStrip;
class TSetupGridView;

// The pattern setup editor: the palette, creel, machine table and design table of a pattern
// in one window. The three grids show the editor model's cells, a screenful at a time.
class TfmPatternSetup : public TfmSetupForm {
  Q_OBJECT
public:
  explicit TfmPatternSetup(OPatternSetupUI& controller);
  ~TfmPatternSetup() override;

  OPatternSetupEditor& Editor() { return *Model; }

  TNumberBox* edNoColors;
  TNumberBox* edNoYarnTypes;
  QComboBox* cbUndefined;
  TPaletteStrip* pbPalette;
  QListWidget* sgYarnTypes;
  // Each grid asks the editor only for the cells it shows.
  TSetupGridView* sgCreel;
  TSetupGridView* sgMV;
  TSetupGridView* sgDV;
  QPushButton* buRepeat;
  TNumberBox* edRepeatSize;
  // Made on first use, as few openings use them.
  QMenu* pmImport = nullptr;
  QMenu* pmExport = nullptr;
  void MakeMenus();

  void Refresh() override;
  void ShowData() override;
  void RefreshGrids() override;

protected:
  void ImportClick() override;
  void ExportClick() override;
  // Stores the boxes' values directly, so losing activation never takes the focus back.
  void CommitEdit() override;
  QWidget* FirstField() override;

private:
  std::unique_ptr<OPatternSetupEditor> Model;
  bool Showing = false;
  bool Attaching = false;
  QLabel* DesignLabel;
  void FillUndefined();
  void FillYarnTypes();
  void Clicked(TSetupGrid grid, int column, Qt::MouseButton button);
  void Redraw(const TSetupRedraw& redraw);
  TSetupGridView& GridView(TSetupGrid grid) const {
    return *(grid == TSetupGrid::Creel ? sgCreel : grid == TSetupGrid::MachineTable ? sgMV : sgDV);
  }
};

} // namespace quillane
