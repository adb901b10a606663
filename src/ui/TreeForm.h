#pragma once

#include <map>
#include <memory>

#include "shell/PatternTree.h"
#include "ui/DesignForm.h"

class QFileSystemWatcher;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillane {

class TfmMain;

// "Tree": every open pattern as a branch, a node per controller, and the toolbar that runs
// the selected node's commands. It stays open as long as the main window.
class TfmTree : public TfmDesignForm, public OTreeView {
  Q_OBJECT
public:
  explicit TfmTree(TfmMain& main);
  ~TfmTree() override;

  OPatternTree& Patterns() { return *Tree; }
  QTreeWidget* TreeView1;

  void AddNode(ODesignUI& node, ODesignUI* parent) override;
  void InsertNode(ODesignUI& node, ODesignUI* parent, int index) override;
  void DeleteNode(ODesignUI& node) override;
  void SelectNode(ODesignUI& node) override;
  void SetNodeText(ODesignUI& node, const std::string& text) override;
  void ExpandAll() override;
  void ExpandBranch(ODesignUI& node) override;
  void WatchFiles(const std::vector<std::string>& files) override;
  void RepaintNode(ODesignUI& node) override;
  void UpdateButtons() override;
  TEditorWindow CreateEditor(ODesignUI& controller, TEditorKind kind) override;
  void RunBitmapImport(ORegion& region) override;
  bool AskExportMode(bool& machine) override;
  void SaveBitmap(const OBitmap24& bitmap, const std::string& path) override;

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  TfmMain& Main;
  std::map<const ODesignUI*, QTreeWidgetItem*> Items;
  std::unique_ptr<OPatternTree> Tree;
  QToolButton *buNew, *buOpen, *buSave, *buSaveAs, *buDelete, *buImport, *buExport, *buClose,
      *buProduction, *buCheck, *buColourways, *buPreview;
  // While the core changes the nodes, the view's own selection changes are not the user's.
  bool Changing = false;
  // The open patterns' files; a change is looked at once the writer has had a moment to
  // finish.
  QFileSystemWatcher* Watcher;
  QTimer* WatchDelay;
  QStringList ChangedFiles;
  void CheckChangedFiles();

  ODesignUI* ControllerOf(const QTreeWidgetItem* item) const;
  void Forget(QTreeWidgetItem* item);
  void ShowSelected();
};

} // namespace quillane
