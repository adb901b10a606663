// Undo and redo: every kind of step puts the pattern back exactly, the memory bound and
// the redo branch.
#include <algorithm>
#include <functional>
#include <utility>

#include "PatternSupport.h"
#include "editors/ControlSetupEditor.h"
#include "editors/ElementEditor.h"
#include "editors/PatternSetupEditor.h"
#include "editors/ViewStates.h"
#include "elements/BitmapMapping.h"
#include "elements/Region.h"
#include "setup/Palette.h"
#include "shell/MainCommands.h"
#include "wizards/Wizards.h"

namespace quillane::test {
namespace {

// What must come back: the saved file and every grid, derived ones included, since later
// section copies read them.
Bytes State(const OPattern& p) {
  Bytes b = RecordBytes(p);
  for (const TGrid* grid : {&p.States, &p.MachineColours, &p.DesignColours})
    b.insert(b.end(), grid->Data().begin(), grid->Data().end());
  return b;
}

// Where two states part, rather than both in full.
::testing::AssertionResult Same(const Bytes& a, const Bytes& b) {
  const auto [x, y] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  if (x == a.end() && y == b.end())
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "sizes " << a.size() << ", " << b.size() << "; first difference at " << (x - a.begin());
}

// A stroke as the view window paints it: press, moves, release.
void Stroke(OPattern& p, TView view, uint8_t index, int from, int to, int row) {
  OPicture& picture = *p.Pictures->Get(0);
  for (int x = from; x <= to; ++x)
    PaintPixel(p, picture, view, {x, row}, index);
  p.History.EndStroke();
}

class Undo : public TFlowTest {
protected:
  // Two sections side by side: the right half copies the left.
  std::unique_ptr<OPattern> P = GenerateWizard(TPlainWizard{40, 30, TWizardLayout::Sections2h});
  void SetUp() override {
    TFlowTest::SetUp();
    Stroke(*P, TView::Machine, 1, 0, 15, 3); // something painted before the step
    P->History.Clear();
  }
};

TEST_F(Undo, EveryKindOfStepUndoesAndRedoesBitForBitUnderItsName) {
  struct TRow {
    const char* Name;
    TView View; // chosen before the step: bringing a view up to date is no change
    std::function<void(OPattern&, OScriptedPlatform&)> Step;
    const char* Label; // as Edit names it
  };
  const TRow rows[] = {
      // Back and forth over the same cells: each keeps its value from before the stroke.
      {"long machine stroke", TView::Machine,
       [](OPattern& p, auto&) {
         OPicture& picture = *p.Pictures->Get(0);
         for (int i = 0; i < 400; ++i)
           PaintPixel(p, picture, TView::Machine, {i % 20, i / 20}, 2);
         PaintPixel(p, picture, TView::Machine, {3, 3}, 1);
         p.History.EndStroke();
       },
       "Paint"},
      {"design stroke", TView::Design,
       [](OPattern& p, auto&) { Stroke(p, TView::Design, 3, 0, 19, 5); }, "Paint"},
      {"set undefined", TView::None, [](OPattern& p, auto&) { p.SetUndefined(); }, "Set Undefined"},
      {"apply of a smaller pattern, confirmed", TView::None,
       [](OPattern& p, OScriptedPlatform& ui) {
         OControlSetupEditor e(p);
         e.Reload();
         e.StoreNumber(TSettingsField::NoControls, 12);
         e.Edited();
         ui.ConfirmAnswers = {true};
         ASSERT_TRUE(e.Apply());
       },
       "Apply Control Setup"},
      {"apply of a colour machine type", TView::None,
       [](OPattern& p, auto&) {
         OControlSetupEditor e(p);
         e.Reload();
         e.StoreItem(TSettingsField::MachineType, 11);
         ASSERT_TRUE(e.Apply());
       },
       "Apply Control Setup"},
      {"palette from the strip, of fewer colours, another yarn type", TView::None,
       [](OPattern& p, OScriptedPlatform& ui) {
         OPatternSetupEditor e(p);
         e.Reload();
         ui.ColourAnswers = {0x123456};
         e.Strip.Height = 200; // 20 cells of 10 pixels
         e.Strip.MouseDown(TMouseButton::Left, ssDouble, 5, 5);
         e.StripPressed();
         e.SetNoColours(8);
         e.SetNoYarnTypes(4);
         ASSERT_TRUE(e.Apply());
       },
       "Apply Pattern Setup"},
      {"a few cells changed", TView::None,
       [](OPattern& p, auto&) {
         OUndoHistory::TChange step(p.History, "Change Cells");
         for (int c = 1; c <= 5; ++c)
           p.States.Set(c, 7, static_cast<uint8_t>(p.States.Get(c, 7) % 2 + 1));
         p.Changed();
       },
       "Change Cells"},
      {"deleted section", TView::None,
       [](OPattern& p, auto&) {
         OUndoHistory::TChange step(p.History, "Delete Section1-1");
         EXPECT_EQ(p.History.Take(*p.Sections, 0), nullptr); // the history keeps it
         p.Changed();
       },
       "Delete Section1-1"},
      {"region edited", TView::None,
       [](OPattern& p, auto&) {
         ORegion& region = *p.Pictures->Get(0)->Regions.Get(0);
         region.NodeName = "Region1-1";
         ORegionEditor e(p, region);
         e.Reload();
         ASSERT_TRUE(e.StoreNumber(TElementField::NoControls, 7));
         e.Edited();
         ASSERT_TRUE(e.Apply());
       },
       "Apply Region1-1"},
      {"bitmap applied with its palette", TView::None,
       [](OPattern& p, auto&) {
         OBitmap24 b;
         b.SetSize(20, 30);
         b.Fill(0x654321);
         b.SetPixel(3, 4, 0x0000FF);
         OBitmapMapping m(*p.Pictures->Get(0)->Regions.Get(0), b);
         m.UpdatePalette();
         ASSERT_TRUE(m.Apply(true));
       },
       "Import Bitmap"},
      // From a plain ground to a busy one: the history keeps one grid as runs, the other whole.
      {"checkered bitmap applied", TView::None,
       [](OPattern& p, auto&) {
         OBitmap24 b;
         b.SetSize(20, 30);
         for (int y = 0; y < 30; ++y)
           for (int x = 0; x < 20; ++x)
             b.SetPixel(x, y, (x + y) % 2 != 0 ? 0x0000FF : 0x654321);
         OBitmapMapping m(*p.Pictures->Get(0)->Regions.Get(0), b);
         m.UpdatePalette();
         ASSERT_TRUE(m.Apply(true));
       },
       "Import Bitmap"},
  };
  // A plain ground is kept as runs of one value, a busy one cell by cell.
  for (const bool busy : {false, true})
    for (const TRow& row : rows) {
      SCOPED_TRACE(std::string(row.Name) + (busy ? ", on a busy ground" : ""));
      auto p = GenerateWizard(TPlainWizard{40, 30, TWizardLayout::Sections2h});
      for (int c = 1; busy && c <= p->NoControls; ++c)
        for (int pl = 1; pl <= p->NoPLines; ++pl)
          p->States.Set(c, pl, static_cast<uint8_t>((c + pl) % 2 + 1));
      p->Changed();
      p->History.Clear();
      Stroke(*p, TView::Machine, 1, 0, 15, 3);
      if (row.View != TView::None)
        p->Pictures->Get(0)->BringUpToDate(row.View);
      p->SetModified(0);
      const Bytes before = State(*p);
      int heard = 0; // what Edit hears: once at least for the step, its undo and its redo
      auto subscription = p->Events.Subscribe(
          [&heard](const TPatternChange& c) { heard += c.Kind == TPatternChange::TKind::History; });
      row.Step(*p, UI);
      const Bytes after = State(*p);
      ASSERT_FALSE(Same(before, after));
      ASSERT_EQ(p->History.UndoCount(), 2); // the stroke before and this step
      EXPECT_EQ(p->History.UndoLabel(), row.Label);
      EXPECT_GE(std::exchange(heard, 0), 1);
      p->SetModified(0);
      p->History.Undo();
      EXPECT_TRUE(Same(State(*p), before));
      EXPECT_EQ(p->Modified(), 1);
      EXPECT_EQ(p->History.UndoLabel(), "Paint");
      EXPECT_EQ(UndoMenuEntry(&p->History, false).Caption, std::string("&Redo ") + row.Label);
      EXPECT_GE(std::exchange(heard, 0), 1);
      p->History.Redo();
      EXPECT_TRUE(Same(State(*p), after));
      EXPECT_GE(heard, 1);
      p->History.Undo();
      p->History.Undo();
      p->History.Redo();
      EXPECT_TRUE(Same(State(*p), before));
      EXPECT_EQ(p->History.RedoCount(), 1);
    }
}

// Three steps taken back at once from the History, the second failing in a listener half
// way: the third is undone, the second counts as undone (what it put back only a redo takes
// forward again), the first stays, and Edit's captions are told so.
TEST_F(Undo, AStepFailingInASeveralStepUndoLeavesTheCaptionsAtWhatWasTaken) {
  // Each renames a state too: a step that changes what kind of pattern it is tells
  // everything, at once.
  for (const char* label : {"One", "Two", "Three"}) {
    OUndoHistory::TChange step(P->History, label);
    P->SetMachineColour(1, static_cast<int>(P->History.UndoCount()) + 10, 2);
    P->StateNames[0] = label;
    step.Commit();
  }
  int alls = 0;
  std::vector<std::string> captions;
  const auto listening = P->Events.Subscribe([&](const TPatternChange& c) {
    if (c.Kind == TPatternChange::TKind::All && ++alls == 2)
      throw Exception("a view failed");
    if (c.Kind == TPatternChange::TKind::History)
      captions.push_back(UndoMenuEntry(&P->History, true).Caption + "/" +
                         UndoMenuEntry(&P->History, false).Caption);
  });
  EXPECT_THROW(P->History.Undo(3), Exception);
  EXPECT_EQ(P->History.UndoLabels(), std::vector<std::string>{"One"});
  EXPECT_EQ(P->History.RedoLabels(), (std::vector<std::string>{"Two", "Three"}));
  ASSERT_FALSE(captions.empty());
  EXPECT_EQ(captions.back(), "&Undo One/&Redo Two");
  P->History.Redo(2);
  EXPECT_EQ(P->History.UndoLabels(), (std::vector<std::string>{"One", "Two", "Three"}));
  EXPECT_EQ(P->GetMachineColour(1, 12), 2);
}

// A change left by an exception half way puts back what it reached and keeps no step,
// whatever it said it would write.
TEST_F(Undo, AChangeThrowingHalfWayLeavesThePatternAndTheHistoryAsBefore) {
  {
    OUndoHistory::TChange step(P->History, "Kept");
    P->SetMachineColour(2, 2, 2);
    step.Commit();
  }
  P->SetModified(0);
  using TTouches = OUndoHistory::TTouches;
  const std::pair<const char*, TTouches> rows[] = {
      {"anything", TTouches{}},
      {"its PLines", TTouches::Rows(4, 6)},
      {"objects", TTouches::ObjectsOnly()},
  };
  for (const auto& [name, touches] : rows) {
    const Bytes before = State(*P);
    const int pictures = P->Pictures->Count();
    EXPECT_THROW(
        {
          OUndoHistory::TChange step(P->History, "Fill", touches);
          P->History.Add(*P->Pictures, std::make_unique<OPicture>(P.get()));
          if (touches.Kind != TTouches::TKind::Objects)
            for (int c = 3; c <= 12; ++c) {
              if (c == 8)
                throw Exception("half way");
              P->PaintMachineColour(c, 5, 1);
            }
          throw Exception("half way");
        },
        Exception)
        << name;
    EXPECT_TRUE(Same(State(*P), before)) << name;
    EXPECT_EQ(P->Pictures->Count(), pictures) << name;
    EXPECT_EQ(P->Modified(), 0) << name;
    EXPECT_EQ(P->History.UndoLabels(), std::vector<std::string>{"Kept"}) << name;
    EXPECT_EQ(P->History.RedoCount(), 0) << name;
  }
  // A change that keeps its PLines keeps no more than them.
  {
    OUndoHistory::TChange step(P->History, "Rows", TTouches::Rows(5, 5));
    P->PaintMachineColour(3, 5, 2);
    step.Commit();
  }
  EXPECT_LT(P->History.Bytes(), size_t{2} * 1024);
  P->History.Undo();
  EXPECT_EQ(P->History.UndoLabels(), std::vector<std::string>{"Kept"});
}

// A fill keeps the PLines its section copies reach as well as its own.
TEST_F(Undo, AFillCopiedToOtherPLinesTakesItsCopiesBackToo) {
  auto p = BarePattern(20, 30);
  AddSection(*p, {1, 1, 20, 10}, {1, 1, 20, 10});
  AddSection(*p, {1, 1, 20, 10}, {1, 21, 20, 30});
  p->Changed();
  const Bytes before = State(*p);
  TCellBits cells(p->States.Data().size());
  for (int p0 : {2, 3})
    cells.Set(p->States.Index(3, p0), 6);
  ASSERT_EQ(p->PaintMachineCells(cells, 2, "Fill", {}), TCellPaint::Done);
  ASSERT_EQ(p->GetMachineColour(5, 23), 2);
  p->History.Undo();
  EXPECT_TRUE(Same(State(*p), before));
}

TEST_F(Undo, AStrokeGivesBackItsPixelsAndAnOpenEditorFollows) {
  OControlSetupEditor editor(*P);
  editor.Reload();
  OPicture& picture = *P->Pictures->Get(0);
  const OBitmap24 image = picture.MachineImage;
  auto changedPixels = [&] {
    int n = 0;
    for (int y = 0; y < image.Height(); ++y)
      for (int x = 0; x < image.Width(); ++x)
        n += picture.MachineImage.GetPixel(x, y) != image.GetPixel(x, y);
    return n;
  };
  Stroke(*P, TView::Machine, 2, 0, 19, 7);
  ASSERT_GT(changedPixels(), 20); // the cells and their copies
  P->History.Undo();
  EXPECT_EQ(changedPixels(), 0);

  editor.StoreNumber(TSettingsField::NoPLines, 20);
  editor.Edited();
  UI.ConfirmAnswers = {true};
  ASSERT_TRUE(editor.Apply());
  P->History.Undo();
  EXPECT_EQ(editor.Number(TSettingsField::NoPLines), 30);
  // Changes of its own it keeps.
  editor.StoreNumber(TSettingsField::NoPLines, 25);
  editor.Edited();
  P->History.Redo();
  EXPECT_EQ(editor.Number(TSettingsField::NoPLines), 25);
}

// What the picture shows in a view against the view made afresh from the states.
::testing::AssertionResult ShowsTheStates(OPattern& p, TView view) {
  OPicture& picture = *p.Pictures->Get(0);
  const OBitmap24 shown = view == TView::Machine ? picture.MachineImage : picture.DesignImage;
  const TZeroedBytes grid = (view == TView::Machine ? p.MachineColours : p.DesignColours).Data();
  picture.BringUpToDate(TView::None);
  p.UpToDate = TView::None;
  picture.BringUpToDate(view);
  if ((view == TView::Machine ? p.MachineColours : p.DesignColours).Data() != grid)
    return ::testing::AssertionFailure() << "the grid differs from the states'";
  if ((view == TView::Machine ? picture.MachineImage : picture.DesignImage) != shown)
    return ::testing::AssertionFailure() << "the picture differs from the states'";
  return ::testing::AssertionSuccess();
}

TEST_F(Undo, APaintNoStateTakesIsRefusedAndUndoShowsTheStatesInEitherView) {
  OPicture& picture = *P->Pictures->Get(0);
  uint8_t none = 1; // a colour the tables give no state of the first yarn type
  while (P->MachineTable->GetState(P->Creel->GetYarnType(1), none) != 0)
    ++none;
  const Bytes before = State(*P);
  EXPECT_EQ(PaintPixel(*P, picture, TView::Machine, {0, 9}, none),
            "Palette Color " + std::to_string(none) +
                " has no state for Yarn Type A in the machine table");
  Stroke(*P, TView::Machine, none, 0, 19, 9);
  EXPECT_TRUE(Same(State(*P), before));
  EXPECT_EQ(P->History.UndoCount(), 0);
  EXPECT_EQ(PaintPixel(*P, picture, TView::Machine, {0, 9}, 1), "");
  P->History.EndStroke();

  // Drawn in one view and undone or redone in the other, or in the same.
  for (const TView from : {TView::Machine, TView::Design})
    for (const TView in : {TView::Machine, TView::Design}) {
      SCOPED_TRACE(std::to_string(static_cast<int>(from)) + " in " +
                   std::to_string(static_cast<int>(in)));
      Stroke(*P, from, from == TView::Machine ? 2 : 3, 0, 19, 11);
      picture.BringUpToDate(in);
      P->History.Undo();
      EXPECT_TRUE(ShowsTheStates(*P, in));
      P->History.Redo();
      EXPECT_TRUE(ShowsTheStates(*P, in));
      P->History.Undo();
      EXPECT_TRUE(ShowsTheStates(*P, in));
    }
}

TEST_F(Undo, TheMemoryBoundDropsTheOldestStepsAndANewStepTheRedoBranch) {
  for (int row = 0; row < 6; ++row)
    Stroke(*P, TView::Machine, 2, 0, 19, row);
  ASSERT_EQ(P->History.UndoCount(), 6);
  const size_t perStroke = P->History.Bytes() / 6;
  P->History.SetLimit(perStroke * 4);
  EXPECT_EQ(P->History.UndoCount(), 4);
  EXPECT_LE(P->History.Bytes(), P->History.Limit());
  while (P->History.CanUndo())
    P->History.Undo();
  // The two oldest strokes stay.
  EXPECT_EQ((std::vector<int>{P->GetMachineColour(5, 2), P->GetMachineColour(5, 3),
                              P->GetMachineColour(5, 4)}),
            (std::vector<int>{2, 0, 1}));

  P->History.Redo();
  ASSERT_EQ(P->History.RedoCount(), 3);
  Stroke(*P, TView::Machine, 1, 0, 0, 9);
  EXPECT_EQ(P->History.RedoCount(), 0);
  EXPECT_FALSE(P->History.CanRedo());
  // A stroke that changes nothing is no step, nor is anything without memory for steps.
  Stroke(*P, TView::Machine, 1, 0, 0, 9);
  EXPECT_EQ(P->History.UndoCount(), 2);
  P->History.SetLimit(0);
  Stroke(*P, TView::Machine, 2, 0, 0, 9);
  P->SetUndefined();
  EXPECT_EQ(P->History.UndoCount() + P->History.RedoCount(), 0);
}

TEST_F(Undo, TheHistoryListGoesToAnyStepInOneMoveHeardOnce) {
  EXPECT_TRUE(HistoryList(nullptr).Rows.empty());
  std::vector<Bytes> states{State(*P)};
  for (int row = 5; row <= 8; ++row) {
    row == 7 ? P->SetUndefined() : Stroke(*P, TView::Machine, 2, 0, 19, row);
    states.push_back(State(*P));
  }
  int history = 0, cells = 0;
  auto subscription = P->Events.Subscribe([&](const TPatternChange& c) {
    history += c.Kind == TPatternChange::TKind::History;
    cells += c.Kind == TPatternChange::TKind::Cells;
  });
  const struct {
    int Row;
    int Steps; // as the list gives them: back when less than 0
    const char* Accessible;
  } moves[] = {{2, -2, "Paint, current"},         {0, -2, "(Start), current"},
               {0, 0, "(Start), current"},        {4, 4, "Paint, current"},
               {3, -1, "Set Undefined, current"}, {9, 0, nullptr}};
  for (const auto& move : moves) {
    SCOPED_TRACE(move.Row);
    const THistoryList before = HistoryList(&P->History);
    ASSERT_EQ(before.Rows.size(), 5U);
    EXPECT_EQ(before.StepsTo(move.Row), move.Steps);
    history = cells = 0;
    GoToHistoryRow(P->History, move.Row);
    const THistoryList list = HistoryList(&P->History);
    if (!move.Accessible) {
      EXPECT_EQ(list.Current, before.Current);
      continue;
    }
    EXPECT_TRUE(Same(State(*P), states[static_cast<size_t>(move.Row)]));
    std::vector<std::string> texts;
    for (const auto& row : list.Rows)
      texts.push_back(row.Text);
    EXPECT_EQ(texts,
              (std::vector<std::string>{"(Start)", "Paint", "Paint", "Set Undefined", "Paint"}));
    EXPECT_EQ(list.Current, move.Row);
    EXPECT_EQ(list.Rows[static_cast<size_t>(move.Row)].Accessible, move.Accessible);
    EXPECT_EQ(list.Rows.back().Undone, move.Row < 4);
    EXPECT_EQ(history, move.Steps != 0 ? 1 : 0);
    EXPECT_LE(cells, 1);
  }
  // A stroke still open when the list is clicked is the newest step.
  PaintPixel(*P, *P->Pictures->Get(0), TView::Machine, {0, 9}, 2);
  GoToHistoryRow(P->History, 3);
  EXPECT_TRUE(Same(State(*P), states[3]));
  EXPECT_EQ(HistoryList(&P->History).Rows.back().Text, "Paint");
}

} // namespace
} // namespace quillane::test
