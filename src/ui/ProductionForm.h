#pragma once

#include <vector>

#include "data/PatternEvents.h"
#include "editors/ProductionEditor.h"
#include "production/Production.h"
#include "ui/DesignForm.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace quillane {

class OPattern;
class TfmProduction;

// Yarn per needle across the width, one bar a control, so that a needle that takes far
// more than the rest stands out; a click shows the control under it in the view window.
class TNeedleChart : public QWidget {
  Q_OBJECT
public:
  TNeedleChart(TfmProduction& form, QWidget* parent);
  void SetLengths(std::vector<double> lengths, double longest);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

private:
  TfmProduction& Form;
  std::vector<double> Lengths;
  double Longest = 0.0;
};

// "Production": the pattern's yarn figures with the parameters beside its file, worked out
// again whenever the pattern changes.
class TfmProduction : public TfmEditorForm {
  Q_OBJECT
public:
  explicit TfmProduction(ODesignUI& controller);

  QLabel* laTotals;
  QLabel* laFirstEmpty;
  QTableWidget* tbYarnTypes;
  QLabel* laCreel;
  // Needle ranges, their yarn type and the colour each state of it shows, as on the sheet.
  QTableWidget* tbCreel;
  QLabel* laBalance;
  TNeedleChart* pbNeedles;
  QToolButton* buApply;
  QToolButton* buSaveSheet;
  QToolButton* buSaveCsv;
  QToolButton* buPrint;
  // One a parameter, in the order the parameters' boxes come; beside a yarn count's box its
  // unit (none beside the others).
  std::vector<QLineEdit*> Boxes;
  std::vector<QComboBox*> Units;
  QCheckBox* cbBackup;
  // The machine profile the pattern is checked against: "Any machine" or one of the design
  // folder's.
  QLabel* laMachine;
  QComboBox* cbMachine;
  // The colourway the sheet and print are in: each by name, then "All colourways".
  QComboBox* cbColourway;

  void RefreshGrids() override;
  // The pattern's view window comes up with the control in the middle.
  void ShowControl(int control);
  // Writes the boxes to the parameters file beside the pattern, once every one is usable.
  void Apply();
  // The production sheet of the figures shown, as a PDF file the user names or on paper.
  void SaveSheet();
  void PrintSheet();
  // The figures as the command line's CSV, to a file the user names.
  void SaveCsv();

protected:
  void Destroy() override;

private:
  OPattern& Pattern;
  OPatternEvents::TSubscription Subscription;
  OParametersFile ParametersFile;
  QFormLayout* Parameters;
  // What the figures were worked out with; the boxes edit a copy.
  TProductionParameters Shown;
  // The boxes hold the user's typing: a change of the pattern leaves them alone.
  bool Edited = false;
  void ShowParameters();
  void ShowMachines();
  void ShowCreel(const TSheetBlock& creel);
};

} // namespace quillane
