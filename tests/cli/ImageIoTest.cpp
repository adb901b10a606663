#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <cstdio>
#include <filesystem>
#include <tuple>
#include <unistd.h>

#include "ImageIO.h"
#include "TestSupport.h"
#include "app/Exceptions.h"
#include "elements/Bitmap.h"

namespace quillane::test {
namespace {

// A PNG of one colour, as another program would write it.
QByteArray PngOf(int width, int height, QRgb colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(QImageWriter(&buffer, "png").write(image));
  return png;
}

// The BMP Qt writes of the whole image, PLine 1 at the bottom or not.
Bytes QtBmp(const OBitmap24& image, bool pLineOneAtBottom) {
  QImage out(image.Width(), image.Height(), QImage::Format_RGB32);
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x)
      out.setPixel(x, pLineOneAtBottom ? image.Height() - 1 - y : y, ToQRgb(image.Row(y)[x]));
  QByteArray bmp;
  QBuffer buffer(&bmp);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(QImageWriter(&buffer, "bmp").write(out.convertToFormat(QImage::Format_RGB888)));
  return Bytes(bmp.begin(), bmp.end());
}

TEST(ImageFiles, ColoursCrossByValueAndSizesReachTheLargestPicture) {
  EXPECT_EQ(ToQRgb(0xFF0000FFu), qRgb(0xFF, 0, 0)) << "the top byte is not alpha";
  EXPECT_EQ(FromQRgb(qRgba(0x12, 0x34, 0x56, 0x80)), 0x563412u);

  // Above Qt's own cap of 2^25 pixels, well within a picture.
  const QByteArray png = PngOf(5800, 5800, qRgb(1, 2, 3));
  const int cap = QImageReader::allocationLimit();
  const OBitmap24 read = DecodeImage(TBytes(png.begin(), png.end()), "big.png");
  ASSERT_EQ(read.Width(), 5800);
  EXPECT_EQ(read.Row(5799)[5799], 0x030201u);
  EXPECT_EQ(QImageReader::allocationLimit(), cap) << "the cap holds for the next image";

  // Headers announcing more pixels a side than a picture holds, in a few bytes: refused
  // from the header with the loader's message, before the decoder allocates.
  auto forgedPng = [&](uint32_t side, uint32_t height = 0, uint8_t bits = 8, uint8_t type = 2) {
    Bytes forged(png.begin(), png.end());
    for (size_t at : {16, 20})
      for (int k = 0; k < 4; ++k)
        forged[at + k] = static_cast<uint8_t>((at == 20 && height ? height : side) >> (24 - 8 * k));
    forged[24] = bits;
    forged[25] = type;
    uint32_t crc = ~0u; // of the header chunk's type and data
    for (size_t i = 12; i < 29; ++i) {
      crc ^= forged[i];
      for (int k = 0; k < 8; ++k)
        crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    for (int k = 0; k < 4; ++k)
      forged[29 + k] = static_cast<uint8_t>(~crc >> (24 - 8 * k));
    return forged;
  };
  // 54 bytes of header and a few of pixels; 8 bits with run-length data has no fixed size.
  auto forgedBmp = [](uint32_t side, uint32_t bits, uint32_t compression) {
    Bytes b = {'B', 'M'};
    for (uint32_t v : {62u, 0u, 54u, 40u, side, side, 1u | bits << 16, compression})
      for (int k = 0; k < 4; ++k)
        b.push_back(static_cast<uint8_t>(v >> (8 * k)));
    b.resize(62, 0);
    return b;
  };
  const std::pair<std::string, Bytes> forged[] = {
      {"100000.png", forgedPng(100000)},
      {"2^31.png", forgedPng(0x80000000u)},
      {"2^31.bmp", forgedBmp(0x80000000u, 24, 0)},
      {"2^31-1 rle.bmp", forgedBmp(0x7FFFFFFFu, 8, 1)},
  };
  for (const auto& [name, bytes] : forged) {
    try {
      DecodeImage(bytes, name);
      ADD_FAILURE() << "a forged size was decoded: " << name;
    } catch (const Exception& e) {
      EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << "[" << e.what() << "]";
    }
  }

  // Decoded, an image may take 256 MB, at 4 bytes a pixel or more: an 8,192 x 8,192 image
  // (only too short here), not one row more, nor a 16-bit image with alpha (8 bytes a
  // pixel) of the size read above.
  for (const auto& [width, height, bits, megabytes] : {std::tuple{8192, 8192, 8, 0},
                                                       {8192, 8193, 8, 257},
                                                       {5800, 5800, 16, 257},
                                                       {16384, 8192, 16, 1024}})
    try {
      DecodeImage(forgedPng(width, height, static_cast<uint8_t>(bits), bits == 8 ? 2 : 6), "x");
      ADD_FAILURE() << width << " x " << height << " was decoded";
    } catch (const Exception& e) {
      const std::string size = std::to_string(width) + " x " + std::to_string(height);
      EXPECT_EQ(e.what(), megabytes == 0
                              ? "Error reading bitmap file: x"
                              : "The image is too large (" + size + " pixels, " +
                                    std::to_string(megabytes) + " MB decoded; at most 256 MB): x");
    }
}

// Our one line says what failed: libpng and Qt print nothing of their own, and a picture
// taller than PNG takes is refused before encoding, pointing to BMP.
TEST(ImageFiles, FailuresAreOneLineOfOurs) {
  TTempDir dir;
  OBitmap24 tall;
  tall.SetSize(1, 1000001);
  tall.Fill(0x123456);
  const QByteArray png = PngOf(40, 40, qRgb(9, 8, 7));
  std::fflush(stderr);
  const int saved = ::dup(STDERR_FILENO);
  std::FILE* captured = std::tmpfile();
  ::dup2(::fileno(captured), STDERR_FILENO);
  std::string failures;
  for (size_t keep : {size_t{60}, static_cast<size_t>(png.size()) - 20})
    try {
      DecodeImage(TBytes(png.begin(), png.begin() + static_cast<qsizetype>(keep)), "cut.png");
    } catch (const Exception& e) {
      failures += std::string(e.what()) + "\n";
    }
  for (const OBitmap24& image : {tall, OBitmap24()})
    try {
      SaveImage(image, dir.File("tall.png"), true);
    } catch (const Exception& e) {
      failures += std::string(e.what()) + "\n";
    }
  std::fflush(stderr);
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  std::fseek(captured, 0, SEEK_END);
  EXPECT_EQ(std::ftell(captured), 0) << "printed by the decoders";
  std::fclose(captured);
  EXPECT_EQ(failures, "Error reading bitmap file: cut.png\nError reading bitmap file: cut.png\n"
                      "The picture is too tall for PNG (1 x 1000001 pixels; PNG takes at most "
                      "1000000 a side): BMP can hold it, use .bmp\n"
                      "The image is empty: " +
                          dir.File("tall.png") + "\n");
  EXPECT_FALSE(std::filesystem::exists(dir.File("tall.png")));
  SaveImage(tall, dir.File("tall.bmp"), true);
  EXPECT_EQ(FileBytes(dir.File("tall.bmp")).size(), 54 + 4 * 1000001);
}

// An image written band after band: a BMP is the file Qt writes of the whole image, and a
// PNG decodes to the whole image's pixels, at every row padding, band size (the last band
// short or not) and either way up; the noise image's compressed rows fill many data chunks
// and leave the compressor holding some bands whole.
TEST(ImageFiles, BandsGiveTheWholeImage) {
  TTempDir dir;
  // Bands of so many pixels: whole rows, or pieces of a row when they hold less than one.
  const struct {
    int Width, Height;
    std::vector<int> Bands;
  } sizes[] = {{1, 1, {1}},    {1, 5, {1, 2, 5}}, {2, 5, {2, 4}},         {3, 5, {1, 2, 6, 15}},
               {4, 5, {3, 8}}, {7, 1, {1, 7}},    {7, 5, {3, 4, 14, 35}}, {300, 701, {77, 2100}}};
  for (const auto& size : sizes)
    for (int bandPixels : size.Bands)
      for (bool pLineOneAtBottom : {false, true}) {
        const int width = size.Width, height = size.Height;
        OBitmap24 whole;
        whole.SetSize(width, height);
        uint32_t noise = 1;
        for (int y = 0; y < height; ++y)
          for (int x = 0; x < width; ++x)
            whole.SetPixel(x, y,
                           width < 100 ? 0x010203u * static_cast<uint32_t>(1 + x + 7 * y)
                                       : (noise = noise * 1664525u + 1013904223u) >> 8);
        const std::string at = std::to_string(width) + " x " + std::to_string(height) +
                               ", bands of " + std::to_string(bandPixels) + ", " +
                               std::to_string(pLineOneAtBottom);
        for (const std::string format : {"bmp", "png"}) {
          const std::string path = dir.File("band." + format);
          SaveImageRows(path, width, height, bandPixels, pLineOneAtBottom,
                        [&](int first, int column, OBitmap24& band) {
                          for (int y = 0; y < band.Height(); ++y)
                            std::copy_n(whole.Row(first + y) + column, band.Width(), band.Row(y));
                        });
          if (format == "bmp") {
            ASSERT_EQ(FileBytes(path), QtBmp(whole, pLineOneAtBottom)) << at;
            continue;
          }
          const OBitmap24 read = LoadImage(path);
          ASSERT_EQ(read.Width() * 1000 + read.Height(), width * 1000 + height) << at;
          for (int y = 0; y < height; ++y)
            ASSERT_TRUE(std::equal(whole.Row(y), whole.Row(y) + width,
                                   read.Row(pLineOneAtBottom ? height - 1 - y : y)))
                << at << ", row " << y;
        }
      }
}

} // namespace
} // namespace quillane::test
