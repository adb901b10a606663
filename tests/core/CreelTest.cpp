#include "TestSupport.h"

#include "app/Exceptions.h"
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

void Fill(OCreel& c, std::initializer_list<int> yarnTypes, uint8_t noYarnTypes) {
  c.SetNoControls(static_cast<uint16_t>(yarnTypes.size()));
  c.SetNoYarnTypes(noYarnTypes);
  int control = 1;
  for (int y : yarnTypes)
    c.SetYarnType(control++, static_cast<OYarnType>(y));
  c.Validate();
}

TEST(Creel, RecordLayoutAndHostileRecords) {
  OCreel c(nullptr);
  Fill(c, {1, 2, 3, 1, 2}, 3);
  c.RepeatSize = 0x0102;
  OWriter w;
  c.WriteToStream(w);
  const Bytes expected = {1, 1, 2, 1, 5, 0, 1, 2, 3, 1, 2};
  EXPECT_EQ(w.Bytes(), expected);

  OCreel back(nullptr);
  OReader r(expected);
  back.ReadFromStream(r);
  EXPECT_TRUE(back.NeedsValidating());
  EXPECT_EQ(back.NoYarnTypes(), 0) << "the record does not carry the count";
  back.SetNoYarnTypes(3);
  back.Validate();
  EXPECT_EQ(YarnTypes(back), (std::vector<int>{1, 2, 3, 1, 2}));
  EXPECT_EQ(back.RepeatSize, 0x0102);

  for (Bytes header : {Bytes{2, 1}, Bytes{1, 0}, Bytes{1, 2}}) {
    OReader hr(header);
    try {
      back.ReadFromStream(hr);
      FAIL();
    } catch (const EDesignData& e) {
      EXPECT_STREQ(e.what(), "Error reading creel data");
    }
  }
  // Cut anywhere, or a forged count of 65535 controls over 5 bytes: nothing changes.
  Bytes forged = expected;
  forged[4] = forged[5] = 0xFF;
  std::vector<OReader> readers{OReader(forged)};
  for (size_t n = 0; n < expected.size(); ++n)
    readers.emplace_back(expected.data(), n);
  for (OReader& cut : readers) {
    EXPECT_THROW(c.ReadFromStream(cut), EReadError) << cut.TotalSize();
    EXPECT_EQ(c.NoControls(), 5);
    EXPECT_EQ(c.RepeatSize, 0x0102);
    EXPECT_FALSE(c.NeedsValidating());
  }
}

TEST(Creel, LookupsNeedValidationAndStayInsideTheCreel) {
  OCreel c(nullptr);
  c.SetNoControls(3);
  try {
    c.GetYarnType(1);
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "Creel needs validating");
  }
  OCreel copy(nullptr);
  EXPECT_THROW(copy.Assign(c), EAssertionFailed);
  EXPECT_EQ(copy.NoControls(), 0) << "a failed Assign changes nothing";
  c.Validate();
  c.SetYarnType(4, 1);
  c.SetYarnType(0, 1);
  EXPECT_EQ(c.GetYarnType(0), 0);
  EXPECT_EQ(c.GetYarnType(4), 0);
  EXPECT_EQ(c.GetYarnType(-1), 0);
}

TEST(Creel, CountChangesAndValidation) {
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
  EXPECT_EQ(YarnTypes(c), (std::vector<int>{1, 2, 0, 0, 1, 2, 0, 0, 2, 0, 0, 0}));
  c.SetNoControls(8);
  c.SetNoControls(10);
  c.Validate();
  EXPECT_EQ(YarnTypes(c), (std::vector<int>{1, 2, 0, 0, 1, 2, 0, 0, 0, 0}));
}

TEST(Creel, RepeatCopiesTheFirstControlsAcross) {
  OCreel c(nullptr);
  Fill(c, {1, 3, 2, 2, 1}, 3);
  c.Repeat(0);
  EXPECT_EQ(YarnTypes(c), (std::vector<int>{1, 3, 2, 2, 1}));
  c.Repeat(2);
  EXPECT_EQ(YarnTypes(c), (std::vector<int>{1, 3, 1, 3, 1}));
  Fill(c, {1, 2, 3, 3, 3, 3}, 3);
  c.Repeat(2);
  EXPECT_EQ(YarnTypes(c), (std::vector<int>{1, 2, 1, 2, 1, 2}));
  c.Repeat(9);
  EXPECT_EQ(YarnTypes(c), (std::vector<int>{1, 2, 1, 2, 1, 2}));
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

  // A new pattern: its yarn-type count reaches the creel only through Update.
  OPattern p;
  p.SetNoControls(7);
  p.SetNoYarnTypes(3);
  p.SetNoStates(2);
  p.SetNoColours(16);
  p.Palette->SetDefaults();
  p.MachineTable->SetDefaults();
  p.DesignTable->SetDefaults();
  p.Creel->SetDefaults();
  p.Palette->Update();
  p.MachineTable->Update();
  p.DesignTable->Update();
  p.Creel->Update();
  EXPECT_EQ(YarnTypes(*p.Creel), (std::vector<int>(7, 1)));
  EXPECT_EQ(p.Creel->RepeatSize, 0);
  EXPECT_EQ(p.Creel->NoYarnTypes(), 3);
  EXPECT_EQ(p.MachineTable->GetColour(3, 2), 6);
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
    p.Creel->Update();
    UI.FileAnswers = {name};
    p.Creel->Import();
    ASSERT_TRUE(UI.Errors().empty());
    const OCreel& c = *p.Creel;
    EXPECT_FALSE(c.NeedsValidating());
    EXPECT_EQ(c.RepeatSize, 3);
    std::vector<int> expected;
    for (int control = 1; control <= controls; ++control)
      expected.push_back(control > 200 || control % 5 == 4 ? 0 : control % 5);
    EXPECT_EQ(YarnTypes(c), expected) << controls;
  }
}

} // namespace
} // namespace quillane::test
