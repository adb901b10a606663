#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "app/LargeBuffer.h"
#include "setup/Colourways.h"

namespace quillane {

class OPattern;

// NAME.colourways.json beside NAME.pat.
std::string ColourwaysFileName(const std::string& patternPath);

// The file's bytes: the Original first, one member a line, read back equal.
TBytes ColourwaysBytes(const TColourways& colourways);
// Reads bytes that may be anything. Throws EProduction "line N: WHAT" naming the field.
TColourways ReadColourwaysBytes(std::span<const uint8_t> bytes);

// The colourways beside a pattern: only the Original when there is no file. Throws
// EProduction, or the file's error, for a file that cannot be read.
TColourways LoadColourways(const std::string& patternPath);
// Written atomically beside the pattern; trivial colourways remove an old file instead.
void SaveColourways(const std::string& patternPath, const TColourways& colourways);

// Takes the colourways saved beside `patternPath` into the pattern as part of what was read,
// not as a step to undo. Throws as LoadColourways does, leaving the pattern as it was.
void AdoptColourways(OPattern& pattern, const std::string& patternPath);

} // namespace quillane
