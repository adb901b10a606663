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
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane {

namespace {

using Json = nlohmann::ordered_json;

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

// Each yarn type's colour and shade code in a colourway.
Json ColourwayJson(const OPattern& pattern, const TColourway& colourway) {
  Json yarns = Json::array();
  for (int y = 1; y <= pattern.NoYarnTypes; ++y)
    yarns.push_back(
        {{"yarnType", YarnTypeLetter(static_cast<OYarnType>(y))},
         {"colour", HexColour(YarnColour(colourway, *pattern.Palette, *pattern.MachineTable, y))},
         {"code", colourway.Code(y)}});
  return {{"name", colourway.Name}, {"yarnTypes", yarns}};
}

} // namespace

// Text takes Qt's fonts, which take an application object. Nothing is shown, so the
// offscreen platform serves wherever the command runs, unless the user chose another.
std::unique_ptr<QGuiApplication> TextApplication() {
  if (QGuiApplication::instance())
    return nullptr;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "quillane-cli";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QGuiApplication>(argc, argv);
}

void AddReportCommand(CLI::App& app, TCommands& commands) {
  struct TArgs {
    std::string In, Out, Parameters, Colourway;
    std::optional<double> RunLength;
    bool AllColourways = false;
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
  CLI::Option* one =
      cmd->add_option("--colourway", a->Colourway,
                      "In this colourway: its name, and each yarn type's colour and shade code");
  cmd->add_flag("--all-colourways", a->AllColourways,
                "Every colourway: the sheet a part for each, from a new page")
      ->excludes(one);
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
         TColourways colourways;
         std::vector<const TColourway*> shown;
         if (a->AllColourways || !a->Colourway.empty()) {
           colourways = ColourwaysBeside(a->In);
           if (a->AllColourways)
             for (const TColourway& c : colourways.List)
               shown.push_back(&c);
           else
             shown.push_back(&colourways.List[static_cast<size_t>(
                 ColourwayNamed(colourways, a->Colourway, "--colourway"))]);
         }
         TBytes bytes;
         if (ext == ".pdf") {
           const std::unique_ptr<QGuiApplication> application = TextApplication();
           const std::string date = QDate::currentDate().toString(Qt::ISODate).toStdString();
           const TSheet sheet =
               a->AllColourways ? BuildColourwaysSheet(*pattern, parameters, f, date, colourways)
                                : BuildSheet(*pattern, parameters, f, date,
                                             shown.empty() ? nullptr : shown.front());
           bytes = SheetPdfBytes(sheet, *pattern);
         } else {
           std::string text;
           if (ext == ".csv") {
             text = ProductionCsv(*pattern, f);
             if (!shown.empty())
               text += ColourwaysCsv(*pattern, shown);
           } else {
             Json j = ReportJson(*pattern, parameters, f);
             if (a->AllColourways) {
               Json& list = j["colourways"] = Json::array();
               for (const TColourway* c : shown)
                 list.push_back(ColourwayJson(*pattern, *c));
             } else if (!shown.empty()) {
               j["colourway"] = ColourwayJson(*pattern, *shown.front());
             }
             text = j.dump(2) + "\n";
           }
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
