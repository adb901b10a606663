#pragma once

// The goods as they are installed: cut into carpet tiles and laid in one of the usual ways,
// or as broadloom widths seamed side by side, covering a room at true scale. Where pattern
// fails is at the joins, so each layout says how well its joins match.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "preview/Preview.h"

namespace quillane {

// Lengths as a designer types them: a number and its unit, "500mm", "18 in", "12ft", "4.5 m"
// (mm, m, in, ft; a fraction of an inch as "18.25in"). Answers mm, or none with `problem` in
// the program's words (a number without a unit is refused: 12 could be feet or metres).
std::optional<double> ReadLength(std::string_view text, std::string& problem);
// A rectangle "WxL" with one unit for both or one for each: "9x13m", "9 x 13 m", "30ftx40ft".
// Answers (width, length) in mm.
std::optional<std::pair<double, double>> ReadArea(std::string_view text, std::string& problem);
// A length as the program shows it: "500 mm", "4 m", "18 in", "12 ft", "18.25 in"; in inches
// and feet when `imperial`, in mm below a metre and m from one otherwise.
std::string LengthText(double mm, bool imperial);
// Whether a length or area was typed in inches or feet anywhere ("30ftx40ft", "18 In"), so
// that it is named in them again.
bool TypedImperial(const std::string& text);

// How tiles are laid: all one way; each turned a quarter from its neighbours (tile (column
// i, row j) turned 90 x ((i + j) % 2 + 2 x (j % 2)) degrees clockwise, so that every
// neighbour differs by a quarter and all four turns appear); rows offset by half a tile;
// columns offset by half a tile.
enum class TInstall : uint8_t { Monolithic, QuarterTurn, Ashlar, HalfDrop };
constexpr TInstall AllInstalls[] = {TInstall::Monolithic, TInstall::QuarterTurn, TInstall::Ashlar,
                                    TInstall::HalfDrop};
// "monolithic", "quarter-turn", "ashlar", "half-drop" (as the command line takes them), and
// "Monolithic", "Quarter turn", "Ashlar", "Half drop" (as the window shows them).
std::string_view InstallKey(TInstall install);
std::string_view InstallName(TInstall install);
std::optional<TInstall> ReadInstall(std::string_view key);

// Widths side by side: each starts at the same place of the repeat (set), or each dropped by
// half a repeat against the one before (drop).
enum class TMatch : uint8_t { Set, Drop };
std::string_view MatchKey(TMatch match); // "set", "drop"
std::optional<TMatch> ReadMatch(std::string_view key);

// The repeat the pattern's sections lay inside it, in cells: the step across from one copy to
// the next and the length along, and the PLines a copy to the right is dropped by (0 for a set
// repeat). The pattern's own size where the sections lay none.
struct TPatternRepeat {
  int Controls = 0, PLines = 0, Drop = 0;
  friend bool operator==(const TPatternRepeat&, const TPatternRepeat&) = default;
};
TPatternRepeat PatternRepeat(const OPattern& pattern);

// What a broadloom width makes of the repeat across: the whole repeats it holds, the selvage
// left on each side when they are centred, and how far one more repeat would not fit, spread
// over the repeats (an 18 1/4 in repeat across a 12 ft width: 7 repeats, 8 1/8 in selvage; 8
// repeats come out 1/4 in short each). Every cut is one repeat longer than the room so that
// the widths can be matched: that repeat is the goods wasted per cut.
struct TRepeatFit {
  double RepeatAcrossMm = 0, RepeatAlongMm = 0;
  int RepeatsAcross = 0;
  double SelvageMm = 0;        // each side
  double ShortPerRepeatMm = 0; // for RepeatsAcross + 1 repeats to fill the width
  double WastePerCutMm = 0;
};
TRepeatFit RepeatFit(const TPatternRepeat& repeat, const TCellSize& cell, double widthMm);
// The same for a pattern's own repeat and spacings.
TRepeatFit RepeatFit(const OPattern& pattern, double widthMm);

// What a strike-off shows. A room of 0 x 0 takes a default: four by four tiles, or three
// widths two repeats (at least one width) long.
struct TStrikeOffSettings {
  enum class TKind : uint8_t { Tiles, Broadloom } Kind = TKind::Tiles;
  double TileMm = 500;
  TInstall Install = TInstall::Monolithic;
  double WidthMm = 3657.6; // 12 ft
  TMatch Match = TMatch::Set;
  // Across a whole width: the middle of a PLine's line lies BowMm further along than its ends
  // (a bow), and its right end SkewMm further along than its left (a skew). The tolerances
  // mills hold to, 1 in over 12 ft and 2 in, are DefaultBow(WidthMm) and DefaultSkewMm.
  double BowMm = 0, SkewMm = 0;
  double RoomWidthMm = 0, RoomLengthMm = 0;
  bool Joins = true; // thin lines along the joins and seams
  friend bool operator==(const TStrikeOffSettings&, const TStrikeOffSettings&) = default;
};
double DefaultBow(double widthMm);
constexpr double DefaultSkewMm = 50.8;

// One tile or width as it lies in the room, in mm from the room's top left (x across, y
// along, down the picture): its rectangle before it is cut at the room's edges, the quarter
// turns (clockwise) it is laid at, and where in the goods its own top left comes from (the
// goods as the plain preview shows them, mm from their top left, PLine 1 at the bottom).
struct TStrikePiece {
  double X = 0, Y = 0, Width = 0, Length = 0;
  int Turns = 0;
  double GoodsX = 0, GoodsY = 0;
};

// The share (0 to 1) of tufts along the joins whose tuft (colour or pile) differs from the one
// across the join; Tufts is how many were compared.
struct TEdgeMatch {
  double Share = 0;
  int64_t Tufts = 0;
};

// A strike-off of the preview's pattern, as pixels of the room at any scale. It reads the
// preview's colours and piles when drawn, so a preview refreshed after a change is followed
// by the strike-off drawn after it.
class OStrikeOff : public OCarpetPicture {
public:
  OStrikeOff(const OPreview& preview, const TStrikeOffSettings& settings);
  void SetSettings(const TStrikeOffSettings& settings);
  const TStrikeOffSettings& Settings() const { return Chosen; }

  // The room in mm, its default when the settings give none.
  double RoomWidth() const { return RoomW; }
  double RoomLength() const { return RoomL; }
  // Every tile or width that covers some of the room.
  const std::vector<TStrikePiece>& Pieces() const { return Laid; }

  int64_t GoodsWidth(double scale) const override;
  int64_t GoodsHeight(double scale) const override;
  double FitScale(int width, int height) const override;
  void Render(const TPreviewView& view, uint32_t* pixels, const TPixelRect& area) const override;
  std::vector<TPixelRect> PixelsOfCells(const TPreviewView& view,
                                        const TRect& cells) const override;
  const TCellSize& CellSize() const override { return Preview.CellSize(); }

  // How well the joins of this layout match, over one whole period of the layout.
  TEdgeMatch EdgeMatch() const;
  // Where a tile cuts the pattern, in the program's words: "The tile holds 2 x 3 repeats" or
  // "The tile cuts the repeat at control 197 of 200 and PLine 197 of 300" (empty for widths).
  std::string TileCut() const;

  uint32_t Background = 0xFF3C3C3C;
  uint32_t JoinColour = 0xFF202020;

private:
  const OPreview& Preview;
  TStrikeOffSettings Chosen;
  double RoomW = 0, RoomL = 0;
  std::vector<TStrikePiece> Laid;
  // A tile's side, or a width as trimmed; half the repeat along; the preview's goods length
  // when laid, which the pieces' goods are measured from.
  double Tile = 500, HalfRepeatMm = 0, Bow = 0, Skew = 0;
  int64_t GoodsPLines = 0;
  void Lay();
  std::vector<TStrikePiece> LayOver(double roomW, double roomL) const;
  // A point of the room in a piece, as the goods cell it shows (row 0 at PLine 1) and where in
  // that cell, in shape steps.
  struct TGoodsPoint {
    int64_t X = 0, Row = 0;
    int U = 0, V = 0;
  };
  TGoodsPoint GoodsPointOf(const TStrikePiece& piece, double x, double y) const;
  // Along a line of the room through a piece, the goods cell at lx mm from the piece's left:
  // cells X0 + X1 lx across and Y0 + Y1 lx along from the goods' top, less the bow and skew
  // of a width.
  struct TLine {
    double X0 = 0, X1 = 0, Y0 = 0, Y1 = 0;
    double Bow = 0, Skew = 0, Width = 0; // cells along; mm
    TGoodsPoint At(double lx, int64_t goodsPLines) const;
  };
  TLine LineOf(const TStrikePiece& piece, double y) const;
  const TStrikePiece* PieceAt(const std::vector<TStrikePiece>& pieces, double x, double y) const;
};

// The edge match of tiles of this size in every installation, in the order of AllInstalls.
std::vector<TEdgeMatch> EdgeMatchOfInstalls(const OPreview& preview, double tileMm);

} // namespace quillane
