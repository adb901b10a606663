#include "editors/DrawTools.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

#include "app/CellBits.h"
#include "app/Simd.h"
#include "elements/Bitmap.h"

namespace quillane {

namespace {

// Columns c0..c1 of row r, the part inside the picture.
void AddClipped(TPixelRuns& runs, int64_t r, int64_t c0, int64_t c1, int width, int height) {
  c0 = std::max<int64_t>(c0, 0);
  c1 = std::min<int64_t>(c1, int64_t{width} - 1);
  if (r >= 0 && r < height && c0 <= c1)
    runs.push_back({static_cast<int>(r), static_cast<int>(c0), static_cast<int>(c1)});
}

// The first of row[from, to) that is `colour` (`is`) or is not (`!is`), else `to`. A fill of a
// large plain area reads every pixel of it and the rows beside its runs through here, so four
// at a time where the build can.
int FirstWhere(const uint32_t* row, int from, int to, uint32_t colour, bool is) {
  int c = from;
#if defined(QUILLANE_SSE2)
  const __m128i each = _mm_set1_epi32(static_cast<int>(colour));
  auto same = [&](int at) {
    return _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + at)), each);
  };
  // Sixteen at a time over a long run (a carpet's plain rows), then four to find the one.
  for (; c + 16 <= to; c += 16) {
    const __m128i a = same(c), b = same(c + 4), d = same(c + 8), e = same(c + 12);
    const int all = is ? _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(d, e)))
                       : _mm_movemask_epi8(_mm_and_si128(_mm_and_si128(a, b), _mm_and_si128(d, e)));
    if (all != (is ? 0 : 0xFFFF))
      break;
  }
  for (; c + 4 <= to; c += 4) {
    const int mask = _mm_movemask_epi8(same(c));
    if (const int hits = is ? mask : ~mask & 0xFFFF; hits != 0)
      return c + std::countr_zero(static_cast<unsigned>(hits)) / 4;
  }
#endif
  while (c < to && (row[c] == colour) != is)
    ++c;
  return c;
}

} // namespace

std::vector<TCell> LineCells(TCell from, TCell to) {
  // Wide enough that no error term overflows, whatever the ends.
  const int64_t dx = std::llabs(int64_t{to.C} - from.C), dy = -std::llabs(int64_t{to.R} - from.R);
  const int sx = from.C < to.C ? 1 : -1, sy = from.R < to.R ? 1 : -1;
  std::vector<TCell> cells;
  cells.reserve(static_cast<size_t>(std::max(dx, -dy)) + 1);
  int64_t error = dx + dy;
  for (TCell at = from;;) {
    cells.push_back(at);
    if (at == to)
      break;
    const int64_t twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      at.C += sx;
    }
    if (twice <= dx) {
      error += dx;
      at.R += sy;
    }
  }
  return cells;
}

TCell Straightened(TCell from, TCell to) {
  const int64_t dx = int64_t{to.C} - from.C, dy = int64_t{to.R} - from.R;
  const int64_t ax = std::llabs(dx), ay = std::llabs(dy);
  // Split at 22.5 degrees either side of each axis (29/70 is near enough its tangent).
  if (70 * ay < 29 * ax)
    return {to.C, from.R};
  if (70 * ax < 29 * ay)
    return {from.C, to.R};
  const int64_t d = std::max(ax, ay);
  return {static_cast<int>(from.C + (dx < 0 ? -d : d)),
          static_cast<int>(from.R + (dy < 0 ? -d : d))};
}

TPixelRuns Brushed(const std::vector<TCell>& path, int brush, int width, int height) {
  const int lo = -(std::max(brush, 1) - 1) / 2, hi = std::max(brush, 1) / 2;
  TPixelRuns runs;
  for (const TCell& cell : path)
    for (int64_t r = int64_t{cell.R} + lo; r <= int64_t{cell.R} + hi; ++r)
      AddClipped(runs, r, int64_t{cell.C} + lo, int64_t{cell.C} + hi, width, height);
  return Merged(std::move(runs));
}

TPixelRuns RectanglePixels(TCell a, TCell b, bool filled, int width, int height) {
  const int64_t c0 = std::min(a.C, b.C), c1 = std::max(a.C, b.C);
  const int64_t r0 = std::max<int64_t>(std::min(a.R, b.R), 0);
  const int64_t r1 = std::min<int64_t>(std::max(a.R, b.R), int64_t{height} - 1);
  TPixelRuns runs;
  for (int64_t r = r0; r <= r1; ++r) {
    if (filled || r == std::min(a.R, b.R) || r == std::max(a.R, b.R)) {
      AddClipped(runs, r, c0, c1, width, height);
    } else {
      AddClipped(runs, r, c0, c0, width, height);
      if (c1 != c0)
        AddClipped(runs, r, c1, c1, width, height);
    }
  }
  return runs;
}

TPixelRuns FillPixels(const OBitmap24& image, TCell at, bool everywhere,
                      const std::function<bool()>& goOn) {
  const int w = image.Width(), h = image.Height();
  if (!image.Contains(at.C, at.R))
    return {};
  const uint32_t colour = image.GetPixel(at.C, at.R);
  TPixelRuns runs;
  if (everywhere) {
    for (int r = 0; r < h; ++r) {
      if (goOn && (r & 1023) == 0 && !goOn())
        return {};
      const uint32_t* row = image.Row(r);
      for (int c = 0; c < w; ++c) {
        if ((c = FirstWhere(row, c, w, colour, true)) == w)
          break;
        const int c0 = c;
        c = FirstWhere(row, c + 1, w, colour, false) - 1;
        runs.push_back({r, c0, c});
      }
    }
    return runs;
  }
  // A row's run of the colour is taken whole, so one pixel tells whether a run is taken;
  // each run taken seeds the runs it touches above and below.
  TCellBits taken(static_cast<size_t>(w) * static_cast<size_t>(h));
  auto index = [w](int r, int c) {
    return static_cast<size_t>(r) * static_cast<size_t>(w) + static_cast<size_t>(c);
  };
  // A pixel of a run not taken yet, and the last pixel of the colour seen from it on.
  struct TSeed {
    int C, R, End;
  };
  std::vector<TSeed> seeds{{at.C, at.R, at.C}};
  int top = at.R, bottom = at.R;
  for (size_t asked = 0; !seeds.empty(); ++asked) {
    if (goOn && (asked & 4095) == 4095 && !goOn())
      return {};
    const TSeed seed = seeds.back();
    seeds.pop_back();
    if (taken.Test(index(seed.R, seed.C)))
      continue;
    const uint32_t* row = image.Row(seed.R);
    int c0 = seed.C, c1 = seed.End;
    while (c0 > 0 && row[c0 - 1] == colour)
      --c0;
    c1 = FirstWhere(row, c1 + 1, w, colour, false) - 1;
    taken.Set(index(seed.R, c0), static_cast<size_t>(c1 - c0 + 1));
    top = std::min(top, seed.R), bottom = std::max(bottom, seed.R);
    for (const int r : {seed.R - 1, seed.R + 1}) {
      if (r < 0 || r >= h)
        continue;
      const uint32_t* next = image.Row(r);
      for (int c = c0; c <= c1; ++c) {
        if ((c = FirstWhere(next, c, c1 + 1, colour, true)) > c1)
          break;
        if (!taken.Test(index(r, c))) {
          const int start = c;
          c = FirstWhere(next, c + 1, c1 + 1, colour, false) - 1;
          seeds.push_back({start, r, c});
          continue;
        }
        // A run taken already ends where its marks do, found a word at a time.
        c = static_cast<int>(taken.Next(index(r, c), index(r, c1) + 1, false) - index(r, 0)) - 1;
      }
    }
  }
  // The marks give the runs in order, joined, without sorting a large fill's million runs.
  for (int r = top; r <= bottom; ++r) {
    const size_t start = index(r, 0), end = start + static_cast<size_t>(w);
    for (size_t i = taken.Next(start, end, true); i < end;) {
      const size_t stop = taken.Next(i, end, false);
      runs.push_back({r, static_cast<int>(i - start), static_cast<int>(stop - 1 - start)});
      i = taken.Next(stop, end, true);
    }
  }
  return runs;
}

} // namespace quillane
