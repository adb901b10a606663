#include <CLI/CLI.hpp>
#include <iostream>

#include "Dump.h"
#include "app/App.h"
#include "platform/DirectPlatform.h"

using namespace quillane;

int main(int argc, char** argv) {
  CLI::App app{"Quillane: tufting pattern design from the command line", "quillane-cli"};
  app.set_version_flag("--version", "quillane-cli " + g.Version.ProductVersion + " (" +
                                        g.Version.FileVersion + ")");
  app.require_subcommand(1);
  std::string dir;
  app.add_option("--dir", dir, "Current design directory (where DEFAULT files are looked up first)");

  std::string dumpPath;
  bool derived = false;
  CLI::App* dump = app.add_subcommand("dump", "Print a pattern or exchange file as JSON");
  dump->add_option("FILE", dumpPath, "The file (.PAT, .SET, .PAL, .CRE, .MCH, .DES, .PIC, .REG, .SEC)")
      ->required();
  dump->add_flag("--derived", derived, "Also print the colour grids both views compute");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int status = app.exit(e);
    return status == 0 ? 0 : 2;
  }

  ODirectPlatform platform(std::cerr);
  g.SetPlatform(&platform);
  g.Start({}, nullptr);
  if (!dir.empty())
    g.SetCurrentDir(dir);

  try {
    if (*dump)
      return DumpFile(dumpPath, derived);
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
  return 2;
}
