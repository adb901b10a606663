#include "editors/CheckEditor.h"

#include <algorithm>
#include <exception>

#include "editors/ViewMarks.h"
#include "elements/Picture.h"
#include "model/Pattern.h"
#include "production/CheckReport.h"

namespace quillane {

namespace {

// The checks open now, one a pattern at most; the program has one thread.
std::vector<OCheckEditor*>& Open() {
  static std::vector<OCheckEditor*> open;
  return open;
}

TSignal<TCheckNotice>& Notices() {
  static TSignal<TCheckNotice> notices;
  return notices;
}

bool Meet(const TRect& a, const TRect& b) {
  return a.Left <= b.Right && b.Left <= a.Right && a.Top <= b.Bottom && b.Top <= a.Bottom;
}

TRect Union(const TRect& a, const TRect& b) {
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
          std::max(a.Bottom, b.Bottom)};
}

// The cells of the findings that meet `area`, with the area itself.
TRect Reach(const std::vector<TFinding>& findings, const TRect& area, int noPLines) {
  TRect reach = area;
  for (const TFinding& f : findings)
    for (const TRect& cells : FindingCells(f, noPLines))
      if (Meet(cells, area))
        reach = Union(reach, cells);
  return reach;
}

} // namespace

bool TCheckFilter::Passes(const TFinding& finding) const {
  return (!Rule || finding.Rule == *Rule) && (!Severity || finding.Severity == *Severity);
}

std::string MoreText(size_t more) {
  std::string digits = std::to_string(more);
  for (size_t at = digits.size(); at > 3; at -= 3)
    digits.insert(at - 3, ",");
  return digits + " more";
}

std::string CountText(size_t count, TSeverity severity) {
  const std::string word = severity == TSeverity::Error ? "error" : "warning";
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

std::vector<TCheckGroup> GroupFindings(const std::vector<TFinding>& findings,
                                       const TCheckFilter& filter) {
  std::vector<TCheckGroup> groups;
  for (int r = 0; r < RuleCount; ++r) {
    TCheckGroup group;
    group.Rule = static_cast<TRule>(r);
    for (size_t i = 0; i < findings.size(); ++i)
      if (findings[i].Rule == group.Rule && filter.Passes(findings[i]))
        group.Findings.push_back(i);
    if (group.Findings.empty())
      continue;
    // A rule's findings share its severity; a filter by severity may leave either kind.
    size_t errors = 0;
    for (const size_t i : group.Findings)
      errors += findings[i].Severity == TSeverity::Error;
    const size_t warnings = group.Findings.size() - errors;
    group.Heading = std::string(RuleName(group.Rule)) + ": ";
    if (errors)
      group.Heading += CountText(errors, TSeverity::Error);
    if (errors && warnings)
      group.Heading += ", ";
    if (warnings)
      group.Heading += CountText(warnings, TSeverity::Warning);
    groups.push_back(std::move(group));
  }
  return groups;
}

std::string FindingText(const TFinding& f) {
  std::string text;
  if (f.FirstNeedle > 0)
    text += (f.FirstNeedle == f.LastNeedle ? "Needle " : "Needles ") +
            RangeText(f.FirstNeedle, f.LastNeedle);
  if (f.FirstPLine > 0)
    text += std::string(text.empty() ? "" : ", ") +
            (f.FirstPLine == f.LastPLine ? "PLine " : "PLines ") +
            RangeText(f.FirstPLine, f.LastPLine);
  return text.empty() ? f.Message : text + ": " + f.Message;
}

std::vector<TRect> FindingCells(const TFinding& f, int noPLines) {
  // A finding of the whole pattern (its width, its creel) names no cells.
  if (f.FirstNeedle <= 0 || f.FirstPLine <= 0)
    return {};
  const int left = f.FirstNeedle, right = std::max(f.FirstNeedle, f.LastNeedle);
  if (f.LastPLine >= f.FirstPLine)
    return {{left, f.FirstPLine, right, f.LastPLine}};
  return {{left, 1, right, f.LastPLine}, {left, f.FirstPLine, right, std::max(noPLines, 1)}};
}

bool FindingHolds(const TFinding& f, int control, int pline) {
  if (f.FirstNeedle <= 0 || f.FirstPLine <= 0 || control < f.FirstNeedle || control > f.LastNeedle)
    return false;
  if (f.LastPLine >= f.FirstPLine)
    return pline >= f.FirstPLine && pline <= f.LastPLine;
  return pline >= f.FirstPLine || pline <= f.LastPLine;
}

TCell FindingCentre(const TFinding& f, int noPLines) {
  const int control = f.FirstNeedle + (std::max(f.LastNeedle, f.FirstNeedle) - f.FirstNeedle) / 2;
  if (f.LastPLine >= f.FirstPLine || noPLines <= 0)
    return {control, f.FirstPLine + (std::max(f.LastPLine, f.FirstPLine) - f.FirstPLine) / 2};
  const int length = noPLines - f.FirstPLine + 1 + f.LastPLine;
  return {control, (f.FirstPLine - 1 + length / 2) % noPLines + 1};
}

std::optional<TCell> PixelOfCell(const OPicture& picture, int control, int pline) {
  for (const auto& region : picture.Regions) {
    int32_t x = control, y = pline;
    if (region->MapCellToPixel(x, y) && x >= 1 && y >= 1 && x <= picture.Width &&
        y <= picture.Height)
      return TCell{x - 1, y - 1};
  }
  return std::nullopt;
}

void CentreOn(OViewGeometry& view, const TCell& pixel) {
  view.SetScroll(pixel.C - view.ShownColumns() / 2, -(pixel.R - view.ShownRows() / 2));
}

OCheckEditor::OCheckEditor(OPattern& pattern, TCheckBasisSource source)
    : Pattern(pattern), Source(std::move(source)) {
  std::vector<OCheckEditor*>& open = Open();
  std::erase_if(open, [&](const OCheckEditor* e) { return &e->Pattern == &pattern; });
  open.push_back(this);
  Subscription = Pattern.Events.Subscribe([this](const TPatternChange& c) { Heard(c); });
  Begin();
}

OCheckEditor::~OCheckEditor() {
  Subscription.Reset();
  std::erase(Open(), this);
  // The marks and the count go with the check.
  Notices().Notify({&Pattern, {}, true});
}

OCheckEditor* OCheckEditor::Of(const OPattern& pattern) {
  for (OCheckEditor* e : Open())
    if (&e->Pattern == &pattern)
      return e;
  return nullptr;
}

TSubscription OCheckEditor::Subscribe(std::function<void(const TCheckNotice&)> listener) {
  return Notices().Subscribe(std::move(listener));
}

void OCheckEditor::Begin() {
  ProblemText.clear();
  try {
    Basis = Source();
    Check.Begin(Pattern, Basis.Profile, Basis.Parameters);
    Begun = true;
  } catch (const std::exception& e) {
    ProblemText = e.what();
    Basis = {};
    Begun = false;
  }
  // What was found may not hold against what the pattern is checked against now; the
  // notice also wakes the window's idle slices when someone else began the check again.
  Found.clear();
  PickedIndex.reset();
  MarkAgain();
}

bool OCheckEditor::Complete() const {
  return !Begun || Check.Complete();
}

bool OCheckEditor::CheckMore(int plines) {
  if (Complete())
    return true;
  if (Check.CheckMore(Pattern, std::max(plines, 1)))
    TakeFindings();
  return Complete();
}

int OCheckEditor::SlicePLines() const {
  return std::max(1, (1 << 18) / std::max<int>(Pattern.NoControls, 1));
}

int64_t OCheckEditor::Errors() const {
  return Begun ? Check.Errors() : 0;
}

int64_t OCheckEditor::Warnings() const {
  return Begun ? Check.Warnings() : 0;
}

std::string OCheckEditor::Summary() const {
  if (!ProblemText.empty())
    return ProblemText;
  if (!Complete())
    return "Checking against " + ProfileName() + "...";
  if (Errors() == 0 && Warnings() == 0)
    return "Nothing found against " + ProfileName();
  return CheckStatus(Errors(), Warnings(), ProfileName());
}

std::string OCheckEditor::Status() const {
  return Begun && Complete() ? CheckStatus(Errors(), Warnings(), ProfileName()) : std::string();
}

void OCheckEditor::TakeFindings(bool tell) {
  const TFinding* picked = Picked();
  const std::optional<TFinding> was = picked ? std::optional(*picked) : std::nullopt;
  Found = Check.Findings();
  // The finding gone to stays picked while the check still finds it.
  PickedIndex.reset();
  if (was)
    if (auto it = std::find(Found.begin(), Found.end(), *was); it != Found.end())
      PickedIndex = static_cast<size_t>(it - Found.begin());
  MarkAgain(tell);
}

void OCheckEditor::MarkAgain(bool tell) {
  MarkedCells.clear();
  const int n = Pattern.NoPLines;
  if (ShowMarks)
    for (const TFinding& f : Found)
      if (RuleShown(f.Rule))
        for (const TRect& cells : FindingCells(f, n))
          MarkedCells.push_back(cells);
  if (const TFinding* picked = Picked())
    for (const TRect& cells : FindingCells(*picked, n))
      MarkedCells.push_back(cells);
  if (tell)
    Tell({}, true);
}

void OCheckEditor::Tell(const TRect& cells, bool everything) const {
  Notices().Notify({&Pattern, cells, everything});
}

void OCheckEditor::SetMarksShown(bool shown) {
  if (shown == ShowMarks)
    return;
  ShowMarks = shown;
  MarkAgain();
}

void OCheckEditor::SetRuleShown(TRule rule, bool shown) {
  const size_t r = static_cast<size_t>(rule);
  if (r >= Shown.size() || Shown[r] == shown)
    return;
  Shown[r] = shown;
  MarkAgain();
}

bool OCheckEditor::RuleShown(TRule rule) const {
  const size_t r = static_cast<size_t>(rule);
  return r < Shown.size() && Shown[r];
}

void OCheckEditor::Pick(std::optional<size_t> finding) {
  if (finding && *finding >= Found.size())
    finding.reset();
  PickedIndex = finding;
  MarkAgain();
}

const TFinding* OCheckEditor::Picked() const {
  return PickedIndex && *PickedIndex < Found.size() ? &Found[*PickedIndex] : nullptr;
}

bool OCheckEditor::Marked(int control, int pline) const {
  for (const TRect& r : MarkedCells)
    if (control >= r.Left && control <= r.Right && pline >= r.Top && pline <= r.Bottom)
      return true;
  return false;
}

std::vector<TRect> OCheckEditor::MarkedPixels(const OPicture& picture, const TRect& pixels) const {
  std::vector<TRect> found;
  for (const TRect& cells : MarkedCells)
    for (const TRect& shown : PixelsOfCells(picture, cells))
      if (Meet(shown, pixels))
        found.push_back({std::max(shown.Left, pixels.Left), std::max(shown.Top, pixels.Top),
                         std::min(shown.Right, pixels.Right),
                         std::min(shown.Bottom, pixels.Bottom)});
  return found;
}

void OCheckEditor::Heard(const TPatternChange& change) {
  using K = TPatternChange::TKind;
  switch (change.Kind) {
  case K::Pixels: // a picture's pixels follow its cells, which are told of on their own
  case K::Modified:
  case K::History:
    return;
  case K::Cells:
    if (Begun) {
      const int n = Pattern.NoPLines;
      // A run the change broke or joined may reach far beyond the cells it touched: the views
      // hear of it whole, as it was and as it is, and of no more.
      const TRect before = Reach(Found, change.Area, n);
      Check.Recheck(Pattern, change.Area);
      if (Check.Complete()) {
        TakeFindings(false);
        Tell(Union(before, Reach(Found, change.Area, n)), false);
      }
    }
    return;
  default: // the setup, the size, the elements: what the cells mean may be other
    Begin();
    Tell({}, true);
    return;
  }
}

} // namespace quillane
