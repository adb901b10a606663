#pragma once

// Undo and redo of one pattern. A step keeps only what changed: the cells a stroke or a
// command wrote (runs of neighbouring cells with their values before and after), the
// records of the setup objects and elements when they changed, and whole grids only when
// the pattern's size changed. What follows from those (the colour grids a view derives,
// the pictures' images, the section copies) is put back with them. An element added or
// removed is kept itself, so that it comes back as the same object at the same index.
// Each step carries a label naming what the designer did ("Paint", "Delete Region1-2").
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/DesignData.h"
#include "data/DesignList.h"
#include "data/Grid.h"
#include "data/PackedGrid.h"

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
  // What Undo and Redo would take back or do again ("Paint"); empty when nothing.
  std::string UndoLabel() const;
  std::string RedoLabel() const;
  void Undo();
  void Redo();
  // The labels of the steps Undo would take back, the oldest first, and of those Redo would
  // do again, the next first.
  std::vector<std::string> UndoLabels() const;
  std::vector<std::string> RedoLabels() const;
  // Several steps at once, heard as one: the cells and pixels they put back in one report
  // each, the history once at the end.
  void Undo(int steps);
  void Redo(int steps);
  void Clear();
  // An undo or redo is putting the pattern back (the tree follows the element lists then).
  bool Restoring() const { return RestoringFlag || Quiet; }
  // A change is being made (what it announces belongs to a step).
  bool ChangeOpen() const { return Depth > 0; }

  // A stroke: the cells painted from the first paint until EndStroke make one step, labelled
  // "Paint" unless told otherwise.
  void BeginStroke();
  void BeginStroke(std::string label);
  void EndStroke();
  bool StrokeOpen() const { return Journaling; }
  // What a change may write, so that it copies no more than that beforehand: anything
  // (the grids are kept whole until the change ends and are compared then), only setup
  // objects and elements (no cell at all), or only the cells of PLines First..Last.
  struct TTouches {
    enum class TKind : uint8_t { Anything, Objects, Rows };
    TKind Kind = TKind::Anything;
    int First = 0, Last = -1;
    static TTouches ObjectsOnly() { return {TKind::Objects}; }
    static TTouches Rows(int first, int last) { return {TKind::Rows, first, last}; }
  };
  // Anything else: the pattern is compared before and after; a change begun inside
  // another belongs to the outer one, under the outer one's label. A change that is not
  // committed puts the pattern back as it found it and leaves the history as it was.
  void BeginChange();
  void BeginChange(std::string label);
  void BeginChange(std::string label, TTouches touches);
  void EndChange();
  void AbandonChange() noexcept;
  class TChange {
  public:
    explicit TChange(OUndoHistory& history) : History(history) { History.BeginChange(); }
    TChange(OUndoHistory& history, std::string label) : History(history) {
      History.BeginChange(std::move(label));
    }
    TChange(OUndoHistory& history, std::string label, TTouches touches) : History(history) {
      History.BeginChange(std::move(label), touches);
    }
    // The step is kept here, not in the destructor: a change left by an exception is
    // taken back instead.
    void Commit() {
      if (!Open)
        return;
      Open = false;
      History.EndChange();
    }
    ~TChange() {
      if (!Open)
        return;
      // A change left without Commit() still keeps its step: a forgotten call must not
      // lose the designer's work.
      if (std::uncaught_exceptions() > Unwinding)
        History.AbandonChange();
      else
        try {
          History.EndChange();
        } catch (...) {
          History.AbandonChange();
        }
    }
    TChange(const TChange&) = delete;
    TChange& operator=(const TChange&) = delete;

  private:
    OUndoHistory& History;
    bool Open = true;
    int Unwinding = std::uncaught_exceptions();
  };

  // Element lists change through these inside a change, so that the step keeps the element
  // itself: undo puts the removed one back at its index, redo takes the added one out again.
  // Outside a change (or without memory for steps) they only change the list; Take then
  // hands the element over, while inside a change the history keeps it and gives nothing.
  template <class E, class O>
  E* Insert(ODesignList<E, O>& list, int index, std::unique_ptr<E> element) {
    E* inserted = list.Insert(index, std::move(element));
    if (Before)
      Record(Putter(list, index), nullptr, true, *inserted);
    return inserted;
  }
  template <class E, class O> E* Add(ODesignList<E, O>& list, std::unique_ptr<E> element) {
    return Insert(list, list.Count(), std::move(element));
  }
  template <class E, class O> std::unique_ptr<E> Take(ODesignList<E, O>& list, int index) {
    std::unique_ptr<E> taken = list.Take(index);
    if (!Before)
      return taken;
    const E& element = *taken;
    Record(Putter(list, index), std::move(taken), false, element);
    return nullptr;
  }
  template <class E, class O> void Remove(ODesignList<E, O>& list, const E* element) {
    Take(list, list.IndexOf(element));
  }

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
  // One element put in or taken out of a list; Held has it while it is out.
  using TPutter = std::function<void(std::unique_ptr<ODesignData>& held, bool in)>;
  struct TElementEdit {
    TPutter Put;
    std::unique_ptr<ODesignData> Held;
    bool Added = false; // the step put it in
    size_t Bytes = 0;   // what holding it costs
  };
  template <class E, class O> static TPutter Putter(ODesignList<E, O>& list, int index) {
    return [&list, index](std::unique_ptr<ODesignData>& held, bool in) {
      if (in)
        list.Insert(index, std::unique_ptr<E>(static_cast<E*>(held.release())));
      else
        held = list.Take(index);
    };
  }
  void Record(TPutter put, std::unique_ptr<ODesignData> held, bool added,
              const ODesignData& element);

  struct TStep {
    std::string Label;
    std::vector<TElementEdit> Edits;
    std::array<TCellRuns, 3> Cells;
    // Whole grids, swapped in and out as Values are: when the size changed, or when most
    // cells did.
    std::array<bool, 3> Whole{};
    std::array<TPackedGrid, 3> Grids;
    TBytes ObjectsBefore, ObjectsAfter;
    uint16_t Parts = 0; // which of the objects' parts differ (bits by TPart)
    bool Stroke = false;
    // The view a stroke was drawn in: the grid it kept beside the states.
    TView View = TView::None;
    size_t Bytes = 0;
  };
  // The parts of the objects' record, in the order written.
  enum TPart : uint8_t {
    Settings,
    Palette,
    MachineTable,
    DesignTable,
    Creel,
    Sections,
    Pictures,
    Colourways,
    Fields,
    PartCount
  };
  using TPartEnds = std::array<size_t, PartCount>;
  struct TSnapshot {
    TTouches Touches;
    std::array<TPackedGrid, 3> Grids;
    // A change of some PLines only: their cells from index RowsStart on, and the size.
    std::array<TBytes, 3> Rows;
    std::array<size_t, 3> RowsStart{};
    int Controls = 0, PLines = 0;
    TBytes Objects;
    TPartEnds Ends{};
    uint8_t Modified = 0;
    std::string Label;
    std::vector<TElementEdit> Edits;
  };

  OPattern& Pattern;
  size_t LimitBytes;
  size_t HeldBytes = 0;
  std::deque<TStep> Done;
  std::vector<TStep> Undone;
  std::vector<TNote> Journal;
  std::string StrokeLabel;
  int Depth = 0;
  std::unique_ptr<TSnapshot> Before;
  bool RestoringFlag = false;
  bool Quiet = false; // taking several steps at once: the history is told at the end
  // Elements an undo took out of the pattern, kept until every view has let them go.
  std::vector<std::unique_ptr<ODesignData>> Removed;

  TGrid& Grid(int i);
  TBytes Objects(TPartEnds* ends = nullptr) const;
  static uint16_t PartsDiffering(const TBytes& a, const TPartEnds& aEnds, const TBytes& b,
                                 const TPartEnds& bEnds);
  void RestoreObjects(const TBytes& bytes, uint16_t parts);
  // The step that takes `before` to the pattern as it is now; false when nothing changed.
  bool StepSince(TSnapshot& before, TStep& step);
  // Writes back the cells of a step that kept its grids' size and tells what they show.
  // `pixels`: redraw what the pictures show of them (else the pictures are made again).
  void PutCells(TStep& step, bool pixels);
  void Push(TStep step);
  static size_t SizeOf(const TStep& step);
  void Resize(TStep& step);
  void Put(TStep& step, bool after);
  // Puts `step` back and keeps it in `list`, the history it now belongs to.
  template <class TList> void PutInto(TStep step, bool after, TList& list);
  void Trim();
  void Take(int steps, bool undo);
  // The pattern's listeners hear that what Undo and Redo offer may have changed.
  void Notify();
};

} // namespace quillane
