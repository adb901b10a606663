#include "editors/ProductionEditor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

#include "production/Production.h"
#include "production/ProductionFile.h"
#include "setup/Creel.h"

namespace quillane {

namespace {

std::string Fixed(double value, int decimals, const char* unit) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f %s", decimals, value, unit);
  return text;
}

std::string Controls(const std::vector<int>& controls) {
  std::string text;
  for (int control : controls)
    text += (text.empty() ? "" : ", ") + std::to_string(control);
  return text;
}

} // namespace

std::string MetresText(double metres) {
  return Fixed(metres, 2, "m");
}

std::string KilogramsText(double kilograms) {
  return Fixed(kilograms, 3, "kg");
}

TProductionView BuildProductionView(const OPattern& pattern, const std::string& parametersFile) {
  TProductionView view;
  TProductionParameters parameters;
  try {
    parameters = LoadProductionParameters(parametersFile, pattern);
  } catch (const std::exception& e) {
    view.Problem = e.what();
    parameters = DefaultProductionParameters(pattern);
  }
  TProductionFigures f;
  try {
    f = ComputeProduction(pattern, parameters);
  } catch (const std::exception& e) {
    // A refused file's message stays first: it is the one the designer can act on.
    view.Problem += (view.Problem.empty() ? "" : "; ") + std::string(e.what());
    return view;
  }
  view.Totals = "Yarn for " + std::to_string(f.PLines) + " PLines: " + MetresText(f.Length) + ", " +
                KilogramsText(f.Weight) + " (" + KilogramsText(f.WeightWithWaste) +
                " with waste), " + std::to_string(f.Cones) + (f.Cones == 1 ? " cone" : " cones");
  for (const TYarnTypeFigures& y : f.YarnTypes)
    view.YarnTypes.push_back({YarnTypeLetter(y.YarnType), MetresText(y.Length),
                              KilogramsText(y.Weight), KilogramsText(y.WeightWithWaste),
                              std::to_string(y.Cones)});
  const TNeedleBalance& b = f.Balance;
  if (b.MaxToMean <= 0.0)
    view.Balance = "Needle balance: no needle takes yarn";
  else {
    char ratio[32];
    std::snprintf(ratio, sizeof ratio, "%.2f", b.MaxToMean);
    view.Balance = "Needle balance: min " + MetresText(b.Min) + ", mean " + MetresText(b.Mean) +
                   ", max " + MetresText(b.Max) + ", max/mean " + ratio;
    if (!b.FurthestAboveMean.empty())
      view.Balance += "; furthest above the mean: " + Controls(b.FurthestAboveMean);
  }
  for (const TNeedleFigures& n : f.Needles) {
    view.NeedleLengths.push_back(n.Length);
    view.LongestNeedle = std::max(view.LongestNeedle, n.Length);
  }
  return view;
}

int ControlAt(double x, double width, size_t bars) {
  if (bars == 0 || !(width > 0.0) || !(x >= 0.0) || x >= width)
    return 0;
  const auto index = static_cast<size_t>(std::floor(x * static_cast<double>(bars) / width));
  return static_cast<int>(std::min(index, bars - 1)) + 1;
}

} // namespace quillane
