#pragma once

// The view windows' images hold the palette's colours (0x00BBGGRR). While a colourway is
// shown they draw each palette colour as the colourway's, so that a switch costs one pass
// over what is on screen rather than rendering the images again.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

// The picture colours a view has sampled, each under a key of one byte. The view keeps the
// key beside each pixel it keeps, so that when other colours are shown it recolours what it
// keeps through a table of the keys' colours instead of reading the picture again. A picture
// holds the palette's colours and few others, so 256 keys are plenty; past them the view
// samples again.
class OColourKeys {
public:
  static constexpr int MaxKeys = 256;
  // The key of a picture colour (its top byte aside), a new one for a colour not seen before;
  // -1 when every key is taken by other colours.
  int KeyOf(uint32_t colour) {
    colour &= 0xFFFFFF;
    for (uint32_t slot = Hash(colour);; slot = (slot + 1) & (Slots - 1)) {
      if (Keys[slot] < 0)
        return Add(slot, colour);
      if (Colours[static_cast<size_t>(Keys[slot])] == colour)
        return Keys[slot];
    }
  }
  int Count() const { return Taken; }
  uint32_t Colour(int key) const { return Colours[static_cast<size_t>(key)]; }
  // Each key's colour as `swap` shows it; keys not handed out show black.
  std::array<uint32_t, MaxKeys> Shown(const OColourSwap& swap) const;
  // Forgets every colour: the keys handed out mean nothing from here on.
  void Clear() { *this = OColourKeys{}; }

private:
  static constexpr uint32_t Slots = 2 * MaxKeys;
  std::array<int16_t, Slots> Keys = [] {
    std::array<int16_t, Slots> none{};
    none.fill(-1);
    return none;
  }();
  std::array<uint32_t, MaxKeys> Colours{};
  int Taken = 0;
  static uint32_t Hash(uint32_t colour) { return (colour * 2654435761u) >> 23; }
  int Add(uint32_t slot, uint32_t colour);
};

// Draws pixels in the colours of the keys beside them. A change of colourway recolours a
// whole grid while the window waits, so the keys are read two at a time through a table of
// the pairs that can occur, when the keys in use are few enough for it to stay in the cache.
class ORecolour {
public:
  // The colour of each key from 0 to `count` - 1.
  void Set(const std::array<uint32_t, OColourKeys::MaxKeys>& colours, int count);
  // Writes each of `width` x `height` pixels as its key says; rows of keys and of pixels are
  // `keyStride` and `stride` entries apart.
  void operator()(const uint8_t* keys, ptrdiff_t keyStride, uint32_t* pixels, ptrdiff_t stride,
                  int width, int height) const;

private:
  static constexpr int MaxPaired = 64;
  std::array<uint32_t, OColourKeys::MaxKeys> Colours{};
  // Two neighbouring pixels by their keys (the first in the low byte), as they lie in memory.
  std::vector<uint64_t> Pairs;
  bool Paired = false;
};

// The swap the pattern's views draw with now.
OColourSwap ShownSwap(const OPattern& pattern);
// The status bar's word on the colourway the views show: "Colourway: Harbour", or "" for the
// Original.
std::string ShownColourwayText(const OPattern& pattern);

} // namespace quillane
