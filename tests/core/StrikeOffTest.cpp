#include "PatternSupport.h"

#include <cmath>
#include <tuple>

#include "preview/StrikeOff.h"
#include "setup/Creel.h"
#include "wizards/Wizards.h"

namespace quillane::test {
namespace {

TEST(StrikeOffLengths, ALengthNeedsItsUnitAndAPlausibleSize) {
  struct TCase {
    const char* Text;
    double Mm; // 0: refused
    const char* Problem;
  };
  const TCase cases[] = {
      {"500mm", 500, ""},
      {"18 in", 457.2, ""},
      {" 12ft ", 3657.6, ""},
      {"4.5 m", 4500, ""},
      {"18.25in", 463.55, ""},
      {"2 FT", 609.6, ""},
      {"12", 0, "\"12\" needs a unit: mm, m, in or ft"},
      {"12 km", 0, "\"12 km\" needs a unit: mm, m, in or ft"},
      {"", 0, "\"\" needs a unit: mm, m, in or ft"},
      {"0 mm", 0, "\"0 mm\" is no length: it must be more than 0"},
      {"-3m", 0, "\"-3m\" is no length: it must be more than 0"},
      {"nan m", 0, "\"nan m\" is not a length"},
      {"inf ft", 0, "\"inf ft\" is not a length"},
      {"1e400 mm", 0, "\"1e400 mm\" is not a length"},
      {"1001 m", 0, "\"1001 m\" is longer than 1 km"},
      {"3.2.1 m", 0, "\"3.2.1 m\" is not a length"},
      {"m", 0, "\"m\" is not a length"},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Text);
    std::string problem = "left over";
    const std::optional<double> mm = ReadLength(k.Text, problem);
    EXPECT_EQ(problem, k.Problem);
    ASSERT_EQ(mm.has_value(), k.Mm > 0);
    if (mm) {
      EXPECT_NEAR(*mm, k.Mm, 1e-9);
    }
  }
}

TEST(StrikeOffLengths, AnAreaTakesOneUnitForBothOrOneForEach) {
  struct TCase {
    const char* Text;
    double Width, Length; // 0: refused
  };
  const TCase cases[] = {{"9x13m", 9000, 13000},
                         {"9 x 13 m", 9000, 13000},
                         {"30ftx40ft", 9144, 12192},
                         {"2m X 500mm", 2000, 500},
                         {"9mx13", 0, 0},
                         {"9x13", 0, 0},
                         {"13 m", 0, 0},
                         {"0x13m", 0, 0},
                         {"9x2000m", 0, 0},
                         {"x13m", 0, 0}};
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Text);
    std::string problem;
    const auto area = ReadArea(k.Text, problem);
    ASSERT_EQ(area.has_value(), k.Width > 0) << problem;
    EXPECT_EQ(problem.empty(), k.Width > 0);
    if (area) {
      EXPECT_NEAR(area->first, k.Width, 1e-9);
      EXPECT_NEAR(area->second, k.Length, 1e-9);
    }
  }
}

TEST(StrikeOffLengths, ALengthIsShownInTheUnitsItIsNamedIn) {
  for (const auto& [mm, imperial, text] : {std::tuple{500.0, false, "500 mm"},
                                           {4000.0, false, "4 m"},
                                           {3657.6, false, "3.658 m"},
                                           {457.2, true, "18 in"},
                                           {3657.6, true, "12 ft"},
                                           {463.55, true, "18.25 in"},
                                           {206.375, true, "8.125 in"},
                                           {609.6, true, "24 in"},
                                           {12.25, false, "12.3 mm"}}) {
    EXPECT_EQ(LengthText(mm, imperial), text) << mm;
    // What is shown reads back.
    std::string problem;
    const std::optional<double> back = ReadLength(LengthText(mm, imperial), problem);
    ASSERT_TRUE(back) << problem;
    EXPECT_NEAR(*back, mm, 0.6);
  }
}

TEST(StrikeOffLengths, InstallsAndMatchesReadBackTheirKeys) {
  for (TInstall install : AllInstalls)
    EXPECT_EQ(ReadInstall(InstallKey(install)), install);
  EXPECT_EQ(InstallKey(TInstall::QuarterTurn), "quarter-turn");
  EXPECT_EQ(InstallName(TInstall::HalfDrop), "Half drop");
  EXPECT_EQ(ReadInstall("Ashlar"), std::nullopt);
  for (TMatch match : {TMatch::Set, TMatch::Drop})
    EXPECT_EQ(ReadMatch(MatchKey(match)), match);
  EXPECT_EQ(ReadMatch("half"), std::nullopt);
}

// A repeat of 73 quarter-inch needles is 18 1/4 in: seven fit across 12 ft with 8 1/8 in each
// side, and eight would come out a quarter inch short each.
TEST(StrikeOffRepeat, TheRepeatFitOfAWidth) {
  struct TCase {
    const char* Name;
    TPatternRepeat Repeat;
    double WidthMm;
    int Repeats;
    double SelvageIn, ShortIn, WasteIn;
  };
  const TCase cases[] = {
      {"the published example", {73, 40, 0}, 3657.6, 7, 8.125, 0.25, 10},
      {"whole repeats", {48, 8, 0}, 3657.6, 12, 0, 12.0 / 13, 2},
      {"a repeat wider than the width", {600, 4, 0}, 3657.6, 0, 72, 6, 1},
      {"no width", {73, 40, 0}, 0, 0, 0, 0, 10},
      {"no repeat", {0, 0, 0}, 3657.6, 0, 0, 0, 0},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Name);
    const TRepeatFit fit = RepeatFit(k.Repeat, {6.35, 6.35}, k.WidthMm);
    EXPECT_EQ(fit.RepeatsAcross, k.Repeats);
    EXPECT_NEAR(fit.RepeatAcrossMm, k.Repeat.Controls * 6.35, 1e-9);
    EXPECT_NEAR(fit.SelvageMm / 25.4, k.SelvageIn, 1e-9);
    EXPECT_NEAR(fit.ShortPerRepeatMm / 25.4, k.ShortIn, 1e-9);
    EXPECT_NEAR(fit.WastePerCutMm / 25.4, k.WasteIn, 1e-9);
  }
}

TEST(StrikeOffRepeat, TheRepeatIsReadFromTheSections) {
  struct TCase {
    const char* Name;
    std::unique_ptr<OPattern> Pattern;
    TPatternRepeat Repeat;
  };
  TCase cases[] = {
      {"no sections", BarePattern(30, 20), {30, 20, 0}},
      // Tiles of 6 x 3 with the second band half a tile across: half a tile dropped a band.
      {"half drop", GenerateWizard(THalfDropWizard{24, 6, 6, 3, false, 1, 1}), {3, 6, 3}},
      {"centred half drop", GenerateWizard(THalfDropWizard{20, 10, 6, 5, true, 1, 1}), {3, 10, 5}},
      // An odd tile's bands do not interlock exactly: the tile across is the repeat.
      {"odd half drop", GenerateWizard(THalfDropWizard{21, 8, 7, 4, false, 1, 1}), {7, 8, 0}},
      {"repeats", GenerateWizard(TRepeatsWizard{24, 12, 6, 4, 1}), {6, 4, 0}},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Name);
    EXPECT_EQ(PatternRepeat(*k.Pattern), k.Repeat);
  }
}

} // namespace
} // namespace quillane::test
