#include "model/Undo.h"

#include <algorithm>
#include <cstring>

#include "elements/Picture.h"
#include "elements/Region.h"
#include "elements/Section.h"
#include "model/PaintBatch.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/Settings.h"

namespace quillane {

namespace {
size_t DefaultBytes = OUndoHistory::FactoryLimit;
const char* const PaintLabel = "Paint";
const char* const ChangeLabel = "Change";

// A run takes in up to this many unchanged cells rather than start anew.
constexpr uint64_t Gap = 16;

// Takes cells [index, index + n) into the runs: the last run grows across up to Gap
// unchanged cells rather than a new one starting. Answers how many cells the runs grew by.
size_t Extend(TCellRuns& runs, uint64_t index, size_t n) {
  const uint64_t end = runs.Starts.empty() ? 0 : runs.Starts.back() + runs.Lengths.back();
  if (!runs.Starts.empty() && index >= end && index - end <= Gap &&
      runs.Lengths.back() + (index - end) + n < UINT32_MAX) {
    runs.Lengths.back() += static_cast<uint32_t>(index - end + n);
    return static_cast<size_t>(index - end) + n;
  }
  runs.Starts.push_back(index);
  runs.Lengths.push_back(static_cast<uint32_t>(n));
  return n;
}

// Adds cells [index, index + n) with their other values; `cells` is the grid, which gives
// the values of unchanged cells taken into a run.
void AddRun(TCellRuns& runs, uint64_t index, const uint8_t* other, size_t n, const uint8_t* cells) {
  const uint64_t end = runs.Starts.empty() ? 0 : runs.Starts.back() + runs.Lengths.back();
  if (Extend(runs, index, n) > n)
    runs.Values.insert(runs.Values.end(), cells + end, cells + index);
  runs.Values.insert(runs.Values.end(), other, other + n);
}

// The blocks that differ between two grids of one size, with their values from before;
// false when they come to more than half the grid, which is then better kept whole. The
// runs are found before any value is copied: a change of most of the grid copies nothing.
bool Difference(const TPackedGrid& before, const TGrid& after, TCellRuns& runs) {
  TPackedGrid::TReader was(before);
  const uint8_t* b = after.Data().data();
  const size_t n = after.Data().size();
  constexpr size_t Block = 64;
  uint8_t scratch[Block];
  size_t total = 0;
  for (size_t i = 0; i < n; i += Block) {
    const size_t m = std::min(Block, n - i);
    if (std::memcmp(was.Cells(i, m, scratch), b + i, m) == 0)
      continue;
    total += Extend(runs, i, m);
    if (total > n / 2) {
      runs = {};
      return false;
    }
  }
  // Cells between a run's changed blocks did not change: before holds their values too.
  runs.Values.resize(total);
  TPackedGrid::TReader again(before);
  uint8_t* to = runs.Values.data();
  for (size_t r = 0; r < runs.Starts.size(); ++r) {
    again.Read(runs.Starts[r], runs.Lengths[r], to);
    to += runs.Lengths[r];
  }
  return true;
}

// The blocks of `after` from index `start` on that differ from `before`, the cells the
// grid held there when the change began, with those cells' values.
void RowsDifference(const TBytes& before, size_t start, const TGrid& after, TCellRuns& runs) {
  const uint8_t* b = after.Data().data() + start;
  const size_t n =
      std::min(before.size(), after.Data().size() - std::min(start, after.Data().size()));
  constexpr size_t Block = 64;
  size_t total = 0;
  for (size_t i = 0; i < n; i += Block) {
    const size_t m = std::min(Block, n - i);
    if (std::memcmp(before.data() + i, b + i, m) != 0)
      total += Extend(runs, start + i, m);
  }
  runs.Values.resize(total);
  uint8_t* to = runs.Values.data();
  for (size_t r = 0; r < runs.Starts.size(); ++r) {
    std::memcpy(to, before.data() + (runs.Starts[r] - start), runs.Lengths[r]);
    to += runs.Lengths[r];
  }
}

// The cell indices of PLines first..last of `grid`, clipped to it.
std::pair<size_t, size_t> RowSpan(const TGrid& grid, int first, int last) {
  const size_t size = grid.Data().size();
  if (last < first || last < 0)
    return {0, 0};
  const size_t from = std::min(size, static_cast<size_t>(std::max(first, 0)) * grid.Stride());
  const size_t to = std::min(size, (static_cast<size_t>(last) + 1) * grid.Stride());
  return {from, std::max(from, to)};
}

void WriteText(OWriter& s, const std::string& text) {
  s.WriteCardinal(static_cast<uint32_t>(text.size()));
  s.Write(text.data(), text.size());
}

std::string ReadText(OReader& s) {
  std::span<const uint8_t> bytes = s.ReadSpan(s.ReadCardinal());
  return {bytes.begin(), bytes.end()};
}
} // namespace

size_t TCellRuns::Bytes() const {
  return Starts.size() * (sizeof(uint64_t) + sizeof(uint32_t)) + Values.size();
}

size_t OUndoHistory::DefaultLimit() {
  return DefaultBytes;
}

void OUndoHistory::SetDefaultLimit(size_t bytes) {
  DefaultBytes = bytes;
}

void OUndoHistory::Notify() {
  if (Quiet)
    return;
  Pattern.Events.Notify({TPatternChange::TKind::History});
}

std::string OUndoHistory::UndoLabel() const {
  if (StrokeOpen())
    return StrokeLabel;
  return Done.empty() ? std::string() : Done.back().Label;
}

std::string OUndoHistory::RedoLabel() const {
  return CanRedo() ? Undone.back().Label : std::string();
}

OUndoHistory::OUndoHistory(OPattern& pattern) : Pattern(pattern), LimitBytes(DefaultBytes) {}

OUndoHistory::~OUndoHistory() = default;

void OUndoHistory::SetLimit(size_t bytes) {
  LimitBytes = bytes;
  Trim();
  Notify();
}

TGrid& OUndoHistory::Grid(int i) {
  return i == 0 ? Pattern.States : i == 1 ? Pattern.MachineColours : Pattern.DesignColours;
}

// A history without memory for steps (the command-line tool's) records nothing at all.
void OUndoHistory::BeginStroke() {
  BeginStroke(PaintLabel);
}

void OUndoHistory::BeginStroke(std::string label) {
  if (Journaling || Depth > 0 || RestoringFlag || LimitBytes == 0)
    return;
  Journal.clear();
  Journaling = true;
  StrokeLabel = std::move(label);
  // Undo may now end the stroke and take it back.
  if (Done.empty())
    Notify();
}

void OUndoHistory::EndStroke() {
  if (!Journaling)
    return;
  Journaling = false;
  // The first note of a cell holds its value before the stroke.
  std::stable_sort(Journal.begin(), Journal.end(), [](const TNote& a, const TNote& b) {
    return a.Grid != b.Grid ? a.Grid < b.Grid : a.Index < b.Index;
  });
  TStep step;
  step.Label = std::move(StrokeLabel);
  step.Stroke = true;
  step.View = Pattern.UpToDate;
  bool any = false;
  for (size_t i = 0; i < Journal.size(); ++i) {
    const TNote& note = Journal[i];
    if (i > 0 && Journal[i - 1].Grid == note.Grid && Journal[i - 1].Index == note.Index)
      continue;
    const uint8_t* cells = Grid(note.Grid).Data().data();
    if (cells[note.Index] != note.Before) {
      AddRun(step.Cells[note.Grid], note.Index, &note.Before, 1, cells);
      any = true;
    }
  }
  Journal.clear();
  Journal.shrink_to_fit();
  if (any)
    Push(std::move(step));
  else if (Done.empty())
    Notify(); // nothing to take back after all
}

void OUndoHistory::BeginChange() {
  BeginChange(ChangeLabel);
}

void OUndoHistory::BeginChange(std::string label) {
  BeginChange(std::move(label), TTouches{});
}

void OUndoHistory::BeginChange(std::string label, TTouches touches) {
  if (Depth++ > 0 || RestoringFlag || LimitBytes == 0)
    return;
  EndStroke();
  // Most of the PLines are kept packed as a whole grid is: their bytes as they are would
  // cost more fresh memory than the packing costs time.
  if (touches.Kind == TTouches::TKind::Rows &&
      2 * (int64_t{touches.Last} - touches.First + 1) > Grid(0).PLines())
    touches = TTouches{};
  Before = std::make_unique<TSnapshot>();
  Before->Label = std::move(label);
  Before->Touches = touches;
  Before->Modified = Pattern.Modified();
  Before->Controls = Grid(0).Controls();
  Before->PLines = Grid(0).PLines();
  for (int i = 0; i < 3; ++i) {
    const auto k = static_cast<size_t>(i);
    const TGrid& grid = Grid(i);
    if (touches.Kind == TTouches::TKind::Anything) {
      Before->Grids[k] = TPackedGrid::Of(grid);
    } else if (touches.Kind == TTouches::TKind::Rows) {
      const auto [from, to] = RowSpan(grid, touches.First, touches.Last);
      Before->RowsStart[k] = from;
      Before->Rows[k].assign(grid.Data().data() + from, grid.Data().data() + to);
    }
  }
  Before->Objects = Objects(&Before->Ends);
}

bool OUndoHistory::StepSince(TSnapshot& before, TStep& step) {
  step.Label = before.Label;
  step.Edits = std::move(before.Edits);
  step.View = Pattern.UpToDate;
  TPartEnds ends{};
  TBytes objects = Objects(&ends);
  if (objects != before.Objects) {
    step.Parts = PartsDiffering(before.Objects, before.Ends, objects, ends);
    step.ObjectsBefore = std::move(before.Objects);
    step.ObjectsAfter = std::move(objects);
  }
  bool any = !step.ObjectsBefore.empty() || !step.Edits.empty();
  bool resized = false;
  for (int i = 0; i < 3; ++i)
    resized = resized || Grid(i).Controls() != before.Controls || Grid(i).PLines() != before.PLines;
  switch (before.Touches.Kind) {
  case TTouches::TKind::Objects:
    break;
  case TTouches::TKind::Rows:
    // A change that said it writes some PLines cannot take back a new size: the steps
    // before it no longer fit the pattern either.
    if (resized)
      throw EAssertionFailed("Undo needs the pattern's size");
    for (int i = 0; i < 3; ++i) {
      const auto k = static_cast<size_t>(i);
      RowsDifference(before.Rows[k], before.RowsStart[k], Grid(i), step.Cells[k]);
      any = any || !step.Cells[k].Empty();
    }
    break;
  case TTouches::TKind::Anything:
    for (int i = 0; i < 3; ++i) {
      const auto k = static_cast<size_t>(i);
      step.Whole[k] = resized || !Difference(before.Grids[k], Grid(i), step.Cells[k]);
      if (step.Whole[k])
        step.Grids[k] = std::move(before.Grids[k]);
      any = any || step.Whole[k] || !step.Cells[k].Empty();
    }
    break;
  }
  return any;
}

void OUndoHistory::EndChange() {
  if (--Depth > 0 || !Before)
    return;
  std::unique_ptr<TSnapshot> before = std::move(Before);
  TStep step;
  if (StepSince(*before, step))
    Push(std::move(step));
}

void OUndoHistory::AbandonChange() noexcept {
  if (--Depth > 0 || !Before)
    return;
  std::unique_ptr<TSnapshot> before = std::move(Before);
  try {
    TStep step;
    if (StepSince(*before, step))
      Put(step, false);
    Pattern.SetModified(before->Modified);
  } catch (...) {
    // Nothing more can be put back: the pattern keeps what the change reached.
  }
}

void OUndoHistory::Push(TStep step) {
  for (const TStep& dropped : Undone)
    HeldBytes -= dropped.Bytes;
  Undone.clear();
  step.Bytes = SizeOf(step);
  HeldBytes += step.Bytes;
  Done.push_back(std::move(step));
  Trim();
  Notify();
}

void OUndoHistory::Record(TPutter put, std::unique_ptr<ODesignData> held, bool added,
                          const ODesignData& element) {
  // An element costs its record and, a picture, the images it keeps.
  OWriter s;
  element.WriteToStream(s);
  size_t bytes = s.Bytes().size() + sizeof(TElementEdit);
  if (const auto* picture = dynamic_cast<const OPicture*>(&element))
    for (const OBitmap24* image : {&picture->DesignImage, &picture->MachineImage})
      bytes += static_cast<size_t>(image->Width()) * static_cast<size_t>(image->Height()) * 4;
  Before->Edits.push_back({std::move(put), std::move(held), added, bytes});
}

size_t OUndoHistory::SizeOf(const TStep& step) {
  size_t bytes =
      sizeof(TStep) + step.Label.size() + step.ObjectsBefore.size() + step.ObjectsAfter.size();
  for (const TElementEdit& edit : step.Edits)
    bytes += edit.Held ? edit.Bytes : sizeof(TElementEdit);
  for (size_t i = 0; i < 3; ++i)
    bytes += step.Cells[i].Bytes() + step.Grids[i].Bytes();
  return bytes;
}

// A resized step holds the grids of the other size after a swap.
void OUndoHistory::Resize(TStep& step) {
  HeldBytes -= step.Bytes;
  step.Bytes = SizeOf(step);
  HeldBytes += step.Bytes;
  Trim();
}

void OUndoHistory::Trim() {
  while (HeldBytes > LimitBytes && !Done.empty()) {
    HeldBytes -= Done.front().Bytes;
    Done.pop_front();
  }
  while (HeldBytes > LimitBytes && !Undone.empty()) {
    HeldBytes -= Undone.front().Bytes;
    Undone.erase(Undone.begin());
  }
}

void OUndoHistory::Clear() {
  EndStroke();
  Done.clear();
  Undone.clear();
  HeldBytes = 0;
  Notify();
}

void OUndoHistory::Undo() {
  if (Depth > 0 || RestoringFlag)
    return;
  EndStroke();
  if (Done.empty())
    return;
  TStep step = std::move(Done.back());
  Done.pop_back();
  PutInto(std::move(step), false, Undone);
}

void OUndoHistory::Redo() {
  if (Depth > 0 || RestoringFlag || Journaling || Undone.empty())
    return;
  TStep step = std::move(Undone.back());
  Undone.pop_back();
  PutInto(std::move(step), true, Done);
}

// A step that fails half way has put back what it reached, which only going the other way
// takes back again: it counts as taken, and Edit says so.
template <class TList> void OUndoHistory::PutInto(TStep step, bool after, TList& list) {
  auto taken = [&] {
    list.push_back(std::move(step));
    Resize(list.back());
    Notify();
  };
  try {
    Put(step, after);
  } catch (...) {
    taken();
    throw;
  }
  taken();
}

std::vector<std::string> OUndoHistory::UndoLabels() const {
  std::vector<std::string> labels;
  for (const TStep& step : Done)
    labels.push_back(step.Label);
  return labels;
}

std::vector<std::string> OUndoHistory::RedoLabels() const {
  std::vector<std::string> labels;
  for (auto step = Undone.rbegin(); step != Undone.rend(); ++step)
    labels.push_back(step->Label);
  return labels;
}

void OUndoHistory::Undo(int steps) {
  Take(steps, true);
}

void OUndoHistory::Redo(int steps) {
  Take(steps, false);
}

void OUndoHistory::Take(int steps, bool undo) {
  if (steps <= 0 || Quiet)
    return;
  try {
    // The elements the steps take out live until the views have heard of it, and the
    // history counts as restoring until then.
    struct TLoud {
      OUndoHistory& History;
      ~TLoud() {
        History.Quiet = false;
        History.Removed.clear();
      }
    } loud{*this};
    Quiet = true;
    // The views paint once, after all of them.
    OPatternEvents::TGroup oneReport(Pattern.Events);
    for (int i = 0; i < steps; ++i)
      undo ? Undo() : Redo();
  } catch (...) {
    // The steps taken before the failing one stay taken: the captions follow them.
    Notify();
    throw;
  }
  Notify();
}

void OUndoHistory::Put(TStep& step, bool after) {
  RestoringFlag = true;
  struct TDone {
    OUndoHistory& History;
    ~TDone() {
      History.RestoringFlag = false;
      if (!History.Quiet)
        History.Removed.clear();
    }
  } done{*this};
  // The views hear the step once, when all of it is back.
  OPatternEvents::TGroup oneReport(Pattern.Events);

  bool resized = false;
  for (int i = 0; i < 3; ++i) {
    const auto k = static_cast<size_t>(i);
    if (step.Whole[k]) {
      const TPackedGrid& kept = step.Grids[k];
      resized =
          resized || kept.Controls() != Grid(i).Controls() || kept.PLines() != Grid(i).PLines();
      // Grids of the right size first: putting back the settings then finds them so.
      TPackedGrid now = TPackedGrid::Taking(Grid(i));
      step.Grids[k].PutInto(Grid(i));
      step.Grids[k] = std::move(now);
    } else {
      TCellRuns& runs = step.Cells[k];
      uint8_t* cells = Grid(i).Data().data();
      uint8_t* values = runs.Values.data();
      for (size_t r = 0; r < runs.Starts.size(); ++r) {
        std::swap_ranges(values, values + runs.Lengths[r], cells + runs.Starts[r]);
        values += runs.Lengths[r];
      }
    }
  }
  // The elements themselves next, the last put in or taken out first on the way back, so
  // that the records below are read into the very objects they came from.
  auto& edits = step.Edits;
  if (after)
    for (TElementEdit& edit : edits)
      edit.Put(edit.Held, edit.Added);
  else
    for (auto edit = edits.rbegin(); edit != edits.rend(); ++edit)
      edit->Put(edit->Held, !edit->Added);
  const TBytes& objects = after ? step.ObjectsAfter : step.ObjectsBefore;
  const uint16_t parts = resized ? static_cast<uint16_t>((1u << PartCount) - 1) : step.Parts;
  if (!objects.empty() && (edits.empty() || Objects() != objects))
    RestoreObjects(objects, parts);
  // A new size or kind of pattern changes everything; else the objects put back say which
  // they were, and the cells which.
  if (resized || (parts & (1u << Fields)) != 0) {
    Pattern.Restored();
    return;
  }
  if (parts != 0) {
    std::vector<TDesignRecordKind> kinds;
    const TDesignRecordKind of[] = {TDesignRecordKind::Settings,     TDesignRecordKind::Palette,
                                    TDesignRecordKind::MachineTable, TDesignRecordKind::DesignTable,
                                    TDesignRecordKind::Creel,        TDesignRecordKind::Section,
                                    TDesignRecordKind::Picture,      TDesignRecordKind::Colourways};
    for (int part = 0; part < Fields; ++part)
      if ((parts & (1u << part)) != 0)
        kinds.push_back(of[part]);
    Pattern.Restored(kinds);
  }
  PutCells(step, parts == 0);
}

void OUndoHistory::PutCells(TStep& step, bool pixels) {
  const TGrid& states = Grid(0);
  const auto stride = static_cast<uint64_t>(states.Stride());
  const int controls = Pattern.NoControls;
  // Calls each(first, last) for each span of grid i's cells the step holds.
  auto eachSpan = [&](int i, auto each) {
    const auto k = static_cast<size_t>(i);
    if (step.Whole[k]) {
      if (!Grid(i).Data().empty())
        each(uint64_t{0}, static_cast<uint64_t>(Grid(i).Data().size()) - 1);
      return;
    }
    const TCellRuns& runs = step.Cells[k];
    for (size_t r = 0; r < runs.Starts.size(); ++r)
      each(runs.Starts[r], runs.Starts[r] + runs.Lengths[r] - 1);
  };
  for (int i = 0; i < 3; ++i)
    eachSpan(i, [&](uint64_t first, uint64_t last) {
      const auto p0 = static_cast<int32_t>(first / stride),
                 p1 = static_cast<int32_t>(last / stride);
      if (p0 == p1)
        Pattern.Events.CellsChanged(
            {static_cast<int32_t>(first % stride), p0, static_cast<int32_t>(last % stride), p1});
      else
        Pattern.Events.CellsChanged({1, p0, controls, p1});
    });
  Pattern.SetModified(1);
  // Only the grid the pictures show makes pixels.
  // The grids are numbered as the views: the states 0, the machine colours 1, the design 2.
  const int shown = Pattern.UpToDate == TView::None ? -1 : static_cast<int>(Pattern.UpToDate);
  if (shown < 0 || !pixels)
    return;
  TGrid& grid = Grid(shown);
  auto redraw = [&](uint64_t index) {
    const auto c = static_cast<int32_t>(index % stride);
    const auto p = static_cast<int32_t>(index / stride);
    const uint32_t colour = Pattern.Palette->GetColour(grid.Data()[index]);
    if (shown == 1)
      Pattern.RedrawMachineCell(c, p, colour);
    else
      Pattern.RedrawDesignCell(c, p, colour);
  };
  if (Pattern.PatternMode == pmStates && step.View != Pattern.UpToDate) {
    // Made in the other view: the grid shown now was made from the states since, and is
    // made again for the states put back, so that it shows what they hold.
    eachSpan(0, [&](uint64_t first, uint64_t last) {
      for (uint64_t index = first; index <= last; ++index) {
        const auto c = static_cast<int>(index % stride);
        const auto p = static_cast<int>(index / stride);
        if (c < 1 || c > controls)
          continue;
        if (shown == 1) {
          grid.Set(c, p,
                   Pattern.MachineTable->GetColour(Pattern.Creel->GetYarnType(c),
                                                   Pattern.States.Get(c, p)));
          redraw(index);
          continue;
        }
        const int odd = (c - 1) | 1, even = odd + 1 <= controls ? odd + 1 : odd - 1;
        const uint8_t k = Pattern.DesignTable->GetColour(
            Pattern.Creel->GetYarnType(odd), Pattern.Creel->GetYarnType(even),
            Pattern.States.Get(odd, p), Pattern.States.Get(even, p));
        for (int pc = odd; pc <= std::min(odd + 1, controls); ++pc) {
          grid.Set(pc, p, k);
          redraw(grid.Index(pc, p));
        }
      }
    });
    return;
  }
  if (shown != 1) {
    eachSpan(shown, [&](uint64_t first, uint64_t last) {
      for (uint64_t index = first; index <= last; ++index)
        redraw(index);
    });
    return;
  }
  // The machine images are drawn a piece of a PLine at a time, as a fill draws them.
  const std::vector<TShownImage> images =
      ShownMachineImages(*Pattern.Pictures, Pattern.NoControls, Pattern.NoPLines);
  if (images.empty())
    return;
  std::vector<uint32_t> drawn(static_cast<size_t>(controls) + 1);
  const std::array<uint32_t, 256> colours = Pattern.Palette->PixelColours();
  const uint8_t* cells = grid.Data().data();
  int64_t top = INT64_MAX, bottom = INT64_MIN, left = INT64_MAX, right = INT64_MIN;
  eachSpan(1, [&](uint64_t first, uint64_t last) {
    for (uint64_t p = first / stride; p <= last / stride; ++p) {
      const int64_t c0 = std::max<int64_t>(1, p == first / stride ? int64_t(first % stride) : 1);
      const int64_t c1 =
          std::min<int64_t>(controls, p == last / stride ? int64_t(last % stride) : controls);
      if (c0 > c1 || p < 1 || p > static_cast<uint64_t>(Pattern.NoPLines))
        continue;
      const uint8_t* row = cells + p * stride;
      for (int64_t c = c0; c <= c1; ++c)
        drawn[static_cast<size_t>(c)] = colours[row[c]];
      for (const TShownImage& image : images)
        for (const TShownArea& area : image.Areas)
          DrawShown(area, static_cast<int64_t>(p), c0, c1, drawn.data() + c0, nullptr,
                    image.Picture->MachineImage);
      top = std::min(top, static_cast<int64_t>(p)),
      bottom = std::max(bottom, static_cast<int64_t>(p));
      left = std::min(left, c0), right = std::max(right, c1);
    }
  });
  if (top > bottom)
    return;
  const TRect changed{static_cast<int32_t>(left), static_cast<int32_t>(top),
                      static_cast<int32_t>(right), static_cast<int32_t>(bottom)};
  for (const TShownImage& image : images)
    for (const TShownArea& area : image.Areas)
      if (const TRect px = ShownPixels(area, changed, image.Picture->MachineImage);
          px.Left <= px.Right && px.Top <= px.Bottom)
        Pattern.Events.PixelsChanged(image.Picture, false, px);
}

// Everything of the pattern but its cells: the setup records, the elements' records, and
// what the pattern keeps beside them.
TBytes OUndoHistory::Objects(TPartEnds* ends) const {
  const OPattern& p = Pattern;
  OWriter s;
  auto ended = [&](TPart part) {
    if (ends)
      (*ends)[part] = s.Bytes().size();
  };
  p.Settings->WriteToStream(s);
  ended(Settings);
  p.Palette->WriteToStream(s);
  ended(Palette);
  p.MachineTable->WriteToStream(s);
  ended(MachineTable);
  p.DesignTable->WriteToStream(s);
  ended(DesignTable);
  p.Creel->WriteToStream(s);
  ended(Creel);
  s.WriteCardinal(static_cast<uint32_t>(p.Sections->Count()));
  for (const auto& section : *p.Sections)
    section->WriteToStream(s);
  ended(Sections);
  s.WriteCardinal(static_cast<uint32_t>(p.Pictures->Count()));
  for (const auto& picture : *p.Pictures)
    picture->WriteToStream(s);
  ended(Pictures);
  WriteColourways(s, p.Colourways());
  ended(Colourways);
  s.WriteWord(p.NoControls);
  s.WriteWord(p.NoPLines);
  s.WriteByte(p.MachineType);
  s.WriteByte(p.PatternMode);
  s.WriteByte(p.ControlDataFormat);
  for (const std::string& name : p.StateNames)
    WriteText(s, name);
  ended(Fields);
  return std::move(s.Bytes());
}

uint16_t OUndoHistory::PartsDiffering(const TBytes& a, const TPartEnds& aEnds, const TBytes& b,
                                      const TPartEnds& bEnds) {
  uint16_t parts = 0;
  size_t aFrom = 0, bFrom = 0;
  for (size_t part = 0; part < PartCount; ++part) {
    const size_t n = aEnds[part] - aFrom;
    if (n != bEnds[part] - bFrom || std::memcmp(a.data() + aFrom, b.data() + bFrom, n) != 0)
      parts = static_cast<uint16_t>(parts | (1u << part));
    aFrom = aEnds[part], bFrom = bEnds[part];
  }
  return parts;
}

// The objects are read back into the ones the pattern holds, so that the tree's nodes and
// the open editors keep showing them; only a list that grows or shrinks does so at its end.
// Only the setup objects among `parts` are applied (and so announced).
void OUndoHistory::RestoreObjects(const TBytes& bytes, uint16_t parts) {
  OPattern& p = Pattern;
  OReader s(bytes);
  auto changed = [parts](TPart part) { return (parts & (1u << part)) != 0; };
  p.Settings->ReadFromStream(s);
  if (changed(Settings))
    p.ApplySettings();
  p.Palette->ReadFromStream(s);
  if (changed(Palette))
    p.ApplyPalette();
  p.MachineTable->ReadFromStream(s);
  // A read takes an undefined state of 0 for 1; a table that never had one keeps its 0.
  p.MachineTable->Undefined = bytes[s.Position() - 1];
  if (changed(MachineTable))
    p.ApplyMachineTable();
  p.DesignTable->ReadFromStream(s);
  if (changed(DesignTable))
    p.ApplyDesignTable();
  p.Creel->ReadFromStream(s);
  p.Creel->SetNoYarnTypes(p.MachineTable->NoYarnTypes());
  if (changed(Creel))
    p.ApplyCreel();

  const int sections = static_cast<int>(s.ReadCardinal());
  for (int i = 0; i < sections; ++i) {
    if (i < p.Sections->Count())
      p.Sections->Get(i)->ReadFromStream(s);
    else
      p.Sections->Add(std::make_unique<OSection>(&p))->ReadFromStream(s);
  }
  while (p.Sections->Count() > sections)
    Removed.push_back(p.Sections->Take(p.Sections->Count() - 1));

  const int pictures = static_cast<int>(s.ReadCardinal());
  for (int i = 0; i < pictures; ++i) {
    OPicture read(nullptr);
    read.ReadFromStream(s);
    OPicture* picture = i < p.Pictures->Count() ? p.Pictures->Get(i)
                                                : p.Pictures->Add(std::make_unique<OPicture>(&p));
    picture->AspectRatio = read.AspectRatio;
    picture->SetHeight(read.Height);
    picture->SetWidth(read.Width);
    picture->UpToDate = TView::None;
    ORegionList& regions = picture->Regions;
    for (int r = 0; r < read.Regions.Count(); ++r) {
      ORegion* region = r < regions.Count() ? regions.Get(r)
                                            : regions.Add(std::make_unique<ORegion>(&p, picture));
      region->Assign(*read.Regions.Get(r));
    }
    while (regions.Count() > read.Regions.Count())
      Removed.push_back(regions.Take(regions.Count() - 1));
  }
  while (p.Pictures->Count() > pictures)
    Removed.push_back(p.Pictures->Take(p.Pictures->Count() - 1));

  p.ColourwayList = ReadColourways(s);
  // The colourway shown may be one the step takes away.
  if (static_cast<size_t>(p.Shown) >= p.ColourwayList.List.size())
    p.Shown = 0;

  p.SetNoControls(s.ReadWord());
  p.SetNoPLines(s.ReadWord());
  p.MachineType = s.ReadByte();
  p.PatternMode = s.ReadByte();
  p.ControlDataFormat = s.ReadByte();
  for (std::string& name : p.StateNames)
    name = ReadText(s);
}

} // namespace quillane
