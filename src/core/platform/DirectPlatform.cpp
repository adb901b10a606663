#include "platform/DirectPlatform.h"

#include <ostream>

namespace quillane {

ODirectPlatform::ODirectPlatform(std::ostream& messages) : Out(messages) {}

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

void ODirectPlatform::ShowMessage(const std::string& text) { Out << text << '\n' << std::flush; }

void ODirectPlatform::ShowWarning(const std::string& text) {
  if (Warned.insert(text).second)
    Out << "Warning: " << text << '\n' << std::flush;
}

bool ODirectPlatform::Confirm(const std::string& text) {
  Out << text << '\n' << std::flush;
  return ConfirmAnswer;
}

} // namespace quillane
