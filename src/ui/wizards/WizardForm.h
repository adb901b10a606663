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

  // Labelled rows, plain or in a titled group.
  QFormLayout* AddRows(QBoxLayout& into);
  QFormLayout* AddGroup(QBoxLayout& into, const char* title);
  // A whole-number edit with its label; a disabled one is shown greyed with its label.
  // Leaving it reads its text by its rule.
  TNumberBox* AddNumber(QFormLayout& rows, const char* name, const char* label, TWizardRange range,
                        bool enabled = true);
  // A rule run when the box is left holding a value it takes.
  void OnLeft(TNumberBox* box, std::function<void()> rule);
  // A value a rule gives the box; a text the box refused stays unless the rule changed the
  // value.
  static void Follow(TNumberBox& box, int value);
  // An edit's value, which its range keeps within 16 bits.
  static uint16_t ValueOf(const TNumberBox& edit);
  QCheckBox* AddCheck(QBoxLayout& into, const char* name, const char* caption);
  // The group "Layout" with its four radio buttons, "1 Section" selected.
  QGroupBox* AddLayoutGroup(QBoxLayout& into);
  TWizardLayout Layout() const;

  void showEvent(QShowEvent* event) override;

private:
  std::unique_ptr<OPattern> Pattern;
  bool Shown = false;
  std::vector<TNumberBox*> Numbers;
  QRadioButton* Layouts[4] = {};
  void buOKClick();
};

// A wizard over the core's fields: the dialog puts its fields into `TWizard`, the core
// validates and builds from them, and a field event is the core's rule run on the fields.
template <class TWizard> class TWizardForm : public TfmWizard {
protected:
  using TfmWizard::TfmWizard;
  virtual TWizard Values() const = 0;
  virtual void ShowValues(const TWizard&) {}
  void Run(void (TWizard::*rule)()) {
    TWizard w = Values();
    (w.*rule)();
    ShowValues(w);
  }
  std::string Validate() const override { return ValidateWizard(Values()); }
  std::unique_ptr<OPattern> Generate() const override { return GenerateWizard(Values()); }
};

// The carpet and half-drop dialogs: a pattern size, a block size whose PLines follow the
// pattern's, "Center Pattern On Machine", the starting needle and the picture's repeats.
// They differ only in the block's name and in how its PLines follow.
template <class TWizard> class TCentredWizardForm : public TWizardForm<TWizard> {
public:
  TNumberBox *edNoControls1, *edNoPLines1; // pattern size
  TNumberBox *edNoControls2, *edNoPLines2; // block size; its PLines are derived
  QCheckBox* cbCenter;
  TNumberBox *edPatternOffset, *edNoRepeats;

protected:
  // The block's fields, its group's title and the rule that derives its PLines.
  struct TBlock {
    const char* Title;
    uint16_t TWizard::*Controls;
    uint16_t TWizard::*PLines;
    void (TWizard::*DerivePLines)();
  };
  TCentredWizardForm(const char* name, const char* caption, const TBlock& block, QWidget* parent);
  TWizard Values() const override;
  void ShowValues(const TWizard& w) override;

private:
  TBlock Block;
};

extern template class TCentredWizardForm<TCarpetWizard>;
extern template class TCentredWizardForm<THalfDropWizard>;

} // namespace quillane
