#include "preview/StrikeOff.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

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

OStrikeOff::OStrikeOff(const OPreview& preview, const TStrikeOffSettings& settings)
    : Preview(preview), Chosen(settings) {
  Lay();
}

void OStrikeOff::SetSettings(const TStrikeOffSettings& settings) {
  Chosen = settings;
  Lay();
}

void OStrikeOff::Lay() {
  RoomW = Chosen.RoomWidthMm > 0 ? Chosen.RoomWidthMm : 4 * Chosen.TileMm;
  RoomL = Chosen.RoomLengthMm > 0 ? Chosen.RoomLengthMm : 4 * Chosen.TileMm;
  Laid.clear();
}

int64_t OStrikeOff::GoodsWidth(double scale) const {
  return static_cast<int64_t>(RoomW * scale + 0.5);
}
int64_t OStrikeOff::GoodsHeight(double scale) const {
  return static_cast<int64_t>(RoomL * scale + 0.5);
}
double OStrikeOff::FitScale(int width, int height) const {
  return std::max(1e-6, std::min(std::max(width, 1) / RoomW, std::max(height, 1) / RoomL));
}

void OStrikeOff::Render(const TPreviewView& view, uint32_t* pixels, const TPixelRect& area) const {
  for (int y = std::max(area.Top, 0); y < std::min(area.Bottom, view.Height); ++y)
    for (int x = std::max(area.Left, 0); x < std::min(area.Right, view.Width); ++x)
      pixels[static_cast<size_t>(y) * static_cast<size_t>(view.Width) + x] = Background;
}

std::vector<TPixelRect> OStrikeOff::PixelsOfCells(const TPreviewView& view, const TRect&) const {
  return {{0, 0, view.Width, view.Height}};
}

TEdgeMatch OStrikeOff::EdgeMatch() const {
  return {};
}
std::string OStrikeOff::TileCut() const {
  return {};
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
