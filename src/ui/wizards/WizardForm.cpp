#include "ui/wizards/WizardForm.h"

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
  const char* const radios[][2] = {{"rbSection1", "1 Section"},
                                   {"rbSection2h", "2 Sections, Horizontal"},
                                   {"rbSection2v", "2 Sections, Vertical"},
                                   {"rbSection4", "4 Sections"}};
  for (int i = 0; i < 4; ++i) {
    Layouts[i] = new QRadioButton(QString::fromLatin1(radios[i][1]), group);
    Layouts[i]->setObjectName(QString::fromLatin1(radios[i][0]));
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

template <class TWizard>
TCentredWizardForm<TWizard>::TCentredWizardForm(const char* name, const char* caption,
                                                const TBlock& block, QWidget* parent)
    : TWizardForm<TWizard>(name, caption, true, parent), Block(block) {
  QVBoxLayout& body = *this->Body;
  auto* sizes = new QHBoxLayout;
  body.addLayout(sizes);
  QFormLayout* pattern = this->AddGroup(*sizes, "Pattern Size");
  edNoControls1 = this->AddNumber(*pattern, "edNoControls1", "No. Controls", ControlsRange);
  edNoPLines1 = this->AddNumber(*pattern, "edNoPLines1", "No. Pattern Lines", PLinesRange);
  QFormLayout* size = this->AddGroup(*sizes, block.Title);
  edNoControls2 = this->AddNumber(*size, "edNoControls2", "No. Controls", ControlsRange);
  edNoPLines2 = this->AddNumber(*size, "edNoPLines2", "No. Pattern Lines", PLinesRange, false);
  cbCenter = this->AddCheck(body, "cbCenter", "Center Pattern On Machine");
  QFormLayout* rows = this->AddRows(body);
  edPatternOffset =
      this->AddNumber(*rows, "edPatternOffset", "Start Pattern at Specified Needle", OffsetRange);
  edNoRepeats = this->AddNumber(*rows, "edNoRepeats", "No. Repeats in Picture", RepeatsRange);
  this->Finish();
  this->layout()->setSizeConstraint(QLayout::SetFixedSize);

  this->OnLeft(edNoPLines1, [this] { this->Run(Block.DerivePLines); });
  QObject::connect(cbCenter, &QCheckBox::clicked, this,
                   [this] { this->Run(&TWizard::CenterClick); });
}

template <class TWizard> TWizard TCentredWizardForm<TWizard>::Values() const {
  TWizard w;
  w.PatternControls = this->ValueOf(*edNoControls1);
  w.PatternPLines = this->ValueOf(*edNoPLines1);
  w.*Block.Controls = this->ValueOf(*edNoControls2);
  w.*Block.PLines = this->ValueOf(*edNoPLines2);
  w.Center = cbCenter->isChecked();
  w.PatternOffset = this->ValueOf(*edPatternOffset);
  w.NoRepeats = this->ValueOf(*edNoRepeats);
  return w;
}

template <class TWizard> void TCentredWizardForm<TWizard>::ShowValues(const TWizard& w) {
  edNoPLines2->setValue(w.*Block.PLines);
  this->Follow(*edPatternOffset, w.PatternOffset);
}

template class TCentredWizardForm<TCarpetWizard>;
template class TCentredWizardForm<THalfDropWizard>;

} // namespace quillane
