// The view's mouse states without a display: scripts of presses, moves, releases, keys and
// the wheel against what they paint, the strokes the history takes, the zoom and scroll,
// and the cursor and status text each state names.
#include <functional>

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

// P press, M move, R release with button L, R (the right and any other) or M (middle) at X,
// Y; K a key: Button R the right arrow, E Escape, C the right arrow with Ctrl; W a wheel
// turn of Y with Ctrl at (X, 40); Z and D choose zooming and painting.
struct TEvent {
  char Kind;
  char Button = 'L';
  int X = 0, Y = 0;
};

struct TRow {
  const char* Name;
  bool Paint;   // the chosen state: painting, else zooming
  uint8_t View; // 1 machine, 2 design
  float Zoom;
  int Horz, Vert;
  std::vector<TEvent> Events;
  // Then: the cells painted with the colour, in order; the steps the history took and
  // whether a stroke is open; the view; the last status text and key answer; the state
  // taking the events, its cursor and its drag.
  std::vector<std::array<int, 3>> Painted;
  int Steps;
  bool Open;
  float ZoomAfter;
  int HorzAfter, VertAfter;
  const char* Status; // none: the refusal of the refused colour
  bool KeyTaken;
  const char* State;
  TViewCursor Cursor;
  TDragState Drag;
};

// Bottom left of the 80 x 60 grid is pixel (0, 0): at zoom 1, cell (c, r) lies at (c, 59 - r).
constexpr uint8_t Refused = 0; // the colour no state of the first yarn type shows

class ViewStates : public TFlowTest {};

TEST_F(ViewStates, EventsZoomPaintStrokesPanAndScrollAsTheViewDoes) {
  using C = TViewCursor;
  using D = TDragState;
  const TRow rows[] = {
      {"left zooms in around the cell",
       false,
       1,
       1,
       0,
       0,
       {{'P', 'L', 30, 39}, {'R', 'L', 30, 39}},
       {},
       0,
       false,
       2,
       10,
       -5,
       "Zoom=2",
       true,
       "Zoom",
       C::SizeAll,
       D::None},
      {"right zooms out, moves show the cell",
       false,
       1,
       1,
       0,
       0,
       {{'P', 'R', 3, 58}, {'M', 'L', 3, 59}},
       {},
       0,
       false,
       0.5,
       0,
       0,
       "Control=7, PLine=1",
       true,
       "Zoom",
       C::SizeAll,
       D::None},
      {"a left stroke is one step",
       true,
       1,
       1,
       0,
       0,
       {{'P', 'L', 3, 59}, {'M', 'L', 4, 59}, {'M', 'L', 5, 58}, {'R', 'L', 5, 58}},
       {{3, 0, 1}, {4, 0, 1}, {5, 1, 1}},
       1,
       false,
       1,
       0,
       0,
       "Control=6, PLine=2",
       true,
       "Paint",
       C::Arrow,
       D::None},
      {"the right button paints its colour; held, the stroke stays open",
       true,
       1,
       1,
       0,
       0,
       {{'P', 'R', 3, 59}, {'M', 'L', 4, 59}},
       {{3, 0, 2}, {4, 0, 2}},
       0,
       true,
       1,
       0,
       0,
       "Control=5, PLine=1",
       true,
       "Paint",
       C::Arrow,
       D::Stroke},
      {"off the picture the status empties and the stroke goes on",
       true,
       1,
       1,
       0,
       0,
       {{'P', 'L', 3, 59}, {'M', 'L', -1, 59}, {'M', 'L', 6, 59}, {'M', 'L', 50, 59}},
       {{3, 0, 1}, {6, 0, 1}},
       0,
       true,
       1,
       0,
       0,
       "",
       true,
       "Paint",
       C::Arrow,
       D::Stroke},
      {"a press off the picture starts none",
       true,
       1,
       1,
       0,
       0,
       {{'P', 'L', 50, 59}, {'M', 'L', 3, 59}, {'R', 'L', 3, 59}},
       {},
       0,
       false,
       1,
       0,
       0,
       "Control=4, PLine=1",
       true,
       "Paint",
       C::Arrow,
       D::None},
      {"the design view",
       true,
       2,
       1,
       0,
       0,
       {{'P', 'L', 3, 57}, {'R', 'L', 3, 57}},
       {{3, 2, 1}},
       1,
       false,
       1,
       0,
       0,
       "",
       true,
       "Paint",
       C::Arrow,
       D::None},
      {"a refused colour paints nothing and says why",
       true,
       1,
       1,
       0,
       0,
       {{'P', 'L', 0, 50}, {'R', 'L', 0, 50}},
       {{0, 9, Refused}},
       0,
       false,
       1,
       0,
       0,
       nullptr,
       true,
       "Paint",
       C::Arrow,
       D::None},
      {"the middle button drags the picture",
       false,
       1,
       2,
       10,
       -5,
       {{'P', 'M', 40, 30}, {'P', 'L', 40, 30}, {'M', 'L', 20, 40}},
       {},
       0,
       false,
       2,
       20,
       -10,
       "",
       true,
       "Pan",
       C::ClosedHand,
       D::View},
      {"and on release the chosen state goes on",
       true,
       1,
       2,
       10,
       -5,
       {{'P', 'M', 40, 30},
        {'M', 'L', 20, 40},
        {'R', 'M', 20, 40},
        {'P', 'L', 0, 59},
        {'R', 'L', 0, 59}},
       {{20, 10, 1}},
       1,
       false,
       2,
       20,
       -10,
       "",
       true,
       "Paint",
       C::Arrow,
       D::None},
      {"the middle button does nothing during a stroke",
       true,
       1,
       1,
       0,
       0,
       {{'P', 'L', 3, 59}, {'P', 'M', 10, 50}, {'M', 'M', 4, 59}, {'R', 'M', 4, 59}},
       {{3, 0, 1}, {4, 0, 1}},
       0,
       true,
       1,
       0,
       0,
       "Control=5, PLine=1",
       true,
       "Paint",
       C::Arrow,
       D::Stroke},
      {"choosing Zoom ends the stroke, whose moves neither paint nor zoom",
       true,
       1,
       1,
       0,
       0,
       {{'P', 'L', 3, 59}, {'Z'}, {'M', 'L', 4, 59}, {'R', 'L', 4, 59}},
       {{3, 0, 1}},
       1,
       false,
       1,
       0,
       0,
       "Control=5, PLine=1",
       true,
       "Zoom",
       C::SizeAll,
       D::None},
      {"keys scroll in any state",
       false,
       1,
       4,
       0,
       0,
       {{'P', 'M', 0, 0}, {'K', 'R'}, {'R', 'M'}, {'K', 'R'}},
       {},
       0,
       false,
       4,
       20,
       0,
       "",
       true,
       "Zoom",
       C::SizeAll,
       D::None},
      {"Escape and keys with Ctrl are not the grid's",
       true,
       1,
       4,
       0,
       0,
       {{'K', 'C'}, {'K', 'E'}},
       {},
       0,
       false,
       4,
       0,
       0,
       "",
       false,
       "Paint",
       C::Arrow,
       D::None},
      {"Ctrl and the wheel zoom around the mouse",
       true,
       1,
       1,
       0,
       0,
       {{'W', 'L', 30, 240}},
       {},
       0,
       false,
       4,
       23,
       -15,
       "Zoom=4",
       true,
       "Paint",
       C::Arrow,
       D::None},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Name);
    std::unique_ptr<OPattern> p = TwoParts(), expected = TwoParts();
    OPicture& picture = *p->Pictures->Get(0);
    uint8_t refused = 1;
    while (p->MachineTable->GetState(p->Creel->GetYarnType(1), refused) != 0)
      ++refused;
    OViewGeometry g;
    g.SetBox(80, 60);
    g.SetPicture(picture.Width, picture.Height, 1);
    g.SetZoom(row.Zoom);
    g.SetScroll(row.Horz, row.Vert);
    OPalettePaintBox colours(p->Palette.get(), false);
    OViewMouse mouse(*p, picture, g);
    mouse.View = row.View;
    auto choose = [&](bool paint) {
      if (paint)
        mouse.Choose(std::make_unique<OPaintState>(colours));
      else
        mouse.Choose(std::make_unique<OZoomState>());
    };
    choose(row.Paint);
    std::string status;
    bool taken = true;
    for (const TEvent& e : row.Events) {
      const TViewInput in{e.X, e.Y,
                          e.Button == 'L'   ? TMouseButton::Left
                          : e.Button == 'M' ? TMouseButton::Middle
                                            : TMouseButton::Right,
                          e.Kind == 'W' ? uint32_t{ssCtrl} : 0};
      // The refused colour is the left one where a row paints with it.
      colours.LeftIndex = row.Painted.size() == 1 && row.Painted[0][2] == Refused ? refused : 1;
      TViewReply r;
      switch (e.Kind) {
      case 'P':
        r = mouse.Press(in);
        break;
      case 'M':
        r = mouse.Move(in);
        break;
      case 'R':
        r = mouse.Release(in);
        break;
      case 'K':
        r = mouse.Key(e.Button == 'E' ? TViewKey::Escape : TViewKey::Right,
                      e.Button == 'C' ? uint32_t{ssCtrl} : 0);
        taken = r.Taken;
        break;
      case 'W':
        r = mouse.Wheel(0, e.Y, TViewInput{e.X, 40, TMouseButton::Left, ssCtrl});
        break;
      default:
        choose(e.Kind == 'D');
      }
      if (r.Status)
        status = *r.Status;
    }
    OPicture& reference = *expected->Pictures->Get(0);
    for (const auto& [c, r, index] : row.Painted)
      if (index != Refused)
        PaintPixel(*expected, reference, row.View, {c, r}, static_cast<uint8_t>(index));
    reference.SetViewMode(row.View);
    picture.SetViewMode(row.View);
    EXPECT_TRUE(p->States.Data() == expected->States.Data());
    EXPECT_TRUE(p->MachineColours.Data() == expected->MachineColours.Data());
    EXPECT_TRUE(p->DesignColours.Data() == expected->DesignColours.Data());
    EXPECT_EQ(std::make_pair(p->History.UndoCount(), p->History.StrokeOpen()),
              std::make_pair(row.Steps, row.Open));
    EXPECT_EQ(std::make_tuple(g.Zoom(), g.HorzPos(), g.VertPos()),
              std::make_tuple(row.ZoomAfter, row.HorzAfter, row.VertAfter));
    EXPECT_EQ(status, row.Status ? row.Status
                                 : "Palette Color " + std::to_string(refused) +
                                       " has no state for Yarn Type A in the machine table");
    EXPECT_EQ(taken, row.KeyTaken);
    EXPECT_EQ(mouse.State().Name(), row.State);
    EXPECT_EQ(std::make_pair(mouse.Cursor(), mouse.Drag()), std::make_pair(row.Cursor, row.Drag));
  }
}

} // namespace
} // namespace quillane::test
