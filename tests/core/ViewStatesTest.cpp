// The view's mouse states without a display: scripts of presses, moves, releases, keys and
// the wheel against what they paint, the strokes the history takes, the zoom and scroll,
// and the cursor and status text each state names.
#include <cstdio>
#include <sstream>

#include "PatternSupport.h"
#include "editors/ViewStates.h"
#include "elements/Picture.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"
#include "wizards/Wizards.h"

namespace quillane::test {
namespace {

std::unique_ptr<OPattern> TwoParts() {
  return GenerateWizard(TPlainWizard{40, 30, TWizardLayout::Sections2h});
}

// Events, comma-separated: P press, M move, R release with button L, R (the right and any
// other) or M (middle) at X Y; K a key: KR the right arrow, KC the same with Ctrl, KE
// Escape; W a wheel turn of Y with Ctrl at X 40; Z and D choose zooming and painting; S a
// press on the palette strip.
// Bottom left of the 80 x 60 grid is pixel (0, 59): at zoom 1, cell (c, r) of the picture, larger
// than the grid, lies at (c, 59 - r). At zoom 0.5 the picture stands in the middle: cell (c, r)
// at (15 + c / 2, 49 - r / 2).
struct TRow {
  const char* Name;
  const char* Start; // the chosen state, the view, the zoom and scroll
  const char* Events;
  // The cells painted with their colour, in order; 0: the colour no state of the first yarn
  // type shows, which paints nothing.
  std::vector<std::array<int, 3>> Painted;
  // The steps the history took and whether a stroke is open; zoom and scroll; the last
  // status text and key answer; the state taking the events, its cursor and its drag.
  const char* After;
};

class ViewStates : public TFlowTest {};

std::unique_ptr<OPattern> LargerThanTheGrid() {
  return GenerateWizard(TPlainWizard{100, 80, TWizardLayout::Sections2h});
}

TEST_F(ViewStates, EventsZoomPaintStrokesPanAndScrollAsTheViewDoes) {
  const TRow rows[] = {
      {"left zooms in around the cell",
       "zoom machine 1 0 0",
       "PL 30 39, RL 30 39",
       {},
       "0 closed, 2 at 10 -5, 'Zoom=2', taken, Zoom SizeAll None"},
      {"right zooms out, moves show the cell",
       "zoom machine 1 0 0",
       "PR 3 58, ML 18 49",
       {},
       "0 closed, 0.5 at 0 0, 'Control=7, PLine=1', taken, Zoom SizeAll None"},
      {"a left stroke is one step",
       "paint machine 1 0 0",
       "PL 3 59, ML 4 59, ML 5 58, RL 5 58",
       {{3, 0, 1}, {4, 0, 1}, {5, 1, 1}},
       "1 closed, 1 at 0 0, 'Control=6, PLine=2', taken, Paint Cross None"},
      {"the right button paints its colour; held, the stroke stays open",
       "paint machine 1 0 0",
       "PR 3 59, ML 4 59",
       {{3, 0, 2}, {4, 0, 2}},
       "0 open, 1 at 0 0, 'Control=5, PLine=1', taken, Paint Cross Stroke"},
      {"off the picture the status empties and the stroke goes on, leaving no gap",
       "paint machine 1 0 0",
       "PL 3 59, ML 6 59, ML -1 59",
       {{0, 0, 1}, {1, 0, 1}, {2, 0, 1}, {3, 0, 1}, {4, 0, 1}, {5, 0, 1}, {6, 0, 1}},
       "0 open, 1 at 0 0, '', taken, Paint Cross Stroke"},
      {"a press beside the centred picture starts none",
       "paint machine 0.5 0 0",
       "PL 5 49, ML 18 49, RL 18 49",
       {},
       "0 closed, 0.5 at 0 0, 'Control=7, PLine=1', taken, Paint Cross None"},
      {"a press on the centred picture paints the pixel under it",
       "paint machine 0.5 0 0",
       "PL 16 47, RL 16 47",
       {{2, 4, 1}},
       "1 closed, 0.5 at 0 0, '', taken, Paint Cross None"},
      {"the design view",
       "paint design 1 0 0",
       "PL 3 57, RL 3 57",
       {{3, 2, 1}},
       "1 closed, 1 at 0 0, '', taken, Paint Cross None"},
      {"a refused colour paints nothing and says why",
       "paint machine 1 0 0",
       "PL 0 50, RL 0 50",
       {{0, 9, 0}},
       "0 closed, 1 at 0 0, 'Palette Color 5 has no state for Yarn Type A in the machine "
       "table', taken, Paint Cross None"},
      {"the middle button drags the picture, other presses wait",
       "zoom machine 2 10 -5",
       "PM 40 30, PL 40 30, ML 20 40",
       {},
       "0 closed, 2 at 20 -10, '', taken, Pan ClosedHand View"},
      {"and on release the chosen state goes on",
       "paint machine 2 10 -5",
       "PM 40 30, ML 20 40, RM 20 40, PL 0 59, RL 0 59",
       {{20, 10, 1}},
       "1 closed, 2 at 20 -10, '', taken, Paint Cross None"},
      {"the middle button does nothing during a stroke",
       "paint machine 1 0 0",
       "PL 3 59, PM 10 50, MM 4 59, RM 4 59",
       {{3, 0, 1}, {4, 0, 1}},
       "0 open, 1 at 0 0, 'Control=5, PLine=1', taken, Paint Cross Stroke"},
      {"choosing Zoom ends the stroke, whose moves neither paint nor zoom",
       "paint machine 1 0 0",
       "PL 3 59, Z, ML 4 59, RL 4 59",
       {{3, 0, 1}},
       "1 closed, 1 at 0 0, 'Control=5, PLine=1', taken, Zoom SizeAll None"},
      {"a press on the strip starts painting",
       "zoom machine 1 0 0",
       "S, PL 3 59, ML 4 59, RL 4 59",
       {{3, 0, 1}, {4, 0, 1}},
       "1 closed, 1 at 0 0, 'Control=5, PLine=1', taken, Paint Cross None"},
      {"and leaves a stroke going on",
       "paint machine 1 0 0",
       "PL 3 59, S, ML 4 59",
       {{3, 0, 1}, {4, 0, 1}},
       "0 open, 1 at 0 0, 'Control=5, PLine=1', taken, Paint Cross Stroke"},
      {"keys scroll in any state",
       "zoom machine 4 0 0",
       "PM 0 0, KR, RM 0 0, KR",
       {},
       "0 closed, 4 at 24 0, '', taken, Zoom SizeAll None"},
      {"Escape and keys with Ctrl are not the grid's",
       "paint machine 4 0 0",
       "KC, KE",
       {},
       "0 closed, 4 at 0 0, '', passed, Paint Cross None"},
      {"Ctrl and the wheel zoom around the mouse",
       "paint machine 1 0 0",
       "W 30 240",
       {},
       "0 closed, 4 at 23 -15, 'Zoom=4', taken, Paint Cross None"},
  };
  static constexpr const char* cursors[] = {"Arrow", "SizeAll", "ClosedHand", "Cross",
                                            "PointingHand"};
  static constexpr const char* drags[] = {"None", "Stroke", "View"};
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Name);
    std::unique_ptr<OPattern> p = LargerThanTheGrid(), expected = LargerThanTheGrid();
    OPicture& picture = *p->Pictures->Get(0);
    char state[8], view[8];
    float zoom = 1;
    int horz = 0, vert = 0;
    ASSERT_EQ(std::sscanf(row.Start, "%7s %7s %f %d %d", state, view, &zoom, &horz, &vert), 5);
    OViewGeometry g;
    g.SetBox(80, 60);
    g.SetPicture(picture.Width, picture.Height, 1);
    g.SetZoom(zoom);
    g.SetScroll(horz, vert);
    OPalettePaintBox colours(p->Palette.get(), false);
    // Colour 5 has no state for the yarn type of the first controls.
    ASSERT_EQ(p->MachineTable->GetState(p->Creel->GetYarnType(1), 5), 0);
    if (!row.Painted.empty() && row.Painted[0][2] == 0)
      colours.LeftIndex = 5;
    OViewMouse mouse(*p, picture, g);
    mouse.ShowView(std::string_view(view) == "design" ? TView::Design : TView::Machine);
    auto choose = [&](bool paint) {
      if (paint)
        mouse.Choose(std::make_unique<OPaintState>(colours));
      else
        mouse.Choose(std::make_unique<OZoomState>());
    };
    choose(std::string_view(state) == "paint");
    std::string status;
    bool taken = true;
    std::istringstream events(row.Events);
    for (std::string event; std::getline(events, event, ',');) {
      char kind = 0, button = 0;
      int x = 0, y = 0;
      std::sscanf(event.c_str(), " %c%c %d %d", &kind, &button, &x, &y);
      if (kind == 'W')
        std::sscanf(event.c_str(), " W %d %d", &x, &y);
      const TViewInput in{x, y,
                          button == 'L'   ? TMouseButton::Left
                          : button == 'M' ? TMouseButton::Middle
                                          : TMouseButton::Right,
                          0};
      TViewReply r;
      if (kind == 'P')
        r = mouse.Press(in);
      else if (kind == 'M')
        r = mouse.Move(in);
      else if (kind == 'R')
        r = mouse.Release(in);
      else if (kind == 'K')
        taken = (r = mouse.Key(button == 'E' ? TViewKey::Escape : TViewKey::Right,
                               button == 'C' ? uint32_t{ssCtrl} : 0))
                    .Taken;
      else if (kind == 'W')
        r = mouse.Wheel(0, y, TViewInput{x, 40, TMouseButton::Left, ssCtrl});
      else if (kind == 'S')
        mouse.StripPressed(colours);
      else
        choose(kind == 'D');
      if (r.Status)
        status = *r.Status;
    }
    OPicture& reference = *expected->Pictures->Get(0);
    for (const auto& [c, r, index] : row.Painted)
      if (index != 0)
        PaintPixel(*expected, reference, mouse.View, {c, r}, static_cast<uint8_t>(index));
    reference.BringUpToDate(mouse.View);
    picture.BringUpToDate(mouse.View);
    EXPECT_TRUE(p->States.Data() == expected->States.Data());
    EXPECT_TRUE(p->MachineColours.Data() == expected->MachineColours.Data());
    EXPECT_TRUE(p->DesignColours.Data() == expected->DesignColours.Data());
    std::ostringstream after;
    after << p->History.UndoCount() << (p->History.StrokeOpen() ? " open, " : " closed, ")
          << g.Zoom() << " at " << g.HorzPos() << " " << g.VertPos() << ", '" << status << "', "
          << (taken ? "taken, " : "passed, ") << mouse.State().Name() << " "
          << cursors[static_cast<int>(mouse.Cursor())] << " "
          << drags[static_cast<int>(mouse.Drag())];
    EXPECT_EQ(after.str(), row.After);
  }
}

TEST_F(ViewStates, ChangesRedrawWhatTheyTouchAndAColourPatternShowsTheMachineView) {
  using K = TPatternChange::TKind;
  struct TChangeRow {
    K Kind;
    bool Other, Design; // another picture's pixels; the design image's
    TRect Area;
    const char* Redraw;
  };
  const TChangeRow rows[] = {
      {K::Pixels, false, false, {3, 0, 4, 1}, "Pixels machine 3 0 4 1"},
      {K::Pixels, false, true, {3, 0, 4, 1}, "Pixels design 3 0 4 1"},
      {K::Pixels, false, false, {50, 0, 55, 1}, "Pixels machine 50 0 55 1"},
      {K::Pixels, true, false, {3, 0, 4, 1}, "Nothing"},
      {K::Cells, false, false, {1, 1, 2, 2}, "Nothing"},
      {K::Modified, false, false, {}, "Nothing"},
      {K::History, false, false, {}, "Nothing"},
      {K::Setup, false, false, {}, "Everything"},
      {K::Elements, false, false, {}, "Everything"},
      {K::All, false, false, {}, "Everything"},
  };
  std::unique_ptr<OPattern> p = TwoParts(), q = TwoParts();
  const OPicture& picture = *p->Pictures->Get(0);
  OViewGeometry g;
  g.SetBox(80, 60);
  g.SetPicture(picture.Width, picture.Height, 1);
  for (const TChangeRow& row : rows) {
    TPatternChange change{row.Kind, row.Area, row.Other ? q->Pictures->Get(0) : &picture,
                          row.Design};
    const TRedraw r = RedrawFor(change, picture, TView::Machine, g);
    static constexpr const char* kinds[] = {"Nothing", "Pixels", "Everything"};
    std::string got = kinds[static_cast<int>(r.Kind)];
    if (r.Kind == TRedraw::TKind::Pixels)
      got += std::string(r.DesignImage ? " design " : " machine ") + std::to_string(r.Area.Left) +
             " " + std::to_string(r.Area.Top) + " " + std::to_string(r.Area.Right) + " " +
             std::to_string(r.Area.Bottom);
    EXPECT_EQ(got, row.Redraw) << static_cast<int>(row.Kind);
  }
  // At any zoom, every screen pixel showing a changed pixel is stale, and repainted when the
  // view shows that image; nothing more than a pixel away is; an area out of sight is neither.
  auto inside = [](const TScreenRect& s, int x, int y) {
    return x >= s.Left && x < s.Right && y >= s.Top && y < s.Bottom;
  };
  for (const float zoom : {1.0f, 1.5f, 2.5f, 4.0f}) {
    g.SetZoom(zoom);
    g.SetScroll(0, 0);
    for (const bool design : {false, true}) {
      SCOPED_TRACE(testing::Message() << "zoom " << zoom << (design ? " design" : " machine"));
      const TRedraw r =
          RedrawFor({K::Pixels, {3, 0, 4, 1}, &picture, design}, picture, TView::Machine, g);
      EXPECT_EQ(r.Repaint.Empty(), design);
      int shown = 0;
      for (int y = 0; y < g.BoxHeight(); ++y)
        for (int x = 0; x < g.BoxWidth(); ++x) {
          const std::optional<TCell> c = g.CellAt(x, y);
          const bool changed = c && c->C >= 3 && c->C <= 4 && c->R >= 0 && c->R <= 1;
          // Also a pixel beside the centred picture, on the background.
          bool near = false;
          for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
              if (const std::optional<TCell> n = g.CellAt(x + dx, y + dy))
                near = near || (n->C >= 2 && n->C <= 5 && n->R >= -1 && n->R <= 2);
          shown += changed;
          if (changed) {
            ASSERT_TRUE(inside(r.Stale, x, y) && (design || inside(r.Repaint, x, y)))
                << x << "," << y;
          }
          if (inside(r.Stale, x, y) || inside(r.Repaint, x, y)) {
            ASSERT_TRUE(near) << x << "," << y;
          }
        }
      EXPECT_GT(shown, 0);
    }
    const TRedraw away =
        RedrawFor({K::Pixels, {50, 0, 55, 1}, &picture, false}, picture, TView::Machine, g);
    EXPECT_TRUE(away.Stale.Empty() && away.Repaint.Empty());
  }
  OViewMouse mouse(*p, *p->Pictures->Get(0), g);
  EXPECT_EQ(mouse.ShowView(TView::Design), TView::Design);
  p->PatternMode = pmColours;
  EXPECT_EQ(mouse.ShowView(TView::Design), TView::Machine);
  EXPECT_EQ(mouse.View, TView::Machine);
}

} // namespace
} // namespace quillane::test
