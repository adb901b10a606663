#pragma once

#include "data/DesignData.h"
#include "data/Mapping.h"

namespace quillane {

// Makes one area of the pattern a copy of another, possibly mirrored and turned.
class OSection : public ODesignData {
public:
  explicit OSection(ODesignOwner* owner);

  TRect SourceArea;
  TRect TargetArea;
  int32_t SourceHeight = 0;
  int32_t SourceWidth = 0;
  uint8_t HFlip = 0;
  uint8_t VFlip = 0;
  uint8_t Rotation = 0;

  void Export() override;
  void Import() override;
  std::string GetExtension() const override { return "SEC"; }
  void SetDefaults() override;
  void Clear() override;
  void Update() override {}
  void ReadFromStream(OReader& stream) override;
  void WriteToStream(OWriter& stream) const override;
  void Validate() override {}
  TDesignRecordKind Kind() const override { return TDesignRecordKind::Section; }

  void SetSourceArea(const TRect& area);
  bool MapToTarget(int32_t& c, int32_t& p) const {
    return MapBetween(SourceArea, TargetArea, HFlip, VFlip, Rotation, c, p);
  }
  bool MapToSource(int32_t& c, int32_t& p) const {
    return MapBack(SourceArea, TargetArea, HFlip, VFlip, Rotation, c, p);
  }
  // The target is the source moved, neither mirrored nor turned: copied as pieces of PLines.
  bool Shifts() const { return HFlip != 1 && VFlip != 1 && (Rotation < 1 || Rotation > 3); }
  bool Covers(int32_t c, int32_t p) const {
    return InArea(SourceArea, c, p) || InArea(TargetArea, c, p);
  }
  void Assign(const OSection& source);

  static constexpr size_t RecordSize = 37;

protected:
  std::unique_ptr<ODesignData> NewEmpty() const override;
};

} // namespace quillane
