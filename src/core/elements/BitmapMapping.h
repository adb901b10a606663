#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/LargeBuffer.h"
#include "elements/Bitmap.h"
#include "imaging/Reduce.h"
#include "setup/Palette.h"
#include "setup/PalettePaintBox.h"

namespace quillane {

class ORegion;

// Which palette entries give a cell a state in one view, as the pattern's creel and tables
// allow: a control's yarn type (machine view) or its pair's (design view) decides.
struct TStatedEntries {
  // The row of Stated for each control from 1; empty: every entry gives every cell a state,
  // as in a colour pattern.
  std::vector<uint16_t> RowOfControl;
  std::vector<std::vector<bool>> Stated; // [row][entry]
  bool Has(int64_t control, OPaletteEntry entry) const;
};

// How the bitmap's colours become palette entries. Exact keeps the first colours found and
// gives them their own or free entries; Nearest gives every colour the entry that looks
// nearest; Reduce first reduces the bitmap to a few colours that stand for all of them.
enum class TColourMode : uint8_t { Exact, Nearest, Reduce };
struct TAssignment {
  TColourMode Mode = TColourMode::Exact;
  // Reduce: at most this many colours; 0, or more than the palette holds, the palette's count.
  int ReduceTo = 0;
  // Nearest and Reduce, cell by cell.
  TDither Dither = TDither::None;
  // Reduce: the entries picked take the reduced colours, as "Update Palette" does.
  bool TakeColours = false;
  bool operator==(const TAssignment&) const = default;
};

// The value each cell of the region's picture area takes: Across samples a row (a control
// pair each in the design view), Down rows, the picture area's top row first.
struct TCellValues {
  size_t Across = 0, Down = 0;
  TZeroedBytes Values;
  // Cells whose entry gives no state for their yarn type, flagged 1 when asked for, and
  // their count.
  TZeroedBytes Unstated;
  int64_t NoUnstated = 0;
};

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

  // What entries give a state where; set before Assign, else every entry counts.
  TStatedEntries States;
  // Assigns the colours again as `assignment` says, for the view the import paints: the
  // rows of Exact are the bitmap's colours, those of Nearest the palette's entries that give
  // a state, those of Reduce the reduced colours. The working palette and the user's choices
  // start again from the pattern's.
  void Assign(const TAssignment& assignment, bool machine);
  const TAssignment& Assignment() const { return Current; }
  // The entries Nearest picks from, in order: those giving a state to every yarn type of the
  // region, else to any of them, else every entry.
  std::vector<OPaletteEntry> Candidates() const;
  // Every cell as Apply would paint it; `marks` flags the unstated ones too.
  TCellValues Cells(bool machine, bool marks) const;

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
  TAssignment Current;
  void CollectColours();
  void AssignColours();
  // The bitmap column and row of each cell's sample; false for an area too large to paint.
  bool Samples(bool machine, std::vector<int>& xs, std::vector<int>& ys) const;
  // The values of Nearest and Reduce, one row of samples after another; empty when the
  // user cancels the progress, if one is given.
  TZeroedBytes DitheredValues(const std::vector<int>& xs, const std::vector<int>& ys,
                              OProgress* progress = nullptr) const;
};

class OPersist;

// The import window's choices, kept in the ini from one import to the next.
struct TImportChoices {
  TAssignment Assignment;
  bool Machine = false;
  // What was kept, as far as it still makes sense: a colour pattern has only the machine
  // view, and a reduction is to at most the palette's count.
  static TImportChoices Read(OPersist& persist, bool offersDesign, int paletteColours);
  void Write(OPersist& persist) const;
};

// The status bar's word on cells whose entry gives no state (in a colour pattern, whose
// colour no yarn type shows); empty when there are none.
std::string UnstatedText(int64_t cells, bool colourPattern = false);

// The cells as the region receives them, for a preview: one block of pixels a cell, each in
// its palette colour, the bitmap's top row first, a design-view cell twice as wide; an
// unstated cell crossed through. Blocks are as large as fit in maxWidth x maxHeight; an
// area with more cells than that shows every k-th cell as one pixel.
OBitmap24 CellPicture(const TCellValues& cells, const OPalette& palette, bool machine, int maxWidth,
                      int maxHeight);

// The part of the picture's machine or design image that belongs to the region, the
// region's first PLine as the bottom row. Throws Exception when the region's pattern area
// is empty or too large for an image.
OBitmap24 ExportBitmap(ORegion& region, bool machine);

} // namespace quillane
