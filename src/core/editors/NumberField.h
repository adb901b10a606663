#pragma once

// The rule every number box of the program is read by when it is left: the box takes
// whatever is typed, and leaving it with a value the field cannot hold is refused with a
// message that names the field and its limits, so that nothing is cut or reverted behind
// the designer's back.
#include <optional>
#include <string>
#include <string_view>

namespace quillane {

class OSetupEditor;
struct TSettingsFieldInfo;

struct TNumberField {
  std::string Name; // as the designer reads it beside the box
  double Minimum = 0;
  double Maximum = 0;
  int Decimals = 0; // 0: whole numbers

  // The value of `text` (blanks around it allowed), when it is a number of the field's kind
  // within its limits; a real is rounded to the field's decimals.
  std::optional<double> Parse(std::string_view text) const;
  // As Parse, but a refusal is told to the designer.
  std::optional<double> Read(std::string_view text) const;
  // "Range check error: No. Controls must be a whole number between 1 and 9999".
  std::string RangeMessage() const;
  // What the box shows for a value.
  std::string Text(double value) const;
  // The box's arrows: `steps` whole units from `current`, held within the limits. Up is
  // offered below the maximum, down above the minimum.
  double Stepped(double current, int steps) const;
  bool StepsUp(double current) const { return current < Maximum; }
  bool StepsDown(double current) const { return current > Minimum; }
};

// The control setup's numeric boxes, from the editor's field list.
TNumberField NumberFieldOf(const TSettingsFieldInfo& info);

// The pattern setup's three boxes.
extern const TNumberField NoColoursField;
extern const TNumberField NoYarnTypesField;
extern const TNumberField RepeatSizeField;

// One box's edit in an editor window, from its first keystroke to its leaving. A keystroke
// marks the editor changed at once, so that Apply is offered while typing; a value that is
// refused on leaving puts the changed flag back as it was before the edit.
class TNumberEdit {
public:
  void Edited(OSetupEditor& editor);
  // The box is left: the value to store, or nothing once the designer has been told.
  std::optional<double> Leave(const TNumberField& field, std::string_view text,
                              OSetupEditor& editor);
  // The editor's own rule refused a value the field took.
  void Refused(OSetupEditor& editor);
  // The value was stored: the editor is changed, whatever another box's refusal put back.
  void Stored(OSetupEditor& editor);
  // The window shows the working copies again.
  void Done() { Before.reset(); }

private:
  std::optional<bool> Before;
};

} // namespace quillane
