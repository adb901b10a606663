#include "CliSupport.h"
#include "InterchangeSupport.h"

#include <filesystem>
#include <sstream>

#include "production/Production.h"
#include "production/ProductionFile.h"

namespace quillane::test {
namespace {

class CheckCli : public TFlowTest {
protected:
  // 4 needles and 20 PLines of an ICN machine, all On but `offNeedle` (0: none), which never
  // tufts; the parameters name `machine`.
  void SavePattern(const std::string& name, int offNeedle, const std::string& machine) {
    auto p = MakePattern(1, 4, 20, 1);
    for (int pl = 1; pl <= 20; ++pl)
      for (int c = 1; c <= 4; ++c)
        p->SetState(c, pl, c == offNeedle ? 2 : 1);
    p->FileName = Current.File(name);
    p->SaveToFile();
    TProductionParameters parameters = DefaultProductionParameters(*p);
    parameters.Machine = machine;
    SaveProductionParameters(ProductionFileName(p->FileName), parameters);
  }
  void SetUp() override {
    TFlowTest::SetUp();
    // Off leaves no tuft; 8 PLines without one at most.
    const std::string states = R"("states": [{"state": 1, "tuft": "cut"}, {"state": 2, )"
                               R"("tuft": "none"}], "longestFloatPLines": 8})";
    WriteBytes(Current.File("Tufter 4.machine.json"),
               Text(R"({"name": "Tufter 4", "needles": 4, )" + states));
    WriteBytes(Current.File("narrow.json"), Text(R"({"name": "Narrow", "needles": 3, )" + states));
    SavePattern("fits.pat", 0, "Tufter 4");
    SavePattern("float.pat", 2, "Tufter 4");
    SavePattern("free.pat", 2, "");
    SavePattern("ghost.pat", 0, "Ghost");
    std::filesystem::create_directory(Current.File("empty"));
  }
  TCliResult Run(const std::string& line) { return RunLine(Current.Path, line); }
};

// "rule severity firstNeedle" of each line, the fields split at `separator`.
std::vector<std::string> Keys(const std::string& text, char separator) {
  std::vector<std::string> keys;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string rule, severity, needle;
    std::getline(fields, rule, separator), std::getline(fields, severity, separator);
    std::getline(fields, needle, separator == ' ' ? '-' : separator);
    keys.push_back(rule + " " + severity + " " + needle.substr(0, needle.find(' ')));
  }
  return keys;
}

TEST_F(CheckCli, FindingsComeAsTextJsonOrCsvAndErrorsExitOne) {
  const struct {
    std::string Line;
    int Status;
    std::vector<std::string> Found;
    std::string Machine;
  } rows[] = {
      {"check fits.pat", 0, {}, "Tufter 4"},
      // A needle that never tufts floats past any limit; the profile is found in the design
      // directory or else beside the pattern.
      {"check float.pat", 1, {"float error 2"}, "Tufter 4"},
      {"--dir empty check float.pat", 1, {"float error 2"}, "Tufter 4"},
      // A pattern wider than the machine; --machine wins over the profile the pattern names.
      {"check fits.pat --machine narrow.json", 1, {"needles error 4"}, "Narrow"},
      {"check float.pat --machine narrow.json --rules float", 1, {"float error 2"}, "Narrow"},
      // No profile named: "Any machine", whose rules need no limit, finds nothing here.
      {"check free.pat", 0, {}, "Any machine"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Line);
    const TCliResult text = Run(row.Line);
    EXPECT_EQ(text.Status, row.Status);
    EXPECT_EQ(Keys(text.Out, ' '), row.Found);
    // Exit 1 says why on one line; the findings are written all the same.
    EXPECT_EQ(text.Err, row.Status ? "1 error against " + row.Machine + "\n" : "");
    EXPECT_EQ(Run(row.Line + " -o c.csv").Status, row.Status);
    std::vector<std::string> csv = Keys(ReadText(Current.File("c.csv")), ',');
    EXPECT_EQ(csv.front(), "rule severity firstNeedle");
    EXPECT_EQ(std::vector<std::string>(csv.begin() + 1, csv.end()), row.Found);
    EXPECT_EQ(Run(row.Line + " -o c.json").Status, row.Status);
    const nlohmann::json j = nlohmann::json::parse(ReadText(Current.File("c.json")));
    std::vector<std::string> found;
    for (const auto& f : j["findings"])
      found.push_back(f["rule"].get<std::string>() + " " + f["severity"].get<std::string>() + " " +
                      std::to_string(f["needles"][0].get<int>()));
    EXPECT_EQ(found, row.Found);
    EXPECT_EQ(j["machine"], row.Machine);
    EXPECT_EQ(j["errors"], row.Found.size());
  }
}

// Refused with the findings and the question on stderr, nothing written; --yes writes it;
// parameters that cannot be read may name a machine, so they are asked about too.
TEST_F(CheckCli, ExportRefusesAPatternItsMachineCannotTuftUnlessAnsweredYes) {
  WriteBytes(Current.File("broken.pat"), FileBytes(Current.File("fits.pat")));
  WriteBytes(Current.File("broken.production.json"), Text("{\n\"waste\": -1}"));
  const std::string cancel = "Answered Cancel; run again with --yes to answer OK.\n";
  const struct {
    std::string Line, Err;
  } rows[] = {
      {"export float.pat A.TUF", "float error 2 "},
      {"export --yes float.pat B.TUF", "float error 2 "},
      {"export ghost.pat C.TUF", "Machine profile Ghost not found in "},
      {"export broken.pat D.TUF", "Error reading production parameters: "},
      {"export fits.pat E.TUF", ""},
  };
  for (const auto& row : rows) {
    const TCliResult r = Run(row.Line);
    const bool yes = row.Line.find("--yes") != std::string::npos;
    EXPECT_EQ(r.Status, row.Err.empty() || yes ? 0 : 1) << row.Line << "\n" << r.Err;
    EXPECT_EQ(r.Err.rfind(row.Err, 0), 0u) << row.Line << "\n" << r.Err;
    EXPECT_EQ(r.Err.ends_with(". Export anyway?\n" + (yes ? "" : cancel)), !row.Err.empty())
        << r.Err;
    EXPECT_EQ(FileExists(Current.File(row.Line.substr(row.Line.size() - 5))), r.Status == 0);
  }
  // Without a machine the set is the one the pattern made before there were profiles.
  ASSERT_EQ(Run("export free.pat F.TUF").Status, 0);
  const Bytes tuf = FileBytes(Current.File("F.TUF")), dat = FileBytes(Current.File("F.DAT"));
  std::filesystem::remove(ProductionFileName(Current.File("free.pat")));
  ASSERT_EQ(Run("export free.pat F.TUF").Status, 0);
  EXPECT_EQ(FileBytes(Current.File("F.TUF")), tuf);
  EXPECT_EQ(FileBytes(Current.File("F.DAT")), dat);
}

} // namespace
} // namespace quillane::test
