#pragma once

// Sets of picture pixels, as the drawing tools find them and the pattern paints them.
#include <cstdint>
#include <vector>

#include "data/Record.h"

namespace quillane {

// A picture pixel, both from 0: column (control - 1) and row (PLine - 1).
struct TCell {
  int C = 0;
  int R = 0;
  friend bool operator==(const TCell&, const TCell&) = default;
};

// Columns C0 to C1 (inclusive) of row R.
struct TPixelRun {
  int R = 0;
  int C0 = 0;
  int C1 = 0;
  friend bool operator==(const TPixelRun&, const TPixelRun&) = default;
};
// Row by row from the lowest, each row's runs left to right, none overlapping or touching
// another: a pixel is in the set once.
using TPixelRuns = std::vector<TPixelRun>;

// Any runs brought into that order, overlapping and touching ones joined.
TPixelRuns Merged(TPixelRuns runs);
int64_t PixelCount(const TPixelRuns& runs);
// The smallest rectangle around the runs; Right < Left when there are none.
TRect PixelBounds(const TPixelRuns& runs);
bool Contains(const TPixelRuns& runs, TCell cell);

} // namespace quillane
