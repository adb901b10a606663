#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/Signal.h"

namespace quillane {

class OPalette;

enum class TMouseButton { Left, Right, Middle };

// Keys and the double click that come with a mouse event.
enum TShiftFlag : uint32_t {
  ssShift = 1u << 0,
  ssAlt = 1u << 1,
  ssCtrl = 1u << 2,
  ssDouble = 1u << 3,
};

// One cell of the palette strip as it is drawn: its top edge and height in the paint box,
// the colour it is filled with and its label.
struct TPaletteCell {
  int Top = 0;
  int Height = 0;
  uint32_t Fill = 0;
  std::string Label;
};

// What a press on the strip changed: which colour a button paints with, or a colour itself.
enum class TStripChange : uint8_t { Selection, Colour };

// The colour a label is written in on `fill`: black, or white where black would not show.
uint32_t LabelInk(uint32_t fill);

// The palette strip: a column of the palette colours, then the cells of the left and right
// button colours, the background and the undefined colour. This is its logic; the window
// draws the cells and passes its mouse events on.
class OPalettePaintBox {
public:
  OPalettePaintBox(OPalette* palette, bool editable);

  bool Editable;
  uint8_t LeftIndex = 1;
  uint8_t RightIndex = 2;
  OPalette* Palette;
  // Set by a mouse press that changed a colour.
  bool Changed = false;
  std::string HintText;

  // The paint box's height, kept current by the window; a cell spans its full width.
  int Height = 0;
  // A press was taken: the window draws the cells again.
  TSignal<TStripChange> Changes;

  int CellCount() const;
  // At least 1, however short the strip.
  int CellHeight() const;
  // The cells from the top, as they are drawn.
  std::vector<TPaletteCell> Cells() const;
  // The cell row (from 1) under a point of the paint box, or 0 outside the box. Rows below
  // the strip's cells count on past CellCount.
  int RowAt(int y) const;

  void MouseDown(TMouseButton button, uint32_t shift, int x, int y);
  void MouseMove(uint32_t shift, int x, int y);
  // Up and Down on the strip: `delta` steps of the left button's colour, or the right's,
  // held within the palette; the hint names the colour reached. False, and nothing
  // changes, for a palette with no colours.
  bool Step(bool right, int delta);
  // Drops a button's colour that the palette no longer has.
  void CheckSelection();

private:
  void EditColour(int index, bool selectIt);
};

} // namespace quillane
