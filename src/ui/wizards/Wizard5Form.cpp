#include "ui/wizards/Wizard5Form.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/NumberBox.h"

namespace quillane {

TfmWizard5::TfmWizard5(QWidget* parent)
    : TWizardForm("fmWizard5", "New Pattern With Repeats", false, parent) {
  auto* sizes = new QHBoxLayout;
  Body->addLayout(sizes);
  QFormLayout* pattern = AddGroup(*sizes, "Pattern Size");
  edNoControls1 = AddNumber(*pattern, "edNoControls1", "No. Controls", ControlsRange);
  edNoPLines1 = AddNumber(*pattern, "edNoPLines1", "No. Pattern Lines", PLinesRange);
  QFormLayout* section = AddGroup(*sizes, "Section Size");
  edNoControls2 = AddNumber(*section, "edNoControls2", "No. Controls", ControlsRange);
  edNoPLines2 = AddNumber(*section, "edNoPLines2", "No. Pattern Lines", PLinesRange);
  QFormLayout* rows = AddRows(*Body);
  edNoRepeats = AddNumber(*rows, "edNoRepeats", "No. Repeats in Picture", RepeatsRange);
  Finish();
  setSizeGripEnabled(true);
}

TRepeatsWizard TfmWizard5::Values() const {
  TRepeatsWizard w;
  w.PatternControls = ValueOf(*edNoControls1);
  w.PatternPLines = ValueOf(*edNoPLines1);
  w.SectionControls = ValueOf(*edNoControls2);
  w.SectionPLines = ValueOf(*edNoPLines2);
  w.NoRepeats = ValueOf(*edNoRepeats);
  return w;
}

} // namespace quillane
