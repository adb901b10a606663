#pragma once

#include <functional>

class QMdiArea;
class QMenu;
class QWidget;

namespace quillane {

class OPattern;
class OPatternTree;

// The pattern Undo and Redo act on: the active editor window's, else the selected node's.
OPattern* ActivePattern(QMdiArea& windows, OPatternTree& tree);

// "&Undo" (Ctrl+Z) and "&Redo" (Ctrl+Shift+Z, Ctrl+Y) in the menu, working from every
// window of the program and enabled only when the active pattern has a step to take.
void AddUndoActions(QMenu& menu, QWidget& window, std::function<OPattern*()> active);

} // namespace quillane
