// Writes seed corpora for the fuzz targets from valid files the core builds:
//   make-corpus DIR   ->   DIR/<target>/<seed files>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/FileIO.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "files/Colors.h"
#include "files/TuftFile.h"
#include "model/Pattern.h"
#include "production/ColourwaysFile.h"
#include "production/MachineProfile.h"
#include "production/ProductionFile.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/Settings.h"

using namespace quillane;
namespace fs = std::filesystem;

namespace {
std::string Root;

void Seed(const std::string& target, const std::string& name, const TBytes& bytes) {
  fs::create_directories(fs::path(Root) / target);
  WriteFileAtomic((fs::path(Root) / target / name).string(), bytes);
}

TBytes Record(const ODesignData& object) {
  OWriter w;
  object.WriteToStream(w);
  return w.Bytes();
}

TBytes PatternBytes(uint8_t machineType, int controls, int pLines) {
  OPattern p;
  p.InitNew();
  p.Settings->MachineType = machineType;
  p.Settings->NoControls = static_cast<uint16_t>(controls);
  p.Settings->NoPLines = static_cast<uint16_t>(pLines);
  p.Settings->Assign(*p.Settings);
  for (int c = 1; c <= controls; ++c)
    for (int pl = 1; pl <= pLines; ++pl)
      p.SetState(c, pl, static_cast<uint8_t>((c + pl) % (p.NoStates + 1)));
  auto section = std::make_unique<OSection>(&p);
  section->SetSourceArea({1, 1, 2, 2});
  section->TargetArea = {3, 1, 4, 2};
  section->HFlip = 1;
  p.Sections->Add(std::move(section));
  p.Changed();
  OWriter w;
  p.WriteToStream(w);
  return w.Bytes();
}
} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-corpus DIR\n");
    return 2;
  }
  Root = argv[1];

  for (uint8_t type : {0, 3, 4, 11})
    for (auto [c, p] : {std::pair{4, 3}, std::pair{9, 2}}) {
      const std::string name = "type" + std::to_string(type) + "-" + std::to_string(c) + "x" +
                               std::to_string(p) + ".pat";
      Seed("fuzz_pattern", name, PatternBytes(type, c, p));
      Seed("fuzz_pipeline", name, PatternBytes(type, c, p));
    }

  OPattern p;
  p.InitNew();
  p.Settings->SetDescription("seed");
  const std::vector<std::pair<std::string, const ODesignData*>> records = {
      {"creel", p.Creel.get()},
      {"designtable", p.DesignTable.get()},
      {"machinetable", p.MachineTable.get()},
      {"palette", p.Palette.get()},
      {"picture", p.Pictures->Get(0)},
      {"region", p.Pictures->Get(0)->Regions.Get(0)},
      {"section", p.Sections->Get(0)},
      {"settings", p.Settings.get()}};
  for (const auto& [name, object] : records)
    Seed("fuzz_records", name, Record(*object));

  TProductionParameters production = DefaultProductionParameters(p);
  production.YarnCounts.back() = {12.5, TYarnCountUnit::Nm};
  Seed("fuzz_production", "rug.production.json", ProductionParametersBytes(production));
  TMachineProfile machine;
  machine.Name = "Tufter 4";
  machine.Needles = 1800;
  machine.Gauge = "5/32";
  machine.States = {{1, TTuft::Cut}, {2, TTuft::Loop}, {3, TTuft::None}};
  machine.LongestFloatPLines = 8;
  machine.ShortestStateRunPLines = 2;
  machine.LargestPileStepMm = 6.5;
  machine.CreelPositions = 4000;
  machine.CreelYarnTypes = 8;
  machine.LargestStitchesPerMinute = 800;
  machine.PLineSpacingMm = std::pair(1.5, 4.0);
  machine.LargestImbalancePercent = 3;
  Seed("fuzz_machine", "tufter-4.machine.json", MachineProfileBytes(machine));

  TColourways colourways;
  colourways.List[0].SetCode(1, "NB-204");
  colourways.List.push_back(NewColourway("Harbour", *p.Palette, *p.MachineTable));
  colourways.List.back().SetCode(2, "NB \"311\"");
  Seed("fuzz_colourways", "rug.colourways.json", ColourwaysBytes(colourways));

  for (uint8_t version = 0; version <= 7; ++version) {
    p.Settings->SetFileVersion(version);
    Seed("fuzz_option", "v" + std::to_string(version) + ".dat", p.Settings->OptionFileBytes());
  }

  for (int planes = 1; planes <= 3; ++planes) {
    TTuftFile1 t1("seed.TUF");
    t1.SetNoControls(10);
    t1.SetNoPlanes(planes);
    t1.SetNoPLines(3);
    t1.SizeCode = "12,40,53";
    t1.StyleCode = "STYLE";
    for (int c = 1; c <= 10; ++c) {
      t1.SetControlYarn(c, static_cast<uint8_t>(c % 3));
      t1.SetPlaneBit(planes - 1, c, 1 + c % 3, 1);
    }
    Seed("fuzz_tuft", "v1-planes" + std::to_string(planes) + ".tuf", t1.SaveToBytes());
  }
  TTuftFile2 t2("seed.TUF");
  t2.SetNoControls(20);
  t2.SetNoPLines(3);
  for (int i = 1; i <= 16; ++i)
    t2.SetColour(i, 0x010101u * static_cast<uint32_t>(i));
  for (int c = 1; c <= 20; ++c)
    for (int pl = 1; pl <= 3; ++pl)
      t2.SetCell(c, pl, static_cast<uint8_t>(c < 10 ? 3 : c % 16));
  Seed("fuzz_tuft", "v2.tuf", t2.SaveToBytes());

  TColorsFile colours(4);
  colours.SetColour(2, 3, 7);
  for (int c = 1; c <= 4; ++c)
    colours.SetControlYarn(c, static_cast<uint8_t>(c));
  TBytes clr = {4, 0};
  const TBytes body = colours.SaveToBytes();
  clr.insert(clr.end(), body.begin(), body.end());
  Seed("fuzz_colors", "four.clr", clr);

  // CMC: 16 controls, 3 PLines, one to three planes, rows padded to blocks of R + 1 = 4.
  for (int planes = 1; planes <= 3; ++planes) {
    const int rows = 4, width = 2;
    TBytes car(static_cast<size_t>(512 * planes + planes * rows * width), 0xFF);
    std::fill(car.begin(), car.begin() + 512, 0);
    car[5] = static_cast<uint8_t>(planes);
    car[6] = rows - 1;
    car[8] = 15;
    car[10] = 2;
    for (int i = 0; i < planes; ++i)
      car[static_cast<size_t>(512 * (i + 1) + i * rows * width + i)] = 0x5A;
    Seed("fuzz_cmc", "planes" + std::to_string(planes) + ".car", car);
  }

  // NED: 12 controls by 5 PLines, big-endian sizes, cells from byte 1536.
  TBytes ned(1536 + 12 * 5, 0);
  ned[1] = 12;
  ned[3] = 5;
  for (size_t i = 1536; i < ned.size(); i += 3)
    ned[i] = 1;
  Seed("fuzz_ned", "twelve.pat", ned);
  return 0;
}
