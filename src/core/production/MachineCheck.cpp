#include "production/MachineCheck.h"

namespace quillane {

std::string_view RuleName(TRule) {
  return "";
}
std::optional<TRule> RuleNamed(std::string_view) {
  return std::nullopt;
}
TSeverity RuleSeverity(TRule) {
  return TSeverity::Error;
}
std::string_view SeverityName(TSeverity severity) {
  return severity == TSeverity::Error ? "error" : "warning";
}
TRuleSet AllRules() {
  return TRuleSet(RuleCount, true);
}
std::vector<double> CheckPileHeights(const OPattern&, const TProductionParameters&) {
  return {};
}
std::vector<TFinding> CheckPattern(const OPattern&, const TMachineProfile&,
                                   const TProductionParameters&, const TRuleSet&) {
  return {};
}

struct OMachineCheck::TState {
  TMachineProfile Profile;
};
OMachineCheck::OMachineCheck() : State(std::make_unique<TState>()) {}
OMachineCheck::~OMachineCheck() = default;
OMachineCheck::OMachineCheck(OMachineCheck&&) noexcept = default;
OMachineCheck& OMachineCheck::operator=(OMachineCheck&&) noexcept = default;
void OMachineCheck::Begin(const OPattern&, const TMachineProfile& profile,
                          const TProductionParameters&, const TRuleSet&) {
  State->Profile = profile;
}
bool OMachineCheck::CheckMore(const OPattern&, int) {
  return true;
}
bool OMachineCheck::Complete() const {
  return true;
}
void OMachineCheck::Recheck(const OPattern&, const TRect&) {}
std::vector<TFinding> OMachineCheck::Findings() const {
  return {};
}
int64_t OMachineCheck::Errors() const {
  return 0;
}
int64_t OMachineCheck::Warnings() const {
  return 0;
}
const TMachineProfile& OMachineCheck::Profile() const {
  return State->Profile;
}
bool OMachineCheck::Marked(int, int, const TRuleSet&) const {
  return false;
}

} // namespace quillane
