#pragma once

#include <string>

#include "data/DesignData.h"
#include "data/Mapping.h"

namespace quillane {

class OPicture;

// Places a rectangle of the pattern into a rectangle of a picture, possibly mirrored
// and turned.
class ORegion : public ODesignData {
public:
  ORegion(ODesignOwner* owner, OPicture* picture);

  OPicture* const Picture;
  std::string BitmapFileName;
  uint8_t ImportFlag = 0;
  TRect PatternArea;
  TRect PictureArea;
  int32_t PatternHeight = 0;
  int32_t PatternWidth = 0;
  int32_t PictureHeight = 0;
  int32_t PictureWidth = 0;
  uint8_t HFlip = 0;
  uint8_t VFlip = 0;
  uint8_t Rotation = 0;

  void Export() override;
  void Import() override;
  std::string GetExtension() const override { return "REG"; }
  void SetDefaults() override;
  void Clear() override;
  void Update() override {}
  void ReadFromStream(OReader& stream) override;
  void WriteToStream(OWriter& stream) const override;
  void Validate() override {}
  TDesignRecordKind Kind() const override { return TDesignRecordKind::Region; }

  void SetPatternArea(const TRect& area);
  void SetPictureArea(const TRect& area);
  // Cell (C, P) to picture position (from 1); false when the region does not show it.
  bool MapCellToPixel(int32_t& c, int32_t& p) const {
    return MapBetween(PatternArea, PictureArea, HFlip, VFlip, Rotation, c, p);
  }
  // Picture position (from 1) to cell; false when the position is outside the region.
  bool MapPixelToCell(int32_t& x, int32_t& y) const {
    return MapBack(PatternArea, PictureArea, HFlip, VFlip, Rotation, x, y);
  }
  // Copies everything but the picture link: a region draws into its own picture.
  void Assign(const ORegion& source);

  static constexpr size_t RecordSize = 38;

protected:
  std::unique_ptr<ODesignData> NewEmpty() const override;
};

} // namespace quillane
