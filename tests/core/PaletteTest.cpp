#include "TestSupport.h"

#include <functional>

#include "app/Exceptions.h"
#include "model/Pattern.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/PalettePaintBox.h"

namespace quillane::test {
namespace {

void ExpectHeaderError(const Bytes& record, const char* text,
                       const std::function<void(OReader&)>& read) {
  OReader r(record);
  try {
    read(r);
    FAIL() << "accepted kind " << int(record[0]) << " version " << int(record[1]);
  } catch (const EDesignData& e) {
    EXPECT_STREQ(e.what(), text);
  }
  EXPECT_EQ(r.Position(), 2u) << "nothing after the header is read";
}

TEST(Palette, VersionOneRecordIsReadAndWrittenBackAsVersionTwo) {
  Bytes v1;
  Put(v1, {4, 1, 3});
  for (uint32_t c : {0x0000FFu, 0x123456u, 0xFFFFFFu})
    PutCardinal(v1, c);
  OPalette p(nullptr);
  OReader r(v1);
  p.ReadFromStream(r);
  EXPECT_EQ(r.Remaining(), 0u);
  EXPECT_EQ(p.NoColours(), 3);
  EXPECT_EQ(p.GetColour(2), 0x123456u);
  EXPECT_EQ(p.Background, clSilver);
  EXPECT_EQ(p.GetUndefinedColour(), clGrey);

  Bytes v2;
  Put(v2, {4, 2, 3});
  for (uint32_t c : {clGrey, 0x0000FFu, 0x123456u, 0xFFFFFFu, clSilver})
    PutCardinal(v2, c);
  OWriter w;
  p.WriteToStream(w);
  ASSERT_EQ(v2.size(), 23u);
  EXPECT_EQ(w.Bytes(), v2);

  OPalette back(nullptr);
  OReader r2(v2);
  back.ReadFromStream(r2);
  OWriter again;
  back.WriteToStream(again);
  EXPECT_EQ(again.Bytes(), v2);
}

TEST(Palette, BadRecordsFailAndLeaveThePaletteAsItWas) {
  OPalette good(nullptr);
  good.SetNoColours(5);
  good.Background = 0x010203;
  OWriter w;
  good.WriteToStream(w);
  for (auto [kind, version] : {std::pair{9, 2}, std::pair{4, 0}, std::pair{4, 3}}) {
    Bytes b = w.Bytes();
    b[0] = static_cast<uint8_t>(kind);
    b[1] = static_cast<uint8_t>(version);
    OPalette p(nullptr);
    ExpectHeaderError(b, "Error reading palette data", [&](OReader& r) { p.ReadFromStream(r); });
  }
  for (Bytes record : {w.Bytes(), Bytes{4, 1, 2, 1, 2, 3, 4, 5, 6, 7, 8}}) {
    for (size_t n = 0; n < record.size(); ++n) {
      OPalette p(nullptr);
      p.SetNoColours(2);
      p.SetColour(1, 0xABCDEF);
      OReader r(record.data(), n);
      EXPECT_THROW(p.ReadFromStream(r), EReadError) << n;
      EXPECT_EQ(p.NoColours(), 2);
      EXPECT_EQ(p.GetColour(1), 0xABCDEFu);
    }
  }
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
  EXPECT_EQ(p.GetColour(20), clGrey);
  p.SetNoColours(8);
  EXPECT_EQ(p.NoColours(), 8);
  EXPECT_EQ(p.GetColour(8), 0xC00000u);
  EXPECT_EQ(p.GetUndefinedColour(), 0x111111u);
  // Colour 12 of a cell painted before the palette shrank shows as undefined.
  EXPECT_EQ(p.GetColour(12), 0x111111u);
  p.SetColour(12, 0x222222);
  p.SetNoColours(12);
  EXPECT_EQ(p.GetColour(12), clGrey) << "a write outside the palette is ignored";
}

TEST(Palette, FindColourSearchesOnlyThePaletteColours) {
  OPalette p(nullptr);
  p.SetNoColours(10);
  p.SetColour(5, 0x00FF00);
  p.SetColour(9, 0x00FF00);
  p.SetUndefinedColour(0x123456);
  p.Background = 0x654321;
  EXPECT_EQ(p.FindColour(0x00FF00), 5);
  EXPECT_EQ(p.FindColour(0x123456), 0);
  EXPECT_EQ(p.FindColour(0x654321), 0);
  EXPECT_EQ(p.FindColour(clGrey), 1);
}

class PaletteFlows : public TFlowTest {};

TEST_F(PaletteFlows, DefaultsComeFromTheBuiltInPaletteOrADefaultFile) {
  OPalette p(nullptr);
  p.SetDefaults();
  EXPECT_EQ(p.NoColours(), 16);
  for (int i = 1; i <= 16; ++i)
    EXPECT_EQ(p.GetColour(i), DefaultPaletteColours[static_cast<size_t>(i - 1)]);
  EXPECT_EQ(DefaultPaletteColours[6], 0xFF0000u); // blue
  EXPECT_EQ(p.Background, clSilver);
  EXPECT_EQ(p.GetUndefinedColour(), clGrey);

  Bytes file;
  Put(file, {4, 2, 8});
  for (int i = 0; i <= 8; ++i)
    PutCardinal(file, 0x010101u * static_cast<uint32_t>(i));
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
  pattern.SetNoColours(16);
  pattern.Palette->SetDefaults();
  OPalette edited(&pattern);
  edited.Assign(*pattern.Palette);
  edited.SetNoColours(6);
  pattern.Palette->Assign(edited);
  EXPECT_EQ(pattern.NoColours, 6);
  EXPECT_EQ(pattern.MachineTable->NoColours(), 6);

  const std::string file = Current.File("six.PAL");
  UI.FileAnswers = {file, Current.File("missing.PAL")};
  pattern.Palette->Export();
  OWriter w;
  edited.WriteToStream(w);
  EXPECT_EQ(FileBytes(file), w.Bytes());

  pattern.Palette->Import();
  EXPECT_EQ(UI.Errors(), std::vector<std::string>{"Error, palette file not found " +
                                                  Current.File("missing.PAL")});
  WriteBytes(file, {9, 1, 0});
  UI.FileAnswers = {file};
  pattern.Palette->Import();
  EXPECT_EQ(UI.Errors().back(), "Error reading palette data: " + file);
  EXPECT_EQ(pattern.Palette->NoColours(), 6);

  Bytes three;
  Put(three, {4, 1, 3, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0});
  WriteBytes(file, three);
  UI.FileAnswers = {file};
  pattern.Palette->Import();
  EXPECT_EQ(pattern.Palette->GetColour(3), 3u);
  EXPECT_EQ(pattern.NoColours, 3);
  EXPECT_EQ(pattern.DesignTable->NoColours(), 3);
}

TEST_F(PaletteFlows, StripCellsHitTestAndHints) {
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
  std::vector<std::string> labels;
  for (size_t i = 6; i < 10; ++i)
    labels.push_back(cells[i].Label);
  EXPECT_EQ(labels, (std::vector<std::string>{"L", "R", "B", "U"}));
  EXPECT_EQ(cells[8].Fill, 0x0A0B0Cu);

  strip.MouseDown(TMouseButton::Left, ssDouble, 5, 200);  // "L": nothing
  strip.MouseDown(TMouseButton::Right, ssDouble, 5, 250); // "B", no dialog answer: cancelled
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
  strip.MouseDown(TMouseButton::Left, 0, 0, 5);
  strip.MouseMove(0, 0, 5);
  EXPECT_EQ(strip.LeftIndex, 1);
  EXPECT_EQ(strip.HintText, "");
}

TEST_F(PaletteFlows, StripDoubleClickEditsColoursThroughTheColourDialog) {
  OPattern pattern;
  pattern.Palette->SetNoColours(6);
  OPalette& p = *pattern.Palette;
  OPalettePaintBox strip(&p, true);
  strip.Height = 300;

  UI.ColourAnswers = {std::nullopt, 0x445566u, 0x777777u, 0x888888u};
  strip.MouseDown(TMouseButton::Right, ssDouble, 0, 100); // cancelled
  EXPECT_EQ(strip.RightIndex, 4);
  EXPECT_FALSE(strip.Changed);
  EXPECT_EQ(p.GetColour(4), clGrey);

  strip.MouseDown(TMouseButton::Right, ssDouble, 0, 100);
  EXPECT_EQ(p.GetColour(4), 0x445566u);
  EXPECT_EQ(strip.LeftIndex, 4) << "an edited colour goes to the left button";
  EXPECT_TRUE(strip.Changed);
  EXPECT_EQ(pattern.NoColours, 6) << "the owner was told";
  EXPECT_EQ(UI.WaitsBegun, 1);
  EXPECT_EQ(UI.WaitDepth, 0);

  strip.MouseDown(TMouseButton::Left, ssDouble, 0, 250);
  strip.MouseDown(TMouseButton::Left, ssDouble, 0, 290);
  EXPECT_EQ(p.Background, 0x777777u);
  EXPECT_EQ(p.GetUndefinedColour(), 0x888888u);
  EXPECT_EQ(strip.LeftIndex, 4);

  strip.MouseDown(TMouseButton::Left, 0, 0, 250);
  EXPECT_FALSE(strip.Changed) << "cleared by every press";

  OPalettePaintBox selectOnly(&p, false);
  selectOnly.Height = 300;
  UI.ColourAnswers = {0x999999u};
  selectOnly.MouseDown(TMouseButton::Left, ssDouble, 0, 10);
  EXPECT_EQ(selectOnly.LeftIndex, 1);
  EXPECT_EQ(p.GetColour(1), clGrey);
  EXPECT_EQ(UI.ColourAnswers.size(), 1u) << "no dialog for a strip that only selects";
}

TEST(Palette, CheckSelectionDropsButtonColoursThePaletteLost) {
  OPalette p(nullptr);
  p.SetNoColours(10);
  p.SetUndefinedColour(0x101010);
  OPalettePaintBox strip(&p, false);
  strip.LeftIndex = 7;
  strip.RightIndex = 2;
  p.SetNoColours(4);
  EXPECT_EQ(strip.Cells()[4].Fill, 0x101010u) << "a lost colour already shows as undefined";
  strip.CheckSelection();
  EXPECT_EQ(strip.LeftIndex, 0);
  EXPECT_EQ(strip.RightIndex, 2);
  strip.Height = 80;
  strip.MouseMove(0, 0, 40);
  EXPECT_EQ(strip.HintText, "Left Button Assigned to Palette Color 0");
}

} // namespace
} // namespace quillane::test
