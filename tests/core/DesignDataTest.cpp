#include "TestSupport.h"

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

  ASSERT_EQ(UI.DialogsRun.size(), 1u);
  const TFileDialog& d = UI.DialogsRun[0];
  EXPECT_EQ(d.DefaultExt, "SET");
  EXPECT_EQ(d.FileName, "my") << "proposed name drops folder and every extension";
  EXPECT_EQ(d.Filters, (std::vector<TFileFilter>{{"Settings files (*.SET)", {"*.SET", "*.set"}}}));
  EXPECT_EQ(d.InitialDir, Current.Path);
  EXPECT_EQ(d.Title, "Export Settings");
  EXPECT_EQ(d.Options, ofOverwritePrompt | ofHideReadOnly | ofShowHelp | ofPathMustExist);
  EXPECT_TRUE(UI.Shown.empty());
  EXPECT_EQ(FileBytes(target), SettingsRecord("export me"));
  EXPECT_EQ(g.CurrentDir, Start.Path);
  EXPECT_EQ(UI.Folder, Start.Path) << "the status bar shows the new folder";
  UI.FileAnswers.push_back(std::nullopt);
  s.Export();
  EXPECT_EQ(UI.DialogsRun.at(1).FileName, "out") << "the shared dialog keeps its last name";
}

TEST_F(ExchangeFlow, CancelledDialogsChangeNothing) {
  OSettings s(nullptr);
  s.SetDescription("mine");
  UI.FileAnswers.push_back(std::nullopt);
  s.Export();
  UI.FileAnswers.push_back(std::nullopt);
  s.Import();
  EXPECT_EQ(UI.DialogsRun.size(), 2u);
  EXPECT_TRUE(UI.Shown.empty());
  EXPECT_EQ(g.CurrentDir, Current.Path);
  EXPECT_EQ(s.GetDescription(), "mine");
  EXPECT_TRUE(std::filesystem::is_empty(Current.Path));
}

TEST_F(ExchangeFlow, ExportWhereNoFileCanBeCreatedReportsTheCreatingError) {
  WriteBytes(Current.File("plain"), {1});
  for (const std::string& target :
       {Current.File("no/such/folder/x.SET"), Current.File("plain/x.SET")}) {
    OSettings s(nullptr);
    UI.Shown.clear();
    UI.FileAnswers.push_back(target);
    s.Export();
    EXPECT_EQ(UI.Errors(), std::vector<std::string>{"Error creating settings file: " + target});
    EXPECT_FALSE(FileExists(target));
  }
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
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Current.Path),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(ExchangeFlow, ImportReadsIntoATemporaryAndAssigns) {
  OPattern p;
  p.SetNoControls(10);
  p.SetNoPLines(10);
  const std::string source = Current.File("in.SET");
  OSettings incoming(nullptr);
  incoming.NoControls = 33;
  incoming.NoPLines = 44;
  incoming.MachineType = 4;
  incoming.SetDescription("imported");
  WriteBytes(source, RecordBytes(incoming));

  UI.FileAnswers.push_back(source);
  p.Settings->Import();
  const TFileDialog& d = UI.DialogsRun.at(0);
  EXPECT_EQ(d.Title, "Import Settings");
  EXPECT_EQ(d.Options, ofReadOnly | ofShowHelp | ofFileMustExist);
  EXPECT_TRUE(UI.Shown.empty());
  EXPECT_EQ(p.Settings->GetDescription(), "imported");
  EXPECT_EQ(p.NoControls, 33) << "assigning the settings resizes the pattern";
  EXPECT_EQ(p.NoPLines, 44);
  EXPECT_EQ(p.NoStates, 3);
}

TEST_F(ExchangeFlow, ImportFailuresReportAndLeaveTheTargetAlone) {
  OSettings s(nullptr);
  s.SetDescription("mine");

  // Another kind under a .SET name, a short file, an empty file.
  Bytes palette = SettingsRecord("x");
  palette[0] = 4;
  Bytes shortFile = SettingsRecord("cut");
  shortFile.resize(60);
  for (const Bytes& content : {palette, shortFile, Bytes{}}) {
    const std::string path = Current.File("bad.SET");
    WriteBytes(path, content);
    UI.Shown.clear();
    UI.FileAnswers.push_back(path);
    s.Import();
    EXPECT_EQ(UI.Errors(), std::vector<std::string>{"Error reading settings file: " + path});
    EXPECT_EQ(s.GetDescription(), "mine");
  }

  // The file disappeared between the dialog and the open.
  const std::string gone = Current.File("gone.SET");
  UI.Shown.clear();
  UI.FileAnswers.push_back(gone);
  s.Import();
  EXPECT_EQ(UI.Errors(), std::vector<std::string>{"Error, settings file not found " + gone});
}

// Default files: current design directory first, then the start directory.
class DefaultFiles : public ExchangeFlow {
protected:
  std::string LoadedDescription() {
    OSettings s(nullptr);
    s.SetDescription("untouched");
    return s.LoadDefault() ? s.GetDescription() : "none";
  }
};

TEST_F(DefaultFiles, LookupOrderAndFallbacks) {
  EXPECT_EQ(LoadedDescription(), "none") << "no file anywhere";
  EXPECT_TRUE(UI.Shown.empty());

  WriteBytes(Start.File("DEFAULT.SET"), SettingsRecord("start"));
  EXPECT_EQ(LoadedDescription(), "start");

  WriteBytes(Current.File("DEFAULT.set"), SettingsRecord("current lower"));
  EXPECT_EQ(LoadedDescription(), "current lower") << "the extension in either case";

  WriteBytes(Current.File("DEFAULT.SET"), SettingsRecord("current"));
  EXPECT_EQ(LoadedDescription(), "current") << "the exact name comes first";

  // A corrupt file in the current folder falls through to the next candidates.
  Bytes corrupt = SettingsRecord("corrupt", 9);
  corrupt.resize(100);
  WriteBytes(Current.File("DEFAULT.SET"), corrupt);
  WriteBytes(Current.File("DEFAULT.set"), corrupt);
  EXPECT_EQ(LoadedDescription(), "start");
  WriteBytes(Start.File("DEFAULT.SET"), corrupt);
  EXPECT_EQ(LoadedDescription(), "none");
  EXPECT_TRUE(UI.Shown.empty()) << "default files fail silently";
}

TEST_F(DefaultFiles, TruncatedDefaultLeavesNoStrayFields) {
  OSettings full(nullptr);
  full.ReversePattern = 1;
  full.MachineType = 4;
  Bytes cut = RecordBytes(full);
  cut.resize(20); // past ReversePattern, short of the rest
  WriteBytes(Current.File("DEFAULT.SET"), cut);

  OPattern p;
  p.SetNoControls(100);
  p.SetNoPLines(100);
  p.Settings->SetDefaults();
  EXPECT_EQ(p.Settings->ReversePattern, 0);
  EXPECT_EQ(p.Settings->MachineType, 0);
  EXPECT_EQ(p.Settings->GetDescription(), "Default ControlSetup");
}

} // namespace
} // namespace quillane::test
