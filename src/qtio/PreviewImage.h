#pragma once

#include <array>
#include <string>
#include <vector>

#include "ImageIO.h"
#include "preview/Preview.h"

namespace quillane {

// The size an exported preview takes by default: the whole goods (or room), the longer side
// this many pixels.
constexpr int PreviewLongestSide = 2000;
// Pixels per mm for the whole picture with the longer side `longest` pixels.
double PreviewExportScale(const OCarpetPicture& preview, int longest);

// Writes the whole picture (the goods, or a room of tiles or widths) at `scale` pixels per
// mm, atomically, a band of rows at a time, so that a room at one pixel a tuft takes the
// memory of a band; the file gives `dotsPerInch` (0: 100). Throws Exception as SaveImageRows
// does.
void SavePreviewImage(const OCarpetPicture& preview, double scale, const std::string& path,
                      int dotsPerInch = 0, const TImageProgress& progress = {});

// A room's image carries a scale bar in its bottom left corner, on white, so that the room
// can be measured however the image is shown: a bar of ScaleBarMm of the room's width,
// ScaleBarPixels thick, named in mm or m above it. A room too small to hold it goes without.
// Needs an application object for the name's font. Throws Exception as SavePreviewImage does.
void SaveRoomImage(const OCarpetPicture& room, double scale, const std::string& path,
                   int dotsPerInch = 0, const TImageProgress& progress = {});
// 1, 2 or 5 times a power of ten mm, the longest such at most a quarter of `widthMm`.
double ScaleBarMm(double widthMm);
constexpr int ScaleBarPixels = 6, ScaleBarFontPixels = 14, ScaleBarMargin = 16;

// Several colourings of the same goods side by side, each under its name, on the preview's
// background: the cells are looked up once for all of them. Needs an application object
// for the names' font. Throws Exception as SavePreviewImage does.
struct TPreviewColouring {
  std::string Name; // UTF-8
  std::array<uint32_t, 256> Colours{};
};
void SavePreviewColouringsImage(const OPreview& preview, double scale,
                                const std::vector<TPreviewColouring>& colourings,
                                const std::string& path, int dotsPerInch = 0,
                                const TImageProgress& progress = {});
// Where the panels lie in that image: a margin round and between them, the names above.
constexpr int PreviewPanelGap = 16, PreviewLabelHeight = 32;

} // namespace quillane
