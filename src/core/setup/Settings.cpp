#include "setup/Settings.h"

#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "data/DesignOwner.h"

namespace quillane {

namespace {
// The settings record after its header: reading and writing walk this one layout.
template <class TSettings, class TVisit> void WalkRecord(TSettings& s, TVisit&& v) {
  v(s.MachineType);
  v(s.NoControls);
  v(s.NoPLines);
  v(s.ReversePattern);
  v(s.OffsetAllowed);
  v(s.StepsPerPLine);
  v(s.SizeCode);
  v(s.StyleCode);
  v(s.AllowChangeControlMode);
  v(s.AllowChangePatternLength);
  v(s.AllowChangePatternOffset);
  v(s.AllowInvertPattern);
  v(s.AutoStart);
  v(s.CamStart);
  v(s.ControlMode);
  v(s.Description);
  v(s.FileVersion);
  v(s.InvertFlag);
  v(s.LengthMultiplier);
  v(s.NeedleSpacing);
  v(s.Offset);
  v(s.OffsetMode);
  v(s.PLineSpacing);
  v(s.PLineStart);
  v(s.InverseStitchCount);
  v(s.TestFlag);
}

struct TRecordReader {
  OReader& R;
  void operator()(uint8_t& x) { x = R.ReadByte(); }
  void operator()(uint16_t& x) { x = R.ReadWord(); }
  void operator()(int16_t& x) { x = R.ReadSmallInt(); }
  void operator()(float& x) { x = R.ReadSingle(); }
  template <size_t N> void operator()(TShortString<N>& x) { R.ReadShortString(x); }
};

struct TRecordWriter {
  OWriter& W;
  void operator()(const uint8_t& x) { W.WriteByte(x); }
  void operator()(const uint16_t& x) { W.WriteWord(x); }
  void operator()(const int16_t& x) { W.WriteSmallInt(x); }
  void operator()(const float& x) { W.WriteSingle(x); }
  template <size_t N> void operator()(const TShortString<N>& x) { W.WriteShortString(x); }
};
} // namespace

OSettings::OSettings(ODesignOwner* owner) : ODesignData(owner) {
  OSettings::Clear();
}

std::unique_ptr<ODesignData> OSettings::NewEmpty() const {
  return std::make_unique<OSettings>(Owner);
}

void OSettings::Clear() {
  uint8_t reverse = ReversePattern;
  CopyFields(OSettings(nullptr, TBlank{}));
  ReversePattern = reverse;
}

void OSettings::SetDefaults() {
  if (LoadDefault())
    return;
  MachineType = 0;
  NoControls = Owner ? Owner->NoControls : 0;
  NoPLines = Owner ? Owner->NoPLines : 0;
  OffsetAllowed = 1;
  StepsPerPLine = 1;
  SetSizeCode("");
  SetStyleCode("");
  AllowChangeControlMode = 1;
  AllowChangePatternLength = 1;
  AllowChangePatternOffset = 1;
  AllowInvertPattern = 1;
  AutoStart = 0;
  CamStart = 0;
  ControlMode = 0;
  SetDescription("Default ControlSetup");
  FileVersion = 6;
  InvertFlag = 0;
  LengthMultiplier = 1.0f;
  NeedleSpacing = 0.0f;
  PLineSpacing = 0.0f;
  InverseStitchCount = 0.0f;
  PLineStart = 0;
  Offset = 0;
  OffsetMode = 0;
  TestFlag = 0;
}

void OSettings::Update() {
  if (!Owner)
    return;
  MachineType = Owner->MachineType;
  NoControls = Owner->NoControls;
  NoPLines = Owner->NoPLines;
}

void OSettings::CopyFields(const OSettings& source) {
  ForEachField([](const char*, auto& to, const auto& from) { to = from; }, *this, source);
}

void OSettings::Assign(const OSettings& source) {
  if (&source != this)
    CopyFields(source);
  if (Owner)
    Owner->ApplySettings();
}

void OSettings::ReadFromStream(OReader& stream) {
  ReadHeader(stream, 1, 1);
  // Fields go into a copy first, so a short record changes nothing.
  OSettings r(nullptr, TBlank{});
  WalkRecord(r, TRecordReader{stream});
  CopyFields(r);
}

void OSettings::WriteToStream(OWriter& s) const {
  s.WriteByte(static_cast<uint8_t>(TDesignRecordKind::Settings));
  s.WriteByte(1);
  WalkRecord(*this, TRecordWriter{s});
}

void OSettings::Export() {
  ExportFlow();
}

void OSettings::Import() {
  ImportFlow([this](OReader& stream) {
    OSettings temp(Owner);
    temp.ReadFromStream(stream);
    stream.RequireEnd();
    Assign(temp);
  });
}

float OSettings::GetStitchCount() const {
  return InverseStitchCount > 0 ? 1.0f / InverseStitchCount : 0.0f;
}

void OSettings::SetStitchCount(float stitchCount) {
  InverseStitchCount = stitchCount > 0 ? 1.0f / stitchCount : 0.0f;
}

namespace {
// The option file's layouts differ only in which fields a version carries and where
// the spare bytes stand; one walk over the layout serves writing and reading alike.
template <class TVisitor> void WalkOptionFile(uint8_t version, TVisitor& v) {
  if (version < 1 || version > 6)
    return;
  const bool compact = version == 3; // version 3 has no spare bytes
  v.Byte(v.S.ControlMode);
  v.Byte(v.S.AllowChangeControlMode);
  if (!compact)
    v.Spare(1);
  v.Single(v.S.NeedleSpacing);
  v.Single(v.S.PLineSpacing);
  v.Single(v.S.InverseStitchCount);
  v.Single(v.S.LengthMultiplier);
  v.Byte(v.S.AllowChangePatternLength);
  if (!compact)
    v.Spare(1);
  v.SmallInt(v.S.Offset);
  v.Byte(v.S.InvertFlag);
  if (version == 1) {
    v.Spare(1);
    return;
  }
  v.Byte(v.S.AutoStart);
  v.Byte(v.S.TestFlag);
  if (!compact)
    v.Spare(1);
  if (version == 2)
    return;
  v.Byte(v.S.AllowInvertPattern);
  v.Byte(v.S.AllowChangePatternOffset);
  v.Ignored(v.S.MachineType);
  v.IgnoredWord(v.S.NoControls);
  v.IgnoredWord(v.S.NoPLines);
  v.Byte(v.S.StepsPerPLine);
  v.Ignored(v.S.OffsetAllowed);
  v.Block();
  v.Description();
  if (version >= 5)
    v.Byte(v.S.OffsetMode);
  if (version >= 6) {
    v.Byte(v.S.CamStart);
    v.Word(v.S.PLineStart);
  }
}

struct TOptionWriter {
  const OSettings& S;
  OWriter& W;
  void Byte(uint8_t x) { W.WriteByte(x); }
  void Word(uint16_t x) { W.WriteWord(x); }
  void SmallInt(int16_t x) { W.WriteSmallInt(x); }
  void Single(float x) { W.WriteSingle(x); }
  void Spare(size_t n) {
    for (size_t i = 0; i < n; ++i)
      W.WriteByte(0);
  }
  void Ignored(uint8_t x) { W.WriteByte(x); }
  void IgnoredWord(uint16_t x) { W.WriteWord(x); }
  void Block() {
    for (uint8_t i = 0; i < 16; ++i)
      W.WriteByte(i);
  }
  void Description() { W.Write(S.Description.Chars.data(), S.Description.Chars.size()); }
};

struct TOptionReader {
  OSettings& S;
  OReader& R;
  void Byte(uint8_t& x) { x = R.ReadByte(); }
  void Word(uint16_t& x) { x = R.ReadWord(); }
  void SmallInt(int16_t& x) { x = R.ReadSmallInt(); }
  void Single(float& x) { x = R.ReadSingle(); }
  void Spare(size_t n) { R.Skip(n); }
  void Ignored(uint8_t&) { R.Skip(1); }
  void IgnoredWord(uint16_t&) { R.Skip(2); }
  void Block() { R.Skip(16); }
  void Description() { R.Read(S.Description.Chars.data(), S.Description.Chars.size()); }
};
} // namespace

TBytes OSettings::OptionFileBytes() const {
  OWriter w;
  w.WriteByte(FileVersion);
  TOptionWriter v{*this, w};
  WalkOptionFile(FileVersion, v);
  return std::move(w.Bytes());
}

void OSettings::WriteOptionFile(const std::string& fileName) const {
  WriteFileAtomic(fileName, OptionFileBytes());
}

void OSettings::ReadOptionBytes(std::span<const uint8_t> bytes) {
  OReader r(bytes);
  OSettings copy(nullptr, TBlank{});
  copy.CopyFields(*this);
  copy.FileVersion = r.ReadByte();
  TOptionReader v{copy, r};
  WalkOptionFile(copy.FileVersion, v);
  // The versions we know end with their last field; a later version may carry more.
  if (copy.FileVersion >= 1 && copy.FileVersion <= 6)
    r.RequireEnd();
  copy.Description.SetLengthFromContents();
  copy.SizeCode.SetLengthFromContents();
  copy.StyleCode.SetLengthFromContents();
  CopyFields(copy);
}

void OSettings::ReadOptionFile(const std::string& fileName) {
  ReadOptionBytes(ReadFileBytes(fileName));
}

} // namespace quillane
