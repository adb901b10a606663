#include "InterchangeSupport.h"
#include "PatternSupport.h"

#include <cmath>
#include <tuple>

#include "preview/StrikeOff.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "wizards/Wizards.h"

namespace quillane::test {
namespace {

TEST(StrikeOffLengths, ALengthNeedsItsUnitAndAPlausibleSize) {
  struct TCase {
    const char* Text;
    double Mm; // 0: refused
    const char* Problem;
  };
  const TCase cases[] = {
      {"500mm", 500, ""},
      {"18 in", 457.2, ""},
      {" 12ft ", 3657.6, ""},
      {"4.5 m", 4500, ""},
      {"18.25in", 463.55, ""},
      {"2 FT", 609.6, ""},
      {"12", 0, "\"12\" needs a unit: mm, m, in or ft"},
      {"12 km", 0, "\"12 km\" needs a unit: mm, m, in or ft"},
      {"", 0, "\"\" needs a unit: mm, m, in or ft"},
      {"0 mm", 0, "\"0 mm\" is no length: it must be more than 0"},
      {"-3m", 0, "\"-3m\" is no length: it must be more than 0"},
      {"nan m", 0, "\"nan m\" is not a length"},
      {"inf ft", 0, "\"inf ft\" is not a length"},
      {"1e400 mm", 0, "\"1e400 mm\" is not a length"},
      {"1001 m", 0, "\"1001 m\" is longer than 1 km"},
      {"3.2.1 m", 0, "\"3.2.1 m\" is not a length"},
      {"m", 0, "\"m\" is not a length"},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Text);
    std::string problem = "left over";
    const std::optional<double> mm = ReadLength(k.Text, problem);
    EXPECT_EQ(problem, k.Problem);
    ASSERT_EQ(mm.has_value(), k.Mm > 0);
    if (mm) {
      EXPECT_NEAR(*mm, k.Mm, 1e-9);
    }
  }
}

TEST(StrikeOffLengths, AnAreaTakesOneUnitForBothOrOneForEach) {
  struct TCase {
    const char* Text;
    double Width, Length; // 0: refused
  };
  const TCase cases[] = {{"9x13m", 9000, 13000},
                         {"9 x 13 m", 9000, 13000},
                         {"30ftx40ft", 9144, 12192},
                         {"2m X 500mm", 2000, 500},
                         {"9mx13", 0, 0},
                         {"9x13", 0, 0},
                         {"13 m", 0, 0},
                         {"0x13m", 0, 0},
                         {"9x2000m", 0, 0},
                         {"x13m", 0, 0}};
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Text);
    std::string problem;
    const auto area = ReadArea(k.Text, problem);
    ASSERT_EQ(area.has_value(), k.Width > 0) << problem;
    EXPECT_EQ(problem.empty(), k.Width > 0);
    if (area) {
      EXPECT_NEAR(area->first, k.Width, 1e-9);
      EXPECT_NEAR(area->second, k.Length, 1e-9);
    }
  }
}

TEST(StrikeOffLengths, ALengthIsShownInTheUnitsItIsNamedIn) {
  for (const auto& [mm, imperial, text] : {std::tuple{500.0, false, "500 mm"},
                                           {4000.0, false, "4 m"},
                                           {3657.6, false, "3.658 m"},
                                           {457.2, true, "18 in"},
                                           {3657.6, true, "12 ft"},
                                           {463.55, true, "18.25 in"},
                                           {206.375, true, "8.125 in"},
                                           {609.6, true, "24 in"},
                                           {12.25, false, "12.3 mm"}}) {
    EXPECT_EQ(LengthText(mm, imperial), text) << mm;
    // What is shown reads back.
    std::string problem;
    const std::optional<double> back = ReadLength(LengthText(mm, imperial), problem);
    ASSERT_TRUE(back) << problem;
    EXPECT_NEAR(*back, mm, 0.6);
  }
}

TEST(StrikeOffLengths, InstallsAndMatchesReadBackTheirKeys) {
  for (TInstall install : AllInstalls)
    EXPECT_EQ(ReadInstall(InstallKey(install)), install);
  EXPECT_EQ(InstallKey(TInstall::QuarterTurn), "quarter-turn");
  EXPECT_EQ(InstallName(TInstall::HalfDrop), "Half drop");
  EXPECT_EQ(ReadInstall("Ashlar"), std::nullopt);
  for (TMatch match : {TMatch::Set, TMatch::Drop})
    EXPECT_EQ(ReadMatch(MatchKey(match)), match);
  EXPECT_EQ(ReadMatch("half"), std::nullopt);
}

// A repeat of 73 quarter-inch needles is 18 1/4 in: seven fit across 12 ft with 8 1/8 in each
// side, and eight would come out a quarter inch short each.
TEST(StrikeOffRepeat, TheRepeatFitOfAWidth) {
  struct TCase {
    const char* Name;
    TPatternRepeat Repeat;
    double WidthMm;
    int Repeats;
    double SelvageIn, ShortIn, WasteIn;
  };
  const TCase cases[] = {
      {"the published example", {73, 40, 0}, 3657.6, 7, 8.125, 0.25, 10},
      {"whole repeats", {48, 8, 0}, 3657.6, 12, 0, 12.0 / 13, 2},
      {"a repeat wider than the width", {600, 4, 0}, 3657.6, 0, 72, 6, 1},
      {"no width", {73, 40, 0}, 0, 0, 0, 0, 10},
      {"no repeat", {0, 0, 0}, 3657.6, 0, 0, 0, 0},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Name);
    const TRepeatFit fit = RepeatFit(k.Repeat, {6.35, 6.35}, k.WidthMm);
    EXPECT_EQ(fit.RepeatsAcross, k.Repeats);
    EXPECT_NEAR(fit.RepeatAcrossMm, k.Repeat.Controls * 6.35, 1e-9);
    EXPECT_NEAR(fit.SelvageMm / 25.4, k.SelvageIn, 1e-9);
    EXPECT_NEAR(fit.ShortPerRepeatMm / 25.4, k.ShortIn, 1e-9);
    EXPECT_NEAR(fit.WastePerCutMm / 25.4, k.WasteIn, 1e-9);
  }
}

TEST(StrikeOffRepeat, TheRepeatIsReadFromTheSections) {
  struct TCase {
    const char* Name;
    std::unique_ptr<OPattern> Pattern;
    TPatternRepeat Repeat;
  };
  TCase cases[] = {
      {"no sections", BarePattern(30, 20), {30, 20, 0}},
      // Tiles of 6 x 3 with the second band half a tile across: half a tile dropped a band.
      {"half drop", GenerateWizard(THalfDropWizard{24, 6, 6, 3, false, 1, 1}), {3, 6, 3}},
      {"centred half drop", GenerateWizard(THalfDropWizard{20, 10, 6, 5, true, 1, 1}), {3, 10, 5}},
      // An odd tile's bands do not interlock exactly: the tile across is the repeat.
      {"odd half drop", GenerateWizard(THalfDropWizard{21, 8, 7, 4, false, 1, 1}), {7, 8, 0}},
      {"repeats", GenerateWizard(TRepeatsWizard{24, 12, 6, 4, 1}), {6, 4, 0}},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Name);
    EXPECT_EQ(PatternRepeat(*k.Pattern), k.Repeat);
  }
}

// A two-state pattern of 1 mm tufts; rows from PLine 1, '1' High and '2' Low, in grey and
// red (or both grey: only the pile tells them apart).
std::unique_ptr<OPattern> PatternOf(const std::vector<const char*>& rows, bool grey = false) {
  auto p = MakePattern(0, static_cast<uint16_t>(std::strlen(rows[0])),
                       static_cast<uint16_t>(rows.size()), 1);
  p->Settings->NeedleSpacing = p->Settings->PLineSpacing = 1.0f;
  p->Palette->SetColour(1, 0x808080);
  p->Palette->SetColour(2, 0x0000FF);
  p->MachineTable->SetColour(1, 1, 1);
  p->MachineTable->SetColour(1, 2, grey ? 1 : 2);
  p->MachineTable->Validate();
  SetCells(*p, rows);
  return p;
}

// No symmetry: every turn and shift of it shows.
const std::vector<const char*> Motif = {"1121", "2111", "1212", "2221", "1122"};

struct TImage {
  int Width = 0, Height = 0;
  std::vector<uint32_t> Pixels;
  uint32_t At(int x, int y) const {
    return Pixels[static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)];
  }
};

TImage Whole(const OCarpetPicture& picture, double scale) {
  TImage image{static_cast<int>(picture.GoodsWidth(scale)),
               static_cast<int>(picture.GoodsHeight(scale)),
               {}};
  image.Pixels.assign(static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height), 0);
  picture.Render({scale, 0, 0, image.Width, image.Height}, image.Pixels.data(),
                 {0, 0, image.Width, image.Height});
  return image;
}

TStrikeOffSettings TilesOf(double tileMm, TInstall install, double room = 0) {
  TStrikeOffSettings s;
  s.TileMm = tileMm;
  s.Install = install;
  s.RoomWidthMm = s.RoomLengthMm = room;
  s.Joins = false;
  return s;
}

// Each installation is the one tile, drawn on its own, laid by its rule: turned a quarter at a
// time in the checkerboard order, rows or columns shifted by half. Tufts are whole pixels, and
// at 64 pixels a tuft their shapes turn with the tile.
TEST(StrikeOffLayout, EachInstallationIsTheTileLaidByItsRule) {
  struct TCase {
    TInstall Install;
    double TileMm, Scale;
  };
  const TCase cases[] = {{TInstall::Monolithic, 6, 4},  {TInstall::QuarterTurn, 6, 4},
                         {TInstall::Ashlar, 6, 4},      {TInstall::HalfDrop, 6, 4},
                         {TInstall::QuarterTurn, 2, 4}, {TInstall::Ashlar, 4, 2},
                         {TInstall::QuarterTurn, 2, 64}};
  auto p = PatternOf(Motif);
  const OPreview preview(*p);
  for (const TCase& k : cases) {
    SCOPED_TRACE(std::string(InstallKey(k.Install)) + " " + std::to_string(k.TileMm) + " mm at " +
                 std::to_string(k.Scale));
    const TImage tile =
        Whole(OStrikeOff(preview, TilesOf(k.TileMm, TInstall::Monolithic, k.TileMm)), k.Scale);
    const int n = tile.Width, half = n / 2;
    ASSERT_EQ(tile.Height, n);
    const TImage room = Whole(OStrikeOff(preview, TilesOf(k.TileMm, k.Install)), k.Scale);
    ASSERT_EQ(room.Width, 4 * n);
    ASSERT_EQ(room.Height, 4 * n);
    int wrong = 0;
    for (int y = 0; y < room.Height; ++y)
      for (int x = 0; x < room.Width; ++x) {
        int tx = x, ty = y;
        if (k.Install == TInstall::Ashlar && (y / n) % 2)
          tx += half;
        if (k.Install == TInstall::HalfDrop && (x / n) % 2)
          ty += half;
        const int i = tx / n, j = ty / n, u = tx % n, v = ty % n;
        const int turns = k.Install == TInstall::QuarterTurn ? (i + j) % 2 + 2 * (j % 2) : 0;
        // The tile turned clockwise: where each of its pixels came from.
        const auto [sx, sy] = turns == 1   ? std::pair{v, n - 1 - u}
                              : turns == 2 ? std::pair{n - 1 - u, n - 1 - v}
                              : turns == 3 ? std::pair{n - 1 - v, u}
                                           : std::pair{u, v};
        wrong += room.At(x, y) != tile.At(sx, sy);
      }
    EXPECT_EQ(wrong, 0);
  }
}

// A tile as large as the pattern shows what the preview shows, but for the tufts along its
// left and top edges: copies of the pattern lie beside them on the floor, and shade them.
TEST(StrikeOffLayout, ATileShowsTheGoodsFromPLineOne) {
  auto p = PatternOf(Motif);
  const OPreview preview(*p);
  const TImage goods = Whole(preview, 8);
  for (const auto& [tileMm, shift] : {std::pair{5.0, 0}, {3.0, 2}, {10.0, -5}}) {
    SCOPED_TRACE(tileMm);
    const TImage tile =
        Whole(OStrikeOff(preview, TilesOf(tileMm, TInstall::Monolithic, tileMm)), 8);
    int wrong = 0, compared = 0;
    // Tile pixel (x, y) shows goods pixel (x, y + 8 x shift), the goods repeated.
    for (int y = 0; y < tile.Height; ++y)
      for (int x = 0; x < tile.Width; ++x) {
        const int gx = x % goods.Width,
                  gy = ((y + 8 * shift) % goods.Height + goods.Height) % goods.Height;
        if (gx < 8 || gy < 8)
          continue;
        ++compared;
        wrong += tile.At(x, y) != goods.At(gx, gy);
      }
    EXPECT_GT(compared, 0);
    EXPECT_EQ(wrong, 0);
  }
}

TEST(StrikeOffLayout, JoinsAreLinesBetweenThePieces) {
  auto p = PatternOf(Motif);
  const OPreview preview(*p);
  TStrikeOffSettings s = TilesOf(5, TInstall::Ashlar);
  s.Joins = true;
  const OStrikeOff room(preview, s);
  const TImage image = Whole(room, 2);
  // 10-pixel tiles, odd rows half a tile along.
  for (int y = 0; y < image.Height; ++y)
    for (int x = 0; x < image.Width; ++x) {
      const int shifted = (y / 10) % 2 ? x + 5 : x;
      const bool join = (y % 10 == 0 && y > 0) || (shifted % 10 == 0 && shifted > 0);
      ASSERT_EQ(image.At(x, y) == room.JoinColour, join) << x << "," << y;
    }
}

// Widths of a chosen width trimmed to whole repeats, each dropped by half a repeat against the
// one before in drop match; bow and skew move a PLine's line further along at the middle and at
// the right end of each width.
TEST(StrikeOffLayout, BroadloomWidthsAreTrimmedDroppedAndDistorted) {
  auto p = PatternOf(Motif);
  const OPreview preview(*p);
  TStrikeOffSettings s;
  s.Kind = TStrikeOffSettings::TKind::Broadloom;
  s.WidthMm = 9.5; // two repeats of 4 mm
  s.RoomWidthMm = 20;
  s.RoomLengthMm = 10;
  s.Joins = false;
  const OStrikeOff set(preview, s);
  ASSERT_EQ(set.Pieces().size(), 3u);
  EXPECT_EQ(set.Pieces()[2].X, 16);
  EXPECT_EQ(set.Pieces()[2].Width, 8);
  s.Match = TMatch::Drop;
  const OStrikeOff drop(preview, s);
  const TImage flat = Whole(set, 4), dropped = Whole(drop, 4);
  // The second width half a repeat (2.5 mm, 10 pixels) on.
  int wrong = 0;
  for (int y = 0; y < flat.Height; ++y)
    for (int x = 0; x < flat.Width; ++x) {
      const bool second = x >= 32 && x < 64;
      const int from = second ? y + 10 : y;
      if (from < flat.Height)
        wrong += dropped.At(x, y) != flat.At(x, from);
    }
  EXPECT_EQ(wrong, 0);
  // A bow of 1 mm (4 pixels) in the middle of the 8 mm width; a skew of 2 mm at its end.
  for (const auto& [bow, skew, column, rows] :
       {std::tuple{1.0, 0.0, 16, 4}, {0.0, 2.0, 31, 8}, {0.0, 0.0, 16, 0}}) {
    SCOPED_TRACE(std::to_string(bow) + " " + std::to_string(skew) + " " + std::to_string(column));
    s.Match = TMatch::Set;
    s.BowMm = bow;
    s.SkewMm = skew;
    const TImage bent = Whole(OStrikeOff(preview, s), 4);
    int moved = 0;
    for (int y = 0; y + rows < flat.Height; ++y)
      moved += bent.At(column, y + rows) != flat.At(column, y);
    EXPECT_EQ(moved, 0);
  }
}

// The share of tufts along the joins that differ from the tuft across, known by reasoning on
// the tile: a pattern in quarters a b / b a laid monolithic differs at every join, turned a
// quarter at none; rows or columns shifted by half match along one way only (14 of 26 tile
// sides of a block of 4 x 4 differ). Halves a | b differ at every side-by-side join, and
// turned a quarter, at half of every join.
TEST(StrikeOffEdges, TheEdgeMatchOfEachInstallation) {
  struct TCase {
    const char* Name;
    std::vector<const char*> Rows;
    std::vector<double> Shares; // in the order of AllInstalls
    bool Grey = false;
  };
  const TCase cases[] = {
      {"plain", {"1111", "1111"}, {0, 0, 0, 0}},
      {"quarters", {"1122", "1122", "2211", "2211"}, {1, 0, 7.0 / 13, 7.0 / 13}},
      {"halves", {"1122", "1122", "1122", "1122"}, {0.5, 0.5, 1, 6.0 / 13}},
      {"halves in one colour", {"1122", "1122", "1122", "1122"}, {0.5, 0.5, 1, 6.0 / 13}, true},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Name);
    auto p = PatternOf(k.Rows, k.Grey);
    const OPreview preview(*p);
    const double tile = std::strlen(k.Rows[0]);
    const std::vector<TEdgeMatch> all = EdgeMatchOfInstalls(preview, tile);
    ASSERT_EQ(all.size(), 4u);
    for (size_t i = 0; i < all.size(); ++i) {
      EXPECT_NEAR(all[i].Share, k.Shares[i], 1e-12) << InstallKey(AllInstalls[i]);
      // Each tile side inside the block, a sample a tuft.
      EXPECT_EQ(all[i].Tufts, i < 2 ? 24 * tile : 26 * tile) << InstallKey(AllInstalls[i]);
    }
  }
}

// A half-drop wizard's tile of 6 x 3 reads a a b | b a a across (each half mirrors the other's
// edges), so its repeat is half a tile across dropped by a band: a width of an odd number of
// half tiles matches its neighbour dropped by half a repeat, an even number set.
TEST(StrikeOffEdges, AHalfDropPatternMatchesAtItsSeamsInTheRightMatch) {
  auto p = GenerateWizard(THalfDropWizard{24, 6, 6, 3, false, 1, 1});
  p->Settings->NeedleSpacing = p->Settings->PLineSpacing = 1.0f;
  for (int c = 1; c <= p->NoControls; ++c)
    p->Creel->SetYarnType(c, 1);
  const OPicture& picture = *p->Pictures->Get(0);
  const TRect tile = picture.Regions.Get(picture.Regions.Count() - 1)->PatternArea;
  ASSERT_EQ(tile.Right - tile.Left, 5);
  for (int c = tile.Left; c <= tile.Right; ++c)
    for (int l = tile.Top; l <= tile.Bottom; ++l)
      p->SetState(c, l, c - tile.Left == 2 || c - tile.Left == 3 ? 2 : 1);
  p->ApplySections();
  const OPreview preview(*p);
  struct TCase {
    double WidthMm;
    TMatch Match;
    double SkewMm;
    bool Matches;
  };
  const TCase cases[] = {{9, TMatch::Drop, 0, true},   {9, TMatch::Set, 0, false},
                         {10, TMatch::Drop, 0, true},  {12, TMatch::Set, 0, true},
                         {12, TMatch::Drop, 0, false}, {9, TMatch::Drop, 3, false}};
  for (const TCase& k : cases) {
    SCOPED_TRACE(std::to_string(k.WidthMm) + " " + std::string(MatchKey(k.Match)));
    TStrikeOffSettings s;
    s.Kind = TStrikeOffSettings::TKind::Broadloom;
    s.WidthMm = k.WidthMm;
    s.Match = k.Match;
    s.SkewMm = k.SkewMm;
    const TEdgeMatch match = OStrikeOff(preview, s).EdgeMatch();
    // Two seams two repeats (12 PLines) long.
    EXPECT_EQ(match.Tufts, 24);
    if (k.Matches)
      EXPECT_EQ(match.Share, 0);
    else
      EXPECT_GT(match.Share, 0.4);
  }
}

TEST(StrikeOffLayout, WhereTheTileCutsTheRepeat) {
  struct TCase {
    int Controls, PLines;
    double Spacing, TileMm;
    const char* Text;
  };
  const TCase cases[] = {
      {200, 300, 2.54, 500, "The tile cuts the repeat at control 197 of 200 and PLine 197 of 300"},
      {10, 5, 1, 20, "The tile holds 2 x 4 repeats"},
      {8, 5, 1, 20, "The tile cuts the repeat at control 4 of 8"},
      {10, 30, 1, 20, "The tile cuts the repeat at PLine 20 of 30"},
      {10, 5, 1, 4.5, "The tile cuts the repeat at control 5 of 10 and PLine 5 of 5"},
      {10, 5, 1, 0.005, "The tile cuts the repeat at control 1 of 10 and PLine 1 of 5"},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Text);
    auto p = BarePattern(k.Controls, k.PLines);
    p->Settings->NeedleSpacing = p->Settings->PLineSpacing = static_cast<float>(k.Spacing);
    const OPreview preview(*p);
    TStrikeOffSettings s = TilesOf(k.TileMm, TInstall::Monolithic);
    EXPECT_EQ(OStrikeOff(preview, s).TileCut(), k.Text);
    s.Kind = TStrikeOffSettings::TKind::Broadloom;
    EXPECT_EQ(OStrikeOff(preview, s).TileCut(), "");
  }
}

// The pieces cover the room, however it is asked for; nonsense takes the defaults, and a room
// of crumbs takes bigger tiles rather than all the memory there is.
TEST(StrikeOffLayout, ThePiecesCoverTheRoom) {
  auto p = PatternOf(Motif);
  const OPreview preview(*p);
  const double nan = std::nan("");
  struct TCase {
    const char* Name;
    TStrikeOffSettings::TKind Kind;
    TInstall Install;
    double TileOrWidth, RoomW, RoomL;
    double ShownW, ShownL;
    size_t Pieces;
  };
  using K = TStrikeOffSettings::TKind;
  const TCase cases[] = {
      {"four by four", K::Tiles, TInstall::Monolithic, 500, 0, 0, 2000, 2000, 16},
      {"cut at the edges", K::Tiles, TInstall::Monolithic, 500, 1200, 1000, 1200, 1000, 6},
      {"ashlar rows start outside", K::Tiles, TInstall::Ashlar, 500, 1000, 1000, 1000, 1000, 5},
      {"half-drop columns too", K::Tiles, TInstall::HalfDrop, 500, 1000, 1000, 1000, 1000, 5},
      {"no tile size", K::Tiles, TInstall::Monolithic, nan, -5, nan, 2000, 2000, 16},
      {"crumbs", K::Tiles, TInstall::QuarterTurn, 1e-9, 1e6, 1e6, 1e6, 1e6, 1u << 20},
      {"three widths", K::Broadloom, TInstall::Monolithic, 9.5, 0, 0, 24, 10, 3},
      {"a width wider than the room", K::Broadloom, TInstall::Monolithic, 3, 2, 1, 2, 1, 1},
      {"no width", K::Broadloom, TInstall::Monolithic, -1, 1e300, 0, 1e6, 3657.6, 274},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Name);
    TStrikeOffSettings s;
    s.Kind = k.Kind;
    s.Install = k.Install;
    s.TileMm = s.WidthMm = k.TileOrWidth;
    s.RoomWidthMm = k.RoomW;
    s.RoomLengthMm = k.RoomL;
    const OStrikeOff room(preview, s);
    EXPECT_DOUBLE_EQ(room.RoomWidth(), k.ShownW);
    EXPECT_DOUBLE_EQ(room.RoomLength(), k.ShownL);
    EXPECT_LE(room.Pieces().size(), k.Pieces);
    EXPECT_GE(room.Pieces().size(), k.Pieces * 9 / 10);
    double covered = 0;
    for (const TStrikePiece& piece : room.Pieces())
      covered += (std::min(piece.X + piece.Width, k.ShownW) - std::max(piece.X, 0.0)) *
                 (std::min(piece.Y + piece.Length, k.ShownL) - std::max(piece.Y, 0.0));
    EXPECT_NEAR(covered, k.ShownW * k.ShownL, 1e-6 * k.ShownW * k.ShownL);
  }
}

// A cell's change shows wherever it is laid, turned or dropped: every pixel it changes is in
// what the strike-off says to draw again.
TEST(StrikeOffLayout, AChangedCellIsRedrawnInEveryPiece) {
  for (int kind = 0; kind < 6; ++kind) {
    SCOPED_TRACE(kind);
    auto p = PatternOf(Motif);
    OPreview preview(*p);
    TStrikeOffSettings s = TilesOf(kind == 5 ? 3 : 7, AllInstalls[kind % 4], 30);
    if (kind == 4) {
      s.Kind = TStrikeOffSettings::TKind::Broadloom;
      s.WidthMm = 9;
      s.Match = TMatch::Drop;
      s.BowMm = 2;
    }
    const OStrikeOff room(preview, s);
    const TPreviewView view{3, 7, 5, 80, 70};
    std::vector<uint32_t> before(80 * 70), after(80 * 70);
    room.Render(view, before.data(), {0, 0, 80, 70});
    p->SetState(3, 2, p->GetState(3, 2) == 1 ? 2 : 1);
    preview.Refresh();
    room.Render(view, after.data(), {0, 0, 80, 70});
    const std::vector<TPixelRect> redrawn = room.PixelsOfCells(view, {3, 2, 3, 2});
    int changed = 0, missed = 0;
    for (int y = 0; y < 70; ++y)
      for (int x = 0; x < 80; ++x)
        if (before[static_cast<size_t>(y * 80 + x)] != after[static_cast<size_t>(y * 80 + x)]) {
          ++changed;
          missed += std::none_of(redrawn.begin(), redrawn.end(), [&](const TPixelRect& r) {
            return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
          });
        }
    EXPECT_EQ(missed, 0);
    // A 3 mm tile does not reach PLine 2's cell at control 3... it shows controls 1 to 3.
    EXPECT_GT(changed, 0);
  }
}

// A view anywhere, at any scale, even none, draws only the pixels asked for.
TEST(StrikeOffLayout, HostileViewsDrawOnlyWhatIsAsked) {
  auto p = PatternOf(Motif);
  const OPreview preview(*p);
  const OStrikeOff room(preview, TilesOf(4, TInstall::QuarterTurn));
  for (const auto& [scale, left, top] : {std::tuple{0.0, 0, 0},
                                         {-1.0, 0, 0},
                                         {std::nan(""), 0, 0},
                                         {1e-9, 0, 0},
                                         {4.0, -1000000, -5},
                                         {4.0, int64_t{1} << 40, 3},
                                         {1e6, 5000000, 5000000}}) {
    SCOPED_TRACE(scale);
    std::vector<uint32_t> pixels(20 * 10, 7);
    room.Render({scale, left, top, 20, 10}, pixels.data(), {-5, 2, 30, 5});
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 20; ++x)
        EXPECT_EQ(pixels[static_cast<size_t>(y * 20 + x)] == 7, y < 2 || y >= 5) << x << "," << y;
  }
}

} // namespace
} // namespace quillane::test
