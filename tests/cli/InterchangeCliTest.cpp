#include "CliSupport.h"
#include "InterchangeSupport.h"

#include <gmock/gmock.h>
#include <tuple>

namespace quillane::test {
namespace {

class InterchangeCli : public TFlowTest {
protected:
  void SaveAs(OPattern& p, const std::string& name) {
    p.FileName = Current.File(name);
    p.SaveToFile();
  }
};

// Every machine type's round trip is the import's own; here the commands carry the three
// files and the importer's warning.
TEST_F(InterchangeCli, ExportThenImportGivesBackCellsAndCreel) {
  auto p = MakePattern(4, 12, 5, 3); // HLCS: a state pattern, so a colour file too
  for (int pl = 1; pl <= 5; ++pl)
    for (int c = 1; c <= 12; ++c)
      p->SetState(c, pl, (c + pl) % 3 + 1);
  SaveAs(*p, "in.pat");
  TCliResult e = RunCli(Current.Path, {"export", "in.pat", "OUT.TUF"});
  ASSERT_EQ(e.Status, 0) << e.Err;
  EXPECT_EQ(e.Err, "");
  const nlohmann::json before = RunCli(Current.Path, {"dump", "in.pat"}).Json();
  // A colour file one byte too long is passed over, with the reason: the creel then comes
  // from the control file as it was.
  for (const bool damaged : {false, true}) {
    if (damaged) {
      Bytes clr = FileBytes(Current.File("OUT.CLR"));
      clr.push_back(0);
      WriteBytes(Current.File("OUT.CLR"), clr);
    }
    TCliResult i = RunCli(Current.Path, {"import-tuf", "OUT.TUF", "-o", "back.pat"});
    ASSERT_EQ(i.Status, 0) << i.Err;
    EXPECT_EQ(i.Err, damaged ? "Warning: Colour file passed over: OUT.CLR (its length does not "
                               "fit its count of controls); the creel comes from the control "
                               "file.\n"
                             : "");
    const nlohmann::json after = RunCli(Current.Path, {"dump", "back.pat"}).Json();
    for (const char* key : {"States", "MachineType", "NoYarnTypes"})
      EXPECT_EQ(after[key], before[key]) << key;
    EXPECT_EQ(after["Creel"]["YarnTypes"], before["Creel"]["YarnTypes"]);
  }
}

TEST_F(InterchangeCli, ProblemsAreSaidOnceAndFailOnlyWhatWrites) {
  auto bad = MakePattern(0, 10, 3, 3);
  bad->Sections->Get(0)->TargetArea = {1, 1, 11, 3};
  SaveAs(*bad, "bad.pat");
  auto colours = MakePattern(11, 4, 2, 3);
  colours->SetMachineColour(1, 1, 16);
  SaveAs(*colours, "colours.pat");
  auto crowded = MakePattern(0, 4, 2, 27);
  SaveAs(*crowded, "crowded.pat");
  const std::string invalid = "Section #1 invalid (outside boundary of pattern): bad.pat\n";
  const std::string question = RunLine(Current.Path, "export colours.pat C.TUF").Err;
  const std::tuple<std::string, int, std::string> cases[] = {
      // Reading commands say it and go on; writing ones fail.
      {"info bad.pat", 0, invalid},
      {"render bad.pat --picture 1 --view machine -o bad.bmp", 0, invalid},
      {"paint bad.pat --picture 1 --view machine 0,0,1 -o out.pat", 1, invalid},
      {"export bad.pat OUT.TUF", 1, invalid},
      {"export crowded.pat OUT.TUF", 1,
       "Error, the colour file can hold at most 26 yarn types; this pattern has 27: crowded.pat\n"},
      {"export colours.pat colours.pat", 2,
       "OUT: would write over the input file colours.pat\nRun with --help for more information.\n"},
      {"export colours.pat C.TUF", 1, question},
      {"export colours.pat C.TUF --yes", 0, question.substr(0, question.find('\n') + 1)},
  };
  for (const auto& [line, status, err] : cases) {
    const TCliResult r = RunLine(Current.Path, line);
    EXPECT_EQ(r.Status, status) << line;
    EXPECT_EQ(r.Err, err) << line;
  }
  EXPECT_THAT(
      question,
      ::testing::EndsWith("Export anyway?\nAnswered Cancel; run again with --yes to answer OK.\n"));
  EXPECT_FALSE(FileExists(Current.File("out.pat")));
  EXPECT_TRUE(FileExists(Current.File("C.TUF")));
}

// The importers' messages are checked where they are made; here a failure names its file
// unless the message already does, and exits 1.
TEST_F(InterchangeCli, FailuresExitOneWithTheProgramsMessage) {
  auto states = MakePattern(0, 10, 3, 3);
  SaveAs(*states, "states.pat");
  WriteBytes(Current.File("T14.TUF"), Cat({Text("1,1,225\r\n\"\",\"\"\r\n"), {1, 0, 0}}));
  WriteBytes(Current.File("T14.DAT"), {7});
  WriteBytes(Current.File("NODAT.TUF"), Cat({Text("1,1,1\r\n\"\",\"\"\r\n"), {1, 0, 0}}));

  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"export", "states.pat", "missing/RUG1.TUF"},
       "Error saving tuft file: Cannot create file \"missing/RUG1.TUF\". No such file or "
       "directory\n"},
      {{"import-tuf", "T14.TUF", "-o", "x.pat"}, "Error reading tuft file: T14.TUF\n"},
      {{"import-tuf", "NODAT.TUF", "-o", "x.pat"},
       "Cannot open file \"NODAT.DAT\". No such file or directory\n"},
  };
  for (const auto& [args, message] : cases) {
    TCliResult r = RunCli(Current.Path, args);
    EXPECT_EQ(r.Status, 1) << args[1];
    EXPECT_EQ(r.Err, message);
  }
  for (const char* name : {"RUG1.TUF", "x.pat"})
    EXPECT_FALSE(FileExists(Current.File(name))) << name;
}

} // namespace
} // namespace quillane::test
