#include "editors/ViewGeometry.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace quillane {

void OViewGeometry::SetZoom(float zoom) {
  // Not-a-number fails both comparisons and falls to the smallest zoom.
  ZoomFactor = zoom >= MinZoom ? std::min(zoom, MaxZoom) : MinZoom;
  SetScroll(Horz, Vert);
}

std::string OViewGeometry::ZoomText() const {
  // A fitted zoom is any ratio: "23.566668" says no more to the designer than "23.6".
  const int decimals = std::max(0, 2 - static_cast<int>(std::floor(std::log10(ZoomFactor))));
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, double{ZoomFactor});
  std::string shown = text;
  if (shown.find('.') != std::string::npos) {
    shown.erase(shown.find_last_not_of('0') + 1);
    if (shown.back() == '.')
      shown.pop_back();
  }
  return "Zoom=" + shown;
}

void OViewGeometry::SetPicture(int width, int height, float aspectRatio) {
  W = std::max(width, 0);
  H = std::max(height, 0);
  // A ratio from odd spacings must neither divide by zero nor overflow the row arithmetic.
  Aspect =
      std::isfinite(aspectRatio) && aspectRatio >= 1e-3f && aspectRatio <= 1e3f ? aspectRatio : 1.0;
  SetScroll(Horz, Vert);
}

void OViewGeometry::SetBox(int width, int height) {
  PW = std::max(width, 0);
  PH = std::max(height, 0);
  SetScroll(Horz, Vert);
}

void OViewGeometry::SetScroll(int horz, int vert) {
  Horz = std::clamp(horz, 0, HorzMax());
  Vert = std::clamp(vert, VertMin(), 0);
}

// The image's size is truncated as Frame has it, so a fitted picture a float's hair wider than
// the grid still counts as held whole.
bool OViewGeometry::CentredAcross() const {
  return W > 0 && static_cast<int64_t>(W * double{ZoomFactor}) <= PW;
}

bool OViewGeometry::CentredUp() const {
  return H > 0 && static_cast<int64_t>(H * RowHeight()) <= PH;
}

int OViewGeometry::ImageLeft() const {
  if (!CentredAcross())
    return 0;
  // A picture narrower than a pixel still shows as one.
  const int64_t drawn = std::max<int64_t>(static_cast<int64_t>(W * double{ZoomFactor}), 1);
  return static_cast<int>(std::max<int64_t>(PW - drawn, 0) / 2);
}

int OViewGeometry::ImageBottom() const {
  if (!CentredUp())
    return PH;
  const int64_t drawn = std::max<int64_t>(static_cast<int64_t>(H * RowHeight()), 1);
  return PH - static_cast<int>(std::max<int64_t>(PH - drawn, 0) / 2);
}

void OViewGeometry::CentreColumn(int column) {
  SetScroll(column - ShownColumns() / 2, Vert);
}

TViewFrame OViewGeometry::Frame() const {
  TViewFrame f;
  const double z = ZoomFactor, zs = RowHeight();
  f.X0 = Horz;
  f.X1 = static_cast<int>(std::min<double>(f.X0 + std::ceil(PW / z), W));
  f.DR = static_cast<int>((f.X1 - f.X0) * z);
  f.Y0 = -Vert;
  f.Y1 = static_cast<int>(std::min<double>(f.Y0 + std::ceil(PH / zs), H));
  f.DH = static_cast<int>((f.Y1 - f.Y0) * zs);
  // A fitted carpet's width, or a long picture's height, may come to less than a pixel: it
  // still shows as one.
  if (f.X1 > f.X0 && f.Y1 > f.Y0) {
    f.DR = std::max(f.DR, 1);
    f.DH = std::max(f.DH, 1);
  }
  if (f.DR <= 0 || f.DH <= 0) {
    // Nothing of the picture is visible: an empty grid.
    f.X1 = f.X0;
    f.Y1 = f.Y0;
    f.DR = f.DH = 0;
  }
  f.Left = ImageLeft();
  f.Bottom = ImageBottom();
  return f;
}

std::optional<TCell> OViewGeometry::CellAt(int x, int y) const {
  const TViewFrame f = Frame();
  // Outside the drawn image, also left of or below it, where truncating towards zero
  // would still give column or row 0.
  if (x < f.Left || x >= f.Left + f.DR || y < f.Bottom - f.DH || y >= f.Bottom)
    return std::nullopt;
  const TCell cell = CellNear(x, y);
  if (cell.C >= f.X1 || cell.R >= f.Y1)
    return std::nullopt;
  return cell;
}

TCell OViewGeometry::CellNear(int x, int y) const {
  // The image's bottom pixel row shows row Y0.
  return {Horz + static_cast<int>(std::floor((x - ImageLeft()) / double{ZoomFactor})),
          -Vert + static_cast<int>(std::floor((ImageBottom() - 1 - y) / RowHeight()))};
}

int OViewGeometry::LowestRung() const {
  // The rung at or below the fitted zoom shows the whole picture.
  return std::min(std::ilogb(LadderBottom), std::ilogb(FitZoom()));
}

void OViewGeometry::ZoomAt(int x, int y, bool in) {
  const std::optional<TCell> cell = CellAt(x, y);
  // Off the ladder (fitted), the zoom takes the next rung, as the wheel does.
  const int rung = std::ilogb(ZoomFactor);
  const float lowest = std::ldexp(1.0f, LowestRung());
  if (std::ldexp(1.0f, rung) == ZoomFactor)
    SetZoom(in ? ZoomFactor * 2 : std::max(ZoomFactor / 2, std::min(lowest, ZoomFactor)));
  else
    SetZoom(std::ldexp(1.0f, rung + (in ? 1 : 0)));
  if (cell)
    SetScroll(std::max(0, cell->C - static_cast<int>(PW / (2.0 * ZoomFactor))),
              -std::max(0, cell->R - static_cast<int>(PH / (2.0 * RowHeight()))));
}

void OViewGeometry::ZoomAround(int x, int y, int steps) {
  // The cell under the point, or the picture's cell nearest to it.
  const TCell near = CellNear(x, y);
  const int c = std::clamp(near.C, 0, std::max(W - 1, 0));
  const int r = std::clamp(near.R, 0, std::max(H - 1, 0));
  // Rungs LowestRung() .. 6: up to MaxZoom. A zoom between two rungs counts as the lower one
  // going in and the upper one going out, so that the first step is never a jump of two.
  int from = std::ilogb(ZoomFactor);
  if (steps < 0 && std::ldexp(1.0f, from) != ZoomFactor)
    ++from;
  const int lowest = std::min(LowestRung(), from);
  const int rung = std::clamp(from + steps, lowest, std::ilogb(MaxZoom));
  SetZoom(std::ldexp(1.0f, rung));
  // Whether the picture is centred depends on the zoom alone, not on the scroll.
  SetScroll(c - static_cast<int>(std::floor((x - ImageLeft()) / double{ZoomFactor})),
            -(r - static_cast<int>(std::floor((ImageBottom() - 1 - y) / RowHeight()))));
}

void OViewGeometry::ZoomSteps(int steps) {
  // The grid's middle may lie off the picture (beside a fitted one): the middle of what is
  // in sight of it stays where it is.
  const TViewFrame f = Frame();
  if (f.DR <= 0 || f.DH <= 0)
    return ZoomAround(PW / 2, PH / 2, steps);
  ZoomAround(f.Left + (std::min(f.DR, PW) - 1) / 2, f.Bottom - 1 - (std::min(f.DH, PH) - 1) / 2,
             steps);
}

float OViewGeometry::FitZoom() const {
  double z = MaxZoom;
  if (W > 0)
    z = std::min(z, static_cast<double>(PW) / W);
  if (H > 0)
    z = std::min(z, PH / (H * Aspect));
  // A float rounded up a hair still ends the image within the grid: its size is truncated.
  return std::max(static_cast<float>(z), MinZoom);
}

void OViewGeometry::Fit() {
  SetZoom(FitZoom());
  SetScroll(0, 0);
}

std::string OViewGeometry::Saved() const {
  char text[32];
  auto end = std::to_chars(text, text + sizeof text, ZoomFactor).ptr;
  return std::string(text, end) + "," + std::to_string(Horz) + "," + std::to_string(Vert);
}

bool OViewGeometry::Restore(const std::string& saved) {
  float zoom = 0;
  int horz = 0, vert = 0;
  const char *at = saved.data(), *end = at + saved.size();
  auto field = [&](auto& value, bool last) {
    const auto [next, error] = std::from_chars(at, end, value);
    if (error != std::errc() || next == end ? !last : (last || *next != ','))
      return false;
    at = next + (last ? 0 : 1);
    return true;
  };
  if (!field(zoom, false) || !field(horz, false) || !field(vert, true) || !std::isfinite(zoom))
    return false;
  SetZoom(zoom);
  SetScroll(horz, vert);
  return true;
}

std::string SavedViewKey(const std::string& patternFile, const std::string& window) {
  // FNV-1a: stable from run to run and build to build, unlike std::hash.
  uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : patternFile)
    hash = (hash ^ c) * 1099511628211ull;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  std::string name;
  for (const char c : window)
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return "fmWindow." + std::string(text) + "." + name;
}

int OViewGeometry::ShownColumns() const {
  return static_cast<int>(PW / double{ZoomFactor});
}

int OViewGeometry::ShownRows() const {
  return static_cast<int>(PH / RowHeight());
}

void OViewGeometry::ScrollCells(int columns, int rows) {
  auto step = [](int from, int by, int last) {
    const int64_t to = int64_t{from} + by;
    if (by > 0)
      return static_cast<int>(std::min<int64_t>(to, std::max(from, last)));
    return static_cast<int>(std::max<int64_t>(to, 0));
  };
  SetScroll(step(Horz, columns, W - ShownColumns()), -step(-Vert, rows, H - ShownRows()));
}

void OViewGeometry::ScrollLines(int across, int up) {
  const int column = std::max(1, static_cast<int>(LinePixels / double{ZoomFactor}));
  const int row = std::max(1, static_cast<int>(LinePixels / RowHeight()));
  ScrollCells(static_cast<int>(std::clamp<int64_t>(int64_t{across} * column, -W, W)),
              static_cast<int>(std::clamp<int64_t>(int64_t{up} * row, -H, H)));
}

void OViewGeometry::ScrollKey(TScrollKey key) {
  const int page = std::max(1, ShownRows() - 1);
  switch (key) {
  case TScrollKey::Left:
    return ScrollLines(-1, 0);
  case TScrollKey::Right:
    return ScrollLines(1, 0);
  case TScrollKey::Up:
    return ScrollLines(0, 1);
  case TScrollKey::Down:
    return ScrollLines(0, -1);
  case TScrollKey::PageUp:
    return ScrollCells(0, page);
  case TScrollKey::PageDown:
    return ScrollCells(0, -page);
  case TScrollKey::Home:
    return SetScroll(0, 0);
  case TScrollKey::End:
    return SetScroll(std::max(0, W - ShownColumns()), -std::max(0, H - ShownRows()));
  }
}

int OWheelSteps::Take(int delta) {
  if ((delta > 0 && Pending < 0) || (delta < 0 && Pending > 0))
    Pending = 0;
  Pending += delta;
  const int steps = Pending / Notch;
  Pending -= steps * Notch;
  return steps;
}

TScreenRect OViewGeometry::ScreenRect(const TRect& area) const {
  const TViewFrame f = Frame();
  const int left = std::max(area.Left, f.X0), right = std::min(area.Right + 1, f.X1);
  const int top = std::max(area.Top, f.Y0), bottom = std::min(area.Bottom + 1, f.Y1);
  if (left >= right || top >= bottom)
    return {};
  const double z = ZoomFactor, zs = RowHeight();
  TScreenRect r;
  r.Left = f.Left + std::max(0, static_cast<int>(std::floor((left - f.X0) * z)));
  r.Right = f.Left + std::min(f.DR, static_cast<int>(std::ceil((right - f.X0) * z)));
  r.Top = std::max(f.Bottom - f.DH, static_cast<int>(std::floor(f.Bottom - (bottom - f.Y0) * zs)));
  r.Bottom = std::min(f.Bottom, static_cast<int>(std::ceil(f.Bottom - (top - f.Y0) * zs)));
  return r.Empty() ? TScreenRect{} : r;
}

std::string CellText(const std::optional<TCell>& cell) {
  if (!cell)
    return {};
  return "Control=" + std::to_string(cell->C + 1) + ", PLine=" + std::to_string(cell->R + 1);
}

} // namespace quillane
