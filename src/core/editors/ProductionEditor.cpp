#include "editors/ProductionEditor.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <filesystem>

#include "app/App.h"
#include "app/FileIO.h"
#include "model/Pattern.h"
#include "production/MachineProfile.h"
#include "production/Production.h"
#include "production/ProductionFile.h"
#include "setup/Creel.h"

namespace quillane {

namespace {

// Each box: its label, the parameter's name in the window's words, the field it is, where
// its value lives, and for a yarn count the unit it is given in.
struct TBox {
  std::string Name, Unit;
  const char* Field;
  double* Value;
  TYarnCountUnit* CountUnit = nullptr;
  std::string Label() const { return CountUnit ? Name : Name + " (" + Unit + ")"; }
};

const char* UnitName(TYarnCountUnit unit) {
  return unit == TYarnCountUnit::Dtex ? "dtex" : "Nm";
}

std::vector<TBox> Boxes(const OPattern& pattern, TProductionParameters& p) {
  std::vector<TBox> boxes;
  for (size_t s = 0; s < pattern.NoStates && s < p.TuftLength.size(); ++s)
    boxes.push_back({"Tuft length " + pattern.GetStateName(static_cast<int>(s + 1)), "mm",
                     "tuftLength", &p.TuftLength[s]});
  for (size_t y = 0; y < pattern.NoYarnTypes && y < p.YarnCounts.size(); ++y)
    boxes.push_back({"Yarn count " + YarnTypeLetter(static_cast<OYarnType>(y + 1)),
                     UnitName(p.YarnCounts[y].Unit), "yarnCount", &p.YarnCounts[y].Value,
                     &p.YarnCounts[y].Unit});
  boxes.push_back({"Cone weight", "kg", "coneWeight", &p.ConeWeight});
  boxes.push_back({"Run length", "m", "runLength", &p.RunLength});
  boxes.push_back({"Goods width", "m", "goodsWidth", &p.GoodsWidth});
  boxes.push_back({"Selvage", "mm", "selvage", &p.Selvage});
  boxes.push_back({"Waste", "%", "waste", &p.Waste});
  return boxes;
}

} // namespace

std::vector<TParameterField> ParameterFields(const OPattern& pattern,
                                             const TProductionParameters& parameters) {
  TProductionParameters p = parameters;
  std::vector<TParameterField> fields;
  for (const TBox& box : Boxes(pattern, p))
    fields.push_back({box.Label(), NumberText(*box.Value), box.CountUnit ? box.Unit : ""});
  return fields;
}

TProductionParameters ReadParameterFields(const OPattern& pattern, TProductionParameters parameters,
                                          const std::vector<std::string>& texts,
                                          const std::vector<std::string>& units) {
  const std::vector<TBox> boxes = Boxes(pattern, parameters);
  if (texts.size() != boxes.size() || (!units.empty() && units.size() != boxes.size()))
    throw EProduction("The production parameters do not match the pattern's states and yarn "
                      "types");
  for (size_t i = 0; i < boxes.size(); ++i) {
    const TBox& box = boxes[i];
    std::string_view text = texts[i];
    while (!text.empty() && text.front() == ' ')
      text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
      text.remove_suffix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
      throw EProduction(box.Label() + ": \"" + texts[i] + "\" is not a number");
    if (box.CountUnit && !units.empty()) {
      if (units[i] != "dtex" && units[i] != "Nm")
        throw EProduction(box.Name + ": the unit must be dtex or Nm");
      *box.CountUnit = units[i] == "dtex" ? TYarnCountUnit::Dtex : TYarnCountUnit::Nm;
    }
    const TYarnCountUnit unit = box.CountUnit ? *box.CountUnit : TYarnCountUnit::Dtex;
    if (const std::string problem = ParameterValueProblem(box.Field, value, box.Name, unit);
        !problem.empty())
      throw EProduction(problem);
    *box.Value = value;
  }
  return parameters;
}

std::vector<std::string> MachineProfileFolders(const OPattern& pattern) {
  std::vector<std::string> folders{g.CurrentDir};
  if (const std::string beside = FolderOf(pattern.FileName); !beside.empty())
    folders.push_back(beside);
  return folders;
}

TMachineChoices MachineChoices(const OPattern& pattern, const std::string& machine) {
  std::vector<std::string> names;
  for (const std::string& folder : MachineProfileFolders(pattern))
    for (std::string& name : MachineProfileNames(folder))
      names.push_back(std::move(name));
  if (!machine.empty() && machine != AnyMachineName)
    names.push_back(machine);
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  TMachineChoices choices;
  choices.Names.push_back(AnyMachineName);
  choices.Names.insert(choices.Names.end(), names.begin(), names.end());
  if (const auto chosen = std::find(names.begin(), names.end(), machine); chosen != names.end())
    choices.Chosen = static_cast<size_t>(chosen - names.begin()) + 1;
  return choices;
}

std::string MachineOfChoice(const std::string& choice) {
  return choice == AnyMachineName ? std::string() : choice;
}

std::string ParametersFileOf(const OPattern& pattern) {
  return FolderOf(pattern.FileName).empty() ? std::string() : ProductionFileName(pattern.FileName);
}

void ApplyParameterFields(const OPattern& pattern, const TProductionParameters& parameters,
                          const std::vector<std::string>& texts,
                          const std::vector<std::string>& units) {
  const TProductionParameters read = ReadParameterFields(pattern, parameters, texts, units);
  const std::string file = ParametersFileOf(pattern);
  if (file.empty())
    throw EProduction("Save the pattern first: its production parameters are kept beside it");
  SaveProductionParameters(file, read);
}

TProductionParameters OParametersFile::Load(const std::string& path, const OPattern& pattern) {
  // What a stat tells of the file; a file that is not there has a stamp of its own.
  std::error_code ec;
  const auto time = std::filesystem::last_write_time(path, ec);
  std::string stamp = "-";
  if (!ec) {
    const uintmax_t size = std::filesystem::file_size(path, ec);
    stamp = std::to_string(time.time_since_epoch().count()) + " " +
            std::to_string(ec ? uintmax_t{0} : size);
  }
  if (path != Path || stamp != Stamp) {
    Path = path;
    Stamp = stamp;
    Problem.clear();
    try {
      Read = ReadProductionParametersFile(path);
    } catch (const std::exception& e) {
      Read = {};
      Problem = e.what();
    }
  }
  if (!Problem.empty())
    throw EProduction(Problem);
  TProductionParameters parameters = Read;
  CompleteProductionParameters(parameters, pattern);
  return parameters;
}

TProductionView BuildProductionView(const OPattern& pattern, const std::string& parametersFile) {
  OParametersFile file;
  return BuildProductionView(pattern, file, parametersFile);
}

TProductionView BuildProductionView(const OPattern& pattern, OParametersFile& file,
                                    const std::string& parametersFile) {
  TProductionView view;
  view.Creel = CreelChart(pattern);
  TProductionParameters parameters;
  try {
    parameters = file.Load(parametersFile, pattern);
  } catch (const std::exception& e) {
    view.Problem = e.what();
    parameters = DefaultProductionParameters(pattern);
  }
  view.Parameters = parameters;
  TProductionFigures f;
  try {
    f = ComputeProduction(pattern, parameters);
  } catch (const std::exception& e) {
    // A refused file's message stays first: it is the one the designer can act on.
    view.Problem += (view.Problem.empty() ? "" : "; ") + std::string(e.what());
    return view;
  }
  // The totals as the table's rows add up, rounded as they are.
  const std::vector<TPrintedYarn> printed = PrintedYarnTable(f);
  const TPrintedYarn& total = printed.back();
  view.Totals = "Yarn for " + std::to_string(f.PLines) +
                " PLines: " + DecimalText(total.Centimetres, 2) + " m, " +
                DecimalText(total.Grams, 3) + " kg (" + DecimalText(total.GramsWithWaste, 3) +
                " kg with waste), " + PackagesText(parameters, f.Packages);
  view.FirstEmpty = FirstEmptyText(f.FirstEmpty);
  for (size_t i = 0; i < f.YarnTypes.size(); ++i) {
    const TYarnTypeFigures& y = f.YarnTypes[i];
    view.YarnTypes.push_back({YarnTypeLetter(y.YarnType),
                              DecimalText(printed[i].Centimetres, 2) + " m",
                              DecimalText(printed[i].Grams, 3) + " kg",
                              DecimalText(printed[i].GramsWithWaste, 3) + " kg",
                              std::to_string(y.Ends), std::to_string(y.Packages)});
  }
  view.Balance = BalanceText(f.Balance);
  for (const TNeedleFigures& n : f.Needles) {
    view.NeedleLengths.push_back(n.Length);
    view.LongestNeedle = std::max(view.LongestNeedle, n.Length);
  }
  return view;
}

std::vector<std::string> ColourwayChoices(const OPattern& pattern) {
  std::vector<std::string> choices;
  for (const TColourway& way : pattern.Colourways().List)
    choices.push_back(way.Name);
  choices.push_back("All colourways");
  return choices;
}

namespace {
// The colourways a choice of ColourwayChoices names: none for the Original, whose sheet and
// figures are the palette's own, one, or every colourway for the last choice.
std::vector<const TColourway*> Chosen(const OPattern& pattern, int colourway) {
  const auto& list = pattern.Colourways().List;
  std::vector<const TColourway*> chosen;
  if (colourway == static_cast<int>(list.size()))
    for (const TColourway& way : list)
      chosen.push_back(&way);
  else if (colourway > 0 && colourway < static_cast<int>(list.size()))
    chosen.push_back(&list[static_cast<size_t>(colourway)]);
  return chosen;
}
} // namespace

TSheet ProductionSheet(const OPattern& pattern, const TProductionParameters& parameters,
                       const std::string& date, int colourway) {
  const TProductionFigures figures = ComputeProduction(pattern, parameters);
  if (colourway == static_cast<int>(pattern.Colourways().List.size()))
    return BuildColourwaysSheet(pattern, parameters, figures, date, pattern.Colourways());
  const std::vector<const TColourway*> chosen = Chosen(pattern, colourway);
  return BuildSheet(pattern, parameters, figures, date, chosen.empty() ? nullptr : chosen[0]);
}

namespace {
// `ext` in lower case as proposed, `filterExt` as the filter shows it.
std::string AskOutputFile(const OPattern& pattern, const std::string& ext,
                          const std::string& filterExt, const char* filter, const char* title) {
  TFileDialog& dialog = g.UI().SaveDialog;
  dialog.DefaultExt = ext;
  dialog.FileName = pattern.FileName.empty() ? "Untitled." + ext
                                             : std::filesystem::path(pattern.FileName)
                                                   .replace_extension("." + ext)
                                                   .filename()
                                                   .string();
  dialog.Filters = {TFileFilter::ForExtension(filter, filterExt)};
  const std::string folder = FolderOf(pattern.FileName);
  dialog.InitialDir = folder.empty() ? g.CurrentDir : folder;
  dialog.Title = title;
  dialog.Options = ofOverwritePrompt | ofHideReadOnly | ofPathMustExist;
  return ExecuteSaveDialog(dialog) ? dialog.FileName : std::string();
}
} // namespace

std::string AskSheetFile(const OPattern& pattern) {
  return AskOutputFile(pattern, "pdf", "PDF", "PDF files (*.PDF)", "Save Sheet as PDF");
}

std::string AskFiguresFile(const OPattern& pattern) {
  return AskOutputFile(pattern, "csv", "CSV", "CSV files (*.CSV)", "Save Figures as CSV");
}

void SaveFiguresCsv(const std::string& path, const OPattern& pattern,
                    const TProductionParameters& parameters, int colourway) {
  std::string text = ProductionCsv(pattern, ComputeProduction(pattern, parameters));
  if (const std::vector<const TColourway*> chosen = Chosen(pattern, colourway); !chosen.empty())
    text += ColourwaysCsv(pattern, chosen);
  WriteFileAtomic(path, TBytes(text.begin(), text.end()));
}

int ControlAt(double x, double width, size_t bars) {
  if (bars == 0 || !(width > 0.0) || !(x >= 0.0) || x >= width)
    return 0;
  const auto index = static_cast<size_t>(std::floor(x * static_cast<double>(bars) / width));
  return static_cast<int>(std::min(index, bars - 1)) + 1;
}

bool ChangesFigures(const TPatternChange& change, const OUndoHistory& history) {
  using K = TPatternChange::TKind;
  return change.Kind == K::All || change.Kind == K::History || change.Kind == K::Setup ||
         (change.Kind == K::Cells && !history.StrokeOpen());
}

} // namespace quillane
