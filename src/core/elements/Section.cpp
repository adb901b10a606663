#include "elements/Section.h"

#include <algorithm>

#include "data/DesignOwner.h"

namespace quillane {

OSection::OSection(ODesignOwner* owner) : ODesignData(owner) {
  OSection::Clear();
}

std::unique_ptr<ODesignData> OSection::NewEmpty() const {
  return std::make_unique<OSection>(Owner);
}

void OSection::SetSourceArea(const TRect& area) {
  SourceArea = area;
  // Derived sizes of a forged area are kept in range rather than overflowing.
  SourceHeight = static_cast<int32_t>(std::clamp<int64_t>(AreaHeight(area), INT32_MIN, INT32_MAX));
  SourceWidth = static_cast<int32_t>(std::clamp<int64_t>(AreaWidth(area), INT32_MIN, INT32_MAX));
}

void OSection::Clear() {
  SetSourceArea({});
  TargetArea = {};
  HFlip = VFlip = Rotation = 0;
}

void OSection::SetDefaults() {
  const TRect whole{1, 1, Owner ? Owner->NoControls : 0, Owner ? Owner->NoPLines : 0};
  SetSourceArea(whole);
  TargetArea = whole;
  HFlip = VFlip = Rotation = 0;
}

void OSection::Assign(const OSection& source) {
  SetSourceArea(source.SourceArea);
  TargetArea = source.TargetArea;
  HFlip = source.HFlip;
  VFlip = source.VFlip;
  Rotation = source.Rotation;
}

void OSection::ReadFromStream(OReader& stream) {
  ReadHeader(stream, 1, 1);
  stream.Require(RecordSize - 2);
  SetSourceArea(stream.ReadRect());
  TargetArea = stream.ReadRect();
  HFlip = stream.ReadByte();
  VFlip = stream.ReadByte();
  Rotation = stream.ReadByte();
}

void OSection::WriteToStream(OWriter& s) const {
  s.WriteByte(static_cast<uint8_t>(TDesignRecordKind::Section));
  s.WriteByte(1);
  s.WriteRect(SourceArea);
  s.WriteRect(TargetArea);
  s.WriteByte(HFlip);
  s.WriteByte(VFlip);
  s.WriteByte(Rotation);
}

void OSection::Export() {
  ExportFlow();
}

void OSection::Import() {
  ImportFlow([this](OReader& stream) {
    OSection temp(Owner);
    temp.ReadFromStream(stream);
    stream.RequireEnd();
    Assign(temp);
  });
}

} // namespace quillane
