#pragma once

// The pattern as carpet: every cell a tuft at its real size, shaded by its pile, in the
// colour its yarn shows. Only the pixels asked for are drawn, so a frame costs what the
// window shows, not what the pattern holds.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/Record.h"

namespace quillane {

class OPattern;
class OPersist;
struct TProductionParameters;

enum class TPileKind : uint8_t { Bare, Loop, Cut };

struct TPile {
  TPileKind Kind = TPileKind::Loop;
  double Height = 8.0; // mm
  friend bool operator==(const TPile&, const TPile&) = default;
};

// What a state's name says about its tuft: "High" a tall loop, "Medium" a middle one, "Low"
// a short one, "Cut" a cut tip, "Off" none.
TPile DefaultPile(std::string_view stateName);
// A pile as the program's settings keep it: "loop 10", "cut 8", "bare 0"; none for text
// that is not one.
std::string PileText(const TPile& pile);
std::optional<TPile> ReadPileText(std::string_view text);
// The user's choice for every state of this name, in every pattern, from now on.
void RememberPile(OPersist& settings, const std::string& stateName, const TPile& pile);

// States 0 (no state: bare backing) to NoStates: what the user chose for the state's name,
// else its default. A state's tuft length in the production parameters, where given, sets
// its height: the yarn goes up the pile, down again and on to the next PLine.
std::vector<TPile> PreviewPiles(const OPattern& pattern, const TProductionParameters* parameters,
                                OPersist* remembered = nullptr);
// The same with the parameters file beside the pattern's file, when there is one. A file
// that is refused gives the heights no say, and `problem` says why.
std::vector<TPile> PreviewPilesBeside(const OPattern& pattern, std::string& problem,
                                      OPersist* remembered = nullptr);
// Whether that file is there, so that it sets every state's height.
bool PileHeightsFromFile(const OPattern& pattern);

// mm from one needle to the next and from one PLine to the next. A spacing the control
// settings leave at 0 (or give below 0.01 mm or from 1 m) takes the other's, or a tenth of
// an inch when neither is usable.
struct TCellSize {
  double Across = 2.54, Along = 2.54;
};
TCellSize CellSizeOf(const OPattern& pattern);

// The goods: `Controls` cells across, `PLines` along. Every pattern width across is one
// more copy of the pattern, shifted `Drop` PLines along from the one before.
struct TGoodsLayout {
  int Controls = 0;
  int PLines = 0;
  int Drop = 0;
  friend bool operator==(const TGoodsLayout&, const TGoodsLayout&) = default;
};
// What the pattern's sections repeat inside it: the smallest step across a block is copied by
// in its own band (the pattern's width where none is), a block of a later band copied Step
// controls across (within that step) and Down PLines along (0 and 0 where none is), and the
// smallest step along a block is copied straight down by that divides the pattern's length
// (its length where none does).
struct TSectionSteps {
  int64_t Across = 0, Step = 0, Down = 0, Along = 0;
};
TSectionSteps SectionSteps(const OPattern& pattern);
// The PLines each width of the pattern lies dropped against the one before, so that the
// repeat the sections lay inside the pattern carries on across the seam: 0 where the pattern
// width holds whole repeats across, a band's length where it ends half a half drop's tile in
// (as the half-drop wizard lays it at an odd number of half tiles). Where no drop continues
// the repeat, the one that leaves the smaller step across at the seam.
int SeamDrop(const OPattern& pattern);
// Goods `widthMetres` wide, GoodsLength long so that the match shows; the pattern alone
// when the width is not positive.
TGoodsLayout GoodsAcross(const OPattern& pattern, double widthMetres);
// The PLines goods this many controls wide show: two pattern lengths, but never longer than
// twice the width nor shorter than half of it, so that a long pattern on narrow goods (or a
// short one on wide goods) still makes a picture rather than a sliver.
int GoodsLength(const OPattern& pattern, int controls);

// A rectangle of output pixels, Right and Bottom exclusive.
struct TPixelRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool Empty() const { return Right <= Left || Bottom <= Top; }
  friend bool operator==(const TPixelRect&, const TPixelRect&) = default;
};

// The part of the goods an image shows: `Scale` pixels per mm, the image's top left pixel
// at (Left, Top) of the goods drawn whole at that scale, PLine 1 at the bottom.
struct TPreviewView {
  double Scale = 1.0;
  int64_t Left = 0, Top = 0;
  int Width = 0, Height = 0;
};

// A picture of carpet at any scale, drawn a rectangle at a time: the goods off the machine,
// or the goods as they are installed.
class OCarpetPicture {
public:
  virtual ~OCarpetPicture() = default;
  // The picture's size in pixels at `scale` pixels per mm.
  virtual int64_t GoodsWidth(double scale) const = 0;
  virtual int64_t GoodsHeight(double scale) const = 0;
  // The largest scale at which the whole picture fits a box of this size.
  virtual double FitScale(int width, int height) const = 0;
  // Pixels `area` of the view into `pixels` (view.Width a row, 0xFFRRGGBB); the rest of the
  // image is left alone. Outside the picture, the background.
  virtual void Render(const TPreviewView& view, uint32_t* pixels, const TPixelRect& area) const = 0;
  // The pixels of the view whose look depends on cells `cells` (controls by PLines, from 1,
  // inclusive) wherever the picture shows them.
  virtual std::vector<TPixelRect> PixelsOfCells(const TPreviewView& view,
                                                const TRect& cells) const = 0;
  // mm from one needle to the next and from one PLine to the next.
  virtual const TCellSize& CellSize() const = 0;
};

class OPreview : public OCarpetPicture {
public:
  explicit OPreview(const OPattern& pattern);

  // Reads the colours, the creel and the spacings again, keeping the piles and the goods
  // (a pattern that changed size gets its own width back).
  void Refresh();
  void SetPiles(std::vector<TPile> piles);
  const std::vector<TPile>& Piles() const { return PileOf; }
  void SetGoods(const TGoodsLayout& goods);
  const TGoodsLayout& Goods() const { return Layout; }
  const TCellSize& CellSize() const override { return Size; }
  const OPattern& Source() const { return Pattern; }

  // The goods' size in pixels at `scale`.
  int64_t GoodsWidth(double scale) const override;
  int64_t GoodsHeight(double scale) const override;
  double FitScale(int width, int height) const override;
  // Outside the goods, Background.
  void Render(const TPreviewView& view, uint32_t* pixels, const TPixelRect& area) const override;
  // The same pixels kept apart from their colours, so that one design can be shown in many
  // colourings while its cells are looked up once: per pixel a shade (ShadeOf) and what it
  // shades (ColourSlotOf: a palette index, BackingSlot or BackgroundSlot).
  void RenderShades(const TPreviewView& view, uint32_t* shades, const TPixelRect& area) const;
  // Colours `count` shades into pixels as Render draws them, each palette index in the
  // colour of `colours` (0x00BBGGRR, as the palette keeps them); the background opaque.
  void ColourShades(const uint32_t* shades, size_t count, const std::array<uint32_t, 256>& colours,
                    uint32_t* pixels) const;
  static constexpr uint32_t BackingSlot = 256, BackgroundSlot = 257;
  static uint32_t ShadeOf(uint32_t shade) { return shade & 0x1FFFF; }
  static uint32_t ColourSlotOf(uint32_t shade) { return shade >> 17; }

  // Each palette index drawn in these colours (0x00BBGGRR) instead of the palette's, until
  // UsePaletteColours; Refresh keeps the choice.
  void SetColours(const std::array<uint32_t, 256>& colours);
  void UsePaletteColours();
  // In any copy of the pattern; a tuft's shade follows its neighbours too.
  std::vector<TPixelRect> PixelsOfCells(const TPreviewView& view,
                                        const TRect& cells) const override;

  // One tuft as Render draws it, of the goods repeated without end both ways (each copy of
  // the pattern across dropped as wide goods drop it): cell x from 0 across, row 0 at PLine 1
  // and rows below it negative. Its colour times its light (in 256ths), the shade of its pile
  // at ShapeSteps x ShapeSteps points of its cell (rows from the top), and what it tufts.
  static constexpr int ShapeSteps = 32;
  struct TTuft {
    uint32_t R = 0, G = 0, B = 0;
    const uint16_t* Shape = nullptr;
    uint8_t Index = 0; // 0: bare
    TPile Pile{TPileKind::Bare, 0.0};
  };
  TTuft TuftAt(int64_t x, int64_t row) const;
  // A tuft under this many pixels across or along is drawn in its pile's mean shade: a point
  // of its shape would fall on the gaps between tufts as often as on a tuft, and a room seen
  // whole turns dark and striped.
  static constexpr double SmallestShaped = 2.0;
  // The mean shade of the pile whose shape this is, laid out as the shape is.
  const uint16_t* Blurred(const uint16_t* shape) const {
    return shape + Shapes.size() / 2 * Steps * Steps;
  }

  uint32_t Background = 0xFF3C3C3C;

private:
  const OPattern& Pattern;
  TCellSize Size;
  TGoodsLayout Layout;
  std::vector<TPile> PileOf;
  bool OwnWidth = true; // the goods are the pattern alone
  // The palette index each yarn type shows in each state, and each index as 0xRRGGBB.
  std::vector<std::array<uint8_t, 256>> ColourOf;
  std::vector<uint8_t> YarnTypeOf; // by control
  std::array<uint32_t, 256> Rgb{};
  std::optional<std::array<uint32_t, 256>> Chosen;
  // By cell value: the state it tufts in a state pattern, whether it tufts in a colour one.
  std::array<uint8_t, 256> TuftOf{};
  // Per state, and one for a cell without a colour: the tuft's shade at 32 x 32 points of
  // its cell, in 256ths; then each of them again, in its mean shade throughout.
  static constexpr int Steps = ShapeSteps;
  std::vector<std::array<uint16_t, Steps * Steps>> Shapes;
  double Tallest = 1.0;
  int EndlessDrop = 0;
  void MakeShapes();
  // The colour index and state (by `state`) cell (control, line) tufts, both from 1.
  uint8_t CellAt(int control, int line, uint8_t& state) const;
  double HeightOf(uint8_t index, uint8_t state) const;
  // In 256ths, a tuft this high with these neighbours towards the light.
  uint32_t LightOf(double height, double left, double up) const;
  template <bool Shaded>
  void Draw(const TPreviewView& view, uint32_t* pixels, const TPixelRect& area) const;
};

// What the Preview window shows: the goods at a scale, moved about in a box, kept as the
// box's pixels. Every change draws only what it brings into sight, so a pan costs the
// strip it uncovers and a paint the cells it changed.
class OPreviewCanvas {
public:
  explicit OPreviewCanvas(OPreview& preview) : Preview(preview), Shows(&preview) {}
  OPreview& Preview;
  // What the box shows: the preview's goods unless told otherwise; the picture must outlive
  // the canvas or be replaced first. Fits the new picture in the box.
  void Show(const OCarpetPicture& picture);
  const OCarpetPicture& Picture() const { return *Shows; }

  const TPreviewView& View() const { return Shown; }
  // The box's pixels lie in a buffer of the box's size (0xFFRRGGBB, View().Width a row)
  // that wraps round at its edges, so that a pan moves no pixel: the part of `area` (of the
  // box) at `Box` is found in the buffer from (X, Y) on.
  struct TPiece {
    TPixelRect Box;
    int X = 0, Y = 0;
  };
  std::vector<TPiece> Pieces(const TPixelRect& area) const;
  const std::vector<uint32_t>& Buffer() const { return Wrapped; }
  // The box's pixels in order, unwrapped.
  std::vector<uint32_t> Pixels() const;

  // A box of a new size keeps the goods' point at its top left where it was, or fits the
  // goods again while they have not been zoomed or moved since they were fitted.
  void SetBox(int width, int height);
  // The whole goods in the box, centred.
  void Fit();
  // Each step doubles the scale (halves it when negative), keeping the goods' point under
  // (x, y) there, between a quarter of Fit and 64 pixels a cell.
  void ZoomAt(int x, int y, int steps);
  double Scale() const { return Shown.Scale; }
  // Moves the goods by this many pixels (right and down positive) as far as they go: a
  // side that fits the box stays centred, a longer one keeps the box filled. Answers the
  // move made.
  std::pair<int, int> Pan(int dx, int dy);
  // Draws again what cells `cells` (controls by PLines from 1) show; answers where.
  std::vector<TPixelRect> CellsChanged(const TRect& cells);
  // After the pattern or the preview's settings changed.
  void DrawAll();

private:
  const OCarpetPicture* Shows;
  TPreviewView Shown;
  bool Fitted = true;
  std::vector<uint32_t> Wrapped;
  int OffsetX = 0, OffsetY = 0; // where the box's top left pixel lies in the buffer
  // Left and Top into their ranges for the scale and box.
  void Clamp();
  void Draw(const TPixelRect& area);
};

} // namespace quillane
