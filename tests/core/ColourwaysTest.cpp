#include <cmath>
#include <string>
#include <vector>

#include "PatternSupport.h"
#include "imaging/Colour.h"
#include "production/ColourwaysFile.h"
#include "production/Production.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane::test {
namespace {

constexpr uint32_t Navy = 0x794E1F; // #1F4E79

// Yarn type A shows palette 1 (full red) and 2 (a darker red) in its two states, B shows 4
// and 5 (greens); the others show nothing.
std::unique_ptr<OPattern> TwoYarns() {
  auto p = BarePattern(4, 4);
  OMachineTable& t = *p->MachineTable;
  for (int y = 1; y <= t.NoYarnTypes(); ++y)
    for (int s = 1; s <= t.NoStates(); ++s)
      t.SetColour(y, s, 0);
  t.SetColour(1, 1, 1);
  t.SetColour(1, 2, 2);
  t.SetColour(2, 1, 4);
  t.SetColour(2, 2, 5);
  p->ApplyMachineTable();
  p->History.Clear();
  p->SetModified(0);
  return p;
}

double Hue(const TLab& lab) {
  return std::atan2(lab.B, lab.A) * 180 / 3.14159265358979;
}

TColourways Harbour() {
  TColourways c;
  c.List[0].SetCode(1, "NB-204");
  TColourway harbour{"Harbour", {}, {}, {}};
  SetEntryColour(harbour, 1, Navy);
  SetEntryColour(harbour, 2, 0x5E3717);
  harbour.SetCode(1, "NB-311");
  harbour.SetCode(3, "x\"y");
  c.List.push_back(harbour);
  return c;
}

TEST(Colourways, FileIsWrittenAMemberALineAndReadBackEqual) {
  const TColourways c = Harbour();
  const std::string expected = "{\n"
                               "  \"colourways\": [\n"
                               "    {\n"
                               "      \"name\": \"Original\",\n"
                               "      \"codes\": {\"A\": \"NB-204\"}\n"
                               "    },\n"
                               "    {\n"
                               "      \"name\": \"Harbour\",\n"
                               "      \"colours\": {\"1\": \"#1F4E79\", \"2\": \"#17375E\"},\n"
                               "      \"codes\": {\"A\": \"NB-311\", \"C\": \"x\\\"y\"}\n"
                               "    }\n"
                               "  ]\n"
                               "}\n";
  EXPECT_EQ(ColourwaysBytes(c), Text(expected));
  EXPECT_EQ(ReadColourwaysBytes(Text(expected)), c);
  for (size_t n = 0; n + 1 < expected.size(); ++n) // all but the last line end
    EXPECT_THROW(ReadColourwaysBytes(Text(expected.substr(0, n))), EProduction) << n;

  // The most a file may describe: every index and code, the codes escaped throughout.
  TColourways most;
  while (most.List.size() < MaxColourways) {
    TColourway w{
        std::string(MaxColourwayName - 2, '\\') + std::to_string(most.List.size()), {}, {}, {}};
    for (int i = 1; i <= 255; ++i)
      SetEntryColour(w, i, static_cast<uint32_t>(i * 0x10101 + most.List.size()));
    for (int y = 1; y <= 191; ++y)
      w.SetCode(y, std::string(MaxShadeCode, '"'));
    most.List.push_back(w);
  }
  EXPECT_EQ(ReadColourwaysBytes(ColourwaysBytes(most)), most);
}

TEST(Colourways, HostileFilesAreRefusedNamingLineAndField) {
  const std::string original = "{\"colourways\": [{\"name\": \"Original\"},\n";
  auto second = [&](const std::string& member) {
    return original + "{\"name\": \"B\", " + member + "}]}";
  };
  const std::pair<std::string, std::string> rows[] = {
      {"[]", "line 1: the file must hold one object in { }"},
      {"{}", "line 1: colourways is missing"},
      {"{\"colourways\": 3}", "line 1: colourways must be a list in [ ]"},
      {"{\"colourways\": []}", "line 1: colourways must begin with the Original"},
      {"{\"colourways\": [{\"name\": \"Harbour\"}]}",
       "line 1: name of the first colourway must be \"Original\""},
      {"{\"colourways\": [{\"codes\": {}}]}", "line 1: name is missing"},
      {"{\"colourways\": [{\"name\": \"Original\", \"colours\": {}}]}",
       "line 1: colours are the palette's in the Original"},
      {original + "{\"name\": \"Original\"}]}", "line 2: name \"Original\" is given twice"},
      {original + "{\"name\": \"\"}]}", "line 2: name is empty"},
      {original + "{\"name\": \"" + std::string(65, 'n') + "\"}]}",
       "line 2: name is longer than 64 bytes"},
      {original + "{\"name\": \"a\\tb\"}]}", "line 2: name holds a control character"},
      {second("\"shade\": 1"), "line 2: shade is not known"},
      {second("\"colours\": {\"0\": \"#000000\"}"),
       "line 2: colours \"0\" is not a palette index from 1 to 255"},
      {second("\"colours\": {\"1\": \"#12345G\"}"),
       "line 2: colours 1 must be a colour written #RRGGBB"},
      {second("\"colours\": {\"1\": \"#000000\", \"1\": \"#000000\"}"), "line 2: 1 is given twice"},
      {second("\"codes\": {\"1\": \"x\"}"), "line 2: codes \"1\" is not a yarn type letter"},
      {second("\"codes\": {\"A\": \"" + std::string(33, 'c') + "\"}"),
       "line 2: codes A is longer than 32 bytes"},
      {second("\"codes\": {\"A\": \"a\\nb\"}"), "line 2: codes A holds a control character"},
      {"{\"colourways\": [{\"name\": \"Original\"}" +
           [] {
             std::string more;
             for (int i = 1; i < 65; ++i)
               more += ", {\"name\": \"" + std::to_string(i) + "\"}";
             return more;
           }() +
           "]}",
       "line 1: colourways has more than 64 entries"},
      {std::string(2 * 1024 * 1024 + 1, ' '), "line 1: the file is larger than 2048 KB"},
  };
  for (const auto& [text, message] : rows)
    EXPECT_EQ(Thrown<EProduction>([&] { ReadColourwaysBytes(Text(text)); }), message) << text;
}

TEST(Colourways, AYarnColourKeepsTheLightnessStepsOfItsStates) {
  auto p = TwoYarns();
  ASSERT_GE(p->MachineTable->NoStates(), 2);
  const OPalette& palette = *p->Palette;
  const double step = LabOf(palette.GetColour(2)).L - LabOf(palette.GetColour(1)).L;
  ASSERT_LT(step, -5); // the second state is the darker
  // The colour, the second state's lightness (black: clamped at 0).
  const std::pair<uint32_t, double> rows[] = {
      {Navy, LabOf(Navy).L + step}, {0xC0A0FF, LabOf(0xC0A0FF).L + step}, {0x000000, 0}};
  for (const auto& [colour, lightness] : rows) {
    TColourway c = NewColourway("Harbour", palette, *p->MachineTable);
    SetYarnColour(c, palette, *p->MachineTable, 1, colour);
    EXPECT_EQ(c.Colours[1], colour);
    EXPECT_EQ(c.Colours[4], palette.GetColour(4)); // B's entries are B's
    const TLab low = LabOf(c.Colours[2]), wanted = LabOf(colour);
    EXPECT_NEAR(low.L, lightness, 0.5) << std::hex << colour;
    if (std::hypot(wanted.A, wanted.B) > 10) {
      EXPECT_NEAR(Hue(low), Hue(wanted), 3) << std::hex << colour;
    }
  }
  // A colour beyond the screen keeps its lightness and hue and gives up chroma.
  const TLab vivid{50, 150, 40}, fitted = LabOf(ColourOfLab(vivid));
  EXPECT_NEAR(fitted.L, 50, 0.5);
  EXPECT_NEAR(Hue(fitted), Hue(vivid), 2);
  EXPECT_EQ(ColourOfLab(LabOf(0x123456)), 0x123456u);
}

TEST(Colourways, CloseYarnsAndDuplicatesFollowTheirThresholds) {
  auto p = TwoYarns();
  const OPalette& palette = *p->Palette;
  const OMachineTable& table = *p->MachineTable;
  // Yarn A's and B's colours, and whether they look alike (ΔE2000 below 3).
  const std::tuple<uint32_t, uint32_t, bool> pairs[] = {
      {0x808080, 0x848484, true}, {0x808080, 0x8C8C8C, false}, {0x794E1F, 0x3F1F79, false}};
  for (const auto& [a, b, close] : pairs) {
    TColourway c = NewColourway("C", palette, table);
    SetEntryColour(c, 1, a);
    SetEntryColour(c, 4, b);
    const auto found = CloseYarnTypes(c, palette, table);
    ASSERT_EQ(found.size(), close ? 1u : 0u) << std::hex << a << " " << b;
    if (close) {
      EXPECT_DOUBLE_EQ(found[0].DeltaE, DeltaE2000(LabOf(a), LabOf(b)));
    }
  }
  // Every yarn colour within ΔE 1 of an earlier colourway's makes a duplicate of it.
  TColourways list;
  auto add = [&](uint32_t a, uint32_t b) {
    TColourway c = NewColourway(std::to_string(list.List.size()), palette, table);
    SetEntryColour(c, 1, a);
    SetEntryColour(c, 4, b);
    list.List.push_back(c);
    return static_cast<int>(list.List.size()) - 1;
  };
  const uint32_t red = palette.GetColour(1), green = palette.GetColour(4);
  ASSERT_LT(DeltaE2000(LabOf(0x0000FE), LabOf(red)), 1);
  EXPECT_EQ(DuplicateOf(list, add(0x0000FE, green), palette, table), 0);
  const int grey = add(0x808080, green);
  EXPECT_EQ(DuplicateOf(list, grey, palette, table), -1);
  EXPECT_EQ(DuplicateOf(list, add(0x808080, 0x00FE00), palette, table), grey);
}

// What the views heard, other than the flag and the history.
std::vector<std::pair<TPatternChange::TKind, TDesignRecordKind>>
Heard(const std::vector<TPatternChange>& changes) {
  std::vector<std::pair<TPatternChange::TKind, TDesignRecordKind>> heard;
  for (const TPatternChange& c : changes)
    if (c.Kind != TPatternChange::TKind::Modified && c.Kind != TPatternChange::TKind::History)
      heard.emplace_back(c.Kind, c.Object);
  return heard;
}

TEST(Colourways, ChangesAndMakePaletteAreUndoneAndHeardAsWhatTheyChanged) {
  auto p = TwoYarns();
  std::vector<TPatternChange> changes;
  auto heard = p->Events.Subscribe([&](const TPatternChange& c) { changes.push_back(c); });
  const auto colourways = std::pair{TPatternChange::TKind::Setup, TDesignRecordKind::Colourways};
  const auto palette = std::pair{TPatternChange::TKind::Setup, TDesignRecordKind::Palette};
  using THeard = std::vector<std::pair<TPatternChange::TKind, TDesignRecordKind>>;

  const TColourways before = p->Colourways();
  TColourways after = before;
  after.List.push_back(NewColourway("Harbour", *p->Palette, *p->MachineTable));
  p->SetColourways(after, "Add Colourway Harbour");
  EXPECT_TRUE(p->Modified());
  EXPECT_EQ(p->History.UndoLabel(), "Add Colourway Harbour");
  EXPECT_EQ(Heard(changes), THeard{colourways});

  p->SetModified(0);
  changes.clear();
  p->ShowColourway(9); // a display choice: clamped, heard, not modifying, no step
  EXPECT_EQ(p->ShownColourway(), 1);
  EXPECT_EQ(Heard(changes), THeard{colourways});
  EXPECT_FALSE(p->Modified());
  EXPECT_EQ(p->History.UndoCount(), 1);

  p->SetYarnColour(1, 1, Navy);
  EXPECT_EQ(p->History.UndoLabel(), "Colour Harbour A");
  EXPECT_EQ(p->Colourways().List[1].Colours[1], Navy);
  const auto shown = p->ShownColours();
  EXPECT_EQ(shown[1], Navy);

  // Make Palette: the palette becomes what the views showed, one step, heard as the palette.
  changes.clear();
  const TBytes paletteBefore = RecordBytes(*p->Palette);
  p->MakePalette(1);
  EXPECT_EQ(p->History.UndoLabel(), "Make Palette Harbour");
  for (int i = 0; i <= p->Palette->NoColours(); ++i)
    EXPECT_EQ(p->Palette->GetColour(i), shown[static_cast<size_t>(i)]) << i;
  EXPECT_EQ(Heard(changes), THeard{palette});
  changes.clear();
  p->History.Undo();
  EXPECT_EQ(RecordBytes(*p->Palette), paletteBefore);
  EXPECT_EQ(Heard(changes), THeard{palette});

  // Undoing the colour and the colourway: the list comes back, the shown one falls back to
  // the palette, and only the colourways are heard.
  changes.clear();
  p->History.Undo();
  EXPECT_EQ(p->Colourways(), after);
  p->History.Undo();
  EXPECT_EQ(p->Colourways(), before);
  EXPECT_EQ(p->ShownColourway(), 0);
  EXPECT_EQ(Heard(changes), (THeard{colourways, colourways}));
  changes.clear();
  p->History.Redo();
  EXPECT_EQ(p->Colourways(), after);
  EXPECT_EQ(Heard(changes), THeard{colourways});

  // A colour of the Original is the palette's own.
  p->SetYarnColour(0, 1, Navy);
  EXPECT_EQ(p->History.UndoLabel(), "Colour Original A");
  EXPECT_EQ(p->Palette->GetColour(1), Navy);
  EXPECT_NEAR(LabOf(p->Palette->GetColour(2)).L,
              LabOf(Navy).L + LabOf(0x0000C0).L - LabOf(0x0000FF).L, 0.5);
  EXPECT_EQ(p->Colourways(), after);
}

} // namespace
} // namespace quillane::test
