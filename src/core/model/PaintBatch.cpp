// Paint batches: many paints taken together, the redrawn cells drawn once at the end.
#include "model/PaintBatch.h"
#include "model/Pattern.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>
#include <vector>

#include "elements/Picture.h"
#include "elements/Section.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane {

namespace {

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
    std::memcpy(mask + i, masksOf[(bits[(first + i) >> 6] >> ((first + i) & 63)) & 0xFF].data(),
                32);
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

} // namespace

void OPattern::BeginPaintBatch() {
  Batch.reset();
  // However the batch paints, it reports its cells and pixels once, when it closes.
  if (!std::exchange(BatchGrouped, true))
    Events.BeginGroup();
  if (PatternMode != pmStates && PatternMode != pmColours)
    return;
  for (const auto& section : *Sections)
    if (section->HFlip == 1 || section->VFlip == 1 ||
        (section->Rotation >= 1 && section->Rotation <= 3))
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
  batch->RedrawnWith = TPaintBatch::TKept(States.Data().size());
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
    b.RedrawnWith.SetIfNone(source, colourCells[source]);
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
      b.RedrawnWith.Set(target, v);
    else if (!b.RedrawnWith.empty())
      b.RedrawnWith.Erase(target);
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
  const std::array<uint32_t, 256> colours = Palette->PixelColours();
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
            const uint8_t* kept = batch->RedrawnWith.Find(row + static_cast<size_t>(c));
            if (mask[static_cast<size_t>(c)] != 0 && kept)
              drawn[static_cast<size_t>(c)] = colours[*kept];
          }
          ready = true;
        }
        DrawShown(area, p, first, last, drawn.data() + first, mask.data() + first, image);
      }
    }
  }
  report();
}

} // namespace quillane
