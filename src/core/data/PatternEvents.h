#pragma once

// What a pattern tells the views that show it: which cells, which pixels, which setup
// object or element list changed. Views repaint that and no more; a stroke of paints
// reports once, when it ends.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "data/Record.h"

namespace quillane {

class OPicture;

struct TPatternChange {
  enum class TKind : uint8_t {
    All,      // anything may have changed (Changed, a read): show everything again
    Cells,    // cells of Area (controls by PLines, from 1, inclusive)
    Pixels,   // pixels of Area of Picture's machine or design image (from 0, inclusive)
    Setup,    // the setup object Object was replaced or edited and applied
    Elements, // elements of kind Object were added or removed
    Modified, // the Modified flag changed; the pattern holds its new value
    History,  // the undo history took, undid, redid or dropped a step: what Edit offers
  };
  TKind Kind = TKind::All;
  TRect Area{};
  const OPicture* Picture = nullptr;
  bool DesignImage = false;
  TDesignRecordKind Object = TDesignRecordKind::Pattern;
};

// The pattern's list of listeners. A subscription is a handle: dropping it unsubscribes,
// and it may outlive the pattern.
class OPatternEvents {
public:
  using TListener = std::function<void(const TPatternChange&)>;

private:
  struct TState {
    std::vector<std::pair<uint64_t, std::shared_ptr<const TListener>>> Entries;
    uint64_t NextId = 1;
    int Notifying = 0; // while listeners run, a dropped one is only emptied
  };

public:
  class TSubscription {
  public:
    TSubscription() = default;
    TSubscription(TSubscription&&) noexcept = default;
    TSubscription& operator=(TSubscription&& other) noexcept;
    ~TSubscription() { Reset(); }
    void Reset();

  private:
    friend class OPatternEvents;
    TSubscription(std::weak_ptr<TState> state, uint64_t id) : State(std::move(state)), Id(id) {}
    std::weak_ptr<TState> State;
    uint64_t Id = 0;
  };

  OPatternEvents();
  ~OPatternEvents();
  OPatternEvents(const OPatternEvents&) = delete;
  OPatternEvents& operator=(const OPatternEvents&) = delete;

  [[nodiscard]] TSubscription Subscribe(TListener listener);
  bool Heard() const { return !State->Entries.empty(); }
  void Notify(const TPatternChange& change);

  // Cells and pixels changed, reported at once or, while a group is open, merged into one
  // area each (cells; pixels per picture and image) until the outermost group closes.
  void CellsChanged(const TRect& area) {
    if (Heard())
      Report({TPatternChange::TKind::Cells, area});
  }
  void PixelsChanged(const OPicture* picture, bool designImage, const TRect& area) {
    if (Heard())
      Report({TPatternChange::TKind::Pixels, area, picture, designImage});
  }
  // The cells the open group has reported so far, if any.
  const TRect* PendingCells() const;
  void BeginGroup() { ++GroupDepth; }
  void EndGroup();

  // Opens a group for its lifetime.
  class TGroup {
  public:
    explicit TGroup(OPatternEvents& events) : Events(events) { Events.BeginGroup(); }
    ~TGroup() { Events.EndGroup(); }
    TGroup(const TGroup&) = delete;
    TGroup& operator=(const TGroup&) = delete;

  private:
    OPatternEvents& Events;
  };

private:
  std::shared_ptr<TState> State;
  int GroupDepth = 0;
  std::vector<TPatternChange> Pending; // the open group's areas
  void Report(const TPatternChange& change);
};

} // namespace quillane
