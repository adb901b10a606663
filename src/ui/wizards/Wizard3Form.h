#pragma once

#include "ui/wizards/WizardForm.h"

namespace quillane {

// "New Carpet Pattern": one strip over the full pattern length repeated across the machine,
// centred on it or from a chosen needle.
class TfmWizard3 : public TWizardForm<TCarpetWizard> {
  Q_OBJECT
public:
  using TWizardForm::TWizardForm;
};

} // namespace quillane
