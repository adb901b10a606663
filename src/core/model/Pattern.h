#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "model/Grid.h"

namespace quillane {

class OCreel;
class ODesignTable;
class OMachineTable;
class OPalette;
class OSettings;

// Pattern modes: which grid holds the primary data.
constexpr uint8_t pmStates = 1;
constexpr uint8_t pmColours = 2;

// What a machine type code makes of a pattern.
struct TMachineTypeInfo {
  const char* Name;
  uint8_t PatternMode;
  uint8_t ControlDataFormat;
  uint8_t NoStates;
  const char* StateNames[3]; // names 1 to NoStates; the rest are left as they were
};
constexpr int MaxMachineType = 13;
// The entry of a machine type code 0 to 13.
const TMachineTypeInfo& MachineTypeInfo(int machineType);

// The document: one tufting pattern with its setup objects, elements and cell grids.
class OPattern {
public:
  OPattern();
  ~OPattern();
  OPattern(const OPattern&) = delete;
  OPattern& operator=(const OPattern&) = delete;

  uint8_t Modified = 0;
  std::string FileName;
  uint8_t MachineType = 0;
  uint16_t NoControls = 0;
  uint8_t NoColours = 0;
  uint8_t ControlDataFormat = 0;
  uint16_t NoPLines = 0;
  uint8_t NoStates = 0;
  uint8_t NoYarnTypes = 0;
  uint8_t PatternMode = 0;
  uint8_t ViewMode = 0;
  std::array<std::string, 5> StateNames;

  // Created in this order, each starting cleared.
  std::unique_ptr<OCreel> Creel;
  std::unique_ptr<ODesignTable> DesignTable;
  std::unique_ptr<OMachineTable> MachineTable;
  std::unique_ptr<OPalette> Palette;
  std::unique_ptr<OSettings> Settings;

  TGrid DesignColours;
  TGrid MachineColours;
  TGrid States;

  // Dimension and type setters; each does nothing for an unchanged value, except
  // SetMachineType, which always applies its table.
  void SetNoControls(uint16_t n);
  void SetNoPLines(uint16_t n);
  void SetNoColours(uint8_t n);
  void SetNoStates(uint8_t n);
  void SetNoYarnTypes(uint8_t n);
  void SetMachineType(uint8_t type);
  void SetControlDataFormat(uint8_t format) { ControlDataFormat = format; }

  // Re-synchronisation after a setup object was replaced or edited.
  void ApplySettings();
  void ApplyPalette();
  void ApplyMachineTable();
  void ApplyDesignTable();
  void ApplyCreel();

  std::string GetStateName(int index) const;
};

} // namespace quillane
