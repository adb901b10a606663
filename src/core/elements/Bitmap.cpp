#include "elements/Bitmap.h"

#include <algorithm>

namespace quillane {

void OBitmap24::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == W && height == H)
    return;
  if (Buffer.empty() || width == 0 || height == 0) {
    // Nothing drawn yet (or nothing left): the pixels come when first used.
    TPixels().swap(Buffer);
    W = width;
    H = height;
    return;
  }
  TPixels resized(static_cast<size_t>(width) * static_cast<size_t>(height), DefaultColour);
  const int keepW = std::min(W, width), keepH = std::min(H, height);
  for (int y = 0; y < keepH; ++y)
    std::copy_n(Buffer.data() + static_cast<size_t>(y) * static_cast<size_t>(W), keepW,
                resized.data() + static_cast<size_t>(y) * static_cast<size_t>(width));
  Buffer.swap(resized);
  W = width;
  H = height;
}

void OBitmap24::Allocate() const {
  if (W > 0 && H > 0)
    Buffer.assign(static_cast<size_t>(W) * static_cast<size_t>(H), DefaultColour);
}

void OBitmap24::Allocate(const TWorkDone& done) {
  if (!Buffer.empty() || W <= 0 || H <= 0)
    return;
  const size_t rows = static_cast<size_t>(H), width = static_cast<size_t>(W);
  const size_t band = std::max<size_t>(1, (size_t{1} << 17) / width); // half a megabyte
  Buffer.reserve(rows * width);
  for (size_t y = 0; y < rows; y += band) {
    if (done)
      done(static_cast<int64_t>(y), H);
    Buffer.insert(Buffer.end(), std::min(band, rows - y) * width, DefaultColour);
  }
}

void OBitmap24::Fill(uint32_t colour) {
  TPixels& pixels = Pixels();
  std::fill(pixels.begin(), pixels.end(), colour & 0x00FFFFFFu);
}

} // namespace quillane
