// The pattern's life cycle: new patterns, the pattern file and the change notification.
#include "model/Pattern.h"

#include "app/ByteRows.h"
#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "data/DesignData.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/Settings.h"

namespace quillane {

namespace {
constexpr uint8_t PatternVersion = 2;
const char* const PatternHeaderError = "Error reading pattern data";
} // namespace

void OPattern::InitNew() {
  if (!LoadDefault()) {
    SetNoControls(100);
    SetNoPLines(100);
    SetNoYarnTypes(3);
    SetNoStates(2);
    StateNames[1] = "High";
    StateNames[2] = "Low";
    SetNoColours(16);
    Settings->SetDefaults();
    ApplySettings();
    Palette->SetDefaults();
    MachineTable->SetDefaults();
    DesignTable->SetDefaults();
    Creel->SetDefaults();

    OPicture* picture = Pictures->Add(std::make_unique<OPicture>(this));
    picture->SetDefaults();
    OSection* section = Sections->Add(std::make_unique<OSection>(this));
    section->SetDefaults();
  }
  SetModified(0);
  Changed();
}

bool OPattern::LoadDefault() {
  return LoadDefaultFile(GetExtension(), [this](const TBytes& bytes) {
    // A trial read first: a truncated default must not leave sections or pictures behind.
    {
      OPattern trial{TUncounted{}};
      trial.Quiet = true;
      OReader stream(bytes);
      trial.ReadFromStream(stream);
      stream.RequireEnd();
    }
    OReader stream(bytes);
    ReadFromStream(stream);
    return true;
  });
}

void OPattern::SaveToFile() {
  WriteCopy(FileName);
  SetModified(0);
}

void OPattern::WriteCopy(const std::string& path) const {
  TFileParts parts = FileParts();
  std::vector<std::span<const uint8_t>> spans;
  spans.reserve(parts.Rows.size() + 2);
  spans.emplace_back(parts.Head.Bytes());
  spans.insert(spans.end(), parts.Rows.begin(), parts.Rows.end());
  spans.emplace_back(parts.Tail.Bytes());
  WriteFileAtomic(path, spans);
}

void OPattern::WriteToStream(OWriter& s) const {
  TFileParts parts = FileParts();
  s.Reserve(s.Size() + parts.Head.Size() + size_t{NoControls} * NoPLines + parts.Tail.Size());
  s.Write(parts.Head.Bytes().data(), parts.Head.Size());
  for (std::span<const uint8_t> row : parts.Rows)
    s.Write(row.data(), row.size());
  s.Write(parts.Tail.Bytes().data(), parts.Tail.Size());
}

OPattern::TFileParts OPattern::FileParts() const {
  // Refused before a byte is written: the file's counts could not hold them.
  if (Pictures->Count() > MaxPictures)
    throw Exception("A pattern can hold at most 255 pictures; this one has " +
                    std::to_string(Pictures->Count()) + ".");
  if (Sections->Count() > MaxSections)
    throw Exception("A pattern can hold at most 65535 sections; this one has " +
                    std::to_string(Sections->Count()) + ".");
  for (const auto& picture : *Pictures)
    if (picture->Regions.Count() > OPicture::MaxRegions)
      throw Exception("A picture can hold at most 255 regions; one has " +
                      std::to_string(picture->Regions.Count()) + ".");

  TFileParts parts;
  OWriter& s = parts.Head;
  s.WriteByte(static_cast<uint8_t>(TDesignRecordKind::Pattern));
  s.WriteByte(PatternVersion);
  Settings->WriteToStream(s);
  Palette->WriteToStream(s);
  MachineTable->WriteToStream(s);
  DesignTable->WriteToStream(s);
  Creel->WriteToStream(s);
  s.WriteWord(NoControls);
  s.WriteWord(NoPLines);
  // The cells straight from the primary grid, a PLine at a time.
  const TGrid& primary = PatternMode == pmStates ? States : MachineColours;
  parts.Rows.reserve(NoPLines);
  for (int p = 1; p <= NoPLines; ++p)
    parts.Rows.emplace_back(primary.Row(p) + 1, NoControls);
  OWriter& t = parts.Tail;
  t.WriteWord(static_cast<uint16_t>(Sections->Count()));
  for (const auto& section : *Sections)
    section->WriteToStream(t);
  t.WriteByte(static_cast<uint8_t>(Pictures->Count()));
  for (const auto& picture : *Pictures)
    picture->WriteToStream(t);
  return parts;
}

void OPattern::ReadFromStream(OReader& s) {
  const uint8_t kind = s.ReadByte();
  const uint8_t version = s.ReadByte();
  if (kind != static_cast<uint8_t>(TDesignRecordKind::Pattern) || version < 1 || version > 2)
    throw EDesignData(PatternHeaderError);

  Settings->ReadFromStream(s);
  // The settings size the grids at once; a forged record must not make them larger than
  // the cells the file still holds.
  if (uint64_t{Settings->NoControls} * Settings->NoPLines > s.Remaining())
    throw EReadError();
  ApplySettings();
  Palette->ReadFromStream(s);
  ApplyPalette();
  MachineTable->ReadFromStream(s);
  ApplyMachineTable();
  DesignTable->ReadFromStream(s);
  ApplyDesignTable();
  Creel->ReadFromStream(s);
  Creel->SetNoYarnTypes(MachineTable->NoYarnTypes());
  ApplyCreel();

  const uint16_t controls = s.ReadWord();
  const uint16_t pLines = s.ReadWord();
  s.Require(size_t{controls} * pLines);
  // Shrink before growing, so that no grid on the way holds more cells than the file has
  // (the settings' counts and these may pair a large width with a large length).
  if (controls < NoControls)
    SetNoControls(controls);
  SetNoPLines(pLines);
  SetNoControls(controls);
  const bool states = PatternMode == pmStates;
  TGrid& primary = states ? States : MachineColours;
  const uint8_t highest = states ? NoStates : NoColours;
  for (int p = 1; p <= NoPLines; ++p) {
    std::span<const uint8_t> cells = s.ReadSpan(NoControls);
    uint8_t* row = primary.Row(p) + 1;
    // Values the setters would refuse leave the cell as it is.
    TakeUpTo(cells.data(), row, cells.size(), highest);
  }

  const int sectionCount = version == 1 ? s.ReadByte() : s.ReadWord();
  s.Require(size_t(sectionCount) * OSection::RecordSize);
  for (int i = 0; i < sectionCount; ++i)
    Sections->Add(std::make_unique<OSection>(this))->ReadFromStream(s);
  const int pictureCount = s.ReadByte();
  // One limit for all pictures: a few bytes per picture must not reserve gigabytes.
  int64_t pixelsLeft = OPicture::MaxPixels;
  for (int i = 0; i < pictureCount; ++i) {
    OPicture* picture = Pictures->Add(std::make_unique<OPicture>(this));
    picture->ReadFromStream(s, pixelsLeft);
    pixelsLeft -= int64_t{picture->Width} * picture->Height;
  }

  if (PatternMode != pmColours)
    ComputeMachineColours();
  Resynchronise(ApplySectionsOnRead);
}

std::unique_ptr<OPattern> OpenPatternFile(const std::string& path) {
  return ReadPatternFile(path, true);
}

std::unique_ptr<OPattern> ReadPatternFile(const std::string& path, bool applySections) {
  auto pattern = std::make_unique<OPattern>();
  pattern->FileName = path;
  pattern->ApplySectionsOnRead = applySections;
  TBytes bytes;
  try {
    bytes = ReadFileBytes(path);
  } catch (const EFOpenError&) {
    throw Exception("Error, pattern file not found " + path);
  } catch (const std::exception&) {
    throw Exception("Error reading pattern: " + path);
  }
  try {
    OReader stream(bytes);
    pattern->ReadFromStream(stream);
    stream.RequireEnd();
  } catch (const std::exception&) {
    throw Exception("Error reading pattern: " + path);
  }
  return pattern;
}

void OPattern::Changed() {
  Resynchronise(true);
}

void OPattern::Restored() {
  Resynchronise(false);
}

void OPattern::Resynchronise(bool copySections) {
  SetModified(1);
  ViewMode = 0;
  Settings->Update();
  Palette->Update();
  MachineTable->Update();
  DesignTable->Update();
  Creel->Update();
  if (copySections)
    ApplySections();
  for (const auto& section : *Sections)
    section->Update();
  for (const auto& picture : *Pictures)
    picture->Update();
  Events.Notify({TPatternChange::TKind::All});
}

} // namespace quillane
