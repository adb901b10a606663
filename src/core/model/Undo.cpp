#include "model/Undo.h"

#include <algorithm>
#include <cstring>

#include "elements/Picture.h"
#include "elements/Section.h"
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
  if (Depth++ > 0 || RestoringFlag || LimitBytes == 0)
    return;
  EndStroke();
  Before = std::make_unique<TSnapshot>();
  Before->Label = std::move(label);
  for (int i = 0; i < 3; ++i)
    Before->Grids[static_cast<size_t>(i)] = TPackedGrid::Of(Grid(i));
  Before->Objects = Objects();
}

void OUndoHistory::EndChange() {
  if (--Depth > 0 || !Before)
    return;
  std::unique_ptr<TSnapshot> before = std::move(Before);
  TStep step;
  step.Label = std::move(before->Label);
  step.Edits = std::move(before->Edits);
  TBytes objects = Objects();
  if (objects != before->Objects) {
    step.ObjectsBefore = std::move(before->Objects);
    step.ObjectsAfter = std::move(objects);
  }
  bool resized = false;
  for (int i = 0; i < 3; ++i) {
    const TPackedGrid& was = before->Grids[static_cast<size_t>(i)];
    resized = resized || was.Controls() != Grid(i).Controls() || was.PLines() != Grid(i).PLines();
  }
  bool any = !step.ObjectsBefore.empty() || !step.Edits.empty();
  for (int i = 0; i < 3; ++i) {
    const auto k = static_cast<size_t>(i);
    step.Whole[k] = resized || !Difference(before->Grids[k], Grid(i), step.Cells[k]);
    if (step.Whole[k])
      step.Grids[k] = std::move(before->Grids[k]);
    any = any || step.Whole[k] || !step.Cells[k].Empty();
  }
  if (any)
    Push(std::move(step));
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
  {
    // A step that puts back more than cells is told at once (its elements may be gone when
    // it returns); the views still paint once, after all of them.
    OPatternEvents::TGroup oneReport(Pattern.Events);
    struct TLoud {
      bool& Flag;
      ~TLoud() { Flag = false; }
    } loud{Quiet};
    Quiet = true;
    try {
      for (int i = 0; i < steps; ++i)
        undo ? Undo() : Redo();
    } catch (...) {
      // The steps taken before the failing one stay taken: the captions follow them.
      Quiet = false;
      Notify();
      throw;
    }
  }
  Notify();
}

void OUndoHistory::Put(TStep& step, bool after) {
  RestoringFlag = true;
  struct TDone {
    OUndoHistory& History;
    ~TDone() {
      History.RestoringFlag = false;
      History.Removed.clear();
    }
  } done{*this};

  auto writeCells = [&](int i) {
    TCellRuns& runs = step.Cells[static_cast<size_t>(i)];
    uint8_t* cells = Grid(i).Data().data();
    uint8_t* values = runs.Values.data();
    for (size_t r = 0; r < runs.Starts.size(); ++r) {
      std::swap_ranges(values, values + runs.Lengths[r], cells + runs.Starts[r]);
      values += runs.Lengths[r];
    }
  };

  if (!step.Stroke) {
    // Grids of the right size first: putting back the settings then finds them so.
    for (int i = 0; i < 3; ++i) {
      if (step.Whole[static_cast<size_t>(i)]) {
        TPackedGrid& kept = step.Grids[static_cast<size_t>(i)];
        TPackedGrid now = TPackedGrid::Taking(Grid(i));
        kept.PutInto(Grid(i));
        kept = std::move(now);
      } else {
        writeCells(i);
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
    if (!objects.empty() && (edits.empty() || Objects() != objects))
      RestoreObjects(objects);
    Pattern.Restored();
    return;
  }

  // A stroke's cells go back as a stroke drew them: their areas and their pixels.
  OPatternEvents::TGroup oneReport(Pattern.Events);
  const int stride = static_cast<int>(Grid(0).Stride());
  for (int i = 0; i < 3; ++i) {
    writeCells(i);
    const TCellRuns& runs = step.Cells[static_cast<size_t>(i)];
    for (size_t r = 0; r < runs.Starts.size(); ++r) {
      const auto first = static_cast<int64_t>(runs.Starts[r]);
      const int64_t last = first + runs.Lengths[r] - 1;
      const auto p0 = static_cast<int32_t>(first / stride),
                 p1 = static_cast<int32_t>(last / stride);
      if (p0 == p1)
        Pattern.Events.CellsChanged(
            {static_cast<int32_t>(first % stride), p0, static_cast<int32_t>(last % stride), p1});
      else
        Pattern.Events.CellsChanged({1, p0, Pattern.NoControls, p1});
    }
  }
  // Only the grid the pictures show makes pixels.
  // The grids are numbered as the views: the states 0, the machine colours 1, the design 2.
  const int shown = Pattern.UpToDate == TView::None ? -1 : static_cast<int>(Pattern.UpToDate);
  if (shown < 0) {
    Pattern.SetModified(1);
    return;
  }
  TGrid& grid = Grid(shown);
  auto redraw = [&](uint64_t index) {
    const auto c = static_cast<int32_t>(index % static_cast<uint64_t>(stride));
    const auto p = static_cast<int32_t>(index / static_cast<uint64_t>(stride));
    const uint32_t colour = Pattern.Palette->GetColour(grid.Data()[index]);
    if (shown == 1)
      Pattern.RedrawMachineCell(c, p, colour);
    else
      Pattern.RedrawDesignCell(c, p, colour);
  };
  if (Pattern.PatternMode == pmStates && step.View != Pattern.UpToDate) {
    // Drawn in the other view: the grid shown now was made from the states since, and is
    // made again for the states put back, so that it shows what they hold.
    const int controls = Pattern.NoControls;
    const TCellRuns& runs = step.Cells[0];
    for (size_t r = 0; r < runs.Starts.size(); ++r)
      for (uint64_t index = runs.Starts[r]; index < runs.Starts[r] + runs.Lengths[r]; ++index) {
        const auto c = static_cast<int>(index % static_cast<uint64_t>(stride));
        const auto p = static_cast<int>(index / static_cast<uint64_t>(stride));
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
  } else {
    const TCellRuns& runs = step.Cells[static_cast<size_t>(shown)];
    for (size_t r = 0; r < runs.Starts.size(); ++r)
      for (uint64_t index = runs.Starts[r]; index < runs.Starts[r] + runs.Lengths[r]; ++index)
        redraw(index);
  }
  Pattern.SetModified(1);
}

// Everything of the pattern but its cells: the setup records, the elements' records, and
// what the pattern keeps beside them.
TBytes OUndoHistory::Objects() const {
  const OPattern& p = Pattern;
  OWriter s;
  p.Settings->WriteToStream(s);
  p.Palette->WriteToStream(s);
  p.MachineTable->WriteToStream(s);
  p.DesignTable->WriteToStream(s);
  p.Creel->WriteToStream(s);
  s.WriteCardinal(static_cast<uint32_t>(p.Sections->Count()));
  for (const auto& section : *p.Sections)
    section->WriteToStream(s);
  s.WriteCardinal(static_cast<uint32_t>(p.Pictures->Count()));
  for (const auto& picture : *p.Pictures)
    picture->WriteToStream(s);
  s.WriteWord(p.NoControls);
  s.WriteWord(p.NoPLines);
  s.WriteByte(p.MachineType);
  s.WriteByte(p.PatternMode);
  s.WriteByte(p.ControlDataFormat);
  for (const std::string& name : p.StateNames)
    WriteText(s, name);
  return std::move(s.Bytes());
}

// The objects are read back into the ones the pattern holds, so that the tree's nodes and
// the open editors keep showing them; only a list that grows or shrinks does so at its end.
void OUndoHistory::RestoreObjects(const TBytes& bytes) {
  OPattern& p = Pattern;
  OReader s(bytes);
  p.Settings->ReadFromStream(s);
  p.ApplySettings();
  p.Palette->ReadFromStream(s);
  p.ApplyPalette();
  p.MachineTable->ReadFromStream(s);
  // A read takes an undefined state of 0 for 1; a table that never had one keeps its 0.
  p.MachineTable->Undefined = bytes[s.Position() - 1];
  p.ApplyMachineTable();
  p.DesignTable->ReadFromStream(s);
  p.ApplyDesignTable();
  p.Creel->ReadFromStream(s);
  p.Creel->SetNoYarnTypes(p.MachineTable->NoYarnTypes());
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

  p.SetNoControls(s.ReadWord());
  p.SetNoPLines(s.ReadWord());
  p.MachineType = s.ReadByte();
  p.PatternMode = s.ReadByte();
  p.ControlDataFormat = s.ReadByte();
  for (std::string& name : p.StateNames)
    name = ReadText(s);
}

} // namespace quillane
