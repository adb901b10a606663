#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/LargeBuffer.h"
#include "imaging/Colour.h"

namespace quillane {

// The colour of a set nearest to any colour by CIEDE2000, the first of equals, each answer
// kept: a photo has many thousand colours and most cells repeat their neighbour's.
class TNearest {
public:
  // At most 255 colours; none answers -1 for every colour.
  explicit TNearest(std::vector<uint32_t> colours);
  int Find(uint32_t colour) {
    if (Set.empty())
      return -1;
    if (Known.empty())
      Known = TZeroedBytes(size_t{1} << 24);
    uint8_t& known = Known[colour & 0xFFFFFFu];
    if (known == 0)
      known = Search(colour);
    return known - 1;
  }
  // Colours within 8 steps of a channel share the answer for their middle one: a dithered
  // colour is only a step in a sum, and a small table stays in the cache as millions of
  // them are asked for.
  int FindNear(uint32_t colour) {
    if (Set.empty())
      return -1;
    const size_t slot = NearSlot(RedOf(colour), GreenOf(colour), BlueOf(colour));
    const uint8_t known = Near[slot];
    return (known != 0 ? known : FillNear(slot)) - 1;
  }
  static size_t NearSlot(int red, int green, int blue) {
    return static_cast<size_t>(red >> 3 | (green >> 3) << 5 | (blue >> 3) << 10);
  }
  // FindNear's answers by slot, index + 1, 0 until asked for; a loop that holds the table
  // itself spares the compiler reading it again after every byte it stores.
  const uint8_t* NearTable() const { return Near.data(); }
  uint8_t FillNear(size_t slot);
  const std::vector<uint32_t>& Colours() const { return Set; }

private:
  std::vector<uint32_t> Set;
  std::vector<TLab> Labs;
  // Index + 1 of each colour asked for, by its value; the whole table only once asked.
  TZeroedBytes Known;
  std::vector<uint8_t> Near;
  uint8_t Search(uint32_t colour) const;
};

// At most n colours that stand for the colours added, by cutting the box of their colours in
// Lab at the median of its longest side until n boxes or single colours are left; the same
// colours give the same answer. Colours within 8 steps of a channel count as one.
class TMedianCut {
public:
  TMedianCut();
  void Add(const uint32_t* colours, size_t n);
  std::vector<uint32_t> Cut(int n) const;

private:
  struct TBin {
    uint64_t Count = 0, Red = 0, Green = 0, Blue = 0;
  };
  std::vector<TBin> Bins;
};

enum class TDither : uint8_t { None, FloydSteinberg, Ordered };

// Gives each cell of a grid, row after row, a colour of a set; with dithering, an area's
// mix of colours comes near its own colour. Floyd-Steinberg passes each cell's error on to
// the cells right and below; ordered dithering mixes the nearest colour with the one that
// mixes with it nearest the cell's, in sixteenths, by the cell's place in a 4 x 4 Bayer
// matrix, so that a flat area's mean is the area's colour to within a sixteenth of their
// distance.
class TDitherer {
public:
  TDitherer(TNearest& nearest, TDither dither, size_t width);
  // The index in the set of each colour of the next row.
  void Row(const uint32_t* colours, uint8_t* indices) { Rows(&colours, indices, 1); }
  // The next n rows, the colours of each at rows[r], their indices one row after another,
  // or with `as` the value it gives each index.
  // Floyd-Steinberg works on up to Together of them side by side, each a few cells behind
  // the row above, whose errors it needs: one row alone waits at every cell for the cell
  // before, and the rows' waits overlap. The answers are those of one row at a time.
  void Rows(const uint32_t* const* rows, uint8_t* indices, size_t n, const uint8_t* as = nullptr);
  static constexpr size_t Together = 6;

private:
  TNearest& Nearest;
  TDither Dither;
  size_t Width, RowNo = 0;
  // Sixteenths of a channel step, four a cell (red, green, blue, none), one cell of margin
  // each side: the errors passed to the next row first, then those each row of a batch
  // passes on. No sum of them leaves 16 bits.
  std::array<std::vector<int16_t>, Together + 1> Errors;
  std::vector<int16_t> Channels; // of the set's colours, four each as the errors
  // Ordered: for each slot of TNearest's, the nearest colour + 1 and the one it mixes with
  // + 1 (bits 8 and up); 0 until asked.
  std::vector<uint32_t> Pairs;
  uint32_t PairOf(uint32_t colour);
  template <size_t N>
  void FloydSteinberg(const uint32_t* const* rows, uint8_t* indices, const uint8_t* as);
};

} // namespace quillane
