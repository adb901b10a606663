#pragma once

#include <functional>
#include <vector>

#include "data/PatternEvents.h"
#include "ui/DesignForm.h"

class QLabel;
class QTableWidget;

namespace quillane {

class OPattern;

// Yarn per needle across the width, one bar a control, so that a needle that takes far
// more than the rest stands out; a click names the control under it.
class TNeedleChart : public QWidget {
  Q_OBJECT
public:
  explicit TNeedleChart(QWidget* parent);
  void SetLengths(std::vector<double> lengths, double longest);
  std::function<void(int control)> OnControlClicked;

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

private:
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
  QTableWidget* tbYarnTypes;
  QLabel* laBalance;
  TNeedleChart* pbNeedles;

  void RefreshGrids() override;
  // The pattern's view window comes up with the control in the middle.
  void ShowControl(int control);

protected:
  void Destroy() override;

private:
  OPattern& Pattern;
  OPatternEvents::TSubscription Subscription;
};

} // namespace quillane
