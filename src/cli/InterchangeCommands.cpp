// Commands between patterns and the controllers' files: export, import-tuf, import-car,
// import-ned.
#include <filesystem>
#include <sstream>

#include "Cli.h"
#include "app/App.h"
#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "files/CmcFile.h"
#include "files/Export.h"
#include "files/NedFile.h"
#include "files/TuftImport.h"
#include "model/Pattern.h"
#include "platform/DirectPlatform.h"
#include "production/CheckReport.h"
#include "setup/Palette.h"
#include "shell/PatternCheck.h"

namespace quillane {

namespace {
using TImport = std::unique_ptr<OPattern> (*)(const std::string&);

void AddImportCommand(CLI::App& app, TCommands& commands, const char* name, const char* description,
                      const char* inputHelp, TImport import) {
  struct TArgs {
    std::string In, Out;
  };
  auto a = std::make_shared<TArgs>();
  CLI::App* cmd = app.add_subcommand(name, description);
  cmd->add_option("IN", a->In, inputHelp)->required();
  cmd->add_option("-o,--output", a->Out, "The pattern file to write")->required();
  commands.push_back({cmd, [a, import] {
                        // The companions are found in either case, so they are compared so.
                        std::vector<std::string> inputs{a->In};
                        const std::string stem =
                            std::filesystem::path(StripExtension(a->In)).filename().string();
                        for (const char* ext : {".DAT", ".CLR"})
                          if (auto found = FindFileIgnoringCase(FolderOf(a->In), stem + ext))
                            inputs.push_back(*found);
                        CheckOutput(a->Out, inputs);
                        // Failures carry the program's message; main prints it and exits 1.
                        std::unique_ptr<OPattern> pattern;
                        try {
                          pattern = import(a->In);
                        } catch (const Exception& e) {
                          throw TCliFailure(Named(e, a->In));
                        }
                        SavePattern(*pattern, a->Out);
                        return 0;
                      }});
}
} // namespace

void AddInterchangeCommands(CLI::App& app, TCommands& commands) {
  {
    struct TArgs {
      std::string In, Out, Colourway;
      bool Yes = false;
    };
    auto a = std::make_shared<TArgs>();
    CLI::App* cmd = app.add_subcommand(
        "export", "Write a pattern's tuft control file set: TUF, DAT and, for state patterns, CLR");
    cmd->add_option("IN", a->In, "The pattern file")->required();
    cmd->add_option("OUT", a->Out,
                    "The tuft control file; the companions take its base name (at most 8 "
                    "characters) in its folder")
        ->required();
    cmd->add_flag("--yes", a->Yes,
                  "Answer OK when the export asks whether to export anyway, as it does "
                  "when the check against the pattern's machine finds errors");
    cmd->add_option("--colourway", a->Colourway,
                    "The colour file (.CLR) in this colourway's colours; the pattern file is "
                    "not changed");
    commands.push_back({cmd, [a] {
                          // The companions take the control file's base name in its folder.
                          const std::string base =
                              JoinPath(FolderOf(a->Out), StripExtension(a->Out));
                          for (const std::string& out : {a->Out, base + ".DAT", base + ".CLR"})
                            CheckOutput(out, {a->In}, TOutputKind::FileSet);
                          std::unique_ptr<OPattern> pattern = OpenPatternToChange(a->In);
                          if (!a->Colourway.empty()) {
                            // Exported as if the colourway were the palette: only the colours
                            // differ from the pattern's own export.
                            const TColourways colourways = ColourwaysBeside(a->In);
                            const std::array<uint32_t, 256> colours =
                                ColoursOf(colourways.List[static_cast<size_t>(ColourwayNamed(
                                              colourways, a->Colourway, "--colourway"))],
                                          *pattern->Palette);
                            for (int i = 0; i <= pattern->Palette->NoColours(); ++i)
                              pattern->Palette->SetColour(i, colours[static_cast<size_t>(i)]);
                          }
                          // The save dialog is answered with the name given; the export
                          // prints its own messages, and a question is answered Cancel.
                          auto* platform = dynamic_cast<TCliPlatform*>(&g.UI());
                          if (platform) {
                            platform->FileAnswers.push_back(a->Out);
                            platform->SavingFile = a->Out;
                            platform->ConfirmAnswer = a->Yes;
                            platform->YesOption = "--yes";
                          }
                          // A pattern meant for a machine that cannot tuft it is stopped
                          // here, not at the machine; one that names no machine exports as
                          // it always has.
                          const TExportCheck check = ExportCheck(*pattern, a->In);
                          if (!check.Question.empty()) {
                            std::istringstream lines(FindingsText(check.Findings));
                            for (std::string line; std::getline(lines, line);)
                              g.UI().ShowMessage(line);
                            if (!g.UI().Confirm(check.Question))
                              return 1;
                          }
                          return ExportControlFiles(*pattern) ? 0 : 1;
                        }});
  }
  AddImportCommand(app, commands, "import-tuf",
                   "A new pattern from a tuft control file set (IN.DAT and IN.CLR beside it)",
                   "The tuft control file (.TUF)", NewPatternFromTuftFile);
  AddImportCommand(app, commands, "import-car", "A new pattern from a CMC control file",
                   "The CMC control file (.CAR)", NewPatternFromCmcFile);
  AddImportCommand(app, commands, "import-ned", "A new pattern from a NED Graphics pattern file",
                   "The NED Graphics pattern file (.PAT)", NewPatternFromNedFile);
}

} // namespace quillane
