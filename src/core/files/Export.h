#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/LargeBuffer.h"

namespace quillane {

class OPattern;

// The file set the machine controller loads, built in memory before anything is written.
struct TControlFileSet {
  TBytes Control;                // .TUF, variant 1 for state patterns, else variant 2
  TBytes Option;                 // .DAT, in the settings' FileVersion
  std::optional<TBytes> Colours; // .CLR, state patterns only
};

// Why a pattern cannot be exported as it stands (the colour file's limits, header texts
// the controller could not read back), or nothing when it can.
std::optional<std::string> ExportRefusal(const OPattern& pattern);
// Whether the control file's header cannot hold a text (size code, style code): it stands
// between double quotes on a line of its own.
bool UnreadableInHeader(std::string_view text);
// For a colour pattern: the question naming the first cell whose yarn number the tuft file
// cannot hold (0 or above 16), or nothing when every cell can be coded.
std::optional<std::string> UncodableCellQuestion(const OPattern& pattern);

// The bytes of the three files. Throws ETuftFile ("Error saving tuft file") when the
// variant-1 control file cannot hold the content, and ERangeError for a variant-2 header
// value out of range. The pattern's setup tables must be validated.
TControlFileSet BuildControlFileSet(const OPattern& pattern);

// The Export command of a pattern: validates the sections, asks for the control file's
// name through the save dialog, and writes the control file, B.DAT and, for a state
// pattern, B.CLR beside it (a colour pattern removes an old B.CLR), B being the chosen name's
// base of at most eight characters. Every file is written to a temporary first and the set is
// put in place only when all were written, under a lock that keeps a concurrent export of the
// same set from mixing with it, so a failure leaves the old set whole. Every message goes
// through the seam ("Error saving tuft file" is followed by the system's reason). True only
// when the whole set was written; the pattern is not changed.
bool ExportControlFiles(OPattern& pattern);

// The largest base name the controller accepts.
constexpr size_t MaxBaseNameLength = 8;

} // namespace quillane
