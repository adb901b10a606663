#include "platform/DirectPlatform.h"

#include <ostream>

#include "platform/FileSystem.h"

namespace quillane {

ODirectPlatform::ODirectPlatform(std::ostream& messages, bool terminal)
    : Out(messages), Terminal(terminal) {}

bool ODirectPlatform::StderrIsTerminal() {
  return sys::StandardErrorIsTerminal();
}

bool ODirectPlatform::RunFile(TFileDialog& dialog) {
  if (FileAnswers.empty())
    return false;
  dialog.FileName = FileAnswers.front();
  FileAnswers.pop_front();
  return true;
}

void ODirectPlatform::ShowError(const std::string& text) {
  ++ErrorsShown;
  Out << text << '\n' << std::flush;
}

void ODirectPlatform::ShowMessage(const std::string& text) {
  Out << text << '\n' << std::flush;
}

void ODirectPlatform::ShowWarning(const std::string& text) {
  if (Warned.insert(text).second)
    Out << "Warning: " << text << '\n' << std::flush;
}

bool ODirectPlatform::Confirm(const std::string& text) {
  Out << text << '\n' << std::flush;
  return ConfirmAnswer;
}

TSaveChoice ODirectPlatform::AskSaveChanges(const std::string& text) {
  Out << text << '\n' << std::flush;
  return TSaveChoice::Cancel;
}

void ODirectPlatform::BeginProgress(const std::string& text, int64_t steps) {
  ProgressText = text;
  ProgressSteps = steps;
  ProgressShown = -1;
}

bool ODirectPlatform::Progress(int64_t done) {
  if (!Terminal)
    return true;
  const int64_t clamped = done < 0 ? 0 : (done > ProgressSteps ? ProgressSteps : done);
  const int percent = ProgressSteps > 0 ? static_cast<int>(clamped * 100 / ProgressSteps) : 0;
  // Written only when the figure changes: a terminal is slow next to the work.
  if (percent != ProgressShown) {
    ProgressShown = percent;
    Out << '\r' << ProgressText << ' ' << percent << '%' << std::flush;
  }
  return true;
}

void ODirectPlatform::EndProgress() {
  if (Terminal && ProgressShown >= 0)
    Out << "\r\033[K" << std::flush; // the line is cleared for whatever follows
  ProgressShown = -1;
}

} // namespace quillane
