#pragma once

#include <cstdint>

#include "data/Record.h"

namespace quillane {

// Width and height of an inclusive area, in 64 bits so that any stored area is safe.
inline int64_t AreaWidth(const TRect& r) {
  return int64_t{r.Right} - r.Left + 1;
}
inline int64_t AreaHeight(const TRect& r) {
  return int64_t{r.Bottom} - r.Top + 1;
}
inline bool InArea(const TRect& r, int64_t x, int64_t y) {
  return x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom;
}

// Maps (x, y) from area `from` into area `to`: offset, then the flips, then the quarter
// turns. A flip mirrors against the far edge of `to` as it lies before the turn (for a
// quarter turn its width and height exchanged), so that every orientation maps the area
// onto the whole of `to`; mirroring against the turned edges put a non-square area beside
// itself. Regions and sections map the same way. Answers false, leaving (x, y) as they
// were, when the point is outside `from`. The arithmetic is 64-bit; a result beyond 32 bits
// lies outside every grid and image and is saturated.
bool MapBetween(const TRect& from, const TRect& to, uint8_t hFlip, uint8_t vFlip, uint8_t rotation,
                int32_t& x, int32_t& y);
// The way back: the point of `to` that MapBetween with the same arguments maps onto (x, y)
// is answered in `from`; false, leaving (x, y), outside `to`. The turn is undone before the
// flips, so a click finds the cell drawn under it in every orientation.
bool MapBack(const TRect& from, const TRect& to, uint8_t hFlip, uint8_t vFlip, uint8_t rotation,
             int32_t& x, int32_t& y);

// The same mappings without the range test, for whole areas at once.
struct TPoint64 {
  int64_t X;
  int64_t Y;
};
TPoint64 MapUnchecked(const TRect& from, const TRect& to, uint8_t hFlip, uint8_t vFlip,
                      uint8_t rotation, int64_t x, int64_t y);
TPoint64 MapBackUnchecked(const TRect& from, const TRect& to, uint8_t hFlip, uint8_t vFlip,
                          uint8_t rotation, int64_t x, int64_t y);

} // namespace quillane
