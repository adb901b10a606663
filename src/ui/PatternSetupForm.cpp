#include "ui/PatternSetupForm.h"

#include <algorithm>

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include "model/Pattern.h"
#include "shell/DesignUI.h"
#include "ui/NumberBox.h"
#include "ui/PaletteStrip.h"
#include "ui/SetupGridView.h"

namespace quillane {

namespace {
constexpr int StripWidth = 30;
} // namespace

namespace {
TNumberBox* NumberBox(QWidget* parent, const char* name, const TNumberField& field) {
  auto* box = new TNumberBox(field, parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setAccessibleName(QString::fromStdString(field.Name));
  return box;
}

// A box's value as its rule reads it, told to the designer when refused.
std::optional<int> ReadBox(TNumberBox& box, bool takeFocus = true) {
  if (const std::optional<double> value = box.Read(takeFocus))
    return static_cast<int>(*value);
  return std::nullopt;
}

QLabel* Label(QWidget* parent, const char* text, QWidget* buddy) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setBuddy(buddy);
  return label;
}

} // namespace

TfmPatternSetup::TfmPatternSetup(OPatternSetupUI& controller)
    : TfmSetupForm(controller), Model(std::make_unique<OPatternSetupEditor>(*controller.Pattern)) {
  setObjectName(QStringLiteral("fmPatternSetup"));
  setWindowTitle(QStringLiteral("Pattern Setup"));
  OPatternSetupEditor& e = *Model;

  edNoColors = NumberBox(Panel1, "edNoColors", NoColoursField);
  edNoYarnTypes = NumberBox(Panel1, "edNoYarnTypes", NoYarnTypesField);
  cbUndefined = new QComboBox(Panel1);
  cbUndefined->setObjectName(QStringLiteral("cbUndefined"));
  cbUndefined->setAccessibleName(QStringLiteral("Undefined"));
  pbPalette = new TPaletteStrip(Panel1, e.Strip);
  pbPalette->setObjectName(QStringLiteral("pbPalette"));
  pbPalette->setFixedWidth(StripWidth);
  sgYarnTypes = new QListWidget(Panel1);
  sgYarnTypes->setObjectName(QStringLiteral("sgYarnTypes"));
  sgYarnTypes->setAccessibleName(QStringLiteral("Yarn Types"));
  sgYarnTypes->setFixedWidth(40);
  sgYarnTypes->setUniformItemSizes(true);

  sgCreel = new TSetupGridView(Panel1, e, TSetupGrid::Creel, 55, 36);
  sgMV = new TSetupGridView(Panel1, e, TSetupGrid::MachineTable, 70, 52);
  sgDV = new TSetupGridView(Panel1, e, TSetupGrid::DesignTable, 85, 52);
  sgCreel->setObjectName(QStringLiteral("sgCreel"));
  sgMV->setObjectName(QStringLiteral("sgMV"));
  sgDV->setObjectName(QStringLiteral("sgDV"));
  sgCreel->setAccessibleName(QStringLiteral("Creel"));
  sgMV->setAccessibleName(QStringLiteral("Machine Table"));
  sgDV->setAccessibleName(QStringLiteral("Design Table"));
  buRepeat = new QPushButton(QStringLiteral("Repeat"), Panel1);
  buRepeat->setObjectName(QStringLiteral("buRepeat"));
  buRepeat->setAccessibleName(QStringLiteral("Repeat"));
  edRepeatSize = NumberBox(Panel1, "edRepeatSize", RepeatSizeField);

  auto* grid = new QGridLayout(Panel1);
  grid->setContentsMargins(8, 8, 20, 8);
  grid->addWidget(pbPalette, 0, 0, 9, 1);
  auto* boxes = new QHBoxLayout;
  boxes->addWidget(Label(Panel1, "No. Colors", edNoColors));
  boxes->addWidget(edNoColors);
  boxes->addSpacing(12);
  boxes->addWidget(Label(Panel1, "No. Yarn Types", edNoYarnTypes));
  boxes->addWidget(edNoYarnTypes);
  boxes->addSpacing(12);
  boxes->addWidget(Label(Panel1, "Undefined", cbUndefined));
  boxes->addWidget(cbUndefined);
  boxes->addStretch(1);
  grid->addLayout(boxes, 0, 1, 1, 2);
  grid->addWidget(Label(Panel1, "Creel", sgCreel), 1, 1, 1, 2);
  grid->addWidget(sgYarnTypes, 2, 1, 2, 1);
  grid->addWidget(sgCreel, 2, 2);
  auto* repeat = new QHBoxLayout;
  repeat->addWidget(buRepeat);
  repeat->addWidget(edRepeatSize);
  repeat->addStretch(1);
  grid->addLayout(repeat, 3, 2);
  grid->addWidget(Label(Panel1, "Machine Table", sgMV), 4, 1, 1, 2);
  grid->addWidget(sgMV, 5, 1, 1, 2);
  DesignLabel = Label(Panel1, "Design Table", sgDV);
  DesignLabel->setObjectName(QStringLiteral("lbDesignTable"));
  grid->addWidget(DesignLabel, 6, 1, 1, 2);
  grid->addWidget(sgDV, 7, 1, 1, 2);
  grid->setRowStretch(8, 1);
  grid->setColumnStretch(2, 1);

  connect(edNoColors, &TNumberBox::editingFinished, this, [this] {
    if (Showing)
      return;
    if (const std::optional<int> n = ReadBox(*edNoColors); n && Model->SetNoColours(*n))
      RefreshGrids();
  });
  connect(edNoYarnTypes, &TNumberBox::editingFinished, this, [this] {
    if (Showing)
      return;
    if (const std::optional<int> n = ReadBox(*edNoYarnTypes); n && Model->SetNoYarnTypes(*n))
      RefreshGrids();
  });
  connect(edRepeatSize, &TNumberBox::editingFinished, this, [this] {
    if (Showing)
      return;
    if (const std::optional<int> n = ReadBox(*edRepeatSize))
      Model->SetRepeatSize(*n);
  });
  connect(cbUndefined, &QComboBox::activated, this,
          [this](int index) { Model->SetUndefinedIndex(index); });
  connect(buRepeat, &QPushButton::clicked, this, [this] {
    if (Model->RepeatWith(ReadBox(*edRepeatSize)))
      RefreshGrids();
  });
  connect(sgYarnTypes, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0)
      Model->YarnTypeRow = row;
  });
  connect(pbPalette, &TPaletteStrip::Pressed, this, [this] {
    Model->StripPressed();
    if (Model->Strip.Changed)
      RefreshGrids();
  });
  sgCreel->Pressed = [this](int c, Qt::MouseButton b) { Clicked(TSetupGrid::Creel, c, b); };
  sgCreel->Dragged = [this](int from, int to) { Redraw(Model->Drag(TSetupGrid::Creel, from, to)); };
  sgMV->Pressed = [this](int c, Qt::MouseButton b) { Clicked(TSetupGrid::MachineTable, c, b); };
  sgDV->Pressed = [this](int c, Qt::MouseButton b) { Clicked(TSetupGrid::DesignTable, c, b); };

  // Shown once, after the copies follow the pattern's counts, rather than as the editor
  // attaches and again after: each showing fills the lists and lays out the grids.
  Attaching = true;
  Attach(e);
  Attaching = false;
  Model->Refresh();
  ShowData();
  resize(760, 520);
}

TfmPatternSetup::~TfmPatternSetup() = default;

void TfmPatternSetup::Clicked(TSetupGrid grid, int column, Qt::MouseButton button) {
  const TMouseButton b = button == Qt::LeftButton ? TMouseButton::Left : TMouseButton::Right;
  Redraw(Model->Click(grid, column, b));
}

void TfmPatternSetup::Redraw(const TSetupRedraw& redraw) {
  for (const TSetupGrid grid : redraw.Grids)
    GridView(grid).Reload();
  for (const int column : redraw.DesignColumns)
    sgDV->CellChanged(OPatternSetupEditor::DesignColourRow, column);
}

void TfmPatternSetup::MakeMenus() {
  if (pmImport)
    return;
  pmImport = new QMenu(this);
  pmImport->setObjectName(QStringLiteral("pmImport"));
  pmExport = new QMenu(this);
  pmExport->setObjectName(QStringLiteral("pmExport"));
  for (const TSetupObjectItem& item : SetupObjectItems) {
    QAction* import = pmImport->addAction(QString::fromLatin1(item.Import));
    import->setObjectName(QStringLiteral("miImport") + QString::fromLatin1(item.Name));
    connect(import, &QAction::triggered, this, [this, object = item.Object] {
      Model->Import(object);
      RefreshGrids();
    });
    QAction* exported = pmExport->addAction(QString::fromLatin1(item.Export));
    exported->setObjectName(QStringLiteral("miExport") + QString::fromLatin1(item.Name));
    connect(exported, &QAction::triggered, this,
            [this, object = item.Object] { Model->Export(object); });
  }
}

void TfmPatternSetup::FillUndefined() {
  cbUndefined->setEnabled(Model->UndefinedEnabled());
  QStringList items;
  for (const std::string& item : Model->UndefinedItems())
    items.append(QString::fromStdString(item));
  cbUndefined->clear();
  cbUndefined->addItems(items);
  cbUndefined->setCurrentIndex(Model->UndefinedIndex());
}

void TfmPatternSetup::FillYarnTypes() {
  const int rows = Model->YarnTypeRows();
  if (sgYarnTypes->count() != rows) {
    QStringList letters;
    for (int y = 1; y <= rows; ++y)
      letters.append(QString::fromStdString(YarnTypeLetter(static_cast<OYarnType>(y))));
    // Added at once: one by one, the list lays itself out for each.
    sgYarnTypes->clear();
    sgYarnTypes->addItems(letters);
  }
  sgYarnTypes->setCurrentRow(Model->YarnTypeRow);
}

void TfmPatternSetup::Refresh() {
  if (!Model)
    return;
  Model->Refresh();
  FillUndefined();
  RefreshGrids();
}

void TfmPatternSetup::ShowData() {
  if (Attaching)
    return;
  Showing = true;
  edNoColors->setValue(Model->NoColours());
  edNoYarnTypes->setValue(Model->NoYarnTypes());
  edRepeatSize->setValue(Model->RepeatSize());
  FillUndefined();
  Showing = false;
  RefreshGrids();
}

void TfmPatternSetup::RefreshGrids() {
  sgCreel->Reload();
  sgMV->Reload();
  sgDV->Reload();
  const bool design = Model->DesignTableVisible();
  sgDV->setVisible(design);
  DesignLabel->setVisible(design);
  FillYarnTypes();
  pbPalette->update();
}

void TfmPatternSetup::CommitEdit() {
  // A refused box keeps its text and the working copies their counts.
  bool changed = false;
  if (const std::optional<int> n = ReadBox(*edNoColors, false))
    changed |= Model->SetNoColours(*n);
  if (const std::optional<int> n = ReadBox(*edNoYarnTypes, false))
    changed |= Model->SetNoYarnTypes(*n);
  if (changed)
    RefreshGrids();
  if (const std::optional<int> n = ReadBox(*edRepeatSize, false))
    Model->SetRepeatSize(*n);
}

QWidget* TfmPatternSetup::FirstField() {
  return edNoColors;
}

void TfmPatternSetup::ImportClick() {
  MakeMenus();
  pmImport->popup(buImport->mapToGlobal(QPoint(0, buImport->height())));
}

void TfmPatternSetup::ExportClick() {
  Apply();
  MakeMenus();
  pmExport->popup(buExport->mapToGlobal(QPoint(0, buExport->height())));
}

} // namespace quillane
