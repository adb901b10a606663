#include "imaging/Reduce.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>

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
  double best = std::numeric_limits<double>::infinity();
  uint8_t found = 1;
  for (size_t i = 0; i < Labs.size(); ++i)
    if (const double d = DeltaE2000(lab, Labs[i]); d < best) {
      best = d;
      found = static_cast<uint8_t>(i + 1);
    }
  return found;
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
    Error.assign(3 * (Width + 2), 0);
    NextError = Error;
    for (const uint32_t c : Nearest.Colours())
      Channels.insert(Channels.end(), {RedOf(c), GreenOf(c), BlueOf(c)});
  }
  if (Dither == TDither::Ordered) {
    // How far apart the set's colours lie: the mean over them of the largest channel step
    // to the nearest other one, so that a cell between two of them can reach either.
    const auto& set = Nearest.Colours();
    double sum = 0;
    for (size_t i = 0; i < set.size(); ++i) {
      int step = 255;
      for (size_t k = 0; k < set.size(); ++k)
        if (k != i)
          step = std::min(step, std::max({std::abs(RedOf(set[i]) - RedOf(set[k])),
                                          std::abs(GreenOf(set[i]) - GreenOf(set[k])),
                                          std::abs(BlueOf(set[i]) - BlueOf(set[k]))}));
      sum += step;
    }
    Spread = set.size() > 1 ? static_cast<float>(sum / static_cast<double>(set.size())) : 0.0f;
  }
}

void TDitherer::Row(const uint32_t* colours, uint8_t* indices) {
  auto index = [](int found) { return static_cast<uint8_t>(std::max(found, 0)); };
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
    static constexpr std::array<int, 16> bayer = {0, 8,  2, 10, 12, 4, 14, 6,
                                                  3, 11, 1, 9,  15, 7, 13, 5};
    const int* line = bayer.data() + 4 * (RowNo % 4);
    for (size_t i = 0; i < Width; ++i) {
      const int shift = static_cast<int>(std::lround(Spread * ((line[i % 4] + 0.5f) / 16 - 0.5f)));
      const uint32_t c = colours[i];
      auto channel = [shift](int v) { return std::clamp(v + shift, 0, 255); };
      indices[i] = index(
          Nearest.FindNear(RGBOf(channel(RedOf(c)), channel(GreenOf(c)), channel(BlueOf(c)))));
    }
    break;
  }
  case TDither::FloydSteinberg: {
    if (Channels.empty()) {
      std::fill(indices, indices + Width, uint8_t{0});
      break;
    }
    // Each cell's error goes 7/16 right, 3/16 below left, 5/16 below, 1/16 below right. What
    // goes right, and what the row below has gathered so far, stay in registers: the next
    // cell waits for them.
    const int* have = Channels.data();
    const int* above = Error.data() + 3;
    int* below = NextError.data() + 3;
    int right[3] = {0, 0, 0}, gathered[3] = {0, 0, 0}, last[3] = {0, 0, 0};
    for (size_t i = 0; i < Width; ++i, above += 3, below += 3) {
      const uint32_t c = colours[i];
      // The error of a colour out of the cube's reach is not passed on: it would pile up.
      const int want[3] = {std::clamp(RedOf(c) + ((above[0] + right[0] + 8) >> 4), 0, 255),
                           std::clamp(GreenOf(c) + ((above[1] + right[1] + 8) >> 4), 0, 255),
                           std::clamp(BlueOf(c) + ((above[2] + right[2] + 8) >> 4), 0, 255)};
      const int found = Nearest.FindNear(RGBOf(want[0], want[1], want[2]));
      indices[i] = static_cast<uint8_t>(found);
      const int* got = have + 3 * found;
      for (int k = 0; k < 3; ++k) {
        const int err = want[k] - got[k];
        below[k - 3] = gathered[k] + 3 * err; // the cell below left is complete
        gathered[k] = 5 * err + last[k];
        last[k] = err;
        right[k] = 7 * err;
      }
    }
    for (int k = 0; k < 3; ++k)
      below[k - 3] = gathered[k];
    std::swap(Error, NextError);
    break;
  }
  }
  ++RowNo;
}

} // namespace quillane
