#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "data/Record.h"
#include "platform/DirectPlatform.h"
#include "setup/Colourways.h"

class QGuiApplication;

namespace quillane {

class OBitmap24;
class OPattern;
class OPicture;
class OPreview;
class ORegion;

// A failure of the operation: the message is printed on stderr as it stands, exit 1.
class TCliFailure : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The command line's face of the seam: every message one line on stderr, bytes that came
// from a file escaped, and the export's bare saving error named after its file.
class TCliPlatform : public ODirectPlatform {
public:
  TCliPlatform();
  std::string SavingFile;
  // The pattern file the command works on: the texts that speak of its content without
  // naming it (a section outside the pattern, what the colour file cannot hold) name it.
  std::string PatternFile;
  std::string NamingPattern(const std::string& text) const;
  // The option that answers OK to a question, when the command offers one.
  std::string YesOption;
  // Each text once: a pattern's problem comes up at every step that checks it.
  void ShowError(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  bool Confirm(const std::string& text) override;

private:
  std::set<std::string> ErrorsPrinted;
};
// A whole decimal number from the command line within [low, high], or nothing: no spaces,
// no '+', no other base, and nothing that wraps.
std::optional<int64_t> DecimalNumber(std::string_view text, int64_t low, int64_t high);
// One line, printable: line breaks become spaces, control bytes and bytes that are not
// UTF-8 become \xNN.
std::string PrintableLine(const std::string& text);

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
void AddReportCommand(CLI::App& app, TCommands& commands);
void AddCheckCommand(CLI::App& app, TCommands& commands);
void AddColourwayCommand(CLI::App& app, TCommands& commands);

// The colourways beside a pattern file (only the Original when there are none), or the
// failure to read them, naming their file.
TColourways ColourwaysBeside(const std::string& patternPath);
// The index of the colourway of this name, or a usage error for `option` naming it and the
// pattern's colourways.
int ColourwayNamed(const TColourways& colourways, const std::string& name,
                   const std::string& option);
// An application object for drawing text with Qt's fonts, on the offscreen platform unless
// the user chose another; none when there is one already.
std::unique_ptr<QGuiApplication> TextApplication();

// What a tool of the draw command works on: the pattern opened to change, its picture shown
// in a view, the command's options and the tool's own words.
struct TDrawJob {
  OPattern& Pattern;
  OPicture& Picture;
  TView View;
  int Brush;
  bool Filled, All;
  const std::vector<std::string>& Words;
};
// A tool of the draw command: its name, its words as the help shows them and how many there
// are, which of --brush, --filled and --all it takes, the files its words name (for the output
// check), and what it does. It answers whether the pattern is written to -o; a tool that
// writes nothing refuses -o.
struct TDrawCommandTool {
  std::string Name, Usage;
  size_t Words = 1;
  bool Brush = false, Filled = false, All = false, Writes = true;
  std::function<std::vector<std::string>(const std::vector<std::string>&)> Inputs;
  std::function<bool(TDrawJob&)> Run;
};
// The draw command with its line, rect, fill, pick and paste.
void AddDrawCommand(CLI::App& app, TCommands& commands);
// Whole numbers from "A,B,...", as many as `ranges` has, each within its range; `what`
// names the form ("X1,Y1,V") and so the number a usage error blames.
std::vector<int> NumberList(const std::string& text, const std::vector<std::pair<int, int>>& ranges,
                            const std::string& what);
// The range of each number of a form: X from 0 to width - 1, Y to height - 1, any other
// (V) to `colours`.
std::vector<std::pair<int, int>> NumberRanges(const std::string& form, int width, int height,
                                              int colours);

// Checked before anything is opened, so that a refused command leaves every file as it was:
// the output is none of the inputs (after links are followed), it is no folder, pipe,
// device, link loop or read-only file, its folder can take it, and an image's name says a
// format we write. A file set is not written to standard output
// ("-"), and its flow checks the folder itself.
enum class TOutputKind { Any, Image, FileSet };
void CheckOutput(const std::string& out, const std::vector<std::string>& inputs,
                 TOutputKind kind = TOutputKind::Any);
// A file name's extension in lower case, with its dot ("" for none, and for ".pdf" alone).
std::string LowerExtension(const std::string& path);
// A file's failure text that names the file, whether or not the core's text did.
std::string Named(const std::exception& e, const std::string& path);
// Progress of long image work on stderr, only when a person is watching it.
std::function<void(int)> ProgressFor(const char* what, int64_t pixels);

// The strike-off options of render: tiles or broadloom widths over a room, and a print at true
// size. Their lengths are kept as typed and read with their units when used.
struct TStrikeOffArgs {
  std::string Tiles, Install, Broadloom, Match, Bow, Skew, Room, Area, Paper;
  bool NoJoins = false, TrueSize = false;
};
// Adds them to `cmd` under --preview; tiles and widths refuse `notWithStrikeOff` (other goods'
// options), the print refuses `notWithTrueSize` (an image's).
void AddStrikeOffOptions(CLI::App& cmd, TStrikeOffArgs& args, CLI::Option* preview,
                         const std::vector<CLI::Option*>& notWithStrikeOff,
                         const std::vector<CLI::Option*>& notWithTrueSize);
bool StrikeOffAsked(const TStrikeOffArgs& args);
// The usage errors the options' own checks cannot see, before any file is opened.
void CheckStrikeOffArgs(const TStrikeOffArgs& args, const std::string& out, int dpi);
// Writes the image or the print they ask for, of the preview's goods as `in` holds them.
void RenderStrikeOff(OPreview& carpet, const OPattern& pattern, const TStrikeOffArgs& args,
                     const std::string& in, const std::string& out, int size, int dpi);
// info's --fit: the width in mm, none when not asked; its check at parse time.
std::optional<double> FitWidth(const std::string& text);
void AddFitCheck(CLI::Option* fit);

// Opens a pattern file as the desktop program does, or fails with its message. Commands
// that only look at the file leave its sections uncopied.
std::unique_ptr<OPattern> OpenPattern(const std::string& path, bool applySections = true);
// The same for a command that writes the pattern or exports it: a pattern whose sections
// are invalid fails too (its message shown once).
std::unique_ptr<OPattern> OpenPatternToChange(const std::string& path);
// Saves the pattern under `path`, or fails with the reason.
void SavePattern(OPattern& pattern, const std::string& path);
// The failure of an operation that ran out of memory, naming the file it worked on.
std::string NotEnoughMemory(const std::string& operation, const std::string& path);
// What the command says when it runs out of memory from here on (else it names itself).
void SayWhenOutOfMemory(const std::string& operation, const std::string& path);
const std::string& OutOfMemoryText();
// Picture N and region N of it, numbered from 1, or a usage failure.
OPicture& PictureNumber(OPattern& pattern, int number);
ORegion& RegionNumber(OPicture& picture, int number);
// The view named on the command line.
TView ViewNumber(const std::string& view);

} // namespace quillane
