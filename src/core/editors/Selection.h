#pragma once

// A rectangle selection on a picture and the blocks of cells it copies, moves and turns.
// A block holds palette values as the view shows them; placing one paints its cells as
// presses in that view would, one after another, so sections, regions and the tables'
// refusals treat it exactly as a designer painting it by hand, and the whole placement is
// one step of the pattern's history. Nothing here knows the window: a selection state of
// the view forwards its presses, drags and keys to OSelection.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/Record.h"
#include "editors/ViewGeometry.h"

namespace quillane {

class OBitmap24;
class OPalette;
class OPattern;
class OPicture;
enum class TViewKey : uint8_t;

// Width x Height palette values, row after row from the row nearest PLine 1 (the bottom
// one in the view), each row from its left. The undefined colour stands where a pixel shows
// no cell.
struct TBlock {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Values;

  TBlock() = default;
  TBlock(int width, int height, uint8_t value = 0);
  bool Empty() const { return Width <= 0 || Height <= 0; }
  uint8_t At(int x, int y) const {
    return Values[static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)];
  }
  uint8_t& At(int x, int y) {
    return Values[static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)];
  }
  friend bool operator==(const TBlock&, const TBlock&) = default;
};

// The transforms as the designer sees them in the view, where higher rows stand higher.
TBlock FlippedHorizontally(const TBlock& block);
TBlock FlippedVertically(const TBlock& block);
TBlock TurnedClockwise(const TBlock& block);

// The pixels between two corners in either order, cut to a picture of this size; none when
// nothing of it lies on the picture.
std::optional<TRect> SelectionArea(TCell from, TCell to, int width, int height);

// The values the view shows on the pixels of `area` (from 0, inclusive), the view's colours
// brought up to date first as a press does. Where regions put different cells on one pixel
// the view shows the last in control-then-PLine order, so that one is taken.
TBlock CopyBlock(OPicture& picture, TView view, const TRect& area);

// Paints the block's cells with their bottom left one on pixel `at`, as presses in the view
// paint them, as one step of the pattern's history named `label`; pixels off the picture
// are passed over. With `cleared`, those pixels are painted with the undefined colour first,
// in the same step (a block lifted from there and put down elsewhere). Answers why the first
// refused paint was refused, empty when none was.
std::string PaintBlock(OPattern& pattern, OPicture& picture, TView view, const TBlock& block,
                       TCell at, const std::string& label,
                       const std::optional<TRect>& cleared = std::nullopt);

// The values of an image (top row first, as files hold them) as the bitmap import into
// `picture` would assign them: the colours met first column by column, each from the top,
// keep the palette entry that has their colour or else the lowest one unused; a colour
// past the palette's size is the undefined colour. The image's top row comes out on top.
TBlock BlockFromImage(OPattern& pattern, OPicture& picture, const OBitmap24& image);

// The block as an image for other programs: each value's palette colour, its top row first.
OBitmap24 BlockImage(const TBlock& block, const OPalette& palette);

// A block as the clipboard carries it between this program's windows: "QLBK", the width and
// the height as 32-bit little-endian numbers, then the values row after row as TBlock holds
// them.
std::vector<uint8_t> BlockBytes(const TBlock& block);
// Bytes from the clipboard, which anyone may have put there: none unless the header is ours
// and the sizes account for the bytes exactly.
std::optional<TBlock> BlockFromBytes(const uint8_t* data, size_t size);

// The selection of one view window: the selected pixels and a block floating over them
// until it is put down or dropped. The pattern changes only by Cut, Delete and Place.
class OSelection {
public:
  OSelection(OPattern& pattern, OPicture& picture) : Pattern(pattern), Picture(picture) {}

  // The selected pixels, on the picture.
  std::optional<TRect> Area;
  // A pasted or lifted block: where its bottom left pixel lies, what it covered before
  // it floated, and the step name its placing takes.
  struct TFloating {
    TBlock Block;
    TCell At;
    std::optional<TRect> Lifted;
    std::string Label;
  };
  std::optional<TFloating> Floating;

  // A drag from one pixel to another selects what lies between; a block floating is put
  // down first, as a click beside it does.
  std::string Select(TCell from, TCell to, TView view);
  void SelectNothing() { Area.reset(); }
  // The picture changed its size: what is selected keeps to it.
  void KeepToPicture();

  // The selected values; empty without a selection.
  TBlock Copy(TView view) const;
  // Copy, then the pixels take the undefined colour as one step "Cut".
  TBlock Cut(TView view, std::string* why = nullptr);
  // The selected pixels take the undefined colour as one step "Delete"; answers why a
  // paint was refused, as a press would.
  std::string Delete(TView view);

  // The block floats with its bottom left pixel on `at`; a block already floating is put
  // down first.
  std::string Paste(TBlock block, TCell at, TView view);
  // Moves the floating block by whole pixels (the mouse's pixel deltas, or an arrow key:
  // Up towards higher PLines). False when none floats.
  bool MoveBy(int columns, int rows);
  // Enter or a click: the floating block is painted as one step. Answers why a paint was
  // refused; the block stays selected.
  std::string Place(TView view);
  // Escape: the floating block is dropped, the selection is what it was.
  void Cancel();
  // The arrows move a floating block by a pixel; Escape drops it, or with none floating
  // selects nothing. False when the key did nothing here, for the view to scroll.
  bool Key(TViewKey key);

  // Each turns the floating block; without one, the selected pixels are lifted into a
  // floating block first, their place cleared when it is put down.
  void FlipHorizontal(TView view);
  void FlipVertical(TView view);
  void Turn(TView view);

private:
  OPattern& Pattern;
  OPicture& Picture;
  std::optional<TRect> AreaBefore; // the selection before a block floated
  void Float(TBlock block, TCell at, std::optional<TRect> lifted, std::string label);
  void Transform(TView view, TBlock (*transform)(const TBlock&), const char* label);
  void Follow(); // the selection follows the floating block
};

// The commands a view window offers on its selection.
enum class TSelectionCommand : uint8_t {
  Copy,
  Cut,
  Paste,
  Delete,
  FlipHorizontal,
  FlipVertical,
  Turn
};
// Copy, Cut and Delete take the selected pixels, which a floating block hides until it is
// put down; the flips and the turn take the floating block or the selected pixels; Paste
// wants a block or an image on the clipboard.
bool SelectionCommandEnabled(const OSelection& selection, TSelectionCommand command,
                             bool clipboardHasBlock);

} // namespace quillane
