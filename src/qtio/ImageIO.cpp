// Bitmap files go through QImage; the core only sees OBitmap24.
#include "ImageIO.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "elements/Bitmap.h"
#include "elements/Picture.h"

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

// Reports each whole percent once over `rows` rows.
class TRowProgress {
public:
  TRowProgress(const TImageProgress& report, int rows, int from, int to)
      : Report(report), Rows(rows), From(from), To(to) {}
  void Row(int y) {
    if (!Report)
      return;
    const int percent = From + static_cast<int>(int64_t{To - From} * (y + 1) / Rows);
    if (percent != Last)
      Report(Last = percent);
  }

private:
  const TImageProgress& Report;
  int Rows, From, To, Last = -1;
};

// While an image is decoded or encoded, the decoders' own words go nowhere: libpng prints
// its errors to the standard error itself and Qt logs its warnings, and we say in one line
// what failed. The standard error is the process's, so this is kept to the call itself.
class TQuietDecoders {
public:
  TQuietDecoders() : Previous(qInstallMessageHandler(Ignore)) {
    std::fflush(stderr);
    Saved = ::dup(STDERR_FILENO);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (Saved >= 0 && null >= 0)
      ::dup2(null, STDERR_FILENO);
    if (null >= 0)
      ::close(null);
  }
  ~TQuietDecoders() {
    std::fflush(stderr);
    if (Saved >= 0) {
      ::dup2(Saved, STDERR_FILENO);
      ::close(Saved);
    }
    qInstallMessageHandler(Previous);
  }
  TQuietDecoders(const TQuietDecoders&) = delete;
  TQuietDecoders& operator=(const TQuietDecoders&) = delete;

private:
  static void Ignore(QtMsgType, const QMessageLogContext&, const QString&) {}
  QtMessageHandler Previous;
  int Saved = -1;
};

// libpng refuses images more than this many pixels a side, whatever the format allows.
constexpr int PngLargestSide = 1000000;

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return s;
}

} // namespace

std::string ImageFormatFor(const std::string& path) {
  if (path == StandardOutputName)
    return "bmp";
  const size_t slash = path.find_last_of('/'), dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return "";
  const std::string ext = Lower(path.substr(dot + 1));
  return ext == "bmp" || ext == "png" ? ext : "";
}

QByteArray EncodeImage(const OBitmap24& image, const std::string& format, bool pLineOneAtBottom,
                       const TImageProgress& progress) {
  if (image.Width() <= 0 || image.Height() <= 0)
    throw Exception("The image is empty");
  if (format == "png" && (image.Width() > PngLargestSide || image.Height() > PngLargestSide))
    throw Exception("The picture is too " +
                    std::string(image.Height() > PngLargestSide ? "tall" : "wide") + " for PNG (" +
                    std::to_string(image.Width()) + " x " + std::to_string(image.Height()) +
                    " pixels; PNG takes at most " + std::to_string(PngLargestSide) +
                    " a side): BMP can hold it, use .bmp");
  QImage out(image.Width(), image.Height(), QImage::Format_RGB888);
  if (out.isNull())
    throw Exception("Not enough memory for an image of " + std::to_string(image.Width()) + " x " +
                    std::to_string(image.Height()) + " pixels");
  TRowProgress rows(progress, image.Height(), 0, 50);
  for (int y = 0; y < image.Height(); ++y) {
    const uint32_t* src = image.Row(pLineOneAtBottom ? image.Height() - 1 - y : y);
    uchar* dst = out.scanLine(y);
    for (int x = 0; x < image.Width(); ++x, dst += 3) {
      const QRgb rgb = ToQRgb(src[x]);
      dst[0] = static_cast<uchar>(qRed(rgb));
      dst[1] = static_cast<uchar>(qGreen(rgb));
      dst[2] = static_cast<uchar>(qBlue(rgb));
    }
    rows.Row(y);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, QByteArray::fromStdString(format));
  bool written = false;
  {
    TQuietDecoders quiet;
    written = writer.write(out);
  }
  if (!written)
    throw Exception("Cannot encode the image: " + writer.errorString().toStdString());
  if (progress)
    progress(90);
  return bytes;
}

void SaveImage(const OBitmap24& image, const std::string& path, bool pLineOneAtBottom,
               const TImageProgress& progress) {
  const std::string format = ImageFormatFor(path);
  if (format.empty())
    throw Exception("Cannot write an image of this kind (use .bmp or .png): " + path);
  const QByteArray bytes = EncodeImage(image, format, pLineOneAtBottom, progress);
  WriteFileAtomic(path,
                  std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                           static_cast<size_t>(bytes.size())));
  if (progress)
    progress(100);
}

void SaveImageRows(const std::string& path, int width, int height, int bandRows,
                   bool pLineOneAtBottom, const TDrawRows& draw, const TImageProgress& progress) {
  const std::string format = ImageFormatFor(path);
  if (format.empty())
    throw Exception("Cannot write an image of this kind (use .bmp or .png): " + path);
  if (width <= 0 || height <= 0)
    throw Exception("The image is empty");
  if (format != "bmp") {
    OBitmap24 whole;
    whole.SetSize(width, height);
    draw(0, whole);
    SaveImage(whole, path, pLineOneAtBottom, progress);
    return;
  }
  // A BMP holds its bottom row first, 24 bits a pixel, each row padded to 4 bytes. The
  // header is the one Qt writes, so that either way gives the same file.
  const uint64_t stride = (uint64_t{3} * static_cast<uint64_t>(width) + 3) / 4 * 4;
  const uint64_t pixels = stride * static_cast<uint64_t>(height);
  if (pixels > 0xFFFFFFFFu - 54)
    throw Exception("The picture is too large for BMP (" + std::to_string(width) + " x " +
                    std::to_string(height) + " pixels)");
  std::vector<uint8_t> header;
  auto put = [&](uint64_t v, int bytes) {
    for (int k = 0; k < bytes; ++k)
      header.push_back(static_cast<uint8_t>(v >> (8 * k)));
  };
  header = {'B', 'M'};
  put(54 + pixels, 4);
  put(0, 4);
  put(54, 4);
  put(40, 4);
  put(static_cast<uint64_t>(width), 4);
  put(static_cast<uint64_t>(height), 4);
  put(1, 2);
  put(24, 2);
  put(0, 4);
  put(pixels, 4);
  put(3937, 4); // 100 dots an inch
  put(3937, 4);
  put(0, 8);
  bandRows = std::clamp(bandRows, 1, height);
  OBitmap24 band;
  std::vector<uint8_t> bytes;
  TRowProgress rows(progress, height, 0, 100);
  bool headerSent = false;
  int done = 0; // rows written, from the file's first (the image's bottom row)
  WriteFileAtomic(path, [&]() -> std::span<const uint8_t> {
    if (!headerSent) {
      headerSent = true;
      return header;
    }
    if (done >= height)
      return {};
    // The file's rows from `done` on: image rows from the bottom up, which are the core's
    // rows from the first up when PLine 1 is at the bottom, else from the last down.
    const int n = std::min(bandRows, height - done);
    const int first = pLineOneAtBottom ? done : height - done - n;
    band.SetSize(width, n);
    draw(first, band);
    bytes.assign(stride * static_cast<uint64_t>(n), 0);
    for (int i = 0; i < n; ++i) {
      const uint32_t* src = band.Row(pLineOneAtBottom ? i : n - 1 - i);
      uint8_t* dst = bytes.data() + stride * static_cast<uint64_t>(i);
      for (int x = 0; x < width; ++x, dst += 3) {
        dst[0] = static_cast<uint8_t>(src[x] >> 16); // blue, green, red
        dst[1] = static_cast<uint8_t>(src[x] >> 8);
        dst[2] = static_cast<uint8_t>(src[x]);
      }
      rows.Row(done + i);
    }
    done += n;
    return bytes;
  });
}

OBitmap24 DecodeImage(const TBytes& bytes, const std::string& path,
                      const TImageProgress& progress) {
  const std::string failure = "Error reading bitmap file: " + path;
  if (ShortBmp(bytes))
    throw Exception(failure);
  QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  std::optional<TQuietDecoders> quiet(std::in_place);
  // The header's size is checked here, before the decoder allocates; Qt's own cap is far
  // below the largest picture a pattern holds.
  const QSize size = reader.size();
  if (size.isValid() && (size.width() < 1 || size.height() < 1 ||
                         int64_t{size.width()} * size.height() > OPicture::MaxPixels))
    throw Exception("The image is too large (" + std::to_string(size.width()) + " x " +
                    std::to_string(size.height()) + " pixels; a picture holds at most " +
                    std::to_string(OPicture::MaxPixels) + "): " + path);
  // Qt's cap is lifted for the one image checked here only; a reader that tells no size
  // before decoding keeps it.
  struct TLimit {
    const int Kept = QImageReader::allocationLimit();
    ~TLimit() { QImageReader::setAllocationLimit(Kept); }
  } limit;
  if (size.isValid())
    QImageReader::setAllocationLimit(0);
  QImage in = reader.read();
  quiet.reset();
  if (in.isNull())
    throw Exception(failure);
  if (progress)
    progress(40);
  if (in.format() != QImage::Format_RGB32 && in.format() != QImage::Format_ARGB32)
    in = in.convertToFormat(QImage::Format_RGB32);
  OBitmap24 bitmap;
  bitmap.SetSize(in.width(), in.height());
  TRowProgress rows(progress, in.height(), 40, 100);
  for (int y = 0; y < in.height(); ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(in.constScanLine(y));
    uint32_t* dst = bitmap.Row(y);
    for (int x = 0; x < in.width(); ++x)
      dst[x] = FromQRgb(src[x]);
    rows.Row(y);
  }
  return bitmap;
}

OBitmap24 LoadImage(const std::string& path, const TImageProgress& progress) {
  TBytes bytes;
  try {
    bytes = ReadFileBytes(path);
  } catch (const std::exception&) {
    throw Exception("Error reading bitmap file: " + path);
  }
  return DecodeImage(bytes, path, progress);
}

} // namespace quillane
