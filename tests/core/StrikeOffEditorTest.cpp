#include "PatternSupport.h"

#include "preview/StrikeOffEditor.h"
#include "setup/Settings.h"

namespace quillane::test {
namespace {

// 73 needles a quarter inch apart: an 18 1/4 in repeat across, 10 in along.
std::unique_ptr<OPattern> QuarterInchPattern() {
  auto p = BarePattern(73, 40);
  p->Settings->NeedleSpacing = p->Settings->PLineSpacing = 6.35f;
  p->Changed();
  return p;
}

struct TEditorTest : ::testing::Test {
  std::unique_ptr<OPattern> Pattern = QuarterInchPattern();
  OPreview Preview{*Pattern};
  OStrikeOffEditor Editor{*Pattern, Preview};
};

TEST_F(TEditorTest, OnlyTheFieldsOfWhatIsShownAreOffered) {
  struct TCase {
    TStrikeView View;
    bool Goods, Tiles, Broadloom, Room;
  };
  const TCase cases[] = {{TStrikeView::Goods, true, false, false, false},
                         {TStrikeView::Tiles, false, true, false, true},
                         {TStrikeView::Broadloom, false, false, true, true}};
  for (const TCase& k : cases) {
    Editor.SetView(k.View);
    EXPECT_EQ(Editor.GoodsFieldsEnabled(), k.Goods);
    EXPECT_EQ(Editor.TileFieldsEnabled(), k.Tiles);
    EXPECT_EQ(Editor.BroadloomFieldsEnabled(), k.Broadloom);
    EXPECT_EQ(Editor.RoomFieldsEnabled(), k.Room);
    EXPECT_EQ(&Editor.Picture() == &Preview, k.View == TStrikeView::Goods);
  }
}

TEST_F(TEditorTest, TypedSizesAreTakenWithTheirUnitsOrRefusedKeepingTheLastGoodOne) {
  using TSet = std::string (OStrikeOffEditor::*)(const std::string&);
  using TShow = std::string (OStrikeOffEditor::*)() const;
  struct TCase {
    TSet Set;
    TShow Show;
    const char* Text;
    const char* Problem; // "" when taken
    const char* Shown;   // the field afterwards
  };
  const auto tile = &OStrikeOffEditor::SetTileSize, width = &OStrikeOffEditor::SetBroadloomWidth,
             bow = &OStrikeOffEditor::SetBow, room = &OStrikeOffEditor::SetRoom;
  const auto tileText = &OStrikeOffEditor::TileSizeText,
             widthText = &OStrikeOffEditor::BroadloomWidthText,
             bowText = &OStrikeOffEditor::BowText, roomText = &OStrikeOffEditor::RoomText;
  const TCase cases[] = {
      {tile, tileText, "500 mm", "", "500 mm"},
      {tile, tileText, "18in", "", "18 in"},
      {tile, tileText, "24", "Tile size: \"24\" needs a unit: mm, m, in or ft.", "18 in"},
      {tile, tileText, "5 mm", "A tile must be from 100 mm to 2 m.", "18 in"},
      {tile, tileText, "30 ft", "A tile must be from 3.937 in to 78.74 in.", "18 in"},
      {width, widthText, "4 m", "", "4 m"},
      {width, widthText, "12 ft", "", "12 ft"},
      {width, widthText, "-4 m", "Broadloom width: \"-4 m\" is no length: it must be more than 0.",
       "12 ft"},
      {width, widthText, "40 m", "A width must be from 500 mm to 10 m.", "12 ft"},
      // No bow at all is a tolerance, though not a length.
      {bow, bowText, "0", "", "0 in"},
      {bow, bowText, "0.5 in", "", "0.5 in"},
      {bow, bowText, "1 m", "The bow must be from 0 mm to 500 mm.", "0.5 in"},
      {room, roomText, "9 x 13 m", "", "9 m x 13 m"},
      {room, roomText, "9x13", "Room: \"9x13\" needs a unit: mm, m, in or ft.", "9 m x 13 m"},
      {room, roomText, "9 x 900 m", "Each side of the room must be from 100 mm to 50 m.",
       "9 m x 13 m"},
      {room, roomText, "30ftx40ft", "", "30 ft x 40 ft"},
      {room, roomText, " ", "", ""},
  };
  Editor.SetView(TStrikeView::Tiles);
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Text);
    EXPECT_EQ((Editor.*k.Set)(k.Text), k.Problem);
    EXPECT_EQ((Editor.*k.Show)(), k.Shown);
  }
  EXPECT_NEAR(Editor.Settings().TileMm, 457.2, 1e-9);
  // The scale bar speaks the tiles' units, or the room's once there is one.
  EXPECT_EQ(Editor.ScaleBar(0.5).Label, "1 ft");
  EXPECT_EQ(Editor.SetRoom("9 x 13 m"), "");
  EXPECT_EQ(Editor.ScaleBar(0.5).Label, "20 cm");
  EXPECT_EQ(Editor.StrikeOff().Settings(), Editor.Settings());
}

TEST_F(TEditorTest, TheBowFollowsTheWidthUntilTyped) {
  EXPECT_NEAR(Editor.Settings().BowMm, 25.4, 1e-9);
  EXPECT_NEAR(Editor.Settings().SkewMm, 50.8, 1e-9);
  EXPECT_EQ(Editor.SetBroadloomWidth("24 ft"), "");
  EXPECT_NEAR(Editor.Settings().BowMm, 50.8, 1e-9);
  EXPECT_EQ(Editor.SetBow("10 mm"), "");
  EXPECT_EQ(Editor.SetBroadloomWidth("4 m"), "");
  EXPECT_NEAR(Editor.Settings().BowMm, 10, 1e-9);
}

TEST(StrikeOffScaleBar, ARoundLengthOf80To200Pixels) {
  struct TCase {
    double Scale; // px per mm
    bool Imperial;
    TScaleBar Bar;
  };
  const TCase cases[] = {
      {0.1, false, {2000, 200, "2 m"}},
      {0.35, false, {500, 175, "50 cm"}},
      {0.41, false, {200, 82, "20 cm"}},
      {1.0, false, {200, 200, "20 cm"}},
      {16, false, {10, 160, "1 cm"}},
      {0.5, true, {304.8, 152, "1 ft"}},
      {0.3, true, {609.6, 183, "2 ft"}},
      {60, true, {25.4 / 8, 191, "1/8 in"}},
      {64, true, {25.4 / 16, 102, "1/16 in"}},
      // Beyond the ladder: its ends.
      {1e-5, false, {2e5, 2, "200 m"}},
      {1e4, false, {0.1, 1000, "0.1 mm"}},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Scale);
    const TScaleBar bar = ScaleBarAt(k.Scale, k.Imperial);
    EXPECT_EQ(bar.Label, k.Bar.Label);
    EXPECT_EQ(bar.Pixels, k.Bar.Pixels);
    EXPECT_NEAR(bar.Mm, k.Bar.Mm, 1e-9);
  }
}

TEST(StrikeOffScores, AShareIsNeverRoundedToAMatchOrToAll) {
  const std::pair<TEdgeMatch, const char*> cases[] = {{{0, 0}, "no joins"},
                                                      {{0, 400}, "0% differ"},
                                                      {{0.0004, 5000}, "<0.1% differ"},
                                                      {{0.125, 400}, "12.5% differ"},
                                                      {{0.9996, 5000}, "99.9% differ"},
                                                      {{1, 400}, "100.0% differ"}};
  for (const auto& [match, text] : cases)
    EXPECT_EQ(EdgeMatchText(match), text);
}

TEST_F(TEditorTest, APlainPatternMatchesInEveryInstallation) {
  Editor.SetView(TStrikeView::Tiles);
  ASSERT_EQ(Editor.InstallScores().size(), std::size(AllInstalls));
  for (const std::string& score : Editor.InstallScores())
    EXPECT_EQ(score, "0% differ");
}

TEST_F(TEditorTest, TheRepeatFitIsSaidInTheWidthsUnits) {
  EXPECT_EQ(Editor.RepeatFitText(), "");
  Editor.SetView(TStrikeView::Broadloom);
  EXPECT_EQ(Editor.RepeatFitText(),
            "A 12 ft width holds 7 repeats of 18.25 in, 8.125 in selvage each side; 8 would come "
            "out 0.25 in short each. Each cut wastes 10 in to match.");
}

TEST_F(TEditorTest, APrintCarriesThePartShownWithTheRepeatsInIt) {
  // 1 px a mm; the goods are 463.55 x 254 mm, the box shows 300 x 400 px from (200, -50).
  const TPrintArea area = Editor.PrintArea({1.0, 200, -50, 300, 400});
  EXPECT_NEAR(area.Left, 200, 1e-9);
  EXPECT_NEAR(area.Top, 0, 1e-9);
  EXPECT_NEAR(area.Width, 264, 1e-9); // the goods are 464 px wide at this scale
  EXPECT_NEAR(area.Length, 254, 1e-9);
  ASSERT_EQ(area.EdgesAcross.size(), 1u); // the second repeat's left, from the goods' left
  EXPECT_NEAR(area.EdgesAcross[0], 463.55, 1e-3);
  ASSERT_EQ(area.EdgesAlong.size(), 2u);
  EXPECT_NEAR(area.EdgesAlong[0], 0, 1e-3);
  EXPECT_NEAR(area.EdgesAlong[1], 254, 1e-3);
  EXPECT_EQ(area.Title, "Goods");
}

} // namespace
} // namespace quillane::test
