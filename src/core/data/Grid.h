#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/LargeBuffer.h"

namespace quillane {

// One cell grid of a pattern: a contiguous byte block, PLine-major, so a PLine lies in
// memory as it lies in the files and the images. Cell (C, P) is at P * (NoControls + 1) + C;
// row and column 0 exist and stay 0.
class TGrid {
public:
  int Controls() const { return NoControls; }
  int PLines() const { return NoPLines; }
  size_t Stride() const { return static_cast<size_t>(NoControls) + 1; }

  // Keeps every cell that exists before and after; new cells are 0.
  void Resize(int noControls, int noPLines);
  void Fill(uint8_t value);

  bool Contains(int c, int p) const { return c >= 1 && c <= NoControls && p >= 1 && p <= NoPLines; }
  // Outside the grid a read gives 0 and a write does nothing: areas read from files may
  // reach past the pattern.
  uint8_t Get(int c, int p) const { return Contains(c, p) ? Cells[Index(c, p)] : 0; }
  void Set(int c, int p, uint8_t v) {
    if (Contains(c, p))
      Cells[Index(c, p)] = v;
  }
  // Unchecked access for whole-grid passes.
  uint8_t* Row(int p) { return Cells.data() + static_cast<size_t>(p) * Stride(); }
  const uint8_t* Row(int p) const { return Cells.data() + static_cast<size_t>(p) * Stride(); }
  size_t Index(int c, int p) const {
    return static_cast<size_t>(p) * Stride() + static_cast<size_t>(c);
  }

  TZeroedBytes& Data() { return Cells; }
  const TZeroedBytes& Data() const { return Cells; }

private:
  int NoControls = 0;
  int NoPLines = 0;
  TZeroedBytes Cells;
};

} // namespace quillane
