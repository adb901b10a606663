#include "production/Production.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "files/ControlCells.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/Settings.h"

namespace quillane {

namespace {

// One tenth of an inch, a common gauge, when the control settings give no PLine spacing.
constexpr double FallbackPLineSpacing = 2.54;

// The run's PLines. The control settings' PLine spacing is read as millimetres of goods
// from one PLine to the next, and every control makes one tuft per PLine (the yarn per tuft
// covers the stitches of a backing step); the run tufts the pattern's PLines over and over
// and ends wherever its length ends. A run length of 0 is the pattern's PLines once.
uint64_t TuftedPLines(const OPattern& pattern, double runLength) {
  if (runLength == 0)
    return static_cast<uint64_t>(pattern.NoPLines);
  const double spacing = pattern.Settings->PLineSpacing;
  if (!std::isfinite(spacing) || spacing <= 0)
    throw EProduction("The control settings give no PLine spacing, so a run length cannot be "
                      "laid out in PLines");
  const double pLines = std::round(runLength * 1000.0 / spacing);
  if (pLines > 1e15)
    throw EProduction("The run length is too long for the PLine spacing");
  return static_cast<uint64_t>(pLines);
}

struct TLimit {
  const char* Name;
  double Low, High;
  bool LowOpen; // the low end itself is refused
  const char* Unit;
};
constexpr TLimit Limits[] = {
    {"tuftLength", 0, 1000, false, " mm"}, {"yarnCount", 0, 100000, true, ""},
    {"coneWeight", 0, 1000, true, " kg"},  {"runLength", 0, 1000000, false, " m"},
    {"waste", 0, 100, false, " %"},
};

std::string Number(double v) {
  std::string text = std::to_string(v);
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.')
    text.pop_back();
  return text;
}

} // namespace

double PLineSpacingOf(const OPattern& pattern) {
  const double spacing = pattern.Settings->PLineSpacing;
  return std::isfinite(spacing) && spacing > 0 ? spacing : FallbackPLineSpacing;
}

double DefaultPileHeight(std::string_view stateName) {
  static const std::array<std::pair<const char*, double>, 7> piles{{
      {"High", 10.0},
      {"Medium", 7.5},
      {"Low", 5.0},
      {"Cut", 8.0},
      {"On", 8.0},
      {"Color", 8.0},
      {"Off", 0.0},
  }};
  for (const auto& [name, pile] : piles)
    if (stateName == name)
      return pile;
  return 8.0;
}

std::string ParameterValueProblem(std::string_view field, double value) {
  for (const TLimit& limit : Limits) {
    if (field != limit.Name)
      continue;
    const bool low = limit.LowOpen ? !(value > limit.Low) : !(value >= limit.Low);
    if (limit.LowOpen && low)
      return std::string(limit.Name) + " must be positive";
    if (low || !(value <= limit.High))
      return std::string(limit.Name) + " must be from " + Number(limit.Low) + " to " +
             Number(limit.High) + limit.Unit;
    return "";
  }
  return "";
}

double ProposedTuftLength(double pileHeight, double pLineSpacing) {
  return pileHeight > 0 ? 2 * pileHeight + pLineSpacing : 0.0;
}

TProductionParameters DefaultProductionParameters(const OPattern& pattern) {
  TProductionParameters parameters;
  CompleteProductionParameters(parameters, pattern);
  return parameters;
}

void CompleteProductionParameters(TProductionParameters& parameters, const OPattern& pattern) {
  for (size_t s = parameters.TuftLength.size() + 1; s <= pattern.NoStates; ++s)
    parameters.TuftLength.push_back(ProposedTuftLength(
        DefaultPileHeight(pattern.GetStateName(static_cast<int>(s))), PLineSpacingOf(pattern)));
  if (parameters.YarnCounts.size() < pattern.NoYarnTypes)
    parameters.YarnCounts.resize(pattern.NoYarnTypes);
}

std::string ProductionParameterProblem(const TProductionParameters& parameters) {
  std::string problem;
  for (double length : parameters.TuftLength)
    if (problem.empty())
      problem = ParameterValueProblem("tuftLength", length);
  for (const TYarnCount& count : parameters.YarnCounts)
    if (problem.empty())
      problem = ParameterValueProblem("yarnCount", count.Value);
  for (const auto& [name, value] : {std::pair{"coneWeight", parameters.ConeWeight},
                                    {"runLength", parameters.RunLength},
                                    {"waste", parameters.Waste}})
    if (problem.empty())
      problem = ParameterValueProblem(name, value);
  return problem;
}

TProductionFigures ComputeProduction(const OPattern& pattern,
                                     const TProductionParameters& parameters) {
  if (const std::string problem = ProductionParameterProblem(parameters); !problem.empty())
    throw EProduction(problem);
  const bool states = pattern.PatternMode == pmStates;
  const size_t noStates = pattern.NoStates, noYarnTypes = pattern.NoYarnTypes;
  if (parameters.TuftLength.size() < noStates || parameters.YarnCounts.size() < noYarnTypes)
    throw EProduction("The production parameters do not cover the pattern's states and yarn "
                      "types");

  // Each cell is counted under one index per control: its state for a state pattern, its
  // yarn type for a colour pattern; index 0 takes no yarn.
  const size_t kinds = (states ? noStates : noYarnTypes) + 1;
  std::array<uint8_t, 256> indexOf{};
  const std::array<uint8_t, 256> coded =
      states ? ExportedStates(pattern) : ExportedYarnTypes(pattern);
  for (size_t v = 0; v < indexOf.size(); ++v)
    indexOf[v] = coded[v] < kinds ? coded[v] : 0;

  TProductionFigures f;
  f.PLines = TuftedPLines(pattern, parameters.RunLength);
  const uint64_t noPLines = static_cast<uint64_t>(pattern.NoPLines);
  f.FullRepeats = noPLines ? f.PLines / noPLines : 0;
  const int rest = noPLines ? static_cast<int>(f.PLines % noPLines) : 0;

  // One pass over the grid; the counts when the run's last part ends are kept on the way.
  const size_t controls = pattern.NoControls;
  const TGrid& grid = states ? pattern.States : pattern.MachineColours;
  std::vector<uint32_t> pass(controls * kinds), part;
  for (int p = 1; p <= pattern.NoPLines; ++p) {
    const uint8_t* row = grid.Row(p) + 1;
    uint32_t* counts = pass.data();
    for (size_t c = 0; c < controls; ++c, counts += kinds)
      ++counts[indexOf[row[c]]];
    if (p == rest)
      part = pass;
  }
  if (part.empty())
    part.assign(pass.size(), 0);

  std::vector<double> gramsPerKm(noYarnTypes + 1, 0.0);
  f.YarnTypes.resize(noYarnTypes);
  for (size_t y = 1; y <= noYarnTypes; ++y) {
    gramsPerKm[y] = parameters.YarnCounts[y - 1].GramsPerKm();
    f.YarnTypes[y - 1].YarnType = static_cast<uint8_t>(y);
    f.YarnTypes[y - 1].GramsPerKm = gramsPerKm[y];
  }
  f.TuftsPerState.assign(noStates + 1, 0);
  f.Needles.resize(controls);
  for (size_t c = 0; c < controls; ++c) {
    TNeedleFigures& needle = f.Needles[c];
    needle.Control = static_cast<int>(c + 1);
    needle.YarnType = pattern.Creel->GetYarnType(needle.Control);
    needle.Tufts.assign(noStates + 1, 0);
    for (size_t k = 0; k < kinds; ++k) {
      const uint64_t n = f.FullRepeats * pass[c * kinds + k] + part[c * kinds + k];
      // A colour pattern's yarn type k tufts in the one state.
      const size_t state = states ? k : (k > 0 && noStates > 0 ? 1 : 0);
      const size_t yarnType = states ? needle.YarnType : k;
      needle.Tufts[state] += n;
      if (state == 0 || yarnType == 0 || yarnType > noYarnTypes)
        continue;
      const double length = static_cast<double>(n) * parameters.TuftLength[state - 1] / 1000.0;
      needle.Length += length;
      needle.Weight += length * gramsPerKm[yarnType] / 1e6;
      f.YarnTypes[yarnType - 1].Length += length;
    }
    for (size_t s = 0; s <= noStates; ++s)
      f.TuftsPerState[s] += needle.Tufts[s];
    f.Length += needle.Length;
    f.Weight += needle.Weight;
  }

  const double wasteFactor = 1.0 + parameters.Waste / 100.0;
  for (TYarnTypeFigures& yarn : f.YarnTypes) {
    yarn.Weight = yarn.Length * yarn.GramsPerKm / 1e6;
    yarn.WeightWithWaste = yarn.Weight * wasteFactor;
    // A hair over a whole cone from rounding is not another cone.
    yarn.Cones = static_cast<uint64_t>(
        std::max(0.0, std::ceil(yarn.WeightWithWaste / parameters.ConeWeight - 1e-9)));
    f.Cones += yarn.Cones;
  }
  f.WeightWithWaste = f.Weight * wasteFactor;

  TNeedleBalance& b = f.Balance;
  if (!f.Needles.empty()) {
    const auto [lo, hi] = std::minmax_element(
        f.Needles.begin(), f.Needles.end(),
        [](const TNeedleFigures& x, const TNeedleFigures& y) { return x.Length < y.Length; });
    b.Min = lo->Length;
    b.Max = hi->Length;
    b.Mean = f.Length / static_cast<double>(f.Needles.size());
    b.MaxToMean = b.Mean > 0 ? b.Max / b.Mean : 0.0;
    std::vector<const TNeedleFigures*> above;
    for (const TNeedleFigures& needle : f.Needles)
      if (needle.Length > b.Mean * (1 + 1e-12))
        above.push_back(&needle);
    const size_t n = std::min(above.size(), FurthestNeedles);
    std::partial_sort(above.begin(), above.begin() + static_cast<std::ptrdiff_t>(n), above.end(),
                      [](const TNeedleFigures* x, const TNeedleFigures* y) {
                        return x->Length != y->Length ? x->Length > y->Length
                                                      : x->Control < y->Control;
                      });
    for (size_t i = 0; i < n; ++i)
      b.FurthestAboveMean.push_back(above[i]->Control);
  }
  return f;
}

namespace {

std::string Fixed(double value, int decimals, const char* unit) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f %s", decimals, value, unit);
  return text;
}

} // namespace

std::string MetresText(double metres) {
  return Fixed(metres, 2, "m");
}

std::string KilogramsText(double kilograms) {
  return Fixed(kilograms, 3, "kg");
}

std::string BalanceText(const TNeedleBalance& b) {
  if (b.MaxToMean <= 0.0)
    return "Needle balance: no needle takes yarn";
  char ratio[32];
  std::snprintf(ratio, sizeof ratio, "%.2f", b.MaxToMean);
  std::string text = "Needle balance: min " + MetresText(b.Min) + ", mean " + MetresText(b.Mean) +
                     ", max " + MetresText(b.Max) + ", max/mean " + ratio;
  for (size_t i = 0; i < b.FurthestAboveMean.size(); ++i)
    text +=
        (i == 0 ? "; furthest above the mean: " : ", ") + std::to_string(b.FurthestAboveMean[i]);
  return text;
}

} // namespace quillane
