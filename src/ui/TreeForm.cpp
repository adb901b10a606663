#include "ui/TreeForm.h"

#include <algorithm>
#include <optional>
#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ImageIO.h"
#include "elements/Region.h"
#include "ui/BitmapForm.h"
#include "ui/CheckForm.h"
#include "ui/ColourwaysForm.h"
#include "ui/ControlSetupForm.h"
#include "ui/MainForm.h"
#include "ui/PatternSetupForm.h"
#include "ui/PictureForm.h"
#include "ui/PreviewForm.h"
#include "ui/ProductionForm.h"
#include "ui/RegionForm.h"
#include "ui/SectionForm.h"
#include "ui/WindowForm.h"

namespace quillane {

namespace {

constexpr int ControllerRole = Qt::UserRole;

// A node's background colour lies behind its text only, as a tree draws a marked node.
class TNodeDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    if (item.backgroundBrush.style() != Qt::NoBrush) {
      QRect text = item.rect;
      text.setWidth(std::min(text.width(), item.fontMetrics.horizontalAdvance(item.text) + 8));
      painter->fillRect(text, item.backgroundBrush);
      item.backgroundBrush = QBrush();
    }
    QStyle* style = item.widget ? item.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
  }
};

} // namespace

TfmTree::TfmTree(TfmMain& main)
    : TreeView1(new QTreeWidget(Panel1)), Main(main), buNew(AddButton("buNew", " New ")),
      buOpen(AddButton("buOpen", " Open ")), buSave(AddButton("buSave", " Save ")),
      buSaveAs(AddButton("buSaveAs", " Save As ")), buDelete(AddButton("buDelete", " Delete ")),
      buImport(AddButton("buImport", " Import ")), buExport(AddButton("buExport", " Export ")),
      buClose(AddButton("buClose", " Close ")),
      buProduction(AddToolButton(*ToolBar1, "buProduction", " &Production ", "Production")),
      buCheck(AddToolButton(*ToolBar1, "buCheck", " Chec&k ", "Check")),
      buColourways(AddToolButton(*ToolBar1, "buColourways", " Colo&urways ", "Colourways")),
      buPreview(AddToolButton(*ToolBar1, "buPreview", " Pre&view ", "Preview")),
      Watcher(new QFileSystemWatcher(this)), WatchDelay(new QTimer(this)) {
  setObjectName(QStringLiteral("fmTree"));
  setWindowTitle(QStringLiteral("Tree"));

  TreeView1->setObjectName(QStringLiteral("TreeView1"));
  TreeView1->setAccessibleName(QStringLiteral("Patterns"));
  TreeView1->setHeaderHidden(true);
  TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
  TreeView1->setExpandsOnDoubleClick(false);
  TreeView1->setUniformRowHeights(true);
  TreeView1->setItemDelegate(new TNodeDelegate(TreeView1));
  auto* layout = new QVBoxLayout(Panel1);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(TreeView1);

  // The tree's commands update the toolbar themselves.
  connect(TreeView1, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (!Changing)
      Tree->Select(ControllerOf(item));
  });
  // A click beside the nodes takes the highlight away but leaves the current node, whose
  // commands the toolbar still offers: show it selected again.
  connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, [this] {
    if (!Changing && TreeView1->selectedItems().isEmpty() && TreeView1->currentItem())
      TreeView1->currentItem()->setSelected(true);
  });
  WatchDelay->setSingleShot(true);
  WatchDelay->setInterval(300);
  connect(Watcher, &QFileSystemWatcher::fileChanged, this, [this](const QString& file) {
    if (!ChangedFiles.contains(file))
      ChangedFiles << file;
    WatchDelay->start();
  });
  connect(WatchDelay, &QTimer::timeout, this, [this] { CheckChangedFiles(); });
  connect(TreeView1, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    if (ODesignUI* node = ControllerOf(item))
      Tree->Activate(*node);
  });
  const std::pair<QToolButton*, void (OPatternTree::*)()> commands[] = {
      {buNew, &OPatternTree::RunNew},
      {buOpen, &OPatternTree::RunOpen},
      {buSave, &OPatternTree::RunSave},
      {buSaveAs, &OPatternTree::RunSaveAs},
      {buDelete, &OPatternTree::RunDelete},
      {buImport, &OPatternTree::RunImport},
      {buExport, &OPatternTree::RunExport},
      {buClose, &OPatternTree::RunClose},
      {buProduction, &OPatternTree::RunProduction},
      {buCheck, &OPatternTree::RunCheck},
      {buColourways, &OPatternTree::RunColourways},
      {buPreview, &OPatternTree::RunPreview}};
  for (const auto& [button, command] : commands)
    connect(button, &QToolButton::clicked, this, [this, run = command] { (*Tree.*run)(); });

  Main.AddForm(*this)->showMaximized();
  Tree = std::make_unique<OPatternTree>(*this, Main.Tabs);
  Tree->Select(&Tree->Root());
}

TfmTree::~TfmTree() {
  // The controllers close their editors and drop their nodes while the view still exists.
  Changing = true;
  Tree.reset();
}

ODesignUI* TfmTree::ControllerOf(const QTreeWidgetItem* item) const {
  return item ? static_cast<ODesignUI*>(item->data(0, ControllerRole).value<void*>()) : nullptr;
}

void TfmTree::AddNode(ODesignUI& node, ODesignUI* parent) {
  InsertNode(node, parent, -1);
}

void TfmTree::InsertNode(ODesignUI& node, ODesignUI* parent, int index) {
  QScopedValueRollback<bool> changing(Changing, true);
  auto found = parent ? Items.find(parent) : Items.end();
  auto* item = new QTreeWidgetItem;
  if (found == Items.end())
    TreeView1->addTopLevelItem(item);
  else if (index < 0 || index >= found->second->childCount())
    found->second->addChild(item);
  else
    found->second->insertChild(index, item);
  item->setText(0, QString::fromStdString(node.Name()));
  item->setData(0, ControllerRole, QVariant::fromValue(static_cast<void*>(&node)));
  Items[&node] = item;
  RepaintNode(node);
}

void TfmTree::Forget(QTreeWidgetItem* item) {
  for (int i = 0; i < item->childCount(); ++i)
    Forget(item->child(i));
  Items.erase(ControllerOf(item));
}

void TfmTree::DeleteNode(ODesignUI& node) {
  auto found = Items.find(&node);
  if (found == Items.end())
    return;
  QScopedValueRollback<bool> changing(Changing, true);
  QTreeWidgetItem* item = found->second;
  Forget(item);
  delete item;
}

void TfmTree::SelectNode(ODesignUI& node) {
  if (auto found = Items.find(&node); found != Items.end()) {
    QScopedValueRollback<bool> changing(Changing, true);
    TreeView1->setCurrentItem(found->second);
  }
}

void TfmTree::SetNodeText(ODesignUI& node, const std::string& text) {
  if (auto found = Items.find(&node); found != Items.end())
    found->second->setText(0, QString::fromStdString(text));
}

void TfmTree::ExpandAll() {
  TreeView1->expandAll();
}

void TfmTree::ExpandBranch(ODesignUI& node) {
  auto found = Items.find(&node);
  if (found == Items.end())
    return;
  found->second->setExpanded(true);
  TreeView1->expandRecursively(TreeView1->indexFromItem(found->second));
  for (QTreeWidgetItem* up = found->second->parent(); up; up = up->parent())
    up->setExpanded(true);
  TreeView1->scrollToItem(found->second, QAbstractItemView::PositionAtTop);
}

void TfmTree::WatchFiles(const std::vector<std::string>& files) {
  QStringList wanted;
  for (const std::string& file : files)
    if (QFileInfo::exists(QString::fromStdString(file)))
      wanted << QString::fromStdString(file);
  // Watched afresh each time: a save renames a new file over the old one, which leaves the
  // watch on a file that is gone.
  if (!Watcher->files().isEmpty())
    Watcher->removePaths(Watcher->files());
  if (!wanted.isEmpty())
    Watcher->addPaths(wanted);
}

void TfmTree::CheckChangedFiles() {
  const QStringList files = std::exchange(ChangedFiles, {});
  for (const QString& file : files)
    Tree->FileChangedOnDisk(file.toStdString());
  Tree->WatchFiles();
}

void TfmTree::RepaintNode(ODesignUI& node) {
  auto found = Items.find(&node);
  if (found == Items.end())
    return;
  found->second->setBackground(0, node.StandsOut() ? QBrush(Qt::red) : QBrush());
}

void TfmTree::ShowSelected() {
  auto found = Items.find(Tree->Selected());
  if (found == Items.end()) {
    // The selected node went: the view has already moved on to another.
    ODesignUI* shown = ControllerOf(TreeView1->currentItem());
    Tree->Select(shown); // none: the root
    found = Items.find(Tree->Selected());
  }
  QTreeWidgetItem* item = found != Items.end() ? found->second : nullptr;
  if (item && TreeView1->currentItem() != item) {
    QScopedValueRollback<bool> changing(Changing, true);
    TreeView1->setCurrentItem(item);
  }
}

void TfmTree::UpdateButtons() {
  if (!Tree)
    return;
  ShowSelected();
  TTreeButtons b = Tree->Buttons();
  buNew->setEnabled(b.New);
  buOpen->setEnabled(b.Open);
  buSave->setEnabled(b.Save);
  buSaveAs->setEnabled(b.SaveAs);
  buDelete->setEnabled(b.Delete);
  buImport->setEnabled(b.Import);
  buExport->setEnabled(b.Export);
  buClose->setEnabled(b.Close);
  buProduction->setEnabled(b.Production);
  buCheck->setEnabled(b.Check);
  buColourways->setEnabled(b.Colourways);
  buPreview->setEnabled(b.Preview);
  buImport->setText(QString::fromStdString(b.ImportCaption));
  buExport->setText(QString::fromStdString(b.ExportCaption));
  buImport->setAccessibleName(buImport->text().trimmed());
  buExport->setAccessibleName(buExport->text().trimmed());
  Main.UpdateCommands();
}

TEditorWindow TfmTree::CreateEditor(ODesignUI& controller, TEditorKind kind) {
  TfmDesignForm* form = nullptr;
  switch (kind) {
  case TEditorKind::ControlSetup:
    form = new TfmControlSetup(controller);
    break;
  case TEditorKind::PatternSetup:
    form = new TfmPatternSetup(static_cast<OPatternSetupUI&>(controller));
    break;
  case TEditorKind::Picture:
    form = new TfmPicture(static_cast<OPictureUI&>(controller));
    break;
  case TEditorKind::Region:
    form = new TfmRegion(static_cast<ORegionUI&>(controller));
    break;
  case TEditorKind::Window:
    form = new TfmWindow(static_cast<OWindowUI&>(controller));
    break;
  case TEditorKind::Section:
    form = new TfmSection(static_cast<OSectionUI&>(controller));
    break;
  case TEditorKind::Production:
    form = new TfmProduction(controller);
    break;
  case TEditorKind::Preview:
    form = new TfmPreview(static_cast<OPreviewUI&>(controller));
    break;
  case TEditorKind::Check:
    form = new TfmCheck(controller);
    break;
  case TEditorKind::Colourways:
    form = new TfmColourways(controller);
    break;
  }
  // The frame says whose window it is, in the Window menu and when tiled: two patterns'
  // editors of one kind differ by the node.
  QMdiSubWindow* window = Main.AddForm(*form);
  const QString name = QString::fromStdString(controller.Name());
  if (form->windowTitle() != name)
    window->setWindowTitle(name + QStringLiteral(" - ") + form->windowTitle());
  window->show();
  return TEditorWindow(form);
}

void TfmTree::RunBitmapImport(ORegion& region) {
  // The import paints in the view the designer is looking at, if a window shows the picture.
  std::optional<bool> machine;
  for (const OTabRegistry::TTab& tab : Main.Tabs.Tabs())
    if (const auto* window =
            dynamic_cast<const TfmWindow*>(tab.Node ? tab.Node->Editor() : nullptr);
        window && &window->Mouse().Picture == region.Picture) {
      machine = window->Mouse().View == TView::Machine;
      break;
    }
  TfmBitmap::Execute(region, &Main, machine);
}

bool TfmTree::AskExportMode(bool& machine) {
  return TfmExportMode::Ask(&Main, machine);
}

void TfmTree::SaveBitmap(const OBitmap24& bitmap, const std::string& path) {
  SaveImage(bitmap, path, false);
}

void TfmTree::closeEvent(QCloseEvent* event) {
  event->ignore();
}

} // namespace quillane
