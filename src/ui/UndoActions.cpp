#include "ui/UndoActions.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>

#include "app/App.h"
#include "model/Pattern.h"
#include "shell/DesignUI.h"
#include "shell/PatternTree.h"

namespace quillane {

namespace {
// Brings the actions up to date before a shortcut is matched, since a disabled action
// would not hear it; the active window and the tree's selection change without telling.
class TUndoActions : public QObject {
public:
  TUndoActions(QWidget& window, std::function<OPatternTree&()> patterns)
      : QObject(&window), Patterns(std::move(patterns)) {}
  ~TUndoActions() override { OUndoHistory::SetObserver(nullptr); }
  QAction* Undo = nullptr;
  QAction* Redo = nullptr;
  std::function<OPatternTree&()> Patterns;

  OPattern* Active() const {
    OPatternUI* node = Patterns().ActivePatternNode();
    return node ? node->Pattern : nullptr;
  }

  void Refresh() const {
    OPattern* pattern = Active();
    Undo->setEnabled(pattern && pattern->History.CanUndo());
    Redo->setEnabled(pattern && pattern->History.CanRedo());
  }
  void Run(bool undo) const {
    try {
      if (OPattern* pattern = Active())
        undo ? pattern->History.Undo() : pattern->History.Redo();
    } catch (const std::exception& e) {
      g.UI().ShowError(e.what());
    }
    Refresh();
  }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ShortcutOverride)
      Refresh();
    return QObject::eventFilter(watched, event);
  }
};
} // namespace

void AddUndoActions(QMenu& menu, QWidget& window, std::function<OPatternTree&()> patterns) {
  auto* actions = new TUndoActions(window, std::move(patterns));
  auto add = [&](const char* name, const char* caption, QList<QKeySequence> keys, bool undo) {
    QAction* a = menu.addAction(QString::fromLatin1(caption));
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcuts(keys);
    a->setShortcutContext(Qt::ApplicationShortcut);
    window.addAction(a);
    QObject::connect(a, &QAction::triggered, actions, [actions, undo] { actions->Run(undo); });
    return a;
  };
  actions->Undo = add("miUndo", "&Undo", {QKeySequence(Qt::CTRL | Qt::Key_Z)}, true);
  actions->Redo = add(
      "miRedo", "&Redo",
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)}, false);
  actions->Undo->setEnabled(false);
  actions->Redo->setEnabled(false);
  QObject::connect(&menu, &QMenu::aboutToShow, actions, [actions] { actions->Refresh(); });
  qApp->installEventFilter(actions);
  OUndoHistory::SetObserver([actions] { actions->Refresh(); });
}

} // namespace quillane
