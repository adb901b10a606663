#include "TestSupport.h"

#include <functional>
#include <numeric>

#include "app/Exceptions.h"
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
  for (const auto& lookup : {std::function<void()>([&] { t.GetColour(1, 1, 1, 1); }),
                             std::function<void()>([&] { t.GetOddState(1, 1, 1); }),
                             std::function<void()>([&] { t.GetEvenState(1, 1, 1); })}) {
    try {
      lookup();
      FAIL();
    } catch (const EAssertionFailed& e) {
      EXPECT_STREQ(e.what(), "DesignTable needs validating");
    }
  }
  t.Validate();
  std::vector<int> all(16);
  std::iota(all.begin(), all.end(), 1);
  EXPECT_EQ(Colours(t), all);
  EXPECT_EQ(t.GetColour(1, 2, 1, 1), 5);
  EXPECT_EQ(t.CombinationAt(9), (TDesignCombination{2, 1, 1, 2}));
  EXPECT_EQ(t.GetOddState(2, 2, 16), 2) << "the state tables are built by validation";

  ODesignTable ten(nullptr);
  Counts(ten, 2, 2, 10);
  ten.SetDefaults();
  ten.Validate();
  EXPECT_EQ(ten.GetColour(2, 1, 2, 1), 1);
  EXPECT_EQ(ten.GetColour(2, 2, 2, 2), 6);
}

TEST_F(DesignTable, StateTablesAndTheMirror) {
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
  EXPECT_EQ(t.GetOddState(1, 2, 7), 0) << "the mirror is only (2, 1)";
  EXPECT_EQ(t.GetOddState(1, 2, 0), 0);

  // Indices outside the table: lookups answer 0, writes are ignored.
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
  for (size_t i = 0; i < t.NoCombinations(); ++i) {
    TDesignCombination c = t.CombinationAt(i);
    const bool kept = c.OddYarnType < 3 && c.EvenYarnType < 3 && c.OddState < 3 && c.EvenState < 3;
    EXPECT_EQ(Colours(t)[i], kept && before[i] <= 12 ? before[i] : 0) << i;
  }
}

TEST_F(DesignTable, RecordLayoutAndHostileRecords) {
  ODesignTable t(nullptr);
  Counts(t, 3, 2, 16);
  t.SetDefaults();
  t.Validate();
  OWriter w;
  t.WriteToStream(w);
  Bytes expected = {2, 1, 3, 2, 16};
  for (int i = 0; i < 36; ++i)
    expected.push_back(static_cast<uint8_t>(i % 16 + 1));
  ASSERT_EQ(expected.size(), 41u);
  EXPECT_EQ(w.Bytes(), expected);

  ODesignTable back(nullptr);
  OReader r(expected);
  back.ReadFromStream(r);
  EXPECT_TRUE(back.NeedsValidating());
  OWriter again;
  back.WriteToStream(again);
  EXPECT_EQ(again.Bytes(), expected);

  for (Bytes header : {Bytes{1, 1}, Bytes{2, 0}, Bytes{2, 2}}) {
    OReader hr(header);
    try {
      back.ReadFromStream(hr);
      FAIL();
    } catch (const EDesignData& e) {
      EXPECT_STREQ(e.what(), "Error reading design table data");
    }
  }
  // 255 yarn types and states would need four gigabytes: refused before allocating.
  Bytes forged = {2, 1, 255, 255, 16, 1, 2, 3};
  std::vector<OReader> readers{OReader(forged)};
  for (size_t n = 0; n < expected.size(); ++n)
    readers.emplace_back(expected.data(), n);
  for (OReader& cut : readers) {
    EXPECT_THROW(t.ReadFromStream(cut), EReadError) << cut.TotalSize();
    EXPECT_EQ(t.NoYarnTypes(), 3);
    EXPECT_FALSE(t.NeedsValidating());
  }
}

TEST_F(DesignTable, AssignAndImportFollowThePattern) {
  OPattern p;
  p.SetNoStates(2);
  p.SetNoYarnTypes(2);
  p.SetNoColours(4);
  p.DesignTable->Update();
  ODesignTable edited(&p);
  Counts(edited, 2, 2, 4);
  edited.Validate();
  edited.SetColourAndMirror({1, 2, 2, 1}, 3);
  EXPECT_THROW(p.DesignTable->Assign(ODesignTable(&p)), EAssertionFailed);
  p.DesignTable->Assign(edited);
  EXPECT_FALSE(p.DesignTable->NeedsValidating());
  EXPECT_EQ(p.DesignTable->GetOddState(2, 1, 3), 1);

  // A file with 16 colours: fitted to the pattern's 4 colours before it is taken.
  Bytes file = {2, 1, 2, 2, 16};
  for (int i = 0; i < 16; ++i)
    file.push_back(static_cast<uint8_t>(i + 1));
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
  auto pairs = [](std::initializer_list<int> yarnTypes) {
    OCreel c(nullptr);
    c.SetNoControls(static_cast<uint16_t>(yarnTypes.size()));
    c.SetNoYarnTypes(3);
    int control = 1;
    for (int y : yarnTypes)
      c.SetYarnType(control++, static_cast<OYarnType>(y));
    c.Validate();
    TYarnPairs p(c);
    std::vector<std::pair<int, int>> inUse;
    for (int a = 0; a <= 3; ++a)
      for (int b = 0; b <= 3; ++b)
        if (p.InUse(a, b))
          inUse.emplace_back(a, b);
    return inUse;
  };
  using Pairs = std::vector<std::pair<int, int>>;
  EXPECT_EQ(pairs({1, 2, 1, 2}), (Pairs{{1, 2}}));
  EXPECT_EQ(pairs({1, 2, 3, 1, 2}), (Pairs{{1, 2}, {2, 1}, {3, 1}}));
  EXPECT_EQ(pairs({3}), (Pairs{{3, 0}}));
  EXPECT_EQ(pairs({}), (Pairs{}));
}

} // namespace
} // namespace quillane::test
