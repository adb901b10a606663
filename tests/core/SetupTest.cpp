#include "TestSupport.h"

#include <functional>

#include "app/Exceptions.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/PalettePaintBox.h"
#include "setup/Settings.h"

namespace quillane::test {
namespace {

std::vector<int> YarnTypes(const OCreel& c) {
  std::vector<int> result;
  for (int i = 1; i <= c.NoControls(); ++i)
    result.push_back(c.GetYarnType(i));
  return result;
}

void Fill(OCreel& c, std::vector<int> yarnTypes, uint8_t noYarnTypes) {
  c.SetNoControls(static_cast<uint16_t>(yarnTypes.size()));
  c.SetNoYarnTypes(noYarnTypes);
  for (size_t i = 0; i < yarnTypes.size(); ++i)
    c.SetYarnType(static_cast<int>(i) + 1, static_cast<OYarnType>(yarnTypes[i]));
  c.Validate();
}

TEST(Creel, CountChangesTakeEffectAtValidation) {
  OCreel c(nullptr);
  Fill(c, {1, 2, 3, 4, 1, 2, 3, 4, 2, 3}, 4);
  c.SetNoYarnTypes(2);
  c.Validate();
  c.SetNoYarnTypes(4);
  c.Validate();
  EXPECT_EQ(YarnTypes(c), (std::vector<int>{1, 2, 0, 0, 1, 2, 0, 0, 2, 0}));
  c.SetNoControls(8);
  c.SetNoControls(10);
  c.Validate();
  EXPECT_EQ(YarnTypes(c), (std::vector<int>{1, 2, 0, 0, 1, 2, 0, 0, 0, 0}));
}

TEST(Creel, RepeatCopiesTheFirstControlsAcross) {
  using Types = std::vector<int>;
  const std::tuple<Types, int, Types> cases[] = {{{1, 3, 2, 2, 1}, 2, {1, 3, 1, 3, 1}},
                                                 {{1, 3, 2, 2, 1}, 0, {1, 3, 2, 2, 1}},
                                                 {{1, 2, 3, 3, 3, 3}, 2, {1, 2, 1, 2, 1, 2}},
                                                 {{1, 2, 3}, 9, {1, 2, 3}}};
  for (const auto& [before, size, after] : cases) {
    OCreel c(nullptr);
    Fill(c, before, 3);
    c.Repeat(size);
    EXPECT_EQ(YarnTypes(c), after) << size;
  }
}

TEST(Palette, ResizingKeepsSharedColoursAndAddsGrey) {
  OPalette p(nullptr);
  p.SetNoColours(16);
  for (int i = 1; i <= 16; ++i)
    p.SetColour(i, DefaultPaletteColours[static_cast<size_t>(i - 1)]);
  p.SetUndefinedColour(0x111111);
  p.SetNoColours(20);
  EXPECT_EQ(p.GetColour(16), 0xFFFFFFu);
  EXPECT_EQ(p.GetColour(17), clGrey);
  p.SetNoColours(8);
  EXPECT_EQ(p.GetColour(8), 0xC00000u);
  EXPECT_EQ(p.GetColour(12), 0x111111u) << "a colour the palette lost shows as undefined";
  p.SetColour(12, 0x222222);
  p.SetNoColours(12);
  EXPECT_EQ(p.GetColour(12), clGrey) << "a write outside the palette is ignored";
}

class PaletteFlows : public TFlowTest {};

TEST_F(PaletteFlows, DefaultFileNeverSuppliesTheSpecialColours) {
  WriteBytes(Start.File("DEFAULT.PAL"), Hex("040208 00000000 01010100 02020200 03030300 04040400 "
                                            "05050500 06060600 07070700 08080800 ffffff00"));
  OPalette d(nullptr);
  d.SetDefaults();
  EXPECT_EQ(d.NoColours(), 8);
  EXPECT_EQ(d.GetColour(8), 0x080808u);
  EXPECT_EQ(d.Background, clSilver);
}

TEST_F(PaletteFlows, ExportFiltersMatchEitherCase) {
  UI.FileAnswers = {std::nullopt};
  OPalette palette(nullptr);
  palette.Export();
  ASSERT_EQ(UI.DialogsRun.size(), 1u);
  const TFileFilter& filter = UI.DialogsRun[0].Filters.at(0);
  for (const char* name : {"rug.pal", "/mill/RUG.PAL"})
    EXPECT_TRUE(filter.Matches(name)) << name;
  for (const char* name : {"rug.pat", "rug.pal.bak"})
    EXPECT_FALSE(filter.Matches(name)) << name;
}

TEST_F(PaletteFlows, StripHintsAndAShortStripStillHitsItsRows) {
  OPalette p(nullptr);
  p.SetNoColours(6);
  p.SetColour(3, 0x030201);
  p.Background = 0x0A0B0C;
  OPalettePaintBox strip(&p, true);
  strip.Height = 300;
  strip.MouseDown(TMouseButton::Right, 0, 5, 65);
  const std::pair<int, const char*> hints[] = {{65, "Palette Color 3: R=1, G=2, B=3"},
                                               {215, "Right Button Assigned to Palette Color 3"},
                                               {250, "Background Color: R=12, G=11, B=10"},
                                               {300, ""}};
  for (auto [y, text] : hints) {
    strip.MouseMove(0, 0, y);
    EXPECT_EQ(strip.HintText, text) << y;
  }
  // Nine pixels for ten cells: a pixel row each; beyond the box (a drag) nothing is hit.
  strip.Height = 9;
  strip.MouseDown(TMouseButton::Right, 0, 0, 5);
  EXPECT_EQ(strip.RightIndex, 6);
  for (int y : {-1, 9, 12}) {
    strip.MouseDown(TMouseButton::Right, 0, 0, y);
    strip.MouseMove(0, 0, y);
    EXPECT_EQ(strip.RightIndex, 6) << y;
    EXPECT_EQ(strip.HintText, "") << y;
  }
  // Labels stay readable on the palette's dark colours: black, navy and dark grey.
  for (uint32_t fill : {0x000000u, 0x800000u, 0x404040u})
    EXPECT_EQ(LabelInk(fill), 0xFFFFFFu) << fill;
  for (uint32_t fill : {0xFFFFFFu, 0x00FFFFu, 0x00FF00u})
    EXPECT_EQ(LabelInk(fill), 0u) << fill;
}

// A validated table of Y yarn types and S states with the built-in defaults for C colours.
void Defaults(OMachineTable& t, uint8_t y, uint8_t s, uint8_t c) {
  t.SetNoYarnTypes(y);
  t.SetNoStates(s);
  t.SetNoColours(c);
  t.SetDefaults();
  t.Validate();
}

std::vector<int> Colours(const OMachineTable& t) {
  std::vector<int> result;
  for (int y = 1; y <= t.NoYarnTypes(); ++y)
    for (int s = 1; s <= t.NoStates(); ++s)
      result.push_back(t.GetColour(y, s));
  return result;
}

class MachineTable : public TFlowTest {};

TEST_F(MachineTable, InverseTablesLetTheHighestStateAndYarnTypeWin) {
  OPattern p;
  p.SetMachineType(0);
  p.SetNoYarnTypes(3);
  p.SetNoColours(16);
  OMachineTable& t = *p.MachineTable;
  t.SetColour(1, 1, 5);
  t.SetColour(1, 2, 5);
  t.SetColour(2, 1, 2);
  t.SetColour(3, 1, 2);
  t.Validate();
  EXPECT_EQ(t.GetState(1, 5), 2);
  EXPECT_EQ(t.GetYarnType(2, 1), 3);

  p.SetMachineType(11); // COLORTEC: one state, "Color"
  t.Validate();
  EXPECT_EQ(t.GetState(2, 9), 1);
  EXPECT_EQ(t.GetState(200, 200), 1);
  p.PatternMode = 0;
  EXPECT_EQ(t.GetState(1, 5), 0);
}

TEST_F(MachineTable, ShrinkingCountsClearsWhatNoLongerFits) {
  OMachineTable t(nullptr);
  Defaults(t, 8, 2, 16);
  t.SetNoColours(4);
  t.Validate();
  EXPECT_EQ(Colours(t), (std::vector<int>{1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(t.GetYarnType(3, 1), 2);
  t.SetNoStates(1);
  t.Validate();
  EXPECT_EQ(t.GetColour(1, 2), 0) << "a state left over from SCROLL3 answers 0";
  t.SetNoStates(2);
  t.Validate();
  EXPECT_EQ(Colours(t), (std::vector<int>{1, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

void Counts(ODesignTable& t, uint8_t y, uint8_t s, uint8_t c) {
  t.SetNoYarnTypes(y);
  t.SetNoStates(s);
  t.SetNoColours(c);
}

std::vector<int> Colours(const ODesignTable& t) {
  std::vector<int> result;
  for (size_t i = 0; i < t.NoCombinations(); ++i) {
    TDesignCombination c = t.CombinationAt(i);
    result.push_back(t.GetColour(c.OddYarnType, c.EvenYarnType, c.OddState, c.EvenState));
  }
  return result;
}

class DesignTable : public TFlowTest {};

TEST_F(DesignTable, StateTablesTheMirrorAndIndicesOutside) {
  ODesignTable t(nullptr);
  Counts(t, 3, 2, 8);
  t.Validate();
  t.SetColourAndMirror({1, 2, 1, 2}, 7);
  EXPECT_EQ(t.GetColour(2, 1, 2, 1), 7);
  EXPECT_EQ(t.GetOddState(2, 1, 7), 2);
  EXPECT_EQ(t.GetEvenState(2, 1, 7), 1);

  t.SetColour(4, 1, 1, 1, 3);
  t.SetColour(1, 1, 3, 1, 3);
  t.SetColour(1, 1, 1, 1, 9);
  t.Validate();
  EXPECT_EQ(t.GetOddState(1, 1, 3), 0);
  EXPECT_EQ(t.GetColour(1, 1, 1, 1), 0);
  EXPECT_EQ(t.GetColour(4, 1, 1, 1), 0);
  EXPECT_EQ(t.GetOddState(1, 1, 200), 0);
}

TEST_F(DesignTable, AssignCopiesEveryCombinationAndTheLastOfAColourGivesItsStates) {
  ODesignTable t(nullptr), u(nullptr);
  Counts(t, 3, 3, 8);
  t.Validate();
  for (size_t i = 0; i < t.NoCombinations(); ++i)
    t.SetColour(t.CombinationAt(i).OddYarnType, t.CombinationAt(i).EvenYarnType,
                t.CombinationAt(i).OddState, t.CombinationAt(i).EvenState,
                static_cast<OPaletteEntry>(i * 7 % 5));
  t.Validate();
  t.SetColour(1, 1, 1, 1, 2); // its states follow this combination, not the last one
  Counts(u, 2, 2, 4);
  u.Assign(t);
  u.Validate();
  EXPECT_EQ(Colours(u), Colours(t));
  // Colour 2 shows at (A, A, 1, 2) and at (A, A, 3, 1): the later one gives the states.
  EXPECT_EQ(u.GetOddState(1, 1, 2), 3);
  EXPECT_EQ(u.GetEvenState(1, 1, 2), 1);
}

TEST_F(DesignTable, CountChangesKeepTheOverlapAndValidationClears) {
  ODesignTable t(nullptr);
  Counts(t, 3, 3, 16);
  t.SetDefaults();
  t.Validate();
  const std::vector<int> before = Colours(t);
  Counts(t, 2, 2, 12);
  t.Validate();
  Counts(t, 3, 3, 12);
  t.Validate();
  const std::vector<int> after = Colours(t);
  for (size_t i = 0; i < after.size(); ++i) {
    TDesignCombination c = t.CombinationAt(i);
    const bool kept = c.OddYarnType < 3 && c.EvenYarnType < 3 && c.OddState < 3 && c.EvenState < 3;
    EXPECT_EQ(after[i], kept && before[i] <= 12 ? before[i] : 0) << i;
  }
}

TEST(YarnPairs, OddControlsPairWithTheirNeighbour) {
  using Pairs = std::vector<std::pair<int, int>>;
  const std::pair<std::vector<int>, Pairs> cases[] = {
      {{1, 2, 1, 2}, {{1, 2}}},
      {{1, 2, 3, 1, 2}, {{1, 2}, {2, 1}, {3, 1}}}, // control 5 pairs with control 4
      {{3}, {{3, 0}}},
      {{}, {}}};
  for (const auto& [yarnTypes, expected] : cases) {
    OCreel c(nullptr);
    Fill(c, yarnTypes, 3);
    TYarnPairs pairs(c);
    Pairs inUse;
    for (int a = 0; a <= 4; ++a)
      for (int b = 0; b <= 4; ++b)
        if (pairs.InUse(a, b))
          inUse.emplace_back(a, b);
    EXPECT_EQ(inUse, expected);
  }
}

// A settings object with a distinct value in every field.
void FillDistinct(OSettings& s) {
  s.MachineType = 4;
  s.NoControls = 0x1234;
  s.NoPLines = 0xABCD;
  s.ReversePattern = 1;
  s.OffsetAllowed = 1;
  s.StepsPerPLine = 7;
  s.SetSizeCode("12,40,53");
  s.SetStyleCode("STYLE");
  s.AllowChangeControlMode = 1;
  s.AllowChangePatternLength = 0;
  s.AllowChangePatternOffset = 1;
  s.AllowInvertPattern = 0;
  s.AutoStart = 1;
  s.CamStart = 42;
  s.ControlMode = 2;
  s.SetDescription("Berber loop");
  s.FileVersion = 6;
  s.InvertFlag = 1;
  s.LengthMultiplier = 1.5f;
  s.NeedleSpacing = 0.125f;
  s.Offset = -300;
  s.OffsetMode = 1;
  s.PLineSpacing = 0.25f;
  s.PLineStart = 513;
  s.InverseStitchCount = 0.125f;
  s.TestFlag = 1;
}

// The option file of each version for FillDistinct's values.
Bytes ExpectedOptionFile(int version) {
  const Bytes tail =
      Cat({Hex("000102030405060708090a0b0c0d0e0f"), Text("Berber loop"), Bytes(53, 0)});
  if (version == 3)
    return Cat(
        {Hex("03 0201 0000003e 0000803e 0000003e 0000c03f 00 d4fe 010101000104 3412 cdab 0701"),
         tail});
  if (version < 1 || version > 6)
    return {static_cast<uint8_t>(version)};
  Bytes e = Cat({Hex("06 020100 0000003e 0000803e 0000003e 0000c03f 0000 d4fe 01 010100 000104 "
                     "3412 cdab 0701"),
                 tail, Hex("01 2a 0102")});
  const size_t sizes[] = {0, 26, 28, 0, 117, 118, 121};
  e.resize(sizes[version]);
  e[0] = static_cast<uint8_t>(version);
  if (version == 1)
    e[25] = 0;
  return e;
}

// Each version writes its own layout and reads back the fields it carries, keeping the rest.
TEST(Settings, OptionFileOfEveryVersionIsExactAndReadsBackWhatItCarries) {
  for (int version : {0, 1, 2, 3, 4, 5, 6, 7, 255}) {
    OSettings source(nullptr);
    FillDistinct(source);
    source.SetFileVersion(static_cast<uint8_t>(version));
    const Bytes file = source.OptionFileBytes();
    EXPECT_EQ(file, ExpectedOptionFile(version)) << "version " << version;

    OSettings target(nullptr);
    target.SetDescription("before");
    target.CamStart = 9;
    target.ControlMode = 1;
    target.ReadOptionBytes(file);
    EXPECT_EQ(target.FileVersion, version);
    const bool any = version >= 1 && version <= 6;
    EXPECT_EQ(target.ControlMode, any ? 2 : 1) << version;
    EXPECT_EQ(target.Offset, any ? -300 : 0) << version;
    EXPECT_EQ(target.NeedleSpacing, any ? 0.125f : 0.0f) << version;
    EXPECT_EQ(target.AutoStart, any && version >= 2 ? 1 : 0) << version;
    EXPECT_EQ(target.GetDescription(), any && version >= 3 ? "Berber loop" : "before") << version;
    EXPECT_EQ(target.StepsPerPLine, any && version >= 3 ? 7 : 0) << version;
    EXPECT_EQ(target.OffsetMode, any && version >= 5 ? 1 : 0) << version;
    EXPECT_EQ(target.CamStart, any && version == 6 ? 42 : 9) << version;
    EXPECT_EQ(target.PLineStart, any && version == 6 ? 513 : 0) << version;
  }
}

// Text lengths a file claims are held to their fields: a description without its zero, and
// length bytes past the field in a settings record.
TEST(Settings, ForgedTextLengthsAreCutToTheirFields) {
  OSettings source(nullptr);
  FillDistinct(source);
  Bytes file = source.OptionFileBytes();
  std::fill(file.end() - 3 - 1 - 64, file.end() - 3 - 1, 'D'); // 64 characters, no zero
  OSettings s(nullptr);
  s.ReadOptionBytes(file);
  EXPECT_EQ(s.GetDescription(), std::string(63, 'D'));

  Bytes b = RecordBytes(OSettings(nullptr));
  b[10] = 200; // SizeCode's length byte
  b[49] = 255; // Description's length byte
  OReader r(b);
  s.ReadFromStream(r);
  EXPECT_EQ(s.GetSizeCode().size(), 15u);
  EXPECT_EQ(s.GetDescription().size(), 64u);
}

class SetupFiles : public TFlowTest {
protected:
  // Imports these bytes as the object's exchange file.
  void Import(ODesignData& d, const Bytes& bytes) {
    const std::string in = Current.File("in." + d.GetExtension());
    WriteBytes(in, bytes);
    UI.FileAnswers = {in};
    d.Import();
    EXPECT_TRUE(UI.Errors().empty()) << d.GetExtension();
  }
};

// Each kind's exchange file, imported into a pattern it fits, exports byte for byte.
TEST_F(SetupFiles, EveryKindRoundTripsThroughItsExchangeFile) {
  OPattern p;
  p.SetNoControls(5);
  p.SetNoYarnTypes(3);
  p.SetMachineType(0); // a state pattern with two states
  p.SetNoColours(16);
  const std::initializer_list<ODesignData*> objects = {p.Palette.get(), p.MachineTable.get(),
                                                       p.DesignTable.get(), p.Creel.get()};
  for (ODesignData* d : objects)
    d->SetDefaults();
  for (ODesignData* d : objects)
    d->Update();

  Bytes palette = {4, 2, 16};
  for (uint32_t i = 0; i <= 17; ++i)
    PutCardinal(palette, 0x00030201u * i);
  Bytes design = {2, 1, 3, 2, 16};
  for (int i = 0; i < 36; ++i)
    design.push_back(static_cast<uint8_t>(16 - i % 17));
  const std::pair<ODesignData*, Bytes> cases[] = {
      {p.Palette.get(), palette},
      {p.Creel.get(), {1, 1, 7, 0, 5, 0, 3, 1, 2, 0, 3}},
      {p.MachineTable.get(), {3, 2, 3, 2, 16, 15, 14, 13, 12, 11, 2}},
      {p.DesignTable.get(), design}};
  for (const auto& [object, bytes] : cases) {
    Import(*object, bytes);
    const std::string out = Current.File("out." + object->GetExtension());
    UI.FileAnswers = {out};
    object->Export();
    EXPECT_EQ(FileBytes(out), bytes) << object->GetExtension();
  }
  EXPECT_TRUE(UI.Errors().empty());
  EXPECT_EQ(p.Creel->GetYarnType(5), 3);
  EXPECT_EQ(p.MachineTable->GetState(3, 11), 2);
  EXPECT_EQ(p.DesignTable->GetOddState(1, 1, 16), 1);
}

// Files made for another pattern are fitted to this one before they are taken.
TEST_F(SetupFiles, ImportFitsTheFileToThePattern) {
  // A creel of 200 controls with yarn type 4, above the pattern's 3.
  Bytes creel = {1, 1, 3, 0};
  PutWord(creel, 200);
  for (int c = 1; c <= 200; ++c)
    creel.push_back(static_cast<uint8_t>(c % 5));
  for (int controls : {100, 300}) {
    OPattern p;
    p.SetNoControls(static_cast<uint16_t>(controls));
    p.SetNoYarnTypes(3);
    Import(*p.Creel, creel);
    EXPECT_FALSE(p.Creel->NeedsValidating());
    std::vector<int> expected;
    for (int c = 1; c <= controls; ++c)
      expected.push_back(c > 200 || c % 5 == 4 ? 0 : c % 5);
    EXPECT_EQ(YarnTypes(*p.Creel), expected) << controls;
  }
  // A machine table for 3 yarn types with colours up to 12 into 4 yarn types and 8 colours,
  // and a design table of 16 colours into 4.
  OPattern p, q;
  for (OPattern* r : {&p, &q}) {
    r->SetNoStates(2);
    r->SetNoYarnTypes(2);
    r->SetNoColours(r == &p ? 8 : 4);
  }
  OMachineTable edited(&p);
  Defaults(edited, 4, 2, 8);
  edited.SetUndefinedState(2);
  p.MachineTable->Assign(edited);
  Import(*p.MachineTable, {3, 2, 3, 2, 9, 10, 11, 12, 3, 4, 2});
  EXPECT_EQ(Colours(*p.MachineTable), (std::vector<int>{0, 0, 0, 0, 3, 4, 0, 0}));
  EXPECT_EQ(p.NoYarnTypes, 4);
  Bytes design = {2, 1, 2, 2, 16};
  for (int i = 1; i <= 16; ++i)
    design.push_back(static_cast<uint8_t>(i));
  Import(*q.DesignTable, design);
  EXPECT_EQ(Colours(*q.DesignTable),
            (std::vector<int>{1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// Wrong headers and counts promising more bytes than remain fail and leave the object as it was.
TEST(SetupRecords, BadRecordsFailAndChangeNothing) {
  // A new object, a good record, forged ones, wrong kinds and versions, and the error they give.
  const std::tuple<std::function<std::unique_ptr<ODesignData>()>, Bytes, std::vector<Bytes>,
                   std::vector<std::pair<int, int>>, const char*>
      cases[] = {
          {[] { return std::make_unique<OPalette>(nullptr); },
           {4, 1, 2, 1, 2, 3, 4, 5, 6, 7, 8},
           {{4, 2, 255, 1, 2, 3, 4}},
           {{9, 2}, {4, 0}, {4, 3}},
           "Error reading palette data"},
          {[] { return std::make_unique<OCreel>(nullptr); },
           {1, 1, 2, 1, 5, 0, 1, 2, 3, 1, 2},
           {{1, 1, 2, 1, 255, 255, 1, 2, 3, 1, 2}},
           {{2, 1}, {1, 0}, {1, 2}},
           "Error reading creel data"},
          {[] { return std::make_unique<OMachineTable>(nullptr); },
           {3, 1, 3, 2, 1, 2, 3, 4, 5, 6, 4, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
           {{3, 2, 255, 255, 1, 2, 3}, {3, 1, 1, 1, 1, 255, 255, 0}},
           {{2, 2}, {3, 0}, {3, 3}},
           "Error reading machine table data"},
          {[] { return std::make_unique<ODesignTable>(nullptr); },
           {2, 1, 1, 2, 5, 1, 2, 3, 4},
           {{2, 1, 255, 255, 16, 1, 2, 3}}, // four gigabytes promised
           {{1, 1}, {2, 0}, {2, 2}},
           "Error reading design table data"},
          {[] { return std::make_unique<OSettings>(nullptr); },
           RecordBytes(OSettings(nullptr)),
           {},
           {{4, 1}, {9, 0}, {9, 2}},
           "Error reading settings data"},
      };
  for (const auto& [make, goodBytes, forgeries, badHeaders, headerError] : cases) {
    std::unique_ptr<ODesignData> d = make();
    OReader good(goodBytes);
    d->ReadFromStream(good);
    EXPECT_EQ(good.Remaining(), 0u);
    const Bytes before = RecordBytes(*d);

    for (auto [kind, version] : badHeaders) {
      Bytes b = goodBytes;
      b[0] = static_cast<uint8_t>(kind);
      b[1] = static_cast<uint8_t>(version);
      OReader r(b);
      EXPECT_EQ(Thrown<EDesignData>([&] { d->ReadFromStream(r); }), headerError)
          << kind << ", " << version;
      EXPECT_EQ(r.Position(), 2u);
    }
    for (const Bytes& forged : forgeries) {
      OReader r(forged);
      EXPECT_THROW(d->ReadFromStream(r), EReadError) << headerError << " " << forged.size();
      EXPECT_EQ(RecordBytes(*d), before) << headerError << " " << forged.size();
    }
  }
}

// Each kind's exact record reads back; older versions are written back as the current one.
TEST(SetupRecords, EachKindWritesItsExactRecordAndReadsItBack) {
  auto creel = std::make_unique<OCreel>(nullptr);
  Fill(*creel, {1, 2, 3, 1, 2}, 3);
  creel->RepeatSize = 0x0102;
  auto palette = std::make_unique<OPalette>(nullptr);
  palette->SetNoColours(3);
  int entry = 0;
  for (uint32_t c : {0x0000FFu, 0x123456u, 0xFFFFFFu})
    palette->SetColour(++entry, c);
  palette->SetUndefinedColour(clGrey);
  palette->Background = clSilver;
  const Bytes oldPalette = Hex("040103 ff000000 56341200 ffffff00");
  const Bytes newPalette = Hex("040203 80808000 ff000000 56341200 ffffff00 c0c0c000");
  auto machine = std::make_unique<OMachineTable>(nullptr);
  Defaults(*machine, 3, 2, 16);
  machine->SetUndefinedState(2);
  Bytes oldMachine = {3, 1, 3, 2, 1, 2, 3, 4, 5, 6, 4, 3};
  oldMachine.resize(24, 0xEE); // the 4 x 3 bytes of the old table
  auto design = std::make_unique<ODesignTable>(nullptr);
  Counts(*design, 3, 2, 16);
  design->SetDefaults();
  Bytes designBytes = {2, 1, 3, 2, 16};
  for (int i = 0; i < 36; ++i)
    designBytes.push_back(static_cast<uint8_t>(i % 16 + 1));
  auto settings = std::make_unique<OSettings>(nullptr);
  FillDistinct(*settings);
  settings->SetDescription(std::string(70, 'x')); // cut to leave room for the zero
  const Bytes e =
      Cat({Hex("09 01 04 3412 cdab 01 01 07 08"), Text("12,40,53"), Bytes(7, 0), Hex("05"),
           Text("STYLE"), Bytes(10, 0), Hex("01 00 01 00 01 2a 02 3f"), Bytes(63, 'x'),
           Hex("00 06 01 0000c03f 0000003e d4fe 01 0000803e 0102 0000003e 01")});
  ASSERT_EQ(e.size(), OSettings::RecordSize);

  auto section = std::make_unique<OSection>(nullptr);
  section->SetSourceArea({1, 1, 10, 10});
  section->TargetArea = {21, 1, 30, 10};
  section->HFlip = 1;
  section->Rotation = 3;
  const Bytes sectionBytes =
      Hex("0801 01000000 01000000 0a000000 0a000000 15000000 01000000 1e000000 0a000000 010003");
  OPicture picture(nullptr);
  auto region = std::make_unique<ORegion>(nullptr, &picture);
  region->SetPatternArea({11, 1, 20, 10});
  region->SetPictureArea({1, 1, 10, 10});
  region->ImportFlag = 1;
  region->Rotation = 2;
  const Bytes areas =
      Hex("0b000000 01000000 14000000 0a000000 01000000 01000000 0a000000 0a000000");
  const Bytes regionBytes = Cat({Hex("0702"), areas, Hex("00000201")}); // version 1: no import flag
  const Bytes oldRegion = Cat({Hex("0701"), areas, Hex("000002")});
  const Bytes oldRegionWritten = Cat({Hex("0702"), areas, Hex("00000200")});

  struct TRow {
    std::unique_ptr<ODesignData> Object, Fresh;
    Bytes Record, Older = {}, OlderWritten = {};
  };
  TRow rows[] = {
      {std::move(creel), std::make_unique<OCreel>(nullptr), {1, 1, 2, 1, 5, 0, 1, 2, 3, 1, 2}},
      {std::move(palette), std::make_unique<OPalette>(nullptr), newPalette, oldPalette, newPalette},
      {std::move(machine),
       std::make_unique<OMachineTable>(nullptr),
       {3, 2, 3, 2, 1, 2, 3, 4, 5, 6, 2},
       oldMachine,
       {3, 2, 3, 2, 1, 2, 3, 4, 5, 6, 1}},
      {std::move(design), std::make_unique<ODesignTable>(nullptr), designBytes},
      {std::move(settings), std::make_unique<OSettings>(nullptr), e},
      {std::move(section), std::make_unique<OSection>(nullptr), sectionBytes},
      {std::move(region), std::make_unique<ORegion>(nullptr, &picture), regionBytes, oldRegion,
       oldRegionWritten},
  };
  for (TRow& row : rows) {
    EXPECT_EQ(RecordBytes(*row.Object), row.Record) << int(row.Record[0]);
    for (auto [in, out] : {std::pair{row.Older, row.OlderWritten}, {row.Record, row.Record}}) {
      if (in.empty())
        continue;
      OReader r(in);
      row.Fresh->ReadFromStream(r);
      EXPECT_EQ(r.Remaining(), 0u) << int(in[0]);
      EXPECT_EQ(RecordBytes(*row.Fresh), out) << int(in[0]);
    }
  }
}

} // namespace
} // namespace quillane::test
