#include <iostream>

#include "Cli.h"
#include "app/App.h"
#include "platform/DirectPlatform.h"

using namespace quillane;

int main(int argc, char** argv) {
  CLI::App app{"Quillane: tufting pattern design from the command line", "quillane-cli"};
  app.set_version_flag("--version", "quillane-cli " + g.Version.ProductVersion + " (" +
                                        g.Version.FileVersion + ")");
  app.require_subcommand(1);
  std::string dir;
  app.add_option("--dir", dir,
                 "Current design directory, where DEFAULT files are looked up first "
                 "(default: the working directory)");

  TCommands commands;
  AddPatternCommands(app, commands);
  AddDumpCommand(app, commands);
  AddInterchangeCommands(app, commands);
  AddWizardCommands(app, commands);
  AddBitmapCommands(app, commands);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int status = app.exit(e);
    return status == 0 ? 0 : 2;
  }

  ODirectPlatform platform(std::cerr, ODirectPlatform::StderrIsTerminal());
  OPlatformScope platformScope(platform);
  g.Start({}, nullptr);
  if (!dir.empty())
    g.SetCurrentDir(dir);

  for (const TCommand& command : commands) {
    if (!command.App->parsed())
      continue;
    try {
      return command.Run();
    } catch (const CLI::ParseError& e) {
      std::cerr << e.what() << '\n';
      return 2;
    } catch (const std::exception& e) {
      std::cerr << e.what() << '\n';
      return 1;
    }
  }
  return 2;
}
