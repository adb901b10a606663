#pragma once

#include <optional>
#include <vector>

#include "editors/ControlSetupEditor.h"
#include "editors/NumberField.h"
#include "ui/SetupForm.h"

namespace quillane {

class ODesignUI;

// The control setup editor's window: the settings in the groups "Tuft File Settings" and
// "Pattern Option File Settings", each control built from the editor's field list. A box
// stores its value when it is left, a check box or list at once.
class TfmControlSetup : public TfmSetupForm {
  Q_OBJECT
public:
  explicit TfmControlSetup(ODesignUI& controller);
  ~TfmControlSetup() override;

  OControlSetupEditor Model;
  // The control of a field.
  QWidget* Control(TSettingsField field) const;

  void ShowData() override;

protected:
  void ImportClick() override;
  void ExportClick() override;
  void CommitEdit() override;
  QWidget* FirstField() override;

private:
  struct TControl {
    const TSettingsFieldInfo* Info;
    QWidget* Widget;
  };
  std::vector<TControl> Controls;
  // The boxes edited since they last stored their values: the one being typed in, and
  // any whose text was refused and still waits for correction.
  // A refused value leaves the editor's changed flag as it was before the edit.
  TNumberEdit Edit;
  bool Showing = false;
  bool Storing = false;

  QWidget* AddControl(const TSettingsFieldInfo& info, QWidget* parent);
  void ShowField(const TControl& control);
  void Edited(TSettingsField field);
  // A refusal from leaving the box takes the focus back; one from a window losing
  // activation must not.
  void Store(TSettingsField field, bool takeFocus = true);
};

} // namespace quillane
