#include "editors/ShownColours.h"

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
