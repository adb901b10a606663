#include "production/ProductionFile.h"

#include <cctype>
#include <charconv>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "app/FileIO.h"

namespace quillane {

namespace {

constexpr size_t MaxFileSize = 64 * 1024;
constexpr int MaxDepth = 8;
constexpr size_t MaxEntries = 255; // states and yarn types are bytes

struct TValue {
  enum class TKind : uint8_t { Object, Array, Number, String, Boolean } Kind = TKind::Number;
  int Line = 1;
  double Number = 0;
  bool Truth = false;
  std::string Text;
  // An array's items; an object's member values, named by Keys (a pair holding a TValue
  // could not be declared inside it).
  std::vector<TValue> Items;
  std::vector<std::string> Keys;
};

[[noreturn]] void Refuse(int line, const std::string& what) {
  throw EProduction("line " + std::to_string(line) + ": " + what);
}

class TParser {
public:
  explicit TParser(std::span<const uint8_t> bytes) : Bytes(bytes) {}

  TValue Document() {
    TValue v = Value(0);
    SkipSpace();
    if (At < Bytes.size())
      Refuse(Line, "unexpected text after the end");
    return v;
  }

private:
  std::span<const uint8_t> Bytes;
  size_t At = 0;
  int Line = 1;

  void SkipSpace() {
    for (; At < Bytes.size(); ++At) {
      const uint8_t c = Bytes[At];
      if (c == '\n')
        ++Line;
      else if (c != ' ' && c != '\t' && c != '\r')
        return;
    }
  }
  int Peek() {
    SkipSpace();
    return At < Bytes.size() ? Bytes[At] : -1;
  }
  void Expect(char c) {
    if (Peek() != c)
      Refuse(Line, std::string("expected '") + c + "'");
    ++At;
  }

  TValue Value(int depth) {
    if (depth > MaxDepth)
      Refuse(Line, "nested too deeply");
    TValue v;
    const int c = Peek();
    v.Line = Line;
    if (c == '{') {
      v.Kind = TValue::TKind::Object;
      ++At;
      if (Peek() == '}') {
        ++At;
        return v;
      }
      do {
        if (Peek() != '"')
          Refuse(Line, "expected a key in double quotes");
        std::string key = String();
        Expect(':');
        v.Keys.push_back(std::move(key));
        v.Items.push_back(Value(depth + 1));
      } while (Comma('}'));
    } else if (c == '[') {
      v.Kind = TValue::TKind::Array;
      ++At;
      if (Peek() == ']') {
        ++At;
        return v;
      }
      do
        v.Items.push_back(Value(depth + 1));
      while (Comma(']'));
    } else if (c == '"') {
      v.Kind = TValue::TKind::String;
      v.Text = String();
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      v.Number = Number();
    } else if (Word("true")) {
      v.Kind = TValue::TKind::Boolean;
      v.Truth = true;
    } else if (Word("false")) {
      v.Kind = TValue::TKind::Boolean;
    } else {
      Refuse(Line, c < 0 ? "unexpected end of the file"
                         : "expected a number, a text, true, false, [ or {");
    }
    return v;
  }

  // Takes `word` when it stands here, not run on into letters or digits.
  bool Word(std::string_view word) {
    if (Bytes.size() - At < word.size() ||
        std::string_view(reinterpret_cast<const char*>(Bytes.data()) + At, word.size()) != word)
      return false;
    const size_t end = At + word.size();
    if (end < Bytes.size() && std::isalnum(Bytes[end]))
      return false;
    At = end;
    return true;
  }

  // After an item: true when another follows, false at the closing bracket.
  bool Comma(char close) {
    const int c = Peek();
    if (c == ',') {
      ++At;
      return true;
    }
    if (c == close) {
      ++At;
      return false;
    }
    Refuse(Line, std::string("expected ',' or '") + close + "'");
  }

  std::string String() {
    ++At; // the opening quote
    std::string text;
    while (At < Bytes.size()) {
      const uint8_t c = Bytes[At++];
      if (c == '"')
        return text;
      if (c < 0x20)
        Refuse(Line, "a text runs past the end of its line");
      if (c != '\\') {
        text += static_cast<char>(c);
        continue;
      }
      if (At >= Bytes.size())
        break;
      const uint8_t e = Bytes[At++];
      const char* const plain = "\"\\/bfnrt";
      const char* const meant = "\"\\/\b\f\n\r\t";
      const char* found =
          e ? std::char_traits<char>::find(plain, 8, static_cast<char>(e)) : nullptr;
      if (!found)
        Refuse(Line, "a text holds an escape this file does not use");
      text += meant[found - plain];
    }
    Refuse(Line, "a text has no closing double quote");
  }

  double Number() {
    // JSON's own grammar: from_chars alone would take "inf", "1." and leading zeros.
    const size_t start = At;
    auto digits = [&] {
      const size_t from = At;
      while (At < Bytes.size() && Bytes[At] >= '0' && Bytes[At] <= '9')
        ++At;
      return At - from;
    };
    auto is = [&](char c) { return At < Bytes.size() && Bytes[At] == c; };
    if (is('-'))
      ++At;
    const size_t whole = digits();
    bool ok = whole > 0 && !(whole > 1 && Bytes[At - whole] == '0');
    if (ok && is('.')) {
      ++At;
      ok = digits() > 0;
    }
    if (ok && (is('e') || is('E'))) {
      ++At;
      if (is('+') || is('-'))
        ++At;
      ok = digits() > 0;
    }
    if (!ok)
      Refuse(Line, "a number is not written as JSON writes numbers");
    double value = 0;
    const char* first = reinterpret_cast<const char*>(Bytes.data()) + start;
    const char* last = reinterpret_cast<const char*>(Bytes.data()) + At;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last)
      Refuse(Line, "a number is out of range");
    return value;
  }
};

double NumberField(const TValue& v, const char* name) {
  if (v.Kind != TValue::TKind::Number)
    Refuse(v.Line, std::string(name) + " must be a number");
  if (const std::string problem = ParameterValueProblem(name, v.Number); !problem.empty())
    Refuse(v.Line, problem);
  return v.Number;
}

const std::vector<TValue>& ArrayField(const TValue& v, const char* name) {
  if (v.Kind != TValue::TKind::Array)
    Refuse(v.Line, std::string(name) + " must be a list in [ ]");
  if (v.Items.size() > MaxEntries)
    Refuse(v.Line, std::string(name) + " has more than 255 entries");
  return v.Items;
}

// An object's members, each key at most once.
void RefuseRepeatedKeys(const TValue& v) {
  for (size_t i = 1; i < v.Keys.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if (v.Keys[j] == v.Keys[i])
        Refuse(v.Items[i].Line, v.Keys[i] + " is given twice");
}

TYarnCount YarnCountField(const TValue& v) {
  if (v.Kind != TValue::TKind::Object)
    Refuse(v.Line, "each of yarnTypes must be an object in { }");
  RefuseRepeatedKeys(v);
  TYarnCount count;
  const TValue* value = nullptr;
  for (size_t i = 0; i < v.Keys.size(); ++i) {
    const std::string& key = v.Keys[i];
    const TValue& member = v.Items[i];
    if (key == "yarnCount") {
      if (member.Kind != TValue::TKind::Number)
        Refuse(member.Line, "yarnCount must be a number");
      value = &member;
    } else if (key == "unit") {
      if (member.Kind != TValue::TKind::String || (member.Text != "dtex" && member.Text != "Nm"))
        Refuse(member.Line, "unit must be \"dtex\" or \"Nm\"");
      count.Unit = member.Text == "dtex" ? TYarnCountUnit::Dtex : TYarnCountUnit::Nm;
    }
  }
  if (!value)
    Refuse(v.Line, "yarnCount is missing");
  // The range is the unit's, which may come after the count.
  if (const std::string problem = ParameterValueProblem("yarnCount", value->Number, {}, count.Unit);
      !problem.empty())
    Refuse(value->Line, problem);
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
  out += parameters.BackupPackage ? "  \"backupPackage\": true\n}\n"
                                  : "  \"backupPackage\": false\n}\n";
  return TBytes(out.begin(), out.end());
}

TProductionParameters ReadProductionParameters(std::span<const uint8_t> bytes) {
  if (bytes.size() > MaxFileSize)
    Refuse(1, "the file is larger than 64 KB");
  const TValue document = TParser(bytes).Document();
  if (document.Kind != TValue::TKind::Object)
    Refuse(document.Line, "the file must hold one object in { }");
  TProductionParameters parameters;
  RefuseRepeatedKeys(document);
  for (size_t i = 0; i < document.Keys.size(); ++i) {
    const std::string& key = document.Keys[i];
    const TValue& v = document.Items[i];
    if (key == "tuftLength") {
      for (const TValue& item : ArrayField(v, "tuftLength"))
        parameters.TuftLength.push_back(NumberField(item, "tuftLength"));
    } else if (key == "yarnTypes") {
      for (const TValue& item : ArrayField(v, "yarnTypes"))
        parameters.YarnCounts.push_back(YarnCountField(item));
    } else if (key == "coneWeight") {
      parameters.ConeWeight = NumberField(v, "coneWeight");
    } else if (key == "runLength") {
      parameters.RunLength = NumberField(v, "runLength");
    } else if (key == "waste") {
      parameters.Waste = NumberField(v, "waste");
    } else if (key == "backupPackage") {
      if (v.Kind != TValue::TKind::Boolean)
        Refuse(v.Line, "backupPackage must be true or false");
      parameters.BackupPackage = v.Truth;
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
