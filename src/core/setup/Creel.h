#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/DesignData.h"

namespace quillane {

// Yarn types: 0 is none, 1 to NoYarnTypes are shown as "A", "B", ...
using OYarnType = uint8_t;

// The letter a yarn type is shown as; yarn type 0 is a blank.
std::string YarnTypeLetter(OYarnType yarnType);

// Which yarn type feeds each control of the machine.
class OCreel : public ODesignData {
public:
  explicit OCreel(ODesignOwner* owner);

  // The length of the yarn-type sequence the setup editor repeats across the creel.
  uint16_t RepeatSize = 0;

  bool NeedsValidating() const { return Unvalidated; }
  uint16_t NoControls() const { return ControlCount; }
  uint8_t NoYarnTypes() const { return YarnTypeCount; }

  // Throws EAssertionFailed while the creel needs validating; a control outside 1 to
  // NoControls has no yarn type.
  OYarnType GetYarnType(int control) const;
  // No check of the value and no validation needed; ignored outside the creel.
  void SetYarnType(int control, OYarnType yarnType);
  // The stored entry whether or not validated, for writing and showing a record as read.
  OYarnType YarnTypeEntry(int control) const;

  void SetNoControls(uint16_t n);
  void SetNoYarnTypes(uint8_t n);
  // Copies a validated creel, then lets the owner validate its own creel.
  void Assign(const OCreel& source);
  // Repeats the yarn types of the first `repeatSize` controls across the whole creel.
  void Repeat(int repeatSize);

  void Export() override;
  void Import() override;
  std::string GetExtension() const override { return "CRE"; }
  void SetDefaults() override;
  void Clear() override;
  void Update() override;
  void ReadFromStream(OReader& stream) override;
  void WriteToStream(OWriter& stream) const override;
  void Validate() override;
  TDesignRecordKind Kind() const override { return TDesignRecordKind::Creel; }

protected:
  std::unique_ptr<ODesignData> NewEmpty() const override;

private:
  bool Unvalidated = true;
  uint16_t ControlCount = 0;
  uint8_t YarnTypeCount = 0;
  // Controls 0 to NoControls; 0 is never a control and stays 0. Empty after Clear.
  std::vector<OYarnType> YarnTypes;
};

} // namespace quillane
