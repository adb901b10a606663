#include "ui/NumberBox.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTimer>

namespace quillane {

namespace {

// A text far longer than any number is no number the designer meant.
constexpr int LongestText = 40;

QString FromText(const std::string& text) {
  return QString::fromStdString(text);
}

// The form or dialog the box stands in: the focus comes back to the box only from within it.
QWidget* FormOf(QWidget* widget) {
  while (widget->parentWidget() && !widget->isWindow() &&
         !qobject_cast<QMdiSubWindow*>(widget->parentWidget()))
    widget = widget->parentWidget();
  return widget;
}

} // namespace

TNumberBox::TNumberBox(TNumberField field, QWidget* parent)
    : QAbstractSpinBox(parent), NumberField(std::move(field)),
      Value(std::clamp(0.0, NumberField.Minimum, NumberField.Maximum)) {
  setAlignment(Qt::AlignRight);
  setAccelerated(true);
  lineEdit()->setMaxLength(LongestText);
  lineEdit()->setText(FromText(NumberField.Text(Value)));
  connect(lineEdit(), &QLineEdit::textEdited, this, &TNumberBox::Edited);
}

int TNumberBox::value() const {
  return static_cast<int>(std::lround(Value));
}

QString TNumberBox::selectedText() const {
  return lineEdit()->selectedText();
}

void TNumberBox::setValue(double value) {
  Value = value;
  lineEdit()->setText(FromText(NumberField.Text(value)));
}

std::optional<double> TNumberBox::Read(bool takeFocus) {
  const std::optional<double> read = NumberField.Read(text().toStdString());
  if (read)
    Value = *read;
  else
    Refused(takeFocus);
  return read;
}

void TNumberBox::Refused(bool takeFocus) {
  KeepForCorrection(this, takeFocus);
}

namespace {
void SelectAll(QWidget* field) {
  if (auto* box = qobject_cast<QAbstractSpinBox*>(field))
    box->selectAll();
  else if (auto* edit = qobject_cast<QLineEdit*>(field))
    edit->selectAll();
}
} // namespace

void KeepForCorrection(QWidget* field, bool takeFocus) {
  SelectAll(field);
  if (!takeFocus)
    return;
  // After the message has gone and the focus has settled where the designer sent it.
  QTimer::singleShot(0, field, [field] {
    QWidget* focus = QApplication::focusWidget();
    QWidget* form = FormOf(field);
    if (!field->isEnabled() || !field->isVisible() ||
        (focus && focus != form && !form->isAncestorOf(focus)))
      return;
    field->setFocus(Qt::OtherFocusReason);
    SelectAll(field);
  });
}

double TNumberBox::Current() const {
  return NumberField.Parse(text().toStdString()).value_or(Value);
}

QValidator::State TNumberBox::validate(QString&, int&) const {
  return QValidator::Acceptable;
}

void TNumberBox::stepBy(int steps) {
  const double stepped = NumberField.Stepped(Current(), steps);
  lineEdit()->setText(FromText(NumberField.Text(stepped)));
  selectAll();
  emit Edited();
}

QAbstractSpinBox::StepEnabled TNumberBox::stepEnabled() const {
  if (isReadOnly())
    return StepNone;
  const double current = Current();
  StepEnabled enabled = StepNone;
  if (NumberField.StepsUp(current))
    enabled |= StepUpEnabled;
  if (NumberField.StepsDown(current))
    enabled |= StepDownEnabled;
  return enabled;
}

QSize TNumberBox::sizeHint() const {
  ensurePolished();
  // Room for the longest limit and a digit more, beside the arrows.
  const QString longest = FromText(NumberField.Text(NumberField.Minimum)).size() >
                                  FromText(NumberField.Text(NumberField.Maximum)).size()
                              ? FromText(NumberField.Text(NumberField.Minimum))
                              : FromText(NumberField.Text(NumberField.Maximum));
  const int text = fontMetrics().horizontalAdvance(longest + QLatin1Char('0'));
  QSize hint = QAbstractSpinBox::sizeHint();
  hint.setWidth(std::max(text + 40, 72));
  return hint;
}

void FocusFirstField(QWidget* field) {
  if (!field)
    return;
  field->setFocus(Qt::OtherFocusReason);
  SelectAll(field);
}

} // namespace quillane
