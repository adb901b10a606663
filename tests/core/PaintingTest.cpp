#include "PatternSupport.h"

#include <algorithm>
#include <random>

#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane::test {
namespace {

class Painting : public TFlowTest {};

using TStates = std::vector<std::tuple<int, int, int>>;

// The copy cell by cell; a copied state is the one showing its source state's colour.
void ReferenceApplySections(OPattern& p) {
  const bool states = p.PatternMode == pmStates;
  for (const auto& s : *p.Sections) {
    if (s->SourceArea == s->TargetArea)
      continue;
    for (int c = s->SourceArea.Left; c <= s->SourceArea.Right; ++c)
      for (int pl = s->SourceArea.Top; pl <= s->SourceArea.Bottom; ++pl) {
        int32_t c2 = c, p2 = pl;
        if (!s->MapToTarget(c2, p2))
          continue;
        if (states) {
          const int y = p.Creel->GetYarnType(c);
          const uint8_t v = p.MachineTable->GetColour(y, p.States.Get(c, pl));
          p.States.Set(c2, p2, p.MachineTable->GetState(y, v));
        } else {
          p.MachineColours.Set(c2, p2, p.MachineColours.Get(c, pl));
        }
      }
  }
}

bool FastCopyMatches(OPattern& p, TGrid& grid) {
  const TZeroedBytes before = grid.Data();
  p.ApplySections();
  const TZeroedBytes fast = grid.Data();
  grid.Data() = before;
  ReferenceApplySections(p);
  return fast == grid.Data();
}

// The image as the cell-by-cell definition draws it; pixels no region draws are blank.
OBitmap24 ReferenceRender(const OPattern& p, const OPicture& picture, const TGrid& grid,
                          OBitmap24 image) {
  image.Fill(OBitmap24::DefaultColour);
  for (int c = 1; c <= p.NoControls; ++c)
    for (int pl = 1; pl <= p.NoPLines; ++pl)
      for (const auto& r : picture.Regions) {
        int32_t x = c, y = pl;
        if (r->MapCellToPixel(x, y))
          image.SetPixel(x - 1, y - 1, p.Palette->GetColour(grid.Get(c, pl)));
      }
  return image;
}

TEST_F(Painting, ApplySectionsMatchesTheCellByCellCopy) {
  std::mt19937 rng(5);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int W = 13, H = 9; // odd sizes, so that turned areas are rarely square
  for (uint8_t type : {0, 4, 11})
    for (int round = 0; round < 60; ++round) {
      auto p = BarePattern(W, H, type);
      const bool states = p->PatternMode == pmStates;
      for (int c = 1; c <= W; ++c)
        p->Creel->SetYarnType(c, static_cast<uint8_t>(pick(1, 3)));
      p->Creel->Validate();
      // Few colours, so states look alike; every third round keeps the table's own colours.
      for (int y = 1; y <= 3 && states && round % 3 != 0; ++y)
        for (int s = 1; s <= p->NoStates; ++s)
          p->MachineTable->SetColour(y, s, static_cast<uint8_t>(pick(0, 3)));
      p->MachineTable->Validate();
      const int count = pick(1, 4);
      for (int i = 0; i < count; ++i) {
        const bool straight = pick(0, 1) == 0;
        const uint8_t rotation = straight ? 0 : static_cast<uint8_t>(pick(0, 4));
        const int w = pick(1, 6), h = pick(1, 6);
        const int tw = rotation % 2 ? h : w, th = rotation % 2 ? w : h;
        const int sl = pick(1, W - w + 1), st = pick(1, H - h + 1);
        TRect target{pick(1, W - tw + 1), pick(1, H - th + 1), 0, 0};
        if (pick(0, 5) == 0 && sl + tw - 1 <= W && st + th - 1 <= H) // sometimes onto itself
          target = {sl, st, 0, 0};
        else if (straight && pick(0, 1) == 0) // or a step aside, overlapping its source
          target = {std::clamp(sl + pick(-2, 2), 1, W - tw + 1),
                    std::clamp(st + pick(-2, 2), 1, H - th + 1), 0, 0};
        target.Right = target.Left + tw - 1;
        target.Bottom = target.Top + th - 1;
        AddSection(*p, {sl, st, sl + w - 1, st + h - 1}, target,
                   straight ? 0 : static_cast<uint8_t>(pick(0, 2)),
                   straight ? 0 : static_cast<uint8_t>(pick(0, 2)), rotation);
      }
      TGrid& grid = states ? p->States : p->MachineColours;
      for (uint8_t& cell : grid.Data())
        cell = static_cast<uint8_t>(pick(0, states ? p->NoStates : p->NoColours));
      if (states) // stale after design-view painting: a copy must not read it
        for (uint8_t& cell : p->MachineColours.Data())
          cell = static_cast<uint8_t>(pick(0, 255));
      ASSERT_TRUE(FastCopyMatches(*p, grid)) << "type " << int(type) << " round " << round;
      ASSERT_TRUE(UI.Shown.empty());
    }

  // One state the table changes, anywhere in a wide copy of kept states, is still changed.
  const int wide = 82, half = wide / 2;
  for (int at = 1; at <= half; ++at) {
    auto p = BarePattern(wide, 2, 0);
    // The second state shows no colour, so its copy takes no state.
    for (int y = 1; y <= p->NoYarnTypes; ++y)
      p->MachineTable->SetColour(y, 2, 0);
    p->MachineTable->Validate();
    AddSection(*p, {1, 1, half, 2}, {half + 1, 1, wide, 2}, 0, 0, 0);
    for (int c = 1; c <= half; ++c)
      for (int pl = 1; pl <= 2; ++pl)
        p->States.Set(c, pl, static_cast<uint8_t>(c == at && pl == 2 ? 2 : (c + pl) % 2));
    ASSERT_TRUE(FastCopyMatches(*p, p->States)) << "state 2 at control " << at;
    ASSERT_EQ(p->States.Get(half + at, 2), 0);
  }
}

TEST_F(Painting, ApplySectionsSkipsIdenticalAreasAndStopsAtAnInvalidSection) {
  const TRect whole{1, 1, 30, 20}, left{1, 1, 10, 10}, right{11, 1, 20, 10};
  const std::string invalid = " invalid (outside boundary of pattern)";
  // Sections as source, target and flip, and what applying them says.
  const std::pair<std::vector<std::tuple<TRect, TRect, uint8_t>>, std::string> rows[] = {
      {{{whole, whole, 0}, {left, left, 1}}, ""}, // onto itself, even flipped
      {{{{1, 1, 0, 10}, right, 0}, {left, right, 0}}, "Section #1" + invalid},
      {{{left, right, 0}, {left, {1, 12, 10, 21}, 0}}, "Section #2" + invalid},
      {{{{0, 1, 9, 10}, right, 0}}, "Section #1" + invalid},
  };
  for (const auto& [sections, message] : rows) {
    auto p = BarePattern(30, 20);
    for (const auto& [source, target, hFlip] : sections)
      AddSection(*p, source, target, hFlip);
    for (size_t i = 0; i < p->States.Data().size(); ++i)
      p->States.Data()[i] = static_cast<uint8_t>(i % 3);
    const TZeroedBytes before = p->States.Data();
    UI.Shown.clear();
    p->ApplySections();
    EXPECT_EQ(p->States.Data(), before) << message;
    EXPECT_EQ(p->ValidateSections(), message.empty());
    EXPECT_EQ(UI.Shown.empty() ? "" : UI.Shown[0].Text, message);
  }
}

TEST_F(Painting, RenderingMatchesTheCellByCellDrawing) {
  std::mt19937 rng(11);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto p = BarePattern(11, 7, 11);
  for (TGrid* grid : {&p->MachineColours, &p->DesignColours})
    for (uint8_t& cell : grid->Data())
      cell = static_cast<uint8_t>(pick(0, 16));
  for (int round = 0; round < 600; ++round) {
    OPicture& picture = AddPicture(*p, 20, 16);
    const int kind = round % 3; // one region, regions apart, regions anywhere
    const int count = kind == 0 ? 1 : pick(2, 4);
    for (int i = 0; i < count; ++i) {
      const uint8_t rotation = static_cast<uint8_t>(pick(0, 3));
      const int w = pick(1, kind == 1 ? 7 : 12), h = pick(1, 7);
      const int tw = rotation % 2 ? h : w, th = rotation % 2 ? w : h;
      TRect cells{pick(-2, 10), pick(-2, 6), 0, 0}; // may reach past the grid
      cells.Right = cells.Left + w - 1;
      cells.Bottom = cells.Top + h - 1;
      // Apart: each region in its own quarter of the picture; else anywhere, even outside.
      TRect pixels = kind == 1 ? TRect{1 + (i % 2) * 10, 1 + (i / 2) * 8, 0, 0}
                               : TRect{pick(-3, 18), pick(-3, 14), 0, 0};
      pixels.Right = pixels.Left + tw - 1;
      pixels.Bottom = pixels.Top + th - 1;
      const uint8_t h1 = static_cast<uint8_t>(pick(0, 1)), v1 = static_cast<uint8_t>(pick(0, 1));
      AddRegion(picture, cells, pixels, h1, v1, rotation);
    }
    picture.MachineImage.Fill(0x010203);
    picture.DesignImage.Fill(0x040506);
    const OBitmap24 machine = ReferenceRender(*p, picture, p->MachineColours, picture.MachineImage);
    const OBitmap24 design = ReferenceRender(*p, picture, p->DesignColours, picture.DesignImage);
    picture.RenderMachineImage();
    picture.RenderDesignImage();
    ASSERT_EQ(picture.MachineImage, machine) << "round " << round;
    ASSERT_EQ(picture.DesignImage, design) << "round " << round;
    p->Pictures->Clear();
  }
}

// Cells whose state differs from `before`, in control then PLine order.
TStates ChangedStates(const OPattern& p, const TZeroedBytes& before) {
  TStates changed;
  for (int c = 1; c <= p.NoControls; ++c)
    for (int pl = 1; pl <= p.NoPLines; ++pl)
      if (p.GetState(c, pl) != before[p.States.Index(c, pl)])
        changed.emplace_back(c, pl, p.GetState(c, pl));
  return changed;
}

std::vector<std::pair<int, int>> ChangedPixels(const OBitmap24& image, uint32_t background) {
  std::vector<std::pair<int, int>> changed;
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x)
      if (image.GetPixel(x, y) != background)
        changed.emplace_back(x, y);
  return changed;
}

TEST_F(Painting, PaintsTheSourceCellAndEveryCopyAndRedrawsThem) {
  using TCell = std::pair<int, int>;
  // The case; the copy before the whole section or alone, flipped, in the design view; the cell
  // painted, the cells changed with their new state, and the pixels redrawn. Machine colour 2
  // is state 2 on yarn type A; design colour 3 is the pair (2, 1).
  // clang-format off
  const std::tuple<const char*, bool, bool, bool, bool, TCell, TStates, std::vector<TCell>>
      rows[] = {
      {"copy source", true, false, false, false, {3, 4}, {{3, 4, 2}, {13, 4, 2}}, {{2, 3}, {12, 3}}},
      {"copy target", true, false, false, false, {13, 4}, {{3, 4, 2}, {13, 4, 2}}, {{2, 3}, {12, 3}}},
      {"whole section first", false, false, false, false, {13, 4}, {{13, 4, 2}}, {{12, 3}}},
      {"flipped copy", true, false, true, false, {3, 4}, {{3, 4, 2}, {18, 4, 2}}, {{2, 3}, {17, 3}}},
      {"outside every target", false, true, false, false, {25, 4}, {}, {}},
      {"design pair through the copy", true, false, false, true, {14, 4},
       {{3, 4, 2}, {4, 4, 1}, {13, 4, 2}, {14, 4, 1}}, {{2, 3}, {3, 3}, {12, 3}, {13, 3}}},
  };
  // clang-format on
  for (const auto& [what, copyFirst, copyOnly, flip, design, painted, states, pixels] : rows) {
    auto p = BarePattern(30, 20);
    const TRect left{1, 1, 10, 10}, right{11, 1, 20, 10}, whole{1, 1, 30, 20};
    if (!copyFirst && !copyOnly)
      AddSection(*p, whole, whole);
    AddSection(*p, left, right, flip ? 1 : 0);
    if (copyFirst)
      AddSection(*p, whole, whole);
    OPicture& first = AddPicture(*p, 30, 20);
    AddRegion(first, whole, whole);
    first.MachineImage.Fill(0x0A0B0C);
    first.DesignImage.Fill(0x0A0B0C);
    const TZeroedBytes before = p->States.Data();
    const auto [c, pl] = painted;
    design ? p->PaintDesignColour(c, pl, 3) : p->PaintMachineColour(c, pl, 2);

    EXPECT_EQ(ChangedStates(*p, before), states) << what;
    const OBitmap24& image = design ? first.DesignImage : first.MachineImage;
    EXPECT_EQ(ChangedPixels(image, 0x0A0B0C), pixels) << what;
  }
}

TEST_F(Painting, PixelsPaintThroughEveryRegionAndOddLastControlsAlone) {
  // Two regions show cells 1-10 and 21-30 on the same pixels.
  auto p = BarePattern(30, 10);
  AddSection(*p, {1, 1, 30, 10}, {1, 1, 30, 10});
  OPicture& picture = AddPicture(*p, 10, 10);
  AddRegion(picture, {1, 1, 10, 10}, {1, 1, 10, 10});
  AddRegion(picture, {21, 1, 30, 10}, {1, 1, 10, 10});
  picture.PaintMachinePixel(2, 3, 2);
  EXPECT_EQ(p->GetState(3, 4) + p->GetState(23, 4), 4);
  EXPECT_EQ(picture.GetMachinePixel(2, 3), p->Palette->GetColour(2));

  // A colour no state of the yarn type shows: the colour is stored, the state is not.
  picture.PaintMachinePixel(0, 0, 5);
  EXPECT_EQ(std::pair(p->GetState(1, 1), p->GetMachineColour(1, 1)),
            std::pair(uint8_t{0}, uint8_t{5}));

  // With 5 controls the last one pairs with control 4 for the lookup and is written alone.
  auto q = ShownPattern(5, 4);
  OPicture& view = *q->Pictures->Get(0);
  q->Creel->SetYarnType(4, 2);
  q->Changed();
  view.BringUpToDate(TView::Design);
  const TZeroedBytes before = q->States.Data();
  // Colour 6 is the pair (1, 2) on yarn types A and B only.
  view.PaintDesignPixel(4, 1, 6);
  EXPECT_EQ(ChangedStates(*q, before), (TStates{{5, 2, 1}}));
  EXPECT_EQ(std::pair(q->GetDesignColour(5, 2), q->GetDesignColour(4, 2)),
            std::pair(uint8_t{6}, uint8_t{0}));
}

TEST_F(Painting, SetUndefinedClearsCellsSomeSectionLeavesOutAndUndoPutsThemBack) {
  // Copying left onto right leaves controls 11-20 and 31-40 out, whatever else covers them;
  // copying PLines 1-3 onto 6-10 leaves out PLines 4 and 5 (a step of a few PLines).
  const TRect whole{1, 1, 40, 10}, left{1, 1, 10, 10}, right{21, 1, 30, 10};
  const struct {
    std::vector<std::pair<TRect, TRect>> Sections;
    std::function<bool(int, int)> Cleared;
  } cases[] = {
      {{{whole, whole}}, [](int, int) { return false; }},
      {{{whole, whole}, {left, right}}, [](int c, int) { return c >= 31 || (c >= 11 && c <= 20); }},
      {{{whole, whole}, {{1, 1, 40, 3}, {1, 6, 40, 10}}},
       [](int, int pl) { return pl == 4 || pl == 5; }},
  };
  for (const auto& [sections, cleared] : cases) {
    auto p = BarePattern(40, 10);
    for (const auto& [s, t] : sections)
      AddSection(*p, s, t);
    OPicture& picture = AddPicture(*p, 40, 10);
    AddRegion(picture, whole, whole);
    p->States.Fill(1);
    p->MachineColours.Fill(1);
    picture.MachineImage.Fill(0x0A0B0C);
    p->SetUndefined();
    for (int c = 1; c <= 40; ++c)
      for (int pl = 1; pl <= 10; ++pl) {
        const bool out = cleared(c, pl);
        EXPECT_EQ(p->GetState(c, pl), out ? p->MachineTable->GetState(1, 0) : 1) << c;
        EXPECT_EQ(p->GetMachineColour(c, pl), out ? 0 : 1) << c;
        EXPECT_EQ(picture.GetMachinePixel(c - 1, pl - 1),
                  out ? p->Palette->GetUndefinedColour() : 0x0A0B0Cu);
      }
    // Asked again, nothing is left to change and no step is kept.
    const int steps = p->History.UndoCount();
    p->SetUndefined();
    EXPECT_EQ(p->History.UndoCount(), steps);
    if (steps == 0)
      continue;
    p->History.Undo();
    for (int c = 1; c <= 40; ++c)
      for (int pl = 1; pl <= 10; ++pl)
        ASSERT_EQ(std::pair(p->GetState(c, pl), p->GetMachineColour(c, pl)),
                  std::pair(uint8_t{1}, uint8_t{1}))
            << c << "," << pl;
  }
}

TEST_F(Painting, SetUndefinedMatchesTheCellByCellRule) {
  // Sections anywhere, reversed or reaching past the pattern; a region mirrored and turned.
  std::mt19937 rng(9);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int W = 14, H = 10;
  for (uint8_t type : {0, 11})
    for (int round = 0; round < 40; ++round) {
      auto p = BarePattern(W, H, type);
      for (int c = 1; c <= W; ++c)
        p->Creel->SetYarnType(c, static_cast<uint8_t>(pick(1, 3)));
      p->ApplyCreel();
      p->MachineTable->SetUndefinedState(static_cast<uint8_t>(pick(0, 3))); // 3: refused
      p->ApplyMachineTable();
      auto area = [&] {
        return TRect{pick(-1, W + 1), pick(-1, H + 1), pick(-1, W + 1), pick(-1, H + 1)};
      };
      for (int i = pick(1, 4); i > 0; --i)
        AddSection(*p, area(), area());
      OPicture& picture = AddPicture(*p, 24, 14);
      AddRegion(picture, {1, 1, W, H}, {1, 1, W, H});
      AddRegion(picture, {2, 2, 9, 9}, {16, 3, 23, 10}, 1, 0, 1);
      for (uint8_t& cell : p->States.Data())
        cell = static_cast<uint8_t>(pick(1, 2));
      for (uint8_t& cell : p->MachineColours.Data())
        cell = static_cast<uint8_t>(pick(1, 16));
      for (int64_t y = 0; y < 14; ++y)
        for (int64_t x = 0; x < 24; ++x)
          picture.SetMachinePixel(x, y, static_cast<uint32_t>(pick(0, 0xFFFFFF)));
      TZeroedBytes states = p->States.Data(), colours = p->MachineColours.Data();
      OBitmap24 image = picture.MachineImage;
      for (int c = 1; c <= W; ++c)
        for (int pl = 1; pl <= H; ++pl) {
          bool uncovered = false;
          for (const auto& section : *p->Sections)
            uncovered = uncovered || !section->Covers(c, pl);
          if (!uncovered)
            continue;
          const uint8_t s = p->MachineTable->GetState(p->Creel->GetYarnType(c), 0);
          if (type == 0 && s <= p->NoStates)
            states[p->States.Index(c, pl)] = s;
          colours[p->States.Index(c, pl)] = 0;
          for (const auto& r : picture.Regions) {
            int32_t x = c, y = pl;
            if (r->MapCellToPixel(x, y))
              image.SetPixel(x - 1, y - 1, p->Palette->GetUndefinedColour());
          }
        }
      p->SetUndefined();
      ASSERT_TRUE(p->States.Data() == states) << int(type) << " round " << round;
      ASSERT_TRUE(p->MachineColours.Data() == colours) << int(type) << " round " << round;
      ASSERT_TRUE(picture.MachineImage == image) << int(type) << " round " << round;
    }
}

TEST_F(Painting, AViewIsComputedOnceUntilThePatternChanges) {
  auto p = ShownPattern(6, 3);
  OPicture& picture = *p->Pictures->Get(0);
  p->States.Set(1, 1, 2);
  p->States.Set(2, 1, 1);
  picture.BringUpToDate(TView::Design);
  // The view is kept until the pattern changes; then it is computed again.
  p->States.Set(1, 1, 1);
  p->Changed();
  picture.BringUpToDate(TView::Design);
  EXPECT_EQ(p->GetDesignColour(1, 1), 1);
  EXPECT_EQ(picture.GetDesignPixel(0, 0), p->Palette->GetColour(1));
}

// The designer's switch of view on a large pattern shows its progress as it goes and to its
// end, and runs to its end whatever is pressed; below 16 million cells and pixels it says
// nothing. The progress window lets the view's paint through, which asks for the view it
// still shows: the switch goes on undisturbed.
TEST_F(Painting, ASwitchOfViewOnALargePatternShowsItsProgress) {
  struct TPaintingPlatform : OScriptedPlatform {
    std::function<void()> Paint;
    bool Progress(int64_t done) override {
      Paint();
      return OScriptedPlatform::Progress(done);
    }
  } ui;
  OPlatformScope scope(ui);
  for (const int pLines : {3999, 4000}) {
    auto p = ShownPattern(2000, pLines);
    OPicture& picture = *p->Pictures->Get(0);
    p->States.Set(1, 1, 2);
    ui.Paint = [&] { picture.BringUpToDate(TView::Machine); };
    ui.CancelAtStep = 0;
    picture.SwitchView(TView::Design);
    SCOPED_TRACE(pLines);
    EXPECT_EQ(std::pair(p->UpToDate, picture.UpToDate), std::pair(TView::Design, TView::Design));
    EXPECT_EQ(ui.ProgressTexts,
              std::vector<std::string>(pLines == 4000 ? 1 : 0, "Drawing the design view"));
    EXPECT_EQ(ui.ProgressDepth, 0);
    if (pLines == 4000) {
      // The colours, the image's memory and the drawing each report by their share: the
      // bar moves from 0 to the end by at most 1 % at a time.
      const std::vector<int64_t>& steps = ui.ProgressSteps;
      ASSERT_GT(steps.size(), 100u);
      EXPECT_EQ(std::pair(steps.front(), steps.back()), std::pair(int64_t{0}, int64_t{1000}));
      for (size_t i = 1; i < steps.size(); ++i)
        ASSERT_TRUE(steps[i] >= steps[i - 1] && steps[i] - steps[i - 1] <= 10) << steps[i];
    }
    OBitmap24 fresh;
    fresh.SetSize(2000, pLines);
    picture.RenderRows(TView::Design, 0, fresh);
    EXPECT_TRUE(fresh == picture.DesignImage);
    EXPECT_EQ(picture.GetDesignPixel(0, 0), p->Palette->GetColour(p->GetDesignColour(1, 1)));
  }
}

} // namespace
} // namespace quillane::test
