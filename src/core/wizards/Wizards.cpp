#include "wizards/Wizards.h"

#include <algorithm>
#include <array>
#include <type_traits>

#include "app/Exceptions.h"
#include "elements/Picture.h"
#include "elements/Region.h"
#include "elements/Section.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/Settings.h"

namespace quillane {

const char* const TooManySectionsMessage =
    "Too many sections - a pattern can hold at most 65535 sections";
const char* const PictureTooLargeMessage =
    "Picture too large - a picture can hold at most 134217728 pixels; reduce the pattern size "
    "or the No. Repeats in Picture";

static_assert(OPicture::MaxPixels == 134217728, "the message names the limit");

uint16_t ReadWizardNumber(std::string_view text, uint16_t notANumber) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (negative || text.front() == '+'))
    text.remove_prefix(1);
  if (text.empty())
    return notANumber;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return notANumber;
    value = std::min<uint32_t>(value * 10 + static_cast<uint32_t>(c - '0'), 65535);
  }
  return negative ? 0 : static_cast<uint16_t>(value);
}

void TPlainWizard::ReadSizes(std::string_view controls, std::string_view pLines) {
  NoControls = ReadWizardNumber(controls, 0);
  NoPLines = ReadWizardNumber(pLines, 0);
}

void TRugWizard::ReadControlOffset(std::string_view text) {
  ControlOffset = ReadWizardNumber(text, 1);
}

void TRugWizard::MirrorClick() {
  if (Mirror)
    ControlOffset = 1;
}

void TRugWizard::ControlOffsetExit() {
  if (ControlOffset != 1)
    Mirror = false;
}

void TCarpetWizard::CenterClick() {
  if (Center)
    PatternOffset = 1;
}

void THalfDropWizard::CenterClick() {
  if (Center)
    PatternOffset = 1;
}

void TRugWizard::DeriveCutPLines() {
  CutPLines = static_cast<uint16_t>(std::max(0, int32_t{PatternPLines} - RugPLines));
}

void TCarpetWizard::DeriveSectionPLines() {
  SectionPLines = PatternPLines;
}

void THalfDropWizard::DeriveRegionPLines() {
  RegionPLines = static_cast<uint16_t>(PatternPLines / 2);
}

namespace {

constexpr const char *Controls = "No. Controls", *PLines = "No. Pattern Lines",
                     *Repeats = "No. Repeats in Picture", *PatternSize = "Pattern Size";

constexpr TWizardField<TPlainWizard> PlainFields[] = {
    {"edNoControls", Controls, nullptr, &TPlainWizard::NoControls, ControlsRange, nullptr, true, 0},
    {"edNoPLines", PLines, nullptr, &TPlainWizard::NoPLines, PLinesRange, nullptr, true, 0}};

constexpr TWizardField<TRugWizard> RugFields[] = {
    {"edNoControls1", Controls, PatternSize, &TRugWizard::PatternControls, ControlsRange},
    {"edNoPLines1", PLines, PatternSize, &TRugWizard::PatternPLines, PLinesRange,
     &TRugWizard::DeriveCutPLines},
    {"edNoControls2", Controls, "Rug Size", &TRugWizard::RugControls, ControlsRange},
    {"edNoPLines2", PLines, "Rug Size", &TRugWizard::RugPLines, PLinesRange,
     &TRugWizard::DeriveCutPLines},
    {"edNoControls3", Controls, "Cut Mark Size", &TRugWizard::CutControls, CutControlsRange},
    {"edNoPLines3", PLines, "Cut Mark Size", &TRugWizard::CutPLines, CutPLinesRange, nullptr,
     false},
    {.Name = "cbMirror",
     .Caption = "Mirror Generated Sections",
     .Rule = &TRugWizard::MirrorClick,
     .Check = &TRugWizard::Mirror},
    {"edControlOffset", "Start Pattern at Specified Control", nullptr, &TRugWizard::ControlOffset,
     OffsetRange, &TRugWizard::ControlOffsetExit, true, 1},
    {"edPLineOffset", "Start Pattern at Specified PLine ", nullptr, &TRugWizard::PLineOffset,
     OffsetRange}};

// The carpet and half-drop dialogs differ only in their block's name and in the rule its
// PLines follow the pattern's by.
template <class TWizard>
constexpr std::array<TWizardField<TWizard>, 7>
StripFields(const char* block, uint16_t TWizard::*controls, uint16_t TWizard::*pLines,
            void (TWizard::*derive)()) {
  return {{{"edNoControls1", Controls, PatternSize, &TWizard::PatternControls, ControlsRange},
           {"edNoPLines1", PLines, PatternSize, &TWizard::PatternPLines, PLinesRange, derive},
           {"edNoControls2", Controls, block, controls, ControlsRange},
           {"edNoPLines2", PLines, block, pLines, PLinesRange, nullptr, false},
           {.Name = "cbCenter",
            .Caption = "Center Pattern On Machine",
            .Rule = &TWizard::CenterClick,
            .Check = &TWizard::Center},
           {"edPatternOffset", "Start Pattern at Specified Needle", nullptr,
            &TWizard::PatternOffset, OffsetRange},
           {"edNoRepeats", Repeats, nullptr, &TWizard::NoRepeats, RepeatsRange}}};
}

constexpr auto CarpetFields =
    StripFields("Section Size", &TCarpetWizard::SectionControls, &TCarpetWizard::SectionPLines,
                &TCarpetWizard::DeriveSectionPLines);
constexpr auto HalfDropFields =
    StripFields("Region Size", &THalfDropWizard::RegionControls, &THalfDropWizard::RegionPLines,
                &THalfDropWizard::DeriveRegionPLines);

constexpr TWizardField<TRepeatsWizard> RepeatsFields[] = {
    {"edNoControls1", Controls, PatternSize, &TRepeatsWizard::PatternControls, ControlsRange},
    {"edNoPLines1", PLines, PatternSize, &TRepeatsWizard::PatternPLines, PLinesRange},
    {"edNoControls2", Controls, "Section Size", &TRepeatsWizard::SectionControls, ControlsRange},
    {"edNoPLines2", PLines, "Section Size", &TRepeatsWizard::SectionPLines, PLinesRange},
    {"edNoRepeats", Repeats, nullptr, &TRepeatsWizard::NoRepeats, RepeatsRange}};

} // namespace

const TWizardDialog<TPlainWizard> TPlainWizard::Dialog{"fmWizard1", "New Pattern", true, false,
                                                       PlainFields};
const TWizardDialog<TRugWizard> TRugWizard::Dialog{"fmWizard2", "New Rug Pattern", true, false,
                                                   RugFields};
const TWizardDialog<TCarpetWizard> TCarpetWizard::Dialog{"fmWizard3", "New Carpet Pattern", true,
                                                         false, CarpetFields};
const TWizardDialog<THalfDropWizard> THalfDropWizard::Dialog{"fmWizard4", "New Half Drop Pattern",
                                                             true, false, HalfDropFields};
const TWizardDialog<TRepeatsWizard> TRepeatsWizard::Dialog{"fmWizard5", "New Pattern With Repeats",
                                                           false, true, RepeatsFields};

namespace {

// New patterns have this many yarn types when no default machine table says otherwise.
constexpr uint8_t BuiltInYarnTypes = 3;

struct TTooManySections {};

// Where a layout goes: into the pattern and its picture, or, without a pattern, only
// into a count of sections that stops once the pattern file's limit is passed.
class TLayout {
public:
  explicit TLayout(OPattern* pattern) : Pattern(pattern) {}

  void Region(const TRect& area) { Region(area, area); }
  void Region(const TRect& patternArea, const TRect& pictureArea) {
    if (!Pattern)
      return;
    OPicture* picture = Pattern->Pictures->Get(0);
    ORegion* region = picture->Regions.Add(std::make_unique<ORegion>(Pattern, picture));
    region->SetDefaults();
    region->SetPatternArea(patternArea);
    region->SetPictureArea(pictureArea);
  }
  void Section(const TRect& source, const TRect& target, bool hFlip = false, bool vFlip = false) {
    if (++Sections > OPattern::MaxSections)
      throw TTooManySections{};
    if (!Pattern)
      return;
    OSection* section = Pattern->Sections->Add(std::make_unique<OSection>(Pattern));
    section->SetDefaults();
    section->SetSourceArea(source);
    section->TargetArea = target;
    section->HFlip = hFlip ? 1 : 0;
    section->VFlip = vFlip ? 1 : 0;
  }
  void Section(const TRect& area) { Section(area, area); }

  int Sections = 0;

private:
  OPattern* Pattern;
};

int32_t HalfUp(int32_t n) {
  return n / 2 + n % 2;
}

// The picture shows the pattern N times along the PLines: regions 2 to N map the whole
// pattern onto the further copies.
void LayRepeats(int32_t pc, int32_t pp, int32_t n, TLayout& out) {
  for (int32_t k = 2; k <= n; ++k)
    out.Region({1, 1, pc, pp}, {1, (k - 1) * pp + 1, pc, k * pp});
}

void Lay(const TPlainWizard& w, TLayout& out) {
  const int32_t W = w.NoControls, P = w.NoPLines;
  const int32_t hw = HalfUp(W), hp = HalfUp(P);
  switch (w.Layout) {
  case TWizardLayout::Section1:
    out.Section({1, 1, W, P});
    break;
  case TWizardLayout::Sections2h:
    out.Section({1, 1, hw, P});
    out.Region({1, 1, hw, P});
    out.Section({1, 1, hw, P}, {hw + 1, 1, W, P}, true);
    break;
  case TWizardLayout::Sections2v:
    out.Section({1, 1, W, hp});
    out.Region({1, 1, W, hp});
    out.Section({1, 1, W, hp}, {1, hp + 1, W, P}, false, true);
    break;
  case TWizardLayout::Sections4: {
    const TRect quarter{1, 1, hw, hp};
    out.Section(quarter);
    out.Region(quarter);
    out.Section(quarter, {hw + 1, 1, W, hp}, true);
    out.Section(quarter, {1, hp + 1, hw, P}, false, true);
    out.Section(quarter, {hw + 1, hp + 1, W, P}, true, true);
    break;
  }
  }
}

void LayRugs(const TRugWizard& w, TLayout& out) {
  const int32_t PC = w.PatternControls, RC = w.RugControls, RP = w.RugPLines;
  const int32_t CC = w.CutControls, CO = w.ControlOffset, PO = w.PLineOffset;
  const int32_t T = PO, B = PO + RP - 1;
  const int32_t hr = HalfUp(RC), MB = PO + HalfUp(RP) - 1;
  if (RC < 1 || CO + RC - 1 > PC)
    return; // not even the first rug fits
  TRect design{CO, T, CO + RC - 1, B};
  if (w.Layout == TWizardLayout::Sections2h || w.Layout == TWizardLayout::Sections4)
    design.Right = CO + hr - 1;
  if (w.Layout == TWizardLayout::Sections2v || w.Layout == TWizardLayout::Sections4)
    design.Bottom = MB;
  out.Region(design);
  for (int32_t X = CO, R = X + RC - 1; R <= PC; X = R + CC + 1, R = X + RC - 1) {
    const int32_t M = X + hr - 1;
    switch (w.Layout) {
    case TWizardLayout::Section1:
      out.Section(design, {X, T, R, B});
      break;
    case TWizardLayout::Sections2h:
      out.Section(design, {X, T, M, B});
      out.Section(design, {M + 1, T, R, B}, true);
      break;
    case TWizardLayout::Sections2v:
      out.Section(design, {X, T, R, MB});
      out.Section(design, {X, MB + 1, R, B}, false, true);
      break;
    case TWizardLayout::Sections4:
      out.Section(design, {X, T, M, MB});
      out.Section(design, {M + 1, T, R, MB}, true);
      out.Section(design, {X, MB + 1, M, B}, false, true);
      out.Section(design, {M + 1, MB + 1, R, B}, true, true);
      break;
    }
  }
}

void LayMirroredRugs(const TRugWizard& w, TLayout& out) {
  const int32_t PC = w.PatternControls, PP = w.PatternPLines, RC = w.RugControls;
  const int32_t RP = w.RugPLines, CC = w.CutControls, CP = w.CutPLines, PO = w.PLineOffset;
  const int32_t T = PO, B = PO + RP - 1, H = RC / 2;
  if (RC < 1)
    return;
  if (w.Layout == TWizardLayout::Section1) {
    const TRect design{1, T, H + 1, B};
    out.Region(design);
    out.Section(design);
    for (int32_t X = H + 2 + CC, R = X + RC - 1; R <= PC; X = R + CC + 1, R = X + RC - 1) {
      const int32_t M = X + H;
      out.Section(design, {X, T, M, B}, true);
      out.Section(design, {M + 1, T, R, B});
    }
    return;
  }
  // A half rug at control 1, a cut mark, then one whole rug about its centre column Cc.
  const int32_t C1 = H + 1, X1 = C1 + CC + 1, M1 = X1 + H - 1, Cc = M1 + 1;
  const int32_t N1 = Cc + 1, R1 = N1 + H - 1;
  if (w.Layout == TWizardLayout::Sections2h) {
    if (R1 > PC || B + CP > PP)
      return;
    const TRect centre{Cc, T, Cc, B}, left{X1, T, M1, B};
    out.Region({X1, T, Cc, B});
    out.Section(centre, {1, T, 1, B});
    out.Section(left, {2, T, C1, B}, true);
    out.Section(left);
    out.Section(centre);
    out.Section(left, {N1, T, R1, B}, true);
    return;
  }
  if (w.Layout != TWizardLayout::Sections4)
    return; // refused by validation
  const int32_t V = RP / 2, MB = PO + V - 1, MB1 = MB + 1, B4 = MB1 + V - 1;
  if (R1 > PC || B4 + CP > PP)
    return;
  const TRect centre{Cc, T, Cc, MB}, quarter{X1, T, M1, MB};
  out.Region({X1, T, Cc, MB});
  out.Section(centre, {1, T, 1, MB});
  out.Section(centre, {1, MB1, 1, B4}, false, true);
  out.Section(quarter, {2, T, C1, MB}, true);
  out.Section(quarter, {2, MB1, C1, B4}, true, true);
  out.Section(quarter);
  out.Section(quarter, {X1, MB1, M1, B4}, false, true);
  out.Section(centre);
  out.Section(centre, {Cc, MB1, Cc, B4}, false, true);
  out.Section(quarter, {N1, T, R1, MB}, true);
  out.Section(quarter, {N1, MB1, R1, B4}, true, true);
}

void Lay(const TRugWizard& w, TLayout& out) {
  if (w.Mirror)
    LayMirroredRugs(w, out);
  else
    LayRugs(w, out);
}

void Lay(const TCarpetWizard& w, TLayout& out) {
  const int32_t PC = w.PatternControls, PP = w.PatternPLines, SC = w.SectionControls;
  const int32_t PO = w.PatternOffset;
  LayRepeats(PC, PP, w.NoRepeats, out);
  if (SC < 1)
    return;
  if (w.Center) {
    const int32_t start0 = PC / 2 - SC / 2;
    const int32_t R = std::min(start0 + SC - 1, PC), L = std::max(start0, 1);
    const TRect design{L, 1, R, PP};
    out.Region(design);
    out.Section(design);
    for (int32_t c = L; c - 1 >= 1;) {
      const int32_t e = c - 1;
      if (e < SC) {
        out.Section({R - e + 1, 1, R, PP}, {1, 1, e, PP});
        c = 1;
      } else {
        out.Section(design, {e - SC + 1, 1, e, PP});
        c = e - SC + 1;
      }
    }
    for (int32_t s = R + 1; s <= PC;) {
      int32_t e = s + SC - 1;
      TRect source = design;
      if (e > PC) {
        e = PC;
        source = {L, 1, L + (PC - s), PP};
      }
      out.Section(source, {s, 1, e, PP});
      s = e + 1;
    }
    return;
  }
  if (PO + SC - 1 > PC)
    return;
  const TRect design{PO, 1, PO + SC - 1, PP};
  out.Region(design);
  for (int32_t s = PO; s <= PC;) {
    int32_t e = s + SC - 1;
    TRect source = design;
    if (e > PC) {
      e = PC;
      source = {PO, 1, PO + (PC - s), PP};
    }
    out.Section(source, {s, 1, e, PP});
    s = e + 1;
  }
}

void Lay(const THalfDropWizard& w, TLayout& out) {
  const int32_t PC = w.PatternControls, PP = w.PatternPLines, RC = w.RegionControls;
  const int32_t PO = w.PatternOffset;
  LayRepeats(PC, PP, w.NoRepeats, out);
  if (RC < 1)
    return;
  if (w.Center) {
    const int32_t U = PP / 2, h = PC / 2, S = h - RC / 2 + 1, E = S + RC - 1;
    if (S < 1 || E > PC)
      return;
    const TRect tile{S, 1, E, U};
    out.Region(tile);
    out.Section({S, 1, h, U});
    out.Section({h + 1, 1, E, U});
    // First band: the tile centred on the centre line, copies to both sides.
    for (int32_t c = S; c > 1;) {
      const int32_t e = c - 1, n = c - RC;
      if (n < 2) {
        out.Section({E - e + 1, 1, E, U}, {1, 1, e, U});
        c = 1;
      } else {
        out.Section(tile, {n, 1, e, U});
        c = n;
      }
    }
    for (int32_t c = E; c < PC;) {
      const int32_t s = c + 1;
      int32_t e = c + RC;
      TRect source = tile;
      if (e > PC) {
        e = PC;
        source = {S, 1, S + (PC - s), U};
      }
      out.Section(source, {s, 1, e, U});
      c = e;
    }
    // Second band: a tile edge on the centre line.
    for (int32_t e = h, n = h - RC + 1;; e = n - 1, n -= RC) {
      if (n < 2) {
        out.Section({E - e + 1, 1, E, U}, {1, U + 1, e, PP});
        break;
      }
      out.Section(tile, {n, U + 1, e, PP});
    }
    for (int32_t s = h + 1, e = s + RC - 1;; s = e + 1, e = s + RC - 1) {
      TRect source = tile;
      if (e > PC) {
        e = PC;
        source = {S, 1, S + (PC - s), U};
      }
      out.Section(source, {s, U + 1, e, PP});
      if (e >= PC)
        break;
    }
    return;
  }
  const int32_t RP = w.RegionPLines, S = PO, M = PO + RC / 2 - 1, E = PO + RC - 1;
  if (E > PC)
    return;
  out.Region({S, 1, E, RP});
  const TRect left{S, 1, M, RP}, right{M + 1, 1, E, RP};
  // Each run steps by a whole tile; the last block and its source are cut at the edge.
  auto run = [&](int32_t s0, int32_t e0, int32_t top, int32_t bottom, const TRect& source) {
    for (int32_t s = s0, e = e0; s <= PC; s += RC, e += RC) {
      TRect from = source;
      if (e > PC)
        from.Right = from.Left + (PC - s);
      out.Section(from, {s, top, std::min(e, PC), bottom});
    }
  };
  run(S, M, 1, RP, left);
  run(M + 1, E, 1, RP, right);
  run(M + 1, E, RP + 1, PP, left);
  run(S, M, RP + 1, PP, right);
}

void Lay(const TRepeatsWizard& w, TLayout& out) {
  const int32_t PC = w.PatternControls, PP = w.PatternPLines;
  const int32_t SC = w.SectionControls, SP = w.SectionPLines;
  LayRepeats(PC, PP, w.NoRepeats, out);
  out.Region({1, 1, SC, SP});
  if (SC < 1 || SP < 1)
    return;
  int32_t L = 1, T = 1, R = SC, B = SP, sw = SC, sh = SP;
  for (;;) {
    out.Section({1, 1, sw, sh}, {L, T, R, B});
    const int32_t next = R + 1;
    R = next + SC - 1;
    if (next > PC) {
      L = 1;
      R = SC;
      sw = SC;
      T = B + 1;
      B = T + SP - 1;
      if (T > PP)
        break;
    } else {
      L = next;
    }
    if (R > PC) {
      R = PC;
      sw = PC - L + 1;
    }
    if (B > PP) {
      B = PP;
      sh = PP - T + 1;
    }
  }
}

// The tests every wizard shares after its own: the picture and the section count.
template <class TWizard>
std::string CheckSizes(const TWizard& w, int64_t controls, int64_t pLines, int64_t repeats) {
  if (controls * pLines * repeats > OPicture::MaxPixels)
    return PictureTooLargeMessage;
  TLayout counter(nullptr);
  try {
    Lay(w, counter);
  } catch (const TTooManySections&) {
    return TooManySectionsMessage;
  }
  return "";
}

template <class TWizard> std::unique_ptr<OPattern> Generate(const TWizard& w, int64_t repeats) {
  const std::string refused = ValidateWizard(w);
  if (!refused.empty())
    throw Exception(refused);
  std::unique_ptr<OPattern> pattern;
  if constexpr (std::is_same_v<TWizard, TPlainWizard>)
    pattern = StartWizardPattern(w.NoControls, w.NoPLines);
  else
    pattern = StartWizardPattern(w.PatternControls, w.PatternPLines);
  if (repeats > 1)
    pattern->Pictures->Get(0)->SetHeight(static_cast<int32_t>(pattern->NoPLines * repeats));
  TLayout layout(pattern.get());
  Lay(w, layout);
  // A pattern whose sections the export would refuse is not handed out; checked before
  // Changed, which would show the message on its own.
  if (const std::string problem = pattern->SectionsProblem(); !problem.empty())
    throw Exception(problem);
  FinishWizardPattern(*pattern);
  return pattern;
}

} // namespace

std::unique_ptr<OPattern> StartWizardPattern(uint16_t controls, uint16_t pLines) {
  auto pattern = std::make_unique<OPattern>();
  OPattern& p = *pattern;
  p.Settings->SetDefaults();
  p.Palette->SetDefaults();
  p.SetNoColours(p.Palette->NoColours());
  p.SetNoControls(controls);
  p.SetNoPLines(pLines);
  p.SetMachineType(p.Settings->MachineType);
  p.Creel->SetDefaults();
  p.MachineTable->SetDefaults();
  if (p.MachineTable->NoYarnTypes() == 0) {
    // The built-in table was made while the pattern had no yarn types yet, so it is
    // empty and nothing painted would find a state: give it New Pattern's yarn types.
    p.SetNoYarnTypes(BuiltInYarnTypes);
    p.MachineTable->SetDefaults();
  }
  p.SetNoYarnTypes(p.MachineTable->NoYarnTypes());
  p.DesignTable->SetDefaults();
  OPicture* picture = p.Pictures->Add(std::make_unique<OPicture>(&p));
  picture->SetDefaults();
  return pattern;
}

void FinishWizardPattern(OPattern& pattern) {
  OPicture* picture = pattern.Pictures->Get(0);
  if (picture->Regions.Count() > 0)
    picture->Regions.Get(picture->Regions.Count() - 1)->ImportFlag = 1;
  pattern.Changed();
}

std::string ValidateWizard(const TPlainWizard& w) {
  return CheckSizes(w, w.NoControls, w.NoPLines, 1);
}

std::string ValidateWizard(const TRugWizard& w) {
  const int32_t PC = w.PatternControls, PP = w.PatternPLines, RC = w.RugControls;
  const int32_t RP = w.RugPLines;
  if (PC < 1 || PC > 9999)
    return "Invalid Pattern Size - No. Controls";
  if (RC < 1 || RC > PC)
    return "Invalid Rug Size - No. Controls";
  if (w.CutControls > PC)
    return "Invalid Cut Mark Size - No. Controls";
  if (PP < 1)
    return "Invalid Pattern Size - No. PLines";
  if (RP < 1 || RP > PP)
    return "Invalid Rug Size - No. PLines";
  if (w.CutPLines > PP)
    return "Invalid Cut Mark Size - No. PLines";
  if (w.ControlOffset < 1 || w.ControlOffset > PC)
    return "Invalid Control Offset";
  if (w.PLineOffset < 1 || w.PLineOffset > PP)
    return "Invalid PLine Offset";
  if (w.Mirror && w.Layout == TWizardLayout::Sections2v)
    return "Mirror 2 Sections Vertical Layout not supported";
  if (w.Mirror && w.Layout == TWizardLayout::Sections2h && (RC / 2 + 1) + w.CutControls + RC != PC)
    return "Invalid Pattern Size - No. Controls";
  return CheckSizes(w, PC, PP, 1);
}

std::string ValidateWizard(const TCarpetWizard& w) {
  if (w.SectionControls > w.PatternControls)
    return "Invalid Section Size - No. Controls";
  if (w.SectionPLines > w.PatternPLines)
    return "Invalid Section Size - No. PLines";
  if (w.PatternOffset > w.PatternControls)
    return "Invalid Pattern Offset";
  return CheckSizes(w, w.PatternControls, w.PatternPLines, w.NoRepeats);
}

std::string ValidateWizard(const THalfDropWizard& w) {
  if (w.RegionControls > w.PatternControls)
    return "Invalid Region Size - No. Controls";
  if (w.RegionPLines > w.PatternPLines)
    return "Invalid Region Size - No. PLines";
  if (w.PatternOffset > w.PatternControls)
    return "Invalid Pattern Offset";
  return CheckSizes(w, w.PatternControls, w.PatternPLines, w.NoRepeats);
}

std::string ValidateWizard(const TRepeatsWizard& w) {
  if (w.SectionControls > w.PatternControls)
    return "Invalid Section Size - No. Controls";
  if (w.SectionPLines > w.PatternPLines)
    return "Invalid Section Size - No. PLines";
  return CheckSizes(w, w.PatternControls, w.PatternPLines, w.NoRepeats);
}

std::unique_ptr<OPattern> GenerateWizard(const TPlainWizard& w) {
  return Generate(w, 1);
}
std::unique_ptr<OPattern> GenerateWizard(const TRugWizard& w) {
  return Generate(w, 1);
}
std::unique_ptr<OPattern> GenerateWizard(const TCarpetWizard& w) {
  return Generate(w, w.NoRepeats);
}
std::unique_ptr<OPattern> GenerateWizard(const THalfDropWizard& w) {
  return Generate(w, w.NoRepeats);
}
std::unique_ptr<OPattern> GenerateWizard(const TRepeatsWizard& w) {
  return Generate(w, w.NoRepeats);
}

} // namespace quillane
