#include "InterchangeSupport.h"

#include <cstring>
#include <filesystem>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "files/Export.h"

namespace quillane::test {
namespace {

using Names = std::vector<std::string>;

class Export : public TFlowTest {
protected:
  bool ExportAs(OPattern& p, const std::string& file) {
    UI.FileAnswers.push_back(file);
    return ExportControlFiles(p);
  }
};

const Bytes Creel10 = {1, 2, 3, 1, 2, 3, 1, 2, 3, 1};
const Bytes Head = Text("\"ST1\",\"SZ\"\r\n");

TEST_F(Export, WritesExactFileSets) {
  struct TCase {
    const char* Name;
    uint8_t MachineType, YarnTypes, Reverse, Undefined; // Undefined 0: a new table's
    std::vector<const char*> Cells;                     // 10 controls, PLines 1 to 3
    Bytes Tuf;
  };
  Bytes colortec = {0, 2, 10, 0, 3, 0, 1, 11, 0, 1};
  for (uint32_t i = 1; i <= 16; ++i)
    PutCardinal(colortec, i <= 5 ? 0x111111 * i : 0);
  // clang-format off
  const TCase cases[] = {
      // One plane: the first state sets the bit; a cell without a state takes state 1.
      {"UTPA", 0, 3, 0, 0, {"1212011221", "2222222222", "1111111111"},
       Cat({Text("10,3,1\r\n"), Head, {0x75, 0x02, 0, 0, 0xFF, 0x03}, Creel10, {0}})},
      {"reversed", 0, 3, 1, 0, {"1212011221", "2222222222", "1111111111"},
       Cat({Text("10,3,1\r\n"), Head, {0xB9, 0x02, 0, 0, 0xFF, 0x03}, Creel10, {1}})},
      // Low no bit, Cut both planes, High plane 0; no state takes the table's High.
      {"HLCS", 4, 3, 0, 3, {"1230123022", "0000000000", "1111111111"},
       Cat({Text("10,3,67\r\n"), Head, {0xEE, 0x03, 0xFF, 0x03, 0, 0}, Creel10, {0},
            {0x22, 0x03, 0, 0, 0, 0}})},
      // Exactly one bit per cell: High plane 2, Medium plane 1, Low plane 0.
      {"SCROLL3", 3, 3, 0, 0, {"1230123012", "3333333333", "2222222222"},
       Cat({Text("10,3,53\r\n"), Head, {0x44, 0x00, 0xFF, 0x03, 0, 0}, Creel10, {0},
            {0x22, 0x02, 0, 0, 0xFF, 0x03}, {0x99, 0x01, 0, 0, 0, 0}})},
      // Header colours 1 to 5 then zeros, creel bytes minus 1, run-length lines, no .CLR.
      {"COLORTEC", 11, 5, 0, 0, {"1234555555", "1111111111", "2222233333"},
       Cat({colortec, {0, 1, 2, 3, 4, 0, 1, 2, 3, 4}, {5, 0, 0x00, 0x01, 0x02, 0x03, 0x54},
            {1, 0, 0x90}, {2, 0, 0x41, 0x42}})},
  };
  // clang-format on
  // Yarn type y shows colour 2y - 1 in state 1 and 2y in state 2; colour i is 0x111111 i.
  Bytes clr = {2};
  for (int s = 1; s <= 3; ++s)
    for (uint32_t y = 0; y <= 26; ++y)
      PutCardinal(clr, s <= 2 && y >= 1 && y <= 3 ? 0x111111 * (2 * y - 2 + s) : 0);
  PutWord(clr, 10);
  clr = Cat({clr, Creel10});

  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Name);
    auto p = MakePattern(k.MachineType, 10, 3, k.YarnTypes);
    for (int i = 1; i <= 6; ++i)
      p->Palette->SetColour(i, 0x111111u * i);
    p->Settings->ReversePattern = k.Reverse;
    p->Settings->SetStyleCode("ST1");
    p->Settings->SetSizeCode("SZ");
    if (k.Undefined)
      p->MachineTable->SetUndefinedState(k.Undefined);
    SetCells(*p, k.Cells);
    TTempDir d;
    WriteBytes(d.File("RUG1.CLR"), {'o', 'l', 'd'}); // a colour set must not keep it
    ASSERT_TRUE(ExportAs(*p, d.File("RUG1.TUF")));
    EXPECT_TRUE(UI.Shown.empty());
    EXPECT_EQ(FileBytes(d.File("RUG1.TUF")), k.Tuf);
    EXPECT_EQ(FileBytes(d.File("RUG1.DAT")), p->Settings->OptionFileBytes());
    EXPECT_EQ(FileExists(d.File("RUG1.CLR")), p->PatternMode == pmStates);
    if (k.MachineType == 0) {
      EXPECT_EQ(FileBytes(d.File("RUG1.CLR")), clr) << "natural order, reversed or not";
    }
  }

  // A new table has no undefined state until saved and read back: the file is the same.
  auto p = MakePattern(0, 10, 3, 3);
  p->FileName = Current.File("P.pat");
  TTempDir before, after;
  ASSERT_TRUE(ExportAs(*p, before.File("P.TUF")));
  p->SaveToFile();
  ASSERT_TRUE(ExportAs(*OpenPatternFile(p->FileName), after.File("P.TUF")));
  EXPECT_EQ(FileBytes(before.File("P.TUF")), FileBytes(after.File("P.TUF")));
}

TEST_F(Export, NamesTheSetAfterABaseNameOfAtMostEightCharacters) {
  auto p = MakePattern(0, 10, 3, 3);
  p->FileName = "/elsewhere/Pattern3.pat";
  TTempDir other; // the companions take the name up to its first dot
  EXPECT_TRUE(ExportAs(*p, other.File("A.B.TUF")));
  EXPECT_EQ(FilesIn(other.Path), (Names{"A.B.TUF", "A.CLR", "A.DAT"}));
}

TEST_F(Export, StopsAtTheFirstFileThatFails) {
  auto p = MakePattern(0, 10, 3, 3);
  TTempDir d;
  SetWriteFailureForTesting(0);
  EXPECT_FALSE(ExportAs(*p, d.File("RUG1.TUF")));
  SetWriteFailureForTesting(std::nullopt);
  EXPECT_EQ(UI.Errors(), Names{"Error saving tuft file: Cannot write file \"" + d.File("RUG1.TUF") +
                               "\". " + std::strerror(ENOSPC)});
  EXPECT_TRUE(FilesIn(d.Path).empty()) << "no temporary left, no companion written";

  // A folder in the option file's place: nothing is written, the message names the file.
  UI.Shown.clear();
  std::filesystem::create_directory(d.File("RUG1.DAT"));
  EXPECT_FALSE(ExportAs(*p, d.File("RUG1.TUF")));
  ASSERT_EQ(UI.Errors().size(), 1u);
  EXPECT_NE(UI.Errors()[0].find(d.File("RUG1.DAT")), std::string::npos) << UI.Errors()[0];
  EXPECT_EQ(FilesIn(d.Path), (Names{"RUG1.DAT"}));
}

TEST_F(Export, LeavesTheOldSetWholeWhenAnyOfItsFilesCannotBeReplacedOrRemoved) {
  auto states = MakePattern(0, 10, 3, 3), colours = MakePattern(11, 20, 30, 3);
  for (int pl = 1; pl <= 30; ++pl)
    for (int c = 1; c <= 20; ++c)
      colours->SetMachineColour(c, pl, 1);
  SKIP_ON_WINDOWS("a pipe and a device by name are POSIX files");
#ifndef _WIN32
  TTempDir d;
  ASSERT_EQ(::mkfifo(d.File("P.DAT").c_str(), 0600), 0);
  ASSERT_TRUE(ExportAs(*states, d.File("X.TUF")));
  const Bytes old = Cat({FileBytes(d.File("X.TUF")), FileBytes(d.File("X.DAT"))});
  std::filesystem::remove(d.File("X.CLR")); // the colour export must remove it: a folder now
  std::filesystem::create_directory(d.File("X.CLR"));
  const std::string noFile = "\": not a regular file but ";
  const std::pair<std::string, std::string> cases[] = {
      {d.File("X.TUF"), "Cannot delete file \"" + d.File("X.CLR") + "\". Is a directory"},
      {d.File("P.TUF"), "Cannot create file \"" + d.File("P.DAT") + noFile + "a pipe"},
      {"/dev/null", "Cannot create file \"/dev/null" + noFile + "a device"},
      {d.File(".TUF"), "Error, filename can not be empty: " + d.File(".TUF")},
  };
  for (const auto& [file, error] : cases) {
    UI.Shown.clear();
    EXPECT_FALSE(ExportAs(*colours, file));
    EXPECT_EQ(UI.Errors(), Names{error});
    EXPECT_EQ(FilesIn(d.Path), (Names{"P.DAT", "X.CLR", "X.DAT", "X.TUF"}));
  }
  EXPECT_EQ(Cat({FileBytes(d.File("X.TUF")), FileBytes(d.File("X.DAT"))}), old);
  EXPECT_FALSE(std::filesystem::exists("/dev/null.DAT"));
#endif
}

TEST_F(Export, RefusesWhatTheFilesCannotHoldBeforeWritingAnything) {
  struct TCase {
    uint8_t MachineType, YarnTypes;
    void (*Spoil)(OPattern&);
    const char* Shown;
  };
  const TCase cases[] = {
      {0, 27, [](OPattern&) {},
       "Error, the colour file can hold at most 26 yarn types; this pattern has 27"},
      {4, 3, [](OPattern& p) { p.Settings->SetSizeCode("4\n5"); },
       "Error, the size code can not contain a double quote or a line break: 4\n5"},
      {0, 3, [](OPattern& p) { p.Sections->Get(0)->TargetArea.Right = 11; },
       "Section #1 invalid (outside boundary of pattern)"},
      {11, 5, [](OPattern& p) { p.SetMachineColour(3, 2, 9); },
       "Control 3, PLine 2 has a colour without a yarn number from 1 to 16 (yarn number 0); "
       "the tuft control file would store yarn number 16. Export anyway?"},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Shown);
    auto p = MakePattern(k.MachineType, 10, 3, k.YarnTypes);
    SetCells(*p, {"1111111111", "1111111111", "1111111111"});
    k.Spoil(*p);
    UI.Shown.clear();
    UI.FileAnswers.clear();
    UI.ConfirmAnswers = {false};
    TTempDir d;
    EXPECT_FALSE(ExportAs(*p, d.File("RUG1.TUF")));
    ASSERT_EQ(UI.Shown.size(), 1u);
    EXPECT_EQ(UI.Shown[0].Text, k.Shown);
    EXPECT_TRUE(FilesIn(d.Path).empty());
  }
}

} // namespace
} // namespace quillane::test
