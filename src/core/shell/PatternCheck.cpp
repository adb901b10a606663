#include "shell/PatternCheck.h"

#include "app/App.h"
#include "app/FileIO.h"
#include "production/CheckReport.h"
#include "production/ProductionFile.h"

namespace quillane {

TPatternCheckSetup PatternCheckSetup(const OPattern& pattern, const std::string& patternPath,
                                     const std::string& machineFile) {
  TPatternCheckSetup setup;
  // A pattern never saved has no parameters file beside it.
  setup.Parameters = patternPath.empty()
                         ? DefaultProductionParameters(pattern)
                         : LoadProductionParameters(ProductionFileName(patternPath), pattern);
  if (!machineFile.empty()) {
    setup.Profile = ReadMachineProfileFile(machineFile);
    setup.Named = true;
    return setup;
  }
  const std::string& name = setup.Parameters.Machine;
  setup.Named = !name.empty() && name != AnyMachineName;
  if (!setup.Named) {
    setup.Profile = AnyMachine();
    return setup;
  }
  // The design directory first, as DEFAULT files are looked up, then the pattern's folder.
  std::vector<std::string> folders;
  for (const std::string& given : {g.CurrentDir, FolderOf(patternPath)}) {
    const std::string folder = given.empty() ? std::string(".") : given;
    if (folders.empty() || !SameFile(folders.front(), folder))
      folders.push_back(folder);
  }
  setup.Profile = FindMachineProfile(name, folders);
  return setup;
}

TExportCheck ExportCheck(const OPattern& pattern, const std::string& patternPath) {
  TExportCheck check;
  try {
    const TPatternCheckSetup setup = PatternCheckSetup(pattern, patternPath);
    if (!setup.Named)
      return check;
    check.Findings = CheckPattern(pattern, setup.Profile, setup.Parameters);
    check.Question = ExportQuestion(check.Findings, setup.Profile.Name);
  } catch (const EProduction& e) {
    // Unread parameters may name a machine: the export cannot tell that the machine runs it.
    check.Findings.clear();
    std::string why = e.what();
    while (!why.empty() && (why.back() == '.' || why.back() == ' '))
      why.pop_back();
    check.Question = why + ". Export anyway?";
  }
  return check;
}

std::string ExportCheckQuestion(const OPattern& pattern, const std::string& patternPath) {
  return ExportCheck(pattern, patternPath).Question;
}

} // namespace quillane
