#include "PatternSupport.h"

#include <tuple>

#include "app/Exceptions.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane::test {
namespace {

class PatternDocument : public TFlowTest {};

void PutArea(Bytes& b, const TRect& r) {
  for (int32_t v : {r.Left, r.Top, r.Right, r.Bottom})
    PutCardinal(b, static_cast<uint32_t>(v));
}

// A 3 x 2 state pattern with three sections and a picture, and its file built by hand.
struct TSmallFile {
  std::unique_ptr<OPattern> Pattern;
  Bytes File;
  size_t SectionCountAt = 0; // offset of the section count
};

TSmallFile SmallFile() {
  TSmallFile f;
  f.Pattern = BarePattern(3, 2);
  OPattern& p = *f.Pattern;
  AddSection(p, {1, 1, 3, 2}, {1, 1, 3, 2});
  AddSection(p, {1, 1, 1, 2}, {3, 1, 3, 2}, 0, 1);
  AddSection(p, {1, 1, 2, 2}, {1, 1, 2, 2}, 1, 0, 2);
  OPicture& picture = AddPicture(p, 3, 2);
  AddRegion(picture, {1, 1, 3, 2}, {1, 1, 3, 2}).ImportFlag = 1;
  const uint8_t states[2][3] = {{1, 2, 0}, {2, 0, 0}};
  for (int pl = 1; pl <= 2; ++pl)
    for (int c = 1; c <= 3; ++c)
      p.SetState(c, pl, states[pl - 1][c - 1]);
  p.MachineTable->SetUndefinedState(1); // a fresh table's 0 reads back as 1
  p.Changed(); // copies control 1 to 3, mirrored: (3, 1) = 2 and (3, 2) = 1

  Bytes& e = f.File;
  Put(e, {5, 2});
  for (const ODesignData* part : std::initializer_list<const ODesignData*>{
           p.Settings.get(), p.Palette.get(), p.MachineTable.get(), p.DesignTable.get(),
           p.Creel.get()})
    e = Cat({e, RecordBytes(*part)});
  PutWord(e, 3);
  PutWord(e, 2);
  Put(e, {1, 2, 2, 2, 0, 1}); // PLine 1, then PLine 2
  f.SectionCountAt = e.size();
  PutWord(e, 3);
  for (const auto& s : *p.Sections) {
    Put(e, {8, 1});
    PutArea(e, s->SourceArea);
    PutArea(e, s->TargetArea);
    Put(e, {s->HFlip, s->VFlip, s->Rotation});
  }
  Put(e, {1, 6, 1});
  PutSingle(e, 1.0f);
  PutCardinal(e, 2);
  Put(e, {0});
  PutCardinal(e, 3);
  Put(e, {1, 7, 2});
  PutArea(e, {1, 1, 3, 2});
  PutArea(e, {1, 1, 3, 2});
  Put(e, {0, 0, 0, 1});
  return f;
}

// What reading `file` into `q` throws: a short read, the message of a refusal, or nothing.
std::string ReadFailure(const Bytes& file, OPattern& q) {
  OReader r(file);
  try {
    q.ReadFromStream(r);
  } catch (const EReadError&) {
    return "short read";
  } catch (const EDesignData& e) {
    return e.what();
  }
  return "";
}

TEST_F(PatternDocument, FileIsWrittenFieldByFieldReadBackAndRefusedWhenForged) {
  TSmallFile f = SmallFile();
  EXPECT_EQ(RecordBytes(*f.Pattern), f.File);

  // Version 1 differs only in its one-byte section count.
  Bytes v1 = f.File;
  v1[1] = 1;
  v1.erase(v1.begin() + static_cast<long>(f.SectionCountAt) + 1);
  for (const Bytes& file : {f.File, v1}) {
    OPattern q;
    OReader r(file);
    q.ReadFromStream(r);
    EXPECT_EQ(r.Remaining(), 0u);
    EXPECT_EQ(RecordBytes(q), f.File) << "always written as version 2";
    EXPECT_EQ(q.GetMachineColour(2, 1), q.MachineTable->GetColour(1, 2)) << "derived after reading";
    EXPECT_EQ(q.Pictures->Get(0)->Regions.Get(0)->Picture, q.Pictures->Get(0));
  }

  // A wrong kind or version changes nothing.
  const std::pair<int, int> headers[] = {{1, 3}, {1, 0}, {0, 4}};
  for (auto [at, value] : headers) {
    Bytes bad = f.File;
    bad[static_cast<size_t>(at)] = static_cast<uint8_t>(value);
    OPattern q;
    EXPECT_EQ(ReadFailure(bad, q), "Error reading pattern data") << at << " " << value;
    EXPECT_EQ(q.NoControls + q.Settings->NoControls, 0);
  }

  // Counts and sizes forged past what the file holds fail before anything is allocated.
  const size_t cellsAt = f.SectionCountAt - 6, picturesAt = f.SectionCountAt + 2 + 3 * 37;
  // What is forged, where, its bytes, and whether it is a picture's error or a short read.
  const std::tuple<const char*, size_t, Bytes, bool> forgeries[] = {
      {"settings of 65535 x 65535 cells", 5, {0xFF, 0xFF, 0xFF, 0xFF}, false},
      {"grid of 65535 x 65535 cells", cellsAt - 4, {0xFF, 0xFF, 0xFF, 0xFF}, false},
      {"65535 sections", f.SectionCountAt, {0xFF, 0xFF}, false},
      {"255 pictures", picturesAt, {0xFF}, false},
      {"255 regions", picturesAt + 16, {0xFF}, false},
      {"negative height", picturesAt + 7, {0xFF, 0xFF, 0xFF, 0xFF}, true},
      {"negative width", picturesAt + 12, {0xFF, 0xFF, 0xFF, 0xFF}, true},
      {"an image too large to allocate",
       picturesAt + 7,
       {0xFF, 0xFF, 0xFF, 0x7F, 0, 0xFF, 0xFF, 0xFF, 0x7F},
       true},
  };
  for (const auto& [what, at, value, pictureError] : forgeries) {
    Bytes bad = f.File;
    std::copy(value.begin(), value.end(), bad.begin() + static_cast<long>(at));
    OPattern q;
    EXPECT_EQ(ReadFailure(bad, q), pictureError ? "Error reading picture data" : "short read")
        << what;
    EXPECT_LE(q.States.Data().size(), size_t{100 * 100 + 202}) << what;
  }

  // The pictures of one file share one pixel limit.
  Bytes two(f.File.begin(), f.File.begin() + static_cast<long>(picturesAt));
  Put(two, {2});
  two.insert(two.end(), f.File.begin() + static_cast<long>(picturesAt) + 1, f.File.end());
  Put(two, {6, 1});
  PutSingle(two, 1.0f);
  PutCardinal(two, static_cast<uint32_t>(OPicture::MaxPixels / 2));
  Put(two, {0});
  PutCardinal(two, 2);
  Put(two, {0});
  OPattern q;
  EXPECT_EQ(ReadFailure(two, q), "Error reading picture data");
  EXPECT_EQ(q.Pictures->Get(1)->Width, 0) << "refused before its images were made";
}

TEST_F(PatternDocument, RoundTripsKeepEveryMachineType) {
  for (uint8_t type : {0, 1, 3, 4, 11, 12, 13}) {
    auto p = BarePattern(17, 11, type);
    const bool states = p->PatternMode == pmStates;
    AddSection(*p, {1, 1, 17, 11}, {1, 1, 17, 11});
    AddSection(*p, {1, 1, 4, 4}, {10, 5, 13, 8}, 1, 0, 3);
    AddRegion(AddPicture(*p, 30, 8), {1, 1, 8, 4}, {1, 1, 4, 8}, 0, 1, 1);
    p->MachineTable->SetUndefinedState(p->NoStates); // a fresh table's 0 reads back as 1
    for (int c = 1; c <= 17; ++c)
      p->Creel->SetYarnType(c, static_cast<uint8_t>(1 + c % 3));
    TGrid& primary = states ? p->States : p->MachineColours;
    for (int c = 1; c <= 17; ++c)
      for (int pl = 1; pl <= 11; ++pl)
        primary.Set(c, pl, static_cast<uint8_t>((c * 3 + pl) % ((states ? p->NoStates : 16) + 1)));
    p->Changed();
    const Bytes file = RecordBytes(*p);
    OPattern q;
    ASSERT_EQ(ReadFailure(file, q), "") << int(type);
    EXPECT_EQ(RecordBytes(q), file) << int(type);
    EXPECT_EQ((states ? q.States : q.MachineColours).Data(), primary.Data()) << int(type);
  }
}

TEST_F(PatternDocument, SavingRefusesWhatTheFileCannotHoldAndKeepsTheOldFile) {
  auto p = BarePattern(5, 5);
  p->FileName = Current.File("keep.pat");
  p->SaveToFile();
  const Bytes saved = FileBytes(p->FileName);

  const std::pair<const char*, void (*)(OPattern&)> rows[] = {
      {"A pattern can hold at most 255 pictures; this one has 256.",
       [](OPattern& q) {
         for (int i = 0; i < 256; ++i)
           AddPicture(q, 1, 1);
       }},
      {"A pattern can hold at most 65535 sections; this one has 65536.",
       [](OPattern& q) {
         for (int i = 0; i < 65536; ++i)
           AddSection(q, {}, {});
       }},
      {"The sections of a pattern may copy at most 16 times its cells; its sections copy 420 "
       "cells, more than 16 times its 25 cells.",
       [](OPattern& q) {
         for (int i = 0; i < 21; ++i)
           AddSection(q, {1, 1, 5, 4}, {1, 2, 5, 5});
       }},
  };
  for (const auto& [message, overfill] : rows) {
    auto q = BarePattern(5, 5);
    q->FileName = p->FileName;
    overfill(*q);
    EXPECT_EQ(Thrown<Exception>([&] { q->SaveToFile(); }), message);
    EXPECT_EQ(q->Modified(), 1);
    EXPECT_EQ(FileBytes(p->FileName), saved);
  }

  p->SetModified(1); // a failed write leaves the pattern unsaved
  SetWriteFailureForTesting(100);
  EXPECT_THROW(p->SaveToFile(), EWriteError);
  EXPECT_EQ(p->Modified(), 1);
}

TEST_F(PatternDocument, SectionsAreCopiedOnceAndBoundedWhereTheFileIsRead) {
  // A default pattern whose one section moves PLines 2-5 up by one: each copy moves them
  // again, so PLines 1 and 3 tell how often it was applied (once 1 1, twice 2 2).
  auto p = BarePattern(5, 5);
  AddSection(*p, {1, 2, 5, 5}, {1, 1, 5, 4});
  for (int pl = 1; pl <= 5; ++pl)
    for (int c = 1; c <= 5; ++c)
      p->States.Set(c, pl, static_cast<uint8_t>(pl % 2 + 1));
  WriteBytes(Current.File("DEFAULT.PAT"), RecordBytes(*p)); // as stored: not yet copied
  OPattern fresh;
  fresh.InitNew();
  EXPECT_EQ(std::pair(fresh.GetState(1, 1), fresh.GetState(1, 3)),
            std::pair(uint8_t{1}, uint8_t{1}));

  // 20 sections each copying 20 of the 25 cells copy 16 times the cells and are read; one
  // more is refused where the file is read, by name and count.
  auto q = BarePattern(5, 5);
  for (int i = 0; i < 20; ++i)
    AddSection(*q, {1, 1, 5, 4}, {1, 2, 5, 5});
  const Bytes file = RecordBytes(*q);
  const std::string path = Current.File("bomb.pat");
  WriteBytes(path, file);
  EXPECT_NO_THROW(OpenPatternFile(path));
  Bytes bomb = file;
  const size_t countAt = file.size() - 1 - 20 * OSection::RecordSize - 2;
  ASSERT_EQ(bomb[countAt], 20);
  bomb[countAt] = 21;
  bomb.insert(bomb.end() - 1, file.end() - 1 - OSection::RecordSize, file.end() - 1);
  WriteBytes(path, bomb);
  EXPECT_EQ(Thrown<Exception>([&] { OpenPatternFile(path); }),
            "Error reading pattern: " + path +
                ": its sections copy 420 cells, more than 16 times its 25 cells");
}

TEST_F(PatternDocument, ResizingKeepsCellsAndOutOfRangeWritesAreRefused) {
  auto p = BarePattern(100, 10);
  for (TGrid* grid : {&p->States, &p->MachineColours, &p->DesignColours})
    grid->Fill(1);
  for (int n : {120, 100, 120}) // shrinking then growing again clears the cells cut off
    p->SetNoControls(n);
  p->SetNoPLines(12);
  for (const TGrid* grid : {&p->States, &p->MachineColours, &p->DesignColours})
    for (int c = 1; c <= 120; ++c)
      for (int pl = 1; pl <= 12; ++pl)
        ASSERT_EQ(grid->Get(c, pl), c <= 100 && pl <= 10 ? 1 : 0) << c << "," << pl;
  // Cells outside the grid read 0 and take nothing; values above the counts are refused.
  p->SetState(121, 1, 1);
  p->SetState(0, 1, 1);
  EXPECT_EQ(p->GetState(121, 1) + p->GetState(0, 1) + p->GetState(1, 13), 0);
  p->SetState(1, 1, 3);
  p->SetMachineColour(1, 1, 17);
  p->SetDesignColour(1, 1, 16);
  EXPECT_EQ(std::tuple(p->GetState(1, 1), p->GetMachineColour(1, 1), p->GetDesignColour(1, 1)),
            std::tuple(1, 1, 16));

  p->SetMachineType(14); // unknown: nothing else changes
  EXPECT_EQ(std::tuple(p->Settings->MachineType, p->PatternMode, p->NoStates),
            std::tuple(14, pmStates, 2));
}

} // namespace
} // namespace quillane::test
