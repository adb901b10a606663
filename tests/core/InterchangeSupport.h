#pragma once

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
inline void SetCells(OPattern& p, std::initializer_list<const char*> rows) {
  int pLine = 1;
  for (const char* row : rows) {
    for (int c = 1; row[c - 1]; ++c)
      if (p.PatternMode == pmStates)
        p.SetState(c, pLine, static_cast<uint8_t>(row[c - 1] - '0'));
      else
        p.SetMachineColour(c, pLine, static_cast<uint8_t>(row[c - 1] - '0'));
    ++pLine;
  }
}

} // namespace quillane::test
