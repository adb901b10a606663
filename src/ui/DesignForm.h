#pragma once

#include <functional>

#include <QWidget>

#include "shell/Tabs.h"

class QMdiSubWindow;
class QToolBar;
class QToolButton;

namespace quillane {

// A text button on a toolbar, named for tests and screen readers by its hint (or caption).
QToolButton* AddToolButton(QToolBar& bar, const char* name, const char* caption,
                           const char* hint = nullptr);

// Enter (either key, without modifiers) pressed anywhere in `form` runs `next`, which moves
// the focus on as Tab does. A shortcut of the form's own, so the form sees Enter before the
// focused control does (an edit would otherwise finish its editing twice, on Enter and on
// leaving) and no other window's keys pass through it.
void MoveFocusOnEnter(QWidget& form, std::function<void()> next);

// The base of every editor window: a toolbar over a panel, shown in the main window's MDI
// area. Enter moves the focus to the next control, as in a dialog.
class TfmDesignForm : public QWidget, public OEditor {
  Q_OBJECT
public:
  explicit TfmDesignForm(QWidget* parent = nullptr);
  ~TfmDesignForm() override;

  QToolBar* ToolBar1;
  QWidget* Panel1;

  void BringToFront() override;
  void Destroy() override;

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
  void closeEvent(QCloseEvent* event) override;
};

} // namespace quillane
