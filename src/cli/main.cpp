#include <QtGlobal>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "Cli.h"
#include "app/App.h"
#include "model/Undo.h"

using namespace quillane;

namespace {
// Qt's decoders (and libpng through them) report on their own; a command says it once, in
// its own words.
void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

void PrintLine(const std::string& text) {
  std::cerr << PrintableLine(text) << '\n' << std::flush;
}

// The first word that is not a global option names the command.
std::string CommandName(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--dir")
      ++i;
    else if (arg.empty() || arg[0] != '-')
      return arg;
  }
  return "";
}

// Standard output is checked like any file: a full disk or a closed pipe is a failure.
bool StandardOutputWritten() {
  std::cout.flush();
  const bool ok = std::cout.good() && std::fflush(stdout) == 0 && !std::ferror(stdout);
  if (!ok)
    PrintLine(std::string("Cannot write standard output. ") + std::strerror(errno ? errno : EIO));
  return ok;
}
// CLI11 alone takes " 1", "0x10" and "0b1" as numbers; every number here is a plain
// decimal, its range then checked as CLI11 converts it.
std::string PlainDecimal(std::string& text) {
  return DecimalNumber(text, INT64_MIN, INT64_MAX) ? "" : "not a decimal number: " + text;
}

// A real number the same way: digits with at most one point, a '-' before them, nothing else
// (no "0x10", no " 1", no "1e3", no "inf").
std::string PlainReal(std::string& text) {
  const size_t digits = text.rfind('-', 0) == 0 ? 1 : 0;
  const std::string body = text.substr(digits);
  const size_t point = body.find('.');
  const bool plain = body.find_first_not_of("0123456789.") == std::string::npos &&
                     body.find_first_of("0123456789") != std::string::npos &&
                     (point == std::string::npos || body.find('.', point + 1) == std::string::npos);
  return plain ? "" : "not a decimal number: " + text;
}

void RequirePlainDecimals(CLI::App& app) {
  for (CLI::Option* option : app.get_options()) {
    const std::string type = option->get_type_name();
    if (type.rfind("INT", 0) == 0 || type.rfind("UINT", 0) == 0)
      option->check(CLI::Validator(PlainDecimal, ""));
    else if (type.rfind("FLOAT", 0) == 0)
      option->check(CLI::Validator(PlainReal, ""));
  }
  for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
    RequirePlainDecimals(*sub);
}
} // namespace

namespace quillane {

std::optional<int64_t> DecimalNumber(std::string_view text, int64_t low, int64_t high) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || at != end || value < low || value > high)
    return std::nullopt;
  return value;
}

TCliPlatform::TCliPlatform() : ODirectPlatform(std::cerr, StderrIsTerminal()) {}

void TCliPlatform::ShowError(const std::string& text) {
  ++ErrorsShown;
  if (!ErrorsPrinted.insert(text).second)
    return;
  PrintLine(!SavingFile.empty() && text == "Error saving tuft file" ? text + ": " + SavingFile
                                                                    : NamingPattern(text));
}

std::string TCliPlatform::NamingPattern(const std::string& text) const {
  const bool aboutPattern = text.starts_with("Section #") ||
                            text.starts_with("Error, the colour file can hold") ||
                            text.starts_with("The control settings give no PLine spacing");
  return !PatternFile.empty() && aboutPattern ? text + ": " + PatternFile : text;
}

void TCliPlatform::ShowMessage(const std::string& text) {
  PrintLine(text);
}

bool TCliPlatform::Confirm(const std::string& text) {
  PrintLine(text);
  if (!ConfirmAnswer && !YesOption.empty())
    PrintLine("Answered Cancel; run again with " + YesOption + " to answer OK.");
  return ConfirmAnswer;
}

std::string PrintableLine(const std::string& text) {
  static const char Hex[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t length = c < 0x80             ? 1
                    : (c & 0xE0) == 0xC0 ? 2
                    : (c & 0xF0) == 0xE0 ? 3
                    : (c & 0xF8) == 0xF0 ? 4
                                         : 0;
    bool valid = length > 0 && i + length <= text.size() && !(length == 2 && c < 0xC2);
    for (size_t k = 1; valid && k < length; ++k)
      valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (c == '\n' || c == '\r' || c == '\t') {
      out += ' ';
      ++i;
    } else if (!valid || (length == 1 && (c < 0x20 || c == 0x7F))) {
      out += "\\x";
      out += Hex[c >> 4];
      out += Hex[c & 15];
      ++i;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

} // namespace quillane

int main(int argc, char** argv) {
  qInstallMessageHandler(Quiet);
  // Past a file size limit a write fails with its reason, which names the file and lets
  // the temporary be removed, rather than the signal ending the command silently.
  std::signal(SIGXFSZ, SIG_IGN);
  CLI::App app{"Quillane: tufting pattern design from the command line", "quillane-cli"};
  app.set_version_flag("--version", "quillane-cli " + g.Version.ProductVersion + " (" +
                                        g.Version.FileVersion + ")");
  app.require_subcommand(1);
  app.footer("Exit status: 0 success, 1 the operation failed (check: errors found; export: "
             "refused for the check's errors without --yes), 2 usage error. "
             "\"-o -\" writes to standard output.");
  std::string dir;
  app.add_option("--dir", dir,
                 "Current design directory, where DEFAULT files are looked up first "
                 "(default: the working directory)")
      ->check(CLI::ExistingDirectory);

  TCommands commands;
  AddPatternCommands(app, commands);
  AddDumpCommand(app, commands);
  AddInterchangeCommands(app, commands);
  AddWizardCommands(app, commands);
  AddBitmapCommands(app, commands);
  AddReportCommand(app, commands);
  AddCheckCommand(app, commands);
  AddColourwayCommand(app, commands);
  AddDrawCommand(app, commands);
  RequirePlainDecimals(app);

  const std::string name = CommandName(argc, argv);
  if (!name.empty() &&
      app.get_subcommands([&](CLI::App* sub) { return sub->check_name(name); }).empty()) {
    PrintLine("unknown command " + name);
    PrintLine("Run with --help for more information.");
    return 2;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0)
      return app.exit(e) == 0 && StandardOutputWritten() ? 0 : 1;
    PrintLine(e.what());
    PrintLine("Run with --help for more information.");
    return 2;
  }

  TCliPlatform platform;
  OPlatformScope platformScope(platform);
  g.Start({}, nullptr);
  OUndoHistory::SetDefaultLimit(0); // a command is never undone: keep no history
  if (!dir.empty())
    g.SetCurrentDir(dir);

  for (const TCommand& command : commands) {
    if (!command.App->parsed())
      continue;
    int status = 1;
    try {
      status = command.Run();
    } catch (const CLI::ParseError& e) {
      // A number the pattern shows out of range is a usage error like any other.
      PrintLine(e.what());
      PrintLine("Run with --help for more information.");
      return 2;
    } catch (const std::bad_alloc&) {
      // Not the library's own words, which name neither the work nor the file.
      PrintLine(OutOfMemoryText().empty() ? "Not enough memory to run " + name : OutOfMemoryText());
      return 1;
    } catch (const std::exception& e) {
      // An empty message was shown already, by the platform.
      if (*e.what())
        PrintLine(platform.NamingPattern(e.what()));
      return 1;
    }
    return StandardOutputWritten() ? status : 1;
  }
  return 2;
}
