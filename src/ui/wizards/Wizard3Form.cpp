#include "ui/wizards/Wizard3Form.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quillane {

TfmWizard3::TfmWizard3(QWidget* parent)
    : TWizardForm("fmWizard3", "New Carpet Pattern", true, parent) {
  auto* sizes = new QHBoxLayout;
  Body->addLayout(sizes);
  QFormLayout* pattern = AddGroup(*sizes, "Pattern Size");
  edNoControls1 = AddNumber(*pattern, "edNoControls1", "No. Controls", 1, 9999);
  edNoPLines1 = AddNumber(*pattern, "edNoPLines1", "No. Pattern Lines", 1, 65534);
  QFormLayout* section = AddGroup(*sizes, "Section Size");
  edNoControls2 = AddNumber(*section, "edNoControls2", "No. Controls", 1, 9999);
  edNoPLines2 = AddNumber(*section, "edNoPLines2", "No. Pattern Lines", 1, 65534, false);
  cbCenter = AddCheck(*Body, "cbCenter", "Center Pattern On Machine");
  QFormLayout* rows = AddRows(*Body);
  edPatternOffset =
      AddNumber(*rows, "edPatternOffset", "Start Pattern at Specified Needle", 1, 9999);
  edNoRepeats = AddNumber(*rows, "edNoRepeats", "No. Repeats in Picture", 1, 99);
  Finish();
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  connect(edNoPLines1, &QSpinBox::editingFinished, this,
          [this] { Run(&TCarpetWizard::DeriveSectionPLines); });
  connect(cbCenter, &QCheckBox::clicked, this, [this] { Run(&TCarpetWizard::CenterClick); });
}

TCarpetWizard TfmWizard3::Values() const {
  TCarpetWizard w;
  w.PatternControls = ValueOf(*edNoControls1);
  w.PatternPLines = ValueOf(*edNoPLines1);
  w.SectionControls = ValueOf(*edNoControls2);
  w.SectionPLines = ValueOf(*edNoPLines2);
  w.Center = cbCenter->isChecked();
  w.PatternOffset = ValueOf(*edPatternOffset);
  w.NoRepeats = ValueOf(*edNoRepeats);
  return w;
}

void TfmWizard3::ShowValues(const TCarpetWizard& w) {
  edNoPLines2->setValue(w.SectionPLines);
  edPatternOffset->setValue(w.PatternOffset);
}

} // namespace quillane
