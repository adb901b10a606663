#include "CliSupport.h"

#include <sstream>

#include "wizards/Wizards.h"

namespace quillane::test {
namespace {

constexpr uint32_t Entry1 = 0x0000FF, Entry2 = 0x0000C0, Teal = 0x123456;

// A 24-bit bottom-up BMP of colours 0x00BBGGRR given top row first.
Bytes Bmp24(int w, int h, const std::vector<uint32_t>& topDown) {
  const int stride = (w * 3 + 3) / 4 * 4;
  Bytes b;
  Put(b, {'B', 'M'});
  PutCardinal(b, static_cast<uint32_t>(54 + stride * h));
  PutCardinal(b, 0);
  PutCardinal(b, 54);
  PutCardinal(b, 40);
  PutCardinal(b, static_cast<uint32_t>(w));
  PutCardinal(b, static_cast<uint32_t>(h));
  PutWord(b, 1);
  PutWord(b, 24);
  for (uint32_t v : {0u, static_cast<uint32_t>(stride * h), 2835u, 2835u, 0u, 0u})
    PutCardinal(b, v);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      const uint32_t c = topDown[static_cast<size_t>(y * w + x)];
      Put(b, {static_cast<int>(c >> 16 & 0xFF), static_cast<int>(c >> 8 & 0xFF),
              static_cast<int>(c & 0xFF)});
    }
    b.resize(b.size() + static_cast<size_t>(stride - w * 3), 0);
  }
  return b;
}

// Arguments separated by spaces.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string w; in >> w;)
    words.push_back(w);
  return words;
}

class WizardCli : public TFlowTest {};

TEST_F(WizardCli, EveryKindWithItsRefusalsAndWarnings) {
  struct TRow {
    std::string Args;
    int Status;
    std::string Err; // "*" for any text
    int Sections;    // -1: no file written
  };
  const std::string tooMany = std::string(TooManySectionsMessage) + "\n";
  const std::string noFit = "Warning: the layout does not fit the pattern; no design region and "
                            "no section were added\n";
  // clang-format off
  const TRow rows[] = {
    {"plain --controls 5 --plines 4 --layout 4", 0, "", 4},
    {"rug --pattern-controls 23 --pattern-plines 10 --rug-controls 7 --rug-plines 10 "
     "--cut-controls 1", 0, "", 3},
    {"plain --controls 1 --plines 1 --layout 4", 1,
     "Section #2 invalid (outside boundary of pattern)\n", -1},
    {"rug --pattern-controls 23 --pattern-plines 10 --rug-controls 7 --rug-plines 11", 1,
     "Invalid Rug Size - No. PLines\n", -1},
    {"rug --pattern-controls 23 --pattern-plines 10 --rug-controls 7 --rug-plines 10 "
     "--control-offset 18", 0, noFit, 0},
    {"rug --pattern-controls 13 --pattern-plines 10 --rug-controls 7 --rug-plines 10 "
     "--cut-controls 2 --mirror --layout 2h", 0, "", 5},
    // The mirrored layouts start at control 1.
    {"rug --pattern-controls 13 --pattern-plines 10 --rug-controls 7 --rug-plines 10 --mirror "
     "--control-offset 2", 2, "*", -1},
    {"carpet --pattern-controls 10 --pattern-plines 6 --section-controls 4 --center --repeats 3",
     0, "", 3},
    {"carpet --pattern-controls 10 --pattern-plines 6 --section-controls 4 --offset 8", 0, noFit, 0},
    {"halfdrop --pattern-controls 20 --pattern-plines 10 --region-controls 6 --center", 0, "", 10},
    {"repeats --pattern-controls 10 --pattern-plines 5 --section-controls 4 --section-plines 3",
     0, "", 6},
    {"repeats --pattern-controls 1000 --pattern-plines 1000 --section-controls 1 "
     "--section-plines 1", 1, tooMany, -1},
    // The dialogs' edit ranges.
    {"plain --controls 4 --plines 65535", 2, "*", -1},
  };
  // clang-format on
  int i = 0;
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Args);
    const std::string out = "w" + std::to_string(i++) + ".pat";
    TCliResult r = RunCli(Current.Path, Words("wizard " + row.Args + " -o " + out));
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
  ASSERT_EQ(RunCli(Current.Path, Words("wizard plain --controls 4 --plines 2 -o p.pat")).Status, 0);
  WriteBytes(Current.File("in.bmp"), Bmp24(4, 2,
                                           {Entry1, Entry2, Entry1, Teal, //
                                            Entry2, Entry2, Entry1, Entry1}));
  const std::string region = " --picture 1 --region 1 --view machine ";
  TCliResult r = RunCli(Current.Path,
                        Words("import-bitmap p.pat in.bmp" + region + "--update-palette -o i.pat"));
  ASSERT_EQ(r.Status, 0) << r.Err;
  nlohmann::json j = RunCli(Current.Path, {"dump", "i.pat"}).Json();
  // The bottom row is PLine 1; the new colour took entry 3, which yarn type A cannot show.
  const nlohmann::json states = {{2, 2, 1, 1}, {1, 2, 1, 0}};
  EXPECT_EQ(j["States"], states);
  EXPECT_EQ(j["Palette"]["Colours"][3], Teal);

  // Exported, BMP and PNG, and imported into a fresh pattern: the same cells.
  for (const std::string image : {"out.bmp", "out.png"}) {
    r = RunCli(Current.Path, Words("export-bitmap i.pat" + region + "-o " + image));
    ASSERT_EQ(r.Status, 0) << r.Err;
    r = RunCli(Current.Path, Words("import-bitmap p.pat " + image + region + "-o back.pat"));
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(RunCli(Current.Path, {"dump", "back.pat"}).Json()["States"], states) << image;
  }
  // Qt alone would take a BMP whose last pixels are missing.
  Bytes cut = FileBytes(Current.File("in.bmp"));
  cut.resize(cut.size() - 3);
  WriteBytes(Current.File("cut.bmp"), cut);
  cut.resize(30);
  WriteBytes(Current.File("head.bmp"), cut);
  WriteBytes(Current.File("empty.bmp"), Bmp24(0, 0, {}));
  for (const char* bad : {"missing.bmp", "cut.bmp", "head.bmp", "empty.bmp"}) {
    r = RunCli(Current.Path, {"import-bitmap", "p.pat", bad, "--picture", "1", "--region", "1",
                              "--view", "design", "-o", "bad.pat"});
    EXPECT_EQ(r.Status, 1) << bad;
    EXPECT_EQ(r.Err, std::string("Error reading bitmap file: ") + bad + "\n");
    EXPECT_FALSE(std::filesystem::exists(Current.File("bad.pat")));
  }
  r = RunCli(Current.Path, {"export-bitmap", "i.pat", "--picture", "1", "--region", "2", "--view",
                            "machine", "-o", "x.bmp"});
  EXPECT_EQ(r.Status, 2);
}

} // namespace
} // namespace quillane::test
