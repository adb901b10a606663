#pragma once

// What the view window draws over the picture to help the eye: the cell grid, the rulers'
// ticks and numbers. Each is worked out for the visible part only, so that a paint costs
// what the screen shows, not what the pattern holds.
#include <cstdint>
#include <string>
#include <vector>

#include "data/PatternEvents.h"
#include "editors/ViewGeometry.h"
#include "elements/Picture.h"

namespace quillane {

class OPattern;

// Below this zoom the grid's lines would hide the cells they part.
constexpr float MinGridZoom = 4.0f;
// Ticks closer than this would blur into a bar.
constexpr int MinTickPixels = 4;

// The screen columns and rows on which the lines between visible cells are drawn: the left
// pixel column of the cell right of each line and the top pixel row of the cell under it,
// as ScreenRect has them. None below MinGridZoom.
struct TGridLines {
  std::vector<int> X, Y;
};
TGridLines GridLines(const OViewGeometry& view);

// A tick on a ruler: the screen pixel of the middle of its cell (across for the top ruler,
// down for the left one), the control or PLine it stands for, from 1, and whether its number
// is written.
struct TRulerMark {
  int Pixel = 0;
  int Number = 0;
  bool Labelled = false;
  friend bool operator==(const TRulerMark&, const TRulerMark&) = default;
};

// The step between written numbers: the smallest of 1, 2, 5, 10, 20, 50, ... cells whose
// span on screen holds a label `labelPixels` long, so that no two labels overlap.
int LabelStep(double cellPixels, int labelPixels);
// The ticks of the visible controls (the top ruler) and PLines (the left ruler, PLine 1 at
// the bottom as the grid shows it): every cell's when they stand MinTickPixels apart, else
// every few, always dividing the label step; numbers at multiples of the label step.
std::vector<TRulerMark> ColumnMarks(const OViewGeometry& view, int labelPixels);
std::vector<TRulerMark> RowMarks(const OViewGeometry& view, int labelPixels);

// The cells whose colour in a view gives no state for their yarn type (in the design view,
// their pair's; in a colour pattern, whose colour no yarn type shows), which make no tuft: counted
// per PLine, so that a change of a few PLines recounts only those and the whole pattern is counted
// only when the tables, the creel, the palette, the view or everything changed.
class OUnstatedCells {
public:
  // Counts afresh, in the view's colours.
  void Recount(const OPattern& pattern, TView view);
  // The same in steps, so that a window opens without waiting for a count over tens of
  // millions of cells: Begin knows which colours miss a state and counts nothing yet;
  // each CountMore counts up to `plines` more and answers whether all are counted. Changes
  // heard in between are counted as they come.
  void Begin(const OPattern& pattern, TView view);
  bool CountMore(const OPattern& pattern, int plines);
  bool Complete() const { return Next > static_cast<int>(PerPLine.size()) - 1; }
  // Follows a change notice of the pattern; answers whether the count may have changed.
  bool Heard(const OPattern& pattern, const TPatternChange& change);
  int64_t Total() const { return Sum; }
  TView View() const { return Counted; }
  // Control and PLine from 1.
  bool Unstated(const OPattern& pattern, int control, int pline) const;
  // The picture pixels of `area` (from 0, inclusive) whose cell, through the first region
  // that places one there as a press does, is unstated. Nothing to look up when no colour
  // lacks a state, or when the count has found none.
  std::vector<TCell> InPixels(const OPattern& pattern, const OPicture& picture,
                              const TRect& area) const;
  // Whether any colour lacks a state: else no cell is crossed.
  bool AnyColour() const { return !NoState.empty(); }

private:
  TView Counted = TView::None;
  // A 256-entry row of flags per distinct yarn type (or pair), and each control's row.
  std::vector<uint8_t> NoState;
  std::vector<uint32_t> RowOf;
  std::vector<int32_t> PerPLine;
  int64_t Sum = 0;
  int Next = 1; // the first PLine not counted yet
  void CountPLines(const OPattern& pattern, int first, int last);
};

// The picture pixels (from 0, inclusive) showing the cells of `cells` (from 1), a rectangle
// per region placing some: what to draw again when their state may be another though their
// colour on screen is not.
std::vector<TRect> PixelsOfCells(const OPicture& picture, const TRect& cells);

// The status bar's word on them: "N cells have no state for their yarn type" (in a colour
// pattern, "N cells have colours that no yarn type shows"), empty for none.
std::string UnstatedStatus(int64_t cells, bool colourPattern = false);

} // namespace quillane
