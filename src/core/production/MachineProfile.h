#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/LargeBuffer.h"
#include "production/Production.h"

namespace quillane {

// What a needle leaves on the face in one state.
enum class TTuft : uint8_t { Cut, Loop, None };

struct TProfileState {
  int State = 1; // 1 to 255
  TTuft Tuft = TTuft::Cut;
  friend bool operator==(const TProfileState&, const TProfileState&) = default;
};

// One machine of the mill, as far as a pattern can ask too much of it. A limit left out is
// no limit: the built-in "Any machine" has none.
struct TMachineProfile {
  std::string Name;
  std::optional<int> Needles;
  std::optional<std::string> Gauge;  // "1/10": a tenth of an inch from needle to needle
  std::vector<TProfileState> States; // the states it can tuft; none listed: every state
  std::optional<int> LongestFloatPLines;
  std::optional<int> ShortestStateRunPLines;
  std::optional<double> LargestPileStepMm;
  std::optional<int> CreelPositions;
  std::optional<int> CreelYarnTypes;
  std::optional<double> LargestStitchesPerMinute;
  std::optional<std::pair<double, double>> PLineSpacingMm;
  std::optional<double> LargestImbalancePercent;
  friend bool operator==(const TMachineProfile&, const TMachineProfile&) = default;
};

// The name of the built-in profile that limits nothing.
inline constexpr const char* AnyMachineName = "Any machine";
TMachineProfile AnyMachine();

// Inches from needle to needle of a gauge such as "1/10" or "5/32" (a fraction of whole
// numbers from 1/20 to 1/4 inch, as a mill writes it), or none for text that is not one.
std::optional<double> GaugeInches(const std::string& gauge);
// The width the machine tufts, in mm: its needles at its gauge; none when either is unknown.
std::optional<double> WorkingWidthMm(const TMachineProfile& profile);

// NAME.machine.json in `folder`.
std::string MachineProfileFileName(const std::string& folder, const std::string& name);
// The names of the profiles in `folder` (the file names without ".machine.json"), sorted;
// none when the folder cannot be listed or is "". A name the production parameters could not
// name, a folder, and "Any machine" (which is built in) are left out.
std::vector<std::string> MachineProfileNames(const std::string& folder);

// The file's bytes: one field a line, as the production parameters are written.
TBytes MachineProfileBytes(const TMachineProfile& profile);
// Reads a profile from bytes that may be anything: at most 64 KB, nested at most 8 deep,
// unknown keys ignored, each value in a range a mill could mean. Throws EProduction
// "line N: FIELD ..." naming the first refused field.
TMachineProfile ReadMachineProfile(std::span<const uint8_t> bytes);
// Throws EProduction "Error reading machine profile: PATH: ..." when the file is missing or
// refused. A profile without a name takes its file's NAME.
TMachineProfile ReadMachineProfileFile(const std::string& path);
// Writes atomically; throws the file errors of WriteFileAtomic, and EProduction (writing
// nothing) for a profile ReadMachineProfile would refuse.
void SaveMachineProfile(const std::string& path, const TMachineProfile& profile);

// The profile a pattern's production parameters name, looked up as NAME.machine.json in
// each of `folders` in turn; "Any machine" when they name none (or name it). Throws
// EProduction "Machine profile NAME not found in FOLDER" (the folders searched, joined by
// " or "; "" folders are passed over) when no folder has it, and the reading errors when the
// file is refused.
TMachineProfile FindMachineProfile(const std::string& name,
                                   const std::vector<std::string>& folders);

} // namespace quillane
