#pragma once

// The view windows' images hold the palette's colours (0x00BBGGRR). While a colourway is
// shown they draw each palette colour as the colourway's, so that a switch costs one pass
// over what is on screen rather than rendering the images again.
#include <array>
#include <cstdint>
#include <string>

namespace quillane {

class OPattern;

class OColourSwap {
public:
  // Each palette colour of index 0 to `last` shows as `shown`'s; where two indices share a
  // palette colour, the lower index decides.
  void Set(const std::array<uint32_t, 256>& palette, const std::array<uint32_t, 256>& shown,
           int last);
  // Every colour shows as it is: the views draw straight from the images.
  bool Identity() const { return Count == 0; }
  friend bool operator==(const OColourSwap&, const OColourSwap&) = default;
  uint32_t operator()(uint32_t pixel) const {
    pixel &= 0xFFFFFF;
    for (uint32_t slot = Hash(pixel);; slot = (slot + 1) & (Slots - 1)) {
      if (!Used[slot])
        return pixel;
      if (Keys[slot] == pixel)
        return Values[slot];
    }
  }

private:
  // Twice the palette's entries, so a probe ends soon.
  static constexpr uint32_t Slots = 512;
  std::array<uint32_t, Slots> Keys{}, Values{};
  std::array<bool, Slots> Used{};
  int Count = 0;
  static uint32_t Hash(uint32_t colour) { return (colour * 2654435761u) >> 23; }
};

// The swap the pattern's views draw with now.
OColourSwap ShownSwap(const OPattern& pattern);
// The status bar's word on the colourway the views show: "Colourway: Harbour", or "" for the
// Original.
std::string ShownColourwayText(const OPattern& pattern);

} // namespace quillane
