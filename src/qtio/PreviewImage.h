#pragma once

#include <string>

#include "ImageIO.h"
#include "preview/Preview.h"

namespace quillane {

// The size an exported preview takes by default: the whole goods, the longer side this
// many pixels.
constexpr int PreviewLongestSide = 2000;
// Pixels per mm for the whole goods with the longer side `longest` pixels.
double PreviewExportScale(const OPreview& preview, int longest);

// Writes the whole goods at `scale` pixels per mm, atomically, a band of rows at a time;
// the file gives `dotsPerInch` (0: 100). Throws Exception as SaveImageRows does.
void SavePreviewImage(const OPreview& preview, double scale, const std::string& path,
                      int dotsPerInch = 0, const TImageProgress& progress = {});

} // namespace quillane
