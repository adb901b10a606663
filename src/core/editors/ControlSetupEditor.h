#pragma once

// The control setup editor: a working copy of the pattern's settings, its fields as the
// window shows them and the rule each field is stored by.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editors/SetupEditor.h"
#include "setup/Settings.h"

namespace quillane {

enum class TSettingsField : uint8_t {
  MachineType,
  NoControls,
  NoPLines,
  OffsetAllowed,
  ReversePattern,
  StepsPerPLine,
  SizeCode,
  StyleCode,
  Description,
  FileVersion,
  ControlMode,
  NeedleSpacing,
  Offset,
  PLineSpacing,
  OffsetMode,
  StitchCount,
  CamStart,
  LengthMultiplier,
  PLineStart,
  AllowChangeControlMode,
  AllowChangePatternLength,
  AllowChangePatternOffset,
  AllowInvertPattern,
  AutoStart,
  InvertFlag,
  TestFlag,
};

// Drop-down list, numeric box, check box, text box.
enum class TFieldKind : uint8_t { List, Number, Check, Text };

// One control of the window, in the window's order.
struct TSettingsFieldInfo {
  TSettingsField Field;
  TFieldKind Kind;
  const char* Name;  // the control's name
  const char* Label; // its label, or a check box's caption
  uint8_t Group;     // 0 "Tuft File Settings", 1 "Pattern Option File Settings"
  // The caption of the row a check box stands in ("Allow Operator To:", "Flags:"), if any.
  const char* Row = nullptr;
  // A numeric box's range and decimals; a text box's longest text.
  double Minimum = 0;
  double Maximum = 0;
  int Decimals = 0;
  int MaxLength = 0;
};

class OControlSetupEditor : public OSetupEditor {
public:
  static constexpr const char* Groups[2] = {"Tuft File Settings", "Pattern Option File Settings"};
  // Every control in the window's order.
  static std::span<const TSettingsFieldInfo> Fields();
  static const TSettingsFieldInfo& Info(TSettingsField field);
  std::string ApplyLabel() const override { return "Apply Control Setup"; }

  // Shows nothing yet: the window attaches itself, then Reload shows the data.
  explicit OControlSetupEditor(OPattern& pattern);

  OSettings WorkingCopy;

  // The values the controls show. Texts are the stored single-byte characters.
  double Number(TSettingsField field) const;
  bool Checked(TSettingsField field) const;
  int ItemIndex(TSettingsField field) const;
  std::string Text(TSettingsField field) const;
  static std::vector<std::string> Items(TSettingsField field);

  // A box's text or number changed: the editor is changed.
  void Edited() { SetModified(true); }
  // The number and text boxes typed in since they last stored.
  TEditedBoxes<TSettingsField> EditedBoxes;
  // A box is left: its value goes into the working copy by the field's rule. A value out
  // of range, or a text the field cannot hold, is reported and changes nothing; the result
  // is then false and the box should show the field's value again.
  bool StoreNumber(TSettingsField field, double value);
  bool StoreText(TSettingsField field, std::string_view text);
  // Check boxes and lists store at once.
  void StoreChecked(TSettingsField field, bool checked);
  void StoreItem(TSettingsField field, int index);

  // The working copy from a settings file; it becomes the pattern's on Apply. A file with a
  // value its control cannot show (a list code past the list, a number outside its box's
  // range other than the pattern's own size) is refused as unreadable, naming the field.
  void Import();
  // That field and its value, or "" when the working copy shows whole.
  std::string Unshowable() const;
  // Apply, then the working copy to a settings file.
  void Export();

protected:
  void ForgetEditedBoxes() override { EditedBoxes.Clear(); }
  bool HoldsRefusedText() const override { return !EditedBoxes.Empty(); }
  void LoadCopies() override;
  void StoreData() override;
  void ApplyToPattern() override;
  // A smaller pattern loses the cells outside it, and a machine type with fewer states or
  // another kind of pattern the cells it cannot hold: asked first when any of them is set.
  bool ConfirmApply() override;
  // The pattern's size before the store under way.
  std::pair<int, int> SizeBefore{0, 0};
  uint8_t ModeBefore = 0;
};

// How many cells outside `noControls` x `noPLines` hold a state or colour.
int64_t CellsOutside(const OPattern& pattern, int noControls, int noPLines);
// How many cells inside `noControls` x `noPLines` machine type `type` would lose: states above
// its state count, or, from a colour pattern to a state pattern, every painted colour (the
// states of a colour pattern are never painted).
int64_t CellsLostToMachineType(const OPattern& pattern, int type, int noControls, int noPLines);

} // namespace quillane
