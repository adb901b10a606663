#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quillane {

class OMachineTable;
class OPalette;
class OReader;
class OWriter;

// One colouring of the design: the cells, creel and tables stay the pattern's, only the
// colours change. Colours are 0x00BBGGRR, as the palette keeps them.
struct TColourway {
  std::string Name;
  // The colour of each palette index the colourway sets, by index (0 to 255); an index it
  // does not set (Set[i] false) shows the pattern's palette colour. The first colourway
  // ("Original") sets none: it is the palette itself.
  std::array<uint32_t, 256> Colours{};
  std::array<bool, 256> Set{};
  // The yarn maker's shade code of each yarn type, by yarn type (index 0 unused); at most
  // MaxShadeCode bytes each, "" for none. Shorter than the yarn types when the rest are "".
  std::vector<std::string> Codes;
  friend bool operator==(const TColourway&, const TColourway&) = default;

  std::string Code(int yarnType) const;
  void SetCode(int yarnType, std::string code);
};

constexpr size_t MaxShadeCode = 32;
constexpr size_t MaxColourwayName = 64;
constexpr size_t MaxColourways = 64;
inline const char* const OriginalColourwayName = "Original";

// The colourways of a pattern, the first always the pattern's own palette.
struct TColourways {
  std::vector<TColourway> List{TColourway{OriginalColourwayName, {}, {}, {}}};
  friend bool operator==(const TColourways&, const TColourways&) = default;

  // The index of the colourway of this name (compared as typed), or -1.
  int Find(const std::string& name) const;
  // Only the Original, with no shade code: nothing worth a file beside the pattern.
  bool Trivial() const;
};

// The palette indices the machine table gives a yarn type in some state, ascending, each
// once: the colours that can be tufted. A table that needs validating answers none.
std::vector<uint8_t> UsedPaletteIndices(const OMachineTable& table);
// The palette index a yarn type shows in its first state that has one, or 0.
uint8_t YarnColourIndex(const OMachineTable& table, int yarnType);

// Every palette index as the colourway shows it (the palette's colour where it sets none).
std::array<uint32_t, 256> ColoursOf(const TColourway& colourway, const OPalette& palette);
// The colour a yarn type shows in the colourway (its first state's entry), or the
// undefined colour when the table gives it none.
uint32_t YarnColour(const TColourway& colourway, const OPalette& palette,
                    const OMachineTable& table, int yarnType);

// A new colourway holding the palette's present colour of every used index.
TColourway NewColourway(const std::string& name, const OPalette& palette,
                        const OMachineTable& table);
// Sets a yarn type's colour: its first state's entry to `colour`, each other state's entry
// to the same hue at the lightness step it had from the first state's entry in `palette`,
// so that High and Low stay apart. A palette index two yarn types share takes the colour of
// whichever yarn type was set last. For the Original (index 0 of a TColourways) the caller
// writes the result into the palette instead.
void SetYarnColour(TColourway& colourway, const OPalette& palette, const OMachineTable& table,
                   int yarnType, uint32_t colour);
// Sets one palette entry of the colourway.
void SetEntryColour(TColourway& colourway, int index, uint32_t colour);

// Two yarn types of one colourway whose colours look alike on the carpet.
struct TCloseYarns {
  int First = 0, Second = 0; // yarn types, First < Second
  double DeltaE = 0;
};
constexpr double CloseYarnDeltaE = 3.0;
constexpr double DuplicateDeltaE = 1.0;
// Every pair of the colourway's yarn types closer than CloseYarnDeltaE (ΔE2000).
std::vector<TCloseYarns> CloseYarnTypes(const TColourway& colourway, const OPalette& palette,
                                        const OMachineTable& table);
// The index of an earlier colourway that every yarn type of colourway `index` is within
// DuplicateDeltaE of, or -1.
int DuplicateOf(const TColourways& colourways, int index, const OPalette& palette,
                const OMachineTable& table);

// "#RRGGBB" of a colour, and back (false for anything else: the caller names the field).
std::string HexColour(uint32_t colour);
bool ReadHexColour(const std::string& text, uint32_t& colour);

// The colourways in the undo history's record of the pattern.
void WriteColourways(OWriter& stream, const TColourways& colourways);
TColourways ReadColourways(OReader& stream);

} // namespace quillane
