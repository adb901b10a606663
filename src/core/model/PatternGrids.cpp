// The pattern's grids: the derived colour grids, section copies and painting.
#include "model/Pattern.h"
#include "model/PaintBatch.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "app/App.h"
#include "app/ByteRows.h"
#include "elements/Mapping.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane {

namespace {

// A lookup per yarn type in use, filled once per whole-grid pass so that the pass itself
// does one table read per cell.
template <class TFill> std::vector<TByteMap> PerYarnType(int highestYarnType, TFill fill) {
  std::vector<TByteMap> maps(static_cast<size_t>(highestYarnType) + 1);
  for (int y = 0; y <= highestYarnType; ++y)
    for (int v = 0; v < 256; ++v)
      maps[static_cast<size_t>(y)][static_cast<size_t>(v)] = fill(y, v);
  return maps;
}
// The largest value up to which a map leaves every value as it is; -1 when it changes 0.
int UnchangedUpTo(const uint8_t* map) {
  int v = 0;
  while (v < 256 && map[v] == v)
    ++v;
  return v - 1;
}
// mask[i] = all ones where bit `first + i` of `bits` is set, else 0: a byte of bits at a time.
void ExpandBits(const uint64_t* bits, size_t first, size_t n, uint32_t* mask) {
  static const auto masksOf = [] {
    std::array<std::array<uint32_t, 8>, 256> table{};
    for (size_t b = 0; b < 256; ++b)
      for (size_t i = 0; i < 8; ++i)
        table[b][i] = (b >> i) & 1 ? ~0u : 0u;
    return table;
  }();
  size_t i = 0;
  for (; i < n && ((first + i) & 7) != 0; ++i)
    mask[i] = 0u - static_cast<uint32_t>((bits[(first + i) >> 6] >> ((first + i) & 63)) & 1);
  for (; i + 8 <= n; i += 8)
    std::memcpy(mask + i, masksOf[(bits[(first + i) >> 6] >> ((first + i) & 63)) & 0xFF].data(), 32);
  for (; i < n; ++i)
    mask[i] = 0u - static_cast<uint32_t>((bits[(first + i) >> 6] >> ((first + i) & 63)) & 1);
}

// Word `word` of `bits` with only bits `from` to `to` kept.
uint64_t WordIn(const uint64_t* bits, size_t word, size_t from, size_t to) {
  uint64_t w = bits[word];
  if (word == from >> 6)
    w &= ~uint64_t{0} << (from & 63);
  if (word == to >> 6)
    w &= ~uint64_t{0} >> (63 - (to & 63));
  return w;
}

// The first and the last set bit from bit `from` to bit `to`, or -1 where none is set.
int64_t FirstBitIn(const uint64_t* bits, size_t from, size_t to) {
  for (size_t word = from >> 6; word <= to >> 6; ++word)
    if (const uint64_t w = WordIn(bits, word, from, to); w != 0)
      return static_cast<int64_t>(word * 64 + static_cast<size_t>(std::countr_zero(w)));
  return -1;
}

int64_t LastBitIn(const uint64_t* bits, size_t from, size_t to) {
  for (size_t word = (to >> 6) + 1; word-- > from >> 6;)
    if (const uint64_t w = WordIn(bits, word, from, to); w != 0)
      return static_cast<int64_t>(word * 64 + 63 - static_cast<size_t>(std::countl_zero(w)));
  return -1;
}

// Narrows [lo, hi] to the k for which a + d * (k - first) lies in [0, n).
void KeepInside(int64_t& lo, int64_t& hi, int64_t first, int64_t a, int64_t d, int64_t n) {
  auto floorDiv = [](int64_t x, int64_t y) { return x / y - ((x % y != 0) && ((x < 0) != (y < 0))); };
  if (d == 0) {
    if (a < 0 || a >= n)
      hi = lo - 1;
    return;
  }
  // a + d * j >= 0 and <= n - 1, for j = k - first.
  const int64_t j0 = d > 0 ? -floorDiv(a, d) : -floorDiv(n - 1 - a, -d);
  const int64_t j1 = d > 0 ? floorDiv(n - 1 - a, d) : floorDiv(a, -d);
  lo = std::max(lo, first + j0);
  hi = std::min(hi, first + j1);
}

// Draws `drawn[i]` onto the pixel `step` after the previous one's where mask[i] is all ones,
// keeping the pixel where it is 0. Left to right; four pixels at a time along a row.
void DrawMasked(const uint32_t* drawn, const uint32_t* mask, size_t n, uint32_t* pixel, int64_t step) {
  size_t i = 0;
#if defined(__SSE2__)
  if (step == 1)
    for (; i + 4 <= n; i += 4) {
      auto load = [](const uint32_t* from) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)); };
      const __m128i m = load(mask + i);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(pixel + i),
                       _mm_or_si128(_mm_and_si128(m, load(drawn + i)), _mm_andnot_si128(m, load(pixel + i))));
    }
#endif
  for (pixel += static_cast<int64_t>(i) * step; i < n; ++i, pixel += step)
    *pixel = (drawn[i] & mask[i]) | (*pixel & ~mask[i]);
}

} // namespace

std::vector<TShownArea> ShownAreas(const OPicture& picture, int noControls, int noPLines) {
  std::vector<TShownArea> shown;
  for (const auto& region : picture.Regions) {
    const ORegion& r = *region;
    auto map = [&](int64_t c, int64_t p) {
      return MapUnchecked(r.PatternArea, r.PictureArea, r.HFlip, r.VFlip, r.Rotation, c, p);
    };
    const TPoint64 origin = map(0, 0), stepC = map(1, 0), stepP = map(0, 1);
    shown.push_back({std::max<int64_t>(r.PatternArea.Left, 1), std::min<int64_t>(r.PatternArea.Right, noControls),
                     std::max<int64_t>(r.PatternArea.Top, 1), std::min<int64_t>(r.PatternArea.Bottom, noPLines),
                     origin, stepC.X - origin.X, stepC.Y - origin.Y, stepP.X - origin.X, stepP.Y - origin.Y});
  }
  return shown;
}

namespace {
// Where cells `first` to `last` of PLine `p` land in the image through the area: the first
// of them in the image, its pixel, how many follow it in the image and the step between
// their pixels. Count 0 where none does.
struct TShownSpan {
  int64_t First = 0;
  uint32_t* Pixel = nullptr;
  size_t Count = 0;
  int64_t Step = 0;
};

TShownSpan SpanOf(const TShownArea& area, int64_t p, int64_t first, int64_t last, OBitmap24& image) {
  if (p < area.P0 || p > area.P1)
    return {};
  int64_t lo = std::max(first, area.C0), hi = std::min(last, area.C1);
  if (lo > hi)
    return {};
  const int64_t w = image.Width(), h = image.Height(), start = lo;
  const int64_t x0 = area.Origin.X + area.DxC * lo + area.DxP * p - 1;
  const int64_t y0 = area.Origin.Y + area.DyC * lo + area.DyP * p - 1;
  KeepInside(lo, hi, start, x0, area.DxC, w);
  KeepInside(lo, hi, start, y0, area.DyC, h);
  if (lo > hi)
    return {};
  return {lo, image.Row(0) + ((y0 + area.DyC * (lo - start)) * w + x0 + area.DxC * (lo - start)),
          static_cast<size_t>(hi - lo + 1), area.DyC * w + area.DxC};
}
// The pixels (from 0) through which `area` shows `cells`, clipped to the image; empty
// where it shows none of them.
TRect ShownPixels(const TShownArea& area, const TRect& cells, const OBitmap24& image) {
  const int64_t c0 = std::max<int64_t>(cells.Left, area.C0),
                c1 = std::min<int64_t>(cells.Right, area.C1);
  const int64_t p0 = std::max<int64_t>(cells.Top, area.P0),
                p1 = std::min<int64_t>(cells.Bottom, area.P1);
  if (c0 > c1 || p0 > p1)
    return {0, 0, -1, -1};
  int64_t x0 = INT64_MAX, x1 = INT64_MIN, y0 = INT64_MAX, y1 = INT64_MIN;
  for (const int64_t c : {c0, c1})
    for (const int64_t p : {p0, p1}) {
      const int64_t x = area.Origin.X + area.DxC * c + area.DxP * p - 1;
      const int64_t y = area.Origin.Y + area.DyC * c + area.DyP * p - 1;
      x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
  return {static_cast<int32_t>(std::max<int64_t>(x0, 0)),
          static_cast<int32_t>(std::max<int64_t>(y0, 0)),
          static_cast<int32_t>(std::min<int64_t>(x1, image.Width() - 1)),
          static_cast<int32_t>(std::min<int64_t>(y1, image.Height() - 1))};
}
} // namespace

void DrawShown(const TShownArea& area, int64_t p, int64_t first, int64_t last, const uint32_t* drawn,
               const uint32_t* mask, OBitmap24& image) {
  const TShownSpan span = SpanOf(area, p, first, last, image);
  if (span.Count > 0)
    DrawMasked(drawn + (span.First - first), mask + (span.First - first), span.Count, span.Pixel, span.Step);
}

void PrefetchShown(const TShownArea& area, int64_t p, int64_t first, int64_t last, OBitmap24& image) {
  const TShownSpan span = SpanOf(area, p, first, last, image);
  if (span.Step != 1)
    return;
  const char* from = reinterpret_cast<const char*>(span.Pixel);
  for (size_t at = 0; at < span.Count * sizeof(uint32_t); at += 64)
    __builtin_prefetch(from + at, 1);
}

int OPattern::HighestYarnTypeInUse() const {
  int highest = 0;
  for (int c = 1; c <= NoControls; ++c)
    highest = std::max<int>(highest, Creel->GetYarnType(c));
  return highest;
}

void OPattern::ComputeMachineColours() {
  if (PatternMode == pmColours)
    return;
  const OMachineTable& table = *MachineTable;
  // Entries above NoColours are refused by the cell setter: they keep the old value.
  bool refused = false;
  const std::vector<TByteMap> colourOf = PerYarnType(HighestYarnTypeInUse(), [&](int y, int s) {
    const uint8_t colour = table.GetColour(y, s);
    refused = refused || colour > NoColours;
    return colour;
  });
  std::vector<const uint8_t*> mapOfControl(size_t{NoControls} + 1);
  for (int c = 1; c <= NoControls; ++c)
    mapOfControl[static_cast<size_t>(c)] = colourOf[Creel->GetYarnType(c)].data();
  for (int p = 1; p <= NoPLines; ++p) {
    const uint8_t* states = States.Row(p);
    uint8_t* colours = MachineColours.Row(p);
    if (!refused) {
      for (int c = 1; c <= NoControls; ++c)
        colours[c] = mapOfControl[static_cast<size_t>(c)][states[c]];
    } else {
      for (int c = 1; c <= NoControls; ++c) {
        const uint8_t v = mapOfControl[static_cast<size_t>(c)][states[c]];
        if (v <= NoColours)
          colours[c] = v;
      }
    }
  }
}

void OPattern::ComputeDesignColours() {
  if (PatternMode == pmColours)
    return;
  const ODesignTable& table = *DesignTable;
  // One state-by-state lookup per pair of yarn types that occurs, made when first met.
  std::vector<TBytes> pairMaps(size_t{256} * 256);
  auto mapFor = [&](int oddType, int evenType) -> const uint8_t* {
    TBytes& m = pairMaps[static_cast<size_t>(oddType) * 256 + static_cast<size_t>(evenType)];
    if (m.empty()) {
      m.resize(size_t{256} * 256);
      for (int so = 0; so < 256; ++so)
        for (int se = 0; se < 256; ++se)
          m[static_cast<size_t>(so) * 256 + static_cast<size_t>(se)] =
              table.GetColour(oddType, evenType, so, se);
    }
    return m.data();
  };
  struct TPair {
    int Odd, Even;
    const uint8_t* Map;
  };
  std::vector<TPair> pairs;
  for (int odd = 1; odd <= NoControls; odd += 2) {
    const int even = Partner(odd);
    pairs.push_back({odd, even, mapFor(Creel->GetYarnType(odd), Creel->GetYarnType(even))});
  }
  // A PLine at a time, as the grid lies in memory.
  for (int p = 1; p <= NoPLines; ++p) {
    const uint8_t* states = States.Row(p);
    uint8_t* colours = DesignColours.Row(p);
    for (const TPair& pair : pairs) {
      const uint8_t k = pair.Map[static_cast<size_t>(states[pair.Odd]) * 256 + states[pair.Even]];
      if (k > NoColours)
        continue;
      colours[pair.Odd] = k;
      if (pair.Odd + 1 <= NoControls)
        colours[pair.Odd + 1] = k;
    }
  }
}

void OPattern::SetViewMode(uint8_t mode) {
  if (mode == ViewMode)
    return;
  ViewMode = mode;
  if (mode == 1)
    ComputeMachineColours();
  else if (mode == 2)
    ComputeDesignColours();
}

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
  auto copied = [&](int c, uint8_t v) { return states ? mapOfControl[static_cast<size_t>(c)][v] : v; };

  for (const auto& sectionPtr : *Sections) {
    const OSection& section = *sectionPtr;
    const TRect& src = section.SourceArea;
    if (src == section.TargetArea)
      continue;
    const bool straight = section.HFlip != 1 && section.VFlip != 1 &&
                          (section.Rotation < 1 || section.Rotation > 3);
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
        unchangedUpTo = std::min(unchangedUpTo, UnchangedUpTo(mapOfControl[static_cast<size_t>(c)]));
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

void OPattern::BeginPaintBatch() {
  Batch.reset();
  // However the batch paints, it reports its cells and pixels once, when it closes.
  if (!std::exchange(BatchGrouped, true))
    Events.BeginGroup();
  if (PatternMode != pmStates && PatternMode != pmColours)
    return;
  for (const auto& section : *Sections)
    if (section->HFlip == 1 || section->VFlip == 1 || (section->Rotation >= 1 && section->Rotation <= 3))
      return;
  for (const auto& picture : *Pictures)
    if (!picture->RegionsDrawApart())
      return;
  auto batch = std::make_unique<TPaintBatch>();
  for (const auto& section : *Sections)
    batch->Shifts.push_back({section->SourceArea, section->TargetArea,
                             int64_t{section->TargetArea.Left} - section->SourceArea.Left,
                             int64_t{section->TargetArea.Top} - section->SourceArea.Top});
  const OMachineTable& table = *MachineTable;
  const bool states = PatternMode == pmStates;
  batch->StateOf = PerYarnType(HighestYarnTypeInUse(),
                               [&](int y, int v) { return states ? table.GetState(y, v) : 0; });
  batch->YarnType.resize(size_t{NoControls} + 1);
  for (int c = 1; c <= NoControls; ++c)
    batch->YarnType[static_cast<size_t>(c)] = Creel->GetYarnType(c);
  batch->Redrawn.assign(States.Data().size() / 64 + 1, 0);
  Batch = std::move(batch);
}

void OPattern::BatchPaint(int32_t c, int32_t p, uint8_t v) {
  TPaintBatch& b = *Batch;
  // The same paint again right away changes nothing.
  if (c == b.LastC && p == b.LastP && v == b.LastV)
    return;
  b.LastC = c;
  b.LastP = p;
  b.LastV = v;
  const auto& targets = b.Hits(b.TargetHits, c, p, false);
  if (targets.empty())
    return;
  const TPaintBatch::TShift* found = targets.front(); // the first section in list order
  const int64_t sc = int64_t{c} - found->DC, sp = int64_t{p} - found->DP;
  if (!States.Contains(static_cast<int>(std::clamp<int64_t>(sc, -1, 65536)),
                       static_cast<int>(std::clamp<int64_t>(sp, -1, 65536))))
    return;
  const bool states = PatternMode == pmStates;
  const size_t stride = States.Stride();
  uint8_t* stateCells = States.Data().data();
  uint8_t* colourCells = MachineColours.Data().data();
  auto write = [&](size_t index, uint8_t s) {
    if (states && s != 0 && s <= NoStates)
      stateCells[index] = s;
    if (v <= NoColours)
      colourCells[index] = v;
  };
  const size_t source = static_cast<size_t>(sp) * stride + static_cast<size_t>(sc);
  // A source write changes no pixel: keep the colour a redrawn cell shows.
  if (v <= NoColours && b.IsRedrawn(source) && colourCells[source] != v)
    b.RedrawnWith.try_emplace(source, colourCells[source]);
  write(source, b.StateOf[b.YarnType[static_cast<size_t>(sc)]][v]);
  SetModified(1);
  Events.CellsChanged({static_cast<int32_t>(sc), static_cast<int32_t>(sp), static_cast<int32_t>(sc),
                       static_cast<int32_t>(sp)});
  for (const TPaintBatch::TShift* shift : b.Hits(b.SourceHits, sc, sp, true)) {
    const int64_t tc = sc + shift->DC, tp = sp + shift->DP;
    if (tc < 1 || tc > NoControls || tp < 1 || tp > NoPLines)
      continue;
    const uint8_t s2 = states ? b.StateOf[b.YarnType[static_cast<size_t>(tc)]][v] : 1;
    if (s2 == 0)
      continue;
    const size_t target = static_cast<size_t>(tp) * stride + static_cast<size_t>(tc);
    write(target, s2);
    Events.CellsChanged({static_cast<int32_t>(tc), static_cast<int32_t>(tp),
                         static_cast<int32_t>(tc), static_cast<int32_t>(tp)});
    b.MarkRedrawn(target);
    if (v > NoColours)
      b.RedrawnWith[target] = v;
    else if (!b.RedrawnWith.empty())
      b.RedrawnWith.erase(target);
  }
}

void OPattern::EndPaintBatch() {
  auto report = [this] {
    if (std::exchange(BatchGrouped, false))
      Events.EndGroup();
  };
  if (!Batch) {
    report();
    return;
  }
  std::unique_ptr<TPaintBatch> batch = std::move(Batch);
  // The pixels that may have changed: wherever a region shows a changed cell.
  if (const TRect* cells = Events.PendingCells())
    for (const auto& picture : *Pictures)
      for (const TShownArea& area : ShownAreas(*picture, NoControls, NoPLines))
        Events.PixelsChanged(picture.get(), false,
                             ShownPixels(area, *cells, picture->MachineImage));
  std::array<uint32_t, 256> colours{};
  for (int i = 0; i < 256; ++i)
    colours[static_cast<size_t>(i)] = Palette->GetColour(i) & 0x00FFFFFFu;
  // Each redrawn cell's pixels in every region that shows it; regions draw apart, so the
  // order does not matter. A PLine's colours and which of its cells were redrawn are worked
  // out once, then drawn into every region that shows the PLine.
  const uint8_t* colourCells = MachineColours.Data().data();
  const uint64_t* redrawn = batch->Redrawn.data();
  const bool noneKept = batch->RedrawnWith.empty(); // usually the grid holds every colour
  std::vector<uint32_t> drawn(size_t{NoControls} + 1), mask(size_t{NoControls} + 1);
  for (const auto& picture : *Pictures) {
    OBitmap24& image = picture->MachineImage;
    if (image.Width() <= 0 || image.Height() <= 0)
      continue;
    const std::vector<TShownArea> shown = ShownAreas(*picture, NoControls, NoPLines);
    for (int64_t p = 1; p <= NoPLines; ++p) {
      const size_t row = static_cast<size_t>(p) * States.Stride();
      // Most PLines of a large pattern have no redrawn cell at all, and most of the rest
      // have them in a few places: only the span from the first to the last is drawn.
      const int64_t lo = FirstBitIn(redrawn, row + 1, row + static_cast<size_t>(NoControls));
      if (lo < 0)
        continue;
      const int64_t hi = LastBitIn(redrawn, row + 1, row + static_cast<size_t>(NoControls));
      const int64_t first = lo - static_cast<int64_t>(row), last = hi - static_cast<int64_t>(row);
      const size_t n = static_cast<size_t>(last - first + 1);
      bool ready = false;
      for (const TShownArea& area : shown) {
        if (p < area.P0 || p > area.P1)
          continue;
        if (!ready) {
          for (int64_t c = first; c <= last; ++c)
            drawn[static_cast<size_t>(c)] = colours[colourCells[row + static_cast<size_t>(c)]];
          ExpandBits(redrawn, static_cast<size_t>(lo), n, mask.data() + first);
          for (int64_t c = first; c <= last && !noneKept; ++c) {
            auto found = batch->RedrawnWith.find(row + static_cast<size_t>(c));
            if (mask[static_cast<size_t>(c)] != 0 && found != batch->RedrawnWith.end())
              drawn[static_cast<size_t>(c)] = colours[found->second];
          }
          ready = true;
        }
        DrawShown(area, p, first, last, drawn.data() + first, mask.data() + first, image);
      }
    }
  }
  report();
}

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

void OPattern::SetUndefined() {
  const uint32_t undefined = Palette->GetUndefinedColour();
  SetModified(1);
  if (Sections->Count() == 0)
    return;
  OPatternEvents::TGroup oneReport(Events);
  Events.CellsChanged({1, 1, NoControls, NoPLines});
  const bool states = PatternMode == pmStates;
  for (int c = 1; c <= NoControls; ++c) {
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
