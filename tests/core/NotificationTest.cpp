#include "PatternSupport.h"

#include "editors/ControlSetupEditor.h"
#include "editors/ElementEditor.h"
#include "editors/PatternSetupEditor.h"
#include "editors/ProductionEditor.h"
#include "setup/Creel.h"
#include "setup/Palette.h"

namespace quillane::test {
namespace {

using TKind = TPatternChange::TKind;

// A 20 x 10 pattern, left half copied to the right, one pixel a cell; it records each change.
class Notification : public TFlowTest {
protected:
  void SetUp() override {
    TFlowTest::SetUp();
    p = BarePattern(20, 10);
    AddSection(*p, {1, 1, 10, 10}, {11, 1, 20, 10});
    picture = &AddPicture(*p, 20, 10);
    AddRegion(*picture, {1, 1, 20, 10}, {1, 1, 20, 10});
    p->SetModified(0);
    heard = p->Events.Subscribe([this](const TPatternChange& c) { changes.push_back(c); });
  }
  std::vector<TPatternChange> Of(TKind kind) const {
    std::vector<TPatternChange> found;
    for (const TPatternChange& c : changes)
      if (c.Kind == kind)
        found.push_back(c);
    return found;
  }

  std::unique_ptr<OPattern> p;
  OPicture* picture = nullptr;
  std::vector<TPatternChange> changes;
  OPatternEvents::TSubscription heard;
};

TEST_F(Notification, APaintReportsTheCellsAndPixelsItChangedOnce) {
  p->PaintMachineColour(12, 3, 1); // through (2, 3); the picture shows it at (11, 2)
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[0].Kind, TKind::Modified);
  EXPECT_EQ(Of(TKind::Cells).at(0).Area, (TRect{2, 3, 12, 3}));
  EXPECT_EQ(Of(TKind::Pixels).at(0).Area, (TRect{11, 2, 11, 2}));
  EXPECT_FALSE(Of(TKind::Pixels).at(0).DesignImage);

  changes.clear();
  p->PaintDesignColour(13, 4, 1); // the pair 3-4 and its copy 13-14
  EXPECT_EQ(Of(TKind::Cells).at(0).Area, (TRect{3, 4, 14, 4}));
  EXPECT_EQ(Of(TKind::Pixels).at(0).Area, (TRect{12, 3, 13, 3}));
  EXPECT_TRUE(Of(TKind::Pixels).at(0).DesignImage);
  EXPECT_EQ(changes.size(), 2u) << "Modified was set already";
}

TEST_F(Notification, ABatchReportsOnceWhenItCloses) {
  // The plain layout takes the fast batch; a flipped copy paints one by one.
  for (const bool flipped : {false, true}) {
    p->Sections->Get(0)->HFlip = flipped ? 1 : 0;
    p->SetModified(0);
    changes.clear();
    p->BeginPaintBatch();
    p->PaintMachineColour(11, 1, 1);
    p->PaintMachineColour(13, 2, 2);
    const uint8_t values[] = {1, 2, 1, 2};
    p->BatchPaintArea({15, 5, 16, 6}, values);
    EXPECT_TRUE(Of(TKind::Cells).empty() && Of(TKind::Pixels).empty()) << flipped;
    p->EndPaintBatch();
    ASSERT_EQ(
        std::tuple(Of(TKind::Cells).size(), Of(TKind::Pixels).size(), Of(TKind::Modified).size()),
        std::tuple(1u, 1u, 1u))
        << flipped;
    if (!flipped) {
      EXPECT_EQ(Of(TKind::Cells)[0].Area, (TRect{1, 1, 16, 6}));
      const TRect pixels = Of(TKind::Pixels)[0].Area; // holds the copies' pixels
      EXPECT_TRUE(pixels.Left <= 10 && pixels.Top <= 0 && pixels.Right >= 15 && pixels.Bottom >= 5);
    }
  }
}

TEST_F(Notification, EditsOfTheWholePatternReportWhatChanged) {
  const TRect all{1, 1, 20, 10};
  const std::tuple<std::function<void()>, TKind, TDesignRecordKind> rows[] = {
      {[&] { p->Changed(); }, TKind::All, TDesignRecordKind::Pattern},
      {[&] { p->ApplyCreel(); }, TKind::Setup, TDesignRecordKind::Creel},
      {[&] { AddSection(*p, all, all); }, TKind::Elements, TDesignRecordKind::Section},
      {[&] { AddRegion(*picture, all, all); }, TKind::Elements, TDesignRecordKind::Region},
      {[&] { p->Pictures->Delete(0); }, TKind::Elements, TDesignRecordKind::Picture},
  };
  for (const auto& [edit, kind, object] : rows) {
    changes.clear();
    edit();
    ASSERT_EQ(Of(kind).size(), 1u) << int(object);
    EXPECT_EQ(Of(kind)[0].Object, object);
  }

  // Saving clears Modified, and says so; setting it unchanged says nothing.
  p->SetModified(1);
  changes.clear();
  p->FileName = Current.File("a.pat");
  p->SaveToFile();
  p->SetModified(0);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].Kind, TKind::Modified);
}

TEST_F(Notification, ADroppedSubscriptionHearsNothingAndMayOutliveThePattern) {
  int second = 0;
  OPatternEvents::TSubscription other; // drops itself while it hears a change
  other = p->Events.Subscribe([&](const TPatternChange&) {
    ++second;
    other.Reset();
  });
  p->SetModified(1);
  p->SetModified(0);
  EXPECT_EQ(second, 1);
  EXPECT_EQ(changes.size(), 2u);
  heard.Reset();
  p->Changed();
  EXPECT_EQ(changes.size(), 2u);
  heard = p->Events.Subscribe([](const TPatternChange&) {});
  p.reset(); // the subscription is dropped after the pattern
}

// Apply writes back every object an editor holds; the views hear of each object once, not
// once per write and again for the whole pattern.
TEST_F(Notification, AnEditorsApplyTellsEachObjectItWroteOnce) {
  using TMake = std::function<std::unique_ptr<OSetupEditor>()>;
  using THeard = std::vector<std::pair<TKind, TDesignRecordKind>>;
  const std::tuple<TMake, THeard> rows[] = {
      {[&] { return std::make_unique<OPatternSetupEditor>(*p); },
       {{TKind::Setup, TDesignRecordKind::Creel},
        {TKind::Setup, TDesignRecordKind::DesignTable},
        {TKind::Setup, TDesignRecordKind::MachineTable},
        {TKind::Setup, TDesignRecordKind::Palette}}},
      {[&] { return std::make_unique<OControlSetupEditor>(*p); },
       {{TKind::Setup, TDesignRecordKind::Settings}}},
      {[&] { return std::make_unique<OPictureEditor>(*p, *picture); },
       {{TKind::Elements, TDesignRecordKind::Picture}}},
      {[&] { return std::make_unique<ORegionEditor>(*p, *picture->Regions.Get(0)); },
       {{TKind::Elements, TDesignRecordKind::Region}}},
      // The copies are cells of the target.
      {[&] { return std::make_unique<OSectionEditor>(*p, *p->Sections->Get(0)); },
       {{TKind::Cells, TDesignRecordKind::Pattern}, {TKind::Elements, TDesignRecordKind::Section}}},
  };
  for (const auto& [make, expected] : rows) {
    const std::unique_ptr<OSetupEditor> editor = make();
    editor->Reload();
    editor->SetModified(true);
    changes.clear();
    ASSERT_TRUE(editor->Apply());
    THeard told;
    for (const TPatternChange& c : changes)
      if (c.Kind != TKind::Modified && c.Kind != TKind::History)
        told.emplace_back(c.Kind, c.Object);
    EXPECT_EQ(told, expected) << editor->ApplyLabel();
  }
}

// Undoing a step tells what the step changed, as the step itself did: its cells and the
// pixels showing them, or its objects; never everything.
TEST_F(Notification, AnUndoTellsWhatItsStepChanged) {
  const std::tuple<const char*, std::function<void()>, TKind, TDesignRecordKind> rows[] = {
      {"cells",
       [&] {
         OUndoHistory::TChange step(p->History, "Fill");
         for (int c = 12; c <= 14; ++c) // through 2-4
           p->PaintMachineColour(c, 5, 2);
         step.Commit();
       },
       TKind::Cells, TDesignRecordKind::Pattern},
      {"creel",
       [&] {
         OUndoHistory::TChange step(p->History, "Creel");
         p->Creel->SetYarnType(3, p->Creel->GetYarnType(3) == 1 ? 2 : 1);
         p->ApplyCreel();
         step.Commit();
       },
       TKind::Setup, TDesignRecordKind::Creel},
      {"picture",
       [&] {
         OUndoHistory::TChange step(p->History, "New Picture",
                                    OUndoHistory::TTouches::ObjectsOnly());
         p->History.Add(*p->Pictures, std::make_unique<OPicture>(p.get()));
         step.Commit();
       },
       TKind::Elements, TDesignRecordKind::Picture},
  };
  for (const auto& [name, edit, kind, object] : rows) {
    edit();
    ASSERT_EQ(p->History.UndoLabels().size(), 1u) << name;
    changes.clear();
    p->History.Undo();
    EXPECT_TRUE(Of(TKind::All).empty()) << name;
    ASSERT_EQ(Of(kind).size(), 1u) << name;
    EXPECT_EQ(Of(kind)[0].Object, object) << name;
    p->History.Clear();
  }
  // The cells' undo redraws the pixels they show, where they are, in the view drawn.
  picture->BringUpToDate(TView::Machine);
  std::get<1>(rows[0])();
  changes.clear();
  p->History.Undo();
  const TRect cells = Of(TKind::Cells).at(0).Area, pixels = Of(TKind::Pixels).at(0).Area;
  EXPECT_TRUE(cells.Left <= 2 && cells.Right >= 14 && cells.Top <= 5 && cells.Bottom >= 5 &&
              cells.Bottom - cells.Top < 9)
      << "the painted cells and a few PLines beside them";
  EXPECT_TRUE(pixels.Left <= 1 && pixels.Right >= 13 && pixels.Top <= 4 && pixels.Bottom >= 4);
  EXPECT_EQ(picture->MachineImage.GetPixel(12, 4) & 0xFFFFFFu,
            p->Palette->GetColour(p->GetMachineColour(13, 5)) & 0xFFFFFFu);
}

// The production figures are worked out again when a stroke ends, not at every move of it.
TEST_F(Notification, TheFiguresFollowTheStepNotEachPaint) {
  const TPatternChange cells{TKind::Cells, {1, 1, 1, 1}};
  EXPECT_TRUE(ChangesFigures(cells, p->History));
  p->History.BeginStroke();
  EXPECT_FALSE(ChangesFigures(cells, p->History));
  EXPECT_FALSE(ChangesFigures({TKind::Pixels, {0, 0, 0, 0}}, p->History));
  p->History.EndStroke();
  EXPECT_TRUE(ChangesFigures({TKind::History}, p->History));
  // Without a history a stroke keeps no step, and each paint counts.
  p->History.SetLimit(0);
  p->History.BeginStroke();
  EXPECT_TRUE(ChangesFigures(cells, p->History));
  p->History.EndStroke();
}

} // namespace
} // namespace quillane::test
