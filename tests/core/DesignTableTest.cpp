#include "TestSupport.h"

#include <numeric>

#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"

namespace quillane::test {
namespace {

void Counts(ODesignTable& t, uint8_t y, uint8_t s, uint8_t c) {
  t.SetNoYarnTypes(y);
  t.SetNoStates(s);
  t.SetNoColours(c);
}

std::vector<int> Colours(const ODesignTable& t) {
  std::vector<int> result;
  for (size_t i = 0; i < t.NoCombinations(); ++i) {
    TDesignCombination c = t.CombinationAt(i);
    result.push_back(t.GetColour(c.OddYarnType, c.EvenYarnType, c.OddState, c.EvenState));
  }
  return result;
}

class DesignTable : public TFlowTest {};

TEST_F(DesignTable, DefaultsRunThroughTheCombinationsInLoopOrder) {
  ODesignTable t(nullptr);
  Counts(t, 2, 2, 16);
  t.SetDefaults();
  t.Validate();
  std::vector<int> all(16);
  std::iota(all.begin(), all.end(), 1);
  EXPECT_EQ(Colours(t), all);
  EXPECT_EQ(t.GetColour(1, 2, 1, 1), 5);
  EXPECT_EQ(t.CombinationAt(9), (TDesignCombination{2, 1, 1, 2}));
  EXPECT_EQ(t.GetOddState(2, 2, 16), 2) << "the state tables are built by validation";

  Counts(t, 2, 2, 10);
  t.SetDefaults();
  t.Validate();
  EXPECT_EQ(t.GetColour(2, 1, 2, 1), 1);
  EXPECT_EQ(t.GetColour(2, 2, 2, 2), 6);

  OWriter w;
  Counts(t, 3, 2, 16);
  t.SetDefaults();
  t.WriteToStream(w);
  Bytes expected = {2, 1, 3, 2, 16};
  for (int i = 0; i < 36; ++i)
    expected.push_back(static_cast<uint8_t>(i % 16 + 1));
  ASSERT_EQ(expected.size(), 41u);
  EXPECT_EQ(w.Bytes(), expected);
}

TEST_F(DesignTable, StateTablesTheMirrorAndIndicesOutside) {
  ODesignTable t(nullptr);
  Counts(t, 3, 2, 8);
  t.Validate();
  t.SetColourAndMirror({1, 2, 1, 2}, 7);
  EXPECT_EQ(t.GetColour(2, 1, 2, 1), 7);
  EXPECT_EQ(t.GetOddState(2, 1, 7), 2);
  EXPECT_EQ(t.GetEvenState(2, 1, 7), 1);

  t.SetColour(1, 2, 1, 2, 4);
  t.SetColour(1, 2, 2, 1, 4);
  t.SetColour(1, 2, 1, 1, 4);
  t.Validate();
  EXPECT_EQ(t.GetOddState(1, 2, 4), 2);
  EXPECT_EQ(t.GetEvenState(1, 2, 4), 1);
  t.SetColour(1, 2, 2, 1, 5);
  t.SetColour(1, 2, 1, 2, 5);
  t.SetColour(1, 2, 1, 1, 5);
  t.BuildStateTables();
  EXPECT_EQ(t.GetOddState(1, 2, 4), 0);
  EXPECT_EQ(t.GetEvenState(1, 2, 4), 0);

  t.SetColour(4, 1, 1, 1, 3);
  t.SetColour(1, 1, 3, 1, 3);
  t.SetColour(1, 1, 1, 1, 9);
  t.Validate();
  EXPECT_EQ(t.GetOddState(1, 1, 3), 0);
  EXPECT_EQ(t.GetColour(1, 1, 1, 1), 0);
  EXPECT_EQ(t.GetColour(4, 1, 1, 1), 0);
  EXPECT_EQ(t.GetOddState(1, 1, 200), 0);
}

TEST_F(DesignTable, CountChangesKeepTheOverlapAndValidationClears) {
  ODesignTable t(nullptr);
  Counts(t, 3, 3, 16);
  t.SetDefaults();
  t.Validate();
  const std::vector<int> before = Colours(t);
  t.SetNoStates(2);
  t.SetNoYarnTypes(2);
  t.SetNoColours(12);
  EXPECT_TRUE(t.NeedsValidating());
  t.Validate();
  t.SetNoStates(3);
  t.SetNoYarnTypes(3);
  t.Validate();
  const std::vector<int> after = Colours(t);
  for (size_t i = 0; i < after.size(); ++i) {
    TDesignCombination c = t.CombinationAt(i);
    const bool kept = c.OddYarnType < 3 && c.EvenYarnType < 3 && c.OddState < 3 && c.EvenState < 3;
    EXPECT_EQ(after[i], kept && before[i] <= 12 ? before[i] : 0) << i;
  }
}

TEST_F(DesignTable, AssignAndImportFollowThePattern) {
  OPattern p;
  p.SetNoStates(2);
  p.SetNoYarnTypes(2);
  p.SetNoColours(4);
  ODesignTable edited(&p);
  Counts(edited, 2, 2, 4);
  edited.Validate();
  edited.SetColourAndMirror({1, 2, 2, 1}, 3);
  p.DesignTable->Assign(edited);
  EXPECT_FALSE(p.DesignTable->NeedsValidating());
  EXPECT_EQ(p.DesignTable->GetOddState(2, 1, 3), 1);

  // A file with 16 colours: fitted to the pattern's 4 colours before it is taken.
  Bytes file = {2, 1, 2, 2, 16};
  for (int i = 1; i <= 16; ++i)
    file.push_back(static_cast<uint8_t>(i));
  const std::string name = Current.File("t.DES");
  WriteBytes(name, file);
  UI.FileAnswers = {name};
  p.DesignTable->Import();
  ASSERT_TRUE(UI.Errors().empty());
  EXPECT_EQ(p.DesignTable->NoColours(), 4);
  EXPECT_EQ(Colours(*p.DesignTable),
            (std::vector<int>{1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(YarnPairs, OddControlsPairWithTheirNeighbour) {
  using Pairs = std::vector<std::pair<int, int>>;
  const std::pair<std::vector<int>, Pairs> cases[] = {
      {{1, 2, 1, 2}, {{1, 2}}},
      {{1, 2, 3, 1, 2}, {{1, 2}, {2, 1}, {3, 1}}}, // control 5 pairs with control 4
      {{3}, {{3, 0}}},
      {{}, {}}};
  for (const auto& [yarnTypes, expected] : cases) {
    OCreel c(nullptr);
    c.SetNoControls(static_cast<uint16_t>(yarnTypes.size()));
    c.SetNoYarnTypes(3);
    for (size_t i = 0; i < yarnTypes.size(); ++i)
      c.SetYarnType(static_cast<int>(i) + 1, static_cast<OYarnType>(yarnTypes[i]));
    c.Validate();
    TYarnPairs pairs(c);
    Pairs inUse;
    for (int a = 0; a <= 4; ++a)
      for (int b = 0; b <= 4; ++b)
        if (pairs.InUse(a, b))
          inUse.emplace_back(a, b);
    EXPECT_EQ(inUse, expected);
  }
}

} // namespace
} // namespace quillane::test
