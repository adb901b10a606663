#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillane {

class ODesignUI;
class OPattern;

// An editor window as the shell sees it: the tree window and every editor the tree's
// controllers open. The desktop program's editor base implements it.
class OEditor {
public:
  virtual ~OEditor() = default;

  // The editor holds changes not yet applied. Setting a new value updates the buttons.
  uint8_t Modified() const { return ModifiedFlag; }
  void SetModified(uint8_t modified);

  // After the pattern changed: show it again.
  virtual void Refresh() {}
  // Enable, disable and caption the editor's buttons.
  virtual void UpdateButtons() {}
  virtual void BringToFront() {}
  // The user asked to close the window: false keeps it open (its changes could not be
  // written back).
  virtual bool QueryClose() { return true; }

protected:
  friend struct TEditorCloser;
  // Its owner let go: the window closes and frees itself, at once or once the handler
  // that closed it has returned, and none of its handlers reaches the owner again.
  virtual void Destroy() = 0;

private:
  uint8_t ModifiedFlag = 0;
};

struct TEditorCloser {
  void operator()(OEditor* editor) const { editor->Destroy(); }
};
// The one owner of an editor window, its controller's for the window's whole life:
// dropping it closes the window.
using TEditorWindow = std::unique_ptr<OEditor, TEditorCloser>;

// What shows the tabs: the main window's tab bar.
class OTabBar {
public:
  virtual ~OTabBar() = default;
  virtual void InsertTab(size_t index, const std::string& caption) = 0;
  virtual void RemoveTab(size_t index) = 0;
  virtual void SelectTab(size_t index) = 0;
};

// The main window's tabs: one per editor window, in the order they were added. The first
// is the tree window's "Tree", which is never removed. A tab names the controller whose
// window it shows, never the window itself: the controller owns its window, and the tab
// goes before the controller lets go of it.
class OTabRegistry {
public:
  struct TTab {
    std::string Caption;
    // The controller whose window the tab shows; none for the tree window.
    const ODesignUI* Node = nullptr;
  };

  explicit OTabRegistry(OTabBar* view = nullptr) : View(view) {}
  void SetView(OTabBar* view) { View = view; }

  const std::vector<TTab>& Tabs() const { return Entries; }
  // The selected tab's index; meaningless while there are no tabs.
  size_t Selected() const { return SelectedIndex; }
  // The window the tab shows: the tree window for the first, else its controller's
  // window; none for an index past the tabs.
  OEditor* Window(size_t index) const;

  // The first tab, "Tree": the tree window, which lives as long as the main window.
  void AddTree(OEditor& tree);
  // Selects the node's tab, adding one captioned with the node's name when it has none.
  void ShowTab(const ODesignUI& node);
  // The node's tab, if it has one: closing one editor never takes another editor's tab of
  // the same name.
  void RemoveTab(const ODesignUI& node);
  // Selects a tab as a click on it does: its window comes to the front and updates its
  // buttons.
  void SelectTab(size_t index);
  // The active window changed to `form`: its tab is selected.
  void FormActivated(const OEditor& form);
  // Every open editor of the pattern shows it again.
  void RefreshEditors(const OPattern& pattern);
  // The "Tree" tab: the first.
  void SelectTree() { SelectTab(0); }

private:
  std::vector<TTab> Entries;
  size_t SelectedIndex = 0;
  OTabBar* View;
  OEditor* TreeWindow = nullptr;
  size_t Add(const std::string& caption, const ODesignUI* node);
  void Remove(size_t index);
};

} // namespace quillane
