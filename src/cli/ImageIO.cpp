// Bitmap files go through QImage; the core only sees OBitmap24.
#include <QImage>
#include <QString>
#include <cstring>

#include "Cli.h"
#include "elements/Bitmap.h"

namespace quillane {

void SaveImage(const OBitmap24& image, const std::string& path, bool pLineOneAtBottom) {
  if (image.Width() <= 0 || image.Height() <= 0)
    throw TCliFailure("The image is empty: nothing to write to " + path);
  // A pixel 0x00BBGGRR lies in memory as R, G, B, 0: Qt's RGBX layout.
  QImage out(image.Width(), image.Height(), QImage::Format_RGBX8888);
  if (out.isNull())
    throw TCliFailure("Not enough memory for an image of " + std::to_string(image.Width()) +
                      " x " + std::to_string(image.Height()) + " pixels");
  const size_t rowBytes = static_cast<size_t>(image.Width()) * 4;
  for (int y = 0; y < image.Height(); ++y) {
    const int from = pLineOneAtBottom ? image.Height() - 1 - y : y;
    auto* dst = reinterpret_cast<uint32_t*>(out.scanLine(y));
    std::memcpy(dst, image.Row(from), rowBytes);
    for (int x = 0; x < image.Width(); ++x)
      dst[x] |= 0xFF000000u; // opaque
  }
  if (!out.convertToFormat(QImage::Format_RGB888).save(QString::fromStdString(path)))
    throw TCliFailure("Error writing bitmap file: " + path);
}

OBitmap24 LoadImage(const std::string& path) {
  QImage in(QString::fromStdString(path));
  if (in.isNull())
    throw TCliFailure("Error reading bitmap file: " + path);
  if (in.width() <= 0 || in.height() <= 0)
    throw TCliFailure("The bitmap is empty: " + path);
  in = in.convertToFormat(QImage::Format_RGBX8888);
  OBitmap24 bitmap;
  bitmap.SetSize(in.width(), in.height());
  for (int y = 0; y < in.height(); ++y) {
    const auto* src = reinterpret_cast<const uint32_t*>(in.constScanLine(y));
    uint32_t* dst = bitmap.Row(y);
    for (int x = 0; x < in.width(); ++x)
      dst[x] = src[x] & 0x00FFFFFFu;
  }
  return bitmap;
}

} // namespace quillane
