#include "app/ByteRows.h"
#include "app/Simd.h"

#include <algorithm>

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

#if defined(QUILLANE_SSE2)
namespace {
// The masks of take's bit 1 (colour) and bit 2 (state) for sixteen bytes.
struct TTakeMasks {
  __m128i Colour, State;
};
TTakeMasks MasksOf(const uint8_t* take) {
  const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(take));
  const __m128i one = _mm_set1_epi8(1), two = _mm_set1_epi8(2);
  return {_mm_cmpeq_epi8(_mm_and_si128(t, one), one), _mm_cmpeq_epi8(_mm_and_si128(t, two), two)};
}
__m128i Load(const uint8_t* from) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
}
__m128i Blend(__m128i mask, __m128i taken, __m128i kept) {
  return _mm_or_si128(_mm_and_si128(mask, taken), _mm_andnot_si128(mask, kept));
}
} // namespace
#endif

void WriteTaken(const uint8_t* __restrict take, const uint8_t* __restrict want,
                uint8_t* __restrict states, uint8_t* __restrict colours, size_t n, uint8_t v) {
  size_t i = 0;
#if defined(QUILLANE_SSE2)
  const __m128i each = _mm_set1_epi8(static_cast<char>(v));
  for (; i + 16 <= n; i += 16) {
    const TTakeMasks m = MasksOf(take + i);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(states + i),
                     Blend(m.State, Load(want + i), Load(states + i)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(colours + i),
                     Blend(m.Colour, each, Load(colours + i)));
  }
#endif
  for (; i < n; ++i) {
    states[i] = (take[i] & 2) != 0 ? want[i] : states[i];
    colours[i] = (take[i] & 1) != 0 ? v : colours[i];
  }
}

bool TakenDiffers(const uint8_t* __restrict take, const uint8_t* __restrict want,
                  const uint8_t* __restrict states, const uint8_t* __restrict colours, size_t n,
                  uint8_t v) {
  size_t i = 0;
#if defined(QUILLANE_SSE2)
  const __m128i each = _mm_set1_epi8(static_cast<char>(v));
  for (; i + 16 <= n; i += 16) {
    const TTakeMasks m = MasksOf(take + i);
    const __m128i sameState = _mm_cmpeq_epi8(Load(states + i), Load(want + i));
    const __m128i sameColour = _mm_cmpeq_epi8(Load(colours + i), each);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_andnot_si128(sameState, m.State),
                                       _mm_andnot_si128(sameColour, m.Colour))) != 0)
      return true;
  }
#endif
  for (; i < n; ++i)
    if (((take[i] & 2) != 0 && states[i] != want[i]) || ((take[i] & 1) != 0 && colours[i] != v))
      return true;
  return false;
}

TByteRange RangeOf(const uint8_t* bytes, size_t n) {
  TByteRange r{bytes[0], bytes[0]};
  size_t i = 0;
#if defined(QUILLANE_SSE2)
  if (n >= 16) {
    __m128i lo = _mm_set1_epi8(-1), hi = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
      lo = _mm_min_epu8(lo, v);
      hi = _mm_max_epu8(hi, v);
    }
    // Folded in halves until the first byte holds the answer.
    lo = _mm_min_epu8(lo, _mm_srli_si128(lo, 8));
    hi = _mm_max_epu8(hi, _mm_srli_si128(hi, 8));
    lo = _mm_min_epu8(lo, _mm_srli_si128(lo, 4));
    hi = _mm_max_epu8(hi, _mm_srli_si128(hi, 4));
    lo = _mm_min_epu8(lo, _mm_srli_si128(lo, 2));
    hi = _mm_max_epu8(hi, _mm_srli_si128(hi, 2));
    lo = _mm_min_epu8(lo, _mm_srli_si128(lo, 1));
    hi = _mm_max_epu8(hi, _mm_srli_si128(hi, 1));
    r = {static_cast<uint8_t>(_mm_cvtsi128_si32(lo)), static_cast<uint8_t>(_mm_cvtsi128_si32(hi))};
  }
#endif
  for (; i < n; ++i) {
    r.Lo = std::min(r.Lo, bytes[i]);
    r.Hi = std::max(r.Hi, bytes[i]);
  }
  return r;
}

bool AnyOf(const uint8_t* bytes, size_t n, std::span<const uint8_t> values) {
  if (values.empty())
    return false;
  size_t i = 0;
  bool found = false;
#if defined(QUILLANE_SSE2)
  if (values.size() <= 4) {
    __m128i want[4]; // a short list repeats its last value
    for (size_t k = 0; k < 4; ++k)
      want[k] = _mm_set1_epi8(static_cast<char>(values[std::min(k, values.size() - 1)]));
    __m128i hits = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
      hits = _mm_or_si128(
          hits, _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, want[0]), _mm_cmpeq_epi8(v, want[1])),
                             _mm_or_si128(_mm_cmpeq_epi8(v, want[2]), _mm_cmpeq_epi8(v, want[3]))));
    }
    found = _mm_movemask_epi8(hits) != 0;
  }
#endif
  for (; i < n && !found; ++i)
    found = std::find(values.begin(), values.end(), bytes[i]) != values.end();
  return found;
}

} // namespace quillane
