#include "CliSupport.h"

#include <limits>

#include "model/Pattern.h"
#include "setup/Settings.h"

namespace quillane::test {
namespace {

class Cli : public TFlowTest {};

TEST_F(Cli, UsageErrorsExitTwo) {
  ASSERT_EQ(RunLine(Current.Path, "new -o a.pat").Status, 0);
  // Numbers are whole decimals in range; none wraps round to a cell that exists.
  const std::pair<const char*, int> cases[] = {
      {"", 2},
      {"dump", 2},
      {"dump --help", 0},
      {"paint a.pat --picture 1 --view machine 4294967296,0,1 -o b.pat", 2},
      {"paint a.pat --picture 1 --view machine 0,-4294967296,1 -o b.pat", 2},
      {"paint a.pat --picture 1 --view machine 0,0,+1 -o b.pat", 2},
      {"paint a.pat --picture 1 --view machine 0,0,1,2 -o b.pat", 2},
      {"paint a.pat --picture 4294967297 --view machine 0,0,1 -o b.pat", 2},
      {"paint a.pat --picture 0x1 --view machine 0,0,1 -o b.pat", 2},
      {"wizard plain --controls 10 --plines 1e1 -o b.pat", 2},
      {"render a.pat --preview --width-m=\t1 -o b.png", 2},
      {"render a.pat --preview --width-m=-.5 -o b.png", 2},
      {"render a.pat --preview --width-m 0.5 -o b.png", 0},
      {"paint a.pat --picture 1 --view machine 99,99,2 -o b.pat", 0},
  };
  for (const auto& [line, status] : cases)
    EXPECT_EQ(RunLine(Current.Path, line).Status, status) << line;
}

TEST_F(Cli, DumpShowsASettingsFileWrittenByTheExportFlow) {
  OPattern* none = nullptr;
  OSettings s(none);
  s.SetDefaults();
  s.SetStyleCode("Caf\xE9");
  s.PLineSpacing = std::numeric_limits<float>::quiet_NaN();
  s.NeedleSpacing = -std::numeric_limits<float>::infinity();
  const std::string file = Current.File("X.SET");
  UI.FileAnswers.push_back(file);
  s.Export();
  ASSERT_TRUE(UI.Shown.empty());

  TCliResult r = RunCli(Current.Path, {"dump", "X.SET"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  nlohmann::json j = r.Json();
  EXPECT_EQ(j["StyleCode"], "Caf\xC3\xA9") << "texts come out as UTF-8";
  // JSON would print null, as if the field were missing.
  EXPECT_EQ(j["PLineSpacing"], "NaN");
  EXPECT_EQ(j["NeedleSpacing"], "-Infinity");
}

TEST_F(Cli, DumpOfAMissingFileUsesTheProgramsMessage) {
  TCliResult missing = RunCli(Current.Path, {"dump", "nothing.SET"});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_EQ(missing.Err, "Error, settings file not found nothing.SET\n");
}

} // namespace
} // namespace quillane::test
