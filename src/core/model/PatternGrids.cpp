// Painting a cell at a time: the painted cell, its copies and their pixels.
#include "model/Pattern.h"

#include <algorithm>

#include "elements/Picture.h"
#include "elements/Section.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane {

void OPattern::PaintMachineColour(int32_t c, int32_t p, uint8_t v) {
  if (Batch) {
    BatchPaint(c, p, v);
    return;
  }
  const OSection* found = nullptr;
  for (const auto& section : *Sections)
    if (section->MapToSource(c, p)) {
      found = section.get();
      break;
    }
  if (!found || !States.Contains(c, p))
    return;
  OPatternEvents::TGroup oneReport(Events);
  Events.CellsChanged({c, p, c, p});
  const bool states = PatternMode == pmStates;
  if (states) {
    const uint8_t s = MachineTable->GetState(Creel->GetYarnType(c), v);
    if (s != 0)
      SetState(c, p, s);
  }
  SetMachineColour(c, p, v);
  const uint32_t colour = Palette->GetColour(v);
  SetModified(1);
  for (const auto& section : *Sections) {
    int32_t c2 = c, p2 = p;
    if (!section->MapToTarget(c2, p2) || !States.Contains(c2, p2))
      continue;
    if (states) {
      const uint8_t s2 = MachineTable->GetState(Creel->GetYarnType(c2), v);
      if (s2 == 0)
        continue;
      SetState(c2, p2, s2);
    }
    SetMachineColour(c2, p2, v);
    Events.CellsChanged({c2, p2, c2, p2});
    RedrawMachineCell(c2, p2, colour);
  }
}

void OPattern::PaintDesignColour(int32_t c, int32_t p, uint8_t v) {
  const OSection* found = nullptr;
  for (const auto& section : *Sections)
    if (section->MapToSource(c, p)) {
      found = section.get();
      break;
    }
  if (!found || !States.Contains(c, p))
    return;
  OPatternEvents::TGroup oneReport(Events);
  // The painted pair itself, or (copy) a pair a section copies it to.
  auto paintPair = [&](int32_t cc, int32_t pp, bool copy, uint32_t colour) {
    const int odd = OddControl(cc), even = Partner(odd);
    const int oddType = Creel->GetYarnType(odd), evenType = Creel->GetYarnType(even);
    const uint8_t so = DesignTable->GetOddState(oddType, evenType, v);
    const uint8_t se = DesignTable->GetEvenState(oddType, evenType, v);
    const bool pair = odd + 1 <= NoControls;
    if (!copy) {
      if (so != 0) {
        SetDesignColour(odd, pp, v);
        SetState(odd, pp, so);
        Events.CellsChanged({odd, pp, odd, pp});
      }
      if (pair && se != 0) {
        SetDesignColour(odd + 1, pp, v);
        SetState(odd + 1, pp, se);
        Events.CellsChanged({odd + 1, pp, odd + 1, pp});
      }
      return;
    }
    if (so == 0)
      return;
    Events.CellsChanged({odd, pp, pair ? odd + 1 : odd, pp});
    SetDesignColour(odd, pp, v);
    SetState(odd, pp, so);
    if (pair) {
      SetDesignColour(odd + 1, pp, v);
      SetState(odd + 1, pp, se);
    }
    RedrawDesignCell(odd, pp, colour);
    if (pair)
      RedrawDesignCell(odd + 1, pp, colour);
  };
  paintPair(c, p, false, 0);
  const uint32_t colour = Palette->GetColour(v);
  SetModified(1);
  for (const auto& section : *Sections) {
    int32_t c2 = c, p2 = p;
    if (section->MapToTarget(c2, p2) && States.Contains(c2, p2))
      paintPair(c2, p2, true, colour);
  }
}

namespace {
// The section whose source a paint of (C, P) reaches, (C, P) then that source cell; none
// outside every section or the grid.
const OSection* SourceOf(const OSectionList& sections, const TGrid& grid, int32_t& c, int32_t& p) {
  for (const auto& section : sections)
    if (section->MapToSource(c, p))
      return grid.Contains(c, p) ? section.get() : nullptr;
  return nullptr;
}
} // namespace

void OPattern::UndefineMachineCell(int32_t c, int32_t p) {
  if (!SourceOf(*Sections, States, c, p))
    return;
  OPatternEvents::TGroup oneReport(Events);
  SetModified(1);
  const uint32_t undefined = Palette->GetUndefinedColour();
  const bool states = PatternMode == pmStates;
  auto undefine = [&](int32_t cc, int32_t pp) {
    if (states)
      SetState(cc, pp, MachineTable->GetState(Creel->GetYarnType(cc), 0));
    SetMachineColour(cc, pp, 0);
    Events.CellsChanged({cc, pp, cc, pp});
    RedrawMachineCell(cc, pp, undefined);
  };
  undefine(c, p);
  for (const auto& section : *Sections) {
    int32_t c2 = c, p2 = p;
    if (section->MapToTarget(c2, p2) && States.Contains(c2, p2))
      undefine(c2, p2);
  }
}

void OPattern::UndefineDesignCell(int32_t c, int32_t p) {
  if (PatternMode != pmStates) {
    UndefineMachineCell(c, p); // a colour pattern has the one view
    return;
  }
  if (!SourceOf(*Sections, States, c, p))
    return;
  OPatternEvents::TGroup oneReport(Events);
  SetModified(1);
  auto undefinePair = [&](int32_t cc, int32_t pp) {
    const int odd = OddControl(cc), even = Partner(odd);
    const int last = std::min<int>(odd + 1, NoControls);
    for (int x = odd; x <= last; ++x) {
      SetState(x, pp, MachineTable->GetState(Creel->GetYarnType(x), 0));
      SetMachineColour(x, pp, 0);
    }
    // The pair's colour as the design view works it out from the states.
    const uint8_t k = DesignTable->GetColour(Creel->GetYarnType(odd), Creel->GetYarnType(even),
                                             States.Get(odd, pp), States.Get(even, pp));
    for (int x = odd; x <= last; ++x) {
      SetDesignColour(x, pp, k);
      RedrawDesignCell(x, pp, Palette->GetColour(DesignColours.Get(x, pp)));
    }
    Events.CellsChanged({odd, pp, last, pp});
  };
  undefinePair(c, p);
  for (const auto& section : *Sections) {
    int32_t c2 = c, p2 = p;
    if (section->MapToTarget(c2, p2) && States.Contains(c2, p2))
      undefinePair(c2, p2);
  }
}

void OPattern::RedrawMachineCell(int32_t c, int32_t p, uint32_t colour) {
  for (const auto& picture : *Pictures)
    for (const auto& region : picture->Regions) {
      int32_t x = c, y = p;
      if (region->MapCellToPixel(x, y) &&
          picture->MachineImage.Contains(int64_t{x} - 1, int64_t{y} - 1)) {
        picture->SetMachinePixel(int64_t{x} - 1, int64_t{y} - 1, colour);
        Events.PixelsChanged(picture.get(), false, {x - 1, y - 1, x - 1, y - 1});
      }
    }
}

void OPattern::RedrawDesignCell(int32_t c, int32_t p, uint32_t colour) {
  for (const auto& picture : *Pictures)
    for (const auto& region : picture->Regions) {
      int32_t x = c, y = p;
      if (region->MapCellToPixel(x, y) &&
          picture->DesignImage.Contains(int64_t{x} - 1, int64_t{y} - 1)) {
        picture->SetDesignPixel(int64_t{x} - 1, int64_t{y} - 1, colour);
        Events.PixelsChanged(picture.get(), true, {x - 1, y - 1, x - 1, y - 1});
      }
    }
}

} // namespace quillane
