#pragma once

// How a core object tells whoever shows it what changed, without knowing who listens. A
// listener subscribes and keeps the returned subscription as long as it wants to hear:
// dropping it unsubscribes, and it may outlive the object it listens to. A listener may
// subscribe or drop any subscription while it hears a change.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace quillane {

// One listener's hold on one signal, whatever the signal tells.
class TSubscription {
public:
  TSubscription() = default;
  TSubscription(TSubscription&&) noexcept = default;
  TSubscription& operator=(TSubscription&& other) noexcept {
    if (this != &other) {
      Reset();
      Slots = std::move(other.Slots);
      Id = other.Id;
    }
    return *this;
  }
  ~TSubscription() { Reset(); }
  void Reset() {
    if (std::shared_ptr<TSlots> state = Slots.lock())
      state->Drop(Id);
    Slots.reset();
  }

  // What a signal's listeners live in; the signal owns it, a subscription only watches it.
  class TSlots {
  public:
    virtual ~TSlots() = default;
    virtual void Drop(uint64_t id) = 0;
  };

private:
  template <class TChange> friend class TSignal;
  TSubscription(std::weak_ptr<TSlots> state, uint64_t id) : Slots(std::move(state)), Id(id) {}
  std::weak_ptr<TSlots> Slots;
  uint64_t Id = 0;
};

// The listeners of one kind of change, called in the order they subscribed.
template <class TChange> class TSignal {
public:
  using TListener = std::function<void(const TChange&)>;

  TSignal() : State(std::make_shared<TState>()) {}
  TSignal(const TSignal&) = delete;
  TSignal& operator=(const TSignal&) = delete;

  [[nodiscard]] TSubscription Subscribe(TListener listener) {
    const uint64_t id = State->NextId++;
    State->Entries.emplace_back(id, std::make_shared<const TListener>(std::move(listener)));
    return TSubscription(State, id);
  }
  bool Heard() const { return !State->Entries.empty(); }
  // Const: telling is no change of the object that tells.
  void Notify(const TChange& change) const {
    if (!Heard())
      return;
    // The state stays while a listener drops the last subscription or the signal itself.
    std::shared_ptr<TState> state = State;
    ++state->Notifying;
    const size_t count = state->Entries.size(); // those subscribing meanwhile hear the next
    for (size_t i = 0; i < count; ++i)
      if (std::shared_ptr<const TListener> listener = state->Entries[i].second)
        (*listener)(change);
    if (--state->Notifying == 0)
      std::erase_if(state->Entries, [](const auto& entry) { return !entry.second; });
  }

private:
  struct TState : TSubscription::TSlots {
    std::vector<std::pair<uint64_t, std::shared_ptr<const TListener>>> Entries;
    uint64_t NextId = 1;
    int Notifying = 0; // while listeners run, a dropped one is only emptied
    void Drop(uint64_t id) override {
      auto it = std::find_if(Entries.begin(), Entries.end(),
                             [id](const auto& entry) { return entry.first == id; });
      if (it == Entries.end())
        return;
      if (Notifying > 0)
        it->second.reset();
      else
        Entries.erase(it);
    }
  };
  std::shared_ptr<TState> State;
};

} // namespace quillane
