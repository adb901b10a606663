#include <functional>
#include <random>
#include <tuple>

#include "InterchangeSupport.h"
#include "PatternSupport.h"

#include "files/ControlCells.h"
#include "production/MachineCheck.h"
#include "setup/Creel.h"
#include "wizards/Wizards.h"

namespace quillane::test {
namespace {

using Place = std::tuple<TRule, int, int, int, int>; // rule, needles, PLines

std::vector<Place> Places(const std::vector<TFinding>& findings) {
  std::vector<Place> places;
  for (const TFinding& f : findings)
    places.emplace_back(f.Rule, f.FirstNeedle, f.LastNeedle, f.FirstPLine, f.LastPLine);
  return places;
}

TMachineProfile Tufter() {
  TMachineProfile profile;
  profile.Name = "Tufter 4";
  return profile;
}

// Rows are PLines from 1, each a cell per needle: a state, or in a colour pattern a colour.
// A machine type of 1 names its states On and Off, 3 High, Medium and Low (10, 7.5 and 5 mm),
// 11 is a colour pattern; the others High and Low. PLines lie 2.5 mm apart.
TEST(MachineCheck, FindsEachPlantedFaultAtItsEdgesAndNothingElse) {
  using P = TMachineProfile;
  using R = TProductionParameters;
  struct TCase {
    const char* Name;
    uint8_t MachineType;
    std::vector<const char*> Cells;
    std::function<void(P&, R&, OPattern&)> Set;
    std::vector<Place> Found;
    const char* FirstMessage = nullptr;
  };
  const TCase cases[] = {
      // Needle 1 floats exactly 2, needle 2 one more, needle 3's float wraps from PLine 6
      // into PLine 1, needle 4 never tufts.
      {"float",
       1,
       {"1122", "2222", "2212", "1212", "1112", "1122"},
       [](P& p, R&, OPattern&) { p.LongestFloatPLines = 2; },
       {{TRule::Float, 2, 2, 2, 4}, {TRule::Float, 3, 3, 6, 2}, {TRule::Float, 4, 4, 1, 6}},
       "Needle 2 goes 3 PLines without a tuft; Tufter 4 allows at most 2"},
      // A state marked none leaves no tuft; the undefined cells are coded as state 1, which
      // tufts.
      {"none state and undefined cells",
       0,
       {"20", "20", "10"},
       [](P& p, R&, OPattern&) {
         p.LongestFloatPLines = 1;
         p.States = {{1, TTuft::Cut}, {2, TTuft::None}};
       },
       {{TRule::Float, 1, 1, 1, 2}}},
      // Runs of 3 at the limit (needle 4's wraps through the repeat), needle 2's run of 2
      // too short, needle 3's wrapping run of 2 too.
      {"short run",
       0,
       {"11221", "12111", "12111", "21111", "21121", "21221"},
       [](P& p, R&, OPattern&) { p.ShortestStateRunPLines = 3; },
       {{TRule::ShortRun, 2, 2, 2, 3}, {TRule::ShortRun, 3, 3, 6, 1}},
       "Needle 2 keeps state 2 (Low) for only 2 PLines; Tufter 4 needs at least 3"},
      // A stripe across the goods is one place, not one per needle.
      {"short run across needles",
       0,
       {"1112", "2222", "1112"},
       [](P& p, R&, OPattern&) { p.ShortestStateRunPLines = 2; },
       {{TRule::ShortRun, 1, 3, 2, 2}},
       "Needles 1 to 3 keep state 2 (Low) for only 1 PLine; Tufter 4 needs at least 2"},
      // High to Medium is 2.5 mm, at the limit; High to Low twice that. Steps either side of
      // one PLine are one place, also through the repeat (needle 4).
      {"pile step",
       3,
       {"1113", "2131", "1311", "2311", "1111", "2111"},
       [](P& p, R&, OPattern&) { p.LargestPileStepMm = 2.5; },
       {{TRule::PileStep, 2, 2, 2, 3},
        {TRule::PileStep, 2, 2, 4, 5},
        {TRule::PileStep, 3, 3, 1, 3},
        {TRule::PileStep, 4, 4, 6, 2}},
       "Needle 2 steps 5 mm in pile height; Tufter 4 allows at most 2.5 mm"},
      // A block of cells in a state the machine lacks is one place.
      {"state",
       0,
       {"122", "122", "111"},
       [](P& p, R&, OPattern&) {
         p.States = {{1, TTuft::Cut}};
       },
       {{TRule::State, 2, 3, 1, 2}},
       "State 2 (Low) is not one Tufter 4 can tuft"},
      // Colour 3 gives no state to yarn type 1: the first and last needle, first and last
      // PLine.
      {"no state",
       0,
       {"11", "11", "11"},
       [](P&, R&, OPattern& pattern) {
         pattern.Creel->SetYarnType(2, 1);
         pattern.SetMachineColour(1, 1, 3);
         pattern.SetMachineColour(2, 3, 3);
       },
       {{TRule::NoState, 1, 1, 1, 1}, {TRule::NoState, 2, 2, 3, 3}}},
      // Colours 0 and 3 no yarn type shows; 0 is asked for, 3 is a fault.
      {"colour",
       11,
       {"1203", "2233"},
       [](P&, R&, OPattern&) {},
       {{TRule::Colour, 3, 3, 2, 2}, {TRule::Colour, 4, 4, 1, 2}},
       "No yarn type shows colour 3; these cells leave no tuft"},
      // Needle 1 takes 40 mm, the others 20: 50 % above the mean.
      {"imbalance",
       0,
       {"122", "122"},
       [](P& p, R& r, OPattern&) {
         p.LargestImbalancePercent = 49;
         r.TuftLength = {20, 10};
       },
       {{TRule::Imbalance, 1, 1, 1, 2}},
       "Needle 1 takes 50.0 % more yarn than the mean; Tufter 4 runs well with at most 49 %"},
      {"imbalance at the limit",
       0,
       {"122", "122"},
       [](P& p, R& r, OPattern&) {
         p.LargestImbalancePercent = 50;
         r.TuftLength = {20, 10};
       },
       {}},
      // Four needles 2.5 mm apart make a 10 mm pattern: 3.1 of them between 2 mm selvages.
      {"the machine as a whole",
       0,
       {"1111"},
       [](P& p, R& r, OPattern& pattern) {
         p.Needles = 3, p.CreelYarnTypes = 1, p.CreelPositions = 7, p.PLineSpacingMm = {{3, 4}};
         pattern.SetNoYarnTypes(2);
         pattern.Creel->SetYarnType(2, 2);
         pattern.Settings->NeedleSpacing = 2.5f;
         r.GoodsWidth = 0.035, r.Selvage = 2;
       },
       {{TRule::Needles, 4, 4, 1, 1},
        {TRule::PLineSpacing, 1, 4, 1, 1},
        {TRule::CreelYarnTypes, 1, 4, 1, 1},
        {TRule::CreelPositions, 1, 4, 1, 1},
        {TRule::GoodsWidth, 1, 4, 1, 1}},
       "The pattern needs 4 needles; Tufter 4 has 3"},
      {"the machine as a whole, each at its limit",
       0,
       {"1111"},
       [](P& p, R& r, OPattern& pattern) {
         p.Needles = 4, p.CreelYarnTypes = 2, p.CreelPositions = 8, p.PLineSpacingMm = {{2.5, 4}};
         pattern.SetNoYarnTypes(2);
         pattern.Creel->SetYarnType(2, 2);
         pattern.Settings->NeedleSpacing = 2.5f;
         r.GoodsWidth = 0.034, r.Selvage = 2;
       },
       {}},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Name);
    auto pattern = MakePattern(k.MachineType, static_cast<uint16_t>(std::strlen(k.Cells[0])),
                               static_cast<uint16_t>(k.Cells.size()), 2);
    pattern->Settings->PLineSpacing = 2.5f;
    SetCells(*pattern, k.Cells);
    TMachineProfile profile = Tufter();
    TProductionParameters parameters;
    k.Set(profile, parameters, *pattern);
    CompleteProductionParameters(parameters, *pattern);
    const std::vector<TFinding> found = CheckPattern(*pattern, profile, parameters);
    EXPECT_EQ(Places(found), k.Found);
    if (k.FirstMessage && !found.empty()) {
      EXPECT_EQ(found[0].Message, k.FirstMessage);
    }
    for (const TFinding& f : found)
      EXPECT_EQ(f.Severity, RuleSeverity(f.Rule));
    // Nothing is found by the rules left out.
    TRuleSet none(RuleCount, false);
    EXPECT_TRUE(CheckPattern(*pattern, profile, parameters, none).empty());
  }
  EXPECT_EQ(RuleNamed("goods-width"), TRule::GoodsWidth);
  EXPECT_EQ(RuleName(TRule::ShortRun), "short-run");
  EXPECT_EQ(RuleNamed("floats"), std::nullopt);
}

// Stripes a needle wide: no run, float or step along any needle.
TEST(MachineCheck, WizardPatternsFitAProfileMadeForThem) {
  std::vector<std::unique_ptr<OPattern>> patterns;
  patterns.push_back(GenerateWizard(TPlainWizard{20, 10}));
  patterns.push_back(GenerateWizard(TRugWizard{23, 10, 7, 10, 1, 0}));
  patterns.push_back(GenerateWizard(TCarpetWizard{24, 6, 6, 0, true, 1, 2}));
  patterns.push_back(GenerateWizard(THalfDropWizard{20, 10, 5, 0, true, 1, 1}));
  patterns.push_back(GenerateWizard(TRepeatsWizard{20, 10, 5, 5, 1}));
  for (auto& p : patterns) {
    SCOPED_TRACE(p->NoControls);
    for (int pl = 1; pl <= p->NoPLines; ++pl)
      for (int c = 1; c <= p->NoControls; ++c)
        p->SetState(c, pl, static_cast<uint8_t>(1 + c % 2));
    p->Settings->PLineSpacing = 2.5f;
    TMachineProfile profile = Tufter();
    profile.Needles = p->NoControls;
    profile.States = {{1, TTuft::Cut}, {2, TTuft::Loop}};
    profile.LongestFloatPLines = 8, profile.ShortestStateRunPLines = 2;
    profile.LargestPileStepMm = 5, profile.CreelPositions = 2 * p->NoControls;
    profile.CreelYarnTypes = p->NoYarnTypes, profile.PLineSpacingMm = {{2, 3}};
    profile.LargestImbalancePercent = 40; // High takes 22.5 mm a tuft, Low 12.5
    const TProductionParameters parameters = DefaultProductionParameters(*p);
    EXPECT_EQ(Places(CheckPattern(*p, profile, parameters)), std::vector<Place>{});
  }
}

// A needle that switches state on every PLine breaks the roll's rule 20,002 times: the list
// stops, says how many more there are, and the count still holds them all.
TEST(MachineCheck, ListsAFewThousandPlacesOfARuleAndCountsTheRest) {
  auto p = MakePattern(3, 1, 20002, 3);
  for (int pl = 1; pl <= p->NoPLines; ++pl)
    p->SetState(1, pl, static_cast<uint8_t>(1 + pl % 2));
  TMachineProfile profile = Tufter();
  profile.ShortestStateRunPLines = 2;
  OMachineCheck check;
  check.Begin(*p, profile, DefaultProductionParameters(*p));
  while (!check.CheckMore(*p, 5000))
    ;
  EXPECT_EQ(check.Errors(), 20002);
  const std::vector<TFinding> findings = check.Findings();
  ASSERT_EQ(findings.size(), MaxListedPerRule + 1);
  EXPECT_EQ(findings.back().Message, "10002 more places break this rule; the first 10000 are "
                                     "listed");
  EXPECT_EQ(check.Errors(), 20002);
}

// Each cell's own state and colour decide whether it is marked, whichever needles share its
// yarn type, however wide the runs of them, and whatever a damaged file put in the cells.
TEST(MachineCheck, MarksExactlyTheCellsWithABadStateOrNoStateForTheirYarnType) {
  auto p = MakePattern(3, 75, 20, 2);
  p->MachineTable->SetUndefinedState(3);   // undefined cells go out as Low, a bad state here
  for (int c = 1; c <= p->NoControls; ++c) // runs of 16 and more, and single needles
    p->Creel->SetYarnType(c, c <= 20 || (c > 40 && c % 2) ? 1 : 2);
  std::mt19937 random(11);
  for (int pl = 1; pl <= p->NoPLines; ++pl)
    for (int c = 1; c <= p->NoControls; ++c) {
      const uint32_t r = random();
      // Mostly states 0 to 3, now and then a value past them; colours 0 to 7.
      p->States.Set(c, pl, static_cast<uint8_t>(r % 17 == 0 ? 4 + r % 200 : r % 4));
      p->MachineColours.Set(c, pl, static_cast<uint8_t>((r >> 8) % 8));
    }
  TMachineProfile profile = Tufter();
  profile.States = {{1, TTuft::Cut}, {2, TTuft::Loop}};
  TRuleSet rules(RuleCount, false);
  rules[static_cast<size_t>(TRule::State)] = rules[static_cast<size_t>(TRule::NoState)] = true;
  OMachineCheck check;
  check.Begin(*p, profile, DefaultProductionParameters(*p), rules);
  while (!check.CheckMore(*p, 7)) // a block of eight and single PLines
    ;
  int marked = 0;
  for (int pl = 1; pl <= p->NoPLines; ++pl)
    for (int c = 1; c <= p->NoControls; ++c) {
      const uint8_t v = p->States.Get(c, pl), colour = p->MachineColours.Get(c, pl);
      const int state = v == 0 ? UndefinedStateOf(*p) : std::min<int>(v, 127); // as exported
      const bool bad = state != 1 && state != 2;
      const bool unstated =
          colour != 0 && p->MachineTable->GetState(p->Creel->GetYarnType(c), colour) == 0;
      ASSERT_EQ(check.Marked(c, pl), bad || unstated) << c << "," << pl;
      marked += bad || unstated;
    }
  EXPECT_GT(marked, 300);
  EXPECT_LT(marked, 1200);
}

// Strokes of random cells rechecked as they come, some while the check is still reading,
// equal a fresh check of the pattern; the marks are the findings' cells; the imbalance is
// the production figures'.
TEST(MachineCheck, RecheckAfterStrokesEqualsAFreshCheck) {
  auto p = MakePattern(3, 70, 40, 3);
  p->Settings->PLineSpacing = 2.5f;
  std::mt19937 random(7);
  auto state = [&] { return static_cast<uint8_t>(random() % 4); };
  for (int pl = 1; pl <= p->NoPLines; ++pl)
    for (int c = 1; c <= p->NoControls; ++c)
      p->SetState(c, pl, pl % 9 < 6 ? 1 : state());
  TMachineProfile profile = Tufter();
  profile.States = {{1, TTuft::Cut}, {2, TTuft::Loop}, {3, TTuft::None}};
  profile.LongestFloatPLines = 3, profile.ShortestStateRunPLines = 2;
  profile.LargestPileStepMm = 3, profile.LargestImbalancePercent = 2;
  TProductionParameters parameters = DefaultProductionParameters(*p);
  parameters.RunLength = 0.3; // 120 PLines: three passes
  OMachineCheck check;
  check.Begin(*p, profile, parameters);
  for (int stroke = 0; stroke < 300; ++stroke) {
    const int c = 1 + static_cast<int>(random() % 70), pl = 1 + static_cast<int>(random() % 40);
    const int w = 1 + static_cast<int>(random() % 4), h = 1 + static_cast<int>(random() % 4);
    const uint8_t v = state();
    for (int x = c; x < c + w; ++x)
      for (int y = pl; y < pl + h; ++y)
        p->SetState(x, y, v);
    if (random() % 3 == 0)
      p->SetMachineColour(c, pl, 5); // no state for its yarn type
    check.Recheck(*p, {c, pl, c + w - 1, pl + h - 1});
    check.Recheck(*p, {c, pl, c, pl}); // told again, as a press and its copies are
    if (stroke % 3 == 0)
      check.CheckMore(*p, 2);
  }
  EXPECT_TRUE(check.CheckMore(*p, 40));
  const std::vector<TFinding> fresh = CheckPattern(*p, profile, parameters);
  EXPECT_EQ(check.Findings(), fresh);
  ASSERT_GT(fresh.size(), 10u);

  std::vector<int> heavy, imbalanced;
  const TProductionFigures f = ComputeProduction(*p, parameters);
  for (const TNeedleFigures& needle : f.Needles)
    if (needle.Length > f.Balance.Mean * 1.02)
      heavy.push_back(needle.Control);
  int64_t errors = 0;
  std::vector<std::vector<bool>> marked(71, std::vector<bool>(41));
  for (const TFinding& x : fresh) {
    errors += x.Severity == TSeverity::Error;
    if (x.Rule == TRule::Imbalance)
      imbalanced.push_back(x.FirstNeedle);
    for (int c = x.FirstNeedle; c <= x.LastNeedle; ++c)
      for (int pl = x.FirstPLine;; pl = pl % 40 + 1) {
        marked[static_cast<size_t>(c)][static_cast<size_t>(pl)] = true;
        if (pl == x.LastPLine)
          break;
      }
  }
  EXPECT_EQ(imbalanced, heavy);
  EXPECT_EQ(check.Errors(), errors);
  EXPECT_EQ(check.Warnings(), static_cast<int64_t>(fresh.size()) - errors);
  for (int c = 1; c <= 70; ++c)
    for (int pl = 1; pl <= 40; ++pl)
      ASSERT_EQ(check.Marked(c, pl), marked[static_cast<size_t>(c)][static_cast<size_t>(pl)])
          << c << "," << pl;
}

} // namespace
} // namespace quillane::test
