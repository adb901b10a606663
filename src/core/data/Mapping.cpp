#include "data/Mapping.h"

#include <algorithm>

namespace quillane {

namespace {

bool QuarterTurn(uint8_t rotation) {
  return rotation == 1 || rotation == 3;
}

bool Store(const TPoint64& m, int32_t& x, int32_t& y) {
  x = static_cast<int32_t>(std::clamp<int64_t>(m.X, INT32_MIN, INT32_MAX));
  y = static_cast<int32_t>(std::clamp<int64_t>(m.Y, INT32_MIN, INT32_MAX));
  return true;
}

} // namespace

TPoint64 MapUnchecked(const TRect& from, const TRect& to, uint8_t hFlip, uint8_t vFlip,
                      uint8_t rotation, int64_t x, int64_t y) {
  // Offsets inside the area before the turn, whose width and height are those of `to`
  // exchanged by a quarter turn.
  int64_t dx = x - from.Left;
  int64_t dy = y - from.Top;
  const bool quarter = QuarterTurn(rotation);
  const int64_t lastX = quarter ? AreaHeight(to) - 1 : AreaWidth(to) - 1;
  const int64_t lastY = quarter ? AreaWidth(to) - 1 : AreaHeight(to) - 1;
  if (hFlip == 1)
    dx = lastX - dx;
  if (vFlip == 1)
    dy = lastY - dy;
  switch (rotation) {
  case 1:
    return {to.Left + dy, to.Bottom - dx};
  case 2:
    return {to.Right - dx, to.Bottom - dy};
  case 3:
    return {to.Right - dy, to.Top + dx};
  default:
    return {to.Left + dx, to.Top + dy};
  }
}

TPoint64 MapBackUnchecked(const TRect& from, const TRect& to, uint8_t hFlip, uint8_t vFlip,
                          uint8_t rotation, int64_t x, int64_t y) {
  // Undo the turn into `from`'s offsets, then the flips against its far edges.
  const int64_t ex = x - to.Left;
  const int64_t ey = y - to.Top;
  int64_t dx = ex, dy = ey;
  switch (rotation) {
  case 1:
    dx = AreaWidth(from) - 1 - ey;
    dy = ex;
    break;
  case 2:
    dx = AreaWidth(from) - 1 - ex;
    dy = AreaHeight(from) - 1 - ey;
    break;
  case 3:
    dx = ey;
    dy = AreaHeight(from) - 1 - ex;
    break;
  default:
    break;
  }
  if (hFlip == 1)
    dx = AreaWidth(from) - 1 - dx;
  if (vFlip == 1)
    dy = AreaHeight(from) - 1 - dy;
  return {from.Left + dx, from.Top + dy};
}

bool MapBetween(const TRect& from, const TRect& to, uint8_t hFlip, uint8_t vFlip, uint8_t rotation,
                int32_t& x, int32_t& y) {
  if (!InArea(from, x, y))
    return false;
  return Store(MapUnchecked(from, to, hFlip, vFlip, rotation, x, y), x, y);
}

bool MapBack(const TRect& from, const TRect& to, uint8_t hFlip, uint8_t vFlip, uint8_t rotation,
             int32_t& x, int32_t& y) {
  if (!InArea(to, x, y))
    return false;
  return Store(MapBackUnchecked(from, to, hFlip, vFlip, rotation, x, y), x, y);
}

} // namespace quillane
