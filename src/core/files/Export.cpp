#include "files/Export.h"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

#include "app/App.h"
#include "app/ByteRows.h"
#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "app/FileSet.h"
#include "files/Colors.h"
#include "files/ControlCells.h"
#include "files/TuftFile.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/Settings.h"

namespace quillane {

namespace {

const char* const SavingError = "Error saving tuft file";

// Plane bits of a state, planes 0, 1, 2, by plane count and state 1, 2 or any other. With one
// plane the first state sets the bit; with two (Low, Cut, High) Low is no bit, Cut both and
// High plane 0; with three (High, Medium, Low) High sets plane 2, Medium plane 1, Low plane 0.
constexpr uint8_t PlaneBits[3][3][3] = {
    {{1, 0, 0}, {0, 0, 0}, {0, 0, 0}},
    {{0, 0, 0}, {1, 1, 0}, {1, 0, 0}},
    {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}},
};

TBytes Variant1Bytes(const OPattern& pattern) {
  const OSettings& settings = *pattern.Settings;
  TTuftFile1 t;
  t.MachineType = pattern.MachineType;
  t.SetNoControls(pattern.NoControls);
  t.SetNoPlanes(pattern.ControlDataFormat);
  t.SetNoPLines(pattern.NoPLines);
  t.ReversePattern = settings.ReversePattern;
  t.OffsetAllowed = settings.OffsetAllowed;
  t.StyleCode = settings.GetStyleCode();
  t.SizeCode = settings.GetSizeCode();
  for (int c = 1; c <= pattern.NoControls; ++c)
    t.SetControlYarn(c, pattern.Creel->GetYarnType(c));

  const int planes = t.NoPlanes();
  if (planes < 1 || planes > 3)
    return t.SaveToBytes(); // every bit 0; the file refuses such a count anyway
  // Each plane's bit for every state value, so that a PLine is one lookup per cell.
  const std::array<uint8_t, 256> stateOf = ExportedStates(pattern);
  std::array<std::array<uint8_t, 256>, 3> bitOf{};
  for (int v = 0; v < 256; ++v) {
    const int s = stateOf[static_cast<size_t>(v)];
    for (int plane = 0; plane < planes; ++plane)
      bitOf[static_cast<size_t>(plane)][static_cast<size_t>(v)] =
          PlaneBits[planes - 1][s == 1   ? 0
                                : s == 2 ? 1
                                         : 2][plane];
  }
  for (int p = 1; p <= pattern.NoPLines; ++p) {
    const uint8_t* states = pattern.States.Row(p);
    for (int plane = 0; plane < planes; ++plane) {
      uint8_t* row = t.PlaneRow(plane, p);
      const uint8_t* bit = bitOf[static_cast<size_t>(plane)].data();
      for (int c = 1; c <= pattern.NoControls; ++c)
        row[c] = bit[states[c]];
    }
  }
  return t.SaveToBytes();
}

TBytes Variant2Bytes(const OPattern& pattern) {
  const OMachineTable& table = *pattern.MachineTable;
  TTuftFile2 t;
  for (int i = 1; i <= 16; ++i)
    t.SetColour(i,
                i <= pattern.NoYarnTypes ? pattern.Palette->GetColour(table.GetColour(i, 1)) : 0);
  t.MachineType = pattern.MachineType;
  t.SetNoControls(pattern.NoControls);
  t.SetNoPLines(pattern.NoPLines);
  t.OffsetAllowed = pattern.Settings->OffsetAllowed;
  t.StepsPerPLine = pattern.Settings->StepsPerPLine;
  for (int c = 1; c <= pattern.NoControls; ++c)
    t.SetControlYarn(c, pattern.Creel->GetYarnType(c));
  const std::array<uint8_t, 256> yarnOf = ExportedYarnTypes(pattern);
  for (int p = 1; p <= pattern.NoPLines; ++p) {
    const uint8_t* colours = pattern.MachineColours.Row(p);
    uint8_t* row = t.CellRow(p);
    for (int c = 1; c <= pattern.NoControls; ++c)
      row[c] = yarnOf[colours[c]];
  }
  return t.SaveToBytes();
}

TBytes ColourFileBytes(const OPattern& pattern) {
  TColorsFile f(pattern.NoControls);
  for (int y = 1; y <= pattern.NoYarnTypes; ++y)
    for (int s = 1; s <= pattern.NoStates; ++s)
      f.SetColour(
          s, y,
          static_cast<int32_t>(pattern.Palette->GetColour(pattern.MachineTable->GetColour(y, s))));
  for (int c = 1; c <= pattern.NoControls; ++c)
    f.SetControlYarn(c, pattern.Creel->GetYarnType(c));
  return f.SaveToBytes();
}

// The platform's text of a failed write, naming the file when it does not already.
std::string FileFailure(const std::exception& e, const std::string& path) {
  const std::string text = e.what();
  return text.find(path) == std::string::npos ? text + ": " + path : text;
}

} // namespace

bool UnreadableInHeader(std::string_view text) {
  return text.find_first_of("\"\r\n") != std::string_view::npos;
}

std::optional<std::string> ExportRefusal(const OPattern& pattern) {
  if (pattern.PatternMode != pmStates)
    return std::nullopt;
  // The colour file has a fixed table: writing more would run past it.
  if (pattern.NoYarnTypes > TColorsFile::NoYarnTypes - 1)
    return "Error, the colour file can hold at most 26 yarn types; this pattern has " +
           std::to_string(pattern.NoYarnTypes);
  if (pattern.NoStates > TColorsFile::NoStates)
    return "Error, the colour file can hold at most 3 states; this pattern has " +
           std::to_string(pattern.NoStates);
  // The header texts stand between quotes on a line of their own.
  const OSettings& settings = *pattern.Settings;
  if (UnreadableInHeader(settings.GetStyleCode()))
    return "Error, the style code can not contain a double quote or a line break: " +
           settings.GetStyleCode();
  if (UnreadableInHeader(settings.GetSizeCode()))
    return "Error, the size code can not contain a double quote or a line break: " +
           settings.GetSizeCode();
  return std::nullopt;
}

std::optional<std::string> UncodableCellQuestion(const OPattern& pattern) {
  if (pattern.PatternMode == pmStates)
    return std::nullopt;
  const OMachineTable& table = *pattern.MachineTable;
  std::array<bool, 256> codable{};
  for (int v = 0; v < 256; ++v) {
    const int yarn = table.GetYarnType(v, 1);
    codable[static_cast<size_t>(v)] = yarn >= 1 && yarn <= 16;
  }
  // The uncodable values in order: those between a PLine's smallest and largest value are
  // the only ones it can hold, usually none or a few, looked for sixteen cells at a time.
  std::vector<uint8_t> uncodable;
  std::array<size_t, 257> uncodableBelow{};
  for (size_t v = 0; v < 256; ++v) {
    if (!codable[v])
      uncodable.push_back(static_cast<uint8_t>(v));
    uncodableBelow[v + 1] = uncodable.size();
  }
  const size_t n = pattern.NoControls;
  for (int p = 1; p <= pattern.NoPLines && n > 0; ++p) {
    const uint8_t* row = pattern.MachineColours.Row(p);
    const TByteRange range = RangeOf(row + 1, n);
    const std::span<const uint8_t> inRange(uncodable.data() + uncodableBelow[range.Lo],
                                           uncodable.data() + uncodableBelow[size_t{range.Hi} + 1]);
    if (inRange.empty() || (inRange.size() <= 4 && !AnyOf(row + 1, n, inRange)))
      continue;
    for (int c = 1; c <= pattern.NoControls; ++c) {
      if (codable[row[c]])
        continue;
      const int yarn = table.GetYarnType(pattern.GetMachineColour(c, p), 1);
      const int stored = (yarn + 15) % 16 + 1; // the four bits the file keeps
      return "Control " + std::to_string(c) + ", PLine " + std::to_string(p) +
             " has a colour without a yarn number from 1 to 16 (yarn number " +
             std::to_string(yarn) + "); the tuft control file would store yarn number " +
             std::to_string(stored) + ". Export anyway?";
    }
  }
  return std::nullopt;
}

TControlFileSet BuildControlFileSet(const OPattern& pattern) {
  TControlFileSet set;
  const bool states = pattern.PatternMode == pmStates;
  if (states) {
    try {
      set.Control = Variant1Bytes(pattern);
    } catch (const ERangeError&) {
      throw ETuftFile(SavingError); // a plane count the file cannot announce
    }
  } else {
    set.Control = Variant2Bytes(pattern);
  }
  set.Option = pattern.Settings->OptionFileBytes();
  if (states)
    set.Colours = ColourFileBytes(pattern);
  return set;
}

bool ExportControlFiles(OPattern& pattern) {
  OPlatform& ui = g.UI();
  if (!pattern.ValidateSections())
    return false;
  // What cannot be written is said before the user picks a name.
  if (std::optional<std::string> refusal = ExportRefusal(pattern)) {
    ui.ShowError(*refusal);
    return false;
  }
  if (std::optional<std::string> question = UncodableCellQuestion(pattern))
    if (!ui.Confirm(*question))
      return false;

  TFileDialog& dialog = ui.SaveDialog;
  dialog.DefaultExt = "TUF";
  dialog.FileName = StripExtension(pattern.FileName);
  dialog.Filters = {TFileFilter::ForExtension("Tuft control files (*.TUF)", "TUF")};
  dialog.InitialDir = g.CurrentDir;
  dialog.Options = ofOverwritePrompt | ofHideReadOnly | ofShowHelp | ofPathMustExist;
  dialog.Title = "Export Tuft Control File";
  if (!ExecuteSaveDialog(dialog))
    return false;
  const std::string fileName = dialog.FileName;
  const std::string base = StripExtension(fileName);
  // A name in UTF-8 is counted in characters: the bytes that do not continue one.
  const auto characters = std::count_if(
      base.begin(), base.end(), [](char ch) { return (static_cast<uint8_t>(ch) & 0xC0) != 0x80; });
  if (static_cast<size_t>(characters) > MaxBaseNameLength) {
    ui.ShowError("Error, filename can not exceed 8 characters: " + base);
    return false;
  }
  // ".TUF" would give hidden companions ".DAT" and ".CLR" that the controller never finds.
  if (base.empty()) {
    ui.ShowError("Error, filename can not be empty: " + fileName);
    return false;
  }

  const bool states = pattern.PatternMode == pmStates;
  TControlFileSet set;
  try {
    OWaitCursor wait(ui);
    set = BuildControlFileSet(pattern);
  } catch (const std::exception& e) {
    ui.ShowError(states ? std::string(e.what()) : FileFailure(e, fileName));
    return false;
  }

  // The companions lie beside the control file, whatever folder the dialog ended in.
  const std::string folder = FolderOf(fileName);
  std::vector<TFilePart> parts{{fileName, set.Control},
                               {JoinPath(folder, base + ".DAT"), set.Option}};
  // A colour file left by an earlier state export would make the controller load a mixed
  // set: it goes in the same commit.
  if (set.Colours)
    parts.push_back({JoinPath(folder, base + ".CLR"), *set.Colours});
  else
    parts.push_back({JoinPath(folder, base + ".CLR"), {}, true});
  // A set whose parts do not belong together is worse than none: all files or none.
  size_t failed = 0;
  try {
    WriteFileSetAtomic(parts, failed);
  } catch (const std::exception& e) {
    const bool controlFile = failed == 0;
    ui.ShowError(controlFile && states ? std::string(SavingError) + ": " + e.what()
                                       : FileFailure(e, parts[failed].Path));
    return false;
  }
  return true;
}

} // namespace quillane
