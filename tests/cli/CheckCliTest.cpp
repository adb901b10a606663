#include "CliSupport.h"
#include "InterchangeSupport.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "production/Production.h"
#include "production/ProductionFile.h"

namespace quillane::test {
namespace {

// An ICN machine of 4 needles: On tufts, Off leaves no tuft; 8 PLines without a tuft at most.
const char* const Tufter4 = R"({
  "name": "Tufter 4",
  "needles": 4,
  "states": [{"state": 1, "tuft": "cut"}, {"state": 2, "tuft": "none"}],
  "longestFloatPLines": 8
})";

class CheckCli : public TFlowTest {
protected:
  // A pattern of 4 needles and 20 PLines, all On but for `offNeedle` (0: none), which never
  // tufts; its parameters name `machine`.
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
    WriteBytes(Current.File("Tufter 4.machine.json"), Text(Tufter4));
    SavePattern("fits.pat", 0, "Tufter 4");
    SavePattern("float.pat", 2, "Tufter 4");
    SavePattern("free.pat", 2, "");
    SavePattern("ghost.pat", 0, "Ghost");
  }
  TCliResult Run(const std::string& line) { return RunLine(Current.Path, line); }
};

// The findings of each row: rule, severity and needles; the PLines are the rules' to say.
using TFound = std::vector<std::string>;
TFound FromText(const std::string& text) {
  TFound found;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    found.push_back(line.substr(0, line.find(' ', line.find(' ', line.find(' ') + 1) + 1)));
  return found;
}
TFound FromJson(const nlohmann::json& j) {
  TFound found;
  for (const auto& f : j["findings"]) {
    const int first = f["needles"][0], last = f["needles"][1];
    found.push_back(f["rule"].get<std::string>() + " " + f["severity"].get<std::string>() + " " +
                    std::to_string(first) + (first == last ? "" : "-" + std::to_string(last)));
  }
  return found;
}
TFound FromCsv(const std::string& text) {
  TFound found;
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "rule,severity,firstNeedle,lastNeedle,firstPLine,lastPLine,message\r");
  while (std::getline(lines, line)) {
    std::vector<std::string> cells;
    std::istringstream row(line);
    for (std::string cell; cells.size() < 4 && std::getline(row, cell, ',');)
      cells.push_back(cell);
    found.push_back(cells[0] + " " + cells[1] + " " + cells[2] +
                    (cells[2] == cells[3] ? "" : "-" + cells[3]));
  }
  return found;
}

TEST_F(CheckCli, FindingsComeAsTextJsonOrCsvAndErrorsExitOne) {
  WriteBytes(Current.File("narrow.json"),
             Text(R"({"name": "Narrow", "needles": 3, "longestFloatPLines": 8,
                      "states": [{"state": 1, "tuft": "cut"}, {"state": 2, "tuft": "none"}]})"));
  const struct {
    std::string Args;
    int Status;
    TFound Found;
    std::string Machine;
  } rows[] = {
      {"fits.pat", 0, {}, "Tufter 4"},
      // A needle that never tufts floats past any limit.
      {"float.pat", 1, {"float error 2"}, "Tufter 4"},
      // A pattern wider than the machine; --machine wins over the profile the pattern names.
      {"fits.pat --machine narrow.json", 1, {"needles error 4"}, "Narrow"},
      {"float.pat --machine narrow.json --rules float", 1, {"float error 2"}, "Narrow"},
      {"float.pat --machine narrow.json --rules needles,needles", 1, {"needles error 4"}, "Narrow"},
      // No profile named: "Any machine", whose rules need no limit, finds nothing here.
      {"free.pat", 0, {}, "Any machine"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Args);
    const TCliResult text = Run("check " + row.Args);
    EXPECT_EQ(text.Status, row.Status) << text.Err;
    EXPECT_EQ(FromText(text.Out), row.Found) << text.Out;
    // Exit 1 says why in one line; the findings are on standard output all the same.
    EXPECT_EQ(text.Err, row.Status ? std::to_string(row.Found.size()) + " error" +
                                         (row.Found.size() == 1 ? "" : "s") + " against " +
                                         row.Machine + "\n"
                                   : "");
    for (const char* out : {"c.json", "c.csv", "c.txt"}) {
      std::filesystem::remove(Current.File(out));
      const TCliResult r = Run("check " + row.Args + " -o " + out);
      EXPECT_EQ(r.Status, row.Status) << out << r.Err;
      EXPECT_EQ(r.Out, "");
      const std::string written = ReadText(Current.File(out));
      if (std::string(out) == "c.json") {
        const nlohmann::json j = nlohmann::json::parse(written);
        EXPECT_EQ(FromJson(j), row.Found);
        EXPECT_EQ(j["machine"], row.Machine);
        EXPECT_EQ(j["errors"], row.Status ? row.Found.size() : 0);
      } else {
        EXPECT_EQ(std::string(out) == "c.csv" ? FromCsv(written) : FromText(written), row.Found);
      }
    }
  }
}

TEST_F(CheckCli, MistakesAndRefusedProfilesAreNamed) {
  WriteBytes(Current.File("bad.json"), Text("{\n  \"name\": \"Bad\",\n  \"needles\": -4\n}"));
  const struct {
    std::string Line;
    int Status;
    std::string Says;
  } rows[] = {
      {"check fits.pat --rules float,", 2, "no rule is named \"\""},
      {"check fits.pat -o c.xml", 2, "a check is written as .json, .csv or .txt: c.xml"},
      {"check fits.pat -o fits.pat", 2, "would write over the input file fits.pat"},
      // A profile is read as hostile: the refusal names its line and field.
      {"check fits.pat --machine bad.json -o c.json", 1, "bad.json: line 3: needles"},
      {"check ghost.pat -o c.json", 1, "Machine profile Ghost not found"},
  };
  for (const auto& row : rows) {
    const TCliResult r = Run(row.Line);
    EXPECT_EQ(r.Status, row.Status) << row.Line << "\n" << r.Err;
    EXPECT_NE(r.Err.find(row.Says), std::string::npos) << row.Line << "\n" << r.Err;
    EXPECT_EQ(r.Out, "") << row.Line;
    EXPECT_FALSE(FileExists(Current.File("c.json"))) << row.Line;
  }
}

// A pattern meant for a machine that cannot tuft it is refused with the findings; --yes
// writes it anyway; a pattern that names no machine exports as it always has.
TEST_F(CheckCli, ExportRefusesAPatternItsMachineCannotTuftUnlessAnsweredYes) {
  const struct {
    std::string Line;
    int Status;
    std::vector<std::string> Err; // the lines of stderr, each the start of one
  } rows[] = {
      {"export float.pat A.TUF",
       1,
       {"float error 2 ",
        "1 error against Tufter 4: ", "Answered Cancel; run again with --yes to answer OK."}},
      {"export --yes float.pat B.TUF", 0, {"float error 2 ", "1 error against Tufter 4: "}},
      {"export ghost.pat C.TUF",
       1,
       {"Machine profile Ghost not found", "Answered Cancel; run again with --yes"}},
      {"export fits.pat D.TUF", 0, {}},
      {"export free.pat E.TUF", 0, {}},
  };
  for (const auto& row : rows) {
    const TCliResult r = Run(row.Line);
    EXPECT_EQ(r.Status, row.Status) << row.Line << "\n" << r.Err;
    std::istringstream lines(r.Err);
    std::vector<std::string> err;
    for (std::string line; std::getline(lines, line);)
      err.push_back(line);
    ASSERT_EQ(err.size(), row.Err.size()) << row.Line << "\n" << r.Err;
    for (size_t i = 0; i < err.size(); ++i)
      EXPECT_EQ(err[i].rfind(row.Err[i], 0), 0u) << row.Line << "\n" << r.Err;
    if (!row.Err.empty()) {
      EXPECT_TRUE(std::any_of(err.begin(), err.end(), [](const std::string& l) {
        return l.ends_with(". Export anyway?");
      })) << r.Err;
    }
    const std::string tuf = row.Line.substr(row.Line.size() - 5);
    EXPECT_EQ(FileExists(Current.File(tuf)), row.Status == 0) << row.Line;
  }
  // Without a machine the set is the one the pattern always made.
  ASSERT_EQ(Run("export free.pat F.TUF").Status, 0);
  const Bytes tuf = FileBytes(Current.File("F.TUF")), dat = FileBytes(Current.File("F.DAT"));
  std::filesystem::remove(ProductionFileName(Current.File("free.pat")));
  ASSERT_EQ(Run("export free.pat F.TUF").Status, 0);
  EXPECT_EQ(FileBytes(Current.File("F.TUF")), tuf);
  EXPECT_EQ(FileBytes(Current.File("F.DAT")), dat);
}

} // namespace
} // namespace quillane::test
