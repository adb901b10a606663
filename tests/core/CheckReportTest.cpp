#include <gtest/gtest.h>

#include "production/CheckReport.h"

namespace quillane::test {
namespace {

// A float that wraps through the repeat; a message a spreadsheet or a JSON reader trips on;
// a state name from the pattern in its code page (0xFC is ü), a control byte and a backslash.
const std::vector<TFinding> Findings = {
    {TRule::Float, TSeverity::Error, 17, 17, 19990, 12, "Needle 17 floats 31 PLines"},
    {TRule::ShortRun, TSeverity::Warning, 1, 4, 5, 5, "a, \"b\"\r\nc"},
    {TRule::State, TSeverity::Error, 3, 3, 1, 1, "State Gr\xFCn\x01\\"},
};

TEST(CheckReport, TextJsonAndCsvCarryEveryFindingEscapedForTheirReader) {
  EXPECT_EQ(FindingsText(Findings), "float error 17 19990-12 Needle 17 floats 31 PLines\n"
                                    "short-run warning 1-4 5 a, \"b\"  c\n"
                                    "state error 3 1 State Gr\xC3\xBCn\\x01\\\n");
  EXPECT_EQ(FindingsJson(Findings, "Tufter \"4\""),
            "{\n  \"machine\": \"Tufter \\\"4\\\"\",\n  \"errors\": 2,\n  \"warnings\": 1,\n"
            "  \"findings\": [\n"
            "    {\"rule\": \"float\", \"severity\": \"error\", \"needles\": [17, 17], "
            "\"plines\": [19990, 12], \"message\": \"Needle 17 floats 31 PLines\"},\n"
            "    {\"rule\": \"short-run\", \"severity\": \"warning\", \"needles\": [1, 4], "
            "\"plines\": [5, 5], \"message\": \"a, \\\"b\\\"\\u000d\\nc\"},\n"
            "    {\"rule\": \"state\", \"severity\": \"error\", \"needles\": [3, 3], "
            "\"plines\": [1, 1], \"message\": \"State Gr\xC3\xBCn\\u0001\\\\\"}\n"
            "  ]\n}\n");
  EXPECT_EQ(FindingsCsv(Findings),
            "rule,severity,firstNeedle,lastNeedle,firstPLine,lastPLine,message\r\n"
            "float,error,17,17,19990,12,Needle 17 floats 31 PLines\r\n"
            "short-run,warning,1,4,5,5,\"a, \"\"b\"\"\r\nc\"\r\n"
            "state,error,3,3,1,1,State Gr\xC3\xBCn\x01\\\r\n");
}

TEST(CheckReport, TheExportQuestionNamesTheFirstErrorsAndCountsTheRest) {
  auto errors = [](int count) {
    std::vector<TFinding> found{{TRule::Imbalance, TSeverity::Warning, 1, 1, 1, 1, "W"}};
    for (int i = 1; i <= count; ++i)
      found.push_back({TRule::Float, TSeverity::Error, i, i, 1, 9, "E" + std::to_string(i)});
    return found;
  };
  const struct {
    std::vector<TFinding> Found;
    std::string Machine, Question, Status;
  } rows[] = {
      // Warnings alone are no reason to ask.
      {errors(0), "Tufter 4", "", "1 warning against Tufter 4"},
      {errors(3), "Tufter 4", "3 errors against Tufter 4: E1; E2; E3. Export anyway?",
       "3 errors, 1 warning against Tufter 4"},
      {errors(5), "Tufter 4", "5 errors against Tufter 4: E1; E2; E3 … and 2 more. Export anyway?",
       "5 errors, 1 warning against Tufter 4"},
      // The built-in profile limits nothing, so it is not named; a sentence's own stop stays
      // single.
      {{{TRule::Colour, TSeverity::Error, 2, 2, 3, 3, "Colour 9 shows no yarn."}},
       "Any machine",
       "1 error: Colour 9 shows no yarn. Export anyway?",
       "1 error"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ExportQuestion(row.Found, row.Machine), row.Question);
    int64_t e = 0, w = 0;
    for (const TFinding& f : row.Found)
      ++(f.Severity == TSeverity::Error ? e : w);
    EXPECT_EQ(CheckStatus(e, w, row.Machine), row.Status);
  }
}

} // namespace
} // namespace quillane::test
