#pragma once

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
  int Find(uint32_t colour);
  // Colours near each other share one answer: a dithered colour is only a step in a sum,
  // and answering each exactly would weigh every one of millions of them.
  int FindNear(uint32_t colour) { return Find((colour & 0xFCFCFCu) | 0x020202u); }
  const std::vector<uint32_t>& Colours() const { return Set; }

private:
  std::vector<uint32_t> Set;
  std::vector<TLab> Labs;
  TZeroedBytes Known; // index + 1 of each colour asked for, by its value
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
// the cells right and below; ordered dithering shifts each cell by its place in a 4 x 4
// Bayer matrix, as far as the set's colours lie apart.
class TDitherer {
public:
  TDitherer(TNearest& nearest, TDither dither, size_t width);
  // The index in the set of each colour of the next row.
  void Row(const uint32_t* colours, uint8_t* indices);

private:
  TNearest& Nearest;
  TDither Dither;
  size_t Width, RowNo = 0;
  std::vector<float> Error, NextError; // three channels a cell, one cell of margin each side
  float Spread = 0;
};

} // namespace quillane
