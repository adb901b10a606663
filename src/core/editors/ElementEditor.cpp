#include "editors/ElementEditor.h"

#include <algorithm>

#include "app/App.h"
#include "data/Mapping.h"
#include "model/Pattern.h"

namespace quillane {

namespace {

using F = TElementField;

constexpr const char* RangeErrorText = "Range check error";
// No area edge may lie beyond the last PLine a pattern can have.
constexpr int64_t LastEdge = 65534;

constexpr const char* PictureTooLargeText =
    "Picture too large - the pictures of a pattern can hold at most 134217728 pixels";
static_assert(OPicture::MaxPixels == 134217728, "the message names the limit");

constexpr const char* RegionOutsideText = "Region invalid (outside boundary of pattern)";

bool Refuse() {
  g.UI().ShowError(RangeErrorText);
  return false;
}

const TElementFieldInfo PictureFields[] = {
    {F::NoControls, "edNoControls", "No. Controls", "No. Controls", -1},
    {F::NoPLines, "edNoPLines", "No. PLines", "No. PLines", -1},
};

const TElementFieldInfo RegionFields[] = {
    {F::Control1, "edPatternControl", "Control", "Pattern Control", 0},
    {F::PLine1, "edPatternPLine", "PLine", "Pattern PLine", 0},
    {F::NoControls, "edNoControls", "No. Controls", "No. Controls", 0},
    {F::NoPLines, "edNoPLines", "No. PLines", "No. PLines", 0},
    {F::Control2, "edPictureControl", "Control", "Picture Control", 1},
    {F::PLine2, "edPicturePLine", "PLine", "Picture PLine", 1},
};
constexpr const char* RegionGroups[] = {"Pattern", "Picture"};

const TElementFieldInfo SectionFields[] = {
    {F::Control1, "edControl1", "Control", "Source Control", 0},
    {F::PLine1, "edPLine1", "PLine", "Source PLine", 0},
    {F::NoControls, "edNoControls", "No. Controls", "No. Controls", 0},
    {F::NoPLines, "edNoPLines", "No. PLines", "No. PLines", 0},
    {F::Control2, "edControl2", "Control", "Target Control", 1},
    {F::PLine2, "edPLine2", "PLine", "Target PLine", 1},
};
constexpr const char* SectionGroups[] = {"Pattern", "Pattern"};

int Clamped(int64_t value, TElementField field) {
  return static_cast<int>(
      std::clamp<int64_t>(value, OElementEditor::Minimum(field), OElementEditor::Maximum(field)));
}

bool InRange(int value, TElementField field) {
  return value >= OElementEditor::Minimum(field) && value <= OElementEditor::Maximum(field);
}

// The area at (left, top) of that size, when all of it lies within the edges a pattern
// may have.
bool MakeArea(int64_t left, int64_t top, int64_t width, int64_t height, TRect& area) {
  const int64_t right = left + width - 1, bottom = top + height - 1;
  for (int64_t edge : {left, top, right, bottom})
    if (edge < 1 || edge > LastEdge)
      return false;
  area = {static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
          static_cast<int32_t>(bottom)};
  return true;
}

} // namespace

int OElementEditor::Maximum(TElementField field) {
  return field == F::PLine1 || field == F::PLine2 || field == F::NoPLines ? 65534 : 9999;
}

TNumberField OElementEditor::NumberField(TElementField field) const {
  std::string name;
  for (const TElementFieldInfo& info : Fields())
    if (info.Field == field)
      name = info.Accessible;
  return {name, double(Minimum(field)), double(Maximum(field))};
}

bool OElementEditor::StoreText(TElementField field, std::string_view text) {
  const std::optional<double> value = Edit.Leave(NumberField(field), text, *this);
  if (!value)
    return false;
  if (!StoreNumber(field, static_cast<int>(*value))) {
    Edit.Refused(*this);
    return false;
  }
  Edit.Stored(*this);
  return true;
}

// Picture

OPictureEditor::OPictureEditor(OPattern& pattern, OPicture& picture)
    : OElementEditor(pattern), Element(picture), WorkingCopy(&pattern) {}

std::span<const TElementFieldInfo> OPictureEditor::Fields() const {
  return PictureFields;
}

int OPictureEditor::Number(TElementField field) const {
  return Clamped(field == F::NoControls ? WorkingCopy.Width : WorkingCopy.Height, field);
}

bool OPictureEditor::FitsPatternFile(int64_t width, int64_t height) const {
  // A pattern file holds this many pixels in all its pictures, and no more is read back.
  int64_t others = 0;
  for (const auto& picture : *Pattern.Pictures)
    if (picture.get() != &Element)
      others += int64_t{std::max(picture->Width, 0)} * std::max(picture->Height, 0);
  if (width * height <= OPicture::MaxPixels - others)
    return true;
  g.UI().ShowError(PictureTooLargeText);
  return false;
}

bool OPictureEditor::StoreNumber(TElementField field, int value) {
  if (!InRange(value, field) || (field != F::NoControls && field != F::NoPLines))
    return Refuse();
  const bool width = field == F::NoControls;
  if (!FitsPatternFile(width ? value : WorkingCopy.Width, width ? WorkingCopy.Height : value))
    return false;
  if (width)
    WorkingCopy.SetWidth(value);
  else
    WorkingCopy.SetHeight(value);
  return true;
}

void OPictureEditor::Import() {
  Edit.Done();
  const int32_t width = WorkingCopy.Width, height = WorkingCopy.Height;
  WorkingCopy.Import();
  if (!FitsPatternFile(WorkingCopy.Width, WorkingCopy.Height)) {
    WorkingCopy.SetWidth(width);
    WorkingCopy.SetHeight(height);
  }
  ShowData();
  SetModified(true);
}

void OPictureEditor::Export() {
  WorkingCopy.Export();
}

void OPictureEditor::LoadCopies() {
  Edit.Done();
  WorkingCopy.Assign(Element);
}

void OPictureEditor::StoreData() {
  Element.SetHeight(WorkingCopy.Height);
  Element.SetWidth(WorkingCopy.Width);
}

void OPictureEditor::ApplyToPattern() {
  // Not a change the sections care about, but one to save, and an open view must take
  // the new size before it draws again.
  Element.Update();
  Pattern.SetModified(1);
  Pattern.ElementsChanged(TDesignRecordKind::Picture, &Element);
}

// Areas

int OAreaEditor::Number(TElementField field) const {
  const TAreas a = State();
  switch (field) {
  case F::Control1:
    return Clamped(a.First.Left, field);
  case F::PLine1:
    return Clamped(a.First.Top, field);
  case F::NoControls:
    return Clamped(AreaWidth(a.First), field);
  case F::NoPLines:
    return Clamped(AreaHeight(a.First), field);
  case F::Control2:
    return Clamped(a.Second.Left, field);
  case F::PLine2:
    return Clamped(a.Second.Top, field);
  }
  return 1;
}

bool OAreaEditor::Recompute(TAreas& a, TElementField field, int value) const {
  int64_t v[6];
  for (int f = 0; f < 6; ++f)
    v[f] = Number(static_cast<TElementField>(f));
  v[static_cast<int>(field)] = value;
  const int64_t c1 = v[0], p1 = v[1], nc = v[2], np = v[3], c2 = v[4], p2 = v[5];
  const bool first = field != F::Control2 && field != F::PLine2;
  const bool second = field != F::Control1 && field != F::PLine1;
  const bool turned = a.Rotation == 1 || a.Rotation == 3;
  // Both areas are checked before either is stored.
  TAreas made = a;
  if (first && !MakeArea(c1, p1, nc, np, made.First))
    return false;
  if (second && !MakeArea(c2, p2, turned ? np : nc, turned ? nc : np, made.Second))
    return false;
  a = made;
  return true;
}

bool OAreaEditor::StoreNumber(TElementField field, int value) {
  TAreas a = State();
  if (!InRange(value, field) || !Recompute(a, field, value))
    return Refuse();
  if (!Acceptable(a))
    return false;
  SetState(a);
  return true;
}

bool OAreaEditor::StoreRotation(int index) {
  if (index < 0 || index >= static_cast<int>(RotationItems.size()))
    return false;
  TAreas a = State();
  a.Rotation = static_cast<uint8_t>(index);
  // The second area alone follows the turn: its left and top stay.
  if (!Recompute(a, F::Control2, Number(F::Control2)))
    return Refuse();
  SetState(a);
  SetModified(true);
  return true;
}

bool OAreaEditor::Checked(TElementCheck check) const {
  const TAreas a = State();
  return (check == TElementCheck::HFlip   ? a.HFlip
          : check == TElementCheck::VFlip ? a.VFlip
                                          : 0) == 1;
}

void OAreaEditor::StoreChecked(TElementCheck check, bool checked) {
  TAreas a = State();
  if (check == TElementCheck::HFlip)
    a.HFlip = checked ? 1 : 0;
  else if (check == TElementCheck::VFlip)
    a.VFlip = checked ? 1 : 0;
  SetState(a);
  SetModified(true);
}

void OAreaEditor::Export() {
  if (Apply())
    ExportCopy();
}

// Region

ORegionEditor::ORegionEditor(OPattern& pattern, ORegion& region)
    : OAreaEditorOf(pattern, region, &pattern, region.Picture) {}

std::span<const TElementFieldInfo> ORegionEditor::Fields() const {
  return RegionFields;
}

std::span<const char* const> ORegionEditor::Groups() const {
  return RegionGroups;
}

bool ORegionEditor::Checked(TElementCheck check) const {
  if (check == TElementCheck::ImportFlag)
    return WorkingCopy.ImportFlag != 0;
  return OAreaEditor::Checked(check);
}

void ORegionEditor::StoreChecked(TElementCheck check, bool checked) {
  if (check == TElementCheck::ImportFlag) {
    WorkingCopy.ImportFlag = checked ? 1 : 0;
    SetModified(true);
    return;
  }
  OAreaEditor::StoreChecked(check, checked);
}

void ORegionEditor::ApplyToPattern() {
  // The picture draws itself anew when next shown; nothing else depends on a region.
  if (Element.Picture) {
    Element.Picture->Update();
    Pattern.ElementsChanged(TDesignRecordKind::Region, Element.Picture);
  }
  Pattern.SetModified(1);
  Changes.Notify({TEditorChange::TKind::Stored});
}

bool ORegionEditor::Acceptable(const TAreas& a) const {
  const TRect& r = a.First;
  const bool shows =
      std::max(r.Left, r.Right) >= 1 && std::min(r.Left, r.Right) <= Pattern.NoControls &&
      std::max(r.Top, r.Bottom) >= 1 && std::min(r.Top, r.Bottom) <= Pattern.NoPLines;
  if (!shows)
    g.UI().ShowError(RegionOutsideText);
  return shows;
}

bool ORegionEditor::ConfirmApply() {
  return Acceptable(State());
}

OAreaEditor::TAreas ORegionEditor::State() const {
  const ORegion& r = WorkingCopy;
  return {r.PatternArea, r.PictureArea, r.HFlip, r.VFlip, r.Rotation};
}

void ORegionEditor::SetState(const TAreas& a) {
  WorkingCopy.SetPatternArea(a.First);
  WorkingCopy.SetPictureArea(a.Second);
  WorkingCopy.HFlip = a.HFlip;
  WorkingCopy.VFlip = a.VFlip;
  WorkingCopy.Rotation = a.Rotation;
}

// Section

OSectionEditor::OSectionEditor(OPattern& pattern, OSection& section)
    : OAreaEditorOf(pattern, section, &pattern) {}

std::span<const TElementFieldInfo> OSectionEditor::Fields() const {
  return SectionFields;
}

std::span<const char* const> OSectionEditor::Groups() const {
  return SectionGroups;
}

bool OSectionEditor::ConfirmApply() {
  const std::string refusal = Pattern.SectionWorkRefusal(
      Pattern.SectionWork() - Pattern.SectionWork(Element) + Pattern.SectionWork(WorkingCopy));
  if (!refusal.empty())
    g.UI().ShowError(refusal);
  return refusal.empty();
}

void OSectionEditor::ApplyToPattern() {
  Pattern.Changed({TDesignRecordKind::Section});
}

OAreaEditor::TAreas OSectionEditor::State() const {
  const OSection& s = WorkingCopy;
  return {s.SourceArea, s.TargetArea, s.HFlip, s.VFlip, s.Rotation};
}

void OSectionEditor::SetState(const TAreas& a) {
  WorkingCopy.SetSourceArea(a.First);
  WorkingCopy.TargetArea = a.Second;
  WorkingCopy.HFlip = a.HFlip;
  WorkingCopy.VFlip = a.VFlip;
  WorkingCopy.Rotation = a.Rotation;
}

} // namespace quillane
