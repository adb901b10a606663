#include "editors/ViewStates.h"

#include <cmath>

#include "elements/Picture.h"
#include "elements/Section.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"

namespace quillane {

namespace {

std::string YarnTypeText(int yarnType) {
  return yarnType > 0 ? YarnTypeLetter(static_cast<OYarnType>(yarnType)) : "0";
}

// Why a paint of the pixel would change no state, or nothing when some cell it reaches takes
// it (or it reaches none: outside every region and section there is nothing to explain).
// The cells and copies are those the pattern's paint operations visit.
std::string NothingTakes(const OPicture& picture, const OPattern& p, TCell cell, uint8_t v,
                         TView view) {
  if (p.PatternMode != pmStates)
    return {};
  const bool design = view == TView::Design;
  // Whether a paint of the cell takes; `copy`: as a section's copy does.
  auto takes = [&](int c, bool copy) {
    if (!design)
      return p.MachineTable->GetState(p.Creel->GetYarnType(c), v) != 0;
    const int odd = (c - 1) | 1, even = odd + 1 <= p.NoControls ? odd + 1 : odd - 1;
    const int a = p.Creel->GetYarnType(odd), b = p.Creel->GetYarnType(even);
    return p.DesignTable->GetOddState(a, b, v) != 0 ||
           (!copy && odd + 1 <= p.NoControls && p.DesignTable->GetEvenState(a, b, v) != 0);
  };
  int refused = 0; // the first control reached
  for (const auto& region : picture.Regions) {
    int32_t c = cell.C + 1, pl = cell.R + 1;
    if (!region->MapPixelToCell(c, pl))
      continue;
    const OSection* found = nullptr;
    for (const auto& section : *p.Sections)
      if (section->MapToSource(c, pl)) {
        found = section.get();
        break;
      }
    if (!found || !p.States.Contains(c, pl))
      continue;
    if (takes(c, false))
      return {};
    for (const auto& section : *p.Sections) {
      int32_t c2 = c, p2 = pl;
      if (section->MapToTarget(c2, p2) && p.States.Contains(c2, p2) && takes(c2, true))
        return {};
    }
    if (refused == 0)
      refused = c;
  }
  if (refused == 0)
    return {};
  const std::string colour = "Palette Color " + std::to_string(v);
  if (!design)
    return colour + " has no state for Yarn Type " + YarnTypeText(p.Creel->GetYarnType(refused)) +
           " in the machine table";
  const int odd = (refused - 1) | 1, even = odd + 1 <= p.NoControls ? odd + 1 : odd - 1;
  return colour + " has no states for Yarn Types " + YarnTypeText(p.Creel->GetYarnType(odd)) +
         " and " + YarnTypeText(p.Creel->GetYarnType(even)) + " in the design table";
}

} // namespace

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

std::string PaintPixel(OPattern& pattern, OPicture& picture, TView view, TCell cell,
                       uint8_t index) {
  picture.BringUpToDate(view);
  // Such a paint would store the colour beside a state that does not show it, unseen until
  // an undo or a second view drew the stored colour.
  if (std::string why = NothingTakes(picture, pattern, cell, index, view); !why.empty())
    return why;
  // The stroke begins with its first paint, after the view's grid was brought up to date:
  // that is no change of the user's.
  pattern.History.BeginStroke();
  if (view == TView::Design)
    picture.PaintDesignPixel(cell.C, cell.R, index);
  else
    picture.PaintMachinePixel(cell.C, cell.R, index);
  return {};
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

TViewReply OPaintState::PaintAt(OViewMouse& mouse, const TViewInput& in) {
  TViewReply r;
  const std::optional<TCell> cell = mouse.Geometry.CellAt(in.X, in.Y);
  if (!cell) {
    r.Status = std::string();
    return r;
  }
  if (std::string why = PaintPixel(mouse.Pattern, mouse.Picture, mouse.View, *cell, Index);
      !why.empty())
    r.Status = std::move(why);
  return r;
}

TViewReply OPaintState::Press(OViewMouse& mouse, const TViewInput& in) {
  if (in.Button == TMouseButton::Middle)
    return Held ? TViewReply{} : BeginPan(mouse, in);
  // A stroke begins on the picture only; a second button pressed during one takes it on.
  if (!mouse.Geometry.CellAt(in.X, in.Y))
    return PaintAt(mouse, in);
  Held = in.Button;
  Index = in.Button == TMouseButton::Left ? Colours.LeftIndex : Colours.RightIndex;
  return PaintAt(mouse, in);
}

TViewReply OPaintState::Move(OViewMouse& mouse, const TViewInput& in) {
  if (!Held)
    return OViewState::Move(mouse, in);
  TViewReply r = PaintAt(mouse, in);
  if (!r.Status)
    r.Status = CellText(mouse.Geometry.CellAt(in.X, in.Y));
  return r;
}

TViewReply OPaintState::Release(OViewMouse& mouse, const TViewInput& in) {
  if (in.Button != TMouseButton::Middle)
    Leave(mouse);
  return {};
}

void OPaintState::Leave(OViewMouse& mouse) {
  // The stroke becomes one step of the pattern's history.
  Held.reset();
  mouse.Pattern.History.EndStroke();
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
    : Pattern(pattern), Picture(picture), Geometry(geometry),
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
  return dynamic_cast<const OZoomState*>(Chosen.get()) != nullptr;
}

void OViewMouse::StripPressed(const OPalettePaintBox& colours) {
  if (dynamic_cast<const OZoomState*>(Chosen.get()))
    Choose(std::make_unique<OPaintState>(colours));
}

TView OViewMouse::ShowView(TView wanted) {
  View = wanted == TView::Design && OffersDesignView(Pattern) ? TView::Design : TView::Machine;
  return View;
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
