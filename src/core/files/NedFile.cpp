#include "files/NedFile.h"

#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "files/TuftImport.h"
#include "model/Pattern.h"
#include "setup/Creel.h"

namespace quillane {

namespace {
[[noreturn]] void ReadingError() {
  throw ENedFile("Error reading NED Graphics file");
}
} // namespace

uint8_t TNedFile::Marked(int32_t plane, int32_t control, int32_t pLine) const {
  if (plane < 0 || plane >= FNoPlanes || control < 0 || control > FNoControls || pLine < 0 ||
      pLine > FNoPLines)
    throw ERangeError("Range check error");
  return FMarked[static_cast<size_t>(pLine) * (static_cast<size_t>(FNoControls) + 1) +
                 static_cast<size_t>(control)];
}

void TNedFile::Load() {
  LoadFromBytes(ReadFileBytes(FileName));
}

void TNedFile::LoadFromBytes(std::span<const uint8_t> bytes) {
  if (bytes.size() < 4)
    ReadingError();
  // Big-endian, unlike everything else we read.
  const int32_t controls = bytes[0] << 8 | bytes[1];
  const int32_t pLines = bytes[2] << 8 | bytes[3];
  const size_t cells = static_cast<size_t>(controls) * static_cast<size_t>(pLines);
  if (bytes.size() < CellOffset || bytes.size() - CellOffset < cells)
    ReadingError();

  const size_t stride = static_cast<size_t>(controls) + 1;
  TBytes marked(stride * (static_cast<size_t>(pLines) + 1), 0);
  // The file's first row is the pattern's last PLine.
  const uint8_t* row = bytes.data() + CellOffset;
  for (int32_t p = pLines; p >= 1; --p, row += controls)
    for (int32_t c = 1; c <= controls; ++c)
      marked[static_cast<size_t>(p) * stride + static_cast<size_t>(c)] = row[c - 1] != 0 ? 1 : 0;
  FNoControls = controls;
  FNoPlanes = 1;
  FNoPLines = pLines;
  FMarked = std::move(marked);
}

std::unique_ptr<OPattern> NewPatternFromNedFile(const std::string& fileName) {
  const TBytes bytes = ReadFileBytes(fileName);
  try {
    return NewPatternFromNedBytes(bytes);
  } catch (const ENedFile& e) {
    // Our own pattern files share the extension: the box says which file was meant.
    throw ENedFile(std::string(e.what()) + ": " + fileName);
  }
}

std::unique_ptr<OPattern> NewPatternFromNedBytes(std::span<const uint8_t> bytes) {
  auto p = std::make_unique<OPattern>();
  TNedFile f;
  f.LoadFromBytes(bytes);
  // A file without cells would give a pattern its own default section cannot cover.
  if (f.NoControls() == 0 || f.NoPLines() == 0)
    ReadingError();
  CheckImportSize(f.NoControls(), f.NoPLines());

  p->SetMachineType(0);
  p->SetNoControls(static_cast<uint16_t>(f.NoControls()));
  p->SetNoPLines(static_cast<uint16_t>(f.NoPLines()));
  p->SetControlDataFormat(1);
  SetImportedSettings(*p);
  SetUpImportedPattern(*p, 1);
  for (int c = 1; c <= p->NoControls; ++c)
    p->Creel->SetYarnType(c, 1);

  for (int pl = 1; pl <= p->NoPLines; ++pl)
    for (int c = 1; c <= p->NoControls; ++c)
      p->SetState(c, pl, f.Marked(0, c, pl) ? 2 : 1);
  SetImportRegionFlag(*p);
  p->Changed();
  return p;
}

std::unique_ptr<OPattern> ImportNedPatternFile() {
  return RunImportCommand({"PAT", "NED Graphics pattern files (*.PAT)",
                           "Create New Pattern From Ned Graphics Pattern File"},
                          NewPatternFromNedFile);
}

} // namespace quillane
