#include "ui/CheckForm.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "model/Pattern.h"
#include "shell/DesignUI.h"
#include "shell/PatternCheck.h"
#include "ui/WindowForm.h"

namespace quillane {

namespace {

constexpr int FindingRole = Qt::UserRole;
constexpr int RuleRole = Qt::UserRole + 1;

} // namespace

TfmCheck::TfmCheck(ODesignUI& controller)
    : TfmEditorForm(controller), laMachine(new QLabel(Panel1)), laSummary(new QLabel(Panel1)),
      cbRule(new QComboBox(Panel1)), cbSeverity(new QComboBox(Panel1)),
      cbShowMarks(new QCheckBox(QStringLiteral("Show &marks"), Panel1)),
      tvFindings(new QTreeWidget(Panel1)),
      buCheckAgain(AddButton("buCheckAgain", " Check &Again ")), Slices(new QTimer(this)) {
  setObjectName(QStringLiteral("fmCheck"));
  setWindowTitle(QStringLiteral("Check"));
  OPattern& pattern = *controller.Pattern;
  // The profile and parameters are read again whenever the check begins again: Apply in
  // the Production window, or a profile edited by hand, shows at the next change or Check
  // Again.
  Editor = std::make_unique<OCheckEditor>(pattern, [&pattern] {
    TPatternCheckSetup setup = PatternCheckSetup(pattern, pattern.FileName);
    return TCheckBasis{std::move(setup.Profile), std::move(setup.Parameters)};
  });

  laMachine->setObjectName(QStringLiteral("laMachine"));
  laMachine->setAccessibleName(QStringLiteral("Machine"));
  laMachine->setTextInteractionFlags(Qt::TextSelectableByMouse);
  laSummary->setObjectName(QStringLiteral("laSummary"));
  laSummary->setAccessibleName(QStringLiteral("Findings"));
  laSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
  laSummary->setWordWrap(true);
  cbRule->setObjectName(QStringLiteral("cbRule"));
  cbRule->setAccessibleName(QStringLiteral("Rule"));
  cbRule->addItem(QStringLiteral("All rules"), -1);
  for (int r = 0; r < RuleCount; ++r)
    cbRule->addItem(QString::fromUtf8(RuleName(static_cast<TRule>(r))), r);
  cbSeverity->setObjectName(QStringLiteral("cbSeverity"));
  cbSeverity->setAccessibleName(QStringLiteral("Severity"));
  cbSeverity->addItems({QStringLiteral("Errors and warnings"), QStringLiteral("Errors"),
                        QStringLiteral("Warnings")});
  cbShowMarks->setObjectName(QStringLiteral("cbShowMarks"));
  cbShowMarks->setAccessibleName(QStringLiteral("Show marks"));
  tvFindings->setObjectName(QStringLiteral("tvFindings"));
  tvFindings->setAccessibleName(QStringLiteral("Findings by rule"));
  tvFindings->setHeaderHidden(true);
  tvFindings->setUniformRowHeights(true);
  tvFindings->setExpandsOnDoubleClick(false);
  buCheckAgain->setAccessibleName(QStringLiteral("Check Again"));

  auto* rule = new QLabel(QStringLiteral("&Rule"), Panel1);
  rule->setBuddy(cbRule);
  auto* severity = new QLabel(QStringLiteral("&Severity"), Panel1);
  severity->setBuddy(cbSeverity);
  auto* filters = new QHBoxLayout;
  filters->addWidget(rule);
  filters->addWidget(cbRule);
  filters->addWidget(severity);
  filters->addWidget(cbSeverity);
  filters->addWidget(cbShowMarks);
  filters->addStretch(1);
  auto* layout = new QVBoxLayout(Panel1);
  layout->addWidget(laMachine);
  layout->addWidget(laSummary);
  layout->addLayout(filters);
  layout->addWidget(tvFindings, 1);
  // The order the eye reads them in.
  setTabOrder(cbRule, cbSeverity);
  setTabOrder(cbSeverity, cbShowMarks);
  setTabOrder(cbShowMarks, tvFindings);

  connect(cbRule, &QComboBox::currentIndexChanged, this, [this] { FillList(); });
  connect(cbSeverity, &QComboBox::currentIndexChanged, this, [this] { FillList(); });
  connect(cbShowMarks, &QCheckBox::toggled, this, [this](bool on) { Editor->SetMarksShown(on); });
  connect(tvFindings, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
    if (!Filling && item->data(0, RuleRole).isValid())
      Editor->SetRuleShown(static_cast<TRule>(item->data(0, RuleRole).toInt()),
                           item->checkState(0) == Qt::Checked);
  });
  auto go = [this](QTreeWidgetItem* item) {
    if (item && item->data(0, FindingRole).isValid())
      GoTo(item->data(0, FindingRole).toULongLong());
  };
  connect(tvFindings, &QTreeWidget::itemDoubleClicked, this, go);
  connect(tvFindings, &QTreeWidget::itemActivated, this, go);
  connect(buCheckAgain, &QToolButton::clicked, this, [this] {
    Editor->Begin();
    RefreshGrids();
  });

  // An idle slice at a time, as the view window counts its unstated cells.
  Slices->setInterval(0);
  connect(Slices, &QTimer::timeout, this, [this] {
    if (Editor->CheckMore(Editor->SlicePLines())) {
      Slices->stop();
      RefreshGrids();
    }
  });
  Notices = OCheckEditor::Subscribe([this, &pattern](const TCheckNotice& notice) {
    if (notice.Pattern == &pattern && Editor)
      RefreshGrids();
  });
  RefreshGrids();
}

TfmCheck::~TfmCheck() = default;

TCheckFilter TfmCheck::Filter() const {
  TCheckFilter filter;
  if (const int r = cbRule->currentData().toInt(); r >= 0)
    filter.Rule = static_cast<TRule>(r);
  if (cbSeverity->currentIndex() > 0)
    filter.Severity = cbSeverity->currentIndex() == 1 ? TSeverity::Error : TSeverity::Warning;
  return filter;
}

void TfmCheck::CheckLater() {
  if (Editor->Due() && !Slices->isActive())
    Slices->start();
}

void TfmCheck::RefreshGrids() {
  if (!Editor)
    return;
  laMachine->setText(
      QStringLiteral("Machine: ") +
      QString::fromStdString(Editor->Problem().empty() ? Editor->ProfileName() : std::string("-")));
  laSummary->setText(QString::fromStdString(Editor->Summary()));
  CheckLater();
  if (Editor->Findings() != Listed)
    FillList();
}

void TfmCheck::FillList() {
  Listed = Editor->Findings();
  const TCheckFilter filter = Filter();
  Filling = true;
  tvFindings->clear();
  for (const TCheckGroup& group : GroupFindings(Listed, filter)) {
    auto* top = new QTreeWidgetItem(tvFindings, {QString::fromStdString(group.Heading)});
    top->setData(0, RuleRole, static_cast<int>(group.Rule));
    top->setFlags(top->flags() | Qt::ItemIsUserCheckable);
    top->setCheckState(0, Editor->RuleShown(group.Rule) ? Qt::Checked : Qt::Unchecked);
    const size_t listed = std::min(group.Findings.size(), MaxListedFindings);
    for (size_t k = 0; k < listed; ++k) {
      const size_t i = group.Findings[k];
      auto* item = new QTreeWidgetItem(top, {QString::fromStdString(FindingText(Listed[i]))});
      item->setData(0, FindingRole, static_cast<qulonglong>(i));
    }
    if (listed < group.Findings.size())
      new QTreeWidgetItem(top, {QString::fromStdString(MoreText(group.Findings.size() - listed))});
    top->setExpanded(true);
  }
  Filling = false;
}

void TfmCheck::GoTo(size_t finding) {
  if (finding >= Editor->Findings().size())
    return;
  const TFinding& f = Editor->Findings()[finding];
  Editor->Pick(finding);
  if (FindingCells(f, Editor->Pattern.NoPLines).empty())
    return; // the whole pattern's: no place to go to
  const TCell centre = FindingCentre(f, Editor->Pattern.NoPLines);
  OWindowUI* node = Controller.ShowViewWindow();
  if (auto* window = node ? dynamic_cast<TfmWindow*>(node->Editor()) : nullptr)
    window->ShowCell(centre.C, centre.R);
}

void TfmCheck::Destroy() {
  Notices.Reset();
  Slices->stop();
  Editor.reset(); // the view windows' marks and count go with it
  TfmEditorForm::Destroy();
}

} // namespace quillane
