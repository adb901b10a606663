#include "Dump.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <iostream>

#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "app/Text.h"
#include "model/DesignData.h"
#include "setup/Settings.h"

namespace quillane {

using Json = nlohmann::ordered_json;

Json SettingsJson(const OSettings& s) {
  Json j;
  j["ReversePattern"] = s.ReversePattern;
  j["MachineType"] = s.MachineType;
  j["NoControls"] = s.NoControls;
  j["NoPLines"] = s.NoPLines;
  j["OffsetAllowed"] = s.OffsetAllowed;
  j["SizeCode"] = Windows1252ToUtf8(s.GetSizeCode());
  j["StyleCode"] = Windows1252ToUtf8(s.GetStyleCode());
  j["AutoStart"] = s.AutoStart;
  j["AllowChangeControlMode"] = s.AllowChangeControlMode;
  j["AllowChangePatternLength"] = s.AllowChangePatternLength;
  j["AllowChangePatternOffset"] = s.AllowChangePatternOffset;
  j["AllowInvertPattern"] = s.AllowInvertPattern;
  j["CamStart"] = s.CamStart;
  j["ControlMode"] = s.ControlMode;
  j["Description"] = Windows1252ToUtf8(s.GetDescription());
  j["FileVersion"] = s.FileVersion;
  j["InvertFlag"] = s.InvertFlag;
  j["LengthMultiplier"] = s.LengthMultiplier;
  j["NeedleSpacing"] = s.NeedleSpacing;
  j["Offset"] = s.Offset;
  j["OffsetMode"] = s.OffsetMode;
  j["PLineSpacing"] = s.PLineSpacing;
  j["PLineStart"] = s.PLineStart;
  j["InverseStitchCount"] = s.InverseStitchCount;
  j["StepsPerPLine"] = s.StepsPerPLine;
  j["TestFlag"] = s.TestFlag;
  return j;
}

namespace {
struct TDumpKind {
  const char* Extension;
  TDesignRecordKind Kind;
  const char* Name;
  std::function<Json(OReader&)> Read;
};

// One row per exchange kind: how to read its file and show it.
const TDumpKind DumpKinds[] = {
    {"SET", TDesignRecordKind::Settings, "settings",
     [](OReader& r) {
       OSettings s(nullptr);
       s.ReadFromStream(r);
       return SettingsJson(s);
     }},
};

std::string UpperExtension(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  size_t dot = name.find_last_of('.');
  std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return ext;
}
} // namespace

int DumpFile(const std::string& path, bool /*derived*/) {
  const std::string ext = UpperExtension(path);
  for (const TDumpKind& kind : DumpKinds) {
    if (ext != kind.Extension)
      continue;
    const TKindTexts& texts = KindTexts(kind.Kind);
    std::vector<uint8_t> bytes;
    try {
      bytes = ReadFileBytes(path);
    } catch (const EFOpenError&) {
      std::cerr << texts.NotFoundError << path << '\n';
      return 1;
    } catch (const std::exception&) {
      std::cerr << texts.ImportReadError << path << '\n';
      return 1;
    }
    Json j;
    try {
      OReader reader(bytes);
      j = kind.Read(reader);
    } catch (const std::exception&) {
      std::cerr << texts.ImportReadError << path << '\n';
      return 1;
    }
    Json out;
    out["kind"] = kind.Name;
    out.update(j);
    std::cout << out.dump(2) << '\n';
    return 0;
  }
  std::cerr << "Unknown kind of file (by its extension): " << path << '\n';
  return 2;
}

} // namespace quillane
