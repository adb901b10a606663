#include "files/TuftImport.h"

#include <array>

#include <algorithm>
#include <optional>
#include <span>

#include "app/App.h"
#include "app/ByteRows.h"
#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "files/Colors.h"
#include "files/TuftFile.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/Settings.h"

namespace quillane {

namespace {

const char* const ReadingError = "Error reading tuft file";

// A machine type whose cells the file's variant can carry: any other gives a pattern that
// drops every cell.
bool UsableMachineType(uint8_t machineType, uint8_t patternMode) {
  return machineType <= MaxMachineType && MachineTypeInfo(machineType).PatternMode == patternMode;
}

// Palette colours and creel from the colour file. A file that is there but cannot be used
// gives the reason (the colours stored so far kept), a missing one an empty reason.
std::optional<std::string> TakeColourFile(OPattern& p, const std::string& path) {
  TBytes bytes;
  try {
    bytes = ReadFileBytes(path);
  } catch (const EFOpenError&) {
    return std::string();
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
  constexpr size_t countAt = TColorsFile::HeaderSize - 2;
  const size_t count = bytes.size() < TColorsFile::HeaderSize
                           ? 0
                           : size_t{bytes[countAt]} | size_t{bytes[countAt + 1]} << 8;
  if (bytes.size() >= TColorsFile::HeaderSize && count != p.NoControls)
    return "it is for " + std::to_string(count) + " controls, the control file has " +
           std::to_string(p.NoControls);
  if (bytes.size() != TColorsFile::HeaderSize + count)
    return "its length does not fit its count of controls";
  TColorsFile f(p.NoControls);
  f.LoadFromBytes(bytes);
  if (p.NoYarnTypes >= TColorsFile::NoYarnTypes)
    return "it holds colours for " + std::to_string(TColorsFile::NoYarnTypes - 1) +
           " yarn types, the control file uses " + std::to_string(p.NoYarnTypes);
  for (int y = 1; y <= p.NoYarnTypes; ++y)
    for (int s = 1; s <= p.NoStates; ++s) {
      const int32_t colour = f.Colour(s, y);
      if (colour < 0)
        return "it has no colour for yarn type " + std::to_string(y) + " in state " +
               std::to_string(s);
      // Index 0 is the undefined colour, not a colour of the file.
      if (const OPaletteEntry index = p.MachineTable->GetColour(y, s); index != 0)
        p.Palette->SetColour(index, static_cast<uint32_t>(colour));
    }
  for (int c = 1; c <= p.NoControls; ++c)
    if (f.ControlYarn(c) > p.NoYarnTypes)
      return "control " + std::to_string(c) + " carries yarn type " +
             std::to_string(f.ControlYarn(c)) + ", which the control file does not use";
  for (int c = 1; c <= p.NoControls; ++c)
    p.Creel->SetYarnType(c, f.ControlYarn(c));
  return std::nullopt;
}

// The settings from the control file's B.DAT. A damaged one is named: the user chose the
// control file, not this one.
void ReadOptionCompanion(OSettings& settings, const std::string& fileName) {
  const std::string dat = CompanionFile(fileName, ".DAT");
  try {
    settings.ReadOptionFile(dat);
  } catch (const EFOpenError&) {
    throw; // names the file already
  } catch (const Exception& e) {
    throw Exception("Cannot read file \"" + dat + "\". " + e.what());
  }
}

// The inverse of the export's plane coding.
uint8_t DecodeState(int planes, uint8_t b0, uint8_t b1, uint8_t b2) {
  switch (planes) {
  case 1:
    return b0 ? 1 : 2;
  case 2:
    return !b0 ? 1 : b1 ? 2 : 3; // 0,1 is never written: taken as Low like 0,0
  default:
    return !b0 && b1 && !b2 ? 2 : b0 && !b1 && !b2 ? 3 : 1;
  }
}

std::unique_ptr<OPattern> ImportVariant1(const std::string& fileName,
                                         std::span<const uint8_t> bytes) {
  auto p = std::make_unique<OPattern>();
  TTuftFile1 t(fileName);
  t.LoadFromBytes(bytes);
  if (!UsableMachineType(t.MachineType, pmStates) || t.NoPlanes() > 3 || t.NoControls() == 0 ||
      t.NoPLines() == 0)
    throw ETuftFile(ReadingError);
  CheckImportSize(t.NoControls(), t.NoPLines());

  ReadOptionCompanion(*p->Settings, fileName);
  p->SetNoControls(static_cast<uint16_t>(t.NoControls()));
  p->SetNoPLines(static_cast<uint16_t>(t.NoPLines()));
  p->SetControlDataFormat(static_cast<uint8_t>(t.NoPlanes()));
  p->SetMachineType(t.MachineType);

  OSettings& settings = *p->Settings;
  settings.MachineType = t.MachineType;
  settings.NoControls = static_cast<uint16_t>(t.NoControls());
  settings.NoPLines = static_cast<uint16_t>(t.NoPLines());
  settings.ReversePattern = t.ReversePattern;
  settings.OffsetAllowed = t.OffsetAllowed;
  settings.SetSizeCode(t.SizeCode);
  settings.SetStyleCode(t.StyleCode);

  // The export writes each control's yarn type as it is and the reader adds 1 (byte 255
  // wrapping to 0), so the byte is the reader's value less 1. A byte of 0 names no yarn
  // type; such a control carries the first.
  auto fileYarn = [&t](int c) {
    return std::max<uint8_t>(static_cast<uint8_t>(t.ControlYarn(c) - 1), 1);
  };
  uint8_t yarnTypes = 0;
  for (int c = 1; c <= t.NoControls(); ++c)
    yarnTypes = std::max(yarnTypes, fileYarn(c));
  // A state pattern has no more yarn types than its colour file holds, or it could not be
  // exported again. Past that the count is cut as the creel's validation cuts a control's
  // yarn type: the controls that name more carry none, and the user is told.
  // Said only when the creel does come from the control file: a colour file beside it
  // gives every control its yarn type.
  constexpr uint8_t MostYarnTypes = TColorsFile::NoYarnTypes - 1;
  std::string tooMany;
  if (yarnTypes > MostYarnTypes) {
    int first = 1;
    while (fileYarn(first) <= MostYarnTypes)
      ++first;
    tooMany = "Yarn types above " + std::to_string(MostYarnTypes) + " passed over: " + fileName +
              " (control " + std::to_string(first) + " carries yarn type " +
              std::to_string(fileYarn(first)) + "); such controls carry no yarn type.";
    yarnTypes = MostYarnTypes;
  }
  SetUpImportedPattern(*p, yarnTypes);
  p->Changed();

  const std::string colourFile = CompanionFile(fileName, ".CLR");
  if (const auto passedOver = TakeColourFile(*p, colourFile)) {
    if (!passedOver->empty())
      g.UI().ShowWarning("Colour file passed over: " + colourFile + " (" + *passedOver +
                         "); the creel comes from the control file.");
    if (!tooMany.empty())
      g.UI().ShowWarning(tooMany);
    for (int c = 1; c <= p->NoControls; ++c)
      p->Creel->SetYarnType(c, fileYarn(c));
  }
  p->Creel->Validate();

  // The state of each combination of plane bits, then a PLine at a time.
  const int planes = t.NoPlanes();
  std::array<uint8_t, 8> stateOf{};
  for (int code = 0; code < 8; ++code) {
    const uint8_t s = DecodeState(planes, code & 1, planes > 1 ? (code >> 1) & 1 : 0,
                                  planes > 2 ? (code >> 2) & 1 : 0);
    stateOf[static_cast<size_t>(code)] = s <= p->NoStates ? s : 0; // as the cell setter refuses
  }
  const int controls = std::min<int>(t.NoControls(), p->NoControls);
  for (int pl = 1; pl <= std::min<int>(t.NoPLines(), p->NoPLines); ++pl) {
    const uint8_t* bits[3] = {t.PlaneRow(0, pl), planes > 1 ? t.PlaneRow(1, pl) : nullptr,
                              planes > 2 ? t.PlaneRow(2, pl) : nullptr};
    uint8_t* row = p->States.Row(pl);
    if (planes == 1) { // the usual two states: one select per cell
      TakeByBit(bits[0] + 1, row + 1, static_cast<size_t>(std::max(controls, 0)), stateOf[0],
                stateOf[1]);
      continue;
    }
    for (int c = 1; c <= controls; ++c) {
      const int code = (bits[0][c] & 1) | (bits[1] ? (bits[1][c] & 1) << 1 : 0) |
                       (bits[2] ? (bits[2][c] & 1) << 2 : 0);
      if (stateOf[static_cast<size_t>(code)] != 0)
        row[c] = stateOf[static_cast<size_t>(code)];
    }
  }
  SetImportRegionFlag(*p);
  p->Changed();
  return p;
}

std::unique_ptr<OPattern> ImportVariant2(const std::string& fileName,
                                         std::span<const uint8_t> bytes) {
  const ETuftFile dataError("Error in tuft file data: " + fileName);
  // The reader bounds the size (its cell limit, two bytes a line) before it allocates; a
  // line may stop short of the last control, so the file's length says no more than that.
  // A few bytes a line can announce a grid too large for a pattern: refused before the
  // reader sizes it.
  if (bytes.size() >= 6)
    CheckImportSize(bytes[2] | bytes[3] << 8, bytes[4] | bytes[5] << 8);
  TTuftFile2 t(fileName);
  t.LoadFromBytes(bytes);
  auto p = std::make_unique<OPattern>();
  if (!UsableMachineType(t.MachineType, pmColours) || t.NoControls() == 0 || t.NoPLines() == 0)
    throw dataError;
  CheckImportSize(t.NoControls(), t.NoPLines());

  ReadOptionCompanion(*p->Settings, fileName);
  p->SetNoControls(static_cast<uint16_t>(t.NoControls()));
  p->SetNoPLines(static_cast<uint16_t>(t.NoPLines()));
  p->SetMachineType(t.MachineType);

  OSettings& settings = *p->Settings;
  settings.MachineType = t.MachineType;
  settings.NoControls = static_cast<uint16_t>(t.NoControls());
  settings.NoPLines = static_cast<uint16_t>(t.NoPLines());
  settings.OffsetAllowed = t.OffsetAllowed;
  settings.StepsPerPLine = static_cast<uint8_t>(t.StepsPerPLine);

  constexpr int YarnNumbers = 16;
  p->Palette->SetDefaults();
  p->SetNoColours(YarnNumbers);
  p->Palette->SetNoColours(YarnNumbers);
  for (int i = 1; i <= YarnNumbers; ++i)
    p->Palette->SetColour(i, t.Colour(i));

  p->SetNoYarnTypes(YarnNumbers);
  p->Creel->SetNoYarnTypes(YarnNumbers);
  p->Creel->SetNoControls(p->NoControls);
  for (int c = 1; c <= p->NoControls; ++c)
    p->Creel->SetYarnType(c, t.ControlYarn(c));

  // Yarn type i shows palette colour i: a cell's colour is its yarn number.
  p->MachineTable->SetNoColours(YarnNumbers);
  p->MachineTable->SetNoStates(1);
  p->MachineTable->SetNoYarnTypes(YarnNumbers);
  for (int i = 1; i <= YarnNumbers; ++i)
    p->MachineTable->SetColour(i, 1, static_cast<OPaletteEntry>(i));

  AddDefaultPictureAndSection(*p);
  const int controls = std::min<int>(t.NoControls(), p->NoControls);
  for (int pl = 1; pl <= std::min<int>(t.NoPLines(), p->NoPLines); ++pl) {
    // Values the cell setter would refuse leave the cell as it is.
    TakeUpTo(t.CellRow(pl) + 1, p->MachineColours.Row(pl) + 1,
             static_cast<size_t>(std::max(controls, 0)), static_cast<uint8_t>(p->NoColours));
  }
  SetImportRegionFlag(*p);
  p->Changed();
  return p;
}

} // namespace

std::string CompanionFile(const std::string& fileName, const std::string& extension) {
  const std::string folder = FolderOf(fileName);
  const std::string name = StripExtension(fileName) + extension;
  // Files from other systems come as b.dat.
  return FindFileIgnoringCase(folder, name).value_or(JoinPath(folder, name));
}

void CheckImportSize(int64_t controls, int64_t pLines) {
  // The readers bound each side to 65535 already.
  if (controls * pLines > OPicture::MaxPixels)
    throw Exception("The file's " + std::to_string(controls) + " x " + std::to_string(pLines) +
                    " cells are more than a pattern can hold (" +
                    std::to_string(OPicture::MaxPixels) + ")");
}

void AddDefaultPictureAndSection(OPattern& pattern) {
  pattern.Pictures->Add(std::make_unique<OPicture>(&pattern))->SetDefaults();
  pattern.Sections->Add(std::make_unique<OSection>(&pattern))->SetDefaults();
}

void SetUpImportedPattern(OPattern& pattern, uint8_t yarnTypes) {
  pattern.Palette->SetDefaults();
  pattern.SetNoColours(pattern.Palette->NoColours());
  pattern.SetNoYarnTypes(yarnTypes);
  pattern.Creel->SetDefaults();
  pattern.Creel->SetNoControls(pattern.NoControls);
  pattern.Creel->SetNoYarnTypes(yarnTypes);
  pattern.MachineTable->SetDefaults();
  pattern.MachineTable->SetNoYarnTypes(yarnTypes);
  pattern.DesignTable->SetDefaults();
  AddDefaultPictureAndSection(pattern);
}

void SetImportedSettings(OPattern& pattern) {
  OSettings& settings = *pattern.Settings;
  settings.SetDefaults();
  settings.MachineType = pattern.MachineType;
  settings.NoControls = pattern.NoControls;
  settings.NoPLines = pattern.NoPLines;
  settings.ReversePattern = 0;
  settings.OffsetAllowed = 1;
  settings.SetSizeCode("");
  settings.SetStyleCode("");
}

void SetImportRegionFlag(OPattern& pattern) {
  if (pattern.Pictures->Count() == 0)
    return;
  ORegionList& regions = pattern.Pictures->Get(pattern.Pictures->Count() - 1)->Regions;
  if (regions.Count() > 0)
    regions.Get(regions.Count() - 1)->ImportFlag = 1;
}

std::unique_ptr<OPattern> NewPatternFromTuftFile(const std::string& fileName) {
  return NewPatternFromTuftBytes(fileName, ReadFileBytes(fileName));
}

std::unique_ptr<OPattern> NewPatternFromTuftBytes(const std::string& fileName,
                                                  std::span<const uint8_t> bytes) {
  return TTuftFile::VersionOf(bytes) == 1 ? ImportVariant1(fileName, bytes)
                                          : ImportVariant2(fileName, bytes);
}

std::unique_ptr<OPattern>
RunImportCommand(const TImportDialog& texts,
                 const std::function<std::unique_ptr<OPattern>(const std::string&)>& import) {
  OPlatform& ui = g.UI();
  TFileDialog& dialog = ui.OpenDialog;
  dialog.DefaultExt = texts.DefaultExt;
  dialog.FileName = StripExtension(dialog.FileName);
  dialog.Filters = {TFileFilter::ForExtension(texts.FilterDescription, texts.DefaultExt)};
  dialog.InitialDir = g.CurrentDir;
  dialog.Options = ofReadOnly | ofShowHelp | ofFileMustExist;
  dialog.Title = texts.Title;
  if (!ExecuteOpenDialog(dialog))
    return nullptr;
  try {
    OWaitCursor wait(ui);
    return import(dialog.FileName);
  } catch (const std::exception& e) {
    ui.ShowError(e.what());
    return nullptr;
  }
}

std::unique_ptr<OPattern> ImportTuftControlFile() {
  return RunImportCommand(
      {"TUF", "Tuft control files (*.TUF)", "Create New Pattern From Orlek Tuft Control File"},
      NewPatternFromTuftFile);
}

} // namespace quillane
