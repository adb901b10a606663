#include "editors/ShownColours.h"

#include <bit>
#include <cstring>

#include "model/Pattern.h"
#include "setup/Palette.h"

namespace quillane {

void OColourSwap::Set(const std::array<uint32_t, 256>& palette,
                      const std::array<uint32_t, 256>& shown, int last) {
  OColourSwap next;
  for (int i = 0; i <= last && i < 256; ++i) {
    const uint32_t from = palette[static_cast<size_t>(i)] & 0xFFFFFF;
    const uint32_t to = shown[static_cast<size_t>(i)] & 0xFFFFFF;
    uint32_t slot = Hash(from);
    while (next.Used[slot] && next.Keys[slot] != from)
      slot = (slot + 1) & (Slots - 1);
    if (next.Used[slot])
      continue; // a lower index holds this colour
    next.Used[slot] = true;
    next.Keys[slot] = from;
    next.Values[slot] = to;
    ++next.Count;
  }
  // Colours that stay themselves need no entry, and none at all is the straight path.
  bool any = false;
  for (uint32_t s = 0; s < Slots && !any; ++s)
    any = next.Used[s] && next.Keys[s] != next.Values[s];
  if (!any)
    next = OColourSwap{};
  *this = next;
}

int OColourKeys::Add(uint32_t slot, uint32_t colour) {
  if (Taken == MaxKeys)
    return -1;
  Keys[slot] = static_cast<int16_t>(Taken);
  Colours[static_cast<size_t>(Taken)] = colour;
  return Taken++;
}

std::array<uint32_t, OColourKeys::MaxKeys> OColourKeys::Shown(const OColourSwap& swap) const {
  std::array<uint32_t, MaxKeys> shown{};
  for (int k = 0; k < Taken; ++k)
    shown[static_cast<size_t>(k)] = swap(Colours[static_cast<size_t>(k)]);
  return shown;
}

void ORecolour::Set(const std::array<uint32_t, OColourKeys::MaxKeys>& colours, int count) {
  Colours = colours;
  // The pairs' order in memory is the little-endian one.
  Paired = std::endian::native == std::endian::little && count <= MaxPaired;
  if (!Paired)
    return;
  Pairs.resize(size_t{1} << 16);
  for (size_t second = 0; second < static_cast<size_t>(count); ++second)
    for (size_t first = 0; first < static_cast<size_t>(count); ++first)
      Pairs[first | second << 8] = colours[first] | uint64_t{colours[second]} << 32;
}

void ORecolour::operator()(const uint8_t* keys, ptrdiff_t keyStride, uint32_t* pixels,
                           ptrdiff_t stride, int width, int height) const {
  for (int y = 0; y < height; ++y, keys += keyStride, pixels += stride) {
    int x = 0;
    if (Paired)
      for (; x + 8 <= width; x += 8) {
        uint64_t eight;
        std::memcpy(&eight, keys + x, sizeof eight);
        const uint64_t pairs[4] = {Pairs[eight & 0xFFFF], Pairs[eight >> 16 & 0xFFFF],
                                   Pairs[eight >> 32 & 0xFFFF], Pairs[eight >> 48]};
        std::memcpy(pixels + x, pairs, sizeof pairs);
      }
    for (; x < width; ++x)
      pixels[x] = Colours[keys[x]];
  }
}

OColourSwap ShownSwap(const OPattern& pattern) {
  std::array<uint32_t, 256> palette{};
  const OPalette& p = *pattern.Palette;
  for (int i = 0; i <= p.NoColours(); ++i)
    palette[static_cast<size_t>(i)] = p.GetColour(i);
  OColourSwap swap;
  swap.Set(palette, pattern.ShownColours(), p.NoColours());
  return swap;
}

std::string ShownColourwayText(const OPattern& pattern) {
  const int shown = pattern.ShownColourway();
  const auto& list = pattern.Colourways().List;
  if (shown <= 0 || static_cast<size_t>(shown) >= list.size())
    return {};
  return "Colourway: " + list[static_cast<size_t>(shown)].Name;
}

} // namespace quillane
