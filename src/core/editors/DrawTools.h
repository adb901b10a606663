#pragma once

// The picture pixels each drawing tool of the view changes, worked out before any of them is
// painted: the view shows them while the mouse is held, and paints them through the same
// path as a press, as one step of the history. Pixels are picture pixels from 0 (column,
// row), as TCell holds them.
#include <cstdint>
#include <functional>
#include <vector>

#include "app/LargeBuffer.h"
#include "data/Record.h"
#include "editors/ViewGeometry.h"

namespace quillane {

class OBitmap24;
class OPattern;
class OPicture;

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

// The cells of the line from `from` to `to`, both included, in that order: one per step
// along the longer axis, as near the true line as whole cells go.
std::vector<TCell> LineCells(TCell from, TCell to);
// `to` moved onto the nearest of the horizontal, the vertical and the two diagonals through
// `from`.
TCell Straightened(TCell from, TCell to);

// The brush sizes offered: squares this many pixels across.
inline constexpr int BrushSizes[] = {1, 2, 3, 5};
// The pixels a square brush of `brush` pixels covers on each cell of `path` (centred, a
// pixel more right and up for even sizes), within a picture `width` x `height`.
TPixelRuns Brushed(const std::vector<TCell>& path, int brush, int width, int height);
// The rectangle with corners `a` and `b`: its edge one pixel wide, or all of it.
TPixelRuns RectanglePixels(TCell a, TCell b, bool filled, int width, int height);
// The pixels of the image's colour at `at` that can be reached from it through pixels of
// that colour, left, right, up and down; `everywhere`: every pixel of that colour. `goOn`,
// asked now and then, may stop the search: then none.
TPixelRuns FillPixels(const OBitmap24& image, TCell at, bool everywhere,
                      const std::function<bool()>& goOn = {});

// A fill of a picture of more pixels than this shows its progress, with Cancel.
inline constexpr int64_t LargeFill = 4'000'000;

// The cells the picture's regions show through the pixels: a byte per cell, laid out as
// the pattern's grids, 1 where shown.
TZeroedBytes ShownCells(const OPattern& pattern, const OPicture& picture, const TPixelRuns& pixels);

} // namespace quillane
