#include "CliSupport.h"

#include <cmath>
#include <filesystem>
#include <regex>
#include <sstream>

#include "ImageIO.h"
#include "PreviewImage.h"
#include "TrueSizePdf.h"
#include "app/Exceptions.h"
#include "elements/Bitmap.h"
#include "model/Pattern.h"
#include "setup/Settings.h"

namespace quillane::test {
namespace {

class StrikeOffCli : public TFlowTest {
protected:
  void Ok(const std::string& line) {
    const TCliResult r = RunLine(Current.Path, line);
    ASSERT_EQ(r.Status, 0) << line << "\n" << r.Err;
  }
  // A plain pattern `controls` by `pLines` at `spacing` mm each way, as p.pat.
  void Plain(int controls, int pLines, float spacing) {
    Ok("wizard plain --controls " + std::to_string(controls) + " --plines " +
       std::to_string(pLines) + " -o p.pat");
    std::unique_ptr<OPattern> p = OpenPatternFile(Current.File("p.pat"));
    p->Settings->NeedleSpacing = p->Settings->PLineSpacing = spacing;
    p->FileName = Current.File("p.pat");
    p->SaveToFile();
  }
  std::string Shell(const std::string& line) {
    const std::string out = Current.File(".shell-out");
    EXPECT_EQ(std::system(("cd " + ShellQuote(Current.Path) + " && " + line + " >" +
                           ShellQuote(out) + " 2>&1")
                              .c_str()),
              0)
        << line;
    return ReadText(out);
  }
};

// The (width, height) a PNG's header states.
std::pair<uint32_t, uint32_t> PngSize(const Bytes& png) {
  auto be32 = [&](size_t at) {
    return uint32_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
  };
  return png.size() > 24 ? std::pair(be32(16), be32(20)) : std::pair(0u, 0u);
}

TEST_F(StrikeOffCli, OptionsThatCannotMeanCarpetAreUsageErrors) {
  Plain(20, 20, 2.54f);
  const struct {
    const char* Line;
    const char* Blamed; // the option the message names
  } rows[] = {
      {"render p.pat --preview --tiles 500 -o y.png", "--tiles"}, // 500 what?
      {"render p.pat --preview --broadloom 4m --bow 1 -o y.png", "--bow"},
      {"render p.pat --preview --tiles 500mm --room 9x13 -o y.png", "--room"},
      {"render p.pat --preview --true-size --area 1x1 -o y.pdf", "--area"},
      {"info p.pat --fit 12", "--fit"},
      {"render p.pat --preview --tiles 2mm -o y.png", "--tiles"}, // smaller than a tuft
      {"render p.pat --preview --tiles 500mm --broadloom 4m -o y.png", "--broadloom"},
      {"render p.pat --preview --tiles 500mm --width-m 2 -o y.png", "--width-m"},
      {"render p.pat --preview --broadloom 4m --install ashlar -o y.png", "--install"},
      {"render p.pat --preview --tiles 500mm --match drop -o y.png", "--match"},
      {"render p.pat --preview --tiles 500mm --bow 1in -o y.png", "--bow"},
      {"render p.pat --preview --room 9x13m -o y.png", "--room"},
      {"render p.pat --preview --no-joins -o y.png", "--no-joins"},
      {"render p.pat --preview --true-size -o y.png", "--output"},
      {"render p.pat --preview --tiles 500mm -o y.pdf", "--output"},
      {"render p.pat --preview --area 1x1m -o y.png", "--area"},
      {"render p.pat --preview --true-size --size 500 -o y.pdf", "--size"},
      {"render p.pat --preview --true-size --dpi 1200 -o y.pdf", "--dpi"},
  };
  for (const auto& row : rows) {
    const TCliResult r = RunLine(Current.Path, row.Line);
    EXPECT_EQ(r.Status, 2) << row.Line << "\n" << r.Err;
    EXPECT_NE(r.Err.find(row.Blamed), std::string::npos) << row.Line << "\n" << r.Err;
  }
  EXPECT_FALSE(std::filesystem::exists(Current.File("y.png")));
  EXPECT_FALSE(std::filesystem::exists(Current.File("y.pdf")));
  // Nothing across a width is no bow, in any unit or none.
  Ok("render p.pat --preview --broadloom 4m --bow 0 --skew 0in --size 100 -o z.png");
}

// The published example: an 18 1/4 in repeat across a 12 ft width holds 7 repeats with
// 8 1/8 in each side, and 8 would come out 1/4 in short each.
TEST_F(StrikeOffCli, InfoFitGivesTheRepeatFitInMmAndInches) {
  Plain(73, 40, 6.35f); // 73 x 1/4 in = 18 1/4 in across, 10 in along
  const struct {
    const char* Width;
    int Repeats;
    double SelvageMm, ShortMm;
  } rows[] = {
      {"12ft", 7, 8.125 * 25.4, 0.25 * 25.4},
      {"4m", 8, (4000 - 8 * 463.55) / 2, (9 * 463.55 - 4000) / 9},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Width);
    const TCliResult r = RunCli(Current.Path, {"info", "p.pat", "--fit", row.Width});
    ASSERT_EQ(r.Status, 0) << r.Err;
    const nlohmann::json fit = r.Json()["RepeatFit"];
    EXPECT_EQ(fit["RepeatsAcross"], row.Repeats);
    EXPECT_NEAR(fit["RepeatAcrossIn"].get<double>(), 18.25, 0.001);
    EXPECT_NEAR(fit["SelvageMm"].get<double>(), row.SelvageMm, 0.011);
    EXPECT_NEAR(fit["SelvageIn"].get<double>(), row.SelvageMm / 25.4, 0.0011);
    EXPECT_NEAR(fit["ShortPerRepeatMm"].get<double>(), row.ShortMm, 0.011);
    EXPECT_NEAR(fit["ShortPerRepeatIn"].get<double>(), row.ShortMm / 25.4, 0.0011);
    EXPECT_NEAR(fit["WastePerCutIn"].get<double>(), 10, 0.001);
    EXPECT_NEAR(fit["WastePerCutMm"].get<double>(), 254, 0.011);
  }
  // Without --fit, info says what it always said.
  EXPECT_FALSE(RunLine(Current.Path, "info p.pat").Json().contains("RepeatFit"));
}

// A room is drawn whole at the scale that fits the longer side in --size pixels.
TEST_F(StrikeOffCli, ARoomImageIsTheRoomAtTheChosenScale) {
  Plain(40, 40, 2.54f);
  const struct {
    const char* Options;
    std::pair<uint32_t, uint32_t> Size;
  } rows[] = {
      {"--tiles 500mm --room 9x13m --size 1300", {900, 1300}},
      {"--tiles 18in --install quarter-turn --room 30ftx40ft --size 400", {300, 400}},
      {"--broadloom 4m --match drop --room 4x6m --size 600 --no-joins", {400, 600}},
      {"--broadloom 12ft --room 13x9m --size 1300", {1300, 900}},
  };
  for (const auto& row : rows) {
    const std::string line = std::string("render p.pat --preview ") + row.Options + " -o r.png";
    Ok(line);
    EXPECT_EQ(PngSize(FileBytes(Current.File("r.png"))), row.Size) << line;
  }
  // The scale bar in the corner: 2 m of a 9 m room at a tenth of a pixel a mm, in black.
  Ok("render p.pat --preview --tiles 500mm --room 9x13m --size 1300 -o r.bmp");
  const OBitmap24 bmp = LoadImage(Current.File("r.bmp"));
  int longest = 0, barRows = 0;
  for (int y = 0; y < bmp.Height(); ++y) {
    int widest = 0;
    for (int x = 0, run = 0; x < bmp.Width(); ++x)
      widest = std::max(widest, run = bmp.Row(y)[x] == 0 ? run + 1 : 0);
    longest = std::max(longest, widest);
    barRows += widest == 200;
  }
  EXPECT_EQ(longest, 200);
  EXPECT_EQ(barRows, ScaleBarPixels);
  for (const auto& [width, bar] : {std::pair(9000.0, 2000.0),
                                   {4000.0, 1000.0},
                                   {3999.0, 500.0},
                                   {1000.0, 200.0},
                                   {20000.0, 5000.0},
                                   {0.0, 0.0}})
    EXPECT_EQ(ScaleBarMm(width), bar) << width;
}

// The sheets an area takes: the paper turned whichever way takes fewer, each sheet's part
// starting where its neighbour's ends.
TEST(TrueSizePages, TheAreaIsCutIntoTheFewestSheets) {
  const struct {
    TPaper Paper;
    double Width, Length;
    bool Landscape;
    int Columns, Rows;
  } rows[] = {
      {TPaper::A4, 100, 100, false, 1, 1},
      {TPaper::A4, 186, 249, false, 1, 1},   // the carpet's box exactly
      {TPaper::A4, 186.5, 249, false, 2, 1}, // half a mm over: two either way
      {TPaper::A4, 203.2, 254, true, 1, 2},  // 8 x 10 in
      {TPaper::A4, 500, 500, true, 2, 4},    // upright would take 3 x 3
      {TPaper::Letter, 203.2, 254, true, 1, 2},
      {TPaper::Letter, 191.9, 231.4, false, 1, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.Width) + " x " + std::to_string(row.Length));
    TTrueSizeOptions o;
    o.Paper = row.Paper;
    o.Left = 7;
    o.Top = 11;
    o.Width = row.Width;
    o.Length = row.Length;
    const TTrueSizeLayout layout = TrueSizePages(o);
    EXPECT_EQ(layout.Landscape, row.Landscape);
    EXPECT_EQ(std::pair(layout.Columns, layout.Rows), std::pair(row.Columns, row.Rows));
    ASSERT_EQ(layout.Pages.size(), size_t(row.Columns * row.Rows));
    double across = 0, along = 0;
    for (const TTrueSizePage& page : layout.Pages) {
      EXPECT_NEAR(page.Left, o.Left + (page.Column - 1) * layout.CarpetWidth(), 1e-9);
      EXPECT_NEAR(page.Top, o.Top + (page.Row - 1) * layout.CarpetLength(), 1e-9);
      EXPECT_LE(page.Width, layout.CarpetWidth() + 1e-9);
      EXPECT_LE(page.Length, layout.CarpetLength() + 1e-9);
      across += page.Row == 1 ? page.Width : 0;
      along += page.Column == 1 ? page.Length : 0;
    }
    EXPECT_NEAR(across, row.Width, 1e-9);
    EXPECT_NEAR(along, row.Length, 1e-9);
  }
  for (const auto& [width, length] :
       {std::pair(0.0, 100.0), {100.0, -1.0}, {NAN, 100.0}, {100.0, INFINITY}, {1e4, 1e4}}) {
    TTrueSizeOptions o;
    o.Width = width;
    o.Length = length;
    EXPECT_THROW(TrueSizePages(o), Exception) << width << " x " << length;
  }
}

// The print is on the paper asked for, a sheet per part, and what it draws is as long on
// paper as it says: read back at 10 pixels a mm.
TEST_F(StrikeOffCli, TheTrueSizePrintIsTheRealSizeOnTheChosenPaper) {
  if (std::system("command -v pdfinfo >/dev/null && command -v pdftoppm >/dev/null") != 0)
    GTEST_SKIP() << "pdfinfo and pdftoppm (poppler-utils) are not installed";
  Plain(80, 100, 2.54f); // one repeat: 203.2 x 254 mm
  const struct {
    const char* Options;
    int Pages;
    const char* Size;
  } rows[] = {
      {"", 2, "842 x 595"}, // A4 turned: the repeat on two sheets
      {"--paper letter", 2, "792 x 612"},
      {"--area 100x100mm", 1, "595 x 842"},
      {"--area 0.5x0.5m --dpi 72", 8, "842 x 595"},
  };
  for (const auto& row : rows) {
    const std::string line = std::string("render p.pat --preview --true-size ") + row.Options +
                             (*row.Options ? " " : "") + "-o s.pdf";
    Ok(line);
    const std::string info = Shell("pdfinfo s.pdf");
    EXPECT_TRUE(std::regex_search(
        info, std::regex("Pages: +" + std::to_string(row.Pages) + "\n[^]*Page size: +" + row.Size)))
        << line << "\n"
        << info;
    // The carpet's colours are kept exact, not as JPEG.
    EXPECT_EQ(ReadText(Current.File("s.pdf")).find("/DCTDecode"), std::string::npos) << line;
  }

  // A stripe of low pile, controls 21 to 60: 101.6 mm wide, 50.8 mm in from the left.
  Ok("draw p.pat rect 20,0,59,99,2 --filled --picture 1 --view machine -o q.pat");
  Ok("render q.pat --preview --true-size -o s.pdf");
  Shell("pdftoppm -gray -r 254 -f 1 -l 1 -singlefile s.pdf s");
  std::istringstream pgm(ReadText(Current.File("s.pgm")));
  std::string magic;
  int width = 0, height = 0, top = 0;
  pgm >> magic >> width >> height >> top;
  pgm.get();
  ASSERT_EQ(magic, "P5");
  // A4 turned, its points rounded.
  ASSERT_NEAR(width, 2970, 2);
  ASSERT_NEAR(height, 2100, 2);
  std::vector<uint8_t> pixels(size_t(width) * size_t(height));
  pgm.read(reinterpret_cast<char*>(pixels.data()), std::streamsize(pixels.size()));
  auto dark = [&](int x, int y, int below) { return pixels[size_t(y) * width + x] < below; };
  // The longest run of dark pixels in rows [from, to) mm.
  auto longestRun = [&](double from, double to) {
    int longest = 0;
    for (int y = int(from * 10); y < int(to * 10); ++y)
      for (int x = 0, run = 0; x < width; ++x) {
        run = dark(x, y, 128) ? run + 1 : 0;
        longest = std::max(longest, run);
      }
    return longest;
  };
  const double foot = 210 - TrueSizeMarginBottom;
  EXPECT_NEAR(longestRun(foot, foot + 16), 1000, 16); // 10 cm
  EXPECT_NEAR(longestRun(foot + 16, 210), 1016, 16);  // 4 in
  // The carpet across the middle of its part: 203.2 mm from the left margin on.
  const int row = int((TrueSizeMarginTop + 80) * 10);
  int first = -1, last = -1;
  for (int x = 0; x < width; ++x)
    if (dark(x, row, 250)) {
      first = first < 0 ? x : first;
      last = x;
    }
  EXPECT_NEAR(first, TrueSizeMarginLeft * 10, 16);
  EXPECT_NEAR(last + 1 - first, 2032, 16);
  // The stripe's edges, where the tufts' shading averaged down the part and over a tuft
  // across crosses halfway between the stripe's and the rest's: the image is at 1:1 too.
  std::vector<double> profile(size_t(width), 0.0), smooth(size_t(width), 0.0);
  for (int y = int((TrueSizeMarginTop + 20) * 10); y < int((TrueSizeMarginTop + 140) * 10); ++y)
    for (int x = 0; x < width; ++x)
      profile[size_t(x)] += pixels[size_t(y) * width + x];
  for (int x = first + 13; x + 13 < last; ++x)
    for (int k = -12; k <= 12; ++k)
      smooth[size_t(x)] += profile[size_t(x + k)] / 25;
  const auto [low, high] =
      std::minmax_element(smooth.begin() + first + 13, smooth.begin() + last - 13);
  const double half = (*low + *high) / 2;
  int down = -1, up = -1;
  for (int x = first + 14; x + 13 < last; ++x) {
    if (down < 0 && smooth[size_t(x)] < half && smooth[size_t(x - 1)] >= half)
      down = x;
    if (down >= 0 && up < 0 && smooth[size_t(x)] >= half && smooth[size_t(x - 1)] < half)
      up = x;
  }
  EXPECT_NEAR(down, TrueSizeMarginLeft * 10 + 508, 16);
  EXPECT_NEAR(up - down, 1016, 16);
}

} // namespace
} // namespace quillane::test
