#include "ui/HistoryForm.h"

#include <QListWidget>
#include <QPalette>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/App.h"
#include "model/Pattern.h"
#include "shell/DesignUI.h"
#include "shell/MainCommands.h"
#include "shell/PatternTree.h"

namespace quillane {

TfmHistory::TfmHistory(QWidget& parent, std::function<OPatternTree&()> patterns)
    : QWidget(&parent, Qt::Window), lbHistory(new QListWidget(this)),
      Patterns(std::move(patterns)) {
  setObjectName(QStringLiteral("fmHistory"));
  resize(280, 360);
  lbHistory->setObjectName(QStringLiteral("lbHistory"));
  lbHistory->setAccessibleName(QStringLiteral("Steps"));
  lbHistory->setSelectionMode(QAbstractItemView::SingleSelection);
  // The arrow keys only move the selection; a click or Enter takes the pattern there.
  connect(lbHistory, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { Go(lbHistory->row(item)); });
  connect(lbHistory, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { Go(lbHistory->row(item)); });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(lbHistory);
  List();
}

OPattern* TfmHistory::Active() const {
  OPatternUI* node = Patterns().ActivePatternNode();
  return node ? node->Pattern : nullptr;
}

void TfmHistory::ShowUp() {
  Follow();
  show();
  raise();
  activateWindow();
  lbHistory->setFocus();
}

void TfmHistory::Follow() {
  Subscription.Reset();
  if (OPattern* pattern = Active())
    Subscription = pattern->Events.Subscribe([this](const TPatternChange& change) {
      if (change.Kind == TPatternChange::TKind::History)
        List();
    });
  List();
}

void TfmHistory::List() {
  OPatternUI* node = Patterns().ActivePatternNode();
  const OPattern* pattern = node ? node->Pattern : nullptr;
  setWindowTitle(pattern ? QStringLiteral("History - ") + QString::fromStdString(node->Name())
                         : QStringLiteral("History"));
  const THistoryList list = HistoryList(pattern ? &pattern->History : nullptr);
  // Items are written over in place: a click that took the pattern to a step is still
  // being handled by the list.
  const QSignalBlocker quiet(lbHistory);
  const int rows = static_cast<int>(list.Rows.size());
  while (lbHistory->count() > rows)
    delete lbHistory->takeItem(lbHistory->count() - 1);
  while (lbHistory->count() < rows)
    lbHistory->addItem(QString());
  const QColor undone = palette().color(QPalette::Disabled, QPalette::Text);
  const QColor done = palette().color(QPalette::Active, QPalette::Text);
  for (int i = 0; i < rows; ++i) {
    const THistoryRow& row = list.Rows[static_cast<size_t>(i)];
    QListWidgetItem* item = lbHistory->item(i);
    item->setText(QString::fromStdString(row.Text));
    item->setData(Qt::AccessibleTextRole, QString::fromStdString(row.Accessible));
    QFont font = lbHistory->font();
    font.setBold(i == list.Current);
    font.setItalic(row.Undone);
    item->setFont(font);
    item->setForeground(row.Undone ? undone : done);
  }
  if (list.Current >= 0)
    lbHistory->setCurrentRow(list.Current);
}

void TfmHistory::Go(int row) {
  try {
    if (OPattern* pattern = Active())
      GoToHistoryRow(pattern->History, row);
  } catch (const std::exception& e) {
    g.UI().ShowError(e.what());
  }
  List();
}

} // namespace quillane
