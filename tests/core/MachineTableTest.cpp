#include "TestSupport.h"

#include "app/Exceptions.h"
#include "model/Pattern.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"

namespace quillane::test {
namespace {

// A validated table of Y yarn types and S states with the built-in defaults for C colours.
void Defaults(OMachineTable& t, uint8_t y, uint8_t s, uint8_t c) {
  t.SetNoYarnTypes(y);
  t.SetNoStates(s);
  t.SetNoColours(c);
  t.SetDefaults();
  t.Validate();
}

std::vector<int> Colours(const OMachineTable& t) {
  std::vector<int> result;
  for (int y = 1; y <= t.NoYarnTypes(); ++y)
    for (int s = 1; s <= t.NoStates(); ++s)
      result.push_back(t.GetColour(y, s));
  return result;
}

class MachineTable : public TFlowTest {};

TEST_F(MachineTable, DefaultsHandOutThePaletteInTurn) {
  const std::pair<int, std::vector<int>> cases[] = {
      {16, {1, 2, 3, 4, 5, 6}}, {4, {1, 2, 3, 4, 1, 2}}, {0, {0, 0, 0, 0, 0, 0}}};
  for (const auto& [colours, expected] : cases) {
    OMachineTable t(nullptr);
    Defaults(t, 3, 2, static_cast<uint8_t>(colours));
    EXPECT_EQ(Colours(t), expected) << colours;
    EXPECT_EQ(t.UndefinedState(), 0) << "not set by the defaults";
  }
}

TEST_F(MachineTable, InverseTablesLetTheHighestStateAndYarnTypeWin) {
  OPattern p;
  p.SetMachineType(0);
  p.SetNoYarnTypes(3);
  p.SetNoColours(16);
  OMachineTable& t = *p.MachineTable;
  t.SetColour(1, 1, 5);
  t.SetColour(1, 2, 5);
  t.SetColour(2, 1, 2);
  t.SetColour(3, 1, 2);
  t.Validate();
  EXPECT_EQ(t.GetState(1, 5), 2);
  EXPECT_EQ(t.GetState(1, 7), 0);
  EXPECT_EQ(t.GetState(1, 0), 0);
  EXPECT_EQ(t.GetYarnType(2, 1), 3);
  EXPECT_EQ(t.GetYarnType(0, 1), 0);

  t.SetColour(1, 2, 6);
  EXPECT_EQ(t.GetState(1, 5), 2) << "the old inverse entry stays until validation";
  t.Validate();
  EXPECT_EQ(t.GetState(1, 5), 1);

  p.SetMachineType(11); // COLORTEC: one state, "Color"
  t.Validate();
  EXPECT_EQ(t.GetState(2, 9), 1);
  EXPECT_EQ(t.GetState(200, 200), 1);
  p.PatternMode = 0;
  EXPECT_EQ(t.GetState(1, 5), 0);
}

TEST_F(MachineTable, ShrinkingCountsClearsWhatNoLongerFits) {
  OMachineTable t(nullptr);
  Defaults(t, 8, 2, 16);
  t.SetNoColours(4);
  t.Validate();
  EXPECT_EQ(Colours(t), (std::vector<int>{1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(t.GetYarnType(3, 1), 2);
  t.SetNoStates(1);
  t.Validate();
  EXPECT_EQ(t.GetColour(1, 2), 0) << "a state left over from SCROLL3 answers 0";
  EXPECT_EQ(t.GetColour(9, 1), 0);
  t.SetColour(9, 1, 1); // outside the table: ignored, also in the inverse tables
  EXPECT_EQ(t.GetYarnType(1, 1), 1);
  t.SetNoStates(2);
  t.Validate();
  EXPECT_EQ(Colours(t), (std::vector<int>{1, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  t.SetNoYarnTypes(0);
  t.Validate();
  EXPECT_EQ(t.GetYarnType(3, 1), 0) << "nothing of the larger table is left";

  for (auto [given, stored] : {std::pair{0, 1}, std::pair{3, 1}, std::pair{2, 2}}) {
    t.SetUndefinedState(static_cast<OState>(given));
    EXPECT_EQ(t.UndefinedState(), stored) << given;
  }
}

TEST_F(MachineTable, RecordsOfBothVersions) {
  OMachineTable t(nullptr);
  Defaults(t, 3, 2, 16);
  t.SetUndefinedState(2);
  OWriter w;
  t.WriteToStream(w);
  EXPECT_EQ(w.Bytes(), (Bytes{3, 2, 3, 2, 1, 2, 3, 4, 5, 6, 2}));

  Bytes v1 = {3, 1, 3, 2, 1, 2, 3, 4, 5, 6, 4, 3};
  v1.resize(24, 0xEE); // the 4 x 3 bytes of the old table
  OMachineTable old(nullptr);
  OReader r(v1);
  old.ReadFromStream(r);
  EXPECT_EQ(r.Remaining(), 0u);
  EXPECT_EQ(old.UndefinedState(), 1);
  EXPECT_TRUE(old.NeedsValidating());
  old.SetNoColours(16);
  old.Validate();
  EXPECT_EQ(Colours(old), Colours(t));
}

TEST_F(MachineTable, AssignAndImportFollowThePattern) {
  OPattern p;
  p.SetNoStates(2);
  p.SetNoYarnTypes(2);
  p.SetNoColours(8);
  OMachineTable edited(&p);
  Defaults(edited, 4, 2, 8);
  edited.SetUndefinedState(2);
  p.MachineTable->Assign(edited);
  EXPECT_EQ(p.NoYarnTypes, 4);
  EXPECT_EQ(p.DesignTable->NoYarnTypes(), 4);
  EXPECT_FALSE(p.MachineTable->NeedsValidating());
  EXPECT_EQ(Colours(*p.MachineTable), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(p.MachineTable->UndefinedState(), 2);

  // A file for 3 yarn types with colours up to 12: fitted to 4 yarn types and 8 colours.
  const std::string name = Current.File("t.MCH");
  WriteBytes(name, {3, 2, 3, 2, 9, 10, 11, 12, 3, 4, 2});
  UI.FileAnswers = {name};
  p.MachineTable->Import();
  ASSERT_TRUE(UI.Errors().empty());
  EXPECT_EQ(Colours(*p.MachineTable), (std::vector<int>{0, 0, 0, 0, 3, 4, 0, 0}));
  EXPECT_EQ(p.NoYarnTypes, 4);
}

} // namespace
} // namespace quillane::test
