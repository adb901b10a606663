// Drawing a PLine of colours into the regions of a picture that show it.
#include "model/PaintBatch.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/Simd.h"
#include "data/Mapping.h"
#include "elements/Picture.h"

namespace quillane {

namespace {

// Narrows [lo, hi] to the k for which a + d * (k - first) lies in [0, n).
void KeepInside(int64_t& lo, int64_t& hi, int64_t first, int64_t a, int64_t d, int64_t n) {
  auto floorDiv = [](int64_t x, int64_t y) {
    return x / y - ((x % y != 0) && ((x < 0) != (y < 0)));
  };
  if (d == 0) {
    if (a < 0 || a >= n)
      hi = lo - 1;
    return;
  }
  // a + d * j >= 0 and <= n - 1, for j = k - first.
  const int64_t j0 = d > 0 ? -floorDiv(a, d) : -floorDiv(n - 1 - a, -d);
  const int64_t j1 = d > 0 ? floorDiv(n - 1 - a, d) : floorDiv(a, -d);
  lo = std::max(lo, first + j0);
  hi = std::min(hi, first + j1);
}

// Draws `drawn[i]` onto the pixel `step` after the previous one's where mask[i] is all ones,
// keeping the pixel where it is 0; without a mask, everywhere. Left to right; four pixels
// at a time along a row.
void DrawMasked(const uint32_t* drawn, const uint32_t* mask, size_t n, uint32_t* pixel,
                int64_t step) {
  size_t i = 0;
  // A row drawn whole is a copy: the processor then writes the pixels without reading them
  // first, and a whole-pattern import draws over a hundred million.
  if (!mask) {
    if (step == 1)
      std::memcpy(pixel, drawn, n * sizeof(uint32_t));
    else
      for (; i < n; ++i, pixel += step)
        *pixel = drawn[i];
    return;
  }
#if defined(QUILLANE_SSE2)
  if (step == 1)
    for (; i + 4 <= n; i += 4) {
      auto load = [](const uint32_t* from) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
      };
      const __m128i m = load(mask + i);
      _mm_storeu_si128(
          reinterpret_cast<__m128i*>(pixel + i),
          _mm_or_si128(_mm_and_si128(m, load(drawn + i)), _mm_andnot_si128(m, load(pixel + i))));
    }
#endif
  for (pixel += static_cast<int64_t>(i) * step; i < n; ++i, pixel += step)
    *pixel = (drawn[i] & mask[i]) | (*pixel & ~mask[i]);
}

} // namespace

std::vector<TShownImage> ShownMachineImages(const OPictureList& pictures, int noControls,
                                            int noPLines) {
  std::vector<TShownImage> shown;
  for (const auto& picture : pictures)
    if (picture->MachineImage.Width() > 0 && picture->MachineImage.Height() > 0)
      shown.push_back({picture.get(), ShownAreas(*picture, noControls, noPLines)});
  return shown;
}

std::vector<TShownArea> ShownAreas(const OPicture& picture, int noControls, int noPLines) {
  std::vector<TShownArea> shown;
  for (const auto& region : picture.Regions) {
    const ORegion& r = *region;
    auto map = [&](int64_t c, int64_t p) {
      return MapUnchecked(r.PatternArea, r.PictureArea, r.HFlip, r.VFlip, r.Rotation, c, p);
    };
    const TPoint64 origin = map(0, 0), stepC = map(1, 0), stepP = map(0, 1);
    shown.push_back({std::max<int64_t>(r.PatternArea.Left, 1),
                     std::min<int64_t>(r.PatternArea.Right, noControls),
                     std::max<int64_t>(r.PatternArea.Top, 1),
                     std::min<int64_t>(r.PatternArea.Bottom, noPLines), origin, stepC.X - origin.X,
                     stepC.Y - origin.Y, stepP.X - origin.X, stepP.Y - origin.Y});
  }
  return shown;
}

namespace {
// Where cells `first` to `last` of PLine `p` land in the image through the area: the first
// of them in the image, its pixel, how many follow it in the image and the step between
// their pixels. Count 0 where none does.
struct TShownSpan {
  int64_t First = 0;
  uint32_t* Pixel = nullptr;
  size_t Count = 0;
  int64_t Step = 0;
};

TShownSpan SpanOf(const TShownArea& area, int64_t p, int64_t first, int64_t last,
                  OBitmap24& image) {
  if (p < area.P0 || p > area.P1)
    return {};
  int64_t lo = std::max(first, area.C0), hi = std::min(last, area.C1);
  if (lo > hi)
    return {};
  const int64_t w = image.Width(), h = image.Height(), start = lo;
  const int64_t x0 = area.Origin.X + area.DxC * lo + area.DxP * p - 1;
  const int64_t y0 = area.Origin.Y + area.DyC * lo + area.DyP * p - 1;
  KeepInside(lo, hi, start, x0, area.DxC, w);
  KeepInside(lo, hi, start, y0, area.DyC, h);
  if (lo > hi)
    return {};
  return {lo, image.Row(0) + ((y0 + area.DyC * (lo - start)) * w + x0 + area.DxC * (lo - start)),
          static_cast<size_t>(hi - lo + 1), area.DyC * w + area.DxC};
}
} // namespace

TRect ShownPixels(const TShownArea& area, const TRect& cells, const OBitmap24& image) {
  const int64_t c0 = std::max<int64_t>(cells.Left, area.C0),
                c1 = std::min<int64_t>(cells.Right, area.C1);
  const int64_t p0 = std::max<int64_t>(cells.Top, area.P0),
                p1 = std::min<int64_t>(cells.Bottom, area.P1);
  if (c0 > c1 || p0 > p1)
    return {0, 0, -1, -1};
  int64_t x0 = INT64_MAX, x1 = INT64_MIN, y0 = INT64_MAX, y1 = INT64_MIN;
  for (const int64_t c : {c0, c1})
    for (const int64_t p : {p0, p1}) {
      const int64_t x = area.Origin.X + area.DxC * c + area.DxP * p - 1;
      const int64_t y = area.Origin.Y + area.DyC * c + area.DyP * p - 1;
      x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
  return {static_cast<int32_t>(std::max<int64_t>(x0, 0)),
          static_cast<int32_t>(std::max<int64_t>(y0, 0)),
          static_cast<int32_t>(std::min<int64_t>(x1, image.Width() - 1)),
          static_cast<int32_t>(std::min<int64_t>(y1, image.Height() - 1))};
}

void DrawShown(const TShownArea& area, int64_t p, int64_t first, int64_t last,
               const uint32_t* drawn, const uint32_t* mask, OBitmap24& image) {
  const TShownSpan span = SpanOf(area, p, first, last, image);
  if (span.Count > 0)
    DrawMasked(drawn + (span.First - first), mask ? mask + (span.First - first) : nullptr,
               span.Count, span.Pixel, span.Step);
}

} // namespace quillane
