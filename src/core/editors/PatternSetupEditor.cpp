#include "editors/PatternSetupEditor.h"

#include <algorithm>

#include "app/App.h"
#include "app/Exceptions.h"
#include "model/Pattern.h"

namespace quillane {

namespace {
// The text a numeric box's range error shows.
constexpr const char* RangeErrorText = "Range check error";

bool InRange(int n, int lowest, int highest) {
  if (n >= lowest && n <= highest)
    return true;
  g.UI().ShowError(RangeErrorText);
  return false;
}

TSetupCell ColourCell(const OPalette& palette, int index) {
  return {std::to_string(index), true, palette.GetColour(index), false};
}
} // namespace

OPatternSetupEditor::OPatternSetupEditor(OPattern& pattern)
    : OSetupEditor(pattern), WorkingCreel(std::make_unique<OCreel>(&pattern)),
      WorkingDesignTable(std::make_unique<ODesignTable>(&pattern)),
      WorkingMachineTable(std::make_unique<OMachineTable>(&pattern)),
      WorkingPalette(std::make_unique<OPalette>(&pattern)), Strip(WorkingPalette.get(), true) {}

OPatternSetupEditor::~OPatternSetupEditor() = default;

bool OPatternSetupEditor::UndefinedEnabled() const {
  return Pattern.PatternMode == pmStates;
}

std::vector<std::string> OPatternSetupEditor::UndefinedItems() const {
  std::vector<std::string> items;
  for (int s = 1; s <= Pattern.NoStates; ++s)
    items.push_back(std::to_string(s) + " - " + Pattern.GetStateName(s));
  return items;
}

int OPatternSetupEditor::UndefinedIndex() const {
  return std::max(WorkingMachineTable->UndefinedState() - 1, 0);
}

bool OPatternSetupEditor::DesignTableVisible() const {
  return Pattern.PatternMode != pmColours;
}

void OPatternSetupEditor::Refresh() {
  WorkingCreel->Update();
  WorkingPalette->Update();
  WorkingMachineTable->Update();
  WorkingDesignTable->Update();
  RebuildYarnPairs();
}

void OPatternSetupEditor::LoadCopies() {
  WorkingCreel->Assign(*Pattern.Creel);
  WorkingDesignTable->Assign(*Pattern.DesignTable);
  WorkingMachineTable->Assign(*Pattern.MachineTable);
  WorkingPalette->Assign(*Pattern.Palette);
  WorkingCreel->Validate();
  WorkingMachineTable->Validate();
  WorkingDesignTable->Validate();
  Strip.CheckSelection();
  RebuildYarnPairs();
}

void OPatternSetupEditor::StoreData() {
  WorkingDesignTable->BuildStateTables();
  Pattern.Creel->Assign(*WorkingCreel);
  Pattern.DesignTable->Assign(*WorkingDesignTable);
  Pattern.MachineTable->Assign(*WorkingMachineTable);
  Pattern.Palette->Assign(*WorkingPalette);
}

void OPatternSetupEditor::ApplyToPattern() {
  Pattern.ApplyCreel();
  Pattern.ApplyDesignTable();
  Pattern.ApplyMachineTable();
  Pattern.ApplyPalette();
  // The cells agreed to go are cleared rather than kept unseen until a save drops them.
  if (Pattern.PatternMode == pmColours)
    for (int p = 1; p <= Pattern.NoPLines; ++p)
      for (int c = 1; c <= Pattern.NoControls; ++c)
        if (Pattern.GetMachineColour(c, p) > Pattern.NoColours)
          Pattern.SetMachineColour(c, p, 0);
  Pattern.Changed({TDesignRecordKind::Creel, TDesignRecordKind::DesignTable,
                   TDesignRecordKind::MachineTable, TDesignRecordKind::Palette});
}

bool OPatternSetupEditor::ConfirmApply() {
  const int n = WorkingPalette->NoColours();
  return ConfirmCellLoss("Reduce the palette to " + std::to_string(n) + " colours",
                         "painted with the colours above it", CellsAboveColours(Pattern, n));
}

int64_t CellsAboveColours(const OPattern& pattern, int noColours) {
  if (pattern.PatternMode != pmColours)
    return 0; // a state pattern keeps its states; only the table's colours go
  int64_t count = 0;
  for (int p = 1; p <= pattern.NoPLines; ++p) {
    const uint8_t* row = pattern.MachineColours.Row(p);
    count += std::count_if(row + 1, row + pattern.NoControls + 1,
                           [noColours](uint8_t v) { return v > noColours; });
  }
  return count;
}

void OPatternSetupEditor::RebuildYarnPairs() {
  YarnPairs.emplace(*WorkingCreel);
  YarnTypeRow = std::clamp(YarnTypeRow, 0, std::max(YarnTypeRows() - 1, 0));
}

bool OPatternSetupEditor::YarnPairInUse(int oddYarnType, int evenYarnType) const {
  return YarnPairs && YarnPairs->InUse(oddYarnType, evenYarnType);
}

int OPatternSetupEditor::DesignColumn(const TDesignCombination& c) const {
  const int y = WorkingDesignTable->NoYarnTypes(), s = WorkingDesignTable->NoStates();
  return (((c.OddYarnType - 1) * y + c.EvenYarnType - 1) * s + c.OddState - 1) * s + c.EvenState;
}

int OPatternSetupEditor::MirrorColumn(int designColumn) const {
  const TDesignCombination c =
      WorkingDesignTable->CombinationAt(static_cast<size_t>(designColumn - 1));
  return DesignColumn({c.EvenYarnType, c.OddYarnType, c.EvenState, c.OddState});
}

int OPatternSetupEditor::ColumnCount(TSetupGrid grid) const {
  switch (grid) {
  case TSetupGrid::Creel:
    return WorkingCreel->NoControls() + 1;
  case TSetupGrid::MachineTable:
    return WorkingMachineTable->NoYarnTypes() * WorkingMachineTable->NoStates() + 1;
  case TSetupGrid::DesignTable:
    return static_cast<int>(WorkingDesignTable->NoCombinations()) + 1;
  }
  return 1;
}

int OPatternSetupEditor::RowCount(TSetupGrid grid) {
  return grid == TSetupGrid::DesignTable ? 5 : 3;
}

const char* OPatternSetupEditor::RowTitle(TSetupGrid grid, int row) {
  static const char* const creel[] = {"Control", "Yarn Type", "Color"};
  static const char* const machine[] = {"Yarn Type", "State", "Palette Entry"};
  static const char* const design[] = {"Odd Yarn Type", "Odd State", "Even Yarn Type", "Even State",
                                       "Palette Entry"};
  if (row < 0 || row >= RowCount(grid))
    return "";
  switch (grid) {
  case TSetupGrid::Creel:
    return creel[row];
  case TSetupGrid::MachineTable:
    return machine[row];
  case TSetupGrid::DesignTable:
    return design[row];
  }
  return "";
}

TSetupCell OPatternSetupEditor::Cell(TSetupGrid grid, int row, int column) const {
  if (column < 1 || column >= ColumnCount(grid))
    return {};
  if (grid == TSetupGrid::Creel) {
    const OYarnType y = WorkingCreel->YarnTypeEntry(column);
    if (row == 0)
      return {std::to_string(column)};
    if (row == 1)
      return {YarnTypeLetter(y)};
    return {"", true, WorkingPalette->GetColour(WorkingMachineTable->ColourEntry(y, 1)), false};
  }
  if (grid == TSetupGrid::MachineTable) {
    const int states = WorkingMachineTable->NoStates();
    const int y = (column - 1) / states + 1;
    const int s = (column - 1) % states + 1;
    if (row == 0)
      return {YarnTypeLetter(static_cast<OYarnType>(y))};
    if (row == 1)
      return {Pattern.GetStateName(s)};
    return ColourCell(*WorkingPalette, WorkingMachineTable->ColourEntry(y, s));
  }
  const TDesignCombination c = WorkingDesignTable->CombinationAt(static_cast<size_t>(column - 1));
  if (row == 4)
    return ColourCell(*WorkingPalette, WorkingDesignTable->ColourEntry(
                                           c.OddYarnType, c.EvenYarnType, c.OddState, c.EvenState));
  TSetupCell cell;
  switch (row) {
  case 0:
    cell.Text = YarnTypeLetter(static_cast<OYarnType>(c.OddYarnType));
    break;
  case 1:
    cell.Text = Pattern.GetStateName(c.OddState);
    break;
  case 2:
    cell.Text = YarnTypeLetter(static_cast<OYarnType>(c.EvenYarnType));
    break;
  default:
    cell.Text = Pattern.GetStateName(c.EvenState);
    break;
  }
  cell.Grey = !YarnPairInUse(c.OddYarnType, c.EvenYarnType);
  return cell;
}

TSetupRedraw OPatternSetupEditor::Click(TSetupGrid grid, int column, TMouseButton button) {
  if (column < 1 || column >= ColumnCount(grid))
    return {};
  const OPaletteEntry colour = button == TMouseButton::Left ? Strip.LeftIndex : Strip.RightIndex;
  TSetupRedraw redraw;
  switch (grid) {
  case TSetupGrid::Creel:
    WorkingCreel->SetYarnType(column, static_cast<OYarnType>(YarnTypeRow + 1));
    RebuildYarnPairs();
    redraw.Grids = {TSetupGrid::Creel, TSetupGrid::DesignTable};
    break;
  case TSetupGrid::MachineTable: {
    const int states = WorkingMachineTable->NoStates();
    WorkingMachineTable->SetColour((column - 1) / states + 1, (column - 1) % states + 1, colour);
    redraw.Grids = {TSetupGrid::MachineTable, TSetupGrid::Creel};
    break;
  }
  case TSetupGrid::DesignTable:
    WorkingDesignTable->SetColourAndMirror(
        WorkingDesignTable->CombinationAt(static_cast<size_t>(column - 1)), colour);
    redraw.DesignColumns = {column, MirrorColumn(column)};
    break;
  }
  SetModified(true);
  return redraw;
}

TSetupRedraw OPatternSetupEditor::Drag(TSetupGrid grid, int from, int to) {
  const int last = ColumnCount(grid) - 1;
  const int low = std::max(std::min(from, to), 1), high = std::min(std::max(from, to), last);
  if (grid != TSetupGrid::Creel || low > high)
    return {};
  const auto yarnType = static_cast<OYarnType>(YarnTypeRow + 1);
  bool changed = false;
  for (int c = low; c <= high; ++c)
    if (WorkingCreel->YarnTypeEntry(c) != yarnType) {
      WorkingCreel->SetYarnType(c, yarnType);
      changed = true;
    }
  if (!changed)
    return {};
  RebuildYarnPairs();
  SetModified(true);
  return {{TSetupGrid::Creel, TSetupGrid::DesignTable}, {}};
}

bool OPatternSetupEditor::SetNoColours(int n) {
  if (!InRange(n, MinColours, MaxColours) || n == NoColours())
    return false;
  WorkingPalette->SetNoColours(static_cast<uint8_t>(n));
  WorkingPalette->Validate();
  Strip.CheckSelection();
  WorkingMachineTable->SetNoColours(WorkingPalette->NoColours());
  WorkingMachineTable->Validate();
  WorkingDesignTable->SetNoColours(WorkingPalette->NoColours());
  WorkingDesignTable->Validate();
  SetModified(true);
  return true;
}

bool OPatternSetupEditor::SetNoYarnTypes(int n) {
  if (!InRange(n, MinYarnTypes, MaxYarnTypes) || n == NoYarnTypes())
    return false;
  WorkingCreel->SetNoYarnTypes(static_cast<uint8_t>(n));
  WorkingCreel->Validate();
  WorkingMachineTable->SetNoYarnTypes(WorkingCreel->NoYarnTypes());
  WorkingMachineTable->Validate();
  WorkingDesignTable->SetNoYarnTypes(WorkingCreel->NoYarnTypes());
  WorkingDesignTable->Validate();
  RebuildYarnPairs();
  SetModified(true);
  return true;
}

bool OPatternSetupEditor::SetRepeatSize(int n) {
  if (!InRange(n, 0, MaxRepeatSize) || n == RepeatSize())
    return false;
  WorkingCreel->RepeatSize = static_cast<uint16_t>(n);
  SetModified(true);
  return true;
}

void OPatternSetupEditor::SetUndefinedIndex(int index) {
  const auto state = static_cast<OState>(index + 1);
  if (index < 0 || state == WorkingMachineTable->UndefinedState())
    return;
  WorkingMachineTable->SetUndefinedState(state);
  SetModified(true);
}

void OPatternSetupEditor::Repeat() {
  if (WorkingCreel->RepeatSize < 1)
    return;
  WorkingCreel->Repeat(WorkingCreel->RepeatSize);
  RebuildYarnPairs();
  SetModified(true);
}

bool OPatternSetupEditor::RepeatWith(std::optional<int> size) {
  if (!size)
    return false;
  SetRepeatSize(*size);
  Repeat();
  return true;
}

int OPatternSetupEditor::DraggedTo(int at, int firstInSight, int columns) {
  return at < 0 ? columns : std::clamp(at, firstInSight, columns);
}

void OPatternSetupEditor::StripPressed() {
  if (Strip.Changed)
    SetModified(true);
}

ODesignData& OPatternSetupEditor::Object(TSetupObject object) {
  switch (object) {
  case TSetupObject::Creel:
    return *WorkingCreel;
  case TSetupObject::DesignTable:
    return *WorkingDesignTable;
  case TSetupObject::MachineTable:
    return *WorkingMachineTable;
  case TSetupObject::Palette:
    break;
  }
  return *WorkingPalette;
}

void OPatternSetupEditor::Import(TSetupObject object) {
  Object(object).Import();
  if (object == TSetupObject::Creel) {
    WorkingCreel->SetNoControls(Pattern.NoControls);
    WorkingCreel->SetNoYarnTypes(WorkingMachineTable->NoYarnTypes());
  }
  if (object != TSetupObject::Palette)
    Object(object).Validate();
  RebuildYarnPairs();
  ShowData();
  SetModified(true);
}

void OPatternSetupEditor::Export(TSetupObject object) {
  Object(object).Export();
}

} // namespace quillane
