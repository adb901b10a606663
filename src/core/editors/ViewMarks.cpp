#include "editors/ViewMarks.h"

#include <cmath>
#include <cstdint>

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
    lines.X.push_back(static_cast<int>(std::floor((c - f.X0) * z)));
  // Between rows r - 1 and r, on the top pixel row of r - 1 (PLine 1 is at the bottom).
  for (int r = f.Y0 + 1; r < f.Y1; ++r)
    lines.Y.push_back(static_cast<int>(std::floor(view.BoxHeight() - (r - f.Y0) * zs)));
  return lines;
}

std::vector<TRulerMark> ColumnMarks(const OViewGeometry& view, int labelPixels) {
  const TViewFrame f = view.Frame();
  return Marks(f.X0, f.X1, 0, view.Zoom(), labelPixels, view.BoxWidth());
}

std::vector<TRulerMark> RowMarks(const OViewGeometry& view, int labelPixels) {
  const TViewFrame f = view.Frame();
  return Marks(f.Y0, f.Y1, view.BoxHeight(), -view.RowHeight(), labelPixels, view.BoxHeight());
}

} // namespace quillane
