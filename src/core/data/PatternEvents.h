#pragma once

// What a pattern tells the views that show it: which cells, which pixels, which setup
// object or element list changed. Views repaint that and no more; a stroke of paints
// reports once, when it ends.
#include <cstdint>
#include <vector>

#include "data/Record.h"
#include "data/Signal.h"

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

// The pattern's listeners. While a group is open (one edit made of many), what it changes
// is told once when the outermost group closes: the cells and pixels as one area each (per
// picture and image), each setup object and element list once. An All within the group is
// told at once and covers what the group held until then. Modified and History are always
// told at once.
class OPatternEvents : private TSignal<TPatternChange> {
public:
  using TSignal::Heard;
  using TSignal::Subscribe;
  using TSignal::TListener;
  using TSubscription = quillane::TSubscription;

  void Notify(const TPatternChange& change);

  void CellsChanged(const TRect& area) {
    if (Heard())
      Notify({TPatternChange::TKind::Cells, area});
  }
  void PixelsChanged(const OPicture* picture, bool designImage, const TRect& area) {
    if (Heard())
      Notify({TPatternChange::TKind::Pixels, area, picture, designImage});
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
  int GroupDepth = 0;
  std::vector<TPatternChange> Pending; // what the open group holds, each once
};

} // namespace quillane
