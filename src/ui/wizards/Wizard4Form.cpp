#include "ui/wizards/Wizard4Form.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quillane {

TfmWizard4::TfmWizard4(QWidget* parent)
    : TWizardForm("fmWizard4", "New Half Drop Pattern", true, parent) {
  auto* sizes = new QHBoxLayout;
  Body->addLayout(sizes);
  QFormLayout* pattern = AddGroup(*sizes, "Pattern Size");
  edNoControls1 = AddNumber(*pattern, "edNoControls1", "No. Controls", 1, 9999);
  edNoPLines1 = AddNumber(*pattern, "edNoPLines1", "No. Pattern Lines", 1, 65534);
  QFormLayout* region = AddGroup(*sizes, "Region Size");
  edNoControls2 = AddNumber(*region, "edNoControls2", "No. Controls", 1, 9999);
  edNoPLines2 = AddNumber(*region, "edNoPLines2", "No. Pattern Lines", 1, 65534, false);
  cbCenter = AddCheck(*Body, "cbCenter", "Center Pattern On Machine");
  QFormLayout* rows = AddRows(*Body);
  edPatternOffset =
      AddNumber(*rows, "edPatternOffset", "Start Pattern at Specified Needle", 1, 9999);
  edNoRepeats = AddNumber(*rows, "edNoRepeats", "No. Repeats in Picture", 1, 99);
  Finish();
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  connect(edNoPLines1, &QSpinBox::editingFinished, this,
          [this] { Run(&THalfDropWizard::DeriveRegionPLines); });
  connect(cbCenter, &QCheckBox::clicked, this, [this] { Run(&THalfDropWizard::CenterClick); });
}

THalfDropWizard TfmWizard4::Values() const {
  THalfDropWizard w;
  w.PatternControls = ValueOf(*edNoControls1);
  w.PatternPLines = ValueOf(*edNoPLines1);
  w.RegionControls = ValueOf(*edNoControls2);
  w.RegionPLines = ValueOf(*edNoPLines2);
  w.Center = cbCenter->isChecked();
  w.PatternOffset = ValueOf(*edPatternOffset);
  w.NoRepeats = ValueOf(*edNoRepeats);
  return w;
}

void TfmWizard4::ShowValues(const THalfDropWizard& w) {
  edNoPLines2->setValue(w.RegionPLines);
  edPatternOffset->setValue(w.PatternOffset);
}

} // namespace quillane
