#include "shell/PatternCheck.h"

namespace quillane {

TPatternCheckSetup PatternCheckSetup(const OPattern&, const std::string&, const std::string&) {
  TPatternCheckSetup setup;
  setup.Profile = AnyMachine();
  return setup;
}

std::string ExportCheckQuestion(const OPattern&, const std::string&) {
  return {};
}

} // namespace quillane
