#include "preview/StrikeOff.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

#include "model/Pattern.h"
#include "production/ProductionFile.h"

namespace quillane {

namespace {

// A floor longer than this is a typing slip, not a room.
constexpr double LongestMm = 1e6;

struct TUnit {
  std::string_view Name;
  double Mm;
};
constexpr TUnit Units[] = {{"mm", 1}, {"m", 1000}, {"in", 25.4}, {"ft", 304.8}};

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

// The unit the text ends in, taken off it; none when it ends in no unit.
std::optional<double> TakeUnit(std::string_view& text) {
  text = Trimmed(text);
  size_t letters = text.size();
  while (letters > 0 && std::isalpha(static_cast<unsigned char>(text[letters - 1])))
    --letters;
  const std::string_view word = text.substr(letters);
  if (word.empty())
    return std::nullopt;
  for (const TUnit& unit : Units)
    if (word.size() == unit.Name.size() &&
        std::equal(word.begin(), word.end(), unit.Name.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == b;
        })) {
      text = Trimmed(text.substr(0, letters));
      return unit.Mm;
    }
  return std::nullopt;
}

// `number` in mm at `unitMm` a unit, or none with `problem` saying why; `whole` is what the
// user typed, for the message.
std::optional<double> LengthOf(std::string_view number, double unitMm, std::string_view whole,
                               std::string& problem) {
  double value = 0;
  const char* end = number.data() + number.size();
  const auto [stop, error] = std::from_chars(number.data(), end, value);
  if (number.empty() || error != std::errc() || stop != end || !std::isfinite(value)) {
    problem = "\"" + std::string(whole) + "\" is not a length";
    return std::nullopt;
  }
  const double mm = value * unitMm;
  if (!(mm > 0)) {
    problem = "\"" + std::string(whole) + "\" is no length: it must be more than 0";
    return std::nullopt;
  }
  if (mm > LongestMm) {
    problem = "\"" + std::string(whole) + "\" is longer than 1 km";
    return std::nullopt;
  }
  return mm;
}

std::string UnitMissing(std::string_view whole) {
  return "\"" + std::string(whole) + "\" needs a unit: mm, m, in or ft";
}

// At most `decimals` places, without trailing zeros.
std::string Rounded(double value, int decimals) {
  const double step = std::pow(10.0, decimals);
  return NumberText(std::round(value * step) / step);
}

} // namespace

std::optional<double> ReadLength(std::string_view text, std::string& problem) {
  problem.clear();
  const std::string_view whole = Trimmed(text);
  std::string_view number = whole;
  const std::optional<double> unit = TakeUnit(number);
  if (!unit) {
    problem = UnitMissing(whole);
    return std::nullopt;
  }
  return LengthOf(number, *unit, whole, problem);
}

std::optional<std::pair<double, double>> ReadArea(std::string_view text, std::string& problem) {
  problem.clear();
  const std::string_view whole = Trimmed(text);
  const size_t by = whole.find_first_of("xX");
  if (by == std::string_view::npos) {
    problem = "\"" + std::string(whole) + "\" is not an area: give it as width x length, 9x13m";
    return std::nullopt;
  }
  std::string_view first = whole.substr(0, by), second = whole.substr(by + 1);
  const std::optional<double> secondUnit = TakeUnit(second);
  if (!secondUnit) {
    problem = UnitMissing(whole);
    return std::nullopt;
  }
  // "9x13m": one unit for both.
  const double firstUnit = TakeUnit(first).value_or(*secondUnit);
  const std::optional<double> width = LengthOf(first, firstUnit, whole, problem);
  if (!width)
    return std::nullopt;
  const std::optional<double> length = LengthOf(second, *secondUnit, whole, problem);
  if (!length)
    return std::nullopt;
  return std::pair{*width, *length};
}

bool TypedImperial(const std::string& text) {
  std::string word;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) {
      word += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    } else {
      if (word == "in" || word == "ft")
        return true;
      word.clear();
    }
  }
  return false;
}

std::string LengthText(double mm, bool imperial) {
  if (imperial) {
    // Tiles and repeats are named in inches, widths and rooms in feet.
    const double inches = mm / 25.4;
    return inches < 120 ? Rounded(inches, 3) + " in" : Rounded(inches / 12, 2) + " ft";
  }
  return mm < 1000 ? Rounded(mm, 1) + " mm" : Rounded(mm / 1000, 3) + " m";
}

std::string_view InstallKey(TInstall install) {
  static constexpr std::string_view keys[] = {"monolithic", "quarter-turn", "ashlar", "half-drop"};
  return keys[static_cast<size_t>(install) % std::size(keys)];
}
std::string_view InstallName(TInstall install) {
  static constexpr std::string_view names[] = {"Monolithic", "Quarter turn", "Ashlar", "Half drop"};
  return names[static_cast<size_t>(install) % std::size(names)];
}
std::optional<TInstall> ReadInstall(std::string_view key) {
  for (TInstall install : AllInstalls)
    if (InstallKey(install) == key)
      return install;
  return std::nullopt;
}
std::string_view MatchKey(TMatch match) {
  return match == TMatch::Drop ? "drop" : "set";
}
std::optional<TMatch> ReadMatch(std::string_view key) {
  if (key == "set")
    return TMatch::Set;
  if (key == "drop")
    return TMatch::Drop;
  return std::nullopt;
}

TPatternRepeat PatternRepeat(const OPattern& pattern) {
  const int pc = pattern.NoControls, pp = pattern.NoPLines;
  if (pc <= 0 || pp <= 0)
    return {pc, pp, 0};
  const TSectionSteps steps = SectionSteps(pattern);
  // A later band copied by a whole fraction of the step across is a drop repeat that narrow
  // (a half drop: half the step, dropped by the band); any other is a set repeat of the step.
  if (steps.Down != 0 && steps.Step != 0 && steps.Across % steps.Step == 0)
    return {static_cast<int>(steps.Step), pp, static_cast<int>(steps.Down)};
  return {static_cast<int>(std::min<int64_t>(steps.Across, pc)),
          static_cast<int>(std::min<int64_t>(steps.Along, pp)), 0};
}

TRepeatFit RepeatFit(const TPatternRepeat& repeat, const TCellSize& cell, double widthMm) {
  TRepeatFit fit;
  fit.RepeatAcrossMm = std::max(repeat.Controls, 0) * cell.Across;
  fit.RepeatAlongMm = std::max(repeat.PLines, 0) * cell.Along;
  fit.WastePerCutMm = fit.RepeatAlongMm;
  if (!(fit.RepeatAcrossMm > 0) || !(widthMm > 0) || !std::isfinite(widthMm))
    return fit;
  // A width that is a whole number of repeats, but for the rounding of its unit, holds them.
  const double repeats = std::floor(widthMm / fit.RepeatAcrossMm + 1e-9);
  fit.RepeatsAcross = static_cast<int>(std::min(repeats, 1e9));
  fit.SelvageMm = std::max(0.0, (widthMm - fit.RepeatsAcross * fit.RepeatAcrossMm) / 2);
  fit.ShortPerRepeatMm =
      ((fit.RepeatsAcross + 1) * fit.RepeatAcrossMm - widthMm) / (fit.RepeatsAcross + 1);
  return fit;
}
TRepeatFit RepeatFit(const OPattern& pattern, double widthMm) {
  return RepeatFit(PatternRepeat(pattern), CellSizeOf(pattern), widthMm);
}

double DefaultBow(double widthMm) {
  return 25.4 * widthMm / 3657.6;
}

namespace {

// More pieces than this would be a room of crumbs: the tiles grow instead.
constexpr double MostPieces = 1 << 20;
constexpr int ShapeSteps = OPreview::ShapeSteps;

// A usable length, or `otherwise`.
double LengthOr(double mm, double otherwise) {
  return std::isfinite(mm) && mm > 0 ? std::min(mm, LongestMm) : otherwise;
}

// Without a call to floor, which a pixel cannot afford; `v` is within a room of cells.
int64_t FloorOf(double v) {
  const auto i = static_cast<int64_t>(v);
  return v < static_cast<double>(i) ? i - 1 : i;
}

} // namespace

OStrikeOff::OStrikeOff(const OPreview& preview, const TStrikeOffSettings& settings)
    : Preview(preview), Chosen(settings) {
  Lay();
}

void OStrikeOff::SetSettings(const TStrikeOffSettings& settings) {
  Chosen = settings;
  Lay();
}

void OStrikeOff::Lay() {
  const TCellSize& cell = Preview.CellSize();
  GoodsPLines = Preview.Goods().PLines;
  const TRepeatFit fit =
      RepeatFit(PatternRepeat(Preview.Source()), cell, LengthOr(Chosen.WidthMm, 3657.6));
  HalfRepeatMm = fit.RepeatAlongMm / 2;
  // A bow or skew that is no number bends nothing; one longer than a room is a room long.
  auto bend = [](double mm) {
    return std::isfinite(mm) ? std::clamp(mm, -LongestMm, LongestMm) : 0;
  };
  Bow = bend(Chosen.BowMm);
  Skew = bend(Chosen.SkewMm);
  if (Chosen.Kind == TStrikeOffSettings::TKind::Tiles) {
    Tile = LengthOr(Chosen.TileMm, 500);
    RoomW = LengthOr(Chosen.RoomWidthMm, 4 * Tile);
    RoomL = LengthOr(Chosen.RoomLengthMm, 4 * Tile);
    Tile = std::max(Tile, std::sqrt(RoomW * RoomL / MostPieces));
  } else {
    // The installer trims each width to its whole repeats, so that the seam falls on a
    // repeat's edge; a width narrower than the repeat is laid as it is.
    Tile = fit.RepeatsAcross > 0 ? fit.RepeatsAcross * fit.RepeatAcrossMm
                                 : LengthOr(Chosen.WidthMm, 3657.6);
    RoomW = LengthOr(Chosen.RoomWidthMm, 3 * Tile);
    RoomL = LengthOr(Chosen.RoomLengthMm,
                     std::max(2 * fit.RepeatAlongMm, LengthOr(Chosen.WidthMm, 3657.6)));
    Tile = std::max(Tile, RoomW / MostPieces);
  }
  Laid = LayOver(RoomW, RoomL);
}

std::vector<TStrikePiece> OStrikeOff::LayOver(double roomW, double roomL) const {
  std::vector<TStrikePiece> pieces;
  const double t = Tile;
  // Every piece's own bottom left is PLine 1 of control 1 of the goods.
  const double goodsHeight = GoodsPLines * Preview.CellSize().Along;
  if (Chosen.Kind == TStrikeOffSettings::TKind::Broadloom) {
    const bool drop = Chosen.Match == TMatch::Drop;
    for (int64_t i = 0; i * t < roomW; ++i)
      pieces.push_back({static_cast<double>(i) * t, 0, t, roomL, 0, 0,
                        goodsHeight - roomL - (drop && i % 2 ? HalfRepeatMm : 0)});
    return pieces;
  }
  const TInstall install = Chosen.Install;
  const double half = t / 2;
  // A row and a column more than the room holds: offset rows and columns start outside it.
  const int64_t rows = static_cast<int64_t>(std::ceil(roomL / t)) + 1;
  const int64_t columns = static_cast<int64_t>(std::ceil(roomW / t)) + 1;
  for (int64_t j = 0; j < rows; ++j)
    for (int64_t i = 0; i < columns; ++i) {
      TStrikePiece piece{
          static_cast<double>(i) * t, static_cast<double>(j) * t, t, t, 0, 0, goodsHeight - t};
      if (install == TInstall::Ashlar && j % 2)
        piece.X -= half;
      if (install == TInstall::HalfDrop && i % 2)
        piece.Y -= half;
      if (install == TInstall::QuarterTurn)
        piece.Turns = static_cast<int>((i + j) % 2 + 2 * (j % 2));
      if (piece.X < roomW && piece.Y < roomL && piece.X + t > 0 && piece.Y + t > 0)
        pieces.push_back(piece);
    }
  // By rows, so that a row of pixels finds its pieces among few.
  std::stable_sort(pieces.begin(), pieces.end(),
                   [](const TStrikePiece& a, const TStrikePiece& b) { return a.Y < b.Y; });
  return pieces;
}

OStrikeOff::TLine OStrikeOff::LineOf(const TStrikePiece& piece, double y) const {
  const double ly = y - piece.Y;
  // The piece's goods turned clockwise by its quarters: (u, v) of the goods, from the piece's
  // own (lx, ly), undoes the turn.
  double u0 = 0, u1 = 1, v0 = ly, v1 = 0;
  switch (piece.Turns & 3) {
  case 1:
    u0 = ly, u1 = 0, v0 = piece.Width, v1 = -1;
    break;
  case 2:
    u0 = piece.Width, u1 = -1, v0 = piece.Length - ly, v1 = 0;
    break;
  case 3:
    u0 = piece.Length - ly, u1 = 0, v0 = 0, v1 = 1;
    break;
  default:
    break;
  }
  const TCellSize& cell = Preview.CellSize();
  TLine line;
  line.X0 = (piece.GoodsX + u0) / cell.Across;
  line.X1 = u1 / cell.Across;
  line.Y0 = (piece.GoodsY + v0) / cell.Along;
  line.Y1 = v1 / cell.Along;
  if (Chosen.Kind == TStrikeOffSettings::TKind::Broadloom && piece.Width > 0) {
    line.Bow = Bow / cell.Along;
    line.Skew = Skew / cell.Along;
    line.Width = piece.Width;
  }
  return line;
}

OStrikeOff::TGoodsPoint OStrikeOff::TLine::At(double lx, int64_t goodsPLines) const {
  double cx = X0 + X1 * lx, cy = Y0 + Y1 * lx;
  if (Width > 0) {
    // A PLine's line bows down to BowMm in the middle of the width and skews down to SkewMm
    // at its right end: what lies there came from that much higher up the goods.
    const double f = std::clamp(lx / Width, 0.0, 1.0);
    cy -= Bow * 4 * f * (1 - f) + Skew * f;
  }
  TGoodsPoint point;
  point.X = FloorOf(cx);
  const int64_t fromTop = FloorOf(cy);
  point.Row = goodsPLines - 1 - fromTop;
  point.U =
      std::min(static_cast<int>((cx - static_cast<double>(point.X)) * ShapeSteps), ShapeSteps - 1);
  point.V =
      std::min(static_cast<int>((cy - static_cast<double>(fromTop)) * ShapeSteps), ShapeSteps - 1);
  return point;
}

OStrikeOff::TGoodsPoint OStrikeOff::GoodsPointOf(const TStrikePiece& piece, double x,
                                                 double y) const {
  return LineOf(piece, y).At(x - piece.X, GoodsPLines);
}

const TStrikePiece* OStrikeOff::PieceAt(const std::vector<TStrikePiece>& pieces, double x,
                                        double y) const {
  // Pieces lie by rows, each at most a tile long (a width the room's length).
  auto first =
      std::lower_bound(pieces.begin(), pieces.end(), y, [this](const TStrikePiece& p, double at) {
        return p.Y + std::max(Tile, p.Length) <= at;
      });
  for (auto it = first; it != pieces.end() && it->Y <= y; ++it)
    if (x >= it->X && x < it->X + it->Width && y >= it->Y && y < it->Y + it->Length)
      return &*it;
  return nullptr;
}

int64_t OStrikeOff::GoodsWidth(double scale) const {
  return static_cast<int64_t>(std::ceil(RoomW * scale - 1e-6));
}
int64_t OStrikeOff::GoodsHeight(double scale) const {
  return static_cast<int64_t>(std::ceil(RoomL * scale - 1e-6));
}
double OStrikeOff::FitScale(int width, int height) const {
  return std::max(1e-6, std::min(std::max(width, 1) / RoomW, std::max(height, 1) / RoomL));
}

void OStrikeOff::Render(const TPreviewView& view, uint32_t* pixels, const TPixelRect& asked) const {
  const TPixelRect area{std::max(asked.Left, 0), std::max(asked.Top, 0),
                        std::min(asked.Right, view.Width), std::min(asked.Bottom, view.Height)};
  if (area.Empty())
    return;
  const double scale = view.Scale;
  const auto stride = static_cast<size_t>(view.Width);
  if (!(scale > 0)) {
    for (int y = area.Top; y < area.Bottom; ++y)
      std::fill_n(pixels + y * stride + area.Left, area.Right - area.Left, Background);
    return;
  }
  const double perPixel = 1 / scale; // mm
  // The pixel whose centre lies at or after `mm`, across and along.
  // Within what an int64_t holds, however large the scale.
  auto pixelOf = [&](double mm) {
    return static_cast<int64_t>(std::clamp(std::ceil(mm * scale - 0.5), -1e18, 1e18));
  };
  auto column = [&](double mm) {
    return std::clamp<int64_t>(pixelOf(mm) - view.Left, area.Left, area.Right);
  };
  auto line = [&](double mm) {
    return std::clamp<int64_t>(pixelOf(mm) - view.Top, area.Top, area.Bottom);
  };
  const auto roomLeft = static_cast<int>(column(0)), roomRight = static_cast<int>(column(RoomW));
  // The tufts looked up lately, by their cell across and along: every tile shows the same
  // cells, and a tuft many pixels high is met again on the rows below.
  struct TKnown {
    int64_t X = std::numeric_limits<int64_t>::min(), Row = 0;
    OPreview::TTuft Tuft;
  };
  std::vector<TKnown> tufts(4096);
  const bool small =
      std::min(CellSize().Across, CellSize().Along) * scale < OPreview::SmallestShaped;
  for (int y = area.Top; y < area.Bottom; ++y) {
    uint32_t* out = pixels + static_cast<size_t>(y) * stride;
    const double ry = (static_cast<double>(view.Top + y) + 0.5) / scale;
    if (ry < 0 || ry >= RoomL) {
      std::fill(out + area.Left, out + area.Right, Background);
      continue;
    }
    std::fill(out + area.Left, out + roomLeft, Background);
    std::fill(out + roomRight, out + area.Right, Background);
    auto first =
        std::lower_bound(Laid.begin(), Laid.end(), ry, [this](const TStrikePiece& p, double at) {
          return p.Y + std::max(Tile, p.Length) <= at;
        });
    for (auto it = first; it != Laid.end() && it->Y <= ry; ++it) {
      const TStrikePiece& piece = *it;
      if (ry >= piece.Y + piece.Length)
        continue;
      const auto from = static_cast<int>(column(std::max(piece.X, 0.0)));
      const auto to = static_cast<int>(column(std::min(piece.X + piece.Width, RoomW)));
      const TLine goods = LineOf(piece, ry);
      // Along a goods row only the cell across and where in it change, but for a bow.
      const bool alongRow = goods.Y1 == 0;
      const double perWidth = goods.Width > 0 ? 1 / goods.Width : 0;
      const double lx0 = (static_cast<double>(view.Left + from) + 0.5) * perPixel - piece.X;
      const double step = goods.X1 * perPixel;
      TGoodsPoint at = goods.At(lx0, GoodsPLines);
      const OPreview::TTuft* tuft = nullptr;
      for (int x = from; x < to; ++x) {
        if (alongRow) {
          const double c = goods.X0 + goods.X1 * lx0 + step * (x - from);
          const int64_t whole = FloorOf(c);
          at.U = std::min(static_cast<int>((c - static_cast<double>(whole)) * ShapeSteps),
                          ShapeSteps - 1);
          int64_t row = at.Row;
          if (perWidth > 0) {
            const double f = std::clamp((lx0 + perPixel * (x - from)) * perWidth, 0.0, 1.0);
            const double cy = goods.Y0 - goods.Bow * 4 * f * (1 - f) - goods.Skew * f;
            const int64_t fromTop = FloorOf(cy);
            row = GoodsPLines - 1 - fromTop;
            at.V = std::min(static_cast<int>((cy - static_cast<double>(fromTop)) * ShapeSteps),
                            ShapeSteps - 1);
          }
          if (tuft && whole == at.X && row == at.Row) {
            const uint32_t f = tuft->Shape[at.V * ShapeSteps + at.U];
            out[x] = 0xFF000000u | std::min<uint32_t>(255, (tuft->R * f) >> 16) << 16 |
                     std::min<uint32_t>(255, (tuft->G * f) >> 16) << 8 |
                     std::min<uint32_t>(255, (tuft->B * f) >> 16);
            continue;
          }
          at.X = whole;
          at.Row = row;
        } else {
          at = goods.At((static_cast<double>(view.Left + x) + 0.5) * perPixel - piece.X,
                        GoodsPLines);
        }
        TKnown& known = tufts[static_cast<size_t>((at.X & 255) | (at.Row & 15) << 8)];
        if (known.X != at.X || known.Row != at.Row) {
          known = {at.X, at.Row, Preview.TuftAt(at.X, at.Row)};
          if (small)
            known.Tuft.Shape = Preview.Blurred(known.Tuft.Shape);
        }
        tuft = &known.Tuft;
        const uint32_t f = tuft->Shape[at.V * ShapeSteps + at.U];
        out[x] = 0xFF000000u | std::min<uint32_t>(255, (tuft->R * f) >> 16) << 16 |
                 std::min<uint32_t>(255, (tuft->G * f) >> 16) << 8 |
                 std::min<uint32_t>(255, (tuft->B * f) >> 16);
      }
      if (!Chosen.Joins)
        continue;
      // A join is the first pixel of the piece after it, left and top, inside the room.
      if (piece.X > 0 && from < to && from == column(piece.X))
        out[from] = JoinColour;
      if (piece.Y > 0 && y == line(piece.Y))
        std::fill(out + from, out + to, JoinColour);
    }
  }
}

std::vector<TPixelRect> OStrikeOff::PixelsOfCells(const TPreviewView& view,
                                                  const TRect& cells) const {
  std::vector<TPixelRect> rects;
  const OPattern& pattern = Preview.Source();
  const int64_t pc = pattern.NoControls, pp = pattern.NoPLines;
  if (pc <= 0 || pp <= 0 || !(view.Scale > 0))
    return rects;
  const int64_t drop = SeamDrop(pattern);
  // A tuft's light follows its neighbours: one cell more on every side.
  const int64_t c0 = cells.Left - 2, c1 = cells.Right, l0 = cells.Top - 2, l1 = cells.Bottom;
  // Whether the goods rows [r0, r1] of copy `copy` across show any of the lines.
  auto rowsShow = [&](int64_t copy, int64_t r0, int64_t r1) {
    if (r1 - r0 + 1 >= pp || l1 - l0 + 1 >= pp)
      return true;
    const int64_t shift = (copy % pp + pp) % pp * drop % pp;
    // Goods row r shows line (r + shift) mod pp (from 0).
    const int64_t a = ((r0 + shift) % pp + pp) % pp, b = a + (r1 - r0);
    for (int64_t base : {int64_t{0}, pp})
      if (a <= l1 + base && l0 + base <= b)
        return true;
    return false;
  };
  const TCellSize& cell = Preview.CellSize();
  const double margin = std::abs(Bow) + std::abs(Skew);
  for (const TStrikePiece& piece : Laid) {
    const bool turned = piece.Turns % 2 != 0;
    const double gw = turned ? piece.Length : piece.Width, gl = turned ? piece.Width : piece.Length;
    const int64_t x0 = FloorOf(piece.GoodsX / cell.Across) - 1;
    const int64_t x1 = FloorOf((piece.GoodsX + gw) / cell.Across) + 1;
    const int64_t t0 = FloorOf((piece.GoodsY - margin) / cell.Along) - 1;
    const int64_t t1 = FloorOf((piece.GoodsY + gl + margin) / cell.Along) + 1;
    const int64_t r0 = GoodsPLines - 1 - t1, r1 = GoodsPLines - 1 - t0;
    bool shows = false;
    const int64_t firstCopy = x0 >= 0 ? x0 / pc : -((-x0 - 1) / pc) - 1;
    for (int64_t copy = firstCopy; !shows && copy * pc <= x1; ++copy) {
      // Many copies across: one of them surely shows the cells.
      if (copy - firstCopy > 64) {
        shows = true;
        break;
      }
      const int64_t a = std::max(x0, copy * pc + c0), b = std::min(x1, copy * pc + c1);
      shows = a <= b && rowsShow(copy, r0, r1);
    }
    if (!shows)
      continue;
    const double left = std::max(piece.X, 0.0), top = std::max(piece.Y, 0.0);
    const double right = std::min(piece.X + piece.Width, RoomW);
    const double bottom = std::min(piece.Y + piece.Length, RoomL);
    const TPixelRect r{
        static_cast<int>(
            std::clamp<int64_t>(FloorOf(left * view.Scale) - 1 - view.Left, 0, view.Width)),
        static_cast<int>(
            std::clamp<int64_t>(FloorOf(top * view.Scale) - 1 - view.Top, 0, view.Height)),
        static_cast<int>(
            std::clamp<int64_t>(FloorOf(right * view.Scale) + 2 - view.Left, 0, view.Width)),
        static_cast<int>(
            std::clamp<int64_t>(FloorOf(bottom * view.Scale) + 2 - view.Top, 0, view.Height))};
    if (!r.Empty())
      rects.push_back(r);
  }
  return rects;
}

TEdgeMatch OStrikeOff::EdgeMatch() const {
  // One period of the layout: every way a tile is laid meets every other within four by four
  // tiles; three widths have two seams, and two repeats show a drop both ways.
  const bool widths = Chosen.Kind == TStrikeOffSettings::TKind::Broadloom;
  const double roomW = widths ? 3 * Tile : 4 * Tile;
  const double roomL = widths ? std::max(4 * HalfRepeatMm, Tile) : 4 * Tile;
  const std::vector<TStrikePiece> pieces = LayOver(roomW, roomL);
  const TCellSize& cell = Preview.CellSize();
  // A tuft at a time, but no more than 2^16 a tile side: a kilometre's tile is not counted
  // tuft by tuft.
  const double pitch = std::max(std::min(cell.Across, cell.Along), Tile / 65536);
  // Just either side of a join: the tufts that meet there.
  const double side = pitch / 64;
  auto tuftAt = [&](double x, double y) -> std::optional<OPreview::TTuft> {
    const TStrikePiece* piece = PieceAt(pieces, x, y);
    if (!piece)
      return std::nullopt;
    const TGoodsPoint at = GoodsPointOf(*piece, x, y);
    return Preview.TuftAt(at.X, at.Row);
  };
  int64_t compared = 0, differ = 0;
  auto compare = [&](double x0, double y0, double x1, double y1) {
    const auto a = tuftAt(x0, y0), b = tuftAt(x1, y1);
    if (!a || !b)
      return;
    ++compared;
    differ += a->Index != b->Index || !(a->Pile == b->Pile);
  };
  for (const TStrikePiece& piece : pieces) {
    const double top = std::max(piece.Y, 0.0), bottom = std::min(piece.Y + piece.Length, roomL);
    const double left = std::max(piece.X, 0.0), right = std::min(piece.X + piece.Width, roomW);
    if (piece.X > 0)
      for (double y = top + pitch / 2; y < bottom; y += pitch)
        compare(piece.X - side, y, piece.X + side, y);
    if (piece.Y > 0)
      for (double x = left + pitch / 2; x < right; x += pitch)
        compare(x, piece.Y - side, x, piece.Y + side);
  }
  return {compared ? static_cast<double>(differ) / static_cast<double>(compared) : 0.0, compared};
}

std::string OStrikeOff::TileCut() const {
  if (Chosen.Kind != TStrikeOffSettings::TKind::Tiles)
    return {};
  const TPatternRepeat repeat = PatternRepeat(Preview.Source());
  if (repeat.Controls <= 0 || repeat.PLines <= 0)
    return {};
  const TCellSize& cell = Preview.CellSize();
  const double across = Tile / cell.Across, along = Tile / cell.Along;
  // Within a hundredth of a tuft a tile holds its repeats whole.
  auto whole = [](double cells, int step) {
    return std::abs(cells - step * std::round(cells / step)) < 0.01 &&
           std::round(cells / step) >= 1;
  };
  const bool wholeAcross = whole(across, repeat.Controls), wholeAlong = whole(along, repeat.PLines);
  if (wholeAcross && wholeAlong) {
    const double a = std::round(across / repeat.Controls), b = std::round(along / repeat.PLines);
    return a * b == 1 ? "The tile holds the repeat once"
                      : "The tile holds " + NumberText(a) + " x " + NumberText(b) + " repeats";
  }
  // The last tuft the tile shows, part of it or whole.
  auto cut = [](double cells, int step) {
    const auto last = std::max<int64_t>(1, static_cast<int64_t>(std::ceil(cells - 0.01)));
    return std::to_string((last - 1) % step + 1) + " of " + std::to_string(step);
  };
  std::string text = "The tile cuts the repeat at ";
  if (!wholeAcross)
    text += "control " + cut(across, repeat.Controls);
  if (!wholeAcross && !wholeAlong)
    text += " and ";
  if (!wholeAlong)
    text += "PLine " + cut(along, repeat.PLines);
  return text;
}

std::vector<TEdgeMatch> EdgeMatchOfInstalls(const OPreview& preview, double tileMm) {
  std::vector<TEdgeMatch> all;
  for (TInstall install : AllInstalls) {
    TStrikeOffSettings s;
    s.TileMm = tileMm;
    s.Install = install;
    all.push_back(OStrikeOff(preview, s).EdgeMatch());
  }
  return all;
}

} // namespace quillane
