// Bitmap files go through QImage; the core only sees OBitmap24.
#include "ImageIO.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <span>
#include <unistd.h>
#include <vector>
#include <zlib.h>

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
// 100 dots an inch, as Qt writes an image's density.
constexpr uint32_t DotsPerMetre = 3937;

// A BMP row of 24-bit pixels, padded to 4 bytes.
uint64_t BmpStride(int width) {
  return (uint64_t{3} * static_cast<uint64_t>(width) + 3) / 4 * 4;
}

// The header Qt writes of a 24-bit image, so that either way gives the same file.
std::vector<uint8_t> BmpHeader(int width, int height, uint32_t dotsPerMetre) {
  const uint64_t pixels = BmpStride(width) * static_cast<uint64_t>(height);
  if (pixels > 0xFFFFFFFFu - 54)
    throw Exception("The picture is too large for BMP (" + std::to_string(width) + " x " +
                    std::to_string(height) + " pixels)");
  std::vector<uint8_t> header = {'B', 'M'};
  auto put = [&](uint64_t v, int bytes) {
    for (int k = 0; k < bytes; ++k)
      header.push_back(static_cast<uint8_t>(v >> (8 * k)));
  };
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
  put(dotsPerMetre, 4);
  put(dotsPerMetre, 4);
  put(0, 8);
  return header;
}

// A PNG of 8-bit RGB made as its rows come: the signature and header at once, then the
// rows compressed into data chunks of a fixed size as the compressor fills them, so that
// neither the image nor its compressed bytes are ever held whole.
class TPngEncoder {
public:
  // Appends the signature and the header chunks to `out`; later chunks go there too.
  TPngEncoder(int width, int height, uint32_t dotsPerMetre, std::vector<uint8_t>& out) : Out(out) {
    if (deflateInit(&Stream, Z_DEFAULT_COMPRESSION) != Z_OK)
      throw Exception("Not enough memory to compress the image");
    static constexpr uint8_t Signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Out.insert(Out.end(), std::begin(Signature), std::end(Signature));
    std::vector<uint8_t> header;
    Big(header, static_cast<uint32_t>(width));
    Big(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, filters, no interlace
    Chunk("IHDR", header);
    std::vector<uint8_t> density;
    Big(density, dotsPerMetre);
    Big(density, dotsPerMetre);
    density.push_back(1); // per metre
    Chunk("pHYs", density);
    Deflated.resize(IdatSize);
    Stream.next_out = Deflated.data();
    Stream.avail_out = IdatSize;
  }
  ~TPngEncoder() { deflateEnd(&Stream); }
  TPngEncoder(const TPngEncoder&) = delete;
  TPngEncoder& operator=(const TPngEncoder&) = delete;

  // Compresses rows, each after its filter byte; after the last, the stream is closed and
  // the end chunk follows.
  void Deflate(std::span<const uint8_t> rows, bool last) {
    // zlib counts in unsigned ints; a band may hold more.
    while (!rows.empty() || last) {
      const size_t n = std::min<size_t>(rows.size(), 1u << 30);
      Stream.next_in = const_cast<Bytef*>(rows.data()); // zlib does not write through it
      Stream.avail_in = static_cast<uInt>(n);
      rows = rows.subspan(n);
      const int flush = last && rows.empty() ? Z_FINISH : Z_NO_FLUSH;
      int status = Z_OK;
      do {
        status = deflate(&Stream, flush);
        if (status == Z_STREAM_ERROR)
          throw Exception("Cannot compress the image");
        if (Stream.avail_out == 0 || status == Z_STREAM_END)
          Data();
      } while (Stream.avail_in > 0 || (flush == Z_FINISH && status != Z_STREAM_END));
      if (flush == Z_FINISH) {
        Chunk("IEND", {});
        return;
      }
    }
  }

private:
  static constexpr uInt IdatSize = 1 << 16;
  std::vector<uint8_t>& Out;
  z_stream Stream{};
  std::vector<uint8_t> Deflated;

  static void Big(std::vector<uint8_t>& to, uint32_t v) {
    for (int k = 3; k >= 0; --k)
      to.push_back(static_cast<uint8_t>(v >> (8 * k)));
  }
  void Chunk(const char (&type)[5], std::span<const uint8_t> data) {
    Big(Out, static_cast<uint32_t>(data.size()));
    const size_t from = Out.size();
    Out.insert(Out.end(), type, type + 4);
    Out.insert(Out.end(), data.begin(), data.end());
    Big(Out,
        static_cast<uint32_t>(crc32(0, Out.data() + from, static_cast<uInt>(Out.size() - from))));
  }
  // What the compressor has given so far becomes a data chunk.
  void Data() {
    Chunk("IDAT", std::span<const uint8_t>(Deflated.data(), IdatSize - Stream.avail_out));
    Stream.next_out = Deflated.data();
    Stream.avail_out = IdatSize;
  }
};

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

void SaveImage(const OBitmap24& image, const std::string& path, bool pLineOneAtBottom,
               const TImageProgress& progress) {
  // The image is held already; the bands only keep the copy small.
  SaveImageRows(
      path, image.Width(), image.Height(), 1 << 20, pLineOneAtBottom,
      [&](int first, int column, OBitmap24& rows) {
        for (int y = 0; y < rows.Height(); ++y)
          std::copy_n(image.Row(first + y) + column, rows.Width(), rows.Row(y));
      },
      progress);
}

void SaveImageRows(const std::string& path, int width, int height, int64_t bandPixels,
                   bool pLineOneAtBottom, const TDrawRows& draw, const TImageProgress& progress,
                   int dotsPerInch) {
  const uint32_t dotsPerMetre =
      dotsPerInch > 0 ? static_cast<uint32_t>(std::lround(dotsPerInch / 0.0254)) : DotsPerMetre;
  const std::string format = ImageFormatFor(path);
  if (format.empty())
    throw Exception("Cannot write an image of this kind (use .bmp or .png): " + path);
  if (width <= 0 || height <= 0)
    throw Exception("The image is empty: " + path);
  const bool png = format == "png";
  std::vector<uint8_t> out; // the bytes the next part hands to the file
  std::optional<TPngEncoder> encoder;
  uint64_t stride = 0;
  if (png) {
    if (width > PngLargestSide || height > PngLargestSide)
      throw Exception("The picture is too " +
                      std::string(height > PngLargestSide ? "tall" : "wide") + " for PNG (" +
                      std::to_string(width) + " x " + std::to_string(height) +
                      " pixels; PNG takes at most " + std::to_string(PngLargestSide) +
                      " a side): BMP can hold it, use .bmp");
    encoder.emplace(width, height, dotsPerMetre, out);
  } else {
    out = BmpHeader(width, height, dotsPerMetre);
    stride = BmpStride(width);
  }
  // A BMP holds the image's bottom row first, a PNG its top row; the image's top row is
  // the core's last when PLine 1 is at the bottom.
  const bool lastFirst = png == pLineOneAtBottom;
  // Whole rows as many as the band holds, or one row a piece at a time when a row alone
  // is more than a band.
  bandPixels = std::max<int64_t>(bandPixels, 1);
  const int bandRows = static_cast<int>(std::clamp<int64_t>(bandPixels / width, 1, height));
  const int pieceColumns = static_cast<int>(std::min<int64_t>(bandPixels, width));
  OBitmap24 band;
  std::vector<uint8_t> pngRows; // a PNG band's rows, each after its filter byte
  std::vector<uint8_t> above(png ? 3 * static_cast<size_t>(width) : 0); // the row before
  TRowProgress rows(progress, height, 0, 100);
  int done = 0;   // rows written, in the file's order
  int column = 0; // where the next piece of a row starts
  bool handedOut = false;
  WriteFileAtomic(path, [&]() -> std::span<const uint8_t> {
    if (handedOut)
      out.clear();
    handedOut = true;
    // The compressor may keep a band's bytes to itself: draw until something comes out.
    while (out.empty() && done < height) {
      const int n = pieceColumns < width ? 1 : std::min(bandRows, height - done);
      const int m = std::min(pieceColumns, width - column);
      const int first = lastFirst ? height - done - n : done;
      band.SetSize(m, n);
      draw(first, column, band);
      const size_t rowBytes = (png && column == 0 ? 1 : 0) + 3 * static_cast<size_t>(m);
      const bool rowEnds = column + m == width;
      const size_t padding = png || !rowEnds ? 0 : stride - 3 * static_cast<size_t>(width);
      std::vector<uint8_t>& to = png ? pngRows : out;
      to.assign(static_cast<size_t>(n) * (rowBytes + padding), 0);
      for (int i = 0; i < n; ++i) {
        const uint32_t* src = band.Row(lastFirst ? n - 1 - i : i);
        uint8_t* dst = to.data() + static_cast<size_t>(i) * (rowBytes + padding);
        if (png) {
          // Each byte less the one above it: a pattern's colours mostly go on down the
          // rows, and the zeros this leaves compress to half of what the bytes themselves
          // do, at the cost of one subtraction.
          if (column == 0)
            *dst++ = 2; // the filter "up"
          uint8_t* up = above.data() + 3 * static_cast<size_t>(column);
          for (int x = 0; x < m; ++x, dst += 3, up += 3) {
            const uint8_t rgb[3] = {static_cast<uint8_t>(src[x]), static_cast<uint8_t>(src[x] >> 8),
                                    static_cast<uint8_t>(src[x] >> 16)};
            for (int k = 0; k < 3; ++k) {
              dst[k] = static_cast<uint8_t>(rgb[k] - up[k]);
              up[k] = rgb[k];
            }
          }
        } else {
          for (int x = 0; x < m; ++x, dst += 3) {
            dst[0] = static_cast<uint8_t>(src[x] >> 16); // blue, green, red
            dst[1] = static_cast<uint8_t>(src[x] >> 8);
            dst[2] = static_cast<uint8_t>(src[x]);
          }
        }
        if (rowEnds)
          rows.Row(done + i);
      }
      column = rowEnds ? 0 : column + m;
      if (rowEnds)
        done += n;
      if (png)
        encoder->Deflate(pngRows, done == height);
    }
    return out;
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
  // The header's size is checked here, before the decoder allocates: the decoded image
  // and the bitmap made from it are held together, so both are bounded.
  const QSize size = reader.size();
  if (size.isValid()) {
    const int64_t pixels = int64_t{std::max(size.width(), 0)} * std::max(size.height(), 0);
    const int depth = QImage::toPixelFormat(reader.imageFormat()).bitsPerPixel();
    const int64_t decoded = pixels * std::max(depth / 8, 4);
    if (size.width() < 1 || size.height() < 1 || pixels > OPicture::MaxPixels ||
        decoded > ImageDecodeBudget)
      throw Exception("The image is too large (" + std::to_string(size.width()) + " x " +
                      std::to_string(size.height()) + " pixels, " +
                      std::to_string((decoded + (1 << 20) - 1) >> 20) + " MB decoded; at most " +
                      std::to_string(ImageDecodeBudget >> 20) + " MB): " + path);
  }
  // Qt's own cap, the same budget, holds for a reader that tells no size before decoding.
  struct TLimit {
    const int Kept = QImageReader::allocationLimit();
    ~TLimit() { QImageReader::setAllocationLimit(Kept); }
  } limit;
  QImageReader::setAllocationLimit(static_cast<int>(ImageDecodeBudget >> 20));
  QImage in = reader.read();
  quiet.reset();
  if (in.isNull())
    throw Exception(failure);
  if (progress)
    progress(40);
  const std::string noMemory = "Not enough memory to read the image: " + path;
  OBitmap24 bitmap;
  try {
    bitmap.SetSize(in.width(), in.height());
    bitmap.Allocate({});
  } catch (const std::bad_alloc&) {
    throw Exception(noMemory);
  }
  // Other formats are converted a band of rows at a time, so that no second whole image
  // is held beside the decoded one and the bitmap.
  const bool direct = in.format() == QImage::Format_RGB32 || in.format() == QImage::Format_ARGB32;
  const int width = in.width(), bandRows = std::max(1, (1 << 20) / width);
  QImage band;
  TRowProgress rows(progress, in.height(), 40, 100);
  for (int y = 0; y < in.height(); ++y) {
    if (!direct && y % bandRows == 0) {
      band = in.copy(0, y, width, std::min(bandRows, in.height() - y))
                 .convertToFormat(QImage::Format_RGB32);
      if (band.isNull())
        throw Exception(noMemory);
    }
    const auto* src = reinterpret_cast<const QRgb*>(direct ? in.constScanLine(y)
                                                           : band.constScanLine(y % bandRows));
    uint32_t* dst = bitmap.Row(y);
    for (int x = 0; x < width; ++x)
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
