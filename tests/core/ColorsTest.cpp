#include "TestSupport.h"

#include "app/Exceptions.h"
#include "files/Colors.h"

namespace quillane::test {
namespace {

// The header is packed: the colour table starts at offset 1.
TEST(ColorsFile, FourControlsMakeAFileOf331Bytes) {
  TColorsFile f(4);
  f.SetColour(1, 1, 0x00332211);
  f.SetColour(2, 3, 0x00CCBBAA);
  f.SetColour(3, 26, -2);
  for (int c = 1; c <= 4; ++c)
    f.SetControlYarn(c, static_cast<uint8_t>(c * 3));

  Bytes e(331, 0);
  auto at = [&](size_t offset, std::initializer_list<int> values) {
    for (int v : values)
      e[offset++] = static_cast<uint8_t>(v);
  };
  at(0, {2});
  at(5, {0x11, 0x22, 0x33});         // state 1, yarn type 1
  at(121, {0xAA, 0xBB, 0xCC});       // state 2, yarn type 3
  at(321, {0xFE, 0xFF, 0xFF, 0xFF}); // state 3, yarn type 26
  at(325, {4, 0});
  at(327, {3, 6, 9, 12});
  EXPECT_EQ(f.SaveToBytes(), e);

  TColorsFile back(4);
  back.LoadFromBytes(e);
  EXPECT_EQ(back.SaveToBytes(), e);
}

// A smaller file fills the first controls and leaves the rest; a larger one is refused.
TEST(ColorsFile, LoadRespectsTheConstructionCount) {
  TColorsFile four(4);
  four.SetColour(3, 2, 77);
  for (int c = 1; c <= 4; ++c)
    four.SetControlYarn(c, 1);
  four.SetControlYarn(0, 99); // index 0 is never stored
  const Bytes file = four.SaveToBytes();

  TColorsFile six(6);
  six.SetColour(1, 1, 0x111111);
  for (int c = 1; c <= 6; ++c)
    six.SetControlYarn(c, static_cast<uint8_t>(10 + c));
  six.LoadFromBytes(file);
  EXPECT_EQ(six.Count(), 4);
  EXPECT_EQ(six.Colour(3, 2), 77);
  EXPECT_EQ(six.Colour(1, 1), 0);
  const uint8_t yarns[] = {0, 1, 1, 1, 1, 15, 16};
  for (int c = 0; c <= 6; ++c)
    EXPECT_EQ(six.ControlYarn(c), yarns[c]) << c;

  TColorsFile three(3);
  EXPECT_THROW(three.LoadFromBytes(file), EReadError);
  EXPECT_EQ(three.Colour(3, 2), 0);
}

} // namespace
} // namespace quillane::test
