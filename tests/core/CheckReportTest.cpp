#include "InterchangeSupport.h"

#include "production/CheckReport.h"
#include "production/ProductionFile.h"
#include "shell/PatternCheck.h"

namespace quillane::test {
namespace {

TFinding Finding(TRule rule, TSeverity severity, int n1, int n2, int p1, int p2,
                 std::string message) {
  return {rule, severity, n1, n2, p1, p2, std::move(message)};
}

// A float that wraps through the repeat; a message a spreadsheet or a JSON reader trips on;
// a state name from the pattern in its code page (0xD6 is Ö), a control byte and a backslash.
const std::vector<TFinding> Findings = {
    Finding(TRule::Float, TSeverity::Error, 17, 17, 19990, 12, "Needle 17 floats 31 PLines"),
    Finding(TRule::ShortRun, TSeverity::Warning, 1, 4, 5, 5, "a, \"b\"\r\nc"),
    Finding(TRule::State, TSeverity::Error, 3, 3, 1, 1,
            "State \xD6"
            "ff\x01\\"),
};

TEST(CheckReport, TextJsonAndCsvCarryEveryFindingEscapedForTheirReader) {
  EXPECT_EQ(FindingsText(Findings), "float error 17 19990-12 Needle 17 floats 31 PLines\n"
                                    "short-run warning 1-4 5 a, \"b\"  c\n"
                                    "state error 3 1 State \xC3\x96"
                                    "ff\\x01\\\n");
  EXPECT_EQ(FindingsJson(Findings, "Tufter \"4\""),
            "{\n  \"machine\": \"Tufter \\\"4\\\"\",\n  \"errors\": 2,\n  \"warnings\": 1,\n"
            "  \"findings\": [\n"
            "    {\"rule\": \"float\", \"severity\": \"error\", \"needles\": [17, 17], "
            "\"plines\": [19990, 12], \"message\": \"Needle 17 floats 31 PLines\"},\n"
            "    {\"rule\": \"short-run\", \"severity\": \"warning\", \"needles\": [1, 4], "
            "\"plines\": [5, 5], \"message\": \"a, \\\"b\\\"\\u000d\\nc\"},\n"
            "    {\"rule\": \"state\", \"severity\": \"error\", \"needles\": [3, 3], "
            "\"plines\": [1, 1], \"message\": \"State \xC3\x96"
            "ff\\u0001\\\\\"}\n"
            "  ]\n}\n");
  EXPECT_EQ(FindingsJson({}, "Any machine"), "{\n  \"machine\": \"Any machine\",\n"
                                             "  \"errors\": 0,\n  \"warnings\": 0,\n"
                                             "  \"findings\": []\n}\n");
  EXPECT_EQ(FindingsCsv(Findings),
            "rule,severity,firstNeedle,lastNeedle,firstPLine,lastPLine,message\r\n"
            "float,error,17,17,19990,12,Needle 17 floats 31 PLines\r\n"
            "short-run,warning,1,4,5,5,\"a, \"\"b\"\"\r\nc\"\r\n"
            "state,error,3,3,1,1,State \xC3\x96"
            "ff\x01\\\r\n");
  EXPECT_EQ(FindingsCsv({}),
            "rule,severity,firstNeedle,lastNeedle,firstPLine,lastPLine,message\r\n");
}

TEST(CheckReport, TheExportQuestionNamesTheFirstErrorsAndCountsTheRest) {
  auto errors = [](int count) {
    std::vector<TFinding> found{Finding(TRule::Imbalance, TSeverity::Warning, 1, 1, 1, 1, "W")};
    for (int i = 1; i <= count; ++i)
      found.push_back(Finding(TRule::Float, TSeverity::Error, i, i, 1, 9, "E" + std::to_string(i)));
    return found;
  };
  const struct {
    std::vector<TFinding> Found;
    std::string Machine, Question, Status;
  } rows[] = {
      // Warnings alone are no reason to ask.
      {errors(0), "Tufter 4", "", "1 warning against Tufter 4"},
      {errors(1), "Tufter 4", "1 error against Tufter 4: E1. Export anyway?",
       "1 error, 1 warning against Tufter 4"},
      {errors(3), "Tufter 4", "3 errors against Tufter 4: E1; E2; E3. Export anyway?",
       "3 errors, 1 warning against Tufter 4"},
      {errors(5), "Tufter 4", "5 errors against Tufter 4: E1; E2; E3 … and 2 more. Export anyway?",
       "5 errors, 1 warning against Tufter 4"},
      // The built-in profile limits nothing, so it is not named; a sentence's own stop stays
      // single.
      {{Finding(TRule::Colour, TSeverity::Error, 2, 2, 3, 3, "Colour 9 shows no yarn.")},
       "Any machine",
       "1 error: Colour 9 shows no yarn. Export anyway?",
       "1 error"},
      {{}, "Tufter 4", "", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ExportQuestion(row.Found, row.Machine), row.Question);
    int64_t e = 0, w = 0;
    for (const TFinding& f : row.Found)
      ++(f.Severity == TSeverity::Error ? e : w);
    EXPECT_EQ(CheckStatus(e, w, row.Machine), row.Status);
  }
}

using PatternCheck = TFlowTest;

// Parameters that cannot be read may name a machine: the export asks, saying why.
TEST_F(PatternCheck, TheExportAsksOnlyWhenItCannotTellThePatternFits) {
  auto p = MakePattern(4, 6, 4, 2);
  const std::string path = Current.File("rug.pat");
  EXPECT_EQ(ExportCheckQuestion(*p, path), "");
  EXPECT_EQ(ExportCheckQuestion(*p, ""), "");
  WriteBytes(ProductionFileName(path), Text("{\n\"waste\": -1}"));
  const std::string question = ExportCheckQuestion(*p, path);
  EXPECT_EQ(question.rfind("Error reading production parameters: " + ProductionFileName(path), 0),
            0u)
      << question;
  EXPECT_NE(question.find("line 2: waste"), std::string::npos) << question;
  EXPECT_TRUE(question.ends_with(". Export anyway?")) << question;
}

} // namespace
} // namespace quillane::test
