#pragma once

// The Preview window's strike-off, without the widgets: what it shows (the goods, tiles or
// broadloom), which fields mean something for that, the sizes as typed with their units,
// the texts beside the choices, the scale bar, and what Print and Export ask. The window
// shows these and forwards what the user types.
#include <string>
#include <vector>

#include "preview/StrikeOff.h"

namespace quillane {

enum class TStrikeView : uint8_t { Goods, Tiles, Broadloom };

// A round length (1, 2 or 5 of a metric unit; a fraction of an inch, inches or feet) that is
// 80 to 200 pixels long at `scale` pixels per mm, the longest such, and its label ("50 cm",
// "1 ft", "1/4 in").
struct TScaleBar {
  double Mm = 0;
  int Pixels = 0;
  std::string Label;
  friend bool operator==(const TScaleBar&, const TScaleBar&) = default;
};
TScaleBar ScaleBarAt(double scale, bool imperial);

// "12.5% differ" beside an installation: the share of tufts along the joins that differ
// from the one across, never rounded down to a match that is not one.
std::string EdgeMatchText(const TEdgeMatch& match);

// The part of the picture a print carries at true size, and where its repeat (or tiles, or
// widths) begins and ends inside it: all in mm from the picture's top left, as the print
// takes them.
struct TPrintArea {
  double Left = 0, Top = 0, Width = 0, Length = 0;
  std::vector<double> EdgesAcross, EdgesAlong;
  std::string Title;
};

class OStrikeOffEditor {
public:
  OStrikeOffEditor(const OPattern& pattern, const OPreview& preview);
  OStrikeOffEditor(const OStrikeOffEditor&) = delete;
  OStrikeOffEditor& operator=(const OStrikeOffEditor&) = delete;

  const OPattern& Pattern;
  const OPreview& Preview;

  TStrikeView View() const { return Shows; }
  void SetView(TStrikeView view);
  // The picture the window shows: the preview's goods or the strike-off.
  const OCarpetPicture& Picture() const;
  const OStrikeOff& StrikeOff() const { return Struck; }

  // Which fields mean something for what is shown.
  bool GoodsFieldsEnabled() const { return Shows == TStrikeView::Goods; }
  bool TileFieldsEnabled() const { return Shows == TStrikeView::Tiles; }
  bool BroadloomFieldsEnabled() const { return Shows == TStrikeView::Broadloom; }
  bool RoomFieldsEnabled() const { return Shows != TStrikeView::Goods; }

  // The sizes offered in the lists, as the lists show them.
  static const std::vector<std::string>& TileSizes();
  static const std::vector<std::string>& BroadloomWidths();

  // Each typed field answers "" when it took the text, else the message to show; the setting
  // stays as it was then. An empty room is the default room.
  std::string SetTileSize(const std::string& text);
  std::string SetBroadloomWidth(const std::string& text);
  std::string SetBow(const std::string& text);
  std::string SetSkew(const std::string& text);
  std::string SetRoom(const std::string& text);
  void SetInstall(TInstall install);
  void SetMatch(TMatch match);
  void SetJoins(bool shown);

  // The fields' texts as the window shows them, in the units they were typed in.
  std::string TileSizeText() const;
  std::string BroadloomWidthText() const;
  std::string BowText() const;
  std::string SkewText() const;
  std::string RoomText() const; // "" for the default room
  const TStrikeOffSettings& Settings() const { return Struck.Settings(); }

  // After the pattern or the preview changed: the scores and texts are worked out again.
  void Refresh();

  // Beside each installation, in the order of AllInstalls, while tiles are shown.
  const std::vector<std::string>& InstallScores() const { return Scores; }
  // Where the tile cuts the pattern; the repeat fit of the broadloom width; "" otherwise.
  std::string TileCutText() const;
  std::string RepeatFitText() const;

  // The scale bar for the box at `scale` pixels per mm, in the units of the room, else of the
  // tiles or widths shown.
  TScaleBar ScaleBar(double scale) const { return ScaleBarAt(scale, Imperial()); }

  // Exporting and printing: the name the file is offered under (after the pattern's), the
  // dialog's title, and the part of the picture the box shows at `view`, which a print
  // carries at true size.
  std::string ExportSuffix() const;
  std::string ExportTitle() const;
  TPrintArea PrintArea(const TPreviewView& view) const;
  // The question before a print, or a PDF, of several pages.
  static std::string PagesQuestion(int columns, int rows, const std::string& paper, bool print);

private:
  TStrikeView Shows = TStrikeView::Goods;
  OStrikeOff Struck;
  bool TileImperial = false, WidthImperial = true, RoomImperial = false;
  bool BowTyped = false;
  std::vector<std::string> Scores;
  double ScoredTileMm = -1;
  bool Imperial() const;
  void Change(const TStrikeOffSettings& settings);
  void Score();
};

} // namespace quillane
