#pragma once

#include "ui/wizards/WizardForm.h"

namespace quillane {

// "New Rug Pattern": rugs side by side across the machine, separated by cut marks, the
// first one drawn and the others copied, optionally mirrored.
class TfmWizard2 : public TWizardForm<TRugWizard> {
  Q_OBJECT
public:
  using TWizardForm::TWizardForm;
  QCheckBox* cbMirror = Check("cbMirror");
  TNumberBox* edControlOffset = Number("edControlOffset");
};

} // namespace quillane
