#include <cmath>
#include <numeric>

#include "InterchangeSupport.h"
#include "PatternSupport.h"

#include "editors/ProductionEditor.h"
#include "production/Production.h"
#include "production/ProductionFile.h"
#include "production/Sheet.h"

namespace quillane::test {
namespace {

using Production = TFlowTest;

// Yarn A 1000 dtex (100 g/km), yarn B 20 Nm (50 g/km), 1 mg cones and 10 % waste make the
// weights milligrams that can be checked by hand; PLines lie 2.5 mm apart.
TEST_F(Production, CountsYarnPerNeedleYarnTypeAndStateAsTheExportCodesCells) {
  struct TCase {
    const char* Name;
    uint8_t MachineType, YarnTypes;
    std::vector<int> Creel; // empty: the default A, B, A, ...
    std::vector<const char*> Cells;
    std::vector<double> TuftLength; // mm for states 1, 2
    double RunLength;
    bool Sections; // controls 1 and 2 copied onto 3 and 4
    std::vector<double> NeedleMm, YarnMm, YarnMg;
    std::vector<uint64_t> Cones, Tufts; // Tufts from state 0
    std::vector<int> Furthest;
  };
  // clang-format off
  const TCase cases[] = {
      // 3 PLines of the 2: the second pass stops after PLine 1. A cell without a state is
      // the undefined state, High.
      {"one yarn, two states", 0, 1, {}, {"1122", "1210"}, {20, 10}, 0.0075, false,
       {60, 50, 40, 40}, {190}, {19}, {21}, {0, 7, 5}, {1, 2}},
      // The copies count as they were tufted, not as the empty cells under them.
      {"sections", 0, 1, {}, {"1200", "2200"}, {20, 10}, 0, true,
       {30, 20, 30, 20}, {100}, {10}, {11}, {0, 2, 6}, {1, 3}},
      {"creel A B A B", 0, 2, {}, {"1111", "2222"}, {20, 10}, 0, false,
       {30, 30, 30, 30}, {60, 60}, {6, 3}, {7, 4}, {0, 4, 4}, {}},
      // Colour 1 is yarn A, 2 yarn B, whatever the creel; 0 and 3 no yarn type shows.
      {"colour pattern", 11, 2, {}, {"1203", "2211"}, {20}, 0, false,
       {40, 40, 20, 20}, {60, 60}, {6, 3}, {7, 4}, {2, 6}, {1, 2}},
      // Off takes no yarn, nor does a control without a yarn type.
      {"off and no yarn type", 1, 1, {1, 1, 0}, {"122", "111"}, {20, 0}, 0, false,
       {40, 20, 0}, {60}, {6}, {7}, {0, 4, 2}, {1}},
  };
  // clang-format on
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Name);
    auto p = MakePattern(k.MachineType, static_cast<uint16_t>(std::strlen(k.Cells[0])),
                         static_cast<uint16_t>(k.Cells.size()), k.YarnTypes);
    p->Settings->PLineSpacing = 2.5f;
    for (size_t c = 0; c < k.Creel.size(); ++c)
      p->Creel->SetYarnType(static_cast<int>(c + 1), static_cast<uint8_t>(k.Creel[c]));
    SetCells(*p, k.Cells);
    if (k.Sections) {
      AddSection(*p, {1, 1, 2, 2}, {3, 1, 4, 2});
      p->ApplySections();
    }
    TProductionParameters parameters;
    parameters.TuftLength = k.TuftLength;
    parameters.YarnCounts = {{1000, TYarnCountUnit::Dtex}, {20, TYarnCountUnit::Nm}};
    parameters.ConeWeight = 1e-6;
    parameters.Waste = 10;
    parameters.RunLength = k.RunLength;
    const TProductionFigures f = ComputeProduction(*p, parameters);

    ASSERT_EQ(f.Needles.size(), k.NeedleMm.size());
    double needleMg = 0;
    for (size_t c = 0; c < f.Needles.size(); ++c) {
      EXPECT_NEAR(f.Needles[c].Length * 1000, k.NeedleMm[c], 1e-9) << "control " << c + 1;
      EXPECT_EQ(f.Needles[c].YarnType, p->Creel->GetYarnType(static_cast<int>(c + 1)));
      needleMg += f.Needles[c].Weight * 1e6;
    }
    ASSERT_EQ(f.YarnTypes.size(), k.YarnMm.size());
    for (size_t y = 0; y < f.YarnTypes.size(); ++y) {
      EXPECT_NEAR(f.YarnTypes[y].Length * 1000, k.YarnMm[y], 1e-9) << "yarn type " << y + 1;
      EXPECT_NEAR(f.YarnTypes[y].Weight * 1e6, k.YarnMg[y], 1e-9) << "yarn type " << y + 1;
      EXPECT_NEAR(f.YarnTypes[y].WeightWithWaste * 1e6, k.YarnMg[y] * 1.1, 1e-9);
      EXPECT_EQ(f.YarnTypes[y].Cones, k.Cones[y]) << "yarn type " << y + 1;
    }
    const double sumMm = std::accumulate(k.NeedleMm.begin(), k.NeedleMm.end(), 0.0);
    const double sumMg = std::accumulate(k.YarnMg.begin(), k.YarnMg.end(), 0.0);
    EXPECT_EQ(f.TuftsPerState, k.Tufts);
    EXPECT_NEAR(f.Length * 1000, sumMm, 1e-9);
    EXPECT_NEAR(f.Weight * 1e6, sumMg, 1e-9);
    EXPECT_NEAR(needleMg, sumMg, 1e-9);
    EXPECT_NEAR(f.Balance.Mean * 1000, sumMm / static_cast<double>(k.NeedleMm.size()), 1e-9);
    const auto [least, most] = std::minmax_element(k.NeedleMm.begin(), k.NeedleMm.end());
    EXPECT_NEAR(f.Balance.Min * 1000, *least, 1e-9);
    EXPECT_NEAR(f.Balance.Max * 1000, *most, 1e-9);
    EXPECT_EQ(f.Balance.FurthestAboveMean, k.Furthest);
  }
}

TEST_F(Production, RefusesWhatCannotBeWorkedOut) {
  auto p = MakePattern(1, 4, 2, 2);
  TProductionParameters parameters = DefaultProductionParameters(*p);
  // ICN's Off takes no yarn; On is two piles and the gauge's advance.
  EXPECT_EQ(parameters.TuftLength, (std::vector<double>{2 * 8 + 2.54, 0}));
  EXPECT_EQ(parameters.YarnCounts.size(), 2u);
  EXPECT_NO_THROW(ComputeProduction(*p, parameters));
  const std::pair<void (*)(TProductionParameters&), const char*> cases[] = {
      {[](TProductionParameters& q) { q.RunLength = 10; },
       "The control settings give no PLine spacing, so a run length cannot be laid out in "
       "PLines"},
      {[](TProductionParameters& q) { q.YarnCounts[1].Value = 0; }, "yarnCount must be positive"},
      {[](TProductionParameters& q) { q.Waste = std::nan(""); }, "waste must be from 0 to 100 %"},
      {[](TProductionParameters& q) { q.TuftLength.pop_back(); },
       "The production parameters do not cover the pattern's states and yarn types"},
  };
  for (const auto& [change, message] : cases) {
    TProductionParameters q = parameters;
    change(q);
    EXPECT_EQ(Thrown<EProduction>([&] { ComputeProduction(*p, q); }), message);
  }
}

TEST_F(Production, ParametersFileRoundTripsAndRefusesByLineAndField) {
  TProductionParameters parameters;
  parameters.TuftLength = {22.5, 0};
  parameters.YarnCounts = {{1300, TYarnCountUnit::Dtex}, {12.5, TYarnCountUnit::Nm}};
  parameters.RunLength = 25;
  const std::string text = "{\n"
                           "  \"tuftLength\": [22.5, 0],\n"
                           "  \"yarnTypes\": [\n"
                           "    {\"yarnCount\": 1300, \"unit\": \"dtex\"},\n"
                           "    {\"yarnCount\": 12.5, \"unit\": \"Nm\"}\n"
                           "  ],\n"
                           "  \"coneWeight\": 5,\n"
                           "  \"runLength\": 25,\n"
                           "  \"waste\": 3\n"
                           "}\n";
  TTempDir d;
  const std::string file = ProductionFileName(d.File("rug.pat"));
  EXPECT_EQ(file, d.File("rug.production.json"));
  EXPECT_EQ(ProductionFileName("a/rug.v2.PAT"), "a/rug.v2.production.json");
  SaveProductionParameters(file, parameters);
  EXPECT_EQ(FileBytes(file), Text(text));
  EXPECT_EQ(ReadProductionParameters(Text(text)), parameters);
  // Missing: the defaults, for the pattern's two states and three yarn types.
  auto p = MakePattern(0, 4, 2, 3);
  EXPECT_EQ(LoadProductionParameters(d.File("none.production.json"), *p),
            DefaultProductionParameters(*p));

  const std::pair<std::string, std::string> hostile[] = {
      {"{\n  \"waste\": 3,\n  \"yarnTypes\": [\n    {\"yarnCount\": -1}\n  ]\n}",
       "line 4: yarnCount must be positive"},
      {"{\"tuftLength\": [1,\n 1001]}", "line 2: tuftLength must be from 0 to 1000 mm"},
      {"{\"yarnTypes\": [{\"unit\": \"tex\", \"yarnCount\": 5}]}",
       "line 1: unit must be \"dtex\" or \"Nm\""},
      {"{\"yarnTypes\": [{}]}", "line 1: yarnCount is missing"},
      {"{\"waste\": \"3\"}", "line 1: waste must be a number"},
      {"{\"waste\": 3, \"waste\": 4}", "line 1: waste is given twice"},
      {"{\"coneWeight\": 0}", "line 1: coneWeight must be positive"},
      {"{\"runLength\": 1e999}", "line 1: a number is out of range"},
      {"{\"runLength\": 01}", "line 1: a number is not written as JSON writes numbers"},
      {"{\"runLength\": 1", "line 1: expected ',' or '}'"},
      {"{\"a\": \"b\n\"}", "line 1: a text runs past the end of its line"},
      {"{\"a\": \"\\u00e9\"}", "line 1: a text holds an escape this file does not use"},
      {std::string(12, '[') + std::string(12, ']'), "line 1: nested too deeply"},
      {"{\"x\": \"" + std::string(70000, 'x') + "\"}", "line 1: the file is larger than 64 KB"},
  };
  for (const auto& [bytes, message] : hostile)
    EXPECT_EQ(Thrown<EProduction>([&] { ReadProductionParameters(Text(bytes)); }), message);
  // Unknown keys are for later versions; a refused file names itself.
  EXPECT_EQ(
      ReadProductionParameters(Text("{\"later\": {\"a\": [1, \"\\n\"]}, \"waste\": 7}")).Waste, 7);
  WriteBytes(file, Text("{\"waste\": 101}"));
  EXPECT_EQ(Thrown<EProduction>([&] { LoadProductionParameters(file, *p); }),
            "Error reading production parameters: " + file +
                ": line 1: waste must be from 0 to 100 %");
}

// Tufts of 1 m and 0.5 m of a 10 g/m yarn make figures the window shows to the gram.
TEST_F(Production, WindowShowsTheFiguresOfTheFileBesideThePatternReadOnlyWhenItChanges) {
  auto p = MakePattern(0, 3, 2, 1);
  SetCells(*p, {"112", "121"});
  const std::string file = Current.File("p.production.json");
  const std::string good = "{\"tuftLength\": [1000, 500], \"coneWeight\": 0.05, \"waste\": 20,"
                           " \"yarnTypes\": [{\"yarnCount\": 0.1, \"unit\": \"Nm\"}]}";
  // The file ("": none), the problem shown, and the totals ("?": the defaults' figures).
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {good, "", "Yarn for 2 PLines: 5.00 m, 0.050 kg (0.060 kg with waste), 2 cones"},
      {"", "", "?"},
      // A refused file is named and the defaults stand in for it.
      {"{\"waste\": 500}",
       "Error reading production parameters: " + file + ": line 1: waste must be from 0 to 100 %",
       "?"},
      {"{\"runLength\": 10}",
       "The control settings give no PLine spacing, so a run length cannot be laid out in PLines",
       ""},
  };
  for (const auto& [json, problem, totals] : cases) {
    SCOPED_TRACE(json);
    std::filesystem::remove(file);
    if (!json.empty())
      WriteBytes(file, Bytes(json.begin(), json.end()));
    const TProductionView v = BuildProductionView(*p, file);
    EXPECT_EQ(v.Problem, problem);
    if (totals == "?")
      EXPECT_FALSE(v.Totals.empty());
    else
      EXPECT_EQ(v.Totals, totals);
    EXPECT_EQ(v.NeedleLengths.size(), v.Totals.empty() ? 0u : 3u);
    // The creel needs no parameters: it stays shown when the figures cannot be had.
    EXPECT_EQ(v.Creel.Title, "Creel: one yarn type on all 3 needles");
    ASSERT_EQ(v.Creel.Rows.size(), 1u);
    EXPECT_EQ(v.Creel.Rows[0][0].Text + v.Creel.Rows[0][1].Text, "1A");
    if (json != good)
      continue;
    EXPECT_EQ(v.YarnTypes,
              (std::vector<TYarnTypeRow>{{"A", "5.00 m", "0.050 kg", "0.060 kg", "2"}}));
    EXPECT_EQ(v.Balance, "Needle balance: min 1.50 m, mean 1.67 m, max 2.00 m, max/mean 1.20; "
                         "furthest above the mean: 1");
    EXPECT_EQ(v.NeedleLengths, (std::vector<double>{2, 1.5, 1.5}));
    EXPECT_EQ(v.LongestNeedle, 2);
  }

  // The window's file is read again when it changes, not at every change of the pattern.
  std::filesystem::remove(file);
  OParametersFile cache;
  EXPECT_EQ(cache.Load(file, *p).Waste, 3); // none yet: the defaults
  WriteBytes(file, Text("{\"waste\": 20}"));
  EXPECT_EQ(cache.Load(file, *p).Waste, 20);
  const auto time = std::filesystem::last_write_time(file);
  WriteBytes(file, Text("{\"waste\": 30}"));
  std::filesystem::last_write_time(file, time);
  EXPECT_EQ(cache.Load(file, *p).Waste, 20); // the same size and time: not read
  std::filesystem::last_write_time(file, time + std::chrono::seconds(1));
  EXPECT_EQ(cache.Load(file, *p).Waste, 30);
  // What is read stays completed for the pattern as it is now.
  p->SetNoYarnTypes(2);
  p->Changed();
  EXPECT_EQ(cache.Load(file, *p).YarnCounts.size(), 2u);
  WriteBytes(file, Text("{\"waste\": 300}"));
  for (int i = 0; i < 2; ++i)
    EXPECT_THROW(cache.Load(file, *p), EProduction);
  std::filesystem::remove(file);
  EXPECT_EQ(cache.Load(file, *p).Waste, 3);
}

TEST_F(Production, ChartClickHitsTheBarUnderIt) {
  // Where on the chart, its width, the bars on it, and the control hit (0: none).
  const std::tuple<double, double, size_t, int> cases[] = {
      {0, 100, 4, 1},    {24.9, 100, 4, 1}, {25, 100, 4, 2}, {99.99, 100, 4, 4},   {100, 100, 4, 0},
      {-0.1, 100, 4, 0}, {50, 100, 0, 0},   {50, 0, 4, 0},   {150, 300, 1000, 501}};
  for (const auto& [x, width, bars, control] : cases)
    EXPECT_EQ(ControlAt(x, width, bars), control) << x << " of " << width;
}

TEST_F(Production, ParameterBoxesReadBackWhatTheyShowAndRefuseByLabel) {
  auto p = MakePattern(0, 3, 2, 2);
  TProductionParameters parameters = DefaultProductionParameters(*p);
  parameters.YarnCounts[1] = {12.5, TYarnCountUnit::Nm};
  const std::vector<TParameterField> fields = ParameterFields(*p, parameters);
  std::vector<std::string> labels, texts;
  for (const TParameterField& f : fields)
    labels.push_back(f.Label), texts.push_back(f.Text);
  EXPECT_EQ(labels, (std::vector<std::string>{"Tuft length High (mm)", "Tuft length Low (mm)",
                                              "Yarn count A (dtex)", "Yarn count B (Nm)",
                                              "Cone weight (kg)", "Run length (m)", "Waste (%)"}));
  EXPECT_EQ(ReadParameterFields(*p, parameters, texts), parameters);
  // A pattern never saved has no folder to keep its parameters in.
  EXPECT_EQ(ParametersFileOf(*p), "");
  EXPECT_THROW(ApplyParameterFields(*p, parameters, texts), EProduction);
  p->FileName = Current.File("p.pat");
  // The box, what is typed in it, and what it then shows or why it is refused.
  const std::tuple<size_t, const char*, const char*> cases[] = {
      {0, " 21.50 ", "21.5"},
      {3, "0.5", "0.5"},
      {6, "0", "0"},
      {1, "", "Tuft length Low (mm): \"\" is not a number"},
      {4, "2,5", "Cone weight (kg): \"2,5\" is not a number"},
      {5, "1e999", "Run length (m): \"1e999\" is not a number"},
      {2, "0", "Yarn count A (dtex): yarnCount must be positive"},
      {6, "nan", "Waste (%): waste must be from 0 to 100 %"},
      {0, "1001", "Tuft length High (mm): tuftLength must be from 0 to 1000 mm"},
  };
  const std::string file = Current.File("p.production.json");
  for (const auto& [box, text, expected] : cases) {
    SCOPED_TRACE(text);
    std::vector<std::string> edited = texts;
    edited[box] = text;
    TProductionParameters read;
    const std::string refused =
        Thrown<EProduction>([&] { read = ReadParameterFields(*p, parameters, edited); });
    EXPECT_EQ(refused.empty() ? ParameterFields(*p, read)[box].Text : refused, expected);
    if (refused.empty()) {
      ApplyParameterFields(*p, parameters, edited); // saved as read
      EXPECT_EQ(LoadProductionParameters(file, *p), read);
    } else {
      EXPECT_THROW(ApplyParameterFields(*p, parameters, edited), EProduction);
    }
  }
}

// UTPA with three yarn types, the creel A B C A B C ..., needles 5.1 mm and PLines 2.5 mm
// apart.
TEST_F(Production, SheetHoldsTheNameSizeCreelAndYarnTableOfThePattern) {
  auto p = MakePattern(0, 12, 8, 3);
  p->FileName = "/mill/rug.pat";
  p->Settings->NeedleSpacing = 5.1f;
  p->Settings->PLineSpacing = 2.5f;
  OPicture& picture = *p->Pictures->Get(0);
  picture.SetWidth(6);
  picture.SetHeight(8);
  picture.Update();
  SetCells(*p, std::vector<const char*>(8, "112211221122"));
  const TProductionParameters parameters = DefaultProductionParameters(*p);
  const TProductionFigures f = ComputeProduction(*p, parameters);
  const TSheet sheet = BuildSheet(*p, parameters, f, "2026-12-07");
  auto block = [&sheet](std::string_view title) {
    for (const TSheetBlock& b : sheet.Blocks)
      if (b.Title.starts_with(title))
        return b;
    ADD_FAILURE() << title;
    return TSheetBlock{};
  };
  EXPECT_EQ(sheet.Blocks[0].Title, "Production sheet: rug.pat");
  EXPECT_EQ(sheet.Blocks[0].Rows[1][1].Text, "12 controls x 8 PLines (0.06 m x 0.02 m)");
  EXPECT_EQ(block("Control settings").Rows[1][1].Text, "5.1 mm");
  // 6 pixels across 8 PLines drawn 2.5 / 5.1 as long as they are wide.
  EXPECT_NEAR(block("Picture").Aspect, 6 / (8 * 2.5 / 5.1), 1e-6);
  const TSheetBlock creel = block("Creel");
  EXPECT_EQ(creel.Title, "Creel: needles 1-3 repeated across all 12");
  ASSERT_EQ(creel.Rows.size(), 3u);
  EXPECT_EQ(creel.Rows[2][1].Text, "C");
  EXPECT_EQ(creel.Rows[2][2].Swatch, p->Palette->GetColour(p->MachineTable->GetColour(3, 1)));
  const TSheetBlock yarn = block("Yarn");
  ASSERT_EQ(yarn.Rows.size(), 5u); // A, B, C, total and the note
  EXPECT_EQ(yarn.Rows[3][2].Text, MetresText(f.Length));
  EXPECT_EQ(yarn.Rows[3][5].Text, std::to_string(f.Cones));
  EXPECT_EQ(yarn.Rows[1][1].Text, "1300 dtex");
  const TSheetBlock bars = block("Yarn per needle");
  EXPECT_EQ(bars.Bars.size(), 12u);
  ASSERT_EQ(bars.Rows.size(), 2u);
  EXPECT_EQ(bars.Rows[1][0].Text.rfind("Furthest above the mean: ", 0), 0u);
  EXPECT_EQ(block("Palette").Rows[0][1].Text, "A High");
  EXPECT_EQ(block("States").Rows[2][2].Text, std::to_string(f.TuftsPerState[0]));

  const std::pair<std::vector<uint8_t>, int> creels[] = {
      {{1, 2, 1, 2, 1}, 2}, {{1, 1, 1}, 1}, {{1, 2, 1, 1}, 3}, {{1, 1, 2}, 3}, {{}, 0}};
  for (const auto& [yarnTypes, period] : creels)
    EXPECT_EQ(CreelPeriod(yarnTypes), period) << yarnTypes.size();
  for (const char* letter : {"US", "ca", "MX", "PH"})
    EXPECT_TRUE(UsesLetterPaper(letter)) << letter;
  for (const char* a4 : {"DE", "GB", "BR", "", "USA"})
    EXPECT_FALSE(UsesLetterPaper(a4)) << a4;
}

TEST_F(Production, SheetTablesRunOnOverPagesAndChartsStayWhole) {
  TSheet sheet{"rug.pat", "2026-12-07", {}};
  TSheetBlock table;
  table.Title = "Palette";
  table.Columns = {"Colour", "Tufted as"};
  for (int i = 0; i < 40; ++i)
    table.Rows.push_back({{std::to_string(i), {}}, {"A High", {}}});
  TSheetBlock picture;
  picture.Kind = TSheetBlockKind::Picture;
  picture.Title = "Picture";
  TSheetBlock shortTable = table;
  shortTable.Rows.resize(8);
  // Lines: the table 42 + 1, the picture 8 + 2, the short table 10 + 1.
  sheet.Blocks = {table, picture, shortTable, picture};
  // A wide picture is as long as it is drawn; a long one takes two fifths of the page.
  sheet.Blocks[3].Aspect = 4;
  EXPECT_EQ(LayOutSheet(sheet, 20, 14).back().Blocks.back().Lines, 4);
  const std::vector<TSheetPage> pages = LayOutSheet(sheet, 20, 30);
  std::vector<std::string> titles;
  std::vector<TSheetCell> rows;
  for (const TSheetPage& page : pages) {
    int lines = 0;
    for (const TSheetBlock& b : page.Blocks) {
      lines += SheetBlockLines(b);
      titles.push_back(b.Title + " " + std::to_string(b.Rows.size()));
      if (b.Title.starts_with("Palette") && b.Rows.size() != 8)
        for (const auto& row : b.Rows)
          rows.push_back(row[0]);
    }
    EXPECT_LE(lines, 20);
  }
  EXPECT_EQ(titles, (std::vector<std::string>{"Palette 17", "Palette (continued) 17",
                                              "Palette (continued) 6", "Picture 0", "Palette 8",
                                              "Picture 0"}));
  ASSERT_EQ(rows.size(), 40u);
  for (int i = 0; i < 40; ++i)
    EXPECT_EQ(rows[static_cast<size_t>(i)].Text, std::to_string(i));
  ASSERT_EQ(pages.size(), 5u);
  EXPECT_EQ(pages[4].Footer, "rug.pat, 2026-12-07, page 5 of 5");
}

} // namespace
} // namespace quillane::test
