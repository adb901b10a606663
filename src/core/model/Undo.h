#pragma once

// Undo and redo of one pattern. A step keeps only what changed: the cells a stroke or a
// command wrote (runs of neighbouring cells with their values before and after), the
// records of the setup objects and elements when they changed, and whole grids only when
// the pattern's size changed. What follows from those (the colour grids a view derives,
// the pictures' images, the section copies) is put back with them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "data/Grid.h"

namespace quillane {

class ODesignData;
class OPattern;

// The cells of one grid that a step changed, in runs of neighbouring cells (a run may take
// in a few unchanged cells between changed ones: that costs less than a new run). Values
// holds the runs' other values, the ones the grid does not hold now: those from before the
// step while it is done, those from after it while it is undone. Undo and redo swap them.
struct TCellRuns {
  std::vector<uint64_t> Starts; // grid index of each run's first cell
  std::vector<uint32_t> Lengths;
  std::vector<uint8_t> Values; // every run's cells, one run after another
  size_t Bytes() const;
  bool Empty() const { return Starts.empty(); }
};

class OUndoHistory {
public:
  static constexpr size_t FactoryLimit = size_t{256} << 20;
  // The bound a new history starts with.
  static size_t DefaultLimit();
  static void SetDefaultLimit(size_t bytes);
  // Told after any history took, undid, redid or dropped a step (the menus follow).
  static void SetObserver(std::function<void()> observer);

  explicit OUndoHistory(OPattern& pattern);
  ~OUndoHistory();
  OUndoHistory(const OUndoHistory&) = delete;
  OUndoHistory& operator=(const OUndoHistory&) = delete;

  // Memory the steps may hold; the oldest go first when a new one needs room.
  size_t Limit() const { return LimitBytes; }
  void SetLimit(size_t bytes);
  size_t Bytes() const { return HeldBytes; }
  int UndoCount() const { return static_cast<int>(Done.size()); }
  int RedoCount() const { return static_cast<int>(Undone.size()); }
  bool CanUndo() const { return !Done.empty() || StrokeOpen(); }
  bool CanRedo() const { return !Undone.empty() && !StrokeOpen(); }
  void Undo();
  void Redo();
  void Clear();
  // An undo or redo is putting the pattern back (the tree follows the element lists then).
  bool Restoring() const { return RestoringFlag; }

  // A stroke: the cells painted from the first paint until EndStroke make one step.
  void BeginStroke();
  void EndStroke();
  bool StrokeOpen() const { return Journaling; }
  // Anything else: the pattern is compared before and after; a change begun inside
  // another belongs to the outer one.
  void BeginChange();
  void EndChange();
  class TChange {
  public:
    explicit TChange(OUndoHistory& history) : History(history) { History.BeginChange(); }
    ~TChange() { History.EndChange(); }
    TChange(const TChange&) = delete;
    TChange& operator=(const TChange&) = delete;

  private:
    OUndoHistory& History;
  };

  // The pattern's cell setters report the cell they are about to write while a stroke is
  // open: grid 0 States, 1 MachineColours, 2 DesignColours.
  bool Journaling = false;
  void Note(uint8_t grid, const TGrid& cells, int c, int p) {
    if (cells.Contains(c, p)) {
      const size_t index = cells.Index(c, p);
      Journal.push_back({index, grid, cells.Data()[index]});
    }
  }

private:
  struct TNote {
    size_t Index;
    uint8_t Grid;
    uint8_t Before;
  };
  struct TStep {
    std::array<TCellRuns, 3> Cells;
    // Whole grids, swapped in and out as Values are: when the size changed, or when most
    // cells did.
    std::array<bool, 3> Whole{};
    std::array<TGrid, 3> Grids;
    TBytes ObjectsBefore, ObjectsAfter;
    bool Stroke = false;
    // The view a stroke was drawn in: the grid it kept beside the states.
    uint8_t View = 0;
    size_t Bytes = 0;
  };
  struct TSnapshot {
    std::array<TGrid, 3> Grids;
    TBytes Objects;
  };

  OPattern& Pattern;
  size_t LimitBytes;
  size_t HeldBytes = 0;
  std::deque<TStep> Done;
  std::vector<TStep> Undone;
  std::vector<TNote> Journal;
  int Depth = 0;
  std::unique_ptr<TSnapshot> Before;
  bool RestoringFlag = false;
  // Elements an undo took out of the pattern, kept until every view has let them go.
  std::vector<std::unique_ptr<ODesignData>> Removed;

  TGrid& Grid(int i);
  TBytes Objects() const;
  void RestoreObjects(const TBytes& bytes);
  void Push(TStep step);
  static size_t SizeOf(const TStep& step);
  void Resize(TStep& step);
  void Put(TStep& step, bool after);
  void Trim();
  static void Notify();
};

} // namespace quillane
