// The report command: a pattern's production figures as JSON or CSV, or its production
// sheet as PDF.
#include <QDate>
#include <QGuiApplication>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "Cli.h"
#include "SheetPdf.h"
#include "app/FileIO.h"
#include "model/Pattern.h"
#include "production/Production.h"
#include "production/ProductionFile.h"
#include "production/Sheet.h"
#include "setup/Creel.h"

namespace quillane {

namespace {

using Json = nlohmann::ordered_json;

std::string LowerExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

Json ReportJson(const OPattern& pattern, const TProductionParameters& parameters,
                const TProductionFigures& f) {
  Json j;
  j["pattern"] = std::filesystem::path(pattern.FileName).filename().string();
  j["controls"] = pattern.NoControls;
  j["pLines"] = pattern.NoPLines;
  Json& run = j["run"];
  run["runLength"] = parameters.RunLength;
  run["pLines"] = f.PLines;
  run["fullRepeats"] = f.FullRepeats;
  Json& p = j["parameters"];
  p["tuftLength"] = parameters.TuftLength;
  p["coneWeight"] = parameters.ConeWeight;
  p["waste"] = parameters.Waste;
  p["backupPackage"] = parameters.BackupPackage;
  Json& states = j["states"] = Json::array();
  for (size_t s = 1; s < f.TuftsPerState.size(); ++s)
    states.push_back({{"state", pattern.GetStateName(static_cast<int>(s))},
                      {"tuftLength", parameters.TuftLength[s - 1]},
                      {"tufts", f.TuftsPerState[s]}});
  Json& needles = j["needles"] = Json::array();
  for (const TNeedleFigures& n : f.Needles)
    needles.push_back({{"control", n.Control},
                       {"yarnType", YarnTypeLetter(n.YarnType)},
                       {"tufts", n.Tufts},
                       {"length", n.Length},
                       {"weight", n.Weight}});
  Json& yarns = j["yarnTypes"] = Json::array();
  for (const TYarnTypeFigures& y : f.YarnTypes)
    yarns.push_back({{"yarnType", YarnTypeLetter(y.YarnType)},
                     {"gramsPerKm", y.GramsPerKm},
                     {"length", y.Length},
                     {"weight", y.Weight},
                     {"weightWithWaste", y.WeightWithWaste},
                     {"ends", y.Ends},
                     {"packages", y.Packages}});
  const TNeedleBalance& b = f.Balance;
  j["balance"] = {{"min", b.Min},
                  {"mean", b.Mean},
                  {"max", b.Max},
                  {"maxToMean", b.MaxToMean},
                  {"furthestAboveMean", b.FurthestAboveMean}};
  uint64_t tufts = 0;
  for (size_t s = 1; s < f.TuftsPerState.size(); ++s)
    tufts += f.TuftsPerState[s];
  j["totals"] = {{"tufts", tufts},
                 {"length", f.Length},
                 {"weight", f.Weight},
                 {"weightWithWaste", f.WeightWithWaste},
                 {"packages", f.Packages}};
  // The end whose package runs out first; left out when no needle takes yarn.
  if (const TFirstEmpty& first = f.FirstEmpty; first.Control != 0)
    j["firstEmpty"] = {{"control", first.Control},
                       {"yarnType", YarnTypeLetter(first.YarnType)},
                       {"weightWithWaste", first.WeightWithWaste},
                       {"packages", first.Packages}};
  return j;
}

// Text on a PDF takes Qt's fonts, which take an application object. Nothing is shown, so
// the offscreen platform serves wherever the command runs, unless the user chose another.
std::unique_ptr<QGuiApplication> PdfApplication() {
  if (QGuiApplication::instance())
    return nullptr;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "quillane-cli";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QGuiApplication>(argc, argv);
}

} // namespace

void AddReportCommand(CLI::App& app, TCommands& commands) {
  struct TArgs {
    std::string In, Out, Parameters;
    std::optional<double> RunLength;
  };
  auto a = std::make_shared<TArgs>();
  CLI::App* cmd = app.add_subcommand(
      "report", "Print a pattern's yarn per needle and per yarn type, cones and needle balance");
  cmd->add_option("PAT", a->In, "The pattern file")->required();
  cmd->add_option("--run-length", a->RunLength,
                  "Metres of goods to tuft (default: the parameters file's; 0 tufts the "
                  "pattern's PLines once)");
  cmd->add_option("--parameters", a->Parameters,
                  "The production parameters (default: NAME.production.json beside the "
                  "pattern, else built-in defaults)");
  cmd->add_option("-o,--output", a->Out,
                  "OUT.json, OUT.csv, OUT.pdf (the production sheet), or - for JSON on "
                  "standard output")
      ->required();
  commands.push_back(
      {cmd, [a] {
         const std::string ext = LowerExtension(a->Out);
         // Standard output takes JSON: the format follows the name, and "-" names none.
         if (a->Out != StandardOutputName && ext != ".json" && ext != ".csv" && ext != ".pdf")
           throw CLI::ValidationError("--output",
                                      "a report is written as .json, .csv or .pdf: " + a->Out);
         if (a->RunLength)
           if (const std::string problem = ParameterValueProblem("runLength", *a->RunLength);
               !problem.empty())
             throw CLI::ValidationError("--run-length", problem);
         const bool given = !a->Parameters.empty();
         const std::string parametersFile = given ? a->Parameters : ProductionFileName(a->In);
         CheckOutput(a->Out, {a->In, parametersFile});
         if (given && NoSuchFile(parametersFile))
           throw TCliFailure("Error, production parameters file not found: " + parametersFile);

         std::unique_ptr<OPattern> pattern = OpenPattern(a->In);
         TProductionParameters parameters;
         TProductionFigures f;
         try {
           parameters = LoadProductionParameters(parametersFile, *pattern);
           if (a->RunLength)
             parameters.RunLength = *a->RunLength;
           f = ComputeProduction(*pattern, parameters);
         } catch (const EProduction& e) {
           throw TCliFailure(e.what());
         }
         TBytes bytes;
         if (ext == ".pdf") {
           const std::unique_ptr<QGuiApplication> application = PdfApplication();
           const std::string date = QDate::currentDate().toString(Qt::ISODate).toStdString();
           bytes = SheetPdfBytes(BuildSheet(*pattern, parameters, f, date), *pattern);
         } else {
           const std::string text = ext == ".csv"
                                        ? ProductionCsv(*pattern, f)
                                        : ReportJson(*pattern, parameters, f).dump(2) + "\n";
           bytes.assign(text.begin(), text.end());
         }
         try {
           WriteFileAtomic(a->Out, bytes);
         } catch (const EStreamError& e) {
           throw TCliFailure(Named(e, a->Out));
         }
         return 0;
       }});
}

} // namespace quillane
