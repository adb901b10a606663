#include "ui/MainForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <type_traits>
#include <utility>

#include "app/App.h"
#include "files/CmcFile.h"
#include "files/NedFile.h"
#include "files/TuftImport.h"
#include "model/Pattern.h"
#include "shell/DesignUI.h"
#include "shell/MainCommands.h"
#include "shell/RecentPatterns.h"
#include "shell/Recovery.h"
#include "ui/AboutForm.h"
#include "ui/HelpForm.h"
#include "ui/HistoryForm.h"
#include "ui/PreferencesForm.h"
#include "ui/TreeForm.h"
#include "ui/UndoActions.h"
#include "ui/wizards/Wizard1Form.h"
#include "ui/wizards/Wizard2Form.h"
#include "ui/wizards/Wizard3Form.h"
#include "ui/wizards/Wizard4Form.h"
#include "ui/wizards/Wizard5Form.h"

namespace quillane {

namespace {

std::string ProgramDir() {
  return QCoreApplication::applicationDirPath().toStdString();
}

// A command of the menus or the toolbar: a failure nothing else reported is shown, never
// let loose in Qt's event loop.
template <typename TRun> auto Guarded(TRun run) {
  return [run] {
    try {
      run();
    } catch (const std::exception& e) {
      g.UI().ShowError(e.what());
    }
  };
}

// A wizard dialog, made for this one use and freed when it returns; what it built joins
// the tree.
template <class TForm> void RunWizard(TfmMain& main, OPatternTree& tree) {
  TForm form(&main);
  if (form.exec() != QDialog::Accepted)
    return;
  if (std::unique_ptr<OPattern> pattern = form.TakePattern())
    tree.AddPattern(std::move(pattern));
}

// A small patch of tufted cells in diagonal stripes.
QIcon ProgramIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  const QColor yarns[] = {QColor(176, 58, 46), QColor(224, 164, 58), QColor(46, 111, 142),
                          QColor(242, 232, 213)};
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column)
      painter.fillRect(column * 8, row * 8, 7, 7, yarns[(row + column) % 4]);
  return QIcon(pixmap);
}

} // namespace

namespace {

// A modal dialog that closes hands the keyboard back to the window it was over. A window
// manager does that, but without one (a bare X server, a kiosk) the focus went with the
// dialog: the menus' shortcuts, which act in the active window only, did nothing until
// the designer clicked into the program again.
class TDialogCloseWatch : public QObject {
public:
  explicit TDialogCloseWatch(QWidget& main) : QObject(&main), Main(main) {}

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide)
      if (auto* dialog = qobject_cast<QDialog*>(watched); dialog && dialog->isModal())
        QTimer::singleShot(0, &Main, [main = &Main] {
          if (!QApplication::activeWindow() && !QApplication::activeModalWidget() &&
              main->isVisible())
            main->activateWindow();
        });
    return false;
  }

private:
  QWidget& Main;
};

} // namespace

TfmMain::TfmMain()
    : Tabs(this), ToolBar1(new QToolBar(this)), tcMain(new QTabBar(this)),
      MdiArea(new QMdiArea(this)), StatusPanel(new QLabel(this)), FolderPanel(new QLabel(this)),
      RecoveryTimer(new QTimer(this)) {
  setObjectName(QStringLiteral("fmMain"));
  setAcceptDrops(true);
  qApp->installEventFilter(new TDialogCloseWatch(*this));
  connect(RecoveryTimer, &QTimer::timeout, this, [this] { WriteRecovery(); });
  setWindowTitle(QStringLiteral("Quillane"));
  setWindowIcon(ProgramIcon());
  resize(805, 557);

  CreateMenus();
  CreateToolBar();

  tcMain->setObjectName(QStringLiteral("tcMain"));
  tcMain->setAccessibleName(QStringLiteral("Windows"));
  tcMain->setDocumentMode(true);
  tcMain->setExpanding(false);
  tcMain->setFocusPolicy(Qt::TabFocus);
  MdiArea->setObjectName(QStringLiteral("MdiArea"));
  MdiArea->setAccessibleName(QStringLiteral("Windows area"));
  MdiArea->setFocusPolicy(Qt::NoFocus);
  auto* client = new QWidget(this);
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(tcMain);
  layout->addWidget(MdiArea, 1);
  setCentralWidget(client);

  auto* sbMain = statusBar();
  sbMain->setObjectName(QStringLiteral("sbMain"));
  StatusPanel->setObjectName(QStringLiteral("sbMainMessage"));
  StatusPanel->setAccessibleName(QStringLiteral("Message"));
  StatusPanel->setMinimumWidth(200);
  FolderPanel->setObjectName(QStringLiteral("sbMainFolder"));
  FolderPanel->setAccessibleName(QStringLiteral("Current folder"));
  FolderPanel->setMinimumWidth(300);
  for (QLabel* panel : {StatusPanel, FolderPanel}) {
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    panel->setContentsMargins(4, 0, 4, 0);
  }
  sbMain->addWidget(StatusPanel);
  sbMain->addWidget(FolderPanel, 1);

  // A click on a tab, even on the selected one, brings its window to the front.
  connect(tcMain, &QTabBar::currentChanged, this, [this](int index) {
    if (index >= 0)
      Tabs.SelectTab(static_cast<size_t>(index));
  });
  connect(tcMain, &QTabBar::tabBarClicked, this, [this](int index) {
    if (index >= 0)
      Tabs.SelectTab(static_cast<size_t>(index));
  });
  connect(MdiArea, &QMdiArea::subWindowActivated, this, [this] { ActiveFormChanged(); });

  // Tab runs along the toolbar, then to the tabs and into the windows.
  setTabOrder(ToolBar1->findChild<QToolButton*>(QStringLiteral("buFolder")), tcMain);
  TreeForm = new TfmTree(*this);
  Tabs.AddTree(*TreeForm);
  UpdateCommands();
}

TfmMain::~TfmMain() {
  // Closing the patterns here is no clean close: what a clean close did not remove stays.
  TreeForm->Patterns().KeepRecovery(nullptr);
  RecoveryCopies.reset();
  MdiArea->disconnect(this);
  tcMain->disconnect(this);
  // The patterns' controllers close their editors and drop their tabs while every window
  // still exists.
  TreeForm->Patterns().CloseAllUnasked();
  // Gone from here on for everything the tree's own end calls back to.
  TfmTree* tree = std::exchange(TreeForm, nullptr);
  delete tree->SubWindow();
  Tabs.SetView(nullptr);
}

QMdiSubWindow* TfmMain::AddForm(TfmDesignForm& form) {
  // Not deleted on close, as the area would have it: the form's controller frees the window
  // (Destroy), its one owner.
  QMdiSubWindow* window = MdiArea->addSubWindow(&form);
  window->setAttribute(Qt::WA_DeleteOnClose, false);
  // Ctrl+W is the File menu's Close Window, which leaves the tree open; the window's own
  // Close would make the key ambiguous, and neither would run.
  if (QMenu* menu = window->systemMenu())
    for (QAction* action : menu->actions()) {
      QList<QKeySequence> keys = action->shortcuts();
      if (keys.removeAll(QKeySequence(Qt::CTRL | Qt::Key_W)) > 0)
        action->setShortcuts(keys);
    }
  return window;
}

void TfmMain::CreateMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));
  auto menu = [bar](const char* name, const char* caption) {
    QMenu* m = bar->addMenu(QString::fromLatin1(caption));
    m->setObjectName(QString::fromLatin1(name));
    return m;
  };
  auto item = [](QMenu* m, const char* name, const char* caption, auto run) {
    QAction* a = m->addAction(QString::fromLatin1(caption));
    a->setObjectName(QString::fromLatin1(name));
    if constexpr (std::is_same_v<decltype(run), std::nullptr_t>)
      a->setEnabled(false);
    else
      QObject::connect(a, &QAction::triggered, m, Guarded(run));
    return a;
  };
  auto patterns = [this]() -> OPatternTree& { return TreeForm->Patterns(); };
  auto addImported = [patterns](std::unique_ptr<OPattern> pattern) {
    if (pattern)
      patterns().AddPattern(std::move(pattern));
  };

  auto keys = [](QAction* action, const QKeySequence& sequence) { action->setShortcut(sequence); };

  QMenu* file = menu("miFile", "  &File");
  keys(item(file, "miNewPattern", "&New Pattern", [patterns] { patterns().Root().New(); }),
       QKeySequence::New);
  keys(item(file, "miOpenPattern", "&Open Pattern", [patterns] { patterns().Root().Open(); }),
       QKeySequence::Open);
  file->addSeparator();
  RecentMenu = file->addMenu(QStringLiteral("&Recent Patterns"));
  RecentMenu->setObjectName(QStringLiteral("miRecentPatterns"));
  connect(file, &QMenu::aboutToShow, this, [this] {
    ListRecentPatterns();
    miProduction->setEnabled(TreeForm && TreeForm->Patterns().Buttons().Production);
    miCheck->setEnabled(TreeForm && TreeForm->Patterns().Buttons().Check);
    miColourways->setEnabled(TreeForm && TreeForm->Patterns().Buttons().Colourways);
  });
  miSavePattern =
      item(file, "miSavePattern", "Save &Pattern", [patterns] { patterns().SaveActive(); });
  keys(miSavePattern, QKeySequence::Save);
  miSavePatternAs =
      item(file, "miSavePatternAs", "Save Pattern &As", [patterns] { patterns().SaveActiveAs(); });
  keys(miSavePatternAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  miCloseWindow = item(file, "miCloseWindow", "Close &Window", [this] { CloseActiveEditor(); });
  keys(miCloseWindow, QKeySequence(Qt::CTRL | Qt::Key_W));
  file->addSeparator();
  miCloseAllPatterns = item(file, "miCloseAllPatterns", "&Close All Patterns",
                            [patterns] { patterns().CloseAll(); });
  file->addSeparator();
  miSaveAllPatterns =
      item(file, "miSaveAllPatterns", "&Save All Patterns", [patterns] { patterns().SaveAll(); });
  file->addSeparator();
  miProduction =
      item(file, "miProduction", "Pro&duction", [patterns] { patterns().RunProduction(); });
  miCheck = item(file, "miCheck", "Chec&k", [patterns] { patterns().RunCheck(); });
  miColourways =
      item(file, "miColourways", "Colo&urways...", [patterns] { patterns().RunColourways(); });
  file->addSeparator();
  item(file, "miExplorer", "&Explorer", [] { OpenExplorer(); });
  item(file, "miFolder", "&Folder", [] { ChooseFolder(); });
  file->addSeparator();
  item(file, "miExit", "E&xit", [this] { close(); });

  QMenu* edit = menu("miEdit", "&Edit");
  UndoActions = new TUndoActions(*edit, *this, patterns);
  item(edit, "miHistory", "&History...", [this, patterns] {
    if (!HistoryWindow)
      HistoryWindow = new TfmHistory(*this, patterns);
    HistoryWindow->ShowUp();
  });
  edit->addSeparator();
  item(edit, "miPreferences", "&Preferences", [this] { EditPreferences(); });

  QMenu* wizards = menu("miWizards", "Wi&zards");
  item(wizards, "miNewPlainPattern", "New &Pattern",
       [this, patterns] { RunWizard<TfmWizard1>(*this, patterns()); });
  item(wizards, "miNewRugPattern", "New &Rug Pattern",
       [this, patterns] { RunWizard<TfmWizard2>(*this, patterns()); });
  item(wizards, "miNewCarpetPattern", "New &Carpet Pattern",
       [this, patterns] { RunWizard<TfmWizard3>(*this, patterns()); });
  item(wizards, "miNewHalfDropPattern", "New &Half Drop Pattern",
       [this, patterns] { RunWizard<TfmWizard4>(*this, patterns()); });
  item(wizards, "miImportTuft", "New Pattern From &Orlek Control File (.TUF)",
       [addImported] { addImported(ImportTuftControlFile()); });
  item(wizards, "miImportCmc", "New Pattern From C&MC Control File (.CAR)",
       [addImported] { addImported(ImportCmcControlFile()); });
  item(wizards, "miImportNed", "New Pattern From &NED Graphics Pattern File (.PAT)",
       [addImported] { addImported(ImportNedPatternFile()); });
  item(wizards, "miNewRepeatsPattern", "New Pattern With R&epeats",
       [this, patterns] { RunWizard<TfmWizard5>(*this, patterns()); });

  WindowMenu = menu("miWindow", "&Window");
  item(WindowMenu, "miTile", "&Tile", [this] { MdiArea->tileSubWindows(); });
  item(WindowMenu, "miCascade", "&Cascade", [this] { MdiArea->cascadeSubWindows(); });
  item(WindowMenu, "miArrangeIcons", "&Arrange Icons", [this] { ArrangeIcons(); });
  item(WindowMenu, "miCloseAll", "Cl&ose All", [this] { MdiArea->closeAllSubWindows(); });
  connect(WindowMenu, &QMenu::aboutToShow, this, [this] { ListWindows(); });

  QMenu* help = menu("miHelp", "&Help");
  auto showPage = [this](const std::string& page) { return ShowHelpPage(page); };
  item(help, "miReference", "&Reference",
       [showPage] { OpenHelp(THelpKind::Reference, ProgramDir(), showPage); });
  keys(item(help, "miManual", "&Manual",
            [showPage] { OpenHelp(THelpKind::Manual, ProgramDir(), showPage); }),
       QKeySequence(Qt::Key_F1));
  item(help, "miAbout", "&About", [this] {
    TfmAbout about(this);
    about.exec();
  });
}

void TfmMain::CreateToolBar() {
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setWindowTitle(QStringLiteral("Toolbar"));
  ToolBar1->setAccessibleName(QStringLiteral("Toolbar"));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  addToolBar(Qt::TopToolBarArea, ToolBar1);
  auto button = [this](const char* name, const char* caption, const char* hint, auto run) {
    QToolButton* b = AddToolButton(*ToolBar1, name, caption, hint);
    connect(b, &QToolButton::clicked, this, Guarded(run));
    return b;
  };
  button("buNew", " New Pattern ", "Create New Pattern",
         [this] { TreeForm->Patterns().Root().New(); });
  button("buOpen", " Open Pattern ", "Open Existing Pattern",
         [this] { TreeForm->Patterns().Root().Open(); });
  ToolBar1->addSeparator();
  buCloseAll = button("buCloseAll", "Close All", "Close All Opened Patterns",
                      [this] { TreeForm->Patterns().CloseAll(); });
  buSaveAll = button("buSaveAll", "Save All", "Save All Opened Patterns",
                     [this] { TreeForm->Patterns().SaveAll(); });
  ToolBar1->addSeparator();
  button("buExplorer", " Explorer ", "Windows Explorer", [] { OpenExplorer(); });
  button("buFolder", " Folder ", "Select Current Folder", [] { ChooseFolder(); });
}

void TfmMain::ListWindows() {
  for (QAction* entry : WindowEntries)
    WindowMenu->removeAction(entry);
  qDeleteAll(WindowEntries);
  WindowEntries.clear();
  const QList<QMdiSubWindow*> windows = MdiArea->subWindowList();
  if (windows.isEmpty())
    return;
  WindowEntries << WindowMenu->addSeparator();
  int number = 0;
  for (QMdiSubWindow* window : windows) {
    if (window->isHidden()) // closed, waiting to be freed
      continue;
    QAction* entry = WindowMenu->addAction(QString::fromStdString(
        NumberedMenuEntry(++number, window->windowTitle().toStdString(), false)));
    entry->setCheckable(true);
    entry->setChecked(window == MdiArea->activeSubWindow());
    connect(entry, &QAction::triggered, this,
            [this, window] { MdiArea->setActiveSubWindow(window); });
    WindowEntries << entry;
  }
}

void TfmMain::ListRecentPatterns() {
  RecentMenu->clear();
  const std::vector<std::string> paths = RecentPatterns(g.Persist());
  RecentMenu->setEnabled(!paths.empty());
  RecentMenu->setToolTipsVisible(true);
  // Long paths lose their middle, never the file's name; the whole path is the tip.
  const QFontMetrics metrics(RecentMenu->font());
  const int width = metrics.averageCharWidth() * 60;
  int number = 0;
  for (const std::string& path : paths) {
    ++number;
    const QString whole = QString::fromStdString(path);
    const std::string text = metrics.elidedText(whole, Qt::ElideMiddle, width).toStdString();
    QAction* entry =
        RecentMenu->addAction(QString::fromStdString(NumberedMenuEntry(number, text, true)));
    entry->setObjectName(QStringLiteral("miRecent%1").arg(number));
    entry->setToolTip(whole);
    connect(entry, &QAction::triggered, this,
            Guarded([this, path] { OpenRecentPattern(TreeForm->Patterns(), path); }));
  }
}

void TfmMain::CloseActiveEditor() {
  // The tree window cannot close.
  if (auto* form = dynamic_cast<TfmDesignForm*>(TreeForm->Patterns().ActiveEditor())) {
    QWidget* window = form->SubWindow() ? static_cast<QWidget*>(form->SubWindow()) : form;
    window->close();
  }
}

void TfmMain::EditPreferences() {
  const TPreferences before = LoadPreferences(g.Persist());
  TfmPreferences box(before, this);
  if (box.exec() != QDialog::Accepted)
    return;
  const TPreferences after = box.Values();
  StorePreferences(g.Persist(), after);
  UsePreferences(before, after);
}

void TfmMain::UsePreferences(const TPreferences& before, const TPreferences& after) {
  ApplyPreferences(before, after, TreeForm->Patterns().OpenPatterns());
  RecoveryTimer->stop();
  if (const int64_t every = RecoveryInterval(after, RecoveryCopies != nullptr))
    RecoveryTimer->start(static_cast<int>(every));
}

void TfmMain::Begin(const QString& recoveryFolder) {
  if (!recoveryFolder.isEmpty()) {
    try {
      RecoveryCopies = std::make_unique<ORecovery>(recoveryFolder.toStdString());
      TreeForm->Patterns().KeepRecovery(RecoveryCopies.get());
      OfferRecovery(*RecoveryCopies, TreeForm->Patterns());
    } catch (const std::exception& e) {
      g.UI().ShowWarning(e.what());
    }
  }
  const TPreferences stored = LoadPreferences(g.Persist());
  UsePreferences(stored, stored);
  CheckCurrentDir();
  TreeForm->Patterns().OpenPatternPaths(g.PatternArguments);
  UpdateCommands();
}

void TfmMain::UpdateCommands() {
  if (!TreeForm || !miSavePattern)
    return;
  const TFileCommands c = TreeForm->Patterns().FileCommands();
  miSavePattern->setEnabled(c.Save);
  miSavePatternAs->setEnabled(c.SaveAs);
  miCloseWindow->setEnabled(c.CloseWindow);
  miCloseAllPatterns->setEnabled(c.CloseAll);
  miSaveAllPatterns->setEnabled(c.SaveAll);
  buCloseAll->setEnabled(c.CloseAll);
  buSaveAll->setEnabled(c.SaveAll);
  // The active pattern may be another one now: Edit follows its history.
  if (UndoActions)
    UndoActions->Follow();
  if (HistoryWindow)
    HistoryWindow->Follow();
}

bool TfmMain::ShowHelpPage(const std::string& file) {
  if (!HelpWindow)
    HelpWindow = new TfmHelp(this);
  return HelpWindow->ShowPage(QString::fromStdString(file));
}

void TfmMain::WriteRecovery() {
  if (!RecoveryCopies)
    return;
  const std::vector<std::string> failures =
      RecoveryCopies->Update(TreeForm->Patterns().OpenPatterns(), true);
  if (!failures.empty())
    g.UI().ShowWarning(failures.front());
}

void TfmMain::OpenPatterns(const QStringList& files) {
  std::vector<std::string> paths;
  for (const QString& file : files)
    paths.push_back(file.toStdString());
  TreeForm->Patterns().OpenPatternPaths(paths);
}

void TfmMain::dragEnterEvent(QDragEnterEvent* event) {
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) {
      event->acceptProposedAction();
      return;
    }
}

void TfmMain::dropEvent(QDropEvent* event) {
  QStringList files;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile())
      files << url.toLocalFile();
  event->acceptProposedAction();
  // Not inside the drop: the source waits for it, and opening may ask questions.
  QTimer::singleShot(0, this, [this, files] { OpenPatterns(files); });
}

void TfmMain::ArrangeIcons() {
  int left = 0;
  const int bottom = MdiArea->viewport()->height();
  for (QMdiSubWindow* window : MdiArea->subWindowList()) {
    if (!window->isMinimized())
      continue;
    window->move(left, bottom - window->height());
    left += window->width();
  }
}

void TfmMain::ActiveFormChanged() {
  QMdiSubWindow* window = MdiArea->activeSubWindow();
  if (auto* form = window ? qobject_cast<TfmDesignForm*>(window->widget()) : nullptr)
    Tabs.FormActivated(*form);
}

void TfmMain::ShowStatus(const QString& text) {
  StatusPanel->setText(text);
}

void TfmMain::ShowFolder(const QString& text) {
  FolderPanel->setText(text);
}

QString TfmMain::FolderText() const {
  return FolderPanel->text();
}

void TfmMain::InsertTab(size_t index, const std::string& caption) {
  QSignalBlocker quiet(tcMain);
  tcMain->insertTab(static_cast<int>(index), QString::fromStdString(caption));
}

void TfmMain::RemoveTab(size_t index) {
  {
    QSignalBlocker quiet(tcMain);
    tcMain->removeTab(static_cast<int>(index));
  }
  UpdateCommands();
}

void TfmMain::SelectTab(size_t index) {
  {
    QSignalBlocker quiet(tcMain);
    tcMain->setCurrentIndex(static_cast<int>(index));
  }
  // Save and Close Window act on the window in front.
  UpdateCommands();
}

void TfmMain::closeEvent(QCloseEvent* event) {
  event->setAccepted(CloseMainWindow(TreeForm->Patterns(), RecoveryCopies.get()));
}

void TfmMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow())
    ActiveFormChanged();
}

} // namespace quillane
