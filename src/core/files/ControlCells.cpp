#include "files/ControlCells.h"

#include <algorithm>

#include "model/BitmapStates.h"
#include "model/Pattern.h"
#include "setup/MachineTable.h"

namespace quillane {

uint8_t UndefinedStateOf(const OPattern& pattern) {
  const uint8_t s = pattern.MachineTable->UndefinedState();
  return s >= 1 && s <= pattern.NoStates ? s : 1;
}

std::array<uint8_t, 256> ExportedStates(const OPattern& pattern) {
  std::array<uint8_t, 256> stateOf{};
  const uint8_t undefined = UndefinedStateOf(pattern);
  for (size_t v = 0; v < stateOf.size(); ++v)
    stateOf[v] = v == 0 ? undefined : static_cast<uint8_t>(v);
  return stateOf;
}

std::array<uint8_t, 256> ExportedYarnTypes(const OPattern& pattern) {
  std::array<uint8_t, 256> yarnOf{};
  for (int v = 0; v < 256; ++v)
    yarnOf[static_cast<size_t>(v)] = pattern.MachineTable->GetYarnType(v, 1);
  return yarnOf;
}

TUnstatedColours UnstatedColours(const OPattern& pattern, bool machine) {
  TUnstatedColours found;
  const TStatedEntries states = StatedEntries(pattern, machine);
  if (states.RowOfControl.empty())
    return found;
  for (const std::vector<bool>& stated : states.Stated)
    for (size_t e = 0; e < 256; ++e)
      // The undefined colour is asked for, not missed; an entry past the palette has none.
      found.NoState.push_back(e != 0 && (e >= stated.size() || !stated[e]) ? 1 : 0);
  if (std::find(found.NoState.begin(), found.NoState.end(), uint8_t{1}) == found.NoState.end()) {
    found.NoState.clear();
    return found;
  }
  found.RowOf.assign(size_t{pattern.NoControls} + 1, 0);
  for (size_t c = 1; c < found.RowOf.size() && c < states.RowOfControl.size(); ++c)
    found.RowOf[c] = states.RowOfControl[c] * 256u;
  return found;
}

} // namespace quillane
