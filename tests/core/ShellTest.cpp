// The pattern tree and the main window's tabs, driven without a window.
#include "InterchangeSupport.h"
#include "TestSupport.h"

#include <algorithm>
#include <map>
#include <optional>

#include "elements/Picture.h"
#include "elements/Region.h"
#include "elements/Section.h"
#include "model/Pattern.h"
#include "production/ColourwaysFile.h"
#include "shell/MainCommands.h"
#include "shell/PatternTree.h"
#include "shell/Preferences.h"
#include "shell/RecentPatterns.h"
#include "shell/Recovery.h"
#include "shell/Tabs.h"
#include "wizards/Wizards.h"

namespace quillane::test {
namespace {

struct TEditor : OEditor {
  std::vector<std::string>* Log;
  const ODesignUI* Node;
  bool Stays = false; // holds changes it could not write back
  TEditor(std::vector<std::string>* log, const ODesignUI* node) : Log(log), Node(node) {}
  void Refresh() override { Log->push_back("refresh " + Node->Name()); }
  bool QueryClose() override {
    Log->push_back("ask " + Node->Name());
    return !Stays;
  }
  void Destroy() override {
    Log->push_back("destroy " + Node->Name());
    delete this;
  }
};

// The tree window and tab bar as a test sees them: node captions under their parents.
struct TShell : OTreeView, OTabBar {
  std::map<ODesignUI*, ODesignUI*> Parents;
  std::vector<ODesignUI*> Order;
  std::vector<std::string> Log;
  std::vector<std::string> TabCaptions;
  OTabRegistry Tabs{this};
  TEditor TreeForm{&Log, nullptr};
  OPatternTree Tree{*this, Tabs};
  OScriptedPlatform UI;
  OPlatformScope Scope{UI};

  TShell() { Tabs.AddTree(TreeForm); }
  void AddNode(ODesignUI& node, ODesignUI* parent) override { InsertNode(node, parent, -1); }
  void InsertNode(ODesignUI& node, ODesignUI* parent, int index) override {
    auto at = Order.end();
    for (auto it = Order.begin(); it != Order.end() && at == Order.end(); ++it)
      if (Parents.at(*it) == parent && index-- == 0)
        at = it;
    Parents[&node] = parent;
    Order.insert(at, &node);
  }
  void DeleteNode(ODesignUI& node) override {
    for (auto& [child, parent] : Parents)
      EXPECT_NE(parent, &node) << "a node went before the nodes below it";
    Parents.erase(&node);
    std::erase(Order, &node);
  }
  void SetNodeText(ODesignUI&, const std::string&) override {}
  void ExpandAll() override {}
  std::vector<std::string> Watched;
  void WatchFiles(const std::vector<std::string>& files) override { Watched = files; }
  TEditorWindow CreateEditor(ODesignUI& node, TEditorKind) override {
    return TEditorWindow(new TEditor(&Log, &node));
  }
  void InsertTab(size_t index, const std::string& caption) override {
    TabCaptions.insert(TabCaptions.begin() + static_cast<std::ptrdiff_t>(index), caption);
  }
  void RemoveTab(size_t index) override {
    TabCaptions.erase(TabCaptions.begin() + static_cast<std::ptrdiff_t>(index));
  }
  void SelectTab(size_t) override {}

  // "  Name" per node, indented by depth, in tree order.
  std::string Outline(ODesignUI* parent = nullptr, int depth = 0) const {
    std::string text;
    for (ODesignUI* node : Order)
      if (Parents.at(node) == parent)
        text += std::string(depth * 2, ' ') + node->Name() + "\n" + Outline(node, depth + 1);
    return text;
  }
  ODesignUI& Node(const std::string& name) const {
    for (ODesignUI* node : Order)
      if (node->Name() == name)
        return *node;
    throw std::runtime_error("no node " + name);
  }
  // Selects the node of this name and runs a tree command on it.
  void Run(const std::string& name, void (OPatternTree::*command)()) {
    Tree.Select(&Node(name));
    (Tree.*command)();
  }
  OPattern& AddNew() {
    auto pattern = std::make_unique<OPattern>();
    pattern->InitNew();
    return *Tree.AddPattern(std::move(pattern)).Pattern;
  }
};

std::string N(const std::string& kind, int count, int element) {
  return kind + std::to_string(count) + "-" + std::to_string(element);
}

TEST(PatternTree, BuildsTheBranchOfAWizardPatternInOrderWithTheImportedRegionMarked) {
  TShell shell;
  auto pattern = GenerateWizard(TPlainWizard{20, 10, TWizardLayout::Sections2h});
  const int n = OPattern::PatternsCreated();
  pattern->FileName = "/designs/my.design.pat";
  shell.Tree.AddPattern(std::move(pattern));
  const std::string c = std::to_string(n);
  EXPECT_EQ(shell.Outline(), "Patterns\n  my\n    ControlSetup" + c + "\n    PatternSetup" + c +
                                 "\n    Pictures\n      " + N("Picture", n, 1) +
                                 "\n        Regions\n          " + N("Region", n, 1) +
                                 "\n          " + N("Region", n, 2) + "\n        Windows\n" +
                                 "          " + N("Window", n, 1) + "\n    Sections\n      " +
                                 N("Section", n, 1) + "\n      " + N("Section", n, 2) + "\n");
  // The region a bitmap goes into stands out in the tree.
  EXPECT_TRUE(shell.Node(N("Region", n, 2)).StandsOut());
  EXPECT_FALSE(shell.Node(N("Region", n, 1)).StandsOut());
}

TEST(PatternTree, ToolbarFollowsTheSelectedNodeAndTheModifiedFlag) {
  TShell shell;
  auto buttons = [&](ODesignUI& node) {
    shell.Tree.Select(&node);
    TTreeButtons b = shell.Tree.Buttons();
    return std::string(b.New ? "N" : "") + (b.Open ? "O" : "") + (b.Save ? "S" : "") +
           (b.SaveAs ? "A" : "") + (b.Delete ? "D" : "") + (b.Import ? "I" : "") +
           (b.Export ? "E" : "") + (b.Close ? "C" : "") + (b.Production ? "P" : "") +
           (b.Check ? "K" : "") + (b.Colourways ? "W" : "") + (b.Preview ? "V" : "") +
           b.ExportCaption + "|" + b.ImportCaption;
  };
  EXPECT_EQ(buttons(shell.Tree.Root()), "NO Export | Import ");
  OPattern& p = shell.AddNew();
  const int n = OPattern::PatternsCreated();
  ODesignUI& patternNode = *shell.Tree.PatternNode(p);
  EXPECT_EQ(buttons(patternNode), "SAECPKW Export Tuft | Import ");
  p.SetModified(0);
  EXPECT_EQ(buttons(patternNode), "AECPKW Export Tuft | Import ");
  EXPECT_EQ(buttons(shell.Node("ControlSetup" + std::to_string(n))), "OA Export | Import ");
  EXPECT_EQ(buttons(shell.Node("Pictures")), "NA Export | Import ");
  EXPECT_EQ(buttons(shell.Node(N("Picture", n, 1))), "OADV Export | Import ");
  EXPECT_EQ(buttons(shell.Node(N("Region", n, 1))), "OADIE Export Bitmap | Import Bitmap ");
  ODesignUI& window = shell.Node(N("Window", n, 1));
  EXPECT_EQ(buttons(window), "OAD Export | Import ");
  shell.Tree.Activate(window);
  EXPECT_EQ(buttons(window), "OADC Export | Import "); // an open editor can be closed
  shell.Tree.RunClose();
  // A click on the production chart brings the pattern's view window up.
  EXPECT_EQ(shell.Tree.ShowViewWindow(p), &window);
  EXPECT_NE(window.Editor(), nullptr);

  // The preview is the picture's, whichever asks for it, and goes when the picture goes.
  shell.Run(N("Picture", n, 1), &OPatternTree::RunPreview);
  window.Preview();
  EXPECT_EQ(shell.TabCaptions,
            (std::vector<std::string>{"Tree", N("Window", n, 1), N("Picture", n, 1) + " Preview"}));
  shell.Tree.RunDelete();
  EXPECT_EQ(shell.TabCaptions, std::vector<std::string>{"Tree"});
}

TEST(PatternTree, DeletingANodeClosesTheEditorsBelowBeforeTheElementGoes) {
  TShell shell;
  OPattern& p = shell.AddNew();
  const int n = OPattern::PatternsCreated();
  shell.Run("Regions", &OPatternTree::RunNew); // a second region
  shell.Tree.Activate(shell.Node(N("Window", n, 1)));
  shell.Tree.Activate(shell.Node(N("Region", n, 2)));
  shell.Tree.Activate(shell.Node(N("Section", n, 1)));
  p.SetModified(0);

  shell.Run(N("Picture", n, 1), &OPatternTree::RunDelete);
  EXPECT_EQ(p.Pictures->Count(), 0);
  EXPECT_TRUE(p.Modified());
  // The last added goes first; the editors that stay show the change.
  EXPECT_EQ(shell.Log, (std::vector<std::string>{"destroy " + N("Region", n, 2),
                                                 "destroy " + N("Window", n, 1),
                                                 "refresh " + N("Section", n, 1)}));
  EXPECT_EQ(shell.Tree.Selected(), &shell.Node("Pictures"));
  shell.Run(N("Section", n, 1), &OPatternTree::RunDelete);
  EXPECT_EQ(p.Sections->Count(), 0);
  EXPECT_EQ(shell.Tree.Registry().size(), 5u); // the pattern, its setups, Pictures, Sections

  shell.Run("Pictures", &OPatternTree::RunNew);
  EXPECT_EQ(p.Pictures->Get(0)->Regions.Count(), 1);
  EXPECT_NO_THROW(shell.Node(N("Region", n, 3)));
  EXPECT_NO_THROW(shell.Node(N("Window", n, 2)));
}

TEST(PatternTree, EveryCloseOfAnEditorIsItsNodeLettingGoOnceTheWindowAgrees) {
  enum TPath { User, TreeClose, DeleteNode, ClosePattern };
  // How it closes, whether the section's window keeps it open, what the windows were told
  // (S: the section's window, W: the picture's view), and whether the section's stays open.
  const std::tuple<TPath, bool, std::vector<std::string>, bool> rows[] = {
      {User, true, {"ask S"}, true},
      {User, false, {"ask S", "destroy S"}, false},
      {TreeClose, true, {"ask S"}, true},
      {TreeClose, false, {"ask S", "destroy S"}, false},
      {DeleteNode, true, {"destroy S", "refresh W"}, false}, // unasked: goes with the section
      {ClosePattern, true, {"ask W", "ask S"}, true},
      {ClosePattern, false, {"ask W", "ask S", "destroy S", "destroy W"}, false},
  };
  for (const auto& [path, stays, told, sectionOpen] : rows) {
    TShell shell;
    OPattern& p = shell.AddNew();
    p.SetModified(0);
    const int n = OPattern::PatternsCreated();
    ODesignUI& section = shell.Node(N("Section", n, 1));
    shell.Tree.Activate(shell.Node(N("Window", n, 1)));
    shell.Tree.Activate(section);
    static_cast<TEditor*>(section.Editor())->Stays = stays;
    shell.Log.clear();
    if (path == User) {
      EXPECT_EQ(section.CloseEditorAsked(), !stays);
    }
    shell.Tree.Select(&section);
    if (path == TreeClose)
      shell.Tree.RunClose();
    if (path == DeleteNode)
      shell.Tree.RunDelete();
    if (path == ClosePattern) {
      EXPECT_EQ(shell.Tree.QueryClosePattern(p), !stays);
    }
    std::vector<std::string> log;
    for (std::string line : shell.Log)
      log.push_back(line.substr(0, line.find(' ') + 2));
    EXPECT_EQ(log, told) << path;
    const bool patternGone = path == ClosePattern && !stays;
    EXPECT_EQ(shell.Tree.Registry().size(), patternGone ? 0u : path == DeleteNode ? 10u : 11u);
    if (path != DeleteNode && !patternGone) {
      EXPECT_EQ(section.Editor() != nullptr, sectionOpen) << path;
    }
    // Each open window keeps its tab; a closed one leaves the tree in front.
    EXPECT_EQ(shell.TabCaptions.size(), 1u + sectionOpen + !patternGone) << path;
    EXPECT_EQ(shell.Tabs.Selected(), sectionOpen ? 2u : 0u) << path;
  }
}

TEST(PatternTree, UndoingDeletionsBringsTheSameElementsBackInPlaceUnderTheirNames) {
  TShell shell;
  OPattern& p = shell.AddNew();
  const int n = OPattern::PatternsCreated();
  shell.AddNew(); // names that come back still carry their own pattern's number
  auto saved = [&p] { return RecordBytes(p); };
  shell.Run("Sections", &OPatternTree::RunNew);
  EXPECT_EQ(p.History.UndoLabel(), "New " + N("Section", n, 2));
  // One node: the tree placed it, and the pattern's notice of the new section adds none.
  EXPECT_EQ(
      std::ranges::count_if(
          shell.Order, [&](const ODesignUI* node) { return node->Name() == N("Section", n, 2); }),
      1);
  const TBytes start = saved();
  const std::string startOutline = shell.Outline();
  const OSection* section = p.Sections->Get(0);
  const OPicture* picture = p.Pictures->Get(0);
  shell.Tree.Activate(shell.Node(N("Section", n, 1))); // open when it goes
  shell.Run(N("Section", n, 1), &OPatternTree::RunDelete);
  shell.Run(N("Picture", n, 1), &OPatternTree::RunDelete);
  EXPECT_EQ(p.History.UndoLabel(), "Delete " + N("Picture", n, 1));
  const TBytes deleted = saved();
  const std::string outline = shell.Outline();

  p.History.Undo();
  p.History.Undo();
  EXPECT_EQ(saved(), start);
  EXPECT_EQ(p.Sections->Get(0), section);
  EXPECT_EQ(p.Pictures->Get(0), picture);
  // Each at its place under its name, its window's too, the section's editor open again.
  EXPECT_EQ(shell.Outline(), startOutline);
  EXPECT_NE(shell.Node(N("Section", n, 1)).Editor(), nullptr);
  shell.Tree.Activate(shell.Node(N("Window", n, 1)));
  shell.Log.clear();
  p.History.Redo();
  p.History.Redo();
  EXPECT_EQ(saved(), deleted);
  EXPECT_EQ(shell.Outline(), outline);
  // The window follows the section's redo, then goes with its picture.
  EXPECT_EQ(shell.Log, (std::vector<std::string>{"destroy " + N("Section", n, 1),
                                                 "refresh " + N("Window", n, 1),
                                                 "destroy " + N("Window", n, 1)}));
  p.History.Undo();
  p.History.Undo();
  EXPECT_EQ(p.Sections->Get(0), section);
  EXPECT_NE(shell.Node(N("Section", n, 1)).Editor(), nullptr);
  EXPECT_NE(shell.Node(N("Window", n, 1)).Editor(), nullptr);
}

TEST(PatternTree, ClosingAModifiedPatternAsksAndEachAnswerKeepsTheWork) {
  TTempDir dir;
  TShell shell;
  g.SetCurrentDir(dir.Path);
  OPattern& p = shell.AddNew();
  ODesignUI& node = *shell.Tree.PatternNode(p);
  shell.Tree.Select(&node);
  auto close = [&](TSaveChoice choice, std::optional<std::string> file = std::nullopt) {
    shell.UI.SaveAnswers = {choice};
    shell.UI.FileAnswers = {file};
    shell.Tree.RunClose();
    return shell.Tree.PatternNode(p) != nullptr;
  };
  ASSERT_TRUE(close(TSaveChoice::Cancel));
  EXPECT_EQ(shell.UI.Shown.back().Text, "Save changes to " + node.Name() + "?");
  // Save on a pattern never saved asks where; cancelling that keeps it open too.
  ASSERT_TRUE(close(TSaveChoice::Save));
  EXPECT_EQ(shell.UI.DialogsRun.back().Title, "Save Pattern");
  EXPECT_EQ(shell.UI.DialogsRun.back().InitialDir, dir.Path);
  // A save that fails keeps it open with the reason shown.
  ASSERT_TRUE(close(TSaveChoice::Save, dir.File("missing/x.pat")));
  EXPECT_EQ(shell.UI.Errors().back().rfind("Error saving pattern: " + dir.File("missing/x.pat"), 0),
            0u);
  EXPECT_EQ(node.Name(), StripExtension(p.FileName)); // the name did not move either
  EXPECT_FALSE(close(TSaveChoice::Save, dir.File("kept.design.pat")));
  EXPECT_TRUE(FileExists(dir.File("kept.design.pat")));
  EXPECT_EQ(shell.Tree.Registry().size(), 0u);

  OPattern& q = shell.AddNew();
  shell.UI.SaveAnswers = {TSaveChoice::Discard};
  EXPECT_TRUE(shell.Tree.CloseAll());
  EXPECT_EQ(shell.Tree.PatternNode(q), nullptr);
}

TEST(PatternTree, ColourwaysAreSavedBesideThePatternAndOpenedWithIt) {
  TTempDir dir;
  TShell shell;
  OPattern& p = shell.AddNew();
  TColourways c = p.Colourways();
  c.List.push_back(NewColourway("Harbour", *p.Palette, *p.MachineTable));
  p.SetColourways(c, "Add Colourway Harbour");
  shell.UI.FileAnswers = {dir.File("rug.pat")};
  ASSERT_TRUE(shell.Tree.PatternNode(p)->SaveAs());
  namespace fs = std::filesystem;
  fs::copy_file(dir.File("rug.pat"), dir.File("good.pat"));
  fs::copy_file(dir.File("rug.colourways.json"), dir.File("good.colourways.json"));
  fs::copy_file(dir.File("rug.pat"), dir.File("bad.pat"));
  const TBytes bad = Text("{\"colourways\": 3}");
  WriteBytes(dir.File("bad.colourways.json"), bad);

  // Opened, they are the pattern's as read: no step, not modified.
  shell.Tree.OpenPatternPath(dir.File("good.pat"));
  const OPattern& good = *shell.Tree.PatternOfFile(dir.File("good.pat"))->Pattern;
  EXPECT_EQ(good.Colourways(), c);
  EXPECT_FALSE(good.Modified());
  EXPECT_EQ(good.History.UndoCount(), 0);
  // A file that cannot be read is told of, the pattern opens without it, and saving leaves
  // the file until the designer makes colourways again; only the Original removes it.
  shell.Tree.OpenPatternPath(dir.File("bad.pat"));
  EXPECT_EQ(shell.UI.Errors().back(),
            "Error reading colourways: " + dir.File("bad.colourways.json") +
                "\nline 1: colourways must be a list in [ ]");
  OPatternUI& opened = *shell.Tree.PatternOfFile(dir.File("bad.pat"));
  EXPECT_TRUE(opened.Pattern->Colourways().Trivial());
  opened.Pattern->SetModified(1);
  ASSERT_TRUE(opened.Save());
  EXPECT_EQ(FileBytes(dir.File("bad.colourways.json")), bad);
  opened.Pattern->SetColourways(c, "Add Colourway Harbour");
  ASSERT_TRUE(opened.Save());
  EXPECT_EQ(LoadColourways(dir.File("bad.pat")), c);
  opened.Pattern->SetColourways(TColourways{}, "Delete Colourway Harbour");
  ASSERT_TRUE(opened.Save());
  EXPECT_FALSE(FileExists(dir.File("bad.colourways.json")));
}

TEST(PatternTree, SaveAsNamesTheNodeAfterTheFileAndLaterSavesAskNothing) {
  TTempDir dir;
  TShell shell;
  OPattern& p = shell.AddNew();
  shell.Tree.Select(shell.Tree.PatternNode(p));
  shell.UI.FileAnswers = {dir.File("rug.v2.pat")};
  shell.Tree.RunSaveAs();
  EXPECT_EQ(p.FileName, dir.File("rug.v2.pat"));
  EXPECT_EQ(shell.Tree.PatternNode(p)->Name(), "rug");
  p.SetModified(1);
  shell.Tree.SaveAll(); // writes where it was saved, asking nothing
  EXPECT_FALSE(p.Modified());
  EXPECT_EQ(shell.UI.DialogsRun.size(), 1u);

  shell.UI.FileAnswers = {dir.File("rug.v2.pat")};
  shell.Tree.Root().Open();
  OPatternUI& opened = *static_cast<OPatternUI*>(shell.Tree.Registry().back()->Parent->Parent);
  EXPECT_EQ(opened.Name(), "rug");
  EXPECT_FALSE(opened.Pattern->Modified()); // just read: nothing to ask about on closing
}

TEST(PatternTree, AnOutsideChangeIsAskedAboutBeforeItIsOverwrittenAndAFileOpensOnce) {
  TTempDir dir;
  TShell shell;
  const std::string file = dir.File("good.pat");
  OPattern& p = shell.AddNew();
  shell.UI.FileAnswers = {file};
  shell.Tree.RunSaveAs();
  EXPECT_EQ(shell.Watched, std::vector<std::string>{file});
  shell.Tree.FileChangedOnDisk(file); // our own save: nothing to ask
  EXPECT_TRUE(shell.UI.Shown.empty());

  // Another program writes a longer pattern over it.
  auto outside = [&](int plines) {
    auto other = std::make_unique<OPattern>();
    other->InitNew();
    other->SetNoPLines(static_cast<uint16_t>(plines));
    other->Changed();
    other->WriteCopy(file);
    return FileBytes(file);
  };
  const TBytes theirs = outside(p.NoPLines + 7);
  shell.UI.ConfirmAnswers = {false}; // keep ours
  shell.Tree.FileChangedOnDisk(file);
  ASSERT_EQ(shell.UI.Shown.size(), 1u);
  EXPECT_EQ(shell.UI.Shown[0].Text.rfind(file + " was changed by another program.", 0), 0u);
  shell.Tree.FileChangedOnDisk(file); // the same change is asked about once
  EXPECT_EQ(shell.UI.Shown.size(), 1u);
  // Saving over it asks; Cancel writes nothing, OK writes ours.
  p.SetModified(1);
  shell.UI.ConfirmAnswers = {false, true};
  EXPECT_FALSE(shell.Tree.PatternNode(p)->Save());
  EXPECT_EQ(FileBytes(file), theirs);
  EXPECT_TRUE(shell.Tree.PatternNode(p)->Save());
  EXPECT_NE(FileBytes(file), theirs);
  EXPECT_EQ(shell.UI.Shown.size(), 3u);
  EXPECT_TRUE(shell.Tree.PatternNode(p)->Save()); // written by us since: asks nothing
  EXPECT_EQ(shell.UI.Shown.size(), 3u);

  // Reloading takes the file's version in place of ours, selected.
  const uint16_t plines = static_cast<uint16_t>(p.NoPLines + 11);
  outside(plines);
  shell.UI.ConfirmAnswers = {true};
  shell.Tree.FileChangedOnDisk(file);
  OPatternUI* reloaded = shell.Tree.PatternOfFile(file);
  ASSERT_NE(reloaded, nullptr);
  EXPECT_EQ(reloaded->Pattern->NoPLines, plines);
  EXPECT_FALSE(reloaded->Pattern->Modified());
  EXPECT_EQ(shell.Tree.Selected(), reloaded);
  EXPECT_EQ(shell.Tree.Registry().size(), 11u);

  // The same file by another spelling is not read twice: its branch is selected.
  shell.Tree.Select(&shell.Tree.Root());
  const int created = OPattern::PatternsCreated();
  SKIP_ON_WINDOWS("links need the administrator's right");
  std::filesystem::create_symlink("good.pat", dir.File("link.pat"));
  for (const std::string& other : {dir.Path + "/sub/../good.pat", dir.File("link.pat")}) {
    shell.Tree.Select(&shell.Tree.Root());
    shell.Tree.OpenPatternPath(other);
    EXPECT_EQ(shell.Tree.Registry().size(), 11u) << other;
    EXPECT_EQ(shell.Tree.Selected(), reloaded) << other;
  }
  // A file that fails opens nothing and uses up no pattern number; one a Wizards import
  // reads says which.
  const std::string notPattern =
      ": it is not a pattern file, or one of a later version\n\nThis is ";
  const std::tuple<std::string, std::optional<TBytes>, std::string> failures[] = {
      {"bad.pat", Hex("0502 ff"), ": the settings record is damaged"},
      {"gone.pat", std::nullopt, ""},
      {"ned.pat", Ned(3, 2, {1, 0, 0, 0, 2, 1}),
       notPattern + "a NED Graphics pattern file: Wizards, New Pattern From NED Graphics "
                    "Pattern File (.PAT) reads it."},
      {"cmc.car", Car(1, 9, 16, 10, 532),
       notPattern + "a CMC control file: Wizards, New Pattern From CMC Control File (.CAR) "
                    "reads it."},
      {"x.tuf", Hex("00"),
       notPattern + "an Orlek control file: Wizards, New Pattern From Orlek Control File (.TUF) "
                    "reads it."},
  };
  const size_t nodes = shell.Order.size();
  std::vector<std::string> errors;
  for (const auto& [name, bytes, message] : failures) {
    if (bytes)
      WriteBytes(dir.File(name), *bytes);
    shell.Tree.OpenPatternPath(dir.File(name));
    errors.push_back(bytes ? "Error reading pattern: " + dir.File(name) + message
                           : "Error, pattern file not found " + dir.File(name));
  }
  EXPECT_EQ(shell.UI.Errors(), errors);
  EXPECT_EQ(shell.Order.size(), nodes);
  EXPECT_EQ(OPattern::PatternsCreated(), created);
}

TEST(PatternTree, ALongOpenShowsProgressThatCancelsWithNothingLeftOpen) {
  TTempDir dir;
  TShell shell;
  // Shifts of half of 1,000 x 500 cells: 16 of them copy 4,000,000 cells, the most opened
  // without a report, and stay within what a file may ask its sections to copy.
  auto write = [&](const std::string& name, int sections) {
    OPattern p;
    p.InitNew();
    p.SetNoControls(1000);
    p.SetNoPLines(500);
    p.SetState(1, 1, 2);
    for (int i = 0; i < sections; ++i) {
      OSection& s = *p.Sections->Add(std::make_unique<OSection>(&p));
      s.SetSourceArea({1, 1, 500, 500});
      s.TargetArea = {501, 1, 1000, 500};
    }
    p.WriteCopy(dir.File(name));
    return dir.File(name);
  };
  // Sections, the step a Cancel comes at, whether the pattern opens and whether progress shows.
  const std::tuple<int, std::optional<int64_t>, bool, bool> rows[] = {
      {16, 0, true, false}, {17, std::nullopt, true, true}, {17, 0, false, true}};
  for (const auto& [sections, cancelAt, opens, reported] : rows) {
    const std::string file =
        write(std::to_string(sections) + (opens ? "" : "cancelled") + ".pat", sections);
    shell.UI.ProgressTexts.clear();
    shell.UI.CancelAtStep = cancelAt;
    const size_t nodes = shell.Order.size();
    const int created = OPattern::PatternsCreated();
    shell.Tree.OpenPatternPath(file);
    SCOPED_TRACE(file);
    OPatternUI* opened = shell.Tree.PatternOfFile(file);
    EXPECT_EQ(opened != nullptr, opens);
    EXPECT_EQ(shell.Order.size() == nodes, !opens);
    EXPECT_EQ(OPattern::PatternsCreated(), created + opens);
    if (opened) {
      EXPECT_EQ(opened->Pattern->GetState(501, 1), 2);
    }
    EXPECT_EQ(shell.UI.ProgressTexts.size(), size_t{reported});
    EXPECT_EQ(shell.UI.ProgressDepth, 0);
  }
  EXPECT_TRUE(shell.UI.Shown.empty());
  EXPECT_EQ(shell.UI.Status, "Opening cancelled: " + dir.File("17cancelled.pat"));
  // The copy was reported as it went, not once at its start.
  EXPECT_GT(shell.UI.ProgressSteps.size(), 10u);
}

TEST(PatternTree, FileCommandsAreEnabledExactlyWhereTheyAct) {
  TShell shell;
  auto commands = [&] {
    TFileCommands c = shell.Tree.FileCommands();
    return std::string(c.Save ? "S" : "") + (c.SaveAs ? "A" : "") + (c.CloseWindow ? "W" : "") +
           (c.CloseAll ? "C" : "") + (c.SaveAll ? "L" : "");
  };
  EXPECT_EQ(commands(), ""); // nothing open
  OPattern& p = shell.AddNew();
  // A new pattern is selected, so Save right after New saves it.
  EXPECT_EQ(shell.Tree.Selected(), shell.Tree.PatternNode(p));
  const std::pair<std::function<void()>, std::string> steps[] = {
      {[] {}, "SACL"},
      {[&] { p.SetModified(0); }, "AC"},
      {[&] { shell.Tree.Select(&shell.Tree.Root()); }, "C"},
      {[&] { p.SetModified(1); }, "CL"},
      {[&] { shell.Tree.Activate(*shell.Tree.Registry()[1]); }, "SAWCL"}, // the control setup
      {[&] { shell.Tabs.SelectTree(); }, "CL"},
      {[&] { shell.Tree.CloseAllUnasked(); }, ""},
  };
  for (const auto& [step, expected] : steps) {
    step();
    EXPECT_EQ(commands(), expected);
  }
}

TEST(TabRegistry, TabsFollowTheirControllersAndForgetAClosedWindow) {
  TShell shell;
  OPattern& p = shell.AddNew();
  OPattern& other = shell.AddNew();
  OEditorNodeUI a(shell.Tree, "Same", p, TEditorKind::Section);
  OEditorNodeUI b(shell.Tree, "Same", p, TEditorKind::Section);
  OEditorNodeUI c(shell.Tree, "Other", other, TEditorKind::Section);
  a.Open();
  b.Open();
  a.Open(); // selects, adds nothing
  c.Open();
  EXPECT_EQ(shell.TabCaptions, (std::vector<std::string>{"Tree", "Same", "Same", "Other"}));
  EXPECT_EQ(shell.Tabs.Selected(), 3u);
  // The window goes with its tab, and nothing keeps it: a change of its pattern reaches
  // only the window still open (a freed one would be called here).
  b.CloseEditor();
  EXPECT_EQ(shell.Tabs.Window(1), a.Editor());
  EXPECT_EQ(shell.Tabs.Window(0), &shell.TreeForm);
  shell.Log.clear();
  p.Changed();
  EXPECT_EQ(shell.Log, std::vector<std::string>{"refresh Same"});
  a.CloseEditor();
  EXPECT_EQ(shell.TabCaptions, (std::vector<std::string>{"Tree", "Other"}));
  EXPECT_EQ(shell.Tabs.Selected(), 0u);
}

TEST(MainCommands, HelpFolderAndClosingTheMainWindow) {
  TTempDir dir;
  TShell shell;
  g.StartDir = dir.Path;
  std::vector<std::string> pages;
  bool pageShown = true;
  auto showPage = [&](const std::string& file) {
    pages.push_back(file);
    return pageShown;
  };
  OpenHelp(THelpKind::Manual, dir.File("bin"), showPage);
  EXPECT_EQ(shell.UI.Shown.back().Text,
            "No help file was found. Looked for:\n" + dir.File("Quillane.pdf") + "\n" +
                dir.File("Manual/Quillane.pdf") + "\n" + dir.File("bin/quillane-manual.html") +
                "\n" + dir.File("share/quillane/quillane-manual.html"));
  EXPECT_TRUE(shell.UI.ShellOpened.empty());
  // Installed: the program in PREFIX/bin, its manual under PREFIX/share, shown by the
  // program itself; a PDF goes to the desktop, and when nothing there takes it the page is
  // shown instead.
  std::filesystem::create_directories(dir.File("share/quillane"));
  WriteBytes(dir.File("share/quillane/quillane-manual.html"), Text("<p>"));
  WriteBytes(dir.File("Quillane.pdf"), Text("%PDF"));
  OpenHelp(THelpKind::Manual, dir.File("bin"), showPage);
  EXPECT_EQ(shell.UI.ShellOpened, std::vector<std::string>{dir.File("Quillane.pdf")});
  struct TNoDesktop : OScriptedPlatform {
    bool ShellOpen(const std::string&) override { return false; }
  } bare;
  {
    OPlatformScope scope(bare);
    OpenHelp(THelpKind::Manual, dir.File("bin"), showPage);
    pageShown = false;
    OpenHelp(THelpKind::Manual, dir.File("bin"), showPage);
    g.CurrentDir = dir.Path;
    OpenExplorer();
  }
  EXPECT_EQ(pages, std::vector<std::string>(2, dir.File("share/quillane/quillane-manual.html")));
  ASSERT_EQ(bare.Shown.size(), 2u);
  EXPECT_EQ(bare.Shown[0].Text, "No program could be started to show the help file:\n" +
                                    dir.File("Quillane.pdf") + "\n" +
                                    dir.File("share/quillane/quillane-manual.html"));
  EXPECT_EQ(bare.Shown[1].Text,
            "No file manager could be started to show the folder " + dir.Path + ".");

  // A folder must exist to become the current one, at start as in the chooser.
  shell.UI.FolderAnswers = {dir.File("share"), dir.File("gone")};
  ChooseFolder();
  EXPECT_EQ(g.CurrentDir, dir.File("share"));
  EXPECT_EQ(shell.UI.Folder, dir.File("share"));
  ChooseFolder();
  EXPECT_EQ(g.CurrentDir, dir.File("share"));
  EXPECT_EQ(shell.UI.Shown.back().Text, "The folder " + dir.File("gone") + " does not exist.");
  g.CurrentDir = dir.File("gone");
  CheckCurrentDir();
  EXPECT_EQ(g.CurrentDir, dir.Path);

  // The ini stays beside the program only where one is already.
  EXPECT_EQ(IniFileFor(dir.File("bin"), dir.File("cfg")), dir.File("cfg/quillane.ini"));
  WriteBytes(dir.File("share/quillane.ini"), Text(""));
  EXPECT_EQ(IniFileFor(dir.File("share"), dir.File("cfg")), dir.File("share/quillane.ini"));
  // Saved bounds come back where they can be taken hold of.
  const std::vector<TWindowBounds> screens = {{0, 0, 1600, 1000}, {1600, 0, 1280, 1024}};
  const std::pair<TWindowBounds, TWindowBounds> placements[] = {
      {{100, 50, 800, 600}, {100, 50, 800, 600}},     // on the first screen
      {{2000, 100, 800, 600}, {2000, 100, 800, 600}}, // on the second
      {{1590, 10, 800, 600}, {1590, 10, 800, 600}},   // across both
      {{99999, 50, 800, 600}, {800, 50, 800, 600}},   // off to the right
      {{-790, 50, 800, 600}, {0, 50, 800, 600}},      // all but 10 pixels off to the left
      {{100, -300, 800, 600}, {100, 0, 800, 600}},    // title bar above the screens
      {{0, 990, 4000, 3000}, {0, 0, 1600, 1000}},     // too big as well
  };
  for (const auto& [saved, shown] : placements)
    EXPECT_EQ(FitToScreens(saved, screens), shown) << saved.Left << "," << saved.Top;

  g.Start({}, std::make_unique<OMemoryPersist>());
  shell.AddNew();
  shell.UI.SaveAnswers = {TSaveChoice::Cancel};
  EXPECT_FALSE(CloseMainWindow(shell.Tree));
  EXPECT_EQ(shell.Tree.Registry().size(), 11u);
  shell.UI.SaveAnswers = {TSaveChoice::Discard};
  shell.UI.State = wsMaximized;
  EXPECT_TRUE(CloseMainWindow(shell.Tree));
  EXPECT_EQ(shell.Tree.Registry().size(), 0u);
  EXPECT_EQ(g.Persist().ReadInteger("fmMain.WindowState", -1), 2);
  EXPECT_EQ(g.Persist().ReadInteger("fmMain.Width", -1), 800);
}

TEST(RecentPatterns, MostRecentFirstWithoutDuplicatesAndNumberedInTheMenu) {
  TTempDir dir;
  TShell shell;
  g.Start({}, std::make_unique<OMemoryPersist>());
  OPersist& ini = g.Persist();
  for (int i = 1; i <= 12; ++i)
    AddRecentPattern(ini, dir.File("p" + std::to_string(i) + ".pat"));
  // The same file by another spelling moves up rather than doubling.
  AddRecentPattern(ini, dir.Path + "/sub/../p5.pat");
  std::vector<std::string> recent = RecentPatterns(ini);
  ASSERT_EQ(recent.size(), 10u);
  EXPECT_EQ(recent[0], dir.File("p5.pat"));
  EXPECT_EQ(recent[1], dir.File("p12.pat"));
  EXPECT_EQ(recent[9], dir.File("p3.pat"));
  EXPECT_EQ(ini.ReadString("RecentPattern1", ""), dir.File("p5.pat"));

  // Saving puts the pattern first.
  OPattern& p = shell.AddNew();
  shell.Tree.Select(shell.Tree.PatternNode(p));
  shell.UI.FileAnswers = {dir.File("saved.pat")};
  shell.Tree.RunSaveAs();
  EXPECT_EQ(RecentPatterns(ini)[0], dir.File("saved.pat"));
  // A shorter list leaves no old entry behind.
  RemoveRecentPattern(ini, dir.File("p12.pat"));
  EXPECT_EQ(RecentPatterns(ini).size(), 9u);
  EXPECT_EQ(ini.ReadString("RecentPattern10", "x"), "");

  // In the menu the first nine or ten get a mnemonic, and a name's own ampersand shows:
  // the number, whether the tenth gets one too, and what the menu shows.
  const std::tuple<int, bool, const char*> rows[] = {{1, false, "&1 R&&D.pat"},
                                                     {9, true, "&9 R&&D.pat"},
                                                     {10, true, "1&0 R&&D.pat"},
                                                     {10, false, "R&&D.pat"},
                                                     {11, true, "R&&D.pat"}};
  for (const auto& [number, tenth, text] : rows)
    EXPECT_EQ(NumberedMenuEntry(number, "R&D.pat", tenth), text) << number;
}

TEST(MainCommands, CommandLinePatternsPreferencesAndTheActivePattern) {
  TTempDir dir;
  TShell shell;
  // Patterns beside "/d=", relative ones from the start folder; options are passed over.
  const auto started = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path);
  g.Start({"a.pat", "/D=" + dir.File("designs"), "-x", dir.File("b.pat")}, nullptr);
  std::filesystem::current_path(started);
  EXPECT_EQ(g.PatternArguments, (std::vector<std::string>{dir.File("a.pat"), dir.File("b.pat")}));

  // Preferences: defaults, out-of-range values read as defaults, the folder they start in.
  auto ini = std::make_unique<OMemoryPersist>();
  ini->Values = {{"Preferences.UndoMiB", "1"}, {"Preferences.RecoveryMinutes", "15"}};
  EXPECT_EQ(LoadPreferences(*ini), (TPreferences{256, 15, ""}));
  StorePreferences(*ini, {512, 0, dir.Path});
  EXPECT_EQ(LoadPreferences(*ini), (TPreferences{512, 0, dir.Path}));
  ini->Values["g.CurrentDir"] = "/elsewhere";
  g.Start({}, std::move(ini));
  EXPECT_EQ(g.CurrentDir, dir.Path);
  const std::pair<TPreferences, std::string> problems[] = {
      {{256, 2, ""}, ""},
      {{15, 2, ""}, "The undo memory must be between 16 and 65536 MiB."},
      {{256, 121, ""}, "The recovery interval must be between 0 (never) and 120 minutes."},
      {{256, 2, dir.File("none")}, "The design folder " + dir.File("none") + " does not exist."},
  };
  for (const auto& [preferences, problem] : problems)
    EXPECT_EQ(PreferencesProblem(preferences), problem);
  // Copies are made every so many minutes, and not at all with none kept or 0 minutes.
  EXPECT_EQ(RecoveryInterval({256, 2, ""}, true), 120000);
  EXPECT_EQ(RecoveryInterval({256, 2, ""}, false), 0);
  EXPECT_EQ(RecoveryInterval({256, 0, ""}, true), 0);

  OPattern& p = shell.AddNew();
  const std::string first = std::to_string(OPattern::PatternsCreated());
  OPattern& q = shell.AddNew();
  // New preferences reach every open pattern and the next one; a new design folder becomes
  // the current one, an unchanged one leaves where the designer went since.
  const size_t defaultLimit = OUndoHistory::DefaultLimit();
  std::filesystem::create_directory(dir.File("next"));
  g.SetCurrentDir(dir.File("designs"));
  ApplyPreferences({256, 2, dir.Path}, {512, 2, dir.Path}, shell.Tree.OpenPatterns());
  EXPECT_EQ(g.CurrentDir, dir.File("designs"));
  ApplyPreferences({256, 2, dir.Path}, {512, 2, dir.File("next")}, shell.Tree.OpenPatterns());
  EXPECT_EQ(g.CurrentDir, dir.File("next"));
  const OPattern later;
  for (const OPattern* open : std::initializer_list<const OPattern*>{&p, &q, &later})
    EXPECT_EQ(open->History.Limit(), size_t{512} << 20);
  OUndoHistory::SetDefaultLimit(defaultLimit);
  // Save works on the active editor's pattern, else the selected node's; none on the root.
  shell.Tree.Select(&shell.Tree.Root());
  EXPECT_EQ(shell.Tree.ActivePatternNode(), nullptr);
  shell.Tree.Select(shell.Tree.Registry().back().get()); // q's last section
  EXPECT_EQ(shell.Tree.ActivePatternNode(), shell.Tree.PatternNode(q));
  ODesignUI& setup = shell.Node("ControlSetup" + first);
  setup.Open();
  EXPECT_EQ(shell.Tree.ActiveEditor(), setup.Editor());
  EXPECT_EQ(shell.Tree.ActivePatternNode(), shell.Tree.PatternNode(p));
  shell.UI.FileAnswers = {dir.File("first.pat")};
  shell.Tree.SaveActive(); // never saved: asks where
  EXPECT_EQ(p.FileName, dir.File("first.pat"));
  shell.Tabs.SelectTree();
  EXPECT_EQ(shell.Tree.ActiveEditor(), nullptr);
  EXPECT_EQ(shell.Tree.ActivePatternNode(), shell.Tree.PatternNode(q));
}

TEST(Recovery, ACrashLeavesCopiesToRestoreUnderTheirNamesAndACleanCloseLeavesNone) {
  TTempDir dir;
  TShell shell;
  const std::string folder = dir.File("recovery");
  auto recovery = std::make_unique<ORecovery>(folder);
  OPattern& saved = shell.AddNew();
  saved.FileName = dir.File("rug.pat");
  saved.SaveToFile();
  TColourways colourways;
  colourways.List[0].SetCode(1, "NB-204");
  SaveColourways(saved.FileName, colourways);
  OPattern& fresh = shell.AddNew();
  fresh.Changed();
  auto copies = [&] {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder))
      if (item.is_regular_file() && item.path().extension() != ".name" &&
          item.path().extension() != ".lock")
        names.push_back(sys::NameOf(item.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
  };
  // Only modified patterns are copied, and only when they changed since.
  EXPECT_TRUE(recovery->Update(shell.Tree.OpenPatterns(), true).empty());
  EXPECT_EQ(copies(), (std::vector<std::string>{"2.colourways.json", "2.pat"}));
  saved.SetNoPLines(saved.NoPLines + 3);
  saved.Changed();
  // Colourways made since the last save, or in a pattern never saved, are in the copies.
  TColourways edited = colourways, made;
  edited.List.push_back(NewColourway("Harbour", *saved.Palette, *saved.MachineTable));
  saved.SetColourways(edited, "Add Colourway Harbour");
  made.List.push_back(NewColourway("Dune", *fresh.Palette, *fresh.MachineTable));
  fresh.SetColourways(made, "Add Colourway Dune");
  recovery->Update(shell.Tree.OpenPatterns(), true);
  EXPECT_EQ(copies(),
            (std::vector<std::string>{"1.colourways.json", "1.pat", "2.colourways.json", "2.pat"}));
  const auto written = std::filesystem::last_write_time(recovery->SessionFolder() + "/1.pat");
  std::filesystem::last_write_time(recovery->SessionFolder() + "/1.pat",
                                   written - std::chrono::hours(1));
  recovery->Update(shell.Tree.OpenPatterns(), true);
  EXPECT_LT(std::filesystem::last_write_time(recovery->SessionFolder() + "/1.pat"), written);

  // A second program running at the same time takes nothing of the first's.
  {
    ORecovery other(folder);
    EXPECT_TRUE(other.ClaimOrphans().empty());
    other.Close();
  }
  // The crash: the copies stay behind, and the next start offers each one.
  recovery.reset();
  shell.Tree.CloseAllUnasked();
  recovery = std::make_unique<ORecovery>(folder);
  shell.UI.ConfirmAnswers = {true, true};
  OfferRecovery(*recovery, shell.Tree);
  ASSERT_EQ(shell.UI.Shown.size(), 2u);
  EXPECT_EQ(shell.UI.Shown[0].Text, "The program ended without saving " + dir.File("rug.pat") +
                                        ". Restore the recovered copy?");
  EXPECT_EQ(shell.UI.Shown[1].Text, "The program ended without saving a new pattern that was "
                                    "never saved. Restore the recovered copy?");
  std::vector<OPattern*> restored = shell.Tree.OpenPatterns();
  ASSERT_EQ(restored.size(), 2u);
  EXPECT_EQ(restored[0]->FileName, dir.File("rug.pat"));
  EXPECT_EQ(restored[0]->Colourways(), edited);
  EXPECT_EQ(restored[1]->Colourways(), made);
  EXPECT_EQ(restored[1]->FileName,
            "Pattern" + std::to_string(OPattern::PatternsCreated()) + ".pat");
  for (OPattern* p : restored)
    EXPECT_TRUE(p->Modified());
  // The copies now belong to this program, until the pattern is saved or closed.
  EXPECT_EQ(copies(),
            (std::vector<std::string>{"1.colourways.json", "1.pat", "2.colourways.json", "2.pat"}));
  // The tree keeps them: saving or closing a pattern takes its copy away.
  shell.Tree.KeepRecovery(recovery.get());
  restored[0]->SaveToFile();
  EXPECT_EQ(copies(), (std::vector<std::string>{"2.colourways.json", "2.pat"}));
  shell.Tree.CloseAllUnasked();
  EXPECT_TRUE(copies().empty());
  shell.Tree.KeepRecovery(nullptr);

  // Discarded copies go; a clean close leaves nothing at all. A link in the recovery folder
  // is no copy: nothing it leads to is offered or removed.
  std::filesystem::create_directories(dir.File("designs"));
  WriteBytes(dir.File("designs/mine.pat"), Text("mine"));
  SKIP_ON_WINDOWS("links need the administrator's right");
  std::filesystem::create_directory_symlink(dir.File("designs"), folder + "/1-9");
  OPattern& again = shell.AddNew();
  again.Changed();
  recovery->Update(shell.Tree.OpenPatterns(), true);
  recovery.reset();
  recovery = std::make_unique<ORecovery>(folder);
  shell.UI.ConfirmAnswers = {false};
  OfferRecovery(*recovery, shell.Tree);
  EXPECT_TRUE(FileExists(dir.File("designs/mine.pat")));
  EXPECT_EQ(shell.UI.Shown.size(), 3u);
  std::filesystem::remove(folder + "/1-9");
  EXPECT_TRUE(copies().empty());
  recovery->Update(shell.Tree.OpenPatterns(), true);
  shell.Tree.CloseAllUnasked();
  ASSERT_TRUE(CloseMainWindow(shell.Tree, recovery.get()));
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

} // namespace
} // namespace quillane::test
