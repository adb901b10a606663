#include "InterchangeSupport.h"

#include <filesystem>

#include "app/Exceptions.h"
#include "model/Pattern.h"
#include "setup/Settings.h"

namespace quillane::test {
namespace {

class ExchangeFlow : public TFlowTest {
protected:
  Bytes SettingsRecord(const std::string& description, uint8_t machineType = 0) {
    OSettings s(nullptr);
    s.SetDescription(description);
    s.MachineType = machineType;
    return RecordBytes(s);
  }
};

TEST_F(ExchangeFlow, ExportWritesTheRecordAndFollowsTheChosenFolder) {
  OSettings s(nullptr);
  s.SetDescription("export me");
  UI.SaveDialog.FileName = "/elsewhere/my.design.SET";
  const std::string target = Start.File("out.SET");
  UI.FileAnswers.push_back(target);
  s.Export();

  EXPECT_EQ(UI.DialogsRun.at(0).FileName, "my") << "proposed name drops folder and every extension";
  EXPECT_EQ(FileBytes(target), SettingsRecord("export me"));
  EXPECT_EQ(g.CurrentDir, Start.Path);
  EXPECT_EQ(UI.Folder, Start.Path) << "the status bar shows the new folder";
}

TEST_F(ExchangeFlow, FailedExportLeavesThePreviousFileWhole) {
  const std::string target = Current.File("keep.SET");
  const Bytes before = SettingsRecord("previous");
  WriteBytes(target, before);
  OSettings s(nullptr);
  s.SetDescription("new");
  SetWriteFailureForTesting(20);
  UI.FileAnswers.push_back(target);
  s.Export();
  EXPECT_EQ(UI.Errors(), std::vector<std::string>{"Error writing settings file: " + target});
  EXPECT_EQ(FileBytes(target), before);
  EXPECT_EQ(FilesIn(Current.Path).size(), 1u);
}

TEST_F(ExchangeFlow, ImportFailuresChangeNothingAndAGoodFileIsAssigned) {
  OPattern p;
  p.Settings->SetDescription("mine");
  // Another kind under a .SET name, a short file, an empty file.
  Bytes palette = SettingsRecord("x");
  palette[0] = 4;
  Bytes shortFile = SettingsRecord("cut");
  shortFile.resize(60);
  const std::string path = Current.File("in.SET");
  for (const Bytes& content : {palette, shortFile, Bytes{}}) {
    WriteBytes(path, content);
    UI.Shown.clear();
    UI.FileAnswers.push_back(path);
    p.Settings->Import();
    EXPECT_EQ(UI.Errors(), std::vector<std::string>{"Error reading settings file: " + path});
    EXPECT_EQ(p.Settings->GetDescription(), "mine");
  }
  OSettings incoming(nullptr);
  incoming.NoControls = 33;
  incoming.NoPLines = 44;
  incoming.SetDescription("imported");
  WriteBytes(path, RecordBytes(incoming));
  UI.FileAnswers.push_back(path);
  p.Settings->Import();
  EXPECT_EQ(p.Settings->GetDescription(), "imported");
  EXPECT_EQ(p.NoControls, 33) << "assigning the settings resizes the pattern";
  EXPECT_EQ(p.NoPLines, 44);
}

class DefaultFiles : public ExchangeFlow {
protected:
  std::string LoadedDescription() {
    OSettings s(nullptr);
    s.SetDescription("untouched");
    return s.LoadDefault() ? s.GetDescription() : "none";
  }
};

TEST_F(DefaultFiles, LookupOrderAndFallbacks) {
  WriteBytes(Start.File("DEFAULT.SET"), SettingsRecord("start"));
  EXPECT_EQ(LoadedDescription(), "start");

  WriteBytes(Current.File("DEFAULT.set"), SettingsRecord("current lower"));
  EXPECT_EQ(LoadedDescription(), "current lower") << "the extension in either case";
  WriteBytes(Current.File("DEFAULT.SET"), SettingsRecord("current"));
  EXPECT_EQ(LoadedDescription(), "current") << "the exact name comes first";

  Bytes corrupt = SettingsRecord("corrupt", 9);
  corrupt.resize(100);
  WriteBytes(Current.File("DEFAULT.SET"), corrupt);
  WriteBytes(Current.File("DEFAULT.set"), corrupt);
  EXPECT_EQ(LoadedDescription(), "start");
  WriteBytes(Start.File("DEFAULT.SET"), corrupt);
  EXPECT_EQ(LoadedDescription(), "none");
  EXPECT_TRUE(UI.Shown.empty()) << "default files fail silently";
}

} // namespace
} // namespace quillane::test
