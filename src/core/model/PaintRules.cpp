// What a press on a picture pixel does to the pattern: which cells it reaches, whether any
// of them can take the colour, and how a tool's many pixels are painted as one step.
#include "model/PaintRules.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "elements/Picture.h"
#include "elements/Section.h"
#include "model/BitmapStates.h"
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

// A stroke notes every cell it writes; past a share of the grids, comparing them before and
// after takes less memory than the notes would.
bool Large(const OPattern& pattern, const TPixelRuns& pixels) {
  return PixelCount(pixels) > static_cast<int64_t>(pattern.States.Data().size() / 16);
}

} // namespace

TCellBits ShownCells(const OPattern& pattern, const OPicture& picture, const TPixelRuns& pixels) {
  const TGrid& grid = pattern.States;
  TCellBits cells(grid.Data().size());
  for (const auto& region : picture.Regions) {
    const TRect& shown = region->PictureArea;
    for (const TPixelRun& run : pixels) {
      // A region moves, flips and turns its pixels whole: a piece of a pixel row shows a
      // piece of a PLine or of a control, and its ends say which.
      const int64_t y = int64_t{run.R} + 1;
      const int64_t x0 = std::max<int64_t>(int64_t{run.C0} + 1, shown.Left);
      const int64_t x1 = std::min<int64_t>(int64_t{run.C1} + 1, shown.Right);
      if (y < shown.Top || y > shown.Bottom || x0 > x1)
        continue;
      int32_t ca = static_cast<int32_t>(x0), pa = static_cast<int32_t>(y);
      int32_t cb = static_cast<int32_t>(x1), pb = static_cast<int32_t>(y);
      if (!region->MapPixelToCell(ca, pa) || !region->MapPixelToCell(cb, pb))
        continue;
      if (pa == pb) {
        if (pa < 1 || pa > grid.PLines())
          continue;
        const int64_t c0 = std::max<int64_t>(std::min(ca, cb), 1);
        const int64_t c1 = std::min<int64_t>(std::max(ca, cb), grid.Controls());
        if (c0 <= c1)
          cells.Set(grid.Index(static_cast<int>(c0), pa), static_cast<size_t>(c1 - c0 + 1));
      } else {
        if (ca != cb || ca < 1 || ca > grid.Controls())
          continue;
        const int64_t p0 = std::max<int64_t>(std::min(pa, pb), 1);
        const int64_t p1 = std::min<int64_t>(std::max(pa, pb), grid.PLines());
        for (int64_t p = p0; p <= p1; ++p)
          cells.Set(grid.Index(ca, static_cast<int>(p)));
      }
    }
  }
  return cells;
}

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

TPaintBatchScope::TPaintBatchScope(OPattern& pattern, bool open)
    : Pattern(open ? &pattern : nullptr) {
  if (Pattern)
    Pattern->BeginPaintBatch();
}

TPaintBatchScope::~TPaintBatchScope() {
  if (Pattern)
    Pattern->EndPaintBatch();
}

std::string PaintPixels(OPattern& pattern, OPicture& picture, TView view, const TPixelRuns& pixels,
                        uint8_t index, const std::string& label, TCell* refused) {
  picture.BringUpToDate(view);
  const bool large = Large(pattern, pixels);
  std::optional<OUndoHistory::TChange> change;
  if (large)
    change.emplace(pattern.History, label);
  else
    pattern.History.BeginStroke(label);
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
    TPaintBatchScope batch(pattern, large && view == TView::Machine);
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
  // The batch's pixels are drawn before the step is taken.
  if (change)
    change->Commit();
  else
    pattern.History.EndStroke();
  return first;
}

std::string PaintFilled(OPattern& pattern, OPicture& picture, TView view, const TPixelRuns& pixels,
                        uint8_t index, const std::string& label,
                        const std::function<bool()>& goOn) {
  // A large area of the machine view that no pixel refuses is painted as one mask of cells.
  if (view == TView::Machine && Large(pattern, pixels) && !MayRefuse(pattern, view, index)) {
    if (pattern.PaintMachineCells(ShownCells(pattern, picture, pixels), index, label, goOn) !=
        TCellPaint::Cannot)
      return {};
  }
  return PaintPixels(pattern, picture, view, pixels, index, label);
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
} // namespace quillane
