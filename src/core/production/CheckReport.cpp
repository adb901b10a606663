#include "production/CheckReport.h"

namespace quillane {

std::string RangeText(int first, int last) {
  return first == last ? std::to_string(first) : std::to_string(first) + "-" + std::to_string(last);
}
std::string FindingsText(const std::vector<TFinding>&) {
  return {};
}
std::string FindingsJson(const std::vector<TFinding>&, const std::string&) {
  return {};
}
std::string FindingsCsv(const std::vector<TFinding>&) {
  return {};
}
std::string ExportQuestion(const std::vector<TFinding>&, const std::string&) {
  return {};
}
std::string CheckStatus(int64_t, int64_t, const std::string&) {
  return {};
}

} // namespace quillane
