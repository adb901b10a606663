#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillane {

// The JSON of the sidecar files (objects, arrays, numbers, texts, true and false), read from
// bytes that may be anything. Each value keeps the line it starts on, so that a refusal can
// name the line a person edits.
struct TJsonValue {
  enum class TKind : uint8_t { Object, Array, Number, String, Boolean } Kind = TKind::Number;
  int Line = 1;
  double Number = 0;
  bool Truth = false;
  std::string Text;
  // An array's items; an object's member values, named by Keys (a pair holding a TJsonValue
  // could not be declared inside it).
  std::vector<TJsonValue> Items;
  std::vector<std::string> Keys;
};

// Throws EProduction "line N: WHAT".
[[noreturn]] void RefuseJson(int line, const std::string& what);

// The one object a sidecar file holds: at most 64 KB, nested at most 8 deep, its keys each
// given once. Throws EProduction "line N: ..." for the first fault.
// A file that describes more may allow more bytes, given in whole KB.
TJsonValue ReadJsonObject(std::span<const uint8_t> bytes, size_t maxSize = 64 * 1024);
// Throws EProduction "line N: KEY is given twice" for an object's repeated key.
void RefuseRepeatedKeys(const TJsonValue& object);

// `text` in double quotes, as the reader takes it back.
std::string JsonText(const std::string& text);

} // namespace quillane
