#pragma once

#include <string>
#include <vector>

#include "production/MachineCheck.h"

namespace quillane {

class OPattern;

// What a pattern is checked against: the profile its production parameters name, found in
// the current design directory or beside the pattern's file, and those parameters.
struct TPatternCheckSetup {
  TMachineProfile Profile;
  TProductionParameters Parameters;
  bool Named = false; // the parameters name a profile (other than "Any machine")
};
// Throws EProduction when the parameters file or the profile is refused or missing.
// `machineFile`, when given, is read instead of the named profile (and counts as named).
TPatternCheckSetup PatternCheckSetup(const OPattern& pattern, const std::string& patternPath,
                                     const std::string& machineFile = {});

// The question an export asks when the pattern names a profile and the check finds errors
// ("3 errors against Tufter 4: ... Export anyway?"); "" when the export goes ahead without
// asking, as it does for a pattern that names no profile. A profile that cannot be read is
// itself a reason to ask.
std::string ExportCheckQuestion(const OPattern& pattern, const std::string& patternPath);
// The same with the findings behind the question, for a caller that lists them (the command
// line prints them before it refuses); none when the question is not about findings.
struct TExportCheck {
  std::vector<TFinding> Findings;
  std::string Question;
};
TExportCheck ExportCheck(const OPattern& pattern, const std::string& patternPath);

} // namespace quillane
