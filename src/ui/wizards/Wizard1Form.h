#pragma once

#include "ui/wizards/WizardForm.h"

namespace quillane {

// "New Pattern": a pattern of the given size in one, two or four mirrored sections.
class TfmWizard1 : public TWizardForm<TPlainWizard> {
  Q_OBJECT
public:
  explicit TfmWizard1(QWidget* parent = nullptr);
  TNumberBox* edNoControls;
  TNumberBox* edNoPLines;

protected:
  TPlainWizard Values() const override;
};

} // namespace quillane
