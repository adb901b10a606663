#pragma once

#include "ui/wizards/WizardForm.h"

namespace quillane {

// "New Rug Pattern": rugs side by side across the machine, separated by cut marks, the
// first one drawn and the others copied, optionally mirrored.
class TfmWizard2 : public TWizardForm<TRugWizard> {
  Q_OBJECT
public:
  explicit TfmWizard2(QWidget* parent = nullptr);
  TNumberBox *edNoControls1, *edNoPLines1; // pattern size
  TNumberBox *edNoControls2, *edNoPLines2; // rug size
  TNumberBox *edNoControls3, *edNoPLines3; // cut mark size; its PLines are derived
  QCheckBox* cbMirror;
  TNumberBox *edControlOffset, *edPLineOffset;

protected:
  TRugWizard Values() const override;
  void ShowValues(const TRugWizard& w) override;
};

} // namespace quillane
