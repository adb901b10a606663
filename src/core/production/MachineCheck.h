#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/Record.h"
#include "production/MachineProfile.h"
#include "production/Production.h"

namespace quillane {

class OPattern;

enum class TSeverity : uint8_t { Error, Warning };

// The rules a pattern is checked by, in the order findings are listed.
enum class TRule : uint8_t {
  Needles,        // "needles": more needles than the machine has
  PLineSpacing,   // "pline-spacing": the settings' PLine spacing outside the machine's range
  State,          // "state": a state the machine cannot tuft
  NoState,        // "no-state": a cell with no state for its yarn type
  Colour,         // "colour": a colour pattern's colour that no yarn type shows
  Float,          // "float": a needle too many PLines without a tuft
  ShortRun,       // "short-run": a run of one state shorter than the roll can follow
  PileStep,       // "pile-step": a step in pile height larger than the limit
  CreelYarnTypes, // "creel-yarn-types": more yarn types than the creel carries at once
  CreelPositions, // "creel-positions": more packages than the creel holds
  Imbalance,      // "imbalance": a needle's yarn use too far above the mean
  GoodsWidth,     // "goods-width": the goods are not whole pattern widths plus selvage
};
inline constexpr int RuleCount = 12;

// "float", as the command line's --rules names it; none for a name no rule has.
std::string_view RuleName(TRule rule);
std::optional<TRule> RuleNamed(std::string_view name);
TSeverity RuleSeverity(TRule rule);
// "error", "warning".
std::string_view SeverityName(TSeverity severity);

// One place the pattern breaks a rule: needles (controls) and PLines from 1, inclusive. A
// run that wraps through the pattern's repeat ends on a PLine before the one it starts on.
struct TFinding {
  TRule Rule = TRule::Needles;
  TSeverity Severity = TSeverity::Error;
  int FirstNeedle = 0, LastNeedle = 0;
  int FirstPLine = 0, LastPLine = 0;
  std::string Message; // in the program's words, naming the machine's limit
  friend bool operator==(const TFinding&, const TFinding&) = default;
};

// Which rules to run; all by default.
using TRuleSet = std::vector<bool>; // indexed by TRule
TRuleSet AllRules();

// Pile height in mm of states 0 (no tuft) to NoStates: from the tuft lengths of the
// production parameters (the yarn goes up the pile, down again and on to the next PLine),
// else from the state's name. A state the profile marks `none` counts as 0 in the check.
std::vector<double> CheckPileHeights(const OPattern& pattern,
                                     const TProductionParameters& parameters);

// Every finding of the pattern against the profile, in rule order, then needle, then PLine.
// The parameters must be complete for the pattern; with an imbalance limit they must also
// give the production figures (throws their EProduction otherwise).
// Cells are read as the export codes them. A cell leaves no tuft when its state is marked
// `none`, or, where the profile lists no states, when the state's name gives it no pile
// ("Off"); in a colour pattern, when no yarn type shows its colour. Float, short run and pile
// step run along each needle through the repeat, and pass over needles that carry no yarn;
// state, no-state and colour places are blocks of cells (needles side by side with the same
// PLines are one place); a needle that never tufts is one place over all its PLines.
std::vector<TFinding> CheckPattern(const OPattern& pattern, const TMachineProfile& profile,
                                   const TProductionParameters& parameters,
                                   const TRuleSet& rules = AllRules());

// The check kept up to date as the pattern changes, without a pass over the whole pattern
// for a stroke: Begin, then CheckMore in idle slices until Complete; after a change of
// cells, Recheck the needles and PLines it touched. Any other change (setup, size, profile,
// parameters) begins again.
// The places of one rule listed at most; the rest are counted, in one more finding that
// says how many.
inline constexpr size_t MaxListedPerRule = 10000;

class OMachineCheck {
public:
  OMachineCheck();
  ~OMachineCheck();
  OMachineCheck(OMachineCheck&&) noexcept;
  OMachineCheck& operator=(OMachineCheck&&) noexcept;

  void Begin(const OPattern& pattern, const TMachineProfile& profile,
             const TProductionParameters& parameters, const TRuleSet& rules = AllRules());
  // Checks up to `plines` more PLines' worth of cells (reading the grid, then examining the
  // needles, each a pass); answers whether the check is complete.
  bool CheckMore(const OPattern& pattern, int plines);
  bool Complete() const;
  // The cells of `area` (controls and PLines from 1) changed. Areas are gathered (a stroke's
  // presses along one PLine are one) and read when the findings, the counts or the marks are
  // next asked for, so the pattern must outlive the check or Begin it again.
  void Recheck(const OPattern& pattern, const TRect& area);

  // Valid once complete; in rule order, then needle, then PLine.
  std::vector<TFinding> Findings() const;
  int64_t Errors() const;
  int64_t Warnings() const;
  const TMachineProfile& Profile() const;
  // Whether the cell (control and PLine from 1) lies in a finding of a shown rule: what the
  // view windows mark. The rules that look at the pattern as a whole (PLine spacing, creel,
  // goods width) mark no cell; the needles the machine lacks and the imbalanced needles are
  // marked whole. A binary search in the needle's own list: cheap enough per painted cell.
  bool Marked(int control, int pline, const TRuleSet& shown = AllRules()) const;

private:
  struct TState;
  std::unique_ptr<TState> State;
};

} // namespace quillane
