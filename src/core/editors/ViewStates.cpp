#include "editors/ViewStates.h"

#include <algorithm>
#include <cmath>

#include "elements/Picture.h"
#include "model/Pattern.h"
#include "platform/Platform.h"

namespace quillane {

bool OffersDesignView(const ODesignOwner& pattern) {
  return pattern.PatternMode != pmColours;
}

TRedraw RedrawFor(const TPatternChange& change, const OPicture& picture, TView view,
                  const OViewGeometry& geometry) {
  TRedraw r;
  switch (change.Kind) {
  case TPatternChange::TKind::Pixels:
    if (change.Picture != &picture)
      break;
    r.Kind = TRedraw::TKind::Pixels;
    r.DesignImage = change.DesignImage;
    r.Area = change.Area;
    if (const TScreenRect s = geometry.ScreenRect(change.Area); !s.Empty()) {
      r.Stale = {s.Left - 1, s.Top - 1, s.Right + 1, s.Bottom + 1};
      if (change.DesignImage == (view == TView::Design))
        r.Repaint = s;
    }
    break;
  case TPatternChange::TKind::Cells: // the pixels they show are announced when rendered
  case TPatternChange::TKind::Modified:
  case TPatternChange::TKind::History:
    break;
  default:
    // The picture's size, its regions or the colours may have changed.
    r.Kind = TRedraw::TKind::Everything;
    break;
  }
  return r;
}

TViewReply OViewState::Move(OViewMouse& mouse, const TViewInput& in) {
  TViewReply r;
  r.Status = CellText(mouse.Geometry.CellAt(in.X, in.Y));
  return r;
}

TViewReply OViewState::Release(OViewMouse&, const TViewInput&) {
  return {};
}

TViewReply OViewState::Key(OViewMouse& mouse, TViewKey key, uint32_t shift) {
  using K = OViewGeometry::TScrollKey;
  static constexpr std::pair<TViewKey, K> keys[] = {
      {TViewKey::Left, K::Left}, {TViewKey::Right, K::Right},   {TViewKey::Up, K::Up},
      {TViewKey::Down, K::Down}, {TViewKey::PageUp, K::PageUp}, {TViewKey::PageDown, K::PageDown},
      {TViewKey::Home, K::Home}, {TViewKey::End, K::End}};
  TViewReply r;
  r.Taken = false;
  if ((shift & (ssShift | ssAlt | ssCtrl)) != 0)
    return r;
  for (const auto& [k, scroll] : keys)
    if (key == k) {
      mouse.Geometry.ScrollKey(scroll);
      r.Taken = r.Moved = true;
    }
  return r;
}

void OViewState::Leave(OViewMouse&) {}

TToolPreview OViewState::Preview() const {
  static const TPixelRuns none;
  return {none};
}

TViewReply OViewState::BeginPan(OViewMouse& mouse, const TViewInput& in) {
  mouse.Interrupt(std::make_unique<OPanState>(mouse.Geometry, in.X, in.Y));
  return {};
}

TViewReply OZoomState::Press(OViewMouse& mouse, const TViewInput& in) {
  if (in.Button == TMouseButton::Middle)
    return BeginPan(mouse, in);
  mouse.Geometry.ZoomAt(in.X, in.Y, in.Button == TMouseButton::Left);
  TViewReply r;
  r.Moved = true;
  r.Status = mouse.Geometry.ZoomText();
  return r;
}

namespace {

// Paints the pixels within the open stroke, as presses do: the first refusal's text.
std::optional<std::string> PaintInStroke(OViewMouse& mouse, const TPixelRuns& pixels,
                                         uint8_t index) {
  std::optional<std::string> refused;
  OPatternEvents::TGroup oneReport(mouse.Pattern.Events);
  for (const TPixelRun& run : pixels)
    for (int c = run.C0; c <= run.C1; ++c)
      if (std::string why = PaintPixel(mouse.Pattern, mouse.Picture, mouse.View, {c, run.R}, index);
          !why.empty() && !refused)
        refused = std::move(why);
  return refused;
}

// Alt and a press: the colour under the mouse goes into the button pressed.
TViewReply PickInto(OViewMouse& mouse, OPalettePaintBox& colours, TCell cell, bool left) {
  TViewReply r;
  if (const std::optional<uint8_t> v = PickPixel(mouse.Pattern, mouse.Picture, mouse.View, cell)) {
    (left ? colours.LeftIndex : colours.RightIndex) = *v;
    colours.Changes.Notify(TStripChange::Selection);
    r.Status = "Palette Color " + std::to_string(*v);
  }
  return r;
}

TPixelRuns BrushedLine(const OViewMouse& mouse, TCell from, TCell to) {
  return Brushed(LineCells(from, to), mouse.Brush, mouse.Picture.Width, mouse.Picture.Height);
}

} // namespace

TViewReply ODrawState::Press(OViewMouse& mouse, const TViewInput& in) {
  if (in.Button == TMouseButton::Middle)
    return Held ? TViewReply{} : BeginPan(mouse, in);
  const std::optional<TCell> cell = mouse.Geometry.CellAt(in.X, in.Y);
  TViewReply r;
  if (!cell) {
    r.Status = std::string();
    return r;
  }
  if (Held)
    return Again(mouse, *cell, in.Shift);
  const bool left = in.Button == TMouseButton::Left;
  if (in.Shift & ssAlt)
    return PickInto(mouse, Colours, *cell, left);
  Held = in.Button;
  Index = left ? Colours.LeftIndex : Colours.RightIndex;
  return Begin(mouse, *cell, in.Shift);
}

TViewReply ODrawState::Move(OViewMouse& mouse, const TViewInput& in) {
  if (!Held)
    return OViewState::Move(mouse, in);
  TViewReply r = DragTo(mouse, mouse.Geometry.CellNear(in.X, in.Y), in.Shift);
  if (!r.Status)
    r.Status = CellText(mouse.Geometry.CellAt(in.X, in.Y));
  return r;
}

TViewReply ODrawState::Release(OViewMouse& mouse, const TViewInput& in) {
  if (in.Button == TMouseButton::Middle || !Held)
    return {};
  TViewReply r = Finish(mouse, mouse.Geometry.CellNear(in.X, in.Y), in.Shift);
  const TRect was = PixelBounds(Shown);
  Leave(mouse);
  if (was.Left <= was.Right && !r.Preview)
    r.Preview = was;
  return r;
}

TViewReply ODrawState::Key(OViewMouse& mouse, TViewKey key, uint32_t shift) {
  if (key != TViewKey::Escape || !Held)
    return OViewState::Key(mouse, key, shift);
  TViewReply r;
  ShowPreview(r, {});
  Leave(mouse);
  return r;
}

void ODrawState::Leave(OViewMouse& mouse) {
  Held.reset();
  Shown.clear();
  End(mouse);
}

TViewReply ODrawState::DragTo(OViewMouse&, TCell, uint32_t) {
  return {};
}

TViewReply ODrawState::Finish(OViewMouse&, TCell, uint32_t) {
  return {};
}

TViewReply ODrawState::Again(OViewMouse&, TCell, uint32_t) {
  return {};
}

void ODrawState::End(OViewMouse&) {}

void ODrawState::ShowPreview(TViewReply& reply, TPixelRuns pixels) {
  const TRect was = PixelBounds(Shown), now = PixelBounds(pixels);
  Shown = std::move(pixels);
  if (was.Left > was.Right && now.Left > now.Right)
    return;
  if (was.Left > was.Right)
    reply.Preview = now;
  else if (now.Left > now.Right)
    reply.Preview = was;
  else
    reply.Preview = TRect{std::min(was.Left, now.Left), std::min(was.Top, now.Top),
                          std::max(was.Right, now.Right), std::max(was.Bottom, now.Bottom)};
}

TViewReply OPaintState::Begin(OViewMouse& mouse, TCell at, uint32_t) {
  Last = at;
  TViewReply r;
  r.Status = PaintInStroke(mouse, BrushedLine(mouse, at, at), Index);
  return r;
}

TViewReply OPaintState::DragTo(OViewMouse& mouse, TCell at, uint32_t) {
  TViewReply r;
  if (at == Last)
    return r;
  // The line's first cell was painted by the step before.
  std::vector<TCell> path = LineCells(Last, at);
  path.erase(path.begin());
  Last = at;
  r.Status = PaintInStroke(
      mouse, Brushed(path, mouse.Brush, mouse.Picture.Width, mouse.Picture.Height), Index);
  return r;
}

TViewReply OPaintState::Again(OViewMouse& mouse, TCell at, uint32_t shift) {
  // The stroke goes on in the new button's colour.
  Index = Held == TMouseButton::Left ? Colours.RightIndex : Colours.LeftIndex;
  Held = Held == TMouseButton::Left ? TMouseButton::Right : TMouseButton::Left;
  return Begin(mouse, at, shift);
}

void OPaintState::End(OViewMouse& mouse) {
  // The stroke becomes one step of the pattern's history.
  mouse.Pattern.History.EndStroke();
}

TViewReply OLineState::Begin(OViewMouse& mouse, TCell at, uint32_t) {
  Anchor = at;
  TViewReply r;
  ShowPreview(r, BrushedLine(mouse, at, at));
  return r;
}

TViewReply OLineState::DragTo(OViewMouse& mouse, TCell at, uint32_t shift) {
  TViewReply r;
  ShowPreview(r, BrushedLine(mouse, Anchor, shift & ssShift ? Straightened(Anchor, at) : at));
  return r;
}

TViewReply OLineState::Finish(OViewMouse& mouse, TCell at, uint32_t shift) {
  TViewReply r = DragTo(mouse, at, shift);
  if (std::string why = PaintPixels(mouse.Pattern, mouse.Picture, mouse.View, Shown, Index, "Line");
      !why.empty())
    r.Status = std::move(why);
  return r;
}

TViewReply ORectangleState::Begin(OViewMouse& mouse, TCell at, uint32_t shift) {
  Anchor = at;
  return DragTo(mouse, at, shift);
}

TViewReply ORectangleState::DragTo(OViewMouse& mouse, TCell at, uint32_t shift) {
  TViewReply r;
  ShowPreview(r, RectanglePixels(Anchor, at, Filled || (shift & ssShift) != 0, mouse.Picture.Width,
                                 mouse.Picture.Height));
  return r;
}

TViewReply ORectangleState::Finish(OViewMouse& mouse, TCell at, uint32_t shift) {
  TViewReply r = DragTo(mouse, at, shift);
  if (std::string why =
          PaintPixels(mouse.Pattern, mouse.Picture, mouse.View, Shown, Index, "Rectangle");
      !why.empty())
    r.Status = std::move(why);
  return r;
}

TViewReply OFillState::Begin(OViewMouse& mouse, TCell at, uint32_t shift) {
  mouse.Picture.BringUpToDate(mouse.View);
  const OBitmap24& image =
      mouse.View == TView::Design ? mouse.Picture.DesignImage : mouse.Picture.MachineImage;
  TViewReply r;
  // A carpet's large areas take a moment: progress with Cancel, which the search and the
  // sorting out of the cells heed before anything changed.
  std::optional<OProgress> progress;
  constexpr int64_t Steps = 1000;
  int64_t asked = 0;
  bool cancelled = false;
  std::function<bool()> goOn;
  if (int64_t{image.Width()} * image.Height() > LargeFill) {
    progress.emplace("Filling", Steps);
    goOn = [&] {
      cancelled = cancelled || !progress->Step(std::min(++asked, Steps - 1));
      return !cancelled;
    };
  }
  const TPixelRuns pixels = FillPixels(image, at, (shift & ssShift) != 0, goOn);
  if (cancelled)
    return r;
  if (std::string why =
          PaintFilled(mouse.Pattern, mouse.Picture, mouse.View, pixels, Index, "Fill", goOn);
      !why.empty())
    r.Status = std::move(why);
  return r;
}

TViewReply OPickState::Begin(OViewMouse& mouse, TCell at, uint32_t) {
  TViewReply r;
  if (const std::optional<uint8_t> v = PickPixel(mouse.Pattern, mouse.Picture, mouse.View, at)) {
    (Held == TMouseButton::Left ? Colours.LeftIndex : Colours.RightIndex) = *v;
    Colours.Changes.Notify(TStripChange::Selection);
    r.Status = "Palette Color " + std::to_string(*v);
  }
  return r;
}

TViewReply OPanState::Move(OViewMouse& mouse, const TViewInput& in) {
  // Dragging right brings earlier controls into view, dragging down higher PLines.
  const OViewGeometry& g = mouse.Geometry;
  mouse.Geometry.SetScroll(Horz - static_cast<int>((in.X - X) / double{g.Zoom()}),
                           Vert - static_cast<int>((in.Y - Y) / g.RowHeight()));
  TViewReply r;
  r.Moved = true;
  return r;
}

TViewReply OPanState::Release(OViewMouse& mouse, const TViewInput& in) {
  if (in.Button == TMouseButton::Middle)
    mouse.Resume();
  return {};
}

OViewMouse::OViewMouse(OPattern& pattern, OPicture& picture, OViewGeometry& geometry)
    : Pattern(pattern), Picture(picture), Geometry(geometry), Selection(pattern, picture),
      Chosen(std::make_unique<OZoomState>()) {}

void OViewMouse::Choose(std::unique_ptr<OViewState> state) {
  Chosen->Leave(*this);
  Chosen = std::move(state);
}

TViewReply OViewMouse::Dispatch(TViewReply (OViewState::*event)(OViewMouse&, const TViewInput&),
                                const TViewInput& in) {
  TViewReply r = ((Interruption ? *Interruption : *Chosen).*event)(*this, in);
  Settle();
  return r;
}

void OViewMouse::Settle() {
  // A state is replaced only after its own event returned.
  if (Resuming) {
    Resuming = false;
    Interruption.reset();
  }
  if (Next)
    Interruption = std::move(Next);
}

TViewReply OViewMouse::Key(TViewKey key, uint32_t shift) {
  TViewReply r = (Interruption ? *Interruption : *Chosen).Key(*this, key, shift);
  Settle();
  return r;
}

bool OViewMouse::Zooming() const {
  return Chosen->Tool() == TDrawTool::Zoom;
}

void OViewMouse::StripPressed(OPalettePaintBox& colours) {
  if (Zooming())
    Choose(std::make_unique<OPaintState>(colours));
}

TView OViewMouse::ShowView(TView wanted, std::string* why) {
  const TView shown =
      wanted == TView::Design && OffersDesignView(Pattern) ? TView::Design : TView::Machine;
  // The block holds the colours of the view it was taken in, which the other view would
  // read as its own.
  if (shown != View) {
    std::string refused = PutDown();
    if (why)
      *why = std::move(refused);
  }
  View = shown;
  return View;
}

std::string OViewMouse::PutDown() {
  return Selection.Floating ? Selection.Place(View) : std::string();
}

TViewReply OViewMouse::Wheel(int across, int up, const TViewInput& at) {
  TViewReply r;
  if (at.Shift & ssCtrl) {
    if (const int steps = WheelZoom.Take(up ? up : across)) {
      Geometry.ZoomAround(at.X, at.Y, steps);
      r.Moved = true;
      r.Status = Geometry.ZoomText();
    }
    return r;
  }
  // Shift turns the wheel across; some systems already deliver it as a sideways turn.
  const bool sideways = (at.Shift & ssShift) != 0;
  const int columns = WheelAcross.Take(sideways ? up + across : across);
  const int rows = sideways ? 0 : WheelUp.Take(up);
  if (columns || rows) {
    // A turn away from the user (positive) goes left and towards higher PLines.
    Geometry.ScrollLines(-columns, rows);
    r.Moved = true;
  }
  return r;
}

} // namespace quillane

namespace quillane {

std::optional<TRect> SelectionBounds(const OSelection& selection) {
  std::optional<TRect> r = selection.Area;
  if (const auto& f = selection.Floating) {
    // Wherever it floats, also beside the picture.
    const TRect block{f->At.C, f->At.R, f->At.C + f->Block.Width - 1,
                      f->At.R + f->Block.Height - 1};
    r = r ? TRect{std::min(r->Left, block.Left), std::min(r->Top, block.Top),
                  std::max(r->Right, block.Right), std::max(r->Bottom, block.Bottom)}
          : block;
  }
  return r;
}

namespace {

// The reply draws again what the selection covered before and covers now.
void Redraw(TViewReply& reply, const std::optional<TRect>& before, const OSelection& selection) {
  const std::optional<TRect> now = SelectionBounds(selection);
  if (before && now)
    reply.Preview =
        TRect{std::min(before->Left, now->Left), std::min(before->Top, now->Top),
              std::max(before->Right, now->Right), std::max(before->Bottom, now->Bottom)};
  else
    reply.Preview = before ? before : now;
}

} // namespace

TViewReply OSelectState::Press(OViewMouse& mouse, const TViewInput& in) {
  if (in.Button == TMouseButton::Middle)
    return Held ? TViewReply{} : BeginPan(mouse, in);
  if (Held)
    return {};
  if (in.Shift & ssAlt) {
    const std::optional<TCell> cell = mouse.Geometry.CellAt(in.X, in.Y);
    return cell ? PickInto(mouse, Colours, *cell, in.Button == TMouseButton::Left) : TViewReply{};
  }
  OSelection& s = mouse.Selection;
  const std::optional<TRect> before = SelectionBounds(s);
  const TCell at = mouse.Geometry.CellNear(in.X, in.Y);
  TViewReply r;
  Held = true;
  Dragged = false;
  Anchor = Last = at;
  const auto& f = s.Floating;
  Moving = f && at.C >= f->At.C && at.C < f->At.C + f->Block.Width && at.R >= f->At.R &&
           at.R < f->At.R + f->Block.Height;
  if (f && !Moving)
    if (std::string why = s.Place(mouse.View); !why.empty())
      r.Status = std::move(why);
  Redraw(r, before, s);
  return r;
}

TViewReply OSelectState::Move(OViewMouse& mouse, const TViewInput& in) {
  if (!Held)
    return OViewState::Move(mouse, in);
  OSelection& s = mouse.Selection;
  const std::optional<TRect> before = SelectionBounds(s);
  const TCell at = mouse.Geometry.CellNear(in.X, in.Y);
  TViewReply r;
  if (Moving) {
    s.MoveBy(at.C - Last.C, at.R - Last.R);
  } else if (Dragged || at != Anchor) {
    Dragged = true;
    s.Select(Anchor, at, mouse.View);
  }
  Last = at;
  r.Status = CellText(mouse.Geometry.CellAt(in.X, in.Y));
  Redraw(r, before, s);
  return r;
}

TViewReply OSelectState::Release(OViewMouse& mouse, const TViewInput& in) {
  if (in.Button == TMouseButton::Middle || !Held)
    return {};
  const std::optional<TRect> before = SelectionBounds(mouse.Selection);
  TViewReply r = Move(mouse, in);
  if (!Moving && !Dragged)
    mouse.Selection.SelectNothing();
  Held = Moving = false;
  Redraw(r, before, mouse.Selection);
  return r;
}

TViewReply OSelectState::Key(OViewMouse& mouse, TViewKey key, uint32_t shift) {
  OSelection& s = mouse.Selection;
  const std::optional<TRect> before = SelectionBounds(s);
  TViewReply r;
  if (key == TViewKey::Enter && s.Floating) {
    if (std::string why = s.Place(mouse.View); !why.empty())
      r.Status = std::move(why);
  } else if ((shift & (ssShift | ssAlt | ssCtrl)) != 0 || key == TViewKey::Enter || !s.Key(key)) {
    return OViewState::Key(mouse, key, shift);
  }
  // A drag going on when its block went would select afresh on the next move.
  Held = Moving = false;
  Redraw(r, before, s);
  return r;
}

void OSelectState::Leave(OViewMouse& mouse) {
  Held = Moving = false;
  mouse.Selection.Place(mouse.View);
  mouse.Selection.SelectNothing();
}

std::string PasteInView(OViewMouse& mouse, TBlock block) {
  OSelection& s = mouse.Selection;
  TCell corner;
  if (s.Area) {
    corner = {s.Area->Left, s.Area->Bottom};
  } else {
    // The grid's top left point may lie above or beside a small picture.
    corner = mouse.Geometry.CellNear(0, 0);
    corner = {std::clamp(corner.C, 0, std::max(mouse.Picture.Width - 1, 0)),
              std::clamp(corner.R, 0, std::max(mouse.Picture.Height - 1, 0))};
  }
  const int height = block.Height;
  return s.Paste(std::move(block), {corner.C, corner.R - height + 1}, mouse.View);
}

const TDrawToolInfo DrawToolInfos[7] = {
    {TDrawTool::Zoom, 'Z', "Zoom", "Zoom (Z)", "Left click zooms in, right click zooms out"},
    {TDrawTool::Pencil, 'B', "Pencil", "Pencil (B)",
     "Drag to paint with the button's colour; Alt+click picks a colour"},
    {TDrawTool::Line, 'L', "Line", "Line (L)",
     "Drag to draw a line; Shift keeps it horizontal, vertical or diagonal"},
    {TDrawTool::Rectangle, 'U', "Rectangle", "Rectangle (U)",
     "Drag to draw a rectangle; Shift fills it"},
    {TDrawTool::Fill, 'G', "Fill", "Fill (G)",
     "Click to fill the area of one colour; Shift fills every pixel of that colour"},
    {TDrawTool::Picker, 'I', "Picker", "Picker (I)",
     "Click to take a colour into the button pressed"},
    {TDrawTool::Selection, 'M', "Select", "Select (M)",
     "Drag to select; a pasted block moves with the mouse or the arrows, Enter puts it down"},
};

std::unique_ptr<OViewState> MakeToolState(TDrawTool tool, OPalettePaintBox& colours) {
  switch (tool) {
  case TDrawTool::Pencil:
    return std::make_unique<OPaintState>(colours);
  case TDrawTool::Line:
    return std::make_unique<OLineState>(colours);
  case TDrawTool::Rectangle:
    return std::make_unique<ORectangleState>(colours, false);
  case TDrawTool::Fill:
    return std::make_unique<OFillState>(colours);
  case TDrawTool::Picker:
    return std::make_unique<OPickState>(colours);
  case TDrawTool::Selection:
    return std::make_unique<OSelectState>(colours);
  case TDrawTool::Zoom:
    break;
  }
  return std::make_unique<OZoomState>();
}

TDrawTool ChosenTool(const OViewMouse& mouse) {
  return mouse.ChosenState().Tool();
}

} // namespace quillane
