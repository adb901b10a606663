#pragma once

// What the pattern view window shows where: the zoom, the scroll ranges, the part of the
// picture that is visible and where it lands in the grid, and which cell lies under a
// point. What the mouse does there is in ViewStates.h.
#include <cstdint>
#include <optional>
#include <string>

#include "data/Record.h"
#include "elements/PixelRuns.h"

namespace quillane {

class OPicture;

// A rectangle of the grid in screen pixels: Left and Top inclusive, Right and Bottom
// exclusive. Empty when Right <= Left or Bottom <= Top.
struct TScreenRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  bool Empty() const { return Right <= Left || Bottom <= Top; }
  friend bool operator==(const TScreenRect&, const TScreenRect&) = default;
};

// The visible part of the picture and where it is drawn.
struct TViewFrame {
  int X0 = 0, X1 = 0; // visible columns [X0, X1)
  int Y0 = 0, Y1 = 0; // visible rows [Y0, Y1), row 0 is PLine 1
  // The image's width and height on screen. It is drawn upside down, row Y0 on the bottom
  // edge, from the grid's bottom left corner or, across or up where the whole picture is
  // smaller than the grid, in the middle; the background fills the rest.
  int DR = 0, DH = 0;
  // The image's left column and the grid row below its bottom edge.
  int Left = 0, Bottom = 0;
  friend bool operator==(const TViewFrame&, const TViewFrame&) = default;
};

// Owns the zoom (screen pixels per control: a power of two from the ladder, or what makes the
// picture fit) and the arithmetic of the view.
class OViewGeometry {
public:
  // The ladder runs from 1/16 up to MaxZoom, and further down as far as a large picture
  // needs to fit; MinZoom only stops a zoom no picture could need.
  static constexpr float LadderBottom = 1.0f / 16;
  static constexpr float MinZoom = 1.0f / (1 << 20);
  static constexpr float MaxZoom = 64.0f;

  float Zoom() const { return ZoomFactor; }
  // Clamped to MinZoom .. MaxZoom.
  void SetZoom(float zoom);
  // "Zoom=" and the zoom rounded to three significant digits (a rung of the ladder down to
  // 1/16 is exact: "Zoom=2", "Zoom=0.0625").
  std::string ZoomText() const;

  // The picture's size in pixels and how many times higher than wide a PLine is drawn.
  void SetPicture(int width, int height, float aspectRatio);
  // The grid's size on screen.
  void SetBox(int width, int height);
  int BoxWidth() const { return PW; }
  int BoxHeight() const { return PH; }
  int PictureWidth() const { return W; }
  int PictureHeight() const { return H; }

  // Horizontal: first visible column, 0 .. W. Vertical: minus the first visible row from
  // the bottom, -H .. 0. Positions are clamped into their ranges. A picture the grid holds
  // whole across (or up) stands centred that way and does not scroll: its range is 0.
  int HorzMax() const { return CentredAcross() ? 0 : W; }
  int VertMin() const { return CentredUp() ? 0 : -H; }
  bool CentredAcross() const;
  bool CentredUp() const;
  int HorzPos() const { return Horz; }
  int VertPos() const { return Vert; }
  // Whole columns and PLines the grid shows: the scroll bars' page steps.
  int ShownColumns() const;
  int ShownRows() const;
  void SetScroll(int horz, int vert);
  // Scrolls across so that the column stands in the middle of the grid, or as near as the
  // scroll range allows.
  void CentreColumn(int column);

  // Screen pixels per PLine.
  double RowHeight() const { return ZoomFactor * Aspect; }
  TViewFrame Frame() const;
  // The picture pixel drawn under a point of the grid; none outside the drawn image.
  std::optional<TCell> CellAt(int x, int y) const;
  // The same, also beyond the picture's edges (a stroke dragged past them).
  TCell CellNear(int x, int y) const;
  // Zooms in (or out) and, when the point lies on the picture, centres its cell.
  void ZoomAt(int x, int y, bool in);
  // Moves `steps` rungs up (or down) the ladder of powers of two between the clamps, the
  // first step to the next rung past a zoom off the ladder, keeping the cell under (x, y)
  // under it where the scroll ranges allow. A point off the picture keeps the picture's
  // nearest cell there, so that the picture never zooms out of sight.
  void ZoomAround(int x, int y, int steps);
  // As the keys zoom: around the middle of the part of the picture in sight.
  void ZoomSteps(int steps);
  // The largest zoom, of any ratio, at which the whole picture fits the grid, however large
  // the picture (a zoom below 1 samples it), scrolled to PLine 1 at the bottom left.
  void Fit();
  // That zoom, without moving the view.
  float FitZoom() const;

  // The zoom and scroll as a line of the ini ("zoom,horz,vert"), and taken back from one:
  // false, and nothing changed, for a line that is not one.
  std::string Saved() const;
  bool Restore(const std::string& saved);

  // Scrolling by the wheel and the keys. A line is about LinePixels of the screen, at least
  // a cell; a page is what the grid shows less one cell. Steps towards the end stop where the
  // last column or PLine reaches the grid's edge (a position the scroll bar took further
  // stays); steps back stop at the start.
  static constexpr int LinePixels = 48;
  enum class TScrollKey : uint8_t { Left, Right, Up, Down, PageUp, PageDown, Home, End };
  // `across` lines to the right, `up` lines towards higher PLines.
  void ScrollLines(int across, int up);
  void ScrollKey(TScrollKey key);
  // The part of the grid that shows pixels `area` (from 0, inclusive); empty when none of
  // them is visible.
  TScreenRect ScreenRect(const TRect& area) const;

private:
  float ZoomFactor = 1.0f;
  int W = 0, H = 0;
  double Aspect = 1.0;
  int PW = 0, PH = 0;
  int Horz = 0, Vert = 0;
  // Moves the first visible column and row by these many, stopping as ScrollLines says.
  void ScrollCells(int columns, int rows);
  // Where the image starts on the grid: its left column and the row below its bottom edge.
  int ImageLeft() const;
  int ImageBottom() const;
  // The ladder's lowest rung for this picture and grid: 1/16, or lower where the picture
  // needs it to fit.
  int LowestRung() const;
};

// Wheel turns add up until they make whole notches (a fine-grained wheel or a touchpad
// sends fractions of one); turning back starts again.
class OWheelSteps {
public:
  static constexpr int Notch = 120;
  int Take(int delta);

private:
  int Pending = 0;
};

// The ini key under which a view window of a pattern file keeps its zoom, scroll and view:
// the file's path is hashed, since an ini key may not hold every character a path does.
std::string SavedViewKey(const std::string& patternFile, const std::string& window);

// "Control=c+1, PLine=r+1" for a cell, empty for none.
std::string CellText(const std::optional<TCell>& cell);

} // namespace quillane
