// The drawing tools against the pencil: whatever a tool draws must leave the pattern as
// pressing each of its pixels one at a time does, through sections and mirrored regions, in
// both views, as one named step that undo takes back whole.
#include <algorithm>
#include <random>
#include <sstream>

#include "PatternSupport.h"
#include "editors/ViewStates.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"

namespace quillane::test {
namespace {

// 40 controls by 12 PLines: controls 1-20 are copied onto 21-40; the picture shows 1-20 on
// pixels 0-19 and 21-40 mirrored on 20-39. Pixels 4 and 5 (a pair in the design view) are
// painted with colour 2 beforehand, so they show again at 34 and 35. Controls 7 and 8 have
// yarn type B, whose states show colours 1 and 4; yarn type A has no state for 4.
std::unique_ptr<OPattern> Mirrored(TView view) {
  auto p = BarePattern(40, 12);
  AddSection(*p, {1, 1, 20, 12}, {1, 1, 20, 12});
  AddSection(*p, {1, 1, 20, 12}, {21, 1, 40, 12});
  OPicture& picture = AddPicture(*p, 40, 12);
  AddRegion(picture, {1, 1, 20, 12}, {1, 1, 20, 12});
  AddRegion(picture, {21, 1, 40, 12}, {21, 1, 40, 12}, 1);
  p->Creel->SetYarnType(7, 2);
  p->Creel->SetYarnType(8, 2);
  p->ApplyCreel();
  p->MachineTable->SetColour(2, 1, 1);
  p->MachineTable->SetColour(2, 2, 4);
  p->ApplyMachineTable();
  p->Changed();
  for (int r = 0; r < 12; ++r)
    PaintPixels(*p, picture, view, {{r, 4, 5}}, 2, "Paint");
  p->History.Clear();
  return p;
}

struct TRow {
  const char* Name;
  TDrawTool Tool;
  int Brush;
  // Comma-separated: P press, M move, R release, with button L or R, at pixel X Y (zoom 1,
  // PLine 1 at the bottom); S holds Shift, A Alt. K: Escape.
  const char* Events;
  int Colour;
  // The pixels the pencil presses for the same result: rectangles L T R B, ';' apart.
  const char* Pixels;
  // The step's name, how many pixels, and the strip's buttons afterwards.
  const char* After;
};

class DrawTools : public TFlowTest {};

TEST_F(DrawTools, EachToolLeavesThePatternAsPressingItsPixelsOneByOne) {
  const TRow rows[] = {
      {"a fast drag leaves no gap", TDrawTool::Pencil, 1, "PL 0 0, ML 39 0, RL 39 0", 1, "0 0 39 0",
       "Paint 40 L=1 R=2"},
      {"the right button with a brush of 3", TDrawTool::Pencil, 3, "PR 10 5, MR 14 5, RR 14 5", 2,
       "9 4 15 6", "Paint 21 L=2 R=2"},
      {"Shift keeps a line horizontal", TDrawTool::Line, 1, "PL 0 0, ML 10 3 S, RL 10 3 S", 1,
       "0 0 10 0", "Line 11 L=1 R=2"},
      {"a diagonal with a brush of 2", TDrawTool::Line, 2, "PL 2 2, ML 6 6, RL 6 6", 1,
       "2 2 3 3; 3 3 4 4; 4 4 5 5; 5 5 6 6; 6 6 7 7", "Line 16 L=1 R=2"},
      {"a line ends where the button comes up", TDrawTool::Line, 1, "PL 0 0, ML 5 5, RL 8 0", 1,
       "0 0 8 0", "Line 9 L=1 R=2"},
      {"a rectangle's outline", TDrawTool::Rectangle, 1, "PL 2 1, ML 7 4, RL 7 4", 1,
       "2 1 7 1; 2 4 7 4; 2 2 2 3; 7 2 7 3", "Rectangle 16 L=1 R=2"},
      {"Shift fills it", TDrawTool::Rectangle, 1, "PL 7 4, RL 2 1 S", 1, "2 1 7 4",
       "Rectangle 24 L=1 R=2"},
      {"beyond the picture it is cut off", TDrawTool::Rectangle, 1, "PL 35 8, RL 45 20", 1,
       "35 8 39 8; 35 9 35 11", "Rectangle 8 L=1 R=2"},
      {"a fill stops at another colour", TDrawTool::Fill, 1, "PL 0 0, RL 0 0", 1, "0 0 3 11",
       "Fill 48 L=1 R=2"},
      {"Shift fills the colour everywhere", TDrawTool::Fill, 1, "PL 0 0 S, RL 0 0", 1,
       "0 0 3 11; 6 0 33 11; 36 0 39 11", "Fill 432 L=1 R=2"},
      {"a colour only some yarn types take paints only there", TDrawTool::Fill, 1,
       "PL 0 0 S, RL 0 0", 4, "0 0 3 11; 6 0 33 11; 36 0 39 11", "Fill 432 L=4 R=2"},
      {"Escape drops a line", TDrawTool::Line, 1, "PL 0 0, ML 9 0, K, RL 9 0", 1, "",
       "- 0 L=1 R=2"},
      {"Alt picks instead of drawing", TDrawTool::Line, 1, "PL 4 3 A, RL 4 3", 1, "",
       "- 0 L=2 R=2"},
      {"the picker fills the button pressed", TDrawTool::Picker, 1, "PR 0 0, RR 0 0", 1, "",
       "- 0 L=1 R=0"},
  };
  for (const TView view : {TView::Machine, TView::Design})
    for (const TRow& row : rows) {
      SCOPED_TRACE(std::string(row.Name) + (view == TView::Design ? " (design)" : " (machine)"));
      std::unique_ptr<OPattern> p = Mirrored(view), expected = Mirrored(view);
      OPicture& picture = *p->Pictures->Get(0);
      OViewGeometry g;
      g.SetBox(40, 12);
      g.SetPicture(40, 12, 1);
      OPalettePaintBox colours(p->Palette.get(), false);
      colours.LeftIndex = static_cast<uint8_t>(row.Colour);
      OViewMouse mouse(*p, picture, g);
      mouse.ShowView(view);
      mouse.Brush = row.Brush;
      mouse.Choose(MakeToolState(row.Tool, colours));
      std::istringstream events(row.Events);
      for (std::string event; std::getline(events, event, ',');) {
        char kind = 0, button = 0;
        int x = 0, y = 0;
        char flag = 0;
        std::sscanf(event.c_str(), " %c%c %d %d %c", &kind, &button, &x, &y, &flag);
        const TViewInput in{x, 11 - y, button == 'L' ? TMouseButton::Left : TMouseButton::Right,
                            flag == 'S'   ? uint32_t{ssShift}
                            : flag == 'A' ? uint32_t{ssAlt}
                                          : 0};
        if (kind == 'P')
          mouse.Press(in);
        else if (kind == 'M')
          mouse.Move(in);
        else if (kind == 'R')
          mouse.Release(in);
        else
          mouse.Key(TViewKey::Escape, 0);
      }
      // The same pixels pressed one at a time with the pencil.
      OPicture& reference = *expected->Pictures->Get(0);
      OPalettePaintBox pencil(expected->Palette.get(), false);
      pencil.LeftIndex = static_cast<uint8_t>(row.Colour);
      OViewMouse one(*expected, reference, g);
      one.ShowView(view);
      one.Choose(MakeToolState(TDrawTool::Pencil, pencil));
      TPixelRuns pixels;
      std::istringstream rects(row.Pixels);
      for (std::string rect; std::getline(rects, rect, ';');) {
        TRect r{};
        if (std::sscanf(rect.c_str(), "%d %d %d %d", &r.Left, &r.Top, &r.Right, &r.Bottom) != 4)
          continue;
        for (int y = r.Top; y <= r.Bottom; ++y) {
          pixels.push_back({y, r.Left, r.Right});
          for (int x = r.Left; x <= r.Right; ++x) {
            one.Press({x, 11 - y, TMouseButton::Left, 0});
            one.Release({x, 11 - y, TMouseButton::Left, 0});
          }
        }
      }
      reference.BringUpToDate(view);
      picture.BringUpToDate(view);
      EXPECT_TRUE(p->States.Data() == expected->States.Data());
      EXPECT_TRUE(p->MachineColours.Data() == expected->MachineColours.Data());
      EXPECT_TRUE(p->DesignColours.Data() == expected->DesignColours.Data());
      EXPECT_TRUE(picture.MachineImage == reference.MachineImage);
      std::ostringstream after;
      after << (p->History.UndoCount() == 1 ? p->History.UndoLabel()
                                            : std::to_string(p->History.UndoCount()))
            << " " << PixelCount(Merged(pixels)) << " L=" << int{colours.LeftIndex}
            << " R=" << int{colours.RightIndex};
      if (p->History.UndoCount() == 0)
        after.str("- " + after.str().substr(2));
      EXPECT_EQ(after.str(), row.After);
      // One step takes it all back.
      p->History.Undo();
      const std::unique_ptr<OPattern> before = Mirrored(view);
      EXPECT_TRUE(p->States.Data() == before->States.Data());
      EXPECT_TRUE(p->MachineColours.Data() == before->MachineColours.Data());
      EXPECT_TRUE(p->DesignColours.Data() == before->DesignColours.Data());
    }
}

} // namespace
} // namespace quillane::test

namespace quillane::test {
namespace {

TEST(DrawToolsFill, ReachesRoundCornersAndStopsAtDiagonals) {
  // Row 0 is the first line; '#' a second colour.
  const char* rows[] = {"..#...", ".##.#.", "....#.", "###..."};
  OBitmap24 image;
  image.SetSize(6, 4);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 6; ++c)
      image.SetPixel(c, r, rows[r][c] == '#' ? 0x0000FF : 0xFFFFFF);
  struct TFillRow {
    TCell At;
    bool Everywhere;
    int64_t Count;
    TRect Bounds;
  };
  const TFillRow table[] = {{{0, 0}, false, 16, {0, 0, 5, 3}},
                            {{3, 0}, false, 16, {0, 0, 5, 3}}, // runs reaching column 0
                            {{1, 1}, false, 3, {1, 0, 2, 1}},
                            {{1, 1}, true, 8, {0, 0, 4, 3}},
                            {{6, 0}, false, 0, {0, 0, -1, -1}}};
  for (const TFillRow& row : table) {
    const TPixelRuns runs = FillPixels(image, row.At, row.Everywhere);
    EXPECT_EQ(PixelCount(runs), row.Count) << row.At.C << "," << row.At.R;
    EXPECT_EQ(PixelBounds(runs), row.Bounds) << row.At.C << "," << row.At.R;
    EXPECT_EQ(Merged(runs), runs);
  }
  // One odd pixel at every place of a long row: the run must end just before it, and the
  // odd one alone must be found wherever it lies in a block scanned at once.
  OBitmap24 row;
  row.SetSize(70, 1);
  for (int k = 1; k < 70; ++k) {
    for (int c = 0; c < 70; ++c)
      row.SetPixel(c, 0, c == k ? 0x0000FF : 0xFFFFFF);
    EXPECT_EQ(PixelBounds(FillPixels(row, {0, 0}, false)), (TRect{0, 0, k - 1, 0})) << k;
    EXPECT_EQ(PixelBounds(FillPixels(row, {k, 0}, true)), (TRect{k, 0, k, 0})) << k;
  }
}

// A random layout: sections that shift (some overlapping their sources, some reaching past
// the pattern with their targets), now and then one that flips or turns; two regions, one
// mirrored and turned; random cells and pixels. The same seed makes the same pattern.
std::unique_ptr<OPattern> RandomLayout(unsigned seed, uint8_t type) {
  std::mt19937 rng(seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int W = 16, H = 10;
  auto p = BarePattern(W, H, type);
  for (int c = 1; c <= W; ++c)
    p->Creel->SetYarnType(c, static_cast<uint8_t>(pick(1, 3)));
  p->ApplyCreel();
  for (int y = 1; y <= 3 && type == 0; ++y) // some colours without a state on some yarn types
    p->MachineTable->SetColour(y, 2, static_cast<uint8_t>(pick(1, 4)));
  p->ApplyMachineTable();
  if (pick(0, 1))
    AddSection(*p, {1, 1, W, H}, {1, 1, W, H});
  for (int i = pick(1, 4); i > 0; --i) {
    const int w = pick(1, 7), h = pick(1, 7), l = pick(1, W - w + 1), t = pick(1, H - h + 1);
    const bool turned = pick(0, 4) == 0 && w == h;
    const int tl = std::clamp(l + pick(-3, 9), 1, W - w + 1),
              tt = std::clamp(t + pick(-3, 3), 1, H - h + 1);
    // Now and then a target wider than its source: its last column has no source.
    const int wider = !turned && pick(0, 3) == 0 && tl + w <= W ? 1 : 0;
    AddSection(*p, {l, t, l + w - 1, t + h - 1}, {tl, tt, tl + w - 1 + wider, tt + h - 1},
               turned ? static_cast<uint8_t>(pick(0, 1)) : 0, 0,
               turned ? static_cast<uint8_t>(pick(0, 3)) : 0);
  }
  OPicture& picture = AddPicture(*p, 28, 12);
  AddRegion(picture, {1, 1, W, H}, {1, 1, W, H});
  AddRegion(picture, {3, 2, 10, 9}, {19, 3, 26, 10}, 0, 1, pick(0, 1) ? 1 : 3);
  TGrid& primary = type == 0 ? p->States : p->MachineColours;
  for (uint8_t& cell : primary.Data())
    cell = static_cast<uint8_t>(pick(1, type == 0 ? 2 : 4));
  p->Changed();
  picture.BringUpToDate(TView::Machine);
  for (int64_t y = 0; y < 12; ++y) // pixels a paint left stale
    picture.SetMachinePixel(pick(0, 27), y, 0x123456);
  p->History.Clear();
  return p;
}

TEST_F(DrawTools, AFillOfManyCellsEqualsPaintingThemOneByOne) {
  std::mt19937 rng(3);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (uint8_t type : {0, 11})
    for (unsigned seed = 1; seed <= 150; ++seed) {
      auto p = RandomLayout(seed, type), expected = RandomLayout(seed, type);
      TPixelRuns pixels;
      for (int i = pick(1, 6); i > 0; --i) {
        const int r = pick(0, 11), c0 = pick(0, 27);
        pixels.push_back({r, c0, std::min(27, c0 + pick(0, 14))});
      }
      pixels = Merged(pixels);
      const uint8_t v = static_cast<uint8_t>(pick(1, 4));
      const TCellBits cells = ShownCells(*p, *p->Pictures->Get(0), pixels);
      ASSERT_EQ(p->PaintMachineCells(cells, v, "Fill"), TCellPaint::Done);
      OPicture& reference = *expected->Pictures->Get(0);
      for (const TPixelRun& run : pixels)
        for (int x = run.C0; x <= run.C1; ++x)
          reference.PaintMachinePixel(x, run.R, v);
      const std::string where = "type " + std::to_string(type) + " seed " + std::to_string(seed);
      ASSERT_TRUE(p->States.Data() == expected->States.Data()) << where;
      ASSERT_TRUE(p->MachineColours.Data() == expected->MachineColours.Data()) << where;
      // One step, or none when nothing changed; then no pixel is drawn either, not even one
      // a paint left stale.
      const auto before = RandomLayout(seed, type);
      const bool changed = !(p->States.Data() == before->States.Data() &&
                             p->MachineColours.Data() == before->MachineColours.Data());
      const OPicture& drawn = changed ? reference : *before->Pictures->Get(0);
      ASSERT_TRUE(p->Pictures->Get(0)->MachineImage == drawn.MachineImage) << where;
      ASSERT_EQ(p->History.UndoCount(), changed ? 1 : 0) << where;
      // Made undefined (Delete, Cut) all at once as one by one, within the caller's step.
      auto bulk = RandomLayout(seed, type), single = RandomLayout(seed, type);
      ASSERT_TRUE(bulk->UndefineMachineCells(cells)) << where;
      for (const TPixelRun& run : pixels)
        for (int x = run.C0; x <= run.C1; ++x)
          UndefinePixel(*single, *single->Pictures->Get(0), TView::Machine, {x, run.R});
      ASSERT_TRUE(bulk->States.Data() == single->States.Data()) << where;
      ASSERT_TRUE(bulk->MachineColours.Data() == single->MachineColours.Data()) << where;
      if (!(bulk->MachineColours.Data() == before->MachineColours.Data())) {
        ASSERT_TRUE(bulk->Pictures->Get(0)->MachineImage == single->Pictures->Get(0)->MachineImage)
            << where;
      }
      ASSERT_EQ(bulk->History.UndoCount(), 0) << where;
    }
}

TEST_F(DrawTools, ALargeFillShowsProgressAndACancelChangesNothing) {
  UI.CancelAtStep = 1;
  auto p = ShownPattern(2000, 2001);
  for (int c = 1; c <= 2000; ++c) // every control takes the colour
    p->Creel->SetYarnType(c, 1);
  p->ApplyCreel();
  p->Changed();
  OPicture& picture = *p->Pictures->Get(0);
  const TZeroedBytes states = p->States.Data();
  const OBitmap24 image = picture.MachineImage;
  OViewGeometry g;
  g.SetBox(2000, 2001);
  g.SetPicture(2000, 2001, 1);
  OPalettePaintBox colours(p->Palette.get(), false);
  colours.LeftIndex = p->MachineTable->GetColour(1, 2);
  OViewMouse mouse(*p, picture, g);
  mouse.ShowView(TView::Machine);
  mouse.Choose(MakeToolState(TDrawTool::Fill, colours));
  for (const uint32_t shift : {0u, uint32_t{ssShift}}) {
    mouse.Press({5, 5, TMouseButton::Left, shift});
    mouse.Release({5, 5, TMouseButton::Left, shift});
    EXPECT_TRUE(p->States.Data() == states);
    EXPECT_TRUE(picture.MachineImage == image);
    EXPECT_EQ(p->History.UndoCount(), 0);
  }
  EXPECT_EQ(UI.ProgressTexts, (std::vector<std::string>{"Filling", "Filling"}));
  // Without a cancel the same press fills it all, as one step.
  UI.CancelAtStep.reset();
  mouse.Press({5, 5, TMouseButton::Left, 0});
  mouse.Release({5, 5, TMouseButton::Left, 0});
  EXPECT_EQ(p->States.Get(1, 1), 2);
  EXPECT_EQ(p->States.Get(2000, 2001), 2);
  EXPECT_EQ(p->History.UndoLabel(), "Fill");
}

} // namespace
} // namespace quillane::test
