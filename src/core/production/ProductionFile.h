#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "app/LargeBuffer.h"
#include "production/Production.h"

namespace quillane {

class OPattern;

// NAME.production.json beside NAME.pat: the mill's figures stay out of the pattern file,
// whose bytes the controller and other systems read.
std::string ProductionFileName(const std::string& patternPath);
// A number as the file writes it: the shortest text that reads back the same, -0 as 0.
std::string NumberText(double value);

// The file's bytes: one field a line, so that a message can name the line a person edits.
TBytes ProductionParametersBytes(const TProductionParameters& parameters);
// Reads exactly the JSON the file uses (objects, arrays, numbers, strings) from a file that
// may be anything: at most 64 KB, nested at most 8 deep, unknown keys ignored. Fields left
// out keep the defaults of TProductionParameters (none for the states and yarn types).
// Throws EProduction "line N: ..." naming the first refused field or the fault.
TProductionParameters ReadProductionParameters(std::span<const uint8_t> bytes);

// Whether nothing at all lies under `path` (a dangling link neither): not a pipe, a folder,
// a device or a link loop, which are refused when read.
bool NoSuchFile(const std::string& path);
// The parameters of `path` as the file gives them; the defaults when there is no such file.
// Throws EProduction "Error reading production parameters: PATH: ..." when it is refused.
TProductionParameters ReadProductionParametersFile(const std::string& path);
// The pattern's parameters from `path`, completed for its states and yarn types; the
// defaults when there is no such file. Throws EProduction "Error reading production
// parameters: PATH: ..." when the file is there but refused.
TProductionParameters LoadProductionParameters(const std::string& path, const OPattern& pattern);
// Writes atomically; a refused value is not written. Throws EProduction for a refused value,
// and the file errors of WriteFileAtomic.
void SaveProductionParameters(const std::string& path, const TProductionParameters& parameters);

} // namespace quillane
