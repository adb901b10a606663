#include "ui/wizards/Wizard1Form.h"

#include <QFormLayout>
#include <QVBoxLayout>

#include "ui/NumberBox.h"

namespace quillane {

TfmWizard1::TfmWizard1(QWidget* parent) : TWizardForm("fmWizard1", "New Pattern", true, parent) {
  QFormLayout* rows = AddRows(*Body);
  edNoControls = AddNumber(*rows, "edNoControls", "No. Controls", ControlsRange);
  edNoPLines = AddNumber(*rows, "edNoPLines", "No. Pattern Lines", PLinesRange);
  AddLayoutGroup(*Body);
  Finish();
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

TPlainWizard TfmWizard1::Values() const {
  TPlainWizard w;
  w.ReadSizes(edNoControls->text().toStdString(), edNoPLines->text().toStdString());
  w.Layout = Layout();
  return w;
}

} // namespace quillane
