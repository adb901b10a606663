// Painting many cells with one colour at once: a fill of a large area.
#include "model/PaintBatch.h"
#include "model/Pattern.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "app/ByteRows.h"
#include "app/CellBits.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane {

namespace {

// Columns [First, Last] of a PLine.
struct TRun {
  int64_t First, Last;
};

// The runs of marked cells among controls first..last of the PLine at `row`.
void RunsOf(const TCellBits& bits, size_t row, int64_t first, int64_t last,
            std::vector<TRun>& runs) {
  runs.clear();
  const size_t end = row + static_cast<size_t>(last) + 1;
  for (size_t i = bits.Next(row + static_cast<size_t>(first), end, true); i < end;) {
    const size_t stop = bits.Next(i, end, false);
    runs.push_back({static_cast<int64_t>(i - row), static_cast<int64_t>(stop - 1 - row)});
    i = bits.Next(stop, end, true);
  }
}

} // namespace

TCellPaint OPattern::PaintMachineCells(const TCellBits& cells, uint8_t v, const std::string& label,
                                       const std::function<bool()>& goOn) {
  return WriteMachineCells(cells, v, &label, goOn);
}

bool OPattern::UndefineMachineCells(const TCellBits& cells) {
  return WriteMachineCells(cells, 0, nullptr, {}) != TCellPaint::Cannot;
}

TCellPaint OPattern::WriteMachineCells(const TCellBits& cells, uint8_t v, const std::string* label,
                                       const std::function<bool()>& goOn) {
  // Sections outside the pattern could take cells outside the grid to sources inside it;
  // a large list is sorted out cell by cell as before.
  if (History.Journaling || v > NoColours || cells.size() != States.Data().size() ||
      Sections->Count() > 256 || !SectionsProblem().empty())
    return TCellPaint::Cannot;
  const bool states = PatternMode == pmStates;
  const size_t stride = States.Stride();
  const int64_t controls = NoControls, pLines = NoPLines;

  // 1. Each painted cell's source: through the first section whose target holds it.
  TCellBits source(cells.size());
  int64_t lo = INT64_MAX, hi = INT64_MIN; // the PLines holding sources
  std::vector<TRun> runs, pieces, left;
  for (int64_t p = 1; p <= pLines; ++p) {
    RunsOf(cells, static_cast<size_t>(p) * stride, 1, controls, runs);
    if (runs.empty())
      continue;
    if (goOn && (p & 255) == 0 && !goOn())
      return TCellPaint::Cancelled;
    pieces = runs;
    for (const auto& sectionPtr : *Sections) {
      if (pieces.empty())
        break;
      const OSection& s = *sectionPtr;
      const TRect& t = s.TargetArea;
      if (p < t.Top || p > t.Bottom || t.Left > t.Right)
        continue;
      const bool straight = s.Shifts();
      left.clear();
      for (const TRun& piece : pieces) {
        const int64_t a = std::max<int64_t>(piece.First, t.Left);
        const int64_t b = std::min<int64_t>(piece.Last, t.Right);
        if (a > b) {
          left.push_back(piece);
          continue;
        }
        if (piece.First < a)
          left.push_back({piece.First, a - 1});
        if (b < piece.Last)
          left.push_back({b + 1, piece.Last});
        if (straight) {
          // A source outside the grid (a target larger than its source) paints nothing.
          const int64_t sp = p - (int64_t{t.Top} - s.SourceArea.Top);
          const int64_t dc = int64_t{t.Left} - s.SourceArea.Left;
          const int64_t sa = std::max<int64_t>(a - dc, 1), sb = std::min(b - dc, controls);
          if (sp < 1 || sp > pLines || sa > sb)
            continue;
          source.Set(static_cast<size_t>(sp) * stride + static_cast<size_t>(sa),
                     static_cast<size_t>(sb - sa + 1));
          lo = std::min(lo, sp), hi = std::max(hi, sp);
          continue;
        }
        for (int64_t c = a; c <= b; ++c) {
          int32_t sc = static_cast<int32_t>(c), sp = static_cast<int32_t>(p);
          if (s.MapToSource(sc, sp) && States.Contains(sc, sp)) {
            source.Set(static_cast<size_t>(sp) * stride + static_cast<size_t>(sc));
            lo = std::min<int64_t>(lo, sp), hi = std::max<int64_t>(hi, sp);
          }
        }
      }
      pieces.swap(left);
    }
  }
  if (lo > hi)
    return TCellPaint::Done; // no painted cell has a source: as one by one, nothing happens

  // 2. What each write does to a cell of each control: bit 1, it takes the colour; bit 2, it
  // takes `want`, the state. A paint's source takes the colour, and the state that shows it
  // on its yarn type where there is one; a copy takes both only where there is one. Making
  // cells undefined gives source and copy alike colour 0 and the state for it. Every write
  // gives one colour, so the writes give the same cells in any order.
  const bool undefine = label == nullptr;
  std::vector<uint8_t> want(static_cast<size_t>(controls) + 1);
  std::vector<uint8_t> sourceTakes(want.size(), 1), copyTakes(want.size(), 1);
  for (int64_t c = 1; c <= controls && states; ++c) {
    const size_t i = static_cast<size_t>(c);
    const uint8_t st = MachineTable->GetState(Creel->GetYarnType(static_cast<int>(c)), v);
    want[i] = st <= NoStates ? st : 0;
    sourceTakes[i] = static_cast<uint8_t>(1 | (st <= NoStates && (undefine || st != 0) ? 2 : 0));
    copyTakes[i] = undefine || st != 0 ? sourceTakes[i] : 0;
  }
  uint8_t* stateCells = States.Data().data();
  uint8_t* colourCells = MachineColours.Data().data();
  // Calls write(index, control, n, copy, PLine) for every piece of a PLine written: a PLine's
  // sources, then each section's copies of them that lie in the grid. A PLine at a time, so
  // that the copies of a carpet's sections, which lie beside their source, are written while
  // its PLine is in the cache.
  auto eachWrite = [&](auto write) {
    for (int64_t p = lo; p <= hi; ++p) {
      const size_t row = static_cast<size_t>(p) * stride;
      RunsOf(source, row, 1, controls, runs);
      for (const TRun& r : runs)
        if (!write(row + static_cast<size_t>(r.First), r.First,
                   static_cast<size_t>(r.Last - r.First + 1), false, p))
          return false;
      for (const auto& sectionPtr : *Sections) {
        const OSection& s = *sectionPtr;
        const TRect& area = s.SourceArea;
        if (p < area.Top || p > area.Bottom)
          continue;
        const int64_t dc = int64_t{s.TargetArea.Left} - area.Left;
        const int64_t shiftedP = p + s.TargetArea.Top - area.Top; // a shifted copy's PLine
        for (const TRun& run : runs) {
          const int64_t a = std::max<int64_t>(run.First, area.Left);
          const int64_t b = std::min<int64_t>(run.Last, area.Right);
          if (a > b)
            continue;
          if (s.Shifts()) {
            const int64_t c0 = std::max<int64_t>(a + dc, 1),
                          c1 = std::min<int64_t>(b + dc, controls);
            if (c0 > c1 || shiftedP < 1 || shiftedP > pLines)
              continue;
            if (!write(static_cast<size_t>(shiftedP) * stride + static_cast<size_t>(c0), c0,
                       static_cast<size_t>(c1 - c0 + 1), true, shiftedP))
              return false;
            continue;
          }
          for (int64_t c = a; c <= b; ++c) {
            int32_t c2 = static_cast<int32_t>(c), p2 = static_cast<int32_t>(p);
            s.MapToTarget(c2, p2);
            if (c2 >= 1 && c2 <= controls && p2 >= 1 && p2 <= pLines &&
                !write(static_cast<size_t>(p2) * stride + static_cast<size_t>(c2), c2, 1, true, p2))
              return false;
          }
        }
      }
    }
    return true;
  };
  auto taking = [&](bool copy, int64_t c0) { return (copy ? copyTakes : sourceTakes).data() + c0; };
  // A fill that changes no cell leaves the pattern, its history and its pictures as they are.
  if (eachWrite([&](size_t i0, int64_t c0, size_t n, bool copy, int64_t) {
        return !TakenDiffers(taking(copy, c0), want.data() + c0, stateCells + i0, colourCells + i0,
                             n, v);
      }))
    return TCellPaint::Done;
  if (goOn && !goOn())
    return TCellPaint::Cancelled;

  // 3. The writes, as one step of their own unless the caller's; each copy's pixels (and
  // an undefined source's) as it is written.
  std::optional<OUndoHistory::TChange> step;
  if (label)
    step.emplace(History, *label, RowsWritten(lo, hi));
  SetModified(1);
  OPatternEvents::TGroup oneReport(Events);
  const uint32_t colour =
      (undefine ? Palette->GetUndefinedColour() : Palette->GetColour(v)) & 0x00FFFFFFu;
  const std::vector<uint32_t> drawn(static_cast<size_t>(controls) + 1, colour);
  std::vector<uint32_t> mask(static_cast<size_t>(controls) + 1);
  const std::vector<TShownImage> shown = ShownMachineImages(*Pictures, NoControls, NoPLines);
  int64_t top = INT64_MAX, bottom = INT64_MIN, first = INT64_MAX, last = INT64_MIN;
  eachWrite([&](size_t i0, int64_t c0, size_t n, bool copy, int64_t p) {
    const uint8_t* t = taking(copy, c0);
    WriteTaken(t, want.data() + c0, stateCells + i0, colourCells + i0, n, v);
    top = std::min(top, p), bottom = std::max(bottom, p);
    first = std::min(first, c0), last = std::max(last, c0 + static_cast<int64_t>(n) - 1);
    if (!copy && !undefine)
      return true;
    // A copy is redrawn where it was written.
    const bool all = std::memchr(t, 0, n) == nullptr;
    if (!all)
      for (size_t k = 0; k < n; ++k)
        mask[static_cast<size_t>(c0) + k] = t[k] ? ~0u : 0u;
    for (const TShownImage& image : shown)
      for (const TShownArea& area : image.Areas)
        DrawShown(area, p, c0, c0 + static_cast<int64_t>(n) - 1, drawn.data() + c0,
                  all ? nullptr : mask.data() + c0, image.Picture->MachineImage);
    return true;
  });
  if (step)
    step->Commit();
  if (top > bottom)
    return TCellPaint::Done;
  const TRect changed{static_cast<int32_t>(first), static_cast<int32_t>(top),
                      static_cast<int32_t>(last), static_cast<int32_t>(bottom)};
  Events.CellsChanged(changed);
  for (const TShownImage& image : shown)
    for (const TShownArea& area : image.Areas)
      if (const TRect px = ShownPixels(area, changed, image.Picture->MachineImage);
          px.Left <= px.Right && px.Top <= px.Bottom)
        Events.PixelsChanged(image.Picture, false, px);
  return TCellPaint::Done;
}

} // namespace quillane
