#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace quillane {

class OPattern;

// What each cell value tells the controller, as the control file export writes it; anything
// else that counts what the machine does (the production figures) reads cells through these,
// so that the two never disagree.

// A new pattern's machine table has no undefined state until it is saved and read back;
// the export must not depend on that, so it takes state 1 as the pattern setup shows it.
uint8_t UndefinedStateOf(const OPattern& pattern);
// State pattern: the state of each cell value, a cell without a state taking the undefined
// state.
std::array<uint8_t, 256> ExportedStates(const OPattern& pattern);
// Colour pattern: the yarn number of each colour, 0 for a colour no yarn type shows.
std::array<uint8_t, 256> ExportedYarnTypes(const OPattern& pattern);

// The colours of a view that give a cell no state for its control's yarn type (in the
// design view, its pair's; in a colour pattern, the colours no yarn type shows), which the
// export codes as the undefined state: 256 flags per row, RowOf[control] * 256 the row of
// each control from 1. NoState is empty when no colour misses a state (or the pattern has
// no tables to ask), so that nobody need look.
struct TUnstatedColours {
  std::vector<uint8_t> NoState;
  std::vector<uint32_t> RowOf;
};
TUnstatedColours UnstatedColours(const OPattern& pattern, bool machine);

} // namespace quillane
