#include "setup/PalettePaintBox.h"

#include <algorithm>

#include "app/App.h"
#include "data/DesignOwner.h"
#include "setup/Palette.h"

namespace quillane {

uint32_t LabelInk(uint32_t fill) {
  // Perceived brightness in thousandths: green counts most, blue least.
  const uint32_t red = fill & 0xFF, green = fill >> 8 & 0xFF, blue = fill >> 16 & 0xFF;
  return 299 * red + 587 * green + 114 * blue < 128 * 1000 ? 0x00FFFFFFu : 0;
}

namespace {
// The background is no palette index; it goes through the editing path under this one.
constexpr int BackgroundIndex = -1;

std::string RGBText(uint32_t colour) {
  return "R=" + std::to_string(colour & 0xFF) + ", G=" + std::to_string((colour >> 8) & 0xFF) +
         ", B=" + std::to_string((colour >> 16) & 0xFF);
}
} // namespace

OPalettePaintBox::OPalettePaintBox(OPalette* palette, bool editable)
    : Editable(editable), Palette(palette) {}

int OPalettePaintBox::CellCount() const {
  return Palette->NoColours() + 4;
}

int OPalettePaintBox::CellHeight() const {
  // A strip too short for its colours still gives every cell a pixel row.
  return std::max(Height / CellCount(), 1);
}

std::vector<TPaletteCell> OPalettePaintBox::Cells() const {
  const int n = Palette->NoColours();
  const int h = CellHeight();
  std::vector<TPaletteCell> cells;
  cells.reserve(static_cast<size_t>(CellCount()));
  for (int i = 1; i <= n; ++i)
    cells.push_back({(i - 1) * h, h, Palette->GetColour(i), std::to_string(i)});
  // An index the palette no longer has shows the undefined colour.
  cells.push_back({n * h, h, Palette->GetColour(LeftIndex), "L"});
  cells.push_back({(n + 1) * h, h, Palette->GetColour(RightIndex), "R"});
  cells.push_back({(n + 2) * h, h, Palette->Background, "B"});
  cells.push_back({(n + 3) * h, h, Palette->GetUndefinedColour(), "U"});
  return cells;
}

int OPalettePaintBox::RowAt(int y) const {
  // Outside the paint box (a drag goes on above or below it) is no row.
  if (y < 0 || y >= Height)
    return 0;
  return y / CellHeight() + 1;
}

void OPalettePaintBox::EditColour(int index, bool selectIt) {
  uint32_t colour = index == BackgroundIndex ? Palette->Background : Palette->GetColour(index);
  if (!g.UI().RunColourDialog(colour))
    return;
  OWaitCursor wait;
  if (index == BackgroundIndex)
    Palette->Background = colour;
  else
    Palette->SetColour(index, colour);
  if (selectIt)
    LeftIndex = static_cast<uint8_t>(index);
  Changed = true;
  if (Palette->Owner)
    Palette->Owner->ApplyPalette();
}

void OPalettePaintBox::MouseDown(TMouseButton button, uint32_t shift, int /*x*/, int y) {
  Changed = false;
  const int n = Palette->NoColours();
  const int r = RowAt(y);
  const bool edit = Editable && (shift & ssDouble) != 0;
  if (r >= 1 && r <= n) {
    if (button == TMouseButton::Left)
      LeftIndex = static_cast<uint8_t>(r);
    else if (button == TMouseButton::Right)
      RightIndex = static_cast<uint8_t>(r);
    if (edit)
      EditColour(r, true);
  } else if (r == n + 3 && edit) {
    EditColour(BackgroundIndex, false);
  } else if (r == n + 4 && edit) {
    EditColour(0, false);
  }
  Changes.Notify(Changed ? TStripChange::Colour : TStripChange::Selection);
}

void OPalettePaintBox::MouseMove(uint32_t /*shift*/, int /*x*/, int y) {
  const int n = Palette->NoColours();
  const int r = RowAt(y);
  if (r >= 1 && r <= n)
    HintText = "Palette Color " + std::to_string(r) + ": " + RGBText(Palette->GetColour(r));
  else if (r == n + 1)
    HintText = "Left Button Assigned to Palette Color " + std::to_string(LeftIndex);
  else if (r == n + 2)
    HintText = "Right Button Assigned to Palette Color " + std::to_string(RightIndex);
  else if (r == n + 3)
    HintText = "Background Color: " + RGBText(Palette->Background);
  else if (r == n + 4)
    HintText = "Undefined Color: " + RGBText(Palette->GetUndefinedColour());
  else
    HintText.clear();
}

bool OPalettePaintBox::Step(bool right, int delta) {
  const int colours = Palette->NoColours();
  if (colours == 0)
    return false;
  uint8_t& index = right ? RightIndex : LeftIndex;
  index = static_cast<uint8_t>(std::clamp(index + delta, 1, colours));
  MouseMove(0, 0, (index - 1) * CellHeight());
  return true;
}

void OPalettePaintBox::CheckSelection() {
  if (LeftIndex > Palette->NoColours())
    LeftIndex = 0;
  if (RightIndex > Palette->NoColours())
    RightIndex = 0;
}

} // namespace quillane
