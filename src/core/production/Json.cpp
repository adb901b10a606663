#include "production/Json.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <numeric>
#include <string_view>
#include <utility>

#include "production/Production.h"

namespace quillane {

namespace {

constexpr int MaxDepth = 8;

class TParser {
public:
  explicit TParser(std::span<const uint8_t> bytes) : Bytes(bytes) {}

  TJsonValue Document() {
    TJsonValue v = Value(0);
    SkipSpace();
    if (At < Bytes.size())
      RefuseJson(Line, "unexpected text after the end");
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
      RefuseJson(Line, std::string("expected '") + c + "'");
    ++At;
  }

  TJsonValue Value(int depth) {
    if (depth > MaxDepth)
      RefuseJson(Line, "nested too deeply");
    TJsonValue v;
    const int c = Peek();
    v.Line = Line;
    if (c == '{') {
      v.Kind = TJsonValue::TKind::Object;
      ++At;
      if (Peek() == '}') {
        ++At;
        return v;
      }
      do {
        if (Peek() != '"')
          RefuseJson(Line, "expected a key in double quotes");
        std::string key = String();
        Expect(':');
        v.Keys.push_back(std::move(key));
        v.Items.push_back(Value(depth + 1));
      } while (Comma('}'));
    } else if (c == '[') {
      v.Kind = TJsonValue::TKind::Array;
      ++At;
      if (Peek() == ']') {
        ++At;
        return v;
      }
      do
        v.Items.push_back(Value(depth + 1));
      while (Comma(']'));
    } else if (c == '"') {
      v.Kind = TJsonValue::TKind::String;
      v.Text = String();
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      v.Number = Number();
    } else if (Word("true")) {
      v.Kind = TJsonValue::TKind::Boolean;
      v.Truth = true;
    } else if (Word("false")) {
      v.Kind = TJsonValue::TKind::Boolean;
    } else {
      RefuseJson(Line, c < 0 ? "unexpected end of the file"
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
    RefuseJson(Line, std::string("expected ',' or '") + close + "'");
  }

  std::string String() {
    ++At; // the opening quote
    std::string text;
    while (At < Bytes.size()) {
      const uint8_t c = Bytes[At++];
      if (c == '"')
        return text;
      if (c < 0x20)
        RefuseJson(Line, "a text runs past the end of its line");
      if (c != '\\') {
        text += static_cast<char>(c);
        continue;
      }
      if (At >= Bytes.size())
        break;
      const uint8_t e = Bytes[At++];
      if (e == 'u') {
        // Other tools write every character past ASCII this way (Python's json does unless
        // told otherwise), so a file they wrote reads as the characters it means.
        AppendUtf8(text, CodePoint());
        continue;
      }
      const char* const plain = "\"\\/bfnrt";
      const char* const meant = "\"\\/\b\f\n\r\t";
      const char* found =
          e ? std::char_traits<char>::find(plain, 8, static_cast<char>(e)) : nullptr;
      if (!found)
        RefuseJson(Line, "a text holds an escape this file does not use");
      text += meant[found - plain];
    }
    RefuseJson(Line, "a text has no closing double quote");
  }

  // Four hex digits after "\\u", and a second escape after a high surrogate.
  uint32_t Hex4() {
    if (Bytes.size() - At < 4)
      RefuseJson(Line, "a text has a \\u escape without four hex digits");
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = static_cast<char>(Bytes[At++]);
      const int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
      if (digit < 0)
        RefuseJson(Line, "a text has a \\u escape without four hex digits");
      value = value << 4 | static_cast<uint32_t>(digit);
    }
    return value;
  }
  uint32_t CodePoint() {
    const uint32_t first = Hex4();
    if (first >= 0xDC00 && first < 0xE000)
      RefuseJson(Line, "a text has a \\u escape that is half a character");
    if (first < 0xD800 || first >= 0xDC00)
      return first;
    if (Bytes.size() - At < 2 || Bytes[At] != '\\' || Bytes[At + 1] != 'u')
      RefuseJson(Line, "a text has a \\u escape that is half a character");
    At += 2;
    const uint32_t second = Hex4();
    if (second < 0xDC00 || second >= 0xE000)
      RefuseJson(Line, "a text has a \\u escape that is half a character");
    return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
  }
  static void AppendUtf8(std::string& text, uint32_t c) {
    auto put = [&](uint32_t byte) { text += static_cast<char>(byte); };
    if (c < 0x80) {
      put(c);
    } else if (c < 0x800) {
      put(0xC0 | c >> 6);
      put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      put(0xE0 | c >> 12);
      put(0x80 | (c >> 6 & 0x3F));
      put(0x80 | (c & 0x3F));
    } else {
      put(0xF0 | c >> 18);
      put(0x80 | (c >> 12 & 0x3F));
      put(0x80 | (c >> 6 & 0x3F));
      put(0x80 | (c & 0x3F));
    }
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
      RefuseJson(Line, "a number is not written as JSON writes numbers");
    double value = 0;
    const char* first = reinterpret_cast<const char*>(Bytes.data()) + start;
    const char* last = reinterpret_cast<const char*>(Bytes.data()) + At;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last)
      RefuseJson(Line, "a number is out of range");
    return value;
  }
};

} // namespace

void RefuseJson(int line, const std::string& what) {
  throw EProduction("line " + std::to_string(line) + ": " + what);
}

TJsonValue ReadJsonObject(std::span<const uint8_t> bytes, size_t maxSize) {
  if (bytes.size() > maxSize)
    RefuseJson(1, "the file is larger than " + std::to_string(maxSize / 1024) + " KB");
  TJsonValue document = TParser(bytes).Document();
  if (document.Kind != TJsonValue::TKind::Object)
    RefuseJson(document.Line, "the file must hold one object in { }");
  RefuseRepeatedKeys(document);
  return document;
}

void RefuseRepeatedKeys(const TJsonValue& v) {
  // Sorted rather than each key against every other: a 64 KB file holds ten thousand keys.
  std::vector<size_t> order(v.Keys.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return v.Keys[a] < v.Keys[b]; });
  // Within a run of equal keys all but the first are repeats; the earliest in the file is
  // named.
  size_t first = v.Keys.size();
  for (size_t i = 1; i < order.size(); ++i)
    if (v.Keys[order[i]] == v.Keys[order[i - 1]])
      first = std::min(first, order[i]);
  if (first < v.Keys.size())
    RefuseJson(v.Items[first].Line, v.Keys[first] + " is given twice");
}

std::string JsonText(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    case '\b':
      out += "\\b";
      break;
    case '\f':
      out += "\\f";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    default:
      if (static_cast<unsigned char>(c) < 0x20) {
        // Raw, a control character would end the text for every reader.
        static constexpr char Hex[] = "0123456789abcdef";
        out += "\\u00";
        out += Hex[c >> 4];
        out += Hex[c & 0xF];
      } else {
        out += c;
      }
    }
  }
  return out + "\"";
}

} // namespace quillane
