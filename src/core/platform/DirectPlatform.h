#pragma once

#include <deque>
#include <iosfwd>
#include <set>
#include <string>

#include "platform/Platform.h"

namespace quillane {

// The command line's face of the seam: file dialogs are answered with names taken
// from the arguments, every message goes to stderr on a line of its own, and a
// question that would need a person is answered Cancel after its text is printed. Long
// work shows its progress on one line that it rewrites, when a person watches (`terminal`).
class ODirectPlatform : public OPlatform {
public:
  explicit ODirectPlatform(std::ostream& messages, bool terminal = false);
  static bool StderrIsTerminal();

  std::deque<std::string> FileAnswers;
  bool ConfirmAnswer = false;
  int ErrorsShown = 0;

  bool RunOpenDialog(TFileDialog& dialog) override { return RunFile(dialog); }
  bool RunSaveDialog(TFileDialog& dialog) override { return RunFile(dialog); }
  bool RunColourDialog(uint32_t&) override { return false; }
  void ShowError(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  bool Confirm(const std::string& text) override;
  // Nothing is closed from the command line; should it come up, nothing is lost.
  TSaveChoice AskSaveChanges(const std::string& text) override;
  bool RunFolderDialog(const std::string&, std::string&) override { return false; }
  bool ShellOpen(const std::string&) override { return false; }
  // Printed once per run however often it comes up.
  void ShowWarning(const std::string& text) override;
  void BeginProgress(const std::string& text, int64_t steps) override;
  bool Progress(int64_t done) override;
  void EndProgress() override;

private:
  std::set<std::string> Warned;
  bool RunFile(TFileDialog& dialog);
  std::ostream& Out;
  bool Terminal;
  std::string ProgressText;
  int64_t ProgressSteps = 0;
  int ProgressShown = -1; // the percentage on the line, -1 before the first
};

} // namespace quillane
