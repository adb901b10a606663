#pragma once

#include <functional>

#include <QWidget>

#include "shell/Tabs.h"

class QMdiSubWindow;
class QToolBar;
class QToolButton;

namespace quillane {

class ODesignUI;

// A text button on a toolbar, named for tests and screen readers by its hint (or caption).
QToolButton* AddToolButton(QToolBar& bar, const char* name, const char* caption,
                           const char* hint = nullptr);

// Enter (either key, without modifiers) pressed anywhere in `form` runs `next`, which moves
// the focus on as Tab does. A shortcut of the form's own, so the form sees Enter before the
// focused control does (an edit would otherwise finish its editing twice, on Enter and on
// leaving) and no other window's keys pass through it.
void MoveFocusOnEnter(QWidget& form, std::function<void()> next);

// The base of every window in the main window's MDI area, the tree's and the editors': a
// toolbar over a panel. Enter moves the focus to the next control, as in a dialog.
class TfmDesignForm : public QWidget, public OEditor {
  Q_OBJECT
public:
  explicit TfmDesignForm(QWidget* parent = nullptr);
  ~TfmDesignForm() override;

  QToolBar* ToolBar1;
  QWidget* Panel1;

  void BringToFront() override;

  // Fill the controls from the working copy; copy the working copy back; redraw.
  virtual void ShowData() {}
  virtual void StoreData() {}
  virtual void RefreshGrids() { update(); }
  // Runs the focused field's exit handling (editingFinished) by taking the focus away
  // and giving it back.
  void CommitFocusedField();

  // The MDI window that shows this form; none before it is added to the area.
  QMdiSubWindow* SubWindow() const;

protected:
  QToolButton* AddButton(const char* name, const char* caption) {
    return AddToolButton(*ToolBar1, name, caption);
  }
  // Hidden at once and freed once the handler that closed it has returned.
  void Destroy() override;
};

// The window of one tree node, which owns it (ODesignUI). The node stays valid as long as
// any of the window's handlers can run: every close is the node's, and once the node lets
// go, the window's signals are blocked and its subscriptions dropped before it hides.
class TfmEditorForm : public TfmDesignForm {
  Q_OBJECT
public:
  ODesignUI& Controller;

protected:
  explicit TfmEditorForm(ODesignUI& controller) : Controller(controller) {}
  // A form that follows the pattern stops following here, then calls this.
  void Destroy() override;
  // The user's close (the close box, Close, Close Window, Close All) asks the node.
  void closeEvent(QCloseEvent* event) override;

private:
  bool Released = false;
};

} // namespace quillane
