#include "setup/Palette.h"

#include "app/Exceptions.h"
#include "data/DesignOwner.h"

namespace quillane {

const std::array<uint32_t, 16> DefaultPaletteColours = {
    0x0000FF, 0x0000C0, 0x000080, 0x00FF00, 0x00C000, 0x008000, 0xFF0000, 0xC00000,
    0x800000, 0xFFFF00, 0xFFC000, 0xFF8000, 0x00FFFF, 0x808080, 0x000000, 0xFFFFFF,
};

OPalette::OPalette(ODesignOwner* owner) : ODesignData(owner) {
  OPalette::Clear();
}

std::unique_ptr<ODesignData> OPalette::NewEmpty() const {
  return std::make_unique<OPalette>(Owner);
}

uint32_t OPalette::GetColour(int index) const {
  if (index >= 0 && static_cast<size_t>(index) < Colours.size())
    return Colours[static_cast<size_t>(index)];
  return Colours.empty() ? 0 : Colours[0];
}

std::array<uint32_t, 256> OPalette::PixelColours() const {
  std::array<uint32_t, 256> colours{};
  for (int i = 0; i < 256; ++i)
    colours[static_cast<size_t>(i)] = GetColour(i) & 0x00FFFFFFu;
  return colours;
}

void OPalette::SetColour(int index, uint32_t colour) {
  if (index >= 0 && static_cast<size_t>(index) < Colours.size())
    Colours[static_cast<size_t>(index)] = colour;
}

void OPalette::SetNoColours(uint8_t n) {
  const size_t size = static_cast<size_t>(n) + 1;
  if (n == Count && Colours.size() == size)
    return;
  const size_t kept = Colours.size();
  Colours.resize(size, 0);
  // Entry 0 made by the resize (only after Clear) stays 0 until it is set.
  for (size_t i = kept < 1 ? 1 : kept; i < size; ++i)
    Colours[i] = clGrey;
  Count = n;
}

OPaletteEntry OPalette::FindColour(uint32_t colour) const {
  for (size_t i = 1; i < Colours.size(); ++i)
    if (Colours[i] == colour)
      return static_cast<OPaletteEntry>(i);
  return 0;
}

void OPalette::Assign(const OPalette& source) {
  Owner = source.Owner;
  if (&source != this) {
    SetNoColours(source.Count);
    for (int i = 1; i <= Count; ++i)
      SetColour(i, source.GetColour(i));
    Background = source.Background;
    SetUndefinedColour(source.GetUndefinedColour());
  }
  if (Owner)
    Owner->ApplyPalette();
}

void OPalette::Clear() {
  Count = 0;
  Colours.clear();
}

void OPalette::SetDefaults() {
  if (!LoadDefault()) {
    SetNoColours(static_cast<uint8_t>(DefaultPaletteColours.size()));
    for (size_t i = 0; i < DefaultPaletteColours.size(); ++i)
      SetColour(static_cast<int>(i) + 1, DefaultPaletteColours[i]);
  }
  // A default file supplies the colours only, never the two special ones.
  Background = clSilver;
  SetUndefinedColour(clGrey);
}

void OPalette::Update() {
  if (Owner)
    Assign(Owner->GetPalette());
}

void OPalette::ReadFromStream(OReader& stream) {
  const uint8_t version = ReadHeader(stream, 1, 2);
  const uint8_t n = stream.ReadByte();
  // Everything is read before anything changes, so a short record leaves the palette as it was.
  std::vector<uint32_t> colours(static_cast<size_t>(n) + 1);
  uint32_t background = clSilver;
  if (version == 2) {
    stream.Require(4 * (static_cast<size_t>(n) + 1) + 4);
    for (uint32_t& c : colours)
      c = stream.ReadColour();
    background = stream.ReadColour();
  } else {
    stream.Require(4 * static_cast<size_t>(n));
    colours[0] = clGrey;
    for (size_t i = 1; i < colours.size(); ++i)
      colours[i] = stream.ReadColour();
  }
  Colours = std::move(colours);
  Count = n;
  Background = background;
}

void OPalette::WriteToStream(OWriter& s) const {
  s.Reserve(s.Size() + 4 * (static_cast<size_t>(Count) + 2) + 3);
  s.WriteByte(static_cast<uint8_t>(TDesignRecordKind::Palette));
  s.WriteByte(2);
  s.WriteByte(Count);
  for (int i = 0; i <= Count; ++i)
    s.WriteColour(GetColour(i));
  s.WriteColour(Background);
}

void OPalette::Export() {
  ExportFlow();
}

void OPalette::Import() {
  ImportFlow([this](OReader& stream) {
    OPalette temp(Owner);
    temp.ReadFromStream(stream);
    stream.RequireEnd();
    Assign(temp);
  });
}

} // namespace quillane
