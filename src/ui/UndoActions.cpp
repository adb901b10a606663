#include "ui/UndoActions.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "app/App.h"
#include "model/Pattern.h"
#include "shell/DesignUI.h"
#include "shell/MainCommands.h"
#include "shell/PatternTree.h"

namespace quillane {

TUndoActions::TUndoActions(QMenu& menu, QWidget& window, std::function<OPatternTree&()> patterns)
    : QObject(&window), Patterns(std::move(patterns)) {
  auto add = [&](const char* name, QList<QKeySequence> keys, bool undo) {
    QAction* a = menu.addAction(QString());
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcuts(keys);
    a->setShortcutContext(Qt::ApplicationShortcut);
    window.addAction(a);
    QObject::connect(a, &QAction::triggered, this, [this, undo] { Run(undo); });
    return a;
  };
  Undo = add("miUndo", {QKeySequence(Qt::CTRL | Qt::Key_Z)}, true);
  Redo = add("miRedo",
             {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
             false);
  Show(nullptr); // the tree comes later
}

OPattern* TUndoActions::Active() const {
  OPatternUI* node = Patterns().ActivePatternNode();
  return node ? node->Pattern : nullptr;
}

void TUndoActions::Follow() {
  // Subscribing again costs little, and a pattern closed since may have left its address
  // to a new one.
  Subscription.Reset();
  if (OPattern* pattern = Active())
    Subscription = pattern->Events.Subscribe([this](const TPatternChange& change) {
      if (change.Kind == TPatternChange::TKind::History)
        Show(Active());
    });
  Show(Active());
}

void TUndoActions::Show(const OPattern* pattern) {
  const OUndoHistory* history = pattern ? &pattern->History : nullptr;
  for (const bool undo : {true, false}) {
    const TMenuEntry entry = UndoMenuEntry(history, undo);
    QAction* action = undo ? Undo : Redo;
    action->setEnabled(entry.Enabled);
    action->setText(QString::fromStdString(entry.Caption));
  }
}

void TUndoActions::Run(bool undo) {
  try {
    if (OPattern* pattern = Active())
      undo ? pattern->History.Undo() : pattern->History.Redo();
  } catch (const std::exception& e) {
    g.UI().ShowError(e.what());
  }
  Show(Active());
}

} // namespace quillane
