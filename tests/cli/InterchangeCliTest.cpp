#include "CliSupport.h"
#include "InterchangeSupport.h"

namespace quillane::test {
namespace {

class InterchangeCli : public TFlowTest {
protected:
  void SaveAs(OPattern& p, const std::string& name) {
    p.FileName = Current.File(name);
    p.SaveToFile();
  }
};

TEST_F(InterchangeCli, ExportThenImportGivesBackCellsAndCreel) {
  for (uint8_t type : {4, 11}) { // HLCS (states), COLORTEC (colours)
    SCOPED_TRACE(int(type));
    auto p = MakePattern(type, 12, 5, 3);
    for (int pl = 1; pl <= 5; ++pl)
      for (int c = 1; c <= 12; ++c)
        type == 4 ? p->SetState(c, pl, (c + pl) % 3 + 1)
                  : p->SetMachineColour(c, pl, (c * pl) % 3 + 1);
    SaveAs(*p, "in.pat");
    std::remove(Current.File("OUT.CLR").c_str());
    TCliResult e = RunCli(Current.Path, {"export", "in.pat", "OUT.TUF"});
    ASSERT_EQ(e.Status, 0) << e.Err;
    EXPECT_EQ(e.Err, "");
    EXPECT_EQ(FileExists(Current.File("OUT.CLR")), type == 4);

    TCliResult i = RunCli(Current.Path, {"import-tuf", "OUT.TUF", "-o", "back.pat"});
    ASSERT_EQ(i.Status, 0) << i.Err;
    nlohmann::json before = RunCli(Current.Path, {"dump", "in.pat"}).Json();
    nlohmann::json after = RunCli(Current.Path, {"dump", "back.pat"}).Json();
    const char* grid = type == 4 ? "States" : "MachineColours";
    EXPECT_EQ(after[grid], before[grid]);
    EXPECT_EQ(after["Creel"]["YarnTypes"], before["Creel"]["YarnTypes"]);
    EXPECT_EQ(after["MachineType"], type);
  }
}

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
