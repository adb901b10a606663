#include "CliSupport.h"
#include "InterchangeSupport.h"

#include <filesystem>

#include "PreviewImage.h"
#include "elements/Bitmap.h"
#include "imaging/Colour.h"
#include "model/Pattern.h"
#include "preview/Preview.h"
#include "production/ColourwaysFile.h"
#include "setup/Palette.h"

namespace quillane::test {
namespace {

using ColourwayCli = TFlowTest;

// A rug of three yarn types in two states, a few cells in the other state.
void MakeRug(const std::string& folder) {
  for (const char* line :
       {"wizard rug --pattern-controls 24 --pattern-plines 30 --rug-controls 16 --rug-plines 20 "
        "-o w.pat",
        "paint w.pat --picture 1 --view machine 1,1,2 2,2,2 3,3,2 -o rug.pat"})
    ASSERT_EQ(RunLine(folder, line).Status, 0) << line;
}

TEST_F(ColourwayCli, CommandsChangeOnlyTheColourwaysFileAndRefuseWhatCannotBe) {
  MakeRug(Current.Path);
  const Bytes pattern = FileBytes(Current.File("rug.pat"));
  const std::string file = Current.File("rug.colourways.json");
  struct TCase {
    const char* Line;
    int Status;
    const char* Err; // the start of its first line
  };
  const TCase cases[] = {
      {"colourway rug.pat add Harbour --yarn A=#1E3A5F:NB-204 --yarn B=#C8B88A", 0, ""},
      {"colourway rug.pat add Dusk --from Harbour --yarn C=#6A4C93:PL-17", 0, ""},
      {"colourway rug.pat set Dusk --yarn A=#102030", 0, ""},
      {"colourway rug.pat rename Dusk Evening", 0, ""},
      {"colourway rug.pat add Gone", 0, ""},
      {"colourway rug.pat remove Gone", 0, ""},
      {"colourway rug.pat set Original --yarn A=#FF0000:R1", 0, ""}, // a code, the same colour
      // Refused: the file stays as it is.
      {"colourway rug.pat rename Original X", 1,
       "The Original is the pattern's palette and cannot be renamed"},
      {"colourway rug.pat remove Original", 1,
       "The Original is the pattern's palette and cannot be removed"},
      {"colourway rug.pat set Original --yarn A=#000000", 1, "The colours of the Original are"},
      {"colourway rug.pat remove Nope", 2,
       "NAME: no colourway Nope; the pattern's colourways: Original, Harbour, Evening"},
      {"colourway rug.pat add Harbour", 2, "NAME: there is a colourway Harbour already"},
      {"colourway rug.pat rename Harbour Evening", 2, "NEW: there is a colourway Evening already"},
      {"colourway rug.pat set Evening --yarn D=#000000", 2, "--yarn: expected A=#RRGGBB[:CODE]"},
      {"colourway rug.pat set Evening --yarn A=#12345", 2, "--yarn: expected a colour #RRGGBB"},
      {"colourway rug.pat set Evening --yarn A=#123456:123456789012345678901234567890123", 2,
       "--yarn: a shade code is at most 32 characters"},
      {"colourway none.pat list", 1, "Error, pattern file not found"},
      {"render rug.pat --preview --colourway Nope -o n.png", 2, "--colourway: no colourway Nope"},
      {"report rug.pat --colourway Nope -o n.json", 2, "--colourway: no colourway Nope"},
      {"export rug.pat out/RUG.TUF --colourway Nope", 2, "--colourway: no colourway Nope"},
  };
  std::filesystem::create_directory(Current.File("out"));
  Bytes before;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Line);
    const TCliResult r = RunLine(Current.Path, c.Line);
    EXPECT_EQ(r.Status, c.Status) << r.Err;
    EXPECT_EQ(r.Err.rfind(c.Err, 0), 0u) << r.Err;
    if (c.Status != 0) {
      EXPECT_EQ(FileBytes(file), before);
    }
    before = FileBytes(file);
    EXPECT_EQ(FileBytes(Current.File("rug.pat")), pattern);
  }
  EXPECT_FALSE(FileExists(Current.File("n.png")) || FileExists(Current.File("n.json")) ||
               FileExists(Current.File("out/RUG.TUF")));
  const TCliResult list = RunLine(Current.Path, "colourway rug.pat list");
  ASSERT_EQ(list.Status, 0) << list.Err;
  EXPECT_EQ(list.Out, "Original\n  A #FF0000 R1\n  B #800000\n  C #00C000\n"
                      "Harbour\n  A #1E3A5F NB-204\n  B #C8B88A\n  C #00C000\n"
                      "Evening\n  A #102030 NB-204\n  B #C8B88A\n  C #6A4C93 PL-17\n");
  // The report carries the same, in JSON and CSV.
  const TCliResult json = RunLine(Current.Path, "report rug.pat --colourway Evening -o -");
  ASSERT_EQ(json.Status, 0) << json.Err;
  EXPECT_EQ(json.Json()["colourway"]["yarnTypes"][2],
            (nlohmann::json{{"yarnType", "C"}, {"colour", "#6A4C93"}, {"code", "PL-17"}}));
  ASSERT_EQ(RunLine(Current.Path, "report rug.pat --all-colourways -o r.csv").Status, 0);
  const std::string csv = ReadText(Current.File("r.csv"));
  EXPECT_NE(csv.find("\r\ncolourway,yarnType,colour,code\r\nOriginal,A,#FF0000,R1\r\n"),
            std::string::npos);
}

// The export in a colourway equals byte for byte the export of the pattern whose palette was
// made of it, and differs from the pattern's own in the colour file only; the render draws
// every colourway side by side, each panel the render of that colourway alone.
TEST_F(ColourwayCli, ExportAndRenderInAColourwayAreThoseOfThePaletteMadeOfIt) {
  MakeRug(Current.Path);
  ASSERT_EQ(RunLine(Current.Path, "colourway rug.pat add Harbour --yarn A=#1E3A5F --yarn C=#FFFF00")
                .Status,
            0);
  for (const char* folder : {"own", "in", "made"})
    std::filesystem::create_directory(Current.File(folder));
  auto made = ReadPatternFile(Current.File("rug.pat"), true);
  const std::array<uint32_t, 256> colours =
      ColoursOf(LoadColourways(Current.File("rug.pat")).List[1], *made->Palette);
  for (int i = 0; i <= made->Palette->NoColours(); ++i)
    made->Palette->SetColour(i, colours[static_cast<size_t>(i)]);
  made->FileName = Current.File("made/rug.pat");
  made->SaveToFile();
  for (const char* line :
       {"export rug.pat own/RUG.TUF", "export rug.pat in/RUG.TUF --colourway Harbour",
        "export made/rug.pat made/RUG.TUF",
        "render rug.pat --preview --colourways --size 64 -o all.bmp",
        "render rug.pat --preview --colourway Original --size 64 -o 0.bmp",
        "render rug.pat --preview --colourway Harbour --size 64 -o 1.bmp"})
    ASSERT_EQ(RunLine(Current.Path, line).Status, 0) << line;
  for (const char* name : {"RUG.TUF", "RUG.DAT", "RUG.CLR"}) {
    SCOPED_TRACE(name);
    const Bytes in = FileBytes(Current.File(std::string("in/") + name));
    EXPECT_EQ(in, FileBytes(Current.File(std::string("made/") + name)));
    EXPECT_EQ(in == FileBytes(Current.File(std::string("own/") + name)),
              std::string(name) != "RUG.CLR");
  }
  const OBitmap24 all = LoadImage(Current.File("all.bmp"));
  const OBitmap24 panels[] = {LoadImage(Current.File("0.bmp")), LoadImage(Current.File("1.bmp"))};
  const int w = panels[0].Width(), h = panels[0].Height();
  ASSERT_EQ(all.Width(), 2 * w + 3 * PreviewPanelGap);
  ASSERT_EQ(all.Height(), PreviewLabelHeight + h + PreviewPanelGap);
  EXPECT_NE(panels[0].Row(h / 2)[w / 2], panels[1].Row(h / 2)[w / 2]);
  for (int k = 0; k < 2; ++k)
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(all.Row(PreviewLabelHeight + y)[PreviewPanelGap + k * (w + PreviewPanelGap) + x],
                  panels[k].Row(y)[x])
            << k << ": " << x << "," << y;
}

// The sheet in a colourway shows its picture in the colourway's colours, not the palette's.
TEST_F(ColourwayCli, TheSheetInAColourwayShowsItsPictureInItsColours) {
  if (std::system("command -v pdftoppm >/dev/null") != 0)
    GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
  for (const char* line :
       {"wizard plain --controls 24 --plines 30 -o w.pat",
        "draw w.pat rect 0,0,23,29,1 --filled --picture 1 --view design -o p.pat",
        "colourway p.pat add Evening --yarn A=#102030",
        "report p.pat --colourway Evening -o e.pdf"})
    ASSERT_EQ(RunLine(Current.Path, line).Status, 0) << line;
  ASSERT_EQ(
      std::system(
          ("cd " + ShellQuote(Current.Path) + " && pdftoppm -r 40 -f 1 -l 1 e.pdf e").c_str()),
      0);
  const std::string ppm = ReadText(Current.File("e-1.ppm"));
  const uint32_t palette = ReadPatternFile(Current.File("p.pat"), true)->Palette->GetColour(1);
  // Counts the pixels within a few steps of a colour (the PDF's image may be rounded), the
  // triples starting where the pixels after the header line up.
  auto near = [&](uint32_t colour) {
    int n = 0;
    for (size_t i = ppm.size() % 3; i + 2 < ppm.size(); i += 3)
      n += std::abs(static_cast<uint8_t>(ppm[i]) - RedOf(colour)) < 4 &&
           std::abs(static_cast<uint8_t>(ppm[i + 1]) - GreenOf(colour)) < 4 &&
           std::abs(static_cast<uint8_t>(ppm[i + 2]) - BlueOf(colour)) < 4;
    return n;
  };
  EXPECT_GT(near(RGBOf(0x10, 0x20, 0x30)), 5000);
  EXPECT_EQ(near(palette), 0);
}

} // namespace
} // namespace quillane::test
