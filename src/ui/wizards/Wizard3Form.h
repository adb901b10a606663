#pragma once

#include "ui/wizards/WizardForm.h"

namespace quillane {

// "New Carpet Pattern": one strip over the full pattern length repeated across the machine,
// centred on it or from a chosen needle.
class TfmWizard3 : public TWizardForm<TCarpetWizard> {
  Q_OBJECT
public:
  explicit TfmWizard3(QWidget* parent = nullptr);
  QSpinBox *edNoControls1, *edNoPLines1; // pattern size
  QSpinBox *edNoControls2, *edNoPLines2; // section size; its PLines are derived
  QCheckBox* cbCenter;
  QSpinBox *edPatternOffset, *edNoRepeats;

protected:
  TCarpetWizard Values() const override;
  void ShowValues(const TCarpetWizard& w) override;
};

} // namespace quillane
