#include "CliSupport.h"

#include <filesystem>

#include "ImageIO.h"
#include "elements/BitmapMapping.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/Settings.h"

namespace quillane::test {
namespace {

class PatternCli : public TFlowTest {
protected:
  nlohmann::json Dump(const std::vector<std::string>& args) {
    TCliResult r = RunCli(Current.Path, args);
    EXPECT_EQ(r.Status, 0) << r.Err;
    return r.Status == 0 ? r.Json() : nlohmann::json();
  }
  // Cells of a grid that are not 0, as (control, PLine, value).
  static std::vector<std::array<int, 3>> NonZero(const nlohmann::json& grid) {
    std::vector<std::array<int, 3>> cells;
    for (size_t p = 0; p < grid.size(); ++p)
      for (size_t c = 0; c < grid[p].size(); ++c)
        if (grid[p][c] != 0)
          cells.push_back({int(c) + 1, int(p) + 1, grid[p][c].get<int>()});
    return cells;
  }
  // Runs a command line that must succeed.
  void Ok(const std::string& line) {
    const TCliResult r = RunLine(Current.Path, line);
    ASSERT_EQ(r.Status, 0) << line << "\n" << r.Err;
  }
};

TEST_F(PatternCli, NewPaintDumpAndRenderShowThePaintedCells) {
  Ok("new -o a.pat");
  Ok("paint a.pat --picture 1 --view machine 4,6,2 -o b.pat");
  nlohmann::json b = Dump({"dump", "b.pat"});
  EXPECT_EQ(NonZero(b["States"]), (std::vector<std::array<int, 3>>{{5, 7, 2}}));
  // A colour no state shows is refused as the view refuses it, and nothing is written.
  const TCliResult refused =
      RunLine(Current.Path, "paint b.pat --picture 1 --view machine 1,1,1 4,6,5 -o r.pat");
  EXPECT_EQ(std::make_pair(refused.Status, refused.Err),
            std::make_pair(1, std::string("4,6,5: Palette Color 5 has no state for "
                                          "Yarn Type A in the machine table\n")));
  EXPECT_FALSE(std::filesystem::exists(Current.File("r.pat")));

  // PLine 7 is the seventh row from the bottom.
  Ok("render b.pat --picture 1 --view machine -o b.bmp");
  const nlohmann::json colours = b["Palette"]["Colours"];
  const OBitmap24 bmp = LoadImage(Current.File("b.bmp"));
  ASSERT_EQ(std::pair(bmp.Width(), bmp.Height()), std::pair(100, 100));
  EXPECT_EQ(bmp.Row(93)[4], colours[2].get<uint32_t>());
  for (auto [x, y] : {std::pair(5, 93), {4, 6}})
    EXPECT_EQ(bmp.Row(y)[x], colours[0].get<uint32_t>());

  // Without spacings a cell is a tenth of an inch: 0.508 m is two pattern widths, shown two
  // lengths long, the longer side 2,000 pixels; the file states the dots per inch asked.
  Ok("render b.pat --preview --width-m 0.508 --dpi 300 -o p.png");
  const Bytes png = FileBytes(Current.File("p.png"));
  auto be32 = [&](size_t at) {
    return uint32_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
  };
  ASSERT_GT(png.size(), 50u);
  EXPECT_EQ(std::vector<uint32_t>({be32(16), be32(20), be32(41)}),
            (std::vector<uint32_t>{2000, 2000, 11811}));

  // In the design view colour 3 on yarn types A and A is the pair of states (2, 1).
  Ok("paint b.pat --picture 1 --view design 4,8,3 -o c.pat");
  nlohmann::json c = Dump({"dump", "c.pat", "--derived"});
  const std::vector<std::array<int, 3>> painted{{5, 7, 2}, {5, 9, 2}, {6, 9, 1}};
  EXPECT_EQ(NonZero(c["States"]), painted);
  EXPECT_EQ(NonZero(c["MachineColours"]), painted);
  EXPECT_EQ(c["DesignColours"][8][5], 3);
}

TEST_F(PatternCli, ExtractWritesEachObjectAsItsExchangeFile) {
  Ok("new -o a.pat");
  std::unique_ptr<OPattern> p = OpenPatternFile(Current.File("a.pat"));
  const struct {
    const char* Kind;
    std::vector<std::string> Extra;
    const char* Name;
    const ODesignData* Object;
  } rows[] = {
      {"SET", {}, "settings", p->Settings.get()},
      {"pal", {}, "palette", p->Palette.get()},
      {"CRE", {}, "creel", p->Creel.get()},
      {"MCH", {}, "machinetable", p->MachineTable.get()},
      {"DES", {}, "designtable", p->DesignTable.get()},
      {"PIC", {"--index", "1"}, "picture", p->Pictures->Get(0)},
      {"REG", {"--picture", "1", "--index", "1"}, "region", p->Pictures->Get(0)->Regions.Get(0)},
      {"SEC", {}, "section", p->Sections->Get(0)},
  };
  for (const auto& row : rows) {
    const std::string out = std::string("x.") + row.Kind;
    std::vector<std::string> args{"extract", "a.pat", "--kind", row.Kind, "-o", out};
    args.insert(args.end(), row.Extra.begin(), row.Extra.end());
    TCliResult r = RunCli(Current.Path, args);
    ASSERT_EQ(r.Status, 0) << row.Kind << ": " << r.Err;
    EXPECT_EQ(FileBytes(Current.File(out)), RecordBytes(*row.Object)) << row.Kind;
    EXPECT_EQ(Dump({"dump", out})["kind"], row.Name);
  }

  for (const char* wrong :
       {"extract a.pat --kind SEC --index 2 -o y", "extract a.pat --kind TUF -o y",
        "render a.pat --picture 0 --view machine -o y.bmp", "render a.pat --view machine -o y.bmp",
        "render a.pat --width-m 2 -o y.png", "render a.pat --preview --view design -o y.png",
        "paint a.pat --picture 1 --view machine 1,1,256 -o y.pat"}) {
    TCliResult r = RunLine(Current.Path, wrong);
    EXPECT_EQ(r.Status, 2) << wrong;
    EXPECT_NE(r.Err, "");
  }
  EXPECT_FALSE(std::filesystem::exists(Current.File("y")));
  EXPECT_FALSE(std::filesystem::exists(Current.File("y.pat")));
}

TEST_F(PatternCli, NewStartsFromTheDefaultPatternInDir) {
  // A DEFAULT.PAT in the folder given with --dir is the new pattern.
  std::filesystem::create_directory(Current.File("defaults"));
  Ok("wizard plain --controls 20 --plines 10 -o defaults/DEFAULT.PAT");
  Ok("--dir defaults new -o d.pat");
  nlohmann::json d = Dump({"dump", "d.pat"});
  EXPECT_EQ(d["NoControls"], 20);
  EXPECT_EQ(d["Sections"][0]["SourceArea"], nlohmann::json::array({1, 1, 20, 10}));
}

// A few megabytes of flipped sections over a million cells would take minutes to copy:
// commands that only look at the file read it as it is stored.
TEST_F(PatternCli, LookingAtAPatternLeavesItsSectionsUncopied) {
  {
    OPattern p;
    p.InitNew();
    p.Sections->Clear();
    p.Settings->NoControls = 1000;
    p.Settings->NoPLines = 1000;
    p.ApplySettings();
    p.Changed();
    for (int i = 0; i < 65535; ++i) {
      OSection* s = p.Sections->Add(std::make_unique<OSection>(&p));
      s->SetSourceArea({1, 1, 1000, 1000});
      s->TargetArea = {1, 1, 1000, 1000};
      s->HFlip = 1;
    }
    p.States.Row(1)[1] = 1; // copied, it would show at the other end of the PLine too
    p.FileName = Current.File("many.pat");
    p.SaveToFile();
  }
  nlohmann::json info = Dump({"info", "many.pat"});
  EXPECT_EQ(info["Sections"], 65535);
  EXPECT_EQ(info["StateCounts"], nlohmann::json({{"0", 999999}, {"1", 1}}));
  EXPECT_EQ(Dump({"dump", "many.pat", "--no-cells"})["Sections"].size(), 65535u);
  Ok("extract many.pat --kind SEC --index 65535 -o last.SEC");
}

// export-bitmap draws its image a band of rows at a time: the file decodes to the whole
// region's bitmap, BMP and PNG, in each view, for a region at the picture's foot and one
// above it.
TEST_F(PatternCli, ExportedBitmapsAreTheRegionsWholeBitmaps) {
  Ok("wizard carpet --pattern-controls 30 --pattern-plines 9 --section-controls 4 --center "
     "--repeats 3 -o w.pat");
  Ok("paint w.pat --picture 1 --view machine 3,2,2 15,4,1 0,8,2 -o c.pat");
  std::unique_ptr<OPattern> p = OpenPatternFile(Current.File("c.pat"));
  for (int region : {1, 2, 4})
    for (const std::string view : {"machine", "design"})
      for (const std::string out : {"r.bmp", "r.png"}) {
        Ok("export-bitmap c.pat --picture 1 --region " + std::to_string(region) + " --view " +
           view + " -o " + out);
        EXPECT_EQ(LoadImage(Current.File(out)),
                  ExportBitmap(*p->Pictures->Get(0)->Regions.Get(region - 1), view == "machine"))
            << region << " " << view << " " << out;
      }
}

// render draws a picture of more than one band a band of rows at a time, the last band
// shorter, and writes what the view shows, PLine 1 at the bottom.
TEST_F(PatternCli, RenderedImagesAreThePicturesRender) {
  Ok("wizard carpet --pattern-controls 2100 --pattern-plines 2100 --section-controls 700 "
     "--repeats 3 -o w.pat");
  Ok("paint w.pat --picture 1 --view machine 3,2,2 15,2099,1 2099,0,2 -o c.pat");
  std::unique_ptr<OPattern> p = OpenPatternFile(Current.File("c.pat"));
  OPicture& picture = *p->Pictures->Get(0);
  OBitmap24 whole;
  whole.SetSize(picture.Width, picture.Height);
  picture.RenderRows(TView::Machine, 0, whole);
  for (const std::string out : {"r.bmp", "r.png"}) {
    Ok("render c.pat --picture 1 --view machine -o " + out);
    const OBitmap24 read = LoadImage(Current.File(out));
    ASSERT_EQ(read.Height(), whole.Height());
    for (int y = 0; y < whole.Height(); ++y)
      ASSERT_TRUE(
          std::equal(whole.Row(y), whole.Row(y) + whole.Width(), read.Row(whole.Height() - 1 - y)))
          << out << " row " << y;
  }
}

// A picture record names its size in a few bytes. One with no columns but some rows (or
// the other way round) is refused where it is read, as the default of `new` too; a picture
// of 2^27 x 1 whose regions overlap is written a region's size at a time, in little memory.
TEST_F(PatternCli, HostilePictureSizesAreRefusedOrWrittenInSmallBands) {
  auto save = [&](const std::string& name, int width, int height, bool overlapping) {
    OPattern p;
    p.InitNew(); // 100 x 100
    for (int c = 1; c <= 30; ++c)
      for (int pl = 1; pl <= 20; ++pl)
        p.States.Row(pl)[c] = static_cast<uint8_t>((c + 3 * pl) % 3);
    OPicture& picture = *p.Pictures->Get(0);
    picture.SetWidth(width);
    picture.SetHeight(height);
    if (overlapping) { // a second view of the cells, flipped, two pixels to the right
      ORegion* r = picture.Regions.Add(std::make_unique<ORegion>(&p, &picture));
      r->SetPatternArea({1, 1, 25, 20});
      r->SetPictureArea({3, 1, 27, 20});
      r->HFlip = 1;
    }
    p.FileName = Current.File(name);
    p.SaveToFile();
  };
  save("zero-wide.pat", 0, 3, false);
  save("zero-high.pat", 2147483647, 0, false);
  for (const std::string name : {"zero-wide.pat", "zero-high.pat"})
    for (const std::string command : {"render ", "export-bitmap --region 1 "}) {
      const TCliResult r =
          RunLine(Current.Path, command + name + " --picture 1 --view machine -o r.bmp");
      EXPECT_TRUE(r.Status == 1 && r.Err.rfind("Error reading pattern: " + name, 0) == 0)
          << command << r.Err;
    }
  EXPECT_FALSE(std::filesystem::exists(Current.File("r.bmp")));
  std::filesystem::create_directory(Current.File("d"));
  std::filesystem::copy_file(Current.File("zero-wide.pat"), Current.File("d/DEFAULT.PAT"));
  const TCliResult made = RunLine(Current.Path, "--dir d new -o n.pat");
  EXPECT_EQ(made.Status, 0) << made.Err;
  EXPECT_NE(made.Err.find("DEFAULT.PAT"), std::string::npos) << made.Err;
  Ok("render n.pat --picture 1 --view machine -o n.bmp");

  // The same region's pixels from a picture 120 wide and one 2^27 wide, under a bound on
  // memory (a tenth of what a band as wide as the picture took) where the address
  // sanitizer's reservations allow one.
  save("narrow.pat", 120, 1, true);
  save("wide.pat", 1 << 27, 1, true);
#ifdef __SANITIZE_ADDRESS__
  const std::string limit;
#else
  const std::string limit = "ulimit -v 1500000 && ";
#endif
  for (const std::string region : {"1", "2"}) {
    const std::string options = " --picture 1 --region " + region + " --view machine -o ";
    Ok("export-bitmap narrow.pat" + options + "n.bmp");
    const std::string run = "cd " + ShellQuote(Current.Path) + " && " + limit +
                            ShellQuote(QUILLANE_CLI) + " export-bitmap wide.pat" + options +
                            "w.bmp";
    ASSERT_EQ(std::system(run.c_str()), 0) << region;
    EXPECT_EQ(FileBytes(Current.File("w.bmp")), FileBytes(Current.File("n.bmp"))) << region;
  }
}

} // namespace
} // namespace quillane::test
