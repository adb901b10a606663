#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "shell/DesignUI.h"

namespace quillane {

class OBitmap24;
class OEditor;
class OPattern;
class OPicture;
class ORecovery;
class OTabRegistry;

// What shows the tree and makes editor windows: the tree window and the main window. A
// test implements it to run every command of the tree without a display.
class OTreeView {
public:
  virtual ~OTreeView() = default;
  // A node for `node` as the last child of `parent`'s node (no parent: the root).
  virtual void AddNode(ODesignUI& node, ODesignUI* parent) = 0;
  // The same as the `index`th child (an element back at its place in its list).
  virtual void InsertNode(ODesignUI& node, ODesignUI* parent, int index) {
    (void)index;
    AddNode(node, parent);
  }
  // Deletes the node; the tree deletes the nodes below it first, deepest first.
  virtual void DeleteNode(ODesignUI& node) = 0;
  // Makes the node the selected one, as the tree itself does when a selected node goes.
  virtual void SelectNode(ODesignUI&) {}
  virtual void SetNodeText(ODesignUI& node, const std::string& text) = 0;
  virtual void ExpandAll() = 0;
  // Unfolds the node and every node below it and scrolls it into sight, leaving the rest of
  // the tree as the user left it.
  virtual void ExpandBranch(ODesignUI&) { ExpandAll(); }
  // The files of the open patterns, to be watched for changes by other programs; each
  // change comes back through OPatternTree::FileChangedOnDisk.
  virtual void WatchFiles(const std::vector<std::string>&) {}
  // The node's look may have changed (a region's import flag).
  virtual void RepaintNode(ODesignUI&) {}
  // The selection or what the selected node offers may have changed.
  virtual void UpdateButtons() {}
  // A new editor window for the controller, shown at once; the controller owns it and its
  // tab. The window may use the controller until it is let go.
  virtual TEditorWindow CreateEditor(ODesignUI& controller, TEditorKind kind) = 0;
  // The bitmap import window for the region, on the file its BitmapFileName names, shown
  // modally; it applies what the user chose.
  virtual void RunBitmapImport(ORegion&) {}
  // The "Export Mode" question of a state pattern's bitmap export: true and the machine
  // view (or not) when confirmed.
  virtual bool AskExportMode(bool& machine) {
    machine = true;
    return true;
  }
  // Writes a bitmap file, its kind chosen by the name's extension; throws Exception with
  // the message to show.
  virtual void SaveBitmap(const OBitmap24& bitmap, const std::string& path);
};

// The enabled state and captions of the tree's toolbar for the selected node.
struct TTreeButtons {
  bool New = false, Open = false, Save = false, SaveAs = false;
  bool Delete = false, Import = false, Export = false, Close = false, Production = false;
  bool Preview = false, Check = false, Colourways = false;
  std::string ExportCaption = " Export ";
  std::string ImportCaption = " Import ";
  friend bool operator==(const TTreeButtons&, const TTreeButtons&) = default;
};

// What the File menu's pattern commands would act on: each is enabled exactly then.
struct TFileCommands {
  bool Save = false, SaveAs = false, CloseWindow = false, CloseAll = false, SaveAll = false;
  friend bool operator==(const TFileCommands&, const TFileCommands&) = default;
};

// The tree of open patterns: the root "Patterns", a branch per pattern, and the registry
// that owns every controller but the root, in the order they were added.
class OPatternTree {
public:
  OPatternTree(OTreeView& view, OTabRegistry& tabs);
  ~OPatternTree();
  OPatternTree(const OPatternTree&) = delete;
  OPatternTree& operator=(const OPatternTree&) = delete;

  OTreeView& View;
  OTabRegistry& Tabs;

  OPatternsUI& Root() { return *RootUI; }
  const std::vector<std::unique_ptr<ODesignUI>>& Registry() const { return Entries; }
  // The patterns of the tree's branches, in the tree's order.
  std::vector<OPattern*> OpenPatterns() const;

  ODesignUI* Selected() const { return SelectedUI; }
  void Select(ODesignUI* node);

  ODesignUI& AddController(std::unique_ptr<ODesignUI> controller, ODesignUI& parent);
  // The same as the `index`th child of `parent`; -1: the last.
  ODesignUI& InsertController(std::unique_ptr<ODesignUI> controller, ODesignUI& parent, int index);
  // Builds the pattern's branch, takes the pattern over, unfolds the branch and selects it.
  OPatternUI& AddPattern(std::unique_ptr<OPattern> pattern);
  // A picture's node with its regions and one window, under the "Pictures" node.
  void AddPictureBranch(OPicture& picture, ODesignUI& pictures, int index = -1);
  // The view window the pattern shows in, opened or brought to the front: one already open
  // before the first of the pattern's windows. None when the pattern has no window.
  OWindowUI* ShowViewWindow(const OPattern& pattern);
  // The pattern's node; none when it is not in the tree.
  OPatternUI* PatternNode(const OPattern& pattern) const;

  // Closes the branch and frees the pattern; saves nothing and asks nothing.
  void ClosePattern(OPattern& pattern);
  // Closing what holds unsaved changes: asks "Save changes to NAME?"; true when the
  // pattern may go (saved, discarded or unmodified).
  bool QuerySave(OPattern& pattern);
  // The open editors of the pattern (of every pattern without one) write back the
  // changes they hold, as closing them would; false when one of them must stay open.
  bool QueryCloseEditors(const OPattern* pattern);
  // Closes the pattern once its editors and QuerySave let it go.
  bool QueryClosePattern(OPattern& pattern);
  // Lets every editor write back its changes, then asks about every modified pattern in
  // turn; false at the first editor that stays open, Cancel or failed save.
  bool QuerySaveAll();
  // Every pattern, once QuerySaveAll lets them go; on false all stay open.
  bool CloseAll();
  // Every pattern, asking nothing (the answers were given).
  void CloseAllUnasked();
  // The copies kept of modified patterns, none while none are kept: a pattern saved or
  // closed takes its copy with it. The copies must outlive the tree or be let go first.
  void KeepRecovery(ORecovery* recovery) { Recovery = recovery; }
  // A pattern was saved, changed or closed: its copy follows.
  void RecoveryFollows();
  // Saves every pattern in the order they were opened.
  void SaveAll();
  // After an undo, a redo or a resize: nodes whose element left the pattern go (their
  // editors with them), and elements without a node get one at their index, under the name
  // they had and with the editor they had open when they left.
  void SyncElements(OPattern& pattern);
  // While one lives, the tree is adding or removing an element itself and places its nodes
  // itself: the pattern's notices of it leave the nodes alone (a node deleting its own
  // element must not be freed under its feet).
  class TOwnEdit {
  public:
    explicit TOwnEdit(OPatternTree& tree) : Tree(tree) { ++Tree.OwnEdits; }
    ~TOwnEdit() { --Tree.OwnEdits; }
    TOwnEdit(const TOwnEdit&) = delete;
    TOwnEdit& operator=(const TOwnEdit&) = delete;

  private:
    OPatternTree& Tree;
  };
  // The pattern announced a change of its elements, or of everything: the nodes follow,
  // unless the tree made the change itself.
  void ElementsMayHaveChanged(OPattern& pattern) {
    if (OwnEdits == 0)
      SyncElements(pattern);
  }
  // Removes the node with every node below it, their editors closed first.
  void DeleteNode(ODesignUI& node);

  // The toolbar for the selected node.
  TTreeButtons Buttons() const;
  // The toolbar's commands on the selected node.
  void RunNew();
  void RunOpen();
  void RunSave();
  void RunSaveAs();
  void RunDelete();
  void RunImport();
  void RunExport();
  void RunClose();
  void RunProduction();
  void RunCheck();
  void RunColourways();
  void RunPreview();
  void Activate(ODesignUI& node);

  // The pattern File, Save works on: the active editor window's, else (the tree window
  // active) the selected node's; none when that has no pattern.
  OPatternUI* ActivePatternNode() const;
  // The active editor window; none while the tree window is the active one.
  OEditor* ActiveEditor() const;
  void SaveActive();
  void SaveActiveAs();

  // Opens a pattern file as the root's Open does once a file is chosen: failures are
  // shown and leave the tree unchanged. An opened file joins the recent patterns. A file
  // that is open already is not read twice: its branch is selected.
  void OpenPatternPath(const std::string& path);
  // The pattern open from this file, if any.
  OPatternUI* PatternOfFile(const std::string& path) const;

  // The menus' pattern commands for the active window and the open patterns.
  TFileCommands FileCommands() const;

  // Hands the files of the saved open patterns to the view to watch.
  void WatchFiles();
  // Another program may have written `path`: for a pattern open from it that is not as
  // this program left it, asks whether to reload it or keep the version here.
  void FileChangedOnDisk(const std::string& path);
  // Each in turn; one that fails is shown and the others still open.
  void OpenPatternPaths(const std::vector<std::string>& paths);

private:
  ORecovery* Recovery = nullptr;
  std::unique_ptr<OPatternsUI> RootUI;
  std::vector<std::unique_ptr<ODesignUI>> Entries;
  ODesignUI* SelectedUI = nullptr;
  bool IsBelow(const ODesignUI& node, const ODesignUI& ancestor) const;
  void Remove(ODesignUI& node);
  void RemoveBelow(const ODesignUI& node);
  void RunCommand(ODesignUI& node, bool TTreeButtons::*enabled,
                  const std::function<void(ODesignUI&)>& run);
  void RunOnSelected(bool TTreeButtons::*enabled, const std::function<void(ODesignUI&)>& run);
  bool Asking = false; // a question about a changed file is open
  int OwnEdits = 0;
  // Nodes of elements that left the pattern with their editor open; their names are never
  // given twice.
  std::vector<std::string> LeftOpen;
  // The windows' names of pictures that left, by the picture's name, in the tree's order.
  std::map<std::string, std::vector<std::string>> WindowsOf;
  // `node` goes with its element; `last`: the nodes are seen from the last one back.
  void NoteLeaving(const ODesignUI& node, bool last = false);
  void Reload(OPatternUI& node);
};

} // namespace quillane
