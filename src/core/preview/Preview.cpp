#include "preview/Preview.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <tuple>

#include "app/App.h"
#include "app/FileIO.h"
#include "elements/Section.h"
#include "files/ControlCells.h"
#include "model/Pattern.h"
#include "production/Production.h"
#include "production/ProductionFile.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/Settings.h"

namespace quillane {

namespace {

// One tenth of an inch, a common gauge, as the production figures assume without spacing.
constexpr double DefaultSpacing = 2.54;
// Undyed backing cloth, where no yarn is tufted.
constexpr uint32_t Backing = 0xD6CBB0;
// Where the program's settings keep the user's pile for a state name.
const std::string PileKey = "Preview.Pile.";
// mm; a taller pile is no carpet.
constexpr double MaxPile = 100;
// Goods wider than this are a mistake, not a floor.
constexpr double MaxGoodsControls = 1 << 20;

bool Usable(double spacing) {
  return std::isfinite(spacing) && spacing >= 0.01 && spacing < 1000;
}

// The light falls from the upper left at 45 degrees; z looks out of the carpet.
constexpr double LightX = -0.5, LightY = -0.5, LightZ = 0.7071;

// A repeatable speckle for the fibre ends of a cut tip, -1 to 1.
double Speckle(int u, int v) {
  uint32_t h = static_cast<uint32_t>(u) * 73856093u ^ static_cast<uint32_t>(v) * 19349663u;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return static_cast<double>(h & 0xFFFF) / 32767.5 - 1.0;
}

// The shade of one point of a cell, 1 for the cell's colour as it is.
double Shade(const TPile& pile, double tallest, int uq, int vq, int steps) {
  const double u = (uq + 0.5) / steps, v = (vq + 0.5) / steps;
  if (pile.Kind == TPileKind::Bare) {
    // A plain weave: squares of warp and weft, darker where the threads cross.
    double f = ((uq / 4 + vq / 4) & 1) ? 0.9 : 1.05;
    if (uq % 8 == 0 || vq % 8 == 0)
      f *= 0.85;
    return f;
  }
  // Taller pile splays further over its cell; what no tuft covers lies deep in shade.
  const double hn = std::clamp(pile.Height / tallest, 0.0, 1.0);
  const bool loop = pile.Kind == TPileKind::Loop;
  const double a = loop ? 0.30 + 0.14 * hn : 0.30 + 0.17 * hn;
  const double b = loop ? 0.36 + 0.13 * hn : a;
  const double dx = u - 0.5, dy = v - 0.5;
  const double nx = dx / a, ny = dy / b, r2 = nx * nx + ny * ny;
  if (r2 >= 1)
    return 0.28;
  const double nz = std::sqrt(1 - r2);
  double f = 0.30 + 0.95 * std::max(0.0, nx * LightX + ny * LightY + nz * LightZ);
  if (loop && std::abs(dx) < 0.06 && r2 < 0.5)
    f *= 0.7; // the loop's opening, seen from above
  if (!loop)
    f *= 1 + 0.12 * Speckle(uq, vq);
  return f;
}

uint32_t ToRgb(uint32_t platform) {
  return ((platform & 0xFF) << 16) | (platform & 0xFF00) | ((platform >> 16) & 0xFF);
}

} // namespace

TPile DefaultPile(std::string_view stateName) {
  // The heights the production figures propose for the same names.
  const double height = DefaultPileHeight(stateName);
  return {height == 0.0        ? TPileKind::Bare
          : stateName == "Cut" ? TPileKind::Cut
                               : TPileKind::Loop,
          height};
}

std::string PileText(const TPile& pile) {
  static const char* const kinds[] = {"bare", "loop", "cut"};
  return std::string(kinds[static_cast<int>(pile.Kind)]) + " " + NumberText(pile.Height);
}

std::optional<TPile> ReadPileText(std::string_view text) {
  const size_t space = text.find(' ');
  if (space == std::string_view::npos)
    return std::nullopt;
  const std::string_view kind = text.substr(0, space), number = text.substr(space + 1);
  TPile pile;
  if (kind == "bare")
    pile.Kind = TPileKind::Bare;
  else if (kind == "cut")
    pile.Kind = TPileKind::Cut;
  else if (kind != "loop")
    return std::nullopt;
  const auto [end, error] =
      std::from_chars(number.data(), number.data() + number.size(), pile.Height);
  if (error != std::errc() || end != number.data() + number.size() || !(pile.Height >= 0) ||
      pile.Height > MaxPile)
    return std::nullopt;
  return pile;
}

void RememberPile(OPersist& settings, const std::string& stateName, const TPile& pile) {
  settings.WriteString(PileKey + stateName, PileText(pile));
}

std::vector<TPile> PreviewPiles(const OPattern& pattern, const TProductionParameters* parameters,
                                OPersist* remembered) {
  std::vector<TPile> piles{{TPileKind::Bare, 0.0}};
  // As the production figures proposed the tuft lengths, so that a proposal reads back.
  const double along = PLineSpacingOf(pattern);
  for (int s = 1; s <= pattern.NoStates; ++s) {
    const std::string name = pattern.GetStateName(s);
    TPile pile = DefaultPile(name);
    if (remembered)
      if (const std::optional<TPile> chosen =
              ReadPileText(remembered->ReadString(PileKey + name, "")))
        pile = *chosen;
    const auto index = static_cast<size_t>(s - 1);
    if (parameters && index < parameters->TuftLength.size()) {
      const double length = parameters->TuftLength[index];
      if (!(length > 0)) {
        pile = {TPileKind::Bare, 0.0};
      } else {
        if (pile.Kind == TPileKind::Bare)
          pile.Kind = TPileKind::Loop;
        // A length shorter than the step along still makes a tuft, a very short one.
        pile.Height = std::clamp((length - along) / 2, 0.5, MaxPile);
      }
    }
    piles.push_back(pile);
  }
  return piles;
}

std::vector<TPile> PreviewPilesBeside(const OPattern& pattern, std::string& problem,
                                      OPersist* remembered) {
  problem.clear();
  if (!PileHeightsFromFile(pattern))
    return PreviewPiles(pattern, nullptr, remembered);
  try {
    const TProductionParameters parameters =
        LoadProductionParameters(ProductionFileName(pattern.FileName), pattern);
    return PreviewPiles(pattern, &parameters, remembered);
  } catch (const Exception& e) {
    problem = e.what();
    return PreviewPiles(pattern, nullptr, remembered);
  }
}

bool PileHeightsFromFile(const OPattern& pattern) {
  return FileExists(ProductionFileName(pattern.FileName));
}

TCellSize CellSizeOf(const OPattern& pattern) {
  const double needle = pattern.Settings->NeedleSpacing, line = pattern.Settings->PLineSpacing;
  const double fallback = Usable(needle) ? needle : Usable(line) ? line : DefaultSpacing;
  return {Usable(needle) ? needle : fallback, Usable(line) ? line : fallback};
}

TSectionSteps SectionSteps(const OPattern& pattern) {
  const int pc = pattern.NoControls, pp = pattern.NoPLines;
  TSectionSteps steps;
  if (pc <= 0 || pp <= 0)
    return steps;
  // The repeat across is the smallest step a block of the same band is copied by; a block of
  // a later band copied sideways by part of it is the drop the repeat holds (target cell
  // (c + step, p + down) shows source cell (c, p)).
  // In 64 bits: a section read from a file may lie anywhere until it is applied.
  int64_t& across = steps.Across;
  for (int i = 0; i < pattern.Sections->Count(); ++i) {
    const OSection& s = *pattern.Sections->Get(i);
    if (s.HFlip || s.VFlip || s.Rotation)
      continue;
    const int64_t shift = int64_t{s.TargetArea.Left} - s.SourceArea.Left;
    if (s.TargetArea.Top == s.SourceArea.Top && shift != 0)
      across = across ? std::min(across, std::abs(shift)) : std::abs(shift);
  }
  if (across == 0)
    across = pc;
  for (int i = 0; i < pattern.Sections->Count(); ++i) {
    const OSection& s = *pattern.Sections->Get(i);
    const int64_t shift = int64_t{s.TargetArea.Left} - s.SourceArea.Left;
    const int64_t down = int64_t{s.TargetArea.Top} - s.SourceArea.Top;
    if (s.HFlip || s.VFlip || s.Rotation || down <= 0)
      continue;
    if (shift % across != 0 && steps.Down == 0) {
      steps.Step = (shift % across + across) % across;
      steps.Down = down % pp;
    } else if (shift % across == 0 && pp % down == 0) {
      steps.Along = steps.Along ? std::min(steps.Along, down) : down;
    }
  }
  if (steps.Along == 0)
    steps.Along = pp;
  return steps;
}

int SeamDrop(const OPattern& pattern) {
  const int pc = pattern.NoControls, pp = pattern.NoPLines;
  if (pc <= 0 || pp <= 0)
    return 0;
  const TSectionSteps steps = SectionSteps(pattern);
  const int64_t across = steps.Across, step = steps.Step, down = steps.Down;
  // The next width starts where the pattern starts: it continues the repeat when the width
  // ends at a whole repeat across (no drop), or at a step of the drop, whose PLines it then
  // makes up (a step back, the other way).
  auto gap = [across](int64_t a, int64_t b) {
    const int64_t d = ((a - b) % across + across) % across;
    return std::min(d, across - d);
  };
  const int64_t end = pc % across;
  int64_t drop = 0, best = gap(end, 0);
  if (down != 0)
    for (const auto& [to, by] : {std::pair{step, pp - down}, {across - step, down}})
      if (gap(end, to) < best) {
        best = gap(end, to);
        drop = by % pp;
      }
  return static_cast<int>(drop);
}

int GoodsLength(const OPattern& pattern, int controls) {
  const TCellSize size = CellSizeOf(pattern);
  const double width = controls * size.Across;
  const double length = std::clamp(2.0 * pattern.NoPLines * size.Along, width / 2, width * 2);
  return static_cast<int>(std::clamp(std::round(length / size.Along), 1.0, MaxGoodsControls));
}

TGoodsLayout GoodsAcross(const OPattern& pattern, double widthMetres) {
  if (!(widthMetres > 0))
    return {pattern.NoControls, pattern.NoPLines, 0};
  const double controls = std::round(widthMetres * 1000 / CellSizeOf(pattern).Across);
  const int across = static_cast<int>(std::clamp(controls, 1.0, MaxGoodsControls));
  return {across, GoodsLength(pattern, across), SeamDrop(pattern)};
}

OPreview::OPreview(const OPattern& pattern) : Pattern(pattern) {
  PileOf = PreviewPiles(pattern, nullptr);
  Refresh();
}

void OPreview::Refresh() {
  const OPattern& p = Pattern;
  Size = CellSizeOf(p);
  if (OwnWidth) {
    Layout = GoodsAcross(p, 0);
  } else {
    Layout.PLines = GoodsLength(p, Layout.Controls);
    Layout.Drop = SeamDrop(p);
  }
  EndlessDrop = SeamDrop(p);
  ColourOf.assign(size_t{p.NoYarnTypes} + 1, {});
  for (int y = 1; y <= p.NoYarnTypes; ++y)
    for (int s = 1; s <= p.NoStates; ++s) {
      const uint8_t colour = p.MachineTable->ColourEntry(y, s);
      ColourOf[static_cast<size_t>(y)][static_cast<size_t>(s)] = colour <= p.NoColours ? colour : 0;
    }
  YarnTypeOf.assign(size_t{p.NoControls} + 1, 0);
  for (int c = 1; c <= p.NoControls; ++c) {
    const uint8_t y = p.Creel->YarnTypeEntry(c);
    YarnTypeOf[static_cast<size_t>(c)] = y <= p.NoYarnTypes ? y : 0;
  }
  // The preview shows what the machine will tuft, so a cell is read as the export codes it:
  // a cell without a state tufts the undefined state, a colour no yarn type shows nothing.
  if (p.PatternMode == pmColours) {
    TuftOf.fill(1);
    TuftOf[0] = 0;
    // A table being edited cannot say yet; its colours show as they are.
    if (!p.MachineTable->NeedsValidating()) {
      const std::array<uint8_t, 256> yarnOf = ExportedYarnTypes(p);
      for (size_t v = 0; v < TuftOf.size(); ++v)
        TuftOf[v] = yarnOf[v] != 0;
    }
  } else {
    TuftOf = ExportedStates(p);
  }
  Rgb.fill(0);
  for (int i = 0; i <= p.NoColours; ++i)
    Rgb[static_cast<size_t>(i)] =
        ToRgb(Chosen ? (*Chosen)[static_cast<size_t>(i)] : p.Palette->GetColour(i));
  // States the pattern gained take their defaults; the ones it kept keep what was set.
  std::vector<TPile> piles = PreviewPiles(p, nullptr);
  for (size_t s = 1; s < piles.size() && s < PileOf.size(); ++s)
    piles[s] = PileOf[s];
  PileOf = std::move(piles);
  MakeShapes();
}

void OPreview::SetColours(const std::array<uint32_t, 256>& colours) {
  Chosen = colours;
  Refresh();
}

void OPreview::UsePaletteColours() {
  Chosen.reset();
  Refresh();
}

void OPreview::SetPiles(std::vector<TPile> piles) {
  piles.resize(size_t{Pattern.NoStates} + 1);
  piles[0] = {TPileKind::Bare, 0.0};
  PileOf = std::move(piles);
  MakeShapes();
}

void OPreview::SetGoods(const TGoodsLayout& goods) {
  Layout = goods;
  Layout.Controls = std::max(Layout.Controls, 1);
  Layout.PLines = std::max(Layout.PLines, 1);
  Layout.Drop = Pattern.NoPLines > 0 ? std::abs(Layout.Drop) % Pattern.NoPLines : 0;
  OwnWidth = Layout == GoodsAcross(Pattern, 0);
}

void OPreview::MakeShapes() {
  Tallest = 1.0;
  for (const TPile& pile : PileOf)
    Tallest = std::max(Tallest, pile.Height);
  const size_t n = PileOf.size();
  Shapes.assign(2 * n, {});
  for (size_t s = 0; s < n; ++s) {
    for (int v = 0; v < Steps; ++v)
      for (int u = 0; u < Steps; ++u)
        Shapes[s][static_cast<size_t>(v * Steps + u)] =
            static_cast<uint16_t>(std::lround(256 * Shade(PileOf[s], Tallest, u, v, Steps)));
    const uint32_t sum = std::accumulate(Shapes[s].begin(), Shapes[s].end(), 0u);
    Shapes[n + s].fill(static_cast<uint16_t>((sum + Steps * Steps / 2) / (Steps * Steps)));
  }
}

int64_t OPreview::GoodsWidth(double scale) const {
  // A fitted side is as many pixels as it was fitted to, whatever the rounding.
  return static_cast<int64_t>(std::ceil(Layout.Controls * Size.Across * scale - 1e-6));
}

int64_t OPreview::GoodsHeight(double scale) const {
  return static_cast<int64_t>(std::ceil(Layout.PLines * Size.Along * scale - 1e-6));
}

double OPreview::FitScale(int width, int height) const {
  const double across = std::max(Layout.Controls, 1) * Size.Across;
  const double along = std::max(Layout.PLines, 1) * Size.Along;
  return std::max(1e-6, std::min(std::max(width, 1) / across, std::max(height, 1) / along));
}

void OPreview::Render(const TPreviewView& view, uint32_t* pixels, const TPixelRect& area) const {
  Draw<false>(view, pixels, area);
}

void OPreview::RenderShades(const TPreviewView& view, uint32_t* shades,
                            const TPixelRect& area) const {
  Draw<true>(view, shades, area);
}

void OPreview::ColourShades(const uint32_t* shades, size_t count,
                            const std::array<uint32_t, 256>& colours, uint32_t* pixels) const {
  // Red and blue ride one 64-bit product: blue times a shade stays below 2^32. The
  // background is shaded by exactly 1, so every pixel takes the same steps.
  struct TChannels {
    uint64_t RB = 0;
    uint32_t G = 0;
  };
  std::array<TChannels, 258> table{};
  auto channels = [](uint32_t rgb) {
    return TChannels{uint64_t{(rgb >> 16) & 0xFF} << 32 | (rgb & 0xFF), (rgb >> 8) & 0xFF};
  };
  for (size_t i = 0; i < 256; ++i)
    table[i] = channels(ToRgb(colours[i]));
  table[BackingSlot] = channels(Backing);
  table[BackgroundSlot] = channels(Background);
  for (size_t i = 0; i < count; ++i) {
    const uint32_t f = ShadeOf(shades[i]);
    const TChannels& c = table[ColourSlotOf(shades[i])];
    const uint64_t rb = c.RB * f;
    pixels[i] = 0xFF000000u | std::min<uint32_t>(255, static_cast<uint32_t>(rb >> 48)) << 16 |
                std::min<uint32_t>(255, (c.G * f) >> 16) << 8 |
                std::min<uint32_t>(255, static_cast<uint32_t>(rb) >> 16);
  }
}

uint8_t OPreview::CellAt(int control, int line, uint8_t& state) const {
  const OPattern& p = Pattern;
  if (p.PatternMode == pmColours) {
    const uint8_t cell = p.MachineColours.Row(line)[control];
    const uint8_t index = TuftOf[cell] ? cell : 0;
    state = index && PileOf.size() > 1 ? 1 : 0;
    return index;
  }
  state = TuftOf[p.States.Row(line)[control]];
  if (state >= PileOf.size())
    state = 0;
  return ColourOf[YarnTypeOf[static_cast<size_t>(control)]][state];
}

double OPreview::HeightOf(uint8_t index, uint8_t state) const {
  const TPile& pile = PileOf[state];
  return index && pile.Kind != TPileKind::Bare ? pile.Height : 0.0;
}

uint32_t OPreview::LightOf(double height, double left, double up) const {
  // Higher pile catches more light; pile lower than its neighbours towards the light lies in
  // their shadow.
  const double shadow = std::max(left, up) - height;
  const double level = (0.55 + 0.45 * std::min(1.0, height / Tallest)) *
                       (1 - 0.4 * std::clamp(shadow / Tallest, 0.0, 1.0));
  return static_cast<uint32_t>(level * 256 + 0.5);
}

OPreview::TTuft OPreview::TuftAt(int64_t x, int64_t row) const {
  const int pc = std::min<int>(Pattern.NoControls, static_cast<int>(YarnTypeOf.size()) - 1);
  const int pp = Pattern.NoPLines;
  TTuft tuft;
  tuft.Shape = Shapes[0].data();
  if (pc <= 0 || pp <= 0) {
    const uint32_t light = LightOf(0, 0, 0);
    tuft.R = ((Backing >> 16) & 0xFF) * light;
    tuft.G = ((Backing >> 8) & 0xFF) * light;
    tuft.B = (Backing & 0xFF) * light;
    return tuft;
  }
  // Each copy of the pattern across is dropped as wide goods drop it; a cell's neighbours
  // towards the light are found from it, without dividing again.
  // Most cells lie in the first copy and length: those cost no division.
  const int64_t copy = x >= 0 ? (x < pc ? 0 : x / pc) : -((-x - 1) / pc) - 1;
  const auto control = static_cast<int>(x - copy * pc) + 1;
  const int64_t along = row + (copy == 0 ? 0 : (copy % pp + pp) % pp * EndlessDrop % pp);
  const auto line = static_cast<int>(along >= 0 && along < pp ? along : (along % pp + pp) % pp) + 1;
  auto heightAt = [this](int c, int l) {
    uint8_t s = 0;
    const uint8_t i = CellAt(c, l, s);
    return HeightOf(i, s);
  };
  uint8_t state = 0;
  const uint8_t index = CellAt(control, line, state);
  const double height = HeightOf(index, state);
  // The copy before lies dropped by one drop less.
  const double left = control > 1 ? heightAt(control - 1, line)
                                  : heightAt(pc, (line - 1 - EndlessDrop % pp + pp) % pp + 1);
  const double up = heightAt(control, line % pp + 1);
  const uint32_t light = LightOf(height, left, up);
  const bool bare = height == 0.0;
  const uint32_t rgb = bare ? Backing : Rgb[index];
  tuft.R = ((rgb >> 16) & 0xFF) * light;
  tuft.G = ((rgb >> 8) & 0xFF) * light;
  tuft.B = (rgb & 0xFF) * light;
  tuft.Shape = Shapes[bare ? 0 : state].data();
  tuft.Index = index;
  tuft.Pile = bare ? TPile{TPileKind::Bare, 0.0} : PileOf[state];
  return tuft;
}

template <bool Shaded>
void OPreview::Draw(const TPreviewView& view, uint32_t* pixels, const TPixelRect& asked) const {
  const TPixelRect area{std::max(asked.Left, 0), std::max(asked.Top, 0),
                        std::min(asked.Right, view.Width), std::min(asked.Bottom, view.Height)};
  if (area.Empty() || !(view.Scale > 0))
    return;
  const OPattern& p = Pattern;
  // A pattern that grew since the last Refresh shows its new controls once it is heard of.
  const int pc = std::min<int>(p.NoControls, static_cast<int>(YarnTypeOf.size()) - 1);
  const int pp = p.NoPLines;
  const double cellWidth = Size.Across * view.Scale, cellHeight = Size.Along * view.Scale;

  // Where each goods column comes from in the pattern: its control, and the PLines its copy
  // of the pattern is dropped by.
  struct TSource {
    int Control = 0, Drop = 0;
  };
  auto sourceOf = [&](int64_t x) -> TSource {
    if (x < 0 || pc == 0 || pp == 0)
      return {};
    const int64_t copy = x / pc;
    return {static_cast<int>(x % pc) + 1, static_cast<int>(copy * Layout.Drop % pp)};
  };
  // The goods' columns in sight, each over a run of output pixels: the goods lie in one
  // run of the area's width, background on either side.
  struct TColumn {
    int64_t Goods;
    TSource Here, Left;
    int First, End; // output pixels, from the area's left
  };
  const int width = area.Right - area.Left;
  std::vector<uint16_t> uStep(static_cast<size_t>(width), 0);
  std::vector<TColumn> columns;
  for (int j = 0; j < width; ++j) {
    const double x = (static_cast<double>(view.Left + area.Left + j) + 0.5) / cellWidth;
    if (x < 0 || x >= Layout.Controls)
      continue;
    const auto goods = static_cast<int64_t>(x);
    uStep[static_cast<size_t>(j)] = static_cast<uint16_t>(
        std::min<int64_t>(Steps - 1, static_cast<int64_t>((x - goods) * Steps)));
    if (columns.empty() || columns.back().Goods != goods)
      columns.push_back({goods, sourceOf(goods), sourceOf(goods - 1), j, j});
    columns.back().End = j + 1;
  }
  const int goodsFirst = columns.empty() ? width : columns.front().First;
  const int goodsEnd = columns.empty() ? width : columns.back().End;

  // A cell's colour index and state; index 0 is bare.
  auto cellAt = [&](const TSource& source, int64_t row, uint8_t& state) -> uint8_t {
    state = 0;
    if (source.Control == 0 || row < 0 || row >= Layout.PLines)
      return 0;
    int64_t line = row + source.Drop;
    if (line >= pp)
      line %= pp;
    return CellAt(source.Control, static_cast<int>(line) + 1, state);
  };
  auto heightOf = [&](uint8_t index, uint8_t state) { return HeightOf(index, state); };
  auto heightAt = [&](const TSource& source, int64_t row) {
    uint8_t state = 0;
    const uint8_t index = cellAt(source, row, state);
    return heightOf(index, state);
  };

  struct TLook {
    uint32_t R = 0, G = 0, B = 0;
    const uint16_t* Shape = nullptr;
    uint32_t Slot = 0, Scale = 0;
  };
  const uint32_t background = Shaded ? BackgroundSlot << 17 | 1u << 16 : Background;
  std::vector<TLook> strip(columns.size());
  // The strip's cells' heights, and the row above's: a cell's neighbours towards the light
  // are mostly cells already looked up.
  std::vector<double> heights(columns.size()), above(columns.size());
  int64_t stripRow = -1;
  const bool small = cellWidth < SmallestShaped || cellHeight < SmallestShaped;
  for (int i = area.Top; i < area.Bottom; ++i) {
    uint32_t* out = pixels + static_cast<size_t>(i) * static_cast<size_t>(view.Width) + area.Left;
    const double fromTop = (static_cast<double>(view.Top + i) + 0.5) / cellHeight;
    if (fromTop < 0 || fromTop >= Layout.PLines) {
      std::fill(out, out + width, background);
      continue;
    }
    const auto t = static_cast<int64_t>(fromTop);
    const int64_t row = Layout.PLines - 1 - t; // PLine 1 at the bottom
    const size_t vStep = static_cast<size_t>(
        std::min<int64_t>(Steps - 1, static_cast<int64_t>((fromTop - t) * Steps)));
    if (row != stripRow) {
      const bool aboveKnown = stripRow == row + 1;
      heights.swap(above);
      stripRow = row;
      for (size_t k = 0; k < columns.size(); ++k) {
        const TColumn& column = columns[k];
        uint8_t state = 0;
        const uint8_t index = cellAt(column.Here, row, state);
        const double height = heightOf(index, state);
        heights[k] = height;
        const double left = k > 0 && columns[k - 1].Goods + 1 == column.Goods
                                ? heights[k - 1]
                                : heightAt(column.Left, row);
        const double up = aboveKnown ? above[k] : heightAt(column.Here, row + 1);
        const uint32_t scale = LightOf(height, left, up);
        const bool bare = height == 0.0;
        const uint32_t rgb = bare ? Backing : Rgb[index];
        const uint16_t* shape = Shapes[bare ? 0 : state].data();
        strip[k] = {((rgb >> 16) & 0xFF) * scale, ((rgb >> 8) & 0xFF) * scale,
                    (rgb & 0xFF) * scale,         small ? Blurred(shape) : shape,
                    bare ? BackingSlot : index,   scale};
      }
    }
    std::fill(out, out + goodsFirst, background);
    std::fill(out + goodsEnd, out + width, background);
    for (size_t k = 0; k < columns.size(); ++k) {
      const TLook look = strip[k];
      const uint16_t* shape = look.Shape + vStep * Steps;
      if constexpr (Shaded) {
        // Scale (at most 256) times a shape's shade (under 512) stays within 17 bits.
        for (int j = columns[k].First; j < columns[k].End; ++j)
          out[j] = look.Slot << 17 | look.Scale * shape[uStep[static_cast<size_t>(j)]];
        continue;
      }
      for (int j = columns[k].First; j < columns[k].End; ++j) {
        const uint32_t f = shape[uStep[static_cast<size_t>(j)]];
        out[j] = 0xFF000000u | std::min<uint32_t>(255, (look.R * f) >> 16) << 16 |
                 std::min<uint32_t>(255, (look.G * f) >> 16) << 8 |
                 std::min<uint32_t>(255, (look.B * f) >> 16);
      }
    }
  }
}

std::vector<TPixelRect> OPreview::PixelsOfCells(const TPreviewView& view,
                                                const TRect& cells) const {
  std::vector<TPixelRect> rects;
  const int pc = Pattern.NoControls, pp = Pattern.NoPLines;
  if (pc == 0 || pp == 0 || !(view.Scale > 0))
    return rects;
  const double cellWidth = Size.Across * view.Scale, cellHeight = Size.Along * view.Scale;
  // Only the copies in sight, and their neighbours' shadows.
  const double copyWidth = pc * cellWidth;
  const int64_t first = std::max<int64_t>(0, static_cast<int64_t>(view.Left / copyWidth) - 1);
  const int64_t last =
      std::min<int64_t>((Layout.Controls + pc - 1) / pc - 1,
                        static_cast<int64_t>((view.Left + view.Width) / copyWidth) + 1);
  for (int64_t copy = first; copy <= last; ++copy) {
    // One cell more on every side: a neighbour's shadow follows the cell.
    const int64_t x0 = std::max<int64_t>(0, copy * pc + cells.Left - 2);
    const int64_t x1 = std::min<int64_t>(Layout.Controls - 1, copy * pc + cells.Right);
    if (x0 > x1)
      continue;
    const int64_t drop = copy * Layout.Drop % pp;
    for (int64_t base = -pp; base < Layout.PLines + pp; base += pp) {
      const int64_t y0 = std::max<int64_t>(0, base + cells.Top - 1 - drop - 1);
      const int64_t y1 = std::min<int64_t>(Layout.PLines - 1, base + cells.Bottom - 1 - drop + 1);
      if (y0 > y1)
        continue;
      const int64_t t0 = Layout.PLines - 1 - y1, t1 = Layout.PLines - 1 - y0;
      const TPixelRect r{
          static_cast<int>(std::clamp<int64_t>(
              static_cast<int64_t>(std::floor(x0 * cellWidth)) - 1 - view.Left, 0, view.Width)),
          static_cast<int>(std::clamp<int64_t>(
              static_cast<int64_t>(std::floor(t0 * cellHeight)) - 1 - view.Top, 0, view.Height)),
          static_cast<int>(std::clamp<int64_t>(
              static_cast<int64_t>(std::ceil((x1 + 1) * cellWidth)) + 1 - view.Left, 0,
              view.Width)),
          static_cast<int>(std::clamp<int64_t>(
              static_cast<int64_t>(std::ceil((t1 + 1) * cellHeight)) + 1 - view.Top, 0,
              view.Height))};
      if (!r.Empty())
        rects.push_back(r);
    }
  }
  return rects;
}

void OPreviewCanvas::SetBox(int width, int height) {
  Shown.Width = std::max(width, 0);
  Shown.Height = std::max(height, 0);
  if (Fitted)
    Shown.Scale = Shows->FitScale(Shown.Width, Shown.Height);
  Clamp();
  DrawAll();
}

void OPreviewCanvas::Show(const OCarpetPicture& picture) {
  Shows = &picture;
  Fit();
}

void OPreviewCanvas::Fit() {
  Fitted = true;
  Shown.Scale = Shows->FitScale(Shown.Width, Shown.Height);
  Clamp();
  DrawAll();
}

void OPreviewCanvas::ZoomAt(int x, int y, int steps) {
  const double fit = Shows->FitScale(Shown.Width, Shown.Height);
  const double most = 64 / std::min(Shows->CellSize().Across, Shows->CellSize().Along);
  const double scale =
      std::clamp(Shown.Scale * std::pow(2.0, steps), std::min(fit / 4, most), std::max(fit, most));
  // The goods' point under (x, y), in mm, stays there.
  const double gx = (Shown.Left + x + 0.5) / Shown.Scale, gy = (Shown.Top + y + 0.5) / Shown.Scale;
  Shown.Scale = scale;
  Fitted = false;
  Shown.Left = std::llround(gx * scale - 0.5 - x);
  Shown.Top = std::llround(gy * scale - 0.5 - y);
  Clamp();
  DrawAll();
}

void OPreviewCanvas::Clamp() {
  auto clamp = [](int64_t& at, int64_t goods, int box) {
    at = goods <= box ? -(box - goods) / 2 : std::clamp<int64_t>(at, 0, goods - box);
  };
  clamp(Shown.Left, Shows->GoodsWidth(Shown.Scale), Shown.Width);
  clamp(Shown.Top, Shows->GoodsHeight(Shown.Scale), Shown.Height);
}

std::vector<OPreviewCanvas::TPiece> OPreviewCanvas::Pieces(const TPixelRect& asked) const {
  const int w = Shown.Width, h = Shown.Height;
  const TPixelRect area{std::max(asked.Left, 0), std::max(asked.Top, 0), std::min(asked.Right, w),
                        std::min(asked.Bottom, h)};
  std::vector<TPiece> pieces;
  if (area.Empty())
    return pieces;
  // The box's columns before the buffer's edge, and after it.
  const int splitX = w - OffsetX, splitY = h - OffsetY;
  for (const auto& [top, bottom, y] :
       {std::tuple{area.Top, std::min(area.Bottom, splitY), OffsetY},
        std::tuple{std::max(area.Top, splitY), area.Bottom, -splitY}})
    for (const auto& [left, right, x] :
         {std::tuple{area.Left, std::min(area.Right, splitX), OffsetX},
          std::tuple{std::max(area.Left, splitX), area.Right, -splitX}})
      if (left < right && top < bottom)
        pieces.push_back({{left, top, right, bottom}, left + x, top + y});
  return pieces;
}

std::vector<uint32_t> OPreviewCanvas::Pixels() const {
  std::vector<uint32_t> pixels(Wrapped.size());
  const auto w = static_cast<size_t>(Shown.Width);
  for (const TPiece& piece : Pieces({0, 0, Shown.Width, Shown.Height}))
    for (int y = piece.Box.Top; y < piece.Box.Bottom; ++y)
      std::copy_n(Wrapped.data() + static_cast<size_t>(piece.Y + y - piece.Box.Top) * w + piece.X,
                  piece.Box.Right - piece.Box.Left,
                  pixels.data() + static_cast<size_t>(y) * w + piece.Box.Left);
  return pixels;
}

void OPreviewCanvas::Draw(const TPixelRect& area) {
  for (const TPiece& piece : Pieces(area)) {
    // The view as the buffer holds it: its pixel (X, Y) shows the box's piece.Box corner.
    TPreviewView view = Shown;
    view.Left += piece.Box.Left - piece.X;
    view.Top += piece.Box.Top - piece.Y;
    Shows->Render(view, Wrapped.data(),
                  {piece.X, piece.Y, piece.X + piece.Box.Right - piece.Box.Left,
                   piece.Y + piece.Box.Bottom - piece.Box.Top});
  }
}

std::pair<int, int> OPreviewCanvas::Pan(int dx, int dy) {
  const int64_t wasLeft = Shown.Left, wasTop = Shown.Top;
  Shown.Left -= dx;
  Shown.Top -= dy;
  Clamp();
  // The move made, as the pixels on screen move.
  const int64_t mx = wasLeft - Shown.Left, my = wasTop - Shown.Top;
  if (mx == 0 && my == 0)
    return {0, 0};
  Fitted = false;
  const int w = Shown.Width, h = Shown.Height;
  if (std::abs(mx) >= w || std::abs(my) >= h) {
    DrawAll();
    return {static_cast<int>(mx), static_cast<int>(my)};
  }
  const int ax = static_cast<int>(mx), ay = static_cast<int>(my);
  // The pixels still in sight stay where they are in the buffer; the box starts elsewhere
  // in it, and the strips uncovered are drawn.
  OffsetX = ((OffsetX - ax) % w + w) % w;
  OffsetY = ((OffsetY - ay) % h + h) % h;
  if (ay != 0)
    Draw(ay > 0 ? TPixelRect{0, 0, w, ay} : TPixelRect{0, h + ay, w, h});
  if (ax != 0) {
    const int top = std::max(ay, 0), bottom = h + std::min(ay, 0);
    Draw(ax > 0 ? TPixelRect{0, top, ax, bottom} : TPixelRect{w + ax, top, w, bottom});
  }
  return {ax, ay};
}

std::vector<TPixelRect> OPreviewCanvas::CellsChanged(const TRect& cells) {
  std::vector<TPixelRect> rects = Shows->PixelsOfCells(Shown, cells);
  int64_t area = 0;
  for (const TPixelRect& r : rects)
    area += int64_t{r.Right - r.Left} * (r.Bottom - r.Top);
  // Copies all over the goods (a paint through many sections): one drawing of the box.
  if (area >= int64_t{Shown.Width} * Shown.Height) {
    DrawAll();
    return {{0, 0, Shown.Width, Shown.Height}};
  }
  for (const TPixelRect& r : rects)
    Draw(r);
  return rects;
}

void OPreviewCanvas::DrawAll() {
  Wrapped.resize(static_cast<size_t>(Shown.Width) * static_cast<size_t>(Shown.Height));
  OffsetX = OffsetY = 0;
  Shows->Render(Shown, Wrapped.data(), {0, 0, Shown.Width, Shown.Height});
}

} // namespace quillane
