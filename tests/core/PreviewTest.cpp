#include "InterchangeSupport.h"
#include "PatternSupport.h"

#include <functional>
#include <tuple>

#include "app/App.h"
#include "elements/Picture.h"
#include "preview/Preview.h"
#include "preview/StrikeOff.h"
#include "production/Production.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "wizards/Wizards.h"

namespace quillane::test {
namespace {

using Preview = TFlowTest;

constexpr uint32_t Grey = 0x808080, Red = 0x0000FF; // platform colours: red in the low byte

// Every yarn type shows palette colour 1 (grey) in every state, so only the pile tells the
// states apart; 1 mm spacings unless given.
std::unique_ptr<OPattern> GreyPattern(uint8_t machineType, const std::vector<const char*>& cells) {
  auto p = MakePattern(machineType, static_cast<uint16_t>(std::strlen(cells[0])),
                       static_cast<uint16_t>(cells.size()), 1);
  p->Settings->NeedleSpacing = p->Settings->PLineSpacing = 1.0f;
  p->Palette->SetColour(1, Grey);
  p->Palette->SetColour(2, Red);
  for (int s = 1; s <= p->NoStates; ++s)
    p->MachineTable->SetColour(1, s, 1);
  p->MachineTable->Validate();
  SetCells(*p, cells);
  return p;
}

std::vector<uint32_t> RenderAll(const OCarpetPicture& preview, double scale,
                                TPreviewView* shown = nullptr) {
  TPreviewView view{scale, 0, 0, static_cast<int>(preview.GoodsWidth(scale)),
                    static_cast<int>(preview.GoodsHeight(scale))};
  std::vector<uint32_t> image(static_cast<size_t>(view.Width) * static_cast<size_t>(view.Height));
  preview.Render(view, image.data(), {0, 0, view.Width, view.Height});
  if (shown)
    *shown = view;
  return image;
}

double Brightness(uint32_t pixel) {
  return ((pixel >> 16) & 0xFF) + ((pixel >> 8) & 0xFF) + (pixel & 0xFF);
}

TEST_F(Preview, HigherPileReadsLighterAndOffShowsTheBacking) {
  struct TCase {
    const char* Name;
    uint8_t MachineType;
    std::vector<double> TuftLength; // from the production parameters; empty: none
    uint8_t Lighter, Darker;        // states
    std::vector<std::pair<std::string, std::string>> Remembered; // the user's, by state name
  };
  const TCase cases[] = {
      {"High over Low", 0, {}, 1, 2, {}},
      {"High over Medium", 3, {}, 1, 2, {}},
      {"Cut over Low", 4, {}, 2, 1, {}},
      {"On over Off", 1, {}, 1, 2, {}},
      // 1 mm PLines: a 7 mm tuft is a 3 mm pile, a 21 mm one 10 mm.
      {"tuft lengths turn Low higher than High", 0, {7, 21}, 2, 1, {}},
      {"the user's Low is higher", 0, {}, 2, 1, {{"Low", "loop 12"}, {"High", "cut x"}}},
      // The file's heights win over the user's; a kind is the user's alone.
      {"the user's Off is a tuft", 1, {}, 2, 1, {{"Off", "cut 20"}}},
      {"the file's heights over the user's", 0, {21, 7}, 1, 2, {{"Low", "loop 12"}}},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Name);
    const char a = static_cast<char>('0' + k.Lighter), b = static_cast<char>('0' + k.Darker);
    const std::string even{a, b, a, b, a, b}, odd{b, a, b, a, b, a};
    auto p = GreyPattern(k.MachineType, {even.c_str(), odd.c_str(), even.c_str(), odd.c_str()});
    OPreview preview(*p);
    TProductionParameters parameters;
    parameters.TuftLength = k.TuftLength;
    OMemoryPersist settings;
    for (const auto& [name, pile] : k.Remembered)
      settings.WriteString("Preview.Pile." + name, pile);
    const std::vector<TPile> piles =
        PreviewPiles(*p, k.TuftLength.empty() ? nullptr : &parameters, &settings);
    // The yarn goes up and down the pile and one PLine on: a 7 mm tuft is a 3 mm pile.
    for (size_t s = 0; s < k.TuftLength.size(); ++s)
      EXPECT_DOUBLE_EQ(piles[s + 1].Height, (k.TuftLength[s] - 1) / 2) << s;
    preview.SetPiles(piles);
    const std::vector<uint32_t> image = RenderAll(preview, 8.0);
    double sum[3] = {}, count[3] = {};
    int backing = 0;
    for (size_t i = 0; i < image.size(); ++i) {
      const int x = static_cast<int>(i % 48) / 8, y = 3 - static_cast<int>(i / 48) / 8;
      const int state = p->GetState(x + 1, y + 1);
      sum[state] += Brightness(image[i]);
      count[state] += 1;
      // Grey yarn never turns warmer; the backing cloth is.
      backing += ((image[i] >> 16) & 0xFF) > (image[i] & 0xFF) + 8;
    }
    EXPECT_GT(sum[k.Lighter] / count[k.Lighter], 1.1 * sum[k.Darker] / count[k.Darker]);
    EXPECT_EQ(backing > 0, k.MachineType == 1 && k.Remembered.empty()) << backing;
  }
}

// Seen whole, a carpet of one pile is one even shade, not a moire of tufts and the gaps
// between them, in the goods and in the room alike.
TEST_F(Preview, TuftsUnderTwoPixelsAreDrawnInTheirMeanShade) {
  auto p = GreyPattern(0, {"1111111111", "1111111111", "1111111111", "1111111111"});
  OPreview preview(*p);
  for (const double scale : {0.7, 1.5}) {
    const std::vector<uint32_t> goods = RenderAll(preview, scale);
    EXPECT_EQ(std::count(goods.begin(), goods.end(), goods[0]), std::ssize(goods)) << scale;
    TStrikeOffSettings tiles;
    tiles.TileMm = 7;
    tiles.Joins = false;
    const OStrikeOff room(preview, tiles);
    const std::vector<uint32_t> laid = RenderAll(room, scale);
    EXPECT_EQ(std::count(laid.begin(), laid.end(), goods[0]), std::ssize(laid)) << scale;
  }
}

TEST_F(Preview, TheGoodsTakeTheProportionsOfTheSpacings) {
  struct TCase {
    float Needle, PLine;
    double Across, Along; // mm of a 10 x 5 pattern
  };
  const TCase cases[] = {{1, 1, 10, 5}, {2, 4, 20, 20}, {0, 3, 30, 15}, {0, 0, 25.4, 12.7}};
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Needle);
    auto p = GreyPattern(0, {"1111111111", "1111111111", "1111111111", "1111111111", "1111111111"});
    p->Settings->NeedleSpacing = k.Needle;
    p->Settings->PLineSpacing = k.PLine;
    OPreview preview(*p);
    const double scale = preview.FitScale(200, 200);
    TPreviewView view{scale, 0, 0, 200, 200};
    std::vector<uint32_t> image(200 * 200, 0);
    preview.Render(view, image.data(), {0, 0, 200, 200});
    int right = 0, bottom = 0;
    for (int y = 0; y < 200; ++y)
      for (int x = 0; x < 200; ++x)
        if (image[static_cast<size_t>(y * 200 + x)] != preview.Background) {
          right = std::max(right, x + 1);
          bottom = std::max(bottom, y + 1);
        }
    EXPECT_NEAR(right / static_cast<double>(bottom), k.Across / k.Along, 0.02);
    EXPECT_EQ(std::max(right, bottom), 200);
  }
}

// A cell is shown as the export codes it, so the preview tufts what the yarn figures count:
// a cell without a state in the undefined state, a colour no yarn type shows not at all.
TEST_F(Preview, ACellShowsWhatTheExportCodesItAs) {
  struct TCase {
    const char* Name;
    uint8_t MachineType, Undefined; // 0: as the table has it
    uint8_t Cell, CodedAs;          // the value at control 3 of PLine 2
  };
  const TCase cases[] = {{"undefined is High", 0, 0, 0, 1},
                         {"undefined set to Low", 0, 2, 0, 2},
                         {"undefined set to Cut", 4, 2, 0, 2},
                         {"a colour no yarn type shows", 11, 0, 2, 0}};
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Name);
    auto p = GreyPattern(k.MachineType, {"1111", "1111", "1111"});
    if (k.Undefined)
      p->MachineTable->SetUndefinedState(k.Undefined);
    auto shown = [&](uint8_t value) {
      p->PatternMode == pmStates ? p->SetState(3, 2, value) : p->SetMachineColour(3, 2, value);
      return RenderAll(OPreview(*p), 8.0);
    };
    EXPECT_EQ(shown(k.Cell), shown(k.CodedAs));
  }
}

// A wizard's pattern laid twice across is the same wizard run at twice the width: each
// width is dropped so that the pattern's own repeat carries on across the seam, whether the
// width holds an odd or an even number of tiles, or ends half a tile in.
TEST_F(Preview, TwoWidthsOfAWizardPatternAreTheWizardRunTwiceAsWide) {
  struct TCase {
    const char* Name;
    std::function<std::unique_ptr<OPattern>(uint16_t controls)> Make;
    uint16_t Controls;
  };
  auto halfDrop = [](bool centre) {
    return [centre](uint16_t controls) {
      return GenerateWizard(THalfDropWizard{controls, 6, 4, 3, centre, 1, 1});
    };
  };
  auto carpet = [](uint16_t controls) {
    return GenerateWizard(TCarpetWizard{controls, 6, 4, 6, false, 1, 1});
  };
  auto repeats = [](uint16_t controls) {
    return GenerateWizard(TRepeatsWizard{controls, 6, 4, 3, 1});
  };
  const TCase cases[] = {{"half drop, three tiles", halfDrop(false), 12},
                         {"half drop, two tiles", halfDrop(false), 8},
                         {"half drop, two and a half tiles", halfDrop(false), 10},
                         {"centred half drop, two tiles", halfDrop(true), 8},
                         {"carpet, three strips", carpet, 12},
                         {"repeats, two blocks", repeats, 8}};
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Name);
    auto shown = [&](uint16_t controls) {
      std::unique_ptr<OPattern> p = k.Make(controls);
      p->Settings->NeedleSpacing = p->Settings->PLineSpacing = 1.0f;
      for (int c = 1; c <= p->NoControls; ++c)
        p->Creel->SetYarnType(c, 1);
      // A motif without symmetry in the region the wizard leaves to draw in; the sections
      // copy it.
      const OPicture& picture = *p->Pictures->Get(0);
      const TRect tile = picture.Regions.Get(picture.Regions.Count() - 1)->PatternArea;
      for (int c = tile.Left; c <= tile.Right; ++c)
        for (int l = tile.Top; l <= tile.Bottom; ++l)
          p->SetState(c, l, ((c - tile.Left) * 3 + l * 5) % 7 < 3 ? 1 : 2);
      p->ApplySections();
      OPreview preview(*p);
      preview.SetGoods(GoodsAcross(*p, 2 * k.Controls / 1000.0));
      return RenderAll(preview, 3.0);
    };
    EXPECT_EQ(shown(k.Controls), shown(static_cast<uint16_t>(2 * k.Controls)));
  }
}

// PLine 1 of control 1 is red; a half drop ending half a tile in drops the second width by
// a band, and a change of that cell redraws it in both widths.
TEST_F(Preview, AChangedCellIsRedrawnInEveryWidth) {
  THalfDropWizard w{10, 6, 4, 3, false, 1, 1};
  auto p = GenerateWizard(w);
  p->Settings->NeedleSpacing = p->Settings->PLineSpacing = 1.0f;
  p->Palette->SetColour(1, Grey);
  p->Palette->SetColour(2, Red);
  p->MachineTable->SetColour(1, 1, 2);
  p->MachineTable->SetColour(1, 2, 1);
  p->MachineTable->Validate();
  // Low elsewhere: a cell without a state would tuft High, red.
  for (int c = 1; c <= 10; ++c) {
    p->Creel->SetYarnType(c, 1);
    for (int l = 1; l <= 6; ++l)
      p->SetState(c, l, c == 1 && l == 1 ? 1 : 2);
  }
  OPreview preview(*p);
  preview.SetGoods(GoodsAcross(*p, 0.020)); // two widths
  EXPECT_EQ(preview.Goods(), (TGoodsLayout{20, 12, 3}));
  TPreviewView view;
  const std::vector<uint32_t> image = RenderAll(preview, 4.0, &view);
  std::vector<std::pair<int, int>> red; // goods cells, row 0 at PLine 1
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) {
      const uint32_t centre = image[static_cast<size_t>((47 - 4 * y - 2) * 80 + 4 * x + 2)];
      if (((centre >> 16) & 0xFF) > 2 * (centre & 0xFF) + 20)
        red.emplace_back(x, y);
    }
  EXPECT_EQ(red, (std::vector<std::pair<int, int>>{{0, 0}, {10, 3}, {0, 6}, {10, 9}}));
  const std::vector<TPixelRect> redrawn = preview.PixelsOfCells(view, {1, 1, 1, 1});
  for (const auto& [x, y] : red) {
    const int px = 4 * x + 2, py = 47 - 4 * y - 2;
    EXPECT_TRUE(std::any_of(redrawn.begin(), redrawn.end(),
                            [&](const TPixelRect& r) {
                              return px >= r.Left && px < r.Right && py >= r.Top && py < r.Bottom;
                            }))
        << x << "," << y;
  }
}

// Two pattern lengths, kept between half and twice the goods' width: a 20,000-PLine
// pattern on goods 4 m wide is no sliver, nor a short one on wide goods.
TEST_F(Preview, TheGoodsKeepAUsableShape) {
  // PLines of the pattern, metres across, PLines shown (1 mm cells)
  for (const auto& [pLines, metres, shown] :
       {std::tuple{5, 0.01, 10}, {20000, 4.0, 8000}, {2, 0.1, 50}, {5, 0.0, 5}}) {
    auto p = MakePattern(0, 10, static_cast<uint16_t>(pLines), 1);
    p->Settings->NeedleSpacing = p->Settings->PLineSpacing = 1.0f;
    EXPECT_EQ(GoodsAcross(*p, metres).PLines, shown) << pLines;
  }
}

// A pan moves what is in sight and draws the strips it uncovers: the same pixels as drawing
// the view afresh, also where it stops at the goods' edge or jumps further than the box.
TEST_F(Preview, APanShowsWhatAFreshDrawingShows) {
  auto p = GreyPattern(4, {"1231", "3120", "2013"});
  OPreview preview(*p);
  preview.SetGoods(GoodsAcross(*p, 0.02)); // 20 x 6 cells of 1 mm
  OPreviewCanvas canvas(preview);
  canvas.SetBox(60, 40);
  canvas.ZoomAt(0, 0, 2);
  const std::pair<int, int> pans[] = {{-7, -5}, {-13, 0}, {0, -9}, {5, 3}, {-200, 0}, {3, 1000}};
  for (const auto& [dx, dy] : pans) {
    SCOPED_TRACE(std::to_string(dx) + "," + std::to_string(dy));
    canvas.Pan(dx, dy);
    const std::vector<uint32_t> panned = canvas.Pixels();
    canvas.DrawAll();
    EXPECT_EQ(panned, canvas.Pixels());
  }
  EXPECT_EQ(canvas.View().Top, 0) << "stopped at the far end";
}

// A colouring shown by a preview, or coloured from one sampling of the cells, draws the
// pixels the pattern draws with those colours made its palette, the backing and the space
// round the goods included.
TEST_F(Preview, AColouringDrawsWhatThePaletteMadeOfItDraws) {
  auto p = GreyPattern(4, {"1231", "3120", "2013"});
  p->MachineTable->SetColour(1, 2, 2);
  p->MachineTable->Validate();
  OPreview preview(*p);
  const TPreviewView view{6, -5, -3, 40, 32}; // the goods (24 x 18) with a margin round
  const TPixelRect all{0, 0, view.Width, view.Height};
  std::vector<uint32_t> shades(size_t{40} * 32), coloured(shades.size()), drawn(shades.size());
  preview.RenderShades(view, shades.data(), all);
  std::array<uint32_t, 256> colours{};
  for (int i = 0; i <= p->NoColours; ++i)
    colours[static_cast<size_t>(i)] = p->Palette->GetColour(i);
  const std::array<uint32_t, 256> palette = colours;
  colours[1] = 0x30A0F0;
  colours[2] = 0x104020;
  for (const auto& colouring : {palette, colours}) {
    preview.ColourShades(shades.data(), shades.size(), colouring, coloured.data());
    preview.SetColours(colouring);
    preview.Render(view, drawn.data(), all);
    EXPECT_EQ(coloured, drawn);
    auto made = GreyPattern(4, {"1231", "3120", "2013"});
    made->MachineTable->SetColour(1, 2, 2);
    made->MachineTable->Validate();
    for (int i = 1; i <= 2; ++i)
      made->Palette->SetColour(i, colouring[static_cast<size_t>(i)]);
    OPreview plain(*made);
    plain.Render(view, drawn.data(), all);
    EXPECT_EQ(coloured, drawn);
  }
  EXPECT_EQ(coloured.front(), preview.Background);
  // The palette again, as it is now.
  preview.UsePaletteColours();
  p->Palette->SetColour(1, 0x0000FF);
  preview.Refresh();
  preview.Render(view, drawn.data(), all);
  colours = palette;
  colours[1] = 0x0000FF;
  preview.ColourShades(shades.data(), shades.size(), colours, coloured.data());
  EXPECT_EQ(coloured, drawn);
}

} // namespace
} // namespace quillane::test
