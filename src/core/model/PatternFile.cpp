// The pattern's life cycle: new patterns, the pattern file and the change notification.
#include "model/Pattern.h"

#include <algorithm>

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
    // Neither read copies the sections: the new pattern's Changed does, once.
    {
      OPattern trial{TUncounted{}};
      trial.Quiet = true;
      trial.ApplySectionsOnRead = false;
      OReader stream(bytes);
      trial.ReadFromStream(stream);
      stream.RequireEnd();
    }
    const bool apply = std::exchange(ApplySectionsOnRead, false);
    OReader stream(bytes);
    try {
      ReadFromStream(stream);
    } catch (...) {
      ApplySectionsOnRead = apply;
      throw;
    }
    ApplySectionsOnRead = apply;
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
  int64_t pixels = 0;
  for (const auto& picture : *Pictures) {
    if (picture->Regions.Count() > OPicture::MaxRegions)
      throw Exception("A picture can hold at most 255 regions; one has " +
                      std::to_string(picture->Regions.Count()) + ".");
    pixels += int64_t{picture->Width} * picture->Height;
  }
  // The reader's own limits: a file it would refuse is never written.
  if (NoControls == 0 || NoPLines == 0)
    throw Exception("A pattern needs at least one control and one PLine; this one has " +
                    std::to_string(NoControls) + " x " + std::to_string(NoPLines) + ".");
  if (std::string refusal = SectionWorkRefusal(SectionWork()); !refusal.empty())
    throw Exception(refusal);
  if (pixels > OPicture::MaxPixels)
    throw Exception("The pictures of a pattern can hold at most " +
                    std::to_string(OPicture::MaxPixels) + " pixels in all; this one's hold " +
                    std::to_string(pixels) + ".");

  TFileParts parts;
  OWriter& s = parts.Head;
  s.WriteByte(static_cast<uint8_t>(TDesignRecordKind::Pattern));
  s.WriteByte(PatternVersion);
  Settings->WriteToStream(s);
  const size_t settingsEnd = s.Size();
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
  // The reader sizes the grids from the settings before it meets the cells, and refuses
  // settings that announce more cells than the file holds after them.
  const uint64_t after = s.Size() - settingsEnd + uint64_t{NoControls} * NoPLines + t.Size();
  if (uint64_t{Settings->NoControls} * Settings->NoPLines > after)
    throw Exception("The control settings give " + std::to_string(Settings->NoControls) + " x " +
                    std::to_string(Settings->NoPLines) + " cells, the pattern has " +
                    std::to_string(NoControls) + " x " + std::to_string(NoPLines) + ".");
  return parts;
}

namespace {

// The parts of a pattern file in their order, each with what a failure there tells the user.
enum class TPatternPart {
  Header,
  Settings,
  Palette,
  MachineTable,
  DesignTable,
  Creel,
  Size,
  Cells,
  Sections,
  Pictures,
  End
};

const char* PartReason(TPatternPart part) {
  switch (part) {
  case TPatternPart::Header:
    return "it is not a pattern file, or one of a later version";
  case TPatternPart::Settings:
    return "the settings record is damaged";
  case TPatternPart::Palette:
    return "the palette record is damaged";
  case TPatternPart::MachineTable:
    return "the machine table record is damaged";
  case TPatternPart::DesignTable:
    return "the design table record is damaged";
  case TPatternPart::Creel:
    return "the creel record is damaged";
  case TPatternPart::Size:
    return "the pattern has no controls or no PLines";
  case TPatternPart::Cells:
    return "the cells are cut short";
  case TPatternPart::Sections:
    return "a section record is damaged";
  case TPatternPart::Pictures:
    return "a picture record is damaged";
  case TPatternPart::End:
    break;
  }
  return "there are bytes after the last picture";
}

// Sections asking for more copying than any pattern needs; the text says how much.
class ETooMuchSectionWork : public Exception {
public:
  using Exception::Exception;
};

// Reads the record into `p`, keeping `part` at the part being read so that a failure can
// say where the file is damaged.
void ReadPattern(OPattern& p, OReader& s, TPatternPart& part) {
  part = TPatternPart::Header;
  const uint8_t kind = s.ReadByte();
  const uint8_t version = s.ReadByte();
  if (kind != static_cast<uint8_t>(TDesignRecordKind::Pattern) || version < 1 || version > 2)
    throw EDesignData(PatternHeaderError);

  part = TPatternPart::Settings;
  p.Settings->ReadFromStream(s);
  // The settings size the grids at once; a forged record must not make them larger than
  // the cells the file still holds.
  if (uint64_t{p.Settings->NoControls} * p.Settings->NoPLines > s.Remaining())
    throw EReadError();
  p.ApplySettings();
  part = TPatternPart::Palette;
  p.Palette->ReadFromStream(s);
  p.ApplyPalette();
  part = TPatternPart::MachineTable;
  p.MachineTable->ReadFromStream(s);
  p.ApplyMachineTable();
  part = TPatternPart::DesignTable;
  p.DesignTable->ReadFromStream(s);
  p.ApplyDesignTable();
  part = TPatternPart::Creel;
  p.Creel->ReadFromStream(s);
  p.Creel->SetNoYarnTypes(p.MachineTable->NoYarnTypes());
  p.ApplyCreel();

  part = TPatternPart::Cells;
  const uint16_t controls = s.ReadWord();
  const uint16_t pLines = s.ReadWord();
  if (controls == 0 || pLines == 0) { // sizes no editor lets a pattern take
    part = TPatternPart::Size;
    throw EDesignData(PatternHeaderError);
  }
  s.Require(size_t{controls} * pLines);
  // Shrink before growing, so that no grid on the way holds more cells than the file has
  // (the settings' counts and these may pair a large width with a large length).
  if (controls < p.NoControls)
    p.SetNoControls(controls);
  p.SetNoPLines(pLines);
  p.SetNoControls(controls);
  const bool states = p.PatternMode == pmStates;
  TGrid& primary = states ? p.States : p.MachineColours;
  const uint8_t highest = states ? p.NoStates : p.NoColours;
  for (int l = 1; l <= p.NoPLines; ++l) {
    std::span<const uint8_t> cells = s.ReadSpan(p.NoControls);
    uint8_t* row = primary.Row(l) + 1;
    // Values the setters would refuse leave the cell as it is.
    TakeUpTo(cells.data(), row, cells.size(), highest);
  }

  part = TPatternPart::Sections;
  const int sectionCount = version == 1 ? s.ReadByte() : s.ReadWord();
  s.Require(size_t(sectionCount) * OSection::RecordSize);
  for (int i = 0; i < sectionCount; ++i)
    p.Sections->Add(std::make_unique<OSection>(&p))->ReadFromStream(s);
  if (std::string problem = p.SectionWorkProblem(); !problem.empty())
    throw ETooMuchSectionWork(problem);
  part = TPatternPart::Pictures;
  const int pictureCount = s.ReadByte();
  // One limit for all pictures: a few bytes per picture must not reserve gigabytes.
  int64_t pixelsLeft = OPicture::MaxPixels;
  for (int i = 0; i < pictureCount; ++i) {
    OPicture* picture = p.Pictures->Add(std::make_unique<OPicture>(&p));
    picture->ReadFromStream(s, pixelsLeft);
    pixelsLeft -= int64_t{picture->Width} * picture->Height;
  }

  if (p.PatternMode != pmColours)
    p.ComputeMachineColours();
  // Commands that only look at the file leave the sections' copies as stored.
  if (p.ApplySectionsOnRead)
    p.Changed();
  else
    p.Restored();
  part = TPatternPart::End;
}

} // namespace

void OPattern::ReadFromStream(OReader& s) {
  TPatternPart part;
  ReadPattern(*this, s, part);
}

std::unique_ptr<OPattern> OpenPatternFile(const std::string& path) {
  return ReadPatternFile(path, true);
}

std::unique_ptr<OPattern> ReadPatternFile(const std::string& path, bool applySections,
                                          bool cancellable) {
  auto pattern = std::make_unique<OPattern>();
  pattern->FileName = path;
  pattern->ApplySectionsOnRead = applySections;
  pattern->OfferCancel = cancellable;
  TBytes bytes;
  try {
    bytes = ReadFileBytes(path);
  } catch (const EUnreadableFile& e) {
    throw Exception(e.what()); // there, but no file to read: "not found" would mislead
  } catch (const EFOpenError&) {
    throw Exception("Error, pattern file not found " + path);
  } catch (const std::exception&) {
    throw Exception("Error reading pattern: " + path);
  }
  TPatternPart part = TPatternPart::Header;
  try {
    OReader stream(bytes);
    ReadPattern(*pattern, stream, part);
    stream.RequireEnd();
  } catch (const EOpenCancelled&) {
    throw;
  } catch (const ETooMuchSectionWork& e) {
    throw Exception("Error reading pattern: " + path + ": " + e.what());
  } catch (const std::exception&) {
    throw Exception("Error reading pattern: " + path + ": " + PartReason(part));
  }
  // Later copies come from editing, where a cancel would leave half a copy.
  pattern->OfferCancel = false;
  return pattern;
}

void OPattern::Changed() {
  Resynchronise(true, {});
}

void OPattern::Changed(std::initializer_list<TDesignRecordKind> objects) {
  Resynchronise(true, std::span(objects.begin(), objects.size()));
}

void OPattern::Restored() {
  Resynchronise(false, {});
}

void OPattern::Restored(std::span<const TDesignRecordKind> objects) {
  Resynchronise(false, objects);
}

// Without a list of objects anything may have changed.
void OPattern::Resynchronise(bool copySections, std::span<const TDesignRecordKind> objects) {
  SetModified(1);
  UpToDate = TView::None;
  Settings->Update();
  // The palette brought up to date tells of itself: only when it is among those changed.
  if (objects.empty() ||
      std::find(objects.begin(), objects.end(), TDesignRecordKind::Palette) != objects.end())
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
  if (objects.empty()) {
    Events.Notify({TPatternChange::TKind::All});
    return;
  }
  OPatternEvents::TGroup oneReport(Events);
  for (const TDesignRecordKind kind : objects) {
    switch (kind) {
    case TDesignRecordKind::Section:
      // The copies are the section's cells.
      for (const auto& section : *Sections) {
        const TRect& t = section->TargetArea;
        Events.CellsChanged({std::max(t.Left, 1), std::max(t.Top, 1),
                             std::min<int32_t>(t.Right, NoControls),
                             std::min<int32_t>(t.Bottom, NoPLines)});
      }
      [[fallthrough]];
    case TDesignRecordKind::Picture:
    case TDesignRecordKind::Region:
      ElementsChanged(kind, nullptr);
      break;
    default:
      SetupApplied(kind);
      break;
    }
  }
}

} // namespace quillane
