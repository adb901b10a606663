#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillane {

// A picture image: Width x Height pixels, top row first, each a colour 0x00BBGGRR. In
// memory a pixel's bytes are R, G, B, 0, so a view can show the buffer as it is.
class OBitmap24 {
public:
  // New and enlarged areas are filled with this colour.
  static constexpr uint32_t DefaultColour = 0x00FFFFFF;

  int Width() const { return W; }
  int Height() const { return H; }
  // Keeps what fits; new area gets the default colour. Negative sizes count as 0.
  void SetSize(int width, int height);

  bool Contains(int64_t x, int64_t y) const { return x >= 0 && y >= 0 && x < W && y < H; }
  // Positions outside the image are ignored (set) or read as 0 (get).
  void SetPixel(int64_t x, int64_t y, uint32_t colour) {
    if (Contains(x, y))
      Pixels[static_cast<size_t>(y) * static_cast<size_t>(W) + static_cast<size_t>(x)] = colour & 0x00FFFFFFu;
  }
  uint32_t GetPixel(int64_t x, int64_t y) const {
    return Contains(x, y) ? Pixels[static_cast<size_t>(y) * static_cast<size_t>(W) + static_cast<size_t>(x)] : 0;
  }
  uint32_t* Row(int y) { return Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(W); }
  const uint32_t* Row(int y) const { return Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(W); }
  const std::vector<uint32_t>& Data() const { return Pixels; }
  void Fill(uint32_t colour);

  friend bool operator==(const OBitmap24&, const OBitmap24&) = default;

private:
  int W = 0;
  int H = 0;
  std::vector<uint32_t> Pixels;
};

} // namespace quillane
