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

void OPattern::ApplySections() {
  if (!ValidateSections())
    return;
  const bool states = PatternMode == pmStates;
  // In a state pattern a copied cell takes the state that shows the source's colour on
  // the source control's yarn type. The colour comes from the source's state rather than
  // the machine-view grid, which is stale after painting in the design view.
  std::vector<TByteMap> copyOf;
  std::vector<const uint8_t*> mapOfControl;
  if (states) {
    const OMachineTable& table = *MachineTable;
    copyOf = PerYarnType(HighestYarnTypeInUse(),
                         [&](int y, int s) { return table.GetState(y, table.GetColour(y, s)); });
    mapOfControl.resize(size_t{NoControls} + 1);
    for (int c = 1; c <= NoControls; ++c)
      mapOfControl[static_cast<size_t>(c)] = copyOf[Creel->GetYarnType(c)].data();
  }
  TGrid& grid = states ? States : MachineColours;
  auto copied = [&](int c, uint8_t v) {
    return states ? mapOfControl[static_cast<size_t>(c)][v] : v;
  };

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
    const bool straight =
        section.HFlip != 1 && section.VFlip != 1 && (section.Rotation < 1 || section.Rotation > 3);
    const int64_t dc = int64_t{section.TargetArea.Left} - src.Left;
    const int64_t dp = int64_t{section.TargetArea.Top} - src.Top;
    // A plain shift whose copy does not overlap its source reads nothing it wrote, so it
    // can go a PLine at a time; anything else keeps the cell-by-cell order exactly.
    const bool apart = src.Right + dc < src.Left || src.Left + dc > src.Right ||
                       src.Bottom + dp < src.Top || src.Top + dp > src.Bottom;
    if (straight && apart) {
      // The columns both inside the grid where they are read and where they are written.
      const int64_t c0 = std::max<int64_t>({src.Left, 1, 1 - dc});
      const int64_t c1 = std::min<int64_t>({src.Right, NoControls, NoControls - dc});
      if (c0 > c1)
        continue;
      const size_t width = static_cast<size_t>(c1 - c0 + 1);
      // One map for the whole span when every source control has the same one (a creel of
      // one yarn type, or a colour pattern, where the copy is the value itself).
      const uint8_t* uniform = states ? mapOfControl[static_cast<size_t>(c0)] : nullptr;
      bool same = true;
      // Values up to this one copy as they are through every source control's map (the
      // usual machine table gives each state its own colour), so a PLine holding no
      // larger value is a plain copy.
      int unchangedUpTo = states ? 255 : -1;
      for (int64_t c = c0; states && c <= c1; ++c) {
        same = same && mapOfControl[static_cast<size_t>(c)] == uniform;
        unchangedUpTo =
            std::min(unchangedUpTo, UnchangedUpTo(mapOfControl[static_cast<size_t>(c)]));
      }
      for (int64_t p = std::max<int64_t>({src.Top, 1, 1 - dp});
           p <= std::min<int64_t>({src.Bottom, NoPLines, NoPLines - dp}); ++p) {
        const uint8_t* from = grid.Row(static_cast<int>(p)) + c0;
        uint8_t* to = grid.Row(static_cast<int>(p + dp)) + c0 + dc;
        if (!states || (unchangedUpTo >= 0 && RangeOf(from, width).Hi <= unchangedUpTo)) {
          std::memcpy(to, from, width);
        } else if (same) {
          for (size_t i = 0; i < width; ++i)
            to[i] = uniform[from[i]];
        } else {
          const uint8_t* const* maps = mapOfControl.data() + c0;
          for (size_t i = 0; i < width; ++i)
            to[i] = maps[i][from[i]];
        }
      }
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

void OPattern::SetUndefined() {
  OUndoHistory::TChange step(History, "Set Undefined");
  const uint32_t undefined = Palette->GetUndefinedColour();
  SetModified(1);
  if (Sections->Count() == 0)
    return;
  OPatternEvents::TGroup oneReport(Events);
  Events.CellsChanged({1, 1, NoControls, NoPLines});
  // Every cell against every section: a second on a carpet. Cells change as it goes, so
  // it offers no Cancel that would leave half of them behind.
  std::optional<OProgress> progress;
  if (int64_t{NoControls} * NoPLines * Sections->Count() > LargeSectionCopy) {
    progress.emplace("Setting undefined cells", NoControls);
    progress->CannotCancel();
  }
  const int every = std::max(1, NoControls / 200);
  const bool states = PatternMode == pmStates;
  for (int c = 1; c <= NoControls; ++c) {
    if (progress && c % every == 0)
      progress->Step(c);
    const uint8_t undefinedState = states ? MachineTable->GetState(Creel->GetYarnType(c), 0) : 0;
    for (int p = 1; p <= NoPLines; ++p) {
      bool uncovered = false;
      for (const auto& section : *Sections)
        if (!section->Covers(c, p)) {
          uncovered = true;
          break;
        }
      if (!uncovered)
        continue;
      if (states)
        SetState(c, p, undefinedState);
      SetMachineColour(c, p, 0);
      RedrawMachineCell(c, p, undefined);
    }
  }
}

} // namespace quillane
