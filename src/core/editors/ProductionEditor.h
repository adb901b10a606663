#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "data/PatternEvents.h"
#include "production/Production.h"
#include "production/Sheet.h"

namespace quillane {

class OPattern;
class OUndoHistory;

// One row of the yarn table, as the window shows it.
struct TYarnTypeRow {
  std::string YarnType, Length, Weight, WithWaste, Ends, Packages;
  friend bool operator==(const TYarnTypeRow&, const TYarnTypeRow&) = default;
};

// What the Production window shows of a pattern: its figures as text and the yarn each
// needle takes, for the chart.
struct TProductionView {
  // Why the parameters file was passed over or nothing could be worked out; "" when neither.
  std::string Problem;
  std::string Totals;
  std::string FirstEmpty; // the needle end whose package runs out first
  std::vector<TYarnTypeRow> YarnTypes;
  std::string Balance;
  std::vector<double> NeedleLengths; // m, controls 1 to NoControls
  double LongestNeedle = 0.0;
  // The sheet's creel chart: it needs no parameters, so a refused file leaves it shown.
  TSheetBlock Creel;
  // What the figures were worked out with: the file's, completed, or the defaults.
  TProductionParameters Parameters;
};

// A parameter as the window's box shows it: "Tuft length High (mm)" and "22.54"; a yarn
// count's label names no unit, as a choice of "dtex" or "Nm" stands beside its box.
struct TParameterField {
  std::string Label, Text;
  std::string Unit; // a yarn count's, "" for any other box
  friend bool operator==(const TParameterField&, const TParameterField&) = default;
};

// A box for the tuft length of every state, the count of every yarn type (in the unit the
// parameters give it), the cone weight, the run length, the goods' width and selvage and the
// waste.
std::vector<TParameterField> ParameterFields(const OPattern& pattern,
                                             const TProductionParameters& parameters);
// `parameters` with the boxes' texts read into it, in the order ParameterFields gives them,
// and the yarn counts in the units chosen beside them (none given: the units as they were).
// Throws EProduction "LABEL: ... is not a number" or "NAME must be from ..." in the window's
// words for the first box that is not usable.
TProductionParameters ReadParameterFields(const OPattern& pattern, TProductionParameters parameters,
                                          const std::vector<std::string>& texts,
                                          const std::vector<std::string>& units = {});

// Where a pattern's machine profile is looked up: the current design directory, then the
// pattern's own folder (none for a pattern never saved).
std::vector<std::string> MachineProfileFolders(const OPattern& pattern);
// The window's choice of machine: "Any machine", then the profiles of those folders, each
// name once and sorted. A machine the parameters name that no folder holds stays offered
// (and chosen), so that opening the window and applying it loses nothing.
struct TMachineChoices {
  std::vector<std::string> Names;
  size_t Chosen = 0;
  friend bool operator==(const TMachineChoices&, const TMachineChoices&) = default;
};
TMachineChoices MachineChoices(const OPattern& pattern, const std::string& machine);
// The parameters' machine for a choice: "" for "Any machine", which names no profile.
std::string MachineOfChoice(const std::string& choice);

// A parameters file as last read: read again only when its name, size or time stamp
// changed (Apply wrote it, someone edited it), not at every stroke of the pattern.
class OParametersFile {
public:
  // The file's parameters (the defaults when there is none) completed for the pattern's
  // states and yarn types. Throws EProduction as ReadProductionParametersFile does, for as
  // long as the refused file stays as it is.
  TProductionParameters Load(const std::string& path, const OPattern& pattern);

private:
  std::string Path;
  std::string Stamp; // "" before the first read
  TProductionParameters Read;
  std::string Problem;
};

// The pattern's figures with the parameters of `parametersFile` (the defaults when there is
// none; a refused file is named in Problem and the defaults used in its place). Nothing but
// Problem when the figures cannot be worked out.
TProductionView BuildProductionView(const OPattern& pattern, OParametersFile& file,
                                    const std::string& parametersFile);
TProductionView BuildProductionView(const OPattern& pattern, const std::string& parametersFile);
// Whether the figures may have changed: whatever changes the cells or the creel. Cells
// painted in a stroke are counted when it ends and the history tells, not at every move.
bool ChangesFigures(const TPatternChange& change, const OUndoHistory& history);

// The parameters file beside the pattern's file; "" for a pattern never saved, whose name
// names no folder (a file beside it would land wherever the program was started).
std::string ParametersFileOf(const OPattern& pattern);
// Apply: the boxes read as ReadParameterFields does and written to ParametersFileOf.
// Throws EProduction for a refused box or a pattern never saved, and the file errors.
void ApplyParameterFields(const OPattern& pattern, const TProductionParameters& parameters,
                          const std::vector<std::string>& texts,
                          const std::vector<std::string>& units = {});

// What the window's colourway box offers: each colourway by name, the Original first, then
// "All colourways".
std::vector<std::string> ColourwayChoices(const OPattern& pattern);
// The sheet of the figures the window shows, dated `date`, in the colourway chosen (an index
// of ColourwayChoices: 0 the palette's, the last every colourway's). Throws EProduction when
// the figures cannot be worked out.
TSheet ProductionSheet(const OPattern& pattern, const TProductionParameters& parameters,
                       const std::string& date, int colourway = 0);
// Asks where the sheet's PDF goes, proposing the pattern's name with ".pdf" in its folder;
// "" when the user cancels.
std::string AskSheetFile(const OPattern& pattern);

// Asks where the figures' CSV goes, as AskSheetFile does for the sheet.
std::string AskFiguresFile(const OPattern& pattern);
// The figures as `report -o NAME.csv` writes them, in the colourway chosen as for
// ProductionSheet, written atomically to `path`. Throws EProduction when they cannot be
// worked out, and the file errors.
void SaveFiguresCsv(const std::string& path, const OPattern& pattern,
                    const TProductionParameters& parameters, int colourway = 0);

// The control (from 1) whose bar lies under `x` in a chart `width` wide of `bars` bars of
// equal width; 0 beside the chart or without bars.
int ControlAt(double x, double width, size_t bars);

} // namespace quillane
