#pragma once

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "TestSupport.h"
#include "elements/Section.h"
#include "files/NedFile.h"
#include "files/TuftFile.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/Settings.h"

namespace quillane::test {

// A pattern with the built-in setup (creel 1, 2, 3, 1, ...), all cells 0, one section.
inline std::unique_ptr<OPattern> MakePattern(uint8_t machineType, uint16_t controls,
                                             uint16_t pLines, uint8_t yarnTypes) {
  auto p = std::make_unique<OPattern>();
  p->InitNew();
  p->Settings->MachineType = machineType;
  p->Settings->NoControls = controls;
  p->Settings->NoPLines = pLines;
  p->ApplySettings();
  p->SetNoYarnTypes(yarnTypes);
  p->Sections->Get(0)->SetDefaults();
  p->Changed();
  p->MachineTable->SetDefaults();
  p->Creel->SetDefaults();
  p->Changed();
  return p;
}

inline void SetCells(OPattern& p, const std::vector<const char*>& rows) {
  for (int pl = 1; pl <= static_cast<int>(rows.size()); ++pl)
    for (int c = 1; rows[pl - 1][c - 1]; ++c) {
      const uint8_t v = static_cast<uint8_t>(rows[pl - 1][c - 1] - '0');
      p.PatternMode == pmStates ? p.SetState(c, pl, v) : p.SetMachineColour(c, pl, v);
    }
}

inline std::vector<int> Cells(const OPattern& p) {
  std::vector<int> cells;
  for (int pl = 1; pl <= p.NoPLines; ++pl)
    for (int c = 1; c <= p.NoControls; ++c)
      cells.push_back(p.PatternMode == pmStates ? p.GetState(c, pl) : p.GetMachineColour(c, pl));
  return cells;
}
inline std::vector<int> CreelOf(const OPattern& p) {
  std::vector<int> yarns;
  for (int c = 1; c <= p.NoControls; ++c)
    yarns.push_back(p.Creel->GetYarnType(c));
  return yarns;
}

// UTPA, 4 controls, 2 PLines: set bits at controls 1, 3 and 2, 4; control bytes 0, 1, 2, 0.
inline const Bytes Utpa = Cat({Text("4,2,1\r\n\"STY\",\"SZ\"\r\n"), {0x05, 0x0A, 0, 1, 2, 0, 0}});
// TWEAVER, 3 controls, 2 PLines: a run of three 6s, then 1, 2, 16.
inline const Bytes Tweaver = [] {
  Bytes b = {0, 2, 3, 0, 2, 0, 0, 12, 0, 7};
  for (uint32_t i = 1; i <= 16; ++i)
    PutCardinal(b, 0x010203 * i);
  return Cat({b, {0, 4, 15}, {1, 0, 0x25}, {3, 0, 0x00, 0x01, 0x0F}});
}();
// Header, zeros to offset 512, then 0xFF (no marks) up to `size`.
inline Bytes Car(int planes, int lastRow, int controls, int pLines, size_t size) {
  Bytes b(size, 0xFF);
  std::fill(b.begin(), b.begin() + 512, 0);
  b[5] = static_cast<uint8_t>(planes);
  for (auto [at, v] : {std::pair{6, lastRow}, {8, controls - 1}, {10, pLines - 1}}) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
  }
  return b;
}
inline Bytes Ned(int controls, int pLines, const Bytes& cells) {
  Bytes b = {static_cast<uint8_t>(controls >> 8), static_cast<uint8_t>(controls),
             static_cast<uint8_t>(pLines >> 8), static_cast<uint8_t>(pLines)};
  b.resize(TNedFile::CellOffset, 0);
  return Cat({b, cells});
}

inline std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(sys::NameOf(entry.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

// Tuft files with something in every field, to see what a failed load keeps.
inline TTuftFile1 Sentinel1() {
  TTuftFile1 t;
  t.MachineType = 7;
  t.StyleCode = "KEEP";
  t.SetNoControls(3);
  t.SetNoPlanes(2);
  t.SetNoPLines(2);
  t.SetPlaneBit(1, 3, 2, 1);
  t.SetControlYarn(2, 9);
  return t;
}
inline TTuftFile2 Sentinel2() {
  TTuftFile2 t;
  t.SetNoControls(3);
  t.SetNoPLines(2);
  t.SetColour(4, 44);
  t.SetCell(3, 2, 9);
  return t;
}

template <class TRead, class TInput> std::string Failure(const TRead& read, const TInput& input) {
  try {
    read(input);
    return "imported";
  } catch (const std::exception& e) {
    return e.what();
  }
}

} // namespace quillane::test
