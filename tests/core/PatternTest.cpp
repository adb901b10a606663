#include "PatternSupport.h"

#include <filesystem>
#include <functional>

#include "app/Exceptions.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane::test {
namespace {

class PatternDocument : public TFlowTest {};

void Append(Bytes& to, const Bytes& from) {
  to.insert(to.end(), from.begin(), from.end());
}

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
  // A fresh table's 0 reads back as 1; an edited pattern has a real state here.
  p.MachineTable->SetUndefinedState(1);
  p.Changed(); // copies control 1 to 3, mirrored: (3, 1) = 2 and (3, 2) = 1

  Bytes& e = f.File;
  Put(e, {5, 2});
  for (const ODesignData* part : std::initializer_list<const ODesignData*>{
           p.Settings.get(), p.Palette.get(), p.MachineTable.get(), p.DesignTable.get(),
           p.Creel.get()})
    Append(e, RecordBytes(*part));
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

TEST_F(PatternDocument, ANewPatternWithoutDefaultFiles) {
  OPattern p;
  EXPECT_EQ(p.FileName, "Pattern" + std::to_string(OPattern::PatternsCreated()) + ".pat");
  EXPECT_TRUE(p.NoControls == 0 && p.Sections->Count() == 0 && p.Pictures->Count() == 0);
  p.InitNew();

  EXPECT_EQ((std::vector<int>{p.NoControls, p.NoPLines, p.NoColours, p.NoYarnTypes, p.NoStates,
                              p.MachineType, p.PatternMode, p.ControlDataFormat, p.Modified()}),
            (std::vector<int>{100, 100, 16, 3, 2, 0, pmStates, 1, 1}));
  EXPECT_EQ(p.StateNames, (std::array<std::string, 5>{"", "High", "Low", "", ""}));
  EXPECT_EQ(p.PictureCounter + p.RegionCounter + p.SectionCounter + p.WindowCounter, 0);
  EXPECT_EQ((std::vector<int>{p.Settings->NoControls, p.Settings->NoPLines, p.Creel->NoControls(),
                              p.Creel->NoYarnTypes(), p.Palette->NoColours(),
                              p.MachineTable->NoColours()}),
            (std::vector<int>{100, 100, 100, 3, 16, 16}));
  EXPECT_FALSE(p.MachineTable->NeedsValidating() || p.DesignTable->NeedsValidating() ||
               p.Creel->NeedsValidating());
  for (const TGrid* grid : {&p.States, &p.MachineColours, &p.DesignColours}) {
    EXPECT_EQ(grid->Controls() * grid->PLines(), 100 * 100);
    EXPECT_EQ(std::count(grid->Data().begin(), grid->Data().end(), 0),
              static_cast<long>(grid->Data().size()));
  }
  const TRect whole{1, 1, 100, 100};
  ASSERT_EQ(
      std::tuple(p.Sections->Count(), p.Pictures->Count(), p.Pictures->Get(0)->Regions.Count()),
      std::tuple(1, 1, 1));
  const OSection& s = *p.Sections->Get(0);
  EXPECT_TRUE(s.SourceArea == whole && s.TargetArea == whole &&
              s.HFlip + s.VFlip + s.Rotation == 0);
  const OPicture& picture = *p.Pictures->Get(0);
  EXPECT_EQ(std::tuple(picture.MachineImage.Width(), picture.Height, picture.AspectRatio),
            std::tuple(100, 100, 1.0f));
  const ORegion& region = *picture.Regions.Get(0);
  EXPECT_TRUE(region.PatternArea == whole && region.PictureArea == whole);
  EXPECT_EQ(region.Picture, &picture);
  EXPECT_TRUE(UI.Shown.empty());

  // Element names carry the program-wide pattern number and a counter per kind.
  const std::string n = std::to_string(OPattern::PatternsCreated());
  using Names = std::vector<std::string>; // braces: called in order
  EXPECT_EQ((Names{p.NewRegionName(), p.NewRegionName(), p.NewPictureName(), p.NewSectionName(),
                   p.NewWindowName()}),
            (Names{"Region" + n + "-1", "Region" + n + "-2", "Picture" + n + "-1",
                   "Section" + n + "-1", "Window" + n + "-1"}));
}

TEST_F(PatternDocument, ANewPatternCopiesACompleteDefaultFileOnly) {
  TSmallFile f = SmallFile();
  WriteBytes(Current.File("DEFAULT.PAT"), f.File);
  const int32_t before = OPattern::PatternsCreated();
  OPattern p;
  p.InitNew();
  EXPECT_EQ(OPattern::PatternsCreated(), before + 1) << "the trial read is not a pattern";
  EXPECT_EQ(p.FileName, "Pattern" + std::to_string(before + 1) + ".pat");
  EXPECT_EQ(RecordBytes(p), f.File);
  EXPECT_EQ(p.Modified(), 1);

  // The trial read before adopting a default file shows no message of its own.
  AddSection(*f.Pattern, {1, 1, 0, 2}, {1, 1, 3, 2});
  WriteBytes(Current.File("DEFAULT.PAT"), RecordBytes(*f.Pattern));
  UI.Shown.clear();
  OPattern invalid;
  invalid.InitNew();
  EXPECT_EQ(invalid.Sections->Count(), 4);
  EXPECT_EQ(UI.Shown.size(), 2u) << "after reading and after InitNew";

  // A default file cut short anywhere leaves the built-in pattern, without extra elements.
  for (size_t cut : {f.File.size() - 1, f.SectionCountAt + 40, f.SectionCountAt - 1}) {
    WriteBytes(Current.File("DEFAULT.PAT"), Bytes(f.File.begin(), f.File.begin() + cut));
    OPattern q;
    q.InitNew();
    EXPECT_EQ((std::vector<int>{q.NoControls, q.Sections->Count(), q.Pictures->Count()}),
              (std::vector<int>{100, 1, 1}))
        << cut;
  }
}

TEST_F(PatternDocument, FileIsWrittenFieldByFieldAndReadBack) {
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
    EXPECT_EQ(q.Sections->Count(), 3);
    EXPECT_EQ(q.GetMachineColour(2, 1), q.MachineTable->GetColour(1, 2)) << "derived after reading";
    EXPECT_EQ(q.Pictures->Get(0)->Regions.Get(0)->Picture, q.Pictures->Get(0));
    EXPECT_EQ(q.Modified(), 1);
  }

  // A wrong kind or version changes nothing.
  const std::pair<int, int> headers[] = {{1, 3}, {1, 0}, {0, 4}};
  for (auto [at, value] : headers) {
    Bytes bad = f.File;
    bad[static_cast<size_t>(at)] = static_cast<uint8_t>(value);
    OPattern q;
    OReader r(bad);
    try {
      q.ReadFromStream(r);
      ADD_FAILURE() << at << " " << value;
    } catch (const EDesignData& e) {
      EXPECT_STREQ(e.what(), "Error reading pattern data");
    }
    EXPECT_EQ(q.NoControls + q.Settings->NoControls, 0);
  }
}

TEST_F(PatternDocument, RoundTripsKeepEveryMachineType) {
  for (uint8_t type : {0, 1, 3, 4, 11, 12, 13}) {
    auto p = BarePattern(17, 11, type);
    const bool states = p->PatternMode == pmStates;
    AddSection(*p, {1, 1, 17, 11}, {1, 1, 17, 11});
    AddSection(*p, {1, 1, 4, 4}, {10, 5, 13, 8}, 1, 0, 3);
    OPicture& one = AddPicture(*p, 17, 11);
    AddRegion(one, {1, 1, 17, 11}, {1, 1, 17, 11});
    OPicture& two = AddPicture(*p, 30, 8);
    AddRegion(two, {1, 1, 8, 4}, {1, 1, 4, 8}, 0, 1, 1).ImportFlag = 1;
    AddRegion(two, {9, 1, 17, 8}, {21, 1, 29, 8}, 1, 1, 2);
    p->Settings->PLineSpacing = 3.0f;
    p->Settings->NeedleSpacing = 2.0f;
    p->Palette->SetColour(5, 0x00123456);
    p->MachineTable->SetUndefinedState(p->NoStates);
    for (int c = 1; c <= 17; ++c)
      p->Creel->SetYarnType(c, static_cast<uint8_t>(1 + c % 3));
    TGrid& primary = states ? p->States : p->MachineColours;
    for (int c = 1; c <= 17; ++c)
      for (int pl = 1; pl <= 11; ++pl)
        primary.Set(c, pl, static_cast<uint8_t>((c * 3 + pl) % ((states ? p->NoStates : 16) + 1)));
    p->Changed();
    EXPECT_EQ(two.AspectRatio, 1.5f);

    const Bytes file = RecordBytes(*p);
    OPattern q;
    OReader r(file);
    q.ReadFromStream(r);
    EXPECT_EQ(RecordBytes(q), file) << int(type);
    EXPECT_EQ(q.PatternMode, p->PatternMode);
    EXPECT_EQ((states ? q.States : q.MachineColours).Data(), primary.Data()) << int(type);
    if (states) {
      EXPECT_EQ(q.GetMachineColour(2, 5),
                q.MachineTable->GetColour(q.Creel->GetYarnType(2), q.GetState(2, 5)));
    }
    EXPECT_EQ(std::pair(q.Pictures->Get(1)->AspectRatio, q.Pictures->Get(1)->Regions.Count()),
              std::pair(1.5f, 2));
    EXPECT_TRUE(UI.Shown.empty());
  }
}

TEST_F(PatternDocument, HostileFilesFailBeforeAllocating) {
  TSmallFile f = SmallFile();
  const Bytes& good = f.File;
  const size_t cellsAt = f.SectionCountAt - 6, picturesAt = f.SectionCountAt + 2 + 3 * 37;
  struct TForgery {
    const char* What;
    size_t At;
    Bytes Value;
    bool PictureError; // "Error reading picture data"; else a short read
  };
  const TForgery forgeries[] = {
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
  for (const TForgery& forged : forgeries) {
    Bytes bad = good;
    std::copy(forged.Value.begin(), forged.Value.end(), bad.begin() + static_cast<long>(forged.At));
    OPattern q;
    OReader r(bad);
    if (forged.PictureError) {
      try {
        q.ReadFromStream(r);
        ADD_FAILURE() << forged.What;
      } catch (const EDesignData& e) {
        EXPECT_STREQ(e.what(), "Error reading picture data") << forged.What;
      }
    } else {
      EXPECT_THROW(q.ReadFromStream(r), EReadError) << forged.What;
    }
    EXPECT_LE(q.States.Data().size(), size_t{100 * 100 + 202}) << forged.What;
  }

  // The pictures of one file share one pixel limit.
  Bytes two(good.begin(), good.begin() + static_cast<long>(picturesAt));
  Put(two, {2});
  Append(two, Bytes(good.begin() + static_cast<long>(picturesAt) + 1, good.end()));
  Put(two, {6, 1});
  PutSingle(two, 1.0f);
  PutCardinal(two, static_cast<uint32_t>(OPicture::MaxPixels / 2));
  Put(two, {0});
  PutCardinal(two, 2);
  Put(two, {0});
  OPattern q;
  OReader r(two);
  EXPECT_THROW(q.ReadFromStream(r), EDesignData);
  EXPECT_EQ(q.Pictures->Get(1)->Width, 0) << "refused before its images were made";
}

TEST_F(PatternDocument, SavingRefusesWhatTheFileCannotHoldAndKeepsTheOldFile) {
  auto p = BarePattern(5, 5);
  p->FileName = Current.File("keep.pat");
  p->SaveToFile();
  const Bytes saved = FileBytes(p->FileName);
  EXPECT_TRUE(p->Modified() == 0 && saved == RecordBytes(*p));

  struct TRow {
    const char* Message;
    std::function<void(OPattern&)> Overfill;
  };
  const TRow rows[] = {
      {"A pattern can hold at most 255 pictures; this one has 256.",
       [](OPattern& q) {
         for (int i = 0; i < 256; ++i)
           AddPicture(q, 1, 1);
       }},
      {"A picture can hold at most 255 regions; one has 256.",
       [](OPattern& q) {
         OPicture& picture = AddPicture(q, 1, 1);
         for (int i = 0; i < 256; ++i)
           AddRegion(picture, {}, {});
       }},
      {"A pattern can hold at most 65535 sections; this one has 65536.",
       [](OPattern& q) {
         for (int i = 0; i < 65536; ++i)
           AddSection(q, {}, {});
       }},
  };
  for (const TRow& row : rows) {
    auto q = BarePattern(5, 5);
    q->FileName = p->FileName;
    row.Overfill(*q);
    try {
      q->SaveToFile();
      ADD_FAILURE() << row.Message;
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), row.Message);
    }
    EXPECT_EQ(q->Modified(), 1);
    EXPECT_EQ(FileBytes(p->FileName), saved);
  }

  // A write that fails half way keeps the previous file too.
  p->SetNoPLines(6);
  p->SetModified(1);
  SetWriteFailureForTesting(100);
  EXPECT_THROW(p->SaveToFile(), EWriteError);
  EXPECT_EQ(p->Modified(), 1);
  EXPECT_EQ(FileBytes(p->FileName), saved);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Current.Path), {}), 1)
      << "no temporary file left behind";
}

TEST_F(PatternDocument, DimensionsAndMachineTypes) {
  auto p = BarePattern(100, 10);
  for (TGrid* grid : {&p->States, &p->MachineColours, &p->DesignColours})
    grid->Fill(1);
  p->SetNoControls(120);
  p->SetNoControls(100);
  p->SetNoControls(120);
  p->SetNoPLines(12);
  for (const TGrid* grid : {&p->States, &p->MachineColours, &p->DesignColours})
    for (int c = 1; c <= 120; ++c)
      for (int pl = 1; pl <= 12; ++pl)
        ASSERT_EQ(grid->Get(c, pl), c <= 100 && pl <= 10 ? 1 : 0) << c << "," << pl;
  EXPECT_EQ(
      (std::vector<int>{p->Settings->NoControls, p->Settings->NoPLines, p->Creel->NoControls()}),
      (std::vector<int>{120, 12, 120}));

  // Cells outside the grid read 0 and take nothing; values above the counts are refused.
  p->SetState(121, 1, 1);
  p->SetState(0, 1, 1);
  EXPECT_EQ(p->GetState(121, 1) + p->GetState(0, 1) + p->GetState(1, 13), 0);
  p->SetState(1, 1, 3);
  p->SetMachineColour(1, 1, 17);
  p->SetDesignColour(1, 1, 16);
  EXPECT_EQ(
      (std::vector<int>{p->GetState(1, 1), p->GetMachineColour(1, 1), p->GetDesignColour(1, 1)}),
      (std::vector<int>{1, 1, 16}));

  p->SetMachineType(3);
  EXPECT_EQ((std::vector<int>{p->NoStates, p->ControlDataFormat, p->MachineTable->NoStates()}),
            (std::vector<int>{3, 3, 3}));
  EXPECT_EQ(p->StateNames, (std::array<std::string, 5>{"", "High", "Medium", "Low", ""}));
  p->SetMachineType(0);
  EXPECT_EQ(p->NoStates, 2);
  EXPECT_EQ(p->GetStateName(3), "Low") << "names a type does not set stay";
  p->SetMachineType(12);
  EXPECT_EQ(p->PatternMode, pmColours);
  EXPECT_EQ(p->StateNames, (std::array<std::string, 5>{"", "Color", "Low", "Low", ""}));
  p->SetMachineType(14);
  EXPECT_EQ(
      (std::vector<int>{p->MachineType, p->Settings->MachineType, p->PatternMode, p->NoStates}),
      (std::vector<int>{14, 14, pmColours, 1}))
      << "an unknown type changes nothing else";
}

} // namespace
} // namespace quillane::test
