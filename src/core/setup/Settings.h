#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/LargeBuffer.h"
#include "data/DesignData.h"

namespace quillane {

// The machine controller's settings of one pattern: machine type and dimensions as the
// controller sees them, the control file's header values and the option file's values.
class OSettings : public ODesignData {
public:
  explicit OSettings(ODesignOwner* owner);

  uint8_t ReversePattern = 0;
  uint8_t MachineType = 0;
  uint16_t NoControls = 0;
  uint16_t NoPLines = 0;
  uint8_t OffsetAllowed = 0;
  TShortString<15> SizeCode;
  TShortString<15> StyleCode;
  uint8_t AutoStart = 0;
  uint8_t AllowChangeControlMode = 0;
  uint8_t AllowChangePatternLength = 0;
  uint8_t AllowChangePatternOffset = 0;
  uint8_t AllowInvertPattern = 0;
  uint8_t CamStart = 0;
  uint8_t ControlMode = 0;
  TShortString<64> Description;
  uint8_t FileVersion = 6;
  uint8_t InvertFlag = 0;
  float LengthMultiplier = 0;
  float NeedleSpacing = 0;
  int16_t Offset = 0;
  uint8_t OffsetMode = 0;
  float PLineSpacing = 0;
  uint16_t PLineStart = 0;
  float InverseStitchCount = 0;
  uint8_t StepsPerPLine = 0;
  uint8_t TestFlag = 0;

  void Export() override;
  void Import() override;
  std::string GetExtension() const override { return "SET"; }
  void SetDefaults() override;
  void Clear() override;
  void Update() override;
  void ReadFromStream(OReader& stream) override;
  void WriteToStream(OWriter& stream) const override;
  void Validate() override {}
  TDesignRecordKind Kind() const override { return TDesignRecordKind::Settings; }

  // Copies every stored field, then lets the owner pattern follow the new dimensions
  // and machine type.
  void Assign(const OSettings& source);

  void SetSizeCode(std::string_view text) { SizeCode.SetText(text); }
  void SetStyleCode(std::string_view text) { StyleCode.SetText(text); }
  void SetDescription(std::string_view text) { Description.SetText(text); }
  std::string GetSizeCode() const { return SizeCode.Text(); }
  std::string GetStyleCode() const { return StyleCode.Text(); }
  std::string GetDescription() const { return Description.Text(); }
  void SetFileVersion(uint8_t version) { FileVersion = version; }

  // The stitch count as the editor shows it and takes it: the reciprocal is stored.
  float GetStitchCount() const;
  void SetStitchCount(float stitchCount);

  // The pattern option file (.DAT) of this object's FileVersion.
  TBytes OptionFileBytes() const;
  void WriteOptionFile(const std::string& fileName) const;
  // Reads an option file; on any error this object is left as it was.
  void ReadOptionFile(const std::string& fileName);
  void ReadOptionBytes(std::span<const uint8_t> bytes);

  static constexpr size_t RecordSize = 138;

  // Every stored field with its name, in declaration order; `visit(name, field...)` gets
  // the same field of each object given. Copying and listing the settings walk this list.
  template <class TVisit, class... TSettings>
  static void ForEachField(TVisit&& visit, TSettings&... s) {
    visit("ReversePattern", s.ReversePattern...);
    visit("MachineType", s.MachineType...);
    visit("NoControls", s.NoControls...);
    visit("NoPLines", s.NoPLines...);
    visit("OffsetAllowed", s.OffsetAllowed...);
    visit("SizeCode", s.SizeCode...);
    visit("StyleCode", s.StyleCode...);
    visit("AutoStart", s.AutoStart...);
    visit("AllowChangeControlMode", s.AllowChangeControlMode...);
    visit("AllowChangePatternLength", s.AllowChangePatternLength...);
    visit("AllowChangePatternOffset", s.AllowChangePatternOffset...);
    visit("AllowInvertPattern", s.AllowInvertPattern...);
    visit("CamStart", s.CamStart...);
    visit("ControlMode", s.ControlMode...);
    visit("Description", s.Description...);
    visit("FileVersion", s.FileVersion...);
    visit("InvertFlag", s.InvertFlag...);
    visit("LengthMultiplier", s.LengthMultiplier...);
    visit("NeedleSpacing", s.NeedleSpacing...);
    visit("Offset", s.Offset...);
    visit("OffsetMode", s.OffsetMode...);
    visit("PLineSpacing", s.PLineSpacing...);
    visit("PLineStart", s.PLineStart...);
    visit("InverseStitchCount", s.InverseStitchCount...);
    visit("StepsPerPLine", s.StepsPerPLine...);
    visit("TestFlag", s.TestFlag...);
  }

protected:
  std::unique_ptr<ODesignData> NewEmpty() const override;

private:
  // A blank object for internal copies: the constructor's Clear would recurse.
  struct TBlank {};
  OSettings(ODesignOwner* owner, TBlank) : ODesignData(owner) {}
  void CopyFields(const OSettings& source);
};

} // namespace quillane
