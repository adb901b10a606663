#pragma once

#include "ui/wizards/WizardForm.h"

namespace quillane {

// "New Half Drop Pattern": a tile repeated across the first band of PLines and again, shifted
// by half a tile, across the second, centred on the machine or from a chosen needle.
class TfmWizard4 : public TWizardForm<THalfDropWizard> {
  Q_OBJECT
public:
  explicit TfmWizard4(QWidget* parent = nullptr);
  QSpinBox *edNoControls1, *edNoPLines1; // pattern size
  QSpinBox *edNoControls2, *edNoPLines2; // region size; its PLines are derived
  QCheckBox* cbCenter;
  QSpinBox *edPatternOffset, *edNoRepeats;

protected:
  THalfDropWizard Values() const override;
  void ShowValues(const THalfDropWizard& w) override;
};

} // namespace quillane
