#include "editors/SetupEditor.h"

#include <algorithm>

#include "app/App.h"
#include "app/ScopedFlag.h"
#include "model/Pattern.h"

namespace quillane {

OSetupEditor::OSetupEditor(OPattern& pattern) : Pattern(pattern) {
  Subscription = pattern.Events.Subscribe([this](const TPatternChange& change) {
    using K = TPatternChange::TKind;
    // An object the editor shows may be among those a step changed or an undo put back
    // (working copies tell of themselves too, outside any step).
    const bool step = Pattern.History.Restoring() || Pattern.History.ChangeOpen();
    const bool objects =
        change.Kind == K::All || ((change.Kind == K::Setup || change.Kind == K::Elements) && step);
    if (objects && !ModifiedFlag && !Applying && !Reloading) {
      const TScopedFlag reloading(Reloading);
      Reload();
    }
  });
}

void OSetupEditor::SetModified(bool modified) {
  if (modified == ModifiedFlag)
    return;
  ModifiedFlag = modified;
  UpdateButtons();
}

bool OSetupEditor::SaveEnabled() const {
  return Pattern.Modified() != 0;
}

void OSetupEditor::UpdateButtons() const {
  Changes.Notify({TEditorChange::TKind::Buttons});
}

void OSetupEditor::ShowData() {
  ForgetEditedBoxes();
  Changes.Notify({TEditorChange::TKind::Shown});
  SetModified(false);
}

void OSetupEditor::Reload() {
  LoadCopies();
  ShowData();
}

bool OSetupEditor::Apply() {
  if (Applying)
    return false;
  bool applied = true;
  if (ModifiedFlag) {
    const TScopedFlag applying(Applying);
    if (!Leaving) {
      DeclinedQuestion.clear();
      AgreedQuestions.clear();
    }
    applied = ConfirmApply();
    if (applied) {
      DeclinedQuestion.clear();
      AgreedQuestions.clear();
      OUndoHistory::TChange step(Pattern.History, ApplyLabel());
      {
        // The views hear the apply once, however many objects it wrote back, while it is
        // still a step.
        OPatternEvents::TGroup oneReport(Pattern.Events);
        StoreData();
        ModifiedFlag = false;
        ApplyToPattern();
      }
      step.Commit();
    }
  }
  UpdateButtons();
  return applied;
}

bool OSetupEditor::ConfirmCellLoss(const std::string& change, const std::string& where,
                                   int64_t cells) {
  if (cells <= 0)
    return true;
  const std::string question = change + "? Cells " + where + " will be lost (" +
                               std::to_string(cells) + (cells == 1 ? " cell)." : " cells).");
  if (Leaving && question == DeclinedQuestion)
    return false;
  // The questions of the declined apply the user agreed to stand while leaving.
  if (Leaving &&
      std::find(AgreedQuestions.begin(), AgreedQuestions.end(), question) != AgreedQuestions.end())
    return true;
  const bool agreed = g.UI().Confirm(question);
  if (agreed)
    AgreedQuestions.push_back(question);
  else
    DeclinedQuestion = question;
  return agreed;
}

bool OSetupEditor::Leave() {
  Leaving = true;
  const bool applied = Apply();
  Leaving = false;
  return applied;
}

void OSetupEditor::Cancel() {
  Reload();
  UpdateButtons();
}

} // namespace quillane
