#include "TestSupport.h"

#include "model/Pattern.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/PalettePaintBox.h"

namespace quillane::test {
namespace {

TEST(Palette, VersionOneRecordIsWrittenBackAsVersionTwo) {
  Bytes v1 = {4, 1, 3};
  for (uint32_t c : {0x0000FFu, 0x123456u, 0xFFFFFFu})
    PutCardinal(v1, c);
  OPalette p(nullptr);
  OReader r(v1);
  p.ReadFromStream(r);
  EXPECT_EQ(p.Background, clSilver);
  EXPECT_EQ(p.GetUndefinedColour(), clGrey);

  Bytes v2 = {4, 2, 3};
  for (uint32_t c : {clGrey, 0x0000FFu, 0x123456u, 0xFFFFFFu, clSilver})
    PutCardinal(v2, c);
  OWriter w;
  p.WriteToStream(w);
  ASSERT_EQ(v2.size(), 23u);
  EXPECT_EQ(w.Bytes(), v2);
}

TEST(Palette, ResizingKeepsSharedColoursAndAddsGrey) {
  OPalette p(nullptr);
  p.SetNoColours(2);
  EXPECT_EQ(p.GetColour(0), 0u) << "an entry 0 made after Clear holds 0";
  EXPECT_EQ(p.GetColour(2), clGrey);
  p.SetNoColours(16);
  for (int i = 1; i <= 16; ++i)
    p.SetColour(i, DefaultPaletteColours[static_cast<size_t>(i - 1)]);
  p.SetUndefinedColour(0x111111);
  p.SetNoColours(20);
  EXPECT_EQ(p.GetColour(16), 0xFFFFFFu);
  EXPECT_EQ(p.GetColour(17), clGrey);
  p.SetNoColours(8);
  EXPECT_EQ(p.GetColour(8), 0xC00000u);
  EXPECT_EQ(p.GetUndefinedColour(), 0x111111u);
  EXPECT_EQ(p.GetColour(12), 0x111111u) << "a colour the palette lost shows as undefined";
  p.SetColour(12, 0x222222);
  p.SetNoColours(12);
  EXPECT_EQ(p.GetColour(12), clGrey) << "a write outside the palette is ignored";

  p.SetColour(5, 0x123456);
  p.SetColour(9, 0x123456);
  p.Background = 0x654321;
  EXPECT_EQ(p.FindColour(0x123456), 5);
  EXPECT_EQ(p.FindColour(0x111111), 0) << "the undefined colour is not searched";
  EXPECT_EQ(p.FindColour(0x654321), 0) << "nor the background";
}

class PaletteFlows : public TFlowTest {};

TEST_F(PaletteFlows, DefaultsComeFromTheBuiltInPaletteOrADefaultFile) {
  OPalette p(nullptr);
  p.SetDefaults();
  ASSERT_EQ(p.NoColours(), 16);
  EXPECT_EQ(p.GetColour(7), 0xFF0000u); // blue
  EXPECT_EQ(p.GetColour(12), 0xFF8000u);
  EXPECT_EQ(p.Background, clSilver);
  EXPECT_EQ(p.GetUndefinedColour(), clGrey);

  Bytes file = {4, 2, 8};
  for (uint32_t i = 0; i <= 8; ++i)
    PutCardinal(file, 0x010101u * i);
  PutCardinal(file, 0xFFFFFF);
  WriteBytes(Start.File("DEFAULT.PAL"), file);
  OPalette d(nullptr);
  d.SetDefaults();
  EXPECT_EQ(d.NoColours(), 8);
  EXPECT_EQ(d.GetColour(8), 0x080808u);
  EXPECT_EQ(d.Background, clSilver) << "a default file never supplies the special colours";
  EXPECT_EQ(d.GetUndefinedColour(), clGrey);
}

TEST_F(PaletteFlows, AssignAndImportPassTheColourCountToThePattern) {
  OPattern pattern;
  pattern.Palette->SetDefaults();
  OPalette edited(&pattern);
  edited.Assign(*pattern.Palette);
  EXPECT_EQ(pattern.NoColours, 16);
  edited.SetNoColours(6);
  pattern.Palette->Assign(edited);
  EXPECT_EQ(pattern.NoColours, 6);
  EXPECT_EQ(pattern.MachineTable->NoColours(), 6);
  EXPECT_EQ(pattern.DesignTable->NoColours(), 6);

  const std::string file = Current.File("three.PAL");
  WriteBytes(file, {4, 1, 3, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0});
  UI.FileAnswers = {file};
  pattern.Palette->Import();
  EXPECT_EQ(pattern.Palette->GetColour(3), 3u);
  EXPECT_EQ(pattern.NoColours, 3);
}

TEST_F(PaletteFlows, StripCellsHitTestHintsAndSelection) {
  OPalette p(nullptr);
  p.SetNoColours(6);
  p.SetColour(3, 0x030201);
  p.Background = 0x0A0B0C;
  p.SetUndefinedColour(0x102030);
  OPalettePaintBox strip(&p, true);
  strip.Height = 300;
  int repaints = 0;
  strip.Repaint = [&] { ++repaints; };
  EXPECT_EQ(strip.CellHeight(), 30);
  std::vector<TPaletteCell> cells = strip.Cells();
  ASSERT_EQ(cells.size(), 10u);
  EXPECT_EQ(cells[2].Fill, 0x030201u);
  EXPECT_EQ(cells[2].Label, "3");
  EXPECT_EQ(cells[6].Top, 180);
  EXPECT_EQ(cells[6].Label + cells[7].Label + cells[8].Label + cells[9].Label, "LRBU");
  EXPECT_EQ(cells[8].Fill, 0x0A0B0Cu);

  strip.MouseDown(TMouseButton::Left, ssDouble, 5, 200);  // the "L" cell: nothing
  strip.MouseDown(TMouseButton::Right, ssDouble, 5, 250); // the "B" cell; dialog cancelled
  EXPECT_EQ(strip.LeftIndex, 1);
  EXPECT_EQ(strip.RightIndex, 2);
  EXPECT_FALSE(strip.Changed);
  strip.MouseDown(TMouseButton::Right, 0, 5, 65);
  EXPECT_EQ(strip.RightIndex, 3);
  EXPECT_EQ(repaints, 3);

  const std::pair<int, const char*> hints[] = {{65, "Palette Color 3: R=1, G=2, B=3"},
                                               {185, "Left Button Assigned to Palette Color 1"},
                                               {215, "Right Button Assigned to Palette Color 3"},
                                               {250, "Background Color: R=12, G=11, B=10"},
                                               {299, "Undefined Color: R=48, G=32, B=16"},
                                               {300, ""},
                                               {-1, ""}};
  for (auto [y, text] : hints) {
    strip.MouseMove(0, 0, y);
    EXPECT_EQ(strip.HintText, text) << y;
  }
  strip.Height = 9; // too small for any cell: nothing is hit and nothing divides by zero
  strip.MouseDown(TMouseButton::Right, 0, 0, 5);
  EXPECT_EQ(strip.RightIndex, 3);

  strip.LeftIndex = 5;
  p.SetNoColours(4);
  EXPECT_EQ(strip.Cells()[4].Fill, 0x102030u) << "a lost colour shows as undefined";
  strip.CheckSelection();
  EXPECT_EQ(strip.LeftIndex, 0);
  EXPECT_EQ(strip.RightIndex, 3);
}

TEST_F(PaletteFlows, StripDoubleClickEditsColoursThroughTheColourDialog) {
  OPattern pattern;
  OPalette& p = *pattern.Palette;
  p.SetNoColours(6);
  OPalettePaintBox strip(&p, true);
  strip.Height = 300;
  UI.ColourAnswers = {std::nullopt, 0x445566u, 0x777777u, 0x888888u};
  strip.MouseDown(TMouseButton::Right, ssDouble, 0, 100); // cancelled
  EXPECT_FALSE(strip.Changed);
  EXPECT_EQ(p.GetColour(4), clGrey);
  strip.MouseDown(TMouseButton::Right, ssDouble, 0, 100);
  EXPECT_EQ(p.GetColour(4), 0x445566u);
  EXPECT_EQ(strip.RightIndex, 4);
  EXPECT_EQ(strip.LeftIndex, 4) << "an edited colour goes to the left button";
  EXPECT_TRUE(strip.Changed);
  EXPECT_EQ(pattern.NoColours, 6) << "the owner was told";
  EXPECT_EQ(UI.WaitsBegun, 1);
  EXPECT_EQ(UI.WaitDepth, 0);
  strip.MouseDown(TMouseButton::Left, ssDouble, 0, 250);
  strip.MouseDown(TMouseButton::Left, ssDouble, 0, 290);
  EXPECT_EQ(p.Background, 0x777777u);
  EXPECT_EQ(p.GetUndefinedColour(), 0x888888u);
  strip.MouseDown(TMouseButton::Left, 0, 0, 250);
  EXPECT_FALSE(strip.Changed) << "cleared by every press";

  OPalettePaintBox selectOnly(&p, false);
  selectOnly.Height = 300;
  UI.ColourAnswers = {0x999999u};
  selectOnly.MouseDown(TMouseButton::Left, ssDouble, 0, 40);
  EXPECT_EQ(selectOnly.LeftIndex, 2);
  EXPECT_EQ(UI.ColourAnswers.size(), 1u) << "no dialog for a strip that only selects";
}

} // namespace
} // namespace quillane::test
