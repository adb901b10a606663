#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/Exceptions.h"
#include "app/LargeBuffer.h"

namespace quillane {

// The tuft control file (.TUF) the machine controller loads, in two variants: variant 1
// (text header, bit planes) for state machines and variant 2 (binary header, run-length
// lines) for colour machines. Every per-control and per-PLine array is one larger than
// its count so that positions match the numbers counted from 1; index 0 stays empty.
class TTuftFile {
public:
  TTuftFile() = default;
  explicit TTuftFile(std::string fileName) : FileName(std::move(fileName)) {}
  virtual ~TTuftFile() = default;

  std::string FileName;
  uint8_t Version = 0; // 0 until ReadVersion has run, then 1 or 2

  // Looks at the first byte of FileName: 0 marks variant 2, anything else variant 1.
  uint8_t ReadVersion();
  // The same decision on bytes in memory; an empty file is a read error.
  static uint8_t VersionOf(std::span<const uint8_t> bytes);

  // Largest count of controls or PLines either variant carries: the size of a pattern.
  static constexpr int32_t MaxCount = 65535;
};

// Variant 1: state patterns, each state coded over one to three bit planes.
class TTuftFile1 : public TTuftFile {
public:
  using TTuftFile::TTuftFile;

  uint8_t ReversePattern = 0; // the file stores the controls right to left
  uint8_t MachineType = 0;    // 0 to 15: four bits of the flags
  std::string SizeCode;
  uint8_t OffsetAllowed = 0;
  std::string StyleCode;

  int32_t NoControls() const { return FNoControls; }
  int32_t NoPlanes() const { return FNoPlanes; }
  int32_t NoPLines() const { return FNoPLines; }
  // Each setter resizes the arrays at once, keeping what fits and zero-filling the rest.
  // Counts run from 0 to MaxCount, planes from 0 to 4; anything else is ERangeError.
  void SetNoControls(int32_t n);
  void SetNoPlanes(int32_t n);
  void SetNoPLines(int32_t n);

  // Indices outside the current dimensions are ERangeError.
  uint8_t ControlYarn(int32_t control) const;
  void SetControlYarn(int32_t control, uint8_t yarn);
  uint8_t PlaneBit(int32_t plane, int32_t control, int32_t pLine) const;
  void SetPlaneBit(int32_t plane, int32_t control, int32_t pLine, uint8_t value);
  // One PLine of one plane, a byte per control from index 1 (0 or 1), for whole-row work.
  // A plane or PLine outside the dimensions is ERangeError.
  uint8_t* PlaneRow(int32_t plane, int32_t pLine);
  const uint8_t* PlaneRow(int32_t plane, int32_t pLine) const;

  // Replaces the whole content with the file's. Format errors are ETuftFile ("Error
  // reading tuft file"), a short header is EReadError, a field that is not a number is
  // EConvertError. On any failure this object is left exactly as it was.
  void Load();
  void LoadFromBytes(std::span<const uint8_t> bytes);

  // Writes the content to FileName in one atomic step. A failure is answered with false,
  // the previous file left intact; the caller tells the user ("Error saving tuft file").
  bool Save() const;
  // The file's bytes; throws when the content cannot be stored (see Save).
  TBytes SaveToBytes() const;

  static constexpr int32_t MaxPlanes = 4;      // what the two flag bits can announce
  static constexpr size_t MaxTextLength = 100; // longest quoted text the reader takes

private:
  int32_t FNoControls = 0;
  int32_t FNoPlanes = 0;
  int32_t FNoPLines = 0;
  TBytes FControlYarn = TBytes(1, 0);
  // [plane][PLine][control], each plane PLine-major so that a bit row is contiguous.
  TZeroedBytes FPlaneBit;

  void Resize(int32_t noControls, int32_t noPlanes, int32_t noPLines);
  size_t Stride() const { return static_cast<size_t>(FNoControls) + 1; }
  size_t PlaneSize() const { return Stride() * (static_cast<size_t>(FNoPLines) + 1); }
  size_t BitIndex(int32_t plane, int32_t control, int32_t pLine) const;
};

// Variant 2: colour patterns, each cell a yarn number 1 to 16.
class TTuftFile2 : public TTuftFile {
public:
  TTuftFile2();
  explicit TTuftFile2(std::string fileName);

  uint8_t MachineType = 0;
  uint8_t OffsetAllowed = 0;
  int32_t StepsPerPLine = 0; // 0 to 255 when saved

  int32_t NoControls() const { return FNoControls; }
  int32_t NoPLines() const { return FNoPLines; }
  // Resize Cell and ControlYarn at once; counts run from 0 to MaxCount, else ERangeError.
  void SetNoControls(int32_t n);
  void SetNoPLines(int32_t n);

  // Colours 1 to 16 (0x00BBGGRR); indices outside 0 to 16 and the other arrays' current
  // dimensions are ERangeError.
  uint32_t Colour(int32_t index) const;
  void SetColour(int32_t index, uint32_t colour);
  uint8_t ControlYarn(int32_t control) const;
  void SetControlYarn(int32_t control, uint8_t yarn);
  uint8_t Cell(int32_t control, int32_t pLine) const;
  void SetCell(int32_t control, int32_t pLine, uint8_t value);
  // One PLine of cells from index 1, for whole-row work; a PLine outside is ERangeError.
  uint8_t* CellRow(int32_t pLine);
  const uint8_t* CellRow(int32_t pLine) const;

  // Zero colours, no controls, no PLines. The other header values are kept.
  void Clear();

  // Replaces the content with the file's. A short header or control block is EReadError;
  // bad line data, lines that run out and sizes past MaxCells are ETuftFile ("Error in tuft
  // file data: " + FileName). On any failure the object is cleared and the error passed on.
  void Load();
  void LoadFromBytes(std::span<const uint8_t> bytes);

  // Writes the content to FileName in one atomic step; failures are passed on (ERangeError
  // for a value the header cannot hold, the file errors of the write).
  void Save() const;
  TBytes SaveToBytes() const;

  static constexpr size_t HeaderSize = 74;
  static constexpr int NoColourEntries = 17;
  // Largest grid a file may announce: lines of no runs cost two bytes each, so the file's
  // size alone does not bound the grid.
  static constexpr size_t MaxCells = size_t{1} << 28;

private:
  int32_t FNoControls = 0;
  int32_t FNoPLines = 0;
  std::vector<uint32_t> FColour;
  TBytes FControlYarn;
  TZeroedBytes FCell; // [PLine][control]

  void Resize(int32_t noControls, int32_t noPLines);
  size_t Stride() const { return static_cast<size_t>(FNoControls) + 1; }
  [[noreturn]] void DataError() const;
};

} // namespace quillane
