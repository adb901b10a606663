#pragma once

// The picture pixels each drawing tool of the view changes, worked out before any of them is
// painted: the view shows them while the mouse is held, and paints them through the same
// path as a press, as one step of the history. Pixels are picture pixels from 0 (column,
// row), as TCell holds them.
#include <cstdint>
#include <functional>
#include <vector>

#include "editors/ViewGeometry.h"
#include "elements/PixelRuns.h"

namespace quillane {

class OBitmap24;

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

} // namespace quillane
