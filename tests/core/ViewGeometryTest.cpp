#include <gtest/gtest.h>

#include <functional>

#include "PatternSupport.h"
#include "editors/ViewGeometry.h"
#include "editors/ViewMarks.h"
#include "model/BitmapStates.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"

namespace quillane::test {
namespace {

using TPoint = std::pair<int, int>;
using TMaybeCell = std::optional<TCell>;

// A picture of W x H with PLines S apart, in a grid of 80 x 60 pixels.
struct TView {
  int W, H;
  float S, Zoom;
  int Horz, Vert;
};

OViewGeometry Geometry(int w, int h, float s, float zoom, int horz, int vert) {
  OViewGeometry g;
  g.SetBox(80, 60);
  g.SetPicture(w, h, s);
  g.SetZoom(zoom);
  g.SetScroll(horz, vert);
  return g;
}

TEST(ViewGeometry, FramesCellsUnderTheMouseAndTheScreenRectanglesOfCells) {
  const std::nullopt_t none = std::nullopt;
  const TViewFrame whole = {0, 80, 0, 50, 80, 50, 0, 55};
  // The frame (X0..Bottom) and cells under points.
  using TRow =
      std::tuple<const char*, TView, TViewFrame, std::vector<std::pair<TPoint, TMaybeCell>>>;
  const TRow rows[] = {
      {"zoom 1: the picture shorter than the grid stands in the middle of its height",
       {100, 50, 1, 1, 0, 0},
       whole,
       {{{0, 54}, TCell{0, 0}},
        {{79, 5}, TCell{79, 49}},
        {{0, 4}, none},
        // left of and below the image, where truncating towards zero would give 0
        {{-1, 54}, none},
        {{0, 55}, none}}},
      {"zoom 2, each PLine 4 pixels high (s = 2), scrolled",
       {100, 50, 2, 2, 10, -5},
       {10, 50, 5, 20, 80, 60, 0, 60},
       {{{1, 59}, TCell{10, 5}}, {{3, 56}, TCell{11, 5}}, {{3, 55}, TCell{11, 6}}}},
      {"zoom 0.5: the whole picture in the middle, the grid's middle on the picture's",
       {100, 50, 1, 0.5f, 0, 0},
       {0, 100, 0, 50, 50, 25, 15, 43},
       {{{40, 30}, TCell{50, 24}},
        {{64, 42}, TCell{98, 0}},
        {{65, 42}, none},
        {{14, 42}, none},
        {{15, 17}, none},
        {{15, 43}, none}}},
      {"a picture without width: an empty grid",
       {0, 10, 1, 1, 5, -3},
       {0, 0, 0, 0, 0, 0, 0, 35},
       {{{0, 59}, none}}},
      {"a spacing of 0 draws PLines square", {100, 50, 0, 1, 0, 0}, whole, {}},
  };
  for (const auto& [what, v, e, points] : rows) {
    SCOPED_TRACE(what);
    const OViewGeometry g = Geometry(v.W, v.H, v.S, v.Zoom, v.Horz, v.Vert);
    const TViewFrame f = g.Frame();
    EXPECT_EQ(std::vector<int>({f.X0, f.X1, f.Y0, f.Y1, f.DR, f.DH, f.Left, f.Bottom}),
              std::vector<int>({e.X0, e.X1, e.Y0, e.Y1, e.DR, e.DH, e.Left, e.Bottom}));
    for (const auto& [point, cell] : points)
      EXPECT_EQ(g.CellAt(point.first, point.second), cell) << point.first << "," << point.second;
  }
  // Changed pixels: the screen rectangle that shows them, nothing when none is visible.
  const OViewGeometry g = Geometry(100, 50, 2, 2, 10, -5);
  EXPECT_EQ(g.ScreenRect({12, 6, 13, 6}), (TScreenRect{4, 52, 8, 56}));
  EXPECT_TRUE(g.ScreenRect({0, 0, 5, 4}).Empty());
  EXPECT_EQ(Geometry(100, 50, 1, 0.5f, 0, 0).ScreenRect({98, 0, 99, 0}),
            (TScreenRect{64, 42, 65, 43}));
  // Held whole one way, the picture does not scroll that way, whatever asks it to; it still
  // scrolls the other.
  for (const auto& [zoom, set, end] : {std::tuple(0.5f, 0, 0), std::tuple(1.0f, 12, 20)}) {
    OViewGeometry centred = Geometry(100, 50, 1, zoom, 12, -7);
    EXPECT_EQ(std::tuple(centred.HorzMax(), centred.VertMin()), std::tuple(set > 0 ? 100 : 0, 0));
    EXPECT_EQ(TPoint(centred.HorzPos(), centred.VertPos()), TPoint(set, 0)) << zoom;
    centred.ScrollKey(OViewGeometry::TScrollKey::End);
    centred.ScrollLines(0, 3);
    EXPECT_EQ(TPoint(centred.HorzPos(), centred.VertPos()), TPoint(end, 0)) << zoom;
  }
}

TEST(ViewGeometry, WheelZoomKeepsTheCellUnderTheMouseAndFitShowsTheWholePicture) {
  struct TRow {
    const char* What;
    float Zoom;
    int Steps;
    TPoint At;
    float Expected;
  };
  const TRow rows[] = {
      {"in from 1", 1, 1, {37, 21}, 2},
      {"out from 4", 4, -1, {50, 40}, 2},
      {"two notches at once", 1, 2, {10, 50}, 4},
      {"fitted: in to the next rung", 3.1f, 1, {40, 30}, 4},
      {"fitted: out to the rung below", 3.1f, -1, {40, 30}, 2},
      {"stops at the top", 64, 1, {40, 30}, 64},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.What);
    OViewGeometry g = Geometry(100, 50, 2, row.Zoom, 20, -10);
    const TMaybeCell before = g.CellAt(row.At.first, row.At.second);
    ASSERT_TRUE(before);
    g.ZoomAround(row.At.first, row.At.second, row.Steps);
    EXPECT_EQ(g.Zoom(), row.Expected);
    EXPECT_EQ(g.CellAt(row.At.first, row.At.second), before);
  }

  // The Zoom tool's click from a fitted zoom takes the next rung too.
  for (const auto& [in, expected] : {std::pair(true, 1.0f), std::pair(false, 0.5f)}) {
    OViewGeometry fitted = Geometry(100, 50, 1, 0.8f, 0, 0);
    fitted.ZoomAt(40, 30, in);
    EXPECT_EQ(fitted.Zoom(), expected) << in;
  }

  // Fit: the largest zoom that shows it all, PLine 1 at the bottom left, however large; the
  // status bar shows it rounded. The keys then zoom around the middle of the part in sight,
  // which the grid's middle beside a tall picture is not, and out no further than the rung
  // that still shows it all.
  const std::tuple<int, int, float, float, const char*> fits[] = {
      {100, 50, 1, 0.8f, "Zoom=0.8"},         // 80 x 60 holds 100 x 50 at 0.8
      {10, 10, 1, 6, "Zoom=6"},               // and 10 x 10 at 6, as high as the grid
      {30, 7, 3, 80.0f / 30, "Zoom=2.67"},    // PLines three times as high: 7 rows take 56
      {5000, 5000, 1, 0.012f, "Zoom=0.012"},  // below the ladder's 1/16
      {1800, 20000, 1, 0.003f, "Zoom=0.003"}, // a carpet: a sliver in the middle
      {20000, 3, 0.5f, 0.004f, "Zoom=0.004"}, // a long one lying down
  };
  for (const auto& [w, h, s, zoom, text] : fits) {
    SCOPED_TRACE(text);
    OViewGeometry g = Geometry(w, h, s, 1, 3, -3);
    g.Fit();
    EXPECT_FLOAT_EQ(g.Zoom(), zoom);
    EXPECT_EQ(g.ZoomText(), text);
    EXPECT_EQ(TPoint(g.HorzPos(), g.VertPos()), TPoint(0, 0));
    TViewFrame f = g.Frame();
    EXPECT_EQ(TPoint(f.X1, f.Y1), TPoint(w, h)) << "all of it in sight";
    EXPECT_TRUE(f.DR <= 80 && f.DH <= 60) << "within the grid";
    for (int step = 1; step <= 6; ++step) {
      const TMaybeCell middle = g.CellAt(f.Left + (std::min(f.DR, 80) - 1) / 2,
                                         f.Bottom - 1 - (std::min(f.DH, 60) - 1) / 2);
      g.ZoomSteps(1);
      f = g.Frame();
      EXPECT_TRUE(f.DR > 0 && f.DH > 0) << step;
      ASSERT_TRUE(middle);
      EXPECT_TRUE(middle->C >= f.X0 && middle->C < f.X1 && middle->R >= f.Y0 && middle->R < f.Y1)
          << step;
    }
    // The wheel over the grid beside the picture keeps the picture's nearest cell there.
    g.Fit();
    g.ZoomAround(79, 0, 3);
    f = g.Frame();
    EXPECT_TRUE(f.DR > 0 && f.DH > 0);
    g.Fit();
    for (int step = 1; step <= 3; ++step)
      g.ZoomSteps(-1);
    EXPECT_GE(g.Zoom(), std::min(zoom, 1.0f / 16) / 2);
    EXPECT_EQ(TPoint(g.Frame().X1, g.Frame().Y1), TPoint(w, h));
  }
}

TEST(ViewGeometry, AtAnyZoomThePointAndTheCellDrawnThereAgree) {
  // Every point of the grid lies in the screen rectangle of the cell under it, so a press,
  // a stroke and the paint agree on fractional zooms as on the ladder's.
  for (const float zoom : {0.37f, 0.8f, 1.0f, 1.5f, 2.0f / 3, 3.3f, 6.7f}) {
    for (const float s : {1.0f, 1.7f}) {
      const OViewGeometry g = Geometry(200, 90, s, zoom, 7, -5);
      int seen = 0;
      for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
          if (const TMaybeCell cell = g.CellAt(x, y)) {
            const TScreenRect r = g.ScreenRect({cell->C, cell->R, cell->C, cell->R});
            ASSERT_TRUE(x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom)
                << zoom << " " << s << " at " << x << "," << y;
            ++seen;
          }
      EXPECT_GT(seen, 80 * 60 / 3) << zoom;
    }
  }
}

TEST(ViewGeometry, TheIniKeepsTheZoomAndScrollAndRefusesWhatIsNotThem) {
  OViewGeometry g = Geometry(100, 50, 1, 1.5f, 12, -7);
  OViewGeometry back = Geometry(100, 50, 1, 4, 0, 0);
  ASSERT_TRUE(back.Restore(g.Saved()));
  EXPECT_EQ(std::tuple(back.Zoom(), back.HorzPos(), back.VertPos()), std::tuple(1.5f, 12, -7));
  // Out of range: clamped as a wheel or scroll bar would be.
  ASSERT_TRUE(back.Restore("1000,500,-9999"));
  EXPECT_EQ(std::tuple(back.Zoom(), back.HorzPos(), back.VertPos()), std::tuple(64.0f, 100, -50));
  for (const char* bad :
       {"", "2", "2,3", "2,3,4,", "2,3,4,5", "x,1,1", "nan,1,1", "2;3;4", " 2,3,4"})
    EXPECT_FALSE(back.Restore(bad)) << bad;
  EXPECT_EQ(back.Zoom(), 64.0f);
  // A key per file and window, of characters an ini key may hold.
  const std::string key = SavedViewKey("/home/a/b c=d.qpt", "Window [1]");
  EXPECT_EQ(
      key.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._"),
      std::string::npos);
  EXPECT_NE(key, SavedViewKey("/home/a/b c=d2.qpt", "Window [1]"));
  EXPECT_NE(key, SavedViewKey("/home/a/b c=d.qpt", "Window [2]"));
}

TEST(ViewGeometry, GridLinesAndRulersCoverTheVisibleCellsAndLabelsNeverOverlap) {
  // 200 x 90 at zoom 8, from column 5 and PLine 3: controls 6..15, PLines 3..10 in 80 x 60.
  OViewGeometry g = Geometry(200, 90, 1, 8, 5, -2);
  EXPECT_EQ(LabelStep(8, 20), 5);
  EXPECT_EQ(ColumnMarks(g, 20).front(), (TRulerMark{4, 6, false}));
  EXPECT_EQ(ColumnMarks(g, 20)[4], (TRulerMark{36, 10, true}));
  EXPECT_EQ(RowMarks(g, 20).front(), (TRulerMark{56, 3, false})); // PLine 3 on the bottom row
  EXPECT_EQ(RowMarks(g, 20)[2], (TRulerMark{40, 5, true}));
  const TGridLines lines = GridLines(g);
  EXPECT_EQ(lines.X.size(), 9u);
  EXPECT_EQ(std::make_pair(lines.X.front(), lines.Y.front()), std::make_pair(8, 52));
  g.SetZoom(3.9f);
  EXPECT_TRUE(GridLines(g).X.empty() && GridLines(g).Y.empty()) << "below zoom 4";
  // At any zoom the written numbers stand a label apart, the ticks at least MinTickPixels,
  // each on its cell; only visible cells count.
  for (const float zoom : {1.0f / 16, 0.37f, 0.7f, 1.0f, 2.5f, 2.8f, 6.7f, 64.0f})
    for (const int label : {1, 14, 33}) {
      g = Geometry(5000, 9000, 1.5f, zoom, 1234, -4321);
      const TViewFrame f = g.Frame();
      for (const bool rows : {false, true}) {
        const auto marks = rows ? RowMarks(g, label) : ColumnMarks(g, label);
        ASSERT_FALSE(marks.empty()) << zoom;
        int lastLabel = -1000000, lastTick = -1000000;
        for (const TRulerMark& m : marks) {
          const int at = rows ? -m.Pixel : m.Pixel;
          EXPECT_GE(at - lastTick, std::min(MinTickPixels, label)) << zoom;
          lastTick = at;
          if (m.Labelled) {
            EXPECT_GE(at - lastLabel, label) << zoom << " " << m.Number;
            lastLabel = at;
          }
          const int n = m.Number - 1;
          const TScreenRect r =
              g.ScreenRect(rows ? TRect{f.X0, n, f.X0, n} : TRect{n, f.Y0, n, f.Y0});
          EXPECT_TRUE(rows ? m.Pixel >= r.Top && m.Pixel < r.Bottom
                           : m.Pixel >= r.Left && m.Pixel < r.Right)
              << zoom << " " << m.Number;
          EXPECT_TRUE(m.Number > (rows ? f.Y0 : f.X0) && m.Number <= (rows ? f.Y1 : f.X1));
        }
      }
    }
}

TEST(ViewGeometry, UnstatedCellsAreCountedAsTheyChangeAndFoundUnderTheirPixels) {
  // 20 controls by 6 PLines; controls 7 and 8 have yarn type B, whose states show colours 1
  // and 4; yarn type A has no state for 4. The picture shows the pattern mirrored.
  auto p = BarePattern(20, 6);
  OPicture& picture = AddPicture(*p, 20, 6);
  AddRegion(picture, {1, 1, 20, 6}, {1, 1, 20, 6}, 1);
  p->Creel->SetYarnType(7, 2);
  p->Creel->SetYarnType(8, 2);
  p->ApplyCreel();
  p->MachineTable->SetColour(2, 1, 1);
  p->MachineTable->SetColour(2, 2, 4);
  p->ApplyMachineTable();
  p->Changed();
  auto brute = [&] {
    const TStatedEntries states = StatedEntries(*p, true);
    int64_t n = 0;
    for (int c = 1; c <= 20; ++c)
      for (int l = 1; l <= 6; ++l)
        n += p->GetMachineColour(c, l) != 0 && !states.Has(c, p->GetMachineColour(c, l));
    return n;
  };
  ASSERT_EQ(brute(), 0);
  OUnstatedCells count;
  count.Recount(*p, quillane::TView::Machine);
  // Cells written without their states, as an import may, each heard as its notice says.
  const std::tuple<const char*, TRect, uint8_t, int64_t> edits[] = {
      {"colour 4 on yarn type A", {3, 2, 5, 3}, 4, 6},
      {"and on B, where it has a state", {6, 2, 8, 2}, 4, 7},
      {"colour 2 on B has none", {7, 5, 7, 6}, 2, 9},
      {"the undefined colour is never missed", {3, 3, 5, 3}, 0, 6},
  };
  for (const auto& [what, area, colour, expected] : edits) {
    for (int c = area.Left; c <= area.Right; ++c)
      for (int l = area.Top; l <= area.Bottom; ++l)
        p->SetMachineColour(c, l, colour);
    EXPECT_TRUE(count.Heard(*p, {TPatternChange::TKind::Cells, area}));
    EXPECT_EQ(count.Total(), expected) << what;
    EXPECT_EQ(brute(), expected) << what;
  }
  EXPECT_FALSE(count.Heard(*p, {TPatternChange::TKind::Modified}));
  // Control c lies under pixel 20 - c: PLine 2's controls 3 to 6 (A) under 17 to 14, and
  // control 7 (B) of PLines 5 and 6 under 13; an area past the picture is cut to it.
  EXPECT_EQ(count.InPixels(*p, picture, {12, 1, 17, 1}),
            (std::vector<TCell>{{14, 1}, {15, 1}, {16, 1}, {17, 1}}));
  EXPECT_EQ(count.InPixels(*p, picture, {-5, 2, 99, 9}), (std::vector<TCell>{{13, 4}, {13, 5}}));
  // Their pixels, mirrored, for a change of those cells; none for cells past the region.
  EXPECT_EQ(PixelsOfCells(picture, {3, 2, 6, 3}), (std::vector<TRect>{{14, 1, 17, 2}}));
  EXPECT_TRUE(PixelsOfCells(picture, {21, 1, 30, 6}).empty());
  // A table that gives A a state for 4 is a setup change: all of it counted again.
  p->MachineTable->SetColour(1, 2, 4);
  p->ApplyMachineTable();
  EXPECT_TRUE(count.Heard(*p, {TPatternChange::TKind::Setup}));
  EXPECT_EQ(count.Total(), brute());
  EXPECT_EQ(count.Total(), 2);
  // Counted in steps, with changes heard before and after their PLines are counted: the
  // same total in the end, and the cells are found before it is known.
  OUnstatedCells steps;
  steps.Begin(*p, quillane::TView::Machine);
  EXPECT_FALSE(steps.CountMore(*p, 3));
  EXPECT_EQ(steps.InPixels(*p, picture, {13, 4, 13, 5}), (std::vector<TCell>{{13, 4}, {13, 5}}));
  for (const int l : {1, 6}) {
    p->SetMachineColour(8, l, 2);
    steps.Heard(*p, {TPatternChange::TKind::Cells, {8, l, 8, l}});
  }
  EXPECT_TRUE(steps.CountMore(*p, 3));
  EXPECT_EQ(steps.Total(), brute());
  EXPECT_EQ(steps.Total(), 4);
  EXPECT_EQ(UnstatedStatus(2) + UnstatedStatus(0) + "; " + UnstatedStatus(1),
            "2 cells have no state for their yarn type; 1 cell has no state for its yarn type");
}

TEST(ViewGeometry, WheelAndKeysScrollWithinThePicture) {
  using K = OViewGeometry::TScrollKey;
  // 100 x 50 at zoom 2 in 80 x 60: 40 columns and 30 PLines shown; a line is 24 cells.
  OViewGeometry g = Geometry(100, 50, 1, 2, 0, 0);
  const std::tuple<const char*, std::function<void()>, TPoint> steps[] = {
      {"right a line", [&] { g.ScrollLines(1, 0); }, {24, 0}},
      {"right stops at the last column", [&] { g.ScrollLines(5, 0); }, {60, 0}},
      {"up a line", [&] { g.ScrollKey(K::Up); }, {60, -20}},
      {"page up stops at the last PLine", [&] { g.ScrollKey(K::PageUp); }, {60, -20}},
      {"page down: 29 PLines", [&] { g.ScrollKey(K::PageDown); }, {60, 0}},
      {"left twice", [&] { g.ScrollKey(K::Left), g.ScrollKey(K::Left); }, {12, 0}},
      {"left stops at the first column", [&] { g.ScrollKey(K::Left); }, {0, 0}},
      {"end: the far corner", [&] { g.ScrollKey(K::End); }, {60, -20}},
      {"home", [&] { g.ScrollKey(K::Home); }, {0, 0}},
      {"beyond, as the scroll bar may go, a step on stays",
       [&] { g.SetScroll(90, -45), g.ScrollLines(1, 1); },
       {90, -45}},
      {"and a step back comes back", [&] { g.ScrollLines(-1, -1); }, {66, -21}},
      {"a column to the middle", [&] { g.CentreColumn(50); }, {30, -21}},
      {"the first column as near as it goes", [&] { g.CentreColumn(0); }, {0, -21}},
      {"the last column too", [&] { g.CentreColumn(99); }, {79, -21}},
  };
  for (const auto& [what, run, expected] : steps) {
    run();
    EXPECT_EQ(TPoint(g.HorzPos(), g.VertPos()), expected) << what;
  }
  // Wheel turns make whole notches; turning back starts again.
  OWheelSteps wheel;
  EXPECT_EQ(std::vector<int>({wheel.Take(60), wheel.Take(90), wheel.Take(-30), wheel.Take(-100),
                              wheel.Take(-20), wheel.Take(-360)}),
            std::vector<int>({0, 1, 0, -1, 0, -3}));
}

} // namespace
} // namespace quillane::test
