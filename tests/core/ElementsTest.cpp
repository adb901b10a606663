#include "TestSupport.h"

#include <algorithm>

#include "app/Exceptions.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "model/Pattern.h"
#include "setup/Settings.h"

namespace quillane::test {
namespace {

// Every orientation against the picture it describes: the area's offsets mirrored as rows
// and columns, then turned a quarter at a time against the clock, laid at the other
// area's corner. Both ways, for regions and sections, on non-square areas.
TEST(AreaMapping, EveryOrientationMapsTheAreaOntoTheOtherBothWays) {
  const TRect from{11, 5, 13, 6}; // 3 x 2
  for (int orientation = 0; orientation < 20; ++orientation) {
    const uint8_t hFlip = orientation & 1, vFlip = (orientation >> 1) & 1;
    const uint8_t rotation = static_cast<uint8_t>(orientation >> 2); // 4: no turn
    using TCells = std::vector<std::vector<std::pair<int, int>>>;
    TCells m(2, std::vector<std::pair<int, int>>(3));
    for (int dy = 0; dy < 2; ++dy)
      for (int dx = 0; dx < 3; ++dx)
        m[dy][dx] = {from.Left + dx, from.Top + dy};
    if (hFlip)
      for (auto& row : m)
        std::reverse(row.begin(), row.end());
    if (vFlip)
      std::reverse(m.begin(), m.end());
    for (int turn = 0; turn < (rotation < 4 ? rotation : 0); ++turn) {
      const size_t h = m.size(), w = m[0].size();
      TCells t(w, std::vector<std::pair<int, int>>(h));
      for (size_t i = 0; i < w; ++i)
        for (size_t j = 0; j < h; ++j)
          t[i][j] = m[j][w - 1 - i];
      m = t;
    }
    const int left = 2, top = 7;
    const TRect to{left, top, left + int(m[0].size()) - 1, top + int(m.size()) - 1};
    OPicture picture(nullptr);
    ORegion r(nullptr, &picture);
    r.SetPatternArea(from);
    r.SetPictureArea(to);
    OSection s(nullptr);
    s.SetSourceArea(from);
    s.TargetArea = to;
    r.HFlip = s.HFlip = hFlip;
    r.VFlip = s.VFlip = vFlip;
    r.Rotation = s.Rotation = rotation;
    int32_t ox = from.Left - 1, oy = from.Top; // just outside the source: left alone
    ASSERT_FALSE(s.MapToTarget(ox, oy));
    ASSERT_EQ(std::pair(ox, oy), std::pair(from.Left - 1, from.Top));
    for (int y = to.Top - 1; y <= to.Bottom + 1; ++y)
      for (int x = to.Left - 1; x <= to.Right + 1; ++x) {
        const bool inside = InArea(to, x, y);
        const auto cell = inside ? m[y - top][x - left] : std::pair(x, y);
        int32_t rx = x, ry = y, sx = x, sy = y;
        ASSERT_EQ(r.MapPixelToCell(rx, ry), inside);
        ASSERT_EQ(s.MapToSource(sx, sy), inside);
        ASSERT_EQ(std::pair(rx, ry), cell) << orientation << ": " << x << "," << y;
        ASSERT_EQ(std::pair(sx, sy), cell) << orientation << ": " << x << "," << y;
        if (!inside)
          continue;
        ASSERT_TRUE(r.MapCellToPixel(rx, ry));
        ASSERT_TRUE(s.MapToTarget(sx, sy));
        ASSERT_EQ(std::pair(rx, ry), std::pair(x, y)) << orientation;
        ASSERT_EQ(std::pair(sx, sy), std::pair(x, y)) << orientation;
      }
  }
}

TEST(SectionMapping, ForgedAreasNeverOverflow) {
  OSection s(nullptr);
  s.SetSourceArea({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
  s.TargetArea = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  s.HFlip = 1;
  s.Rotation = 3;
  EXPECT_EQ(s.SourceWidth, INT32_MAX);
  int32_t x = INT32_MAX, y = INT32_MIN;
  EXPECT_TRUE(s.MapToTarget(x, y));
  EXPECT_FALSE(s.MapToSource(x, y)) << "the inverted target holds no cell";
}

TEST(Section, RecordWithZeroEdgeOrUnknownVersion) {
  OSection s(nullptr);
  s.SetSourceArea({1, 1, 10, 10});
  s.Rotation = 3;
  OWriter w;
  s.WriteToStream(w);
  // A right edge of 0 is read without complaint.
  Bytes zero = w.Bytes();
  zero[10] = 0;
  OSection back(nullptr);
  OReader r(zero);
  back.ReadFromStream(r);
  EXPECT_EQ((std::vector<int>{back.SourceArea.Right, back.SourceWidth, back.Rotation}),
            (std::vector<int>{0, 0, 3}));

  Bytes other = w.Bytes();
  other[1] = 2;
  OReader bad(other);
  EXPECT_THROW(back.ReadFromStream(bad), EDesignData);
}

TEST(Picture, RecordSizesAndCopies) {
  OPicture picture(nullptr);
  picture.AspectRatio = 1.5f;
  picture.SetWidth(4);
  picture.SetHeight(3);
  for (int i = 0; i < 2; ++i) {
    ORegion* r = picture.Regions.Add(std::make_unique<ORegion>(nullptr, &picture));
    r->SetPatternArea({1, 1, 4, 3});
    r->SetPictureArea({1, 1, 4, 3});
    r->ImportFlag = static_cast<uint8_t>(i);
  }
  OWriter w;
  picture.WriteToStream(w);
  Bytes e;
  Put(e, {6, 1});
  PutSingle(e, 1.5f);
  PutCardinal(e, 3);
  Put(e, {0});
  PutCardinal(e, 4);
  Put(e, {2});
  ASSERT_EQ(w.Size(), 92u) << "16 bytes and two regions of 38";
  EXPECT_EQ(Bytes(w.Bytes().begin(), w.Bytes().begin() + 16), e);

  // Reading sizes both images without any pattern content; regions join those it has.
  OPicture back(nullptr);
  back.MachineImage.SetSize(1, 1);
  back.MachineImage.SetPixel(0, 0, 0x123456);
  back.UpToDate = TView::Design;
  OReader r(w.Bytes());
  back.ReadFromStream(r);
  EXPECT_EQ((std::vector<int>{back.Width, back.MachineImage.Width(), back.DesignImage.Height(),
                              static_cast<int>(back.UpToDate), back.Regions.Get(1)->ImportFlag}),
            (std::vector<int>{4, 4, 3, 0, 1}));
  EXPECT_EQ(back.MachineImage.GetPixel(3, 2), OBitmap24::DefaultColour);
  EXPECT_EQ(back.Regions.Get(1)->Picture, &back);

  // A record announcing more pixels than allowed changes nothing.
  OReader limited(w.Bytes());
  EXPECT_THROW(back.ReadFromStream(limited, 11), EDesignData);
  EXPECT_EQ(back.Regions.Count(), 2);
  EXPECT_EQ(back.Width, 4);

  // An image of no columns but some rows, or the other way round, is no image: refused as
  // the announced sizes are. No picture at all is one.
  for (const auto& [width, height] : {std::pair{0, 3}, {4, 0}, {0, 1 << 27}, {0, 0}}) {
    Bytes forged = w.Bytes();
    for (int k = 0; k < 4; ++k) {
      forged[6 + k] = static_cast<uint8_t>(height >> (8 * k));
      forged[11 + k] = static_cast<uint8_t>(width >> (8 * k));
    }
    OReader sized(forged);
    bool refused = false;
    try {
      OPicture(nullptr).ReadFromStream(sized);
    } catch (const EDesignData&) {
      refused = true;
    }
    EXPECT_EQ(refused, width || height) << width << " x " << height;
  }
}

TEST(Picture, AspectRatioIsAPositiveFiniteRatioOrOne) {
  const struct {
    float PLineSpacing, NeedleSpacing, Ratio;
  } rows[] = {{3, 2, 1.5f}, {0, 0, 1}, {3, 0, 1}, {0, 2, 1}, {-3, 2, 1}, {1e38f, 1e-38f, 1}};
  OPattern p;
  OPicture picture(&p);
  for (const auto& row : rows) {
    p.Settings->PLineSpacing = row.PLineSpacing;
    p.Settings->NeedleSpacing = row.NeedleSpacing;
    picture.AspectRatio = 7;
    picture.Update();
    EXPECT_EQ(picture.AspectRatio, row.Ratio) << row.PLineSpacing << "/" << row.NeedleSpacing;
  }
}

} // namespace
} // namespace quillane::test
