#pragma once

// A mask of cells or pixels, one bit each, laid out as a grid's bytes: a fill or a Delete
// over a production carpet touches an eighth of the fresh memory a byte each would, and
// fresh pages cost more to fault in than the work done on them.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillane {

class TCellBits {
public:
  TCellBits() = default;
  explicit TCellBits(size_t n) : Words((n + 63) / 64), N(n) {}
  size_t size() const { return N; }
  bool Test(size_t i) const { return (Words[i >> 6] >> (i & 63)) & 1; }
  void Set(size_t i) { Words[i >> 6] |= uint64_t{1} << (i & 63); }
  // Sets [i, i + n).
  void Set(size_t i, size_t n) {
    // A word's part at each end in one go: a fill marks a million short runs.
    if (n > 0 && (i & 63) != 0) {
      const size_t here = std::min(n, 64 - (i & 63));
      Words[i >> 6] |= (~uint64_t{0} >> (64 - here)) << (i & 63);
      i += here, n -= here;
    }
    for (; n >= 64; n -= 64, i += 64)
      Words[i >> 6] = ~uint64_t{0};
    if (n > 0)
      Words[i >> 6] |= ~uint64_t{0} >> (64 - n);
  }
  // The first of [i, end) that is set (`set`) or clear (`!set`), else `end`.
  size_t Next(size_t i, size_t end, bool set) const {
    while (i < end) {
      const uint64_t word = set ? Words[i >> 6] : ~Words[i >> 6];
      if (const uint64_t ahead = word >> (i & 63); ahead != 0)
        return std::min(end, i + static_cast<size_t>(std::countr_zero(ahead)));
      i = (i | 63) + 1;
    }
    return end;
  }

private:
  std::vector<uint64_t> Words;
  size_t N = 0;
};

} // namespace quillane
