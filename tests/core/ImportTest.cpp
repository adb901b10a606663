#include "InterchangeSupport.h"

#include <gmock/gmock.h>

#include <functional>
#include <random>
#include <tuple>

#include "elements/Picture.h"
#include "files/CmcFile.h"
#include "files/Export.h"
#include "files/NedFile.h"
#include "files/TuftImport.h"

namespace quillane::test {
namespace {

using TReadBytes = std::function<std::unique_ptr<OPattern>(std::span<const uint8_t>)>;

class Import : public TFlowTest {
protected:
  std::string Put(const std::string& name, const Bytes& bytes) {
    WriteBytes(Current.File(name), bytes);
    return Current.File(name);
  }
};

TEST_F(Import, GivesBackWhatTheExportWroteForEveryMachineType) {
  std::mt19937 random(6);
  std::vector<std::pair<uint8_t, uint8_t>> cases; // machine type, yarn types
  for (uint8_t type = 0; type <= MaxMachineType; ++type)
    cases.emplace_back(type, 3);
  cases.emplace_back(0, 26); // every yarn type the colour file holds
  for (const auto& [type, yarnTypes] : cases) {
    SCOPED_TRACE(int(type));
    auto p = MakePattern(type, 13, 4, yarnTypes);
    if (yarnTypes > 3)
      for (int c = 1; c <= 13; ++c)
        p->Creel->SetYarnType(c, static_cast<uint8_t>(2 * c));
    p->Settings->ReversePattern = type % 2;
    p->Settings->OffsetAllowed = 0;
    p->Settings->SetStyleCode("S" + std::to_string(type));
    p->Settings->FileVersion = 3;
    for (int i = 1; i <= 16; ++i)
      p->Palette->SetColour(i, 0x0F0E0Du * i + type);
    const bool states = p->PatternMode == pmStates;
    for (int pl = 1; pl <= 4; ++pl)
      for (int c = 1; c <= 13; ++c)
        states ? p->SetState(c, pl, random() % (p->NoStates + 1))
               : p->SetMachineColour(c, pl, 1 + random() % 3);
    TTempDir d;
    UI.FileAnswers.push_back(d.File("RT.TUF"));
    ASSERT_TRUE(ExportControlFiles(*p));

    UI.Status.clear();
    auto q = NewPatternFromTuftFile(d.File("RT.TUF"));
    EXPECT_EQ(UI.Status, "");
    EXPECT_EQ(q->MachineType, type);
    EXPECT_EQ(q->ControlDataFormat, p->ControlDataFormat);
    EXPECT_EQ(CreelOf(*q), CreelOf(*p));
    std::vector<int> expected = Cells(*p);
    for (int& cell : expected) // no state exports as the undefined state, colours as yarn numbers
      cell = states ? std::max(cell, 1) : p->MachineTable->GetYarnType(cell, 1);
    EXPECT_EQ(Cells(*q), expected);
    if (states) {
      EXPECT_EQ(q->NoYarnTypes, yarnTypes);
    }
    for (int y = 1; y <= yarnTypes; ++y)
      for (int s = 1; s <= p->NoStates; ++s)
        EXPECT_EQ(q->Palette->GetColour(q->MachineTable->GetColour(y, s)),
                  p->Palette->GetColour(p->MachineTable->GetColour(y, s)));
    EXPECT_EQ(std::vector<int>({q->Settings->OffsetAllowed, q->Settings->FileVersion}),
              std::vector<int>({0, 3}));
    if (states) { // the style code and reverse flag travel only in the state variant
      EXPECT_EQ(q->Settings->GetStyleCode() + char('0' + q->Settings->ReversePattern),
                "S" + std::to_string(type) + char('0' + type % 2));
    }
  }
}

TEST_F(Import, TuftFilesOfBothVariants) {
  struct TCase {
    const char* Name;
    Bytes Tuf, Clr; // no .CLR when empty
    uint8_t MachineType;
    std::vector<int> Cells, Creel;
    int YarnTypes;
    std::vector<uint32_t> Palette; // the colours 1, 2, ... that are not the defaults
    const char* PassedOver = "";   // why the colour file was passed over, if it was
    const char* Named = "b.clr";   // the file the warning names
  };
  // Colour of state s, yarn type y: 27 (s - 1) + y; yarn type y shows colours 2y - 1, 2y.
  Bytes clr = {2};
  for (int k = 0; k < 81; ++k)
    PutCardinal(clr, k);
  PutWord(clr, 4);
  clr = Cat({clr, {2, 2, 1, 1}});
  Bytes negative = clr;
  negative[1 + 108 + 2 * 4 + 3] = 0x80; // state 2, yarn type 2
  Bytes appended = Cat({clr, {1}});
  Bytes narrow = clr;
  narrow[325] = 3; // three controls, and four yarn bytes
  narrow.pop_back();
  Bytes foreignYarn = clr;
  foreignYarn.back() = 3;
  std::vector<uint32_t> header;
  for (uint32_t i = 1; i <= 16; ++i)
    header.push_back(0x010203 * i);
  const std::vector<int> utpaCells = {1, 2, 1, 2, 2, 1, 2, 1};

  // clang-format off
  const TCase cases[] = {
      // No colour file: default palette, the creel from the control bytes as the export
      // wrote them; a byte of 0 is the first yarn type.
      {"UTPA", Utpa, {}, 0, utpaCells, {1, 1, 2, 1}, 2, {}},
      {"control bytes 0", Cat({Text("4,2,1\r\n\"\",\"\"\r\n\x05\x0A"), {0, 0, 0, 0, 0}}), {}, 0,
       utpaCells, {1, 1, 1, 1}, 1, {}},
      // No more yarn types than a colour file holds: a control naming more carries none.
      {"control byte 255", Cat({Text("4,2,1\r\n\"\",\"\"\r\n\x05\x0A"), {1, 2, 255, 1, 0}}), {}, 0,
       utpaCells, {1, 2, 0, 1}, 26, {}, "control 3 carries yarn type 255", "B.TUF"},
      {"colour file", Utpa, clr, 0, utpaCells, {2, 2, 1, 1}, 2, {1, 28, 2, 29}},
      // Passed over at state 2 of yarn type 2; the colours taken before stay.
      {"negative colour", Utpa, negative, 0, utpaCells, {1, 1, 2, 1}, 2, {1, 28, 2},
       "no colour for yarn type 2 in state 2"},
      {"byte appended", Utpa, appended, 0, utpaCells, {1, 1, 2, 1}, 2, {},
       "its length does not fit"},
      {"other controls", Utpa, narrow, 0, utpaCells, {1, 1, 2, 1}, 2, {},
       "it is for 3 controls, the control file has 4"},
      {"yarn type not used", Utpa, foreignYarn, 0, utpaCells, {1, 1, 2, 1}, 2, {1, 28, 2, 29},
       "control 4 carries yarn type 3"},
      // Sixteen colours and yarn types; a cell's colour is its yarn number.
      {"TWEAVER", Tweaver, {}, 12, {6, 6, 6, 1, 2, 16}, {1, 5, 16}, 16, header},
  };
  // clang-format on
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Name);
    TTempDir d;
    UI.Status.clear();
    WriteBytes(d.File("B.TUF"), k.Tuf);
    WriteBytes(d.File("b.dat"), {7}); // companions from elsewhere come in lower case
    if (!k.Clr.empty())
      WriteBytes(d.File("b.clr"), k.Clr);
    auto p = NewPatternFromTuftFile(d.File("B.TUF"));
    EXPECT_EQ(p->MachineType, k.MachineType);
    EXPECT_EQ(Cells(*p), k.Cells);
    EXPECT_EQ(CreelOf(*p), k.Creel);
    EXPECT_EQ(p->NoYarnTypes, k.YarnTypes);
    EXPECT_EQ(std::vector<int>({p->Settings->FileVersion, p->Settings->NoControls,
                                p->Pictures->Get(0)->Regions.Get(0)->ImportFlag}),
              std::vector<int>({7, p->NoControls, 1}));
    for (size_t i = 1; i <= 16; ++i)
      EXPECT_EQ(p->Palette->GetColour(static_cast<int>(i)),
                i <= k.Palette.size() ? k.Palette[i - 1] : DefaultPaletteColours[i - 1])
          << i;
    // The warning names the file and why; none when the colour file was taken or missing.
    if (*k.PassedOver)
      EXPECT_THAT(UI.Status, ::testing::AllOf(::testing::HasSubstr(k.PassedOver),
                                              ::testing::HasSubstr(d.File(k.Named))));
    else
      EXPECT_EQ(UI.Status, "");
  }
  // With a colour file beside it, the creel comes from that file and nothing is passed over.
  TTempDir d;
  UI.Status.clear();
  WriteBytes(d.File("B.TUF"), Cat({Text("4,2,1\r\n\"\",\"\"\r\n\x05\x0A"), {1, 2, 255, 1, 0}}));
  WriteBytes(d.File("B.DAT"), {7});
  WriteBytes(d.File("B.CLR"), clr);
  EXPECT_EQ(CreelOf(*NewPatternFromTuftFile(d.File("B.TUF"))), (std::vector<int>{2, 2, 1, 1}));
  EXPECT_EQ(UI.Status, "");
}

TEST_F(Import, CmcAndNedFiles) {
  struct TCase {
    const char* Name;
    Bytes File;
    TReadBytes Read;
    uint8_t MachineType, Format;
    std::vector<int> Cells;
  };
  // Two planes, R = 9: plane 1 at 1044. Control 1 marked in plane 0, control 2 in plane 1.
  Bytes two = Car(2, 9, 16, 10, 1064);
  two[512] = 0xFE;
  two[1044] = 0xFD;
  std::vector<int> twoCells(160, 1);
  twoCells[0] = 2;
  twoCells[1] = 3;
  // Three planes, R = 0, one byte a row: planes at 512, 1025, 1538.
  Bytes three = Car(3, 0, 8, 1, 1539);
  three[512] = 0xFB;
  three[1025] = 0xFE;
  three[1538] = 0xFD;
  const TCase cases[] = {
      {"all 0xFF", Car(1, 9, 16, 10, 532), NewPatternFromCmcBytes, 2, 1, std::vector<int>(160, 1)},
      {"two planes", two, NewPatternFromCmcBytes, 3, 2, twoCells},
      {"three planes", three, NewPatternFromCmcBytes, 3, 3, {2, 3, 1, 1, 1, 1, 1, 1}},
      // Byte 1536 is control 1 of the last PLine.
      {"NED", Ned(3, 2, {1, 0, 0, 0, 2, 255}), NewPatternFromNedBytes, 0, 1, {1, 2, 2, 2, 1, 1}},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Name);
    auto p = k.Read(k.File);
    EXPECT_EQ(std::vector<int>({p->MachineType, p->ControlDataFormat, p->NoYarnTypes}),
              std::vector<int>({k.MachineType, k.Format, 1}));
    EXPECT_EQ(Cells(*p), k.Cells);
    EXPECT_EQ(CreelOf(*p), std::vector<int>(p->NoControls, 1));
  }
}

// A COLORTEC file whose lines hold no runs: a large grid in a small file.
Bytes EmptyColortec(int controls, int pLines) {
  Bytes b = {0, 2};
  PutWord(b, static_cast<uint16_t>(controls));
  PutWord(b, static_cast<uint16_t>(pLines));
  return Cat({b, {1, 11, 0, 0}, Bytes(64 + controls + 2 * pLines, 0)});
}

TEST_F(Import, NoImportWritesAPatternTheProgramCannotOpen) {
  // The limit: each import gives its pattern a picture of its own size.
  for (auto [controls, pLines, fits] : {std::tuple{8192, 16384, true},
                                        {8192, 16385, false},
                                        {65535, 2048, true},
                                        {65535, 2049, false}})
    EXPECT_EQ(Failure([](auto size) { CheckImportSize(size.first, size.second); },
                      std::pair{controls, pLines}) == "imported",
              fits)
        << controls << " x " << pLines;
  Put("B.DAT", {7});
  const std::string tuf = Current.File("B.TUF");
  auto fromTuft = [&](std::span<const uint8_t> b) { return NewPatternFromTuftBytes(tuf, b); };
  EXPECT_EQ(Failure(fromTuft, EmptyColortec(65535, 2049)),
            "The file's 65535 x 2049 cells are more than a pattern can hold (134217728)");

  // The widest patterns each import makes, written and opened again.
  Bytes car = Car(1, 2, 65535, 3, 512 + 3 * 8192);
  car[512 + 8191] = 0x7F; // control 65535 of PLine 1
  Bytes nedCells(3 * 65535, 0);
  nedCells[0] = 1; // control 1 of the last PLine
  const std::pair<Bytes, TReadBytes> widest[] = {
      {car, NewPatternFromCmcBytes},
      {Ned(65535, 3, nedCells), NewPatternFromNedBytes},
      {EmptyColortec(65535, 3), fromTuft},
  };
  for (const auto& [file, read] : widest) {
    auto p = read(file);
    p->WriteCopy(Current.File("wide.pat"));
    auto q = OpenPatternFile(Current.File("wide.pat"));
    EXPECT_EQ(std::vector<int>({q->NoControls, q->NoPLines, q->Pictures->Get(0)->Width}),
              std::vector<int>({65535, 3, 65535}));
    EXPECT_EQ(Cells(*q), Cells(*p));
  }

  // What the reader refuses, the writer refuses before a byte is written.
  auto p = MakePattern(0, 3, 2, 2);
  p->Pictures->Get(0)->SetHeight(2);
  auto writeFailure = [&] {
    return Failure([&](auto path) { p->WriteCopy(path); }, Current.File("x.pat"));
  };
  p->Pictures->Get(0)->SetWidth(static_cast<int32_t>(OPicture::MaxPixels / 2 + 1));
  EXPECT_EQ(writeFailure(),
            "The pictures of a pattern can hold at most 134217728 pixels in all; this one's hold "
            "134217730.");
  p->Pictures->Get(0)->SetWidth(3);
  p->SetNoControls(0);
  EXPECT_EQ(writeFailure(),
            "A pattern needs at least one control and one PLine; this one has 0 x 2.");
  p->SetNoControls(3);
  p->Settings->NoPLines = 9999;
  EXPECT_EQ(writeFailure(), "The control settings give 3 x 9999 cells, the pattern has 3 x 2.");
  EXPECT_FALSE(std::filesystem::exists(Current.File("x.pat")));
}

TEST_F(Import, DamagedPatternFilesSayWhichPartFailed) {
  auto p = MakePattern(0, 7, 5, 2);
  p->WriteCopy(Current.File("good.pat"));
  const Bytes good = FileBytes(Current.File("good.pat"));
  const Bytes size = {7, 0, 5, 0};
  const auto grid = static_cast<size_t>(
      std::find_end(good.begin(), good.end(), size.begin(), size.end()) - good.begin());
  auto cut = [&](size_t n) { return Bytes(good.begin(), good.begin() + n); };
  auto patched = [&](size_t at, uint8_t v) {
    Bytes b = good;
    b[at] = v;
    return b;
  };
  const std::pair<Bytes, const char*> cases[] = {
      {{}, "it is not a pattern file, or one of a later version"},
      {cut(10), "the settings record is damaged"},
      {patched(grid, 0), "the pattern has no controls or no PLines"}, // as the editors refuse
      {patched(grid + 2, 0), "the pattern has no controls or no PLines"},
      {cut(grid + 20), "the cells are cut short"},
      {cut(grid + 4 + 35 + 3), "a section record is damaged"},
      {cut(good.size() - 1), "a picture record is damaged"},
      {Cat({good, {0}}), "there are bytes after the last picture"},
  };
  for (const auto& [bytes, reason] : cases) {
    WriteBytes(Current.File("bad.pat"), bytes);
    EXPECT_EQ(Failure(OpenPatternFile, Current.File("bad.pat")),
              "Error reading pattern: " + Current.File("bad.pat") + ": " + reason);
  }
}

TEST_F(Import, HostileFilesFailWithTheirFamilysMessage) {
  Put("B.DAT", {7});
  const std::string tuf = Current.File("B.TUF");
  const std::string v2Error = "Error in tuft file data: " + tuf;
  auto fromTuft = [&](std::span<const uint8_t> b) { return NewPatternFromTuftBytes(tuf, b); };
  // Forged sizes, and files whose type or planes would drop every cell, or with no cells.
  Bytes lastControlPlusOne = Car(1, 0, 8, 1, 8704); // 65536 controls: one more than a pattern holds
  lastControlPlusOne[8] = lastControlPlusOne[9] = 0xFF;
  Bytes stateType = Tweaver;
  stateType[7] = 0; // UTPA in a colour file
  const std::pair<Bytes, TReadBytes> forged[] = {
      {Car(1, 0xFFFF, 65536, 65536, 600), NewPatternFromCmcBytes},
      {Car(0, 9, 16, 10, 1064), NewPatternFromCmcBytes},
      {Car(4, 9, 16, 10, 4096), NewPatternFromCmcBytes},
      {lastControlPlusOne, NewPatternFromCmcBytes},
      {{0, 1, 0, 1}, NewPatternFromNedBytes},
      {Ned(0, 0, {}), NewPatternFromNedBytes},
      {Text("65535,65535,5\r\n\"\",\"\"\r\n"), fromTuft},
      {Cat({Text("4,2,225\r\n\"\",\"\"\r\n"), Bytes(7, 0)}), fromTuft}, // machine type 14
      {Cat({Text("4,2,177\r\n\"\",\"\"\r\n"), Bytes(7, 0)}), fromTuft}, // COLORTEC
      {Cat({Text("1,1,7\r\n\"\",\"\"\r\n"), Bytes(6, 0)}), fromTuft},   // four planes
      {Cat({Text("0,2,1\r\n\"\",\"\"\r\n"), {0}}), fromTuft},
      {stateType, fromTuft},
  };
  for (const auto& [file, read] : forged)
    EXPECT_THAT(
        (std::vector<std::string>{"Error reading CMC file", "Error reading NED Graphics file",
                                  v2Error, "Error reading tuft file"}),
        ::testing::Contains(Failure(read, file)));

  Put("B.DAT", Bytes(100, 6));
  EXPECT_EQ(Failure(fromTuft, Utpa),
            "Cannot read file \"" + Current.File("B.DAT") + "\". Stream read error");
  std::filesystem::remove(Current.File("B.DAT"));
  EXPECT_EQ(Failure(fromTuft, Utpa).find("Cannot open file"), 0u);
  Put("B.DAT", {7});
  Put("B.CLR", Bytes(330, 1));
  EXPECT_EQ(CreelOf(*fromTuft(Utpa)), (std::vector<int>{1, 1, 2, 1}));
}

} // namespace
} // namespace quillane::test
