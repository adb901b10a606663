#pragma once

#include "ui/wizards/WizardForm.h"

namespace quillane {

// "New Pattern": a pattern of the given size in one, two or four mirrored sections.
class TfmWizard1 : public TWizardForm<TPlainWizard> {
  Q_OBJECT
public:
  using TWizardForm::TWizardForm;
  TNumberBox* edNoControls = Number("edNoControls");
  TNumberBox* edNoPLines = Number("edNoPLines");
};

} // namespace quillane
