#include "production/MachineProfile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <string_view>
#include <type_traits>

#include "app/FileIO.h"
#include "production/Json.h"
#include "production/ProductionFile.h"

namespace quillane {

namespace {

constexpr std::string_view ProfileExtension = ".machine.json";
constexpr size_t MaxStates = 255; // states are bytes

// The ranges a mill could mean; a whole count is refused with a fraction.
struct TProfileLimit {
  const char* Name;
  double Low, High;
  const char* Unit;
  bool Whole;
};
constexpr TProfileLimit ProfileLimits[] = {
    {"needles", 1, 10000, "", true},
    {"longestFloatPLines", 1, 100000, " PLines", true},
    {"shortestStateRunPLines", 1, 100000, " PLines", true},
    {"largestPileStepMm", 0, 100, " mm", false},
    {"creelPositions", 1, 100000, "", true},
    {"creelYarnTypes", 1, 255, "", true},
    {"largestStitchesPerMinute", 1, 10000, "", false},
    {"pLineSpacingMm", 0.1, 100, " mm", false},
    {"largestImbalancePercent", 0, 1000, " %", false},
    {"state", 1, 255, "", true},
};

// "0.1" and "100000", as a person writes them, not "1e+05".
std::string PlainNumber(double v) {
  char buffer[32];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed);
  return std::string(buffer, error == std::errc() ? end : buffer);
}

const TProfileLimit& LimitOf(std::string_view name) {
  for (const TProfileLimit& limit : ProfileLimits)
    if (name == limit.Name)
      return limit;
  return ProfileLimits[0];
}

double ProfileNumber(const TJsonValue& v, std::string_view name) {
  const TProfileLimit& limit = LimitOf(name);
  if (v.Kind == TJsonValue::TKind::Number && v.Number >= limit.Low && v.Number <= limit.High &&
      (!limit.Whole || v.Number == std::floor(v.Number)))
    return v.Number;
  RefuseJson(v.Line, std::string(name) + " must be a " + (limit.Whole ? "whole " : "") +
                         "number from " + PlainNumber(limit.Low) + " to " +
                         PlainNumber(limit.High) + limit.Unit);
}

int ProfileCount(const TJsonValue& v, std::string_view name) {
  return static_cast<int>(ProfileNumber(v, name));
}

bool UsableName(std::string_view name) {
  return !name.empty() && MachineNameProblem(name).empty();
}

std::string ProfileName(const TJsonValue& v) {
  // A name is shown in messages and lists, one line each: no control characters, and no
  // longer than a profile's file name may be. A "/" is allowed here, as in "Tufter 4/2".
  std::string stripped = v.Text;
  std::replace(stripped.begin(), stripped.end(), '/', '-');
  std::replace(stripped.begin(), stripped.end(), '\\', '-');
  if (v.Kind != TJsonValue::TKind::String || !UsableName(stripped))
    RefuseJson(v.Line, "name must be a text of 1 to 64 characters without control characters");
  return v.Text;
}

TTuft TuftNamed(const TJsonValue& v) {
  if (v.Kind == TJsonValue::TKind::String) {
    if (v.Text == "cut")
      return TTuft::Cut;
    if (v.Text == "loop")
      return TTuft::Loop;
    if (v.Text == "none")
      return TTuft::None;
  }
  RefuseJson(v.Line, "tuft must be \"cut\", \"loop\" or \"none\"");
}

const char* TuftName(TTuft tuft) {
  return tuft == TTuft::Cut ? "cut" : tuft == TTuft::Loop ? "loop" : "none";
}

std::vector<TProfileState> ProfileStates(const TJsonValue& v) {
  if (v.Kind != TJsonValue::TKind::Array || v.Items.empty() || v.Items.size() > MaxStates)
    RefuseJson(v.Line, "states must be a list in [ ] of 1 to 255 states");
  std::vector<TProfileState> states;
  for (const TJsonValue& item : v.Items) {
    if (item.Kind != TJsonValue::TKind::Object)
      RefuseJson(item.Line, "each of states must be an object in { }");
    RefuseRepeatedKeys(item);
    const TJsonValue* state = nullptr;
    const TJsonValue* tuft = nullptr;
    for (size_t i = 0; i < item.Keys.size(); ++i) {
      if (item.Keys[i] == "state")
        state = &item.Items[i];
      else if (item.Keys[i] == "tuft")
        tuft = &item.Items[i];
    }
    if (!state)
      RefuseJson(item.Line, "state is missing");
    if (!tuft)
      RefuseJson(item.Line, "tuft is missing");
    const TProfileState read{ProfileCount(*state, "state"), TuftNamed(*tuft)};
    // Two answers for one state would leave the check to pick one.
    if (std::any_of(states.begin(), states.end(),
                    [&](const TProfileState& s) { return s.State == read.State; }))
      RefuseJson(state->Line, "state " + std::to_string(read.State) + " is given twice");
    states.push_back(read);
  }
  return states;
}

std::pair<double, double> SpacingRange(const TJsonValue& v) {
  if (v.Kind != TJsonValue::TKind::Array || v.Items.size() != 2)
    RefuseJson(v.Line, "pLineSpacingMm must be a list of two numbers, [min, max]");
  const double min = ProfileNumber(v.Items[0], "pLineSpacingMm");
  const double max = ProfileNumber(v.Items[1], "pLineSpacingMm");
  if (min > max)
    RefuseJson(v.Items[1].Line, "pLineSpacingMm must give the smallest spacing first");
  return {min, max};
}

// The profiles' file names in `folder`, each with its profile's name, sorted by name.
std::vector<std::pair<std::string, std::string>> ProfileFiles(const std::string& folder) {
  std::vector<std::pair<std::string, std::string>> files;
  if (folder.empty()) // no folder, not wherever the program was started
    return files;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::string file = it->path().filename().string();
    if (file.size() <= ProfileExtension.size() || !file.ends_with(ProfileExtension))
      continue;
    std::string name = file.substr(0, file.size() - ProfileExtension.size());
    std::error_code typeError;
    if (!UsableName(name) || name == AnyMachineName || it->is_directory(typeError))
      continue;
    files.emplace_back(std::move(name), it->path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

} // namespace

TMachineProfile AnyMachine() {
  TMachineProfile profile;
  profile.Name = AnyMachineName;
  return profile;
}

std::optional<double> GaugeInches(const std::string& gauge) {
  // What a mill writes on a machine's plate: a fraction of an inch of whole numbers, "1/10",
  // "5/32", "3/16". A decimal ("1/10.5") or a metric pitch is no gauge of ours.
  const size_t slash = gauge.find('/');
  if (slash == std::string::npos)
    return std::nullopt;
  auto whole = [](std::string_view digits) -> int {
    if (digits.empty() || digits.size() > 3 || digits.front() == '0' ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return 0;
    int value = 0;
    for (char c : digits)
      value = value * 10 + (c - '0');
    return value;
  };
  const int numerator = whole(std::string_view(gauge).substr(0, slash));
  const int denominator = whole(std::string_view(gauge).substr(slash + 1));
  if (numerator == 0 || denominator == 0)
    return std::nullopt;
  // From 1/20 to 1/4 inch, compared in whole numbers so that "1/20" itself is in.
  if (numerator * 20 < denominator || numerator * 4 > denominator)
    return std::nullopt;
  return static_cast<double>(numerator) / denominator;
}

std::optional<double> WorkingWidthMm(const TMachineProfile& profile) {
  const std::optional<double> inches = profile.Gauge ? GaugeInches(*profile.Gauge) : std::nullopt;
  if (!inches || !profile.Needles)
    return std::nullopt;
  return *profile.Needles * *inches * 25.4;
}

std::string MachineProfileFileName(const std::string& folder, const std::string& name) {
  if (folder.empty())
    return name + std::string(ProfileExtension);
  const bool separated = folder.back() == '/' || folder.back() == '\\';
  if (!separated) // joined with the system's own separator
    return JoinPath(folder, name + std::string(ProfileExtension));
  return folder + name + std::string(ProfileExtension);
}

std::vector<std::string> MachineProfileNames(const std::string& folder) {
  std::vector<std::string> names;
  for (auto& [name, file] : ProfileFiles(folder))
    names.push_back(std::move(name));
  return names;
}

TBytes MachineProfileBytes(const TMachineProfile& p) {
  std::vector<std::string> lines;
  auto field = [&lines](const char* key, const std::string& value) {
    lines.push_back(std::string("  \"") + key + "\": " + value);
  };
  // Counts as whole numbers ("100000", never "1e+05"), measures as the production file's.
  auto number = [&](const char* key, const auto& value) {
    if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::optional<int>>) {
      if (value)
        field(key, std::to_string(*value));
    } else if (value) {
      field(key, NumberText(*value));
    }
  };
  if (!p.Name.empty())
    field("name", JsonText(p.Name));
  number("needles", p.Needles);
  if (p.Gauge)
    field("gauge", JsonText(*p.Gauge));
  if (!p.States.empty()) {
    std::string states = "[";
    for (size_t i = 0; i < p.States.size(); ++i)
      states += (i ? ",\n    {\"state\": " : "\n    {\"state\": ") +
                std::to_string(p.States[i].State) + ", \"tuft\": \"" + TuftName(p.States[i].Tuft) +
                "\"}";
    field("states", states + "\n  ]");
  }
  number("longestFloatPLines", p.LongestFloatPLines);
  number("shortestStateRunPLines", p.ShortestStateRunPLines);
  number("largestPileStepMm", p.LargestPileStepMm);
  number("creelPositions", p.CreelPositions);
  number("creelYarnTypes", p.CreelYarnTypes);
  number("largestStitchesPerMinute", p.LargestStitchesPerMinute);
  if (p.PLineSpacingMm)
    field("pLineSpacingMm", "[" + NumberText(p.PLineSpacingMm->first) + ", " +
                                NumberText(p.PLineSpacingMm->second) + "]");
  number("largestImbalancePercent", p.LargestImbalancePercent);
  std::string out = "{\n";
  for (size_t i = 0; i < lines.size(); ++i)
    out += lines[i] + (i + 1 < lines.size() ? ",\n" : "\n");
  out += "}\n";
  return TBytes(out.begin(), out.end());
}

TMachineProfile ReadMachineProfile(std::span<const uint8_t> bytes) {
  const TJsonValue document = ReadJsonObject(bytes);
  TMachineProfile p;
  for (size_t i = 0; i < document.Keys.size(); ++i) {
    const std::string& key = document.Keys[i];
    const TJsonValue& v = document.Items[i];
    if (key == "name") {
      p.Name = ProfileName(v);
    } else if (key == "needles") {
      p.Needles = ProfileCount(v, key);
    } else if (key == "gauge") {
      if (v.Kind != TJsonValue::TKind::String || !GaugeInches(v.Text))
        RefuseJson(v.Line, "gauge must be a fraction of an inch from 1/20 to 1/4, such as "
                           "\"1/10\" or \"5/32\"");
      p.Gauge = v.Text;
    } else if (key == "states") {
      p.States = ProfileStates(v);
    } else if (key == "longestFloatPLines") {
      p.LongestFloatPLines = ProfileCount(v, key);
    } else if (key == "shortestStateRunPLines") {
      p.ShortestStateRunPLines = ProfileCount(v, key);
    } else if (key == "largestPileStepMm") {
      p.LargestPileStepMm = ProfileNumber(v, key);
    } else if (key == "creelPositions") {
      p.CreelPositions = ProfileCount(v, key);
    } else if (key == "creelYarnTypes") {
      p.CreelYarnTypes = ProfileCount(v, key);
    } else if (key == "largestStitchesPerMinute") {
      p.LargestStitchesPerMinute = ProfileNumber(v, key);
    } else if (key == "pLineSpacingMm") {
      p.PLineSpacingMm = SpacingRange(v);
    } else if (key == "largestImbalancePercent") {
      p.LargestImbalancePercent = ProfileNumber(v, key);
    }
  }
  return p;
}

TMachineProfile ReadMachineProfileFile(const std::string& path) {
  TMachineProfile profile;
  try {
    profile = ReadMachineProfile(ReadFileBytes(path));
  } catch (const std::exception& e) {
    throw EProduction("Error reading machine profile: " + path + ": " + e.what());
  }
  // A profile without a name goes by its file's, so that a finding can say which machine.
  const std::string file = std::filesystem::path(path).filename().string();
  if (profile.Name.empty())
    profile.Name = file.ends_with(ProfileExtension)
                       ? file.substr(0, file.size() - ProfileExtension.size())
                       : file;
  return profile;
}

void SaveMachineProfile(const std::string& path, const TMachineProfile& profile) {
  // What could not be read back is not written: the reader is the one judge of a profile.
  const TBytes bytes = MachineProfileBytes(profile);
  const TMachineProfile read = ReadMachineProfile(bytes);
  if (!(read == profile))
    throw EProduction("The machine profile holds a value that cannot be written");
  WriteFileAtomic(path, bytes);
}

TMachineProfile FindMachineProfile(const std::string& name,
                                   const std::vector<std::string>& folders) {
  if (name.empty() || name == AnyMachineName)
    return AnyMachine();
  std::vector<std::string> searched;
  // A name with a separator would reach outside the folders: no file of theirs has it.
  if (MachineNameProblem(name).empty()) {
    for (const std::string& folder : folders) {
      if (folder.empty() || std::find(searched.begin(), searched.end(), folder) != searched.end())
        continue;
      const std::string path = MachineProfileFileName(folder, name);
      // A folder or a pipe under the profile's name is refused, not passed over.
      if (!NoSuchFile(path))
        return ReadMachineProfileFile(path);
      searched.push_back(folder);
    }
  }
  std::string where;
  for (const std::string& folder : searched)
    where += (where.empty() ? "" : " or ") + folder;
  throw EProduction("Machine profile " + name + " not found in " +
                    (where.empty() ? std::string("any folder") : where));
}

} // namespace quillane
