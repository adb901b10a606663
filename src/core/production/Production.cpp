#include "production/Production.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "files/ControlCells.h"
#include "model/Pattern.h"
#include "setup/Colourways.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
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
  // A billion PLines is 100 km at a tenth of a millimetre; it keeps every sum exact in
  // whole centimetres and grams.
  if (pLines > 1e9)
    throw EProduction("The run length is too long for the PLine spacing");
  if (pLines < 1)
    throw EProduction("The run length is shorter than one PLine");
  return static_cast<uint64_t>(pLines);
}

// The ranges a mill could mean. A value of 0 is usable where it means none (a state that
// takes no yarn, the pattern's length once, no waste); a tiny count, cone or run is not,
// as it would end in an infinite weight, no package or no PLine.
struct TLimit {
  const char* Name;
  double Low, High;
  const char* Unit;
  bool ZeroToo; // 0 is usable though below Low
};
constexpr TLimit Limits[] = {
    {"tuftLength", 0, 500, " mm", false},     {"yarnCount", 1, 100000, " dtex", false},
    {"yarnCount", 0.01, 1000, " Nm", false},  {"coneWeight", 0.01, 100, " kg", false},
    {"runLength", 0.001, 100000, " m", true}, {"waste", 0, 100, " %", false},
    {"goodsWidth", 0.1, 20, " m", true},      {"selvage", 0, 500, " mm", false},
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

std::string ParameterValueProblem(std::string_view field, double value, std::string_view shownAs,
                                  TYarnCountUnit unit) {
  const bool nm = field == "yarnCount" && unit == TYarnCountUnit::Nm;
  for (const TLimit& limit : Limits) {
    if (field != limit.Name || (field == "yarnCount" && nm != (limit.Unit[1] == 'N')))
      continue;
    if ((limit.ZeroToo && value == 0) || (value >= limit.Low && value <= limit.High))
      return "";
    return std::string(shownAs.empty() ? field : shownAs) + " must be " +
           (limit.ZeroToo ? "0 or " : "") + "from " + Number(limit.Low) + " to " +
           Number(limit.High) + limit.Unit;
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
      problem = ParameterValueProblem("yarnCount", count.Value, {}, count.Unit);
  for (const auto& [name, value] : {std::pair{"coneWeight", parameters.ConeWeight},
                                    {"runLength", parameters.RunLength},
                                    {"waste", parameters.Waste},
                                    {"goodsWidth", parameters.GoodsWidth},
                                    {"selvage", parameters.Selvage}})
    if (problem.empty())
      problem = ParameterValueProblem(name, value);
  return problem.empty() ? MachineNameProblem(parameters.Machine) : problem;
}

std::string MachineNameProblem(std::string_view name) {
  // Characters, not bytes: a name in UTF-8 counts each of its letters once.
  const auto characters = std::count_if(name.begin(), name.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  });
  const bool refused = std::any_of(name.begin(), name.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F || c == '/' || c == '\\';
  });
  if (characters <= 64 && !refused)
    return "";
  return "machine must be a name of at most 64 characters, without control characters, / or \\";
}

TCellCounts EmptyCellCounts(const OPattern& pattern, const TProductionParameters& parameters) {
  if (const std::string problem = ProductionParameterProblem(parameters); !problem.empty())
    throw EProduction(problem);
  const bool states = pattern.PatternMode == pmStates;
  const size_t noStates = pattern.NoStates, noYarnTypes = pattern.NoYarnTypes;
  if (parameters.TuftLength.size() < noStates || parameters.YarnCounts.size() < noYarnTypes)
    throw EProduction("The production parameters do not cover the pattern's states and yarn "
                      "types");

  TCellCounts counts;
  // Each cell is counted under one index per control: its state for a state pattern, its
  // yarn type for a colour pattern; index 0 takes no yarn.
  counts.Kinds = (states ? noStates : noYarnTypes) + 1;
  const std::array<uint8_t, 256> coded =
      states ? ExportedStates(pattern) : ExportedYarnTypes(pattern);
  for (size_t v = 0; v < counts.KindOf.size(); ++v)
    counts.KindOf[v] = coded[v] < counts.Kinds ? coded[v] : 0;
  counts.RunPLines = TuftedPLines(pattern, parameters.RunLength);
  const uint64_t noPLines = static_cast<uint64_t>(pattern.NoPLines);
  counts.PartPLines = noPLines ? static_cast<int>(counts.RunPLines % noPLines) : 0;
  counts.Pass.assign(size_t{pattern.NoControls} * counts.Kinds, 0);
  counts.Part.assign(counts.Pass.size(), 0);
  return counts;
}

TProductionFigures ComputeProduction(const OPattern& pattern,
                                     const TProductionParameters& parameters) {
  TCellCounts counts = EmptyCellCounts(pattern, parameters);
  // One pass over the grid; the counts when the run's last part ends are kept on the way.
  const size_t controls = pattern.NoControls, kinds = counts.Kinds;
  const TGrid& grid = pattern.PatternMode == pmStates ? pattern.States : pattern.MachineColours;
  for (int p = 1; p <= pattern.NoPLines; ++p) {
    const uint8_t* row = grid.Row(p) + 1;
    uint32_t* at = counts.Pass.data();
    for (size_t c = 0; c < controls; ++c, at += kinds)
      ++at[counts.KindOf[row[c]]];
    if (p == counts.PartPLines)
      counts.Part = counts.Pass;
  }
  return ProductionFromCounts(pattern, parameters, counts);
}

TProductionFigures ProductionFromCounts(const OPattern& pattern,
                                        const TProductionParameters& parameters,
                                        const TCellCounts& counts) {
  const bool states = pattern.PatternMode == pmStates;
  const size_t noStates = pattern.NoStates, noYarnTypes = pattern.NoYarnTypes;
  const size_t kinds = counts.Kinds;
  const std::vector<uint32_t>&pass = counts.Pass, &part = counts.Part;
  TProductionFigures f;
  f.PLines = counts.RunPLines;
  const uint64_t noPLines = static_cast<uint64_t>(pattern.NoPLines);
  f.FullRepeats = noPLines ? f.PLines / noPLines : 0;
  const size_t controls = pattern.NoControls;

  std::vector<double> gramsPerKm(noYarnTypes + 1, 0.0);
  f.YarnTypes.resize(noYarnTypes);
  for (size_t y = 1; y <= noYarnTypes; ++y) {
    gramsPerKm[y] = parameters.YarnCounts[y - 1].GramsPerKm();
    f.YarnTypes[y - 1].YarnType = static_cast<uint8_t>(y);
    f.YarnTypes[y - 1].GramsPerKm = gramsPerKm[y];
  }
  f.TuftsPerState.assign(noStates + 1, 0);
  f.Needles.resize(controls);
  const double wasteFactor = 1.0 + parameters.Waste / 100.0;
  const uint64_t backup = parameters.BackupPackage ? 1 : 0;
  // A needle's yarn of each yarn type: one yarn type in a state pattern, any in a colour one.
  std::vector<double> endLength(noYarnTypes + 1);
  for (size_t c = 0; c < controls; ++c) {
    std::fill(endLength.begin(), endLength.end(), 0.0);
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
      endLength[yarnType] += length;
    }
    for (size_t y = 1; y <= noYarnTypes; ++y) {
      if (!(endLength[y] > 0))
        continue;
      const double withWaste = endLength[y] * gramsPerKm[y] / 1e6 * wasteFactor;
      // A hair over a whole package from rounding is not another package.
      const uint64_t packages = static_cast<uint64_t>(std::max(
                                    1.0, std::ceil(withWaste / parameters.ConeWeight - 1e-9))) +
                                backup;
      TYarnTypeFigures& yarn = f.YarnTypes[y - 1];
      ++yarn.Ends;
      yarn.Packages += packages;
      f.Packages += packages;
      // The heaviest end runs out first; of equals, the first needle's (ends come in order).
      if (withWaste > f.FirstEmpty.WeightWithWaste)
        f.FirstEmpty = {needle.Control, static_cast<uint8_t>(y), withWaste, packages};
    }
    for (size_t s = 0; s <= noStates; ++s)
      f.TuftsPerState[s] += needle.Tufts[s];
    f.Length += needle.Length;
    f.Weight += needle.Weight;
  }

  for (TYarnTypeFigures& yarn : f.YarnTypes) {
    yarn.Weight = yarn.Length * yarn.GramsPerKm / 1e6;
    yarn.WeightWithWaste = yarn.Weight * wasteFactor;
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

std::vector<int64_t> RoundedToTotal(const std::vector<double>& values, double unit) {
  // Each value rounded down, then the units the sum still lacks go to the values that lost
  // the most (the largest remainders), the first of equals first.
  std::vector<int64_t> units(values.size());
  std::vector<std::pair<double, size_t>> remainders;
  double sum = 0;
  int64_t given = 0;
  for (size_t i = 0; i < values.size(); ++i) {
    const double scaled = values[i] / unit;
    units[i] = static_cast<int64_t>(std::floor(scaled));
    remainders.emplace_back(scaled - static_cast<double>(units[i]), i);
    sum += values[i];
    given += units[i];
  }
  const int64_t total = static_cast<int64_t>(std::llround(sum / unit));
  std::stable_sort(remainders.begin(), remainders.end(),
                   [](const auto& x, const auto& y) { return x.first > y.first; });
  for (size_t i = 0; given < total && i < remainders.size(); ++i, ++given)
    ++units[remainders[i].second];
  return units;
}

std::string PackagesText(const TProductionParameters& parameters, uint64_t packages) {
  char weight[32];
  std::snprintf(weight, sizeof weight, "%g", parameters.ConeWeight);
  return std::to_string(packages) + (packages == 1 ? " package of " : " packages of ") + weight +
         " kg" +
         (parameters.BackupPackage ? ", a backup on every needle end included" : ", no backups");
}

std::string FirstEmptyText(const TFirstEmpty& first) {
  if (first.Control == 0)
    return "No needle takes yarn";
  return "Needle " + std::to_string(first.Control) + " (yarn type " +
         YarnTypeLetter(first.YarnType) + ") empties its package first: it takes " +
         KilogramsText(first.WeightWithWaste) + " with waste";
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

std::string DecimalText(int64_t units, int decimals) {
  std::string digits = std::to_string(units < 0 ? -units : units);
  if (digits.size() <= static_cast<size_t>(decimals))
    digits.insert(0, static_cast<size_t>(decimals) + 1 - digits.size(), '0');
  digits.insert(digits.size() - static_cast<size_t>(decimals), ".");
  return (units < 0 ? "-" : "") + digits;
}

std::vector<TPrintedYarn> PrintedYarnTable(const TProductionFigures& f) {
  std::vector<double> lengths, weights, withWaste;
  for (const TYarnTypeFigures& y : f.YarnTypes) {
    lengths.push_back(y.Length);
    weights.push_back(y.Weight);
    withWaste.push_back(y.WeightWithWaste);
  }
  const std::vector<int64_t> cm = RoundedToTotal(lengths, 0.01), g = RoundedToTotal(weights, 0.001),
                             gWaste = RoundedToTotal(withWaste, 0.001);
  std::vector<TPrintedYarn> rows(f.YarnTypes.size() + 1);
  for (size_t i = 0; i < f.YarnTypes.size(); ++i) {
    rows[i] = {cm[i], g[i], gWaste[i]};
    rows.back().Centimetres += cm[i];
    rows.back().Grams += g[i];
    rows.back().GramsWithWaste += gWaste[i];
  }
  return rows;
}

std::string ProductionCsv(const OPattern& pattern, const TProductionFigures& f) {
  std::string out = "control,yarnType,length_m,weight_kg\r\n";
  for (const TNeedleFigures& n : f.Needles)
    out += std::to_string(n.Control) + "," + YarnTypeLetter(n.YarnType) + "," +
           DecimalText(std::llround(n.Length * 100), 2) + "," +
           DecimalText(std::llround(n.Weight * 1000), 3) + "\r\n";
  out += "\r\nyarnType,length_m,weight_kg,weightWithWaste_kg,ends,packages\r\n";
  const std::vector<TPrintedYarn> printed = PrintedYarnTable(f);
  uint64_t ends = 0;
  for (size_t i = 0; i < printed.size(); ++i) {
    const bool total = i == f.YarnTypes.size();
    if (!total)
      ends += f.YarnTypes[i].Ends;
    out += (total ? std::string("total") : YarnTypeLetter(f.YarnTypes[i].YarnType)) + "," +
           DecimalText(printed[i].Centimetres, 2) + "," + DecimalText(printed[i].Grams, 3) + "," +
           DecimalText(printed[i].GramsWithWaste, 3) + "," +
           std::to_string(total ? ends : f.YarnTypes[i].Ends) + "," +
           std::to_string(total ? f.Packages : f.YarnTypes[i].Packages) + "\r\n";
  }
  out += "\r\nstate,tufts\r\n";
  for (size_t s = 1; s < f.TuftsPerState.size(); ++s)
    out += pattern.GetStateName(static_cast<int>(s)) + "," + std::to_string(f.TuftsPerState[s]) +
           "\r\n";
  if (!f.TuftsPerState.empty())
    out += "no tuft," + std::to_string(f.TuftsPerState[0]) + "\r\n";
  return out;
}

namespace {
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos)
    return text;
  std::string quoted = "\"";
  for (const char c : text)
    quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

} // namespace

std::string ColourwaysCsv(const OPattern& pattern, const std::vector<const TColourway*>& shown) {
  std::string out = "\r\ncolourway,yarnType,colour,code\r\n";
  for (const TColourway* c : shown)
    for (int y = 1; y <= pattern.NoYarnTypes; ++y)
      out += CsvField(c->Name) + "," + YarnTypeLetter(static_cast<OYarnType>(y)) + "," +
             HexColour(YarnColour(*c, *pattern.Palette, *pattern.MachineTable, y)) + "," +
             CsvField(c->Code(y)) + "\r\n";
  return out;
}

} // namespace quillane
