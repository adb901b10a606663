#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include "ImageIO.h"
#include "TestSupport.h"
#include "app/Exceptions.h"
#include "elements/Bitmap.h"

namespace quillane::test {
namespace {

TEST(ImageFiles, ColoursCrossByValueAndSizesReachTheLargestPicture) {
  EXPECT_EQ(ToQRgb(0xFF0000FFu), qRgb(0xFF, 0, 0)) << "the top byte is not alpha";
  EXPECT_EQ(FromQRgb(qRgba(0x12, 0x34, 0x56, 0x80)), 0x563412u);

  // Above Qt's own cap of 2^25 pixels, well within a picture.
  QByteArray png;
  {
    QImage big(5800, 5800, QImage::Format_RGB32);
    big.fill(qRgb(1, 2, 3));
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(QImageWriter(&buffer, "png").write(big));
  }
  const OBitmap24 read = DecodeImage(TBytes(png.begin(), png.end()), "big.png");
  ASSERT_EQ(read.Width(), 5800);
  EXPECT_EQ(read.Row(5799)[5799], 0x030201u);

  // A PNG announcing 100,000 x 100,000 pixels in a few bytes: refused from its header,
  // before the decoder allocates.
  Bytes forged(png.begin(), png.end());
  for (size_t at : {16, 20})
    for (int k = 0; k < 4; ++k)
      forged[at + k] = static_cast<uint8_t>(100000u >> (24 - 8 * k));
  uint32_t crc = ~0u; // of the header chunk's type and data
  for (size_t i = 12; i < 29; ++i) {
    crc ^= forged[i];
    for (int k = 0; k < 8; ++k)
      crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  for (int k = 0; k < 4; ++k)
    forged[29 + k] = static_cast<uint8_t>(~crc >> (24 - 8 * k));
  try {
    DecodeImage(forged, "forged.png");
    ADD_FAILURE() << "a forged size was decoded";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << "[" << e.what() << "]";
  }
}

} // namespace
} // namespace quillane::test
