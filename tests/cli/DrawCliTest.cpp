#include "CliSupport.h"

#include <filesystem>

namespace quillane::test {
namespace {

using DrawCli = TFlowTest;

// Each draw leaves the pattern as the other command does (paint presses pixels one at a
// time); a tool's refusal or a wrong word writes nothing.
TEST_F(DrawCli, ToolsDrawAsPressesAndRefuseWhatTheyCannotDo) {
  struct TRow {
    const char* Draw;
    // The same pattern by other means, or the exit status and the first line of stderr
    // (stdout for pick).
    const char* Same;
    int Status;
    const char* Said;
  };
  const TRow rows[] = {
      {"draw a.pat --picture 1 --view machine line 0,0,3,0,2 --brush 2 -o out.pat",
       "paint a.pat --picture 1 --view machine 0,0,2 1,0,2 2,0,2 3,0,2 4,0,2 0,1,2 1,1,2 2,1,2 "
       "3,1,2 4,1,2",
       0, ""},
      {"draw a.pat --picture 1 --view design rect 0,0,2,2,3 -o out.pat",
       "paint a.pat --picture 1 --view design 0,0,3 1,0,3 2,0,3 0,1,3 2,1,3 0,2,3 1,2,3 2,2,3", 0,
       ""},
      {"draw a.pat --picture 1 --view machine rect 0,0,1,1,1 --filled -o out.pat",
       "paint a.pat --picture 1 --view machine 0,0,1 1,0,1 0,1,1 1,1,1", 0, ""},
      // Row 3 of wall.pat is colour 2 from side to side.
      {"draw wall.pat --picture 1 --view machine fill 7,1,1 -o out.pat",
       "draw wall.pat --picture 1 --view machine rect 0,0,99,2,1 --filled", 0, ""},
      // --all fills the rows above the wall as well.
      {"draw wall.pat --picture 1 --view machine fill 7,1,1 --all -o out.pat",
       "draw full.pat --picture 1 --view machine line 0,3,99,3,2", 0, ""},
      {"draw wall.pat --picture 1 --view machine pick 50,3", nullptr, 0, "2"},
      // clear makes cells undefined as Delete does, though no state shows colour 0.
      {"draw wall.pat --picture 1 --view machine clear 99,0,50,3 -o out.pat",
       "draw a.pat --picture 1 --view machine line 0,3,49,3,2", 0, ""},
      {"draw full.pat --picture 1 --view design clear 0,0,99,99 -o out.pat",
       "draw a.pat --picture 1 --view machine clear 0,0,0,0", 0, ""},
      {"draw a.pat --picture 1 --view machine clear 0,0,100,0 -o out.pat", nullptr, 2,
       "X1,Y1,X2,Y2: X2 must be a whole number from 0 to 99: 0,0,100,0"},
      {"draw wall.pat --picture 1 --view machine fill 0,0,5 -o out.pat", nullptr, 1,
       "0,0,5: Palette Color 5 has no state for Yarn Type A in the machine table"},
      {"draw a.pat --picture 1 --view machine line 0,0,100,0,1 -o out.pat", nullptr, 2,
       "X1,Y1,X2,Y2,V: X2 must be a whole number from 0 to 99: 0,0,100,0,1"},
      {"draw a.pat --picture 1 --view machine fill 0,0,1 --brush 3 -o out.pat", nullptr, 2,
       "--brush: fill does not take --brush"},
      {"draw a.pat --picture 1 --view machine pick 0,0 -o out.pat", nullptr, 2,
       "--output: pick does not take --output"},
      {"draw a.pat --picture 1 --view machine spray 0,0 -o out.pat", nullptr, 2,
       "TOOL: no tool spray"},
      {"draw a.pat --picture 1 --view machine line 0,0,1,1,1", nullptr, 2, "--output is required"},
      // A wall as the view shows it, pasted back where it was, is that wall again.
      {"draw full.pat --picture 1 --view machine paste wall.png 0,0 -o out.pat",
       "draw full.pat --picture 1 --view machine line 0,3,99,3,2", 0, ""},
      {"draw full.pat --picture 1 --view machine paste wall.png 1,0 -o out.pat", nullptr, 2,
       "paste: the picture is 100 x 100 pixels; a 100 x 100 image at 1,0 reaches past it"},
  };
  auto run = [&](const std::string& line) { return RunLine(Current.Path, line); };
  ASSERT_EQ(run("new -o a.pat").Status, 0);
  ASSERT_EQ(run("draw a.pat --picture 1 --view machine line 0,3,99,3,2 -o wall.pat").Status, 0);
  // The undefined colour shows as Palette Color 14's grey, so the pasted picture is painted all
  // over.
  ASSERT_EQ(
      run("draw a.pat --picture 1 --view machine rect 0,0,99,99,1 --filled -o full.pat").Status, 0);
  ASSERT_EQ(run("draw full.pat --picture 1 --view machine line 0,3,99,3,2 -o w.pat").Status, 0);
  ASSERT_EQ(run("render w.pat --picture 1 --view machine -o wall.png").Status, 0);
  auto cells = [&](const char* file) {
    const nlohmann::json j = run(std::string("dump --derived ") + file).Json();
    return j["States"].dump() + j["MachineColours"].dump() + j["DesignColours"].dump();
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Draw);
    std::filesystem::remove(Current.File("out.pat"));
    const TCliResult r = run(row.Draw);
    if (row.Same) {
      ASSERT_EQ(r.Status, 0) << r.Err;
      ASSERT_EQ(run(std::string(row.Same) + " -o same.pat").Status, 0);
      EXPECT_TRUE(cells("out.pat") == cells("same.pat"));
      continue;
    }
    EXPECT_EQ(r.Status, row.Status);
    const std::string said = r.Status == 0 ? r.Out : r.Err;
    EXPECT_EQ(said.substr(0, said.find('\n')), row.Said);
    EXPECT_EQ(std::filesystem::exists(Current.File("out.pat")), false);
  }
}

} // namespace
} // namespace quillane::test
