#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/LargeBuffer.h"
#include "data/ByteTable.h"
#include "data/DesignData.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane {

// One combination of a control pair: the yarn types and states of its odd and even control.
struct TDesignCombination {
  int OddYarnType = 0;
  int EvenYarnType = 0;
  int OddState = 0;
  int EvenState = 0;
  friend bool operator==(const TDesignCombination&, const TDesignCombination&) = default;
};

// The colour a pair of neighbouring controls shows for every combination of their yarn
// types and states, and the inversions: the states of the pair that show a colour.
class ODesignTable : public ODesignData {
public:
  explicit ODesignTable(ODesignOwner* owner);

  bool NeedsValidating() const { return Unvalidated; }
  uint8_t NoColours() const { return ColourCount; }
  uint8_t NoStates() const { return StateCount; }
  uint8_t NoYarnTypes() const { return YarnTypeCount; }

  // The three lookups throw EAssertionFailed while the table needs validating. An index
  // outside the table answers 0.
  OPaletteEntry GetColour(int oddYarnType, int evenYarnType, int oddState, int evenState) const;
  OState GetOddState(int oddYarnType, int evenYarnType, int colour) const;
  OState GetEvenState(int oddYarnType, int evenYarnType, int colour) const;
  // The stored colour whether or not validated, for writing and showing a record as read.
  OPaletteEntry ColourEntry(int oddYarnType, int evenYarnType, int oddState, int evenState) const;

  // Ignored for a colour above NoColours or an index outside the table.
  void SetColour(int oddYarnType, int evenYarnType, int oddState, int evenState,
                 OPaletteEntry colour);
  // Sets a combination and its mirror (the two controls exchanged), as the setup editor
  // does, so the table stays symmetric.
  void SetColourAndMirror(const TDesignCombination& combination, OPaletteEntry colour);
  void SetNoColours(uint8_t n);
  void SetNoStates(uint8_t n);
  void SetNoYarnTypes(uint8_t n);
  void BuildStateTables();
  // Copies a validated table, then lets the owner validate its own table.
  void Assign(const ODesignTable& source);

  // Combinations in loop order: odd yarn type, even yarn type, odd state, even state, the
  // last fastest. `index` counts from 0 up to NoCombinations() - 1.
  size_t NoCombinations() const;
  TDesignCombination CombinationAt(size_t index) const;

  void Export() override;
  void Import() override;
  std::string GetExtension() const override { return "DES"; }
  void SetDefaults() override;
  void Clear() override;
  void Update() override;
  void ReadFromStream(OReader& stream) override;
  void WriteToStream(OWriter& stream) const override;
  void Validate() override;
  TDesignRecordKind Kind() const override { return TDesignRecordKind::DesignTable; }

protected:
  std::unique_ptr<ODesignData> NewEmpty() const override;

private:
  bool Unvalidated = true;
  // No colour above the count, and the state tables as a rebuild makes them: validating
  // again would change nothing. A copy of such a table is one too.
  bool Clean = false;
  uint8_t ColourCount = 0;
  uint8_t StateCount = 0;
  uint8_t YarnTypeCount = 0;
  TByteTable<4> ColourTable;    // [odd yarn type][even yarn type][odd state][even state]
  TByteTable<3> OddStateTable;  // [odd yarn type][even yarn type][colour]
  TByteTable<3> EvenStateTable; // [odd yarn type][even yarn type][colour]

  void CheckValidated() const;
  void Reshape();
};

// The (odd yarn type, even yarn type) pairs that occur in a validated creel: each odd
// control with the control after it, a last odd control with the one before it.
class TYarnPairs {
public:
  explicit TYarnPairs(const OCreel& creel);
  int NoYarnTypes() const { return Count; }
  bool InUse(int oddYarnType, int evenYarnType) const;

private:
  int Count = 0;
  TBytes Flags; // (Count + 1) squared
};

} // namespace quillane
