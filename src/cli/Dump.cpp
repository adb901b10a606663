#include "Dump.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <iostream>

#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "app/Text.h"
#include "model/DesignData.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
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

Json PaletteJson(const OPalette& p) {
  Json j;
  j["NoColours"] = p.NoColours();
  Json colours = Json::array();
  for (int i = 0; i <= p.NoColours(); ++i)
    colours.push_back(p.GetColour(i));
  j["Colours"] = colours;
  j["Background"] = p.Background;
  return j;
}

Json CreelJson(const OCreel& c) {
  Json j;
  j["RepeatSize"] = c.RepeatSize;
  j["NoControls"] = c.NoControls();
  j["NoYarnTypes"] = c.NoYarnTypes();
  Json yarnTypes = Json::array();
  for (int control = 1; control <= c.NoControls(); ++control)
    yarnTypes.push_back(c.YarnTypeEntry(control));
  j["YarnTypes"] = yarnTypes;
  return j;
}

Json MachineTableJson(const OMachineTable& t) {
  Json j;
  j["NoYarnTypes"] = t.NoYarnTypes();
  j["NoStates"] = t.NoStates();
  j["NoColours"] = t.NoColours();
  j["UndefinedState"] = t.UndefinedState();
  Json table = Json::array();
  for (int y = 1; y <= t.NoYarnTypes(); ++y) {
    Json row = Json::array();
    for (int s = 1; s <= t.NoStates(); ++s)
      row.push_back(t.ColourEntry(y, s));
    table.push_back(row);
  }
  j["ColourTable"] = table;
  return j;
}

Json DesignTableJson(const ODesignTable& t) {
  Json j;
  j["NoYarnTypes"] = t.NoYarnTypes();
  j["NoStates"] = t.NoStates();
  j["NoColours"] = t.NoColours();
  Json table = Json::array();
  for (size_t i = 0; i < t.NoCombinations(); ++i) {
    const TDesignCombination c = t.CombinationAt(i);
    table.push_back(t.ColourEntry(c.OddYarnType, c.EvenYarnType, c.OddState, c.EvenState));
  }
  j["ColourTable"] = table;
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
    {"PAL", TDesignRecordKind::Palette, "palette",
     [](OReader& r) {
       OPalette p(nullptr);
       p.ReadFromStream(r);
       return PaletteJson(p);
     }},
    {"CRE", TDesignRecordKind::Creel, "creel",
     [](OReader& r) {
       OCreel c(nullptr);
       c.ReadFromStream(r);
       return CreelJson(c);
     }},
    {"MCH", TDesignRecordKind::MachineTable, "machinetable",
     [](OReader& r) {
       OMachineTable t(nullptr);
       t.ReadFromStream(r);
       return MachineTableJson(t);
     }},
    {"DES", TDesignRecordKind::DesignTable, "designtable",
     [](OReader& r) {
       ODesignTable t(nullptr);
       t.ReadFromStream(r);
       return DesignTableJson(t);
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
