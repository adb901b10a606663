#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "data/DesignData.h"

namespace quillane {

// Palette indices: 0 is the undefined colour, 1 to NoColours the palette colours.
using OPaletteEntry = uint8_t;

// Colours are 0x00BBGGRR, as the files store them.
constexpr uint32_t clSilver = 0xC0C0C0;
constexpr uint32_t clGrey = 0x808080;

// The built-in palette of a new pattern, indices 1 to 16.
extern const std::array<uint32_t, 16> DefaultPaletteColours;

// The colours a pattern is drawn in, with the undefined colour at index 0 and the
// background colour.
class OPalette : public ODesignData {
public:
  explicit OPalette(ODesignOwner* owner);

  uint32_t Background = 0;

  uint8_t NoColours() const { return Count; }
  // Index 0 is the undefined colour; an index above NoColours (a cell left over from a
  // larger palette) also shows the undefined colour.
  uint32_t GetColour(int index) const;
  // Ignored outside 0 to NoColours.
  void SetColour(int index, uint32_t colour);
  uint32_t GetUndefinedColour() const { return GetColour(0); }
  // Every index's colour as the images hold it (the top byte clear), for drawing many cells
  // with a look-up each rather than a call.
  std::array<uint32_t, 256> PixelColours() const;
  void SetUndefinedColour(uint32_t colour) { SetColour(0, colour); }
  // Keeps the colours both sizes share; added colours are grey.
  void SetNoColours(uint8_t n);
  // The lowest palette index holding exactly this colour, or 0.
  OPaletteEntry FindColour(uint32_t colour) const;
  // Takes over the colours and the owner, then lets the owner follow the colour count.
  void Assign(const OPalette& source);

  void Export() override;
  void Import() override;
  std::string GetExtension() const override { return "PAL"; }
  void SetDefaults() override;
  void Clear() override;
  void Update() override;
  void ReadFromStream(OReader& stream) override;
  void WriteToStream(OWriter& stream) const override;
  void Validate() override {}
  TDesignRecordKind Kind() const override { return TDesignRecordKind::Palette; }

protected:
  std::unique_ptr<ODesignData> NewEmpty() const override;

private:
  uint8_t Count = 0;
  // NoColours + 1 entries once a count was given; empty straight after Clear.
  std::vector<uint32_t> Colours;
};

} // namespace quillane
