#pragma once

#include <functional>

class QMenu;
class QWidget;

namespace quillane {

class OPatternTree;

// "&Undo" (Ctrl+Z) and "&Redo" (Ctrl+Shift+Z, Ctrl+Y) in the menu, working from every
// window of the program on the active pattern (the one Save saves) and enabled only when it
// has a step to take.
void AddUndoActions(QMenu& menu, QWidget& window, std::function<OPatternTree&()> patterns);

} // namespace quillane
