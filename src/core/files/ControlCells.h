#pragma once

#include <array>
#include <cstdint>

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

} // namespace quillane
