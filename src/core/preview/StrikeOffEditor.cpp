#include "preview/StrikeOffEditor.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "model/Pattern.h"

namespace quillane {

namespace {

// What a person lays and a screen can draw: a tile of a hand's width up to a plank, a width
// a loom weaves, and a room of a few thousand tiles rather than millions.
constexpr double SmallestTileMm = 100, LargestTileMm = 2000;
constexpr double NarrowestWidthMm = 500, WidestWidthMm = 10000;
constexpr double LargestDistortionMm = 500;
constexpr double SmallestRoomMm = 100, LargestRoomMm = 50000;

// "0", "0 in": no bow or skew at all, which a length (more than 0) is not.
bool TypedNothing(const std::string& text) {
  const char* start = text.c_str();
  char* end = nullptr;
  const double value = std::strtod(start, &end);
  if (end == start || value != 0)
    return false;
  for (; *end; ++end)
    if (!std::isalpha(static_cast<unsigned char>(*end)) &&
        !std::isspace(static_cast<unsigned char>(*end)))
      return false;
  return true;
}

std::string OneDecimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string RangeProblem(const char* what, double from, double to, bool imperial) {
  return std::string(what) + " must be from " + LengthText(from, imperial) + " to " +
         LengthText(to, imperial) + ".";
}

} // namespace

TScaleBar ScaleBarAt(double scale, bool imperial) {
  struct TStep {
    double Mm;
    const char* Label;
  };
  static const TStep metric[] = {{0.1, "0.1 mm"}, {0.2, "0.2 mm"}, {0.5, "0.5 mm"}, {1, "1 mm"},
                                 {2, "2 mm"},     {5, "5 mm"},     {10, "1 cm"},    {20, "2 cm"},
                                 {50, "5 cm"},    {100, "10 cm"},  {200, "20 cm"},  {500, "50 cm"},
                                 {1e3, "1 m"},    {2e3, "2 m"},    {5e3, "5 m"},    {1e4, "10 m"},
                                 {2e4, "20 m"},   {5e4, "50 m"},   {1e5, "100 m"},  {2e5, "200 m"}};
  static const TStep inches[] = {
      {25.4 / 64, "1/64 in"}, {25.4 / 32, "1/32 in"}, {25.4 / 16, "1/16 in"}, {25.4 / 8, "1/8 in"},
      {25.4 / 4, "1/4 in"},   {25.4 / 2, "1/2 in"},   {25.4, "1 in"},         {50.8, "2 in"},
      {101.6, "4 in"},        {152.4, "6 in"},        {304.8, "1 ft"},        {609.6, "2 ft"},
      {1524, "5 ft"},         {3048, "10 ft"},        {6096, "20 ft"},        {15240, "50 ft"},
      {30480, "100 ft"},      {60960, "200 ft"},      {152400, "500 ft"}};
  const TStep* begin = imperial ? std::begin(inches) : std::begin(metric);
  const TStep* end = imperial ? std::end(inches) : std::end(metric);
  const TStep* best = nullptr;
  for (const TStep* step = begin; step != end; ++step)
    if (step->Mm * scale <= 200)
      best = step;
  // Zoomed in beyond the ladder, its shortest; out beyond it, its longest.
  if (!best)
    best = begin;
  const int pixels = static_cast<int>(std::lround(best->Mm * scale));
  return {best->Mm, pixels, best->Label};
}

std::string EdgeMatchText(const TEdgeMatch& match) {
  if (match.Tufts <= 0)
    return "no joins";
  if (match.Share <= 0)
    return "0% differ";
  const double percent = 100 * match.Share;
  if (percent < 0.05)
    return "<0.1% differ";
  // 99.96% is not all of them.
  if (percent < 100 && OneDecimal(percent) == "100.0")
    return "99.9% differ";
  return OneDecimal(percent) + "% differ";
}

OStrikeOffEditor::OStrikeOffEditor(const OPattern& pattern, const OPreview& preview)
    : Pattern(pattern), Preview(preview), Struck(preview, [] {
        TStrikeOffSettings s;
        s.BowMm = DefaultBow(s.WidthMm);
        s.SkewMm = DefaultSkewMm;
        return s;
      }()) {
  Refresh();
}

void OStrikeOffEditor::SetView(TStrikeView view) {
  Shows = view;
  TStrikeOffSettings s = Settings();
  s.Kind = view == TStrikeView::Broadloom ? TStrikeOffSettings::TKind::Broadloom
                                          : TStrikeOffSettings::TKind::Tiles;
  Change(s);
}

const OCarpetPicture& OStrikeOffEditor::Picture() const {
  if (Shows == TStrikeView::Goods)
    return Preview;
  return Struck;
}

const std::vector<std::string>& OStrikeOffEditor::TileSizes() {
  static const std::vector<std::string> sizes = {"500 mm", "18 in", "24 in", "36 in"};
  return sizes;
}

const std::vector<std::string>& OStrikeOffEditor::BroadloomWidths() {
  static const std::vector<std::string> widths = {"12 ft", "4 m", "5 m"};
  return widths;
}

std::string OStrikeOffEditor::SetTileSize(const std::string& text) {
  std::string problem;
  const std::optional<double> mm = ReadLength(text, problem);
  if (!mm)
    return "Tile size: " + problem + ".";
  const bool imperial = TypedImperial(text);
  if (*mm < SmallestTileMm || *mm > LargestTileMm)
    return RangeProblem("A tile", SmallestTileMm, LargestTileMm, imperial);
  TileImperial = imperial;
  TStrikeOffSettings s = Settings();
  s.TileMm = *mm;
  Change(s);
  return {};
}

std::string OStrikeOffEditor::SetBroadloomWidth(const std::string& text) {
  std::string problem;
  const std::optional<double> mm = ReadLength(text, problem);
  if (!mm)
    return "Broadloom width: " + problem + ".";
  const bool imperial = TypedImperial(text);
  if (*mm < NarrowestWidthMm || *mm > WidestWidthMm)
    return RangeProblem("A width", NarrowestWidthMm, WidestWidthMm, imperial);
  WidthImperial = imperial;
  TStrikeOffSettings s = Settings();
  s.WidthMm = *mm;
  // The tolerance is over the width: a wider loom may bow more.
  if (!BowTyped)
    s.BowMm = DefaultBow(*mm);
  Change(s);
  return {};
}

std::string OStrikeOffEditor::SetBow(const std::string& text) {
  std::string problem;
  std::optional<double> mm = TypedNothing(text) ? 0.0 : ReadLength(text, problem);
  if (!mm)
    return "Bow: " + problem + ".";
  if (*mm > LargestDistortionMm)
    return RangeProblem("The bow", 0, LargestDistortionMm, TypedImperial(text));
  BowTyped = true;
  TStrikeOffSettings s = Settings();
  s.BowMm = *mm;
  Change(s);
  return {};
}

std::string OStrikeOffEditor::SetSkew(const std::string& text) {
  std::string problem;
  std::optional<double> mm = TypedNothing(text) ? 0.0 : ReadLength(text, problem);
  if (!mm)
    return "Skew: " + problem + ".";
  if (*mm > LargestDistortionMm)
    return RangeProblem("The skew", 0, LargestDistortionMm, TypedImperial(text));
  TStrikeOffSettings s = Settings();
  s.SkewMm = *mm;
  Change(s);
  return {};
}

std::string OStrikeOffEditor::SetRoom(const std::string& text) {
  TStrikeOffSettings s = Settings();
  if (text.find_first_not_of(" \t") == std::string::npos) {
    s.RoomWidthMm = s.RoomLengthMm = 0;
    Change(s);
    return {};
  }
  std::string problem;
  const std::optional<std::pair<double, double>> area = ReadArea(text, problem);
  if (!area)
    return "Room: " + problem + ".";
  for (double side : {area->first, area->second})
    if (side < SmallestRoomMm || side > LargestRoomMm)
      return RangeProblem("Each side of the room", SmallestRoomMm, LargestRoomMm,
                          TypedImperial(text));
  RoomImperial = TypedImperial(text);
  s.RoomWidthMm = area->first;
  s.RoomLengthMm = area->second;
  Change(s);
  return {};
}

void OStrikeOffEditor::SetInstall(TInstall install) {
  TStrikeOffSettings s = Settings();
  s.Install = install;
  Change(s);
}

void OStrikeOffEditor::SetMatch(TMatch match) {
  TStrikeOffSettings s = Settings();
  s.Match = match;
  Change(s);
}

void OStrikeOffEditor::SetJoins(bool shown) {
  TStrikeOffSettings s = Settings();
  s.Joins = shown;
  Change(s);
}

std::string OStrikeOffEditor::TileSizeText() const {
  return LengthText(Settings().TileMm, TileImperial);
}
std::string OStrikeOffEditor::BroadloomWidthText() const {
  return LengthText(Settings().WidthMm, WidthImperial);
}
std::string OStrikeOffEditor::BowText() const {
  return LengthText(Settings().BowMm, WidthImperial);
}
std::string OStrikeOffEditor::SkewText() const {
  return LengthText(Settings().SkewMm, WidthImperial);
}
std::string OStrikeOffEditor::RoomText() const {
  const TStrikeOffSettings& s = Settings();
  if (s.RoomWidthMm <= 0 || s.RoomLengthMm <= 0)
    return {};
  return LengthText(s.RoomWidthMm, RoomImperial) + " x " + LengthText(s.RoomLengthMm, RoomImperial);
}

void OStrikeOffEditor::Change(const TStrikeOffSettings& settings) {
  Struck.SetSettings(settings);
  Score();
}

void OStrikeOffEditor::Refresh() {
  ScoredTileMm = -1;
  Struck.SetSettings(Settings());
  Score();
}

void OStrikeOffEditor::Score() {
  // Every installation is laid and compared: only for tiles shown, and only when the tiles
  // or the pattern change.
  if (Shows != TStrikeView::Tiles) {
    ScoredTileMm = -1;
    Scores.assign(std::size(AllInstalls), "");
    return;
  }
  if (ScoredTileMm == Settings().TileMm)
    return;
  ScoredTileMm = Settings().TileMm;
  Scores.clear();
  for (const TEdgeMatch& match : EdgeMatchOfInstalls(Preview, Settings().TileMm))
    Scores.push_back(EdgeMatchText(match));
}

std::string OStrikeOffEditor::TileCutText() const {
  return Shows == TStrikeView::Tiles ? Struck.TileCut() : std::string();
}

std::string OStrikeOffEditor::RepeatFitText() const {
  if (Shows != TStrikeView::Broadloom)
    return {};
  const TRepeatFit fit = RepeatFit(Pattern, Settings().WidthMm);
  const bool imperial = WidthImperial;
  const std::string width = LengthText(Settings().WidthMm, imperial);
  const std::string repeat = LengthText(fit.RepeatAcrossMm, imperial);
  if (fit.RepeatsAcross < 1)
    return "The repeat of " + repeat + " is wider than the " + width + " width.";
  std::string text = "A " + width + " width holds " + std::to_string(fit.RepeatsAcross) +
                     (fit.RepeatsAcross == 1 ? " repeat" : " repeats") + " of " + repeat;
  if (fit.SelvageMm > 0.05) {
    text += ", " + LengthText(fit.SelvageMm, imperial) + " selvage each side; " +
            std::to_string(fit.RepeatsAcross + 1) + " would come out " +
            LengthText(fit.ShortPerRepeatMm, imperial) + " short each";
  } else {
    text += " exactly";
  }
  text += ". Each cut wastes " + LengthText(fit.WastePerCutMm, imperial) + " to match.";
  return text;
}

bool OStrikeOffEditor::Imperial() const {
  // A room is measured in the units it was given in.
  if (Shows != TStrikeView::Goods && Settings().RoomWidthMm > 0 && Settings().RoomLengthMm > 0)
    return RoomImperial;
  switch (Shows) {
  case TStrikeView::Tiles:
    return TileImperial;
  case TStrikeView::Broadloom:
    return WidthImperial;
  default:
    return false;
  }
}

std::string OStrikeOffEditor::ExportSuffix() const {
  switch (Shows) {
  case TStrikeView::Tiles:
    return "-tiles";
  case TStrikeView::Broadloom:
    return "-broadloom";
  default:
    return "-preview";
  }
}

std::string OStrikeOffEditor::ExportTitle() const {
  return Shows == TStrikeView::Goods ? "Export Preview" : "Export Room";
}

TPrintArea OStrikeOffEditor::PrintArea(const TPreviewView& view) const {
  TPrintArea area;
  const OCarpetPicture& picture = Picture();
  const double scale = view.Scale > 0 ? view.Scale : 1;
  const double wholeW = static_cast<double>(picture.GoodsWidth(scale)) / scale;
  const double wholeL = static_cast<double>(picture.GoodsHeight(scale)) / scale;
  // What the box shows, where it shows the picture at all.
  const double left = std::clamp(static_cast<double>(view.Left) / scale, 0.0, wholeW);
  const double top = std::clamp(static_cast<double>(view.Top) / scale, 0.0, wholeL);
  area.Left = left;
  area.Top = top;
  area.Width = std::clamp(static_cast<double>(view.Left + view.Width) / scale, 0.0, wholeW) - left;
  area.Length = std::clamp(static_cast<double>(view.Top + view.Height) / scale, 0.0, wholeL) - top;

  // The repeat's edges in the goods; the tiles' or widths' in a room.
  std::vector<double> across, along;
  if (Shows == TStrikeView::Goods) {
    const TPatternRepeat repeat = PatternRepeat(Pattern);
    const TCellSize& cell = Preview.CellSize();
    const double stepX = repeat.Controls * cell.Across, stepY = repeat.PLines * cell.Along;
    // Whole repeats from the goods' left and from PLine 1, which lies at the bottom.
    if (stepX > 0)
      for (double x = 0; x <= wholeW + 1e-6; x += stepX)
        across.push_back(x);
    if (stepY > 0)
      for (double y = wholeL; y >= -1e-6; y -= stepY)
        along.push_back(y);
  } else {
    for (const TStrikePiece& piece : Struck.Pieces()) {
      across.push_back(piece.X);
      across.push_back(piece.X + piece.Width);
      if (Shows == TStrikeView::Tiles) {
        along.push_back(piece.Y);
        along.push_back(piece.Y + piece.Length);
      }
    }
  }
  auto keep = [](std::vector<double>& edges, double from, double length) {
    std::vector<double> inside;
    for (double edge : edges)
      if (edge >= from - 1e-6 && edge <= from + length + 1e-6)
        inside.push_back(edge);
    std::sort(inside.begin(), inside.end());
    inside.erase(std::unique(inside.begin(), inside.end(),
                             [](double a, double b) { return std::abs(a - b) < 1e-6; }),
                 inside.end());
    edges = std::move(inside);
  };
  keep(across, area.Left, area.Width);
  keep(along, area.Top, area.Length);
  area.EdgesAcross = std::move(across);
  area.EdgesAlong = std::move(along);

  switch (Shows) {
  case TStrikeView::Tiles:
    area.Title = std::string(InstallName(Settings().Install)) + " tiles of " + TileSizeText();
    break;
  case TStrikeView::Broadloom:
    area.Title = "Broadloom " + BroadloomWidthText() + " wide, " +
                 std::string(MatchKey(Settings().Match)) + " match";
    break;
  default:
    area.Title = "Goods";
    break;
  }
  return area;
}

std::string OStrikeOffEditor::PagesQuestion(int columns, int rows, const std::string& paper,
                                            bool print) {
  const int pages = columns * rows;
  return "The part shown takes " + std::to_string(pages) + " pages of " + paper + " (" +
         std::to_string(columns) + " across, " + std::to_string(rows) +
         " down), to be trimmed at their crop marks and taped together. " +
         (print ? "Print them?" : "Save them?");
}

} // namespace quillane
