#pragma once

#include <deque>
#include <iosfwd>
#include <set>
#include <string>

#include "platform/Platform.h"

namespace quillane {

// The command line's face of the seam: file dialogs are answered with names taken
// from the arguments, every message goes to stderr on a line of its own, and a
// question that would need a person is answered Cancel after its text is printed.
class ODirectPlatform : public OPlatform {
public:
  explicit ODirectPlatform(std::ostream& messages);

  std::deque<std::string> FileAnswers;
  bool ConfirmAnswer = false;
  int ErrorsShown = 0;

  bool RunOpenDialog(TFileDialog& dialog) override { return RunFile(dialog); }
  bool RunSaveDialog(TFileDialog& dialog) override { return RunFile(dialog); }
  bool RunColourDialog(uint32_t&) override { return false; }
  void ShowError(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  bool Confirm(const std::string& text) override;
  // Printed once per run however often it comes up.
  void ShowWarning(const std::string& text) override;

private:
  std::set<std::string> Warned;
  bool RunFile(TFileDialog& dialog);
  std::ostream& Out;
};

} // namespace quillane
