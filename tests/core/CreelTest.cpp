#include "TestSupport.h"

#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane::test {
namespace {

std::vector<int> YarnTypes(const OCreel& c) {
  std::vector<int> result;
  for (int i = 1; i <= c.NoControls(); ++i)
    result.push_back(c.GetYarnType(i));
  return result;
}

void Fill(OCreel& c, std::vector<int> yarnTypes, uint8_t noYarnTypes) {
  c.SetNoControls(static_cast<uint16_t>(yarnTypes.size()));
  c.SetNoYarnTypes(noYarnTypes);
  for (size_t i = 0; i < yarnTypes.size(); ++i)
    c.SetYarnType(static_cast<int>(i) + 1, static_cast<OYarnType>(yarnTypes[i]));
  c.Validate();
}

TEST(Creel, RecordOfFiveControlsIsElevenBytes) {
  OCreel c(nullptr);
  Fill(c, {1, 2, 3, 1, 2}, 3);
  c.RepeatSize = 0x0102;
  OWriter w;
  c.WriteToStream(w);
  EXPECT_EQ(w.Bytes(), (Bytes{1, 1, 2, 1, 5, 0, 1, 2, 3, 1, 2}));
  c.SetYarnType(0, 1); // outside the creel: ignored
  c.SetYarnType(6, 1);
  EXPECT_EQ(c.GetYarnType(0), 0);
  EXPECT_EQ(c.GetYarnType(6), 0);
}

TEST(Creel, CountChangesTakeEffectAtValidation) {
  OCreel c(nullptr);
  Fill(c, {1, 2, 3, 4, 1, 2, 3, 4, 2, 3}, 4);
  c.SetNoYarnTypes(2);
  EXPECT_TRUE(c.NeedsValidating());
  c.Validate();
  c.SetNoYarnTypes(4);
  c.Validate();
  EXPECT_EQ(YarnTypes(c), (std::vector<int>{1, 2, 0, 0, 1, 2, 0, 0, 2, 0}));
  c.SetNoControls(12);
  c.Validate();
  EXPECT_EQ(YarnTypes(c).size(), 12u);
  EXPECT_EQ(c.GetYarnType(12), 0);
  c.SetNoControls(8);
  c.SetNoControls(10);
  c.Validate();
  EXPECT_EQ(YarnTypes(c), (std::vector<int>{1, 2, 0, 0, 1, 2, 0, 0, 0, 0}));
}

TEST(Creel, RepeatCopiesTheFirstControlsAcross) {
  const struct {
    std::vector<int> Before;
    int Size;
    std::vector<int> After;
  } cases[] = {{{1, 3, 2, 2, 1}, 2, {1, 3, 1, 3, 1}},
               {{1, 3, 2, 2, 1}, 0, {1, 3, 2, 2, 1}},
               {{1, 2, 3, 3, 3, 3}, 2, {1, 2, 1, 2, 1, 2}},
               {{1, 2, 3}, 9, {1, 2, 3}}};
  for (const auto& t : cases) {
    OCreel c(nullptr);
    Fill(c, t.Before, 3);
    c.Repeat(t.Size);
    EXPECT_EQ(YarnTypes(c), t.After) << t.Size;
  }
}

class CreelFlows : public TFlowTest {};

TEST_F(CreelFlows, DefaultsCycleTheYarnTypesButANewPatternStartsAllA) {
  OCreel c(nullptr);
  c.SetNoControls(7);
  c.SetNoYarnTypes(3);
  c.SetDefaults();
  EXPECT_TRUE(c.NeedsValidating());
  c.Validate();
  EXPECT_EQ(YarnTypes(c), (std::vector<int>{1, 2, 3, 1, 2, 3, 1}));
  EXPECT_EQ(c.RepeatSize, 3);

  // A new pattern passes its yarn-type count to the creel only through the Update that
  // follows the defaults.
  OPattern p;
  p.SetNoControls(7);
  p.SetNoYarnTypes(3);
  p.SetNoStates(2);
  p.SetNoColours(16);
  const std::initializer_list<ODesignData*> objects = {p.Palette.get(), p.MachineTable.get(),
                                                       p.DesignTable.get(), p.Creel.get()};
  for (ODesignData* d : objects)
    d->SetDefaults();
  for (ODesignData* d : objects)
    d->Update();
  EXPECT_EQ(YarnTypes(*p.Creel), (std::vector<int>(7, 1)));
  EXPECT_EQ(p.Creel->RepeatSize, 0);
  EXPECT_EQ(p.Creel->NoYarnTypes(), 3);
  EXPECT_EQ(YarnTypeLetter(p.Creel->GetYarnType(1)), "A");
}

TEST_F(CreelFlows, ImportFitsTheFileToThePattern) {
  Bytes file = {1, 1, 3, 0};
  PutWord(file, 200);
  for (int c = 1; c <= 200; ++c)
    file.push_back(static_cast<uint8_t>(c % 5)); // yarn type 4 exceeds the pattern's 3
  const std::string name = Current.File("wide.CRE");
  WriteBytes(name, file);
  for (int controls : {100, 300}) {
    OPattern p;
    p.SetNoControls(static_cast<uint16_t>(controls));
    p.SetNoYarnTypes(3);
    UI.FileAnswers = {name};
    p.Creel->Import();
    ASSERT_TRUE(UI.Errors().empty());
    EXPECT_FALSE(p.Creel->NeedsValidating());
    std::vector<int> expected;
    for (int c = 1; c <= controls; ++c)
      expected.push_back(c > 200 || c % 5 == 4 ? 0 : c % 5);
    EXPECT_EQ(YarnTypes(*p.Creel), expected) << controls;
  }
}

} // namespace
} // namespace quillane::test
