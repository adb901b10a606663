#pragma once

// The state of an open paint batch (see OPattern::BeginPaintBatch); private to the pattern.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "app/LargeBuffer.h"
#include "data/Mapping.h"
#include "data/Record.h"
#include "elements/Bitmap.h"
#include "model/Pattern.h"

namespace quillane {

class OPicture;

using TByteMap = std::array<uint8_t, 256>;

// A lookup per yarn type in use, filled once per whole-grid pass so that the pass itself
// does one table read per cell.
template <class TFill> std::vector<TByteMap> PerYarnType(int highestYarnType, TFill fill) {
  std::vector<TByteMap> maps(static_cast<size_t>(highestYarnType) + 1);
  for (int y = 0; y <= highestYarnType; ++y)
    for (int v = 0; v < 256; ++v)
      maps[static_cast<size_t>(y)][static_cast<size_t>(v)] = fill(y, v);
  return maps;
}

// What a batch keeps: the sections as plain shifts, the states a colour gives on each
// yarn type, and which cells were redrawn. A redrawn cell is drawn with its machine-view
// colour at the end, unless that colour no longer is the one it was redrawn with (a later
// paint of the cell as a source, or a colour the cell could not take): then the colour it
// was redrawn with is kept aside.
struct OPattern::TPaintBatch {
  struct TShift {
    TRect Source, Target;
    int64_t DC, DP; // forged areas may lie further apart than 32 bits reach
  };
  std::vector<TShift> Shifts;
  // The shifts whose source (or target) area holds a cell, for one column and the run of
  // PLines over which that stays the same: paints come a column at a time.
  struct THits {
    int64_t Column = INT64_MIN, Lo = 1, Hi = 0;
    std::vector<const TShift*> List;
  };
  THits SourceHits, TargetHits;
  const std::vector<const TShift*>& Hits(THits& h, int64_t column, int64_t pLine, bool source) {
    if (column == h.Column && pLine >= h.Lo && pLine <= h.Hi)
      return h.List;
    h.Column = column;
    h.Lo = INT64_MIN;
    h.Hi = INT64_MAX;
    h.List.clear();
    for (const TShift& shift : Shifts) {
      const TRect& r = source ? shift.Source : shift.Target;
      if (column < r.Left || column > r.Right)
        continue;
      if (pLine >= r.Top && pLine <= r.Bottom) {
        h.List.push_back(&shift);
        h.Lo = std::max<int64_t>(h.Lo, r.Top);
        h.Hi = std::min<int64_t>(h.Hi, r.Bottom);
      } else if (pLine < r.Top) {
        h.Hi = std::min<int64_t>(h.Hi, int64_t{r.Top} - 1);
      } else {
        h.Lo = std::max<int64_t>(h.Lo, int64_t{r.Bottom} + 1);
      }
    }
    return h.List;
  }
  std::vector<TByteMap> StateOf;                            // [yarn type][colour]
  TBytes YarnType;                                          // per control
  std::vector<uint64_t, TLargeAllocator<uint64_t>> Redrawn; // a bit per cell
  // Cells whose grid colour differs from the one they were redrawn with. A flag and a byte
  // per cell, made on first use: a hash map of them grew with every source painted over a
  // redrawn copy and made a whole-pattern import grow faster than the pattern.
  class TKept {
  public:
    explicit TKept(size_t cells) : Cells(cells) {}
    bool empty() const { return Count == 0; }
    const uint8_t* Find(size_t i) const { return Count != 0 && Flag[i] ? &Colour[i] : nullptr; }
    void Set(size_t i, uint8_t colour) {
      Make();
      Count += Flag[i] ^ 1u;
      Flag[i] = 1;
      Colour[i] = colour;
    }
    void SetIfNone(size_t i, uint8_t colour) {
      if (!Find(i))
        Set(i, colour);
    }
    void Erase(size_t i) {
      if (Count != 0 && Flag[i]) {
        Flag[i] = 0;
        --Count;
      }
    }

  private:
    void Make() {
      if (Flag.empty()) {
        Flag = TZeroedBytes(Cells);
        Colour = TZeroedBytes(Cells);
      }
    }
    size_t Cells, Count = 0;
    TZeroedBytes Flag, Colour;
  };
  TKept RedrawnWith{0};

  bool IsRedrawn(size_t index) const { return (Redrawn[index >> 6] >> (index & 63)) & 1; }
  void MarkRedrawn(size_t index) { Redrawn[index >> 6] |= uint64_t{1} << (index & 63); }
  void MarkRedrawn(size_t index, size_t n) {
    for (; n > 0 && (index & 63) != 0; --n)
      MarkRedrawn(index++);
    for (; n >= 64; n -= 64, index += 64)
      Redrawn[index >> 6] = ~uint64_t{0};
    for (; n > 0; --n)
      MarkRedrawn(index++);
  }
  int32_t LastC = -1, LastP = -1;
  int LastV = -1;
  struct TAreaPaint; // OPattern::BatchPaintArea, step by step
};

// Where a region shows cells in its picture: its cells inside the grid, and the map to
// pixels (from 0) as pixel = origin + C * (DxC, DyC) + P * (DxP, DyP).
struct TShownArea {
  int64_t C0, C1, P0, P1;
  TPoint64 Origin;
  int64_t DxC, DyC, DxP, DyP;
};
std::vector<TShownArea> ShownAreas(const OPicture& picture, int noControls, int noPLines);
// The pictures whose machine image shows cells, each with the areas it shows them through.
struct TShownImage {
  OPicture* Picture;
  std::vector<TShownArea> Areas;
};
std::vector<TShownImage> ShownMachineImages(const OPictureList& pictures, int noControls,
                                            int noPLines);
// The pixels (from 0) through which `area` shows `cells`, clipped to the image; empty
// where it shows none of them.
TRect ShownPixels(const TShownArea& area, const TRect& cells, const OBitmap24& image);
// Draws cells `first` to `last` of PLine `p` where the area shows them inside the image:
// cell c takes drawn[c - first] where mask[c - first] is all ones and keeps its pixel where
// it is 0; without a mask, every cell takes it.
void DrawShown(const TShownArea& area, int64_t p, int64_t first, int64_t last,
               const uint32_t* drawn, const uint32_t* mask, OBitmap24& image);

} // namespace quillane
