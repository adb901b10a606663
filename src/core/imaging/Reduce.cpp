#include "imaging/Reduce.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>

#include "app/Simd.h"

namespace quillane {

TNearest::TNearest(std::vector<uint32_t> colours) : Set(std::move(colours)) {
  if (Set.size() > 255)
    Set.resize(255);
  for (const uint32_t c : Set)
    Labs.push_back(LabOf(c));
  Near.assign(size_t{1} << 15, 0);
}

uint8_t TNearest::Search(uint32_t colour) const {
  const TLab lab = LabOf(colour);
  // Most colours of the set lie too far in lightness alone to be nearest: the distance is
  // at least the lightness term, so those are passed over once a near one is known, the
  // nearest in plain Lab distance. The margin keeps rounding from passing over a colour as
  // near as the best.
  auto plain = [&lab](const TLab& other) {
    const double l = other.L - lab.L, a = other.A - lab.A, b = other.B - lab.B;
    return l * l + a * a + b * b;
  };
  size_t first = 0;
  for (size_t i = 1; i < Labs.size(); ++i)
    if (plain(Labs[i]) < plain(Labs[first]))
      first = i;
  double best = DeltaE2000(lab, Labs[first]);
  size_t found = first;
  for (size_t i = 0; i < Labs.size(); ++i) {
    if (i == first || LightnessTerm(lab, Labs[i]) * (1 - 1e-9) > best)
      continue;
    // The first of equals.
    if (const double d = DeltaE2000(lab, Labs[i]); d < best || (d == best && i < found)) {
      best = d;
      found = i;
    }
  }
  return static_cast<uint8_t>(found + 1);
}

uint8_t TNearest::FillNear(size_t slot) {
  // The middle colour of the slot's 8 x 8 x 8 steps.
  const uint32_t colour = static_cast<uint32_t>((slot & 0x1F) << 3 | (slot >> 5 & 0x1F) << 11 |
                                                (slot >> 10 & 0x1F) << 19) |
                          0x040404u;
  return Near[slot] = Search(colour);
}

namespace {
size_t BinOf(uint32_t c) {
  return (c >> 3 & 0x1F) | (c >> 11 & 0x1F) << 5 | (c >> 19 & 0x1F) << 10;
}
} // namespace

TMedianCut::TMedianCut() : Bins(size_t{1} << 15) {}

void TMedianCut::Add(const uint32_t* colours, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const uint32_t c = colours[i];
    TBin& bin = Bins[BinOf(c)];
    ++bin.Count;
    bin.Red += c & 0xFF;
    bin.Green += c >> 8 & 0xFF;
    bin.Blue += c >> 16 & 0xFF;
  }
}

std::vector<uint32_t> TMedianCut::Cut(int n) const {
  struct TItem {
    std::array<double, 3> Lab;
    const TBin* Bin;
  };
  auto mean = [](uint64_t sum, uint64_t count) {
    return static_cast<int>((sum + count / 2) / count);
  };
  std::vector<TItem> items;
  for (const TBin& bin : Bins)
    if (bin.Count > 0) {
      const TLab lab = LabOf(
          RGBOf(mean(bin.Red, bin.Count), mean(bin.Green, bin.Count), mean(bin.Blue, bin.Count)));
      items.push_back({{lab.L, lab.A, lab.B}, &bin});
    }
  struct TBox {
    size_t From, To; // items [From, To)
  };
  auto longest = [&](const TBox& box, int& axis) {
    double length = -1;
    for (int k = 0; k < 3; ++k) {
      double lo = std::numeric_limits<double>::infinity(), hi = -lo;
      for (size_t i = box.From; i < box.To; ++i) {
        lo = std::min(lo, items[i].Lab[static_cast<size_t>(k)]);
        hi = std::max(hi, items[i].Lab[static_cast<size_t>(k)]);
      }
      if (hi - lo > length) {
        length = hi - lo;
        axis = k;
      }
    }
    return length;
  };
  std::vector<TBox> boxes;
  if (!items.empty())
    boxes.push_back({0, items.size()});
  while (static_cast<int>(boxes.size()) < n) {
    size_t pick = boxes.size();
    int axis = 0;
    double widest = -1;
    for (size_t b = 0; b < boxes.size(); ++b) {
      int a = 0;
      const double length = boxes[b].To - boxes[b].From > 1 ? longest(boxes[b], a) : -1;
      if (length > widest) {
        widest = length;
        pick = b;
        axis = a;
      }
    }
    if (pick == boxes.size())
      break; // every box holds one colour
    const TBox box = boxes[pick];
    // Stable, so equal coordinates keep the bins' order and the cut is always the same.
    std::stable_sort(items.begin() + static_cast<std::ptrdiff_t>(box.From),
                     items.begin() + static_cast<std::ptrdiff_t>(box.To),
                     [axis](const TItem& x, const TItem& y) {
                       return x.Lab[static_cast<size_t>(axis)] < y.Lab[static_cast<size_t>(axis)];
                     });
    uint64_t total = 0, below = 0;
    for (size_t i = box.From; i < box.To; ++i)
      total += items[i].Bin->Count;
    size_t cut = box.From + 1;
    for (size_t i = box.From; i + 1 < box.To; ++i) {
      below += items[i].Bin->Count;
      cut = i + 1;
      if (2 * below >= total)
        break;
    }
    boxes[pick] = {box.From, cut};
    boxes.push_back({cut, box.To});
  }
  std::vector<uint32_t> colours;
  for (const TBox& box : boxes) {
    uint64_t count = 0, red = 0, green = 0, blue = 0;
    for (size_t i = box.From; i < box.To; ++i) {
      count += items[i].Bin->Count;
      red += items[i].Bin->Red;
      green += items[i].Bin->Green;
      blue += items[i].Bin->Blue;
    }
    const uint32_t c = RGBOf(mean(red, count), mean(green, count), mean(blue, count));
    if (std::find(colours.begin(), colours.end(), c) == colours.end())
      colours.push_back(c);
  }
  return colours;
}

TDitherer::TDitherer(TNearest& nearest, TDither dither, size_t width)
    : Nearest(nearest), Dither(dither), Width(width) {
  if (Dither == TDither::FloydSteinberg) {
    for (auto& errors : Errors)
      errors.assign(4 * (Width + 2), 0);
    for (const uint32_t c : Nearest.Colours())
      Channels.insert(Channels.end(),
                      {static_cast<int16_t>(RedOf(c)), static_cast<int16_t>(GreenOf(c)),
                       static_cast<int16_t>(BlueOf(c)), 0});
  }
  if (Dither == TDither::Ordered)
    Pairs.assign(size_t{1} << 15, 0);
}

uint32_t TDitherer::PairOf(uint32_t colour) {
  const int red = RedOf(colour), green = GreenOf(colour), blue = BlueOf(colour);
  uint32_t& pair = Pairs[TNearest::NearSlot(red, green, blue)];
  if (pair != 0)
    return pair;
  const auto& set = Nearest.Colours();
  const int a = Nearest.FindNear(colour);
  // The colour that mixes with the nearest one closest to the slot's middle: the cells of
  // the slot then lie between the two, where a share of each gives their colour.
  const double mid[3] = {(red & ~7) + 4.0, (green & ~7) + 4.0, (blue & ~7) + 4.0};
  const double from[3] = {static_cast<double>(RedOf(set[static_cast<size_t>(a)])),
                          static_cast<double>(GreenOf(set[static_cast<size_t>(a)])),
                          static_cast<double>(BlueOf(set[static_cast<size_t>(a)]))};
  double best = 0;
  for (int k = 0; k < 3; ++k)
    best += (mid[k] - from[k]) * (mid[k] - from[k]);
  int b = a;
  for (size_t i = 0; i < set.size(); ++i) {
    const double d[3] = {RedOf(set[i]) - from[0], GreenOf(set[i]) - from[1],
                         BlueOf(set[i]) - from[2]};
    const double dd = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    if (dd == 0)
      continue;
    double t = 0;
    for (int k = 0; k < 3; ++k)
      t += (mid[k] - from[k]) * d[k];
    t = std::clamp(t / dd, 0.0, 1.0);
    double error = 0;
    for (int k = 0; k < 3; ++k)
      error += (mid[k] - from[k] - t * d[k]) * (mid[k] - from[k] - t * d[k]);
    if (error < best) {
      best = error;
      b = static_cast<int>(i);
    }
  }
  return pair = static_cast<uint32_t>(a + 1) | static_cast<uint32_t>(b + 1) << 8;
}

template <size_t N>
void TDitherer::FloydSteinberg(const uint32_t* const* rows, uint8_t* indices, const uint8_t* as) {
  RowNo += N;
  if (Channels.empty()) {
    std::fill(indices, indices + N * Width, as ? as[0] : uint8_t{0});
    return;
  }
  static constexpr std::array<uint8_t, 256> same = [] {
    std::array<uint8_t, 256> a{};
    for (size_t i = 0; i < a.size(); ++i)
      a[i] = static_cast<uint8_t>(i);
    return a;
  }();
  if (!as)
    as = same.data();
  // Each cell's error goes 7/16 right, 3/16 below left, 5/16 below, 1/16 below right. A
  // row keeps the error of its last cell and what the row below has gathered so far; the
  // error of a colour out of the cube's reach is not passed on, as it would pile up.
  const int16_t* have = Channels.data();
  const uint8_t* near = Nearest.NearTable();
  const size_t width = Width;
#if defined(QUILLANE_SSE2)
  // The three channels side by side in one register.
  struct TLine {
    const uint32_t* Colours;
    const int16_t* Above;
    int16_t* Below;
    uint8_t* Out;
    __m128i Last, Gathered;
  };
  const __m128i zero = _mm_setzero_si128(), eight = _mm_set1_epi16(8), top = _mm_set1_epi16(255),
                weights = _mm_setr_epi16(1, 32, 1024, 0, 0, 0, 0, 0);
  auto cell = [&](TLine& l, size_t i) {
    const __m128i colour =
        _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(l.Colours[i])), zero);
    const __m128i above = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(l.Above + 4 * i));
    const __m128i right = _mm_sub_epi16(_mm_slli_epi16(l.Last, 3), l.Last);
    const __m128i want = _mm_min_epi16(
        _mm_max_epi16(
            _mm_add_epi16(colour,
                          _mm_srai_epi16(_mm_add_epi16(_mm_add_epi16(above, right), eight), 4)),
            zero),
        top);
    // The slot as FindNear's: the channels' top five bits, red lowest.
    const __m128i parts = _mm_madd_epi16(_mm_srli_epi16(want, 3), weights);
    const size_t slot =
        static_cast<size_t>(_mm_cvtsi128_si32(_mm_add_epi32(parts, _mm_srli_epi64(parts, 32))));
    const uint8_t known = near[slot];
    const int index = (known != 0 ? known : Nearest.FillNear(slot)) - 1;
    l.Out[i] = as[index];
    const __m128i err =
        _mm_sub_epi16(want, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(have + 4 * index)));
    // The cell below left is complete.
    _mm_storel_epi64(reinterpret_cast<__m128i*>(l.Below + 4 * i - 4),
                     _mm_add_epi16(l.Gathered, _mm_add_epi16(_mm_slli_epi16(err, 1), err)));
    l.Gathered = _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(err, 2), err), l.Last);
    l.Last = err;
  };
  auto end = [](TLine& l, size_t i) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(l.Below + 4 * i - 4), l.Gathered);
  };
  auto line = [&](size_t r) {
    return TLine{rows[r], Errors[r].data() + 4, Errors[r + 1].data() + 4, indices + r * width, zero,
                 zero};
  };
#else
  auto found = [&](int red, int green, int blue) {
    const size_t slot = TNearest::NearSlot(red, green, blue);
    const uint8_t known = near[slot];
    return (known != 0 ? known : Nearest.FillNear(slot)) - 1;
  };
  struct TLine {
    const uint32_t* Colours;
    const int16_t* Above;
    int16_t* Below;
    uint8_t* Out;
    int Last[3], Gathered[3];
  };
  auto cell = [&](TLine& l, size_t i) {
    const uint32_t c = l.Colours[i];
    const int16_t* above = l.Above + 4 * i;
    int want[3];
    for (int k = 0; k < 3; ++k)
      want[k] = std::clamp(
          static_cast<int>(c >> 8 * k & 0xFF) + ((above[k] + 7 * l.Last[k] + 8) >> 4), 0, 255);
    const int index = found(want[0], want[1], want[2]);
    l.Out[i] = as[index];
    int16_t* below = l.Below + 4 * i - 4; // the cell below left is complete
    for (int k = 0; k < 3; ++k) {
      const int err = want[k] - have[4 * index + k];
      below[k] = static_cast<int16_t>(l.Gathered[k] + 3 * err);
      l.Gathered[k] = 5 * err + l.Last[k];
      l.Last[k] = err;
    }
  };
  auto end = [](TLine& l, size_t i) {
    for (int k = 0; k < 3; ++k)
      l.Below[4 * i - 4 + k] = static_cast<int16_t>(l.Gathered[k]);
  };
  auto line = [&](size_t r) {
    return TLine{
        rows[r],  Errors[r].data() + 4, Errors[r + 1].data() + 4, indices + r * width, {0, 0, 0},
        {0, 0, 0}};
  };
#endif
  // Row r runs Lag cells behind row r - 1, which completes a cell of r's errors as it
  // leaves the cell right of it; a row past its end completes its last cell. Each row's
  // state is a variable of its own, so that it stays in registers.
  constexpr size_t Lag = 2;
  [&]<size_t... R>(std::index_sequence<R...>) {
    std::array<TLine, N> lines{line(R)...};
    auto step = [&](TLine& l, size_t i) {
      if (i < width) // wraps round to a large number before the row starts
        cell(l, i);
      else if (i == width)
        end(l, i);
    };
    // Every row is within its cells from the last row's start to the first row's end.
    constexpr size_t stagger = Lag * (N - 1);
    size_t t = 0;
    for (; t < std::min(stagger, width); ++t)
      (step(lines[R], t - Lag * R), ...);
    for (; t < width; ++t)
      (cell(lines[R], t - Lag * R), ...);
    for (; t <= width + stagger; ++t)
      (step(lines[R], t - Lag * R), ...);
  }
  (std::make_index_sequence<N>{});
  std::swap(Errors[0], Errors[N]);
}

void TDitherer::Rows(const uint32_t* const* rows, uint8_t* indices, size_t n, const uint8_t* as) {
  if (Dither == TDither::FloydSteinberg) {
    for (; n >= Together; n -= Together, rows += Together, indices += Together * Width)
      FloydSteinberg<Together>(rows, indices, as);
    [&]<size_t... K>(std::index_sequence<K...>) {
      ((n == K + 1 ? FloydSteinberg<K + 1>(rows, indices, as) : void()), ...);
    }
    (std::make_index_sequence<Together - 1>{});
    return;
  }
  auto index = [](int found) { return static_cast<uint8_t>(std::max(found, 0)); };
  for (size_t r = 0; r < n; ++r, indices += Width, ++RowNo) {
    const uint32_t* colours = rows[r];
    switch (Dither) {
    case TDither::None: {
      uint32_t last = 0xFFFFFFFFu;
      uint8_t lastIndex = 0;
      for (size_t i = 0; i < Width; ++i) {
        if (colours[i] != last)
          lastIndex = index(Nearest.Find(last = colours[i]));
        indices[i] = lastIndex;
      }
      break;
    }
    case TDither::Ordered: {
      // Each cell takes the second colour of its pair where its place in the 4 x 4 Bayer
      // matrix lies below the colour's share of it, in sixteenths: every 4 x 4 block of a
      // flat area then mixes the two as the area's colour lies between them.
      static constexpr std::array<int, 16> bayer = {0, 8,  2, 10, 12, 4, 14, 6,
                                                    3, 11, 1, 9,  15, 7, 13, 5};
      const int* line = bayer.data() + 4 * (RowNo % 4);
      const auto& set = Nearest.Colours();
      uint32_t last = 0xFFFFFFFFu;
      int a = 0, b = 0, level = 0;
      for (size_t i = 0; i < Width; ++i) {
        const uint32_t c = colours[i];
        if (set.empty()) {
          indices[i] = 0;
          continue;
        }
        if (c != last) {
          last = c;
          const uint32_t pair = PairOf(c);
          a = static_cast<int>(pair & 0xFF) - 1;
          b = static_cast<int>(pair >> 8) - 1;
          level = 0;
          if (a != b) {
            const uint32_t ca = set[static_cast<size_t>(a)], cb = set[static_cast<size_t>(b)];
            const int d[3] = {RedOf(cb) - RedOf(ca), GreenOf(cb) - GreenOf(ca),
                              BlueOf(cb) - BlueOf(ca)};
            const int e[3] = {RedOf(c) - RedOf(ca), GreenOf(c) - GreenOf(ca),
                              BlueOf(c) - BlueOf(ca)};
            const double dd = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
            const double de = d[0] * e[0] + d[1] * e[1] + d[2] * e[2];
            level = static_cast<int>(std::clamp<long>(std::lround(16 * de / dd), 0, 16));
          }
        }
        indices[i] = index(line[i % 4] < level ? b : a);
      }
      break;
    }
    default:
      break;
    }
    if (as)
      for (size_t i = 0; i < Width; ++i)
        indices[i] = as[indices[i]];
  }
}

} // namespace quillane
