#include "editors/ViewMarks.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <utility>

#include "elements/BitmapMapping.h"
#include "elements/Region.h"
#include "files/ControlCells.h"
#include "model/Pattern.h"

namespace quillane {

namespace {

// 1, 2, 5, 10, 20, 50, ... for i = 0, 1, 2, ...
int64_t Nice(int i) {
  static constexpr int64_t Mantissa[] = {1, 2, 5};
  int64_t v = Mantissa[i % 3];
  for (int k = 0; k < i / 3; ++k)
    v *= 10;
  return v;
}

// The marks of cells [first, last) whose middles lie at origin + (cell - first + 0.5) *
// pitch, pitch negative for the rows drawn upwards.
std::vector<TRulerMark> Marks(int first, int last, double origin, double pitch, int labelPixels,
                              int extent) {
  std::vector<TRulerMark> marks;
  if (first >= last || pitch == 0)
    return marks;
  const double size = std::abs(pitch);
  const int64_t step = LabelStep(size, labelPixels);
  int64_t tick = step;
  for (int i = 0; Nice(i) < step; ++i)
    if (step % Nice(i) == 0 && Nice(i) * size >= MinTickPixels) {
      tick = Nice(i);
      break;
    }
  // Numbers are cells from 1: the first multiple of the tick at or after first + 1.
  for (int64_t n = (first + tick) / tick * tick; n <= last; n += tick) {
    const int at =
        static_cast<int>(std::floor(origin + (static_cast<double>(n - 1 - first) + 0.5) * pitch));
    // The middle of a cell cut by the grid's edge may lie beyond it.
    if (at >= 0 && at < extent)
      marks.push_back({at, static_cast<int>(n), n % step == 0});
  }
  return marks;
}

} // namespace

int LabelStep(double cellPixels, int labelPixels) {
  if (!(cellPixels > 0))
    return 1;
  // A picture is at most some millions of cells: the ladder stops well before int's end.
  for (int i = 0; i < 27; ++i)
    // The middles' pixels are rounded down alike, so a span of at least the label's whole
    // pixels keeps them that far apart.
    if (Nice(i) * cellPixels >= labelPixels)
      return static_cast<int>(Nice(i));
  return static_cast<int>(Nice(27));
}

TGridLines GridLines(const OViewGeometry& view) {
  TGridLines lines;
  if (view.Zoom() < MinGridZoom)
    return lines;
  const TViewFrame f = view.Frame();
  const double z = view.Zoom(), zs = view.RowHeight();
  for (int c = f.X0 + 1; c < f.X1; ++c)
    lines.X.push_back(f.Left + static_cast<int>(std::floor((c - f.X0) * z)));
  // Between rows r - 1 and r, on the top pixel row of r - 1 (PLine 1 is at the bottom).
  for (int r = f.Y0 + 1; r < f.Y1; ++r)
    lines.Y.push_back(static_cast<int>(std::floor(f.Bottom - (r - f.Y0) * zs)));
  return lines;
}

std::vector<TRulerMark> ColumnMarks(const OViewGeometry& view, int labelPixels) {
  const TViewFrame f = view.Frame();
  return Marks(f.X0, f.X1, f.Left, view.Zoom(), labelPixels, view.BoxWidth());
}

std::vector<TRulerMark> RowMarks(const OViewGeometry& view, int labelPixels) {
  const TViewFrame f = view.Frame();
  return Marks(f.Y0, f.Y1, f.Bottom, -view.RowHeight(), labelPixels, view.BoxHeight());
}

namespace {

const TGrid& Colours(const OPattern& pattern, TView view) {
  return view == TView::Design ? pattern.DesignColours : pattern.MachineColours;
}

} // namespace

void OUnstatedCells::Recount(const OPattern& pattern, TView view) {
  Begin(pattern, view);
  CountMore(pattern, pattern.NoPLines);
}

bool OUnstatedCells::CountMore(const OPattern& pattern, int plines) {
  const int last = static_cast<int>(PerPLine.size()) - 1;
  if (Next <= last) {
    const int upTo =
        static_cast<int>(std::min<int64_t>(int64_t{Next} + std::max(plines, 1) - 1, last));
    CountPLines(pattern, Next, upTo);
    Next = upTo + 1;
  }
  return Complete();
}

void OUnstatedCells::Begin(const OPattern& pattern, TView view) {
  Counted = view;
  NoState.clear();
  RowOf.assign(size_t{pattern.NoControls} + 1, 0);
  PerPLine.assign(size_t{pattern.NoPLines} + 1, 0);
  Sum = 0;
  Next = 1;
  TUnstatedColours unstated = UnstatedColours(pattern, view != TView::Design);
  if (unstated.NoState.empty()) {
    Next = static_cast<int>(PerPLine.size()); // nothing to count
    return;
  }
  NoState = std::move(unstated.NoState);
  RowOf = std::move(unstated.RowOf);
}

void OUnstatedCells::CountPLines(const OPattern& pattern, int first, int last) {
  const TGrid& grid = Colours(pattern, Counted);
  first = std::max(first, 1);
  last = std::min({last, grid.PLines(), static_cast<int>(PerPLine.size()) - 1});
  const int controls = std::min(grid.Controls(), static_cast<int>(RowOf.size()) - 1);
  if (NoState.empty())
    return;
  for (int p = first; p <= last; ++p) {
    const uint8_t* row = grid.Row(p);
    int32_t n = 0;
    for (int c = 1; c <= controls; ++c)
      n += NoState[RowOf[static_cast<size_t>(c)] + row[c]];
    Sum += n - PerPLine[static_cast<size_t>(p)];
    PerPLine[static_cast<size_t>(p)] = n;
  }
}

bool OUnstatedCells::Heard(const OPattern& pattern, const TPatternChange& change) {
  using K = TPatternChange::TKind;
  switch (change.Kind) {
  case K::All:
  case K::Setup:
    Recount(pattern, Counted);
    return true;
  case K::Cells:
    // The pattern's size changes only with an All.
    CountPLines(pattern, change.Area.Top, change.Area.Bottom);
    return true;
  default:
    return false;
  }
}

bool OUnstatedCells::Unstated(const OPattern& pattern, int control, int pline) const {
  const TGrid& grid = Colours(pattern, Counted);
  if (NoState.empty() || !grid.Contains(control, pline) ||
      static_cast<size_t>(control) >= RowOf.size())
    return false;
  return NoState[RowOf[static_cast<size_t>(control)] + grid.Get(control, pline)] != 0;
}

std::vector<TCell> OUnstatedCells::InPixels(const OPattern& pattern, const OPicture& picture,
                                            const TRect& area) const {
  std::vector<TCell> found;
  if (NoState.empty() || (Complete() && Sum == 0))
    return found;
  const TGrid& grid = Colours(pattern, Counted);
  for (int r = std::max(area.Top, 0); r <= std::min(area.Bottom, picture.Height - 1); ++r)
    for (int x = std::max(area.Left, 0); x <= std::min(area.Right, picture.Width - 1); ++x)
      for (const auto& region : picture.Regions) {
        int32_t c = x + 1, p = r + 1;
        if (region->MapPixelToCell(c, p) && grid.Contains(c, p)) {
          if (Unstated(pattern, c, p))
            found.push_back({x, r});
          break;
        }
      }
  return found;
}

std::vector<TRect> PixelsOfCells(const OPicture& picture, const TRect& cells) {
  std::vector<TRect> found;
  for (const auto& region : picture.Regions) {
    const TRect& a = region->PatternArea;
    const int32_t left = std::max(cells.Left, a.Left), right = std::min(cells.Right, a.Right);
    const int32_t top = std::max(cells.Top, a.Top), bottom = std::min(cells.Bottom, a.Bottom);
    if (left > right || top > bottom)
      continue;
    // Flipped or turned, the area's corners still land on the corners of its pixels.
    TRect pixels{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (const auto& [c, p] :
         {std::pair{left, top}, {right, top}, {left, bottom}, {right, bottom}}) {
      int32_t x = c, y = p;
      if (!region->MapCellToPixel(x, y))
        continue;
      pixels = {std::min(pixels.Left, x - 1), std::min(pixels.Top, y - 1),
                std::max(pixels.Right, x - 1), std::max(pixels.Bottom, y - 1)};
    }
    if (pixels.Left <= pixels.Right)
      found.push_back(pixels);
  }
  return found;
}

std::string UnstatedStatus(int64_t cells, bool colourPattern) {
  return UnstatedText(cells, colourPattern);
}

} // namespace quillane
