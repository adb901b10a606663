#pragma once

// The pattern setup editor's model: working copies of the palette, creel, machine table and
// design table, the three grids it shows them in, and what each edit does to them. The
// window draws the cells this model answers and passes its input on.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editors/SetupEditor.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/PalettePaintBox.h"

namespace quillane {

enum class TSetupGrid : uint8_t { Creel, MachineTable, DesignTable };

// The four objects the editor imports and exports, in the order of its menus.
enum class TSetupObject : uint8_t { Creel, DesignTable, MachineTable, Palette };
// Each object's name (for its menu entries' names) and its Import and Export entries' texts.
struct TSetupObjectItem {
  TSetupObject Object;
  const char* Name;
  const char* Import;
  const char* Export;
};
inline constexpr TSetupObjectItem SetupObjectItems[] = {
    {TSetupObject::Creel, "Creel", "Import Creel Data", "Export Creel Data"},
    {TSetupObject::DesignTable, "DesignTable", "Import Design Table Data",
     "Export Design Table Data"},
    {TSetupObject::MachineTable, "MachineTable", "Import Machine Table Data",
     "Export Machine Table Data"},
    {TSetupObject::Palette, "Palette", "Import Palette Data", "Export Palette Data"},
};

// One cell of a grid as it is drawn. A coloured cell is filled with Fill; a grey one is a
// combination the creel never uses.
struct TSetupCell {
  std::string Text;
  bool Coloured = false;
  uint32_t Fill = 0;
  bool Grey = false;
};

// What an edit changed on screen: grids to draw again whole, and design table columns whose
// colour alone changed. Nothing when the edit changed nothing.
struct TSetupRedraw {
  std::vector<TSetupGrid> Grids;
  std::vector<int> DesignColumns;
  explicit operator bool() const { return !Grids.empty() || !DesignColumns.empty(); }
};

class OPatternSetupEditor : public OSetupEditor {
public:
  // Empty copies: the window attaches itself, then Reload takes the pattern's objects.
  explicit OPatternSetupEditor(OPattern& pattern);
  ~OPatternSetupEditor() override;
  std::string ApplyLabel() const override { return "Apply Pattern Setup"; }

  static constexpr int MinColours = 4, MaxColours = 64;
  static constexpr int MinYarnTypes = 1, MaxYarnTypes = 99;
  static constexpr int MaxRepeatSize = 99;
  // The design table's row of colours, the one a click changes.
  static constexpr int DesignColourRow = 4;

  std::unique_ptr<OCreel> WorkingCreel;
  std::unique_ptr<ODesignTable> WorkingDesignTable;
  std::unique_ptr<OMachineTable> WorkingMachineTable;
  std::unique_ptr<OPalette> WorkingPalette;
  // Draws WorkingPalette and holds the colours of the two mouse buttons.
  OPalettePaintBox Strip;
  // The row selected in the yarn types list: the yarn type a creel click puts in, less 1.
  int YarnTypeRow = 0;

  // The values the boxes and lists show.
  int NoColours() const { return WorkingPalette->NoColours(); }
  int NoYarnTypes() const { return WorkingMachineTable->NoYarnTypes(); }
  int RepeatSize() const { return WorkingCreel->RepeatSize; }
  bool UndefinedEnabled() const;
  std::vector<std::string> UndefinedItems() const;
  int UndefinedIndex() const;
  bool DesignTableVisible() const;
  int YarnTypeRows() const { return WorkingCreel->NoYarnTypes(); }

  // After the pattern changed, and on opening: the working copies follow its counts.
  void Refresh();

  // The grids: columns include the title column 0, which the window draws itself.
  int ColumnCount(TSetupGrid grid) const;
  static int RowCount(TSetupGrid grid);
  static const char* RowTitle(TSetupGrid grid, int row);
  // Computed for the one cell asked for, so a grid of any width costs only what is seen.
  TSetupCell Cell(TSetupGrid grid, int row, int column) const;
  bool YarnPairInUse(int oddYarnType, int evenYarnType) const;
  // The design table column of a combination and of its mirror (the controls exchanged).
  int DesignColumn(const TDesignCombination& combination) const;
  int MirrorColumn(int designColumn) const;
  // A click on a column with a mouse button; the title column and anything outside the
  // grid change nothing. A creel click changes the pairs the design table greys; a machine
  // table click the creel's colours; a design table click a column and its mirror.
  TSetupRedraw Click(TSetupGrid grid, int column, TMouseButton button);
  // A drag over the creel from column `from` on to column `to` (the mouse may skip
  // columns): every control between them, both included, takes the selected yarn type, as a
  // click on each would give it. The tables take single clicks only.
  TSetupRedraw Drag(TSetupGrid grid, int from, int to);
  // The column a drag is at with the mouse over column `at` (0 over the row titles or left
  // of them, -1 past the last column): past the last counts as the last, left of the cells
  // as the first in sight, so a fast sweep off either end still reaches it.
  static int DraggedTo(int at, int firstInSight, int columns);

  // Leaving the boxes. A value outside its range shows the range error and changes
  // nothing; an unchanged value changes nothing either. True when something changed.
  bool SetNoColours(int n);
  bool SetNoYarnTypes(int n);
  bool SetRepeatSize(int n);
  void SetUndefinedIndex(int index);
  // Repeats the first RepeatSize controls' yarn types across the creel.
  void Repeat();
  // The Repeat button: the size box is stored first, as leaving it would store it; a size
  // the box refused repeats nothing. True when the repeat ran.
  bool RepeatWith(std::optional<int> size);
  // After the strip handled a press.
  void StripPressed();

  void Import(TSetupObject object);
  void Export(TSetupObject object);

protected:
  void LoadCopies() override;
  void StoreData() override;
  void ApplyToPattern() override;
  // Fewer colours drop the cells of a colour pattern painted with the colours that go.
  bool ConfirmApply() override;

private:
  std::optional<TYarnPairs> YarnPairs;
  void RebuildYarnPairs();
  ODesignData& Object(TSetupObject object);
};

// How many cells of a colour pattern hold a colour above `noColours`.
int64_t CellsAboveColours(const OPattern& pattern, int noColours);

} // namespace quillane
