#include "files/CmcFile.h"

#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "files/TuftImport.h"
#include "model/Pattern.h"
#include "setup/Creel.h"

namespace quillane {

namespace {
[[noreturn]] void ReadingError() {
  throw ECmcFile("Error reading CMC file");
}

uint32_t WordAt(std::span<const uint8_t> bytes, size_t offset) {
  return bytes[offset] | static_cast<uint32_t>(bytes[offset + 1]) << 8;
}
} // namespace

uint8_t TCmcFile1::Marked(int32_t plane, int32_t control, int32_t pLine) const {
  if (plane < 0 || plane >= FNoPlanes || control < 0 || control > FNoControls || pLine < 0 ||
      pLine > FNoPLines)
    throw ERangeError("Range check error");
  const size_t planeSize = Stride() * (static_cast<size_t>(FNoPLines) + 1);
  return FMarked[static_cast<size_t>(plane) * planeSize + static_cast<size_t>(pLine) * Stride() +
                 static_cast<size_t>(control)];
}

void TCmcFile1::Load() {
  LoadFromBytes(ReadFileBytes(FileName));
}

void TCmcFile1::LoadFromBytes(std::span<const uint8_t> bytes) {
  if (bytes.size() < HeaderSize)
    ReadingError();
  const int32_t planes = bytes[5];
  const uint64_t blockRows = uint64_t{WordAt(bytes, 6)} + 1;
  const int32_t controls = static_cast<int32_t>(WordAt(bytes, 8)) + 1;
  const int32_t pLines = static_cast<int32_t>(WordAt(bytes, 10)) + 1;
  if (planes < 1 || planes > MaxPlanes)
    ReadingError();
  // Plane i starts at 512 (i + 1) + i (R + 1) W; the last plane must end inside the file
  // before anything is sized after the header.
  const uint64_t rowBytes = (static_cast<uint64_t>(controls) + 7) / 8;
  auto planeStart = [&](int32_t i) {
    return PlaneAlignment * static_cast<uint64_t>(i + 1) +
           static_cast<uint64_t>(i) * blockRows * rowBytes;
  };
  if (planeStart(planes - 1) + static_cast<uint64_t>(pLines) * rowBytes > bytes.size())
    ReadingError();

  const size_t stride = static_cast<size_t>(controls) + 1;
  const size_t planeSize = stride * (static_cast<size_t>(pLines) + 1);
  TBytes marked(static_cast<size_t>(planes) * planeSize, 0);
  for (int32_t i = 0; i < planes; ++i)
    for (int32_t p = 1; p <= pLines; ++p) {
      const uint8_t* row = bytes.data() + planeStart(i) + static_cast<uint64_t>(p - 1) * rowBytes;
      uint8_t* cells =
          marked.data() + static_cast<size_t>(i) * planeSize + static_cast<size_t>(p) * stride;
      for (int32_t c = 1; c <= controls; ++c)
        cells[c] = ((row[(c - 1) >> 3] >> ((c - 1) & 7)) & 1) == 0 ? 1 : 0;
    }
  FNoControls = controls;
  FNoPlanes = planes;
  FNoPLines = pLines;
  FMarked = std::move(marked);
}

std::unique_ptr<OPattern> NewPatternFromCmcFile(const std::string& fileName) {
  return NewPatternFromCmcBytes(ReadFileBytes(fileName));
}

std::unique_ptr<OPattern> NewPatternFromCmcBytes(std::span<const uint8_t> bytes) {
  auto p = std::make_unique<OPattern>();
  TCmcFile1 f;
  f.LoadFromBytes(bytes);
  // The header counts from 0 and can announce one more than a pattern holds.
  if (f.NoControls() > 65535 || f.NoPLines() > 65535)
    ReadingError();
  CheckImportSize(f.NoControls(), f.NoPLines());

  const int planes = f.NoPlanes();
  // One plane: High and Low. Two and three planes: High, Medium and Low; the data format
  // follows the file, so two planes export as two.
  p->SetMachineType(planes == 1 ? 2 : 3);
  p->SetNoControls(static_cast<uint16_t>(f.NoControls()));
  p->SetNoPLines(static_cast<uint16_t>(f.NoPLines()));
  p->SetControlDataFormat(static_cast<uint8_t>(planes));
  SetImportedSettings(*p);
  SetUpImportedPattern(*p, 1);
  for (int c = 1; c <= p->NoControls; ++c)
    p->Creel->SetYarnType(c, 1);

  for (int pl = 1; pl <= p->NoPLines; ++pl)
    for (int c = 1; c <= p->NoControls; ++c) {
      const uint8_t m0 = f.Marked(0, c, pl);
      const uint8_t m1 = planes > 1 ? f.Marked(1, c, pl) : 0;
      const uint8_t m2 = planes > 2 ? f.Marked(2, c, pl) : 0;
      uint8_t state = 1;
      if (planes == 1)
        state = m0 ? 2 : 1;
      else if (planes == 2)
        state = m0 && !m1 ? 2 : !m0 && m1 ? 3 : 1;
      else
        state = !m0 && m1 && !m2 ? 2 : !m0 && !m1 && m2 ? 3 : 1;
      p->SetState(c, pl, state);
    }
  SetImportRegionFlag(*p);
  p->Changed();
  return p;
}

std::unique_ptr<OPattern> ImportCmcControlFile() {
  return RunImportCommand(
      {"CAR", "CMC control files (*.CAR)", "Create New Pattern From CMC Control File"},
      NewPatternFromCmcFile);
}

} // namespace quillane
