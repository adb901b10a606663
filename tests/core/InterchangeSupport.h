#pragma once

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "TestSupport.h"
#include "elements/Section.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/Settings.h"

namespace quillane::test {

// A pattern of a machine type and size with the built-in setup: creel yarn types and machine
// table colours handed out in turn (creel 1, 2, 3, 1, ...; yarn type 1 state 1 colour 1,
// state 2 colour 2, ...), all cells 0, one section over the whole pattern.
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

// Sets the primary grid from rows of digits, PLine 1 first.
inline void SetCells(OPattern& p, const std::vector<const char*>& rows) {
  for (int pl = 1; pl <= static_cast<int>(rows.size()); ++pl)
    for (int c = 1; rows[pl - 1][c - 1]; ++c) {
      const uint8_t v = static_cast<uint8_t>(rows[pl - 1][c - 1] - '0');
      p.PatternMode == pmStates ? p.SetState(c, pl, v) : p.SetMachineColour(c, pl, v);
    }
}

// The primary grid PLine by PLine, and the creel.
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

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}
inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The message an import fails with, or "imported".
template <class TRead, class TInput> std::string Failure(const TRead& read, const TInput& input) {
  try {
    read(input);
    return "imported";
  } catch (const std::exception& e) {
    return e.what();
  }
}

} // namespace quillane::test
