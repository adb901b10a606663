#include "model/BitmapStates.h"

#include <map>

#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"

namespace quillane {

bool ColourTufts(const OPattern& pattern, uint8_t colour) {
  return pattern.PatternMode != pmColours || pattern.MachineTable->GetYarnType(colour, 1) != 0;
}

TStatedEntries StatedEntries(const OPattern& pattern, bool machine) {
  TStatedEntries states;
  if (pattern.PatternMode == pmColours) {
    // Any needle may carry any yarn: a colour tufts where some yarn type shows it, as the
    // export codes the cell with that yarn type's number.
    std::vector<bool>& stated = states.Stated.emplace_back(size_t{pattern.NoColours} + 1, false);
    for (int e = 1; e <= pattern.NoColours; ++e)
      stated[static_cast<size_t>(e)] = ColourTufts(pattern, static_cast<uint8_t>(e));
    states.RowOfControl.assign(size_t{pattern.NoControls} + 1, 0);
    return states;
  }
  if (pattern.PatternMode != pmStates)
    return states;
  const OCreel& creel = *pattern.Creel;
  const int colours = pattern.Palette->NoColours();
  // A control's yarn type, or in the design view its pair's two and which of the pair it is:
  // the odd control takes the table's odd state, the even one its even state.
  std::map<int, uint16_t> rowOf;
  states.RowOfControl.assign(size_t{pattern.NoControls} + 1, 0);
  for (int c = 1; c <= pattern.NoControls; ++c) {
    const int odd = c % 2 ? c : c - 1;
    const int oddType = creel.GetYarnType(odd), evenType = creel.GetYarnType(odd + 1);
    const int key = machine ? creel.GetYarnType(c) : (oddType * 256 + evenType) * 2 + (c != odd);
    auto [at, added] = rowOf.emplace(key, static_cast<uint16_t>(states.Stated.size()));
    if (added) {
      std::vector<bool>& stated = states.Stated.emplace_back(size_t(colours) + 1, false);
      for (int e = 1; e <= colours; ++e)
        stated[static_cast<size_t>(e)] =
            machine    ? pattern.MachineTable->GetState(key, e) != 0
            : c == odd ? pattern.DesignTable->GetOddState(oddType, evenType, e) != 0
                       : pattern.DesignTable->GetEvenState(oddType, evenType, e) != 0;
    }
    states.RowOfControl[static_cast<size_t>(c)] = at->second;
  }
  return states;
}

} // namespace quillane
