#include "data/Mapping.h"

#include <algorithm>

namespace quillane {

TPoint64 MapUnchecked(const TRect& from, const TRect& to, uint8_t hFlip, uint8_t vFlip,
                      uint8_t rotation, int64_t x, int64_t y) {
  int64_t nx = x - from.Left + to.Left;
  int64_t ny = y - from.Top + to.Top;
  if (hFlip == 1)
    nx = int64_t{to.Right} - (nx - to.Left);
  if (vFlip == 1)
    ny = int64_t{to.Bottom} - (ny - to.Top);
  const int64_t ox = nx, oy = ny;
  switch (rotation) {
  case 1:
    nx = oy - to.Top + to.Left;
    ny = int64_t{to.Bottom} - (ox - to.Left);
    break;
  case 2:
    nx = int64_t{to.Right} - (ox - to.Left);
    ny = int64_t{to.Bottom} - (oy - to.Top);
    break;
  case 3:
    nx = int64_t{to.Right} - (oy - to.Top);
    ny = ox - to.Left + to.Top;
    break;
  default:
    break;
  }
  return {nx, ny};
}

bool MapBetween(const TRect& from, const TRect& to, uint8_t hFlip, uint8_t vFlip, uint8_t rotation,
                int32_t& x, int32_t& y) {
  if (!InArea(from, x, y))
    return false;
  const TPoint64 m = MapUnchecked(from, to, hFlip, vFlip, rotation, x, y);
  x = static_cast<int32_t>(std::clamp<int64_t>(m.X, INT32_MIN, INT32_MAX));
  y = static_cast<int32_t>(std::clamp<int64_t>(m.Y, INT32_MIN, INT32_MAX));
  return true;
}

} // namespace quillane
