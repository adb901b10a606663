// Painting a whole area of cells inside a paint batch, a PLine at a time.
#include "model/PaintBatch.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include "app/ByteRows.h"
#include "app/Simd.h"
#include "elements/Picture.h"
#include "model/Pattern.h"
#include "setup/Palette.h"

namespace quillane {

namespace {

// An inclusive cell area in 64 bits, so that shifted stored areas cannot overflow.
struct TArea {
  int64_t Left, Top, Right, Bottom;
  bool Empty() const { return Left > Right || Top > Bottom; }
  int64_t Width() const { return Right - Left + 1; }
  TArea Shifted(int64_t dc, int64_t dp) const {
    return {Left + dc, Top + dp, Right + dc, Bottom + dp};
  }
  bool operator==(const TArea&) const = default;
};

TArea AreaOf(const TRect& r) {
  return {r.Left, r.Top, r.Right, r.Bottom};
}

TArea Meet(const TArea& a, const TArea& b) {
  return {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
}

bool Meets(const TArea& a, const TArea& b) {
  return !a.Empty() && !b.Empty() && !Meet(a, b).Empty();
}

TArea Bounds(const TArea& a, const TArea& b) {
  if (a.Empty())
    return b;
  if (b.Empty())
    return a;
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
          std::max(a.Bottom, b.Bottom)};
}

// Sets the `count` low bits of `bits` in the bit set from bit `at` on.
void MarkBits(uint64_t* redrawn, size_t at, uint64_t bits, size_t count) {
  redrawn[at >> 6] |= bits << (at & 63);
  if ((at & 63) > 64 - count)
    redrawn[(at >> 6) + 1] |= bits >> (64 - (at & 63));
}

// Where the source took a state (not 0), the copy takes that state and the source's colour
// and, given a bit set, is marked redrawn (bit `first + i`); elsewhere it stays as it was.
// Sixteen or eight cells at a time; in the eight, a byte of 0x80 marks each cell whose
// source took a state.
void CopyWhereStated(const uint8_t* state, const uint8_t* colour, uint8_t* toState,
                     uint8_t* toColour, size_t n, uint64_t* redrawn, size_t first) {
  size_t i = 0;
#if defined(QUILLANE_SSE2)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) {
    auto load = [](const uint8_t* from) {
      return _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    };
    const __m128i s = load(state + i), keep = _mm_cmpeq_epi8(s, zero);
    const __m128i ts =
        _mm_or_si128(_mm_and_si128(keep, load(toState + i)), _mm_andnot_si128(keep, s));
    const __m128i tc = _mm_or_si128(_mm_and_si128(keep, load(toColour + i)),
                                    _mm_andnot_si128(keep, load(colour + i)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(toState + i), ts);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(toColour + i), tc);
    if (redrawn)
      MarkBits(redrawn, first + i, static_cast<uint16_t>(~_mm_movemask_epi8(keep)), 16);
  }
#endif
  if constexpr (WordsOfBytes) {
    for (; i + 8 <= n; i += 8) {
      uint64_t s, v, ts, tc;
      std::memcpy(&s, state + i, 8);
      std::memcpy(&v, colour + i, 8);
      std::memcpy(&ts, toState + i, 8);
      std::memcpy(&tc, toColour + i, 8);
      const uint64_t ones = NonZeroBytes(s); // 1 in each stated byte
      const uint64_t m = ones * 0xFF;
      ts = (ts & ~m) | (s & m);
      tc = (tc & ~m) | (v & m);
      std::memcpy(toState + i, &ts, 8);
      std::memcpy(toColour + i, &tc, 8);
      if (redrawn)
        MarkBits(redrawn, first + i, GatherBytes(ones), 8);
    }
  }
  for (; i < n; ++i)
    if (state[i] != 0) {
      toState[i] = state[i];
      toColour[i] = colour[i];
      if (redrawn)
        redrawn[(first + i) >> 6] |= uint64_t{1} << ((first + i) & 63);
    }
}

// The sources of one PLine where no earlier paint of the batch redrew a cell: a cell takes
// its paint's colour where the pattern has it, and the state that shows it on the cell's
// yarn type where there is one (a select, since which cells do follows the drawing).
// Answers whether the PLine is "plain": every cell painted (or, with states, unpainted ones
// copying nothing, as their state stays 0), with a colour the cells take and a state that
// is 0 or one the cells take.
bool WriteSources(const uint8_t* __restrict has, const uint8_t* __restrict value,
                  const uint8_t* const* __restrict mapOf, size_t n, uint8_t* __restrict colour,
                  uint8_t* __restrict state, uint8_t* __restrict sourceState, uint8_t noColours,
                  uint8_t noStates) {
  unsigned all = 1;
  for (size_t i = 0; i < n; ++i) {
    if (!has[i]) {
      all &= state ? 1u : 0u;
      continue;
    }
    const uint8_t v = value[i], s = mapOf[i][v];
    colour[i] = v <= noColours ? v : colour[i];
    if (state) {
      const uint8_t take =
          static_cast<uint8_t>(0u - (static_cast<uint8_t>(s - 1) < noStates ? 1u : 0u));
      state[i] = static_cast<uint8_t>((s & take) | (state[i] & ~take));
      sourceState[i] = s;
    }
    all &= static_cast<unsigned>(v <= noColours) & static_cast<unsigned>(s <= noStates);
  }
  return all != 0;
}

// The highest of `n` values.
uint8_t HighestOf(const uint8_t* __restrict values, size_t n) {
  uint8_t highest = 0;
  for (size_t i = 0; i < n; ++i)
    highest = values[i] > highest ? values[i] : highest;
  return highest;
}

// Where `flag` is 1, `to` takes `from`'s byte; where it is 0, it stays. Without a branch:
// which cells are flagged follows the drawing, and a branch on it mispredicts.
void CopyWhere(const uint8_t* __restrict from, const uint8_t* __restrict flag,
               uint8_t* __restrict to, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const uint8_t take = static_cast<uint8_t>(0u - flag[i]);
    to[i] = static_cast<uint8_t>((from[i] & take) | (to[i] & ~take));
  }
}

// Where `stated` is 1, the value takes `row`'s and is marked; elsewhere it stays.
void TakeWhereStated(const uint8_t* __restrict row, const uint8_t* __restrict stated,
                     uint8_t* __restrict value, uint8_t* __restrict has, size_t n) {
  CopyWhere(row, stated, value, n);
  for (size_t i = 0; i < n; ++i)
    has[i] = static_cast<uint8_t>(has[i] | stated[i]);
}

// The few values that give one yarn type a state (a machine has few states), each listed
// at least once: eight compares of sixteen cells are cheaper than sixteen table reads.
using TStating = std::array<uint8_t, 8>;

// TakeWhereStated where a value states when it is one of `stating`.
void TakeWhereOneOf(const uint8_t* __restrict row, const TStating& stating,
                    uint8_t* __restrict value, uint8_t* __restrict has, size_t n) {
  size_t i = 0;
#if defined(QUILLANE_SSE2)
  __m128i each[8];
  for (size_t s = 0; s < 8; ++s)
    each[s] = _mm_set1_epi8(static_cast<char>(stating[s]));
  const __m128i one = _mm_set1_epi8(1);
  for (; i + 16 <= n; i += 16) {
    auto at = [](auto* p) { return reinterpret_cast<__m128i*>(p); };
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    __m128i st = _mm_cmpeq_epi8(v, each[0]);
    for (size_t s = 1; s < 8; ++s)
      st = _mm_or_si128(st, _mm_cmpeq_epi8(v, each[s]));
    const __m128i old = _mm_loadu_si128(at(value + i));
    _mm_storeu_si128(at(value + i), _mm_or_si128(_mm_and_si128(st, v), _mm_andnot_si128(st, old)));
    _mm_storeu_si128(at(has + i),
                     _mm_or_si128(_mm_loadu_si128(at(has + i)), _mm_and_si128(st, one)));
  }
#endif
  for (; i < n; ++i) {
    const uint8_t v = row[i];
    bool st = false;
    for (const uint8_t s : stating)
      st = st || v == s;
    if (st) {
      value[i] = v;
      has[i] = 1;
    }
  }
}

// Whether any of bits `first` to `first + n - 1` (n > 0) is set.
bool AnyBitIn(const uint64_t* bits, size_t first, size_t n) {
  for (size_t word = first >> 6; word <= (first + n - 1) >> 6; ++word)
    if (bits[word] != 0)
      return true;
  return false;
}

} // namespace

// One area painted inside a batch, step by step. The algorithm:
//   1. Plan: find each painted cell's source and check that the paints commute, so that
//      painting the area at once gives what painting its cells one by one would.
//   2. GatherValues: each source's paint value, taken from the painted cell it shows.
//   3. PaintSources: write the sources, PLine by PLine.
//   4. PaintCopies: write every section's copies of each PLine, drawing them at once
//      where they can be, else marking them for the end of the batch.
// The speed-ups (whole PLines as plain copies, sixteen cells at a time, a shared area's
// values gathered a source PLine at a time) live in the helpers above and in the "plain"
// test of each step.
struct OPattern::TPaintBatch::TAreaPaint {
  TAreaPaint(OPattern& pattern, TPaintBatch& batch, TPaintOrder order)
      : P(pattern), B(batch), Order(order) {}
  OPattern& P;
  TPaintBatch& B;
  TPaintOrder Order;
  // Painted cells share sources (see GatherValues).
  bool Shared = false;
  bool Stopped = false;       // the values were not all given
  TZeroedBytes Last, HasLast; // per source: the value of the last paint of it
  uint8_t Highest = 0;        // of the values painted
  TArea Cells{}, Grid{};
  std::vector<TArea> Painted; // each section's painted cells
  struct TWrite {
    TArea Area;
    int64_t DC, DP;
  };
  std::vector<TWrite> Writes; // the sources, then each section's copies of them
  TArea Sources{0, 0, -1, -1};
  int64_t Width = 0;                    // of the sources
  TZeroedBytes Value, Has, SourceState; // per source cell
  std::vector<uint8_t> Plain;           // per source PLine: see PaintSources
  bool States = false;
  size_t Stride = 0;
  uint8_t* StateCells = nullptr;
  uint8_t* ColourCells = nullptr;

  struct TCopy {
    const TShift* Shift;
    TArea From;
    bool SameYarns; // then a copy takes the state its source took
  };

  size_t At(int64_t c, int64_t p) const {
    return static_cast<size_t>((p - Sources.Top) * Width + (c - Sources.Left));
  }
  uint8_t StateOf(int64_t c, uint8_t v) const {
    return B.StateOf[B.YarnType[static_cast<size_t>(c)]][v];
  }
  void Write(size_t index, uint8_t s, uint8_t v) const {
    if (States && s != 0 && s <= P.NoStates)
      StateCells[index] = s;
    if (v <= P.NoColours)
      ColourCells[index] = v;
  }

  bool Plan(const TRect& area, size_t valueCount);
  bool GatherValues(OAreaValues& values);
  bool SharedReduces() const;
  void FinishShared();
  void PaintSources();
  std::vector<TCopy> Copies() const;
  void PaintCopies();
};

// A painted cell takes its source through the first section whose target holds it. Here
// every section holding a painted cell must move it by the same amount, so that any of
// them gives its source. The paints commute when no two of them can write one cell:
// different cells must have different sources (or, given the order, the last of those that
// share one wins: see Shared), and no two of the writes (the source itself, and each
// section's copy of it) may land on one cell unless they move it by the same amount,
// which only one paint can do.
bool OPattern::TPaintBatch::TAreaPaint::Plan(const TRect& area, size_t valueCount) {
  Cells = AreaOf(area);
  Grid = {1, 1, P.NoControls, P.NoPLines};
  States = P.PatternMode == pmStates;
  Stride = P.States.Stride();
  StateCells = P.States.Data().data();
  ColourCells = P.MachineColours.Data().data();
  if (Cells.Empty() || Meet(Cells, Grid) != Cells ||
      valueCount != static_cast<size_t>(Cells.Width() * (Cells.Bottom - Cells.Top + 1)))
    return false;
  const std::vector<TShift>& shifts = B.Shifts;
  Painted.resize(shifts.size());
  std::vector<TArea> sourceOf(shifts.size());
  for (size_t i = 0; i < shifts.size(); ++i) {
    Painted[i] = Meet(Cells, AreaOf(shifts[i].Target));
    sourceOf[i] = Meet(Painted[i].Shifted(-shifts[i].DC, -shifts[i].DP), Grid);
    Sources = Bounds(Sources, sourceOf[i]);
    for (size_t j = 0; j < i; ++j) {
      if (shifts[j].DC == shifts[i].DC && shifts[j].DP == shifts[i].DP)
        continue;
      if (Meets(Painted[j], Painted[i]))
        return false;
      if (Meets(sourceOf[j], sourceOf[i])) {
        // Which paint comes last is worked out from the shifts; forged ones refuse.
        constexpr int64_t far = int64_t{1} << 24, farOrder = int64_t{1} << 36;
        for (const TShift* s : {&shifts[i], &shifts[j]})
          if (s->DC <= -far || s->DC >= far || s->DP <= -far || s->DP >= far)
            return false;
        if ((Order.PerControl == 0 && Order.PerPLine == 0) || Order.PerControl <= -farOrder ||
            Order.PerControl >= farOrder || Order.PerPLine <= -farOrder ||
            Order.PerPLine >= farOrder)
          return false;
        Shared = true;
      }
    }
  }
  std::vector<TWrite>& writes = Writes;
  writes = {{Sources, 0, 0}};
  for (const TShift& shift : shifts)
    writes.push_back({Meet(Meet(Sources, AreaOf(shift.Source)).Shifted(shift.DC, shift.DP), Grid),
                      shift.DC, shift.DP});
  for (size_t i = 0; i < writes.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if ((writes[i].DC != writes[j].DC || writes[i].DP != writes[j].DP) &&
          Meets(writes[i].Area, writes[j].Area))
        return false;
  return true;
}

// Each source's paint value; a painted cell whose source lies outside the grid paints
// nothing. Answers whether any source is painted.
bool OPattern::TPaintBatch::TAreaPaint::GatherValues(OAreaValues& values) {
  if (Sources.Empty())
    return false;
  const std::vector<TShift>& shifts = B.Shifts;
  Width = Sources.Width();
  Value = TZeroedBytes(static_cast<size_t>(Width * (Sources.Bottom - Sources.Top + 1)));
  Has = TZeroedBytes(Value.size());
  bool any = false;
  // A source shared by cells of several sections takes the value of the one painted last:
  // a section's cells come at their source's place plus a fixed amount each.
  std::vector<size_t> inOrder(shifts.size());
  for (size_t i = 0; i < shifts.size(); ++i)
    inOrder[i] = i;
  if (Shared)
    std::stable_sort(inOrder.begin(), inOrder.end(), [&](size_t a, size_t b) {
      return shifts[a].DC * Order.PerControl + shifts[a].DP * Order.PerPLine <
             shifts[b].DC * Order.PerControl + shifts[b].DP * Order.PerPLine;
    });
  if (!Shared) {
    for (const size_t i : inOrder) {
      const TArea from = Meet(Painted[i], Grid.Shifted(shifts[i].DC, shifts[i].DP));
      if (from.Empty())
        continue;
      any = true;
      const size_t n = static_cast<size_t>(from.Width());
      for (int64_t p = from.Top; p <= from.Bottom; ++p) {
        const size_t k = At(from.Left - shifts[i].DC, p - shifts[i].DP);
        const uint8_t* row = values.Row(from.Left, p, n);
        if (!row) {
          Stopped = true;
          return false;
        }
        std::memcpy(Value.data() + k, row, n);
        std::memset(Has.data() + k, 1, n);
      }
    }
    return any;
  }
  // The last paint of a source gives it its colour; the last that gives its yarn type a
  // state gives it that state and its copies everything (see SharedReduces). A source
  // PLine at a time, its paints in order, so that its values stay in the cache while every
  // section's cells over it pass.
  Last = TZeroedBytes(Value.size());
  HasLast = TZeroedBytes(Value.size());
  struct TSpan {
    int64_t Top, Bottom; // source PLines
    size_t Column, N;    // the first source's offset in a PLine, how many
    int64_t DP, Left;    // the shift down, the first painted cell's control
  };
  std::vector<TSpan> spans;
  for (const size_t i : inOrder) {
    const TArea from = Meet(Painted[i], Grid.Shifted(shifts[i].DC, shifts[i].DP)); // sources inside
    if (from.Empty())
      continue;
    spans.push_back({from.Top - shifts[i].DP, from.Bottom - shifts[i].DP,
                     static_cast<size_t>(from.Left - shifts[i].DC - Sources.Left),
                     static_cast<size_t>(from.Width()), shifts[i].DP, from.Left});
  }
  if (spans.empty())
    return false;
  // Which values give a source control's yarn type a state: one table for all when the
  // sources share a yarn type, as a section's strip usually does.
  std::vector<const uint8_t*> stateOf;
  bool oneYarn = true;
  for (int64_t sc = Sources.Left; sc <= Sources.Right; ++sc) {
    stateOf.push_back(B.StateOf[B.YarnType[static_cast<size_t>(sc)]].data());
    oneYarn = oneYarn && stateOf.back() == stateOf.front();
  }
  TByteMap stated;
  stated.fill(1);
  TStating stating{};
  size_t noStating = 0;
  if (States)
    for (size_t v = 0; v < 256; ++v) {
      stated[v] = stateOf.front()[v] != 0 ? 1 : 0;
      if (stated[v] && noStating++ < stating.size())
        stating[noStating - 1] = static_cast<uint8_t>(v);
    }
  const bool fewStating = oneYarn && noStating >= 1 && noStating <= stating.size();
  for (size_t s = noStating; fewStating && s < stating.size(); ++s)
    stating[s] = stating[0];
  uint8_t highest = 0;
  std::vector<uint8_t> stRow(static_cast<size_t>(Width)); // which of a span's values state
  for (int64_t sp = Sources.Top; sp <= Sources.Bottom; ++sp)
    for (const TSpan& span : spans) {
      if (sp < span.Top || sp > span.Bottom)
        continue;
      const size_t k = At(Sources.Left, sp) + span.Column, n = span.N;
      const uint8_t* row = values.Row(span.Left, sp + span.DP, n);
      if (!row) {
        Stopped = true;
        return false;
      }
      std::memcpy(Last.data() + k, row, n);
      std::memset(HasLast.data() + k, 1, n);
      highest = std::max(highest, HighestOf(row, n));
      if (!States) {
        std::memcpy(Value.data() + k, row, n);
        std::memset(Has.data() + k, 1, n);
        continue;
      }
      if (fewStating) {
        TakeWhereOneOf(row, stating, Value.data() + k, Has.data() + k, n);
        continue;
      }
      if (oneYarn) {
        for (size_t j = 0; j < n; ++j)
          stRow[j] = stated[row[j]];
      } else {
        const uint8_t* const* of = stateOf.data() + span.Column;
        for (size_t j = 0; j < n; ++j)
          stRow[j] = of[j][row[j]] != 0 ? 1 : 0;
      }
      TakeWhereStated(row, stRow.data(), Value.data() + k, Has.data() + k, n);
    }
  Highest = highest;
  return true;
  return any;
}

// Painted cells of different sections may share a source: each paint writes the source
// and all its copies, so the last one wins, except that a paint whose colour gives the
// cell's yarn type no state writes only the source's colour. Then the source takes the
// last paint's colour, and the last paint that has a state is painted as the source's own:
// its state, its copies and its pixels (a source that is its own copy keeps showing that
// paint's colour, as one by one keeps the colour it was redrawn with). That holds where
// every paint writes its colour, states are all the machine takes, each copy stays on its
// source's yarn type, and no source was redrawn before.
bool OPattern::TPaintBatch::TAreaPaint::SharedReduces() const {
  if (Highest > P.NoColours)
    return false;
  if (States) {
    std::array<bool, 256> yarnInUse{};
    for (int c = 1; c <= P.NoControls; ++c)
      yarnInUse[B.YarnType[static_cast<size_t>(c)]] = true;
    for (size_t y = 0; y < B.StateOf.size(); ++y)
      for (int v = 0; v <= P.NoColours && yarnInUse[y]; ++v)
        if (B.StateOf[y][static_cast<size_t>(v)] > P.NoStates)
          return false;
    for (const TCopy& copy : Copies())
      if (!copy.SameYarns)
        return false;
  }
  for (int64_t sp = Sources.Top; sp <= Sources.Bottom; ++sp)
    if (AnyBitIn(B.Redrawn.data(),
                 static_cast<size_t>(sp) * Stride + static_cast<size_t>(Sources.Left),
                 static_cast<size_t>(Width)))
      return false;
  return true;
}

// The sources' own colours, after their copies (see SharedReduces).
void OPattern::TPaintBatch::TAreaPaint::FinishShared() {
  for (int64_t sp = Sources.Top; sp <= Sources.Bottom; ++sp) {
    const size_t k0 = At(Sources.Left, sp);
    const size_t index0 = static_cast<size_t>(sp) * Stride + static_cast<size_t>(Sources.Left);
    // No source of the PLine redrawn (copies drawn as they are written stay unmarked): each
    // takes its last paint's colour.
    if (!AnyBitIn(B.Redrawn.data(), index0, static_cast<size_t>(Width))) {
      CopyWhere(Last.data() + k0, HasLast.data() + k0, ColourCells + index0,
                static_cast<size_t>(Width));
      continue;
    }
    for (size_t i = 0; i < static_cast<size_t>(Width); ++i) {
      const size_t k = k0 + i, index = index0 + i;
      if (!HasLast[k])
        continue;
      if (Has[k] && Last[k] != Value[k] && B.IsRedrawn(index))
        B.RedrawnWith.Set(index, Value[k]);
      ColourCells[index] = Last[k];
    }
  }
}

// The sources first: no copy lands on another paint's source, and a paint's own copies
// come after its source as they would one by one. A PLine whose sources are all painted,
// with colours the cells take and states that are 0 or ones the cells take, is "plain".
void OPattern::TPaintBatch::TAreaPaint::PaintSources() {
  SourceState = TZeroedBytes(States ? Value.size() : 0);
  Plain.assign(static_cast<size_t>(Sources.Bottom - Sources.Top + 1), 0);
  std::vector<const uint8_t*> mapOf(static_cast<size_t>(Width)); // each source control's states
  for (int64_t sc = Sources.Left; sc <= Sources.Right; ++sc)
    mapOf[static_cast<size_t>(sc - Sources.Left)] =
        B.StateOf[B.YarnType[static_cast<size_t>(sc)]].data();
  const uint8_t noColours = P.NoColours, noStates = P.NoStates; // not reread after every store
  for (int64_t sp = Sources.Top; sp <= Sources.Bottom; ++sp) {
    const size_t k0 = At(Sources.Left, sp), n = static_cast<size_t>(Width);
    const size_t index0 = static_cast<size_t>(sp) * Stride + static_cast<size_t>(Sources.Left);
    // Redrawn by an earlier paint of the batch; a shared area's sources never are.
    const bool redrawnHere = !Shared && AnyBitIn(B.Redrawn.data(), index0, n);
    // The sources are a narrow column of the grid's PLines, a stride apart: the next PLine's
    // cells are asked for while this one's are written.
    if (sp < Sources.Bottom)
      for (size_t at = 0; at < n; at += 64) {
        __builtin_prefetch(ColourCells + index0 + Stride + at, 1);
        if (States)
          __builtin_prefetch(StateCells + index0 + Stride + at, 1);
      }
    bool all = true;
    if (!redrawnHere) {
      all = WriteSources(Has.data() + k0, Value.data() + k0, mapOf.data(), n, ColourCells + index0,
                         States ? StateCells + index0 : nullptr,
                         States ? SourceState.data() + k0 : nullptr, noColours, noStates);
    } else {
      for (size_t i = 0; i < n; ++i) {
        const size_t k = k0 + i, index = index0 + i;
        if (!Has[k]) {
          all = false;
          continue;
        }
        const uint8_t v = Value[k], s = mapOf[i][v];
        if (v <= noColours && B.IsRedrawn(index) && ColourCells[index] != v)
          B.RedrawnWith.SetIfNone(index, ColourCells[index]);
        Write(index, s, v);
        if (States)
          SourceState[k] = s;
        all = all && v <= noColours && s <= noStates;
      }
    }
    Plain[static_cast<size_t>(sp - Sources.Top)] = all;
  }
}

// Each section's sources among the painted ones, and whether its copies stay on the
// same yarn types.
std::vector<OPattern::TPaintBatch::TAreaPaint::TCopy>
OPattern::TPaintBatch::TAreaPaint::Copies() const {
  std::vector<TCopy> copies;
  for (const TShift& shift : B.Shifts) {
    const TArea from =
        Meet(Meet(Sources, AreaOf(shift.Source)), Grid.Shifted(-shift.DC, -shift.DP));
    bool sameYarns = true;
    for (int64_t c = from.Left; c <= from.Right && sameYarns && States; ++c)
      sameYarns =
          B.YarnType[static_cast<size_t>(c)] == B.YarnType[static_cast<size_t>(c + shift.DC)];
    if (!from.Empty())
      copies.push_back({&shift, from, sameYarns});
  }
  return copies;
}

// Then the copies, a PLine at a time, every section's copies of one PLine together.
void OPattern::TPaintBatch::TAreaPaint::PaintCopies() {
  const std::vector<TCopy> copies = Copies();
  // When every copy stays on its source's PLine, a PLine's copies on the plain path are
  // drawn as soon as they are written instead of being marked for the end of the batch:
  // only this paint writes those cells, and a later paint that changes one redraws it or
  // keeps its pixel, as one by one. Each source's colour and whether its copies are drawn:
  bool drawNow = true;
  for (const TCopy& copy : copies)
    drawNow = drawNow && copy.Shift->DP == 0;
  struct TImageAreas {
    OBitmap24* Image;
    std::vector<TShownArea> Areas;
  };
  std::vector<TImageAreas> shown;
  std::array<uint32_t, 256> colours{};
  // A PLine's sources as drawn, and whether they are (where the source took a state);
  // then the PLine's copies as drawn and, only when some source took no state, where they
  // are: most PLines of a plain area are drawn whole.
  std::vector<uint32_t> sourceDrawn, sourceWhere, rowDrawn, rowWhere;
  struct TDrawnCopy {
    int64_t C0;
    size_t From, N; // in the PLine's sources
  };
  std::vector<TDrawnCopy> drawnCopies;
  if (drawNow) {
    for (const auto& picture : *P.Pictures)
      if (picture->MachineImage.Width() > 0 && picture->MachineImage.Height() > 0)
        shown.push_back({&picture->MachineImage, ShownAreas(*picture, P.NoControls, P.NoPLines)});
    colours = P.Palette->PixelColours();
    sourceDrawn.resize(static_cast<size_t>(Width));
    sourceWhere.resize(static_cast<size_t>(Width));
    rowDrawn.resize(size_t{P.NoControls} + 1);
    rowWhere.resize(size_t{P.NoControls} + 1);
  }
  // The pixels are not asked for a PLine ahead: the processor fetches rows drawn left to
  // right in time, and asking for every region's row at once stalled the copies.
  for (int64_t sp = Sources.Top; sp <= Sources.Bottom; ++sp) {
    int64_t lo = INT64_MAX, hi = INT64_MIN; // the PLine's cells drawn now
    const size_t k0 = At(Sources.Left, sp);
    bool sourcesDrawn = false, sourcesStated = true;
    drawnCopies.clear();
    for (const TCopy& copy : copies) {
      const TArea& from = copy.From;
      if (sp < from.Top || sp > from.Bottom)
        continue;
      const size_t n = static_cast<size_t>(from.Width());
      const size_t k = At(from.Left, sp);
      const size_t target = static_cast<size_t>(sp + copy.Shift->DP) * Stride +
                            static_cast<size_t>(from.Left + copy.Shift->DC);
      if (!Plain[static_cast<size_t>(sp - Sources.Top)] || !copy.SameYarns ||
          !B.RedrawnWith.empty()) {
        // Cell by cell, as one by one.
        for (size_t i = 0; i < n; ++i) {
          if (!Has[k + i])
            continue;
          const uint8_t v = Value[k + i];
          const uint8_t s2 =
              States ? StateOf(from.Left + copy.Shift->DC + static_cast<int64_t>(i), v) : 1;
          if (s2 == 0)
            continue;
          Write(target + i, s2, v);
          B.MarkRedrawn(target + i);
          if (v > P.NoColours)
            B.RedrawnWith.Set(target + i, v);
          else if (!B.RedrawnWith.empty())
            B.RedrawnWith.Erase(target + i);
        }
        continue;
      }
      // The plain path: the copy takes what its source took, many cells at a time.
      if (States)
        CopyWhereStated(SourceState.data() + k, Value.data() + k, StateCells + target,
                        ColourCells + target, n, drawNow ? nullptr : B.Redrawn.data(), target);
      else
        std::memcpy(ColourCells + target, Value.data() + k, n);
      if (drawNow) {
        if (!sourcesDrawn) {
          for (size_t i = 0; i < static_cast<size_t>(Width); ++i) {
            sourceDrawn[i] = colours[Value[k0 + i]];
            sourceWhere[i] = !States || SourceState[k0 + i] != 0 ? ~0u : 0u;
            sourcesStated = sourcesStated && sourceWhere[i] != 0;
          }
          sourcesDrawn = true;
        }
        const int64_t c0 = from.Left + copy.Shift->DC;
        std::memcpy(rowDrawn.data() + c0, sourceDrawn.data() + (k - k0), n * sizeof(uint32_t));
        drawnCopies.push_back({c0, k - k0, n});
        lo = std::min(lo, c0);
        hi = std::max(hi, c0 + static_cast<int64_t>(n) - 1);
      } else if (!States) {
        B.MarkRedrawn(target, n);
      }
    }
    if (lo > hi)
      continue;
    // Cells between the drawn copies that no plain copy wrote keep their pixels here; a
    // PLine drawn whole is copied into each region's pixels. Copies never overlap.
    size_t covered = 0;
    for (const TDrawnCopy& d : drawnCopies)
      covered += d.N;
    const bool whole = sourcesStated && covered == static_cast<size_t>(hi - lo + 1);
    if (!whole)
      for (const TDrawnCopy& d : drawnCopies)
        std::memcpy(rowWhere.data() + d.C0, sourceWhere.data() + d.From, d.N * sizeof(uint32_t));
    for (const TImageAreas& image : shown)
      for (const TShownArea& where : image.Areas)
        DrawShown(where, sp, lo, hi, rowDrawn.data() + lo, whole ? nullptr : rowWhere.data() + lo,
                  *image.Image);
    if (!whole)
      std::fill(rowWhere.begin() + lo, rowWhere.begin() + hi + 1, 0u);
  }
}

bool OPattern::BatchPaintArea(const TRect& area, OAreaValues& values, TPaintOrder order) {
  if (!Batch)
    return false;
  TPaintBatch::TAreaPaint paint(*this, *Batch, order);
  if (!paint.Plan(area, values.Count()))
    return false;
  const bool any = paint.GatherValues(values);
  if (paint.Stopped || (paint.Shared && !paint.SharedReduces()))
    return false;
  Batch->LastC = Batch->LastP = Batch->LastV = -1;
  if (!any)
    return true;
  SetModified(1);
  for (const TPaintBatch::TAreaPaint::TWrite& w : paint.Writes)
    if (!w.Area.Empty())
      Events.CellsChanged({static_cast<int32_t>(w.Area.Left), static_cast<int32_t>(w.Area.Top),
                           static_cast<int32_t>(w.Area.Right),
                           static_cast<int32_t>(w.Area.Bottom)});
  paint.PaintSources();
  paint.PaintCopies();
  if (paint.Shared)
    paint.FinishShared();
  return true;
}

} // namespace quillane
