#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "imaging/Colour.h"
#include "imaging/Reduce.h"

namespace quillane::test {
namespace {

// Pairs of the published CIEDE2000 test data: a large hue step, the hue wrapping round 0,
// greys, and the blue region where the rotation term matters.
TEST(Colour, DeltaE2000MatchesThePublishedPairs) {
  struct TPair {
    TLab One, Two;
    double Expected;
  } pairs[] = {
      {{50, 2.6772, -79.7751}, {50, 0, -82.7485}, 2.0425},
      {{50, 3.1571, -77.2803}, {50, 0, -82.7485}, 2.8615},
      {{50, -1.3802, -84.2814}, {50, 0, -82.7485}, 1.0000},
      {{50, 0, 0}, {50, -1, 2}, 2.3669},
      {{50, 2.49, -0.001}, {50, -2.49, 0.0009}, 7.1792},
      {{50, 2.49, -0.001}, {50, -2.49, 0.0011}, 7.2195},
      {{50, 2.5, 0}, {73, 25, -18}, 27.1492},
      {{60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}, 1.2644},
  };
  for (const auto& p : pairs) {
    EXPECT_NEAR(DeltaE2000(p.One, p.Two), p.Expected, 5e-5) << p.Expected;
    EXPECT_NEAR(DeltaE2000(p.Two, p.One), p.Expected, 5e-5) << p.Expected;
  }
  const TLab white = LabOf(0xFFFFFF), red = LabOf(0x0000FF);
  EXPECT_NEAR(white.L, 100, 1e-3);
  EXPECT_NEAR(white.A, 0, 1e-3);
  EXPECT_NEAR(red.L, 53.24, 0.01);
  EXPECT_NEAR(red.A, 80.09, 0.01);
}

TEST(Colour, NearestTakesTheCloseLookingColourNotTheCloseNumber) {
  // Pure blue, a dark navy and a light sky blue; white, black.
  TNearest nearest({0xFF0000, 0x400000, 0xFFC080, 0xFFFFFF, 0x000000});
  struct {
    uint32_t Colour;
    int Expected;
  } rows[] = {{0xF00000, 0}, {0x300000, 1}, {0xF0C090, 2},
              {0xF8F8F8, 3}, {0x101010, 4}, {0xFFFFFF, 3}};
  for (const auto& r : rows)
    EXPECT_EQ(nearest.Find(r.Colour), r.Expected) << std::hex << r.Colour;
  EXPECT_EQ(TNearest({}).Find(0x123456), -1);
}

// Passing over colours far in lightness, and answering from the table of 8-step slots,
// keep the plain search's answer, the first of equals (the set holds a colour twice).
TEST(Colour, NearestAgreesWithTheSearchOfEveryColour) {
  const std::vector<uint32_t> set = {0x204080, 0xFFFFFF, 0x000000, 0x2040F0,
                                     0x808080, 0x204080, 0x10C040, 0xF0F010};
  std::vector<TLab> labs;
  for (const uint32_t c : set)
    labs.push_back(LabOf(c));
  TNearest nearest(set);
  for (uint32_t c = 0x010203; c < 0xFFFFFF; c += 0x00B1D3) {
    auto plain = [&](uint32_t colour) {
      std::vector<double> d;
      for (const TLab& lab : labs)
        d.push_back(DeltaE2000(LabOf(colour), lab));
      return static_cast<int>(std::min_element(d.begin(), d.end()) - d.begin());
    };
    ASSERT_EQ(nearest.Find(c), plain(c)) << std::hex << c;
    ASSERT_EQ(nearest.FindNear(c), plain((c & 0xF8F8F8) | 0x040404)) << std::hex << c;
  }
}

// Rows dithered together answer as they do one at a time, each index through `as`.
TEST(Colour, DitheringRowsTogetherAnswersAsOneAtATime) {
  constexpr size_t width = 37, height = 11;
  std::vector<uint32_t> image(width * height);
  for (size_t k = 0; k < image.size(); ++k)
    image[k] = static_cast<uint32_t>(k * 2654435761u) & 0xFFFFFF;
  std::vector<const uint32_t*> rows;
  for (size_t y = 0; y < height; ++y)
    rows.push_back(image.data() + y * width);
  std::array<uint8_t, 256> as{};
  for (size_t i = 0; i < as.size(); ++i)
    as[i] = static_cast<uint8_t>(100 + i);
  for (const TDither dither : {TDither::FloydSteinberg, TDither::Ordered, TDither::None}) {
    TNearest one({0x000000, 0xFFFFFF, 0x0000FF, 0x00C000, 0xC00000, 0x808080});
    TNearest all(one.Colours());
    TDitherer single(one, dither, width), together(all, dither, width);
    std::vector<uint8_t> expected(width * height), got(width * height);
    for (size_t y = 0; y < height; ++y) {
      single.Row(rows[y], expected.data() + y * width);
      for (size_t x = 0; x < width; ++x)
        expected[y * width + x] = as[expected[y * width + x]];
    }
    together.Rows(rows.data(), got.data(), height, as.data());
    EXPECT_EQ(got, expected) << static_cast<int>(dither);
  }
}

// A ramp of greys, a red and a green: the same answer each time, never more than asked for.
TEST(Colour, MedianCutIsRepeatableAndKeepsToItsCount) {
  std::vector<uint32_t> cells;
  for (uint32_t g = 0; g < 256; ++g)
    cells.push_back(g * 0x010101u);
  cells.insert(cells.end(), 300, 0x0000FF);
  cells.insert(cells.end(), 300, 0x00FF00);
  for (const int n : {1, 2, 5, 16, 255}) {
    TMedianCut cut;
    cut.Add(cells.data(), cells.size());
    const std::vector<uint32_t> first = cut.Cut(n), again = cut.Cut(n);
    EXPECT_EQ(first, again);
    EXPECT_LE(static_cast<int>(first.size()), n);
    EXPECT_EQ(first.size(), std::min<size_t>(static_cast<size_t>(n), 34)) << n; // 32 grey bins
  }
  TMedianCut three;
  three.Add(cells.data() + 256, 600);
  std::vector<uint32_t> two = three.Cut(3);
  std::sort(two.begin(), two.end());
  EXPECT_EQ(two, (std::vector<uint32_t>{0x0000FF, 0x00FF00}));
}

// A flat area between black and white, and one between red and blue, each dithered to its
// two colours: the mix comes out at the area's colour, Floyd-Steinberg within a few steps,
// ordered dithering exactly at the nearest sixteenth of the way between the two (64 of 255
// is 4.02 sixteenths, 95 of 255 below white 5.96), with no bias to either side.
TEST(Colour, DitheringKeepsAFlatAreasMeanColour) {
  struct {
    TDither Dither;
    uint32_t Flat, Dark, Light;
    std::array<double, 3> Mean;
    double Tolerance;
  } rows[] = {{TDither::FloydSteinberg, 0x404040, 0x000000, 0xFFFFFF, {64, 64, 64}, 4},
              {TDither::FloydSteinberg, 0x800080, 0xFF0000, 0x0000FF, {128, 0, 128}, 4},
              {TDither::Ordered, 0x404040, 0x000000, 0xFFFFFF, {63.75, 63.75, 63.75}, 0},
              {TDither::Ordered, 0xA0A0A0, 0x000000, 0xFFFFFF, {159.375, 159.375, 159.375}, 0},
              {TDither::Ordered, 0x800080, 0xFF0000, 0x0000FF, {127.5, 0, 127.5}, 0}};
  constexpr size_t side = 32;
  for (const auto& r : rows) {
    TNearest nearest({r.Dark, r.Light});
    TDitherer ditherer(nearest, r.Dither, side);
    const std::vector<uint32_t> flat(side, r.Flat);
    std::vector<uint8_t> indices(side);
    std::array<double, 3> sum{};
    for (size_t y = 0; y < side; ++y) {
      ditherer.Row(flat.data(), indices.data());
      for (const uint8_t i : indices) {
        const uint32_t c = i ? r.Light : r.Dark;
        sum[0] += RedOf(c), sum[1] += GreenOf(c), sum[2] += BlueOf(c);
      }
    }
    for (size_t k = 0; k < 3; ++k)
      EXPECT_NEAR(sum[k] / (side * side), r.Mean[k], r.Tolerance) << std::hex << r.Flat << " " << k;
  }
  // Floyd-Steinberg on 6 x 4 cells of grey 96 between black and white, exactly: the first
  // row wants 96, 138, 45, 116, 147, 49 as 7/16 of each error runs on right; the rows below
  // take 5/16 of the error above, 3/16 of the one above right, 1/16 of the one above left.
  // Any two weights swapped give other cells.
  TNearest nearest({0x000000, 0xFFFFFF});
  TDitherer spread(nearest, TDither::FloydSteinberg, 6);
  const std::vector<uint32_t> grey(6, 0x606060);
  std::string cells;
  for (int row = 0; row < 4; ++row) {
    std::vector<uint8_t> indices(6, 9);
    spread.Row(grey.data(), indices.data());
    for (const uint8_t i : indices)
      cells += static_cast<char>('0' + i);
    cells += row < 3 ? " " : "";
  }
  EXPECT_EQ(cells, "010010 001001 101010 010010");
  // Without dithering the same area takes one colour.
  TDitherer plain(nearest, TDither::None, 4);
  const std::vector<uint32_t> flat(4, 0x404040);
  std::vector<uint8_t> indices(4, 9);
  plain.Row(flat.data(), indices.data());
  EXPECT_EQ(indices, std::vector<uint8_t>(4, 0));
}

} // namespace
} // namespace quillane::test
