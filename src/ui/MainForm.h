#pragma once

#include <QMainWindow>

#include "shell/Tabs.h"

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTabBar;
class QToolBar;

namespace quillane {

class TfmDesignForm;
class TfmTree;

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
  // Shows the form in its own MDI window, freed when the window closes.
  QMdiSubWindow* AddForm(TfmDesignForm& form);

  void ShowStatus(const QString& text);
  void ShowFolder(const QString& text);
  QString FolderText() const;

  void InsertTab(size_t index, const std::string& caption) override;
  void RemoveTab(size_t index) override;
  void SelectTab(size_t index) override;

protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  TfmTree* TreeForm = nullptr;
  QLabel* StatusPanel;
  QLabel* FolderPanel;
  QMenu* WindowMenu = nullptr;
  QList<QAction*> WindowEntries;

  void CreateMenus();
  void CreateToolBar();
  void ListWindows();
  void ArrangeIcons();
  void ActiveFormChanged();
};

} // namespace quillane
