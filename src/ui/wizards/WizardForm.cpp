#include "ui/wizards/WizardForm.h"

#include <algorithm>
#include <string_view>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/App.h"
#include "model/Pattern.h"
#include "platform/Platform.h"
#include "ui/DesignForm.h"
#include "ui/NumberBox.h"

namespace quillane {

TfmWizard::TfmWizard(const char* name, const char* caption, bool enterMovesFocus, QWidget* parent)
    : QDialog(parent), Body(new QVBoxLayout) {
  setObjectName(QString::fromLatin1(name));
  setWindowTitle(QString::fromLatin1(caption));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(12);
  Body->setSpacing(10);
  layout->addLayout(Body);
  if (enterMovesFocus)
    MoveFocusOnEnter(*this, [this] { focusNextChild(); });
}

TfmWizard::~TfmWizard() = default;

void TfmWizard::Finish() {
  buOK = new QPushButton(QStringLiteral("OK"), this);
  buOK->setObjectName(QStringLiteral("buOK"));
  buOK->setDefault(true);
  buCancel = new QPushButton(QStringLiteral("Cancel"), this);
  buCancel->setObjectName(QStringLiteral("buCancel"));
  for (QPushButton* button : {buOK, buCancel})
    button->setAccessibleName(button->text());
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(buOK, QDialogButtonBox::AcceptRole);
  buttons->addButton(buCancel, QDialogButtonBox::RejectRole);
  connect(buOK, &QPushButton::clicked, this, [this] { buOKClick(); });
  connect(buCancel, &QPushButton::clicked, this, &QDialog::reject);
  static_cast<QVBoxLayout*>(layout())->addStretch(1);
  layout()->addWidget(buttons);
}

std::unique_ptr<OPattern> TfmWizard::TakePattern() {
  return std::move(Pattern);
}

void TfmWizard::buOKClick() {
  // A box still holding a text it refuses is told again, and the dialog stays open.
  for (TNumberBox* box : Numbers)
    if (box->isEnabled() && !box->Read())
      return;
  // A layout the pattern cannot hold is refused by the generator like a wrong value.
  std::string refused = Validate();
  if (refused.empty()) {
    try {
      OWaitCursor wait;
      Pattern = Generate();
    } catch (const std::exception& e) {
      refused = e.what();
    }
  }
  if (!refused.empty()) {
    g.UI().ShowMessage(refused);
    return;
  }
  accept();
}

namespace {

// The edits keep their width however wide the labels beside them make the rows.
QFormLayout* NewRows(QWidget* owner) {
  auto* rows = new QFormLayout(owner);
  rows->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  return rows;
}

} // namespace

QFormLayout* TfmWizard::AddRows(QBoxLayout& into) {
  QFormLayout* rows = NewRows(nullptr);
  into.addLayout(rows);
  return rows;
}

QFormLayout* TfmWizard::AddGroup(QBoxLayout& into, const char* title) {
  auto* group = new QGroupBox(QString::fromLatin1(title), this);
  group->setObjectName(QStringLiteral("gb") + QString::fromLatin1(title).remove(QLatin1Char(' ')));
  QFormLayout* rows = NewRows(group);
  into.addWidget(group);
  return rows;
}

TNumberBox* TfmWizard::AddNumber(QFormLayout& rows, const char* name, const char* label,
                                 TWizardRange range, bool enabled) {
  const QString text = QString::fromLatin1(label);
  auto* caption = new QLabel(text, this);
  auto* edit = new TNumberBox(
      {text.trimmed().toStdString(), double(range.Minimum), double(range.Maximum)}, this);
  const QString field = QString::fromLatin1(name);
  edit->setObjectName(field);
  caption->setObjectName(QStringLiteral("lb") + field.mid(2));
  caption->setBuddy(edit);
  edit->setValue(1);
  edit->setAccessibleName(text.trimmed());
  if (auto* group = qobject_cast<QGroupBox*>(rows.parentWidget()))
    edit->setAccessibleDescription(group->title());
  caption->setEnabled(enabled);
  edit->setEnabled(enabled);
  rows.addRow(caption, edit);
  // Before the wizard's own rules, which then see the value read.
  connect(edit, &TNumberBox::editingFinished, this, [edit] {
    if (edit->isEnabled())
      edit->Read();
  });
  Numbers.push_back(edit);
  return edit;
}

void TfmWizard::OnLeft(TNumberBox* box, std::function<void()> rule) {
  connect(box, &TNumberBox::editingFinished, this, [box, rule = std::move(rule)] {
    if (box->Field().Parse(box->text().toStdString()))
      rule();
  });
}

void TfmWizard::Follow(TNumberBox& box, int value) {
  if (box.value() != value)
    box.setValue(value);
}

uint16_t TfmWizard::ValueOf(const TNumberBox& edit) {
  return static_cast<uint16_t>(edit.value());
}

QCheckBox* TfmWizard::AddCheck(QBoxLayout& into, const char* name, const char* caption) {
  auto* box = new QCheckBox(QString::fromLatin1(caption), this);
  box->setObjectName(QString::fromLatin1(name));
  box->setAccessibleName(box->text());
  into.addWidget(box);
  return box;
}

QGroupBox* TfmWizard::AddLayoutGroup(QBoxLayout& into) {
  auto* group = new QGroupBox(QStringLiteral("Layout"), this);
  group->setObjectName(QStringLiteral("gbLayout"));
  auto* column = new QVBoxLayout(group);
  for (int i = 0; i < 4; ++i) {
    Layouts[i] = new QRadioButton(QString::fromLatin1(WizardLayouts[i][1]), group);
    Layouts[i]->setObjectName(QString::fromLatin1(WizardLayouts[i][0]));
    Layouts[i]->setAccessibleName(Layouts[i]->text());
    column->addWidget(Layouts[i]);
  }
  Layouts[0]->setChecked(true);
  into.addWidget(group);
  return group;
}

TWizardLayout TfmWizard::Layout() const {
  for (int i = 0; i < 4; ++i)
    if (Layouts[i] && Layouts[i]->isChecked())
      return static_cast<TWizardLayout>(i);
  return TWizardLayout::Section1;
}

void TfmWizard::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!Shown && !Numbers.empty()) {
    Shown = true;
    FocusFirstField(Numbers.front());
  }
}

TNumberBox* TfmWizard::Number(const char* name) const {
  return findChild<TNumberBox*>(QString::fromLatin1(name));
}

QCheckBox* TfmWizard::Check(const char* name) const {
  return findChild<QCheckBox*>(QString::fromLatin1(name));
}

template <class TWizard>
TWizardForm<TWizard>::TWizardForm(QWidget* parent)
    : TfmWizard(TWizard::Dialog.Name, TWizard::Dialog.Caption, TWizard::Dialog.EnterMovesFocus,
                parent) {
  constexpr bool laidOut = requires(TWizard w) {
    w.Layout;
  };
  const auto fields = TWizard::Dialog.Fields;
  // The titled groups side by side; below them the other rows, which with a layout stand
  // in a column beside the group "Layout".
  QBoxLayout* groups = nullptr;
  QBoxLayout *below = Body, *beside = Body;
  if (std::any_of(fields.begin(), fields.end(), [](const auto& f) { return f.Group; })) {
    groups = new QHBoxLayout;
    Body->addLayout(groups);
    if (laidOut) {
      beside = new QHBoxLayout;
      Body->addLayout(beside);
      below = new QVBoxLayout;
      beside->addLayout(below, 1);
    }
  }
  QFormLayout* rows = nullptr;
  std::string_view group;
  for (const TWizardField<TWizard>& field : fields) {
    if (field.Check) {
      QCheckBox* box = AddCheck(*below, field.Name, field.Caption);
      rows = nullptr;
      Boxes.push_back(box);
      if (field.Rule)
        connect(box, &QCheckBox::clicked, this, [this, rule = field.Rule] { Run(rule); });
      continue;
    }
    const std::string_view title = field.Group ? field.Group : "";
    if (!rows || title != group)
      rows = field.Group ? AddGroup(*groups, field.Group) : AddRows(*below);
    group = title;
    TNumberBox* box = AddNumber(*rows, field.Name, field.Caption, field.Range, field.Enabled);
    Boxes.push_back(box);
    if (field.Rule)
      OnLeft(box, [this, rule = field.Rule] { Run(rule); });
  }
  if constexpr (laidOut) {
    if (below != Body)
      below->addStretch(1);
    AddLayoutGroup(*beside);
  }
  Finish();
  if (TWizard::Dialog.Sizeable)
    setSizeGripEnabled(true);
  else
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

template <class TWizard> TWizard TWizardForm<TWizard>::Values() const {
  TWizard w;
  const auto fields = TWizard::Dialog.Fields;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].Check) {
      w.*fields[i].Check = static_cast<QCheckBox*>(Boxes[i])->isChecked();
    } else {
      const auto& box = *static_cast<TNumberBox*>(Boxes[i]);
      fields[i].Read(w, ValueOf(box), box.text().toStdString());
    }
  }
  if constexpr (requires { w.Layout; })
    w.Layout = Layout();
  return w;
}

template <class TWizard> void TWizardForm<TWizard>::Run(void (TWizard::*rule)()) {
  TWizard w = Values();
  (w.*rule)();
  const auto fields = TWizard::Dialog.Fields;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].Check)
      static_cast<QCheckBox*>(Boxes[i])->setChecked(w.*fields[i].Check);
    else
      Follow(*static_cast<TNumberBox*>(Boxes[i]), w.*fields[i].Number);
  }
}

template class TWizardForm<TPlainWizard>;
template class TWizardForm<TRugWizard>;
template class TWizardForm<TCarpetWizard>;
template class TWizardForm<THalfDropWizard>;
template class TWizardForm<TRepeatsWizard>;

} // namespace quillane
