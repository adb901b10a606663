#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/Pattern.h"
#include "wizards/Wizards.h"

class QBoxLayout;
class QCheckBox;
class QFormLayout;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace quillane {

class TNumberBox;

// What the five wizard dialogs share. OK runs the wizard's validation: a refusal is shown in
// a plain box and the dialog stays open with the values entered; otherwise the pattern is
// built under the hourglass, the dialog closes and the pattern waits to be taken. Where the
// dialog asks for it, Enter moves the focus to the next control as Tab does.
class TfmWizard : public QDialog {
  Q_OBJECT
public:
  ~TfmWizard() override;
  QPushButton* buOK = nullptr;
  QPushButton* buCancel = nullptr;

  // The pattern OK built; none before, after Cancel and once taken.
  std::unique_ptr<OPattern> TakePattern();

protected:
  TfmWizard(const char* name, const char* caption, bool enterMovesFocus, QWidget* parent);
  // The wizard's own rows; the buttons follow them. Call Finish once they are all added,
  // so that the buttons come last in the tab order.
  QVBoxLayout* Body;
  void Finish();

  // The refusal of the fields' values, "" when they are accepted; the new pattern.
  virtual std::string Validate() const = 0;
  virtual std::unique_ptr<OPattern> Generate() const = 0;

  // The table's boxes: a labelled number box in `rows`, disabled with its label where
  // the table says so, read by its rule when it is left; a check box in `into`.
  TNumberBox* AddNumber(QFormLayout& rows, const char* name, const char* label, TWizardRange range,
                        bool enabled);
  QCheckBox* AddCheck(QBoxLayout& into, const char* name, const char* caption);
  // Labelled rows, plain or in a titled group.
  QFormLayout* AddRows(QBoxLayout& into);
  QFormLayout* AddGroup(QBoxLayout& into, const char* title);
  // A rule run when the box is left holding a value it takes.
  void OnLeft(TNumberBox* box, std::function<void()> rule);
  // A value a rule gives the box; a text the box refused stays unless the rule changed the
  // value.
  static void Follow(TNumberBox& box, int value);
  // An edit's value, which its range keeps within 16 bits.
  static uint16_t ValueOf(const TNumberBox& edit);
  // The group "Layout" with its four radio buttons, "1 Section" selected.
  QGroupBox* AddLayoutGroup(QBoxLayout& into);
  TWizardLayout Layout() const;
  // A box by its name, for the callers that reach one directly.
  TNumberBox* Number(const char* name) const;
  QCheckBox* Check(const char* name) const;

  void showEvent(QShowEvent* event) override;

private:
  std::unique_ptr<OPattern> Pattern;
  bool Shown = false;
  std::vector<TNumberBox*> Numbers;
  QRadioButton* Layouts[4] = {};
  void buOKClick();
};

// A wizard dialog built from the core's table of its fields: the dialog puts its fields
// into `TWizard`, the core validates and builds from them, and a field event is the core's
// rule run on the fields, whose values are then shown again.
template <class TWizard> class TWizardForm : public TfmWizard {
public:
  explicit TWizardForm(QWidget* parent = nullptr);

protected:
  std::string Validate() const override { return ValidateWizard(Values()); }
  std::unique_ptr<OPattern> Generate() const override { return GenerateWizard(Values()); }

private:
  std::vector<QWidget*> Boxes; // one for each field of the table
  TWizard Values() const;
  void Run(void (TWizard::*rule)());
};

extern template class TWizardForm<TPlainWizard>;
extern template class TWizardForm<TRugWizard>;
extern template class TWizardForm<TCarpetWizard>;
extern template class TWizardForm<THalfDropWizard>;
extern template class TWizardForm<TRepeatsWizard>;

} // namespace quillane
