#pragma once

#include "ui/wizards/WizardForm.h"

namespace quillane {

// "New Half Drop Pattern": a tile repeated across the first band of PLines and again, shifted
// by half a tile, across the second, centred on the machine or from a chosen needle.
class TfmWizard4 : public TWizardForm<THalfDropWizard> {
  Q_OBJECT
public:
  using TWizardForm::TWizardForm;
};

} // namespace quillane
