#pragma once

#include <functional>

#include <QObject>

#include "data/PatternEvents.h"

class QAction;
class QMenu;
class QWidget;

namespace quillane {

class OPattern;
class OPatternTree;

// "&Undo" (Ctrl+Z) and "&Redo" (Ctrl+Shift+Z, Ctrl+Y) in the menu, working from every
// window of the program on the active pattern (the one Save saves), enabled only when it
// has a step to take and naming that step ("&Undo Paint"). They hear the active pattern's
// history; Follow tells them that another pattern became the active one.
class TUndoActions : public QObject {
public:
  TUndoActions(QMenu& menu, QWidget& window, std::function<OPatternTree&()> patterns);
  QAction* Undo = nullptr;
  QAction* Redo = nullptr;
  // The active window or the tree's selection changed: listen to the pattern now active.
  void Follow();

private:
  std::function<OPatternTree&()> Patterns;
  OPatternEvents::TSubscription Subscription;
  OPattern* Active() const;
  void Show(const OPattern* pattern);
  void Run(bool undo);
};

} // namespace quillane
