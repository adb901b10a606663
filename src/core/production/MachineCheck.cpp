#include "production/MachineCheck.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

#include "app/Simd.h"
#include "files/ControlCells.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/Settings.h"

namespace quillane {

namespace {

struct TRuleInfo {
  const char* Name;
  TSeverity Severity;
};
constexpr std::array<TRuleInfo, RuleCount> Rules{{
    {"needles", TSeverity::Error},
    {"pline-spacing", TSeverity::Error},
    {"state", TSeverity::Error},
    {"no-state", TSeverity::Error},
    {"colour", TSeverity::Error},
    {"float", TSeverity::Error},
    {"short-run", TSeverity::Error},
    {"pile-step", TSeverity::Error},
    {"creel-yarn-types", TSeverity::Error},
    {"creel-positions", TSeverity::Error},
    {"imbalance", TSeverity::Warning},
    {"goods-width", TSeverity::Warning},
}};

// The rules that find places along one needle, in the order each needle keeps them.
constexpr std::array<TRule, 6> NeedleRules{TRule::State, TRule::NoState,  TRule::Colour,
                                           TRule::Float, TRule::ShortRun, TRule::PileStep};
constexpr size_t NeedleRuleCount = NeedleRules.size();
size_t NeedleSlot(TRule rule) {
  return static_cast<size_t>(rule) - static_cast<size_t>(TRule::State);
}

// A state pattern's cell is kept as the state the export codes for it, with this bit when its
// colour gives it no state for its yarn type; a colour pattern's as its colour.
constexpr uint8_t NoStateBit = 0x80;

// "2", "2.5", "0.125": as few decimals as the value needs, at most three.
std::string Num(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", value);
  std::string s = text;
  s.erase(s.find_last_not_of('0') + 1);
  if (s.back() == '.')
    s.pop_back();
  return s;
}

std::string PLinesText(int64_t n) {
  return std::to_string(n) + (n == 1 ? " PLine" : " PLines");
}

// The first index after `i` whose byte differs from col[i], or n: eight bytes at a time, as
// a designer's pattern holds long runs of one state.
int NextChange(const uint8_t* col, int i, int n) {
  const uint8_t v = col[i];
  const uint64_t all = 0x0101010101010101ull * v;
  int j = i + 1;
  for (; j + 8 <= n; j += 8) {
    uint64_t w;
    std::memcpy(&w, col + j, 8);
    if (const uint64_t x = w ^ all; x != 0)
      return j + std::countr_zero(x) / 8; // the grid is little-endian on every target we build
  }
  while (j < n && col[j] == v)
    ++j;
  return j;
}

// The first index of the run of one byte that holds col[i].
int RunStart(const uint8_t* col, int i) {
  const uint64_t all = 0x0101010101010101ull * col[i];
  int j = i; // col[j..i] are col[i]
  for (; j >= 8; j -= 8) {
    uint64_t w;
    std::memcpy(&w, col + j - 8, 8);
    if (const uint64_t x = w ^ all; x != 0)
      return j - std::countl_zero(x) / 8;
  }
  while (j > 0 && col[j - 1] == col[i])
    --j;
  return j;
}

// A place found along one needle: PLines from 1; First > Last wraps through the repeat.
struct TSpan {
  int First = 0, Last = 0;
  double Value = 0; // the state or colour, or the pile step
};

} // namespace

std::string_view RuleName(TRule rule) {
  const auto i = static_cast<size_t>(rule);
  return i < Rules.size() ? Rules[i].Name : "";
}

std::optional<TRule> RuleNamed(std::string_view name) {
  for (size_t i = 0; i < Rules.size(); ++i)
    if (name == Rules[i].Name)
      return static_cast<TRule>(i);
  return std::nullopt;
}

TSeverity RuleSeverity(TRule rule) {
  const auto i = static_cast<size_t>(rule);
  return i < Rules.size() ? Rules[i].Severity : TSeverity::Error;
}

std::string_view SeverityName(TSeverity severity) {
  return severity == TSeverity::Error ? "error" : "warning";
}

TRuleSet AllRules() {
  return TRuleSet(RuleCount, true);
}

std::vector<double> CheckPileHeights(const OPattern& pattern,
                                     const TProductionParameters& parameters) {
  std::vector<double> heights(size_t{pattern.NoStates} + 1, 0.0);
  const double spacing = PLineSpacingOf(pattern);
  for (size_t s = 1; s < heights.size(); ++s)
    heights[s] = s <= parameters.TuftLength.size()
                     ? (parameters.TuftLength[s - 1] > 0
                            ? std::max(0.0, (parameters.TuftLength[s - 1] - spacing) / 2)
                            : 0.0)
                     : DefaultPileHeight(pattern.GetStateName(static_cast<int>(s)));
  return heights;
}

std::vector<TFinding> CheckPattern(const OPattern& pattern, const TMachineProfile& profile,
                                   const TProductionParameters& parameters, const TRuleSet& rules) {
  OMachineCheck check;
  check.Begin(pattern, profile, parameters, rules);
  while (!check.CheckMore(pattern, pattern.NoPLines))
    ;
  return check.Findings();
}

// The pattern is kept needle by needle (a transposed copy, each needle's PLines contiguous,
// coded as the export codes them), so that the rules along a needle read runs of bytes
// rather than a column across tens of thousands of rows, and a change is told from the
// cells it overwrote.
struct OMachineCheck::TState {
  TMachineProfile Profile;
  TRuleSet On = AllRules();
  bool States = true; // a state pattern
  int Controls = 0, PLines = 0;
  // [(control - 1) * PLines + PLine - 1]; in huge pages, as fresh memory faulted in a page
  // at a time would cost more than the whole check.
  TZeroedBytes Copy;
  int NextPLine = 1; // the first PLine not read yet
  int Next = 1;      // then the first needle not examined yet
  // Of each kept byte.
  std::array<uint8_t, 256> StateOf{}, NoTuft{}, Kind{}, BadState{}, Unshown{};
  std::array<double, 256> Height{};
  std::array<uint8_t, 256> CodeOfState{}; // state grid value to kept byte, without the bit
  TUnstatedColours Unstated;
  std::vector<uint8_t> Threaded; // per control from 1: it carries a yarn
  std::vector<std::string> StateNames;
  // Per needle from 1, per needle rule.
  std::vector<std::array<std::vector<TSpan>, NeedleRuleCount>> Spans;
  std::vector<TFinding> Whole; // the findings of rules that look at the pattern as a whole
  int FirstSpare = 0;          // the first needle the machine lacks; 0 when none
  bool Balance = false;
  TProductionParameters Parameters;
  TCellCounts Counts;
  // Per control from 1: % above the mean, or 0; weighed when asked after a change, as the
  // figures take every needle.
  mutable std::vector<double> Above;
  mutable bool Weighed = false;
  const OPattern* Pattern = nullptr; // the one last read
  // Findings() as last made, until a change.
  mutable bool Listed = false, Counted = false; // the counts alone are cheaper
  mutable std::vector<TFinding> List;
  mutable int64_t ErrorCount = 0, WarningCount = 0;
  // Needles side by side that share a table of unstated colours, and the colours it
  // states (besides 0, which is asked for) when there are few: the coding of a PLine then
  // goes sixteen cells at a time.
  struct TCodeRun {
    int First = 1, Last = 0;
    int StatedCount = -1; // -1: too many to compare against
    std::array<uint8_t, 8> Stated{};
  };
  std::vector<TCodeRun> CodeRuns;
  // States up to this many are coded by comparing against each; 0: none are.
  int FewStates = 0;
  void PlanCoding();
  int CodeSixteens(const uint8_t* state, const uint8_t* colour, uint8_t* out,
                   const TCodeRun& run) const;
  std::vector<int> Scratch;    // the starts of a needle's runs of one byte
  std::vector<int> GroupStart; // the groups of runs a rule sees as one, while reading

  bool Checks(TRule rule) const { return On[static_cast<size_t>(rule)]; }
  uint8_t Code(int control, uint8_t state, uint8_t colour) const {
    if (!States)
      return colour;
    const uint8_t code = CodeOfState[state];
    return !Unstated.NoState.empty() &&
                   Unstated.NoState[Unstated.RowOf[static_cast<size_t>(control)] + colour]
               ? static_cast<uint8_t>(code | NoStateBit)
               : code;
  }
  void ReadPLines(const OPattern& pattern, int first, int last);
  void Examine(int control);
  void Count(int control, int sign);
  void WeighBalance() const;
  // Whether the needle has the very place `span` under the rule of `slot`.
  bool Carries(int control, size_t slot, const TSpan& span) const {
    const auto& list = Spans[static_cast<size_t>(control)][slot];
    const auto it = std::lower_bound(list.begin(), list.end(), span.First,
                                     [](const TSpan& x, int first) { return x.First < first; });
    return it != list.end() && it->First == span.First && it->Last == span.Last &&
           it->Value == span.Value;
  }
  // The areas heard of and not read yet.
  std::vector<TRect> Pending;
  void Flush();
  void RecheckNow(const TRect& area);
  // Examines the needle again around PLines first..last only, to the ends of the runs
  // through them; false when they take in the whole needle, which Examine must then see.
  bool ExamineAround(int control, int first, int last, unsigned rules);
  // The needle rules (bits by NeedleSlot) whose reading of a cell differs between two bytes.
  unsigned Differ(uint8_t was, uint8_t now) const {
    auto bad = [&](uint8_t b) { return BadState[b] ? StateOf[b] : 0; };
    return (bad(was) != bad(now) ? 1u : 0u) | ((was ^ now) & NoStateBit && States ? 2u : 0u) |
           (Unshown[was] != Unshown[now] || (Unshown[was] && was != now) ? 4u : 0u) |
           (NoTuft[was] != NoTuft[now] ? 8u : 0u) | (StateOf[was] != StateOf[now] ? 16u : 0u) |
           (Height[was] != Height[now] ? 32u : 0u);
  }
  std::string Name() const { return Profile.Name.empty() ? "the machine" : Profile.Name; }
  std::string StateText(int state) const {
    const std::string name = static_cast<size_t>(state) < StateNames.size()
                                 ? StateNames[static_cast<size_t>(state)]
                                 : "";
    return "state " + std::to_string(state) + (name.empty() ? "" : " (" + name + ")");
  }
  std::string Message(TRule rule, int first, int last, const TSpan& span) const;
  // The findings in order.
  std::vector<TFinding> Collect() const;
};

OMachineCheck::OMachineCheck() : State(std::make_unique<TState>()) {}
OMachineCheck::~OMachineCheck() = default;
OMachineCheck::OMachineCheck(OMachineCheck&&) noexcept = default;
OMachineCheck& OMachineCheck::operator=(OMachineCheck&&) noexcept = default;

void OMachineCheck::Begin(const OPattern& pattern, const TMachineProfile& profile,
                          const TProductionParameters& parameters, const TRuleSet& rules) {
  auto fresh = std::make_unique<TState>();
  TState& s = *fresh;
  s.Profile = profile;
  for (size_t r = 0; r < s.On.size(); ++r)
    s.On[r] = r < rules.size() && rules[r];
  s.States = pattern.PatternMode == pmStates;
  s.Controls = pattern.NoControls;
  s.PLines = pattern.NoPLines;
  s.Parameters = parameters;
  const std::string name = s.Name();
  const TRect all{1, 1, s.Controls, s.PLines};
  auto whole = [&](TRule rule, const TRect& area, std::string message) {
    s.Whole.push_back({rule, RuleSeverity(rule), area.Left, area.Right, area.Top, area.Bottom,
                       std::move(message)});
  };

  // The machine as a whole.
  if (profile.Needles && s.Checks(TRule::Needles) && s.Controls > *profile.Needles) {
    s.FirstSpare = *profile.Needles + 1;
    whole(TRule::Needles, {s.FirstSpare, 1, s.Controls, s.PLines},
          "The pattern needs " + std::to_string(s.Controls) + " needles; " + name + " has " +
              std::to_string(*profile.Needles));
  }
  if (profile.PLineSpacingMm && s.Checks(TRule::PLineSpacing)) {
    const double spacing = PLineSpacingOf(pattern);
    const auto [low, high] = *profile.PLineSpacingMm;
    if (spacing < low - 1e-9 || spacing > high + 1e-9)
      whole(TRule::PLineSpacing, all,
            "The PLine spacing of " + Num(spacing) + " mm is outside " + name + "'s range of " +
                Num(low) + " to " + Num(high) + " mm");
  }
  std::set<int> yarnTypes;
  int64_t ends = 0;
  s.Threaded.assign(size_t(s.Controls) + 1, s.States ? 0 : 1);
  for (int c = 1; c <= s.Controls; ++c)
    if (const int y = pattern.Creel->GetYarnType(c); y != 0) {
      yarnTypes.insert(y);
      ++ends;
      s.Threaded[static_cast<size_t>(c)] = 1;
    }
  if (profile.CreelYarnTypes && s.Checks(TRule::CreelYarnTypes) &&
      static_cast<int64_t>(yarnTypes.size()) > *profile.CreelYarnTypes)
    whole(TRule::CreelYarnTypes, all,
          "The creel carries " + std::to_string(yarnTypes.size()) + " yarn types; " + name +
              " holds at most " + std::to_string(*profile.CreelYarnTypes));
  const int64_t packages = ends * (parameters.BackupPackage ? 2 : 1);
  if (profile.CreelPositions && s.Checks(TRule::CreelPositions) &&
      packages > *profile.CreelPositions)
    whole(TRule::CreelPositions, all,
          "The creel needs " + std::to_string(packages) + " packages (" + std::to_string(ends) +
              " needle ends" + (parameters.BackupPackage ? ", a backup on each" : "") + "); " +
              name + " holds " + std::to_string(*profile.CreelPositions));
  if (s.Checks(TRule::GoodsWidth)) {
    const double goods = parameters.GoodsWidth > 0 ? parameters.GoodsWidth * 1000.0
                                                   : WorkingWidthMm(profile).value_or(0.0);
    std::optional<double> needle;
    if (profile.Gauge)
      if (const auto inches = GaugeInches(*profile.Gauge))
        needle = *inches * 25.4;
    if (!needle && !profile.Gauge && pattern.Settings->NeedleSpacing > 0)
      needle = pattern.Settings->NeedleSpacing;
    const double selvage = std::max(0.0, parameters.Selvage);
    if (goods > 0 && needle && s.Controls > 0) {
      const double width = s.Controls * *needle, inner = goods - 2 * selvage;
      const double repeats = inner / width;
      // A mill cuts goods to the millimetre.
      if (std::abs(repeats - std::round(repeats)) * width > 0.5 || std::round(repeats) < 1) {
        const double fits = std::max(1.0, std::round(repeats)) * width + 2 * selvage;
        whole(TRule::GoodsWidth, all,
              "The goods are " + Num(goods / 1000.0) +
                  " m wide: not a whole number of pattern "
                  "widths (" +
                  Num(width) + " mm) plus " + Num(selvage) + " mm selvage on each side; " +
                  Num(fits / 1000.0) + " m would fit");
      }
    }
  }

  // What each kept byte means. A state leaves no tuft when the profile marks it so, or, where
  // the profile lists no states, when its name gives it no pile ("Off").
  for (int st = 0; st <= pattern.NoStates; ++st)
    s.StateNames.push_back(pattern.GetStateName(st));
  std::array<uint8_t, 256> noTuftState{}, badState{};
  for (int st = 1; st < 256; ++st) {
    if (profile.States.empty()) {
      noTuftState[static_cast<size_t>(st)] =
          st <= pattern.NoStates && DefaultPileHeight(pattern.GetStateName(st)) == 0;
      continue;
    }
    const auto at = std::find_if(profile.States.begin(), profile.States.end(),
                                 [&](const TProfileState& x) { return x.State == st; });
    badState[static_cast<size_t>(st)] = at == profile.States.end();
    noTuftState[static_cast<size_t>(st)] = at != profile.States.end() && at->Tuft == TTuft::None;
  }
  const std::vector<double> heights = CheckPileHeights(pattern, parameters);
  auto heightOf = [&](int st) {
    return noTuftState[static_cast<size_t>(st)] || static_cast<size_t>(st) >= heights.size()
               ? 0.0
               : heights[static_cast<size_t>(st)];
  };
  if (s.States) {
    // No state pattern has near 128 states; a value past them is kept as the last.
    const std::array<uint8_t, 256> exported = ExportedStates(pattern);
    for (size_t v = 0; v < 256; ++v)
      s.CodeOfState[v] = std::min<uint8_t>(exported[v], NoStateBit - 1);
    if (s.Checks(TRule::NoState))
      s.Unstated = UnstatedColours(pattern, true);
    for (int b = 0; b < 256; ++b) {
      const int st = b & (NoStateBit - 1);
      const auto i = static_cast<size_t>(b);
      s.StateOf[i] = static_cast<uint8_t>(st);
      s.NoTuft[i] = noTuftState[static_cast<size_t>(st)];
      s.Height[i] = heightOf(st);
      s.BadState[i] = s.Checks(TRule::State) && badState[static_cast<size_t>(st)];
    }
  } else {
    const std::array<uint8_t, 256> yarnOf = ExportedYarnTypes(pattern);
    // A colour pattern tufts in its one state where a yarn type shows the colour.
    const bool tufts = pattern.NoStates > 0 && !noTuftState[1];
    for (size_t b = 0; b < 256; ++b) {
      s.StateOf[b] = yarnOf[b] != 0 && pattern.NoStates > 0 ? 1 : 0;
      s.NoTuft[b] = !(yarnOf[b] != 0 && tufts);
      s.Height[b] = s.NoTuft[b] ? 0.0 : heightOf(1);
      s.Unshown[b] = s.Checks(TRule::Colour) && b != 0 && yarnOf[b] == 0;
    }
  }

  s.Balance = profile.LargestImbalancePercent && s.Checks(TRule::Imbalance);
  if (s.Balance) {
    s.Counts = EmptyCellCounts(pattern, parameters);
    for (size_t b = 0; b < 256; ++b) {
      const size_t st = s.StateOf[b];
      s.Kind[b] =
          s.States ? (st < s.Counts.Kinds ? static_cast<uint8_t>(st) : 0) : s.Counts.KindOf[b];
    }
  }
  s.Above.assign(size_t(s.Controls) + 1, 0.0);
  s.Spans.assign(size_t(s.Controls) + 1, {});
  // Every kept byte is read afresh, so a check begun again keeps its block when it fits.
  const size_t cells = size_t(s.Controls) * size_t(s.PLines);
  if (State && State->Copy.size() == cells)
    s.Copy = std::move(State->Copy);
  else
    s.Copy = TZeroedBytes(cells);
  if (s.PLines == 0 || s.Controls == 0)
    s.NextPLine = s.PLines + 1, s.Next = s.Controls + 1;
  s.PlanCoding();
  State = std::move(fresh);
}

void OMachineCheck::TState::PlanCoding() {
  CodeRuns.clear();
  FewStates = 0;
#ifdef QUILLANE_SSE2
  if (!States)
    return;
  // A carpet has a handful of states; a value past them (a damaged file) is coded one by one.
  FewStates = std::min<int>(static_cast<int>(StateNames.size()), 8);
  const bool tables = !Unstated.NoState.empty();
  for (int c = 1; c <= Controls; ++c) {
    const uint32_t row = tables ? Unstated.RowOf[static_cast<size_t>(c)] : 0;
    if (!CodeRuns.empty() && (!tables || Unstated.RowOf[size_t(CodeRuns.back().Last)] == row)) {
      CodeRuns.back().Last = c;
      continue;
    }
    TCodeRun run;
    run.First = run.Last = c;
    run.StatedCount = 0;
    for (size_t e = 1; tables && e < 256 && run.StatedCount >= 0; ++e)
      if (!Unstated.NoState[row + e])
        run.StatedCount = run.StatedCount < 8 ? run.StatedCount + 1 : -1;
    for (size_t e = 1, k = 0; tables && run.StatedCount > 0 && e < 256; ++e)
      if (!Unstated.NoState[row + e])
        run.Stated[k++] = static_cast<uint8_t>(e);
    CodeRuns.push_back(run);
  }
#endif
}

// Codes the run's cells sixteen at a time from its first on, as Code does; gives the first
// cell left for the caller.
int OMachineCheck::TState::CodeSixteens([[maybe_unused]] const uint8_t* state,
                                        [[maybe_unused]] const uint8_t* colour,
                                        [[maybe_unused]] uint8_t* out, const TCodeRun& run) const {
  int c = run.First;
#ifdef QUILLANE_SSE2
  if (FewStates == 0 || run.StatedCount < 0)
    return c;
  const bool tables = !Unstated.NoState.empty();
  const __m128i zero = _mm_setzero_si128();
  const __m128i top = _mm_set1_epi8(static_cast<char>(FewStates - 1));
  const __m128i unstatedBit = _mm_set1_epi8(static_cast<char>(NoStateBit));
  for (; c + 15 <= run.Last; c += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + c));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_subs_epu8(v, top), zero)) != 0xFFFF) {
      for (int k = c; k < c + 16; ++k)
        out[k] = Code(k, state[k], colour[k]);
      continue;
    }
    __m128i code = zero;
    for (int st = 0; st < FewStates; ++st)
      code = _mm_or_si128(code,
                          _mm_and_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(st))),
                                        _mm_set1_epi8(static_cast<char>(CodeOfState[size_t(st)]))));
    if (tables) {
      const __m128i col = _mm_loadu_si128(reinterpret_cast<const __m128i*>(colour + c));
      __m128i stated = _mm_cmpeq_epi8(col, zero);
      for (size_t k = 0; k < size_t(run.StatedCount); ++k)
        stated = _mm_or_si128(stated,
                              _mm_cmpeq_epi8(col, _mm_set1_epi8(static_cast<char>(run.Stated[k]))));
      code = _mm_or_si128(code, _mm_andnot_si128(stated, unstatedBit));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + c), code);
  }
#endif
  return c;
}

// Reads PLines first..last into the kept bytes, eight at a time where it can: each of the
// eight is coded along its row as it lies, then the block is turned so that each needle's
// eight bytes are written as one word.
void OMachineCheck::TState::ReadPLines(const OPattern& pattern, int first, int last) {
  const size_t n = static_cast<size_t>(PLines);
  const TGrid& grid = States ? pattern.States : pattern.MachineColours;
  const bool colours = States && !Unstated.NoState.empty();
  const auto width = static_cast<size_t>(Controls) + 1;
  std::vector<uint8_t> coded(8 * width);
  // code(control's table of unstated colours, state or colour, colour)
  auto read = [&](auto code) {
    const uint8_t* noState = Unstated.NoState.data();
    auto table = [&](int c) {
      return colours ? noState + Unstated.RowOf[static_cast<size_t>(c)] : nullptr;
    };
    auto codeRow = [&](int p, uint8_t* out) {
      const uint8_t* row = grid.Row(p);
      const uint8_t* colour = colours ? pattern.MachineColours.Row(p) : row;
      int c = 1;
      for (const TCodeRun& run : CodeRuns) {
        for (c = CodeSixteens(row, colour, out, run); c <= run.Last; ++c)
          out[c] = code(table(c), row[c], colour[c]);
      }
      for (; c <= Controls; ++c)
        out[c] = code(table(c), row[c], colour[c]);
    };
    int p = first;
    for (; p + 7 <= last; p += 8) {
      for (int j = 0; j < 8; ++j)
        codeRow(p + j, coded.data() + size_t(j) * width);
      uint8_t* at = Copy.data() + static_cast<size_t>(p - 1);
      int c = 1;
#ifdef QUILLANE_SSE2
      // Sixteen needles at a time: eight rows of sixteen bytes turned into sixteen words.
      for (; c + 15 <= Controls; c += 16, at += 16 * n) {
        __m128i r[8];
        for (size_t j = 0; j < 8; ++j)
          r[j] = _mm_loadu_si128(
              reinterpret_cast<const __m128i*>(coded.data() + j * width + size_t(c)));
        const __m128i a0 = _mm_unpacklo_epi8(r[0], r[1]), a1 = _mm_unpackhi_epi8(r[0], r[1]);
        const __m128i b0 = _mm_unpacklo_epi8(r[2], r[3]), b1 = _mm_unpackhi_epi8(r[2], r[3]);
        const __m128i c0 = _mm_unpacklo_epi8(r[4], r[5]), c1 = _mm_unpackhi_epi8(r[4], r[5]);
        const __m128i d0 = _mm_unpacklo_epi8(r[6], r[7]), d1 = _mm_unpackhi_epi8(r[6], r[7]);
        const __m128i low[4] = {_mm_unpacklo_epi16(a0, b0), _mm_unpackhi_epi16(a0, b0),
                                _mm_unpacklo_epi16(a1, b1), _mm_unpackhi_epi16(a1, b1)};
        const __m128i high[4] = {_mm_unpacklo_epi16(c0, d0), _mm_unpackhi_epi16(c0, d0),
                                 _mm_unpacklo_epi16(c1, d1), _mm_unpackhi_epi16(c1, d1)};
        for (size_t q = 0; q < 4; ++q) {
          // Needles 4q to 4q + 3 of the sixteen, two to a register.
          const __m128i pairs[2] = {_mm_unpacklo_epi32(low[q], high[q]),
                                    _mm_unpackhi_epi32(low[q], high[q])};
          for (size_t h = 0; h < 2; ++h) {
            uint8_t* needle = at + (4 * q + 2 * h) * n;
            _mm_storel_epi64(reinterpret_cast<__m128i*>(needle), pairs[h]);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(needle + n),
                             _mm_unpackhi_epi64(pairs[h], pairs[h]));
          }
        }
      }
#endif
      for (; c <= Controls; ++c, at += n) {
        uint64_t word = 0;
        for (size_t j = 0; j < 8; ++j)
          word |= uint64_t{coded[j * width + size_t(c)]} << (8 * j);
        std::memcpy(at, &word, 8);
      }
    }
    for (; p <= last; ++p) {
      codeRow(p, coded.data());
      uint8_t* at = Copy.data() + static_cast<size_t>(p - 1);
      for (int c = 1; c <= Controls; ++c, at += n)
        *at = coded[size_t(c)];
    }
  };
  if (!States)
    read([](const uint8_t*, uint8_t v, uint8_t) { return v; });
  else if (!colours)
    read([&](const uint8_t*, uint8_t v, uint8_t) { return CodeOfState[v]; });
  else
    read([&](const uint8_t* unstated, uint8_t v, uint8_t colour) {
      return static_cast<uint8_t>(CodeOfState[v] | unstated[colour] << 7);
    });
}

// Adds (or takes away) the needle's cells to the counts the yarn figures are made from.
void OMachineCheck::TState::Count(int control, int sign) {
  const uint8_t* col = Copy.data() + size_t(control - 1) * size_t(PLines);
  uint32_t* pass = Counts.Pass.data() + size_t(control - 1) * Counts.Kinds;
  uint32_t* part = Counts.Part.data() + size_t(control - 1) * Counts.Kinds;
  for (int i = 0; i < PLines;) {
    const int j = NextChange(col, i, PLines);
    const uint8_t k = Kind[col[i]];
    pass[k] += static_cast<uint32_t>(sign * (j - i));
    if (i < Counts.PartPLines)
      part[k] += static_cast<uint32_t>(sign * (std::min(j, Counts.PartPLines) - i));
    i = j;
  }
}

// Finds the places along one needle afresh from its kept bytes, a run of one byte at a time.
void OMachineCheck::TState::Examine(int control) {
  auto& spans = Spans[static_cast<size_t>(control)];
  for (auto& list : spans)
    list.clear();
  const uint8_t* col = Copy.data() + size_t(control - 1) * size_t(PLines);
  std::vector<int>& starts = Scratch;
  starts.clear();
  for (int i = 0; i < PLines; i = NextChange(col, i, PLines))
    starts.push_back(i);
  const size_t runs = starts.size();
  if (runs == 0)
    return;
  starts.push_back(PLines);
  auto byteOf = [&](size_t r) { return col[starts[r]]; };
  auto lengthOf = [&](size_t r) { return starts[r + 1] - starts[r]; };

  // Runs of cells a rule flags, along the needle as it is drawn.
  auto flagged = [&](TRule rule, auto key) {
    for (size_t r = 0; r < runs;) {
      const int k = key(byteOf(r));
      size_t e = r + 1;
      while (e < runs && key(byteOf(e)) == k)
        ++e;
      if (k != 0)
        spans[NeedleSlot(rule)].push_back({starts[r] + 1, starts[e], double(k)});
      r = e;
    }
  };
  if (States) {
    flagged(TRule::State, [&](uint8_t b) { return BadState[b] ? int(StateOf[b]) : 0; });
    flagged(TRule::NoState, [&](uint8_t b) { return b & NoStateBit ? 1 : 0; });
  } else {
    flagged(TRule::Colour, [&](uint8_t b) { return Unshown[b] ? int(b) : 0; });
  }
  if (!Threaded[static_cast<size_t>(control)])
    return; // a needle without yarn leaves nothing on the back and feeds no roll

  // Runs of one key through the repeat: the goods tuft the pattern's PLines over and over.
  // Calls report(first PLine, length, key) for each; false when the whole needle is one.
  auto cyclic = [&](auto key, auto report) {
    std::vector<int>& group = GroupStart;
    group.clear();
    for (size_t r = 0; r < runs; ++r)
      if (r == 0 || key(byteOf(r)) != key(byteOf(r - 1)))
        group.push_back(static_cast<int>(r));
    if (group.size() == 1)
      return false;
    // The last group goes on into the first when they share a key.
    const bool joined = key(byteOf(0)) == key(byteOf(runs - 1));
    for (size_t g = joined ? 1 : 0; g < group.size(); ++g) {
      const int first = starts[static_cast<size_t>(group[g])];
      int end = g + 1 < group.size() ? starts[static_cast<size_t>(group[g + 1])] : PLines;
      if (joined && g + 1 == group.size())
        end = PLines + starts[static_cast<size_t>(group[1])];
      report(first, end - first, key(byteOf(static_cast<size_t>(group[g]))));
    }
    return true;
  };
  auto span = [&](int first, int length, double value) {
    return TSpan{first + 1, (first + length - 1) % PLines + 1, value};
  };
  if (Profile.LongestFloatPLines && Checks(TRule::Float)) {
    const int limit = *Profile.LongestFloatPLines;
    auto& list = spans[NeedleSlot(TRule::Float)];
    const bool changes = cyclic([&](uint8_t b) { return NoTuft[b]; },
                                [&](int first, int length, int noTuft) {
                                  if (noTuft && length > limit)
                                    list.push_back(span(first, length, length));
                                });
    if (!changes && NoTuft[col[0]])
      list.push_back({1, PLines, -1}); // never tufts
  }
  if (Profile.ShortestStateRunPLines && Checks(TRule::ShortRun)) {
    const int limit = *Profile.ShortestStateRunPLines;
    auto& list = spans[NeedleSlot(TRule::ShortRun)];
    cyclic([&](uint8_t b) { return StateOf[b]; },
           [&](int first, int length, int state) {
             if (length < limit)
               list.push_back(span(first, length, state));
           });
  }
  if (Profile.LargestPileStepMm && Checks(TRule::PileStep) && runs > 1) {
    const double limit = *Profile.LargestPileStepMm + 1e-9;
    auto& list = spans[NeedleSlot(TRule::PileStep)];
    // Boundary r lies before run r, boundary 0 between the last PLine and the first. Steps
    // on either side of a single PLine are one place.
    auto step = [&](size_t r) {
      return std::abs(Height[byteOf(r)] - Height[byteOf(r == 0 ? runs - 1 : r - 1)]);
    };
    auto joins = [&](size_t r) { return step(r) > limit && lengthOf(r) == 1; };
    size_t from = 0;
    while (from < runs && step(from) > limit && joins(from == 0 ? runs - 1 : from - 1))
      ++from;
    if (from == runs) { // every PLine a step from the last
      double most = 0;
      for (size_t r = 0; r < runs; ++r)
        most = std::max(most, step(r));
      list.push_back({1, PLines, most});
    } else {
      for (size_t i = 0; i < runs; ++i) {
        size_t r = (from + i) % runs;
        if (!(step(r) > limit))
          continue;
        double most = step(r);
        const int first = (starts[r] + PLines - 1) % PLines; // the PLine before the step
        int length = 2;
        while (joins(r) && i + 1 < runs && step((r + 1) % runs) > limit) {
          ++i, r = (r + 1) % runs, ++length;
          most = std::max(most, step(r));
        }
        list.push_back(span(first, length, most));
      }
    }
  }
  for (auto& list : spans)
    std::sort(list.begin(), list.end(),
              [](const TSpan& x, const TSpan& y) { return x.First < y.First; });
}

bool OMachineCheck::TState::ExamineAround(int control, int first, int last, unsigned rules) {
  const int n = PLines;
  const uint8_t* col = Copy.data() + size_t(control - 1) * size_t(n);
  auto at = [&](int64_t i) { return col[((i % n) + n) % n]; };
  auto& spans = Spans[static_cast<size_t>(control)];
  // Takes out the places of a rule that meet cells a..b (from 0, b - a < n, a may be below 0).
  auto clear = [&](std::vector<TSpan>& list, int64_t a, int64_t b) {
    const int64_t lo = ((a % n) + n) % n, hi = lo + (b - a); // hi may pass n: it wraps
    std::erase_if(list, [&](const TSpan& x) {
      const int64_t f = x.First - 1, l = x.Last - 1 + (x.Last < x.First ? n : 0);
      for (int64_t shift : {int64_t{-n}, int64_t{0}, int64_t{n}})
        if (f + shift <= hi && l + shift >= lo)
          return true;
      return false;
    });
  };
  auto span = [&](int64_t from, int64_t length, double value) {
    const int first0 = static_cast<int>(((from % n) + n) % n);
    return TSpan{first0 + 1, static_cast<int>((first0 + length - 1) % n) + 1, value};
  };
  auto sorted = [](std::vector<TSpan>& list) {
    std::sort(list.begin(), list.end(),
              [](const TSpan& x, const TSpan& y) { return x.First < y.First; });
  };
  // The cells of the key's group around i, going back (or on) over runs of one byte;
  // bounded by the needle's ends unless it wraps, and by a whole turn.
  // A walk of more than `far` cells stops there, `partial`: the group is known to be long.
  bool partial = false;
  auto back = [&](auto key, int64_t i, bool wraps, int64_t far = INT64_MAX) -> int64_t {
    const auto k = key(at(i));
    for (int64_t walked = 0;;) {
      const int m = static_cast<int>(((i % n) + n) % n);
      const int s = RunStart(col, m);
      i -= m - s, walked += m - s;
      if (walked > far && walked < n)
        return partial = true, i;
      if (walked >= n || (!wraps && s == 0) || key(at(i - 1)) != k)
        return walked >= n ? INT64_MIN : i;
      --i, ++walked;
    }
  };
  auto on = [&](auto key, int64_t i, bool wraps, int64_t cap = INT64_MAX,
                int64_t far = INT64_MAX) -> int64_t {
    const auto k = key(at(i));
    for (int64_t walked = 0;;) {
      const int m = static_cast<int>(((i % n) + n) % n);
      const int e = NextChange(col, m, n) - 1;
      i += e - m, walked += e - m;
      if (i >= cap)
        return cap;
      if (walked > far && walked < n)
        return partial = true, i;
      if (walked >= n || (!wraps && e == n - 1) || key(at(i + 1)) != k)
        return walked >= n ? INT64_MAX : i;
      ++i, ++walked;
    }
  };
  // Finds the groups of the key through the cells of PLines first - 1 to last + 1 again,
  // taken out to the ends of the groups there (only of those a place is made of, when
  // `every` is false: a group of key 0 makes none).
  // A group longer than `far` makes no place (a run long enough), so the walk to its end
  // can stop there; the group cut short at either end is then not reported.
  auto redo = [&](TRule rule, bool wraps, bool every, auto key, auto report,
                  int64_t far = INT64_MAX) {
    int64_t a = first - 2, b = last;
    if (!wraps)
      a = std::max<int64_t>(a, 0), b = std::min<int64_t>(b, n - 1);
    bool cutA = false, cutB = false;
    if (every || key(at(a)) != 0)
      partial = false, a = back(key, a, wraps, far), cutA = partial;
    if (every || key(at(b)) != 0)
      partial = false, b = on(key, b, wraps, INT64_MAX, far), cutB = partial;
    auto& list = spans[NeedleSlot(rule)];
    if (a == INT64_MIN || b == INT64_MAX) {
      if (!every)
        return false; // a needle that never tufts is one place, found as a whole
      list.clear();   // one state all along: no run is short
      return true;
    }
    if (wraps && b - a + 1 >= n) {
      if (cutA || cutB)
        return false;
      b = a + n - 1; // the group through the window wraps round to it
    }
    clear(list, a, b);
    for (int64_t i = a; i <= b;) {
      const int64_t e = on(key, i, wraps, b);
      if (!(i == a && cutA) && !(e == b && cutB))
        report(list, i, e - i + 1, key(at(i)));
      i = e + 1;
    }
    sorted(list);
    return true;
  };
  auto flag = [&](std::vector<TSpan>& list, int64_t i, int64_t length, int k) {
    if (k != 0)
      list.push_back(span(i, length, k));
  };
  if (States) {
    if (!redo(
            TRule::State, false, false,
            [&](uint8_t b) { return BadState[b] ? int(StateOf[b]) : 0; }, flag) ||
        !redo(
            TRule::NoState, false, false, [&](uint8_t b) { return b & NoStateBit ? 1 : 0; }, flag))
      return false;
  } else if (!States && (rules & 4) &&
             !redo(
                 TRule::Colour, false, false, [&](uint8_t b) { return Unshown[b] ? int(b) : 0; },
                 flag))
    return false;
  if (!Threaded[static_cast<size_t>(control)])
    return true;
  if (Profile.LongestFloatPLines && Checks(TRule::Float) && (rules & 8)) {
    const int limit = *Profile.LongestFloatPLines;
    if (!redo(
            TRule::Float, true, false, [&](uint8_t b) { return int(NoTuft[b]); },
            [&](std::vector<TSpan>& list, int64_t i, int64_t length, int noTuft) {
              if (noTuft && length > limit)
                list.push_back(span(i, length, double(length)));
            }))
      return false;
  }
  if (Profile.ShortestStateRunPLines && Checks(TRule::ShortRun) && (rules & 16)) {
    const int limit = *Profile.ShortestStateRunPLines;
    if (!redo(
            TRule::ShortRun, true, true, [&](uint8_t b) { return int(StateOf[b]); },
            [&](std::vector<TSpan>& list, int64_t i, int64_t length, int state) {
              if (length < limit)
                list.push_back(span(i, length, state));
            },
            limit))
      return false;
  }
  if (Profile.LargestPileStepMm && Checks(TRule::PileStep) && (rules & 32)) {
    const double limit = *Profile.LargestPileStepMm + 1e-9;
    // Boundary q lies between cells q and q + 1; steps side by side are one place.
    auto step = [&](int64_t q) { return std::abs(Height[at(q + 1)] - Height[at(q)]); };
    int64_t qa = first - 3, qb = last;
    while (step(qa) > limit && last - qa < n)
      --qa;
    while (step(qb) > limit && qb - qa < n)
      ++qb;
    if (qb - qa >= n)
      return false;
    auto& list = spans[NeedleSlot(TRule::PileStep)];
    clear(list, qa + 1, qb);
    for (int64_t q = qa + 1; q < qb; ++q) {
      if (!(step(q) > limit))
        continue;
      double most = step(q);
      int64_t e = q;
      while (e + 1 < qb && step(e + 1) > limit)
        most = std::max(most, step(++e));
      list.push_back(span(q, e - q + 2, most));
      q = e;
    }
    sorted(list);
  }
  return true;
}

void OMachineCheck::TState::WeighBalance() const {
  if (Weighed)
    return;
  Weighed = true;
  std::fill(Above.begin(), Above.end(), 0.0);
  if (!Balance || !Pattern || Next <= Controls + 1)
    return;
  const TProductionFigures f = ProductionFromCounts(*Pattern, Parameters, Counts);
  const double mean = f.Balance.Mean, limit = *Profile.LargestImbalancePercent;
  if (!(mean > 0))
    return;
  for (const TNeedleFigures& needle : f.Needles) {
    const double above = (needle.Length / mean - 1) * 100;
    if (above > limit + 1e-9)
      Above[static_cast<size_t>(needle.Control)] = above;
  }
}

bool OMachineCheck::CheckMore(const OPattern& pattern, int plines) {
  TState& s = *State;
  s.Pattern = &pattern;
  s.Flush();
  if (Complete())
    return true;
  // The grid as it lies, then needle by needle along the kept bytes.
  int64_t budget = int64_t{std::max(plines, 1)} * std::max(s.Controls, 1);
  while (s.NextPLine <= s.PLines && budget > 0) {
    const int last = static_cast<int>(
        std::min<int64_t>(s.PLines, s.NextPLine + std::max<int64_t>(8, budget / s.Controls) - 1));
    s.ReadPLines(pattern, s.NextPLine, last);
    budget -= int64_t{last - s.NextPLine + 1} * s.Controls;
    s.NextPLine = last + 1;
  }
  for (; s.Next <= s.Controls && budget > 0; ++s.Next) {
    s.Examine(s.Next);
    if (s.Balance)
      s.Count(s.Next, 1);
    budget -= s.PLines;
  }
  if (s.Next > s.Controls) {
    s.Next = s.Controls + 2; // complete
    s.Weighed = false;
    s.Listed = s.Counted = false;
  }
  return Complete();
}

bool OMachineCheck::Complete() const {
  return State->Next > State->Controls + 1;
}

void OMachineCheck::Recheck(const OPattern& pattern, const TRect& area) {
  TState& s = *State;
  s.Pattern = &pattern;
  if (pattern.NoControls != s.Controls || pattern.NoPLines != s.PLines)
    return; // a change of size begins again
  // A stroke tells of each press, the press and its section copies as one area; the presses
  // of a stroke along a PLine (or a needle) overlap, and are read as one, once, when the
  // findings are next asked for.
  TRect merged = area;
  for (bool again = true; again;) {
    again = false;
    for (auto it = s.Pending.begin(); it != s.Pending.end(); ++it) {
      const TRect& p = *it;
      const bool within = p.Left <= merged.Left && p.Top <= merged.Top && p.Right >= merged.Right &&
                          p.Bottom >= merged.Bottom;
      const bool row = p.Top == merged.Top && p.Bottom == merged.Bottom &&
                       p.Left <= merged.Right + 1 && merged.Left <= p.Right + 1;
      const bool column = p.Left == merged.Left && p.Right == merged.Right &&
                          p.Top <= merged.Bottom + 1 && merged.Top <= p.Bottom + 1;
      if (within || row || column) {
        merged = {std::min(p.Left, merged.Left), std::min(p.Top, merged.Top),
                  std::max(p.Right, merged.Right), std::max(p.Bottom, merged.Bottom)};
        s.Pending.erase(it);
        again = true;
        break;
      }
    }
  }
  s.Pending.push_back(merged);
  if (s.Pending.size() > 64)
    s.Flush();
}

void OMachineCheck::TState::Flush() {
  std::vector<TRect> pending;
  pending.swap(Pending);
  for (const TRect& area : pending)
    RecheckNow(area);
}

void OMachineCheck::TState::RecheckNow(const TRect& area) {
  TState& s = *this;
  const OPattern& pattern = *Pattern;
  // PLines not read yet are read as they are now when their turn comes; needles not
  // examined yet are examined (and counted) as their bytes are then.
  const int left = std::max(area.Left, 1), right = std::min(area.Right, s.Controls);
  const int top = std::max(area.Top, 1), bottom = std::min(area.Bottom, s.NextPLine - 1);
  if (left > right || top > bottom)
    return;
  const TGrid& grid = s.States ? pattern.States : pattern.MachineColours;
  const size_t n = static_cast<size_t>(s.PLines);
  // Row by row as the grid lies, eight PLines to a word of each needle's kept bytes: most
  // of a stroke's area is as it was, and a word that is says so at once.
  const bool colours = s.States && !s.Unstated.NoState.empty();
  std::vector<uint8_t> changed(size_t(right - left) + 1, 0);
  std::vector<const uint8_t*> unstated(changed.size(), nullptr);
  if (colours)
    for (int c = left; c <= right; ++c)
      unstated[size_t(c - left)] =
          s.Unstated.NoState.data() + s.Unstated.RowOf[static_cast<size_t>(c)];
  auto code = [&](size_t i, uint8_t v, uint8_t colour) -> uint8_t {
    if (!s.States)
      return v;
    return colours ? static_cast<uint8_t>(s.CodeOfState[v] | unstated[i][colour] << 7)
                   : s.CodeOfState[v];
  };
  auto take = [&](int c, int p, uint8_t now) {
    uint8_t& was = s.Copy[size_t(c - 1) * n + size_t(p - 1)];
    if (now == was)
      return;
    if (s.Balance && c < s.Next) { // counted already
      uint32_t* pass = s.Counts.Pass.data() + size_t(c - 1) * s.Counts.Kinds;
      uint32_t* part = s.Counts.Part.data() + size_t(c - 1) * s.Counts.Kinds;
      --pass[s.Kind[was]], ++pass[s.Kind[now]];
      if (p <= s.Counts.PartPLines)
        --part[s.Kind[was]], ++part[s.Kind[now]];
    }
    changed[size_t(c - left)] |= static_cast<uint8_t>(s.Differ(was, now) | 128u);
    was = now;
  };
  int p = top;
  for (; p + 7 <= bottom; p += 8) {
    std::array<const uint8_t*, 8> rows, shown;
    for (int j = 0; j < 8; ++j) {
      rows[size_t(j)] = grid.Row(p + j);
      shown[size_t(j)] = pattern.MachineColours.Row(p + j);
    }
    const uint8_t* was = s.Copy.data() + size_t(left - 1) * n + size_t(p - 1);
    for (int c = left; c <= right; ++c, was += n) {
      const size_t i = size_t(c - left);
      uint64_t word = 0, old;
      for (int j = 0; j < 8; ++j)
        word |= uint64_t{code(i, rows[size_t(j)][c], shown[size_t(j)][c])} << (8 * j);
      std::memcpy(&old, was, 8);
      if (word != old)
        for (int j = 0; j < 8; ++j)
          take(c, p + j, static_cast<uint8_t>(word >> (8 * j)));
    }
  }
  for (; p <= bottom; ++p) {
    const uint8_t* row = grid.Row(p);
    const uint8_t* colour = pattern.MachineColours.Row(p);
    for (int c = left; c <= right; ++c)
      take(c, p, code(size_t(c - left), row[c], colour[c]));
  }
  bool any = false;
  for (int c = left; c <= right; ++c)
    if (changed[size_t(c - left)]) {
      any = true;
      if (c < s.Next && (changed[size_t(c - left)] & 127) &&
          !s.ExamineAround(c, top, bottom, changed[size_t(c - left)]))
        s.Examine(c);
    }
  if (!any)
    return;
  s.Listed = s.Counted = s.Weighed = false;
}

std::string OMachineCheck::TState::Message(TRule rule, int first, int last,
                                           const TSpan& span) const {
  const bool one = first == last;
  const std::string needles =
      one ? "Needle " + std::to_string(first)
          : "Needles " + std::to_string(first) + " to " + std::to_string(last);
  const int length = (span.Last - span.First + PLines) % PLines + 1;
  switch (rule) {
  case TRule::State:
    return "State " + StateText(int(span.Value)).substr(6) + " is not one " + Name() + " can tuft";
  case TRule::NoState:
    return "The colours of these cells give no state for their yarn type; the export codes "
           "them as " +
           StateText(CodeOfState[0]);
  case TRule::Colour:
    return "No yarn type shows colour " + std::to_string(int(span.Value)) +
           "; these cells leave no tuft";
  case TRule::Float:
    if (span.Value < 0)
      return needles + (one ? " never tufts; " : " never tuft; ") + Name() + " allows at most " +
             PLinesText(*Profile.LongestFloatPLines) + " without a tuft";
    return needles + (one ? " goes " : " go ") + std::to_string(length) +
           " PLines without a tuft; " + Name() + " allows at most " +
           std::to_string(*Profile.LongestFloatPLines);
  case TRule::ShortRun:
    return needles + (one ? " keeps " : " keep ") + StateText(int(span.Value)) + " for only " +
           PLinesText(length) + "; " + Name() + " needs at least " +
           std::to_string(*Profile.ShortestStateRunPLines);
  case TRule::PileStep:
    return needles + (one ? " steps " : " step ") + Num(span.Value) + " mm in pile height; " +
           Name() + " allows at most " + Num(*Profile.LargestPileStepMm) + " mm";
  default:
    return "";
  }
}

std::vector<TFinding> OMachineCheck::Findings() const {
  State->Flush();
  const TState& s = *State;
  if (!s.Listed) {
    s.List = s.Collect();
    s.Listed = s.Counted = true;
  }
  return s.List;
}

std::vector<TFinding> OMachineCheck::TState::Collect() const {
  const TState& s = *this;
  WeighBalance();
  std::vector<TFinding> list;
  auto add = [&](TFinding finding) {
    (finding.Severity == TSeverity::Error ? s.ErrorCount : s.WarningCount) += 1;
    list.push_back(std::move(finding));
  };
  s.ErrorCount = s.WarningCount = 0;
  for (const TFinding& f : s.Whole)
    if (f.Rule < TRule::State)
      add(f);
  for (const TRule rule : NeedleRules) {
    const size_t slot = NeedleSlot(rule);
    // Needles side by side with the same place are one finding: a stripe across the goods
    // is one fault to mend, not one per needle.
    std::vector<TFinding> found;
    for (int c = 1; c <= s.Controls; ++c)
      for (const TSpan& span : s.Spans[static_cast<size_t>(c)][slot]) {
        if (c > 1 && s.Carries(c - 1, slot, span))
          continue; // a needle to the left carries it
        int last = c;
        while (last < s.Controls && s.Carries(last + 1, slot, span))
          ++last;
        found.push_back({rule, RuleSeverity(rule), c, last, span.First, span.Last,
                         s.Message(rule, c, last, span)});
      }
    std::stable_sort(found.begin(), found.end(), [](const TFinding& x, const TFinding& y) {
      return x.FirstNeedle != y.FirstNeedle ? x.FirstNeedle < y.FirstNeedle
                                            : x.FirstPLine < y.FirstPLine;
    });
    // A pattern that breaks a rule everywhere would otherwise list millions of places, each
    // worded, and take gigabytes to say what its first few already say.
    const size_t unlisted = found.size() > MaxListedPerRule ? found.size() - MaxListedPerRule : 0;
    found.resize(found.size() - unlisted);
    for (TFinding& f : found)
      add(std::move(f));
    if (unlisted > 0) {
      add({rule, RuleSeverity(rule), 1, s.Controls, 1, s.PLines,
           std::to_string(unlisted) + " more places break this rule; the first " +
               std::to_string(MaxListedPerRule) + " are listed"});
      s.ErrorCount += static_cast<int64_t>(unlisted) - 1;
    }
  }
  for (const TFinding& f : s.Whole)
    if (f.Rule > TRule::PileStep && f.Rule < TRule::Imbalance)
      add(f);
  if (s.Balance)
    for (int c = 1; c <= s.Controls; ++c)
      if (const double above = s.Above[static_cast<size_t>(c)]; above > 0) {
        char percent[32];
        std::snprintf(percent, sizeof percent, "%.1f", above);
        add({TRule::Imbalance, TSeverity::Warning, c, c, 1, s.PLines,
             "Needle " + std::to_string(c) + " takes " + percent + " % more yarn than the mean; " +
                 s.Name() + " runs well with at most " + Num(*s.Profile.LargestImbalancePercent) +
                 " %"});
      }
  for (const TFinding& f : s.Whole)
    if (f.Rule > TRule::Imbalance)
      add(f);
  return list;
}

int64_t OMachineCheck::Errors() const {
  TState& s = *State;
  s.Flush();
  if (s.Counted)
    return s.ErrorCount;
  // As Collect lists them, without making them: the status bar asks after every stroke.
  s.WeighBalance();
  s.ErrorCount = s.WarningCount = 0;
  for (const TFinding& f : s.Whole)
    ++(f.Severity == TSeverity::Error ? s.ErrorCount : s.WarningCount);
  for (const TRule rule : NeedleRules) {
    const size_t slot = NeedleSlot(rule);
    for (int c = 1; c <= s.Controls; ++c)
      for (const TSpan& span : s.Spans[static_cast<size_t>(c)][slot])
        if (c == 1 || !s.Carries(c - 1, slot, span))
          ++s.ErrorCount;
  }
  if (s.Balance)
    for (int c = 1; c <= s.Controls; ++c)
      s.WarningCount += s.Above[static_cast<size_t>(c)] > 0;
  s.Counted = true;
  return s.ErrorCount;
}

int64_t OMachineCheck::Warnings() const {
  Errors();
  return State->WarningCount;
}

const TMachineProfile& OMachineCheck::Profile() const {
  return State->Profile;
}

bool OMachineCheck::Marked(int control, int pline, const TRuleSet& shown) const {
  if (!State->Pending.empty())
    State->Flush();
  const TState& s = *State;
  if (control < 1 || control > s.Controls || pline < 1 || pline > s.PLines)
    return false;
  auto on = [&](TRule rule) {
    const auto i = static_cast<size_t>(rule);
    return i < shown.size() && shown[i];
  };
  if (s.FirstSpare && control >= s.FirstSpare && on(TRule::Needles))
    return true;
  if (s.Balance && on(TRule::Imbalance) && (s.WeighBalance(), s.Above[size_t(control)] > 0))
    return true;
  if (control >= s.Next)
    return false; // not read yet
  const auto& spans = s.Spans[static_cast<size_t>(control)];
  for (const TRule rule : NeedleRules) {
    const auto& list = spans[NeedleSlot(rule)];
    if (list.empty() || !on(rule))
      continue;
    // The last span that starts at or before the PLine, and the one that wraps to it.
    auto it = std::upper_bound(list.begin(), list.end(), pline,
                               [](int p, const TSpan& x) { return p < x.First; });
    if (it != list.begin()) {
      const TSpan& x = *std::prev(it);
      if (x.First <= x.Last ? pline <= x.Last : true)
        return true;
    }
    const TSpan& wrap = list.back();
    if (wrap.First > wrap.Last && pline <= wrap.Last)
      return true;
  }
  return false;
}

} // namespace quillane
