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

TEST(StrikeOffLengths, LengthsAndAreasNeedTheirUnitsAndAPlausibleSize) {
  for (const auto& [text, mm] :
       std::initializer_list<std::pair<const char*, double>>{{"500mm", 500},
                                                             {"18 in", 457.2},
                                                             {" 12ft ", 3657.6},
                                                             {"4.5 m", 4500},
                                                             {"18.25in", 463.55},
                                                             {"2 FT", 609.6},
                                                             {"12", 0},
                                                             {"12 km", 0},
                                                             {"", 0},
                                                             {"0 mm", 0},
                                                             {"-3m", 0},
                                                             {"nan m", 0},
                                                             {"inf ft", 0},
                                                             {"1e400 mm", 0},
                                                             {"1001 m", 0},
                                                             {"3.2.1 m", 0},
                                                             {"m", 0}}) {
    std::string problem;
    EXPECT_NEAR(ReadLength(text, problem).value_or(0), mm, 1e-9) << text;
    EXPECT_EQ(problem.empty(), mm > 0) << text;
  }
  std::string problem;
  ReadLength("12", problem);
  EXPECT_EQ(problem, "\"12\" needs a unit: mm, m, in or ft");
  ReadLength("1001 m", problem);
  EXPECT_EQ(problem, "\"1001 m\" is longer than 1 km");
  // One unit for both sides, or one for each, never one for the first only.
  for (const auto& [text, width, length] : {std::tuple{"9x13m", 9000.0, 13000.0},
                                            {"9 x 13 m", 9000.0, 13000.0},
                                            {"30ftx40ft", 9144.0, 12192.0},
                                            {"2m X 500mm", 2000.0, 500.0},
                                            {"9mx13", 0.0, 0.0},
                                            {"9x13", 0.0, 0.0},
                                            {"13 m", 0.0, 0.0},
                                            {"0x13m", 0.0, 0.0},
                                            {"9x2000m", 0.0, 0.0}}) {
    const auto area = ReadArea(text, problem);
    EXPECT_NEAR(area ? area->first : 0, width, 1e-9) << text;
    EXPECT_NEAR(area ? area->second : 0, length, 1e-9) << text;
    EXPECT_EQ(problem.empty(), width > 0) << text;
  }
}

TEST(StrikeOffLengths, ALengthIsShownInItsUnitsAndReadsBack) {
  for (const auto& [mm, imperial, text] : {std::tuple{500.0, false, "500 mm"},
                                           {4000.0, false, "4 m"},
                                           {3657.6, false, "3.658 m"},
                                           {457.2, true, "18 in"},
                                           {3657.6, true, "12 ft"},
                                           {463.55, true, "18.25 in"},
                                           {206.375, true, "8.125 in"},
                                           {609.6, true, "24 in"},
                                           {12.25, false, "12.3 mm"}}) {
    EXPECT_EQ(LengthText(mm, imperial), text);
    std::string problem;
    EXPECT_NEAR(ReadLength(LengthText(mm, imperial), problem).value_or(0), mm, 0.6) << text;
  }
  for (TInstall install : AllInstalls)
    EXPECT_EQ(ReadInstall(InstallKey(install)), install);
  EXPECT_EQ(ReadInstall("Ashlar"), std::nullopt);
  EXPECT_EQ(ReadMatch(MatchKey(TMatch::Drop)), TMatch::Drop);
  EXPECT_EQ(ReadMatch("half"), std::nullopt);
}

// A repeat of 73 quarter-inch needles is 18 1/4 in: seven fit across 12 ft with 8 1/8 in each
// side, and eight would come out a quarter inch short each.
TEST(StrikeOffRepeat, TheRepeatFitOfAWidth) {
  struct TCase {
    TPatternRepeat Repeat;
    double WidthMm;
    int Repeats;
    double SelvageIn, ShortIn, WasteIn;
  };
  const TCase cases[] = {{{73, 40, 0}, 3657.6, 7, 8.125, 0.25, 10},
                         {{48, 8, 0}, 3657.6, 12, 0, 12.0 / 13, 2},
                         {{600, 4, 0}, 3657.6, 0, 72, 6, 1},
                         {{73, 40, 0}, 0, 0, 0, 0, 10},
                         {{0, 0, 0}, 3657.6, 0, 0, 0, 0}};
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.WidthMm);
    const TRepeatFit fit = RepeatFit(k.Repeat, {6.35, 6.35}, k.WidthMm);
    EXPECT_EQ(fit.RepeatsAcross, k.Repeats);
    EXPECT_NEAR(fit.SelvageMm / 25.4, k.SelvageIn, 1e-9);
    EXPECT_NEAR(fit.ShortPerRepeatMm / 25.4, k.ShortIn, 1e-9);
    EXPECT_NEAR(fit.WastePerCutMm / 25.4, k.WasteIn, 1e-9);
  }
}

TEST(StrikeOffRepeat, TheRepeatIsReadFromTheSections) {
  // Tiles of 6 x 3 with the second band half a tile across: half a tile dropped a band. An odd
  // tile's bands do not interlock exactly: the tile across is the repeat.
  EXPECT_EQ(PatternRepeat(*BarePattern(30, 20)), (TPatternRepeat{30, 20, 0}));
  EXPECT_EQ(PatternRepeat(*GenerateWizard(THalfDropWizard{24, 6, 6, 3, false, 1, 1})),
            (TPatternRepeat{3, 6, 3}));
  EXPECT_EQ(PatternRepeat(*GenerateWizard(THalfDropWizard{20, 10, 6, 5, true, 1, 1})),
            (TPatternRepeat{3, 10, 5}));
  EXPECT_EQ(PatternRepeat(*GenerateWizard(THalfDropWizard{21, 8, 7, 4, false, 1, 1})),
            (TPatternRepeat{7, 8, 0}));
  EXPECT_EQ(PatternRepeat(*GenerateWizard(TRepeatsWizard{24, 12, 6, 4, 1})),
            (TPatternRepeat{6, 4, 0}));
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
  uint32_t At(int x, int y) const { return Pixels[static_cast<size_t>(y * Width + x)]; }
};

TImage Whole(const OCarpetPicture& picture, double scale) {
  TImage image{static_cast<int>(picture.GoodsWidth(scale)),
               static_cast<int>(picture.GoodsHeight(scale)),
               {}};
  image.Pixels.resize(static_cast<size_t>(image.Width * image.Height));
  picture.Render({scale, 0, 0, image.Width, image.Height}, image.Pixels.data(),
                 {0, 0, image.Width, image.Height});
  return image;
}

TStrikeOffSettings TilesOf(double tileMm, TInstall install, double room = 0, bool joins = false) {
  TStrikeOffSettings s;
  s.TileMm = tileMm;
  s.Install = install;
  s.RoomWidthMm = s.RoomLengthMm = room;
  s.Joins = joins;
  return s;
}

// Each installation is the one tile, drawn on its own, laid by its rule: turned a quarter at a
// time in the checkerboard order, rows or columns shifted by half. Tufts are whole pixels, and
// at 64 pixels a tuft their shapes turn with the tile.
TEST(StrikeOffLayout, EachInstallationIsTheTileLaidByItsRule) {
  auto p = PatternOf(Motif);
  const OPreview preview(*p);
  for (const auto& [install, tileMm, scale] : {std::tuple{TInstall::Monolithic, 6.0, 4.0},
                                               {TInstall::QuarterTurn, 6.0, 4.0},
                                               {TInstall::Ashlar, 6.0, 4.0},
                                               {TInstall::HalfDrop, 6.0, 4.0},
                                               {TInstall::QuarterTurn, 2.0, 4.0},
                                               {TInstall::Ashlar, 4.0, 2.0},
                                               {TInstall::QuarterTurn, 2.0, 64.0}}) {
    SCOPED_TRACE(std::string(InstallKey(install)) + " " + std::to_string(tileMm) + " mm");
    const TImage tile =
        Whole(OStrikeOff(preview, TilesOf(tileMm, TInstall::Monolithic, tileMm)), scale);
    const TImage room = Whole(OStrikeOff(preview, TilesOf(tileMm, install)), scale);
    const int n = tile.Width, half = n / 2;
    ASSERT_EQ(room.Width, 4 * n);
    int wrong = 0;
    for (int y = 0; y < room.Height; ++y)
      for (int x = 0; x < room.Width; ++x) {
        const int tx = x + (install == TInstall::Ashlar && (y / n) % 2 ? half : 0);
        const int ty = y + (install == TInstall::HalfDrop && (x / n) % 2 ? half : 0);
        const int i = tx / n, j = ty / n, u = tx % n, v = ty % n;
        const int turns = install == TInstall::QuarterTurn ? (i + j) % 2 + 2 * (j % 2) : 0;
        // The tile turned clockwise: where each of its pixels came from.
        const auto [sx, sy] = turns == 1   ? std::pair{v, n - 1 - u}
                              : turns == 2 ? std::pair{n - 1 - u, n - 1 - v}
                              : turns == 3 ? std::pair{n - 1 - v, u}
                                           : std::pair{u, v};
        wrong += room.At(x, y) != tile.At(sx, sy);
      }
    EXPECT_EQ(wrong, 0);
  }
  // The joins of 10-pixel ashlar tiles, odd rows half a tile along.
  const OStrikeOff joined(preview, TilesOf(5, TInstall::Ashlar, 0, true));
  const TImage image = Whole(joined, 2);
  for (int y = 0; y < image.Height; ++y)
    for (int x = 0; x < image.Width; ++x) {
      const int shifted = (y / 10) % 2 ? x + 5 : x;
      const bool join = (y % 10 == 0 && y > 0) || (shifted % 10 == 0 && shifted > 0);
      ASSERT_EQ(image.At(x, y) == joined.JoinColour, join) << x << "," << y;
    }
}

// A tile shows the goods from PLine 1 up, the pattern repeated in it, as the preview shows them
// but for the tufts along the pattern's left and top edges: copies of it lie beside them on the
// floor, and shade them.
TEST(StrikeOffLayout, ATileShowsTheGoodsFromPLineOne) {
  auto p = PatternOf(Motif);
  const OPreview preview(*p);
  const TImage goods = Whole(preview, 8);
  for (const auto& [tileMm, shift] : {std::pair{5.0, 0}, {3.0, 2}, {10.0, -5}}) {
    const TImage tile =
        Whole(OStrikeOff(preview, TilesOf(tileMm, TInstall::Monolithic, tileMm)), 8);
    int wrong = 0;
    for (int y = 0; y < tile.Height; ++y)
      for (int x = 0; x < tile.Width; ++x) {
        const int gx = x % goods.Width, gy = (y + 8 * shift + goods.Height) % goods.Height;
        wrong += gx >= 8 && gy >= 8 && tile.At(x, y) != goods.At(gx, gy);
      }
    EXPECT_EQ(wrong, 0) << tileMm;
  }
}

// Widths trimmed to whole repeats, each dropped by half a repeat against the one before in drop
// match; bow and skew move a PLine's line further along in the middle and at the right end.
TEST(StrikeOffLayout, BroadloomWidthsAreTrimmedDroppedAndDistorted) {
  auto p = PatternOf(Motif);
  const OPreview preview(*p);
  TStrikeOffSettings s;
  s.Kind = TStrikeOffSettings::TKind::Broadloom;
  s.WidthMm = 9.5; // two repeats of 4 mm
  s.RoomWidthMm = 20;
  s.RoomLengthMm = 10;
  s.Joins = false;
  const TImage flat = Whole(OStrikeOff(preview, s), 4);
  s.Match = TMatch::Drop;
  const OStrikeOff drop(preview, s);
  ASSERT_EQ(drop.Pieces().size(), 3u);
  EXPECT_EQ(drop.Pieces()[2].X, 16);
  const TImage dropped = Whole(drop, 4);
  int wrong = 0; // the second width half a repeat (2.5 mm, 10 pixels) on
  for (int y = 0; y < flat.Height - 10; ++y)
    for (int x = 0; x < flat.Width; ++x)
      wrong += dropped.At(x, y) != flat.At(x, x >= 32 && x < 64 ? y + 10 : y);
  EXPECT_EQ(wrong, 0);
  // A bow of 1 mm (4 pixels) in the middle of the 8 mm width; a skew of 2 mm at its end; none
  // that is no number.
  s.Match = TMatch::Set;
  for (const auto& [bow, skew, column, rows] :
       {std::tuple{1.0, 0.0, 16, 4}, {0.0, 2.0, 31, 8}, {std::nan(""), -HUGE_VAL, 16, 0}}) {
    s.BowMm = bow;
    s.SkewMm = skew;
    const TImage bent = Whole(OStrikeOff(preview, s), 4);
    for (int y = 0; y + rows < flat.Height; ++y)
      ASSERT_EQ(bent.At(column, y + rows), flat.At(column, y)) << bow << " " << skew << " " << y;
  }
}

// The share of tufts along the joins that differ from the tuft across, known by reasoning on
// the tile: a pattern in quarters a b / b a laid monolithic differs at every join, turned a
// quarter at none; rows or columns shifted by half match along one way only (14 of 26 tile
// sides of a block of 4 x 4 differ). Halves a | b differ at every side-by-side join, and
// turned a quarter, at half of every join.
TEST(StrikeOffEdges, TheEdgeMatchOfEachInstallation) {
  struct TCase {
    std::vector<const char*> Rows;
    std::vector<double> Shares; // in the order of AllInstalls
    bool Grey = false;
  };
  const TCase cases[] = {{{"1111", "1111"}, {0, 0, 0, 0}},
                         {{"1122", "1122", "2211", "2211"}, {1, 0, 7.0 / 13, 7.0 / 13}},
                         {{"1122", "1122", "1122", "1122"}, {0.5, 0.5, 1, 6.0 / 13}},
                         {{"1122", "1122", "1122", "1122"}, {0.5, 0.5, 1, 6.0 / 13}, true}};
  for (const TCase& k : cases) {
    auto p = PatternOf(k.Rows, k.Grey);
    const OPreview preview(*p);
    const double tile = std::strlen(k.Rows[0]);
    const std::vector<TEdgeMatch> all = EdgeMatchOfInstalls(preview, tile);
    for (size_t i = 0; i < all.size(); ++i) {
      EXPECT_NEAR(all[i].Share, k.Shares[i], 1e-12) << k.Rows[0] << " " << i;
      // Each tile side inside the block, a sample a tuft.
      EXPECT_EQ(all[i].Tufts, i < 2 ? 24 * tile : 26 * tile) << k.Rows[0] << " " << i;
    }
  }
}

// A half-drop wizard's tile of 6 x 3 reads a a b | b a a across (each half mirrors the other's
// edges), so its repeat is half a tile across dropped by a band: a width of an odd number of
// half tiles matches its neighbour dropped by half a repeat, an even number set.
TEST(StrikeOffEdges, AHalfDropPatternMatchesAtItsSeamsInTheRightMatch) {
  auto p = GenerateWizard(THalfDropWizard{24, 6, 6, 3, false, 1, 1});
  p->Settings->NeedleSpacing = p->Settings->PLineSpacing = 1.0f;
  const OPicture& picture = *p->Pictures->Get(0);
  const TRect tile = picture.Regions.Get(picture.Regions.Count() - 1)->PatternArea;
  ASSERT_EQ(tile.Right - tile.Left, 5);
  for (int c = tile.Left; c <= tile.Right; ++c)
    for (int l = tile.Top; l <= tile.Bottom; ++l)
      p->SetState(c, l, c - tile.Left == 2 || c - tile.Left == 3 ? 2 : 1);
  p->ApplySections();
  const OPreview preview(*p);
  for (const auto& [widthMm, match, skewMm, matches] : {std::tuple{9.0, TMatch::Drop, 0.0, true},
                                                        {9.0, TMatch::Set, 0.0, false},
                                                        {10.0, TMatch::Drop, 0.0, true},
                                                        {12.0, TMatch::Set, 0.0, true},
                                                        {12.0, TMatch::Drop, 0.0, false},
                                                        {9.0, TMatch::Drop, 3.0, false}}) {
    TStrikeOffSettings s;
    s.Kind = TStrikeOffSettings::TKind::Broadloom;
    s.WidthMm = widthMm;
    s.Match = match;
    s.SkewMm = skewMm;
    const TEdgeMatch edges = OStrikeOff(preview, s).EdgeMatch();
    EXPECT_EQ(edges.Tufts, 24); // two seams two repeats (12 PLines) long
    EXPECT_EQ(edges.Share > 0.4, !matches) << widthMm << " " << MatchKey(match) << " " << skewMm;
    EXPECT_EQ(edges.Share == 0, matches);
  }
}

TEST(StrikeOffLayout, WhereTheTileCutsTheRepeat) {
  for (const auto& [controls, pLines, spacing, tileMm, text] :
       {std::tuple{200, 300, 2.54, 500.0,
                   "The tile cuts the repeat at control 197 of 200 and PLine 197 of 300"},
        {10, 5, 1.0, 20.0, "The tile holds 2 x 4 repeats"},
        {10, 10, 2.0, 20.0, "The tile holds the repeat once"},
        {8, 5, 1.0, 20.0, "The tile cuts the repeat at control 4 of 8"},
        {10, 30, 1.0, 20.0, "The tile cuts the repeat at PLine 20 of 30"},
        {10, 5, 1.0, 0.005, "The tile cuts the repeat at control 1 of 10 and PLine 1 of 5"}}) {
    auto p = BarePattern(controls, pLines);
    p->Settings->NeedleSpacing = p->Settings->PLineSpacing = static_cast<float>(spacing);
    const OPreview preview(*p);
    TStrikeOffSettings s = TilesOf(tileMm, TInstall::Monolithic);
    EXPECT_EQ(OStrikeOff(preview, s).TileCut(), text);
    s.Kind = TStrikeOffSettings::TKind::Broadloom;
    EXPECT_EQ(OStrikeOff(preview, s).TileCut(), "");
  }
}

// The pieces cover the room, however it is asked for; nonsense takes the defaults, and a room
// of crumbs takes bigger tiles rather than all the memory there is.
TEST(StrikeOffLayout, ThePiecesCoverTheRoom) {
  auto p = PatternOf(Motif);
  const OPreview preview(*p);
  using K = TStrikeOffSettings::TKind;
  const double nan = std::nan("");
  for (const auto& [kind, install, size, roomW, roomL, shownW, shownL, pieces] :
       {std::tuple{K::Tiles, TInstall::Monolithic, 500.0, 0.0, 0.0, 2000.0, 2000.0, 16.0},
        {K::Tiles, TInstall::Ashlar, 500.0, 1200.0, 1000.0, 1200.0, 1000.0, 7.0},
        {K::Tiles, TInstall::HalfDrop, nan, -5.0, nan, 2000.0, 2000.0, 20.0},
        {K::Tiles, TInstall::QuarterTurn, 1e-9, 1e6, 1e6, 1e6, 1e6, 1 << 20},
        {K::Tiles, TInstall::Monolithic, 1e6, 1000.0, 1000.0, 1000.0, 1000.0, 1.0},
        {K::Broadloom, TInstall::Monolithic, 9.5, 0.0, 0.0, 24.0, 10.0, 3.0},
        {K::Broadloom, TInstall::Monolithic, -1.0, 1e300, 0.0, 1e6, 3657.6, 274.0}}) {
    TStrikeOffSettings s;
    s.Kind = kind;
    s.Install = install;
    s.TileMm = s.WidthMm = size;
    s.RoomWidthMm = roomW;
    s.RoomLengthMm = roomL;
    const OStrikeOff room(preview, s);
    EXPECT_DOUBLE_EQ(room.RoomWidth(), shownW);
    EXPECT_DOUBLE_EQ(room.RoomLength(), shownL);
    EXPECT_LE(static_cast<double>(room.Pieces().size()), pieces) << shownW;
    double covered = 0;
    for (const TStrikePiece& piece : room.Pieces())
      covered += (std::min(piece.X + piece.Width, shownW) - std::max(piece.X, 0.0)) *
                 (std::min(piece.Y + piece.Length, shownL) - std::max(piece.Y, 0.0));
    EXPECT_NEAR(covered, shownW * shownL, 1e-6 * shownW * shownL);
    EXPECT_LE(room.EdgeMatch().Tufts, 26 * 65536);
  }
}

// A cell's change shows wherever it is laid, turned or dropped: every pixel it changes is in
// what the strike-off says to draw again. A view anywhere, at any scale, draws only the pixels
// asked for.
TEST(StrikeOffLayout, AChangedCellIsRedrawnInEveryPiece) {
  for (int kind = 0; kind < 5; ++kind) {
    auto p = PatternOf(Motif);
    OPreview preview(*p);
    TStrikeOffSettings s = TilesOf(7, AllInstalls[kind % 4], 30);
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
    for (int i = 0; i < 80 * 70; ++i)
      if (before[static_cast<size_t>(i)] != after[static_cast<size_t>(i)]) {
        ++changed;
        missed += std::none_of(redrawn.begin(), redrawn.end(), [&](const TPixelRect& r) {
          return i % 80 >= r.Left && i % 80 < r.Right && i / 80 >= r.Top && i / 80 < r.Bottom;
        });
      }
    EXPECT_GT(changed, 0);
    EXPECT_EQ(missed, 0) << kind;
  }
  auto p = PatternOf(Motif);
  const OPreview preview(*p);
  const OStrikeOff room(preview, TilesOf(4, TInstall::Ashlar));
  for (const auto& [scale, left, top] : {std::tuple{0.0, int64_t{0}, int64_t{0}},
                                         {std::nan(""), 0, 0},
                                         {1e300, 0, 0},
                                         {4.0, int64_t{1} << 40, 3},
                                         {1e6, 5000000, 5000000}}) {
    std::vector<uint32_t> pixels(20 * 10, 7);
    room.Render({scale, left, top, 20, 10}, pixels.data(), {-5, 2, 30, 5});
    for (int i = 0; i < 200; ++i)
      EXPECT_EQ(pixels[static_cast<size_t>(i)] == 7, i < 40 || i >= 100) << scale << " " << i;
  }
}

} // namespace
} // namespace quillane::test
