#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillane {

class OBitmap24;
class OPattern;
class OPicture;
class ORegion;

// A failure of the operation: the message is printed on stderr as it stands, exit 1.
class TCliFailure : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// A subcommand and what runs it; the handler returns the exit status.
struct TCommand {
  CLI::App* App;
  std::function<int()> Run;
};
using TCommands = std::vector<TCommand>;

// Each group of commands adds itself here.
void AddDumpCommand(CLI::App& app, TCommands& commands);
void AddPatternCommands(CLI::App& app, TCommands& commands);
void AddInterchangeCommands(CLI::App& app, TCommands& commands);
void AddWizardCommands(CLI::App& app, TCommands& commands);
void AddBitmapCommands(CLI::App& app, TCommands& commands);

// Opens a pattern file as the desktop program does, or fails with its message.
std::unique_ptr<OPattern> OpenPattern(const std::string& path);
// Saves the pattern under `path`, or fails with the reason.
void SavePattern(OPattern& pattern, const std::string& path);
// Picture N and region N of it, numbered from 1, or a usage failure.
OPicture& PictureNumber(OPattern& pattern, int number);
ORegion& RegionNumber(OPicture& picture, int number);
// The view named on the command line: 1 machine, 2 design.
uint8_t ViewNumber(const std::string& view);

// Bitmap files through QImage: BMP, PNG and whatever else Qt reads.
void SaveImage(const OBitmap24& image, const std::string& path, bool pLineOneAtBottom);
OBitmap24 LoadImage(const std::string& path);

} // namespace quillane
