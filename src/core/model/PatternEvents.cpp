#include "model/PatternEvents.h"

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

OPatternEvents::OPatternEvents() : State(std::make_shared<TState>()) {}

OPatternEvents::~OPatternEvents() = default;

OPatternEvents::TSubscription&
OPatternEvents::TSubscription::operator=(TSubscription&& other) noexcept {
  if (this != &other) {
    Reset();
    State = std::move(other.State);
    Id = other.Id;
  }
  return *this;
}

void OPatternEvents::TSubscription::Reset() {
  if (std::shared_ptr<TState> state = State.lock()) {
    auto& entries = state->Entries;
    auto it = std::find_if(entries.begin(), entries.end(),
                           [this](const auto& entry) { return entry.first == Id; });
    if (it != entries.end()) {
      if (state->Notifying > 0)
        it->second.reset();
      else
        entries.erase(it);
    }
  }
  State.reset();
}

OPatternEvents::TSubscription OPatternEvents::Subscribe(TListener listener) {
  const uint64_t id = State->NextId++;
  State->Entries.emplace_back(id, std::make_shared<const TListener>(std::move(listener)));
  return TSubscription(State, id);
}

void OPatternEvents::Notify(const TPatternChange& change) {
  if (!Heard())
    return;
  // Listeners may subscribe or drop their subscription while they hear the change.
  std::shared_ptr<TState> state = State;
  ++state->Notifying;
  const size_t count = state->Entries.size();
  for (size_t i = 0; i < count; ++i)
    if (std::shared_ptr<const TListener> listener = state->Entries[i].second)
      (*listener)(change);
  if (--state->Notifying == 0)
    std::erase_if(state->Entries, [](const auto& entry) { return !entry.second; });
}

void OPatternEvents::Report(const TPatternChange& change) {
  if (Empty(change.Area))
    return;
  if (GroupDepth == 0) {
    Notify(change);
    return;
  }
  for (TPatternChange& pending : Pending)
    if (pending.Kind == change.Kind && pending.Picture == change.Picture &&
        pending.DesignImage == change.DesignImage) {
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
    Notify(change);
}

} // namespace quillane
