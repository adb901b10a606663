#include "data/PackedGrid.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "app/Simd.h"

namespace quillane {

namespace {

// The first of d[from, n) that is not `v`, else n: eight cells at a time where the build can.
size_t SameUntil(const uint8_t* d, size_t from, size_t n, uint8_t v) {
  size_t i = from;
  if constexpr (WordsOfBytes) {
    const uint64_t each = uint64_t{v} * 0x0101010101010101u;
    for (; i + 8 <= n; i += 8) {
      uint64_t w;
      std::memcpy(&w, d + i, 8);
      if (const uint64_t differ = w ^ each; differ != 0)
        return i + static_cast<size_t>(std::countr_zero(differ)) / 8;
    }
  }
  while (i < n && d[i] == v)
    ++i;
  return i;
}

} // namespace

// Runs pay while they take a small share of the cells' own bytes; the scan stops as soon as
// they would not, so a busy grid costs a short look before its copy.
bool TPackedGrid::Pack(const TGrid& grid) {
  NoControls = grid.Controls();
  NoPLines = grid.PLines();
  const uint8_t* d = grid.Data().data();
  const size_t n = grid.Data().size();
  const size_t most = n / 40 + 1;
  for (size_t i = 0; i < n;) {
    const size_t end = SameUntil(d, i + 1, n, d[i]);
    for (size_t at = i; at < end;) {
      const size_t length = std::min<size_t>(end - at, UINT32_MAX);
      Lengths.push_back(static_cast<uint32_t>(length));
      Values.push_back(d[i]);
      at += length;
    }
    if (Lengths.size() > most) {
      Lengths = {};
      Values = {};
      return false;
    }
    i = end;
  }
  return true;
}

TPackedGrid TPackedGrid::Of(const TGrid& grid) {
  TPackedGrid packed;
  if (!packed.Pack(grid))
    packed.Whole = grid;
  return packed;
}

TPackedGrid TPackedGrid::Taking(TGrid& grid) {
  TPackedGrid packed;
  if (!packed.Pack(grid))
    packed.Whole = std::move(grid);
  return packed;
}

size_t TPackedGrid::Bytes() const {
  return Whole.Data().size() + Lengths.size() * sizeof(uint32_t) + Values.size();
}

void TPackedGrid::PutInto(TGrid& grid) {
  if (Lengths.empty()) {
    grid = std::move(Whole);
  } else {
    grid.Resize(NoControls, NoPLines); // in place when the size is the same
    uint8_t* to = grid.Data().data();
    for (size_t r = 0; r < Lengths.size(); ++r) {
      std::memset(to, Values[r], Lengths[r]);
      to += Lengths[r];
    }
  }
  *this = TPackedGrid();
}

void TPackedGrid::TReader::Read(size_t at, size_t n, uint8_t* to) {
  const TPackedGrid& p = Packed;
  if (p.Lengths.empty()) {
    std::memcpy(to, p.Whole.Data().data() + at, n);
    return;
  }
  while (n > 0) {
    while (RunStart + p.Lengths[Run] <= at)
      RunStart += p.Lengths[Run++];
    const size_t take = std::min(n, RunStart + p.Lengths[Run] - at);
    std::memset(to, p.Values[Run], take);
    to += take;
    at += take;
    n -= take;
  }
}

const uint8_t* TPackedGrid::TReader::Cells(size_t at, size_t n, uint8_t* scratch) {
  if (Packed.Lengths.empty())
    return Packed.Whole.Data().data() + at;
  Read(at, n, scratch);
  return scratch;
}

} // namespace quillane
