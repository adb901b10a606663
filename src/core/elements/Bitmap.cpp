#include "elements/Bitmap.h"

#include <algorithm>

namespace quillane {

void OBitmap24::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == W && height == H)
    return;
  std::vector<uint32_t> resized(static_cast<size_t>(width) * static_cast<size_t>(height),
                                DefaultColour);
  const int keepW = std::min(W, width), keepH = std::min(H, height);
  for (int y = 0; y < keepH; ++y)
    std::copy_n(Row(y), keepW, resized.data() + static_cast<size_t>(y) * static_cast<size_t>(width));
  Pixels.swap(resized);
  W = width;
  H = height;
}

void OBitmap24::Fill(uint32_t colour) { std::fill(Pixels.begin(), Pixels.end(), colour & 0x00FFFFFFu); }

} // namespace quillane
