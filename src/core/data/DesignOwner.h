#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "data/Grid.h"
#include "data/PatternEvents.h"
#include "data/Record.h"
#include "platform/Platform.h"

namespace quillane {

class OPalette;
class OPicture;
class OSettings;

// Pattern modes: which grid holds the primary data.
constexpr uint8_t pmStates = 1;
constexpr uint8_t pmColours = 2;

// The order in which painting cell after cell would take an area's cells: a cell comes at
// PerControl * C + PerPLine * P. Unknown (0, 0): then no two cells may share a source.
struct TPaintOrder {
  int64_t PerControl = 0, PerPLine = 0;
};

// The values an area paint takes, asked for a piece of a PLine at a time, so that a caller
// can make them as they are needed instead of holding all of them.
class OAreaValues {
public:
  virtual ~OAreaValues() = default;
  // How many: one for each cell of the area.
  virtual size_t Count() const = 0;
  // The `n` values of PLine `p` from control `c` on, inside the area; they stay valid
  // until the next call. None stops the paint before it has changed anything.
  virtual const uint8_t* Row(int64_t c, int64_t p, size_t n) = 0;
};

// Values held in one block, a PLine after another, each `area`'s width long.
class TAreaValuesHeld : public OAreaValues {
public:
  TAreaValuesHeld(const TRect& area, std::span<const uint8_t> values)
      : Left(area.Left), Top(area.Top), Width(int64_t{area.Right} - area.Left + 1), Values(values) {
  }
  size_t Count() const override { return Values.size(); }
  const uint8_t* Row(int64_t c, int64_t p, size_t) override {
    return Values.data() + (p - Top) * Width + (c - Left);
  }

private:
  int64_t Left, Top, Width;
  std::span<const uint8_t> Values;
};

// What a setup object or design element sees of the pattern that owns it: the counts it
// validates against, the cells its views show, and the calls that bring the pattern in line
// after the object changed. The pattern sets the counts and grids; the objects only read
// them.
class ODesignOwner {
public:
  ODesignOwner(const ODesignOwner&) = delete;
  ODesignOwner& operator=(const ODesignOwner&) = delete;

  uint8_t MachineType = 0;
  uint16_t NoControls = 0;
  uint8_t NoColours = 0;
  uint16_t NoPLines = 0;
  uint8_t NoStates = 0;
  uint8_t NoYarnTypes = 0;
  uint8_t PatternMode = 0;

  TGrid DesignColours;
  TGrid MachineColours;
  TGrid States;

  // Views subscribe here to hear what changed.
  OPatternEvents Events;

  // The pattern's own palette and settings, which an element's working copy starts from.
  virtual OPalette& GetPalette() = 0;
  virtual const OSettings& GetSettings() const = 0;

  // Re-synchronisation after a setup object was replaced or edited.
  virtual void ApplySettings() = 0;
  virtual void ApplyPalette() = 0;
  virtual void ApplyMachineTable() = 0;
  virtual void ApplyDesignTable() = 0;
  virtual void ApplyCreel() = 0;
  // The change notification after every change that can affect more than one object.
  virtual void Changed() = 0;
  // Reports that elements of `kind` were added or removed (regions: of `picture`).
  virtual void ElementsChanged(TDesignRecordKind kind, const OPicture* picture) = 0;

  // The grids the pictures show and paint, controls and PLines from 1. Working out a
  // view's colours is a pass over every cell; `done` hears how far it has come.
  virtual void ComputeMachineColours(const TWorkDone& done = {}) = 0;
  virtual void ComputeDesignColours(const TWorkDone& done = {}) = 0;
  virtual void BringUpToDate(TView view, const TWorkDone& done = {}) = 0;
  virtual void PaintMachineColour(int32_t c, int32_t p, uint8_t v) = 0;
  virtual void PaintDesignColour(int32_t c, int32_t p, uint8_t v) = 0;
  virtual void BeginPaintBatch() = 0;
  virtual void EndPaintBatch() = 0;
  virtual bool BatchPaintArea(const TRect& area, OAreaValues& values, TPaintOrder order = {}) = 0;
  bool BatchPaintArea(const TRect& area, std::span<const uint8_t> values, TPaintOrder order = {}) {
    TAreaValuesHeld held(area, values);
    return BatchPaintArea(area, held, order);
  }

  // What happens between the two is one step of the pattern's undo, under the label that
  // names it in the Edit menu; steps may nest.
  virtual void BeginStep() {}
  virtual void BeginStep(const std::string& label) { (void)label; }
  virtual void EndStep() {}
  class TStep {
  public:
    explicit TStep(ODesignOwner& owner) : Owner(owner) { Owner.BeginStep(); }
    TStep(ODesignOwner& owner, const std::string& label) : Owner(owner) { Owner.BeginStep(label); }
    ~TStep() { Owner.EndStep(); }
    TStep(const TStep&) = delete;
    TStep& operator=(const TStep&) = delete;

  private:
    ODesignOwner& Owner;
  };

protected:
  ODesignOwner() = default;
  // Never deleted through this interface.
  ~ODesignOwner() = default;
};

} // namespace quillane
