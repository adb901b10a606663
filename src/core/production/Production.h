#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/Exceptions.h"

namespace quillane {

class OPattern;
struct TColourway;

// How a yarn's count is given: decitex (grams per 10 km) or metric count (km per kg).
enum class TYarnCountUnit : uint8_t { Dtex, Nm };

struct TYarnCount {
  double Value = 1300.0;
  TYarnCountUnit Unit = TYarnCountUnit::Dtex;
  double GramsPerKm() const { return Unit == TYarnCountUnit::Dtex ? Value / 10.0 : 1000.0 / Value; }
  bool operator==(const TYarnCount&) const = default;
};

// What the mill tells us that the pattern does not know. Kept beside the pattern, never in it.
struct TProductionParameters {
  std::vector<double> TuftLength;     // mm of yarn one tuft takes, for states 1, 2, ...
  std::vector<TYarnCount> YarnCounts; // for yarn types 1, 2, ...
  double ConeWeight = 5.0;            // kg of yarn on one cone (package)
  double RunLength = 0.0;             // m of goods; 0 tufts the pattern's PLines once
  double Waste = 3.0;                 // % of the weight added before packages are counted
  // One more package on every needle end, its head tied to the tail of the running one, so
  // the machine need not stop when a package runs out.
  bool BackupPackage = true;
  // The machine profile the pattern is checked against, by name; "" checks against none.
  std::string Machine;
  // The goods as the run lays them across the machine: m wide (0: the machine's working
  // width) with mm of selvage on each side.
  double GoodsWidth = 0.0;
  double Selvage = 0.0;
  bool operator==(const TProductionParameters&) const = default;
};

// A refused parameter or a run that cannot be worked out; the text says which and why.
class EProduction : public Exception {
public:
  using Exception::Exception;
};

// The yarn one tuft takes for a pile of this height: up the pile, down again and along to
// the next PLine.
double ProposedTuftLength(double pileHeight, double pLineSpacing);
// Proposals for every state of the pattern from its state names (an "Off" state takes no
// yarn), 1300 dtex for every yarn type, 5 kg cones, one pattern length and 3 % waste.
TProductionParameters DefaultProductionParameters(const OPattern& pattern);
// Fills in what a file left out for this pattern's states and yarn types from the defaults;
// entries beyond the pattern's counts stay (they are the file's) but are not used.
void CompleteProductionParameters(TProductionParameters& parameters, const OPattern& pattern);
// Why a value of the named field (tuftLength, yarnCount, coneWeight, runLength, waste,
// goodsWidth, selvage) is
// refused, "NAME must be from LOW to HIGH UNIT", or "" when it is usable: every range is
// one a mill could mean, so no figure worked out from them is infinite, undefined or 0 where
// yarn is used. NAME is `shownAs`, or the field's own name when that is empty. A yarn count
// is judged in its unit.
std::string ParameterValueProblem(std::string_view field, double value,
                                  std::string_view shownAs = {},
                                  TYarnCountUnit unit = TYarnCountUnit::Dtex);
// The first refused value as "NAME must be ...", or "" when all are usable.
std::string ProductionParameterProblem(const TProductionParameters& parameters);
// Why a name is refused as the profile the parameters name, or "" when it is usable ("" is
// none): it is the NAME of NAME.machine.json, so at most 64 characters, none of them a
// control character or a folder's separator.
std::string MachineNameProblem(std::string_view name);

struct TNeedleFigures {
  int Control = 0;
  uint8_t YarnType = 0;        // the creel's
  std::vector<uint64_t> Tufts; // states 0 (no tuft) to NoStates
  double Length = 0.0;         // m
  double Weight = 0.0;         // kg, without waste
};

struct TYarnTypeFigures {
  uint8_t YarnType = 0;
  double GramsPerKm = 0.0;
  double Length = 0.0;          // m
  double Weight = 0.0;          // kg, without waste
  double WeightWithWaste = 0.0; // kg
  uint64_t Ends = 0;            // needle ends that take this yarn type
  uint64_t Packages = 0;        // on those ends, backups included
};

// The needle end that takes the most yarn, so that its package runs out first.
struct TFirstEmpty {
  int Control = 0; // 0 when no needle takes yarn
  uint8_t YarnType = 0;
  double WeightWithWaste = 0.0; // kg over the run
  uint64_t Packages = 0;        // on that end, a backup included
};

struct TNeedleBalance {
  double Min = 0.0, Mean = 0.0, Max = 0.0; // m per needle
  double MaxToMean = 0.0;                  // 0 when no needle uses yarn
  std::vector<int> FurthestAboveMean;      // controls, the longest first
};

struct TProductionFigures {
  uint64_t PLines = 0;                     // tufted along the run
  uint64_t FullRepeats = 0;                // whole passes of the pattern's PLines
  std::vector<uint64_t> TuftsPerState;     // states 0 (no tuft) to NoStates
  std::vector<TNeedleFigures> Needles;     // controls 1 to NoControls
  std::vector<TYarnTypeFigures> YarnTypes; // yarn types 1 to NoYarnTypes
  double Length = 0.0, Weight = 0.0, WeightWithWaste = 0.0;
  uint64_t Packages = 0;
  TFirstEmpty FirstEmpty;
  TNeedleBalance Balance;
};

// How many controls FurthestAboveMean names at most.
constexpr size_t FurthestNeedles = 5;

// The yarn the pattern takes over the run, reading each cell as the export codes it: a
// state pattern's state (a cell without one the undefined state) with the creel's yarn type
// of its control, a colour pattern's colour as the yarn type showing it, tufted in the one
// state (a colour no yarn type shows is no tuft). A control without a yarn type uses none.
// The setup tables must be validated and the parameters complete; throws EProduction
// when they are refused or the run cannot be laid out in PLines.
TProductionFigures ComputeProduction(const OPattern& pattern,
                                     const TProductionParameters& parameters);

// How ComputeProduction counts the cells, so that a check that keeps its own counts up to
// date as cells change gets the very same figures: each control's cells of each kind (a
// state pattern's state, a colour pattern's yarn type; kind 0 takes no yarn) over the
// pattern's PLines (Pass) and over the first PartPLines of them, the run's last partial
// repeat (Part); index (control - 1) * Kinds + kind.
struct TCellCounts {
  size_t Kinds = 0;
  std::array<uint8_t, 256> KindOf{}; // of each cell value, as the export codes it
  uint64_t RunPLines = 0;
  int PartPLines = 0;
  std::vector<uint32_t> Pass, Part;
};
// The counts set up for the pattern, all 0; throws as ComputeProduction does.
TCellCounts EmptyCellCounts(const OPattern& pattern, const TProductionParameters& parameters);
TProductionFigures ProductionFromCounts(const OPattern& pattern,
                                        const TProductionParameters& parameters,
                                        const TCellCounts& counts);

// The control settings' PLine spacing in millimetres, or a tenth of an inch where they give
// none: the spacing the tuft lengths are proposed from.
double PLineSpacingOf(const OPattern& pattern);

// The pile height in millimetres a state of that name is taken to have until the mill says
// otherwise: "High" 10, "Medium" 7.5, "Low" 5, "Off" none, any other 8.
double DefaultPileHeight(std::string_view stateName);

// "12.35 m", "0.125 kg": a length to the centimetre and a weight to the gram, which is what
// a mill can weigh and measure.
std::string MetresText(double metres);
std::string KilogramsText(double kilograms);
// Whole units (of `unit`, 0.01 for a length in metres) of each value, rounded so that they
// add up to the rounded sum: a table's rows add up to its total as printed. Each row is
// within one unit of its value.
std::vector<int64_t> RoundedToTotal(const std::vector<double>& values, double unit);
// The yarn table as the sheet, the window and the CSV print it: each yarn type, then the
// total, in centimetres and grams, the rows adding up to the total.
struct TPrintedYarn {
  int64_t Centimetres = 0, Grams = 0, GramsWithWaste = 0;
};
std::vector<TPrintedYarn> PrintedYarnTable(const TProductionFigures& figures);
// "12.35" for 1235 units of 0.01: whole units as a decimal, no binary fraction showing.
std::string DecimalText(int64_t units, int decimals);
// "3600 packages of 5 kg, a backup on every needle end included"
std::string PackagesText(const TProductionParameters& parameters, uint64_t packages);
// "Needle 17 (yarn type A) empties its package first: it takes 0.052 kg"
std::string FirstEmptyText(const TFirstEmpty& first);
// "Needle balance: min 1.00 m, mean ..., max/mean 1.25; furthest above the mean: 3, 7".
std::string BalanceText(const TNeedleBalance& balance);

// The figures for a spreadsheet: the needles, the yarn types with their total and the
// states, each table under its header and a blank line between them; lengths in m, weights
// in kg, each to the figure the sheet shows.
std::string ProductionCsv(const OPattern& pattern, const TProductionFigures& figures);
// The table that follows those for a sheet in colourways: each colourway's yarn types with
// their colour and shade code.
std::string ColourwaysCsv(const OPattern& pattern, const std::vector<const TColourway*>& shown);

} // namespace quillane
