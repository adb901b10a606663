#include <cstdlib>
#include <optional>

#include "InterchangeSupport.h"
#include "PatternSupport.h"

#include "editors/CheckEditor.h"
#include "production/CheckReport.h"
#include "production/MachineProfile.h"
#include "production/Production.h"

namespace quillane::test {
namespace {

using CheckEditor = TFlowTest;

TFinding Found(TRule rule, TSeverity severity, int n0, int n1, int p0, int p1) {
  return {rule, severity, n0, n1, p0, p1, "m"};
}

TEST(CheckWindow, GroupsFindingsByRuleInRuleOrderWithCountsAndFilters) {
  const auto E = TSeverity::Error, W = TSeverity::Warning;
  const std::vector<TFinding> findings = {
      Found(TRule::Float, E, 2, 2, 1, 3),     Found(TRule::GoodsWidth, W, 0, 0, 0, 0),
      Found(TRule::Needles, E, 1, 9, 1, 4),   Found(TRule::Float, E, 5, 5, 3, 1),
      Found(TRule::Imbalance, W, 7, 7, 1, 4),
  };
  auto heading = [](TRule rule, const std::string& counts) {
    return std::string(RuleName(rule)) + ": " + counts;
  };
  const struct {
    const char* Name;
    TCheckFilter Filter;
    std::vector<TCheckGroup> Groups;
  } rows[] = {
      {"everything, rule order, findings in list order",
       {},
       {{TRule::Needles, heading(TRule::Needles, "1 error"), {2}},
        {TRule::Float, heading(TRule::Float, "2 errors"), {0, 3}},
        {TRule::Imbalance, heading(TRule::Imbalance, "1 warning"), {4}},
        {TRule::GoodsWidth, heading(TRule::GoodsWidth, "1 warning"), {1}}}},
      {"one rule", {TRule::Float, {}}, {{TRule::Float, heading(TRule::Float, "2 errors"), {0, 3}}}},
      {"warnings only",
       {{}, W},
       {{TRule::Imbalance, heading(TRule::Imbalance, "1 warning"), {4}},
        {TRule::GoodsWidth, heading(TRule::GoodsWidth, "1 warning"), {1}}}},
      {"a rule with none of the severity", {TRule::Float, W}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    EXPECT_EQ(GroupFindings(findings, row.Filter), row.Groups);
  }
  EXPECT_TRUE(GroupFindings({}, {}).empty());
  EXPECT_EQ(MoreText(7), "7 more");
  EXPECT_EQ(MoreText(1234567), "1,234,567 more");
}

TEST(CheckWindow, FindingsNameTheirCellsAndRunsWrapThroughTheRepeat) {
  const auto E = TSeverity::Error;
  const struct {
    TFinding Finding;
    const char* Text;
    std::vector<TRect> Cells; // in a pattern of 20 PLines
    TCell Centre;
  } rows[] = {
      {Found(TRule::Float, E, 17, 17, 3, 9), "Needle 17, PLines 3-9: m", {{17, 3, 17, 9}}, {17, 6}},
      {Found(TRule::Needles, E, 1, 4, 1, 1), "Needles 1-4, PLine 1: m", {{1, 1, 4, 1}}, {2, 1}},
      // 18, 19, 20, 1, 2: the middle is PLine 20.
      {Found(TRule::Float, E, 5, 5, 18, 2),
       "Needle 5, PLines 18-2: m",
       {{5, 1, 5, 2}, {5, 18, 5, 20}},
       {5, 20}},
      // 20, 1, 2, 3: the middle is PLine 2, past the end.
      {Found(TRule::ShortRun, E, 5, 6, 20, 3),
       "Needles 5-6, PLines 20-3: m",
       {{5, 1, 6, 3}, {5, 20, 6, 20}},
       {5, 2}},
      // The whole pattern's: no cells to mark or go to.
      {Found(TRule::GoodsWidth, TSeverity::Warning, 0, 0, 0, 0), "m", {}, {0, 0}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Text);
    EXPECT_EQ(FindingText(row.Finding), row.Text);
    EXPECT_EQ(FindingCells(row.Finding, 20), row.Cells);
    if (!row.Cells.empty()) {
      EXPECT_EQ(FindingCentre(row.Finding, 20), row.Centre);
    }
    for (int c = 1; c <= 20; ++c)
      for (int p = 1; p <= 20; ++p) {
        bool in = false;
        for (const TRect& r : row.Cells)
          in |= c >= r.Left && c <= r.Right && p >= r.Top && p <= r.Bottom;
        ASSERT_EQ(FindingHolds(row.Finding, c, p), in) << c << "," << p;
      }
  }
}

TEST(CheckWindow, DoubleClickCentresTheViewOnThePixelThatShowsTheCell) {
  auto p = BarePattern(100, 200);
  OPicture& picture = AddPicture(*p, 60, 300);
  // Flipped across: the area's first control shows in its last pixel column.
  AddRegion(picture, {11, 1, 60, 200}, {1, 51, 50, 250}, 1);
  p->Changed();
  EXPECT_EQ(PixelOfCell(picture, 11, 1), (TCell{49, 50}));
  EXPECT_EQ(PixelOfCell(picture, 60, 200), (TCell{0, 249}));
  EXPECT_EQ(PixelOfCell(picture, 5, 1), std::nullopt); // no region places it

  OViewGeometry view;
  view.SetPicture(60, 300, 1.0f);
  view.SetBox(80, 40);
  view.SetZoom(4.0f); // 20 columns, 10 rows shown
  CentreOn(view, {30, 100});
  EXPECT_EQ(view.HorzPos(), 20);
  EXPECT_EQ(view.VertPos(), -95);
  const TScreenRect shown = view.ScreenRect({30, 100, 30, 100});
  EXPECT_LE(std::abs((shown.Left + shown.Right) / 2 - 40), 4);
  EXPECT_LE(std::abs((shown.Top + shown.Bottom) / 2 - 20), 4);
  // Near an edge, as near as the scroll ranges allow: the first column at the left, the
  // last PLine in the middle as the scroll bar can take it.
  CentreOn(view, {0, 299});
  EXPECT_EQ(view.HorzPos(), 0);
  EXPECT_EQ(view.VertPos(), -294);
}

// A state pattern of 3 needles by 4 PLines; state 2 leaves no tuft on a machine that floats
// at most 2 PLines, so needle 2 floats through PLines 1 to 3.
TEST_F(CheckEditor, FollowsChangesMarksShownRulesAndSaysTheCount) {
  auto p = MakePattern(0, 3, 4, 1);
  ASSERT_EQ(p->PatternMode, pmStates);
  SetCells(*p, {"121", "121", "121", "111"});
  TMachineProfile profile = AnyMachine();
  profile.Name = "Tufter 4";
  profile.LongestFloatPLines = 2;
  profile.States = {{1, TTuft::Cut}, {2, TTuft::None}};
  OPicture& picture = AddPicture(*p, 3, 4);
  AddRegion(picture, {1, 1, 3, 4}, {1, 1, 3, 4});
  int reads = 0;
  std::vector<TCheckNotice> heard;
  const TSubscription listening =
      OCheckEditor::Subscribe([&](const TCheckNotice& n) { heard.push_back(n); });
  auto check = std::make_unique<OCheckEditor>(*p, [&] {
    ++reads;
    return TCheckBasis{profile, DefaultProductionParameters(*p)};
  });
  EXPECT_EQ(OCheckEditor::Of(*p), check.get());
  while (!check->CheckMore(1)) {
  }
  EXPECT_EQ(check->Summary(), CheckStatus(1, 0, "Tufter 4"));
  EXPECT_EQ(check->Status(), CheckStatus(1, 0, "Tufter 4"));
  ASSERT_EQ(check->Findings().size(), 1u);
  const TFinding f = check->Findings()[0];
  EXPECT_EQ(std::tuple(f.Rule, f.FirstNeedle, f.LastNeedle, f.FirstPLine, f.LastPLine),
            std::tuple(TRule::Float, 2, 2, 1, 3));

  // Marks: none until shown, then the shown rules' cells, and the picked finding always.
  EXPECT_FALSE(check->Marked(2, 2));
  check->SetMarksShown(true);
  EXPECT_TRUE(check->Marked(2, 1) && check->Marked(2, 3));
  EXPECT_FALSE(check->Marked(2, 4) || check->Marked(1, 2));
  EXPECT_TRUE(heard.back().Everything);
  EXPECT_EQ(check->MarkedPixels(picture, {0, 0, 2, 1}), (std::vector<TRect>{{1, 0, 1, 1}}));
  check->SetRuleShown(TRule::Float, false);
  EXPECT_FALSE(check->Marked(2, 2));
  check->Pick(0);
  EXPECT_TRUE(check->Marked(2, 2));
  check->SetRuleShown(TRule::Float, true);

  // A stroke through the float: checked again at once, without reading the profile again,
  // and the views told of the run as it was.
  const int readsBefore = reads;
  heard.clear();
  p->SetState(2, 2, 1);
  p->Events.CellsChanged({2, 2, 2, 2});
  EXPECT_TRUE(check->Complete());
  EXPECT_TRUE(check->Findings().empty());
  EXPECT_EQ(check->Summary(), "Nothing found against Tufter 4");
  EXPECT_FALSE(check->Marked(2, 1));
  EXPECT_EQ(check->Picked(), nullptr);
  ASSERT_FALSE(heard.empty());
  EXPECT_FALSE(heard.back().Everything);
  EXPECT_EQ(heard.back().Cells, (TRect{2, 1, 2, 3}));
  EXPECT_EQ(reads, readsBefore);

  // Any other change reads the basis again and checks afresh, in slices.
  profile.LongestFloatPLines.reset();
  p->SetState(2, 2, 2);
  p->Changed();
  EXPECT_GT(reads, readsBefore);
  while (!check->CheckMore(check->SlicePLines())) {
  }
  EXPECT_TRUE(check->Findings().empty());

  // A basis that cannot be read is said, and nothing is checked.
  reads = -100;
  auto broken = std::make_unique<OCheckEditor>(
      *p, []() -> TCheckBasis { throw EProduction("Machine profile Tufter 9 not found in /d"); });
  EXPECT_EQ(OCheckEditor::Of(*p), broken.get());
  EXPECT_TRUE(broken->Complete());
  EXPECT_EQ(broken->Summary(), "Machine profile Tufter 9 not found in /d");
  EXPECT_EQ(broken->Status(), "");
  broken.reset();
  check.reset();
  EXPECT_EQ(OCheckEditor::Of(*p), nullptr);
  EXPECT_TRUE(heard.back().Everything); // the marks go with the check
}

} // namespace
} // namespace quillane::test
