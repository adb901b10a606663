#include "ui/ProductionForm.h"

#include <cmath>
#include <utility>

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "ImageIO.h"
#include "SheetPdf.h"
#include "app/App.h"
#include "editors/CheckEditor.h"
#include "editors/ProductionEditor.h"
#include "model/Pattern.h"
#include "shell/DesignUI.h"
#include "ui/WindowForm.h"

namespace quillane {

TNeedleChart::TNeedleChart(TfmProduction& form, QWidget* parent) : QWidget(parent), Form(form) {
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
  if (control > 0)
    Form.ShowControl(control);
}

namespace {

// No column hidden, whatever the rows; a long creel scrolls rather than pushing the chart
// off the window.
void FitWidthToColumns(QTableWidget& table) {
  table.resizeColumnsToContents();
  table.setMinimumWidth(table.horizontalHeader()->length() + 2 * table.frameWidth() +
                        table.verticalScrollBar()->sizeHint().width());
}

} // namespace

TfmProduction::TfmProduction(ODesignUI& controller)
    : TfmEditorForm(controller), laTotals(new QLabel(Panel1)), laFirstEmpty(new QLabel(Panel1)),
      tbYarnTypes(new QTableWidget(Panel1)), laCreel(new QLabel(Panel1)),
      tbCreel(new QTableWidget(Panel1)), laBalance(new QLabel(Panel1)),
      pbNeedles(new TNeedleChart(*this, Panel1)), buApply(AddButton("buApply", " &Apply ")),
      buSaveSheet(AddButton("buSaveSheet", " Save Sheet as P&DF... ")),
      buSaveCsv(AddButton("buSaveCsv", " Save Figures as &CSV... ")),
      buPrint(AddButton("buPrint", " P&rint... ")),
      cbBackup(new QCheckBox(QStringLiteral("&Backup package on every needle end"), Panel1)),
      laMachine(new QLabel(QStringLiteral("&Machine"), Panel1)), cbMachine(new QComboBox(Panel1)),
      cbColourway(new QComboBox(Panel1)), Pattern(*controller.Pattern),
      Parameters(new QFormLayout) {
  setObjectName(QStringLiteral("fmProduction"));
  setWindowTitle(QStringLiteral("Production"));
  laTotals->setObjectName(QStringLiteral("laTotals"));
  laTotals->setAccessibleName(QStringLiteral("Totals"));
  laTotals->setTextInteractionFlags(Qt::TextSelectableByMouse);
  laTotals->setWordWrap(true);
  laFirstEmpty->setObjectName(QStringLiteral("laFirstEmpty"));
  laFirstEmpty->setAccessibleName(QStringLiteral("First package to run out"));
  laFirstEmpty->setTextInteractionFlags(Qt::TextSelectableByMouse);
  laFirstEmpty->setWordWrap(true);
  laBalance->setObjectName(QStringLiteral("laBalance"));
  laBalance->setAccessibleName(QStringLiteral("Needle balance"));
  laBalance->setTextInteractionFlags(Qt::TextSelectableByMouse);
  laBalance->setWordWrap(true);
  tbYarnTypes->setObjectName(QStringLiteral("tbYarnTypes"));
  tbYarnTypes->setAccessibleName(QStringLiteral("Yarn types"));
  tbYarnTypes->setColumnCount(6);
  tbYarnTypes->setHorizontalHeaderLabels({QStringLiteral("Yarn type"), QStringLiteral("Length"),
                                          QStringLiteral("Weight"), QStringLiteral("With waste"),
                                          QStringLiteral("Ends"), QStringLiteral("Packages")});
  tbYarnTypes->verticalHeader()->hide();
  tbYarnTypes->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tbYarnTypes->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

  laCreel->setObjectName(QStringLiteral("laCreel"));
  laCreel->setBuddy(tbCreel);
  tbCreel->setObjectName(QStringLiteral("tbCreel"));
  tbCreel->setAccessibleName(QStringLiteral("Creel"));
  tbCreel->verticalHeader()->hide();
  tbCreel->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tbCreel->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

  auto* layout = new QVBoxLayout(Panel1);
  // The creel beside the yarn table, not under it: the chart keeps the height it needs to
  // show an imbalance.
  auto* top = new QGridLayout;
  top->addWidget(laTotals, 0, 0);
  top->addWidget(tbYarnTypes, 1, 0);
  top->addWidget(laCreel, 0, 1, Qt::AlignBottom);
  top->addWidget(tbCreel, 1, 1);
  // The machine above the figures it is run with.
  auto* machine = new QFormLayout;
  machine->addRow(laMachine, cbMachine);
  auto* colourway = new QLabel(QStringLiteral("Co&lourway"), Panel1);
  colourway->setBuddy(cbColourway);
  cbColourway->setObjectName(QStringLiteral("cbColourway"));
  cbColourway->setAccessibleName(QStringLiteral("Colourway"));
  machine->addRow(colourway, cbColourway);
  auto* right = new QVBoxLayout;
  right->addLayout(machine);
  right->addLayout(Parameters);
  right->addStretch();
  top->addLayout(right, 0, 2, 2, 1);
  top->setColumnStretch(1, 1);
  top->setRowStretch(1, 1);
  layout->addLayout(top, 1);
  layout->addWidget(laFirstEmpty);
  layout->addWidget(laBalance);
  layout->addWidget(pbNeedles, 1);
  buApply->setEnabled(false);
  connect(buApply, &QToolButton::clicked, this, &TfmProduction::Apply);
  buApply->setAccessibleName(QStringLiteral("Apply"));
  buSaveSheet->setAccessibleName(QStringLiteral("Save Sheet as PDF"));
  buPrint->setAccessibleName(QStringLiteral("Print"));
  connect(buSaveSheet, &QToolButton::clicked, this, &TfmProduction::SaveSheet);
  connect(buPrint, &QToolButton::clicked, this, &TfmProduction::PrintSheet);
  buSaveCsv->setAccessibleName(QStringLiteral("Save Figures as CSV"));
  connect(buSaveCsv, &QToolButton::clicked, this, &TfmProduction::SaveCsv);
  cbBackup->setObjectName(QStringLiteral("cbBackup"));
  cbBackup->setAccessibleName(QStringLiteral("Backup package on every needle end"));
  connect(cbBackup, &QCheckBox::clicked, this, [this] {
    Edited = true;
    buApply->setEnabled(true);
  });
  laMachine->setObjectName(QStringLiteral("laMachine"));
  laMachine->setBuddy(cbMachine);
  cbMachine->setObjectName(QStringLiteral("cbMachine"));
  cbMachine->setAccessibleName(QStringLiteral("Machine"));
  connect(cbMachine, &QComboBox::activated, this, [this] {
    Edited = true;
    buApply->setEnabled(true);
  });

  Subscription = Pattern.Events.Subscribe([this](const TPatternChange& change) {
    if (ChangesFigures(change, Pattern.History))
      RefreshGrids();
  });
  RefreshGrids();
}

void TfmProduction::ShowControl(int control) {
  OWindowUI* node = Controller.ShowViewWindow();
  if (auto* window = node ? dynamic_cast<TfmWindow*>(node->Editor()) : nullptr)
    window->ShowControl(control);
}

void TfmProduction::RefreshGrids() {
  // The choice stays on its colourway by name while the list changes.
  QStringList choices, now;
  for (const std::string& name : ColourwayChoices(Pattern))
    choices << QString::fromStdString(name);
  for (int i = 0; i < cbColourway->count(); ++i)
    now << cbColourway->itemText(i);
  if (choices != now) {
    const QString chosen = cbColourway->currentText();
    cbColourway->clear();
    cbColourway->addItems(choices);
    cbColourway->setCurrentIndex(std::max(0, static_cast<int>(choices.indexOf(chosen))));
  }
  const TProductionView view =
      BuildProductionView(Pattern, ParametersFile, ParametersFileOf(Pattern));
  laTotals->setText(QString::fromStdString(view.Totals.empty() ? view.Problem : view.Totals));
  laFirstEmpty->setText(QString::fromStdString(view.FirstEmpty));
  tbYarnTypes->setRowCount(static_cast<int>(view.YarnTypes.size()));
  for (int r = 0; r < tbYarnTypes->rowCount(); ++r) {
    const TYarnTypeRow& row = view.YarnTypes[static_cast<size_t>(r)];
    const std::string* cells[] = {&row.YarnType,  &row.Length, &row.Weight,
                                  &row.WithWaste, &row.Ends,   &row.Packages};
    for (int c = 0; c < 6; ++c) {
      auto* item = new QTableWidgetItem(QString::fromStdString(*cells[c]));
      item->setTextAlignment(c == 0 ? Qt::AlignCenter : Qt::AlignRight | Qt::AlignVCenter);
      tbYarnTypes->setItem(r, c, item);
    }
  }
  FitWidthToColumns(*tbYarnTypes);
  ShowCreel(view.Creel);
  FitWidthToColumns(*tbCreel);
  laBalance->setText(QString::fromStdString(view.Balance));
  pbNeedles->SetLengths(view.NeedleLengths, view.LongestNeedle);
  Shown = view.Parameters;
  ShowParameters();
  if (!view.Problem.empty())
    g.UI().ShowStatus(view.Problem);
}

void TfmProduction::ShowCreel(const TSheetBlock& creel) {
  // The title says whether the rows are the whole creel or its first repeat.
  laCreel->setText(QString::fromStdString(creel.Title));
  tbCreel->setAccessibleDescription(laCreel->text());
  QStringList columns;
  for (const std::string& column : creel.Columns)
    columns.push_back(QString::fromStdString(column));
  tbCreel->setColumnCount(static_cast<int>(columns.size()));
  tbCreel->setHorizontalHeaderLabels(columns);
  tbCreel->setRowCount(static_cast<int>(creel.Rows.size()));
  const int side = fontMetrics().height() * 2 / 3;
  for (int r = 0; r < tbCreel->rowCount(); ++r) {
    const std::vector<TSheetCell>& row = creel.Rows[static_cast<size_t>(r)];
    for (int c = 0; c < tbCreel->columnCount(); ++c) {
      auto* item = new QTableWidgetItem;
      if (static_cast<size_t>(c) < row.size()) {
        const TSheetCell& cell = row[static_cast<size_t>(c)];
        item->setText(QString::fromStdString(cell.Text));
        if (cell.Swatch) {
          QPixmap swatch(side, side);
          swatch.fill(QColor::fromRgb(ToQRgb(*cell.Swatch)));
          // A frame keeps a swatch the colour of the table's base from vanishing into it.
          QPainter painter(&swatch);
          painter.setPen(palette().text().color());
          painter.drawRect(0, 0, side - 1, side - 1);
          painter.end();
          item->setIcon(QIcon(swatch));
        }
      }
      tbCreel->setItem(r, c, item);
    }
  }
}

void TfmProduction::ShowParameters() {
  const std::vector<TParameterField> fields = ParameterFields(Pattern, Shown);
  bool same = fields.size() == Boxes.size();
  for (size_t i = 0; same && i < fields.size(); ++i)
    same = Boxes[i]->accessibleName() == QString::fromStdString(fields[i].Label);
  if (!same) {
    // The pattern's states or yarn types changed: what was typed no longer fits.
    // The backup's box stays: only the boxes of the states and yarn types go.
    if (Parameters->rowCount() > 0)
      Parameters->takeRow(cbBackup);
    while (Parameters->rowCount() > 0)
      Parameters->removeRow(0);
    Boxes.clear();
    Units.clear();
    Edited = false;
    auto edited = [this] {
      Edited = true;
      buApply->setEnabled(true);
    };
    for (const TParameterField& field : fields) {
      auto* box = new QLineEdit(Panel1);
      const QString label = QString::fromStdString(field.Label);
      box->setAccessibleName(label);
      connect(box, &QLineEdit::textEdited, this, edited);
      QComboBox* unit = nullptr;
      if (field.Unit.empty()) {
        Parameters->addRow(label, box);
      } else {
        unit = new QComboBox(Panel1);
        unit->addItems({QStringLiteral("dtex"), QStringLiteral("Nm")});
        unit->setAccessibleName(label + QStringLiteral(" unit"));
        connect(unit, &QComboBox::activated, this, edited);
        auto* row = new QHBoxLayout;
        row->addWidget(box, 1);
        row->addWidget(unit);
        Parameters->addRow(label, row);
      }
      Boxes.push_back(box);
      Units.push_back(unit);
    }
    Parameters->addRow(cbBackup);
    // New boxes land at the end of the focus chain; Tab goes through the tables, the machine,
    // then the boxes, then to Apply that takes them.
    QWidget* previous = cbColourway;
    setTabOrder(tbYarnTypes, tbCreel);
    setTabOrder(tbCreel, cbMachine);
    setTabOrder(cbMachine, cbColourway);
    for (size_t i = 0; i < Boxes.size(); ++i) {
      setTabOrder(std::exchange(previous, Boxes[i]), Boxes[i]);
      if (Units[i])
        setTabOrder(std::exchange(previous, Units[i]), Units[i]);
    }
    setTabOrder(std::exchange(previous, cbBackup), cbBackup);
    setTabOrder(previous, buApply);
  }
  if (Edited)
    return;
  for (size_t i = 0; i < fields.size(); ++i) {
    Boxes[i]->setText(QString::fromStdString(fields[i].Text));
    if (Units[i])
      Units[i]->setCurrentText(QString::fromStdString(fields[i].Unit));
  }
  cbBackup->setChecked(Shown.BackupPackage);
  ShowMachines();
  buApply->setEnabled(false);
}

void TfmProduction::ShowMachines() {
  // Read again with the figures: a profile copied into the folder shows without reopening.
  const TMachineChoices choices = MachineChoices(Pattern, Shown.Machine);
  QStringList names;
  for (const std::string& name : choices.Names)
    names.push_back(QString::fromStdString(name));
  cbMachine->clear();
  cbMachine->addItems(names);
  cbMachine->setCurrentIndex(static_cast<int>(choices.Chosen));
}

void TfmProduction::Apply() {
  CommitFocusedField();
  std::vector<std::string> texts, units;
  for (size_t i = 0; i < Boxes.size(); ++i) {
    texts.push_back(Boxes[i]->text().toStdString());
    units.push_back(Units[i] ? Units[i]->currentText().toStdString() : std::string());
  }
  TProductionParameters parameters = Shown;
  parameters.BackupPackage = cbBackup->isChecked();
  parameters.Machine = MachineOfChoice(cbMachine->currentText().toStdString());
  try {
    ApplyParameterFields(Pattern, parameters, texts, units);
  } catch (const std::exception& e) {
    g.UI().ShowError(e.what());
    return;
  }
  Edited = false;
  RefreshGrids();
  // An open Check window checks against the machine just chosen.
  if (OCheckEditor* check = OCheckEditor::Of(Pattern))
    check->Begin();
}

namespace {

std::string Today() {
  return QDate::currentDate().toString(Qt::ISODate).toStdString();
}

} // namespace

void TfmProduction::SaveSheet() {
  try {
    const TSheet sheet = ProductionSheet(Pattern, Shown, Today(), cbColourway->currentIndex());
    const std::string file = AskSheetFile(Pattern);
    if (file.empty())
      return;
    OWaitCursor wait;
    SaveSheetPdf(file, sheet, Pattern);
  } catch (const std::exception& e) {
    g.UI().ShowError(e.what());
  }
}

void TfmProduction::SaveCsv() {
  try {
    const std::string file = AskFiguresFile(Pattern);
    if (file.empty())
      return;
    OWaitCursor wait;
    SaveFiguresCsv(file, Pattern, Shown, cbColourway->currentIndex());
  } catch (const std::exception& e) {
    g.UI().ShowError(e.what());
  }
}

void TfmProduction::PrintSheet() {
  try {
    const TSheet sheet = ProductionSheet(Pattern, Shown, Today(), cbColourway->currentIndex());
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(LocalPageSize());
    // A print to file proposes this name: no colon or slash in it.
    printer.setDocName(QString::fromStdString(SheetDocumentName(sheet)));
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Print Production Sheet"));
    if (dialog.exec() != QDialog::Accepted)
      return;
    OWaitCursor wait;
    PaintSheet(printer, sheet, Pattern);
  } catch (const std::exception& e) {
    g.UI().ShowError(e.what());
  }
}

void TfmProduction::Destroy() {
  Subscription.Reset();
  TfmEditorForm::Destroy();
}

} // namespace quillane
