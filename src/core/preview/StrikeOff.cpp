#include "preview/StrikeOff.h"

#include <algorithm>

#include "model/Pattern.h"

namespace quillane {

std::optional<double> ReadLength(std::string_view, std::string& problem) {
  problem = "not built yet";
  return std::nullopt;
}

std::optional<std::pair<double, double>> ReadArea(std::string_view, std::string& problem) {
  problem = "not built yet";
  return std::nullopt;
}

std::string LengthText(double mm, bool) {
  return std::to_string(mm) + " mm";
}

std::string_view InstallKey(TInstall) {
  return "monolithic";
}
std::string_view InstallName(TInstall) {
  return "Monolithic";
}
std::optional<TInstall> ReadInstall(std::string_view) {
  return std::nullopt;
}
std::string_view MatchKey(TMatch) {
  return "set";
}
std::optional<TMatch> ReadMatch(std::string_view) {
  return std::nullopt;
}

TPatternRepeat PatternRepeat(const OPattern& pattern) {
  return {pattern.NoControls, pattern.NoPLines, 0};
}

TRepeatFit RepeatFit(const TPatternRepeat&, const TCellSize&, double) {
  return {};
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
