#include "elements/BitmapMapping.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <optional>
#include <span>
#include <vector>

#include "app/App.h"
#include "app/Exceptions.h"
#include "app/LargeBuffer.h"
#include "app/Simd.h"
#include "data/DesignOwner.h"
#include "data/Mapping.h"
#include "elements/Picture.h"
#include "elements/Region.h"
#include "imaging/Colour.h"
#include "platform/Platform.h"

namespace quillane {

namespace {

// Up to 255 distinct colours, each with a small value, found in a few probes: the import
// looks up every pixel it reads.
class TColourTable {
public:
  TColourTable() { Keys.fill(Empty); }
  // The value stored for the colour, or -1.
  int Find(uint32_t colour) const {
    for (size_t i = Slot(colour);; i = (i + 1) & Mask) {
      if (Keys[i] == colour)
        return Values[i];
      if (Keys[i] == Empty)
        return -1;
    }
  }
  void Add(uint32_t colour, int value) {
    size_t i = Slot(colour);
    while (Keys[i] != Empty && Keys[i] != colour)
      i = (i + 1) & Mask;
    Keys[i] = colour;
    Values[i] = value;
  }

private:
  static constexpr size_t Size = 1024; // never more than a quarter full
  static constexpr size_t Mask = Size - 1;
  static constexpr uint32_t Empty = 0xFFFFFFFFu; // no pixel has a high byte
  static size_t Slot(uint32_t colour) { return (colour * 2654435761u >> 22) & Mask; }
  std::array<uint32_t, Size> Keys;
  std::array<int, Size> Values{};
};

// The same colours in one probe without a branch: a table in which no two of them share a
// slot, each slot holding its colour and value. Every pixel of an import is looked up, and
// the probe loop's compare and branch were most of the work.
class TDirectTable {
public:
  // False when no tried size and multiplier keeps the colours apart.
  bool Make(const std::vector<std::pair<uint32_t, uint8_t>>& entries) {
    uint32_t multiplier = 2654435761u;
    for (int bits = 10; bits <= 16; ++bits)
      for (int attempt = 0; attempt < 8;
           ++attempt, multiplier = multiplier * 747796405u + 2891336453u) {
        Shift = 32 - bits;
        Multiplier = multiplier | 1u;
        Slots.assign(size_t{1} << bits, EmptySlot);
        bool apart = true;
        for (const auto& [colour, value] : entries) {
          uint64_t& slot = Slots[Slot(colour)];
          if (slot != EmptySlot && static_cast<uint32_t>(slot) != colour) {
            apart = false;
            break;
          }
          slot = colour | uint64_t{value} << 32;
        }
        if (apart)
          return true;
      }
    return false;
  }
  // The value of each pixel row[x[i]], or row[i] without x; 0 for a colour not in the
  // table. The table is held in locals: a store of a byte could change it for all the
  // compiler knows, and it would be read again for every pixel.
  void FindRow(const uint32_t* __restrict row, const int* __restrict x, size_t n,
               uint8_t* __restrict out) const {
    const uint64_t* __restrict slots = Slots.data();
    const uint32_t multiplier = Multiplier;
    const int shift = Shift;
    auto find = [&](uint32_t colour) {
      const uint64_t slot = slots[(colour * multiplier) >> shift];
      return static_cast<uint32_t>(slot) == colour ? static_cast<uint8_t>(slot >> 32) : 0;
    };
    if (!x) {
      for (size_t i = 0; i < n; ++i)
        out[i] = find(row[i]);
      return;
    }
    for (size_t i = 0; i < n; ++i)
      out[i] = find(row[x[i]]);
  }

private:
  // No pixel has a high byte; an empty slot's value is 0, as for a colour not kept.
  static constexpr uint64_t EmptySlot = 0xFFFFFFFFu;
  size_t Slot(uint32_t colour) const { return (colour * Multiplier) >> Shift; }
  uint32_t Multiplier = 0;
  int Shift = 0;
  std::vector<uint64_t> Slots;
};

// The values of n pixels of a bitmap with at most eight colours (each listed once), 0 for
// any other, sixteen pixels at a time: comparing four pixels with each colour at once is
// cheaper than looking each pixel up. Answers how many pixels it did.
size_t FindFew(const uint32_t* row, size_t n, const std::vector<std::pair<uint32_t, uint8_t>>& few,
               uint8_t* out) {
  size_t i = 0;
#if defined(QUILLANE_SSE2)
  if (few.empty() || few.size() > 8)
    return 0;
  __m128i colour[8], value[8];
  for (size_t k = 0; k < 8; ++k) {
    const auto& [c, v] = few[std::min(k, few.size() - 1)]; // a colour twice finds it twice
    colour[k] = _mm_set1_epi32(static_cast<int>(c));
    value[k] = _mm_set1_epi32(v);
  }
  auto four = [&](const uint32_t* from) {
    const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    __m128i found = _mm_and_si128(_mm_cmpeq_epi32(px, colour[0]), value[0]);
    for (size_t k = 1; k < 8; ++k)
      found = _mm_or_si128(found, _mm_and_si128(_mm_cmpeq_epi32(px, colour[k]), value[k]));
    return found;
  };
  for (; i + 16 <= n; i += 16) {
    const __m128i lo = _mm_packs_epi32(four(row + i), four(row + i + 4));
    const __m128i hi = _mm_packs_epi32(four(row + i + 8), four(row + i + 12));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
  }
#else
  (void)row, (void)n, (void)few, (void)out;
#endif
  return i;
}

std::string RGBText(uint32_t colour) {
  return "Red=" + std::to_string(colour & 0xFF) +
         ", Green=" + std::to_string((colour >> 8) & 0xFF) +
         ", Blue=" + std::to_string((colour >> 16) & 0xFF);
}

// A region whose machine-view samples can be painted as one area of cells inside the open
// batch: when every pixel of the region shows its cell through this region's map alone (any
// other region over those pixels maps them the same way) and all those cells lie in the
// grid, painting them in any order gives what painting pixel after pixel does.
struct TCellArea {
  struct TAffine {
    int64_t X, Y, XX, XY, YX, YY; // cell = (X, Y) + x * (XX, XY) + y * (YX, YY)
    bool operator==(const TAffine&) const = default;
  };
  TAffine A;
  TRect Cells;
  TPaintOrder Order;
  // The cells lie as the region's pixels: the samples, row after row, are the cells' values.
  bool Straight() const { return A.XX == 1 && A.XY == 0 && A.YX == 0 && A.YY == 1; }
};

std::optional<TCellArea> CellAreaOf(const ODesignOwner& pattern, const OPicture& picture,
                                    const ORegion& region) {
  const TRect& B = region.PictureArea;
  if (B.Left == INT32_MIN || B.Top == INT32_MIN) // the pixel loops never reach that far
    return std::nullopt;
  auto map = [](const ORegion& r, int64_t x, int64_t y) {
    return MapBackUnchecked(r.PatternArea, r.PictureArea, r.HFlip, r.VFlip, r.Rotation, x, y);
  };
  auto affine = [&](const ORegion& r) {
    const TPoint64 o = map(r, 0, 0), ex = map(r, 1, 0), ey = map(r, 0, 1);
    return TCellArea::TAffine{o.X, o.Y, ex.X - o.X, ex.Y - o.Y, ey.X - o.X, ey.Y - o.Y};
  };
  const TCellArea::TAffine a = affine(region);
  for (const auto& other : picture.Regions) {
    const TRect& q = other->PictureArea;
    const bool overlaps = q.Left <= q.Right && q.Top <= q.Bottom && q.Left <= B.Right &&
                          B.Left <= q.Right && q.Top <= B.Bottom && B.Top <= q.Bottom;
    if (other.get() != &region && overlaps && !(affine(*other) == a))
      return std::nullopt;
  }
  int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
  for (const int64_t x : {int64_t{B.Left}, int64_t{B.Right}})
    for (const int64_t y : {int64_t{B.Top}, int64_t{B.Bottom}}) {
      const int64_t c = a.X + x * a.XX + y * a.YX, p = a.Y + x * a.XY + y * a.YY;
      left = std::min(left, c);
      right = std::max(right, c);
      top = std::min(top, p);
      bottom = std::max(bottom, p);
    }
  if (left < 1 || top < 1 || right > pattern.NoControls || bottom > pattern.NoPLines)
    return std::nullopt;
  // Pixel after pixel goes column by column, each from the top: a pixel comes at
  // x * (rows + 1) + y, and a cell at that of its pixel (the map turns and flips, so it is
  // its own inverse transposed). Where several cells share a source, the last one wins.
  TPaintOrder order;
  if (a.XX * a.XX + a.XY * a.XY == 1 && a.YX * a.YX + a.YY * a.YY == 1 &&
      a.XX * a.YX + a.XY * a.YY == 0) {
    const int64_t rows = int64_t{B.Bottom} - B.Top + 2;
    order = {a.XX * rows + a.YX, a.XY * rows + a.YY};
  }
  return TCellArea{a,
                   {static_cast<int32_t>(left), static_cast<int32_t>(top),
                    static_cast<int32_t>(right), static_cast<int32_t>(bottom)},
                   order};
}

// The cells' values of an area that flips or turns its region's pixels, from the samples of
// those pixels, row after row.
TZeroedBytes TurnedValues(const TCellArea& area, const TRect& B, std::span<const uint8_t> samples) {
  const TCellArea::TAffine& a = area.A;
  const int64_t width = int64_t{area.Cells.Right} - area.Cells.Left + 1;
  TZeroedBytes values(
      static_cast<size_t>(width * (int64_t{area.Cells.Bottom} - area.Cells.Top + 1)));
  const size_t across = static_cast<size_t>(int64_t{B.Right} - B.Left + 1);
  // A step along a pixel row moves this far through the area's cells.
  const int64_t stepX = a.XX + a.XY * width;
  for (int64_t y = B.Top; y <= B.Bottom; ++y) {
    const int64_t c = a.X + B.Left * a.XX + y * a.YX, p = a.Y + B.Left * a.XY + y * a.YY;
    int64_t k = (p - area.Cells.Top) * width + (c - area.Cells.Left);
    const size_t j = static_cast<size_t>(y - B.Top);
    for (int64_t x = B.Left; x <= B.Right; ++x, k += stepX)
      values[static_cast<size_t>(k)] = samples[j * across + static_cast<size_t>(x - B.Left)];
  }
  return values;
}

// The values of an area whose cells lie as its region's pixels, sampled as the paint asks
// for them; `sample(j, i0, n, out)` gives samples i0 to i0 + n - 1 of row j. The progress
// follows what was given, and a cancel before the last value stops the paint.
template <typename TSample> class TAskedSamples final : public OAreaValues {
public:
  TAskedSamples(const TSample& sample, OProgress& progress, const TRect& cells, size_t across,
                size_t down, size_t every)
      : Sample(sample), Progress(progress), Cells(cells), Across(across), Down(down), Every(every),
        Values(across) {}
  bool Halted = false;
  size_t Count() const override { return Across * Down; }
  const uint8_t* Row(int64_t c, int64_t p, size_t n) override {
    if (Served >= NextStep) {
      NextStep = Served + Every * Across;
      if (!Progress.Step(static_cast<int64_t>(std::min(Down, Served / Across)))) {
        Halted = true;
        return nullptr;
      }
    }
    Sample(static_cast<size_t>(p - Cells.Top), static_cast<size_t>(c - Cells.Left), n,
           Values.data());
    if ((Served += n) >= Count()) // every value given: the paint writes from here on
      Progress.CannotCancel();
    return Values.data();
  }

private:
  const TSample& Sample;
  OProgress& Progress;
  TRect Cells;
  size_t Across, Down, Every, Served = 0, NextStep = 0;
  std::vector<uint8_t> Values;
};

} // namespace

OBitmapMapping::OBitmapMapping(ORegion& region, OBitmap24 bitmap)
    : Region(region), WorkPalette(region.Owner), Image(std::move(bitmap)) {
  if (Image.Width() <= 0 || Image.Height() <= 0)
    throw Exception("The bitmap is empty: there is nothing to import");
  WorkPalette.Assign(region.Owner->GetPalette());
  MaxColours = WorkPalette.NoColours();
  BitmapColours.assign(static_cast<size_t>(MaxColours) + 1, clGrey);
  Mapping.assign(static_cast<size_t>(MaxColours) + 1, 0);
  CollectColours();
  AssignColours();
}

// Column by column from the left, each from the top: the colours met first are kept.
void OBitmapMapping::CollectColours() {
  TColourTable seen;
  uint32_t last = 0xFFFFFFFFu;
  const int w = Image.Width(), h = Image.Height();
  for (int x = 0; x < w && NoBitmapColours < MaxColours; ++x)
    for (int y = 0; y < h; ++y) {
      const uint32_t c = Image.Row(y)[x];
      if (c == last)
        continue;
      last = c;
      if (seen.Find(c) >= 0)
        continue;
      BitmapColours[static_cast<size_t>(++NoBitmapColours)] = c;
      seen.Add(c, NoBitmapColours);
      if (NoBitmapColours == MaxColours)
        break; // every further colour would be dropped
    }
}

// Exact palette matches first; the rest take the lowest unused indices in turn.
void OBitmapMapping::AssignColours() {
  std::vector<bool> used(static_cast<size_t>(MaxColours) + 1, false);
  for (int i = 1; i <= NoBitmapColours; ++i) {
    const OPaletteEntry found = WorkPalette.FindColour(BitmapColours[static_cast<size_t>(i)]);
    Mapping[static_cast<size_t>(i)] = found;
    used[found] = true;
  }
  int k = 1;
  for (int i = 1; i <= NoBitmapColours; ++i) {
    if (Mapping[static_cast<size_t>(i)] != 0)
      continue;
    while (k <= MaxColours && used[static_cast<size_t>(k)])
      ++k;
    if (k > MaxColours)
      continue;
    Mapping[static_cast<size_t>(i)] = static_cast<OPaletteEntry>(k);
    used[static_cast<size_t>(k)] = true;
    ++k;
  }
}

bool TStatedEntries::Has(int64_t control, OPaletteEntry entry) const {
  if (RowOfControl.empty())
    return true;
  if (control < 1 || control >= static_cast<int64_t>(RowOfControl.size()))
    return false;
  const size_t row = RowOfControl[static_cast<size_t>(control)];
  return row < Stated.size() && entry < Stated[row].size() && Stated[row][entry];
}

std::vector<OPaletteEntry> OBitmapMapping::Candidates() const {
  std::vector<OPaletteEntry> every, all, any;
  for (int e = 1; e <= MaxColours; ++e)
    every.push_back(static_cast<OPaletteEntry>(e));
  if (States.RowOfControl.empty())
    return every;
  // The yarn types (or pairs) of the controls the region shows.
  std::vector<bool> used(States.Stated.size(), false);
  const TRect& area = Region.PatternArea;
  const int64_t last = static_cast<int64_t>(States.RowOfControl.size()) - 1;
  const int64_t from = std::max<int64_t>(1, std::min(area.Left, area.Right)),
                to = std::min<int64_t>(last, std::max(area.Left, area.Right));
  for (int64_t c = from; c <= to; ++c)
    if (const size_t row = States.RowOfControl[static_cast<size_t>(c)]; row < used.size())
      used[row] = true;
  for (const OPaletteEntry e : every) {
    bool inAll = true, inAny = false;
    for (size_t row = 0; row < used.size(); ++row)
      if (used[row]) {
        const bool has = e < States.Stated[row].size() && States.Stated[row][e];
        inAll = inAll && has;
        inAny = inAny || has;
      }
    if (inAll && inAny)
      all.push_back(e);
    if (inAny)
      any.push_back(e);
  }
  return !all.empty() ? all : !any.empty() ? any : every;
}

void OBitmapMapping::Assign(const TAssignment& assignment, bool machine) {
  Current = assignment;
  WorkPalette.Assign(Region.Owner->GetPalette());
  PaletteChanged = false;
  std::fill(BitmapColours.begin(), BitmapColours.end(), clGrey);
  std::fill(Mapping.begin(), Mapping.end(), OPaletteEntry{0});
  NoBitmapColours = 0;
  if (Current.Mode == TColourMode::Exact) {
    CollectColours();
    AssignColours();
    return;
  }
  const std::vector<OPaletteEntry> candidates = Candidates();
  if (Current.Mode == TColourMode::Nearest) {
    for (const OPaletteEntry e : candidates) {
      BitmapColours[static_cast<size_t>(++NoBitmapColours)] = WorkPalette.GetColour(e);
      Mapping[static_cast<size_t>(NoBitmapColours)] = e;
    }
    return;
  }
  std::vector<int> xs, ys;
  if (!Samples(machine, xs, ys) || MaxColours == 0)
    return;
  // The colours of the cells the region will show, not of every pixel: a bitmap larger
  // than the region loses the colours between the samples.
  // A few million of them, evenly spread, tell their colours as well as all of them.
  const double cells = static_cast<double>(xs.size()) * static_cast<double>(ys.size());
  const size_t every = std::max<size_t>(1, static_cast<size_t>(std::ceil(std::sqrt(cells / 4e6))));
  TMedianCut cut;
  std::vector<uint32_t> row;
  for (size_t j = 0; j < ys.size(); j += every) {
    const uint32_t* pixels = Image.Row(ys[j]);
    row.clear();
    for (size_t i = 0; i < xs.size(); i += every)
      row.push_back(pixels[xs[i]]);
    cut.Add(row.data(), row.size());
  }
  const int n = Current.ReduceTo <= 0 ? MaxColours : std::min(Current.ReduceTo, MaxColours);
  const std::vector<uint32_t> reduced = cut.Cut(n);
  std::vector<TLab> labs;
  for (const OPaletteEntry e : candidates)
    labs.push_back(LabOf(WorkPalette.GetColour(e)));
  std::vector<bool> taken(candidates.size(), false);
  for (const uint32_t colour : reduced) {
    const TLab lab = LabOf(colour);
    // Taking colours into the palette wants an entry of its own for each while any is left.
    const bool own =
        Current.TakeColours && std::find(taken.begin(), taken.end(), false) != taken.end();
    size_t best = 0;
    double nearest = -1;
    for (size_t k = 0; k < candidates.size(); ++k) {
      const double d = DeltaE2000(lab, labs[k]);
      if (!(own && taken[k]) && (nearest < 0 || d < nearest)) {
        nearest = d;
        best = k;
      }
    }
    taken[best] = true;
    BitmapColours[static_cast<size_t>(++NoBitmapColours)] = colour;
    Mapping[static_cast<size_t>(NoBitmapColours)] = candidates[best];
  }
  if (Current.TakeColours)
    UpdatePalette();
}

TZeroedBytes OBitmapMapping::DitheredValues(const std::vector<int>& xs, const std::vector<int>& ys,
                                            OProgress* progress) const {
  const size_t across = xs.size(), down = ys.size();
  TZeroedBytes values(across * down);
  if (NoBitmapColours == 0)
    return values; // all undefined
  TNearest nearest({BitmapColours.begin() + 1, BitmapColours.begin() + 1 + NoBitmapColours});
  TDitherer ditherer(nearest, Current.Dither, across);
  // The entry of each index in the set, in a table of its own: a store of a byte could
  // change Mapping for all the compiler knows.
  std::array<OPaletteEntry, 256> entry{};
  for (int i = 0; i < NoBitmapColours; ++i)
    entry[static_cast<size_t>(i)] = Mapping[static_cast<size_t>(i) + 1];
  // A bitmap the size of the area is read where it lies, else its samples are gathered.
  bool straight = true;
  for (size_t i = 1; i < across && straight; ++i)
    straight = xs[i] == xs[0] + static_cast<int>(i);
  constexpr size_t together = TDitherer::Together;
  std::vector<uint32_t> gathered(straight ? 0 : together * across);
  std::array<const uint32_t*, together> rows{};
  const size_t every = std::max<size_t>(1, down / 200);
  size_t next = 0;
  for (size_t j = 0; j < down; j += together) {
    if (progress && j >= next) {
      if (!progress->Step(static_cast<int64_t>(j)))
        return {};
      next = j + every;
    }
    const size_t n = std::min(together, down - j);
    for (size_t r = 0; r < n; ++r) {
      const uint32_t* pixels = Image.Row(ys[j + r]);
      if (straight) {
        rows[r] = pixels + xs[0];
        continue;
      }
      uint32_t* row = gathered.data() + r * across;
      for (size_t i = 0; i < across; ++i)
        row[i] = pixels[xs[i]];
      rows[r] = row;
    }
    uint8_t* out = values.data() + j * across;
    ditherer.Rows(rows.data(), out, n, entry.data());
  }
  return values;
}

TCellValues OBitmapMapping::Cells(bool machine, bool marks) const {
  TCellValues cells;
  std::vector<int> xs, ys;
  if (!Samples(machine, xs, ys))
    return cells;
  const size_t across = cells.Across = xs.size(), down = cells.Down = ys.size();
  if (Current.Mode != TColourMode::Exact) {
    cells.Values = DitheredValues(xs, ys);
  } else {
    cells.Values = TZeroedBytes(across * down);
    TColourTable mapped;
    for (int i = 1; i <= NoBitmapColours; ++i)
      mapped.Add(BitmapColours[static_cast<size_t>(i)], Mapping[static_cast<size_t>(i)]);
    for (size_t j = 0; j < down; ++j) {
      const uint32_t* pixels = Image.Row(ys[j]);
      for (size_t i = 0; i < across; ++i)
        cells.Values[j * across + i] =
            static_cast<uint8_t>(std::max(0, mapped.Find(pixels[xs[i]])));
    }
  }
  if (States.RowOfControl.empty())
    return cells;
  if (marks)
    cells.Unstated = TZeroedBytes(across * down);
  const ORegion& r = Region;
  const int64_t step = machine ? 1 : 2;
  for (size_t j = 0; j < down; ++j)
    for (size_t i = 0; i < across; ++i) {
      const OPaletteEntry v = cells.Values[j * across + i];
      if (v == 0) // the undefined colour is asked for, not missed
        continue;
      const int64_t x = r.PictureArea.Left + static_cast<int64_t>(i) * step,
                    y = r.PictureArea.Top + static_cast<int64_t>(j);
      const int64_t control =
          MapBackUnchecked(r.PatternArea, r.PictureArea, r.HFlip, r.VFlip, r.Rotation, x, y).X;
      if (!States.Has(control, v)) {
        ++cells.NoUnstated;
        if (marks)
          cells.Unstated[j * across + i] = 1;
      }
    }
  return cells;
}

void OBitmapMapping::SetMapping(int row, OPaletteEntry index) {
  if (row >= 1 && row <= NoBitmapColours)
    Mapping[static_cast<size_t>(row)] = index;
}

void OBitmapMapping::UpdatePalette() {
  for (int i = 1; i <= NoBitmapColours; ++i) {
    // Entry 0 is the undefined colour, not a colour of the bitmap's.
    if (Mapping[static_cast<size_t>(i)] != 0)
      WorkPalette.SetColour(Mapping[static_cast<size_t>(i)], BitmapColours[static_cast<size_t>(i)]);
  }
  PaletteChanged = true;
}

OPaletteEntry OBitmapMapping::MappedColour(uint32_t colour) const {
  for (int i = 1; i <= NoBitmapColours; ++i)
    if (BitmapColours[static_cast<size_t>(i)] == colour)
      return Mapping[static_cast<size_t>(i)];
  return 0;
}

std::string OBitmapMapping::BitmapColourHint(int row) const {
  if (row < 1 || row > NoBitmapColours)
    return "";
  return "Color from bitmap: " + RGBText(BitmapColours[static_cast<size_t>(row)]);
}

std::string OBitmapMapping::PaletteColourHint(int row) const {
  if (row < 1 || row > NoBitmapColours)
    return "";
  const OPaletteEntry index = Mapping[static_cast<size_t>(row)];
  return "Assigned Palette Color " + std::to_string(index) + ": " +
         RGBText(WorkPalette.GetColour(index));
}

int OBitmapMapping::RowHeight(int height) const {
  return std::max(1, height / (NoBitmapColours + 2));
}

int OBitmapMapping::RowAt(int width, int height, int x, int y) const {
  if (x < 0 || x >= width || y < 0 || y >= height)
    return 0;
  const int row = y / RowHeight(height) + 1;
  return row <= NoBitmapColours ? row : 0;
}

bool OBitmapMapping::Press(TMouseButton button, const OPalettePaintBox& strip, int width,
                           int height, int x, int y) {
  const int row = RowAt(width, height, x, y);
  if (row == 0 || button == TMouseButton::Middle)
    return false;
  SetMapping(row, button == TMouseButton::Left ? strip.LeftIndex : strip.RightIndex);
  return true;
}

int OBitmapMapping::KeyRow(int row, int delta) const {
  return std::clamp(row + delta, 1, std::max(1, NoBitmapColours));
}

void OBitmapMapping::KeyAssign(int row, const OPalettePaintBox& strip, bool right) {
  SetMapping(row, right ? strip.RightIndex : strip.LeftIndex);
}

bool OBitmapMapping::Close() {
  if (Choice == TChoice::Open)
    Choice = g.UI().Confirm("Apply changes") ? TChoice::Apply : TChoice::Cancel;
  return Choice == TChoice::Apply;
}

void OBitmapMapping::Finish(bool machine) {
  if (Choice != TChoice::Apply)
    return;
  if (!Apply(machine) && !Cancelled)
    g.UI().ShowMessage("The region's picture area is empty: there is nothing to import into");
}

bool OBitmapMapping::Samples(bool machine, std::vector<int>& xs, std::vector<int>& ys) const {
  const TRect B = Region.PictureArea;
  const int64_t w = AreaWidth(B), h = AreaHeight(B);
  // No picture holds more pixels than this; only a forged region asks for more, and
  // painting it would not end.
  if (w < 1 || h < 1 || w > OPicture::MaxPixels / h)
    return false;
  const int W = Image.Width(), H = Image.Height();
  // Samples at the centre of each cell's share of the bitmap, in 4-byte reals as the
  // stored patterns were made with; a design-view sample covers a control pair.
  const int64_t columns = machine ? w : (w + 1) / 2;
  const float sx = static_cast<float>(static_cast<double>(W) / static_cast<double>(columns));
  const float sy = static_cast<float>(static_cast<double>(H) / static_cast<double>(h));
  const float x0 = sx / 2;
  const float y0 = static_cast<float>(H - static_cast<double>(sy) / 2);
  auto position = [](float f, int size) {
    return static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(f), 0, size - 1));
  };
  // Summed step by step as the painting loops go.
  const int64_t step = machine ? 1 : 2;
  float fx = x0, fy = y0;
  xs.clear();
  ys.clear();
  for (int64_t X = int64_t{B.Left} - 1; X < B.Right; X += step, fx += sx)
    xs.push_back(position(fx, W));
  for (int64_t Y = int64_t{B.Top} - 1; Y <= int64_t{B.Bottom} - 1; ++Y, fy -= sy)
    ys.push_back(position(fy, H));
  return true;
}

bool OBitmapMapping::Apply(bool machine) {
  Cancelled = false;
  const TRect B = Region.PictureArea;
  std::vector<int> sampleX, sampleY;
  if (!Samples(machine, sampleX, sampleY))
    return false;
  OWaitCursor wait;
  ODesignOwner& pattern = *Region.Owner;
  OPicture& picture = *Region.Picture;
  // Nearest and Reduce look at each cell's neighbours: every value comes first, under a
  // progress of its own that may be cancelled too.
  TZeroedBytes assigned;
  if (Current.Mode != TColourMode::Exact) {
    OProgress assigning("Assigning colours", static_cast<int64_t>(sampleY.size()));
    assigned = DitheredValues(sampleX, sampleY, &assigning);
    if (assigned.empty()) {
      Cancelled = true;
      return false;
    }
  }

  std::vector<std::pair<uint32_t, uint8_t>> entries;
  for (int i = 1; i <= NoBitmapColours; ++i)
    entries.emplace_back(BitmapColours[static_cast<size_t>(i)], Mapping[static_cast<size_t>(i)]);
  TDirectTable direct; // nearly always made; else every lookup probes
  const bool isDirect = direct.Make(entries);
  TColourTable mapped;
  if (!isDirect)
    for (const auto& [colour, value] : entries)
      mapped.Add(colour, value);
  const int64_t step = machine ? 1 : 2;

  // A bitmap the size of the area is sampled pixel after pixel along its rows.
  bool straight = true;
  for (size_t i = 1; i < sampleX.size() && straight; ++i)
    straight = sampleX[i] == sampleX[0] + static_cast<int>(i);

  const size_t across = sampleX.size(), down = sampleY.size();
  // Samples i0 to i0 + n - 1 of row j.
  auto sample = [&](size_t j, size_t i0, size_t n, uint8_t* out) {
    if (!assigned.empty()) {
      std::copy_n(assigned.data() + j * across + i0, n, out);
      return;
    }
    const uint32_t* row = Image.Row(sampleY[j]);
    // One probe finds nearly every colour; remembering the last one would only add a
    // branch that busy drawings mispredict.
    if (isDirect && straight) {
      const uint32_t* from = row + sampleX[0] + i0;
      const size_t done = FindFew(from, n, entries, out);
      direct.FindRow(from + done, nullptr, n - done, out + done);
    } else if (isDirect) {
      direct.FindRow(row, sampleX.data() + i0, n, out);
    } else {
      for (size_t i = 0; i < n; ++i) {
        const int found = mapped.Find(row[sampleX[i0 + i]]);
        out[i] = static_cast<OPaletteEntry>(found < 0 ? 0 : found);
      }
    }
  };
  const int64_t steps = static_cast<int64_t>(down + across);
  const int64_t every = std::max<int64_t>(1, steps / 500);
  OProgress progress("Applying bitmap", steps);
  TZeroedBytes samples;
  auto sampleAll = [&] {
    samples = TZeroedBytes(across * down);
    for (size_t j = 0; j < down; ++j) {
      if (static_cast<int64_t>(j) % every == 0 && !progress.Step(static_cast<int64_t>(j)))
        return false;
      sample(j, 0, across, samples.data() + j * across);
    }
    return true;
  };
  // A region painted as one area whose cells lie as its pixels is sampled as the paint
  // asks for its values, a piece of a row at a time, which keeps them in the cache and
  // spares a buffer of every sample; a cancel then stops the paint before it writes. Else
  // every sample comes first, row by row, and a cancel there leaves the pattern untouched:
  // so too when the palette changes, which comes before the cells. The painting runs to
  // its end, so no cancel leaves half a bitmap behind.
  const std::optional<TCellArea> area =
      machine ? CellAreaOf(pattern, picture, Region) : std::nullopt;
  const bool asked = area && area->Straight() && !PaletteChanged;
  if (!asked) {
    if (!sampleAll()) {
      Cancelled = true;
      return false;
    }
    progress.CannotCancel();
    progress.Step(static_cast<int64_t>(down));
  }

  // From here on the palette and the cells change: one step of the pattern's undo, closed
  // after the batch below.
  ODesignOwner::TStep oneStep(pattern, "Import Bitmap");
  if (PaletteChanged) {
    pattern.GetPalette().Assign(WorkPalette);
    pattern.ApplyPalette();
    pattern.Changed();
  }
  picture.BringUpToDate(machine ? TView::Machine : TView::Design);

  // Machine-view paints are batched: the same cells, the pixels redrawn once at the end.
  struct TBatch {
    ODesignOwner& Pattern;
    explicit TBatch(ODesignOwner& pattern, bool open) : Pattern(pattern) {
      if (open)
        Pattern.BeginPaintBatch();
    }
    ~TBatch() { Pattern.EndPaintBatch(); }
  } batch(pattern, machine);

  if (area) {
    bool painted = false;
    if (asked) {
      TAskedSamples<decltype(sample)> values(sample, progress, area->Cells, across, down,
                                             static_cast<size_t>(every));
      painted = pattern.BatchPaintArea(area->Cells, values, area->Order);
      if (!painted && values.Halted) {
        Cancelled = true;
        return false;
      }
    } else {
      const TZeroedBytes turned = TurnedValues(*area, B, {samples.data(), samples.size()});
      painted = pattern.BatchPaintArea(area->Cells, {turned.data(), turned.size()}, area->Order);
    }
    if (painted) {
      progress.Step(steps);
      return true;
    }
    if (asked) { // refused: the pixel after pixel paint below takes every sample
      progress.CannotCancel();
      sampleAll();
    }
  }

  size_t i = 0;
  for (int64_t X = int64_t{B.Left} - 1; X < B.Right; X += step, ++i) {
    if (i % static_cast<size_t>(every) == 0)
      progress.Step(static_cast<int64_t>(down + i));
    if (X < INT32_MIN)
      continue;
    size_t j = 0;
    for (int64_t Y = int64_t{B.Top} - 1; Y <= int64_t{B.Bottom} - 1; ++Y, ++j) {
      if (Y < INT32_MIN)
        continue;
      const OPaletteEntry v = samples[j * across + i];
      if (machine)
        picture.PaintMachinePixel(static_cast<int32_t>(X), static_cast<int32_t>(Y), v);
      else
        picture.PaintDesignPixel(static_cast<int32_t>(X), static_cast<int32_t>(Y), v);
    }
  }
  progress.Step(steps);
  return true;
}

TImportChoices TImportChoices::Read(OPersist& persist, bool offersDesign, int paletteColours) {
  TImportChoices c;
  const int mode = persist.ReadInteger("fmBitmap.Colours", 0);
  const int dither = persist.ReadInteger("fmBitmap.Dither", 0);
  c.Assignment.Mode = mode >= 0 && mode <= 2 ? static_cast<TColourMode>(mode) : TColourMode::Exact;
  c.Assignment.Dither = dither >= 0 && dither <= 2 ? static_cast<TDither>(dither) : TDither::None;
  c.Assignment.ReduceTo =
      std::clamp(persist.ReadInteger("fmBitmap.ReduceTo", paletteColours), 0, paletteColours);
  c.Assignment.TakeColours = persist.ReadInteger("fmBitmap.TakeColours", 0) != 0;
  c.Machine = !offersDesign || persist.ReadInteger("fmBitmap.Machine", 0) != 0;
  return c;
}

void TImportChoices::Write(OPersist& persist) const {
  persist.WriteInteger("fmBitmap.Colours", static_cast<int>(Assignment.Mode));
  persist.WriteInteger("fmBitmap.Dither", static_cast<int>(Assignment.Dither));
  persist.WriteInteger("fmBitmap.ReduceTo", Assignment.ReduceTo);
  persist.WriteInteger("fmBitmap.TakeColours", Assignment.TakeColours ? 1 : 0);
  persist.WriteInteger("fmBitmap.Machine", Machine ? 1 : 0);
}

std::string UnstatedText(int64_t cells, bool colourPattern) {
  if (cells <= 0)
    return "";
  if (colourPattern)
    return cells == 1 ? "1 cell has a colour that no yarn type shows"
                      : std::to_string(cells) + " cells have colours that no yarn type shows";
  return cells == 1 ? "1 cell has no state for its yarn type"
                    : std::to_string(cells) + " cells have no state for their yarn type";
}

OBitmap24 CellPicture(const TCellValues& cells, const OPalette& palette, bool machine, int maxWidth,
                      int maxHeight) {
  OBitmap24 out;
  const int64_t wide = machine ? 1 : 2;
  const int64_t across = static_cast<int64_t>(cells.Across),
                down = static_cast<int64_t>(cells.Down);
  if (across == 0 || down == 0 || maxWidth < wide || maxHeight < 1)
    return out;
  const int64_t block = std::max<int64_t>(
      1, std::min((maxWidth / wide) / across, static_cast<int64_t>(maxHeight) / down));
  // More cells than pixels: every k-th cell, one pixel (two across in the design view).
  const int64_t every = std::max<int64_t>(
      {1, (across * wide + maxWidth - 1) / maxWidth, (down + maxHeight - 1) / maxHeight});
  const int64_t shownAcross = (across + every - 1) / every, shownDown = (down + every - 1) / every;
  const int64_t blockWidth = block * wide;
  out.SetSize(static_cast<int>(shownAcross * blockWidth), static_cast<int>(shownDown * block));
  for (int64_t r = 0; r < shownDown; ++r) {
    const size_t j = static_cast<size_t>(down - 1 - r * every); // the bitmap's top row first
    for (int64_t k = 0; k < shownAcross; ++k) {
      const size_t i = static_cast<size_t>(k * every), at = j * cells.Across + i;
      const uint32_t colour = palette.GetColour(cells.Values[at]);
      const bool crossed = !cells.Unstated.empty() && cells.Unstated[at] != 0;
      const uint32_t ink = LabelInk(colour);
      for (int64_t y = 0; y < block; ++y) {
        uint32_t* row = out.Row(static_cast<int>(r * block + y)) + k * blockWidth;
        for (int64_t x = 0; x < blockWidth; ++x) {
          // Both diagonals of the block; a block too small for a cross is all ink.
          const int64_t bx = x / wide;
          const bool onCross = block < 3 || bx == y || bx == block - 1 - y;
          row[x] = crossed && onCross ? ink : colour;
        }
      }
    }
  }
  return out;
}

OBitmap24 ExportBitmap(ORegion& region, bool machine) {
  const int64_t w = region.PatternWidth, h = region.PatternHeight;
  if (w < 1 || h < 1)
    throw Exception("The region's pattern area is empty: there is nothing to export");
  if (w * h > OPicture::MaxPixels)
    throw Exception("The region's pattern area is too large to export");
  ODesignOwner& pattern = *region.Owner;
  OPicture& picture = *region.Picture;
  if (machine) {
    pattern.ComputeMachineColours();
    picture.RenderMachineImage();
  } else {
    pattern.ComputeDesignColours();
    picture.RenderDesignImage();
  }
  const OBitmap24& image = machine ? picture.MachineImage : picture.DesignImage;
  OBitmap24 out;
  out.SetSize(static_cast<int>(w), static_cast<int>(h));
  const int64_t left = int64_t{region.PatternArea.Left} - 1,
                top = int64_t{region.PatternArea.Top} - 1;
  for (int64_t y = 0; y < h; ++y) {
    uint32_t* row = out.Row(static_cast<int>(h - 1 - y));
    for (int64_t x = 0; x < w; ++x)
      row[x] = image.GetPixel(left + x, top + y);
  }
  return out;
}

} // namespace quillane
