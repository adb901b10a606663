#include "elements/Region.h"

#include <algorithm>

#include "elements/Picture.h"

namespace quillane {

namespace {
int32_t Clamped(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}
} // namespace

ORegion::ORegion(ODesignOwner* owner, OPicture* picture) : ODesignData(owner), Picture(picture) {
  ORegion::Clear();
}

std::unique_ptr<ODesignData> ORegion::NewEmpty() const {
  return std::make_unique<ORegion>(Owner, Picture);
}

void ORegion::SetPatternArea(const TRect& area) {
  PatternArea = area;
  PatternHeight = Clamped(AreaHeight(area));
  PatternWidth = Clamped(AreaWidth(area));
}

void ORegion::SetPictureArea(const TRect& area) {
  PictureArea = area;
  PictureHeight = Clamped(AreaHeight(area));
  PictureWidth = Clamped(AreaWidth(area));
}

void ORegion::Clear() {
  ImportFlag = 0;
  SetPatternArea({});
  SetPictureArea({});
  HFlip = VFlip = Rotation = 0;
}

void ORegion::SetDefaults() {
  ImportFlag = 0;
  const TRect whole{1, 1, Picture ? Picture->Width : 0, Picture ? Picture->Height : 0};
  SetPatternArea(whole);
  SetPictureArea(whole);
  HFlip = VFlip = Rotation = 0;
}

void ORegion::Assign(const ORegion& source) {
  BitmapFileName = source.BitmapFileName;
  ImportFlag = source.ImportFlag;
  SetPatternArea(source.PatternArea);
  SetPictureArea(source.PictureArea);
  HFlip = source.HFlip;
  VFlip = source.VFlip;
  Rotation = source.Rotation;
}

void ORegion::ReadFromStream(OReader& stream) {
  const uint8_t version = ReadHeader(stream, 1, 2);
  stream.Require(version == 2 ? RecordSize - 2 : RecordSize - 3);
  SetPatternArea(stream.ReadRect());
  SetPictureArea(stream.ReadRect());
  HFlip = stream.ReadByte();
  VFlip = stream.ReadByte();
  Rotation = stream.ReadByte();
  if (version == 2)
    ImportFlag = stream.ReadByte();
}

void ORegion::WriteToStream(OWriter& s) const {
  s.WriteByte(static_cast<uint8_t>(TDesignRecordKind::Region));
  s.WriteByte(2);
  s.WriteRect(PatternArea);
  s.WriteRect(PictureArea);
  s.WriteByte(HFlip);
  s.WriteByte(VFlip);
  s.WriteByte(Rotation);
  s.WriteByte(ImportFlag);
}

void ORegion::Export() {
  ExportFlow();
}

void ORegion::Import() {
  ImportFlow([this](OReader& stream) {
    ORegion temp(Owner, Picture);
    temp.ReadFromStream(stream);
    stream.RequireEnd();
    Assign(temp);
  });
}

} // namespace quillane
