#include "platform/ScriptedPlatform.h"

namespace quillane {

bool OScriptedPlatform::RunFile(TFileDialog& dialog) {
  DialogsRun.push_back(dialog);
  if (FileAnswers.empty())
    return false;
  std::optional<std::string> answer = FileAnswers.front();
  FileAnswers.pop_front();
  if (!answer)
    return false;
  dialog.FileName = *answer;
  return true;
}

bool OScriptedPlatform::RunColourDialog(uint32_t& colour) {
  if (ColourAnswers.empty())
    return false;
  std::optional<uint32_t> answer = ColourAnswers.front();
  ColourAnswers.pop_front();
  if (!answer)
    return false;
  colour = *answer;
  return true;
}

bool OScriptedPlatform::Confirm(const std::string& text) {
  Shown.push_back({TBox::Confirm, text});
  if (ConfirmAnswers.empty())
    return false;
  bool answer = ConfirmAnswers.front();
  ConfirmAnswers.pop_front();
  return answer;
}

std::vector<std::string> OScriptedPlatform::Errors() const {
  std::vector<std::string> result;
  for (const TShown& s : Shown)
    if (s.Box == TBox::Error)
      result.push_back(s.Text);
  return result;
}

} // namespace quillane
