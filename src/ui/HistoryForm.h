#pragma once

#include <functional>

#include <QWidget>

#include "data/PatternEvents.h"

class QListWidget;

namespace quillane {

class OPattern;
class OPatternTree;

// Edit > History: the active pattern's steps, the current one in bold and those Redo would
// do again in grey. A click or Enter on a step goes back or forward to just after it. It
// follows the active pattern (Follow) and that pattern's history.
class TfmHistory : public QWidget {
  Q_OBJECT
public:
  TfmHistory(QWidget& parent, std::function<OPatternTree&()> patterns);

  QListWidget* lbHistory;
  // The active window or the tree's selection changed: show the pattern now active.
  void Follow();
  // Edit > History: the window in front on the active pattern, the list taking the keys.
  void ShowUp();

private:
  std::function<OPatternTree&()> Patterns;
  OPatternEvents::TSubscription Subscription;
  OPattern* Active() const;
  void List();
  void Go(int row);
};

} // namespace quillane
