// Bitmap files go through QImage; the core only sees OBitmap24.
#include <QByteArray>
#include <QImage>
#include <QString>
#include <QtGlobal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Cli.h"
#include "app/FileIO.h"
#include "elements/Bitmap.h"

namespace quillane {

namespace {

uint32_t Little(const TBytes& b, size_t at, int size) {
  uint32_t v = 0;
  for (int k = size - 1; k >= 0; --k)
    v = v << 8 | b[at + static_cast<size_t>(k)];
  return v;
}

// Qt reads a BMP whose pixels stop short as if the rest were there; its header says how
// long an uncompressed one must be.
bool ShortBmp(const TBytes& b) {
  if (b.size() < 2 || b[0] != 'B' || b[1] != 'M')
    return false;
  if (b.size() < 26)
    return true;
  const uint64_t offset = Little(b, 10, 4), info = Little(b, 14, 4);
  int64_t w = 0, h = 0;
  uint64_t bits = 0, compression = 0;
  if (info == 12) {
    w = Little(b, 18, 2);
    h = Little(b, 20, 2);
    bits = Little(b, 24, 2);
  } else {
    if (b.size() < 34)
      return true;
    w = static_cast<int32_t>(Little(b, 18, 4));
    h = static_cast<int32_t>(Little(b, 22, 4));
    bits = Little(b, 28, 2);
    compression = Little(b, 30, 4);
  }
  if (compression != 0 && compression != 3)
    return false; // run-length data has no fixed length
  const uint64_t stride = (static_cast<uint64_t>(std::llabs(w)) * bits + 31) / 32 * 4;
  return b.size() < offset + stride * static_cast<uint64_t>(std::llabs(h));
}

// Qt's decoders report on their own; the command says it once, in its own words.
void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

void SaveImage(const OBitmap24& image, const std::string& path, bool pLineOneAtBottom) {
  if (image.Width() <= 0 || image.Height() <= 0)
    throw TCliFailure("The image is empty: nothing to write to " + path);
  // A pixel 0x00BBGGRR lies in memory as R, G, B, 0: Qt's RGBX layout.
  QImage out(image.Width(), image.Height(), QImage::Format_RGBX8888);
  if (out.isNull())
    throw TCliFailure("Not enough memory for an image of " + std::to_string(image.Width()) + " x " +
                      std::to_string(image.Height()) + " pixels");
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
  const std::string failure = "Error reading bitmap file: " + path;
  TBytes bytes;
  try {
    bytes = ReadFileBytes(path);
  } catch (const std::exception&) {
    throw TCliFailure(failure);
  }
  if (ShortBmp(bytes))
    throw TCliFailure(failure);
  const QtMessageHandler previous = qInstallMessageHandler(Quiet);
  QImage in = QImage::fromData(QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                                       static_cast<qsizetype>(bytes.size())));
  qInstallMessageHandler(previous);
  if (in.isNull())
    throw TCliFailure(failure);
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
