#include "ui/ElementForm.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/NumberBox.h"

namespace quillane {

void TfmElementForm::Build(OElementEditor& model, bool importFlag) {
  Model = &model;
  Areas = dynamic_cast<OAreaEditor*>(&model);

  // The groups side by side at the top left, whatever the window's size; the flips and
  // the rotation below the last group.
  auto* row = new QHBoxLayout(Panel1);
  row->setContentsMargins(8, 8, 8, 8);
  row->setSpacing(8);
  const auto groups = model.Groups();
  std::vector<QFormLayout*> forms;
  QVBoxLayout* column = nullptr;
  for (size_t g = 0; g < std::max<size_t>(groups.size(), 1); ++g) {
    column = new QVBoxLayout;
    column->setSpacing(8);
    row->addLayout(column);
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (groups.empty()) {
      column->addLayout(form);
    } else {
      auto* box = new QGroupBox(QString::fromLatin1(groups[g]), Panel1);
      box->setObjectName(QStringLiteral("gb%1%2").arg(QString::fromLatin1(groups[g])).arg(g + 1));
      box->setLayout(form);
      column->addWidget(box);
    }
    forms.push_back(form);
  }
  row->addStretch(1);

  std::vector<QLabel*> labels;
  for (const TElementFieldInfo& info : model.Fields()) {
    const TElementField field = info.Field;
    QFormLayout* form = forms[static_cast<size_t>(std::max(info.Group, 0))];
    QWidget* host = form->parentWidget() ? form->parentWidget() : Panel1;
    auto* box = new TNumberBox(model.NumberField(field), host);
    box->setObjectName(QString::fromLatin1(info.Name));
    box->setAccessibleName(QString::fromLatin1(info.Accessible));
    if (info.Group >= 0)
      box->setAccessibleDescription(QString::fromLatin1(groups[static_cast<size_t>(info.Group)]));
    connect(box, &TNumberBox::Edited, this, [this, field] { Edited(field); });
    connect(box, &TNumberBox::editingFinished, this, [this, field] { Store(field); });
    auto* label = new QLabel(QString::fromLatin1(info.Label), host);
    label->setObjectName(QStringLiteral("lb") + QString::fromLatin1(info.Name).mid(2));
    label->setBuddy(box);
    form->addRow(label, box);
    labels.push_back(label);
    Boxes.push_back({&info, box});
  }
  // The boxes of all groups line up.
  int widest = 0;
  for (QLabel* label : labels)
    widest = std::max(widest, label->sizeHint().width());
  for (QLabel* label : labels)
    label->setMinimumWidth(widest);

  if (Areas) {
    auto* options = new QVBoxLayout;
    options->setContentsMargins(4, 0, 0, 0);
    cbHFlip = AddCheck(*options, "cbHFlip", "Horizontal Flip", TElementCheck::HFlip);
    cbVFlip = AddCheck(*options, "cbVFlip", "Vertical Flip", TElementCheck::VFlip);
    cbRotate = new QComboBox(Panel1);
    cbRotate->setObjectName(QStringLiteral("cbRotate"));
    cbRotate->setAccessibleName(QStringLiteral("Rotation"));
    for (const char* item : OAreaEditor::RotationItems)
      cbRotate->addItem(QString::fromLatin1(item));
    cbRotate->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(cbRotate, &QComboBox::activated, this, [this](int index) {
      CommitEdit();
      if (!Areas->StoreRotation(index))
        cbRotate->setCurrentIndex(Areas->RotationIndex());
    });
    options->addWidget(cbRotate, 0, Qt::AlignLeft);
    if (importFlag)
      cbImportFlag = AddCheck(*options, "cbImportFlag", "Import Region", TElementCheck::ImportFlag);
    column->addLayout(options);
  }
  for (int i = 0; i < row->count(); ++i)
    if (QLayout* each = row->itemAt(i)->layout())
      static_cast<QVBoxLayout*>(each)->addStretch(1);
  Attach(model);
}

QCheckBox* TfmElementForm::AddCheck(QVBoxLayout& column, const char* name, const char* caption,
                                    TElementCheck check) {
  auto* box = new QCheckBox(QString::fromLatin1(caption), Panel1);
  box->setObjectName(QString::fromLatin1(name));
  box->setAccessibleName(QString::fromLatin1(caption));
  connect(box, &QCheckBox::clicked, this,
          [this, check](bool checked) { Areas->StoreChecked(check, checked); });
  column.addWidget(box);
  return box;
}

TNumberBox* TfmElementForm::Box(TElementField field) const {
  for (const TBox& b : Boxes)
    if (b.Info->Field == field)
      return b.Widget;
  return nullptr;
}

void TfmElementForm::ShowData() {
  if (!Model)
    return;
  const bool showing = Showing;
  Showing = true;
  for (const TBox& b : Boxes)
    b.Widget->setValue(Model->Number(b.Info->Field));
  if (Areas) {
    cbHFlip->setChecked(Areas->Checked(TElementCheck::HFlip));
    cbVFlip->setChecked(Areas->Checked(TElementCheck::VFlip));
    cbRotate->setCurrentIndex(Areas->RotationIndex());
    if (cbImportFlag)
      cbImportFlag->setChecked(Areas->Checked(TElementCheck::ImportFlag));
  }
  Showing = showing;
}

void TfmElementForm::Edited(TElementField field) {
  if (Showing)
    return;
  Model->EditedBoxes.Mark(field);
  Model->Edited();
}

void TfmElementForm::Store(TElementField field, bool takeFocus) {
  if (Showing || !Model->EditedBoxes.Holds(field))
    return;
  TNumberBox* box = Box(field);
  if (!Model->StoreText(field, box->text().toStdString())) {
    // The designer's text stays for correction, and is read again when next left.
    box->Refused(takeFocus);
    return;
  }
  Model->EditedBoxes.Stored(field);
  // As the box's rule reads it: " 12" shows as 12.
  box->setValue(Model->Number(field));
}

void TfmElementForm::CommitEdit() {
  for (TElementField field : Model->EditedBoxes.Waiting())
    Store(field, false);
}

QWidget* TfmElementForm::FirstField() {
  return Boxes.empty() ? nullptr : Boxes.front().Widget;
}

void TfmElementForm::ImportClick() {
  CommitEdit();
  Model->Import();
}

void TfmElementForm::ExportClick() {
  CommitEdit();
  Model->Export();
}

} // namespace quillane
