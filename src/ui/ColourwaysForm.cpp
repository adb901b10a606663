#include "ui/ColourwaysForm.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPixmap>
#include <QScrollArea>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "ImageIO.h"
#include "app/App.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/Palette.h"
#include "shell/DesignUI.h"

namespace quillane {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QIcon SwatchIcon(uint32_t colour) {
  QPixmap pixmap(32, 16);
  pixmap.fill(QColor::fromRgb(ToQRgb(colour)));
  return QIcon(pixmap);
}

} // namespace

TColourwayBox::TColourwayBox(QWidget* parent, TfmColourways& form, OPreviewCanvas& canvas)
    : TPreviewBox(parent, canvas), Form(form) {
  setFocusPolicy(Qt::NoFocus);
  setMinimumSize(96, 64);
}

void TColourwayBox::Pan(int dx, int dy) {
  Form.PanAll(dx, dy);
}

void TColourwayBox::Zoom(int x, int y, int steps) {
  Form.ZoomAll(x, y, steps);
}

TfmColourways::TfmColourways(ODesignUI& controller)
    : TfmEditorForm(controller), lbColourways(new QListWidget(Panel1)),
      edName(new QLineEdit(Panel1)), laProblem(new QLabel(Panel1)),
      buAdd(AddButton("buAdd", " &Add ")), buDuplicate(AddButton("buDuplicate", " Dup&licate ")),
      buRename(AddButton("buRename", " &Rename ")), buDelete(AddButton("buDelete", " &Delete ")),
      buMoveUp(AddButton("buMoveUp", " Move U&p ")),
      buMoveDown(AddButton("buMoveDown", " Move D&own ")),
      buShowInViews(AddButton("buShowInViews", " &Show in Views ")),
      buMakePalette(AddButton("buMakePalette", " &Make Palette ")),
      Model(std::make_unique<OColourwaysEditor>(*controller.Pattern)) {
  setObjectName(QStringLiteral("fmColourways"));
  setWindowTitle(QStringLiteral("Colourways"));
  for (QToolButton* b : {buAdd, buDuplicate, buRename, buDelete, buMoveUp, buMoveDown,
                         buShowInViews, buMakePalette}) {
    b->setAccessibleName(b->text().remove(QLatin1Char('&')).trimmed());
    b->setFocusPolicy(Qt::StrongFocus);
  }

  lbColourways->setObjectName(QStringLiteral("lbColourways"));
  lbColourways->setAccessibleName(QStringLiteral("Colourways"));
  lbColourways->setDragDropMode(QAbstractItemView::InternalMove);
  lbColourways->setContextMenuPolicy(Qt::ActionsContextMenu);
  lbColourways->setMaximumWidth(260);
  edName->setObjectName(QStringLiteral("edName"));
  edName->setAccessibleName(QStringLiteral("Name"));
  edName->setMaxLength(static_cast<int>(MaxColourwayName));
  laProblem->setObjectName(QStringLiteral("laProblem"));
  laProblem->setAccessibleName(QStringLiteral("Problem"));
  laProblem->setWordWrap(true);
  laProblem->setStyleSheet(QStringLiteral("color: #B00020"));

  auto* name = new QLabel(QStringLiteral("&Name"), Panel1);
  name->setBuddy(edName);
  SwatchPanel = new QWidget(Panel1);
  SwatchGrid = new QGridLayout(SwatchPanel);
  auto* swatchScroll = new QScrollArea(Panel1);
  swatchScroll->setWidget(SwatchPanel);
  swatchScroll->setWidgetResizable(true);
  swatchScroll->setFocusPolicy(Qt::NoFocus);
  swatchScroll->setMaximumWidth(380);
  PreviewPanel = new QWidget(Panel1);
  PreviewGrid = new QGridLayout(PreviewPanel);
  PreviewPanel->setObjectName(QStringLiteral("pnPreviews"));
  PreviewPanel->setAccessibleName(QStringLiteral("Pile previews"));

  auto* left = new QVBoxLayout;
  left->addWidget(lbColourways, 1);
  auto* naming = new QHBoxLayout;
  naming->addWidget(name);
  naming->addWidget(edName);
  left->addLayout(naming);
  left->addWidget(swatchScroll, 2);
  left->addWidget(laProblem);
  auto* layout = new QHBoxLayout(Panel1);
  layout->addLayout(left);
  layout->addWidget(PreviewPanel, 1);

  // The list's menu, and keys for what has no key of its own.
  auto action = [this](const char* caption, QKeySequence key, auto run) {
    auto* a = new QAction(QString::fromLatin1(caption), lbColourways);
    if (!key.isEmpty()) {
      a->setShortcut(key);
      a->setShortcutContext(Qt::WidgetShortcut);
    }
    connect(a, &QAction::triggered, this, [this, run] { Say(run()); });
    lbColourways->addAction(a);
    return a;
  };
  OColourwaysEditor& e = *Model;
  action("&Add", QKeySequence(Qt::Key_Insert), [&e] { return e.Add(); });
  action("Dup&licate", QKeySequence(Qt::CTRL | Qt::Key_D), [&e] { return e.Duplicate(); });
  action("&Rename", QKeySequence(Qt::Key_F2), [this] {
    edName->setFocus();
    edName->selectAll();
    return std::string();
  });
  action("&Delete", QKeySequence(Qt::Key_Delete), [&e] { return e.Delete(); });
  action("Move U&p", QKeySequence(Qt::CTRL | Qt::Key_Up), [&e] { return e.MoveUp(); });
  action("Move D&own", QKeySequence(Qt::CTRL | Qt::Key_Down), [&e] { return e.MoveDown(); });
  action("&Show in Views", {}, [&e] {
    e.ShowInViews();
    return std::string();
  });
  action("&Make Palette", {}, [&e] { return e.MakePalette(); });

  const std::pair<QToolButton*, std::function<std::string()>> commands[] = {
      {buAdd, [&e] { return e.Add(); }},
      {buDuplicate, [&e] { return e.Duplicate(); }},
      {buRename,
       [this] {
         edName->setFocus();
         edName->selectAll();
         return std::string();
       }},
      {buDelete, [&e] { return e.Delete(); }},
      {buMoveUp, [&e] { return e.MoveUp(); }},
      {buMoveDown, [&e] { return e.MoveDown(); }},
      {buShowInViews,
       [&e] {
         e.ShowInViews();
         return std::string();
       }},
      {buMakePalette, [&e] { return e.MakePalette(); }},
  };
  for (const auto& [button, run] : commands)
    connect(button, &QToolButton::clicked, this, [this, run = run] { Say(run()); });
  connect(edName, &QLineEdit::editingFinished, this, [this] {
    if (!Filling && Model->CanRename())
      Say(Model->Rename(edName->text().toStdString()));
  });
  connect(lbColourways, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!Filling && row >= 0) {
      Say({});
      Model->Select(row);
    }
  });
  // A drag has moved the item already: the model moves the colourway, or refuses and the
  // list is filled again as the model holds it.
  connect(lbColourways->model(), &QAbstractItemModel::rowsMoved, this,
          [this](const QModelIndex&, int from, int, const QModelIndex&, int to) {
            if (Filling)
              return;
            Model->Select(from);
            const int index = to > from ? to - 1 : to;
            const std::string why = Model->MoveTo(index);
            QMetaObject::invokeMethod(
                this,
                [this, why] {
                  Say(why);
                  RefreshGrids();
                },
                Qt::QueuedConnection);
          });
  setTabOrder(lbColourways, edName);

  Model->OnChange = [this] { RefreshGrids(); };
  Subscription =
      controller.Pattern->Events.Subscribe([this](const TPatternChange& c) { Changed(c); });
  RefreshGrids();
}

TfmColourways::~TfmColourways() = default;

void TfmColourways::Say(const std::string& why) {
  laProblem->setText(Q(why));
  laProblem->setVisible(!why.empty());
}

void TfmColourways::RefreshGrids() {
  if (!Model)
    return;
  FillList();
  FillSwatches();
  FillPreviews();
  OColourwaysEditor& e = *Model;
  buDuplicate->setEnabled(e.CanAdd());
  buAdd->setEnabled(e.CanAdd());
  buRename->setEnabled(e.CanRename());
  edName->setEnabled(e.CanRename());
  buDelete->setEnabled(e.CanDelete());
  buMoveUp->setEnabled(e.CanMoveUp());
  buMoveDown->setEnabled(e.CanMoveDown());
  buMakePalette->setEnabled(e.CanMakePalette());
  buShowInViews->setEnabled(!e.ShownInViews());
}

void TfmColourways::FillList() {
  Filling = true;
  const int count = Model->Count();
  while (lbColourways->count() > count)
    delete lbColourways->takeItem(lbColourways->count() - 1);
  for (int i = 0; i < count; ++i) {
    if (i >= lbColourways->count())
      lbColourways->addItem(QString());
    QListWidgetItem* item = lbColourways->item(i);
    QString caption = Q(Model->Caption(i));
    if (i == Model->Pattern.ShownColourway() && i > 0)
      caption += QStringLiteral("  [shown]");
    item->setText(caption);
    // The Original stays first: it is not dragged.
    item->setFlags(i == 0 ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                          : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
  }
  lbColourways->setCurrentRow(Model->Selected());
  if (!edName->hasFocus())
    edName->setText(Q(Model->At(Model->Selected()).Name));
  Filling = false;
}

void TfmColourways::FillSwatches() {
  const std::vector<TYarnSwatch> swatches = Model->Swatches();
  while (Swatches.size() < swatches.size()) {
    const int y = static_cast<int>(Swatches.size()) + 1;
    const QString yarn = QStringLiteral("Yarn ") + Q(YarnTypeLetter(static_cast<OYarnType>(y)));
    TSwatchRow row{new QLabel(yarn, SwatchPanel), new QToolButton(SwatchPanel),
                   new QLineEdit(SwatchPanel), new QLabel(SwatchPanel)};
    row.Swatch->setObjectName(QStringLiteral("buSwatch%1").arg(y));
    row.Swatch->setAccessibleName(yarn + QStringLiteral(" colour"));
    row.Swatch->setFocusPolicy(Qt::StrongFocus);
    row.Swatch->setIconSize(QSize(32, 16));
    row.Text->setObjectName(QStringLiteral("edYarn%1").arg(y));
    row.Text->setAccessibleName(yarn + QStringLiteral(" colour or shade code"));
    row.Text->setPlaceholderText(QStringLiteral("#RRGGBB or shade code"));
    row.Close->setObjectName(QStringLiteral("laClose%1").arg(y));
    row.Close->setAccessibleName(yarn + QStringLiteral(" look-alike"));
    row.Close->setStyleSheet(QStringLiteral("color: #B00020"));
    row.Name->setBuddy(row.Text);
    SwatchGrid->addWidget(row.Name, y - 1, 0);
    SwatchGrid->addWidget(row.Swatch, y - 1, 1);
    SwatchGrid->addWidget(row.Text, y - 1, 2);
    SwatchGrid->addWidget(row.Close, y - 1, 3);
    connect(row.Swatch, &QToolButton::clicked, this, [this, y] { PickColour(y); });
    QLineEdit* text = row.Text;
    connect(row.Text, &QLineEdit::editingFinished, this, [this, y, text] {
      if (Filling || !text->isModified())
        return;
      text->setModified(false);
      Say(Model->Enter(y, text->text().toStdString()));
      RefreshGrids();
    });
    Swatches.push_back(row);
    // The rows stand at the top, whatever their number.
    SwatchGrid->setRowStretch(y - 1, 0);
    SwatchGrid->setRowStretch(y, 1);
  }
  for (size_t i = 0; i < Swatches.size(); ++i) {
    const bool shown = i < swatches.size();
    TSwatchRow& row = Swatches[i];
    for (QWidget* w : {static_cast<QWidget*>(row.Name), static_cast<QWidget*>(row.Swatch),
                       static_cast<QWidget*>(row.Text), static_cast<QWidget*>(row.Close)})
      w->setVisible(shown);
    if (!shown)
      continue;
    const TYarnSwatch& s = swatches[i];
    row.Swatch->setIcon(SwatchIcon(s.Colour));
    row.Swatch->setToolTip(Q(HexColour(s.Colour)));
    if (!row.Text->hasFocus() || !row.Text->isModified())
      row.Text->setText(s.Code.empty() ? Q(HexColour(s.Colour)) : Q(s.Code));
    row.Close->setText(Q(s.Close));
  }
  // Down the list, then each yarn type's swatch and field in turn.
  QWidget* previous = edName;
  for (size_t i = 0; i < swatches.size(); ++i) {
    setTabOrder(previous, Swatches[i].Swatch);
    setTabOrder(Swatches[i].Swatch, Swatches[i].Text);
    previous = Swatches[i].Text;
  }
}

void TfmColourways::PickColour(int yarnType) {
  const std::vector<TYarnSwatch> swatches = Model->Swatches();
  if (yarnType < 1 || yarnType > static_cast<int>(swatches.size()))
    return;
  uint32_t colour = swatches[static_cast<size_t>(yarnType - 1)].Colour;
  if (g.UI().RunColourDialog(colour))
    Say(Model->SetYarnColour(yarnType, colour));
}

void TfmColourways::FillPreviews() {
  std::vector<std::string> names;
  for (int i = 0; i < Model->Count(); ++i)
    names.push_back(Model->At(i).Name);
  if (names == PreviewNames) {
    ColourPreviews();
    return;
  }
  PreviewNames = names;
  // Each cell a layout of its caption over its preview: both go with it.
  while (QLayoutItem* item = PreviewGrid->takeAt(0)) {
    if (QLayout* cell = item->layout())
      while (QLayoutItem* part = cell->takeAt(0)) {
        delete part->widget();
        delete part;
      }
    delete item->widget();
    delete item;
  }
  Previews.clear();
  Carpets.clear();
  const int count = static_cast<int>(names.size());
  const int columns = count <= 1 ? 1 : count <= 4 ? 2 : count <= 9 ? 3 : 4;
  std::string problem;
  const std::vector<TPile> piles = PreviewPilesBeside(Model->Pattern, problem, &g.Persist());
  for (int i = 0; i < count; ++i) {
    TPreviewOf carpet;
    carpet.Carpet = std::make_unique<OPreview>(Model->Pattern);
    carpet.Carpet->SetPiles(piles);
    carpet.Canvas = std::make_unique<OPreviewCanvas>(*carpet.Carpet);
    auto* box = new TColourwayBox(PreviewPanel, *this, *carpet.Canvas);
    box->setObjectName(QStringLiteral("pbColourway%1").arg(i + 1));
    box->setAccessibleName(Q(names[static_cast<size_t>(i)]) + QStringLiteral(" pile preview"));
    auto* caption = new QLabel(Q(names[static_cast<size_t>(i)]), PreviewPanel);
    auto* cell = new QVBoxLayout;
    cell->addWidget(caption);
    cell->addWidget(box, 1);
    PreviewGrid->addLayout(cell, i / columns, i % columns);
    Previews.push_back(box);
    Carpets.push_back(std::move(carpet));
  }
  ColourPreviews(true);
}

void TfmColourways::ColourPreviews(bool all) {
  for (size_t i = 0; i < Carpets.size() && i < Previews.size(); ++i) {
    const std::array<uint32_t, 256> colours =
        ColoursOf(Model->At(static_cast<int>(i)), *Model->Pattern.Palette);
    if (!all && colours == Carpets[i].Colours)
      continue;
    Carpets[i].Colours = colours;
    Carpets[i].Carpet->SetColours(colours);
    Carpets[i].Canvas->DrawAll();
    Previews[i]->update();
  }
}

void TfmColourways::PanAll(int dx, int dy) {
  for (TColourwayBox* box : Previews)
    if (const auto [x, y] = box->Canvas.Pan(dx, dy); x || y)
      box->update();
}

void TfmColourways::ZoomAll(int x, int y, int steps) {
  for (TColourwayBox* box : Previews) {
    box->Canvas.ZoomAt(x, y, steps);
    box->update();
  }
}

void TfmColourways::Changed(const TPatternChange& change) {
  using K = TPatternChange::TKind;
  if (change.Kind == K::Cells) {
    for (TColourwayBox* box : Previews)
      for (const TPixelRect& r : box->Canvas.CellsChanged(change.Area))
        box->update(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top));
  } else if (change.Kind == K::All || change.Kind == K::Setup) {
    for (TPreviewOf& carpet : Carpets)
      carpet.Carpet->Refresh();
    ColourPreviews(true);
  }
}

void TfmColourways::Destroy() {
  Subscription.Reset();
  Model->OnChange = nullptr;
  TfmEditorForm::Destroy();
}

} // namespace quillane
