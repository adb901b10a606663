#include "editors/NumberField.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "app/App.h"
#include "editors/ControlSetupEditor.h"
#include "editors/PatternSetupEditor.h"

namespace quillane {

const TNumberField NoColoursField{"No. Colors", OPatternSetupEditor::MinColours,
                                  OPatternSetupEditor::MaxColours};
const TNumberField NoYarnTypesField{"No. Yarn Types", OPatternSetupEditor::MinYarnTypes,
                                    OPatternSetupEditor::MaxYarnTypes};
const TNumberField RepeatSizeField{"Repeat Size", 0, OPatternSetupEditor::MaxRepeatSize};

namespace {

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  return text;
}

} // namespace

std::optional<double> TNumberField::Parse(std::string_view text) const {
  text = Trimmed(text);
  // from_chars takes a minus sign but not a plus.
  if (text.size() > 1 && text.front() == '+' && text[1] != '-')
    text.remove_prefix(1);
  if (text.empty())
    return std::nullopt;
  const char* end = text.data() + text.size();
  double value = 0;
  if (Decimals == 0) {
    int64_t whole = 0;
    const auto [at, error] = std::from_chars(text.data(), end, whole);
    if (error != std::errc() || at != end)
      return std::nullopt;
    value = static_cast<double>(whole);
  } else {
    const auto [at, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (error != std::errc() || at != end || !std::isfinite(value))
      return std::nullopt;
    const double scale = std::pow(10.0, Decimals);
    value = std::round(value * scale) / scale;
  }
  if (value < Minimum || value > Maximum)
    return std::nullopt;
  // "-0" is stored as 0: a negative zero would reach the files with its sign bit.
  return value == 0 ? 0.0 : value;
}

std::optional<double> TNumberField::Read(std::string_view text) const {
  std::optional<double> value = Parse(text);
  if (!value)
    g.UI().ShowError(RangeMessage());
  return value;
}

std::string TNumberField::RangeMessage() const {
  return "Range check error: " + Name + " must be " + (Decimals ? "a number" : "a whole number") +
         " between " + Text(Minimum) + " and " + Text(Maximum);
}

double TNumberField::Stepped(double current, int steps) const {
  return std::clamp(current + steps, Minimum, Maximum);
}

std::string TNumberField::Text(double value) const {
  if (Decimals == 0)
    return std::to_string(std::llround(value));
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", Decimals, value);
  return text;
}

TNumberField NumberFieldOf(const TSettingsFieldInfo& info) {
  return {info.Label, info.Minimum, info.Maximum, info.Decimals};
}

void TNumberEdit::Edited(OSetupEditor& editor) {
  if (!Before)
    Before = editor.Modified();
  editor.SetModified(true);
}

std::optional<double> TNumberEdit::Leave(const TNumberField& field, std::string_view text,
                                         OSetupEditor& editor) {
  std::optional<double> value = field.Read(text);
  if (!value)
    Refused(editor);
  return value;
}

void TNumberEdit::Stored(OSetupEditor& editor) {
  Before.reset();
  editor.SetModified(true);
}

void TNumberEdit::Refused(OSetupEditor& editor) {
  if (Before)
    editor.SetModified(*Before);
  Before.reset();
}

} // namespace quillane
