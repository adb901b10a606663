// The control setup editor's model: fields stored by their rules, Apply, Cancel, Import,
// leaving, and the question before a smaller pattern drops painted cells.
#include "PatternSupport.h"
#include "editors/ControlSetupEditor.h"

namespace quillane::test {
namespace {

using F = TSettingsField;

struct TEditing {
  OScriptedPlatform UI;
  OPlatformScope Scope{UI};
  std::unique_ptr<OPattern> Pattern;
  OControlSetupEditor Editor;
  int Shown = 0, Saved = 0;
  explicit TEditing(int controls = 100, int pLines = 10)
      : Pattern(BarePattern(controls, pLines)), Editor(*Pattern) {
    Pattern->SetModified(0);
    Editor.OnShowData = [this] { ++Shown; };
    Editor.OnSave = [this] { return ++Saved, true; };
    Editor.Reload();
  }
};

TEST(ControlSetupEditor, StitchCountIsStoredAsItsReciprocalAndShownAgainAfterCancel) {
  TEditing e;
  ASSERT_TRUE(e.Editor.StoreNumber(F::StitchCount, 4));
  e.Editor.Edited();
  ASSERT_TRUE(e.Editor.Apply());
  EXPECT_EQ(e.Pattern->Settings->InverseStitchCount, 0.25f);
  for (double entry : {8.0, 0.0, -3.0}) {
    ASSERT_TRUE(e.Editor.StoreNumber(F::StitchCount, entry));
    EXPECT_EQ(e.Editor.WorkingCopy.InverseStitchCount, entry > 0 ? 0.125f : 0.0f);
    e.Editor.Edited();
    e.Editor.Cancel();
    EXPECT_EQ(e.Editor.Number(F::StitchCount), 4.0);
    EXPECT_FALSE(e.Editor.Modified());
  }
}

TEST(ControlSetupEditor, ApplyingScroll3GivesThreeStatesAndEnablesSave) {
  TEditing e;
  EXPECT_FALSE(e.Editor.SaveEnabled() || e.Editor.ApplyEnabled() || e.Editor.CancelEnabled());
  EXPECT_EQ(OControlSetupEditor::Items(F::MachineType).at(3), "SCROLL3");
  e.Editor.StoreItem(F::MachineType, 3);
  EXPECT_TRUE(e.Editor.ApplyEnabled() && e.Editor.CancelEnabled());
  EXPECT_EQ(e.Pattern->NoStates, 2); // nothing reaches the pattern before Apply
  ASSERT_TRUE(e.Editor.Apply());
  EXPECT_EQ(e.Pattern->NoStates, 3);
  EXPECT_TRUE(e.Editor.SaveEnabled());
  EXPECT_FALSE(e.Editor.ApplyEnabled() || e.Editor.CancelEnabled());
  e.Editor.StoreItem(F::FileVersion, 2);
  EXPECT_TRUE(e.Editor.Save());
  EXPECT_EQ(e.Saved, 1);
  EXPECT_EQ(e.Pattern->Settings->FileVersion, 3);
}

TEST(ControlSetupEditor, AnImportReachesThePatternOnlyWhenTheWindowIsLeft) {
  TTempDir dir;
  OSettings file(nullptr);
  file.SetDefaults();
  file.NoControls = 120;
  file.NoPLines = 10;
  WriteBytes(dir.File("wide.set"), RecordBytes(file));
  file.NoPLines = 65535; // gigabytes of cells once applied: no box would take it
  WriteBytes(dir.File("huge.set"), RecordBytes(file));
  TEditing e;
  e.UI.FileAnswers = {dir.File("huge.set"), dir.File("wide.set")};
  e.Editor.Import();
  EXPECT_EQ(e.UI.Errors(), std::vector{"Error reading settings file: " + dir.File("huge.set")});
  EXPECT_EQ(e.Editor.Number(F::NoControls), 100);
  e.Editor.Import();
  EXPECT_EQ(e.UI.Errors().size(), 1u);
  EXPECT_TRUE(e.Editor.ApplyEnabled());
  EXPECT_EQ(e.Editor.Number(F::NoControls), 120);
  EXPECT_EQ(e.Pattern->NoControls, 100);
  EXPECT_TRUE(e.Editor.Leave());
  EXPECT_EQ(e.Pattern->NoControls, 120);
}

TEST(ControlSetupEditor, ShrinkingOverPaintedCellsAsksFirst) {
  TEditing e;
  e.Pattern->SetState(80, 5, 1);
  // Nothing painted beyond 6 PLines is lost without a question.
  ASSERT_TRUE(e.Editor.StoreNumber(F::NoPLines, 6));
  e.Editor.Edited();
  ASSERT_TRUE(e.Editor.Apply());
  EXPECT_TRUE(e.UI.Shown.empty());
  ASSERT_EQ(e.Pattern->NoPLines, 6);

  ASSERT_TRUE(e.Editor.StoreNumber(F::NoControls, 50));
  e.Editor.Edited();
  e.UI.ConfirmAnswers = {false};
  EXPECT_FALSE(e.Editor.Apply());
  ASSERT_EQ(e.UI.Shown.size(), 1u);
  EXPECT_EQ(e.UI.Shown[0].Text,
            "Reduce the pattern to 50 \xC3\x97 6? Cells outside it will be lost.");
  EXPECT_EQ(e.Pattern->NoControls, 100);
  EXPECT_EQ(e.Pattern->GetState(80, 5), 1);
  EXPECT_TRUE(e.Editor.Modified());
  EXPECT_EQ(e.Editor.Number(F::NoControls), 50); // left for the user to correct
  EXPECT_FALSE(e.Editor.Leave());                // leaving keeps the refusal without asking again
  EXPECT_EQ(e.UI.Shown.size(), 1u);
  e.UI.ConfirmAnswers = {false};
  EXPECT_FALSE(e.Editor.Apply()); // the user's own Apply asks
  EXPECT_EQ(e.UI.Shown.size(), 2u);
  e.Editor.Cancel();
  EXPECT_EQ(e.Editor.Number(F::NoControls), 100);

  ASSERT_TRUE(e.Editor.StoreNumber(F::NoControls, 50));
  e.Editor.Edited();
  e.UI.ConfirmAnswers = {true};
  EXPECT_TRUE(e.Editor.Apply());
  EXPECT_EQ(e.Pattern->NoControls, 50);
}

TEST(ControlSetupEditor, AValueOutOfRangeChangesNothing) {
  const std::pair<F, double> cases[] = {
      {F::NoControls, 0}, {F::NoControls, 10000}, {F::NoPLines, 65535},
      {F::Offset, 32768}, {F::Offset, -32769},    {F::StepsPerPLine, 256},
      {F::CamStart, 100}, {F::PLineStart, 10000}, {F::NeedleSpacing, 1e30},
  };
  TEditing e;
  const Bytes before = RecordBytes(e.Editor.WorkingCopy);
  for (auto [field, value] : cases)
    EXPECT_FALSE(e.Editor.StoreNumber(field, value)) << value;
  EXPECT_EQ(e.UI.Errors(), std::vector<std::string>(std::size(cases), "Range check error"));
  EXPECT_EQ(RecordBytes(e.Editor.WorkingCopy), before);
  EXPECT_TRUE(e.Editor.StoreNumber(F::Offset, -32768));
  EXPECT_EQ(e.Editor.WorkingCopy.Offset, -32768);
}

TEST(ControlSetupEditor, HeaderTextsRefuseQuotesAndLineBreaks) {
  TEditing e;
  ASSERT_TRUE(e.Editor.StoreText(F::SizeCode, "12345678901234567"));
  EXPECT_EQ(e.Editor.Text(F::SizeCode), "12345678901234");
  for (const char* text : {"6\" wide", "a\rb", "a\nb"}) {
    EXPECT_FALSE(e.Editor.StoreText(F::SizeCode, text));
    EXPECT_FALSE(e.Editor.StoreText(F::StyleCode, text));
  }
  ASSERT_EQ(e.UI.Shown.size(), 6u);
  EXPECT_EQ(e.UI.Shown[4].Text, "The size code can not contain a double quote or a line break.");
  EXPECT_EQ(e.Editor.Text(F::SizeCode), "12345678901234");
  EXPECT_TRUE(e.Editor.StoreText(F::Description, "6\" wide"));
}

} // namespace
} // namespace quillane::test
