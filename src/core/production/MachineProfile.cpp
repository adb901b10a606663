#include "production/MachineProfile.h"

namespace quillane {

TMachineProfile AnyMachine() {
  TMachineProfile profile;
  profile.Name = AnyMachineName;
  return profile;
}

std::optional<double> GaugeInches(const std::string&) {
  return std::nullopt;
}
std::optional<double> WorkingWidthMm(const TMachineProfile&) {
  return std::nullopt;
}
std::string MachineProfileFileName(const std::string& folder, const std::string& name) {
  return folder + "/" + name + ".machine.json";
}
std::vector<std::string> MachineProfileNames(const std::string&) {
  return {};
}
TBytes MachineProfileBytes(const TMachineProfile&) {
  return {};
}
TMachineProfile ReadMachineProfile(std::span<const uint8_t>) {
  return AnyMachine();
}
TMachineProfile ReadMachineProfileFile(const std::string&) {
  return AnyMachine();
}
void SaveMachineProfile(const std::string&, const TMachineProfile&) {}
TMachineProfile FindMachineProfile(const std::string&, const std::vector<std::string>&) {
  return AnyMachine();
}

} // namespace quillane
