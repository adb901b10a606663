// Production-size benchmarks. Every operation is measured against baselines taken in the
// same run on the same pattern size (medians of five repetitions each), and the run ends
// with a table of ratios and goals:
//   build/bench/quillane-bench
// B1: one byte-table pass over every cell; B4: the same writing 4-byte values; BW: writing
// a file of the same size in one write, made durable as a save makes it (fsync);
// BR: reading it back in one read.
// With the desktop program built, the view window is measured too (offscreen), against
// B_draw: drawing a prepared 1600 x 1000 image onto a window of that size. The pattern
// setup editor is measured against B_draw too, on 99 yarn types in 4 states (156,816
// design table columns), at the same window size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/App.h"
#include "app/FileIO.h"
#include "editors/Selection.h"
#include "editors/ViewStates.h"
#include "elements/BitmapMapping.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "files/Export.h"
#include "files/TuftImport.h"
#include "model/BitmapStates.h"
#include "model/Pattern.h"
#include "platform/ScriptedPlatform.h"
#include "preview/StrikeOff.h"
#include "production/MachineCheck.h"
#include "production/Production.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/PalettePaintBox.h"
#include "setup/Settings.h"
#include "wizards/Wizards.h"

#ifdef QUILLANE_GUI
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTableView>
#include <QToolButton>

#include "preview/Preview.h"
#include "shell/DesignUI.h"
#include "shell/PatternTree.h"
#include "ui/PatternSetupForm.h"
#include "ui/PreviewForm.h"
#include "ui/SetupGridView.h"
#include "ui/WindowForm.h"
#endif

using namespace quillane;
namespace fs = std::filesystem;

namespace {

constexpr uint16_t Controls = 1800;
constexpr uint16_t PLines = 20000;
constexpr uint16_t SectionControls = 120;
constexpr uint16_t Repeats = 3;

// The carpet wizard's layout, every cell given a fixed pseudo-random state (or, for a
// colour pattern, a colour with a yarn number).
std::unique_ptr<OPattern> ProductionPattern(uint16_t controls, uint16_t pLines,
                                            uint16_t sectionControls, bool colour) {
  TCarpetWizard w;
  w.PatternControls = controls;
  w.PatternPLines = pLines;
  w.SectionControls = sectionControls;
  w.DeriveSectionPLines();
  w.Center = true;
  w.NoRepeats = Repeats;
  std::unique_ptr<OPattern> p = GenerateWizard(w);
  if (colour) {
    p->Settings->MachineType = 11;
    p->Settings->Assign(*p->Settings);
    p->Changed();
  }
  std::mt19937 random(1234);
  std::vector<uint8_t> values;
  if (colour) {
    for (int y = 1; y <= p->NoYarnTypes; ++y)
      values.push_back(p->MachineTable->GetColour(y, 1));
  } else {
    for (int s = 1; s <= p->NoStates; ++s)
      values.push_back(static_cast<uint8_t>(s));
  }
  TGrid& grid = colour ? p->MachineColours : p->States;
  for (int pl = 1; pl <= p->NoPLines; ++pl) {
    uint8_t* row = grid.Row(pl);
    for (int c = 1; c <= p->NoControls; ++c)
      row[c] = values[random() % values.size()];
  }
  p->Changed();
  return p;
}

struct TFixture {
  std::string Folder;
  std::unique_ptr<OPattern> Pattern;
  std::unique_ptr<OPattern> Colour;
  std::unique_ptr<OPattern> Small;
  std::string PatternFile;
  size_t PatternBytes = 0;
  size_t ExportBytes1 = 0, ExportBytes2 = 0, TufBytes1 = 0, TufBytes2 = 0;
  std::vector<uint8_t> Lut = std::vector<uint8_t>(256);
  std::vector<uint32_t> Lut4 = std::vector<uint32_t>(256);
  OScriptedPlatform UI;
};

TFixture& Fix() {
  static TFixture* f = [] {
    auto* x = new TFixture;
    char pattern[] = "/tmp/quillane-bench-XXXXXX";
    x->Folder = ::mkdtemp(pattern);
    new OPlatformScope(x->UI);             // the fixture lives as long as the program
    g.CurrentDir = g.StartDir = x->Folder; // no DEFAULT files
    x->Pattern = ProductionPattern(Controls, PLines, SectionControls, false);
    x->Colour = ProductionPattern(Controls, PLines, SectionControls, true);
    x->Small = ProductionPattern(100, 100, 7, false);
    x->PatternFile = JoinPath(x->Folder, "prod.pat");
    x->Pattern->FileName = x->PatternFile;
    x->Pattern->SaveToFile();
    x->PatternBytes = fs::file_size(x->PatternFile);
    for (int i = 0; i < 256; ++i) {
      x->Lut[static_cast<size_t>(i)] = static_cast<uint8_t>(255 - i);
      x->Lut4[static_cast<size_t>(i)] = 0x010101u * static_cast<uint32_t>(i);
    }
    return x;
  }();
  return *f;
}

size_t Cells() {
  return size_t{Controls} * PLines;
}

void WriteDurably(const std::string& path, const std::vector<uint8_t>& bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
      ::fsync(fd) != 0)
    std::abort();
  ::close(fd);
}

// Baselines.
void B1(benchmark::State& state) {
  TFixture& f = Fix();
  const TZeroedBytes& src = f.Pattern->States.Data();
  std::vector<uint8_t> dst(src.size());
  for (auto _ : state) {
    const uint8_t* lut = f.Lut.data();
    for (size_t i = 0; i < src.size(); ++i)
      dst[i] = lut[src[i]];
    benchmark::DoNotOptimize(dst.data());
  }
}

void B4(benchmark::State& state) {
  TFixture& f = Fix();
  const TZeroedBytes& src = f.Pattern->States.Data();
  std::vector<uint32_t> dst(src.size());
  for (auto _ : state) {
    const uint32_t* lut = f.Lut4.data();
    for (size_t i = 0; i < src.size(); ++i)
      dst[i] = lut[src[i]];
    benchmark::DoNotOptimize(dst.data());
  }
}

void BW(benchmark::State& state) {
  const std::vector<uint8_t> bytes(static_cast<size_t>(state.range(0)), 7);
  const std::string path = JoinPath(Fix().Folder, "bw.bin");
  for (auto _ : state)
    WriteDurably(path, bytes);
}

void BR(benchmark::State& state) {
  const std::string path = JoinPath(Fix().Folder, "br.bin");
  WriteDurably(path, std::vector<uint8_t>(static_cast<size_t>(state.range(0)), 7));
  for (auto _ : state)
    benchmark::DoNotOptimize(ReadFileBytes(path).data());
}

// The pattern document.
void SaveToFile(benchmark::State& state) {
  for (auto _ : state)
    Fix().Pattern->SaveToFile();
}

void Open(benchmark::State& state) {
  for (auto _ : state) {
    std::unique_ptr<OPattern> p = OpenPatternFile(Fix().PatternFile);
    benchmark::DoNotOptimize(p.get());
  }
}

void ComputeMachineColours(benchmark::State& state) {
  for (auto _ : state)
    Fix().Pattern->ComputeMachineColours();
}

void ComputeDesignColours(benchmark::State& state) {
  for (auto _ : state)
    Fix().Pattern->ComputeDesignColours();
}

// The design view of patterns of the production pattern's cell count whose creel holds
// many yarn types: every control pair a random pair of them, every cell a random state, the
// design table giving every combination a colour.
std::unique_ptr<OPattern> ManyYarnTypesPattern(uint16_t controls, uint8_t yarnTypes) {
  auto p = std::make_unique<OPattern>();
  p->InitNew();
  p->Settings->NoControls = controls;
  p->Settings->NoPLines = static_cast<uint16_t>(Cells() / controls);
  p->ApplySettings();
  p->MachineTable->SetNoYarnTypes(yarnTypes);
  p->ApplyMachineTable();
  p->Creel->SetNoYarnTypes(yarnTypes);
  std::mt19937 random(77);
  for (int c = 1; c <= p->NoControls; ++c)
    p->Creel->SetYarnType(c, static_cast<uint8_t>(1 + random() % yarnTypes));
  p->ApplyCreel();
  for (int a = 1; a <= yarnTypes; ++a)
    for (int b = 1; b <= yarnTypes; ++b)
      for (int sa = 1; sa <= p->NoStates; ++sa)
        for (int sb = 1; sb <= p->NoStates; ++sb)
          p->DesignTable->SetColour(a, b, sa, sb,
                                    static_cast<uint8_t>(1 + random() % p->NoColours));
  p->ApplyDesignTable();
  for (int pl = 1; pl <= p->NoPLines; ++pl) {
    uint8_t* row = p->States.Row(pl);
    for (int c = 1; c <= p->NoControls; ++c)
      row[c] = static_cast<uint8_t>(1 + random() % p->NoStates);
  }
  return p;
}

void ComputeDesignColoursManyYarnTypes(benchmark::State& state) {
  static const std::unique_ptr<OPattern> p = ManyYarnTypesPattern(65535, 255);
  for (auto _ : state)
    p->ComputeDesignColours();
}

void ComputeDesignColoursTwentyYarnTypes(benchmark::State& state) {
  static const std::unique_ptr<OPattern> p = ManyYarnTypesPattern(2000, 20);
  for (auto _ : state)
    p->ComputeDesignColours();
}

// The yarn figures of one pass of the pattern with the default parameters.
void ProductionNumbers(benchmark::State& state) {
  const OPattern& p = *Fix().Pattern;
  const TProductionParameters parameters = DefaultProductionParameters(p);
  for (auto _ : state)
    benchmark::DoNotOptimize(ComputeProduction(p, parameters).Length);
}

void ApplySections(benchmark::State& state) {
  for (auto _ : state)
    Fix().Pattern->ApplySections();
}

void RenderMachineImage(benchmark::State& state) {
  OPattern& p = *Fix().Pattern;
  p.ComputeMachineColours();
  // The image is allocated when the view is first shown; that belongs to the memory goal.
  p.Pictures->Get(0)->RenderMachineImage();
  for (auto _ : state)
    p.Pictures->Get(0)->RenderMachineImage();
}

// The fill tool over a picture of one colour (one yarn type, every cell in state 1): every
// pixel the regions show painted as a press paints it, as one step of the history, the
// colours of states 1 and 2 taking turns; and its undo, the image made again included, as
// the fill draws it.
OPattern& FillPattern() {
  static const std::unique_ptr<OPattern> p = [] {
    std::unique_ptr<OPattern> q = ProductionPattern(Controls, PLines, SectionControls, false);
    for (int c = 1; c <= q->NoControls; ++c)
      q->Creel->SetYarnType(c, 1);
    q->ApplyCreel();
    q->States.Fill(1);
    q->Changed();
    q->Pictures->Get(0)->BringUpToDate(TView::Machine);
    return q;
  }();
  return *p;
}

// Every pixel the other colour of the two the picture takes turns between.
bool FillOnce(OPattern& p) {
  OPicture& picture = *p.Pictures->Get(0);
  const uint8_t colours[] = {p.MachineTable->GetColour(1, 2), p.MachineTable->GetColour(1, 1)};
  const uint8_t colour = colours[p.States.Get(1, 1) == 2 ? 1 : 0];
  const TPixelRuns pixels = FillPixels(picture.MachineImage, {0, 0}, false);
  return PaintPixels(p, picture, TView::Machine, pixels, colour, "Fill").empty();
}

void FillWhole(benchmark::State& state) {
  OPattern& p = FillPattern();
  for (auto _ : state)
    if (!FillOnce(p))
      state.SkipWithError("the fill was refused");
}

void UndoFillWhole(benchmark::State& state) {
  OPattern& p = FillPattern();
  for (auto _ : state) {
    state.PauseTiming();
    const bool filled = FillOnce(p);
    const int steps = p.History.UndoCount();
    state.ResumeTiming();
    p.History.Undo();
    p.Pictures->Get(0)->BringUpToDate(TView::Machine);
    if (!filled || p.History.UndoCount() != steps - 1)
      state.SkipWithError("the fill was refused or not undone");
  }
}

// A designer's carpet (1,800 x 20,000, a motif imported into the carpet wizard's design
// region: large areas of one state), read with its sections from ../shared/bench beside
// the repository or from --carpet=FILE (.pat, or .pat.gz unpacked into the bench's folder).
std::string CarpetFile;

OPattern* Carpet() {
  static const std::unique_ptr<OPattern> p = []() -> std::unique_ptr<OPattern> {
    std::string file = CarpetFile;
#ifdef QUILLANE_SOURCE_DIR
    if (file.empty())
      file = std::string(QUILLANE_SOURCE_DIR) + "/../shared/bench/carpet-motif.pat.gz";
#endif
    if (file.empty() || !fs::exists(file))
      return nullptr;
    if (file.size() > 3 && file.compare(file.size() - 3, 3, ".gz") == 0) {
      const std::string unpacked = JoinPath(Fix().Folder, "carpet-motif.pat");
      const std::string command = "gzip -dc '" + file + "' > '" + unpacked + "'";
      if (std::system(command.c_str()) != 0)
        return nullptr;
      file = unpacked;
    }
    std::unique_ptr<OPattern> q = OpenPatternFile(file);
    q->Pictures->Get(0)->BringUpToDate(TView::Machine);
    return q;
  }();
  return p.get();
}

// The fill tool pressed on a pixel of picture 1's machine view, as the view and the
// command line's draw press it.
void PressFill(OPattern& p, TCell at, uint8_t colour) {
  OPicture& picture = *p.Pictures->Get(0);
  OViewGeometry geometry;
  geometry.SetPicture(picture.Width, picture.Height, 1.0f);
  geometry.SetBox(picture.Width, picture.Height);
  OPalettePaintBox colours(p.Palette.get(), false);
  OViewMouse mouse(p, picture, geometry);
  mouse.View = TView::Machine;
  mouse.Choose(MakeToolState(TDrawTool::Fill, colours));
  colours.LeftIndex = colour;
  const TViewInput in{at.C, geometry.BoxHeight() - 1 - at.R, TMouseButton::Left, 0};
  mouse.Press(in);
  mouse.Release(in);
}

// The carpet's largest area: the pixel of the design region at which a designer filled it.
constexpr TCell CarpetArea{879, 5800};

void CarpetApplySections(benchmark::State& state) {
  OPattern* p = Carpet();
  if (!p)
    return state.SkipWithError("no carpet-motif.pat.gz beside the repository");
  for (auto _ : state)
    p->ApplySections();
}

// The area filled with the other colour of its yarn type, the two taking turns.
void CarpetFillLargest(benchmark::State& state) {
  OPattern* p = Carpet();
  if (!p)
    return state.SkipWithError("no carpet-motif.pat.gz beside the repository");
  OPicture& picture = *p->Pictures->Get(0);
  for (auto _ : state) {
    int32_t c = CarpetArea.C + 1, pl = CarpetArea.R + 1;
    for (const auto& region : picture.Regions)
      if (region->MapPixelToCell(c, pl))
        break;
    const int yarn = p->Creel->GetYarnType(c);
    const uint8_t now = p->States.Get(c, pl);
    const uint8_t other = static_cast<uint8_t>(now == 1 ? 2 : 1);
    PressFill(*p, CarpetArea, p->MachineTable->GetColour(yarn, other));
    if (p->States.Get(c, pl) != other)
      state.SkipWithError("the fill changed nothing");
  }
}

// The same area filled with the colour it has: nothing changes.
void CarpetFillSame(benchmark::State& state) {
  OPattern* p = Carpet();
  if (!p)
    return state.SkipWithError("no carpet-motif.pat.gz beside the repository");
  const int steps = p->History.UndoCount();
  for (auto _ : state) {
    int32_t c = CarpetArea.C + 1, pl = CarpetArea.R + 1;
    const auto& regions = p->Pictures->Get(0)->Regions;
    for (const auto& region : regions)
      if (region->MapPixelToCell(c, pl))
        break;
    PressFill(*p, CarpetArea, p->MachineColours.Get(c, pl));
  }
  if (p->History.UndoCount() != steps)
    state.SkipWithError("the fill changed something");
}

// The undo of that fill, the pictures brought up to date with it.
void CarpetUndoFillLargest(benchmark::State& state) {
  OPattern* p = Carpet();
  if (!p)
    return state.SkipWithError("no carpet-motif.pat.gz beside the repository");
  for (auto _ : state) {
    if (p->History.UndoCount() == 0) {
      state.SkipWithError("no fill to undo: run CarpetFillLargest first");
      break;
    }
    p->History.Undo();
    p->Pictures->Get(0)->BringUpToDate(TView::Machine);
    state.PauseTiming();
    p->History.Redo(); // the next round undoes the same fill
    p->Pictures->Get(0)->BringUpToDate(TView::Machine);
    state.ResumeTiming();
  }
}

// The fill's own grid diff: the bytes from the first it changed to the last in the two grids
// it writes (the states and the machine colours), compared raw, before against after.
void CarpetFillGridDiff(benchmark::State& state) {
  OPattern* p = Carpet();
  if (!p || p->History.UndoCount() == 0)
    return state.SkipWithError("no carpet fill to compare: run CarpetFillLargest first");
  std::array<TBytes, 2> after{
      TBytes(p->States.Data().begin(), p->States.Data().end()),
      TBytes(p->MachineColours.Data().begin(), p->MachineColours.Data().end())};
  p->History.Undo();
  std::array<TBytes, 2> before{
      TBytes(p->States.Data().begin(), p->States.Data().end()),
      TBytes(p->MachineColours.Data().begin(), p->MachineColours.Data().end())};
  p->History.Redo();
  p->Pictures->Get(0)->BringUpToDate(TView::Machine);
  // From the first changed byte to the last, in each grid.
  std::array<std::pair<size_t, size_t>, 2> spans{};
  for (size_t g = 0; g < 2; ++g) {
    const auto a = std::mismatch(before[g].begin(), before[g].end(), after[g].begin()).first;
    const auto z = std::mismatch(before[g].rbegin(), before[g].rend(), after[g].rbegin()).first;
    const auto first = static_cast<size_t>(a - before[g].begin());
    const auto last = before[g].size() - static_cast<size_t>(z - before[g].rbegin());
    spans[g] = {first, std::max(first, last)};
  }
  // Every byte is compared (memcmp would stop at the first difference).
  for (auto _ : state)
    for (size_t g = 0; g < 2; ++g) {
      const auto [first, last] = spans[g];
      size_t differing = 0;
      for (size_t i = first; i < last; ++i)
        differing += before[g][i] != after[g][i];
      benchmark::DoNotOptimize(differing);
    }
}

void CarpetSetUndefined(benchmark::State& state) {
  OPattern* p = Carpet();
  if (!p)
    return state.SkipWithError("no carpet-motif.pat.gz beside the repository");
  for (auto _ : state)
    p->SetUndefined();
}

// The design check of the carpet against a machine that limits every rule the cells meet:
// its states cut, floats, runs, pile steps and the needles' balance.
TMachineProfile CarpetMachine(const OPattern& p) {
  TMachineProfile m;
  m.Name = "Tufter 4";
  m.Needles = p.NoControls;
  for (int s = 1; s <= p.NoStates; ++s)
    m.States.push_back({s, TTuft::Cut});
  m.LongestFloatPLines = 8, m.ShortestStateRunPLines = 2, m.LargestPileStepMm = 5;
  m.CreelPositions = 2 * p.NoControls, m.CreelYarnTypes = p.NoYarnTypes;
  m.LargestImbalancePercent = 3;
  return m;
}

void CarpetCheck(benchmark::State& state) {
  OPattern* p = Carpet();
  if (!p)
    return state.SkipWithError("no carpet-motif.pat.gz beside the repository");
  const TMachineProfile machine = CarpetMachine(*p);
  const TProductionParameters parameters = DefaultProductionParameters(*p);
  // As the view window's check begins again after a change that is not a stroke.
  OMachineCheck check;
  size_t findings = 0;
  for (auto _ : state) {
    check.Begin(*p, machine, parameters);
    while (!check.CheckMore(*p, p->NoPLines))
      ;
    findings = check.Findings().size();
  }
  state.counters["findings"] = static_cast<double>(findings);
}

void Stroke(OPattern& p, uint8_t v);

// The stroke of 200 presses along the middle PLine, as the view window's check hears of it
// (the stroke's cells as one area, their section copies with them), rechecked.
void CarpetRecheckStroke(benchmark::State& state) {
  OPattern* p = Carpet();
  if (!p)
    return state.SkipWithError("no carpet-motif.pat.gz beside the repository");
  OMachineCheck check;
  check.Begin(*p, CarpetMachine(*p), DefaultProductionParameters(*p));
  while (!check.CheckMore(*p, p->NoPLines))
    ;
  std::vector<TRect> areas;
  auto heard = p->Events.Subscribe([&](const TPatternChange& change) {
    if (change.Kind == TPatternChange::TKind::Cells)
      areas.push_back(change.Area);
  });
  p->Pictures->Get(0)->BringUpToDate(TView::Machine);
  uint8_t v = 1;
  int64_t cells = 0, errors = 0;
  for (auto _ : state) {
    state.PauseTiming();
    areas.clear();
    Stroke(*p, p->MachineTable->GetColour(1, v));
    v = static_cast<uint8_t>(3 - v);
    state.ResumeTiming();
    for (const TRect& area : areas)
      check.Recheck(*p, area);
    errors = check.Errors();
    cells = 0;
    for (const TRect& a : areas)
      cells += int64_t{a.Right - a.Left + 1} * (a.Bottom - a.Top + 1);
  }
  state.counters["cells"] = static_cast<double>(cells);
  state.counters["errors"] = static_cast<double>(errors);
}

// The section bomb's kind of file within the bound: 1,000 x 1,000 cells and 1,000 sections
// of 100 x 100 cells that neither flip nor turn, placed at fixed pseudo-random places
// (overlapping their sources or not), together copying 10 times the pattern's cells.
constexpr int64_t BombCopied = 1000 * 100 * 100;

void ManySections(benchmark::State& state) {
  static const std::unique_ptr<OPattern> p = [] {
    auto q = std::make_unique<OPattern>();
    q->InitNew();
    q->Settings->NoControls = 1000;
    q->Settings->NoPLines = 1000;
    q->ApplySettings();
    std::mt19937 random(4321);
    for (int pl = 1; pl <= q->NoPLines; ++pl)
      for (int c = 1; c <= q->NoControls; ++c)
        q->States.Row(pl)[c] = static_cast<uint8_t>(1 + random() % q->NoStates);
    q->Sections->Clear();
    for (int i = 0; i < 1000; ++i) {
      auto at = [&] { return static_cast<int32_t>(1 + random() % 901); };
      OSection* section = q->Sections->Add(std::make_unique<OSection>(q.get()));
      section->SetDefaults();
      const int32_t sc = at(), sp = at(), tc = at(), tp = at();
      section->SetSourceArea({sc, sp, sc + 99, sp + 99});
      section->TargetArea = {tc, tp, tc + 99, tp + 99};
    }
    q->Changed();
    return q;
  }();
  if (p->SectionWork() != BombCopied)
    return state.SkipWithError("the sections do not copy 10 times the cells");
  for (auto _ : state)
    p->ApplySections();
}

// The controller's file set and reading it back.
void Export(benchmark::State& state, OPattern& p, const std::string& name, size_t& total,
            size_t& tuf) {
  TFixture& f = Fix();
  const std::string file = JoinPath(f.Folder, name + ".TUF");
  for (auto _ : state) {
    f.UI.FileAnswers.push_back(file);
    if (!ExportControlFiles(p))
      state.SkipWithError("export failed");
  }
  tuf = fs::file_size(file);
  total = tuf + fs::file_size(JoinPath(f.Folder, name + ".DAT"));
  if (fs::exists(JoinPath(f.Folder, name + ".CLR")))
    total += fs::file_size(JoinPath(f.Folder, name + ".CLR"));
}

void ExportVariant1(benchmark::State& state) {
  Export(state, *Fix().Pattern, "V1", Fix().ExportBytes1, Fix().TufBytes1);
}
void ExportVariant2(benchmark::State& state) {
  Export(state, *Fix().Colour, "V2", Fix().ExportBytes2, Fix().TufBytes2);
}

void Import(benchmark::State& state, const std::string& name) {
  const std::string file = JoinPath(Fix().Folder, name + ".TUF");
  for (auto _ : state)
    benchmark::DoNotOptimize(NewPatternFromTuftFile(file).get());
}
void ImportVariant1(benchmark::State& state) {
  Import(state, "V1");
}
void ImportVariant2(benchmark::State& state) {
  Import(state, "V2");
}

// One press in the view: the same call on the production pattern and on a small one with
// the same kind of layout.
void Paint(benchmark::State& state, OPattern& p) {
  OPicture& picture = *p.Pictures->Get(0);
  picture.BringUpToDate(TView::Machine);
  const int x = p.NoControls / 2, y = p.NoPLines / 2;
  uint8_t v = 1;
  for (auto _ : state) {
    picture.PaintMachinePixel(x, y, v);
    v = static_cast<uint8_t>(3 - v);
  }
}
void PaintLarge(benchmark::State& state) {
  Paint(state, *Fix().Pattern);
}
void PaintSmall(benchmark::State& state) {
  Paint(state, *Fix().Small);
}

// A stroke of 200 presses along the middle PLine, each copied through the sections, from
// the press to the release that makes it one step of the history; and the undo of such a
// stroke, which should cost no more.
void Stroke(OPattern& p, uint8_t v) {
  OPicture& picture = *p.Pictures->Get(0);
  p.History.BeginStroke();
  for (int x = p.NoControls / 2; x < p.NoControls / 2 + 200; ++x)
    picture.PaintMachinePixel(x, p.NoPLines / 2, v);
  p.History.EndStroke();
}
void StrokeLarge(benchmark::State& state) {
  OPattern& p = *Fix().Pattern;
  p.Pictures->Get(0)->BringUpToDate(TView::Machine);
  uint8_t v = 1;
  for (auto _ : state) {
    Stroke(p, v);
    v = static_cast<uint8_t>(3 - v);
  }
}
void UndoStrokeLarge(benchmark::State& state) {
  OPattern& p = *Fix().Pattern;
  p.Pictures->Get(0)->BringUpToDate(TView::Machine);
  uint8_t v = 1;
  for (auto _ : state) {
    state.PauseTiming();
    Stroke(p, v);
    v = static_cast<uint8_t>(3 - v);
    state.ResumeTiming();
    p.History.Undo();
  }
}

// An image of the region's size in the palette's first six colours, from a fixed seed.
OBitmap24 RandomBitmap(const OPattern& p, const ORegion& region, unsigned seed) {
  OBitmap24 bitmap;
  bitmap.SetSize(region.PictureWidth, region.PictureHeight);
  std::mt19937 random(seed);
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x)
      bitmap.SetPixel(x, y, p.Palette->GetColour(1 + static_cast<int>(random() % 6)));
  return bitmap;
}

// A drawing as wide as the design region and as long as the pattern, in palette colours;
// with its undo step (argument 1) or without a history (0).
void BitmapApply(benchmark::State& state) {
  OPattern& p = *Fix().Pattern;
  OPicture& picture = *p.Pictures->Get(0);
  ORegion& design = *picture.Regions.Get(picture.Regions.Count() - 1);
  const OBitmap24 bitmap = RandomBitmap(p, design, 99);
  // The colour mapping is made once, as the import window makes it before Apply, and the
  // machine view is already shown, as it is where the bitmap is applied.
  OBitmapMapping mapping(design, bitmap);
  picture.BringUpToDate(TView::Machine);
  const size_t limit = p.History.Limit();
  p.History.SetLimit(state.range(0) != 0 ? limit : 0);
  for (auto _ : state)
    mapping.Apply(true);
  p.History.SetLimit(limit);
}

// A full-size image imported over the whole pattern (the first repeat's region), which
// holds every section's source and copies: the command-line import of a carpet.
void BitmapImportWhole(benchmark::State& state) {
  OPattern& p = *Fix().Pattern;
  OPicture& picture = *p.Pictures->Get(0);
  ORegion& whole = *picture.Regions.Get(0);
  const OBitmap24 bitmap = RandomBitmap(p, whole, 98);
  OBitmapMapping mapping(whole, bitmap);
  picture.BringUpToDate(TView::Machine);
  const size_t limit = p.History.Limit();
  p.History.SetLimit(0); // the command-line tool keeps no history
  for (auto _ : state)
    mapping.Apply(true);
  p.History.SetLimit(limit);
}

// A 1,000 x 1,000 block put down across the sections of the first repeat as the view's Paste
// puts it down (one step of the history), its undo, and a bitmap applied to the same pixels,
// with its undo step too: a region standing apart from the picture's list, mapping them
// as the whole pattern's region does. The blocks are copied from further along the same
// controls, as a designer moves a motif; two take turns, so every run changes cells.
constexpr TRect PastePixels{400, 5000, 1399, 5999}; // from 0

void PasteBlock(OPattern& p, int turn) {
  OPicture& picture = *p.Pictures->Get(0);
  auto copied = [&](int row) {
    return CopyBlock(
        picture, TView::Machine,
        {PastePixels.Left, row, PastePixels.Right, row + PastePixels.Bottom - PastePixels.Top});
  };
  static const TBlock blocks[] = {copied(8000), copied(11000)};
  PaintBlock(p, picture, TView::Machine, blocks[turn % 2], {PastePixels.Left, PastePixels.Top},
             "Paste");
}

void BlockPaste(benchmark::State& state) {
  OPattern& p = *Fix().Pattern;
  p.Pictures->Get(0)->BringUpToDate(TView::Machine);
  int turn = 0;
  for (auto _ : state)
    PasteBlock(p, turn++);
}

void UndoBlockPaste(benchmark::State& state) {
  OPattern& p = *Fix().Pattern;
  p.Pictures->Get(0)->BringUpToDate(TView::Machine);
  int turn = 0;
  for (auto _ : state) {
    state.PauseTiming();
    PasteBlock(p, turn++);
    state.ResumeTiming();
    p.History.Undo();
  }
}

// The line tool's release: a line of one pixel across the whole width, rising 40 PLines,
// as one step of the history; and its undo. The two colours of the paint rows take turns.
bool DrawLineAcross(OPattern& p, int turn) {
  OPicture& picture = *p.Pictures->Get(0);
  const int y = picture.Height / 2;
  const TPixelRuns pixels =
      Brushed(LineCells({0, y}, {picture.Width - 1, y + 40}), 1, picture.Width, picture.Height);
  return PaintPixels(p, picture, TView::Machine, pixels, static_cast<uint8_t>(1 + turn % 2), "Line")
      .empty();
}

void LineAcross(benchmark::State& state) {
  OPattern& p = *Fix().Pattern;
  p.Pictures->Get(0)->BringUpToDate(TView::Machine);
  int turn = 0;
  for (auto _ : state)
    if (!DrawLineAcross(p, turn++))
      state.SkipWithError("the line was refused");
}

void UndoLineAcross(benchmark::State& state) {
  OPattern& p = *Fix().Pattern;
  p.Pictures->Get(0)->BringUpToDate(TView::Machine);
  int turn = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const bool drawn = DrawLineAcross(p, turn++);
    const int steps = p.History.UndoCount();
    state.ResumeTiming();
    p.History.Undo();
    if (!drawn || p.History.UndoCount() != steps - 1)
      state.SkipWithError("the line was refused or not undone");
  }
}

void BitmapApplyPasteArea(benchmark::State& state) {
  OPattern& p = *Fix().Pattern;
  OPicture& picture = *p.Pictures->Get(0);
  ORegion area(&p, &picture);
  const TRect cells{PastePixels.Left + 1, PastePixels.Top + 1, PastePixels.Right + 1,
                    PastePixels.Bottom + 1};
  area.SetPatternArea(cells);
  area.SetPictureArea(cells);
  OBitmapMapping mappings[] = {{area, RandomBitmap(p, area, 95)},
                               {area, RandomBitmap(p, area, 94)}};
  picture.BringUpToDate(TView::Machine);
  int turn = 0;
  for (auto _ : state)
    mappings[turn++ % 2].Apply(true);
}

// A photo of the whole pattern's region: neighbours of near colours along a smooth path
// through 100,000 of them, with a little noise, from a fixed seed.
OBitmap24 PhotoBitmap(const ORegion& region) {
  std::vector<uint32_t> colours(100'000);
  for (size_t k = 0; k < colours.size(); ++k) {
    const double t = static_cast<double>(k);
    auto channel = [t](double rate, double phase) {
      return static_cast<int>(127.5 + 127.5 * std::sin(t * rate + phase));
    };
    colours[k] = static_cast<uint32_t>(channel(0.00071, 0)) |
                 static_cast<uint32_t>(channel(0.00113, 1)) << 8 |
                 static_cast<uint32_t>(channel(0.00131, 2)) << 16;
  }
  OBitmap24 bitmap;
  bitmap.SetSize(region.PictureWidth, region.PictureHeight);
  std::mt19937 random(97);
  for (int y = 0; y < bitmap.Height(); ++y) {
    uint32_t* row = bitmap.Row(y);
    for (int x = 0; x < bitmap.Width(); ++x)
      row[x] = colours[(static_cast<size_t>(x) * 37 + static_cast<size_t>(y) * 5 + random() % 64) %
                       colours.size()];
  }
  return bitmap;
}

// That photo into the whole pattern: reduced to the palette's count with Floyd-Steinberg
// (argument 1), the reduction counted in, or applied Exact (0).
void BitmapPhoto(benchmark::State& state) {
  OPattern& p = *Fix().Pattern;
  OPicture& picture = *p.Pictures->Get(0);
  ORegion& whole = *picture.Regions.Get(0);
  static const OBitmap24 bitmap = PhotoBitmap(whole);
  OBitmapMapping mapping(whole, bitmap);
  mapping.States = StatedEntries(p, true);
  picture.BringUpToDate(TView::Machine);
  const size_t limit = p.History.Limit();
  p.History.SetLimit(0);
  for (auto _ : state) {
    if (state.range(0) != 0)
      mapping.Assign({TColourMode::Reduce, 0, TDither::FloydSteinberg}, true);
    mapping.Apply(true);
  }
  p.History.SetLimit(limit);
}

// A 1600 x 1000 preview of the middle of the pattern, a tuft about 6 pixels across: drawn
// in the palette's colours, and in eight colourings at once from one sampling of its cells.
TPreviewView MiddlePreview(const OPreview& preview) {
  TPreviewView view{6 / preview.CellSize().Across, 0, 0, 1600, 1000};
  view.Left = std::max<int64_t>(0, (preview.GoodsWidth(view.Scale) - view.Width) / 2);
  view.Top = std::max<int64_t>(0, (preview.GoodsHeight(view.Scale) - view.Height) / 2);
  return view;
}

void PreviewOne(benchmark::State& state) {
  const OPreview preview(*Fix().Pattern);
  const TPreviewView view = MiddlePreview(preview);
  std::vector<uint32_t> pixels(size_t{1600} * 1000);
  for (auto _ : state) {
    preview.Render(view, pixels.data(), {0, 0, view.Width, view.Height});
    benchmark::DoNotOptimize(pixels.data());
  }
}

void PreviewEightColourways(benchmark::State& state) {
  const OPreview preview(*Fix().Pattern);
  const TPreviewView view = MiddlePreview(preview);
  std::vector<uint32_t> shades(size_t{1600} * 1000);
  std::vector<std::vector<uint32_t>> pixels(8, std::vector<uint32_t>(shades.size()));
  std::vector<std::array<uint32_t, 256>> colourings(8);
  for (size_t k = 0; k < colourings.size(); ++k)
    for (size_t i = 0; i < 256; ++i)
      colourings[k][i] = static_cast<uint32_t>((i * 2654435761u + k * 40503u) & 0xFFFFFF);
  for (auto _ : state) {
    preview.RenderShades(view, shades.data(), {0, 0, view.Width, view.Height});
    for (size_t k = 0; k < colourings.size(); ++k)
      preview.ColourShades(shades.data(), shades.size(), colourings[k], pixels[k].data());
    benchmark::DoNotOptimize(pixels.back().data());
  }
}

// A 9 x 13 m room of the production carpet at one pixel a tuft (3,543 x 5,118 pixels at a
// tenth of an inch), drawn in bands of rows as the image writer draws them: 500 mm tiles laid
// quarter-turn, or 12 ft widths in drop match with the mills' bow and skew.
TStrikeOffSettings RoomOf(int kind) {
  TStrikeOffSettings s;
  s.RoomWidthMm = 9000;
  s.RoomLengthMm = 13000;
  if (kind == 0) {
    s.Install = TInstall::QuarterTurn;
  } else {
    s.Kind = TStrikeOffSettings::TKind::Broadloom;
    s.Match = TMatch::Drop;
    s.BowMm = DefaultBow(s.WidthMm);
    s.SkewMm = DefaultSkewMm;
  }
  return s;
}

void StrikeOffRoom(benchmark::State& state) {
  const OPreview preview(*Fix().Pattern);
  const OStrikeOff room(preview, RoomOf(static_cast<int>(state.range(0))));
  const double scale = 1 / preview.CellSize().Across;
  const auto width = static_cast<int>(room.GoodsWidth(scale));
  const auto height = static_cast<int>(room.GoodsHeight(scale));
  const int rows = std::max(1, (1 << 20) / width);
  std::vector<uint32_t> band(static_cast<size_t>(width) * static_cast<size_t>(rows));
  for (auto _ : state)
    for (int top = 0; top < height; top += rows) {
      const TPreviewView view{scale, 0, top, width, std::min(rows, height - top)};
      room.Render(view, band.data(), {0, 0, view.Width, view.Height});
      benchmark::DoNotOptimize(band.data());
    }
}

// The same room in a 1600 x 1000 window, a tuft about 6 pixels across, in its middle.
void StrikeOffWindow(benchmark::State& state) {
  const OPreview preview(*Fix().Pattern);
  const OStrikeOff room(preview, RoomOf(static_cast<int>(state.range(0))));
  TPreviewView view{6 / preview.CellSize().Across, 0, 0, 1600, 1000};
  view.Left = (room.GoodsWidth(view.Scale) - view.Width) / 2;
  view.Top = (room.GoodsHeight(view.Scale) - view.Height) / 2;
  std::vector<uint32_t> pixels(size_t{1600} * 1000);
  for (auto _ : state) {
    room.Render(view, pixels.data(), {0, 0, view.Width, view.Height});
    benchmark::DoNotOptimize(pixels.data());
  }
}

#ifdef QUILLANE_GUI
// The view window on the production pattern, its grid 1600 x 1000 pixels.
constexpr int ViewWidth = 1600, ViewHeight = 1000;

// B_draw: a window that draws a prepared image of the grid's size.
class TBlit : public QWidget {
public:
  QImage Image{ViewWidth, ViewHeight, QImage::Format_RGB32};
  TBlit() {
    setAttribute(Qt::WA_OpaquePaintEvent);
    std::mt19937 random(5);
    for (int y = 0; y < ViewHeight; ++y) {
      auto* line = reinterpret_cast<QRgb*>(Image.scanLine(y));
      for (int x = 0; x < ViewWidth; ++x)
        line[x] = 0xFF000000u | random();
    }
    resize(ViewWidth, ViewHeight);
  }

protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, Image); }
};

// Makes view windows as the tree window does, as top-level windows of one size.
class TBenchView : public OTreeView {
public:
  QSize Size{ViewWidth + 46, ViewHeight + 60};
  void AddNode(ODesignUI&, ODesignUI*) override {}
  void DeleteNode(ODesignUI&) override {}
  void SetNodeText(ODesignUI&, const std::string&) override {}
  void ExpandAll() override {}
  TEditorWindow CreateEditor(ODesignUI& controller, TEditorKind kind) override {
    if (kind == TEditorKind::PatternSetup) {
      auto* form = new TfmPatternSetup(static_cast<OPatternSetupUI&>(controller));
      form->resize(Size);
      form->show();
      return TEditorWindow(form);
    }
    auto* window = new TfmWindow(static_cast<OWindowUI&>(controller));
    window->resize(Size);
    window->show();
    return TEditorWindow(window);
  }
};

// A new pattern with the largest setup the editor has to show: 99 yarn types in 4 states.
std::unique_ptr<OPattern> LargeSetupPattern() {
  auto p = std::make_unique<OPattern>();
  p->InitNew();
  p->SetNoStates(4);
  p->SetNoYarnTypes(99);
  p->MachineTable->Validate();
  p->DesignTable->Validate();
  p->Creel->Update();
  return p;
}

struct TGui {
  TBenchView View;
  OTabRegistry Tabs;
  OPatternTree Tree{View, Tabs};
  OWindowUI Node{Tree, *Fix().Pattern, *Fix().Pattern->Pictures->Get(0)};
  std::unique_ptr<OPattern> SetupPattern = LargeSetupPattern();
  OPatternSetupUI SetupNode{Tree, *SetupPattern};
  TBlit Blit;
  std::vector<double> Gaps; // each stroke's largest, in seconds

  TfmWindow& Open() {
    Node.Open();
    QApplication::processEvents();
    return *static_cast<TfmWindow*>(Node.Editor());
  }
  void Close() {
    Node.CloseEditor();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  TfmWindow& Window() { return Node.Editor() ? *static_cast<TfmWindow*>(Node.Editor()) : Open(); }
  // Zooms by pressing at the bottom left corner, which keeps PLine 1 and control 1 there.
  void ZoomTo(float zoom) {
    TfmWindow& w = Window();
    w.buZoom->setChecked(true);
    const QPoint corner(0, w.PaintBox1->height() - 1);
    while (w.Geometry().Zoom() < zoom)
      w.GridPress(Qt::LeftButton, corner);
    while (w.Geometry().Zoom() > zoom)
      w.GridPress(Qt::RightButton, corner);
    QApplication::processEvents();
  }
};

TGui& Gui() {
  static TGui* gui = [] {
    auto* x = new TGui;
    x->Blit.show();
    // The window size that gives the grid its size, whatever the toolbar's height.
    TfmWindow& w = x->Open();
    x->View.Size += QSize(ViewWidth, ViewHeight) - w.PaintBox1->size();
    x->Close();
    QApplication::processEvents();
    return x;
  }();
  return *gui;
}

void BDraw(benchmark::State& state) {
  TGui& gui = Gui();
  for (auto _ : state)
    gui.Blit.repaint();
}

void WindowRepaint(benchmark::State& state, float zoom) {
  TGui& gui = Gui();
  gui.ZoomTo(zoom);
  TfmWindow& w = gui.Window();
  if (w.PaintBox1->size() != QSize(ViewWidth, ViewHeight))
    state.SkipWithError("the grid is not 1600 x 1000");
  for (auto _ : state)
    w.PaintBox1->repaint();
}
void WindowRepaintZoom1(benchmark::State& state) {
  WindowRepaint(state, 1);
}
void WindowRepaintZoom4(benchmark::State& state) {
  WindowRepaint(state, 4);
}
void WindowRepaintZoomQuarter(benchmark::State& state) {
  WindowRepaint(state, 0.25f);
}

// One press in the middle of the grid, the buttons' colours taking turns, and the repaint
// of what it changed.
void WindowPaintPress(benchmark::State& state) {
  TGui& gui = Gui();
  gui.ZoomTo(1);
  TfmWindow& w = gui.Window();
  w.buZoom->setChecked(false);
  const QPoint middle(ViewWidth / 2, ViewHeight / 2);
  bool left = true;
  for (auto _ : state) {
    const Qt::MouseButton button = left ? Qt::LeftButton : Qt::RightButton;
    w.GridPress(button, middle);
    w.GridRelease(button, middle);
    QApplication::processEvents();
    left = !left;
  }
}

// Show in views: the view window switches to another colourway and back, each switch the
// grid drawn again in the other colours with nothing rendered again.
void WindowColourwaySwitch(benchmark::State& state) {
  TGui& gui = Gui();
  gui.ZoomTo(1);
  TfmWindow& w = gui.Window();
  OPattern& p = *Fix().Pattern;
  if (p.Colourways().List.size() < 2) {
    TColourways list = p.Colourways();
    TColourway way = NewColourway("Harbour", *p.Palette, *p.MachineTable);
    for (size_t i = 1; i < way.Colours.size(); ++i)
      if (way.Set[i])
        way.Colours[i] ^= 0x405060;
    list.List.push_back(way);
    p.SetColourways(list, "Add Colourway Harbour");
  }
  int shown = 0;
  for (auto _ : state) {
    shown = 1 - shown;
    p.ShowColourway(shown);
    w.PaintBox1->repaint();
  }
  p.ShowColourway(0);
  w.PaintBox1->repaint();
}

// The line tool's preview across the whole width at zoom 1/2 (900 screen pixels for 1,800
// controls): one move of its far end, the line worked out again and its repaint.
void WindowLinePreview(benchmark::State& state) {
  TGui& gui = Gui();
  gui.ZoomTo(0.5f);
  TfmWindow& w = gui.Window();
  w.ToolButtons[1]->click();
  const int y = ViewHeight / 2;
  w.GridPress(Qt::LeftButton, QPoint(0, y));
  int turn = 0;
  for (auto _ : state) {
    const int end = y + (turn++ % 2 == 0 ? 40 : -40);
    QMouseEvent move(QEvent::MouseMove, QPointF(Controls / 2 - 1, end),
                     QPointF(Controls / 2 - 1, end), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.PaintBox1, &move);
    QApplication::processEvents(); // what the move asked to be drawn again, as the window would
  }
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(w.PaintBox1, &escape);
  w.buZoom->setChecked(true);
}

// Opening the window node: the window, the first render of its image and the first paint.
void WindowOpen(benchmark::State& state) {
  TGui& gui = Gui();
  OPicture& picture = *Fix().Pattern->Pictures->Get(0);
  Fix().Pattern->BringUpToDate(TView::Machine);
  for (auto _ : state) {
    state.PauseTiming();
    gui.Close();
    picture.UpToDate = TView::None; // the image is rendered again, the grids are up to date
    state.ResumeTiming();
    gui.Open();
    if (picture.UpToDate != TView::Machine)
      state.SkipWithError("the window did not paint");
  }
}

// The carpet preview of the production pattern, 1600 x 1000 pixels, a tuft about 6 pixels
// across, following the pattern's paints as the Preview window does.
struct TPreviewGui {
  OPreview Carpet{*Fix().Pattern};
  OPreviewCanvas Canvas{Carpet};
  TPreviewBox Box{nullptr, Canvas};
  OPatternEvents::TSubscription Subscription;
  int Redrawn = 0; // changes that showed in the box
  int Frame = 0;   // of the drag, over every run: the drag comes back to where it began
  TPreviewGui() {
    Box.resize(ViewWidth, ViewHeight);
    Box.show();
    QApplication::processEvents();
    Canvas.SetBox(ViewWidth, ViewHeight);
    Centre();
    Subscription = Fix().Pattern->Events.Subscribe([this](const TPatternChange& c) {
      if (c.Kind == TPatternChange::TKind::Cells)
        for (const TPixelRect& r : Canvas.CellsChanged(c.Area)) {
          Box.update(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top));
          ++Redrawn;
        }
    });
  }
  // The middle of the pattern.
  void Centre() {
    Canvas.Fit();
    while (Canvas.Scale() * Carpet.CellSize().Across < 6)
      Canvas.ZoomAt(ViewWidth / 2, ViewHeight / 2, 1);
  }
};
TPreviewGui& PreviewGui() {
  static auto* gui = new TPreviewGui;
  return *gui;
}

// One frame of a drag: the pixels in sight move, the strips uncovered are drawn and the box
// repainted; the drag turns back every 20 frames, so it never stops at an edge.
void PreviewPan(benchmark::State& state) {
  TPreviewGui& gui = PreviewGui();
  for (auto _ : state) {
    const int way = gui.Frame++ / 20 % 2 ? -1 : 1;
    gui.Canvas.Pan(37 * way, 23 * way);
    gui.Box.repaint();
  }
}

// A press in the view with the preview open: the paint, and the preview redrawing and
// repainting what it changed.
void PreviewPaintPress(benchmark::State& state) {
  TPreviewGui& gui = PreviewGui();
  OPicture& picture = *Fix().Pattern->Pictures->Get(0);
  picture.BringUpToDate(TView::Machine);
  const OPattern& p = *Fix().Pattern;
  const int x = p.NoControls / 2, y = p.NoPLines / 2;
  // The two colours the control's yarn shows, taking turns: each press changes the cell.
  const int yarn = p.Creel->GetYarnType(x + 1);
  const uint8_t colours[2] = {p.MachineTable->GetColour(yarn, 1),
                              p.MachineTable->GetColour(yarn, 2)};
  int turn = 0;
  gui.Centre();
  gui.Redrawn = 0;
  for (auto _ : state) {
    picture.PaintMachinePixel(x, y, colours[turn]);
    QApplication::processEvents();
    turn = 1 - turn;
  }
  if (gui.Redrawn == 0)
    state.SkipWithError("the preview showed none of the paints");
}

// Opening the pattern setup editor on 99 yarn types x 4 states and painting it.
void PatternSetupOpen(benchmark::State& state) {
  TGui& gui = Gui();
  for (auto _ : state) {
    state.PauseTiming();
    gui.SetupNode.CloseEditor();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    state.ResumeTiming();
    gui.SetupNode.Open();
    auto* form = static_cast<TfmPatternSetup*>(gui.SetupNode.Editor());
    // A repaint of a window the platform has not exposed yet paints nothing: the events
    // that expose it paint it, as they do on the screen.
    QApplication::processEvents();
    if (form->sgDV->ColumnCount() != 156816)
      state.SkipWithError("the design table does not have 156,816 columns");
  }
}

// A press on a design table column and the repaint it causes, the buttons taking turns.
void PatternSetupDesignClick(benchmark::State& state) {
  TGui& gui = Gui();
  if (!gui.SetupNode.Editor())
    gui.SetupNode.Open();
  auto* form = static_cast<TfmPatternSetup*>(gui.SetupNode.Editor());
  QApplication::processEvents();
  QWidget* grid = form->sgDV->viewport();
  const QPoint at = form->sgDV->CellRect(4, 6).center();
  bool left = true;
  for (auto _ : state) {
    const Qt::MouseButton button = left ? Qt::LeftButton : Qt::RightButton;
    QMouseEvent press(QEvent::MouseButtonPress, at, grid->mapToGlobal(at), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(grid, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, grid->mapToGlobal(at), button, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(grid, &release);
    QApplication::processEvents();
    left = !left;
  }
  gui.SetupNode.CloseEditor();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A stroke of 200 moves, each handled with its repaint before the next: the largest gap
// between two handled moves is what a mouse sending moves faster would wait.
void WindowStroke(benchmark::State& state) {
  TGui& gui = Gui();
  gui.ZoomTo(1);
  TfmWindow& w = gui.Window();
  w.buZoom->setChecked(false);
  for (auto _ : state) {
    const int y = ViewHeight / 2;
    w.GridPress(Qt::LeftButton, QPoint(600, y));
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, gap = 0;
    for (int i = 1; i <= 200; ++i) {
      QMouseEvent move(QEvent::MouseMove, QPointF(600 + i, y), QPointF(600 + i, y), Qt::NoButton,
                       Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(w.PaintBox1, &move);
      QApplication::processEvents();
      const qint64 now = clock.nsecsElapsed();
      gap = std::max(gap, now - last);
      last = now;
    }
    w.GridRelease(Qt::LeftButton, QPoint(800, y));
    gui.Gaps.push_back(static_cast<double>(gap) / 1e9);
  }
}
#endif

// Collects each benchmark's median time per iteration over its repetitions and prints the
// report at the end. The machine is shared: the median of several runs is what it does
// when nothing else gets in the way, and a baseline gets the same treatment.
class TCollector : public benchmark::ConsoleReporter {
public:
  std::map<std::string, double> Seconds;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (!run.error_occurred && run.run_type == Run::RT_Aggregate &&
          run.aggregate_name == "median")
        Seconds[run.run_name.function_name +
                (run.run_name.args.empty() ? "" : "/" + run.run_name.args)] =
            run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    ConsoleReporter::ReportRuns(runs);
  }
};

// Peak memory of opening the pattern and selecting one view, measured in a fresh process.
long PeakMemoryKiB(const std::string& self, const std::string& file) {
  std::string command = "'" + self + "' --open-and-view '" + file + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  long kib = -1;
  if (pipe && std::fscanf(pipe, "%ld", &kib) != 1)
    kib = -1;
  if (pipe)
    ::pclose(pipe);
  return kib;
}

long StatusKiB(const char* key) {
  FILE* f = std::fopen("/proc/self/status", "r");
  char line[256];
  long v = -1;
  while (f && std::fgets(line, sizeof line, f))
    if (std::strncmp(line, key, std::strlen(key)) == 0)
      v = std::strtol(line + std::strlen(key), nullptr, 10);
  if (f)
    std::fclose(f);
  return v;
}

int OpenAndView(const std::string& file) {
  const long before = StatusKiB("VmRSS:");
  std::unique_ptr<OPattern> p = OpenPatternFile(file);
  p->Pictures->Get(0)->BringUpToDate(TView::Machine);
  std::printf("%ld\n", StatusKiB("VmHWM:") - before);
  return 0;
}

struct TGoal {
  std::string Operation;
  double Measured;
  double Allowed;
  std::string Goal;
};

void PrintReport(const TCollector& c, long peakKiB, double largestGap) {
  TFixture& f = Fix();
  auto t = [&](const std::string& name) {
    auto it = c.Seconds.find(name);
    return it == c.Seconds.end() ? -1.0 : it->second;
  };
  auto bw = [&](size_t bytes) { return t("BW/" + std::to_string(bytes)); };
  auto br = [&](size_t bytes) { return t("BR/" + std::to_string(bytes)); };
  const double b1 = t("B1"), b4 = t("B4");
  const int regions = f.Pattern->Pictures->Get(0)->Regions.Count();
  const double grids = 3.0 * static_cast<double>(Cells()) / 1024.0;
  const OPicture& picture = *f.Pattern->Pictures->Get(0);
  const double image = 4.0 * picture.Width * static_cast<double>(picture.Height) / 1024.0;

  std::vector<TGoal> goals = {
      {"SaveToFile", t("SaveToFile"), 1.5 * bw(f.PatternBytes), "1.5 x BW"},
      {"open (ReadFromStream + Changed)", t("Open"), 4 * (br(f.PatternBytes) + b1),
       "4 x (BR + B1)"},
      {"ComputeMachineColours", t("ComputeMachineColours"), 2 * b1, "2 x B1"},
      {"ComputeDesignColours", t("ComputeDesignColours"), 2 * b1, "2 x B1"},
      {"ComputeDesignColours, 255 yarn types", t("ComputeDesignColoursManyYarnTypes"), 2 * b1,
       "2 x B1"},
      {"ComputeDesignColours, 20 yarn types", t("ComputeDesignColoursTwentyYarnTypes"), 2 * b1,
       "2 x B1"},
      {"ApplySections", t("ApplySections"), 3 * b1, "3 x B1"},
      {"production numbers", t("ProductionNumbers"), 2 * b1, "2 x B1"},
      {"RenderMachineImage", t("RenderMachineImage"), (regions + 1) * b4,
       std::to_string(regions + 1) + " x B4"},
      {"export, variant 1", t("ExportVariant1"), 3 * (b1 + bw(f.ExportBytes1)), "3 x (B1 + BW)"},
      {"export, variant 2", t("ExportVariant2"), 3 * (b1 + bw(f.ExportBytes2)), "3 x (B1 + BW)"},
      {"import, variant 1", t("ImportVariant1"), 3 * (br(f.TufBytes1) + b1), "3 x (BR + B1)"},
      {"import, variant 2", t("ImportVariant2"), 3 * (br(f.TufBytes2) + b1), "3 x (BR + B1)"},
      {"PaintMachinePixel", t("PaintLarge"), 2 * t("PaintSmall"), "2 x on 100 x 100"},
      {"undo of a stroke of 200 presses", t("UndoStrokeLarge"), t("StrokeLarge"), "1 x the stroke"},
      {"bitmap apply, design region", t("BitmapApply/1"),
       3 * (t("ApplySections") + t("RenderMachineImage")), "3 x (ApplySections + Render)"},
      {"bitmap import, whole pattern", t("BitmapImportWhole"),
       3 * (t("ApplySections") + t("RenderMachineImage")), "3 x (ApplySections + Render)"},
      {"paste of a 1,000 x 1,000 block", t("BlockPaste"), 2 * t("BitmapApplyPasteArea"),
       "2 x bitmap apply of the area"},
      {"undo of that paste", t("UndoBlockPaste"), t("BlockPaste"), "1 x the paste"},
      {"bitmap photo reduced + dithered, whole pattern", t("BitmapPhoto/1"), 2 * t("BitmapPhoto/0"),
       "2 x the Exact apply"},
      {"fill of the whole picture", t("FillWhole"),
       3 * (t("ApplySections") + t("RenderMachineImage")), "3 x (ApplySections + Render)"},
      {"undo of that fill", t("UndoFillWhole"), t("FillWhole"), "1 x the fill"},
      {"undo of a line across 1,800 cells", t("UndoLineAcross"), t("LineAcross"), "1 x the line"},
      {"carpet: fill of the largest area", t("CarpetFillLargest"), 3 * t("CarpetApplySections"),
       "3 x the carpet's ApplySections"},
      {"carpet: fill that changes nothing", t("CarpetFillSame"), b1, "1 x B1"},
      {"carpet: undo of the largest fill", t("CarpetUndoFillLargest"), 2 * t("CarpetFillGridDiff"),
       "2 x the fill's grid diff"},
      {"carpet: Set Undefined", t("CarpetSetUndefined"), 2 * t("CarpetApplySections"),
       "2 x the carpet's ApplySections"},
      {"carpet: design check", t("CarpetCheck"), 2 * b1, "2 x B1"},
      {"carpet: recheck after a stroke of 200 presses", t("CarpetRecheckStroke"), 0.001, "1 ms"},
      {"1,000 sections copying 10 x cells", t("ManySections"),
       3 * b1 * static_cast<double>(BombCopied) / static_cast<double>(Cells()),
       "3 x B1 over the copied cells"},
      {"eight colourway previews, 1600 x 1000", t("PreviewEightColourways"), 8 * t("PreviewOne"),
       "8 x one preview"},
      {"room of quarter-turn tiles, 9 x 13 m, a pixel a tuft", t("StrikeOffRoom/0"), 3.0, "3 s"},
      {"room of broadloom with bow, 9 x 13 m, a pixel a tuft", t("StrikeOffRoom/1"), 3.0, "3 s"},
      {"room of quarter-turn tiles, 1600 x 1000 view", t("StrikeOffWindow/0"), 3 * t("PreviewOne"),
       "3 x one preview"},
      {"room of broadloom with bow, 1600 x 1000 view", t("StrikeOffWindow/1"), 3 * t("PreviewOne"),
       "3 x one preview"},
      {"peak memory, open + one view", peakKiB * 1024.0, 1.25 * (grids + image) * 1024.0,
       "1.25 x (3 grids + 1 image)"},
  };
#ifdef QUILLANE_GUI
  const double draw = t("BDraw");
  const std::vector<TGoal> gui = {
      {"view repaint, zoom 1", t("WindowRepaintZoom1"), 3 * draw, "3 x B_draw"},
      {"view repaint, zoom 4", t("WindowRepaintZoom4"), 3 * draw, "3 x B_draw"},
      {"view repaint, zoom 1/4", t("WindowRepaintZoomQuarter"), 3 * draw, "3 x B_draw"},
      {"view paint press + repaint", t("WindowPaintPress"), 2 * draw, "2 x B_draw"},
      {"view window open", t("WindowOpen"), 1.2 * (t("RenderBeforeOpen") + draw),
       "1.2 x (RenderMachineImage + B_draw)"},
      {"stroke of 200 moves, largest gap", largestGap, 2 * draw, "2 x B_draw"},
      {"line preview across 1,800 cells", t("WindowLinePreview"), 2 * draw, "2 x B_draw"},
      {"pattern setup open + paint", t("PatternSetupOpen"), 3 * draw, "3 x B_draw"},
      {"pattern setup design click", t("PatternSetupDesignClick"), draw, "1 x B_draw"},
      {"preview pan, 1600 x 1000", t("PreviewPan"), 3 * draw, "3 x B_draw"},
      {"view press + preview update", t("PreviewPaintPress"), t("PaintLarge") + draw,
       "PaintMachinePixel + B_draw"},
      {"views switch colourway", t("WindowColourwaySwitch"), 2 * draw, "2 x B_draw"},
  };
  goals.insert(goals.end(), gui.begin(), gui.end());
#else
  (void)largestGap;
#endif
  std::printf("\nPattern %u x %u (%zu cells), %d sections, %d regions, file %zu bytes\n", Controls,
              PLines, Cells(), f.Pattern->Sections->Count(), regions, f.PatternBytes);
  std::printf("B1 %.4f s, B4 %.4f s", b1, b4);
#ifdef QUILLANE_GUI
  std::printf(", B_draw %.4f s (1600 x 1000)", t("BDraw"));
#endif
  std::printf("\n\n");
  std::printf("%-34s %12s %12s %7s  %-36s %s\n", "operation", "measured", "allowed", "ratio",
              "goal", "");
  bool all = true;
  for (const TGoal& goal : goals) {
    const bool ok = goal.Measured >= 0 && goal.Allowed > 0 && goal.Measured <= goal.Allowed;
    all = all && ok;
    const bool bytes = goal.Operation.rfind("peak", 0) == 0;
    std::printf("%-34s %12.4g %12.4g %7.2f  %-36s %s\n", goal.Operation.c_str(),
                bytes ? goal.Measured / 1048576 : goal.Measured,
                bytes ? goal.Allowed / 1048576 : goal.Allowed,
                goal.Allowed > 0 ? goal.Measured / goal.Allowed : 0.0, goal.Goal.c_str(),
                ok ? "meets" : "misses");
  }
  std::printf("\n(times in seconds, memory in MiB; ratio = measured / allowed)\n%s\n",
              all ? "All goals met." : "Some goals missed.");
}

#ifdef QUILLANE_CLI
// The command-line tool's peak resident memory for one run, its output thrown away.
long CliPeakKiB(const char* command, const std::string& file) {
  const pid_t child = ::fork();
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::execl(QUILLANE_CLI, QUILLANE_CLI, command, file.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || ::wait4(child, &status, 0, &usage) != child || status != 0)
    return -1;
  return usage.ru_maxrss;
}

// dump writes its grids as it goes: its peak stays within twice what opening the pattern
// takes (info opens it and counts its cells).
void PrintDumpMemory(const std::string& file) {
  const long dump = CliPeakKiB("dump", file), own = CliPeakKiB("info", file);
  const bool ok = dump > 0 && own > 0 && dump <= 2 * own;
  std::printf("%-34s %12.4g %12.4g %7.2f  %-36s %s\n", "peak memory, dump", dump / 1024.0,
              2 * own / 1024.0, own > 0 ? dump / (2.0 * own) : 0.0, "2 x info (the pattern's own)",
              ok ? "meets" : "misses");
}

// render writes its image a band of rows at a time: its peak stays within what opening
// the pattern takes (info) and one band with its bytes (for a PNG, and the compressor's
// state), however large the picture.
void PrintRenderMemory(const std::string& folder, const std::string& file,
                       const std::string& format) {
  const std::string out = JoinPath(folder, "render." + format); // either case names the format
  const pid_t child = ::fork();
  if (child == 0) {
    ::execl(QUILLANE_CLI, QUILLANE_CLI, "render", file.c_str(), "--picture", "1", "--view",
            "machine", "-o", out.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  const long render = child > 0 && ::wait4(child, &status, 0, &usage) == child && status == 0
                          ? usage.ru_maxrss
                          : -1;
  const long own = CliPeakKiB("info", file), allowed = own + 32 * 1024;
  const std::string row = "peak memory, render to " + format;
  std::printf("%-34s %12.4g %12.4g %7.2f  %-36s %s\n", row.c_str(), render / 1024.0,
              allowed / 1024.0, own > 0 ? double(render) / double(allowed) : 0.0,
              "info + 32 MiB (a band and its bytes)",
              render > 0 && own > 0 && render <= allowed ? "meets" : "misses");
}
#endif

} // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--open-and-view") == 0)
    return OpenAndView(argv[2]);
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--carpet=", 9) == 0) {
      CarpetFile = argv[i] + 9;
      for (int j = i; j + 1 < argc; ++j)
        argv[j] = argv[j + 1];
      --argc;
      break;
    }

#ifdef QUILLANE_GUI
  if (!std::getenv("QT_QPA_PLATFORM"))
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
#endif
  benchmark::Initialize(&argc, argv);
  TFixture& f = Fix();
  auto add = [](const char* name, void (*fn)(benchmark::State&)) {
    return benchmark::RegisterBenchmark(name, fn)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
  };
  add("B1", B1);
  add("B4", B4);
  add("SaveToFile", SaveToFile)->Iterations(3);
  add("Open", Open)->Iterations(3);
  add("ComputeMachineColours", ComputeMachineColours);
  add("ComputeDesignColours", ComputeDesignColours);
  add("ComputeDesignColoursManyYarnTypes", ComputeDesignColoursManyYarnTypes);
  add("ComputeDesignColoursTwentyYarnTypes", ComputeDesignColoursTwentyYarnTypes);
  add("ApplySections", ApplySections);
  add("ProductionNumbers", ProductionNumbers);
  add("RenderMachineImage", RenderMachineImage);
  add("ExportVariant1", ExportVariant1)->Iterations(3);
  add("ExportVariant2", ExportVariant2)->Iterations(3);
  add("ImportVariant1", ImportVariant1)->Iterations(3);
  add("ImportVariant2", ImportVariant2)->Iterations(3);
  add("PaintLarge", PaintLarge)->Unit(benchmark::kMicrosecond);
  add("PaintSmall", PaintSmall)->Unit(benchmark::kMicrosecond);
  add("StrokeLarge", StrokeLarge)->Unit(benchmark::kMicrosecond);
  add("UndoStrokeLarge", UndoStrokeLarge)->Unit(benchmark::kMicrosecond);
  add("BitmapApply", BitmapApply)->Arg(1)->Iterations(3);
  add("BitmapApply", BitmapApply)->Arg(0)->Iterations(3);
  add("BitmapImportWhole", BitmapImportWhole)->Iterations(3);
  add("BitmapApplyPasteArea", BitmapApplyPasteArea)->Iterations(3);
  add("BlockPaste", BlockPaste)->Iterations(3);
  add("UndoBlockPaste", UndoBlockPaste)->Iterations(3);
  add("BitmapPhoto", BitmapPhoto)->Arg(0)->Iterations(3);
  add("BitmapPhoto", BitmapPhoto)->Arg(1)->Iterations(3);
  add("FillWhole", FillWhole)->Iterations(1);
  add("UndoFillWhole", UndoFillWhole)->Iterations(1);
  add("CarpetApplySections", CarpetApplySections);
  add("CarpetFillLargest", CarpetFillLargest)->Iterations(3);
  add("CarpetFillSame", CarpetFillSame)->Iterations(3);
  add("CarpetUndoFillLargest", CarpetUndoFillLargest)->Iterations(3);
  add("CarpetFillGridDiff", CarpetFillGridDiff)->Iterations(3);
  add("CarpetSetUndefined", CarpetSetUndefined)->Iterations(3);
  add("CarpetCheck", CarpetCheck)->Iterations(3);
  add("CarpetRecheckStroke", CarpetRecheckStroke)->Unit(benchmark::kMicrosecond)->Iterations(20);
  add("ManySections", ManySections);
  add("LineAcross", LineAcross)->Unit(benchmark::kMicrosecond);
  add("UndoLineAcross", UndoLineAcross)->Unit(benchmark::kMicrosecond);
  add("PreviewOne", PreviewOne);
  add("PreviewEightColourways", PreviewEightColourways);
  add("StrikeOffRoom", StrikeOffRoom)->Arg(0)->Arg(1)->Iterations(3);
  add("StrikeOffWindow", StrikeOffWindow)->Arg(0)->Arg(1);
#ifdef QUILLANE_GUI
  add("BDraw", BDraw);
  add("WindowRepaintZoom1", WindowRepaintZoom1);
  add("WindowRepaintZoom4", WindowRepaintZoom4);
  add("WindowRepaintZoomQuarter", WindowRepaintZoomQuarter);
  add("WindowPaintPress", WindowPaintPress);
  // The render again next to the open: the shared machine's speed drifts over a run.
  add("RenderBeforeOpen", RenderMachineImage);
  add("WindowOpen", WindowOpen)->Iterations(3);
  add("WindowStroke", WindowStroke)->Iterations(3);
  add("WindowLinePreview", WindowLinePreview);
  add("PatternSetupOpen", PatternSetupOpen)->Iterations(5);
  add("PatternSetupDesignClick", PatternSetupDesignClick);
  add("PreviewPan", PreviewPan);
  add("PreviewPaintPress", PreviewPaintPress);
  add("WindowColourwaySwitch", WindowColourwaySwitch);
#endif
  TCollector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);

  // The file baselines need the sizes the runs above produced.
  for (size_t bytes : {f.PatternBytes, f.ExportBytes1, f.ExportBytes2})
    add("BW", BW)->Arg(static_cast<int64_t>(bytes))->Iterations(5);
  for (size_t bytes : {f.PatternBytes, f.TufBytes1, f.TufBytes2})
    add("BR", BR)->Arg(static_cast<int64_t>(bytes))->Iterations(5);
  benchmark::RunSpecifiedBenchmarks(&collector, "^B[WR]/");

  double largestGap = -1;
#ifdef QUILLANE_GUI
  // The median stroke's: the machine is shared.
  std::vector<double>& gaps = Gui().Gaps;
  if (!gaps.empty()) {
    std::sort(gaps.begin(), gaps.end());
    largestGap = gaps[gaps.size() / 2];
  }
#endif
  PrintReport(collector, PeakMemoryKiB(fs::read_symlink("/proc/self/exe").string(), f.PatternFile),
              largestGap);
#ifdef QUILLANE_CLI
  PrintDumpMemory(f.PatternFile);
  PrintRenderMemory(f.Folder, f.PatternFile, "BMP");
  PrintRenderMemory(f.Folder, f.PatternFile, "PNG");
#endif
  std::error_code ec;
  fs::remove_all(f.Folder, ec);
  return 0;
}
