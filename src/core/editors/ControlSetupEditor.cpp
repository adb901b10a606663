#include "editors/ControlSetupEditor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "app/App.h"
#include "files/Export.h"
#include "model/Pattern.h"

namespace quillane {

namespace {

using F = TSettingsField;
using K = TFieldKind;
// The real boxes show five decimals; the controller reads singles.
constexpr double RealLimit = 99999.99999;

const TSettingsFieldInfo FieldTable[] = {
    {F::MachineType, K::List, "cbMachineType", "Machine Type", 0},
    {F::NoControls, K::Number, "edNoControls", "No. Controls", 0, nullptr, 1, 9999},
    {F::NoPLines, K::Number, "edNoPLines", "No. Pattern Lines", 0, nullptr, 1, 65534},
    {F::OffsetAllowed, K::Check, "cbOffsetAllowed", "Allow Pattern Offset", 0},
    {F::ReversePattern, K::Check, "cbReversePattern", "Reverse Pattern", 0},
    {F::StepsPerPLine, K::Number, "edStepsPerPLine", "Stitches/Backing Step", 0, nullptr, 0, 99},
    {F::SizeCode, K::Text, "edSizeCode", "Size Code", 0, nullptr, 0, 0, 0, 14},
    {F::StyleCode, K::Text, "edStyleCode", "Style Code", 0, nullptr, 0, 0, 0, 14},
    {F::Description, K::Text, "edDescription", "Description", 1, nullptr, 0, 0, 0, 63},
    {F::FileVersion, K::List, "cbFileVersion", "File Version", 1},
    {F::ControlMode, K::List, "cbControlMode", "Control Mode", 1},
    {F::NeedleSpacing, K::Number, "edNeedleSpacing", "Needle Spacing", 1, nullptr, -RealLimit,
     RealLimit, 5},
    {F::Offset, K::Number, "edOffset", "Pattern Offset", 1, nullptr, -32768, 32767},
    {F::PLineSpacing, K::Number, "edPLineSpacing", "Pattern Line Spacing", 1, nullptr, -RealLimit,
     RealLimit, 5},
    {F::OffsetMode, K::List, "cbOffsetMode", "Offset Mode", 1},
    {F::StitchCount, K::Number, "edStitchCount", "Stitch Count", 1, nullptr, -RealLimit, RealLimit,
     5},
    {F::CamStart, K::Number, "edCamStart", "Starting Cam Position", 1, nullptr, 0, 99},
    {F::LengthMultiplier, K::Number, "edLengthMultiplier", "Length Multiplier", 1, nullptr,
     -RealLimit, RealLimit, 5},
    {F::PLineStart, K::Number, "edPLineStart", "Starting PLine", 1, nullptr, 0, 9999},
    {F::AllowChangeControlMode, K::Check, "cbAllowChangeControlMode", "Change Control Mode", 1,
     "Allow Operator To:"},
    {F::AllowChangePatternLength, K::Check, "cbAllowChangePatternLength", "Change Pattern Length",
     1, "Allow Operator To:"},
    {F::AllowChangePatternOffset, K::Check, "cbAllowChangePatternOffset", "Change Pattern Offset",
     1, "Allow Operator To:"},
    {F::AllowInvertPattern, K::Check, "cbAllowInvertPattern", "Invert Pattern", 1,
     "Allow Operator To:"},
    {F::AutoStart, K::Check, "cbAutoStart", "Auto Start Pattern", 1, "Flags:"},
    {F::InvertFlag, K::Check, "cbInvertFlag", "Invert Pattern", 1, "Flags:"},
    {F::TestFlag, K::Check, "cbTestFlag", "Test Pattern", 1, "Flags:"},
};

// The byte flags and byte lists, and the reals, of the settings by field.
constexpr std::pair<TSettingsField, uint8_t OSettings::*> ByteFields[] = {
    {F::MachineType, &OSettings::MachineType},
    {F::OffsetAllowed, &OSettings::OffsetAllowed},
    {F::ReversePattern, &OSettings::ReversePattern},
    {F::ControlMode, &OSettings::ControlMode},
    {F::OffsetMode, &OSettings::OffsetMode},
    {F::AllowChangeControlMode, &OSettings::AllowChangeControlMode},
    {F::AllowChangePatternLength, &OSettings::AllowChangePatternLength},
    {F::AllowChangePatternOffset, &OSettings::AllowChangePatternOffset},
    {F::AllowInvertPattern, &OSettings::AllowInvertPattern},
    {F::AutoStart, &OSettings::AutoStart},
    {F::InvertFlag, &OSettings::InvertFlag},
    {F::TestFlag, &OSettings::TestFlag},
};
constexpr std::pair<TSettingsField, float OSettings::*> RealFields[] = {
    {F::NeedleSpacing, &OSettings::NeedleSpacing},
    {F::PLineSpacing, &OSettings::PLineSpacing},
    {F::LengthMultiplier, &OSettings::LengthMultiplier},
};

// The field's member of `s` in the table, or none.
template <class TSettings, class TMember, size_t N>
auto MemberOf(TSettings& s, TSettingsField field,
              const std::pair<TSettingsField, TMember OSettings::*> (&table)[N]) {
  for (const auto& [f, member] : table)
    if (f == field)
      return &(s.*member);
  return static_cast<decltype(&(s.*table[0].second))>(nullptr);
}

template <class TSettings> auto ByteOf(TSettings& s, TSettingsField field) {
  return MemberOf(s, field, ByteFields);
}

template <class TSettings> auto RealOf(TSettings& s, TSettingsField field) {
  return MemberOf(s, field, RealFields);
}

} // namespace

std::span<const TSettingsFieldInfo> OControlSetupEditor::Fields() {
  return FieldTable;
}

const TSettingsFieldInfo& OControlSetupEditor::Info(TSettingsField field) {
  return *std::find_if(std::begin(FieldTable), std::end(FieldTable),
                       [field](const TSettingsFieldInfo& i) { return i.Field == field; });
}

OControlSetupEditor::OControlSetupEditor(OPattern& pattern)
    : OSetupEditor(pattern), WorkingCopy(&pattern) {}

std::vector<std::string> OControlSetupEditor::Items(TSettingsField field) {
  switch (field) {
  case F::MachineType: {
    std::vector<std::string> names;
    for (int type = 0; type <= MaxMachineType; ++type)
      names.emplace_back(MachineTypeInfo(type).Name);
    return names;
  }
  case F::FileVersion:
    return {"1", "2", "3", "4", "5", "6"};
  case F::ControlMode:
    return {"0 - Backing Sync", "1 - Needle Sync", "2 - Both Sync"};
  case F::OffsetMode:
    return {"0 - Offset", "1- Rotate"};
  default:
    return {};
  }
}

double OControlSetupEditor::Number(TSettingsField field) const {
  const OSettings& s = WorkingCopy;
  switch (field) {
  case F::NoControls:
    return s.NoControls;
  case F::NoPLines:
    return s.NoPLines;
  case F::StepsPerPLine:
    return s.StepsPerPLine;
  case F::Offset:
    return s.Offset;
  case F::StitchCount:
    return s.GetStitchCount();
  case F::CamStart:
    return s.CamStart;
  case F::PLineStart:
    return s.PLineStart;
  default: {
    const float* real = RealOf(s, field);
    return real ? *real : 0;
  }
  }
}

bool OControlSetupEditor::Checked(TSettingsField field) const {
  const uint8_t* flag = ByteOf(WorkingCopy, field);
  return flag && *flag != 0;
}

int OControlSetupEditor::ItemIndex(TSettingsField field) const {
  if (field == F::FileVersion)
    return WorkingCopy.FileVersion - 1;
  const uint8_t* value = ByteOf(WorkingCopy, field);
  return value ? *value : -1;
}

std::string OControlSetupEditor::Text(TSettingsField field) const {
  switch (field) {
  case F::SizeCode:
    return WorkingCopy.GetSizeCode();
  case F::StyleCode:
    return WorkingCopy.GetStyleCode();
  case F::Description:
    return WorkingCopy.GetDescription();
  default:
    return {};
  }
}

bool OControlSetupEditor::StoreNumber(TSettingsField field, double value) {
  const TSettingsFieldInfo& info = Info(field);
  if (!std::isfinite(value) || value < info.Minimum || value > info.Maximum) {
    g.UI().ShowError("Range check error");
    return false;
  }
  OSettings& s = WorkingCopy;
  const long whole = std::lround(value);
  switch (field) {
  case F::NoControls:
    s.NoControls = static_cast<uint16_t>(whole);
    break;
  case F::NoPLines:
    s.NoPLines = static_cast<uint16_t>(whole);
    break;
  case F::StepsPerPLine:
    s.StepsPerPLine = static_cast<uint8_t>(whole);
    break;
  case F::Offset:
    s.Offset = static_cast<int16_t>(whole);
    break;
  case F::StitchCount:
    s.SetStitchCount(static_cast<float>(value));
    break;
  case F::CamStart:
    s.CamStart = static_cast<uint8_t>(whole);
    break;
  case F::PLineStart:
    s.PLineStart = static_cast<uint16_t>(whole);
    break;
  default:
    if (float* real = RealOf(s, field))
      *real = static_cast<float>(value);
    break;
  }
  return true;
}

bool OControlSetupEditor::StoreText(TSettingsField field, std::string_view text) {
  switch (field) {
  case F::SizeCode:
  case F::StyleCode:
    if (UnreadableInHeader(text)) {
      g.UI().ShowMessage(std::string(field == F::SizeCode ? "The size code" : "The style code") +
                         " can not contain a double quote or a line break.");
      return false;
    }
    if (field == F::SizeCode)
      WorkingCopy.SetSizeCode(text);
    else
      WorkingCopy.SetStyleCode(text);
    return true;
  case F::Description:
    WorkingCopy.SetDescription(text);
    return true;
  default:
    return false;
  }
}

void OControlSetupEditor::StoreChecked(TSettingsField field, bool checked) {
  if (uint8_t* flag = ByteOf(WorkingCopy, field))
    *flag = checked ? 1 : 0;
  SetModified(true);
}

void OControlSetupEditor::StoreItem(TSettingsField field, int index) {
  const int count = static_cast<int>(Items(field).size());
  if (index < 0 || index >= count)
    return;
  if (field == F::FileVersion)
    WorkingCopy.SetFileVersion(static_cast<uint8_t>(index + 1));
  else if (uint8_t* value = ByteOf(WorkingCopy, field))
    *value = static_cast<uint8_t>(index);
  SetModified(true);
}

std::string OControlSetupEditor::Unshowable() const {
  auto number = [](double v, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return std::string(text);
  };
  for (const TSettingsFieldInfo& info : Fields()) {
    double value = 0, lowest = info.Minimum, highest = info.Maximum;
    if (info.Kind == K::List) {
      // The stored byte against the codes the list offers (file versions count from 1).
      const int first = info.Field == F::FileVersion ? 1 : 0;
      value = ItemIndex(info.Field) + first;
      lowest = first;
      highest = first + static_cast<double>(Items(info.Field).size()) - 1;
    } else if (info.Kind == K::Number) {
      value = Number(info.Field);
      // The pattern's own size passes, whatever made it.
      if ((info.Field == F::NoControls && value == Pattern.NoControls) ||
          (info.Field == F::NoPLines && value == Pattern.NoPLines))
        continue;
    } else {
      continue;
    }
    if (!(value >= lowest && value <= highest))
      return std::string(info.Label) + " " + number(value, info.Decimals) + " is out of range (" +
             number(lowest, info.Decimals) + " to " + number(highest, info.Decimals) + ").";
  }
  return "";
}

void OControlSetupEditor::Import() {
  OSettings before(nullptr);
  before.Assign(WorkingCopy);
  WorkingCopy.Import();
  // A file may hold what no control would show: a machine type past the list, or a size no
  // box would take (65535 x 65535 cells are gigabytes). It is refused as unreadable, naming
  // the field, rather than shown blank or applied later.
  OWriter was, is;
  before.WriteToStream(was);
  WorkingCopy.WriteToStream(is);
  const bool read =
      !std::equal(was.Bytes().begin(), was.Bytes().end(), is.Bytes().begin(), is.Bytes().end());
  if (const std::string field = read ? Unshowable() : ""; !field.empty()) {
    WorkingCopy.Assign(before);
    g.UI().ShowError("Error reading settings file: " + g.UI().OpenDialog.FileName + "\n" + field);
  }
  ShowData();
  SetModified(true);
}

void OControlSetupEditor::Export() {
  if (Apply())
    WorkingCopy.Export();
}

void OControlSetupEditor::LoadCopies() {
  WorkingCopy.Assign(*Pattern.Settings);
}

void OControlSetupEditor::StoreData() {
  SizeBefore = {Pattern.NoControls, Pattern.NoPLines};
  ModeBefore = Pattern.PatternMode;
  // A state pattern becoming a colour pattern keeps the colours its states show, whichever
  // view was painted last.
  if (Pattern.PatternMode == pmStates && WorkingCopy.MachineType <= MaxMachineType &&
      MachineTypeInfo(WorkingCopy.MachineType).PatternMode == pmColours)
    Pattern.ComputeMachineColours();
  Pattern.Settings->Assign(WorkingCopy);
}

void OControlSetupEditor::ApplyToPattern() {
  Pattern.ApplySettings();
  // States the new machine type does not have were agreed to go: they go now rather than
  // stay in the grid unseen until the next save drops them.
  if (Pattern.PatternMode == pmStates)
    for (int p = 1; p <= Pattern.NoPLines; ++p)
      for (int c = 1; c <= Pattern.NoControls; ++c)
        if (Pattern.GetState(c, p) > Pattern.NoStates)
          Pattern.SetState(c, p, 0);
  // The elements follow the new size before Changed copies the sections; those taken out
  // stay alive until every view has heard of the change.
  TResizeReport report;
  const bool resized = SizeBefore != std::pair<int, int>{Pattern.NoControls, Pattern.NoPLines};
  if (resized)
    report = Pattern.FollowResize(SizeBefore.first, SizeBefore.second);
  // Another size or kind of pattern is a new pattern to every view; else the settings changed.
  if (resized || ModeBefore != Pattern.PatternMode)
    Pattern.Changed();
  else
    Pattern.Changed({TDesignRecordKind::Settings});
  if (!report.Empty())
    g.UI().ShowMessage(report.Message(Pattern.NoControls, Pattern.NoPLines));
}

bool OControlSetupEditor::ConfirmApply() {
  const int w = WorkingCopy.NoControls, p = WorkingCopy.NoPLines;
  const std::string size = std::to_string(w) + " \xC3\x97 " + std::to_string(p);
  if (!ConfirmCellLoss("Reduce the pattern to " + size, "outside it", CellsOutside(Pattern, w, p)))
    return false;
  const int type = WorkingCopy.MachineType;
  return type == Pattern.MachineType ||
         ConfirmCellLoss(std::string("Change the machine type to ") + MachineTypeInfo(type).Name,
                         "it cannot hold", CellsLostToMachineType(Pattern, type, w, p));
}

int64_t CellsOutside(const OPattern& pattern, int noControls, int noPLines) {
  const TGrid& grid = pattern.PatternMode == pmColours ? pattern.MachineColours : pattern.States;
  int64_t count = 0;
  for (int p = 1; p <= grid.PLines(); ++p) {
    const uint8_t* row = grid.Row(p);
    const int first = p <= noPLines ? noControls + 1 : 1;
    if (first <= grid.Controls())
      count +=
          std::count_if(row + first, row + grid.Controls() + 1, [](uint8_t v) { return v != 0; });
  }
  return count;
}

int64_t CellsLostToMachineType(const OPattern& pattern, int type, int noControls, int noPLines) {
  if (type > MaxMachineType)
    return 0; // such a type changes nothing else
  const TMachineTypeInfo& info = MachineTypeInfo(type);
  const bool fromColours = pattern.PatternMode == pmColours;
  if (fromColours && info.PatternMode == pmColours)
    return 0;
  const TGrid& grid = fromColours ? pattern.MachineColours : pattern.States;
  // A state pattern becoming a colour pattern keeps the colours its states show.
  const int highest = fromColours ? 0 : info.PatternMode == pmColours ? 255 : info.NoStates;
  int64_t count = 0;
  for (int p = 1; p <= std::min(noPLines, grid.PLines()); ++p) {
    const uint8_t* row = grid.Row(p);
    count += std::count_if(row + 1, row + std::min(noControls, grid.Controls()) + 1,
                           [highest](uint8_t v) { return v > highest; });
  }
  return count;
}

} // namespace quillane
