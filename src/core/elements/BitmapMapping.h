#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "elements/Bitmap.h"
#include "setup/Palette.h"
#include "setup/PalettePaintBox.h"

namespace quillane {

class ORegion;

// One bitmap import into a region: the bitmap's colours, the palette index assigned to
// each, and a working copy of the pattern's palette. Nothing in the pattern changes until
// Apply.
class OBitmapMapping {
public:
  // Takes the bitmap's colours and assigns them automatically. Throws Exception for an
  // empty bitmap, before anything is kept.
  OBitmapMapping(ORegion& region, OBitmap24 bitmap);

  ORegion& Region;
  OPalette WorkPalette;
  // The most bitmap colours kept: the palette's size when the import began.
  int MaxColours = 0;
  // Entries 1 to MaxColours; those past NoBitmapColours are grey.
  std::vector<uint32_t> BitmapColours;
  int NoBitmapColours = 0;
  // The palette index of each bitmap colour, entries 1 to MaxColours.
  std::vector<OPaletteEntry> Mapping;
  bool PaletteChanged = false;

  const OBitmap24& Bitmap() const { return Image; }

  // The user's choice for bitmap colour `row`; rows outside the used ones change nothing.
  void SetMapping(int row, OPaletteEntry index);
  // Gives every assigned palette entry the exact bitmap colour ("Update Palette").
  void UpdatePalette();
  // A colour that was not kept answers 0, the undefined colour.
  OPaletteEntry MappedColour(uint32_t colour) const;

  // The window's two colour columns, each `width` x `height` pixels: NoBitmapColours + 2
  // rows of equal height, at least 1 pixel however many colours share a short column.
  int RowHeight(int height) const;
  // The used row (from 1) under a point of a column; 0 below the used rows or outside.
  int RowAt(int width, int height, int x, int y) const;
  // A press on a column gives the row the strip's left or right index; false when it
  // changed nothing.
  bool Press(TMouseButton button, const OPalettePaintBox& strip, int width, int height, int x,
             int y);
  // The keyboard's row after `delta` steps of Up and Down (0 as the column takes the
  // focus), held to the used rows.
  int KeyRow(int row, int delta) const;
  // Space on a row gives it the strip's left index, Shift+Space the right one.
  void KeyAssign(int row, const OPalettePaintBox& strip, bool right);

  // Takes the working palette if it was changed, then paints the bitmap, scaled to the
  // region's picture area and upside down, through the pattern's painting in the machine
  // or design view. Every sample is taken first, under a progress report the user may
  // cancel; only then is the pattern touched, and that runs to its end. A region whose
  // picture area is empty, inverted or larger than any picture, or a cancelled apply,
  // changes nothing and answers false (Cancelled tells which).
  bool Apply(bool machine);
  bool Cancelled = false;

  // How the window is left: by Apply, by Cancel, or by its close box or Escape, which ask
  // "Apply changes" unless a button decided already.
  enum class TChoice : uint8_t { Open, Apply, Cancel };
  TChoice Choice = TChoice::Open;
  // The close box or Escape: true when the choice is to apply.
  bool Close();
  // The choice carried out once the window is gone; a region with nothing to import into
  // is told, a cancelled progress is not.
  void Finish(bool machine);

  // The status texts over row `row` of the bitmap and of the palette column.
  std::string BitmapColourHint(int row) const;
  std::string PaletteColourHint(int row) const;

private:
  OBitmap24 Image;
  void CollectColours();
  void AssignColours();
};

// The part of the picture's machine or design image that belongs to the region, the
// region's first PLine as the bottom row. Throws Exception when the region's pattern area
// is empty or too large for an image.
OBitmap24 ExportBitmap(ORegion& region, bool machine);

} // namespace quillane
