#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/LargeBuffer.h"

namespace quillane {

class OPattern;

// A control file of the CMC controller family (.CAR), read only: the dimensions and one
// mark per plane, control and PLine. Every failure to read it is ECmcFile ("Error reading
// CMC file").
class TCmcFile1 {
public:
  TCmcFile1() = default;
  explicit TCmcFile1(std::string fileName) : FileName(std::move(fileName)) {}

  std::string FileName;

  int32_t NoControls() const { return FNoControls; }
  int32_t NoPlanes() const { return FNoPlanes; }
  int32_t NoPLines() const { return FNoPLines; }
  // 1 where the file's bit is 0. Indices outside the dimensions are ERangeError.
  uint8_t Marked(int32_t plane, int32_t control, int32_t pLine) const;

  // Replaces the content with the file's; on any failure the object is left as it was.
  // A file that cannot be opened is the file error, anything else ECmcFile.
  void Load();
  void LoadFromBytes(std::span<const uint8_t> bytes);

  static constexpr size_t HeaderSize = 12;
  static constexpr size_t PlaneAlignment = 512;
  // The plane counts whose cells the program can decode.
  static constexpr int32_t MaxPlanes = 3;

private:
  int32_t FNoControls = 0;
  int32_t FNoPlanes = 0;
  int32_t FNoPLines = 0;
  TBytes FMarked; // [plane][PLine][control]

  size_t Stride() const { return static_cast<size_t>(FNoControls) + 1; }
};

// A new SCROLL2 or SCROLL3 pattern from a CMC control file: default setup tables, yarn
// type 1 on every control, the states decoded from the planes. Throws ECmcFile ("Error
// reading CMC file") for a file it cannot use, the file error when it cannot be opened.
std::unique_ptr<OPattern> NewPatternFromCmcFile(const std::string& fileName);
std::unique_ptr<OPattern> NewPatternFromCmcBytes(std::span<const uint8_t> bytes);

// The menu command: open dialog, then the import; failures are shown. nullptr when
// cancelled or failed.
std::unique_ptr<OPattern> ImportCmcControlFile();

} // namespace quillane
