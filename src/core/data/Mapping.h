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

// Maps (x, y) from area `from` into area `to`: offset, then the flips against the far
// edges of `to`, then the quarter turns. Regions and sections map the same way; their
// reverse direction passes the two quarter turns exchanged. Answers false, leaving
// (x, y) as they were, when the point is outside `from`. The arithmetic is 64-bit; a
// result beyond 32 bits lies outside every grid and image and is saturated.
bool MapBetween(const TRect& from, const TRect& to, uint8_t hFlip, uint8_t vFlip, uint8_t rotation,
                int32_t& x, int32_t& y);

// The same mapping without the range test, for whole areas at once.
struct TPoint64 {
  int64_t X;
  int64_t Y;
};
TPoint64 MapUnchecked(const TRect& from, const TRect& to, uint8_t hFlip, uint8_t vFlip,
                      uint8_t rotation, int64_t x, int64_t y);

// The reverse direction's rotation: the two quarter turns exchanged.
inline uint8_t ReverseRotation(uint8_t rotation) {
  return rotation == 1 ? 3 : rotation == 3 ? 1 : rotation;
}

} // namespace quillane
