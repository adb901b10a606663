#pragma once

#include "ui/wizards/WizardForm.h"

namespace quillane {

// "New Pattern With Repeats": the whole pattern filled with copies of one block drawn at
// control 1, PLine 1. Sizeable, and Enter is the dialog's own (it presses OK).
class TfmWizard5 : public TWizardForm<TRepeatsWizard> {
  Q_OBJECT
public:
  using TWizardForm::TWizardForm;
  TNumberBox* edNoControls1 = Number("edNoControls1");
};

} // namespace quillane
