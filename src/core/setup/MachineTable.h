#pragma once

#include <cstdint>
#include <string>

#include "data/ByteTable.h"
#include "data/DesignData.h"
#include "setup/Creel.h"
#include "setup/Palette.h"

namespace quillane {

// Control states: 0 is none, 1 to NoStates are the machine type's states.
using OState = uint8_t;

// The palette colour of each yarn type in each state, and the two inversions the program
// reads it through: the state of a yarn type showing a colour, and the yarn type showing a
// colour in a state.
class OMachineTable : public ODesignData {
public:
  explicit OMachineTable(ODesignOwner* owner);

  bool NeedsValidating() const { return Unvalidated; }
  uint8_t NoColours() const { return ColourCount; }
  uint8_t NoStates() const { return StateCount; }
  uint8_t NoYarnTypes() const { return YarnTypeCount; }
  OState UndefinedState() const { return Undefined; }

  // The three lookups throw EAssertionFailed while the table needs validating. An index
  // outside the table answers 0.
  OPaletteEntry GetColour(int yarnType, int state) const;
  // In a colour pattern every yarn type shows every colour in the one state 1.
  OState GetState(int yarnType, int colour) const;
  OYarnType GetYarnType(int colour, int state) const;
  // The stored colour whether or not validated, for writing and showing a record as read.
  OPaletteEntry ColourEntry(int yarnType, int state) const;

  // Ignored for a colour above NoColours or an index outside the table. The inverse entries
  // of the cell's previous colour stay until the next Validate.
  void SetColour(int yarnType, int state, OPaletteEntry colour);
  void SetNoColours(uint8_t n);
  void SetNoStates(uint8_t n);
  void SetNoYarnTypes(uint8_t n);
  // 0 and states above NoStates are stored as 1.
  void SetUndefinedState(OState state);
  // Copies a validated table, then lets the owner follow its yarn-type count.
  void Assign(const OMachineTable& source);

  void Export() override;
  void Import() override;
  std::string GetExtension() const override { return "MCH"; }
  void SetDefaults() override;
  void Clear() override;
  void Update() override;
  void ReadFromStream(OReader& stream) override;
  void WriteToStream(OWriter& stream) const override;
  void Validate() override;
  TDesignRecordKind Kind() const override { return TDesignRecordKind::MachineTable; }

protected:
  std::unique_ptr<ODesignData> NewEmpty() const override;

private:
  // Puts back a table exactly as it was, an undefined state of 0 included.
  friend class OUndoHistory;
  bool Unvalidated = true;
  uint8_t ColourCount = 0;
  uint8_t StateCount = 0;
  uint8_t YarnTypeCount = 0;
  OState Undefined = 0;
  TByteTable<2> ColourTable;   // [yarn type][state]
  TByteTable<2> StateTable;    // [yarn type][colour]
  TByteTable<2> YarnTypeTable; // [colour][state]

  void CheckValidated() const;
  void Reshape();
};

} // namespace quillane
