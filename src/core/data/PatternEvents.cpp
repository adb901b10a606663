#include "data/PatternEvents.h"

#include <algorithm>

namespace quillane {

namespace {
bool Empty(const TRect& r) {
  return r.Left > r.Right || r.Top > r.Bottom;
}

TRect Bounds(const TRect& a, const TRect& b) {
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
          std::max(a.Bottom, b.Bottom)};
}
} // namespace

void OPatternEvents::Notify(const TPatternChange& change) {
  using TKind = TPatternChange::TKind;
  const bool area = change.Kind == TKind::Cells || change.Kind == TKind::Pixels;
  if (area && Empty(change.Area))
    return;
  if (GroupDepth == 0 || change.Kind == TKind::Modified || change.Kind == TKind::History) {
    TSignal::Notify(change);
    return;
  }
  if (change.Kind == TKind::All) {
    // Sent now: what the edit takes out of the pattern may live only until it returns.
    Pending.clear();
    TSignal::Notify(change);
    return;
  }
  for (TPatternChange& pending : Pending)
    if (pending.Kind == change.Kind && pending.Picture == change.Picture &&
        pending.DesignImage == change.DesignImage && pending.Object == change.Object) {
      if (area)
        pending.Area = Bounds(pending.Area, change.Area);
      return;
    }
  Pending.push_back(change);
}

const TRect* OPatternEvents::PendingCells() const {
  for (const TPatternChange& pending : Pending)
    if (pending.Kind == TPatternChange::TKind::Cells)
      return &pending.Area;
  return nullptr;
}

void OPatternEvents::EndGroup() {
  if (GroupDepth == 0 || --GroupDepth > 0 || Pending.empty())
    return;
  std::vector<TPatternChange> pending = std::move(Pending);
  Pending.clear();
  for (const TPatternChange& change : pending)
    TSignal::Notify(change);
}

} // namespace quillane
