// The Colourways window's model, driven without a window.
#include "editors/ColourwaysEditor.h"

#include <random>

#include "PatternSupport.h"
#include "editors/ProductionEditor.h"
#include "editors/ShownColours.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane::test {
namespace {

class ColourwaysEditorTest : public TFlowTest {
protected:
  std::unique_ptr<OPattern> P = BarePattern(6, 4);
  OColourwaysEditor E{*P};
  int Told = 0;
  void SetUp() override {
    TFlowTest::SetUp();
    E.OnChange = [this] { ++Told; };
  }
  std::string Names() const {
    std::string s;
    for (int i = 0; i < E.Count(); ++i)
      s += (i ? "," : "") + E.At(i).Name;
    return s;
  }
  // A command's refusal, or the list after it with the selected name starred.
  std::string Run(const std::function<std::string()>& command) {
    if (std::string why = command(); !why.empty())
      return why;
    std::string s;
    for (int i = 0; i < E.Count(); ++i)
      s += (i ? "," : "") + E.At(i).Name + (i == E.Selected() ? "*" : "");
    return s;
  }
};

TEST_F(ColourwaysEditorTest, ListCommandsKeepTheOriginalFirstAndRefuseClearly) {
  ASSERT_EQ(E.Add("Harbour"), "");
  ASSERT_EQ(E.Add("Moss"), "");
  const std::string longName(MaxColourwayName + 1, 'x');
  const struct {
    int select;
    std::function<std::string()> command;
    std::string expected;
  } rows[] = {
      // The Original is the palette: no renaming, deleting or moving it.
      {0, [&] { return E.Rename("Mine"); },
       "The Original is the pattern's palette and keeps its name"},
      {0, [&] { return E.Delete(); },
       "The Original is the pattern's palette and cannot be deleted"},
      {0, [&] { return E.MoveDown(); }, "The Original stays first"},
      // Nothing moves above it either.
      {1, [&] { return E.MoveUp(); }, "The Original stays first"},
      {1, [&] { return E.MoveTo(0); }, "The Original stays first"},
      {1, [&] { return E.MoveDown(); }, "Original,Moss,Harbour*"},
      {2, [&] { return E.MoveDown(); }, "Original,Moss,Harbour*"}, // the last stays put
      {1, [&] { return E.Rename("Harbour"); }, "There is a colourway named Harbour already"},
      {1, [&] { return E.Rename(""); }, "A colourway needs a name"},
      {1, [&] { return E.Rename(longName); }, "A colourway's name has at most 64 characters"},
      {1, [&] { return E.Rename("Sea\nFoam"); }, "A colourway's name is one line"},
      {1, [&] { return E.Add("Moss"); }, "There is a colourway named Moss already"},
      {1, [&] { return E.Rename("Fern"); }, "Original,Fern*,Harbour"},
      // A copy stands after its source, numbered; the Original's copy takes the palette.
      {2, [&] { return E.Duplicate(); }, "Original,Fern,Harbour,Harbour 2*"},
      {0, [&] { return E.Duplicate(); }, "Original,Original 2*,Fern,Harbour,Harbour 2"},
      {0, [&] { return E.Add(); }, "Original,Original 2,Fern,Harbour,Harbour 2,Colourway 1*"},
      // Deleting selects the next, or the one before at the end.
      {2, [&] { return E.Delete(); }, "Original,Original 2,Harbour*,Harbour 2,Colourway 1"},
      {4, [&] { return E.Delete(); }, "Original,Original 2,Harbour,Harbour 2*"},
      {3, [&] { return E.MoveTo(1); }, "Original,Harbour 2*,Original 2,Harbour"},
  };
  for (const auto& row : rows) {
    E.Select(row.select);
    EXPECT_EQ(Run(row.command), row.expected) << row.expected;
  }
  EXPECT_FALSE(E.At(2).Set == TColourway{}.Set) << "the Original's copy holds the palette";
  while (E.CanAdd())
    ASSERT_EQ(E.Add(), "");
  EXPECT_EQ(E.Add(), "A pattern has at most 64 colourways");
  EXPECT_EQ(E.Duplicate(), "A pattern has at most 64 colourways");
}

TEST_F(ColourwaysEditorTest, EnabledCommandsFollowTheSelection) {
  ASSERT_EQ(E.Add("A"), "");
  ASSERT_EQ(E.Add("B"), "");
  const struct {
    int select;
    std::string expected; // rename, delete, up, down, make palette
  } rows[] = {{0, "-----"}, {1, "RD-dM"}, {2, "RDu-M"}};
  for (const auto& row : rows) {
    E.Select(row.select);
    const std::string s = std::string(E.CanRename() ? "R" : "-") + (E.CanDelete() ? "D" : "-") +
                          (E.CanMoveUp() ? "u" : "-") + (E.CanMoveDown() ? "d" : "-") +
                          (E.CanMakePalette() ? "M" : "-");
    EXPECT_EQ(s, row.expected) << row.select;
  }
}

TEST_F(ColourwaysEditorTest, TheTextFieldTakesAColourOrAShadeCode) {
  ASSERT_GE(P->NoYarnTypes, 2);
  ASSERT_EQ(E.Add("Harbour"), "");
  const struct {
    std::string typed, expected, code;
    uint32_t colour; // 0x00BBGGRR, or 1 for unchanged
  } rows[] = {
      {"#1F4E79", "", "", 0x794E1F},
      {" #00ff00 ", "", "", 0x00FF00},
      {"#12345", "A colour is typed as #RRGGBB, such as #1F4E79", "", 1},
      {"#GG0000", "A colour is typed as #RRGGBB, such as #1F4E79", "", 1},
      {"NY 4410-2", "", "NY 4410-2", 1},
      {std::string(MaxShadeCode, 'c'), "", std::string(MaxShadeCode, 'c'), 1},
      {std::string(MaxShadeCode + 1, 'c'), "A shade code has at most 32 characters",
       std::string(MaxShadeCode, 'c'), 1},
      {"", "", "", 1}, // nothing clears the code
  };
  for (const auto& row : rows) {
    const uint32_t before = E.Swatches()[0].Colour;
    EXPECT_EQ(E.Enter(1, row.typed), row.expected) << row.typed;
    EXPECT_EQ(E.Swatches()[0].Code, row.code) << row.typed;
    EXPECT_EQ(E.Swatches()[0].Colour, row.colour == 1 ? before : row.colour) << row.typed;
  }
  EXPECT_EQ(E.Enter(0, "#000000"), "There is no yarn type 0");
  EXPECT_EQ(E.Enter(P->NoYarnTypes + 1, "X"),
            "There is no yarn type " + std::to_string(P->NoYarnTypes + 1));
}

TEST_F(ColourwaysEditorTest, SwatchesMarkLookAlikesAndTheListNamesDuplicates) {
  ASSERT_GE(P->NoYarnTypes, 2);
  ASSERT_EQ(E.Add("Harbour"), "");
  ASSERT_EQ(E.Enter(1, "#808080"), "");
  ASSERT_EQ(E.Enter(2, "#000000"), "");
  EXPECT_EQ(E.Swatches()[0].Close, "");
  // Pure greys a step apart: ΔE2000 between them is small and known (about 0.4).
  ASSERT_EQ(E.Enter(2, "#818181"), "");
  EXPECT_EQ(E.Swatches()[0].Close.substr(0, 4), "\xCE\x94"
                                                "E ");
  EXPECT_EQ(E.Swatches()[0].Close, E.Swatches()[1].Close);
  EXPECT_EQ(DeltaEText(2.06), "\xCE\x94"
                              "E 2.1");
  // A copy is named a duplicate of its source until a yarn type moves away.
  ASSERT_EQ(E.Duplicate(), "");
  EXPECT_EQ(E.DuplicateText(2), "Duplicate of Harbour");
  EXPECT_EQ(E.Caption(2), "Harbour 2 (Duplicate of Harbour)");
  ASSERT_EQ(E.Enter(1, "#FF0000"), "");
  EXPECT_EQ(E.Caption(2), "Harbour 2");
}

TEST_F(ColourwaysEditorTest, EveryChangeIsOneUndoStepHeardByTheWindow) {
  ASSERT_EQ(E.Add("Harbour"), "");
  ASSERT_EQ(E.Add("Moss"), "");
  E.Select(2);
  ASSERT_EQ(E.SetYarnColour(1, 0x00AA00), "");
  const std::array<uint32_t, 256> palette = P->ShownColours();
  const struct {
    int select;
    std::function<std::string()> command;
    std::string label;
  } rows[] = {
      {1, [&] { return E.Add("Fern"); }, "Add Colourway Fern"},
      {1, [&] { return E.Duplicate(); }, "Duplicate Colourway Harbour"},
      {1, [&] { return E.Rename("Sea"); }, "Rename Colourway Harbour"},
      {1, [&] { return E.Delete(); }, "Delete Colourway Harbour"},
      {1, [&] { return E.MoveDown(); }, "Move Colourway Harbour"},
      {2, [&] { return E.SetYarnColour(1, 0x123456); }, "Colour Moss A"},
      {2, [&] { return E.SetEntryColour(1, 0x123456); }, "Colour Moss 1"},
      {2, [&] { return E.Enter(1, "MX-1"); }, "Shade Code Yarn 1 in Moss"},
      // The Original's colours are the palette's.
      {0, [&] { return E.SetYarnColour(1, 0x123456); }, "Colour Original A"},
      {0, [&] { return E.SetEntryColour(1, 0x654321); }, "Colour Original 1"},
      {2, [&] { return E.MakePalette(); }, "Make Palette Moss"},
  };
  for (const auto& row : rows) {
    E.Select(row.select);
    const TColourways before = P->Colourways();
    const uint32_t colour = P->Palette->GetColour(1);
    const int steps = P->History.UndoCount();
    ASSERT_EQ(row.command(), "") << row.label;
    EXPECT_EQ(P->History.UndoCount(), steps + 1) << row.label;
    EXPECT_EQ(P->History.UndoLabel(), row.label);
    EXPECT_TRUE(P->Colourways() != before || P->Palette->GetColour(1) != colour) << row.label;
    Told = 0;
    P->History.Undo();
    EXPECT_GT(Told, 0) << row.label << ": the window hears the undo";
    EXPECT_EQ(P->Colourways(), before) << row.label;
    EXPECT_EQ(P->Palette->GetColour(1), colour) << row.label;
    EXPECT_LT(E.Selected(), E.Count()) << row.label;
  }
  EXPECT_EQ(P->ShownColours(), palette);
}

TEST_F(ColourwaysEditorTest, ShowInViewsFollowsTheColourwayItShows) {
  ASSERT_EQ(E.Add("Harbour"), "");
  ASSERT_EQ(E.Enter(1, "#102030"), "");
  ASSERT_EQ(E.Add("Moss"), "");
  E.Select(1);
  E.ShowInViews();
  EXPECT_TRUE(E.ShownInViews());
  const uint8_t index = YarnColourIndex(*P->MachineTable, 1);
  EXPECT_EQ(P->ShownColours()[index], 0x302010u);
  EXPECT_EQ(ShownColourwayText(*P), "Colourway: Harbour");
  EXPECT_EQ(ShownSwap(*P)(P->Palette->GetColour(index)), 0x302010u);
  // Moved, it stays shown; deleted, the views go back to the palette.
  E.Select(2);
  ASSERT_EQ(E.MoveUp(), "");
  EXPECT_EQ(P->ShownColourway(), 2);
  E.Select(2);
  ASSERT_EQ(E.Delete(), "");
  EXPECT_EQ(P->ShownColourway(), 0);
  EXPECT_EQ(P->ShownColours()[index], P->Palette->GetColour(index));
  EXPECT_EQ(ShownColourwayText(*P), "");
  EXPECT_TRUE(ShownSwap(*P).Identity());
}

} // namespace
} // namespace quillane::test

namespace quillane::test {
namespace {

TEST(ColourSwap, DrawsEachPaletteColourAsTheColourwaysAndLeavesOthersAlone) {
  std::array<uint32_t, 256> palette{}, shown{};
  palette[0] = 0x000000, shown[0] = 0x000000;
  palette[1] = 0x0000FF, shown[1] = 0x00FF00;
  palette[2] = 0x0000FF, shown[2] = 0xFF0000; // shares index 1's colour: index 1 decides
  palette[3] = 0x123456, shown[3] = 0x123456;
  palette[4] = 0xABCDEF, shown[4] = 0x111111; // beyond the palette's last index
  OColourSwap swap;
  swap.Set(palette, shown, 3);
  EXPECT_FALSE(swap.Identity());
  const std::pair<uint32_t, uint32_t> rows[] = {
      {0x000000, 0x000000}, {0x0000FF, 0x00FF00}, {0xFF0000FF, 0x00FF00}, // the top byte
      {0x123456, 0x123456}, {0xABCDEF, 0xABCDEF}, {0x00FF00, 0x00FF00},   // not a palette colour
  };
  for (const auto& [pixel, expected] : rows)
    EXPECT_EQ(swap(pixel), expected) << std::hex << pixel;
  // Nothing that changes: the views take their straight path.
  swap.Set(palette, palette, 3);
  EXPECT_TRUE(swap.Identity());
}

TEST(ColourKeys, KeepAKeyPerColourUntilTheirRoomIsFull) {
  OColourKeys keys;
  EXPECT_EQ(keys.KeyOf(0x0000FF), 0);
  EXPECT_EQ(keys.KeyOf(0x00FF00), 1);
  EXPECT_EQ(keys.KeyOf(0xFF0000FF), 0); // the top byte is no part of the colour
  for (uint32_t c = 1; keys.Count() < OColourKeys::MaxKeys; ++c)
    keys.KeyOf(c << 8 | 0x80);
  EXPECT_EQ(keys.KeyOf(0x123456), -1);
  EXPECT_EQ(keys.KeyOf(0x00FF00), 1);
  keys.Clear();
  EXPECT_EQ(keys.KeyOf(0x123456), 0);
}

TEST(Recolour, DrawsEachPixelInItsKeysColourAndNothingBesideTheBlock) {
  // Few keys go two at a time through the table of pairs, many one at a time; widths around
  // the eight taken at once leave ends of every length.
  std::mt19937 random(7);
  for (const int count : {1, 5, 64, 65, 256})
    for (const int width : {1, 7, 8, 9, 23}) {
      std::array<uint32_t, OColourKeys::MaxKeys> colours{};
      for (auto& c : colours)
        c = random();
      const int height = 3, keyStride = width + 2, stride = width + 5;
      std::vector<uint8_t> keys(static_cast<size_t>(keyStride * height));
      for (auto& k : keys)
        k = static_cast<uint8_t>(random() % count);
      std::vector<uint32_t> pixels(static_cast<size_t>(stride * height), 0xDEADBEEF);
      ORecolour recolour;
      recolour.Set(colours, count);
      recolour(keys.data(), keyStride, pixels.data(), stride, width, height);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < stride; ++x)
          ASSERT_EQ(pixels[static_cast<size_t>(y * stride + x)],
                    x < width ? colours[keys[static_cast<size_t>(y * keyStride + x)]] : 0xDEADBEEF)
              << count << " keys, " << width << " wide, at " << x << "," << y;
    }
}

} // namespace
} // namespace quillane::test

namespace quillane::test {
namespace {

TEST_F(ColourwaysEditorTest, TheProductionSheetIsInTheColourwayChosen) {
  ASSERT_EQ(E.Add("Harbour"), "");
  const std::vector<std::string> choices = ColourwayChoices(*P);
  ASSERT_EQ(choices, (std::vector<std::string>{"Original", "Harbour", "All colourways"}));
  const TProductionParameters parameters = DefaultProductionParameters(*P);
  const struct {
    int choice;
    std::string title; // after the pattern's name
    size_t pages;      // blocks that start a page of their own
  } rows[] = {{0, "", 0}, {1, ", colourway Harbour", 0}, {2, ", colourway Original", 2}};
  for (const auto& row : rows) {
    const TSheet sheet = ProductionSheet(*P, parameters, "2026-12-08", row.choice);
    ASSERT_FALSE(sheet.Blocks.empty());
    const std::string& title = sheet.Blocks.front().Title;
    const size_t at = title.find(", colourway");
    EXPECT_EQ(at == std::string::npos ? std::string() : title.substr(at), row.title) << title;
    EXPECT_EQ(std::count_if(sheet.Blocks.begin(), sheet.Blocks.end(),
                            [](const TSheetBlock& b) { return b.NewPage; }),
              static_cast<ptrdiff_t>(row.pages))
        << row.choice;
    // The figures' CSV names the same colourways as the sheet.
    const TTempDir dir;
    SaveFiguresCsv(dir.File("f.csv"), *P, parameters, row.choice);
    const Bytes bytes = FileBytes(dir.File("f.csv"));
    const std::string csv(bytes.begin(), bytes.end());
    EXPECT_EQ(csv.find("\r\nHarbour,A,") != std::string::npos, row.choice >= 1) << row.choice;
    EXPECT_EQ(csv.find("\r\nOriginal,A,") != std::string::npos, row.choice == 2) << row.choice;
  }
}

} // namespace
} // namespace quillane::test
