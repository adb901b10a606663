#pragma once

#include <QtGui/qrgb.h>
#include <cstdint>
#include <functional>
#include <string>

#include "app/LargeBuffer.h"

namespace quillane {

class OBitmap24;

// The core's colours are 0x00BBGGRR; Qt's are 0xAARRGGBB. Every crossing goes through
// these two, which never look at how either lies in memory.
inline QRgb ToQRgb(uint32_t colour) {
  return qRgb(static_cast<int>(colour & 0xFF), static_cast<int>(colour >> 8 & 0xFF),
              static_cast<int>(colour >> 16 & 0xFF));
}
inline uint32_t FromQRgb(QRgb rgb) {
  return static_cast<uint32_t>(qRed(rgb)) | static_cast<uint32_t>(qGreen(rgb)) << 8 |
         static_cast<uint32_t>(qBlue(rgb)) << 16;
}

// Called now and then with the share done so far, 0 to 100.
using TImageProgress = std::function<void(int percent)>;

// The format an image file is written in, by its extension without regard to case ("bmp",
// "png"); "" when the name asks for none we write. Standard output ("-") takes BMP.
std::string ImageFormatFor(const std::string& path);

// Writes the image atomically (see WriteFileAtomic), in the format its name asks for, rows
// top down (or PLine 1 at the bottom). Throws Exception when it cannot be written.
void SaveImage(const OBitmap24& image, const std::string& path, bool pLineOneAtBottom,
               const TImageProgress& progress = {});

// Draws the pixels from row `firstRow` and column `firstColumn` on into `band`, as many as
// it holds: whole rows, or a piece of one row when a row alone is more than a band.
using TDrawRows = std::function<void(int firstRow, int firstColumn, OBitmap24& band)>;
// Pixels a band holds when an image is written a band at a time: 16 MB of them.
constexpr int64_t ImageBandPixels = int64_t{4} << 20;
// Writes a `width` x `height` image drawn at most `bandPixels` pixels at a time, atomically,
// in the format its name asks for, band after band: only one band is held, with its bytes
// (and, for a PNG, the compressor's state and one row). The file says `dotsPerInch`, or 100
// for 0.
void SaveImageRows(const std::string& path, int width, int height, int64_t bandPixels,
                   bool pLineOneAtBottom, const TDrawRows& draw,
                   const TImageProgress& progress = {}, int dotsPerInch = 0);

// The most an image may take decoded, at 4 bytes a pixel or its format's depth: an 8,192 x
// 8,192 image with alpha, far more than a region needs.
constexpr int64_t ImageDecodeBudget = int64_t{256} << 20;
// Decodes an image file's bytes; its size is checked against what a picture can hold and
// against the budget before anything is allocated. Throws Exception naming `path` and the
// reason.
OBitmap24 DecodeImage(const TBytes& bytes, const std::string& path,
                      const TImageProgress& progress = {});
OBitmap24 LoadImage(const std::string& path, const TImageProgress& progress = {});

} // namespace quillane
