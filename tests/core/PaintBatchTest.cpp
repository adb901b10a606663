#include <random>

#include "elements/BitmapMapping.h"
#include "elements/Region.h"

#include "PatternSupport.h"
#include "setup/Creel.h"

namespace quillane::test {
namespace {

class PaintBatch : public TFlowTest {};

struct TPick {
  std::mt19937 Random;
  int operator()(int lo, int hi) { return lo + static_cast<int>(Random() % unsigned(hi - lo + 1)); }
};

void ExpectSameCellsAndPixels(const OPattern& a, const OPattern& b) {
  EXPECT_EQ(a.States.Data(), b.States.Data());
  EXPECT_EQ(a.MachineColours.Data(), b.MachineColours.Data());
  for (int i = 0; i < a.Pictures->Count(); ++i)
    EXPECT_TRUE(a.Pictures->Get(i)->MachineImage == b.Pictures->Get(i)->MachineImage);
  EXPECT_EQ(a.Modified(), b.Modified());
}

void PaintOneByOne(OPattern& p, const TRect& cells, const std::vector<uint8_t>& values) {
  size_t i = 0;
  for (int pl = cells.Top; pl <= cells.Bottom; ++pl)
    for (int c = cells.Left; c <= cells.Right; ++c)
      p.PaintMachineColour(c, pl, values[i++]);
}

// Straight sections that may overlap, regions apart (one turned), mixed yarn types.
std::unique_ptr<OPattern> Layout(unsigned seed, uint8_t machineType) {
  TPick pick{std::mt19937(seed)};
  auto p = BarePattern(24, 18, machineType);
  for (int c = 1; c <= 24; ++c)
    p->Creel->SetYarnType(c, static_cast<uint8_t>(pick(1, 3)));
  p->ApplyCreel();
  AddSection(*p, {1, 1, 24, 18}, {1, 1, 24, 18});
  for (int i = 0; i < 5; ++i) {
    const int w = pick(1, 8), h = pick(1, 8), l = pick(1, 25 - w), t = pick(1, 19 - h);
    const int tl = pick(1, 25 - w), tt = pick(1, 19 - h);
    AddSection(*p, {l, t, l + w - 1, t + h - 1}, {tl, tt, tl + w - 1, tt + h - 1});
  }
  OPicture& picture = AddPicture(*p, 60, 40);
  AddRegion(picture, {1, 1, 24, 18}, {1, 1, 24, 18});
  AddRegion(picture, {3, 2, 10, 7}, {30, 1, 35, 8}, 0, 0, 1);
  AddRegion(picture, {1, 1, 24, 18}, {1, 21, 24, 38}, 1, 0, 0);
  AddRegion(AddPicture(*p, 24, 18), {1, 1, 24, 18}, {1, 1, 24, 18});
  p->Changed();
  for (const auto& pic : *p->Pictures)
    pic->BringUpToDate(TView::Machine);
  return p;
}

TEST_F(PaintBatch, GivesTheSameCellsAndPixelsAsPaintingOneByOne) {
  for (uint8_t machineType : {0, 4, 11})
    for (unsigned seed = 1; seed <= 25; ++seed) {
      auto one = Layout(seed, machineType), batched = Layout(seed, machineType);
      std::mt19937 random(seed * 7919);
      batched->BeginPaintBatch();
      for (int i = 0; i < 300; ++i) { // a few colours past the palette, now and then a repeat
        const int x = int(random() % 26), y = int(random() % 20), v = int(random() % 19);
        for (int k = 0; k < 1 + (i % 50 == 0); ++k)
          for (OPattern* p : {one.get(), batched.get()})
            p->Pictures->Get(0)->PaintMachinePixel(x, y, static_cast<uint8_t>(v));
      }
      batched->EndPaintBatch();
      SCOPED_TRACE(seed * 100 + machineType);
      ExpectSameCellsAndPixels(*one, *batched);
    }
}

// A batch draws each PLine from its first to last redrawn cell, word edges included.
TEST_F(PaintBatch, ALoneCellAtEitherEndOfItsPLineIsDrawn) {
  for (int controls : {24, 63, 64, 65})
    for (int pLine : {1, 2, 3})
      for (bool last : {false, true}) {
        auto one = ShownPattern(controls, 3), batched = ShownPattern(controls, 3);
        const int x = last ? controls - 1 : 0, y = pLine - 1;
        const uint32_t before = one->Pictures->Get(0)->MachineImage.Row(y)[x];
        batched->BeginPaintBatch();
        for (OPattern* p : {one.get(), batched.get()})
          p->Pictures->Get(0)->PaintMachinePixel(x, y, 2);
        batched->EndPaintBatch();
        ASSERT_TRUE(one->Pictures->Get(0)->MachineImage == batched->Pictures->Get(0)->MachineImage)
            << controls << " controls, PLine " << pLine << (last ? ", last" : ", first");
        ASSERT_NE(one->Pictures->Get(0)->MachineImage.Row(y)[x], before);
      }
}

TEST_F(PaintBatch, LayoutsWhoseResultDependsOnOrderPaintOneByOne) {
  // A flipped copy, or two cells on one pixel: the batch must draw each paint at once.
  for (int variant = 0; variant < 2; ++variant) {
    auto one = Layout(3, 0), batched = Layout(3, 0);
    for (OPattern* p : {one.get(), batched.get()}) {
      if (variant == 0)
        AddSection(*p, {1, 1, 4, 4}, {10, 10, 13, 13}, 1);
      else
        AddRegion(*p->Pictures->Get(0), {2, 2, 5, 5}, {1, 1, 4, 4});
    }
    batched->BeginPaintBatch();
    for (int i = 0; i < 60; ++i)
      for (OPattern* p : {one.get(), batched.get()})
        p->Pictures->Get(0)->PaintMachinePixel(i % 24, i % 18, static_cast<uint8_t>(1 + i % 6));
    EXPECT_TRUE(one->Pictures->Get(0)->MachineImage == batched->Pictures->Get(0)->MachineImage);
    batched->EndPaintBatch();
    EXPECT_EQ(one->States.Data(), batched->States.Data());
  }
}

// A strip copied side by side across the grid, shown whole, flipped or turned, and alone.
std::unique_ptr<OPattern> Strips(unsigned seed, uint8_t machineType) {
  TPick pick{std::mt19937(seed)};
  const int W = 40, H = 12, w = pick(2, 19), left = pick(1, W - w + 1);
  auto p = BarePattern(W, H, machineType);
  const bool repeating = pick(0, 1) == 0;
  for (int c = 1; c <= W; ++c)
    p->Creel->SetYarnType(
        c, static_cast<uint8_t>(repeating ? 1 + (c - left + 3 * w) % w % 3 : pick(1, 3)));
  p->ApplyCreel();
  const int top = pick(1, 3), bottom = pick(H - 2, H), middle = (top + bottom) / 2;
  AddSection(*p, {left, top, left + w - 1, bottom}, {left, top, left + w - 1, bottom});
  for (int l = left % w - w; l <= W; l += w)
    if (l != left) { // now and then a copy of the strip's upper half only
      const int end = pick(0, 3) == 0 ? middle : bottom;
      AddSection(*p, {left, top, left + w - 1, end}, {l, top, l + w - 1, end});
    }
  if (pick(0, 3) == 0) // lands on the cells of another copy
    AddSection(*p, {left, top, left + w - 1, bottom}, {left + 1, top, left + w, bottom});
  OPicture& picture = AddPicture(*p, 2 * W + 2, 2 * W + H + 2);
  AddRegion(picture, {1, 1, W, H}, {1, 1, W, H});
  if (pick(0, 1) == 0)
    AddRegion(picture, {1, 1, W, H}, {1, H + 2, W, 2 * H + 1}, 1, 1, 0);
  else
    AddRegion(picture, {1, 1, W, H}, {W + 2, 1, W + 1 + H, W}, 0, 0, 1);
  AddRegion(picture, {left, 1, left + w - 1, H}, {left, 1, left + w - 1, H});
  const int turn = pick(0, 3), across = turn % 2 ? bottom - top + 1 : w,
            down = turn % 2 ? w : bottom - top + 1;
  AddRegion(picture, {left, top, left + w - 1, bottom}, {1, 2 * W + 2, across, 2 * W + 1 + down},
            static_cast<uint8_t>(pick(0, 1)), static_cast<uint8_t>(pick(0, 1)),
            static_cast<uint8_t>(turn));
  p->Changed();
  picture.BringUpToDate(TView::Machine);
  return p;
}

TEST_F(PaintBatch, AnAreaPaintsAsItsCellsOneByOneOrRefusesUntouched) {
  int painted = 0, refused = 0;
  for (uint8_t machineType : {0, 4, 11})
    for (unsigned seed = 1; seed <= 40; ++seed) {
      const bool strips = seed % 4 != 0; // else the overlapping copies of Layout
      auto one = strips ? Strips(seed, machineType) : Layout(seed, machineType);
      auto area = strips ? Strips(seed, machineType) : Layout(seed, machineType);
      TPick pick{std::mt19937(seed * 31)};
      const int left = pick(1, one->NoControls), top = pick(1, one->NoPLines);
      const TRect cells{left, top, pick(left, one->NoControls), pick(top, one->NoPLines)};
      std::vector<uint8_t> values;
      for (int p = cells.Top; p <= cells.Bottom; ++p)
        for (int c = cells.Left; c <= cells.Right; ++c) // now and then past the palette
          values.push_back(static_cast<uint8_t>(pick(0, 9) == 0 ? pick(0, 40) : pick(1, 6)));
      one->SetModified(0);
      area->SetModified(0);
      SCOPED_TRACE(seed * 100 + machineType);
      area->BeginPaintBatch();
      // Sometimes presses first, so the area meets cells the batch already redrew.
      for (int i = 0; i < (seed % 3 == 0 ? 12 : 0); ++i) {
        const int c = pick(1, one->NoControls), p = pick(1, one->NoPLines);
        const uint8_t v = static_cast<uint8_t>(pick(0, 4) == 0 ? pick(7, 40) : pick(1, 6));
        one->PaintMachineColour(c, p, v);
        area->PaintMachineColour(c, p, v);
      }
      // In the order PaintOneByOne takes them, so cells may share a source.
      const bool took = area->BatchPaintArea(cells, values, {1, one->NoControls + 1});
      area->EndPaintBatch();
      ++(took ? painted : refused);
      if (took)
        PaintOneByOne(*one, cells, values);
      ExpectSameCellsAndPixels(*one, *area);
    }
  EXPECT_GT(painted, 40);
  EXPECT_GT(refused, 10);

  // A cell whose first section reads outside the grid paints nothing.
  std::unique_ptr<OPattern> pair[2];
  for (auto& p : pair)
    p = ShownPattern(20, 4, {{{-9, 1, -6, 4}, {1, 1, 4, 4}}, {{11, 1, 14, 4}, {1, 1, 4, 4}}});
  pair[1]->BeginPaintBatch();
  pair[1]->BatchPaintArea({1, 1, 4, 4}, std::vector<uint8_t>(16, 2));
  pair[1]->EndPaintBatch();
  PaintOneByOne(*pair[0], {1, 1, 4, 4}, std::vector<uint8_t>(16, 2));
  ExpectSameCellsAndPixels(*pair[0], *pair[1]);
}

// A forged section may take its cells from further away than 32 bits reach.
TEST_F(PaintBatch, SectionsFarApartPaintAsOneByOne) {
  std::unique_ptr<OPattern> pair[2];
  for (auto& p : pair)
    p = ShownPattern(10, 4,
                     {{{INT32_MIN + 1, 1, INT32_MIN + 4, 4}, {INT32_MAX - 3, 1, INT32_MAX, 4}},
                      {{1, 1, 10, 4}, {1, 1, 10, 4}},
                      {{INT32_MAX - 3, 1, INT32_MAX, 4}, {2, 1, 5, 4}}});
  pair[1]->BeginPaintBatch();
  pair[1]->PaintMachineColour(3, 2, 1);
  pair[1]->EndPaintBatch();
  pair[0]->PaintMachineColour(3, 2, 1);
  ExpectSameCellsAndPixels(*pair[0], *pair[1]);
  pair[1]->BeginPaintBatch();
  const std::vector<uint8_t> twos(40, 2);
  if (!pair[1]->BatchPaintArea({1, 1, 10, 4}, twos)) // refused: one by one, as imports do
    PaintOneByOne(*pair[1], {1, 1, 10, 4}, twos);
  PaintOneByOne(*pair[0], {1, 1, 10, 4}, twos);
  pair[1]->EndPaintBatch();
  ExpectSameCellsAndPixels(*pair[0], *pair[1]);
}

// An applied bitmap must paint as its samples pixel by pixel; sample (i, j) is (i, H-1-j).
// Every third layout on one yarn type, as a carpet's strip is.
TEST_F(PaintBatch, ABitmapAppliedInTheMachineViewPaintsAsPixelByPixel) {
  for (uint8_t machineType : {0, 11})
    for (unsigned seed = 1; seed <= 30; ++seed) {
      auto one = Strips(seed, machineType), applied = Strips(seed, machineType);
      for (OPattern* p : {one.get(), applied.get()})
        if (seed % 3 == 0) {
          for (int c = 1; c <= p->NoControls; ++c)
            p->Creel->SetYarnType(c, 1);
          p->ApplyCreel();
        }
      const int regionIndex = static_cast<int>(seed % 4); // 0: the whole grid over its copies
      const TRect& B = one->Pictures->Get(0)->Regions.Get(regionIndex)->PictureArea;
      const int w = B.Right - B.Left + 1, h = B.Bottom - B.Top + 1;
      std::mt19937 random(seed);
      OBitmap24 bitmap;
      bitmap.SetSize(w, h);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          bitmap.SetPixel(x, y, one->Palette->GetColour(1 + static_cast<int>(random() % 6)));
      OBitmapMapping mapping(*applied->Pictures->Get(0)->Regions.Get(regionIndex), bitmap);
      ASSERT_FALSE(mapping.PaletteChanged);
      ASSERT_TRUE(mapping.Apply(true));
      for (int i = 0; i < w; ++i)
        for (int j = 0; j < h; ++j)
          one->Pictures->Get(0)->PaintMachinePixel(
              B.Left - 1 + i, B.Top - 1 + j, mapping.MappedColour(bitmap.GetPixel(i, h - 1 - j)));
      SCOPED_TRACE(seed * 100 + machineType);
      ExpectSameCellsAndPixels(*one, *applied);
    }
}

// A picture written out a band at a time: every band of rows, and every piece of a row,
// gives those pixels of its image, turned and flipped regions included, and regions that
// put different cells on one pixel (where the last cell drawn wins) too.
TEST_F(PaintBatch, BandsOfRowsAreTheRenderedImagesRows) {
  for (unsigned seed = 1; seed <= 8; ++seed) {
    auto p = Strips(seed, 0);
    OPicture& picture = *p->Pictures->Get(0);
    if (seed % 2 == 0) {
      AddRegion(picture, {1, 1, 40, 12}, {5, 3, 44, 14}, 1, 0, 0);
      AddRegion(picture, {3, 2, 14, 9}, {8, 30, 15, 41}, 0, 1, 3);
      p->Changed();
    }
    ASSERT_EQ(picture.RegionsDrawApart(), seed % 2 == 1) << seed;
    for (TView view : {TView::Machine, TView::Design}) {
      picture.BringUpToDate(view);
      const OBitmap24& whole = view == TView::Machine ? picture.MachineImage : picture.DesignImage;
      for (const auto& [rows, columns] :
           {std::pair{1, 1}, {7, 5}, {3, picture.Width}, {picture.Height, picture.Width}}) {
        OBitmap24 band;
        for (int first = 0; first < picture.Height; first += rows)
          for (int column = 0; column < picture.Width; column += columns) {
            band.SetSize(std::min(columns, picture.Width - column),
                         std::min(rows, picture.Height - first));
            picture.RenderRows(view, first, column, band);
            for (int y = 0; y < band.Height(); ++y)
              ASSERT_TRUE(std::equal(band.Row(y), band.Row(y) + band.Width(),
                                     whole.Row(first + y) + column))
                  << seed << ", view " << int(view) << ", bands of " << rows << " x " << columns
                  << ", row " << first + y << ", column " << column;
          }
      }
    }
  }
}

} // namespace
} // namespace quillane::test
