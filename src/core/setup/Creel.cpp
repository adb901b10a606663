#include "setup/Creel.h"

#include <algorithm>

#include "app/Exceptions.h"
#include "data/DesignOwner.h"

namespace quillane {

std::string YarnTypeLetter(OYarnType yarnType) {
  return yarnType == 0 ? std::string() : std::string(1, static_cast<char>(64 + yarnType));
}

OCreel::OCreel(ODesignOwner* owner) : ODesignData(owner) {
  OCreel::Clear();
}

std::unique_ptr<ODesignData> OCreel::NewEmpty() const {
  return std::make_unique<OCreel>(Owner);
}

OYarnType OCreel::GetYarnType(int control) const {
  if (Unvalidated)
    throw EAssertionFailed("Creel needs validating");
  return YarnTypeEntry(control);
}

OYarnType OCreel::YarnTypeEntry(int control) const {
  if (control < 1 || control > ControlCount || static_cast<size_t>(control) >= YarnTypes.size())
    return 0;
  return YarnTypes[static_cast<size_t>(control)];
}

void OCreel::SetYarnType(int control, OYarnType yarnType) {
  if (control >= 1 && control <= ControlCount && static_cast<size_t>(control) < YarnTypes.size())
    YarnTypes[static_cast<size_t>(control)] = yarnType;
}

void OCreel::SetNoControls(uint16_t n) {
  if (n == ControlCount)
    return;
  YarnTypes.resize(static_cast<size_t>(n) + 1, 0);
  YarnTypes[0] = 0;
  ControlCount = n;
  Unvalidated = true;
}

void OCreel::SetNoYarnTypes(uint8_t n) {
  if (n == YarnTypeCount)
    return;
  YarnTypeCount = n;
  Unvalidated = true;
}

void OCreel::Assign(const OCreel& source) {
  if (source.Unvalidated)
    throw EAssertionFailed("Creel needs validating"); // before anything changes
  if (&source != this) {
    SetNoControls(source.ControlCount);
    SetNoYarnTypes(source.YarnTypeCount);
    RepeatSize = source.RepeatSize;
    for (int c = 1; c <= ControlCount; ++c)
      SetYarnType(c, source.GetYarnType(c));
  }
  Unvalidated = true;
  if (Owner)
    Owner->ApplyCreel();
}

void OCreel::Repeat(int repeatSize) {
  if (repeatSize < 1)
    return;
  int s = 1;
  for (int c = repeatSize + 1; c <= ControlCount; ++c) {
    SetYarnType(c, GetYarnType(s));
    s = s == repeatSize ? 1 : s + 1;
  }
}

void OCreel::Clear() {
  ControlCount = 0;
  YarnTypeCount = 0;
  RepeatSize = 0;
  YarnTypes.clear();
  Unvalidated = true;
}

void OCreel::SetDefaults() {
  if (!LoadDefault()) {
    // Uses the creel's own counts: a new pattern has not passed its yarn types on yet, so
    // its creel starts all "A".
    RepeatSize = YarnTypeCount;
    int y = 1;
    for (int c = 1; c <= ControlCount; ++c) {
      SetYarnType(c, static_cast<OYarnType>(y));
      y = y >= YarnTypeCount ? 1 : y + 1;
    }
  }
  Unvalidated = true;
}

void OCreel::Update() {
  if (!Owner)
    return;
  SetNoControls(Owner->NoControls);
  SetNoYarnTypes(Owner->NoYarnTypes);
  if (Unvalidated)
    Validate();
}

void OCreel::Validate() {
  Unvalidated = false;
  for (size_t c = 1; c < YarnTypes.size(); ++c)
    if (YarnTypes[c] > YarnTypeCount)
      YarnTypes[c] = 0;
}

void OCreel::ReadFromStream(OReader& stream) {
  ReadHeader(stream, 1, 1);
  const uint16_t repeatSize = stream.ReadWord();
  const uint16_t n = stream.ReadWord();
  std::span<const uint8_t> yarnTypes = stream.ReadSpan(n); // checked before anything grows
  RepeatSize = repeatSize;
  SetNoControls(n);
  if (!yarnTypes.empty())
    std::copy(yarnTypes.begin(), yarnTypes.end(), YarnTypes.begin() + 1);
  // The yarn types read may exceed the count.
  Unvalidated = true;
}

void OCreel::WriteToStream(OWriter& s) const {
  s.Reserve(s.Size() + 6 + ControlCount);
  s.WriteByte(static_cast<uint8_t>(TDesignRecordKind::Creel));
  s.WriteByte(1);
  s.WriteWord(RepeatSize);
  s.WriteWord(ControlCount);
  for (int c = 1; c <= ControlCount; ++c)
    s.WriteByte(YarnTypeEntry(c));
}

void OCreel::Export() {
  ExportFlow();
}

void OCreel::Import() {
  ImportFlow([this](OReader& stream) {
    OCreel temp(Owner);
    temp.ReadFromStream(stream);
    stream.RequireEnd();
    // Fitted to the pattern (or, for a free-standing creel, to this one) before it is taken.
    temp.SetNoControls(Owner ? Owner->NoControls : ControlCount);
    temp.SetNoYarnTypes(Owner ? Owner->NoYarnTypes : YarnTypeCount);
    temp.Validate();
    Assign(temp);
  });
}

} // namespace quillane
