#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/LargeBuffer.h"

namespace quillane {

// A table of bytes over Rank dimensions, each indexed from 0 to its count, in one contiguous
// block with the last dimension fastest. Pattern cells may hold values above the current
// counts (a colour 12 after the palette shrank to 8), so a read outside the table answers 0
// and a write outside it is ignored.
template <size_t Rank> class TByteTable {
public:
  using TIndex = std::array<int, Rank>;

  // Gives every dimension count + 1 entries, keeping the entries that exist before and
  // after; new entries are 0.
  void Resize(const TIndex& counts) {
    std::array<size_t, Rank> extent{};
    for (size_t d = 0; d < Rank; ++d)
      extent[d] = counts[d] < 0 ? 0 : static_cast<size_t>(counts[d]) + 1;
    if (extent == Extent)
      return;
    TBytes cells(Product(extent), 0);
    std::array<size_t, Rank> overlap{};
    for (size_t d = 0; d < Rank; ++d)
      overlap[d] = Extent[d] < extent[d] ? Extent[d] : extent[d];
    if (Product(overlap) > 0) {
      // Copy row by row along the last dimension; the other indices count like an odometer.
      const size_t rows = Product(overlap) / overlap[Rank - 1];
      std::array<size_t, Rank> i{};
      for (size_t row = 0; row < rows; ++row) {
        std::memcpy(cells.data() + Flat(i, extent), Cells.data() + Flat(i, Extent),
                    overlap[Rank - 1]);
        for (size_t d = Rank - 1; d-- > 0;) {
          if (++i[d] < overlap[d])
            break;
          i[d] = 0;
        }
      }
    }
    Cells.swap(cells);
    Extent = extent;
  }

  // No entries at all, not even index 0.
  void Clear() {
    Cells.clear();
    Cells.shrink_to_fit();
    Extent = {};
  }

  void Fill(uint8_t value) { std::fill(Cells.begin(), Cells.end(), value); }

  bool Contains(const TIndex& i) const {
    for (size_t d = 0; d < Rank; ++d)
      if (i[d] < 0 || static_cast<size_t>(i[d]) >= Extent[d])
        return false;
    return true;
  }
  uint8_t Get(const TIndex& i) const { return Contains(i) ? Cells[Flat(i)] : 0; }
  void Set(const TIndex& i, uint8_t value) {
    if (Contains(i))
      Cells[Flat(i)] = value;
  }

  size_t Size() const { return Cells.size(); }

private:
  std::array<size_t, Rank> Extent{};
  TBytes Cells;

  static size_t Product(const std::array<size_t, Rank>& extent) {
    size_t n = 1;
    for (size_t e : extent)
      n *= e;
    return n;
  }
  template <class TIdx> static size_t Flat(const TIdx& i, const std::array<size_t, Rank>& extent) {
    size_t offset = 0;
    for (size_t d = 0; d < Rank; ++d)
      offset = offset * extent[d] + static_cast<size_t>(i[d]);
    return offset;
  }
  size_t Flat(const TIndex& i) const { return Flat(i, Extent); }
};

} // namespace quillane
