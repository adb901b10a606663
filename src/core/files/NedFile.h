#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/LargeBuffer.h"

namespace quillane {

class OPattern;

// A pattern file of the NED Graphics design system (.PAT, the extension of our own pattern
// file too), read only: the dimensions and one mark per cell. Every failure to read it is
// ENedFile ("Error reading NED Graphics file").
class TNedFile {
public:
  TNedFile() = default;
  explicit TNedFile(std::string fileName) : FileName(std::move(fileName)) {}

  std::string FileName;

  int32_t NoControls() const { return FNoControls; }
  int32_t NoPlanes() const { return FNoPlanes; }
  int32_t NoPLines() const { return FNoPLines; }
  // 1 for a marked cell. Indices outside the dimensions are ERangeError.
  uint8_t Marked(int32_t plane, int32_t control, int32_t pLine) const;

  // Replaces the content with the file's; on any failure the object is left as it was.
  // A file that cannot be opened is the file error, anything else ENedFile.
  void Load();
  void LoadFromBytes(std::span<const uint8_t> bytes);

  // Where the cells start; the bytes between the dimensions and here are not read.
  static constexpr size_t CellOffset = 1536;

private:
  int32_t FNoControls = 0;
  int32_t FNoPlanes = 0;
  int32_t FNoPLines = 0;
  TBytes FMarked; // [PLine][control]
};

// A new UTPA pattern from a NED Graphics pattern file: default setup tables, yarn type 1
// on every control, Low for a marked cell and High for the others. Throws ENedFile for a
// file it cannot use (from a file, its message ends with ": " + the file's name), the file
// error when it cannot be opened.
std::unique_ptr<OPattern> NewPatternFromNedFile(const std::string& fileName);
std::unique_ptr<OPattern> NewPatternFromNedBytes(std::span<const uint8_t> bytes);

// The menu command: open dialog, then the import; failures are shown. nullptr when
// cancelled or failed.
std::unique_ptr<OPattern> ImportNedPatternFile();

} // namespace quillane
