#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quillane {

// Whole-row byte passes written so that the compiler vectorises them (fixed runs of 16,
// then the rest one by one), on rows that do not overlap. Kept out of line: inlined into a
// caller, the promise that the rows do not overlap is lost and so is the vectorising.

// to[i] = from[i] where from[i] <= highest; the rest of `to` is kept.
void TakeUpTo(const uint8_t* __restrict from, uint8_t* __restrict to, size_t n, uint8_t highest);

// to[i] = (bit[i] & 1 ? one : zero), where that is not 0; the rest of `to` is kept.
void TakeByBit(const uint8_t* __restrict bit, uint8_t* __restrict to, size_t n, uint8_t zero,
               uint8_t one);

// Where take[i] has bit 2: states[i] = want[i]; where it has bit 1: colours[i] = v.
void WriteTaken(const uint8_t* __restrict take, const uint8_t* __restrict want,
                uint8_t* __restrict states, uint8_t* __restrict colours, size_t n, uint8_t v);
// Whether WriteTaken would change a byte.
bool TakenDiffers(const uint8_t* __restrict take, const uint8_t* __restrict want,
                  const uint8_t* __restrict states, const uint8_t* __restrict colours, size_t n,
                  uint8_t v);

// Eight bytes read as one little-endian word, a byte at a time: 1 in each byte that is not
// 0, and a word of bytes 0 or 1 gathered into 8 bits, byte i to bit i.
inline uint64_t NonZeroBytes(uint64_t eight) {
  constexpr uint64_t Low7 = 0x7F7F7F7F7F7F7F7Fu;
  return ((((eight & Low7) + Low7) | eight) & ~Low7) >> 7;
}
inline uint8_t GatherBytes(uint64_t ones) {
  return static_cast<uint8_t>((ones * 0x0102040810204080u) >> 56);
}

// Questions asked of a whole row, sixteen bytes at a time where the machine can.
struct TByteRange {
  uint8_t Lo, Hi;
};
// The smallest and the largest of n > 0 bytes.
TByteRange RangeOf(const uint8_t* bytes, size_t n);
// Whether any of n bytes equals one of `values` (best with a few values).
bool AnyOf(const uint8_t* bytes, size_t n, std::span<const uint8_t> values);

} // namespace quillane
