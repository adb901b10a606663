#include "CliSupport.h"

#include "model/Pattern.h"
#include "setup/Settings.h"

namespace quillane::test {
namespace {

class Cli : public TFlowTest {};

TEST_F(Cli, HelpVersionAndUsageErrors) {
  TCliResult help = RunCli(Current.Path, {"--help"});
  EXPECT_EQ(help.Status, 0);
  EXPECT_NE(help.Out.find("dump"), std::string::npos);

  TCliResult version = RunCli(Current.Path, {"--version"});
  EXPECT_EQ(version.Status, 0);
  EXPECT_NE(version.Out.find(g.Version.FileVersion), std::string::npos) << version.Out;

  for (const auto& [line, status] : {std::pair{"", 2}, {"dump", 2}, {"dump --help", 0}})
    EXPECT_EQ(RunLine(Current.Path, line).Status, status) << line;
}

TEST_F(Cli, DumpShowsASettingsFileWrittenByTheExportFlow) {
  OPattern* none = nullptr;
  OSettings s(none);
  s.SetDefaults();
  s.MachineType = 4;
  s.NoControls = 1200;
  s.SetStyleCode("Caf\xE9");
  s.SetStitchCount(8);
  const std::string file = Current.File("X.SET");
  UI.FileAnswers.push_back(file);
  s.Export();
  ASSERT_TRUE(UI.Shown.empty());

  TCliResult r = RunCli(Current.Path, {"dump", "X.SET"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err, "");
  nlohmann::json j = r.Json();
  EXPECT_EQ(j["kind"].get<std::string>() + std::to_string(j["MachineType"].get<int>()) +
                std::to_string(j["NoControls"].get<int>()),
            "settings41200");
  EXPECT_EQ(j["Description"], "Default ControlSetup");
  EXPECT_EQ(j["StyleCode"], "Caf\xC3\xA9") << "texts come out as UTF-8";
  EXPECT_DOUBLE_EQ(j["InverseStitchCount"].get<double>(), 0.125);
  EXPECT_EQ(j["FileVersion"], 6);
  EXPECT_EQ(j.size(), 27u) << "the kind and every settings field";

  // The extension decides, in any case.
  std::filesystem::copy_file(file, Current.File("lower.set"));
  EXPECT_EQ(RunCli(Current.Path, {"dump", "lower.set"}).Status, 0);
}

TEST_F(Cli, DumpFailuresUseTheProgramsMessages) {
  TCliResult missing = RunCli(Current.Path, {"dump", "nothing.SET"});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_EQ(missing.Err, "Error, settings file not found nothing.SET\n");
  EXPECT_EQ(missing.Out, "");

  WriteBytes(Current.File("short.SET"), {9, 1, 0, 1});
  WriteBytes(Current.File("palette.SET"), Bytes(138, 4));
  for (const std::string name : {"short.SET", "palette.SET"}) {
    TCliResult r = RunCli(Current.Path, {"dump", name});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "Error reading settings file: " + name + "\n");
  }
}

} // namespace
} // namespace quillane::test
