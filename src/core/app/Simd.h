#pragma once

// Which of the fast paths this build uses. Each has a plain loop beside it that gives the
// same result; a build configured with QUILLANE_SIMD off (QUILLANE_PLAIN defined) runs only
// the plain loops, so that they are tested on every machine.
#include <bit>

#if defined(__SSE2__) && !defined(QUILLANE_PLAIN)
#define QUILLANE_SSE2 1
#include <emmintrin.h>
#endif

namespace quillane {

// Eight bytes at a time as one little-endian word (NonZeroBytes, GatherBytes).
#if defined(QUILLANE_PLAIN)
inline constexpr bool WordsOfBytes = false;
#else
inline constexpr bool WordsOfBytes = std::endian::native == std::endian::little;
#endif

} // namespace quillane
