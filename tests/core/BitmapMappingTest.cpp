#include "TestSupport.h"

#include <array>
#include <tuple>

#include "app/Exceptions.h"
#include "editors/ViewMarks.h"
#include "editors/ViewStates.h"
#include "elements/BitmapMapping.h"
#include "elements/Picture.h"
#include "model/BitmapStates.h"
#include "model/Pattern.h"
#include "setup/MachineTable.h"
#include "setup/PalettePaintBox.h"
#include "wizards/Wizards.h"

namespace quillane::test {
namespace {

// Default palette entries 1 (red) and 2: the two colours yarn type A shows, so painting
// them sets states in a new pattern. No entry has teal or a shade.
constexpr uint32_t Red = 0x0000FF, Entry2 = 0x0000C0, White = 0xFFFFFF, Teal = 0x123456;

OBitmap24 Bitmap(int w, int h, uint32_t fill = White) {
  OBitmap24 b;
  b.SetSize(w, h);
  b.Fill(fill);
  return b;
}

class BitmapMapping : public TFlowTest {
protected:
  // A state pattern of w x h with its default region and section.
  std::unique_ptr<OPattern> Pattern(uint16_t w, uint16_t h) {
    return GenerateWizard(TPlainWizard{w, h, TWizardLayout::Section1});
  }
  static ORegion& RegionOf(OPattern& p) { return *p.Pictures->Get(0)->Regions.Get(0); }
};

TEST_F(BitmapMapping, ExactMatchesFirstThenLowestFreeIndicesForTheFirstSixteenColours) {
  auto p = Pattern(4, 4);
  OBitmap24 b = Bitmap(3, 2, Red);
  b.SetPixel(1, 1, White);
  b.SetPixel(2, 0, Teal);
  OBitmapMapping m(RegionOf(*p), b);
  ASSERT_EQ(m.NoBitmapColours, 3);
  EXPECT_EQ(std::vector<uint32_t>(m.BitmapColours.begin() + 1, m.BitmapColours.begin() + 5),
            (std::vector<uint32_t>{Red, White, Teal, clGrey}));
  // Index 1 is taken by the exact match.
  EXPECT_EQ((std::vector<int>{m.Mapping[1], m.Mapping[2], m.Mapping[3], m.MappedColour(Teal)}),
            (std::vector<int>{1, 16, 2, 2}));

  // The user's choice, then "Update Palette": only the working copy changes ...
  m.SetMapping(0, 9);
  m.SetMapping(4, 9);
  m.SetMapping(2, 0);
  EXPECT_EQ(m.Mapping[2] + m.Mapping[4], 0);
  m.UpdatePalette();
  EXPECT_EQ(m.WorkPalette.GetColour(2), Teal);
  EXPECT_EQ(p->Palette->GetColour(2), Entry2);
  // ... until applying replaces the pattern's palette.
  ASSERT_TRUE(m.Apply(true));
  EXPECT_EQ(p->Palette->GetColour(2), Teal);

  // Of 20 colours, none in the palette, the first 16 found down each column are kept.
  auto colour = [](int k) { return 0x100000u + static_cast<uint32_t>(k); };
  OBitmap24 many = Bitmap(5, 4);
  for (int k = 0; k < 20; ++k)
    many.SetPixel(k / 4, k % 4, colour(k));
  auto q = Pattern(4, 4);
  OBitmapMapping kept(RegionOf(*q), many);
  ASSERT_EQ(kept.NoBitmapColours, 16);
  EXPECT_EQ(kept.BitmapColours[16], colour(15));
  EXPECT_EQ(kept.Mapping[16], 16);
  EXPECT_EQ(kept.MappedColour(colour(16)), 0) << "a dropped colour paints undefined";
}

// Shades near the two entries yarn type A shows, and a teal near neither: Nearest keeps
// to the entries that give a state and drops nothing; Exact gives teal free entry 3, which
// gives no state, and the cells count it. In a colour pattern whose yarn types show only
// entries 1 and 2 the same holds of the colours that tuft; a press refuses the others and
// the view counts them.
TEST_F(BitmapMapping, NearestKeepsToStatedEntriesAndExactsMissesAreCounted) {
  for (const bool colours : {false, true}) {
    SCOPED_TRACE(colours);
    auto p = Pattern(4, 2);
    if (colours) {
      p->SetMachineType(11);
      ASSERT_GE(p->NoYarnTypes, 2);
      for (int y = 1; y <= p->NoYarnTypes; ++y)
        p->MachineTable->SetColour(y, 1, static_cast<OPaletteEntry>(y <= 2 ? y : 0));
      p->ApplyMachineTable();
      p->Changed();
    }
    OBitmap24 b = Bitmap(4, 2, 0x0808F0);
    b.SetPixel(1, 0, 0x0000B8);
    b.SetPixel(2, 1, Teal);
    OBitmapMapping m(RegionOf(*p), b);
    m.States = StatedEntries(*p, true);
    const std::vector<OPaletteEntry> candidates = m.Candidates();
    ASSERT_EQ(candidates, (std::vector<OPaletteEntry>{1, 2}));
    const TCellValues exact = m.Cells(true, true);
    EXPECT_EQ(exact.NoUnstated, 1);
    for (const TColourMode mode : {TColourMode::Reduce, TColourMode::Nearest}) {
      m.Assign({mode, 2, TDither::None, true}, true);
      EXPECT_EQ(m.NoBitmapColours, 2);
      const TCellValues cells = m.Cells(true, true);
      ASSERT_EQ(cells.Across * cells.Down, 8u);
      EXPECT_EQ(cells.NoUnstated, 0);
    }
    // Row 0 of the cells is the bitmap's bottom row.
    const TCellValues cells = m.Cells(true, true);
    EXPECT_EQ(std::vector<uint8_t>(cells.Values.begin(), cells.Values.end()),
              (std::vector<uint8_t>{1, 1, 2, 1, 1, 2, 1, 1}));
    ASSERT_TRUE(m.Apply(true));
    EXPECT_EQ(p->GetMachineColour(2, 2), 2);
    EXPECT_EQ(p->GetMachineColour(3, 1), 2) << "teal takes the nearer entry, not undefined";
    OPicture& picture = *p->Pictures->Get(0);
    EXPECT_EQ(PaintPixel(*p, picture, TView::Machine, {0, 0}, 3),
              colours ? "Palette Color 3 has no yarn type in the machine table"
                      : "Palette Color 3 has no state for Yarn Type A in the machine table");
    p->History.EndStroke();
    OBitmapMapping teal(RegionOf(*p), b);
    ASSERT_TRUE(teal.Apply(true));
    OUnstatedCells unstated;
    unstated.Recount(*p, TView::Machine);
    EXPECT_EQ(unstated.Total(), 1);
    EXPECT_EQ(UnstatedStatus(unstated.Total(), colours),
              colours ? "1 cell has a colour that no yarn type shows"
                      : "1 cell has no state for its yarn type");
  }
}

// A bitmap twice as wide as the region, red columns between white ones: the cells' centres
// fall on the red ones in every mode.
TEST_F(BitmapMapping, ReduceIsRepeatableKeepsToItsCountAndSamplesCellCentres) {
  auto p = Pattern(4, 4);
  OBitmap24 b = Bitmap(8, 4);
  for (int x = 1; x < 8; x += 2)
    for (int y = 0; y < 4; ++y)
      b.SetPixel(x, y, y < 2 ? Red : 0x00C000);
  OBitmapMapping m(RegionOf(*p), b);
  for (const auto& [n, take, dither] : {std::tuple{1, false, TDither::None},
                                        {2, true, TDither::FloydSteinberg},
                                        {5, true, TDither::Ordered}}) {
    SCOPED_TRACE(n);
    const TAssignment a{TColourMode::Reduce, n, dither, take};
    m.Assign(a, true);
    const std::vector<uint32_t> first(m.BitmapColours.begin(), m.BitmapColours.end());
    m.Assign(a, true);
    EXPECT_EQ(std::vector<uint32_t>(m.BitmapColours.begin(), m.BitmapColours.end()), first);
    EXPECT_EQ(m.NoBitmapColours, std::min(n, 2)) << "no white sampled";
    EXPECT_EQ(m.PaletteChanged, take);
    if (take) { // each reduced colour its own entry, which takes the colour
      for (int i = 1; i <= m.NoBitmapColours; ++i)
        EXPECT_EQ(m.WorkPalette.GetColour(m.Mapping[static_cast<size_t>(i)]),
                  m.BitmapColours[static_cast<size_t>(i)]);
    }
    auto entryOf = [&](uint32_t colour) {
      for (int i = 1; i <= m.NoBitmapColours; ++i)
        if (m.BitmapColours[static_cast<size_t>(i)] == colour || n == 1)
          return m.Mapping[static_cast<size_t>(i)];
      return OPaletteEntry{0};
    };
    // The first two rows of cells are the bitmap's bottom rows.
    const TCellValues cells = m.Cells(true, false);
    for (size_t k = 0; k < cells.Values.size(); ++k)
      EXPECT_EQ(cells.Values[k], entryOf(k < 8 ? 0x00C000 : Red)) << k;
  }
}

// Two cells, the right one unstated, in the design view: blocks twice as wide as high,
// the bitmap's top row first, a cross through the unstated one; a narrow box shows every
// other cell. Choices kept in the ini come back, forged ones as the defaults.
TEST_F(BitmapMapping, CellPictureAndKeptChoices) {
  auto p = Pattern(4, 4);
  TCellValues cells;
  cells.Across = 2;
  cells.Down = 2;
  cells.Values = TZeroedBytes(4);
  cells.Unstated = TZeroedBytes(4);
  cells.Values[0] = 1, cells.Values[1] = 16, cells.Values[2] = 2, cells.Values[3] = 2;
  cells.Unstated[1] = 1;
  const OPalette& palette = *p->Palette;
  const uint32_t white = palette.GetColour(16), ink = LabelInk(white);
  const OBitmap24 big = CellPicture(cells, palette, false, 40, 9);
  ASSERT_EQ(big.Width() * 100 + big.Height(), 16'08);
  std::vector<uint32_t> pixels;
  for (auto [x, y] : {std::pair{0, 0}, {0, 4}, {8, 4}, {9, 4}, {10, 4}, {14, 5}, {14, 7}})
    pixels.push_back(big.GetPixel(x, y));
  EXPECT_EQ(pixels, (std::vector<uint32_t>{palette.GetColour(2), palette.GetColour(1), ink, ink,
                                           white, white, ink}));
  const OBitmap24 small = CellPicture(cells, palette, true, 1, 1);
  ASSERT_EQ(small.Width() * 100 + small.Height(), 1'01);
  EXPECT_EQ(small.GetPixel(0, 0), palette.GetColour(2));

  OMemoryPersist ini;
  const TImportChoices chosen{{TColourMode::Reduce, 5, TDither::Ordered, true}, true};
  chosen.Write(ini);
  const TImportChoices back = TImportChoices::Read(ini, true, 16);
  EXPECT_TRUE(back.Assignment == chosen.Assignment && back.Machine);
  EXPECT_EQ(TImportChoices::Read(ini, true, 4).Assignment.ReduceTo, 4);
  ini.Values["App.fmBitmap.Colours"] = ini.Values["fmBitmap.Colours"] = "7";
  ini.Values["fmBitmap.Machine"] = "0";
  const TImportChoices forged = TImportChoices::Read(ini, false, 16);
  EXPECT_TRUE(forged.Assignment.Mode == TColourMode::Exact && forged.Machine);
}

// The window's colour column with three colours, five rows of a fifth of its height: a press
// changes only the used row under it; Up and Down move the row and the strip's colours only
// within what there is, Space gives a row a button's colour. A colour pattern imports into its
// machine view only.
TEST_F(BitmapMapping, PressesAndKeysStayWithinTheColoursAndColourPatternsOfferNoDesignView) {
  auto p = Pattern(4, 4);
  OBitmap24 b = Bitmap(3, 1, Red);
  b.SetPixel(1, 0, White);
  b.SetPixel(2, 0, Teal);
  OBitmapMapping m(RegionOf(*p), b);
  const std::vector<OPaletteEntry> automatic = m.Mapping;
  OPalettePaintBox strip(&m.WorkPalette, false);
  strip.LeftIndex = 7;
  strip.RightIndex = 9;
  // The button, where it is pressed in a column of this height, the row it changes (0: none)
  // and the entry the row takes.
  const std::tuple<TMouseButton, int, int, int, int, OPaletteEntry> rows[] = {
      {TMouseButton::Left, 0, 0, 100, 1, 7},   {TMouseButton::Right, 39, 59, 100, 3, 9},
      {TMouseButton::Left, 5, 60, 100, 0, 0},  // below the used rows
      {TMouseButton::Left, 40, 10, 100, 0, 0}, // right of the column
      {TMouseButton::Left, -1, 10, 100, 0, 0}, // left of it
      {TMouseButton::Left, 5, 100, 100, 0, 0}, // under it
      {TMouseButton::Middle, 5, 0, 100, 0, 0}, // neither button's colour
      {TMouseButton::Left, 5, 2, 3, 3, 7},     // rows of one pixel in a short column
      {TMouseButton::Right, 5, 0, 0, 0, 0},    // a column of no height
  };
  for (const auto& [button, x, y, height, row, index] : rows) {
    SCOPED_TRACE(std::to_string(y) + " of " + std::to_string(height));
    m.Mapping = automatic;
    std::vector<OPaletteEntry> expected = automatic;
    if (row)
      expected[static_cast<size_t>(row)] = index;
    EXPECT_EQ(m.RowAt(40, height, x, y), button == TMouseButton::Middle ? 1 : row);
    EXPECT_EQ(m.Press(button, strip, 40, height, x, y), row != 0);
    EXPECT_EQ(m.Mapping, expected);
  }

  for (auto [row, delta, reached] :
       {std::array{0, 0, 1}, {9, 0, 3}, {1, -1, 1}, {1, 1, 2}, {3, 1, 3}, {3, -2, 1}})
    EXPECT_EQ(m.KeyRow(row, delta), reached) << row << " by " << delta;

  m.Mapping = automatic;
  std::vector<OPaletteEntry> expected = automatic;
  expected[2] = 7;
  expected[3] = 9;
  m.KeyAssign(2, strip, false);
  m.KeyAssign(3, strip, true);
  m.KeyAssign(4, strip, true); // past the used rows
  EXPECT_EQ(m.Mapping, expected);

  const int n = m.WorkPalette.NoColours();
  strip.Height = 400;
  // Right or left button's colour, the step, and both colours after it.
  for (auto [right, delta, left, rightIndex] : {std::tuple{false, -1, 6, 9},
                                                {true, 1, 6, 10},
                                                {false, -9, 1, 10},
                                                {true, 99, 1, n},
                                                {false, 0, 1, n}}) {
    ASSERT_TRUE(strip.Step(right, delta));
    EXPECT_EQ(std::pair(int(strip.LeftIndex), int(strip.RightIndex)), std::pair(left, rightIndex));
    const int index = right ? rightIndex : left;
    EXPECT_EQ(strip.HintText.rfind("Palette Color " + std::to_string(index) + ":", 0), 0u)
        << strip.HintText;
  }
  m.WorkPalette.SetNoColours(0);
  EXPECT_FALSE(strip.Step(false, 1));
  EXPECT_EQ(strip.LeftIndex, 1);

  for (const auto& [mode, offered] :
       {std::pair{uint8_t(0), true}, {uint8_t(1), true}, {pmColours, false}}) {
    p->PatternMode = mode;
    EXPECT_EQ(OffersDesignView(*p), offered) << int(mode);
  }
}

// A cancel while the samples are taken leaves every byte of the pattern as it was; once
// painting has begun the cancel comes too late and the whole bitmap is painted.
TEST_F(BitmapMapping, CancelledApplyLeavesPatternAndPaletteAsTheyWere) {
  // The machine view with the palette kept samples as it paints; the others sample first.
  for (const bool machine : {true, false})
    for (const bool takeColours : {true, false}) {
      SCOPED_TRACE(std::string(machine ? "machine" : "design") + (takeColours ? ", palette" : ""));
      auto painted = Pattern(40, 30);
      OBitmap24 b = Bitmap(1, 2, Teal);
      b.SetPixel(0, 0, Red);
      OBitmapMapping whole(RegionOf(*painted), b);
      if (takeColours)
        whole.UpdatePalette();
      ASSERT_TRUE(whole.Apply(machine));

      auto p = Pattern(40, 30);
      OBitmapMapping m(RegionOf(*p), b);
      if (takeColours)
        m.UpdatePalette();
      const Bytes before = RecordBytes(*p);
      UI.CancelAtStep = 10;
      EXPECT_FALSE(m.Apply(machine));
      EXPECT_TRUE(m.Cancelled);
      EXPECT_EQ(RecordBytes(*p), before);
      EXPECT_EQ(UI.ProgressDepth, 0);
      UI.CancelAtStep = 31;
      EXPECT_TRUE(m.Apply(machine));
      EXPECT_FALSE(m.Cancelled);
      EXPECT_EQ(RecordBytes(*p), RecordBytes(*painted));
    }
  // Dithering comes first, and may be cancelled as well.
  auto p = Pattern(40, 30);
  OBitmapMapping m(RegionOf(*p), Bitmap(1, 2, Teal));
  m.Assign({TColourMode::Nearest, 0, TDither::FloydSteinberg}, true);
  const Bytes before = RecordBytes(*p);
  UI.CancelAtStep = 10;
  UI.ProgressTexts.clear();
  EXPECT_TRUE(!m.Apply(true) && m.Cancelled && UI.ProgressDepth == 0);
  EXPECT_EQ(UI.ProgressTexts, std::vector<std::string>{"Assigning colours"});
  EXPECT_EQ(RecordBytes(*p), before);
}

// Leaving the window: the close box asks once unless a button decided, and only an apply
// that found nothing to import into is told; a cancelled progress says nothing.
TEST_F(BitmapMapping, LeavingAsksOnceUnlessDecidedAndTellsOnlyOfAnEmptyArea) {
  using TChoice = OBitmapMapping::TChoice;
  using TBox = OScriptedPlatform::TBox;
  // The button that decided, the answer to the question, whether leaving applies, whether it
  // asked, whether the region's area is empty, whether the progress is cancelled, and
  // whether the pattern was painted.
  const std::tuple<TChoice, bool, bool, bool, bool, bool, bool> rows[] = {
      {TChoice::Open, true, true, true, false, false, true},
      {TChoice::Open, false, false, true, false, false, false},
      {TChoice::Apply, false, true, false, true, false, false},
      {TChoice::Apply, false, true, false, false, true, false},
      {TChoice::Cancel, true, false, false, false, false, false},
  };
  for (const auto& [choice, answer, applies, asked, emptyArea, cancelProgress, painted] : rows) {
    SCOPED_TRACE(std::to_string(int(choice)) + (answer ? " yes" : " no") +
                 (emptyArea ? " empty" : "") + (cancelProgress ? " cancelled" : ""));
    UI.Shown.clear();
    UI.ConfirmAnswers = {answer};
    UI.CancelAtStep = cancelProgress ? std::optional<int64_t>(1) : std::nullopt;
    auto p = Pattern(4, 4);
    if (emptyArea)
      RegionOf(*p).SetPictureArea({5, 1, 4, 5});
    const Bytes before = RecordBytes(*p);
    OBitmapMapping m(RegionOf(*p), Bitmap(2, 2, Red));
    m.Choice = choice;
    EXPECT_EQ(m.Close(), applies);
    EXPECT_EQ(m.Close(), applies) << "asked again";
    m.Finish(true);
    std::vector<std::pair<TBox, std::string>> told, expected;
    for (const auto& shown : UI.Shown)
      told.emplace_back(shown.Box, shown.Text);
    if (asked)
      expected.emplace_back(TBox::Confirm, "Apply changes");
    if (emptyArea)
      expected.emplace_back(TBox::Message,
                            "The region's picture area is empty: there is nothing to import into");
    EXPECT_EQ(told, expected);
    EXPECT_EQ(RecordBytes(*p) != before, painted);
  }
}

// Which bitmap pixels are sampled: the expected sample points are red (entry 1), the first
// PLine's first one entry 2, everything else a colour that paints nothing.
TEST_F(BitmapMapping, SamplesCellCentresUpsideDownInBothViews) {
  const std::pair<bool, std::vector<int>> rows[] = {{true, {5, 15, 25, 35, 45, 55, 65, 75, 85, 95}},
                                                    {false, {10, 30, 50, 70, 90}}};
  for (const auto& [machine, xs] : rows) {
    SCOPED_TRACE(machine ? "machine" : "design");
    auto p = Pattern(10, 5);
    OBitmap24 b = Bitmap(100, 50);
    for (int x : xs)
      for (int y : {45, 35, 25, 15, 5})
        b.SetPixel(x, y, Red);
    b.SetPixel(xs[0], 45, Entry2);
    OBitmapMapping m(RegionOf(*p), b);
    ASSERT_TRUE(m.Apply(machine));
    // A design-view sample paints a pair of controls.
    for (int c = 1; c <= 10; ++c)
      for (int pl = 1; pl <= 5; ++pl)
        EXPECT_EQ(machine ? p->GetMachineColour(c, pl) : p->GetDesignColour(c, pl),
                  c <= (machine ? 1 : 2) && pl == 1 ? 2 : 1)
            << c << "," << pl;
  }
}

TEST_F(BitmapMapping, ExportThenImportGivesEveryCellItsIndex) {
  // A colour pattern, so that every palette index is a cell value.
  auto source = Pattern(10, 5);
  source->SetMachineType(11);
  source->Changed();
  OPicture& picture = *source->Pictures->Get(0);
  picture.BringUpToDate(TView::Machine);
  auto index = [](int c, int pl) { return static_cast<uint8_t>((c + 3 * pl) % 16 + 1); };
  for (int c = 1; c <= 10; ++c)
    for (int pl = 1; pl <= 5; ++pl)
      picture.PaintMachinePixel(c - 1, pl - 1, index(c, pl));

  OBitmap24 exported = ExportBitmap(RegionOf(*source), true);
  ASSERT_EQ(std::pair(exported.Width(), exported.Height()), std::pair(10, 5));
  EXPECT_EQ(exported.GetPixel(0, 4), source->Palette->GetColour(index(1, 1)))
      << "PLine 1 at the bottom";

  auto target = Pattern(10, 5);
  target->SetMachineType(11);
  target->Changed();
  OBitmapMapping m(RegionOf(*target), exported);
  ASSERT_TRUE(m.Apply(true));
  for (int c = 1; c <= 10; ++c)
    for (int pl = 1; pl <= 5; ++pl)
      EXPECT_EQ(target->GetMachineColour(c, pl), index(c, pl)) << c << "," << pl;

  // Regions with nothing to sample or export.
  ORegion& region = RegionOf(*target);
  region.SetPictureArea({5, 1, 4, 5});
  m.UpdatePalette();
  EXPECT_FALSE(m.Apply(true));
  EXPECT_EQ(target->GetMachineColour(1, 1), index(1, 1));
  // A forged region larger than any picture would take until the end of time to paint.
  // Nor may its size overflow on the way: the widest area has 2^32 pixels a side.
  for (const TRect& forged :
       {TRect{1, 1, 1 << 30, 1 << 30}, TRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}}) {
    region.SetPictureArea(forged);
    EXPECT_FALSE(m.Apply(true));
    EXPECT_EQ(target->GetMachineColour(1, 1), index(1, 1));
  }
  region.SetPatternArea({1, 3, 10, 2});
  EXPECT_THROW(ExportBitmap(region, true), Exception);
}

} // namespace
} // namespace quillane::test
