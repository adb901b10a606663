// The control setup editor's model: fields stored by their rules, Apply, Cancel, Import,
// leaving, and the question before a smaller pattern drops painted cells.
#include <functional>
#include <tuple>

#include "PatternSupport.h"
#include "editors/ControlSetupEditor.h"
#include "editors/NumberField.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"
#include "wizards/Wizards.h"

namespace quillane::test {
namespace {

using F = TSettingsField;

class SetupFlow : public TFlowTest {};

struct TEditing {
  OScriptedPlatform UI;
  OPlatformScope Scope{UI};
  std::unique_ptr<OPattern> Pattern;
  OControlSetupEditor Editor;
  explicit TEditing(int controls = 100, int pLines = 10)
      : TEditing(BarePattern(controls, pLines)) {}
  explicit TEditing(std::unique_ptr<OPattern> pattern)
      : Pattern(std::move(pattern)), Editor(*Pattern) {
    Pattern->SetModified(0);
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

// A number the box refused stays in it for correction: Cancel and Apply stay offered, and
// Cancel shows the stored value again.
TEST(ControlSetupEditor, CancelAfterARefusedNumberShowsTheStoredValueAgain) {
  TEditing e(120, 10);
  TNumberEdit edit;
  e.Editor.EditedBoxes.Mark(F::NoControls);
  edit.Edited(e.Editor);
  const TNumberField field = NumberFieldOf(OControlSetupEditor::Info(F::NoControls));
  EXPECT_FALSE(edit.Leave(field, "123456789012345", e.Editor));
  EXPECT_TRUE(!e.Editor.Modified() && e.Editor.CancelEnabled() && e.Editor.ApplyEnabled());
  e.Editor.Cancel();
  EXPECT_EQ(e.Editor.Number(F::NoControls), 120);
  EXPECT_FALSE(e.Editor.CancelEnabled() || e.Editor.EditedBoxes.Holds(F::NoControls));
}

TEST(ControlSetupEditor, ApplyingScroll3GivesThreeStatesAndEnablesSave) {
  TEditing e;
  EXPECT_FALSE(e.Editor.SaveEnabled() || e.Editor.ApplyEnabled() || e.Editor.CancelEnabled());
  e.Editor.StoreItem(F::MachineType, 3);
  EXPECT_TRUE(e.Editor.ApplyEnabled() && e.Editor.CancelEnabled());
  EXPECT_EQ(e.Pattern->NoStates, 2); // nothing reaches the pattern before Apply
  ASSERT_TRUE(e.Editor.Apply());
  EXPECT_EQ(e.Pattern->NoStates, 3);
  EXPECT_TRUE(e.Editor.SaveEnabled());
  EXPECT_FALSE(e.Editor.ApplyEnabled() || e.Editor.CancelEnabled());
  e.Editor.StoreItem(F::FileVersion, 2);
  ASSERT_TRUE(e.Editor.Apply());
  EXPECT_EQ(e.Pattern->Settings->FileVersion, 3);
}

// An imported file is refused, naming the field, when a control could not show a value of
// it; a good one reaches the pattern only on Apply, here by leaving the window.
TEST(ControlSetupEditor, AnImportReachesThePatternOnlyWhenTheWindowIsLeft) {
  const struct {
    size_t Offset; // in the record, after its two header bytes
    std::vector<uint8_t> Bytes;
    const char* Field;
  } hostile[] = {
      {0, {200}, "Machine Type 200 is out of range (0 to 13)."},
      {3, {0xFF, 0xFF}, "No. Pattern Lines 65535 is out of range (1 to 65534)."},
      {1, {0x10, 0x27}, "No. Controls 10000 is out of range (1 to 9999)."},
      {7, {100}, "Stitches/Backing Step 100 is out of range (0 to 99)."},
      {45, {100}, "Starting Cam Position 100 is out of range (0 to 99)."},
      {46, {3}, "Control Mode 3 is out of range (0 to 2)."},
      {112, {0}, "File Version 0 is out of range (1 to 6)."},
      {112, {7}, "File Version 7 is out of range (1 to 6)."},
      {124, {2}, "Offset Mode 2 is out of range (0 to 1)."},
      {129, {0x10, 0x27}, "Starting PLine 10000 is out of range (0 to 9999)."},
      {114,
       {0, 0, 0xC0, 0x7F},
       "Length Multiplier nan is out of range (-99999.99999 to "
       "99999.99999)."},
  };
  TTempDir dir;
  OSettings file(nullptr);
  file.SetDefaults();
  file.NoControls = 120;
  file.NoPLines = 10;
  WriteBytes(dir.File("wide.set"), RecordBytes(file));
  TEditing e;
  for (const auto& row : hostile) {
    Bytes bytes = RecordBytes(file);
    std::copy(row.Bytes.begin(), row.Bytes.end(), bytes.begin() + 2 + row.Offset);
    WriteBytes(dir.File("bad.set"), bytes);
    e.UI.FileAnswers = {dir.File("bad.set")};
    e.UI.Shown.clear();
    e.Editor.Import();
    EXPECT_EQ(e.UI.Errors(), std::vector{"Error reading settings file: " + dir.File("bad.set") +
                                         "\n" + row.Field});
    EXPECT_EQ(RecordBytes(e.Editor.WorkingCopy), RecordBytes(*e.Pattern->Settings));
  }
  e.UI.Shown.clear();
  e.UI.FileAnswers = {dir.File("wide.set")};
  e.Editor.Import();
  EXPECT_TRUE(e.UI.Shown.empty());
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
            "Reduce the pattern to 50 \xC3\x97 6? Cells outside it will be lost (1 cell).");
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

// Wizard-made patterns resized in the editor: whatever spanned the whole pattern follows
// it, the rest is cut to fit or taken out with one message, the copies left still copy what
// they copied, the creel continues its repeat, and nothing fails the section check then or
// after a save and open. Undo brings the old layout back.
TEST_F(SetupFlow, ElementsFollowAResize) {
  auto plain = [](TWizardLayout layout) {
    return [layout] { return GenerateWizard(TPlainWizard{100, 100, layout}); };
  };
  const struct {
    std::function<std::unique_ptr<OPattern>()> Make;
    int Controls, PLines;
    int Sections;      // left afterwards
    int PictureHeight; // the first picture's new height; its width is the pattern's
    const char* Note;  // the message after the question, after the new size
  } rows[] = {
      // clang-format off
      {plain(TWizardLayout::Section1), 120, 80, 1, 80, nullptr},
      {plain(TWizardLayout::Sections4), 120, 80, 4, 80, "Cut to fit: Section #3, Section #4."},
      {plain(TWizardLayout::Sections4), 30, 100, 2, 100, "Cut to fit: Region #2 of Picture #1, "
       "Section #1, Section #3. Removed: Section #2, Section #4."},
      {plain(TWizardLayout::Sections2v), 50, 50, 1, 50, "Removed: Section #2."},
      // A carpet shown twice along the PLines: the picture keeps both repeats.
      {[] { return GenerateWizard(TCarpetWizard{100, 100, 30, 100, false, 1, 2}); }, 50, 60, 2,
       120, "Cut to fit: Section #2. Removed: Section #3, Section #4."},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Controls);
    TEditing e(row.Make());
    OPattern& p = *e.Pattern;
    const bool wasWhole = p.Sections->Get(0)->SourceArea == TRect{1, 1, 100, 100};
    const int sectionsBefore = p.Sections->Count();
    p.Creel->RepeatSize = 3;
    for (int c = 1; c <= p.NoControls; ++c)
      p.Creel->SetYarnType(c, static_cast<OYarnType>((c - 1) % 3 + 1));
    for (int c = 1; c <= p.NoControls; ++c)
      for (int l = 1; l <= p.NoPLines; ++l)
        p.SetState(c, l, static_cast<uint8_t>((c * 7 + l * 3) % 3));
    p.Changed(); // the copies made, so every copy agrees with its source
    const TGrid before = p.States;

    ASSERT_TRUE(e.Editor.StoreNumber(F::NoControls, row.Controls));
    ASSERT_TRUE(e.Editor.StoreNumber(F::NoPLines, row.PLines));
    e.Editor.Edited();
    e.UI.ConfirmAnswers = {true};
    ASSERT_TRUE(e.Editor.Apply());
    std::vector<std::string> notes;
    for (const auto& shown : e.UI.Shown)
      if (shown.Box != OScriptedPlatform::TBox::Confirm)
        notes.push_back(shown.Text);
    const std::string note = "The pattern is now " + std::to_string(row.Controls) + " \xC3\x97 " +
                             std::to_string(row.PLines) + ". " + (row.Note ? row.Note : "");
    EXPECT_EQ(notes, row.Note ? std::vector{note} : std::vector<std::string>{});

    const TRect cells{1, 1, row.Controls, row.PLines};
    EXPECT_EQ(p.SectionsProblem(), "");
    EXPECT_EQ(p.Sections->Count(), row.Sections);
    for (const auto& s : *p.Sections) // a copy keeps its shape, so painting agrees with it
      EXPECT_TRUE(AreaWidth(s->SourceArea) == AreaWidth(s->TargetArea) &&
                  AreaHeight(s->SourceArea) == AreaHeight(s->TargetArea));
    if (wasWhole) {
      EXPECT_EQ(p.Sections->Get(0)->TargetArea, cells);
    }
    const OPicture& picture = *p.Pictures->Get(0);
    EXPECT_EQ(std::pair(picture.Width, picture.Height), std::pair(row.Controls, row.PictureHeight));
    // The picture's first region showed the whole pattern and still does.
    EXPECT_EQ(picture.Regions.Get(0)->PatternArea, cells);
    for (const auto& r : picture.Regions)
      EXPECT_TRUE(r->PatternArea.Left >= 1 && r->PatternArea.Right <= row.Controls &&
                  r->PatternArea.Bottom <= row.PLines && r->PictureArea.Right <= picture.Width &&
                  r->PictureArea.Bottom <= picture.Height);
    // The copies left put the same cells where they put them before.
    for (int c = 1; c <= std::min(100, row.Controls); ++c)
      for (int l = 1; l <= std::min(100, row.PLines); ++l)
        ASSERT_EQ(p.GetState(c, l), before.Get(c, l)) << c << "," << l;
    for (int c = 101; c <= row.Controls; ++c)
      EXPECT_EQ(p.Creel->GetYarnType(c), p.Creel->GetYarnType((c - 1) % 3 + 1)) << c;

    const std::string file = Current.File("resized.pat");
    p.WriteCopy(file);
    const size_t shown = e.UI.Shown.size();
    EXPECT_EQ(OpenPatternFile(file)->Sections->Count(), row.Sections);
    EXPECT_EQ(e.UI.Shown.size(), shown);

    p.History.Undo();
    EXPECT_EQ(p.NoControls, 100);
    EXPECT_EQ(p.Sections->Count(), sectionsBefore);
    EXPECT_EQ(p.SectionsProblem(), "");
  }
}

// A machine type that cannot hold the painted cells asks first, counting them; the cells
// agreed to go are gone from the grid, not only from the views.
TEST(ControlSetupEditor, AMachineTypeThatDropsCellsAsksFirst) {
  const struct {
    uint8_t From, To;
    const char* Question; // nullptr: nothing is lost
  } rows[] = {
      {3, 0, "Change the machine type to UTPA? Cells it cannot hold will be lost (2 cells)."},
      {11, 0, "Change the machine type to UTPA? Cells it cannot hold will be lost (3 cells)."},
      {3, 4, nullptr},  // SCROLL3 to HLCS: three states either way
      {0, 11, nullptr}, // a state pattern keeps the colours its states show
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.To);
    TEditing e(BarePattern(10, 4, row.From));
    OPattern& p = *e.Pattern;
    const bool colours = p.PatternMode == pmColours;
    for (auto [c, l, v] : {std::tuple{1, 1, 3}, {2, 2, 3}, {3, 3, 1}}) {
      if (colours)
        p.SetMachineColour(c, l, static_cast<uint8_t>(v));
      else
        p.SetState(c, l, static_cast<uint8_t>(v));
    }
    // The colour the state painted at (3, 3) shows, though the machine view was not chosen.
    const uint8_t shown = p.MachineTable->GetColour(p.Creel->GetYarnType(3), p.GetState(3, 3));
    e.Editor.StoreItem(F::MachineType, row.To);
    e.UI.ConfirmAnswers = {false, true};
    if (!row.Question) {
      EXPECT_TRUE(e.Editor.Apply());
      EXPECT_TRUE(e.UI.Shown.empty());
      EXPECT_EQ(p.PatternMode == pmColours ? p.GetMachineColour(3, 3) : p.GetState(1, 1),
                p.PatternMode == pmColours ? shown : 3);
      EXPECT_NE(shown, 0);
      continue;
    }
    EXPECT_FALSE(e.Editor.Apply());
    EXPECT_EQ(p.MachineType, row.From);
    EXPECT_TRUE(e.Editor.Apply());
    ASSERT_EQ(e.UI.Shown.size(), 2u);
    EXPECT_EQ(e.UI.Shown[0].Text, row.Question);
    EXPECT_EQ(p.MachineType, row.To);
    EXPECT_EQ(p.GetState(1, 1), 0);
  }
  // Two questions, the second declined: leaving the window asks neither again.
  TEditing e(BarePattern(10, 4, 3));
  e.Pattern->SetState(1, 1, 3);
  e.Pattern->SetState(5, 1, 1);
  e.Editor.StoreItem(F::MachineType, 0);
  ASSERT_TRUE(e.Editor.StoreNumber(F::NoControls, 2));
  e.UI.ConfirmAnswers = {true, false};
  EXPECT_FALSE(e.Editor.Apply());
  EXPECT_FALSE(e.Editor.Leave());
  ASSERT_EQ(e.UI.Shown.size(), 2u);
  EXPECT_EQ(e.UI.Shown[0].Text, "Reduce the pattern to 2 \xC3\x97 4? Cells outside it will be lost "
                                "(1 cell).");
  EXPECT_EQ(e.Pattern->NoControls, 10);
}

TEST(ControlSetupEditor, AValueOutOfRangeChangesNothing) {
  // Every box's limits are the number boxes' own; here a refusal leaves the copy as it was.
  const std::pair<F, double> cases[] = {{F::NoControls, 0},
                                        {F::Offset, 32768},
                                        {F::Offset, -32769},
                                        {F::StepsPerPLine, 256},
                                        {F::NeedleSpacing, 1e30}};
  TEditing e;
  const Bytes before = RecordBytes(e.Editor.WorkingCopy);
  for (auto [field, value] : cases)
    EXPECT_FALSE(e.Editor.StoreNumber(field, value)) << value;
  EXPECT_EQ(e.UI.Errors(), std::vector<std::string>(std::size(cases), "Range check error"));
  EXPECT_EQ(RecordBytes(e.Editor.WorkingCopy), before);
  EXPECT_TRUE(e.Editor.StoreNumber(F::Offset, -32768));
  EXPECT_EQ(e.Editor.WorkingCopy.Offset, -32768);
}

// Leaving a box stores it only when it was typed in since it last stored; Cancel forgets
// the typing.
TEST(ControlSetupEditor, OnlyBoxesTypedInSinceTheyStoredWaitToBeStored) {
  TEditing e;
  auto& boxes = e.Editor.EditedBoxes;
  for (F field : {F::Offset, F::SizeCode, F::Offset})
    boxes.Mark(field);
  EXPECT_EQ(boxes.Waiting(), (std::vector{F::Offset, F::SizeCode}));
  boxes.Stored(F::Offset);
  boxes.Mark(F::NoControls);
  EXPECT_EQ(boxes.Waiting(), (std::vector{F::SizeCode, F::NoControls}));
  e.Editor.Cancel();
  EXPECT_TRUE(boxes.Waiting().empty());
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
