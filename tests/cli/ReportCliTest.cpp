#include "CliSupport.h"
#include "InterchangeSupport.h"

#include <filesystem>
#include <numeric>
#include <regex>
#include <sstream>
#include <sys/stat.h>

#include "production/Production.h"
#include "production/ProductionFile.h"

namespace quillane::test {
namespace {

using ReportCli = TFlowTest;

TEST_F(ReportCli, TotalsAreTheSumsOfTheRowsInJsonAndCsv) {
  auto p = MakePattern(4, 12, 5, 3); // HLCS: three states, creel A B C A ...
  p->Settings->PLineSpacing = 2.5f;
  for (int pl = 1; pl <= 5; ++pl)
    for (int c = 1; c <= 12; ++c)
      p->SetState(c, pl, static_cast<uint8_t>((c * pl) % 4)); // 0 too: the undefined state
  p->FileName = Current.File("rug.pat");
  p->SaveToFile();
  TProductionParameters parameters = DefaultProductionParameters(*p);
  parameters.YarnCounts[1] = {15, TYarnCountUnit::Nm};
  parameters.RunLength = 3; // 1200 PLines: the pattern 240 times
  SaveProductionParameters(ProductionFileName(p->FileName), parameters);

  // 3 m from the file, then 0.03 m from the command line: 12 PLines, 2 passes and 2 more.
  for (const char* runLength : {"", "0.03"}) {
    SCOPED_TRACE(runLength);
    std::vector<std::string> args = {"report", "rug.pat", "-o", "-"};
    if (*runLength)
      args.insert(args.end(), {"--run-length", runLength});
    const TCliResult r = RunCli(Current.Path, args);
    ASSERT_EQ(r.Status, 0) << r.Err;
    const nlohmann::json j = r.Json();
    EXPECT_EQ(j["run"]["pLines"], *runLength ? 12 : 1200);
    ASSERT_EQ(j["needles"].size(), 12u);
    double length = 0, weight = 0, yarnLength = 0, yarnWeight = 0;
    uint64_t packages = 0;
    for (const auto& n : j["needles"]) {
      length += n["length"].get<double>();
      weight += n["weight"].get<double>();
    }
    for (const auto& y : j["yarnTypes"]) {
      yarnLength += y["length"].get<double>();
      yarnWeight += y["weight"].get<double>();
      packages += y["packages"].get<uint64_t>();
    }
    const nlohmann::json& t = j["totals"];
    EXPECT_GT(length, 0);
    EXPECT_NEAR(t["length"].get<double>(), length, 1e-9 * length);
    EXPECT_NEAR(t["length"].get<double>(), yarnLength, 1e-9 * length);
    EXPECT_NEAR(t["weight"].get<double>(), weight, 1e-9 * weight);
    EXPECT_NEAR(t["weight"].get<double>(), yarnWeight, 1e-9 * weight);
    EXPECT_EQ(t["packages"], packages);
    // One package a needle end and its backup: 3 m takes under 5 kg on every needle.
    EXPECT_EQ(packages, 2u * 12);
    EXPECT_EQ(j["firstEmpty"]["packages"], 2);
    EXPECT_EQ(t["tufts"], 12 * j["run"]["pLines"].get<uint64_t>());
  }

  // The CSV holds the same rows: 12 needles, the yarn types and their total, the states;
  // each figure as the sheet shows it, so that the rows add up to the total as printed.
  const TCliResult csv = RunLine(Current.Path, "report rug.pat -o rug.csv");
  ASSERT_EQ(csv.Status, 0) << csv.Err;
  const std::string text = ReadText(Current.File("rug.csv"));
  EXPECT_EQ(text.rfind("control,yarnType,length_m,weight_kg\r\n1,A,", 0), 0u);
  const size_t yarn =
      text.find("\r\n\r\nyarnType,length_m,weight_kg,weightWithWaste_kg,ends,packages\r\n");
  ASSERT_NE(yarn, std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 12 + 1 + 1 + 3 + 1 + 1 + 1 + 3 + 1);
  EXPECT_NE(text.find("\r\n\r\nstate,tufts\r\n"), std::string::npos);
  std::istringstream rows(text.substr(yarn + 4));
  std::vector<int64_t> sum(5, 0), total(5, 0); // cm, g, g with waste, ends, packages
  std::string row;
  for (std::getline(rows, row); std::getline(rows, row) && row != "\r";) {
    std::istringstream cells(row.substr(row.find(',') + 1));
    size_t i = 0;
    for (std::string cell; std::getline(cells, cell, ','); ++i) {
      cell.erase(std::remove(cell.begin(), cell.end(), '.'), cell.end());
      (row.starts_with("total") ? total : sum)[i] += std::stoll(cell);
    }
  }
  EXPECT_EQ(sum, total);
  EXPECT_EQ(text.find("000000"), std::string::npos); // no binary fraction in the last digits

  // Refused before anything is written: a format we do not write, a run length out of range.
  for (const char* line :
       {"report rug.pat -o rug.txt", "report rug.pat --run-length -1 -o r.json"}) {
    const TCliResult r = RunLine(Current.Path, line);
    EXPECT_EQ(r.Status, 2) << line;
    EXPECT_FALSE(FileExists(Current.File("rug.txt")) || FileExists(Current.File("r.json")));
  }
  // Parameters refused by line and field, and names that lead to no file: nothing written.
  WriteBytes(Current.File("bad.json"), Text("{\n\"waste\": -1}"));
  ASSERT_EQ(::mkfifo(Current.File("fifo.json").c_str(), 0600), 0);
  std::filesystem::create_directory(Current.File("dir.json"));
  std::filesystem::create_symlink("loop.json", Current.File("loop.json"));
  for (const auto& [name, says] : std::vector<std::pair<std::string, std::string>>{
           {"bad.json", "bad.json: line 2: waste must be from 0 to 100 %"},
           {"fifo.json", "fifo.json\": not a regular file but a pipe"},
           {"dir.json", "dir.json\": not a regular file but a folder"},
           {"/dev/null", "/dev/null\": not a regular file but a device"},
           {"loop.json", "loop.json\". Too many levels of symbolic links"},
           {"none.json", "Error, production parameters file not found: none.json"}}) {
    const TCliResult r =
        RunLine(Current.Path, "report rug.pat --parameters " + name + " -o r.json");
    EXPECT_EQ(r.Status, 1) << name;
    EXPECT_NE(r.Err.find(says), std::string::npos) << r.Err;
    EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
    EXPECT_FALSE(FileExists(Current.File("r.json")));
  }
}

// The sheet's yarn table shows the JSON's figures as the Production window rounds them;
// the pattern is large enough for the weights with and without waste to differ.
TEST_F(ReportCli, SheetPdfOpensAndHoldsTheYarnTableOfTheJson) {
  if (std::system("command -v pdftotext >/dev/null && command -v pdfinfo >/dev/null") != 0)
    GTEST_SKIP() << "pdftotext and pdfinfo (poppler-utils) are not installed";
  ASSERT_EQ(RunLine(Current.Path, "wizard plain --controls 400 --plines 300 -o p.pat").Status, 0);
  const TCliResult json = RunLine(Current.Path, "report p.pat -o -");
  ASSERT_EQ(json.Status, 0) << json.Err;
  const TCliResult pdf = RunLine(Current.Path, "report p.pat -o p.pdf");
  ASSERT_EQ(pdf.Status, 0) << pdf.Err;
  const std::string folder = ShellQuote(Current.Path);
  EXPECT_EQ(std::system(("cd " + folder + " && pdfinfo p.pdf >/dev/null 2>&1").c_str()), 0);
  // The yarns' colours as they are: no picture in it is a JPEG.
  EXPECT_EQ(ReadText(Current.File("p.pdf")).find("/DCTDecode"), std::string::npos);
  ASSERT_EQ(std::system(("cd " + folder + " && pdftotext -layout p.pdf p.txt").c_str()), 0);
  std::istringstream lines(ReadText(Current.File("p.txt")));
  std::vector<std::string> rows;
  for (std::string line; std::getline(lines, line);)
    rows.push_back(line);
  const nlohmann::json j = json.Json();
  std::vector<nlohmann::json> yarn(j["yarnTypes"].begin(), j["yarnTypes"].end());
  yarn.push_back(j["totals"]);
  yarn.back()["yarnType"] = "Total";
  yarn.back()["ends"] = 400;
  ASSERT_EQ(yarn.size(), 4u);
  for (const nlohmann::json& y : yarn) {
    const std::string row = "^\\s*" + y["yarnType"].get<std::string>() + "\\s.*\\s" +
                            MetresText(y["length"].get<double>()) + "\\s+" +
                            KilogramsText(y["weight"].get<double>()) + "\\s+" +
                            KilogramsText(y["weightWithWaste"].get<double>()) + "\\s+" +
                            std::to_string(y["ends"].get<uint64_t>()) + "\\s+" +
                            std::to_string(y["packages"].get<uint64_t>()) + "\\s*$";
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                            [&](const std::string& line) {
                              return std::regex_search(line, std::regex(row));
                            }),
              1)
        << row;
  }
  // Written whole under its name: the pattern, the sheet and its text, nothing beside them.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Current.Path), {}), 3);
}

} // namespace
} // namespace quillane::test
