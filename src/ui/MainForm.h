#pragma once

#include <QMainWindow>
#include <memory>

#include "shell/Preferences.h"
#include "shell/Tabs.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTabBar;
class QTimer;
class QToolBar;

namespace quillane {

class ORecovery;
class TfmDesignForm;
class TfmHelp;
class TfmHistory;
class TfmTree;
class TUndoActions;

// The frame window: menus, toolbar, a tab per editor window over the MDI area that shows
// them, and the status bar with the transient message and the current folder.
class TfmMain : public QMainWindow, public OTabBar {
  Q_OBJECT
public:
  TfmMain();
  ~TfmMain() override;

  OTabRegistry Tabs;
  QToolBar* ToolBar1;
  QTabBar* tcMain;
  QMdiArea* MdiArea;

  TfmTree& Tree() { return *TreeForm; }
  // Shows the form in its own MDI window, which the form's Destroy frees.
  QMdiSubWindow* AddForm(TfmDesignForm& form);

  void ShowStatus(const QString& text);
  void ShowFolder(const QString& text);
  QString FolderText() const;

  // After start-up: recovery copies in `recoveryFolder` (none: no recovery), the copies a
  // crash left offered back, the preferences applied, the command line's patterns opened.
  void Begin(const QString& recoveryFolder);
  // Makes the preferences take effect.
  void UsePreferences(const TPreferences& before, const TPreferences& after);
  // Copies the patterns modified since their last copy to the recovery folder (the tree
  // drops the copies of patterns saved or closed).
  void WriteRecovery();
  ORecovery* Recovery() { return RecoveryCopies.get(); }
  // Opens each file as File, Open does; failures are shown and the others still open.
  void OpenPatterns(const QStringList& files);

  // Enables the pattern commands of the menus and the toolbar exactly where they act.
  void UpdateCommands();
  // The program's own help window, made on first use.
  bool ShowHelpPage(const std::string& file);

  void InsertTab(size_t index, const std::string& caption) override;
  void RemoveTab(size_t index) override;
  void SelectTab(size_t index) override;

protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  TfmTree* TreeForm = nullptr;
  QLabel* StatusPanel;
  QLabel* FolderPanel;
  QMenu* WindowMenu = nullptr;
  QList<QAction*> WindowEntries;
  QMenu* RecentMenu = nullptr;
  QAction *miSavePattern = nullptr, *miSavePatternAs = nullptr, *miCloseWindow = nullptr;
  TUndoActions* UndoActions = nullptr; // a child of this window
  TfmHistory* HistoryWindow = nullptr; // made on first use, a child of this window
  QAction *miCloseAllPatterns = nullptr, *miSaveAllPatterns = nullptr;
  // The tree's Production for the node chosen there, enabled as the tree's button is.
  QAction* miProduction = nullptr;
  // The tree's Check, enabled as its button is.
  QAction* miCheck = nullptr;
  QAction* miColourways = nullptr;
  QWidget *buCloseAll = nullptr, *buSaveAll = nullptr;
  TfmHelp* HelpWindow = nullptr;
  std::unique_ptr<ORecovery> RecoveryCopies;
  QTimer* RecoveryTimer;

  void CreateMenus();
  void CreateToolBar();
  void ListWindows();
  void ListRecentPatterns();
  void EditPreferences();
  void CloseActiveEditor();
  void ArrangeIcons();
  void ActiveFormChanged();
};

} // namespace quillane
