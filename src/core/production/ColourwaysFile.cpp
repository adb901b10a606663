#include "production/ColourwaysFile.h"

#include <filesystem>
#include <system_error>

#include "app/FileIO.h"
#include "model/Pattern.h"
#include "production/Json.h"
#include "production/Production.h"
#include "production/ProductionFile.h"
#include "setup/Creel.h"

namespace quillane {

namespace {

// 64 colourways, each with every palette index and a code of 32 escaped bytes for every
// lettered yarn type, come to about 1.2 MB.
constexpr size_t MaxFileSize = 2 * 1024 * 1024;
// The yarn types that have a letter of their own (YarnTypeLetter's bytes end there).
constexpr int LetteredYarnTypes = 255 - 64;

bool HasControl(const std::string& text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      return true;
  return false;
}

const TJsonValue& ObjectField(const TJsonValue& v, const std::string& name) {
  if (v.Kind != TJsonValue::TKind::Object)
    RefuseJson(v.Line, name + " must be an object in { }");
  RefuseRepeatedKeys(v);
  return v;
}

const std::string& TextField(const TJsonValue& v, const std::string& name) {
  if (v.Kind != TJsonValue::TKind::String)
    RefuseJson(v.Line, name + " must be a text");
  return v.Text;
}

int PaletteIndexKey(const std::string& key) {
  if (key.empty() || key.size() > 3 || key[0] == '0')
    return 0;
  int index = 0;
  for (const char c : key) {
    if (c < '0' || c > '9')
      return 0;
    index = index * 10 + (c - '0');
  }
  return index <= 255 ? index : 0;
}

void ReadColours(const TJsonValue& v, TColourway& colourway) {
  ObjectField(v, "colours");
  for (size_t i = 0; i < v.Keys.size(); ++i) {
    const std::string& key = v.Keys[i];
    const TJsonValue& item = v.Items[i];
    const int index = PaletteIndexKey(key);
    if (index == 0)
      RefuseJson(item.Line, "colours \"" + key + "\" is not a palette index from 1 to 255");
    uint32_t colour = 0;
    if (item.Kind != TJsonValue::TKind::String || !ReadHexColour(item.Text, colour))
      RefuseJson(item.Line, "colours " + key + " must be a colour written #RRGGBB");
    SetEntryColour(colourway, index, colour);
  }
}

void ReadCodes(const TJsonValue& v, TColourway& colourway) {
  ObjectField(v, "codes");
  for (size_t i = 0; i < v.Keys.size(); ++i) {
    const std::string& key = v.Keys[i];
    const TJsonValue& item = v.Items[i];
    const int yarnType = key.size() == 1 ? static_cast<unsigned char>(key[0]) - 64 : 0;
    if (yarnType < 1 || yarnType > LetteredYarnTypes)
      RefuseJson(item.Line, "codes \"" + key + "\" is not a yarn type letter");
    const std::string& code = TextField(item, "codes " + key);
    if (code.size() > MaxShadeCode)
      RefuseJson(item.Line, "codes " + key + " is longer than 32 bytes");
    if (HasControl(code))
      RefuseJson(item.Line, "codes " + key + " holds a control character");
    colourway.SetCode(yarnType, code);
  }
}

TColourway ReadColourway(const TJsonValue& v, bool first) {
  if (v.Kind != TJsonValue::TKind::Object)
    RefuseJson(v.Line, "each of colourways must be an object in { }");
  RefuseRepeatedKeys(v);
  TColourway colourway;
  bool named = false;
  for (size_t i = 0; i < v.Keys.size(); ++i) {
    const std::string& key = v.Keys[i];
    const TJsonValue& item = v.Items[i];
    if (key == "name") {
      colourway.Name = TextField(item, "name");
      named = true;
      if (colourway.Name.empty())
        RefuseJson(item.Line, "name is empty");
      if (colourway.Name.size() > MaxColourwayName)
        RefuseJson(item.Line, "name is longer than 64 bytes");
      if (HasControl(colourway.Name))
        RefuseJson(item.Line, "name holds a control character");
      if (first && colourway.Name != OriginalColourwayName)
        RefuseJson(item.Line, "name of the first colourway must be \"Original\"");
    } else if (key == "colours") {
      if (first)
        RefuseJson(item.Line, "colours are the palette's in the Original");
      ReadColours(item, colourway);
    } else if (key == "codes") {
      ReadCodes(item, colourway);
    } else {
      RefuseJson(item.Line, key + " is not known");
    }
  }
  if (!named)
    RefuseJson(v.Line, "name is missing");
  return colourway;
}

} // namespace

std::string ColourwaysFileName(const std::string& patternPath) {
  // Only the last extension goes, as for the production parameters.
  std::filesystem::path path(patternPath);
  return path.replace_extension(".colourways.json").string();
}

TBytes ColourwaysBytes(const TColourways& colourways) {
  std::string out = "{\n  \"colourways\": [";
  for (size_t c = 0; c < colourways.List.size(); ++c) {
    const TColourway& colourway = colourways.List[c];
    out += c ? ",\n    {\n" : "\n    {\n";
    out += "      \"name\": " + JsonText(colourway.Name);
    std::string colours;
    for (size_t i = 0; i < colourway.Set.size(); ++i)
      if (colourway.Set[i])
        colours += (colours.empty() ? "\"" : ", \"") + std::to_string(i) + "\": \"" +
                   HexColour(colourway.Colours[i]) + "\"";
    if (!colours.empty())
      out += ",\n      \"colours\": {" + colours + "}";
    std::string codes;
    for (size_t y = 1; y < colourway.Codes.size(); ++y)
      if (!colourway.Codes[y].empty())
        codes += (codes.empty() ? "" : ", ") + JsonText(YarnTypeLetter(static_cast<OYarnType>(y))) +
                 ": " + JsonText(colourway.Codes[y]);
    if (!codes.empty())
      out += ",\n      \"codes\": {" + codes + "}";
    out += "\n    }";
  }
  out += "\n  ]\n}\n";
  return TBytes(out.begin(), out.end());
}

TColourways ReadColourwaysBytes(std::span<const uint8_t> bytes) {
  const TJsonValue document = ReadJsonObject(bytes, MaxFileSize);
  const TJsonValue* list = nullptr;
  for (size_t i = 0; i < document.Keys.size(); ++i) {
    if (document.Keys[i] != "colourways")
      RefuseJson(document.Items[i].Line, document.Keys[i] + " is not known");
    list = &document.Items[i];
  }
  if (!list)
    RefuseJson(document.Line, "colourways is missing");
  if (list->Kind != TJsonValue::TKind::Array)
    RefuseJson(list->Line, "colourways must be a list in [ ]");
  if (list->Items.empty())
    RefuseJson(list->Line, "colourways must begin with the Original");
  if (list->Items.size() > MaxColourways)
    RefuseJson(list->Line, "colourways has more than 64 entries");
  TColourways colourways;
  colourways.List.clear();
  for (const TJsonValue& item : list->Items) {
    TColourway colourway = ReadColourway(item, colourways.List.empty());
    if (colourways.Find(colourway.Name) >= 0)
      for (size_t i = 0; i < item.Keys.size(); ++i)
        if (item.Keys[i] == "name")
          RefuseJson(item.Items[i].Line, "name \"" + colourway.Name + "\" is given twice");
    colourways.List.push_back(std::move(colourway));
  }
  return colourways;
}

TColourways LoadColourways(const std::string& patternPath) {
  const std::string path = ColourwaysFileName(patternPath);
  if (NoSuchFile(path))
    return {};
  return ReadColourwaysBytes(ReadFileBytes(path));
}

void SaveColourways(const std::string& patternPath, const TColourways& colourways) {
  const std::string path = ColourwaysFileName(patternPath);
  if (colourways.Trivial()) {
    // Only a file of ours goes; anything else under the name is left for the user.
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec))
      std::filesystem::remove(path, ec);
    return;
  }
  const TBytes bytes = ColourwaysBytes(colourways);
  // A file that would not read back is never written: it would cost the designer the
  // pattern's colourways at the next open.
  ReadColourwaysBytes(bytes);
  WriteFileAtomic(path, bytes);
}

void AdoptColourways(OPattern& pattern, const std::string& patternPath) {
  TColourways colourways = LoadColourways(patternPath);
  if (colourways.Trivial())
    return;
  pattern.SetColourways(std::move(colourways), "");
  pattern.History.Clear();
}

} // namespace quillane
