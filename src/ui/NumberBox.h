#pragma once

#include <QAbstractSpinBox>
#include <optional>

#include "editors/NumberField.h"

namespace quillane {

// The program's one number box. It takes whatever is typed, so that nothing is cut or
// reverted behind the designer's back; the field's rule reads the text when the box is
// left, and a refused text stays in the box, selected for correction. The arrows and the
// wheel step within the field's limits.
class TNumberBox : public QAbstractSpinBox {
  Q_OBJECT
public:
  TNumberBox(TNumberField field, QWidget* parent);

  const TNumberField& Field() const { return NumberField; }
  // The value last shown or read, rounded for a whole-number box.
  int value() const;
  double realValue() const { return Value; }
  int minimum() const { return static_cast<int>(NumberField.Minimum); }
  int maximum() const { return static_cast<int>(NumberField.Maximum); }
  QString selectedText() const;
  // Shows a value; not an edit.
  void setValue(double value);

  // The text read by the field's rule, for a box no editor model reads: the value, or
  // nothing once the designer has been told (the text is then kept as Refused keeps it).
  std::optional<double> Read(bool takeFocus = true);
  // The text was refused: it stays, selected; with `takeFocus` the box takes the focus
  // back, unless the designer has meanwhile gone to another window.
  void Refused(bool takeFocus = true);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

signals:
  // The designer changed the text: typed, or stepped with the arrows or the wheel.
  void Edited();

protected:
  QValidator::State validate(QString& text, int& position) const override;
  void fixup(QString&) const override {}
  void stepBy(int steps) override;
  StepEnabled stepEnabled() const override;

private:
  TNumberField NumberField;
  double Value;
  // The value steps start from: the text's, if it is one, else the last good one.
  double Current() const;
};

// A field whose text was refused keeps it, selected for correction; with `takeFocus` the
// field takes the focus back once the message has gone, unless the designer has meanwhile
// gone to another window.
void KeepForCorrection(QWidget* field, bool takeFocus);

// Puts the focus on a window's or dialog's first field with its text selected, so that
// what is typed at once replaces it.
void FocusFirstField(QWidget* field);

} // namespace quillane
