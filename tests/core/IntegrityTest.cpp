// Damaged files refused whole, file sets replaced whole, patterns handed out only when sound.
#include "InterchangeSupport.h"

#include "app/Exceptions.h"
#include "elements/Picture.h"
#include "files/Colors.h"
#include "files/Export.h"
#include "files/TuftFile.h"
#include "files/TuftImport.h"
#include "setup/DesignTable.h"
#include "wizards/Wizards.h"

namespace quillane::test {
namespace {

using Names = std::vector<std::string>;

class Integrity : public TFlowTest {};

TEST_F(Integrity, FilesWithBytesLeftOverAreRefused) {
  auto p = MakePattern(0, 60, 40, 3);
  const Bytes whole = RecordBytes(*p);
  const TControlFileSet v1 = BuildControlFileSet(*p);
  const TControlFileSet v2 = BuildControlFileSet(*MakePattern(11, 10, 3, 3));
  Bytes extra = whole;
  extra.push_back(0);
  // Opening one is refused (see the damaged pattern files); nor is one taken as the default
  // pattern, and the user hears why.
  WriteBytes(Current.File("DEFAULT.PAT"), extra);
  OPattern fresh;
  fresh.InitNew();
  EXPECT_EQ(fresh.NoControls, 100);
  EXPECT_EQ(UI.Status, "Damaged default file ignored: " + Current.File("DEFAULT.PAT"));

  // Every exchange kind, through Import and as a DEFAULT file.
  for (ODesignData* object : std::initializer_list<ODesignData*>{
           p->Settings.get(), p->Palette.get(), p->MachineTable.get(), p->DesignTable.get(),
           p->Creel.get(), p->Pictures->Get(0), p->Pictures->Get(0)->Regions.Get(0),
           p->Sections->Get(0)}) {
    const std::string ext = object->GetExtension();
    const Bytes before = RecordBytes(*object);
    Bytes file = before;
    file.push_back(0);
    const std::string name = Current.File("X." + ext);
    WriteBytes(name, file);
    UI.Shown.clear();
    UI.FileAnswers.push_back(name);
    object->Import();
    EXPECT_EQ(UI.Errors(), Names{KindTexts(object->Kind()).ImportReadError + name});
    EXPECT_EQ(RecordBytes(*object), before) << ext;
    WriteBytes(Current.File("DEFAULT." + ext), file);
    EXPECT_FALSE(object->LoadDefault()) << ext;
  }

  // The controller's files end with their last line, plane or field.
  const std::pair<Bytes, std::function<void(const Bytes&)>> controller[] = {
      {v1.Control, [](const Bytes& b) { TTuftFile1().LoadFromBytes(b); }},
      {v2.Control, [](const Bytes& b) { TTuftFile2().LoadFromBytes(b); }},
      {v1.Option, [](const Bytes& b) { OSettings(nullptr).ReadOptionBytes(b); }},
      {*v1.Colours, [](const Bytes& b) { TColorsFile(60).LoadFromBytes(b); }},
  };
  for (const auto& [bytes, read] : controller) {
    EXPECT_NO_THROW(read(bytes));
    Bytes longer = bytes;
    longer.push_back(0);
    EXPECT_THROW(read(longer), std::exception) << bytes.size();
  }
}

TEST_F(Integrity, ExportReplacesTheWholeFileSetOrNothing) {
  auto p = MakePattern(0, 10, 3, 3);
  const std::string tuf = Current.File("RUG1.TUF");
  UI.FileAnswers.push_back(tuf);
  ASSERT_TRUE(ExportControlFiles(*p));
  const Names set = {"RUG1.CLR", "RUG1.DAT", "RUG1.TUF"};
  std::vector<Bytes> old;
  for (const std::string& name : set)
    old.push_back(FileBytes(Current.File(name)));
  SetCells(*p, {"1212121212", "2222222222", "1111111111"});
  p->Settings->FileVersion = 3;
  p->Palette->SetColour(1, 0x123456);
  // The option file fails, then the colour file: each after the files before it were written.
  for (size_t failAfter : {old[2].size(), p->Settings->OptionFileBytes().size()}) {
    SetWriteFailureForTesting(failAfter);
    UI.FileAnswers.push_back(tuf);
    EXPECT_FALSE(ExportControlFiles(*p));
    SetWriteFailureForTesting(std::nullopt);
    EXPECT_EQ(FilesIn(Current.Path), set) << "no temporary left behind";
    for (size_t i = 0; i < set.size(); ++i)
      EXPECT_EQ(FileBytes(Current.File(set[i])), old[i]) << set[i];
  }
  // The base name's limit counts characters, not bytes.
  const std::string eight = "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4\xC3\xB6";
  for (const auto& [name, written] : {std::pair{eight, true}, {eight + "x", false}}) {
    UI.FileAnswers.push_back(Current.File(name + ".TUF"));
    EXPECT_EQ(ExportControlFiles(*p), written) << name;
  }
}

TEST_F(Integrity, VariantTwoLinesMayStopShortOfTheLastControl) {
  // 100 controls x 1000 PLines, each line a single run of one cell of yarn 1.
  Bytes b = {0, 2, 100, 0, 0xE8, 0x03, 0, 12, 0, 1};
  b.resize(74 + 100, 0);
  for (int p = 0; p < 1000; ++p)
    Put(b, {1, 0, 0x00});
  WriteBytes(Current.File("B.DAT"), {7});
  auto p = NewPatternFromTuftBytes(Current.File("B.TUF"), b);
  EXPECT_EQ((std::vector<int>{p->NoControls, p->NoPLines, p->GetMachineColour(1, 1000),
                              p->GetMachineColour(2, 1000)}),
            (std::vector<int>{100, 1000, 1, 0}));
}

} // namespace
} // namespace quillane::test
