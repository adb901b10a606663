#include "model/Pattern.h"

#include <algorithm>

#include "setup/Creel.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane {

void OPattern::SetColourways(TColourways colourways, const std::string& label) {
  if (colourways == ColourwayList)
    return;
  OUndoHistory::TChange step(History, label, OUndoHistory::TTouches::ObjectsOnly());
  ColourwayList = std::move(colourways);
  if (static_cast<size_t>(Shown) >= ColourwayList.List.size())
    Shown = 0;
  SetModified(1);
  SetupApplied(TDesignRecordKind::Colourways);
  step.Commit();
}

void OPattern::ShowColourway(int index) {
  const int last = static_cast<int>(ColourwayList.List.size()) - 1;
  index = std::clamp(index, 0, std::max(last, 0));
  if (index == Shown)
    return;
  Shown = index;
  SetupApplied(TDesignRecordKind::Colourways);
}

std::array<uint32_t, 256> OPattern::ShownColours() const {
  const auto shown = static_cast<size_t>(Shown);
  if (shown >= ColourwayList.List.size())
    return ColoursOf(TColourway{}, *Palette);
  return ColoursOf(ColourwayList.List[shown], *Palette);
}

void OPattern::PutInPalette(const TColourway& colours, const std::string& label) {
  OUndoHistory::TChange step(History, label, OUndoHistory::TTouches::ObjectsOnly());
  bool changed = false;
  for (int i = 1; i <= Palette->NoColours(); ++i) {
    const auto k = static_cast<size_t>(i);
    if (colours.Set[k] && Palette->GetColour(i) != colours.Colours[k]) {
      Palette->SetColour(i, colours.Colours[k]);
      changed = true;
    }
  }
  if (changed) {
    SetModified(1);
    ApplyPalette();
  }
  step.Commit();
}

void OPattern::MakePalette(int index) {
  if (index <= 0 || static_cast<size_t>(index) >= ColourwayList.List.size())
    return;
  const TColourway& colourway = ColourwayList.List[static_cast<size_t>(index)];
  PutInPalette(colourway, "Make Palette " + colourway.Name);
}

void OPattern::SetYarnColour(int colourway, int yarnType, uint32_t colour) {
  if (colourway < 0 || static_cast<size_t>(colourway) >= ColourwayList.List.size())
    return;
  const auto c = static_cast<size_t>(colourway);
  const std::string label = "Colour " + ColourwayList.List[c].Name + " " +
                            YarnTypeLetter(static_cast<OYarnType>(yarnType));
  if (colourway == 0) {
    TColourway changes;
    quillane::SetYarnColour(changes, *Palette, *MachineTable, yarnType, colour);
    PutInPalette(changes, label);
    return;
  }
  TColourways list = ColourwayList;
  quillane::SetYarnColour(list.List[c], *Palette, *MachineTable, yarnType, colour);
  SetColourways(std::move(list), label);
}

void OPattern::SetEntryColour(int colourway, int index, uint32_t colour) {
  if (colourway < 0 || static_cast<size_t>(colourway) >= ColourwayList.List.size())
    return;
  const auto c = static_cast<size_t>(colourway);
  const std::string label = "Colour " + ColourwayList.List[c].Name + " " + std::to_string(index);
  if (colourway == 0) {
    TColourway changes;
    quillane::SetEntryColour(changes, index, colour);
    PutInPalette(changes, label);
    return;
  }
  TColourways list = ColourwayList;
  quillane::SetEntryColour(list.List[c], index, colour);
  SetColourways(std::move(list), label);
}

} // namespace quillane
