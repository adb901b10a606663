#include "CliSupport.h"

#include "ImageIO.h"
#include "elements/Bitmap.h"
#include "wizards/Wizards.h"

namespace quillane::test {
namespace {

constexpr uint32_t Entry1 = 0x0000FF, Entry2 = 0x0000C0, Teal = 0x123456;

class WizardCli : public TFlowTest {};

TEST_F(WizardCli, RefusalsAndWarnings) {
  struct TRow {
    std::string Args;
    int Status;
    std::string Err; // "*" for any text
    int Sections;    // -1: no file written
  };
  const std::string noFit = "Warning: the layout does not fit the pattern; no design region and "
                            "no section were added\n";
  // clang-format off
  const TRow rows[] = {
    {"rug --pattern-controls 23 --pattern-plines 10 --rug-controls 7 --rug-plines 11", 1,
     "Invalid Rug Size - No. PLines\n", -1},
    // The mirrored layouts start at control 1.
    {"rug --pattern-controls 13 --pattern-plines 10 --rug-controls 7 --rug-plines 10 --mirror "
     "--control-offset 2", 2, "*", -1},
    {"carpet --pattern-controls 10 --pattern-plines 6 --section-controls 4 --offset 8", 0, noFit, 0},
    // The dialogs' edit ranges.
    {"plain --controls 4 --plines 65535", 2, "*", -1},
  };
  // clang-format on
  int i = 0;
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Args);
    const std::string out = "w" + std::to_string(i++) + ".pat";
    TCliResult r = RunLine(Current.Path, "wizard " + row.Args + " -o " + out);
    EXPECT_EQ(r.Status, row.Status) << r.Err;
    if (row.Err != "*") {
      EXPECT_EQ(r.Err, row.Err);
    }
    ASSERT_EQ(std::filesystem::exists(Current.File(out)), row.Sections >= 0);
    if (row.Sections >= 0) {
      EXPECT_EQ(RunCli(Current.Path, {"dump", out}).Json()["Sections"].size(),
                static_cast<size_t>(row.Sections));
    }
  }
}

TEST_F(WizardCli, BitmapsGoIntoARegionAndComeBackOut) {
  ASSERT_EQ(RunLine(Current.Path, "wizard plain --controls 4 --plines 2 -o p.pat").Status, 0);
  OBitmap24 in;
  in.SetSize(4, 2);
  const uint32_t top[] = {Entry1, Entry2, Entry1, Teal, Entry2, Entry2, Entry1, Entry1};
  for (int i = 0; i < 8; ++i)
    in.SetPixel(i % 4, i / 4, top[i]);
  SaveImage(in, Current.File("in.bmp"), false);
  const std::string region = " --picture 1 --region 1 --view machine ";
  TCliResult r =
      RunLine(Current.Path, "import-bitmap p.pat in.bmp" + region + "--update-palette -o i.pat");
  ASSERT_EQ(r.Status, 0) << r.Err;
  nlohmann::json j = RunCli(Current.Path, {"dump", "i.pat"}).Json();
  // The bottom row is PLine 1; the new colour took entry 3, which yarn type A cannot show.
  const nlohmann::json states = {{2, 2, 1, 1}, {1, 2, 1, 0}};
  EXPECT_EQ(j["States"], states);
  EXPECT_EQ(j["Palette"]["Colours"][3], Teal);
  // Nearest gives the new colour the nearer of the two entries yarn type A shows.
  r = RunLine(Current.Path, "import-bitmap p.pat in.bmp" + region + "--colours nearest -o n.pat");
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(RunCli(Current.Path, {"dump", "n.pat"}).Json()["States"],
            nlohmann::json({{2, 2, 1, 1}, {1, 2, 1, 2}}));

  // Exported, BMP and PNG, and imported into a fresh pattern: the same cells.
  for (const std::string image : {"out.bmp", "out.png"}) {
    r = RunLine(Current.Path, "export-bitmap i.pat" + region + "-o " + image);
    ASSERT_EQ(r.Status, 0) << r.Err;
    r = RunLine(Current.Path, "import-bitmap p.pat " + image + region + "-o back.pat");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(RunCli(Current.Path, {"dump", "back.pat"}).Json()["States"], states) << image;
  }
  // Qt alone would take a BMP whose last pixels are missing.
  Bytes cut = FileBytes(Current.File("in.bmp"));
  cut.resize(cut.size() - 3);
  WriteBytes(Current.File("cut.bmp"), cut);
  cut = FileBytes(Current.File("in.bmp"));
  std::fill(cut.begin() + 18, cut.begin() + 26, 0); // 0 x 0 pixels
  WriteBytes(Current.File("empty.bmp"), cut);
  for (const char* bad : {"missing.bmp", "cut.bmp", "empty.bmp"}) {
    r = RunCli(Current.Path, {"import-bitmap", "p.pat", bad, "--picture", "1", "--region", "1",
                              "--view", "design", "-o", "bad.pat"});
    EXPECT_EQ(r.Status, 1) << bad;
    EXPECT_EQ(r.Err, std::string("Error reading bitmap file: ") + bad + "\n");
    EXPECT_FALSE(std::filesystem::exists(Current.File("bad.pat")));
  }
}

} // namespace
} // namespace quillane::test
