#include "ui/ControlSetupForm.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/Text.h"
#include "shell/DesignUI.h"
#include "ui/NumberBox.h"

namespace quillane {

namespace {

QString FromBytes(const std::string& bytes) {
  return QString::fromStdString(Windows1252ToUtf8(bytes));
}

} // namespace

TfmControlSetup::TfmControlSetup(ODesignUI& controller)
    : TfmSetupForm(controller), Model(*controller.Pattern) {
  setObjectName(QStringLiteral("fmControlSetup"));
  setWindowTitle(QStringLiteral("Pattern Settings and Options"));

  auto* columns = new QHBoxLayout(Panel1);
  columns->setContentsMargins(8, 8, 8, 8);
  columns->setSpacing(8);
  QFormLayout* rows[2] = {};
  for (int g = 0; g < 2; ++g) {
    const QString title = QString::fromLatin1(OControlSetupEditor::Groups[g]);
    auto* group = new QGroupBox(title, Panel1);
    group->setObjectName(QStringLiteral("gb") + QString(title).remove(QLatin1Char(' ')));
    rows[g] = new QFormLayout(group);
    rows[g]->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    rows[g]->setLabelAlignment(Qt::AlignRight);
    columns->addWidget(group, 0, Qt::AlignTop);
  }
  columns->addStretch(1);

  // Check boxes that share a captioned row stand in a grid of two columns beside it.
  QGridLayout* checkRow = nullptr;
  const char* checkCaption = nullptr;
  for (const TSettingsFieldInfo& info : OControlSetupEditor::Fields()) {
    QFormLayout& into = *rows[info.Group];
    QWidget* parent = into.parentWidget();
    QWidget* widget = AddControl(info, parent);
    widget->setAccessibleDescription(QString::fromLatin1(OControlSetupEditor::Groups[info.Group]));
    if (info.Kind == TFieldKind::Check) {
      if (!info.Row) { // under the boxes, as their label stands beside it
        into.addRow(QString(), widget);
        continue;
      }
      if (!checkRow || checkCaption != info.Row) {
        checkCaption = info.Row;
        checkRow = new QGridLayout;
        checkRow->setContentsMargins(0, 0, 0, 0);
        auto* caption = new QLabel(QString::fromLatin1(info.Row), parent);
        into.addRow(caption, checkRow);
      }
      const int n = checkRow->count();
      checkRow->addWidget(widget, n / 2, n % 2);
      widget->setAccessibleName(QString::fromLatin1(info.Row) + QLatin1Char(' ') +
                                QString::fromLatin1(info.Label));
      continue;
    }
    auto* label = new QLabel(QString::fromLatin1(info.Label), parent);
    label->setObjectName(QStringLiteral("lb") + QString::fromLatin1(info.Name).mid(2));
    label->setBuddy(widget);
    into.addRow(label, widget);
  }
  Attach(Model);
}

TfmControlSetup::~TfmControlSetup() {
  Detach();
}

QWidget* TfmControlSetup::AddControl(const TSettingsFieldInfo& info, QWidget* parent) {
  const TSettingsField field = info.Field;
  QWidget* widget = nullptr;
  switch (info.Kind) {
  case TFieldKind::List: {
    auto* list = new QComboBox(parent);
    for (const std::string& item : OControlSetupEditor::Items(field))
      list->addItem(QString::fromStdString(item));
    connect(list, &QComboBox::currentIndexChanged, this, [this, field](int index) {
      if (!Showing)
        Model.StoreItem(field, index);
    });
    widget = list;
    break;
  }
  case TFieldKind::Number: {
    auto* box = new TNumberBox(NumberFieldOf(info), parent);
    connect(box, &TNumberBox::Edited, this, [this, field] { Edited(field); });
    connect(box, &TNumberBox::editingFinished, this, [this, field] { Store(field); });
    widget = box;
    break;
  }
  case TFieldKind::Check: {
    auto* check = new QCheckBox(QString::fromLatin1(info.Label), parent);
    connect(check, &QCheckBox::clicked, this,
            [this, field](bool checked) { Model.StoreChecked(field, checked); });
    widget = check;
    break;
  }
  case TFieldKind::Text: {
    auto* edit = new QLineEdit(parent);
    edit->setMaxLength(info.MaxLength);
    // Room for the longest text the field holds (a description gets half of it).
    const int shown = std::min(info.MaxLength, 32);
    edit->setMinimumWidth(
        edit->fontMetrics().horizontalAdvance(QString(shown, QLatin1Char('M'))) * 3 / 4 + 12);
    connect(edit, &QLineEdit::textEdited, this, [this, field] { Edited(field); });
    connect(edit, &QLineEdit::editingFinished, this, [this, field] { Store(field); });
    widget = edit;
    break;
  }
  }
  widget->setObjectName(QString::fromLatin1(info.Name));
  widget->setAccessibleName(QString::fromLatin1(info.Label));
  Controls.push_back({&info, widget});
  return widget;
}

QWidget* TfmControlSetup::Control(TSettingsField field) const {
  for (const TControl& c : Controls)
    if (c.Info->Field == field)
      return c.Widget;
  return nullptr;
}

void TfmControlSetup::ShowField(const TControl& c) {
  const bool showing = Showing;
  Showing = true;
  const TSettingsField field = c.Info->Field;
  if (auto* list = qobject_cast<QComboBox*>(c.Widget))
    list->setCurrentIndex(Model.ItemIndex(field));
  else if (auto* check = qobject_cast<QCheckBox*>(c.Widget))
    check->setChecked(Model.Checked(field));
  else if (auto* box = qobject_cast<TNumberBox*>(c.Widget))
    box->setValue(Model.Number(field));
  else if (auto* edit = qobject_cast<QLineEdit*>(c.Widget))
    edit->setText(FromBytes(Model.Text(field)));
  Showing = showing;
}

void TfmControlSetup::ShowData() {
  Edit.Done();
  for (const TControl& c : Controls)
    ShowField(c);
}

void TfmControlSetup::Edited(TSettingsField field) {
  if (Showing)
    return;
  Model.EditedBoxes.Mark(field);
  Edit.Edited(Model);
}

void TfmControlSetup::Store(TSettingsField field, bool takeFocus) {
  if (Showing || Storing || !Model.EditedBoxes.Holds(field))
    return;
  Storing = true;
  bool stored = false;
  QWidget* widget = Control(field);
  if (auto* box = qobject_cast<TNumberBox*>(widget)) {
    const std::optional<double> value = Edit.Leave(box->Field(), box->text().toStdString(), Model);
    stored = value && Model.StoreNumber(field, *value);
    if (value && !stored)
      Edit.Refused(Model);
  } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    stored = Model.StoreText(field, Utf8ToWindows1252(edit->text().toStdString()));
    if (!stored)
      Edit.Refused(Model);
  }
  Storing = false;
  if (!stored) {
    // The designer's text stays for correction, and is read again when next left.
    KeepForCorrection(widget, takeFocus);
    return;
  }
  Model.EditedBoxes.Stored(field);
  Edit.Stored(Model);
  // The box shows what the field holds: a number as the rule reads it, a text cut to its
  // limit.
  for (const TControl& c : Controls)
    if (c.Widget == widget)
      ShowField(c);
}

void TfmControlSetup::CommitEdit() {
  for (TSettingsField field : Model.EditedBoxes.Waiting())
    Store(field, false);
}

QWidget* TfmControlSetup::FirstField() {
  return Controls.empty() ? nullptr : Controls.front().Widget;
}

void TfmControlSetup::ImportClick() {
  CommitEdit();
  Model.Import();
}

void TfmControlSetup::ExportClick() {
  CommitEdit();
  Model.Export();
}

} // namespace quillane
