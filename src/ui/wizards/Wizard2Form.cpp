#include "ui/wizards/Wizard2Form.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/NumberBox.h"

namespace quillane {

TfmWizard2::TfmWizard2(QWidget* parent)
    : TWizardForm("fmWizard2", "New Rug Pattern", true, parent) {
  auto* sizes = new QHBoxLayout;
  Body->addLayout(sizes);
  QFormLayout* pattern = AddGroup(*sizes, "Pattern Size");
  edNoControls1 = AddNumber(*pattern, "edNoControls1", "No. Controls", ControlsRange);
  edNoPLines1 = AddNumber(*pattern, "edNoPLines1", "No. Pattern Lines", PLinesRange);
  QFormLayout* rug = AddGroup(*sizes, "Rug Size");
  edNoControls2 = AddNumber(*rug, "edNoControls2", "No. Controls", ControlsRange);
  edNoPLines2 = AddNumber(*rug, "edNoPLines2", "No. Pattern Lines", PLinesRange);
  QFormLayout* cut = AddGroup(*sizes, "Cut Mark Size");
  edNoControls3 = AddNumber(*cut, "edNoControls3", "No. Controls", CutControlsRange);
  edNoPLines3 = AddNumber(*cut, "edNoPLines3", "No. Pattern Lines", CutPLinesRange, false);

  auto* lower = new QHBoxLayout;
  Body->addLayout(lower);
  auto* start = new QVBoxLayout;
  lower->addLayout(start, 1);
  cbMirror = AddCheck(*start, "cbMirror", "Mirror Generated Sections");
  QFormLayout* offsets = AddRows(*start);
  start->addStretch(1);
  edControlOffset =
      AddNumber(*offsets, "edControlOffset", "Start Pattern at Specified Control", OffsetRange);
  edPLineOffset =
      AddNumber(*offsets, "edPLineOffset", "Start Pattern at Specified PLine ", OffsetRange);
  AddLayoutGroup(*lower);
  Finish();
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  for (TNumberBox* pLines : {edNoPLines1, edNoPLines2})
    OnLeft(pLines, [this] { Run(&TRugWizard::DeriveCutPLines); });
  connect(cbMirror, &QCheckBox::clicked, this, [this] { Run(&TRugWizard::MirrorClick); });
  OnLeft(edControlOffset, [this] { Run(&TRugWizard::ControlOffsetExit); });
}

TRugWizard TfmWizard2::Values() const {
  TRugWizard w;
  w.PatternControls = ValueOf(*edNoControls1);
  w.PatternPLines = ValueOf(*edNoPLines1);
  w.RugControls = ValueOf(*edNoControls2);
  w.RugPLines = ValueOf(*edNoPLines2);
  w.CutControls = ValueOf(*edNoControls3);
  w.CutPLines = ValueOf(*edNoPLines3);
  w.Mirror = cbMirror->isChecked();
  w.ReadControlOffset(edControlOffset->text().toStdString());
  w.PLineOffset = ValueOf(*edPLineOffset);
  w.Layout = Layout();
  return w;
}

void TfmWizard2::ShowValues(const TRugWizard& w) {
  edNoPLines3->setValue(w.CutPLines);
  cbMirror->setChecked(w.Mirror);
  Follow(*edControlOffset, w.ControlOffset);
}

} // namespace quillane
