#pragma once

// What the view window draws over the picture to help the eye: the cell grid, the rulers'
// ticks and numbers. Each is worked out for the visible part only, so that a paint costs
// what the screen shows, not what the pattern holds.
#include <vector>

#include "editors/ViewGeometry.h"

namespace quillane {

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

} // namespace quillane
