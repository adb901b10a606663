#include "production/CheckReport.h"

#include <algorithm>
#include <cstdint>

#include "app/Text.h"

namespace quillane {

namespace {

// A message may carry a state name from the pattern (Windows-1252) or a machine's name from
// its profile (UTF-8): what is valid UTF-8 stays, any other byte is read as the code page.
std::string Utf8Text(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t length = c < 0x80             ? 1
                          : (c & 0xE0) == 0xC0 ? 2
                          : (c & 0xF0) == 0xE0 ? 3
                          : (c & 0xF8) == 0xF0 ? 4
                                               : 0;
    bool valid = length > 0 && i + length <= text.size() && !(length == 2 && c < 0xC2) &&
                 !(length == 4 && c > 0xF4);
    for (size_t k = 1; valid && k < length; ++k)
      valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (valid) {
      out.append(text, i, length);
      i += length;
    } else {
      out += Windows1252ToUtf8(std::string_view(text).substr(i, 1));
      ++i;
    }
  }
  return out;
}

const char Hex[] = "0123456789abcdef";

// One finding stays on one line of the text, and no byte of it moves a terminal's cursor.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char ch : Utf8Text(text)) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\n' || c == '\r' || c == '\t') {
      out += ' ';
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\x";
      out += Hex[c >> 4];
      out += Hex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char ch : Utf8Text(text)) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\u00";
      out += Hex[c >> 4];
      out += Hex[c & 15];
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

std::string CsvField(const std::string& text) {
  const std::string utf8 = Utf8Text(text);
  if (utf8.find_first_of(",\"\r\n") == std::string::npos)
    return utf8;
  std::string out = "\"";
  for (char c : utf8)
    out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string Counted(int64_t count, const char* one) {
  return std::to_string(count) + " " + one + (count == 1 ? "" : "s");
}

int64_t CountOf(const std::vector<TFinding>& findings, TSeverity severity) {
  return std::count_if(findings.begin(), findings.end(),
                       [&](const TFinding& f) { return f.Severity == severity; });
}

// The built-in profile limits nothing, so naming it says nothing.
std::string Against(const std::string& machine) {
  return machine.empty() || machine == AnyMachineName ? "" : " against " + OneLine(machine);
}

} // namespace

std::string RangeText(int first, int last) {
  return first == last ? std::to_string(first) : std::to_string(first) + "-" + std::to_string(last);
}

std::string FindingsText(const std::vector<TFinding>& findings) {
  std::string out;
  for (const TFinding& f : findings)
    out += std::string(RuleName(f.Rule)) + " " + std::string(SeverityName(f.Severity)) + " " +
           RangeText(f.FirstNeedle, f.LastNeedle) + " " + RangeText(f.FirstPLine, f.LastPLine) +
           " " + OneLine(f.Message) + "\n";
  return out;
}

std::string FindingsJson(const std::vector<TFinding>& findings, const std::string& machine) {
  std::string out = "{\n  \"machine\": " + JsonString(machine) +
                    ",\n  \"errors\": " + std::to_string(CountOf(findings, TSeverity::Error)) +
                    ",\n  \"warnings\": " + std::to_string(CountOf(findings, TSeverity::Warning)) +
                    ",\n  \"findings\": [";
  for (size_t i = 0; i < findings.size(); ++i) {
    const TFinding& f = findings[i];
    out += std::string(i ? "," : "") +
           "\n    {\"rule\": " + JsonString(std::string(RuleName(f.Rule))) +
           ", \"severity\": " + JsonString(std::string(SeverityName(f.Severity))) +
           ", \"needles\": [" + std::to_string(f.FirstNeedle) + ", " +
           std::to_string(f.LastNeedle) + "], \"plines\": [" + std::to_string(f.FirstPLine) + ", " +
           std::to_string(f.LastPLine) + "], \"message\": " + JsonString(f.Message) + "}";
  }
  return out + (findings.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

std::string FindingsCsv(const std::vector<TFinding>& findings) {
  // Lines end in CR LF, as the production figures' CSV does and spreadsheets expect.
  std::string out = "rule,severity,firstNeedle,lastNeedle,firstPLine,lastPLine,message\r\n";
  for (const TFinding& f : findings)
    out += std::string(RuleName(f.Rule)) + "," + std::string(SeverityName(f.Severity)) + "," +
           std::to_string(f.FirstNeedle) + "," + std::to_string(f.LastNeedle) + "," +
           std::to_string(f.FirstPLine) + "," + std::to_string(f.LastPLine) + "," +
           CsvField(f.Message) + "\r\n";
  return out;
}

std::string ExportQuestion(const std::vector<TFinding>& findings, const std::string& machine) {
  // A question box holds a few messages; the rest are counted, the check lists them all.
  constexpr int64_t Named = 3;
  const int64_t errors = CountOf(findings, TSeverity::Error);
  if (errors == 0)
    return {};
  std::string out = Counted(errors, "error") + Against(machine) + ":";
  int64_t named = 0;
  for (const TFinding& f : findings) {
    if (f.Severity != TSeverity::Error)
      continue;
    if (named == Named) {
      out += " … and " + std::to_string(errors - Named) + " more";
      break;
    }
    std::string message = OneLine(f.Message);
    while (!message.empty() && (message.back() == '.' || message.back() == ' '))
      message.pop_back();
    out += std::string(named++ ? "; " : " ") + message;
  }
  return out + ". Export anyway?";
}

std::string CheckStatus(int64_t errors, int64_t warnings, const std::string& machine) {
  if (errors == 0 && warnings == 0)
    return {};
  std::string out;
  if (errors > 0)
    out = Counted(errors, "error");
  if (warnings > 0)
    out += (out.empty() ? "" : ", ") + Counted(warnings, "warning");
  return out + Against(machine);
}

} // namespace quillane
