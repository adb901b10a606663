#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/LargeBuffer.h"
#include "platform/Platform.h"

namespace quillane {

using TPixels = std::vector<uint32_t, TLargeAllocator<uint32_t>>;

// A picture image: Width x Height pixels, top row first, each a colour 0x00BBGGRR. In
// memory a pixel's bytes are R, G, B, 0, so a view can show the buffer as it is.
// The pixels are allocated when first used: a picture has two images, and only the view
// that is shown needs its image in memory.
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
      Pixels()[Offset(x, y)] = colour & 0x00FFFFFFu;
  }
  uint32_t GetPixel(int64_t x, int64_t y) const {
    if (!Contains(x, y))
      return 0;
    return Buffer.empty() ? DefaultColour : Buffer[Offset(x, y)];
  }
  uint32_t* Row(int y) { return Pixels().data() + static_cast<size_t>(y) * static_cast<size_t>(W); }
  const uint32_t* Row(int y) const {
    return Pixels().data() + static_cast<size_t>(y) * static_cast<size_t>(W);
  }
  const TPixels& Data() const { return Pixels(); }
  void Fill(uint32_t colour);
  // Whether the pixels have been allocated yet.
  bool Allocated() const { return !Buffer.empty(); }
  // Allocates the pixels now, unless they are, a band at a time so that `done` hears how far
  // it has come: a picture's image takes seconds to come from a busy system.
  void Allocate(const TWorkDone& done);

  friend bool operator==(const OBitmap24& a, const OBitmap24& b) {
    return a.W == b.W && a.H == b.H && a.Data() == b.Data();
  }

private:
  int W = 0;
  int H = 0;
  mutable TPixels Buffer; // empty until first used

  size_t Offset(int64_t x, int64_t y) const {
    return static_cast<size_t>(y) * static_cast<size_t>(W) + static_cast<size_t>(x);
  }
  TPixels& Pixels() const {
    if (Buffer.empty())
      Allocate();
    return Buffer;
  }
  void Allocate() const;
};

} // namespace quillane
