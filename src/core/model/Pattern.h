#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/CellBits.h"
#include "app/Exceptions.h"
#include "data/DesignData.h"
#include "data/DesignList.h"
#include "data/DesignOwner.h"
#include "data/Grid.h"
#include "data/Record.h"
#include "model/Undo.h"
#include "setup/Colourways.h"

namespace quillane {

class OCreel;
class ODesignTable;
class OMachineTable;
class OPalette;
class OSettings;
class OPicture;
class OSection;
class OPattern;
using OPictureList = ODesignList<OPicture, OPattern>;
using OSectionList = ODesignList<OSection, OPattern>;

// What a machine type code makes of a pattern.
struct TMachineTypeInfo {
  const char* Name;
  uint8_t PatternMode;
  uint8_t ControlDataFormat;
  uint8_t NoStates;
  const char* StateNames[3]; // names 1 to NoStates; the rest are left as they were
};
constexpr int MaxMachineType = 13;
// The entry of a machine type code 0 to 13.
const TMachineTypeInfo& MachineTypeInfo(int machineType);

// What a change of the pattern's size did to its elements beyond following it.
struct TResizeReport {
  // By their numbers before the change, from 1: "Section #3", "Region #2 of Picture #1".
  std::vector<std::string> Clipped, Removed;
  // The elements taken out, kept alive until the views have heard of the change.
  std::vector<std::unique_ptr<ODesignData>> Taken;
  bool Empty() const { return Clipped.empty() && Removed.empty(); }
  // One message naming every element that changed, for a pattern now `controls` x `pLines`.
  std::string Message(int controls, int pLines) const;
};

enum class TCellPaint { Done, Cannot, Cancelled };

// The document: one tufting pattern with its setup objects, elements and cell grids.
class OPattern final : public ODesignOwner {
public:
  // Counts itself among the patterns created since the program started.
  OPattern();
  ~OPattern();
  OPattern(const OPattern&) = delete;
  OPattern& operator=(const OPattern&) = delete;

  // Events, where views subscribe to hear what changed, is the owner's.

  // Set by every change, cleared by saving; a change of the flag is reported.
  uint8_t Modified() const { return ModifiedFlag; }
  void SetModified(uint8_t modified);

  std::string FileName;
  // Reading copies the sections' cells unless the reader only looks at the file (info,
  // extract): a few megabytes of sections can ask for minutes of copies.
  bool ApplySectionsOnRead = true;
  // Set only while the Open command reads the file: a long copy of the sections then
  // shows progress with Cancel, and a cancel stops the read with EOpenCancelled.
  bool OfferCancel = false;
  // MachineType, NoControls, NoColours, NoPLines, NoStates, NoYarnTypes, PatternMode and
  // the three grids are the owner's.
  uint8_t ControlDataFormat = 0;
  TView UpToDate = TView::None;
  std::array<std::string, 5> StateNames;

  // Created in this order, each starting cleared.
  std::unique_ptr<OCreel> Creel;
  std::unique_ptr<ODesignTable> DesignTable;
  std::unique_ptr<OMachineTable> MachineTable;
  std::unique_ptr<OPalette> Palette;
  std::unique_ptr<OPictureList> Pictures;
  std::unique_ptr<OSectionList> Sections;
  std::unique_ptr<OSettings> Settings;
  OPalette& GetPalette() override { return *Palette; }
  const OSettings& GetSettings() const override { return *Settings; }

  // Last number used for an element name of each kind; never stored.
  int32_t PictureCounter = 0;
  int32_t RegionCounter = 0;
  int32_t SectionCounter = 0;
  int32_t WindowCounter = 0;

  // Dimension and type setters; each does nothing for an unchanged value, except
  // SetMachineType, which always applies its table.
  void SetNoControls(uint16_t n);
  void SetNoPLines(uint16_t n);
  void SetNoColours(uint8_t n);
  void SetNoStates(uint8_t n);
  void SetNoYarnTypes(uint8_t n);
  void SetMachineType(uint8_t type);
  void SetControlDataFormat(uint8_t format) { ControlDataFormat = format; }

  // After the size changed from `oldControls` x `oldPLines` to the present one (the user
  // agreed to it): a picture whose side was the pattern's, or a whole number of times it,
  // keeps that proportion; a section or region spanning the whole pattern on a side keeps
  // spanning it; the creel's new controls continue its repeat; an element that no longer
  // fits is cut to the pattern, or taken out when nothing of it is left. Sections lie
  // inside the pattern afterwards. Called before Changed.
  TResizeReport FollowResize(int oldControls, int oldPLines);

  // Re-synchronisation after a setup object was replaced or edited; each is reported.
  void ApplySettings() override;
  void ApplyPalette() override;
  void ApplyMachineTable() override;
  void ApplyDesignTable() override;
  void ApplyCreel() override;

  std::string GetStateName(int index) const;

  // Life cycle.
  // A new pattern's content: DEFAULT.PAT when one reads completely, else the built-in one.
  void InitNew();
  bool LoadDefault();
  // Writes FileName atomically and clears Modified; errors pass to the caller.
  void SaveToFile();
  // The same bytes to another file, atomically, leaving FileName and Modified alone.
  void WriteCopy(const std::string& path) const;
  // The pattern file record. Reading is meant for a freshly created pattern; a failed
  // read leaves it half filled, for the caller to discard.
  void ReadFromStream(OReader& stream);
  void WriteToStream(OWriter& stream) const;
  std::string GetExtension() const { return "PAT"; }
  // The change notification after every change that can affect more than one object.
  void Changed() override;
  // The same after an undo or redo put the pattern back: the section copies were put back
  // with it, so they are not made again.
  void Restored();
  // The same when the caller knows which objects it changed, the pattern keeping its size
  // and kind: the views hear of those objects (and a section's copies) rather than of
  // everything.
  void Changed(std::initializer_list<TDesignRecordKind> objects);
  void Restored(std::span<const TDesignRecordKind> objects);
  // What a write of the cells of PLines first..last may change, their section copies with
  // them, for the step that keeps it.
  OUndoHistory::TTouches RowsWritten(int64_t first, int64_t last) const;
  void BeginStep() override { History.BeginChange(); }
  void BeginStep(const std::string& label) override { History.BeginChange(label); }
  void EndStep() override { History.EndChange(); }

  // Cell access, controls and PLines from 1. Outside the grid a read gives 0 and a write
  // does nothing; a value above the colour or state count leaves the cell unchanged.
  uint8_t GetDesignColour(int c, int p) const { return DesignColours.Get(c, p); }
  uint8_t GetMachineColour(int c, int p) const { return MachineColours.Get(c, p); }
  uint8_t GetState(int c, int p) const { return States.Get(c, p); }
  // An open stroke of the history hears of every cell before it is written.
  void SetDesignColour(int c, int p, uint8_t v) {
    if (v <= NoColours) {
      if (History.Journaling) [[unlikely]]
        History.Note(2, DesignColours, c, p);
      DesignColours.Set(c, p, v);
    }
  }
  void SetMachineColour(int c, int p, uint8_t v) {
    if (v <= NoColours) {
      if (History.Journaling) [[unlikely]]
        History.Note(1, MachineColours, c, p);
      MachineColours.Set(c, p, v);
    }
  }
  void SetState(int c, int p, uint8_t v) {
    if (v <= NoStates) {
      if (History.Journaling) [[unlikely]]
        History.Note(0, States, c, p);
      States.Set(c, p, v);
    }
  }

  // Names for new elements, e.g. "Region3-1".
  std::string NewPictureName();
  std::string NewRegionName();
  std::string NewSectionName();
  std::string NewWindowName();
  // Reports that elements of `kind` were added or removed (regions: of `picture`).
  void ElementsChanged(TDesignRecordKind kind, const OPicture* picture) override;
  // A picture or section was added or removed.
  void ListChanged(const OPictureList&) { ElementsChanged(TDesignRecordKind::Picture, nullptr); }
  void ListChanged(const OSectionList&) { ElementsChanged(TDesignRecordKind::Section, nullptr); }

  // Grids, sections and painting.
  void ComputeMachineColours(const TWorkDone& done = {}) override;
  void ComputeDesignColours(const TWorkDone& done = {}) override;
  void BringUpToDate(TView view, const TWorkDone& done = {}) override;
  // Shows SectionsProblem, unless quiet, and answers whether there was none.
  bool ValidateSections();
  // The message ValidateSections would show, or "" when every section lies inside the
  // pattern; shows nothing, so a caller can report it once in its own way.
  std::string SectionsProblem() const;
  void ApplySections();
  // The cells ApplySections would copy, sources clipped to the grid. A file whose
  // sections ask for more than MaxSectionWork times the pattern's cells is refused: no
  // wizard, import or editor makes one, and a few megabytes of them asked for minutes.
  int64_t SectionWork() const;
  // The cells one section copies.
  int64_t SectionWork(const OSection& section) const;
  static constexpr int64_t MaxSectionWork = 16;
  // `work` (by default SectionWork) within that bound; else the refusal's text, naming it.
  std::string SectionWorkProblem() const { return SectionWorkProblem(SectionWork()); }
  std::string SectionWorkProblem(int64_t work) const;
  // The same as a sentence of its own, for whoever would save or apply such sections.
  std::string SectionWorkRefusal(int64_t work) const;
  void PaintMachineColour(int32_t c, int32_t p, uint8_t v) override;
  // Many machine-view paints in a row (a bitmap applied to a region): while a batch is
  // open, PaintMachineColour gives the same cells as one by one but redraws the pixels
  // once, when the batch closes. Layouts whose result would depend on that (sections with
  // flips or turns, regions that overlap with different cells) paint one by one.
  void BeginPaintBatch() override;
  void EndPaintBatch() override;
  // Inside an open batch, paints every cell of `area` (inside the grid) with its value from
  // `values` as PaintMachineColour would
  // one cell after another in any order, a PLine at a time. Cells that share a source
  // (a whole pattern painted over its sections' copies) need `order`: the last of them
  // wins. Answers false, changing nothing, when no batch is open, the order of these
  // paints could change the result or the values stopped.
  using ODesignOwner::BatchPaintArea;
  bool BatchPaintArea(const TRect& area, OAreaValues& values, TPaintOrder order = {}) override;
  void PaintDesignColour(int32_t c, int32_t p, uint8_t v) override;
  // Paints colour `v` on every cell marked (not 0) in `cells`, a byte per cell laid out as
  // the grids, as PaintMachineColour would one cell after another in any order: with one
  // colour the order does not matter. One step of the history, `label`, taken only when a
  // cell changes. `goOn`, asked now and then before anything changed, may cancel. Cannot
  // (changing nothing) when a stroke is open, a section lies outside the pattern or there
  // are more sections than it sorts out quickly.
  TCellPaint PaintMachineCells(const TCellBits& cells, uint8_t v, const std::string& label,
                               const std::function<bool()>& goOn = {});
  // Makes undefined every cell marked in `cells` (laid out as for PaintMachineCells), as
  // UndefineMachineCell would one after another, within the caller's step of the history;
  // false, changing nothing, where PaintMachineCells cannot.
  bool UndefineMachineCells(const TCellBits& cells);
  // The cell a paint of (C, P) would reach, and every copy the sections make of it, made
  // undefined as SetUndefined makes a cell: the machine table's state for colour 0 on its
  // yarn type and machine colour 0. In the design view the cell's pair goes with it, and
  // its design colour follows the pair's states. Outside every section nothing changes.
  void UndefineMachineCell(int32_t c, int32_t p);
  void UndefineDesignCell(int32_t c, int32_t p);
  void RedrawMachineCell(int32_t c, int32_t p, uint32_t colour);
  void RedrawDesignCell(int32_t c, int32_t p, uint32_t colour);
  void SetUndefined();

  // The pattern file can hold no more than these.
  static constexpr int MaxPictures = 255;
  static constexpr int MaxSections = 65535;

  // Patterns created since the program started.
  static int32_t PatternsCreated();
  // A pattern that never joined the program (a file that failed to read) gives its number
  // back, so the next one does not skip it: the count returns to `count` if it is above.
  static void GiveBackNumbers(int32_t count);
  // The count when this pattern was made: the number its element names carry, whichever
  // pattern was made last. 0 for a trial read.
  int32_t Number() const { return OwnNumber; }

  // The pattern's colourways, the first its own palette. They are kept beside the pattern
  // file, not in it; each change is an undo step ("Add Colourway Harbour") and is heard as
  // the Colourways object.
  const TColourways& Colourways() const { return ColourwayList; }
  void SetColourways(TColourways colourways, const std::string& label);
  // The colourway the views draw in: a display choice, never saved or undone, heard as the
  // Colourways object. Painting still takes palette indices. 0 is the palette.
  int ShownColourway() const { return Shown; }
  void ShowColourway(int index);
  // Every palette index as the views show it now.
  std::array<uint32_t, 256> ShownColours() const;
  // Puts colourway `index`'s colours into the palette as one undo step ("Make Palette
  // Harbour").
  void MakePalette(int index);
  // A yarn type's colour, or one palette entry, of colourway `colourway` as one undo step
  // ("Colour Harbour A"); in the Original that is the palette's entry itself.
  void SetYarnColour(int colourway, int yarnType, uint32_t colour);
  void SetEntryColour(int colourway, int index, uint32_t colour);

  // Undo and redo; it lives and dies with the pattern, so saving keeps it and closing the
  // pattern drops it.
  OUndoHistory History{*this};

private:
  // PaintMachineCells, or with no label UndefineMachineCells.
  TCellPaint WriteMachineCells(const TCellBits& cells, uint8_t v, const std::string* label,
                               const std::function<bool()>& goOn);
  uint8_t ModifiedFlag = 0;
  int32_t OwnNumber = 0;
  TColourways ColourwayList;
  int Shown = 0;
  // Undo puts the colourways back with the setup objects, without a step of its own.
  friend class OUndoHistory;
  // Writes a colourway's set colours into the palette as one step.
  void PutInPalette(const TColourway& colours, const std::string& label);
  void Resynchronise(bool copySections, std::span<const TDesignRecordKind> objects);
  bool BatchGrouped = false; // the open batch holds a group of the events open
  void SetupApplied(TDesignRecordKind kind);

  // The pattern file in three parts: the records before the cells, the cells of each PLine
  // (pointing into the primary grid), and the records after them.
  struct TFileParts {
    OWriter Head;
    std::vector<std::span<const uint8_t>> Rows;
    OWriter Tail;
  };
  TFileParts FileParts() const;

  struct TPaintBatch;
  std::unique_ptr<TPaintBatch> Batch;
  void BatchPaint(int32_t c, int32_t p, uint8_t v);

  struct TUncounted {};
  // A pattern that does not count itself: a trial read of a default file.
  explicit OPattern(TUncounted);
  // A trial read does all the work of a read but tells the user and the main window nothing:
  // the real read that follows does.
  bool Quiet = false;
  // The odd control of C's pair and that control's partner for lookups.
  int OddControl(int c) const { return ((c - 1) | 1); }
  int HighestYarnTypeInUse() const;
  int Partner(int odd) const { return odd + 1 <= NoControls ? odd + 1 : odd - 1; }
};

// The user cancelled a read that offered it (OfferCancel): nothing to report.
class EOpenCancelled : public Exception {
public:
  EOpenCancelled() : Exception("Opening cancelled") {}
};

// Opens a pattern file as the Open command does; failures carry its messages
// ("Error, pattern file not found " + path, "Error reading pattern: " + path).
std::unique_ptr<OPattern> OpenPatternFile(const std::string& path);
// The same, leaving the sections uncopied where `applySections` is false (see
// ApplySectionsOnRead). Where `cancellable`, a long copy of the sections can be cancelled
// (EOpenCancelled).
std::unique_ptr<OPattern> ReadPatternFile(const std::string& path, bool applySections,
                                          bool cancellable = false);

} // namespace quillane
