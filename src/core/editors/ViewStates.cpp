#include "editors/ViewStates.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "elements/Picture.h"
#include "elements/Section.h"
#include "model/BitmapStates.h"
#include "model/Pattern.h"
#include "platform/Platform.h"
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
  if (p.PatternMode == pmColours) {
    // The undefined colour is asked for, not missed.
    if (v == 0 || ColourTufts(p, v))
      return {};
    for (const auto& region : picture.Regions) {
      int32_t c = cell.C + 1, pl = cell.R + 1;
      if (!region->MapPixelToCell(c, pl))
        continue;
      for (const auto& section : *p.Sections)
        if (int32_t sc = c, sp = pl; section->MapToSource(sc, sp)) {
          if (p.States.Contains(sc, sp))
            return "Palette Color " + std::to_string(v) + " has no yarn type in the machine table";
          break;
        }
    }
    return {};
  }
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
  const int a = p.Creel->GetYarnType(odd), b = p.Creel->GetYarnType(even);
  if (a == b)
    return colour + " has no states for Yarn Type " + YarnTypeText(a) + " in the design table";
  return colour + " has no states for Yarn Types " + YarnTypeText(a) + " and " + YarnTypeText(b) +
         " in the design table";
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

namespace {

// A paint NothingTakes let through.
void PaintTaken(OPattern& pattern, OPicture& picture, TView view, TCell cell, uint8_t index) {
  // The stroke begins with its first paint, after the view's grid was brought up to date:
  // that is no change of the user's.
  pattern.History.BeginStroke();
  if (view == TView::Design)
    picture.PaintDesignPixel(cell.C, cell.R, index);
  else
    picture.PaintMachinePixel(cell.C, cell.R, index);
}

// Whether NothingTakes may refuse some pixel: a control (in the design view, a pair) whose
// yarn types have no state for the colour. Most colours have one everywhere, and then a large
// area need not ask for each pixel.
bool MayRefuse(const OPattern& p, TView view, uint8_t v) {
  if (p.PatternMode == pmColours)
    return v != 0 && !ColourTufts(p, v);
  if (p.PatternMode != pmStates)
    return false;
  for (int c = 1; c <= p.NoControls; c += view == TView::Design ? 2 : 1) {
    const int a = p.Creel->GetYarnType(c);
    if (view != TView::Design
            ? p.MachineTable->GetState(a, v) == 0
            : p.DesignTable->GetOddState(
                  a, p.Creel->GetYarnType(c + 1 <= p.NoControls ? c + 1 : c - 1), v) == 0)
      return true;
  }
  return false;
}

// Each pixel of the runs, a column at a time from the left, each column from the lowest row:
// the order a batch of paints finds its sections fastest in. Paints of one colour leave
// the same cells in any order.
template <class TPaint> void ColumnByColumn(const TPixelRuns& runs, TPaint paint) {
  // Each row's runs, and the first of them not yet passed.
  std::vector<size_t> first, end;
  for (size_t i = 0; i < runs.size(); ++i)
    if (i == 0 || runs[i].R != runs[i - 1].R) {
      first.push_back(i);
      end.push_back(i);
    }
  for (size_t g = 0; g + 1 < end.size(); ++g)
    end[g] = first[g + 1];
  if (!end.empty())
    end.back() = runs.size();
  const TRect bounds = PixelBounds(runs);
  for (int c = bounds.Left; c <= bounds.Right; ++c)
    for (size_t g = 0; g < first.size(); ++g) {
      while (first[g] < end[g] && runs[first[g]].C1 < c)
        ++first[g];
      if (first[g] < end[g] && runs[first[g]].C0 <= c)
        paint(TCell{c, runs[first[g]].R});
    }
}

// One colour for every cell of an area.
class TOneColour : public OAreaValues {
public:
  TOneColour(uint8_t v, size_t count) : V(v), N(count) {}
  size_t Count() const override { return N; }
  const uint8_t* Row(int64_t, int64_t, size_t n) override {
    if (Values.size() < n)
      Values.assign(n, V);
    return Values.data();
  }

private:
  uint8_t V;
  size_t N;
  std::vector<uint8_t> Values;
};

// The runs as rectangles of pixels (from 0): runs over the same columns in rows one above
// another make one, so that a fill of a plain area is a few.
std::vector<TRect> Rectangles(const TPixelRuns& runs) {
  std::vector<TRect> rects;
  std::map<std::pair<int, int>, size_t> open; // by columns, the one reaching highest
  for (const TPixelRun& run : runs) {
    const auto at = open.find({run.C0, run.C1});
    if (at != open.end() && rects[at->second].Bottom == run.R - 1) {
      rects[at->second].Bottom = run.R;
    } else {
      open[{run.C0, run.C1}] = rects.size();
      rects.push_back({run.C0, run.R, run.C1, run.R});
    }
  }
  return rects;
}

// Paints the machine view's pixels of `rect` (from 0) where `region` shows cells, as
// PaintMachinePixel paints them one by one: as one area of cells where the batch can take
// it, else cell by cell.
// Cells painted already (in `done`) are left: painting a cell again with the colour it was
// given changes nothing.
void PaintShown(OPattern& p, const ORegion& region, const TRect& rect, uint8_t v,
                std::vector<TRect>& done) {
  const TRect& shown = region.PictureArea;
  const int x0 = std::max(rect.Left + 1, shown.Left), x1 = std::min(rect.Right + 1, shown.Right);
  const int y0 = std::max(rect.Top + 1, shown.Top), y1 = std::min(rect.Bottom + 1, shown.Bottom);
  if (x0 > x1 || y0 > y1)
    return;
  // A region moves, flips and turns its pixels whole: the corners give the cells.
  int32_t ca = x0, pa = y0, cb = x1, pb = y1;
  region.MapPixelToCell(ca, pa);
  region.MapPixelToCell(cb, pb);
  const TRect cells{std::max(std::min(ca, cb), 1), std::max(std::min(pa, pb), 1),
                    std::min<int32_t>(std::max(ca, cb), p.NoControls),
                    std::min<int32_t>(std::max(pa, pb), p.NoPLines)};
  if (cells.Left > cells.Right || cells.Top > cells.Bottom)
    return;
  for (const TRect& d : done)
    if (d.Left <= cells.Left && d.Right >= cells.Right && d.Top <= cells.Top &&
        d.Bottom >= cells.Bottom)
      return;
  done.push_back(cells);
  TOneColour values(v, static_cast<size_t>(cells.Right - cells.Left + 1) *
                           static_cast<size_t>(cells.Bottom - cells.Top + 1));
  // Cells that share a source all give it the one colour: any order of them does.
  if (p.BatchPaintArea(cells, values, {1, int64_t{p.NoControls} + 1}))
    return;
  for (int x = x0; x <= x1; ++x)
    for (int y = y0; y <= y1; ++y) {
      int32_t c = x, pl = y;
      if (region.MapPixelToCell(c, pl))
        p.PaintMachineColour(c, pl, v);
    }
}

} // namespace

std::string PaintPixel(OPattern& pattern, OPicture& picture, TView view, TCell cell,
                       uint8_t index) {
  picture.BringUpToDate(view);
  // Such a paint would store the colour beside a state that does not show it, unseen until
  // an undo or a second view drew the stored colour.
  if (std::string why = NothingTakes(picture, pattern, cell, index, view); !why.empty())
    return why;
  PaintTaken(pattern, picture, view, cell, index);
  return {};
}

void UndefinePixel(OPattern& pattern, const OPicture& picture, TView view, TCell cell) {
  for (const auto& region : picture.Regions) {
    int32_t c = cell.C + 1, p = cell.R + 1;
    if (!region->MapPixelToCell(c, p))
      continue;
    if (view == TView::Design)
      pattern.UndefineDesignCell(c, p);
    else
      pattern.UndefineMachineCell(c, p);
  }
}

std::string PaintPixels(OPattern& pattern, OPicture& picture, TView view, const TPixelRuns& pixels,
                        uint8_t index, const std::string& label, TCell* refused) {
  picture.BringUpToDate(view);
  // A stroke notes every cell it writes; past a share of the grids, comparing them before
  // and after takes less memory than the notes would.
  const bool large = PixelCount(pixels) > static_cast<int64_t>(pattern.States.Data().size() / 16);
  std::optional<OUndoHistory::TChange> change;
  if (large)
    change.emplace(pattern.History, label);
  else
    pattern.History.BeginStroke(label);
  // Machine-view paints in a batch give the same cells, their pixels drawn once at the end.
  struct TBatch {
    OPattern& Pattern;
    bool Open;
    TBatch(OPattern& p, bool open) : Pattern(p), Open(open) {
      if (Open)
        Pattern.BeginPaintBatch();
    }
    ~TBatch() {
      if (Open)
        Pattern.EndPaintBatch();
    }
  } batch(pattern, large && view == TView::Machine);
  const bool ask = MayRefuse(pattern, view, index);
  std::string first;
  auto paint = [&](TCell cell) {
    if (ask)
      if (std::string why = NothingTakes(picture, pattern, cell, index, view); !why.empty()) {
        if (first.empty()) {
          first = std::move(why);
          if (refused)
            *refused = cell;
        }
        return;
      }
    PaintTaken(pattern, picture, view, cell, index);
  };
  {
    OPatternEvents::TGroup oneReport(pattern.Events);
    if (large && view == TView::Machine && !ask) {
      // No pixel is refused: each rectangle of them is painted region by region.
      std::vector<TRect> done;
      for (const TRect& rect : Rectangles(pixels))
        for (const auto& region : picture.Regions)
          PaintShown(pattern, *region, rect, index, done);
    } else if (large) {
      ColumnByColumn(pixels, paint);
    } else {
      for (const TPixelRun& run : pixels)
        for (int c = run.C0; c <= run.C1; ++c)
          paint({c, run.R});
    }
  }
  if (!large)
    pattern.History.EndStroke();
  return first;
}

std::optional<uint8_t> PickPixel(OPattern& pattern, OPicture& picture, TView view, TCell cell) {
  picture.BringUpToDate(view);
  const TGrid& colours = view == TView::Design ? pattern.DesignColours : pattern.MachineColours;
  for (const auto& region : picture.Regions) {
    int32_t c = cell.C + 1, p = cell.R + 1;
    if (region->MapPixelToCell(c, p) && colours.Contains(c, p))
      return colours.Get(c, p);
  }
  return std::nullopt;
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

namespace {

// The picture pixel under a point of the grid, also beyond the picture's edges.
TCell PixelUnder(const OViewGeometry& g, int x, int y) {
  return {g.HorzPos() + static_cast<int>(std::floor(x / double{g.Zoom()})),
          -g.VertPos() + static_cast<int>(std::floor((g.BoxHeight() - 1 - y) / g.RowHeight()))};
}

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
  TViewReply r = DragTo(mouse, PixelUnder(mouse.Geometry, in.X, in.Y), in.Shift);
  if (!r.Status)
    r.Status = CellText(mouse.Geometry.CellAt(in.X, in.Y));
  return r;
}

TViewReply ODrawState::Release(OViewMouse& mouse, const TViewInput& in) {
  if (in.Button == TMouseButton::Middle || !Held)
    return {};
  TViewReply r = Finish(mouse, PixelUnder(mouse.Geometry, in.X, in.Y), in.Shift);
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
  OPattern& p = mouse.Pattern;
  if (mouse.View == TView::Machine &&
      PixelCount(pixels) > static_cast<int64_t>(p.States.Data().size() / 16) &&
      !MayRefuse(p, mouse.View, Index)) {
    const TZeroedBytes cells = ShownCells(p, mouse.Picture, pixels);
    const TCellPaint done = p.PaintMachineCells({cells.data(), cells.size()}, Index, "Fill", goOn);
    if (done != TCellPaint::Cannot)
      return r;
  }
  if (std::string why = PaintPixels(p, mouse.Picture, mouse.View, pixels, Index, "Fill");
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
  return dynamic_cast<const OZoomState*>(Chosen.get()) != nullptr;
}

void OViewMouse::StripPressed(OPalettePaintBox& colours) {
  if (dynamic_cast<const OZoomState*>(Chosen.get()))
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
  const TCell at = PixelUnder(mouse.Geometry, in.X, in.Y);
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
  const TCell at = PixelUnder(mouse.Geometry, in.X, in.Y);
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
    corner = PixelUnder(mouse.Geometry, 0, 0);
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
  const OViewState& s = mouse.ChosenState();
  if (dynamic_cast<const OPaintState*>(&s))
    return TDrawTool::Pencil;
  if (dynamic_cast<const OLineState*>(&s))
    return TDrawTool::Line;
  if (dynamic_cast<const ORectangleState*>(&s))
    return TDrawTool::Rectangle;
  if (dynamic_cast<const OFillState*>(&s))
    return TDrawTool::Fill;
  if (dynamic_cast<const OPickState*>(&s))
    return TDrawTool::Picker;
  if (dynamic_cast<const OSelectState*>(&s))
    return TDrawTool::Selection;
  return TDrawTool::Zoom;
}

} // namespace quillane
