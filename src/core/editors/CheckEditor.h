#pragma once

// The Check window's model: the findings of the pattern against its machine, kept up to date
// as the pattern changes, listed by rule, and marked in the view windows.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/PatternEvents.h"
#include "data/Signal.h"
#include "editors/ViewGeometry.h"
#include "production/MachineCheck.h"

namespace quillane {

class OPattern;
class OPicture;

// Which findings the window lists: one rule or every one, errors, warnings or both.
struct TCheckFilter {
  std::optional<TRule> Rule;
  std::optional<TSeverity> Severity;
  bool Passes(const TFinding& finding) const;
};

// One rule's findings under a heading that names the rule and counts them ("float: 3
// errors"); Findings index the list they were grouped from, in its order.
struct TCheckGroup {
  TRule Rule = TRule::Needles;
  std::string Heading;
  std::vector<size_t> Findings;
  friend bool operator==(const TCheckGroup&, const TCheckGroup&) = default;
};
// The findings that pass the filter, grouped by rule in rule order.
std::vector<TCheckGroup> GroupFindings(const std::vector<TFinding>& findings,
                                       const TCheckFilter& filter);
// A rule's findings the window lists at most: a pattern full of cells without a state may
// have hundreds of thousands, which the marks show better than a list can.
constexpr size_t MaxListedFindings = 1000;
// The line under a rule's listed findings that says how many more it has: "12,345 more".
std::string MoreText(size_t more);
// "1 error", "3 warnings".
std::string CountText(size_t count, TSeverity severity);
// A finding's line in the list: "Needle 17, PLines 19990-12: MESSAGE".
std::string FindingText(const TFinding& finding);

// The cells of a finding as rectangles (controls and PLines from 1): two for a run that wraps
// through the repeat, the part up to the last PLine and the part from the first.
std::vector<TRect> FindingCells(const TFinding& finding, int noPLines);
bool FindingHolds(const TFinding& finding, int control, int pline);

// Where a double click takes the view window: the cell in the middle of the finding (a run
// through the repeat is followed across its end).
TCell FindingCentre(const TFinding& finding, int noPLines);
// The picture pixel (from 0) that shows the cell (control and PLine from 1), through the
// first region placing it; none when no region does.
std::optional<TCell> PixelOfCell(const OPicture& picture, int control, int pline);
// Scrolls the view so that the pixel stands in the middle of the grid, or as near as the
// scroll ranges allow.
void CentreOn(OViewGeometry& view, const TCell& pixel);

// What the pattern is checked against; the source throws with the reason when it cannot say
// (a refused profile or parameters file).
struct TCheckBasis {
  TMachineProfile Profile;
  TProductionParameters Parameters;
};
using TCheckBasisSource = std::function<TCheckBasis()>;

// A check's marks or count changed: the view windows of Pattern draw again the cells of
// Cells, or every cell when Everything.
struct TCheckNotice {
  const OPattern* Pattern = nullptr;
  TRect Cells{};
  bool Everything = false;
};

// The check of one pattern while its Check window is open, shared with the pattern's view
// windows, which find it by the pattern and mark its findings.
class OCheckEditor {
public:
  // Begins at once; the idle slices check.
  OCheckEditor(OPattern& pattern, TCheckBasisSource source);
  ~OCheckEditor();
  OCheckEditor(const OCheckEditor&) = delete;
  OCheckEditor& operator=(const OCheckEditor&) = delete;

  // The pattern's check, if its Check window is open.
  static OCheckEditor* Of(const OPattern& pattern);
  // Every check's notices, for the view windows of every pattern.
  static TSubscription Subscribe(std::function<void(const TCheckNotice&)> listener);

  OPattern& Pattern;

  // Reads what the pattern is checked against and begins again; nothing is checked yet.
  void Begin();
  // An idle slice of up to `plines` PLines' worth of cells; answers whether it is complete.
  bool CheckMore(int plines);
  bool Complete() const;
  // A slice for a pattern this wide: about a quarter of a million cells, so that a press
  // waits no longer than a fraction of a millisecond.
  int SlicePLines() const;
  // Whether the idle slices have work to do (a change began the check again).
  bool Due() const { return !Complete(); }

  // Why nothing could be checked; "" when the check runs.
  const std::string& Problem() const { return ProblemText; }
  const std::string& ProfileName() const { return Basis.Profile.Name; }
  // As the last complete check found them.
  const std::vector<TFinding>& Findings() const { return Found; }
  int64_t Errors() const;
  int64_t Warnings() const;
  // The window's line over the list: the reason, "Checking against NAME...", "Nothing
  // found against NAME" or the count.
  std::string Summary() const;
  // The status bar's count of the view windows ("" until complete or with nothing found).
  std::string Status() const;

  // Which rules' findings the view windows mark, and whether they mark any.
  void SetMarksShown(bool shown);
  bool MarksShown() const { return ShowMarks; }
  void SetRuleShown(TRule rule, bool shown);
  bool RuleShown(TRule rule) const;
  // The finding the user went to: marked whether marks are shown or not. Index into
  // Findings; none to go to none.
  void Pick(std::optional<size_t> finding);
  const TFinding* Picked() const;
  // Whether the view windows mark the cell (control and PLine from 1).
  bool Marked(int control, int pline) const;
  // The picture pixels (from 0, inclusive) that show marked cells within `pixels`, a
  // rectangle per finding and region: the marks of the part of a view window on screen.
  std::vector<TRect> MarkedPixels(const OPicture& picture, const TRect& pixels) const;

  // Follows the pattern's change notices: a change of cells checks those again, any other
  // change of the pattern begins again.
  void Heard(const TPatternChange& change);

private:
  TCheckBasisSource Source;
  TCheckBasis Basis;
  std::string ProblemText;
  OMachineCheck Check;
  bool Begun = false;
  std::vector<TFinding> Found;
  // The cells of the findings marked, the picked one's last.
  std::vector<TRect> MarkedCells;
  bool ShowMarks = false;
  TRuleSet Shown = AllRules();
  std::optional<size_t> PickedIndex;
  OPatternEvents::TSubscription Subscription;
  void TakeFindings(bool tell = true);
  void Tell(const TRect& cells, bool everything) const;
  void MarkAgain(bool tell = true);
};

} // namespace quillane
