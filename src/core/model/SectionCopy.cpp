// Section copies: checking the sections and copying their sources onto their targets.
#include "data/Mapping.h"
#include "model/PaintBatch.h"
#include "model/Pattern.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/App.h"
#include "app/ByteRows.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "platform/Platform.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"

namespace quillane {

namespace {

// The largest value up to which a map leaves every value as it is; -1 when it changes 0.
int UnchangedUpTo(const uint8_t* map) {
  int v = 0;
  while (v < 256 && map[v] == v)
    ++v;
  return v - 1;
}

// The cells a section copies; a copy onto its own area copies none.
int64_t CopiedCells(const OSection& section) {
  const TRect& r = section.SourceArea;
  if (r == section.TargetArea)
    return 0;
  return std::max<int64_t>(0, AreaWidth(r)) * std::max<int64_t>(0, AreaHeight(r));
}

// Copies up to about this many cells take a moment; more are worth a progress report.
constexpr int64_t LargeSectionCopy = 4'000'000;

// What a copy does to a value on each source control: in a state pattern, the state that
// shows the source's colour on the control's yarn type; in a colour pattern, nothing.
struct TCopyMaps {
  std::vector<const uint8_t*> Of;   // per control, or empty: values copy as they are
  std::vector<int16_t> UnchangedTo; // per control: values up to this one copy as they are
};

// Cells `from` to `from + n` copied onto `to` as cell after cell would, left to right: on
// one PLine a copy may overlap its source, and a copy to the right then reads cells it
// wrote (the cell-by-cell order repeats the cells it reached first).
void CopyRow(const uint8_t* from, uint8_t* to, size_t n, const uint8_t* const* maps,
             int unchangedUpTo) {
  const bool plain = !maps || (unchangedUpTo >= 0 && RangeOf(from, n).Hi <= unchangedUpTo);
  if (plain && (to <= from || to >= from + n)) {
    std::memmove(to, from, n);
    return;
  }
  for (size_t i = 0; i < n; ++i)
    to[i] = plain ? from[i] : maps[i][from[i]];
}

// A section that neither flips nor turns, moving its source `src` by (dc, dp), copied as
// whole pieces of PLines in an order that reads every cell as the cell-by-cell order does
// (controls from the left, each from the top): where copy and source overlap, that order
// reads some cells before and some after they were written.
void CopyShifted(const TRect& src, int64_t dc, int64_t dp, TGrid& grid, const TCopyMaps& maps) {
  // The cells both inside the grid where they are read and where they are written.
  const int64_t c0 = std::max<int64_t>({src.Left, 1, 1 - dc});
  const int64_t c1 = std::min<int64_t>({src.Right, grid.Controls(), grid.Controls() - dc});
  const int64_t p0 = std::max<int64_t>({src.Top, 1, 1 - dp});
  const int64_t p1 = std::min<int64_t>({src.Bottom, grid.PLines(), grid.PLines() - dp});
  if (c0 > c1 || p0 > p1)
    return;
  const bool apart = c1 + dc < c0 || c0 + dc > c1 || p1 + dp < p0 || p0 + dp > p1;
  // Columns c to c + n - 1 of PLines from `first` to `last` by `step`.
  auto copy = [&](int64_t c, int64_t n, int64_t first, int64_t last, int64_t step) {
    int unchangedUpTo = 255;
    if (!maps.Of.empty())
      for (int64_t i = c; i < c + n; ++i)
        unchangedUpTo = std::min<int>(unchangedUpTo, maps.UnchangedTo[static_cast<size_t>(i)]);
    const uint8_t* const* of = maps.Of.empty() ? nullptr : maps.Of.data() + c;
    for (int64_t p = first; step > 0 ? p <= last : p >= last; p += step)
      CopyRow(grid.Row(static_cast<int>(p)) + c, grid.Row(static_cast<int>(p + dp)) + c + dc,
              static_cast<size_t>(n), of, unchangedUpTo);
  };
  const int64_t width = c1 - c0 + 1;
  if (apart || dp == 0) {
    copy(c0, width, p0, p1, 1); // nothing read was written, or each PLine on its own
  } else if (dc == 0) {
    copy(c0, width, p0, p1, 1); // a cell reads what the one dp above it wrote
  } else if (dc < 0) {
    // Nothing is read after it was written: take each PLine before its copy lands on it.
    if (dp > 0)
      copy(c0, width, p1, p0, -1);
    else
      copy(c0, width, p0, p1, 1);
  } else {
    // A column reads what the column dc to its left wrote: dc columns at a time, each
    // strip written before the next reads it.
    for (int64_t c = c0; c <= c1; c += dc)
      copy(c, std::min(dc, c1 - c + 1), p0, p1, 1);
  }
}

} // namespace

bool OPattern::ValidateSections() {
  const std::string problem = SectionsProblem();
  if (!problem.empty() && !Quiet)
    g.UI().ShowError(problem);
  return problem.empty();
}

std::string OPattern::SectionsProblem() const {
  auto inside = [this](const TRect& r) {
    return r.Left >= 1 && r.Left <= NoControls && r.Right >= 1 && r.Right <= NoControls &&
           r.Top >= 1 && r.Top <= NoPLines && r.Bottom >= 1 && r.Bottom <= NoPLines;
  };
  int number = 0;
  for (const auto& section : *Sections) {
    ++number;
    if (!inside(section->SourceArea) || !inside(section->TargetArea))
      return "Section #" + std::to_string(number) + " invalid (outside boundary of pattern)";
  }
  return "";
}

int64_t OPattern::SectionWork(const OSection& section) const {
  const TRect& r = section.SourceArea;
  if (r == section.TargetArea)
    return 0;
  const int64_t w = std::min<int64_t>(r.Right, NoControls) - std::max<int64_t>(r.Left, 1) + 1;
  const int64_t h = std::min<int64_t>(r.Bottom, NoPLines) - std::max<int64_t>(r.Top, 1) + 1;
  return std::max<int64_t>(w, 0) * std::max<int64_t>(h, 0);
}

int64_t OPattern::SectionWork() const {
  int64_t cells = 0;
  for (const auto& section : *Sections)
    cells += SectionWork(*section);
  return cells;
}

std::string OPattern::SectionWorkProblem(int64_t work) const {
  const int64_t cells = int64_t{NoControls} * NoPLines;
  if (work <= MaxSectionWork * cells)
    return "";
  return "its sections copy " + std::to_string(work) + " cells, more than " +
         std::to_string(MaxSectionWork) + " times its " + std::to_string(cells) + " cells";
}

std::string OPattern::SectionWorkRefusal(int64_t work) const {
  const std::string problem = SectionWorkProblem(work);
  return problem.empty()
             ? problem
             : "The sections of a pattern may copy at most " + std::to_string(MaxSectionWork) +
                   " times its cells; " + problem + ".";
}

void OPattern::ApplySections() {
  if (!ValidateSections())
    return;
  const bool states = PatternMode == pmStates;
  // In a state pattern a copied cell takes the state that shows the source's colour on
  // the source control's yarn type. The colour comes from the source's state rather than
  // the machine-view grid, which is stale after painting in the design view.
  std::vector<TByteMap> copyOf;
  TCopyMaps maps;
  if (states) {
    const OMachineTable& table = *MachineTable;
    copyOf = PerYarnType(HighestYarnTypeInUse(),
                         [&](int y, int s) { return table.GetState(y, table.GetColour(y, s)); });
    std::vector<int16_t> unchanged(copyOf.size());
    for (size_t y = 0; y < copyOf.size(); ++y)
      unchanged[y] = static_cast<int16_t>(UnchangedUpTo(copyOf[y].data()));
    maps.Of.resize(size_t{NoControls} + 1);
    maps.UnchangedTo.resize(size_t{NoControls} + 1);
    for (int c = 1; c <= NoControls; ++c) {
      maps.Of[static_cast<size_t>(c)] = copyOf[Creel->GetYarnType(c)].data();
      maps.UnchangedTo[static_cast<size_t>(c)] = unchanged[Creel->GetYarnType(c)];
    }
  }
  TGrid& grid = states ? States : MachineColours;
  auto copied = [&](int c, uint8_t v) { return states ? maps.Of[static_cast<size_t>(c)][v] : v; };

  // A few megabytes of sections can ask for minutes of copies while a file opens. The
  // cancel comes before a section, and the half-copied pattern goes with the read.
  std::optional<OProgress> progress;
  int64_t work = 0, done = 0, nextReport = 0;
  if (OfferCancel)
    for (const auto& section : *Sections)
      work += CopiedCells(*section);
  if (work > LargeSectionCopy)
    progress.emplace("Applying sections", work);

  for (const auto& sectionPtr : *Sections) {
    const OSection& section = *sectionPtr;
    if (progress && done >= nextReport) {
      if (!progress->Step(done))
        throw EOpenCancelled();
      nextReport = done + work / 200;
    }
    done += CopiedCells(section);
    const TRect& src = section.SourceArea;
    if (src == section.TargetArea)
      continue;
    if (section.Shifts()) {
      CopyShifted(src, int64_t{section.TargetArea.Left} - src.Left,
                  int64_t{section.TargetArea.Top} - src.Top, grid, maps);
      continue;
    }
    // Validated areas lie inside the grid, so these loops are bounded by its size.
    for (int32_t c = src.Left; c <= src.Right; ++c)
      for (int32_t p = src.Top; p <= src.Bottom; ++p) {
        int32_t c2 = c, p2 = p;
        if (section.MapToTarget(c2, p2) && grid.Contains(c2, p2))
          grid.Data()[grid.Index(c2, p2)] = copied(c, grid.Get(c, p));
      }
  }
}

namespace {

// Columns [First, Last] of a PLine.
struct TSpan {
  int64_t First, Last;
};

// The columns of PLine `p` that a section covers, as source or as target, inside the grid.
std::vector<TSpan> CoveredBy(const OSection& section, int64_t p, int64_t controls) {
  std::vector<TSpan> spans;
  for (const TRect* r : {&section.SourceArea, &section.TargetArea}) {
    const TSpan s{std::max<int64_t>(r->Left, 1), std::min<int64_t>(r->Right, controls)};
    if (p >= r->Top && p <= r->Bottom && s.First <= s.Last)
      spans.push_back(s);
  }
  if (spans.size() == 2 && spans[1].First <= spans[0].Last && spans[0].First <= spans[1].Last)
    spans = {{std::min(spans[0].First, spans[1].First), std::max(spans[0].Last, spans[1].Last)}};
  return spans;
}

// PLines Top..Bottom, on which the columns of Spans are covered by fewer sections than there
// are.
struct TUncovered {
  int64_t Top, Bottom;
  std::vector<TSpan> Spans;
};

// What a section covers changes only where one of its areas begins or ends: there its count
// is taken off the columns and put back, and the PLines up to the next such place are alike.
std::vector<TUncovered> UncoveredBands(const OSectionList& sections, int64_t controls,
                                       int64_t pLines) {
  std::vector<TUncovered> bands;
  if (sections.Count() == 0)
    return bands;
  std::vector<std::pair<int64_t, size_t>> edges; // PLine, section
  for (size_t i = 0; i < static_cast<size_t>(sections.Count()); ++i)
    for (const TRect* r : {&sections.Get(static_cast<int>(i))->SourceArea,
                           &sections.Get(static_cast<int>(i))->TargetArea})
      for (const int64_t e : {int64_t{1}, int64_t{r->Top}, int64_t{r->Bottom} + 1})
        edges.push_back({std::clamp<int64_t>(e, 1, pLines + 1), i});
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  std::vector<int64_t> count(size_t(controls) + 2); // sections covering each column
  std::vector<std::vector<TSpan>> covering(static_cast<size_t>(sections.Count()));
  auto add = [&](const std::vector<TSpan>& spans, int64_t by) {
    for (const TSpan& s : spans)
      for (int64_t c = s.First; c <= s.Last; ++c)
        count[static_cast<size_t>(c)] += by;
  };
  const int64_t all = sections.Count();
  for (size_t e = 0; e < edges.size();) {
    const int64_t top = edges[e].first;
    for (; e < edges.size() && edges[e].first == top; ++e) {
      const size_t i = edges[e].second;
      add(covering[i], -1);
      covering[i] = CoveredBy(*sections.Get(static_cast<int>(i)), top, controls);
      add(covering[i], 1);
    }
    const int64_t bottom = e < edges.size() ? edges[e].first - 1 : pLines;
    if (top > bottom)
      continue;
    std::vector<TSpan> uncovered;
    for (int64_t c = 1; c <= controls; ++c)
      if (count[static_cast<size_t>(c)] < all) {
        if (!uncovered.empty() && uncovered.back().Last == c - 1)
          uncovered.back().Last = c;
        else
          uncovered.push_back({c, c});
      }
    if (!uncovered.empty())
      bands.push_back({top, bottom, std::move(uncovered)});
  }
  return bands;
}

} // namespace

void OPattern::SetUndefined() {
  const std::vector<TUncovered> bands = UncoveredBands(*Sections, NoControls, NoPLines);
  // What making a cell undefined writes on each control (as a fill's write): bit 1, colour 0;
  // bit 2, `want`, the state for it, where the machine table gives one.
  const bool states = PatternMode == pmStates;
  std::vector<uint8_t> want(size_t{NoControls} + 1), take(size_t{NoControls} + 1, 1);
  for (int c = 1; c <= NoControls && states; ++c) {
    const auto i = static_cast<size_t>(c);
    want[i] = MachineTable->GetState(Creel->GetYarnType(c), 0);
    take[i] = want[i] <= NoStates ? 3 : 1;
  }
  // Calls write(PLine, span) for every piece of a PLine made undefined, while it says go on.
  auto eachPiece = [&](auto write) {
    for (const TUncovered& band : bands)
      for (int64_t p = band.Top; p <= band.Bottom; ++p)
        for (const TSpan& s : band.Spans)
          if (!write(p, s))
            return false;
    return true;
  };
  auto at = [&](TGrid& grid, int64_t p, const TSpan& s) {
    return grid.Row(static_cast<int>(p)) + s.First;
  };
  // Asked of a pattern made undefined already, nothing is written or kept: the step keeps
  // only the PLines the bands lie on.
  const bool changes = !eachPiece([&](int64_t p, const TSpan& s) {
    return !TakenDiffers(take.data() + s.First, want.data() + s.First, at(States, p, s),
                         at(MachineColours, p, s), static_cast<size_t>(s.Last - s.First + 1), 0);
  });
  OUndoHistory::TChange step(
      History, "Set Undefined",
      !changes ? OUndoHistory::TTouches::ObjectsOnly()
               : OUndoHistory::TTouches::Rows(static_cast<int>(bands.front().Top),
                                              static_cast<int>(bands.back().Bottom)));
  SetModified(1);
  if (!changes)
    return step.Commit();
  OPatternEvents::TGroup oneReport(Events);
  TRect changed{NoControls, static_cast<int32_t>(bands.front().Top), 1,
                static_cast<int32_t>(bands.back().Bottom)};
  for (const TUncovered& band : bands) {
    changed.Left = std::min(changed.Left, static_cast<int32_t>(band.Spans.front().First));
    changed.Right = std::max(changed.Right, static_cast<int32_t>(band.Spans.back().Last));
  }
  Events.CellsChanged(changed);

  // The pixels of a piece are drawn as it is written.
  const uint32_t undefined = Palette->GetUndefinedColour() & 0x00FFFFFFu;
  const std::vector<TShownImage> shown = ShownMachineImages(*Pictures, NoControls, NoPLines);
  const std::vector<uint32_t> drawn(size_t{NoControls} + 1, undefined);
  eachPiece([&](int64_t p, const TSpan& s) {
    WriteTaken(take.data() + s.First, want.data() + s.First, at(States, p, s),
               at(MachineColours, p, s), static_cast<size_t>(s.Last - s.First + 1), 0);
    for (const TShownImage& image : shown)
      for (const TShownArea& area : image.Areas)
        DrawShown(area, p, s.First, s.Last, drawn.data() + s.First, nullptr,
                  image.Picture->MachineImage);
    return true;
  });
  for (const TUncovered& band : bands)
    for (const TShownImage& image : shown)
      for (const TShownArea& area : image.Areas)
        for (const TSpan& s : band.Spans)
          if (const TRect px =
                  ShownPixels(area,
                              {static_cast<int32_t>(s.First), static_cast<int32_t>(band.Top),
                               static_cast<int32_t>(s.Last), static_cast<int32_t>(band.Bottom)},
                              image.Picture->MachineImage);
              px.Left <= px.Right && px.Top <= px.Bottom)
            Events.PixelsChanged(image.Picture, false, px);
  step.Commit();
}

OUndoHistory::TTouches OPattern::RowsWritten(int64_t first, int64_t last) const {
  int64_t top = first, bottom = last;
  // A copy lies in its target, or where its source's PLines land when it is only moved.
  for (const auto& section : *Sections) {
    const TRect& s = section->SourceArea;
    const TRect& t = section->TargetArea;
    if (s.Bottom < first || s.Top > last)
      continue;
    const int64_t down = int64_t{t.Top} - s.Top;
    top = std::min({top, int64_t{t.Top}, std::max<int64_t>(s.Top, first) + down});
    bottom = std::max({bottom, int64_t{t.Bottom}, std::min<int64_t>(s.Bottom, last) + down});
  }
  top = std::clamp<int64_t>(top, 0, NoPLines);
  bottom = std::clamp<int64_t>(bottom, -1, NoPLines);
  return OUndoHistory::TTouches::Rows(static_cast<int>(top), static_cast<int>(bottom));
}

} // namespace quillane
