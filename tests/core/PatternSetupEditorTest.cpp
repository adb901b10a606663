// The pattern setup editor's grids and edits, driven without a window.
#include "editors/PatternSetupEditor.h"
#include "PatternSupport.h"

namespace quillane::test {
namespace {

class PatternSetupEditorTest : public TFlowTest {
protected:
  // A UTPA pattern (states High, Low) with three yarn types.
  std::unique_ptr<OPattern> P = BarePattern(6, 4);
  OPatternSetupEditor E{*P};
  void SetUp() override {
    TFlowTest::SetUp();
    E.Reload();
    E.SetNoYarnTypes(3);
  }
  // Puts yarn types into the creel by clicking its columns, as the user does.
  void SetCreel(const std::string& letters) {
    for (size_t c = 0; c < letters.size(); ++c) {
      E.YarnTypeRow = letters[c] - 'A';
      E.Click(TSetupGrid::Creel, static_cast<int>(c) + 1, TMouseButton::Left);
    }
  }
  std::string Creel() const {
    std::string s;
    for (int c = 1; c < E.ColumnCount(TSetupGrid::Creel); ++c)
      s += E.Cell(TSetupGrid::Creel, 1, c).Text;
    return s;
  }
  std::string Column(TSetupGrid grid, int column) const {
    std::string s;
    for (int r = 0; r < OPatternSetupEditor::RowCount(grid); ++r)
      s += E.Cell(grid, r, column).Text + (E.Cell(grid, r, column).Grey ? "*" : "") + "|";
    return s;
  }
};

TEST_F(PatternSetupEditorTest, GridsHaveAColumnPerCombinationInTheirOrder) {
  EXPECT_EQ(E.ColumnCount(TSetupGrid::MachineTable), 6 + 1);
  EXPECT_EQ(E.ColumnCount(TSetupGrid::DesignTable), 36 + 1);
  EXPECT_EQ(Column(TSetupGrid::MachineTable, 4),
            "B|Low|" + E.Cell(TSetupGrid::MachineTable, 2, 4).Text + "|");
  SetCreel("ABABAB");
  struct {
    int Column;
    const char* Shows; // odd yarn type, odd state, even yarn type, even state; * grey
  } rows[] = {
      {1, "A*|High*|A*|High*|"}, {2, "A*|High*|A*|Low*|"},  {3, "A*|Low*|A*|High*|"},
      {5, "A|High|B|High|"},     {9, "A*|High*|C*|High*|"}, {13, "B*|High*|A*|High*|"},
      {36, "C*|Low*|C*|Low*|"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(Column(TSetupGrid::DesignTable, row.Column).substr(0, std::string(row.Shows).size()),
              row.Shows)
        << row.Column;
  // The title column and anything past the last column is no combination.
  EXPECT_FALSE(E.Click(TSetupGrid::DesignTable, 0, TMouseButton::Left));
  EXPECT_FALSE(E.Click(TSetupGrid::MachineTable, 7, TMouseButton::Left));
}

// A drag sets every control between where it was and where it went, whichever way and
// however far the mouse moved; the tables take no ranges.
TEST_F(PatternSetupEditorTest, ADragOverTheCreelSetsTheControlsItCovers) {
  const struct {
    int From, To;
    char YarnType;
    const char* Creel;
  } rows[] = {
      {2, 4, 'B', "ABBBAA"},
      {6, 3, 'C', "ABCCCC"},
      {0, 9, 'A', "AAAAAA"},
      {7, 9, 'B', "AAAAAA"},
  };
  SetCreel("AAAAAA");
  for (const auto& row : rows) {
    E.YarnTypeRow = row.YarnType - 'A';
    E.Drag(TSetupGrid::Creel, row.From, row.To);
    EXPECT_EQ(Creel(), row.Creel) << row.From << "-" << row.To;
  }
  E.YarnTypeRow = 0;
  EXPECT_FALSE(E.Drag(TSetupGrid::Creel, 1, 6)); // nothing to change
  EXPECT_FALSE(E.Drag(TSetupGrid::MachineTable, 1, 6));
  E.YarnTypeRow = 1;
  EXPECT_EQ(E.Drag(TSetupGrid::Creel, 1, 2).Grids, // the pairs the design table greys
            (std::vector<TSetupGrid>{TSetupGrid::Creel, TSetupGrid::DesignTable}));
  EXPECT_TRUE(E.YarnPairInUse(2, 2));
  // Off either end the drag holds at the end: at, first in sight, columns, dragged to.
  for (auto [at, first, columns, to] : {std::array{-1, 3, 9, 9},
                                        {0, 3, 9, 3},
                                        {2, 3, 9, 3},
                                        {5, 3, 9, 5},
                                        {9, 3, 9, 9},
                                        {0, 1, 1, 1}})
    EXPECT_EQ(OPatternSetupEditor::DraggedTo(at, first, columns), to) << at;
}

TEST_F(PatternSetupEditorTest, RepeatCopiesTheFirstControlsAcrossTheCreel) {
  SetCreel("ABCCCC");
  E.SetRepeatSize(2);
  EXPECT_FALSE(E.RepeatWith(std::nullopt)); // the size box refused what was typed
  EXPECT_EQ(Creel(), "ABCCCC");
  EXPECT_TRUE(E.RepeatWith(3)); // the size is stored before the repeat
  EXPECT_EQ(Creel(), "ABCABC");
  EXPECT_EQ(E.RepeatSize(), 3);
  EXPECT_TRUE(E.Modified());
}

TEST_F(PatternSetupEditorTest, DesignClickSetsTheCombinationAndItsMirrorAndApplyStoresThem) {
  E.Strip.LeftIndex = 5;
  E.Strip.RightIndex = 7;
  const size_t ab12 = 4 + 1; // (A, B, High, Low)
  // Only the column and its mirror are drawn again; a machine table click colours the creel.
  EXPECT_EQ(E.Click(TSetupGrid::DesignTable, static_cast<int>(ab12) + 1, TMouseButton::Left)
                .DesignColumns,
            (std::vector<int>{6, 15}));
  EXPECT_EQ(E.Click(TSetupGrid::MachineTable, 2, TMouseButton::Right).Grids, // (A, Low)
            (std::vector<TSetupGrid>{TSetupGrid::MachineTable, TSetupGrid::Creel}));
  EXPECT_TRUE(E.ApplyEnabled());
  EXPECT_EQ(E.WorkingDesignTable->ColourEntry(2, 1, 2, 1), 5);
  EXPECT_EQ(Column(TSetupGrid::DesignTable, 15), "B*|Low*|A*|High*|5|");
  EXPECT_NE(P->DesignTable->GetColour(1, 2, 1, 2), 5);
  E.Apply();
  EXPECT_EQ(P->DesignTable->GetColour(1, 2, 1, 2), 5);
  EXPECT_EQ(P->DesignTable->GetColour(2, 1, 2, 1), 5);
  EXPECT_EQ(P->MachineTable->GetColour(1, 2), 7);
  EXPECT_EQ(P->NoYarnTypes, 3);
  EXPECT_FALSE(E.ApplyEnabled());
  EXPECT_TRUE(E.SaveEnabled());
}

TEST_F(PatternSetupEditorTest, FewerColoursDropTheStripSelectionAndValidateTheTables) {
  E.Strip.LeftIndex = 12;
  E.Click(TSetupGrid::MachineTable, 1, TMouseButton::Left);
  E.Click(TSetupGrid::DesignTable, 1, TMouseButton::Left);
  ASSERT_EQ(E.NoColours(), 16);
  EXPECT_TRUE(E.SetNoColours(8));
  EXPECT_EQ(E.Strip.LeftIndex, 0);
  EXPECT_EQ(E.WorkingMachineTable->GetColour(1, 1), 0);
  EXPECT_EQ(E.WorkingDesignTable->GetColour(1, 1, 1, 1), 0);
  EXPECT_EQ(E.WorkingDesignTable->NoColours(), 8);
}

TEST_F(PatternSetupEditorTest, CountsOutsideTheirRangesChangeNothing) {
  E.SetModified(false);
  for (int n : {0, 100, 255, 256})
    EXPECT_FALSE(E.SetNoYarnTypes(n));
  for (int n : {3, 65})
    EXPECT_FALSE(E.SetNoColours(n));
  EXPECT_FALSE(E.SetRepeatSize(100));
  EXPECT_EQ(UI.Errors().size(), 7u);
  EXPECT_EQ(E.NoYarnTypes(), 3);
  EXPECT_EQ(E.WorkingCreel->NoYarnTypes(), 3);
  EXPECT_EQ(E.WorkingDesignTable->NoYarnTypes(), 3);
  EXPECT_EQ(E.NoColours(), 16);
  EXPECT_FALSE(E.Modified());
}

TEST_F(PatternSetupEditorTest, CancelBringsBackThePatternsObjects) {
  SetCreel("CCCCCC");
  E.SetNoYarnTypes(5);
  E.Cancel();
  EXPECT_EQ(E.NoYarnTypes(), P->NoYarnTypes);
  EXPECT_EQ(Creel()[0], YarnTypeLetter(P->Creel->GetYarnType(1))[0]);
  EXPECT_FALSE(E.Modified());
  EXPECT_EQ(E.UndefinedItems(), (std::vector<std::string>{"1 - High", "2 - Low"}));
}

// Fewer colours in a colour pattern ask before the cells painted with the colours that go
// are lost, counting them, however the count was lowered; leaving the window does not ask
// a declined question again, and an agreed one clears the cells from the grid.
TEST(PatternSetupEditorLoss, FewerColoursAskBeforeCellsAreLost) {
  OScriptedPlatform ui;
  OPlatformScope scope(ui);
  auto p = BarePattern(6, 4, 11); // COLORTEC
  p->SetMachineColour(1, 1, 10);
  p->SetMachineColour(2, 2, 13);
  p->SetMachineColour(3, 3, 4);
  OPatternSetupEditor e(*p);
  e.Reload();
  ASSERT_TRUE(e.SetNoColours(4));
  ui.ConfirmAnswers = {false};
  EXPECT_FALSE(e.Leave());
  EXPECT_FALSE(e.Leave());
  ASSERT_EQ(ui.Shown.size(), 1u);
  EXPECT_EQ(ui.Shown[0].Text, "Reduce the palette to 4 colours? Cells painted with the colours "
                              "above it will be lost (2 cells).");
  EXPECT_EQ(p->GetMachineColour(2, 2), 13);
  EXPECT_EQ(p->NoColours, 16);
  ui.ConfirmAnswers = {true};
  EXPECT_TRUE(e.Apply());
  EXPECT_EQ(p->NoColours, 4);
  EXPECT_EQ(p->GetMachineColour(1, 1), 0);
  EXPECT_EQ(p->GetMachineColour(2, 2), 0);
  EXPECT_EQ(p->GetMachineColour(3, 3), 4);
  // Nothing above the new count: no question.
  ASSERT_TRUE(e.SetNoColours(8));
  EXPECT_TRUE(e.Apply());
  EXPECT_EQ(ui.Shown.size(), 2u);
}

} // namespace
} // namespace quillane::test
