// The picture, region and section editors' models: the area arithmetic with its quarter
// turns, what Apply stores and whom it tells, Cancel, Import and Export, and areas refused
// when they would leave the range.
#include "editors/ElementEditor.h"
#include "PatternSupport.h"

namespace quillane::test {
namespace {

using F = TElementField;

// A 30 x 20 pattern with one section and a picture whose region shows 6 x 4 cells.
struct ElementEditor : TFlowTest {
  std::unique_ptr<OPattern> Pattern = BarePattern(30, 20);
  OSection& Section = AddSection(*Pattern, {1, 1, 5, 5}, {11, 1, 15, 5});
  OPicture& Picture = AddPicture(*Pattern, 30, 20);
  ORegion& Region = AddRegion(Picture, {3, 2, 8, 5}, {2, 3, 7, 6});
  std::vector<TPatternChange::TKind> Heard;
  OPatternEvents::TSubscription Listening =
      Pattern->Events.Subscribe([this](const TPatternChange& c) {
        if (c.Kind != TPatternChange::TKind::History) // what the Edit menu hears
          Heard.push_back(c.Kind);
      });
  bool HeardChanged() const {
    return std::count(Heard.begin(), Heard.end(), TPatternChange::TKind::All) > 0;
  }
  std::vector<TRect> Areas(OAreaEditor& e) {
    if (auto* r = dynamic_cast<ORegionEditor*>(&e))
      return {r->WorkingCopy.PatternArea, r->WorkingCopy.PictureArea};
    auto& s = dynamic_cast<OSectionEditor&>(e).WorkingCopy;
    return {s.SourceArea, s.TargetArea};
  }
};

TEST_F(ElementEditor, Rotate90TurnsThePictureAreaInPlaceAndApplyingTellsOnlyTheViews) {
  ORegionEditor e(*Pattern, Region);
  int stored = 0;
  const TSubscription window = e.Changes.Subscribe(
      [&](const TEditorChange& c) { stored += c.Kind == TEditorChange::TKind::Stored; });
  e.Reload();
  Pattern->SetModified(0);
  Pattern->SetState(1, 1, 1);
  ASSERT_TRUE(e.StoreRotation(1));
  EXPECT_EQ(e.WorkingCopy.PictureArea, (TRect{2, 3, 5, 8})); // 4 wide, 6 high
  EXPECT_EQ(e.Number(F::NoControls), 6);
  Heard.clear();
  ASSERT_TRUE(e.Apply());
  // An open view takes the region's new shape before it draws again.
  EXPECT_EQ(Heard, (std::vector{TPatternChange::TKind::Modified, TPatternChange::TKind::Elements}));
  EXPECT_EQ(Region.PictureArea, (TRect{2, 3, 5, 8}));
  EXPECT_EQ(Region.Rotation, 1);
  ASSERT_TRUE(e.StoreRotation(0));
  EXPECT_EQ(e.WorkingCopy.PictureArea, (TRect{2, 3, 7, 6}));
  // No Changed: the section copies wait, but the pattern is to be saved and the node
  // repainted.
  EXPECT_FALSE(HeardChanged());
  EXPECT_EQ(Pattern->States.Get(11, 1), 0);
  EXPECT_TRUE(Pattern->Modified());
  EXPECT_EQ(stored, 1);
}

TEST_F(ElementEditor, APictureImportTakesOnlyTheSizeAndOneTooLargeIsRefused) {
  // A picture file of that size with two regions, imported into the editor.
  auto import = [&](OPictureEditor& e, int width, int height) {
    OPicture file(Pattern.get());
    file.SetWidth(width);
    file.SetHeight(height);
    AddRegion(file, {1, 1, 2, 2}, {1, 1, 2, 2});
    AddRegion(file, {3, 3, 4, 4}, {1, 1, 2, 2});
    WriteBytes(Current.File("other.pic"), RecordBytes(file));
    e.Reload();
    UI.FileAnswers = {Current.File("other.pic")};
    e.Import();
  };
  OPictureEditor e(*Pattern, Picture);
  import(e, 50, 7);
  EXPECT_EQ(e.Number(F::NoControls), 50);
  EXPECT_TRUE(e.ApplyEnabled());
  ASSERT_TRUE(e.Apply());
  EXPECT_EQ(std::pair(Picture.Width, Picture.Height), std::pair(50, 7));
  ASSERT_EQ(Picture.Regions.Count(), 1);
  EXPECT_EQ(Picture.Regions.Get(0)->PatternArea, (TRect{3, 2, 8, 5}));
  EXPECT_FALSE(HeardChanged());

  // Sizes the pattern file could not read back are refused, imported or typed.
  AddPicture(*Pattern, 10000, 10000); // never drawn, so never allocated
  OPictureEditor big(*Pattern, Picture);
  import(big, 8000, 5000);
  EXPECT_EQ(big.Number(F::NoControls), 50);
  EXPECT_TRUE(big.StoreNumber(F::NoControls, 9999));
  EXPECT_FALSE(big.StoreNumber(F::NoPLines, 5000));
  EXPECT_EQ(big.Number(F::NoPLines), 7);
  EXPECT_EQ(UI.Errors(), std::vector<std::string>(2, "Picture too large - the pictures of a "
                                                     "pattern can hold at most 134217728 pixels"));
}

TEST_F(ElementEditor, CancelAfterSeveralEditsShowsTheRegionAgain) {
  ORegionEditor e(*Pattern, Region);
  e.Reload();
  const std::vector<TRect> before = Areas(e);
  e.EditedBoxes.Mark(F::Control1); // the typing is forgotten with the edits
  ASSERT_TRUE(e.StoreNumber(F::Control1, 10) && e.StoreNumber(F::NoPLines, 9) &&
              e.StoreNumber(F::PLine2, 4) && e.StoreRotation(3));
  for (TElementCheck c : {TElementCheck::HFlip, TElementCheck::VFlip, TElementCheck::ImportFlag})
    e.StoreChecked(c, true);
  e.Cancel();
  EXPECT_EQ(Areas(e), before);
  EXPECT_EQ(e.RotationIndex(), 0);
  for (TElementCheck c : {TElementCheck::HFlip, TElementCheck::VFlip, TElementCheck::ImportFlag})
    EXPECT_FALSE(e.Checked(c));
  EXPECT_FALSE(e.ApplyEnabled() || e.CancelEnabled() || e.EditedBoxes.Holds(F::Control1));
  EXPECT_EQ(Region.PatternArea, (TRect{3, 2, 8, 5}));
}

TEST_F(ElementEditor, ARegionExportWritesTheEditJustMade) {
  ORegionEditor e(*Pattern, Region);
  e.Reload();
  ASSERT_TRUE(e.StoreNumber(F::NoControls, 12));
  e.Edited();
  UI.FileAnswers = {Current.File("edited.reg"), Current.File("applied.reg")};
  e.Export();
  Region.Export();
  EXPECT_EQ(Region.PatternArea, (TRect{3, 2, 14, 5}));
  EXPECT_EQ(FileBytes(Current.File("edited.reg")), FileBytes(Current.File("applied.reg")));
  EXPECT_EQ(FileBytes(Current.File("edited.reg")), RecordBytes(Region));
}

TEST_F(ElementEditor, AreasThatWouldLeaveTheRangeAreRefusedWhole) {
  struct TStep {
    int Rotation; // a rotation to store, or -1 for the box
    F Field;
    int Value;
  };
  const std::vector<std::vector<TStep>> rows = {
      {{-1, F::PLine1, 15}, {-1, F::NoPLines, 65530}}, // the first area past 65534
      // The second area past the edge while the first would fit.
      {{-1, F::PLine2, 60000}, {-1, F::NoPLines, 6000}},
      // Turned, the PLines run across the controls.
      {{1, F::Control1, 1}, {-1, F::NoPLines, 60000}, {-1, F::Control2, 9999}},
      {{-1, F::NoPLines, 60000}, {-1, F::Control2, 9000}, {1, F::Control1, 0}},
      {{-1, F::NoControls, 10000}}, // beyond the boxes' own limits
      {{-1, F::PLine1, 0}},
  };
  for (size_t row = 0; row < rows.size(); ++row) {
    ORegionEditor region(*Pattern, Region);
    OSectionEditor section(*Pattern, Section);
    for (OAreaEditor* e : std::initializer_list<OAreaEditor*>{&region, &section}) {
      SCOPED_TRACE(row);
      e->Reload();
      UI.Shown.clear();
      const std::vector<TStep>& steps = rows[row];
      for (size_t i = 0; i + 1 < steps.size(); ++i)
        ASSERT_TRUE(steps[i].Rotation >= 0 ? e->StoreRotation(steps[i].Rotation)
                                           : e->StoreNumber(steps[i].Field, steps[i].Value));
      const std::vector<TRect> before = Areas(*e);
      const int rotation = e->RotationIndex();
      const TStep& last = steps.back();
      EXPECT_FALSE(last.Rotation >= 0 ? e->StoreRotation(last.Rotation)
                                      : e->StoreNumber(last.Field, last.Value));
      EXPECT_EQ(UI.Errors(), std::vector<std::string>{"Range check error"});
      EXPECT_EQ(Areas(*e), before);
      EXPECT_EQ(e->RotationIndex(), rotation);
    }
  }
}

TEST_F(ElementEditor, ARefusedBoxOrARegionOutsideThePatternLeavesTheEditorAsItWas) {
  ORegionEditor e(*Pattern, Region); // on a 30 x 20 pattern
  e.Reload();
  const std::vector<TRect> before = Areas(e);
  struct TRow {
    F Field;
    const char* Text;
    bool Taken;
  };
  // Each box's own limits are every box's; here what they do to the region's areas.
  const TRow rows[] = {
      {F::NoControls, "0", false},
      {F::Control1, "31", false}, // the region would show no cell of the pattern
      {F::PLine1, " 21", false},
      // A region partly outside shows what it covers; a refusal after it leaves the editor
      // changed.
      {F::Control1, "30", true},
      {F::NoControls, "99999", false},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Text);
    e.Edited();
    EXPECT_EQ(e.StoreText(row.Field, row.Text), row.Taken);
    EXPECT_EQ(e.Modified(), Areas(e) != before);
  }
  EXPECT_EQ(Areas(e)[0], (TRect{30, 2, 35, 5}));
  const std::string outside = "Region invalid (outside boundary of pattern)";
  const std::string controls =
      "Range check error: No. Controls must be a whole number between 1 and 9999";
  EXPECT_EQ(UI.Errors(), (std::vector{controls, outside, outside, controls}));

  // Imported from a file, such a region is refused on Apply and the region keeps its place.
  ORegion far(Pattern.get(), &Picture);
  far.SetPatternArea({6500, 1, 7499, 10});
  far.SetPictureArea({1, 1, 1000, 10});
  WriteBytes(Current.File("far.reg"), RecordBytes(far));
  UI.FileAnswers = {Current.File("far.reg")};
  UI.Shown.clear();
  e.Import();
  EXPECT_FALSE(e.Apply());
  EXPECT_EQ(UI.Errors(), std::vector{outside});
  EXPECT_EQ(Region.PatternArea, (TRect{3, 2, 8, 5}));
  EXPECT_TRUE(e.ApplyEnabled());

  // A refused text keeps Cancel offered, and Cancel shows the stored value again.
  e.Cancel();
  e.EditedBoxes.Mark(F::NoControls);
  e.Edited();
  EXPECT_FALSE(e.StoreText(F::NoControls, "0"));
  EXPECT_TRUE(!e.Modified() && e.CancelEnabled());
  e.Cancel();
  EXPECT_FALSE(e.CancelEnabled() || e.EditedBoxes.Holds(F::NoControls));
}

// A pattern whose sections copy more than a pattern file may ask for could not be saved.
TEST_F(ElementEditor, ASectionThatWouldMakeThePatternUnsavableIsRefusedOnApply) {
  for (int i = 0; i < 31; ++i) // 31 x 300 of the 30 x 20 pattern's 16 x 600 cells
    AddSection(*Pattern, {1, 1, 30, 10}, {1, 11, 30, 20});
  OSectionEditor e(*Pattern, Section);
  e.Reload();
  const std::tuple<F, const char*, bool> rows[] = {{F::NoPLines, "20", true},
                                                   {F::NoControls, "16", false}};
  for (const auto& [field, text, applied] : rows) {
    e.Edited();
    ASSERT_TRUE(e.StoreText(field, text));
    EXPECT_EQ(e.Apply(), applied) << text;
  }
  EXPECT_EQ(Section.SourceArea, (TRect{1, 1, 5, 20}));
  EXPECT_EQ(UI.Errors(), std::vector<std::string>{
                             "The sections of a pattern may copy at most 16 times its cells; its "
                             "sections copy 9620 cells, more than 16 times its 600 cells."});
}

} // namespace
} // namespace quillane::test
