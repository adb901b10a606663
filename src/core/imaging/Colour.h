#pragma once

#include <cstdint>

namespace quillane {

// A colour in CIE L*a*b* under D65, where equal distances look about equally different.
struct TLab {
  double L = 0, A = 0, B = 0;
};

// A colour value 0x00BBGGRR as an sRGB screen shows it.
TLab LabOf(uint32_t colour);

// The nearest colour value an sRGB screen shows: a colour outside the screen's gamut loses
// chroma at the same hue and lightness until it fits, so a lightness step survives.
uint32_t ColourOfLab(const TLab& lab);

// CIEDE2000 with unit weights: how different two colours look, 1 about the least a trained
// eye sees side by side.
double DeltaE2000(const TLab& one, const TLab& two);
// The part of DeltaE2000 lightness alone gives, never more than the whole.
double LightnessTerm(const TLab& one, const TLab& two);

inline int RedOf(uint32_t colour) {
  return static_cast<int>(colour & 0xFF);
}
inline int GreenOf(uint32_t colour) {
  return static_cast<int>((colour >> 8) & 0xFF);
}
inline int BlueOf(uint32_t colour) {
  return static_cast<int>((colour >> 16) & 0xFF);
}
inline uint32_t RGBOf(int red, int green, int blue) {
  return static_cast<uint32_t>(red) | static_cast<uint32_t>(green) << 8 |
         static_cast<uint32_t>(blue) << 16;
}

} // namespace quillane
