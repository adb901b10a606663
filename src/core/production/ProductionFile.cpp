#include "production/ProductionFile.h"

#include <charconv>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "app/FileIO.h"
#include "production/Json.h"

namespace quillane {

namespace {

constexpr size_t MaxEntries = 255; // states and yarn types are bytes

double NumberField(const TJsonValue& v, const char* name) {
  if (v.Kind != TJsonValue::TKind::Number)
    RefuseJson(v.Line, std::string(name) + " must be a number");
  if (const std::string problem = ParameterValueProblem(name, v.Number); !problem.empty())
    RefuseJson(v.Line, problem);
  return v.Number;
}

const std::vector<TJsonValue>& ArrayField(const TJsonValue& v, const char* name) {
  if (v.Kind != TJsonValue::TKind::Array)
    RefuseJson(v.Line, std::string(name) + " must be a list in [ ]");
  if (v.Items.size() > MaxEntries)
    RefuseJson(v.Line, std::string(name) + " has more than 255 entries");
  return v.Items;
}

TYarnCount YarnCountField(const TJsonValue& v) {
  if (v.Kind != TJsonValue::TKind::Object)
    RefuseJson(v.Line, "each of yarnTypes must be an object in { }");
  RefuseRepeatedKeys(v);
  TYarnCount count;
  const TJsonValue* value = nullptr;
  for (size_t i = 0; i < v.Keys.size(); ++i) {
    const std::string& key = v.Keys[i];
    const TJsonValue& member = v.Items[i];
    if (key == "yarnCount") {
      if (member.Kind != TJsonValue::TKind::Number)
        RefuseJson(member.Line, "yarnCount must be a number");
      value = &member;
    } else if (key == "unit") {
      if (member.Kind != TJsonValue::TKind::String ||
          (member.Text != "dtex" && member.Text != "Nm"))
        RefuseJson(member.Line, "unit must be \"dtex\" or \"Nm\"");
      count.Unit = member.Text == "dtex" ? TYarnCountUnit::Dtex : TYarnCountUnit::Nm;
    }
  }
  if (!value)
    RefuseJson(v.Line, "yarnCount is missing");
  // The range is the unit's, which may come after the count.
  if (const std::string problem = ParameterValueProblem("yarnCount", value->Number, {}, count.Unit);
      !problem.empty())
    RefuseJson(value->Line, problem);
  count.Value = value->Number;
  return count;
}

} // namespace

std::string NumberText(double v) {
  char buffer[32];
  // -0 reads back as 0 anyway; nobody should have to wonder what it means.
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, v == 0 ? 0.0 : v);
  return std::string(buffer, error == std::errc() ? end : buffer);
}

std::string ProductionFileName(const std::string& patternPath) {
  // Only the last extension goes: "rug.v2.pat" keeps its "v2".
  std::filesystem::path path(patternPath);
  return path.replace_extension(".production.json").string();
}

TBytes ProductionParametersBytes(const TProductionParameters& parameters) {
  std::string out = "{\n  \"tuftLength\": [";
  for (size_t s = 0; s < parameters.TuftLength.size(); ++s) {
    out += s ? ", " : "";
    out += NumberText(parameters.TuftLength[s]);
  }
  out += "],\n  \"yarnTypes\": [";
  for (size_t y = 0; y < parameters.YarnCounts.size(); ++y) {
    const TYarnCount& count = parameters.YarnCounts[y];
    out += y ? ",\n    " : "\n    ";
    out += "{\"yarnCount\": ";
    out += NumberText(count.Value);
    out += count.Unit == TYarnCountUnit::Dtex ? ", \"unit\": \"dtex\"}" : ", \"unit\": \"Nm\"}";
  }
  out += parameters.YarnCounts.empty() ? "],\n" : "\n  ],\n";
  for (const auto& [name, value] : {std::pair{"coneWeight", parameters.ConeWeight},
                                    {"runLength", parameters.RunLength},
                                    {"waste", parameters.Waste}}) {
    out += std::string("  \"") + name + "\": ";
    out += NumberText(value);
    out += ",\n";
  }
  // Only when set: a file written before these were known keeps its bytes.
  if (!parameters.Machine.empty())
    out += "  \"machine\": " + JsonText(parameters.Machine) + ",\n";
  if (parameters.GoodsWidth != 0)
    out += "  \"goodsWidth\": " + NumberText(parameters.GoodsWidth) + ",\n";
  if (parameters.Selvage != 0)
    out += "  \"selvage\": " + NumberText(parameters.Selvage) + ",\n";
  out += parameters.BackupPackage ? "  \"backupPackage\": true\n}\n"
                                  : "  \"backupPackage\": false\n}\n";
  return TBytes(out.begin(), out.end());
}

TProductionParameters ReadProductionParameters(std::span<const uint8_t> bytes) {
  const TJsonValue document = ReadJsonObject(bytes);
  TProductionParameters parameters;
  for (size_t i = 0; i < document.Keys.size(); ++i) {
    const std::string& key = document.Keys[i];
    const TJsonValue& v = document.Items[i];
    if (key == "tuftLength") {
      for (const TJsonValue& item : ArrayField(v, "tuftLength"))
        parameters.TuftLength.push_back(NumberField(item, "tuftLength"));
    } else if (key == "yarnTypes") {
      for (const TJsonValue& item : ArrayField(v, "yarnTypes"))
        parameters.YarnCounts.push_back(YarnCountField(item));
    } else if (key == "coneWeight") {
      parameters.ConeWeight = NumberField(v, "coneWeight");
    } else if (key == "runLength") {
      parameters.RunLength = NumberField(v, "runLength");
    } else if (key == "waste") {
      parameters.Waste = NumberField(v, "waste");
    } else if (key == "backupPackage") {
      if (v.Kind != TJsonValue::TKind::Boolean)
        RefuseJson(v.Line, "backupPackage must be true or false");
      parameters.BackupPackage = v.Truth;
    } else if (key == "machine") {
      if (v.Kind != TJsonValue::TKind::String)
        RefuseJson(v.Line, "machine must be a text");
      if (const std::string problem = MachineNameProblem(v.Text); !problem.empty())
        RefuseJson(v.Line, problem);
      parameters.Machine = v.Text;
    } else if (key == "goodsWidth") {
      parameters.GoodsWidth = NumberField(v, "goodsWidth");
    } else if (key == "selvage") {
      parameters.Selvage = NumberField(v, "selvage");
    }
  }
  return parameters;
}

bool NoSuchFile(const std::string& path) {
  // Only a name that leads nowhere means "no parameters": a pipe, a device, a folder or a
  // link loop under that name is refused as any input is.
  std::error_code ec;
  return std::filesystem::status(path, ec).type() == std::filesystem::file_type::not_found;
}

TProductionParameters ReadProductionParametersFile(const std::string& path) {
  if (NoSuchFile(path))
    return {};
  try {
    return ReadProductionParameters(ReadFileBytes(path));
  } catch (const std::exception& e) {
    throw EProduction("Error reading production parameters: " + path + ": " + e.what());
  }
}

TProductionParameters LoadProductionParameters(const std::string& path, const OPattern& pattern) {
  TProductionParameters parameters = ReadProductionParametersFile(path);
  CompleteProductionParameters(parameters, pattern);
  return parameters;
}

void SaveProductionParameters(const std::string& path, const TProductionParameters& parameters) {
  if (const std::string problem = ProductionParameterProblem(parameters); !problem.empty())
    throw EProduction(problem);
  WriteFileAtomic(path, ProductionParametersBytes(parameters));
}

} // namespace quillane
