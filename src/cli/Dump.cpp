#include "Dump.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <functional>
#include <iostream>

#include "Cli.h"
#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "app/Text.h"
#include "data/DesignData.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "model/Pattern.h"
#include "preview/StrikeOff.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/Settings.h"

namespace quillane {

using Json = nlohmann::ordered_json;

Json SettingsJson(const OSettings& s) {
  Json j;
  OSettings::ForEachField(
      [&](const char* name, const auto& field) {
        if constexpr (requires { field.Text(); })
          j[name] = Windows1252ToUtf8(field.Text());
        else if constexpr (std::is_floating_point_v<std::decay_t<decltype(field)>>)
          // JSON has no NaN or infinity and would print null, as if the field were missing:
          // a damaged value is shown as what it is, in the words JavaScript uses.
          j[name] = std::isfinite(field) ? Json(field)
                    : std::isnan(field)  ? Json("NaN")
                                         : Json(field > 0 ? "Infinity" : "-Infinity");
        else
          j[name] = field;
      },
      s);
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

static Json AreaJson(const TRect& r) {
  return Json::array({r.Left, r.Top, r.Right, r.Bottom});
}

Json SectionJson(const OSection& s) {
  Json j;
  j["SourceArea"] = AreaJson(s.SourceArea);
  j["TargetArea"] = AreaJson(s.TargetArea);
  j["HFlip"] = s.HFlip;
  j["VFlip"] = s.VFlip;
  j["Rotation"] = s.Rotation;
  return j;
}

Json RegionJson(const ORegion& r) {
  Json j;
  j["PatternArea"] = AreaJson(r.PatternArea);
  j["PictureArea"] = AreaJson(r.PictureArea);
  j["HFlip"] = r.HFlip;
  j["VFlip"] = r.VFlip;
  j["Rotation"] = r.Rotation;
  j["ImportFlag"] = r.ImportFlag;
  return j;
}

Json PictureJson(const OPicture& p) {
  Json j;
  j["Width"] = p.Width;
  j["Height"] = p.Height;
  j["AspectRatio"] = p.AspectRatio;
  Json regions = Json::array();
  for (const auto& region : p.Regions)
    regions.push_back(RegionJson(*region));
  j["Regions"] = regions;
  return j;
}

Json PatternHeadJson(const OPattern& p) {
  Json j;
  j["NoControls"] = p.NoControls;
  j["NoPLines"] = p.NoPLines;
  j["NoColours"] = p.NoColours;
  j["NoStates"] = p.NoStates;
  j["NoYarnTypes"] = p.NoYarnTypes;
  j["MachineType"] = p.MachineType;
  j["PatternMode"] = p.PatternMode;
  j["ControlDataFormat"] = p.ControlDataFormat;
  Json names = Json::array();
  for (const std::string& name : p.StateNames)
    names.push_back(Windows1252ToUtf8(name));
  j["StateNames"] = names;
  j["Settings"] = SettingsJson(*p.Settings);
  j["Palette"] = PaletteJson(*p.Palette);
  j["Creel"] = CreelJson(*p.Creel);
  j["MachineTable"] = MachineTableJson(*p.MachineTable);
  j["DesignTable"] = DesignTableJson(*p.DesignTable);
  return j;
}

Json PatternTailJson(const OPattern& p) {
  Json j;
  Json sections = Json::array();
  for (const auto& section : *p.Sections)
    sections.push_back(SectionJson(*section));
  j["Sections"] = sections;
  Json pictures = Json::array();
  for (const auto& picture : *p.Pictures)
    pictures.push_back(PictureJson(*picture));
  j["Pictures"] = pictures;
  return j;
}

namespace {
struct TDumpKind {
  const char* Extension;
  TDesignRecordKind Kind;
  const char* Name;
  std::function<Json(OReader&)> Read;
};

// Reads one free-standing object of the kind and shows it.
template <class T> std::function<Json(OReader&)> Reader(Json (*show)(const T&)) {
  return [show](OReader& r) {
    T object(nullptr);
    object.ReadFromStream(r);
    return show(object);
  };
}

// One row per exchange kind: how to read its file and show it.
const TDumpKind DumpKinds[] = {
    {"SET", TDesignRecordKind::Settings, "settings", Reader(SettingsJson)},
    {"PAL", TDesignRecordKind::Palette, "palette", Reader(PaletteJson)},
    {"CRE", TDesignRecordKind::Creel, "creel", Reader(CreelJson)},
    {"MCH", TDesignRecordKind::MachineTable, "machinetable", Reader(MachineTableJson)},
    {"DES", TDesignRecordKind::DesignTable, "designtable", Reader(DesignTableJson)},
    {"PIC", TDesignRecordKind::Picture, "picture", Reader(PictureJson)},
    {"REG", TDesignRecordKind::Region, "region",
     [](OReader& r) {
       ORegion region(nullptr, nullptr);
       region.ReadFromStream(r);
       return RegionJson(region);
     }},
    {"SEC", TDesignRecordKind::Section, "section", Reader(SectionJson)},
};

std::string UpperExtension(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  size_t dot = name.find_last_of('.');
  std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return ext;
}

// Indented JSON, except that an array of plain values stays on one line: a grid then
// reads a PLine per line.
void Write(std::ostream& out, const Json& j, int indent) {
  const std::string pad(static_cast<size_t>(indent) * 2, ' ');
  const std::string inner(static_cast<size_t>(indent + 1) * 2, ' ');
  if (j.is_object() && !j.empty()) {
    out << "{\n";
    size_t i = 0;
    for (const auto& [key, value] : j.items()) {
      out << inner << Json(key).dump() << ": ";
      Write(out, value, indent + 1);
      out << (++i < j.size() ? ",\n" : "\n");
    }
    out << pad << "}";
  } else if (j.is_array() && !j.empty() &&
             std::any_of(j.begin(), j.end(), [](const Json& e) { return e.is_structured(); })) {
    out << "[\n";
    for (size_t i = 0; i < j.size(); ++i) {
      out << inner;
      Write(out, j[i], indent + 1);
      out << (i + 1 < j.size() ? ",\n" : "\n");
    }
    out << pad << "]";
  } else {
    out << j.dump(-1, ' ', false, Json::error_handler_t::replace);
  }
}

void Print(const char* kind, const Json& body) {
  Json out;
  out["kind"] = kind;
  out.update(body);
  Write(std::cout, out, 0);
  std::cout << '\n';
}

// The members of an object at the top level, after `first` or not.
void WriteMembers(std::ostream& out, const Json& j, bool& first) {
  for (const auto& [key, value] : j.items()) {
    out << (first ? "" : ",\n") << "  " << Json(key).dump() << ": ";
    Write(out, value, 1);
    first = false;
  }
}

// PLine by PLine, controls 1 to N within each, written as it goes: a production pattern's
// grid as one JSON value would cost many times the pattern's own memory.
void WriteGrid(std::ostream& out, const char* key, const TGrid& grid) {
  static const auto Numbers = [] {
    std::array<std::string, 256> n;
    for (size_t v = 0; v < n.size(); ++v)
      n[v] = std::to_string(v);
    return n;
  }();
  out << ",\n  \"" << key << "\": ";
  if (grid.PLines() <= 0) {
    out << "[]";
    return;
  }
  out << "[\n";
  std::string line;
  for (int p = 1; p <= grid.PLines(); ++p) {
    line = "    [";
    const uint8_t* row = grid.Row(p);
    for (int c = 1; c <= grid.Controls(); ++c) {
      line += Numbers[row[c]];
      line += ',';
    }
    if (line.back() == ',')
      line.pop_back();
    line += p < grid.PLines() ? "],\n" : "]\n";
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
  }
  out << "  ]";
}

void PrintPattern(OPattern& p, bool derived, bool cells) {
  std::ostream& out = std::cout;
  if (derived) {
    p.ComputeMachineColours();
    p.ComputeDesignColours();
  }
  bool first = true;
  out << "{\n";
  WriteMembers(out, Json{{"kind", "pattern"}}, first);
  WriteMembers(out, PatternHeadJson(p), first);
  if (cells) {
    if (p.PatternMode == pmStates)
      WriteGrid(out, "States", p.States);
    if (p.PatternMode != pmStates || derived)
      WriteGrid(out, "MachineColours", p.MachineColours);
    if (derived)
      WriteGrid(out, "DesignColours", p.DesignColours);
  }
  WriteMembers(out, PatternTailJson(p), first);
  out << "\n}\n";
}
} // namespace

namespace {
// Millimetres to a hundredth and inches to a thousandth: what a mill measures to, without a
// binary fraction's tail.
double Rounded(double value, double steps) {
  return std::round(value * steps) / steps;
}

// What a broadloom width makes of the pattern's repeat across, in mm and in inches.
Json FitJson(const OPattern& pattern, double widthMm) {
  const TRepeatFit fit = RepeatFit(pattern, widthMm);
  Json j;
  auto both = [&](const std::string& name, double mm) {
    j[name + "Mm"] = Rounded(mm, 100);
    j[name + "In"] = Rounded(mm / 25.4, 1000);
  };
  both("Width", widthMm);
  both("RepeatAcross", fit.RepeatAcrossMm);
  both("RepeatAlong", fit.RepeatAlongMm);
  j["RepeatsAcross"] = fit.RepeatsAcross;
  both("Selvage", fit.SelvageMm);
  both("ShortPerRepeat", fit.ShortPerRepeatMm);
  both("WastePerCut", fit.WastePerCutMm);
  return j;
}
} // namespace

int PrintInfo(const std::string& path, std::optional<double> fitWidth) {
  std::unique_ptr<OPattern> p = OpenPattern(path, false);
  const TGrid& grid = p->PatternMode == pmStates ? p->States : p->MachineColours;
  std::array<uint64_t, 256> counts{};
  for (int pLine = 1; pLine <= grid.PLines(); ++pLine) {
    const uint8_t* row = grid.Row(pLine);
    for (int c = 1; c <= grid.Controls(); ++c)
      ++counts[row[c]];
  }
  Json cellCounts = Json::object();
  for (size_t v = 0; v < counts.size(); ++v)
    if (counts[v] != 0)
      cellCounts[std::to_string(v)] = counts[v];
  int regions = 0;
  for (const auto& picture : *p->Pictures)
    regions += picture->Regions.Count();
  Json j;
  j["NoControls"] = p->NoControls;
  j["NoPLines"] = p->NoPLines;
  j["MachineType"] = p->MachineType;
  j["PatternMode"] = p->PatternMode;
  j["Sections"] = p->Sections->Count();
  j["Pictures"] = p->Pictures->Count();
  j["Regions"] = regions;
  j[p->PatternMode == pmStates ? "StateCounts" : "ColourCounts"] = cellCounts;
  if (fitWidth)
    j["RepeatFit"] = FitJson(*p, *fitWidth);
  Print("pattern", j);
  return 0;
}

int DumpFile(const std::string& path, bool derived, bool cells) {
  const std::string ext = UpperExtension(path);
  if (ext == "PAT") {
    std::unique_ptr<OPattern> pattern = OpenPattern(path, cells || derived);
    PrintPattern(*pattern, derived, cells);
    return 0;
  }
  for (const TDumpKind& kind : DumpKinds) {
    if (ext != kind.Extension)
      continue;
    const TKindTexts& texts = KindTexts(kind.Kind);
    TBytes bytes;
    try {
      bytes = ReadFileBytes(path);
    } catch (const EUnreadableFile& e) {
      throw TCliFailure(e.what());
    } catch (const EFOpenError&) {
      throw TCliFailure(texts.NotFoundError + path);
    } catch (const std::exception&) {
      throw TCliFailure(texts.ImportReadError + path);
    }
    Json j;
    try {
      OReader reader(bytes);
      j = kind.Read(reader);
      reader.RequireEnd();
    } catch (const std::exception&) {
      throw TCliFailure(texts.ImportReadError + path);
    }
    Print(kind.Name, j);
    return 0;
  }
  throw CLI::ValidationError("FILE", "unknown kind of file (by its extension): " + path);
}

void AddDumpCommand(CLI::App& app, TCommands& commands) {
  auto path = std::make_shared<std::string>();
  auto derived = std::make_shared<bool>(false), noCells = std::make_shared<bool>(false);
  CLI::App* dump = app.add_subcommand("dump", "Print a pattern or exchange file as JSON");
  dump->add_option("FILE", *path, "The file (.PAT, .SET, .PAL, .CRE, .MCH, .DES, .PIC, .REG, .SEC)")
      ->required();
  dump->add_flag("--derived", *derived, "Also print the colour grids both views compute");
  dump->add_flag("--no-cells", *noCells, "Leave out the cell grids");
  commands.push_back(
      {dump, [path, derived, noCells] { return DumpFile(*path, *derived, !*noCells); }});

  auto infoPath = std::make_shared<std::string>();
  CLI::App* info = app.add_subcommand(
      "info", "Print a pattern's size, machine type, counts of its objects and of its cell values");
  info->add_option("FILE", *infoPath, "The pattern file (.PAT)")->required();
  auto fit = std::make_shared<std::string>();
  AddFitCheck(info->add_option(
      "--fit", *fit,
      "Also the repeat fit across broadloom this wide (12ft, 4m): whole repeats across, the "
      "selvage each side, how short one more repeat comes out each, the goods wasted per cut"));
  commands.push_back({info, [infoPath, fit] { return PrintInfo(*infoPath, FitWidth(*fit)); }});
}

} // namespace quillane
