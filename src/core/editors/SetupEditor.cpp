#include "editors/SetupEditor.h"

#include "model/Pattern.h"

namespace quillane {

OSetupEditor::OSetupEditor(OPattern& pattern) : Pattern(pattern) {
  Subscription = pattern.Events.Subscribe([this](const TPatternChange& change) {
    if (change.Kind == TPatternChange::TKind::All && !ModifiedFlag && !Applying)
      Reload();
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
  if (OnUpdateButtons)
    OnUpdateButtons();
}

void OSetupEditor::ShowData() {
  if (OnShowData)
    OnShowData();
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
    Applying = true;
    struct TDone {
      bool& Flag;
      ~TDone() { Flag = false; }
    } done{Applying};
    applied = ConfirmApply();
    if (applied) {
      OUndoHistory::TChange step(Pattern.History);
      StoreData();
      ModifiedFlag = false;
      ApplyToPattern();
    }
  }
  UpdateButtons();
  return applied;
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

bool OSetupEditor::Save() {
  if (!Apply())
    return false;
  const bool saved = OnSave && OnSave();
  UpdateButtons();
  return saved;
}

bool OSetupEditor::SaveAs() {
  if (!Apply())
    return false;
  const bool saved = OnSaveAs && OnSaveAs();
  UpdateButtons();
  return saved;
}

} // namespace quillane
