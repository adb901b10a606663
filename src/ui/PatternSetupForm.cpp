#include "ui/PatternSetupForm.h"

#include <algorithm>
#include <functional>

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>

#include "ImageIO.h"
#include "model/Pattern.h"
#include "shell/DesignUI.h"
#include "ui/PaletteStrip.h"

namespace quillane {

namespace {
constexpr int RowHeight = 20;
constexpr int StripWidth = 30;

// Dark text on light fills, light text on dark ones.
QColor TextOn(uint32_t fill) {
  const int r = fill & 0xFF, g = fill >> 8 & 0xFF, b = fill >> 16 & 0xFF;
  return r * 299 + g * 587 + b * 114 < 128000 ? Qt::white : Qt::black;
}
} // namespace

// One grid's cells as the view asks for them; column 0 is the grid's first combination,
// the title column being the vertical header.
class TSetupGridModel : public QAbstractTableModel {
public:
  TSetupGridModel(QObject* parent, const OPatternSetupEditor& editor, TSetupGrid grid)
      : QAbstractTableModel(parent), Editor(editor), Grid(grid) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : OPatternSetupEditor::RowCount(Grid);
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : Columns;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    QModelRoleData one(role);
    multiData(index, one);
    return one.data();
  }
  // The view asks for several roles of a cell at once: the cell is worked out once.
  void multiData(const QModelIndex& index, QModelRoleDataSpan roles) const override {
    const TSetupCell cell = Editor.Cell(Grid, index.row(), index.column() + 1);
    for (QModelRoleData& r : roles) {
      switch (r.role()) {
      case Qt::DisplayRole:
        r.setData(QString::fromStdString(cell.Text));
        break;
      case Qt::TextAlignmentRole:
        r.setData(int(Qt::AlignCenter));
        break;
      case Qt::BackgroundRole:
        if (cell.Coloured)
          r.setData(QColor::fromRgb(ToQRgb(cell.Fill)));
        else if (cell.Grey)
          r.setData(QColor(128, 128, 128));
        else
          r.clearData();
        break;
      case Qt::ForegroundRole:
        if (cell.Coloured)
          r.setData(TextOn(cell.Fill));
        else
          r.clearData();
        break;
      default:
        r.clearData();
      }
    }
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
      return QString::fromLatin1(OPatternSetupEditor::RowTitle(Grid, section));
    return {};
  }
  TSetupCell CellAt(const QModelIndex& index) const {
    return Editor.Cell(Grid, index.row(), index.column() + 1);
  }
  // One cell changed: the view draws that cell again, if it shows it.
  void CellChanged(int row, int column) {
    const QModelIndex at = index(row, column - 1);
    emit dataChanged(at, at);
  }
  // A changed column count resets the view; otherwise only what it shows is drawn again.
  void Reload() {
    const int columns = Editor.ColumnCount(Grid) - 1;
    if (columns != Columns) {
      beginResetModel();
      Columns = columns;
      endResetModel();
    } else if (Columns > 0) {
      emit dataChanged(index(0, 0), index(rowCount({}) - 1, Columns - 1));
    }
  }

private:
  const OPatternSetupEditor& Editor;
  TSetupGrid Grid;
  int Columns = 0;
};

// Draws a cell straight from the editor's answer: its fill, its text centred on one line
// (laid out once per distinct text), and the focus frame.
class TSetupCellDelegate : public QStyledItemDelegate {
public:
  TSetupCellDelegate(QObject* parent, const TSetupGridModel& model)
      : QStyledItemDelegate(parent), Model(model) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const TSetupCell cell = Model.CellAt(index);
    const QRect box = option.rect;
    if (cell.Coloured)
      painter->fillRect(box, QColor::fromRgb(ToQRgb(cell.Fill)));
    else if (cell.Grey)
      painter->fillRect(box, QColor(128, 128, 128));
    else
      painter->fillRect(box, option.palette.base());
    if (!cell.Text.empty()) {
      const QStaticText& text = Laid(QString::fromStdString(cell.Text), option.font);
      const QSizeF size = text.size();
      painter->save();
      painter->setClipRect(box);
      painter->setFont(option.font);
      painter->setPen(cell.Coloured ? TextOn(cell.Fill) : option.palette.text().color());
      painter->drawStaticText(QPointF(box.x() + (box.width() - size.width()) / 2,
                                      box.y() + (box.height() - size.height()) / 2),
                              text);
      painter->restore();
    }
    if (option.state & QStyle::State_HasFocus) {
      QStyleOptionFocusRect focus;
      focus.QStyleOption::operator=(option);
      focus.rect = box.adjusted(1, 1, -1, -1);
      const QWidget* view = option.widget;
      (view ? view->style() : QApplication::style())
          ->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, view);
    }
  }

private:
  const TSetupGridModel& Model;
  mutable QHash<QString, QStaticText> Texts;
  const QStaticText& Laid(const QString& s, const QFont& font) const {
    auto it = Texts.find(s);
    if (it == Texts.end()) {
      it = Texts.insert(s, QStaticText(s));
      it->setTextFormat(Qt::PlainText);
      it->prepare(QTransform(), font);
    }
    return *it;
  }
};

// A grid of uniform fixed sections that reports which column a mouse button pressed.
class TSetupGridView : public QTableView {
public:
  TSetupGridView(QWidget* parent, TSetupGridModel* model, int titleWidth, int columnWidth)
      : QTableView(parent) {
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    horizontalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setDefaultSectionSize(columnWidth);
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(RowHeight);
    // At least the given width, and wide enough for the titles in the font in use.
    const int rows = model->rowCount({});
    const QFontMetrics metrics(verticalHeader()->font());
    for (int r = 0; r < rows; ++r)
      titleWidth =
          std::max(titleWidth, metrics.horizontalAdvance(
                                   model->headerData(r, Qt::Vertical, Qt::DisplayRole).toString()) +
                                   12);
    verticalHeader()->setFixedWidth(titleWidth);
    verticalHeader()->setSectionsClickable(false);
    // Sized before the columns exist: sizing them afterwards visits every one of them.
    setModel(model);
    setItemDelegate(new TSetupCellDelegate(this, *model));
    setFixedHeight(rows * RowHeight + horizontalScrollBar()->sizeHint().height() +
                   2 * frameWidth());
  }
  std::function<void(int column, Qt::MouseButton button)> Pressed;

protected:
  void mousePressEvent(QMouseEvent* event) override {
    const QModelIndex at = indexAt(event->position().toPoint());
    QTableView::mousePressEvent(event);
    if (at.isValid() && Pressed)
      Pressed(at.column() + 1, event->button());
  }
};

namespace {
QSpinBox* NumberBox(QWidget* parent, const char* name, const char* label, int lowest, int highest) {
  auto* box = new QSpinBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setAccessibleName(QString::fromLatin1(label));
  box->setRange(lowest, highest);
  box->setKeyboardTracking(false);
  return box;
}

QLabel* Label(QWidget* parent, const char* text, QWidget* buddy) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setBuddy(buddy);
  return label;
}

struct TObjectItem {
  TSetupObject Object;
  const char* Name;
  const char* Import;
  const char* Export;
};
constexpr TObjectItem ObjectItems[] = {
    {TSetupObject::Creel, "Creel", "Import Creel Data", "Export Creel Data"},
    {TSetupObject::DesignTable, "DesignTable", "Import Design Table Data",
     "Export Design Table Data"},
    {TSetupObject::MachineTable, "MachineTable", "Import Machine Table Data",
     "Export Machine Table Data"},
    {TSetupObject::Palette, "Palette", "Import Palette Data", "Export Palette Data"},
};
} // namespace

TfmPatternSetup::TfmPatternSetup(OPatternSetupUI& controller)
    : TfmSetupForm(controller), Model(std::make_unique<OPatternSetupEditor>(*controller.Pattern)) {
  setObjectName(QStringLiteral("fmPatternSetup"));
  setWindowTitle(QStringLiteral("Pattern Setup"));
  OPatternSetupEditor& e = *Model;

  edNoColors = NumberBox(Panel1, "edNoColors", "No. Colors", OPatternSetupEditor::MinColours,
                         OPatternSetupEditor::MaxColours);
  edNoYarnTypes = NumberBox(Panel1, "edNoYarnTypes", "No. Yarn Types",
                            OPatternSetupEditor::MinYarnTypes, OPatternSetupEditor::MaxYarnTypes);
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

  CreelCells = new TSetupGridModel(this, e, TSetupGrid::Creel);
  MachineCells = new TSetupGridModel(this, e, TSetupGrid::MachineTable);
  DesignCells = new TSetupGridModel(this, e, TSetupGrid::DesignTable);
  CreelCells->Reload();
  MachineCells->Reload();
  DesignCells->Reload();
  auto* creel = new TSetupGridView(Panel1, CreelCells, 55, 36);
  auto* machine = new TSetupGridView(Panel1, MachineCells, 70, 52);
  auto* design = new TSetupGridView(Panel1, DesignCells, 85, 52);
  sgCreel = creel;
  sgMV = machine;
  sgDV = design;
  creel->setObjectName(QStringLiteral("sgCreel"));
  machine->setObjectName(QStringLiteral("sgMV"));
  design->setObjectName(QStringLiteral("sgDV"));
  sgCreel->setAccessibleName(QStringLiteral("Creel"));
  sgMV->setAccessibleName(QStringLiteral("Machine Table"));
  sgDV->setAccessibleName(QStringLiteral("Design Table"));
  buRepeat = new QPushButton(QStringLiteral("Repeat"), Panel1);
  buRepeat->setObjectName(QStringLiteral("buRepeat"));
  buRepeat->setAccessibleName(QStringLiteral("Repeat"));
  edRepeatSize =
      NumberBox(Panel1, "edRepeatSize", "Repeat Size", 0, OPatternSetupEditor::MaxRepeatSize);

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
  auto* designLabel = Label(Panel1, "Design Table", sgDV);
  designLabel->setObjectName(QStringLiteral("lbDesignTable"));
  grid->addWidget(designLabel, 6, 1, 1, 2);
  grid->addWidget(sgDV, 7, 1, 1, 2);
  grid->setRowStretch(8, 1);
  grid->setColumnStretch(2, 1);

  pmImport = new QMenu(this);
  pmImport->setObjectName(QStringLiteral("pmImport"));
  pmExport = new QMenu(this);
  pmExport->setObjectName(QStringLiteral("pmExport"));
  for (const TObjectItem& item : ObjectItems) {
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

  connect(edNoColors, &QSpinBox::editingFinished, this, [this] {
    if (!Showing && Model->SetNoColours(edNoColors->value()))
      RefreshGrids();
  });
  connect(edNoYarnTypes, &QSpinBox::editingFinished, this, [this] {
    if (!Showing && Model->SetNoYarnTypes(edNoYarnTypes->value()))
      RefreshGrids();
  });
  connect(edRepeatSize, &QSpinBox::editingFinished, this, [this] {
    if (!Showing)
      Model->SetRepeatSize(edRepeatSize->value());
  });
  connect(cbUndefined, &QComboBox::activated, this,
          [this](int index) { Model->SetUndefinedIndex(index); });
  connect(buRepeat, &QPushButton::clicked, this, [this] {
    Model->SetRepeatSize(edRepeatSize->value());
    Model->Repeat();
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
  creel->Pressed = [this](int c, Qt::MouseButton b) { Clicked(TSetupGrid::Creel, c, b); };
  machine->Pressed = [this](int c, Qt::MouseButton b) { Clicked(TSetupGrid::MachineTable, c, b); };
  design->Pressed = [this](int c, Qt::MouseButton b) { Clicked(TSetupGrid::DesignTable, c, b); };

  Attach(e);
  Refresh();
  resize(760, 520);
}

TfmPatternSetup::~TfmPatternSetup() = default;

void TfmPatternSetup::Clicked(TSetupGrid grid, int column, Qt::MouseButton button) {
  const TMouseButton b = button == Qt::LeftButton ? TMouseButton::Left : TMouseButton::Right;
  if (!Model->Click(grid, column, b))
    return;
  // A creel click changes the pairs the design table greys; a machine table click the
  // creel's colours.
  if (grid == TSetupGrid::Creel) {
    CreelCells->Reload();
    DesignCells->Reload();
  } else if (grid == TSetupGrid::MachineTable) {
    MachineCells->Reload();
    CreelCells->Reload();
  } else {
    // Only the colours of the column and its mirror changed.
    DesignCells->CellChanged(4, column);
    DesignCells->CellChanged(4, Model->MirrorColumn(column));
  }
}

void TfmPatternSetup::FillUndefined() {
  cbUndefined->setEnabled(Model->UndefinedEnabled());
  cbUndefined->clear();
  for (const std::string& item : Model->UndefinedItems())
    cbUndefined->addItem(QString::fromStdString(item));
  cbUndefined->setCurrentIndex(Model->UndefinedIndex());
}

void TfmPatternSetup::FillYarnTypes() {
  const int rows = Model->YarnTypeRows();
  if (sgYarnTypes->count() != rows) {
    sgYarnTypes->clear();
    for (int y = 1; y <= rows; ++y)
      sgYarnTypes->addItem(QString::fromStdString(YarnTypeLetter(static_cast<OYarnType>(y))));
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
  if (!Model)
    return; // the editor shows its first data while it is being made
  Showing = true;
  edNoColors->setValue(Model->NoColours());
  edNoYarnTypes->setValue(Model->NoYarnTypes());
  edRepeatSize->setValue(Model->RepeatSize());
  FillUndefined();
  Showing = false;
  RefreshGrids();
}

void TfmPatternSetup::RefreshGrids() {
  CreelCells->Reload();
  MachineCells->Reload();
  DesignCells->Reload();
  const bool design = Model->DesignTableVisible();
  sgDV->setVisible(design);
  if (auto* label = Panel1->findChild<QLabel*>(QStringLiteral("lbDesignTable")))
    label->setVisible(design);
  FillYarnTypes();
  pbPalette->update();
}

void TfmPatternSetup::CommitEdit() {
  if (Model->SetNoColours(edNoColors->value()) | Model->SetNoYarnTypes(edNoYarnTypes->value()))
    RefreshGrids();
  Model->SetRepeatSize(edRepeatSize->value());
}

void TfmPatternSetup::ImportClick() {
  pmImport->popup(buImport->mapToGlobal(QPoint(0, buImport->height())));
}

void TfmPatternSetup::ExportClick() {
  Apply();
  pmExport->popup(buExport->mapToGlobal(QPoint(0, buExport->height())));
}

} // namespace quillane
