#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "data/Grid.h"

namespace quillane {

// A grid as the undo history keeps it: as runs of one value where it has few of them (a
// plain ground, an area filled with one colour), else as a grid. A whole-grid change of a
// plain pattern then costs a few bytes and no fresh memory, where a copy of each grid
// would take as long to fault in as the change itself.
class TPackedGrid {
public:
  TPackedGrid() = default;
  // The grid's runs when they are few, else a copy of it.
  static TPackedGrid Of(const TGrid& grid);
  // The same, but the grid itself is moved in rather than copied: it is left empty then.
  static TPackedGrid Taking(TGrid& grid);

  int Controls() const { return NoControls; }
  int PLines() const { return NoPLines; }
  size_t Bytes() const;
  // Makes `grid` the grid held, at its size; this one is left empty.
  void PutInto(TGrid& grid);

  // Reads cells [at, at + n) by their grid index, `at` never going back between reads.
  class TReader {
  public:
    explicit TReader(const TPackedGrid& packed) : Packed(packed) {}
    void Read(size_t at, size_t n, uint8_t* to);
    // The same cells where they lie, or read into `scratch` (n bytes) when they are runs.
    const uint8_t* Cells(size_t at, size_t n, uint8_t* scratch);

  private:
    const TPackedGrid& Packed;
    size_t Run = 0, RunStart = 0;
  };

private:
  bool Pack(const TGrid& grid);
  int NoControls = 0, NoPLines = 0;
  TGrid Whole;                   // when not packed
  std::vector<uint32_t> Lengths; // the runs, one after another from cell index 0
  std::vector<uint8_t> Values;
};

} // namespace quillane
