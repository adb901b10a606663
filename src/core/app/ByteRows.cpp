#include "app/ByteRows.h"

namespace quillane {

void TakeUpTo(const uint8_t* __restrict from, uint8_t* __restrict to, size_t n, uint8_t highest) {
  size_t i = 0;
  for (; i + 16 <= n; i += 16)
    for (size_t k = i; k < i + 16; ++k)
      to[k] = from[k] <= highest ? from[k] : to[k];
  for (; i < n; ++i)
    to[i] = from[i] <= highest ? from[i] : to[i];
}

void TakeByBit(const uint8_t* __restrict bit, uint8_t* __restrict to, size_t n, uint8_t zero,
               uint8_t one) {
  size_t i = 0;
  for (; i + 16 <= n; i += 16)
    for (size_t k = i; k < i + 16; ++k) {
      const uint8_t v = bit[k] & 1 ? one : zero;
      to[k] = v != 0 ? v : to[k];
    }
  for (; i < n; ++i) {
    const uint8_t v = bit[i] & 1 ? one : zero;
    to[i] = v != 0 ? v : to[i];
  }
}

} // namespace quillane
