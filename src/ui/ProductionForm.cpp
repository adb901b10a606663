#include "ui/ProductionForm.h"

#include <cmath>
#include <utility>

#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/App.h"
#include "editors/ProductionEditor.h"
#include "model/Pattern.h"
#include "production/ProductionFile.h"
#include "shell/DesignUI.h"
#include "ui/WindowForm.h"

namespace quillane {

TNeedleChart::TNeedleChart(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("pbNeedles"));
  setAccessibleName(QStringLiteral("Yarn per needle"));
  setMinimumHeight(120);
}

void TNeedleChart::SetLengths(std::vector<double> lengths, double longest) {
  Lengths = std::move(lengths);
  Longest = longest;
  update();
}

void TNeedleChart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  if (Lengths.empty() || !(Longest > 0.0))
    return;
  const double barWidth = width() / static_cast<double>(Lengths.size());
  const QColor bar = palette().highlight().color();
  for (size_t i = 0; i < Lengths.size(); ++i) {
    const double h = Lengths[i] / Longest * (height() - 1);
    const double left = static_cast<double>(i) * barWidth;
    // Wide bars keep a gap so that neighbours can be told apart.
    const double gap = barWidth >= 4 ? 1 : 0;
    painter.fillRect(QRectF(left, height() - h, barWidth - gap, h), bar);
  }
}

void TNeedleChart::mousePressEvent(QMouseEvent* event) {
  const int control = ControlAt(event->position().x(), width(), Lengths.size());
  if (control > 0 && OnControlClicked)
    OnControlClicked(control);
}

TfmProduction::TfmProduction(ODesignUI& controller)
    : TfmEditorForm(controller), laTotals(new QLabel(Panel1)),
      tbYarnTypes(new QTableWidget(Panel1)), laBalance(new QLabel(Panel1)),
      pbNeedles(new TNeedleChart(Panel1)), Pattern(*controller.Pattern) {
  setObjectName(QStringLiteral("fmProduction"));
  setWindowTitle(QStringLiteral("Production"));
  laTotals->setObjectName(QStringLiteral("laTotals"));
  laTotals->setAccessibleName(QStringLiteral("Totals"));
  laTotals->setTextInteractionFlags(Qt::TextSelectableByMouse);
  laTotals->setWordWrap(true);
  laBalance->setObjectName(QStringLiteral("laBalance"));
  laBalance->setAccessibleName(QStringLiteral("Needle balance"));
  laBalance->setTextInteractionFlags(Qt::TextSelectableByMouse);
  laBalance->setWordWrap(true);
  tbYarnTypes->setObjectName(QStringLiteral("tbYarnTypes"));
  tbYarnTypes->setAccessibleName(QStringLiteral("Yarn types"));
  tbYarnTypes->setColumnCount(5);
  tbYarnTypes->setHorizontalHeaderLabels({QStringLiteral("Yarn type"), QStringLiteral("Length"),
                                          QStringLiteral("Weight"), QStringLiteral("With waste"),
                                          QStringLiteral("Cones")});
  tbYarnTypes->verticalHeader()->hide();
  tbYarnTypes->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tbYarnTypes->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

  auto* layout = new QVBoxLayout(Panel1);
  layout->addWidget(laTotals);
  layout->addWidget(tbYarnTypes, 1);
  layout->addWidget(laBalance);
  layout->addWidget(pbNeedles, 1);

  // Whatever can change the cells or the creel changes the figures.
  Subscription = Pattern.Events.Subscribe([this](const TPatternChange& change) {
    using K = TPatternChange::TKind;
    if (change.Kind == K::All || change.Kind == K::Cells || change.Kind == K::History ||
        change.Kind == K::Setup)
      RefreshGrids();
  });
  pbNeedles->OnControlClicked = [this](int control) { ShowControl(control); };
  RefreshGrids();
}

void TfmProduction::ShowControl(int control) {
  OWindowUI* node = Controller.ShowViewWindow();
  if (auto* window = node ? dynamic_cast<TfmWindow*>(node->Editor()) : nullptr)
    window->ShowControl(control);
}

void TfmProduction::RefreshGrids() {
  const TProductionView view = BuildProductionView(Pattern, ProductionFileName(Pattern.FileName));
  laTotals->setText(QString::fromStdString(view.Totals.empty() ? view.Problem : view.Totals));
  tbYarnTypes->setRowCount(static_cast<int>(view.YarnTypes.size()));
  for (int r = 0; r < tbYarnTypes->rowCount(); ++r) {
    const TYarnTypeRow& row = view.YarnTypes[static_cast<size_t>(r)];
    const std::string* cells[] = {&row.YarnType, &row.Length, &row.Weight, &row.WithWaste,
                                  &row.Cones};
    for (int c = 0; c < 5; ++c) {
      auto* item = new QTableWidgetItem(QString::fromStdString(*cells[c]));
      item->setTextAlignment(c == 0 ? Qt::AlignCenter : Qt::AlignRight | Qt::AlignVCenter);
      tbYarnTypes->setItem(r, c, item);
    }
  }
  laBalance->setText(QString::fromStdString(view.Balance));
  pbNeedles->SetLengths(view.NeedleLengths, view.LongestNeedle);
  if (!view.Problem.empty())
    g.UI().ShowStatus(view.Problem);
}

void TfmProduction::Destroy() {
  Subscription.Reset();
  TfmEditorForm::Destroy();
}

} // namespace quillane
