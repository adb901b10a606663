#include <cmath>
#include <functional>
#include <numeric>

#include "InterchangeSupport.h"
#include "PatternSupport.h"

#include "editors/ProductionEditor.h"
#include "production/Json.h"
#include "production/MachineProfile.h"
#include "production/Production.h"
#include "production/ProductionFile.h"
#include "production/Sheet.h"
#include "setup/Creel.h"

namespace quillane::test {
namespace {

using Production = TFlowTest;

// Yarn A 1000 dtex (100 g/km), yarn B 20 Nm (50 g/km) and 10 % waste make the weights
// milligrams that can be checked by hand (to a millionth); PLines lie 2.5 mm apart.
// Packages hold 10 g.
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
    std::vector<uint64_t> Tufts; // from state 0
    std::vector<int> Furthest;
    // Per yarn type the ends and their packages without a backup; the end that runs out first.
    std::vector<uint64_t> Ends, Packages;
    int FirstControl, FirstYarnType;
  };
  // clang-format off
  const TCase cases[] = {
      // 3 PLines of the 2: the second pass stops after PLine 1. A cell without a state is
      // the undefined state, High.
      {"one yarn, two states", 0, 1, {}, {"1122", "1210"}, {20, 10}, 0.0075, false,
       {60, 50, 40, 40}, {190}, {19}, {0, 7, 5}, {1, 2}, {4}, {4}, 1, 1},
      // The copies count as they were tufted, not as the empty cells under them.
      {"sections", 0, 1, {}, {"1200", "2200"}, {20, 10}, 0, true,
       {30, 20, 30, 20}, {100}, {10}, {0, 2, 6}, {1, 3}, {4}, {4}, 1, 1},
      {"creel A B A B", 0, 2, {}, {"1111", "2222"}, {20, 10}, 0, false,
       {30, 30, 30, 30}, {60, 60}, {6, 3}, {0, 4, 4}, {}, {2, 2}, {2, 2}, 1, 1},
      // 25 m is 10000 PLines, the pattern 5000 times: 150 m on every needle, 16.5 g with
      // waste of A (two packages of 10 g each end), 8.25 g of B (one each end).
      {"creel A B A B over 25 m", 0, 2, {}, {"1111", "2222"}, {20, 10}, 25, false,
       {150000, 150000, 150000, 150000}, {300000, 300000}, {30000, 15000}, {0, 20000, 20000},
       {}, {2, 2}, {4, 2}, 1, 1},
      // Colour 1 is yarn A, 2 yarn B, whatever the creel (all B here); 0 and 3 no yarn type
      // shows. A needle takes a package of each yarn type it tufts: A on 1, 3, 4 and B on 1, 2;
      // needle 1's A is the first of the heaviest ends (2 mg each).
      {"colour pattern", 11, 2, {2, 2, 2, 2}, {"1203", "2211"}, {20}, 0, false,
       {40, 40, 20, 20}, {60, 60}, {6, 3}, {2, 6}, {1, 2}, {3, 2}, {3, 2}, 1, 1},
      // Off takes no yarn, nor does a control without a yarn type: no package on either.
      {"off and no yarn type", 1, 1, {1, 1, 0}, {"122", "111"}, {20, 0}, 0, false,
       {40, 20, 0}, {60}, {6}, {0, 4, 2}, {1}, {2}, {2}, 1, 1},
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
    parameters.ConeWeight = 0.01;
    parameters.Waste = 10;
    parameters.RunLength = k.RunLength;
    parameters.BackupPackage = false;
    const TProductionFigures f = ComputeProduction(*p, parameters);
    // A backup adds one package on every end and changes nothing else.
    parameters.BackupPackage = true;
    const TProductionFigures backed = ComputeProduction(*p, parameters);
    uint64_t packages = 0, ends = 0;
    for (size_t y = 0; y < k.Packages.size(); ++y) {
      EXPECT_EQ(f.YarnTypes[y].Ends, k.Ends[y]) << "yarn type " << y + 1;
      EXPECT_EQ(f.YarnTypes[y].Packages, k.Packages[y]) << "yarn type " << y + 1;
      EXPECT_EQ(backed.YarnTypes[y].Packages, k.Packages[y] + k.Ends[y]) << "yarn type " << y + 1;
      packages += k.Packages[y];
      ends += k.Ends[y];
    }
    EXPECT_EQ(f.Packages, packages);
    EXPECT_EQ(backed.Packages, packages + ends);
    EXPECT_EQ(backed.Weight, f.Weight);
    EXPECT_EQ(std::pair(f.FirstEmpty.Control, int{f.FirstEmpty.YarnType}),
              std::pair(k.FirstControl, k.FirstYarnType));
    EXPECT_EQ(backed.FirstEmpty.Packages, f.FirstEmpty.Packages + 1);

    ASSERT_EQ(f.Needles.size(), k.NeedleMm.size());
    double needleMg = 0;
    for (size_t c = 0; c < f.Needles.size(); ++c) {
      EXPECT_NEAR(f.Needles[c].Length * 1000, k.NeedleMm[c], 1e-6) << "control " << c + 1;
      EXPECT_EQ(f.Needles[c].YarnType, p->Creel->GetYarnType(static_cast<int>(c + 1)));
      needleMg += f.Needles[c].Weight * 1e6;
    }
    ASSERT_EQ(f.YarnTypes.size(), k.YarnMm.size());
    for (size_t y = 0; y < f.YarnTypes.size(); ++y) {
      EXPECT_NEAR(f.YarnTypes[y].Length * 1000, k.YarnMm[y], 1e-6) << "yarn type " << y + 1;
      EXPECT_NEAR(f.YarnTypes[y].Weight * 1e6, k.YarnMg[y], 1e-6) << "yarn type " << y + 1;
      EXPECT_NEAR(f.YarnTypes[y].WeightWithWaste * 1e6, k.YarnMg[y] * 1.1, 1e-6);
    }
    const double sumMm = std::accumulate(k.NeedleMm.begin(), k.NeedleMm.end(), 0.0);
    const double sumMg = std::accumulate(k.YarnMg.begin(), k.YarnMg.end(), 0.0);
    EXPECT_EQ(f.TuftsPerState, k.Tufts);
    EXPECT_NEAR(f.Length * 1000, sumMm, 1e-6);
    EXPECT_NEAR(f.Weight * 1e6, sumMg, 1e-6);
    EXPECT_NEAR(needleMg, sumMg, 1e-6);
    EXPECT_NEAR(f.Balance.Mean * 1000, sumMm / static_cast<double>(k.NeedleMm.size()), 1e-6);
    const auto [least, most] = std::minmax_element(k.NeedleMm.begin(), k.NeedleMm.end());
    EXPECT_NEAR(f.Balance.Min * 1000, *least, 1e-6);
    EXPECT_NEAR(f.Balance.Max * 1000, *most, 1e-6);
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
      {[](TProductionParameters& q) { q.YarnCounts[1].Value = 0; },
       "yarnCount must be from 1 to 100000 dtex"},
      // Counts and cones no mill means, which ended in infinite weights or no package.
      {[](TProductionParameters& q) {
         q.YarnCounts[0] = {5e-324, TYarnCountUnit::Nm};
       },
       "yarnCount must be from 0.01 to 1000 Nm"},
      {[](TProductionParameters& q) { q.ConeWeight = 1e-320; },
       "coneWeight must be from 0.01 to 100 kg"},
      {[](TProductionParameters& q) { q.Waste = std::nan(""); }, "waste must be from 0 to 100 %"},
      {[](TProductionParameters& q) { q.GoodsWidth = 25; },
       "goodsWidth must be 0 or from 0.1 to 20 m"},
      {[](TProductionParameters& q) { q.Selvage = 501; }, "selvage must be from 0 to 500 mm"},
      {[](TProductionParameters& q) { q.Machine = "a\tb"; },
       "machine must be a name of at most 64 characters, without control characters, / or \\"},
      {[](TProductionParameters& q) { q.TuftLength.pop_back(); },
       "The production parameters do not cover the pattern's states and yarn types"},
  };
  for (const auto& [change, message] : cases) {
    TProductionParameters q = parameters;
    change(q);
    EXPECT_EQ(Thrown<EProduction>([&] { ComputeProduction(*p, q); }), message);
  }
  // A run must come to at least one PLine.
  auto spaced = MakePattern(1, 4, 2, 2);
  spaced->Settings->PLineSpacing = 30;
  parameters.RunLength = 0.01;
  EXPECT_EQ(Thrown<EProduction>([&] { ComputeProduction(*spaced, parameters); }),
            "The run length is shorter than one PLine");
}

TEST_F(Production, ParametersFileRoundTripsAndRefusesByLineAndField) {
  TProductionParameters parameters;
  parameters.TuftLength = {22.5, 0};
  parameters.YarnCounts = {{1300, TYarnCountUnit::Dtex}, {12.5, TYarnCountUnit::Nm}};
  parameters.RunLength = 25;
  parameters.BackupPackage = false;
  const std::string text = "{\n"
                           "  \"tuftLength\": [22.5, 0],\n"
                           "  \"yarnTypes\": [\n"
                           "    {\"yarnCount\": 1300, \"unit\": \"dtex\"},\n"
                           "    {\"yarnCount\": 12.5, \"unit\": \"Nm\"}\n"
                           "  ],\n"
                           "  \"coneWeight\": 5,\n"
                           "  \"runLength\": 25,\n"
                           "  \"waste\": 3,\n"
                           "  \"backupPackage\": false\n"
                           "}\n";
  TTempDir d;
  const std::string file = ProductionFileName(d.File("rug.pat"));
  EXPECT_EQ(file, d.File("rug.production.json"));
  EXPECT_EQ(ProductionFileName("a/rug.v2.PAT"), "a/rug.v2.production.json");
  SaveProductionParameters(file, parameters);
  EXPECT_EQ(FileBytes(file), Text(text));
  EXPECT_EQ(ReadProductionParameters(Text(text)), parameters);
  // The machine and the goods go in only when set, before the last line.
  parameters.Machine = "Tufter \"4\"";
  parameters.GoodsWidth = 4;
  parameters.Selvage = 12.5;
  const std::string named = text.substr(0, text.size() - 27) +
                            "  \"machine\": \"Tufter \\\"4\\\"\",\n"
                            "  \"goodsWidth\": 4,\n"
                            "  \"selvage\": 12.5,\n"
                            "  \"backupPackage\": false\n"
                            "}\n";
  SaveProductionParameters(file, parameters);
  EXPECT_EQ(FileBytes(file), Text(named));
  EXPECT_EQ(ReadProductionParameters(Text(named)), parameters);
  // Missing: the defaults, for the pattern's two states and three yarn types.
  auto p = MakePattern(0, 4, 2, 3);
  EXPECT_EQ(LoadProductionParameters(d.File("none.production.json"), *p),
            DefaultProductionParameters(*p));

  const std::pair<std::string, std::string> hostile[] = {
      {"{\n  \"waste\": 3,\n  \"yarnTypes\": [\n    {\"yarnCount\": -1}\n  ]\n}",
       "line 4: yarnCount must be from 1 to 100000 dtex"},
      // The count's range is its unit's, which may come after it.
      {"{\"yarnTypes\": [\n{\"yarnCount\": 5e-324,\n \"unit\": \"Nm\"}]}",
       "line 2: yarnCount must be from 0.01 to 1000 Nm"},
      {"{\"yarnTypes\": [{\"yarnCount\": 1300, \"unit\": \"Nm\"}]}",
       "line 1: yarnCount must be from 0.01 to 1000 Nm"},
      {"{\"yarnTypes\": [{\"yarnCount\": 12,\n \"yarnCount\": 13}]}",
       "line 2: yarnCount is given twice"},
      {"{\"yarnTypes\": [{\"unit\": \"Nm\", \"yarnCount\": 12, \"unit\": \"dtex\"}]}",
       "line 1: unit is given twice"},
      {"{\"tuftLength\": [1,\n 501]}", "line 2: tuftLength must be from 0 to 500 mm"},
      {"{\"coneWeight\": 1e-320}", "line 1: coneWeight must be from 0.01 to 100 kg"},
      {"{\"runLength\": 100001}", "line 1: runLength must be 0 or from 0.001 to 100000 m"},
      {"{\"goodsWidth\": 0.09}", "line 1: goodsWidth must be 0 or from 0.1 to 20 m"},
      {"{\"selvage\": -1}", "line 1: selvage must be from 0 to 500 mm"},
      {"{\"machine\": 4}", "line 1: machine must be a text"},
      // The name is a file's: it may not lead out of the design folder.
      {"{\n\"machine\": \"../tufter\"}",
       "line 2: machine must be a name of at most 64 characters, without control characters, / "
       "or \\"},
      {"{\"machine\": \"" + std::string(65, 'm') + "\"}",
       "line 1: machine must be a name of at most 64 characters, without control characters, / "
       "or \\"},
      {"{\"backupPackage\": 1}", "line 1: backupPackage must be true or false"},
      {"{\"backupPackage\": truest}", "line 1: expected a number, a text, true, false, [ or {"},
      {"{\"yarnTypes\": [{\"unit\": \"tex\", \"yarnCount\": 5}]}",
       "line 1: unit must be \"dtex\" or \"Nm\""},
      {"{\"yarnTypes\": [{}]}", "line 1: yarnCount is missing"},
      {"{\"waste\": \"3\"}", "line 1: waste must be a number"},
      {"{\"waste\": 3, \"waste\": 4}", "line 1: waste is given twice"},
      {"{\"coneWeight\": 0}", "line 1: coneWeight must be from 0.01 to 100 kg"},
      {"{\"runLength\": 1e999}", "line 1: a number is out of range"},
      {"{\"runLength\": 01}", "line 1: a number is not written as JSON writes numbers"},
      {"{\"runLength\": 1", "line 1: expected ',' or '}'"},
      {"{\"a\": \"b\n\"}", "line 1: a text runs past the end of its line"},
      {"{\"a\": \"\\x41\"}", "line 1: a text holds an escape this file does not use"},
      {"{\"a\": \"\\u00g9\"}", "line 1: a text has a \\u escape without four hex digits"},
      {"{\"a\": \"\\u00e", "line 1: a text has a \\u escape without four hex digits"},
      {"{\"a\": \"\\ud83d\"}", "line 1: a text has a \\u escape that is half a character"},
      {"{\"a\": \"\\ude00\\ud83d\"}", "line 1: a text has a \\u escape that is half a character"},
      {std::string(12, '[') + std::string(12, ']'), "line 1: nested too deeply"},
      {"{\"x\": \"" + std::string(70000, 'x') + "\"}", "line 1: the file is larger than 64 KB"},
  };
  for (const auto& [bytes, message] : hostile)
    EXPECT_EQ(Thrown<EProduction>([&] { ReadProductionParameters(Text(bytes)); }), message);
  // Another tool's escapes read as the characters they mean, and every text written, control
  // characters too, reads back as it was.
  EXPECT_EQ(
      ReadProductionParameters(Text("{\"machine\": \"T\\u00FCfter \\ud83d\\ude00\"}")).Machine,
      "T\xC3\xBC"
      "fter \xF0\x9F\x98\x80");
  const std::string awkward = "a\x01\x1f\"\\\n\xE2\x82\xAC";
  const std::string json = "{\"t\": " + JsonText(awkward) + "}";
  EXPECT_EQ(ReadJsonObject(Bytes(json.begin(), json.end())).Items.at(0).Text, awkward);
  // Unknown keys are for later versions; a refused file names itself.
  EXPECT_EQ(
      ReadProductionParameters(Text("{\"later\": {\"a\": [1, \"\\n\"]}, \"waste\": 7}")).Waste, 7);
  EXPECT_TRUE(ReadProductionParameters(Text("{\"backupPackage\": true }")).BackupPackage);
  // Only a name that leads nowhere means "no parameters"; a folder or a pipe is refused.
  std::filesystem::create_directory(d.File("dir.production.json"));
  EXPECT_NE(Thrown<EProduction>([&] {
              LoadProductionParameters(d.File("dir.production.json"), *p);
            }).find("not a regular file but a folder"),
            std::string::npos);
  WriteBytes(file, Text("{\"waste\": 101}"));
  EXPECT_EQ(Thrown<EProduction>([&] { LoadProductionParameters(file, *p); }),
            "Error reading production parameters: " + file +
                ": line 1: waste must be from 0 to 100 %");
}

// Tufts of 0.5 m and 0.25 m of a 20 g/m yarn make figures the window shows to the gram.
TEST_F(Production, WindowShowsTheFiguresOfTheFileBesideThePatternReadOnlyWhenItChanges) {
  auto p = MakePattern(0, 3, 2, 1);
  SetCells(*p, {"112", "121"});
  const std::string file = Current.File("p.production.json");
  const std::string good = "{\"tuftLength\": [500, 250], \"coneWeight\": 0.05, \"waste\": 20,"
                           " \"yarnTypes\": [{\"yarnCount\": 0.05, \"unit\": \"Nm\"}]}";
  // The file ("": none), the problem shown, and the totals ("?": the defaults' figures).
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {good, "",
       "Yarn for 2 PLines: 2.50 m, 0.050 kg (0.060 kg with waste), 6 packages of 0.05 kg, a "
       "backup on every needle end included"},
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
    // Needle 1 takes 1 m, 20 g, 24 g with waste: one package and its backup, as the others.
    EXPECT_EQ(v.YarnTypes,
              (std::vector<TYarnTypeRow>{{"A", "2.50 m", "0.050 kg", "0.060 kg", "3", "6"}}));
    EXPECT_EQ(v.FirstEmpty,
              "Needle 1 (yarn type A) empties its package first: it takes 0.024 kg with waste");
    EXPECT_EQ(v.Balance, "Needle balance: min 0.75 m, mean 0.83 m, max 1.00 m, max/mean 1.20; "
                         "furthest above the mean: 1");
    EXPECT_EQ(v.NeedleLengths, (std::vector<double>{1, 0.75, 0.75}));
    EXPECT_EQ(v.LongestNeedle, 1);
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

// The window works the figures out again however the cells or the creel change: a cell
// painted alone, a step, its undo and redo, an applied creel.
TEST_F(Production, WindowFollowsTheCellsAndTheCreelAsTheyChange) {
  auto p = MakePattern(0, 3, 2, 2);
  SetCells(*p, {"112", "121"});
  auto figures = [&](const TProductionView& v) {
    return std::tuple(v.NeedleLengths, v.YarnTypes, v.Creel.Title);
  };
  TProductionView shown = BuildProductionView(*p, "");
  int worked = 0;
  const auto listening = p->Events.Subscribe([&](const TPatternChange& c) {
    if (ChangesFigures(c, p->History)) {
      shown = BuildProductionView(*p, "");
      ++worked;
    }
  });
  const std::pair<const char*, std::function<void()>> changes[] = {
      {"a cell painted", [&] { p->PaintMachineColour(1, 1, 2); }},
      {"a step",
       [&] {
         OUndoHistory::TChange step(p->History, "Paint");
         p->PaintMachineColour(3, 2, 2);
         step.Commit();
       }},
      {"undo", [&] { p->History.Undo(); }},
      {"redo", [&] { p->History.Redo(); }},
      {"the creel",
       [&] {
         p->Creel->SetYarnType(3, 2);
         p->ApplyCreel();
       }},
  };
  for (const auto& [name, change] : changes) {
    SCOPED_TRACE(name);
    const auto before = figures(shown);
    change();
    EXPECT_NE(figures(BuildProductionView(*p, "")), before);
    EXPECT_EQ(figures(shown), figures(BuildProductionView(*p, "")));
    // The view showing the change draws its pixels again, which changes no figure.
    worked = 0;
    ASSERT_EQ(p->Pictures->Count(), 1);
    p->Pictures->Get(0)->BringUpToDate(TView::Machine);
    EXPECT_EQ(worked, 0);
  }
}

TEST_F(Production, MachineProfileRoundTripsAndRefusesByLineAndField) {
  TMachineProfile tufter;
  tufter.Name = "Tufter 4";
  tufter.Needles = 1800;
  tufter.Gauge = "1/10";
  tufter.States = {{1, TTuft::Cut}, {3, TTuft::Loop}, {2, TTuft::None}};
  tufter.LongestFloatPLines = 8;
  tufter.ShortestStateRunPLines = 2;
  tufter.LargestPileStepMm = 6.5;
  tufter.CreelPositions = 4000;
  tufter.CreelYarnTypes = 8;
  tufter.LargestStitchesPerMinute = 800;
  tufter.PLineSpacingMm = std::pair(1.5, 4.0);
  tufter.LargestImbalancePercent = 3;
  const std::string text = "{\n"
                           "  \"name\": \"Tufter 4\",\n"
                           "  \"needles\": 1800,\n"
                           "  \"gauge\": \"1/10\",\n"
                           "  \"states\": [\n"
                           "    {\"state\": 1, \"tuft\": \"cut\"},\n"
                           "    {\"state\": 3, \"tuft\": \"loop\"},\n"
                           "    {\"state\": 2, \"tuft\": \"none\"}\n"
                           "  ],\n"
                           "  \"longestFloatPLines\": 8,\n"
                           "  \"shortestStateRunPLines\": 2,\n"
                           "  \"largestPileStepMm\": 6.5,\n"
                           "  \"creelPositions\": 4000,\n"
                           "  \"creelYarnTypes\": 8,\n"
                           "  \"largestStitchesPerMinute\": 800,\n"
                           "  \"pLineSpacingMm\": [1.5, 4],\n"
                           "  \"largestImbalancePercent\": 3\n"
                           "}\n";
  TTempDir d, beside;
  SaveMachineProfile(MachineProfileFileName(d.Path, "tufter-4"), tufter);
  EXPECT_EQ(FileBytes(d.File("tufter-4.machine.json")), Text(text));
  EXPECT_EQ(ReadMachineProfile(Text(text)), tufter);
  // A profile that limits nothing is written as nothing, and read back as nothing.
  EXPECT_EQ(MachineProfileBytes({}), Text("{\n}\n"));
  EXPECT_EQ(ReadMachineProfile(Text("{\n}\n")), TMachineProfile{});
  EXPECT_EQ(WorkingWidthMm(tufter), 4572.0);
  // The example beside the manual is as the writer writes it.
  const Bytes example = FileBytes(std::string(QUILLANE_SOURCE_DIR) + "/docs/tufter-4.machine.json");
  EXPECT_EQ(MachineProfileBytes(ReadMachineProfile(example)), example);
  tufter.Gauge.reset();
  EXPECT_EQ(WorkingWidthMm(tufter), std::nullopt);
  // What a mill writes on the plate, from 1/20 to 1/4 inch; anything else is no gauge.
  const std::pair<const char*, double> gauges[] = {
      {"1/10", 0.1}, {"5/32", 5.0 / 32}, {"1/20", 0.05}, {"1/4", 0.25}, {"3/16", 3.0 / 16},
      {"1/21", 0},   {"1/3", 0},         {"1/10.5", 0},  {"01/10", 0},  {"1/0", 0},
      {"10", 0},     {"1 /10", 0},       {"", 0},        {"/", 0},      {"1/10/2", 0}};
  for (const auto& [gauge, inches] : gauges)
    EXPECT_EQ(GaugeInches(gauge).value_or(0), inches) << gauge;

  const std::string bounds = " must be a whole number from ";
  const std::pair<std::string, std::string> hostile[] = {
      {"{\"needles\": 0}", "line 1: needles" + bounds + "1 to 10000"},
      {"{\"needles\": 10000.5}", "line 1: needles" + bounds + "1 to 10000"},
      {"{\"needles\": \"1800\"}", "line 1: needles" + bounds + "1 to 10000"},
      {"{\n\"longestFloatPLines\": 100001}",
       "line 2: longestFloatPLines" + bounds + "1 to 100000 PLines"},
      {"{\"shortestStateRunPLines\": 1.5}",
       "line 1: shortestStateRunPLines" + bounds + "1 to 100000 PLines"},
      {"{\"largestPileStepMm\": -0.1}",
       "line 1: largestPileStepMm must be a number from 0 to 100 mm"},
      {"{\"creelPositions\": 0}", "line 1: creelPositions" + bounds + "1 to 100000"},
      {"{\"creelYarnTypes\": 256}", "line 1: creelYarnTypes" + bounds + "1 to 255"},
      {"{\"largestStitchesPerMinute\": 1e5}",
       "line 1: largestStitchesPerMinute must be a number from 1 to 10000"},
      {"{\"largestImbalancePercent\": 1001}",
       "line 1: largestImbalancePercent must be a number from 0 to 1000 %"},
      {"{\"pLineSpacingMm\": [0.05, 4]}",
       "line 1: pLineSpacingMm must be a number from 0.1 to 100 mm"},
      {"{\"pLineSpacingMm\": [4,\n 1.5]}",
       "line 2: pLineSpacingMm must give the smallest spacing first"},
      {"{\"pLineSpacingMm\": 2.5}",
       "line 1: pLineSpacingMm must be a list of two numbers, [min, max]"},
      {"{\"gauge\": \"1/10.5\"}", "line 1: gauge must be a fraction of an inch from 1/20 to 1/4, "
                                  "such as \"1/10\" or \"5/32\""},
      {"{\"name\": \"\"}",
       "line 1: name must be a text of 1 to 64 characters without control characters"},
      {"{\"name\": \"Tufter\\t4\"}",
       "line 1: name must be a text of 1 to 64 characters without control characters"},
      {"{\"states\": []}", "line 1: states must be a list in [ ] of 1 to 255 states"},
      {"{\"states\": [1]}", "line 1: each of states must be an object in { }"},
      {"{\"states\": [\n{\"tuft\": \"cut\"}]}", "line 2: state is missing"},
      {"{\"states\": [{\"state\": 1}]}", "line 1: tuft is missing"},
      {"{\"states\": [{\"state\": 1, \"tuft\": \"Cut\"}]}",
       "line 1: tuft must be \"cut\", \"loop\" or \"none\""},
      {"{\"states\": [{\"state\": 256, \"tuft\": \"cut\"}]}",
       "line 1: state" + bounds + "1 to 255"},
      {"{\"states\": [{\"state\": 2, \"tuft\": \"cut\"},\n {\"state\": 2, \"tuft\": \"loop\"}]}",
       "line 2: state 2 is given twice"},
      {"{\"states\": [{\"state\": 2, \"tuft\": \"cut\", \"tuft\": \"loop\"}]}",
       "line 1: tuft is given twice"},
      {"{\"needles\": 8,\n\"gauge\": \"1/8\",\n\"needles\": 9}", "line 3: needles is given twice"},
      {"[]", "line 1: the file must hold one object in { }"},
      {"{\"name\": \"" + std::string(70000, 'x') + "\"}", "line 1: the file is larger than 64 KB"},
  };
  for (const auto& [bytes, message] : hostile)
    EXPECT_EQ(Thrown<EProduction>([&] { ReadMachineProfile(Text(bytes)); }), message);

  // The profiles of a folder are its NAME.machine.json files; "Any machine" is built in.
  WriteBytes(d.File("tufter-2.machine.json"), Text("{\"needles\": 900}"));
  WriteBytes(d.File("Any machine.machine.json"), Text("{}"));
  WriteBytes(d.File("notes.json"), Text("{}"));
  std::filesystem::create_directory(d.File("old.machine.json"));
  WriteBytes(beside.File("tufter-9.machine.json"), Text("{\"needles\": 0}"));
  EXPECT_EQ(MachineProfileNames(d.Path), (std::vector<std::string>{"tufter-2", "tufter-4"}));
  EXPECT_EQ(MachineProfileNames(d.File("none")), std::vector<std::string>{});
  EXPECT_EQ(MachineProfileNames(""), std::vector<std::string>{});
  const std::vector<std::string> folders{d.Path, beside.Path};
  EXPECT_EQ(FindMachineProfile("", folders), AnyMachine());
  EXPECT_EQ(FindMachineProfile(AnyMachineName, folders), AnyMachine());
  tufter.Gauge = "1/10";
  EXPECT_EQ(FindMachineProfile("tufter-4", folders), tufter);
  // A profile without a name goes by its file's.
  EXPECT_EQ(FindMachineProfile("tufter-2", folders).Name, "tufter-2");
  EXPECT_EQ(Thrown<EProduction>([&] { FindMachineProfile("tufter-9", folders); }),
            "Error reading machine profile: " + beside.File("tufter-9.machine.json") +
                ": line 1: needles" + bounds + "1 to 10000");
  EXPECT_EQ(Thrown<EProduction>([&] { FindMachineProfile("tufter-5", folders); }),
            "Machine profile tufter-5 not found in " + d.Path + " or " + beside.Path);
  EXPECT_NE(Thrown<EProduction>([&] {
              FindMachineProfile("old", folders);
            }).find("not a regular file but a folder"),
            std::string::npos);
  EXPECT_EQ(Thrown<EProduction>([&] { FindMachineProfile("../tufter-4", {beside.Path}); }),
            "Machine profile ../tufter-4 not found in any folder");
  // What could not be read back is not written.
  tufter.Needles = 0;
  EXPECT_THROW(SaveMachineProfile(d.File("tufter-4.machine.json"), tufter), EProduction);
  EXPECT_EQ(FileBytes(d.File("tufter-4.machine.json")), Text(text));
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
  std::vector<std::string> labels, texts, units;
  for (const TParameterField& f : fields)
    labels.push_back(f.Label), texts.push_back(f.Text), units.push_back(f.Unit);
  EXPECT_EQ(labels, (std::vector<std::string>{"Tuft length High (mm)", "Tuft length Low (mm)",
                                              "Yarn count A", "Yarn count B", "Cone weight (kg)",
                                              "Run length (m)", "Goods width (m)", "Selvage (mm)",
                                              "Waste (%)"}));
  EXPECT_EQ(units, (std::vector<std::string>{"", "", "dtex", "Nm", "", "", "", "", ""}));
  EXPECT_EQ(ReadParameterFields(*p, parameters, texts), parameters);
  EXPECT_EQ(ReadParameterFields(*p, parameters, texts, units), parameters);
  // A pattern never saved has no folder to keep its parameters in.
  EXPECT_EQ(ParametersFileOf(*p), "");
  EXPECT_THROW(ApplyParameterFields(*p, parameters, texts), EProduction);
  p->FileName = Current.File("p.pat");
  // The box, what is typed in it, the unit chosen beside it ("": as shown), and what it then
  // shows or why it is refused, in the window's words and with the range the file takes.
  const std::tuple<size_t, const char*, const char*, const char*> cases[] = {
      {0, " 21.50 ", "", "21.5"},
      {3, "0.5", "", "0.5"},
      {8, "0", "", "0"},
      {6, "0.1", "", "0.1"},
      {7, "500", "", "500"},
      {2, "12.5", "Nm", "12.5 Nm"},
      {3, "1300", "dtex", "1300 dtex"},
      {1, "", "", "Tuft length Low (mm): \"\" is not a number"},
      {4, "2,5", "", "Cone weight (kg): \"2,5\" is not a number"},
      {5, "1e999", "", "Run length (m): \"1e999\" is not a number"},
      {2, "0", "", "Yarn count A must be from 1 to 100000 dtex"},
      {2, "1300", "Nm", "Yarn count A must be from 0.01 to 1000 Nm"},
      {2, "1300", "tex", "Yarn count A: the unit must be dtex or Nm"},
      {4, "0", "", "Cone weight must be from 0.01 to 100 kg"},
      {8, "nan", "", "Waste must be from 0 to 100 %"},
      {6, "0.05", "", "Goods width must be 0 or from 0.1 to 20 m"},
      {7, "-1", "", "Selvage must be from 0 to 500 mm"},
      {0, "501", "", "Tuft length High must be from 0 to 500 mm"},
  };
  const std::string file = Current.File("p.production.json");
  for (const auto& [box, text, unit, expected] : cases) {
    SCOPED_TRACE(text);
    std::vector<std::string> edited = texts, chosen = units;
    edited[box] = text;
    if (*unit)
      chosen[box] = unit;
    TProductionParameters read;
    const std::string refused =
        Thrown<EProduction>([&] { read = ReadParameterFields(*p, parameters, edited, chosen); });
    const TParameterField shown =
        refused.empty() ? ParameterFields(*p, read)[box] : TParameterField{};
    EXPECT_EQ(refused.empty() ? shown.Text + (*unit ? " " + shown.Unit : "") : refused, expected);
    if (refused.empty()) {
      ApplyParameterFields(*p, parameters, edited, chosen); // saved as read
      EXPECT_EQ(LoadProductionParameters(file, *p), read);
    } else {
      EXPECT_THROW(ApplyParameterFields(*p, parameters, edited, chosen), EProduction);
    }
  }
}

// The window offers the profiles of the design folder and of the pattern's own, and what it
// applies names the chosen one, or none for "Any machine".
TEST_F(Production, WindowChoosesTheMachineAmongTheProfilesOfTheDesignFolderAndThePattern) {
  TTempDir beside;
  for (const std::string& file :
       {Current.File("tufter-4.machine.json"), Current.File("tufter-2.machine.json"),
        beside.File("tufter-4.machine.json"), beside.File("loom-1.machine.json")})
    WriteBytes(file, Text("{}"));
  auto p = MakePattern(0, 3, 2, 1);
  const TProductionParameters parameters = DefaultProductionParameters(*p);
  std::vector<std::string> texts;
  for (const TParameterField& f : ParameterFields(*p, parameters))
    texts.push_back(f.Text);
  auto names = [&](std::vector<std::string> more) {
    more.insert(more.begin(), AnyMachineName);
    return more;
  };
  EXPECT_EQ(MachineChoices(*p, ""), (TMachineChoices{names({"tufter-2", "tufter-4"}), 0}));
  p->FileName = beside.File("p.pat");
  const std::string file = beside.File("p.production.json");
  // The machine chosen and saved, and the choices then offered with the one chosen.
  const std::tuple<std::string, TMachineChoices> cases[] = {
      {"tufter-2", {names({"loom-1", "tufter-2", "tufter-4"}), 2}},
      {"loom-1", {names({"loom-1", "tufter-2", "tufter-4"}), 1}},
      // A profile since removed stays the pattern's until another is chosen.
      {"tufter-1", {names({"loom-1", "tufter-1", "tufter-2", "tufter-4"}), 2}},
      {AnyMachineName, {names({"loom-1", "tufter-2", "tufter-4"}), 0}},
  };
  for (const auto& [choice, offered] : cases) {
    SCOPED_TRACE(choice);
    TProductionParameters chosen = parameters;
    chosen.Machine = MachineOfChoice(choice);
    ApplyParameterFields(*p, chosen, texts);
    const TProductionParameters read = LoadProductionParameters(file, *p);
    EXPECT_EQ(read.Machine, choice == AnyMachineName ? "" : choice);
    EXPECT_EQ(MachineChoices(*p, read.Machine), offered);
  }
  // "Any machine" leaves the file as it was before machines were known.
  EXPECT_EQ(FileBytes(file), ProductionParametersBytes(parameters));
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
  ASSERT_EQ(yarn.Rows.size(), 6u); // A, B, C, total, the packages and the first to run out
  EXPECT_EQ(yarn.Rows[3][3].Text, MetresText(f.Length));
  EXPECT_EQ(yarn.Rows[3][6].Text, "12"); // every needle one end
  EXPECT_EQ(yarn.Rows[3][7].Text, "24"); // and a package and its backup on each
  EXPECT_EQ(yarn.Rows[4][0].Text,
            "24 packages of 5 kg, a backup on every needle end included; 3 % waste");
  EXPECT_EQ(yarn.Rows[5][0].Text.rfind("Needle 1 (yarn type A) empties its package first", 0), 0u);
  // The name a print to file proposes holds no character a file name cannot.
  EXPECT_EQ(SheetDocumentName(sheet), "Production sheet - rug");
#ifdef _WIN32
  // Windows takes "t3:" for a drive and the backslash for a separator.
  EXPECT_EQ(SheetDocumentName({"t3: a\\b?\x01.pat", "", {}}), "Production sheet - b__");
#else
  EXPECT_EQ(SheetDocumentName({"t3: a\\b?\x01.pat", "", {}}), "Production sheet - t3_ a_b__");
#endif
  EXPECT_EQ(yarn.Rows[1][2].Text, "1300 dtex");
  const TSheetBlock bars = block("Yarn per needle");
  EXPECT_EQ(bars.Bars.size(), 12u);
  ASSERT_EQ(bars.Rows.size(), 2u);
  EXPECT_EQ(bars.Rows[1][0].Text.rfind("Furthest above the mean: ", 0), 0u);
  EXPECT_EQ(block("Palette").Rows[0][1].Text, "A High");
  EXPECT_EQ(block("States").Rows[2][2].Text, std::to_string(f.TuftsPerState[0]));

  // In a colourway its yarn colours and shade codes stand where the palette's did, and every
  // colourway's sheet starts a page of its own.
  TColourways colourways;
  colourways.List.push_back(NewColourway("Harbour", *p->Palette, *p->MachineTable));
  TColourway& harbour = colourways.List.back();
  SetYarnColour(harbour, *p->Palette, *p->MachineTable, 3, 0x5F3A1E);
  harbour.SetCode(3, "NB-204");
  const TSheet in = BuildSheet(*p, parameters, f, "2026-12-07", &harbour);
  EXPECT_EQ(in.Blocks[0].Title, "Production sheet: rug.pat, colourway Harbour");
  const TSheetBlock& inYarn = in.Blocks[2];
  ASSERT_EQ(inYarn.Title, "Yarn");
  EXPECT_EQ(inYarn.Rows[2][0].Swatch, 0x5F3A1Eu);
  EXPECT_EQ(inYarn.Rows[2][1].Text, "NB-204");
  EXPECT_EQ(inYarn.Rows[0][0].Swatch, yarn.Rows[0][0].Swatch);
  EXPECT_EQ(yarn.Rows[2][1].Text, "");
  for (const TSheetBlock& b : in.Blocks) {
    if (b.Title.starts_with("Creel")) {
      EXPECT_EQ(b.Rows[2][2].Swatch, 0x5F3A1Eu);
    } else if (b.Title == "Palette") {
      EXPECT_EQ(b.Rows[4][0].Swatch, 0x5F3A1Eu);
    }
  }
  const TSheet all = BuildColourwaysSheet(*p, parameters, f, "2026-12-07", colourways);
  ASSERT_EQ(all.Blocks.size(), 2 * sheet.Blocks.size());
  std::vector<std::string> starts;
  for (const TSheetPage& page : LayOutSheet(all, 200, 40))
    starts.push_back(page.Blocks.front().Title);
  EXPECT_EQ(starts, (std::vector<std::string>{"Production sheet: rug.pat, colourway Original",
                                              "Production sheet: rug.pat, colourway Harbour"}));

  // Rows rounded to what the sheet shows add up to the total as printed: 26.66, not
  // 26.660000000000004 against 26.659999999999997.
  const std::tuple<std::vector<double>, double, std::vector<int64_t>> sums[] = {
      {{13.33, 13.33}, 0.01, {1333, 1333}},
      {{0.004, 0.004, 0.004}, 0.01, {1, 0, 0}},
      {{1.006, 2.006, 3.006}, 0.01, {101, 201, 300}},
      {{0.0014, 0.0026}, 0.001, {1, 3}},
  };
  for (const auto& [values, unit, units] : sums)
    EXPECT_EQ(RoundedToTotal(values, unit), units) << values.size();
  EXPECT_EQ(DecimalText(2666, 2) + " " + DecimalText(5, 3) + " " + DecimalText(-120, 2),
            "26.66 0.005 -1.20");

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
