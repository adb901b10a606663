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

TSaveChoice OScriptedPlatform::AskSaveChanges(const std::string& text) {
  Shown.push_back({TBox::SaveChanges, text});
  if (SaveAnswers.empty())
    return TSaveChoice::Cancel;
  TSaveChoice answer = SaveAnswers.front();
  SaveAnswers.pop_front();
  return answer;
}

bool OScriptedPlatform::RunFolderDialog(const std::string& title, std::string& folder) {
  TFileDialog shown;
  shown.InitialDir = folder;
  shown.Title = title;
  DialogsRun.push_back(shown);
  if (FolderAnswers.empty() || !FolderAnswers.front()) {
    if (!FolderAnswers.empty())
      FolderAnswers.pop_front();
    return false;
  }
  folder = *FolderAnswers.front();
  FolderAnswers.pop_front();
  return true;
}

std::vector<std::string> OScriptedPlatform::Errors() const {
  std::vector<std::string> result;
  for (const TShown& s : Shown)
    if (s.Box == TBox::Error)
      result.push_back(s.Text);
  return result;
}

} // namespace quillane
