#include "PatternSupport.h"

#include <sstream>

#include "platform/DirectPlatform.h"
#include "setup/Palette.h"
#include "setup/PalettePaintBox.h"

namespace quillane::test {
namespace {

using TKind = TPatternChange::TKind;

// A pattern of 20 by 10 whose left half is copied to its right half, shown one pixel per
// cell by one picture; it records every change it reports.
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
  EXPECT_EQ(Of(TKind::Pixels).at(0).Picture, picture);
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
    ASSERT_EQ(Of(TKind::Cells).size(), 1u) << flipped;
    ASSERT_EQ(Of(TKind::Pixels).size(), 1u) << flipped;
    EXPECT_EQ(Of(TKind::Modified).size(), 1u) << flipped;
    if (!flipped) {
      EXPECT_EQ(Of(TKind::Cells)[0].Area, (TRect{1, 1, 16, 6}));
      const TRect pixels = Of(TKind::Pixels)[0].Area; // holds the copies' pixels
      EXPECT_TRUE(pixels.Left <= 10 && pixels.Top <= 0 && pixels.Right >= 15 && pixels.Bottom >= 5);
    }
  }
}

TEST_F(Notification, EditsOfTheWholePatternReportWhatChanged) {
  OPalettePaintBox strip(p->Palette.get(), true);
  strip.Height = 200;
  const TRect all{1, 1, 20, 10};
  struct TRow {
    const char* What;
    std::function<void()> Edit;
    TKind Kind;
    TDesignRecordKind Object;
  } rows[] = {
      {"Changed", [&] { p->Changed(); }, TKind::All, TDesignRecordKind::Pattern},
      {"Apply", [&] { p->ApplyCreel(); }, TKind::Setup, TDesignRecordKind::Creel},
      {"strip edit",
       [&] {
         UI.ColourAnswers = {0x123456u};
         strip.MouseDown(TMouseButton::Left, ssDouble, 0, 1);
       },
       TKind::Setup, TDesignRecordKind::Palette},
      {"section added", [&] { AddSection(*p, all, all); }, TKind::Elements,
       TDesignRecordKind::Section},
      {"region added", [&] { AddRegion(*picture, all, all); }, TKind::Elements,
       TDesignRecordKind::Region},
      {"picture deleted", [&] { p->Pictures->Delete(0); }, TKind::Elements,
       TDesignRecordKind::Picture},
  };
  for (const TRow& row : rows) {
    changes.clear();
    row.Edit();
    ASSERT_EQ(Of(row.Kind).size(), 1u) << row.What;
    EXPECT_EQ(Of(row.Kind)[0].Object, row.Object) << row.What;
  }
  EXPECT_EQ(p->Palette->GetColour(1), 0x123456u);

  // Saving clears Modified, and says so; setting it unchanged says nothing.
  p->SetModified(1);
  changes.clear();
  p->FileName = Current.File("a.pat");
  p->SaveToFile();
  p->SetModified(0);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].Kind, TKind::Modified);
  EXPECT_EQ(p->Modified(), 0);
}

TEST_F(Notification, ADroppedSubscriptionHearsNothingAndMayOutliveThePattern) {
  int second = 0;
  OPatternEvents::TSubscription other;
  // A listener that drops itself while it hears a change.
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

TEST_F(Notification, TheSeamNestsAndReportsProgress) {
  {
    OScriptedPlatform inner;
    OPlatformScope scope(inner);
    EXPECT_EQ(&g.UI(), &inner);
    // The user cancels at step 3: the work hears it there and the report closes.
    inner.CancelAtStep = 3;
    int done = 0;
    {
      OProgress progress("Working", 10);
      while (done < 10 && progress.Step(done))
        ++done;
    }
    EXPECT_EQ(done, 3);
    EXPECT_EQ(inner.ProgressDepth, 0);
  }
  EXPECT_EQ(&g.UI(), &UI);

  // The command line shows progress on a terminal only, on one line it clears at the end.
  for (const bool terminal : {true, false}) {
    std::ostringstream out;
    ODirectPlatform direct(out, terminal);
    {
      OProgress progress(direct, "Saving", 4);
      for (int i = 0; i <= 4; ++i)
        progress.Step(i / 2 * 2);
    }
    EXPECT_EQ(out.str(), terminal ? "\rSaving 0%\rSaving 50%\rSaving 100%\r\033[K" : "");
  }
}

TEST_F(Notification, FileFiltersMatchEitherCase) {
  UI.FileAnswers = {std::nullopt};
  p->Palette->Export();
  ASSERT_EQ(UI.DialogsRun.size(), 1u);
  const TFileFilter& filter = UI.DialogsRun[0].Filters.at(0);
  EXPECT_EQ(filter.Description, "Palette files (*.PAL)");
  for (const char* name : {"rug.pal", "/mill/RUG.PAL", ".PAL"})
    EXPECT_TRUE(filter.Matches(name)) << name;
  for (const char* name : {"rug.pat", "rug.pal.bak", "pal"})
    EXPECT_FALSE(filter.Matches(name)) << name;
}

} // namespace
} // namespace quillane::test
