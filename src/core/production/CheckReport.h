#pragma once

#include <string>
#include <vector>

#include "production/MachineCheck.h"

namespace quillane {

// "17" or "17-20": a range of needles or PLines as the findings print it; a range that wraps
// through the repeat prints as it runs, "19990-12".
std::string RangeText(int first, int last);

// One finding a line: "float error 17 19990-12 MESSAGE".
std::string FindingsText(const std::vector<TFinding>& findings);
// {"machine": NAME, "errors": N, "warnings": N, "findings": [{"rule", "severity",
// "needles": [first, last], "plines": [first, last], "message"}, ...]}, one finding a line.
std::string FindingsJson(const std::vector<TFinding>& findings, const std::string& machine);
// A header, then one row per finding: rule,severity,firstNeedle,lastNeedle,firstPLine,
// lastPLine,message; text quoted where it holds a comma, a quote or a line break.
std::string FindingsCsv(const std::vector<TFinding>& findings);

// "3 errors against Tufter 4: MESSAGE; MESSAGE; ... Export anyway?": the first few errors'
// messages, so the question says what the machine will meet.
std::string ExportQuestion(const std::vector<TFinding>& findings, const std::string& machine);
// The status bar's word: "2 errors, 1 warning against Tufter 4", "" with nothing found.
std::string CheckStatus(int64_t errors, int64_t warnings, const std::string& machine);

} // namespace quillane
