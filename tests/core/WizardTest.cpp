#include "TestSupport.h"

#include <functional>
#include <tuple>

#include "app/Exceptions.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "model/Pattern.h"
#include "wizards/Wizards.h"

namespace quillane::test {
namespace {

using L = TWizardLayout;

std::string Text(const TRect& r) {
  return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) +
         "," + std::to_string(r.Bottom);
}

// Sections as "source>target" with " h" / " v" / " hv" for the flips; regions as the
// pattern area, ">picture area" where that differs, " *" for the import flag; "; " between.
std::string SectionsOf(const OPattern& p) {
  std::string out;
  for (const auto& s : *p.Sections) {
    const std::string flips = std::string(s->HFlip ? "h" : "") + (s->VFlip ? "v" : "");
    out += (out.empty() ? "" : "; ") + Text(s->SourceArea) + ">" + Text(s->TargetArea) +
           (flips.empty() ? "" : " " + flips) + (s->Rotation ? " turned" : "");
  }
  return out;
}

std::string RegionsOf(const OPattern& p) {
  std::string out;
  for (const auto& r : p.Pictures->Get(0)->Regions) {
    out += (out.empty() ? "" : "; ") + Text(r->PatternArea);
    if (!(r->PictureArea == r->PatternArea))
      out += ">" + Text(r->PictureArea);
    out += r->ImportFlag ? " *" : "";
  }
  return out;
}

template <class TWizard> struct TLayoutRow {
  TWizard W;
  std::string Sections, Regions;
};

class Wizards : public TFlowTest {
protected:
  template <class TWizard> void Check(const std::vector<TLayoutRow<TWizard>>& rows) {
    int i = 0;
    for (const auto& row : rows) {
      SCOPED_TRACE("row " + std::to_string(i++));
      ASSERT_EQ(ValidateWizard(row.W), "");
      if (row.Sections.rfind("Section #", 0) == 0) { // a layout leaving the pattern: refused
        EXPECT_EQ(Thrown<Exception>([&] { GenerateWizard(row.W); }), row.Sections);
        continue;
      }
      std::unique_ptr<OPattern> p = GenerateWizard(row.W);
      EXPECT_EQ(SectionsOf(*p), row.Sections);
      EXPECT_EQ(RegionsOf(*p), row.Regions);
      EXPECT_EQ(p->Modified(), 1);
    }
  }
};

// clang-format off
TEST_F(Wizards, EachWizardLaysOutItsSectionsAndRegionsOrRefusesWhatLeavesThePattern) {
  Check<TPlainWizard>({
    // One section: the default region carries the flag.
    {{8, 3, L::Section1}, "1,1,8,3>1,1,8,3", "1,1,8,3 *"},
    // Odd sizes: the mirrored targets are one narrower.
    {{5, 4, L::Sections4},
     "1,1,3,2>1,1,3,2; 1,1,3,2>4,1,5,2 h; 1,1,3,2>1,3,3,4 v; 1,1,3,2>4,3,5,4 hv",
     "1,1,5,4; 1,1,3,2 *"},
    // One control or one PLine: the mirrored half would lie outside the pattern.
    {{1, 6, L::Sections2h}, "Section #2 invalid (outside boundary of pattern)", ""},
    {{7, 1, L::Sections2v}, "Section #2 invalid (outside boundary of pattern)", ""},
  });
  auto rug = [](uint16_t pc, uint16_t pp, uint16_t rc, uint16_t rp, uint16_t cc, bool mirror,
                uint16_t co, uint16_t po, L layout) {
    TRugWizard w{pc, pp, rc, rp, cc, 0, mirror, co, po, layout};
    w.DeriveCutPLines();
    return w;
  };
  Check<TRugWizard>({
    {rug(23, 10, 7, 10, 1, false, 1, 1, L::Section1),
     "1,1,7,10>1,1,7,10; 1,1,7,10>9,1,15,10; 1,1,7,10>17,1,23,10", "1,1,23,10; 1,1,7,10 *"},
    // The first rug does not fit: nothing added.
    {rug(23, 10, 7, 10, 1, false, 18, 1, L::Section1), "", "1,1,23,10 *"},
    // Sums past 65535 do not wrap, and the rug past the pattern's end is refused.
    {rug(3, 65534, 3, 60000, 0, false, 1, 9999, L::Section1),
     "Section #1 invalid (outside boundary of pattern)", ""},
    // Half rug 1-4, cut mark 5-6, whole rug 7-13 about control 10.
    {rug(13, 10, 7, 10, 2, true, 1, 1, L::Sections2h),
     "10,1,10,10>1,1,1,10; 7,1,9,10>2,1,4,10 h; 7,1,9,10>7,1,9,10; 10,1,10,10>10,1,10,10; "
     "7,1,9,10>11,1,13,10 h", "1,1,13,10; 7,1,10,10 *"},
  });
  auto carpet = [](uint16_t pc, uint16_t sc, bool centre, uint16_t po, uint16_t n) {
    TCarpetWizard w{pc, 6, sc, 0, centre, po, n};
    w.DeriveSectionPLines();
    return w;
  };
  Check<TCarpetWizard>({
    {carpet(10, 4, true, 1, 1), "3,1,6,6>3,1,6,6; 5,1,6,6>1,1,2,6; 3,1,6,6>7,1,10,6",
     "1,1,10,6; 3,1,6,6 *"},
    {carpet(10, 4, false, 1, 3), "1,1,4,6>1,1,4,6; 1,1,4,6>5,1,8,6; 1,1,2,6>9,1,10,6",
     "1,1,10,6; 1,1,10,6>1,7,10,12; 1,1,10,6>1,13,10,18; 1,1,4,6 *"},
    // Does not fit: the last repeat region carries the flag.
    {carpet(10, 4, false, 8, 3), "", "1,1,10,6; 1,1,10,6>1,7,10,12; 1,1,10,6>1,13,10,18 *"},
  });
  auto drop = [](uint16_t rc, bool centre, uint16_t po) {
    THalfDropWizard w{20, 10, rc, 0, centre, po, 1};
    w.DeriveRegionPLines();
    return w;
  };
  Check<THalfDropWizard>({
    {drop(6, true, 1),
     "8,1,10,5>8,1,10,5; 11,1,13,5>11,1,13,5; 8,1,13,5>2,1,7,5; 13,1,13,5>1,1,1,5; "
     "8,1,13,5>14,1,19,5; 8,1,8,5>20,1,20,5; 8,1,13,5>5,6,10,10; 10,1,13,5>1,6,4,10; "
     "8,1,13,5>11,6,16,10; 8,1,11,5>17,6,20,10", "1,1,20,10; 8,1,13,5 *"},
    {drop(6, false, 16), "", "1,1,20,10 *"},
  });
}

TEST_F(Wizards, ValidationMessagesInOrder) {
  auto R = [](void (*change)(TRugWizard&)) {
    TRugWizard w{23, 10, 7, 10, 1, 0};
    change(w);
    return ValidateWizard(w);
  };
  const std::pair<std::string, std::string> rows[] = {
    {R([](auto& w) { w.PatternControls = 10000; }), "Invalid Pattern Size - No. Controls"},
    // The first failing test wins.
    {R([](auto& w) { w.RugControls = 24, w.PLineOffset = 11; }), "Invalid Rug Size - No. Controls"},
    // The derived cut mark does not wrap round and get in first.
    {R([](auto& w) { w.RugPLines = 11, w.DeriveCutPLines(); }), "Invalid Rug Size - No. PLines"},
    {R([](auto& w) { w.Mirror = true, w.Layout = L::Sections2v; }),
     "Mirror 2 Sections Vertical Layout not supported"},
    // What a pattern file holds: 65535 sections, a picture within its record's limit.
    {ValidateWizard(TRepeatsWizard{256, 256, 1, 1}), TooManySectionsMessage},
    {ValidateWizard(TCarpetWizard{1000, 2000, 10, 2000, false, 1, 99}), PictureTooLargeMessage},
    {ValidateWizard(TPlainWizard{2100, 65534}), PictureTooLargeMessage},
  };
  // clang-format on
  for (const auto& [got, message] : rows)
    EXPECT_EQ(got, message);
}

TEST_F(Wizards, FieldEventsDecideTheDialogsValues) {
  // Text as the dialogs read it; beyond 16 bits and below 0 it saturates, never wraps.
  const std::tuple<const char*, uint16_t, uint16_t> texts[] = {
      {" 12 ", 0, 12}, {"+7", 0, 7},        {"", 0, 0},
      {"1x", 1, 1},    {"3.5", 0, 0},       {"-", 1, 1},
      {"-4", 1, 0},    {"65536", 0, 65535}, {"123456789012345678901", 0, 65535}};
  for (const auto& [text, notANumber, value] : texts)
    EXPECT_EQ(ReadWizardNumber(text, notANumber), value) << text;
  TPlainWizard plain;
  plain.ReadSizes("ten", "");
  EXPECT_EQ(plain.NoControls + plain.NoPLines, 0);
  EXPECT_THROW(GenerateWizard(plain), Exception); // an empty pattern is refused, not made

  TRugWizard rug;
  rug.ControlOffset = 5, rug.Mirror = true, rug.MirrorClick();
  EXPECT_EQ(rug.ControlOffset, 1);
  rug.ReadControlOffset("no"), rug.ControlOffsetExit(); // reads as 1: the box stays
  EXPECT_TRUE(rug.Mirror);
  rug.ReadControlOffset("2"), rug.ControlOffsetExit();
  EXPECT_FALSE(rug.Mirror);
  rug.Mirror = false, rug.ControlOffset = 3, rug.MirrorClick(); // unchecking keeps the offset
  EXPECT_EQ(rug.ControlOffset, 3);

  TCarpetWizard carpet;
  carpet.PatternOffset = 4, carpet.Center = true, carpet.CenterClick();
  THalfDropWizard drop;
  drop.PatternOffset = 4, drop.Center = true, drop.CenterClick();
  drop.PatternPLines = 9, drop.DeriveRegionPLines();
  EXPECT_EQ(std::vector<int>({carpet.PatternOffset, drop.PatternOffset, drop.RegionPLines}),
            std::vector<int>({1, 1, 4}));
}

// Every field of a dialog's table at its box's lowest or highest value, checked if a box.
template <class TWizard> TWizard AtLimit(bool highest) {
  TWizard w;
  for (const TWizardField<TWizard>& f : TWizard::Dialog.Fields)
    if (f.Check)
      w.*f.Check = highest;
    else
      w.*f.Number = highest ? f.Range.Maximum : f.Range.Minimum;
  return w;
}

// Each field reaches its own value, and the dialogs' limits pass the wizards' checks: all
// at their lowest make a pattern, all at their highest only a picture too large.
TEST_F(Wizards, TableFieldsReachTheirValuesAndTheirLimitsPassTheChecks) {
  const auto check = [](const auto& lowest, const auto& highest) {
    using TWizard = std::decay_t<decltype(lowest)>;
    EXPECT_EQ(AtLimit<TWizard>(false), lowest);
    EXPECT_EQ(AtLimit<TWizard>(true), highest);
    EXPECT_EQ(ValidateWizard(lowest), "");
    EXPECT_EQ(ValidateWizard(highest), PictureTooLargeMessage);
  };
  check(TPlainWizard{1, 1}, TPlainWizard{9999, 65534});
  check(TRugWizard{1, 1, 1, 1, 0, 0, false, 1, 1},
        TRugWizard{9999, 65534, 9999, 65534, 9999, 65534, true, 9999, 9999});
  check(TCarpetWizard{1, 1, 1, 1, false, 1, 1},
        TCarpetWizard{9999, 65534, 9999, 65534, true, 9999, 99});
  check(THalfDropWizard{1, 1, 1, 1, false, 1, 1},
        THalfDropWizard{9999, 65534, 9999, 65534, true, 9999, 99});
  check(TRepeatsWizard{1, 1, 1, 1, 1}, TRepeatsWizard{9999, 65534, 9999, 65534, 99});
}

} // namespace
} // namespace quillane::test
