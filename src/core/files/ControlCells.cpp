#include "files/ControlCells.h"

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

} // namespace quillane
