#include <random>

#include "PatternSupport.h"
#include "setup/Creel.h"

namespace quillane::test {
namespace {

class PaintBatch : public TFlowTest {};

// Two identical patterns from one seed: straight sections that may overlap and reach past
// the grid, regions kept apart (some with a quarter turn), a creel of mixed yarn types.
std::unique_ptr<OPattern> Layout(unsigned seed, uint8_t machineType) {
  std::mt19937 random(seed);
  auto pick = [&](int lo, int hi) { return lo + static_cast<int>(random() % unsigned(hi - lo + 1)); };
  auto p = BarePattern(24, 18, machineType);
  for (int c = 1; c <= 24; ++c)
    p->Creel->SetYarnType(c, static_cast<uint8_t>(pick(1, 3)));
  p->ApplyCreel();
  AddSection(*p, {1, 1, 24, 18}, {1, 1, 24, 18});
  for (int i = 0; i < 5; ++i) {
    const int w = pick(1, 8), h = pick(1, 8);
    const int l = pick(1, 24 - w + 1), t = pick(1, 18 - h + 1);
    const int tl = pick(1, 24 - w + 1), tt = pick(1, 18 - h + 1);
    AddSection(*p, {l, t, l + w - 1, t + h - 1}, {tl, tt, tl + w - 1, tt + h - 1});
  }
  OPicture& picture = AddPicture(*p, 60, 40);
  AddRegion(picture, {1, 1, 24, 18}, {1, 1, 24, 18});
  AddRegion(picture, {3, 2, 10, 7}, {30, 1, 35, 8}, 0, 0, 1);
  AddRegion(picture, {1, 1, 24, 18}, {1, 21, 24, 38}, 1, 0, 0);
  OPicture& second = AddPicture(*p, 24, 18);
  AddRegion(second, {1, 1, 24, 18}, {1, 1, 24, 18});
  p->Changed();
  for (const auto& pic : *p->Pictures)
    pic->SetViewMode(1);
  return p;
}

TEST_F(PaintBatch, GivesTheSameCellsAndPixelsAsPaintingOneByOne) {
  for (uint8_t machineType : {0, 4, 11})
    for (unsigned seed = 1; seed <= 25; ++seed) {
      auto one = Layout(seed, machineType), batched = Layout(seed, machineType);
      std::mt19937 random(seed * 7919);
      std::vector<std::array<int, 3>> paints;
      for (int i = 0; i < 300; ++i) // a few colours past the palette and a repeat or two
        paints.push_back({static_cast<int>(random() % 26), static_cast<int>(random() % 20),
                          static_cast<int>(random() % 19)});
      paints.push_back(paints.back());
      for (const auto& [x, y, v] : paints)
        one->Pictures->Get(0)->PaintMachinePixel(x, y, static_cast<uint8_t>(v));
      batched->BeginPaintBatch();
      for (const auto& [x, y, v] : paints)
        batched->Pictures->Get(0)->PaintMachinePixel(x, y, static_cast<uint8_t>(v));
      batched->EndPaintBatch();

      SCOPED_TRACE("machine type " + std::to_string(machineType) + ", seed " + std::to_string(seed));
      EXPECT_EQ(one->States.Data(), batched->States.Data());
      EXPECT_EQ(one->MachineColours.Data(), batched->MachineColours.Data());
      for (int i = 0; i < one->Pictures->Count(); ++i)
        EXPECT_TRUE(one->Pictures->Get(i)->MachineImage == batched->Pictures->Get(i)->MachineImage);
      EXPECT_EQ(batched->Modified, 1);
    }
}

TEST_F(PaintBatch, LayoutsWhoseResultDependsOnOrderPaintOneByOne) {
  // A flipped copy, and regions that put different cells on one pixel: the batch stays
  // closed, so every pixel is drawn at once, exactly as without it.
  for (int variant = 0; variant < 2; ++variant) {
    auto one = Layout(3, 0), batched = Layout(3, 0);
    for (OPattern* p : {one.get(), batched.get()}) {
      if (variant == 0)
        AddSection(*p, {1, 1, 4, 4}, {10, 10, 13, 13}, 1);
      else
        AddRegion(*p->Pictures->Get(0), {2, 2, 5, 5}, {1, 1, 4, 4});
    }
    batched->BeginPaintBatch();
    for (int i = 0; i < 60; ++i) {
      one->Pictures->Get(0)->PaintMachinePixel(i % 24, i % 18, static_cast<uint8_t>(1 + i % 6));
      batched->Pictures->Get(0)->PaintMachinePixel(i % 24, i % 18, static_cast<uint8_t>(1 + i % 6));
    }
    EXPECT_TRUE(one->Pictures->Get(0)->MachineImage == batched->Pictures->Get(0)->MachineImage);
    batched->EndPaintBatch();
    EXPECT_EQ(one->States.Data(), batched->States.Data());
  }
}

} // namespace
} // namespace quillane::test
