#include "shell/PatternTree.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "app/App.h"
#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "files/CmcFile.h"
#include "files/NedFile.h"
#include "model/Pattern.h"
#include "production/ColourwaysFile.h"
#include "shell/RecentPatterns.h"
#include "shell/Recovery.h"
#include "shell/Tabs.h"

namespace quillane {

void OTreeView::SaveBitmap(const OBitmap24&, const std::string& path) {
  throw Exception("Cannot write a bitmap file here: " + path);
}

OPatternTree::OPatternTree(OTreeView& view, OTabRegistry& tabs)
    : View(view), Tabs(tabs), RootUI(std::make_unique<OPatternsUI>(*this)) {
  View.AddNode(*RootUI, nullptr);
  SelectedUI = RootUI.get();
}

OPatternTree::~OPatternTree() {
  // Last first, so that no controller outlives the pattern its editor shows.
  while (!Entries.empty())
    Entries.pop_back();
}

void OPatternTree::Select(ODesignUI* node) {
  SelectedUI = node ? node : RootUI.get();
  View.UpdateButtons();
}

ODesignUI& OPatternTree::AddController(std::unique_ptr<ODesignUI> controller, ODesignUI& parent) {
  return InsertController(std::move(controller), parent, -1);
}

ODesignUI& OPatternTree::InsertController(std::unique_ptr<ODesignUI> controller, ODesignUI& parent,
                                          int index) {
  controller->Parent = &parent;
  Entries.push_back(std::move(controller));
  ODesignUI& added = *Entries.back();
  if (index < 0)
    View.AddNode(added, &parent);
  else
    View.InsertNode(added, &parent, index);
  return added;
}

OPatternUI& OPatternTree::AddPattern(std::unique_ptr<OPattern> pattern) {
  OPattern& p = *pattern;
  auto& node = static_cast<OPatternUI&>(
      AddController(std::make_unique<OPatternUI>(*this, std::move(pattern)), *RootUI));
  AddController(std::make_unique<OControlSetupUI>(*this, p), node);
  AddController(std::make_unique<OPatternSetupUI>(*this, p), node);
  ODesignUI& pictures = AddController(std::make_unique<OPicturesUI>(*this, p), node);
  for (const auto& picture : *p.Pictures)
    AddPictureBranch(*picture, pictures);
  ODesignUI& sections = AddController(std::make_unique<OSectionsUI>(*this, p), node);
  for (const auto& section : *p.Sections)
    AddController(std::make_unique<OSectionUI>(*this, p, *section), sections);
  View.ExpandBranch(node);
  // The new pattern is the one the next command (Save, Export) is meant for.
  SelectedUI = &node;
  View.SelectNode(node);
  View.UpdateButtons();
  WatchFiles();
  return node;
}

void OPatternTree::AddPictureBranch(OPicture& picture, ODesignUI& pictures, int index) {
  OPattern& p = *pictures.Pattern;
  ODesignUI& pictureNode =
      InsertController(std::make_unique<OPictureUI>(*this, p, picture), pictures, index);
  ODesignUI& regions = AddController(std::make_unique<ORegionsUI>(*this, p, picture), pictureNode);
  for (const auto& region : picture.Regions)
    AddController(std::make_unique<ORegionUI>(*this, p, picture, *region), regions);
  ODesignUI& windows = AddController(std::make_unique<OWindowsUI>(*this, p, picture), pictureNode);
  // A picture that comes back brings its windows back under their names.
  std::vector<std::string> names;
  if (auto it = WindowsOf.find(picture.NodeName); it != WindowsOf.end()) {
    names = std::move(it->second);
    WindowsOf.erase(it);
  }
  if (names.empty())
    names.emplace_back();
  for (std::string& name : names)
    AddController(std::make_unique<OWindowUI>(*this, p, picture, std::move(name)), windows);
}

OWindowUI* OPatternTree::ShowViewWindow(const OPattern& pattern) {
  OWindowUI* shown = nullptr;
  for (const auto& entry : Entries)
    if (auto* window = dynamic_cast<OWindowUI*>(entry.get()); window && window->Pattern == &pattern)
      if (!shown || (window->Editor() && !shown->Editor()))
        shown = window;
  if (shown)
    shown->Open();
  return shown;
}

OPatternUI* OPatternTree::PatternNode(const OPattern& pattern) const {
  for (const auto& entry : Entries)
    if (entry->Pattern == &pattern)
      if (auto* node = dynamic_cast<OPatternUI*>(entry.get()))
        return node;
  return nullptr;
}

bool OPatternTree::IsBelow(const ODesignUI& node, const ODesignUI& ancestor) const {
  for (const ODesignUI* p = node.Parent; p; p = p->Parent)
    if (p == &ancestor)
      return true;
  return false;
}

void OPatternTree::Remove(ODesignUI& node) {
  node.CloseEditor();
  bool wasSelected = SelectedUI == &node;
  View.DeleteNode(node);
  ODesignUI* parent = node.Parent;
  for (size_t i = Entries.size(); i-- > 0;)
    if (Entries[i].get() == &node) {
      Entries.erase(Entries.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  if (wasSelected) {
    SelectedUI = parent ? parent : RootUI.get();
    View.SelectNode(*SelectedUI);
  }
}

void OPatternTree::RemoveBelow(const ODesignUI& node) {
  // Children always stand after their parents in the registry, so going from the last
  // entry removes the deepest nodes first.
  for (size_t i = Entries.size(); i-- > 0;)
    if (i < Entries.size() && IsBelow(*Entries[i], node))
      Remove(*Entries[i]);
}

void OPatternTree::DeleteNode(ODesignUI& node) {
  RemoveBelow(node);
  Remove(node);
}

namespace {
// The element a node shows, if any.
const void* ElementOf(const ODesignUI& node) {
  if (auto* n = dynamic_cast<const OSectionUI*>(&node))
    return &n->Section;
  if (auto* n = dynamic_cast<const ORegionUI*>(&node))
    return &n->Region;
  if (auto* n = dynamic_cast<const OPictureUI*>(&node))
    return &n->Picture;
  if (auto* n = dynamic_cast<const ORegionsUI*>(&node))
    return &n->Picture;
  if (auto* n = dynamic_cast<const OWindowsUI*>(&node))
    return &n->Picture;
  if (auto* n = dynamic_cast<const OWindowUI*>(&node))
    return &n->Picture;
  return nullptr;
}
} // namespace

void OPatternTree::NoteLeaving(const ODesignUI& node, bool last) {
  if (node.Editor() && ElementOf(node))
    LeftOpen.push_back(node.Name());
  if (auto* window = dynamic_cast<const OWindowUI*>(&node)) {
    auto& names = WindowsOf[window->Picture.NodeName];
    names.insert(last ? names.begin() : names.end(), node.Name());
  }
}

void OPatternTree::SyncElements(OPattern& pattern) {
  std::set<const void*> alive;
  for (const auto& picture : *pattern.Pictures) {
    alive.insert(picture.get());
    for (const auto& region : picture->Regions)
      alive.insert(region.get());
  }
  for (const auto& section : *pattern.Sections)
    alive.insert(section.get());
  std::set<const void*> shown;
  for (size_t i = Entries.size(); i-- > 0;) {
    if (i >= Entries.size() || Entries[i]->Pattern != &pattern)
      continue;
    const void* element = ElementOf(*Entries[i]);
    if (element && !alive.count(element)) {
      NoteLeaving(*Entries[i], true);
      Remove(*Entries[i]);
    } else if (element)
      shown.insert(element);
  }
  ODesignUI* pictures = nullptr;
  ODesignUI* sections = nullptr;
  std::map<const OPicture*, ODesignUI*> regionsOf;
  for (const auto& entry : Entries)
    if (entry->Pattern == &pattern) {
      if (dynamic_cast<OPicturesUI*>(entry.get()))
        pictures = entry.get();
      else if (dynamic_cast<OSectionsUI*>(entry.get()))
        sections = entry.get();
      else if (auto* regions = dynamic_cast<ORegionsUI*>(entry.get()))
        regionsOf[&regions->Picture] = regions;
    }
  bool added = false;
  const size_t first = Entries.size();
  int index = 0;
  for (const auto& picture : *pattern.Pictures) {
    if (!shown.count(picture.get())) {
      if (pictures)
        AddPictureBranch(*picture, *pictures, index);
      added = true;
    } else {
      int r = 0;
      for (const auto& region : picture->Regions) {
        if (!shown.count(region.get()) && regionsOf.count(picture.get())) {
          InsertController(std::make_unique<ORegionUI>(*this, pattern, *picture, *region),
                           *regionsOf[picture.get()], r);
          added = true;
        }
        ++r;
      }
    }
    ++index;
  }
  index = 0;
  for (const auto& section : *pattern.Sections) {
    if (!shown.count(section.get()) && sections) {
      InsertController(std::make_unique<OSectionUI>(*this, pattern, *section), *sections, index);
      added = true;
    }
    ++index;
  }
  // What left with its editor open comes back with it open.
  for (size_t i = first; i < Entries.size(); ++i) {
    ODesignUI& node = *Entries[i];
    if (auto it = std::find(LeftOpen.begin(), LeftOpen.end(), node.Name()); it != LeftOpen.end()) {
      LeftOpen.erase(it);
      node.Activate();
    }
  }
  if (OPatternUI* node = PatternNode(pattern); added && node)
    View.ExpandBranch(*node);
  View.UpdateButtons();
}

void OPatternTree::ClosePattern(OPattern& pattern) {
  for (size_t i = Entries.size(); i-- > 0;)
    if (i < Entries.size() && Entries[i]->Pattern == &pattern)
      Remove(*Entries[i]);
  View.UpdateButtons();
  WatchFiles();
  RecoveryFollows();
}

void OPatternTree::RecoveryFollows() {
  if (Recovery)
    Recovery->Update(OpenPatterns(), false); // removing copies writes nothing, so fails in nothing
}

bool OPatternTree::QuerySave(OPattern& pattern) {
  if (!pattern.Modified())
    return true;
  OPatternUI* node = PatternNode(pattern);
  std::string name = node ? node->Name() : StripExtension(pattern.FileName);
  switch (g.UI().AskSaveChanges("Save changes to " + name + "?")) {
  case TSaveChoice::Save:
    return node ? node->Save() : false;
  case TSaveChoice::Discard:
    return true;
  case TSaveChoice::Cancel:
    break;
  }
  return false;
}

bool OPatternTree::QueryCloseEditors(const OPattern* pattern) {
  for (const auto& c : Entries)
    if (c->Editor() && (!pattern || c->Pattern == pattern) && !c->Editor()->QueryClose())
      return false;
  return true;
}

bool OPatternTree::QueryClosePattern(OPattern& pattern) {
  if (!QueryCloseEditors(&pattern) || !QuerySave(pattern))
    return false;
  ClosePattern(pattern);
  return true;
}

bool OPatternTree::QuerySaveAll() {
  if (!QueryCloseEditors(nullptr))
    return false;
  for (size_t i = 0; i < Entries.size(); ++i)
    if (dynamic_cast<OPatternUI*>(Entries[i].get()) && !QuerySave(*Entries[i]->Pattern))
      return false;
  return true;
}

bool OPatternTree::CloseAll() {
  if (!QuerySaveAll())
    return false;
  CloseAllUnasked();
  return true;
}

void OPatternTree::CloseAllUnasked() {
  while (!Entries.empty())
    Remove(*Entries.back());
  View.UpdateButtons();
  WatchFiles();
  RecoveryFollows();
}

void OPatternTree::SaveAll() {
  for (size_t i = 0; i < Entries.size(); ++i)
    if (dynamic_cast<OPatternUI*>(Entries[i].get()))
      Entries[i]->Save();
  View.UpdateButtons();
}

TTreeButtons OPatternTree::Buttons() const {
  const ODesignUI& c = SelectedUI ? *SelectedUI : *RootUI;
  TTreeButtons b;
  b.ExportCaption = c.ExportCaption();
  b.ImportCaption = c.ImportCaption();
  const uint16_t bits = c.GetCommands();
  b.New = bits & cmNew;
  b.Open = bits & cmOpen;
  b.Delete = bits & cmDelete;
  b.Import = bits & cmImport;
  b.Export = bits & cmExport;
  b.Production = bits & cmProduction;
  b.Check = bits & cmCheck;
  b.Colourways = bits & cmColourways;
  b.Preview = bits & cmPreview;
  b.Close = (bits & cmClose) || c.Editor();
  b.SaveAs = c.Pattern != nullptr;
  b.Save = c.Pattern && c.Pattern->Modified();
  return b;
}

// A command on a node, if its button is enabled (always, without one). A failure that
// nothing else reported is shown rather than lost, and the toolbar follows whatever the
// command did.
void OPatternTree::RunCommand(ODesignUI& node, bool TTreeButtons::*enabled,
                              const std::function<void(ODesignUI&)>& run) {
  try {
    if (!enabled || Buttons().*enabled)
      run(node);
  } catch (const std::exception& e) {
    g.UI().ShowError(e.what());
  }
  View.UpdateButtons();
}

void OPatternTree::RunOnSelected(bool TTreeButtons::*enabled,
                                 const std::function<void(ODesignUI&)>& run) {
  RunCommand(SelectedUI ? *SelectedUI : *RootUI, enabled, run);
}

void OPatternTree::RunNew() {
  RunOnSelected(&TTreeButtons::New, [](ODesignUI& c) { c.New(); });
}

void OPatternTree::RunOpen() {
  RunOnSelected(&TTreeButtons::Open, [](ODesignUI& c) { c.Open(); });
}

void OPatternTree::RunSave() {
  RunOnSelected(&TTreeButtons::Save, [](ODesignUI& c) { c.Save(); });
}

void OPatternTree::RunSaveAs() {
  RunOnSelected(&TTreeButtons::SaveAs, [](ODesignUI& c) { c.SaveAs(); });
}

void OPatternTree::RunImport() {
  RunOnSelected(&TTreeButtons::Import, [](ODesignUI& c) { c.Import(); });
}

void OPatternTree::RunExport() {
  RunOnSelected(&TTreeButtons::Export, [](ODesignUI& c) { c.Export(); });
}

void OPatternTree::RunProduction() {
  RunOnSelected(&TTreeButtons::Production, [](ODesignUI& c) { c.Production(); });
}

void OPatternTree::RunCheck() {
  RunOnSelected(&TTreeButtons::Check, [](ODesignUI& c) { c.Check(); });
}

void OPatternTree::RunColourways() {
  RunOnSelected(&TTreeButtons::Colourways, [](ODesignUI& c) { c.Colourways(); });
}

void OPatternTree::RunPreview() {
  RunOnSelected(&TTreeButtons::Preview, [](ODesignUI& c) { c.Preview(); });
}

void OPatternTree::RunDelete() {
  RunOnSelected(&TTreeButtons::Delete, [this](ODesignUI& c) {
    if (dynamic_cast<OPatternUI*>(&c)) {
      c.Delete();
      QueryClosePattern(*c.Pattern);
    } else {
      // The editors below go before the element they show; an undo opens them again. A
      // window is no element: it goes for good.
      if (!dynamic_cast<OWindowUI*>(&c)) {
        NoteLeaving(c);
        for (const auto& entry : Entries)
          if (IsBelow(*entry, c))
            NoteLeaving(*entry);
      }
      RemoveBelow(c);
      c.CloseEditor();
      c.Delete();
      Remove(c);
    }
    Tabs.SelectTree();
  });
}

void OPatternTree::RunClose() {
  RunOnSelected(&TTreeButtons::Close, [this](ODesignUI& c) {
    if (dynamic_cast<OPatternUI*>(&c))
      QueryClosePattern(*c.Pattern);
    else
      c.CloseEditorAsked();
  });
}

void OPatternTree::Activate(ODesignUI& node) {
  RunCommand(node, nullptr, [](ODesignUI& c) { c.Activate(); });
}

namespace {
// A pattern never saved keeps a name without a folder, which names no file yet.
bool HasFile(const OPattern& pattern) {
  return !FolderOf(pattern.FileName).empty();
}

// A file Open cannot read may be one that a Wizards import reads: say which.
std::string ImportHint(const std::string& path) {
  const std::string ext = [&] {
    std::string e = path.substr(path.find_last_of("./\\") + 1);
    for (char& ch : e)
      ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return e;
  }();
  const char* item = nullptr;
  const char* kind = nullptr;
  if (ext == "TUF" || ext == "DAT") {
    kind = "an Orlek control file";
    item = "New Pattern From Orlek Control File (.TUF)";
  } else {
    const int32_t created = OPattern::PatternsCreated();
    try {
      const TBytes bytes = ReadFileBytes(path);
      if (ext == "CAR") {
        NewPatternFromCmcBytes(bytes);
        kind = "a CMC control file";
        item = "New Pattern From CMC Control File (.CAR)";
      } else {
        NewPatternFromNedBytes(bytes);
        kind = "a NED Graphics pattern file";
        item = "New Pattern From NED Graphics Pattern File (.PAT)";
      }
    } catch (const std::exception&) {
    }
    // A trial read, not a pattern of the program's.
    OPattern::GiveBackNumbers(created);
  }
  if (!item)
    return "";
  return std::string("\n\nThis is ") + kind + ": Wizards, " + item + " reads it.";
}

// The colourways beside the pattern as part of what was read, not a step to undo. A file
// that cannot be read costs them, not the pattern; it stays until colourways replace it.
void ReadColourways(OPattern& pattern) {
  try {
    AdoptColourways(pattern, pattern.FileName);
  } catch (const std::exception& e) {
    g.UI().ShowError("Error reading colourways: " + ColourwaysFileName(pattern.FileName) + "\n" +
                     e.what());
  }
}

// The pattern read from the file, or the failure shown. A file that fails, or whose read
// the user cancels, does not use up a pattern number.
std::unique_ptr<OPattern> ReadPattern(const std::string& path) {
  const int32_t created = OPattern::PatternsCreated();
  try {
    std::unique_ptr<OPattern> pattern = ReadPatternFile(path, true, true);
    ReadColourways(*pattern);
    // Just read, it holds nothing the file does not.
    pattern->SetModified(0);
    return pattern;
  } catch (const EOpenCancelled&) {
    OPattern::GiveBackNumbers(created);
    g.UI().ShowStatus("Opening cancelled: " + path);
    return nullptr;
  } catch (const std::exception& e) {
    OPattern::GiveBackNumbers(created);
    g.UI().ShowError(e.what() + ImportHint(path));
    return nullptr;
  }
}
} // namespace

OPatternUI* OPatternTree::PatternOfFile(const std::string& path) const {
  const std::string normal = NormalPatternPath(path);
  // A link, a second mount or a hard link leads to the same file by another name.
  for (const auto& entry : Entries)
    if (auto* node = dynamic_cast<OPatternUI*>(entry.get()))
      if (HasFile(*node->Pattern) && (NormalPatternPath(node->Pattern->FileName) == normal ||
                                      SameFile(node->Pattern->FileName, path)))
        return node;
  return nullptr;
}

void OPatternTree::OpenPatternPath(const std::string& path) {
  if (OPatternUI* open = PatternOfFile(path)) {
    Select(open);
    View.ExpandBranch(*open);
    View.SelectNode(*open);
    Tabs.SelectTree();
    g.UI().ShowStatus(path + " is open already.");
    return;
  }
  OWaitCursor wait;
  // Measured before reading: a write that comes while it is read counts as a change.
  const TFileStamp stamp = TFileStamp::Of(path);
  std::unique_ptr<OPattern> pattern = ReadPattern(path);
  if (!pattern)
    return;
  AddPattern(std::move(pattern)).DiskStamp = stamp;
  AddRecentPattern(g.Persist(), path);
}

void OPatternTree::WatchFiles() {
  std::vector<std::string> files;
  for (const auto& entry : Entries)
    if (dynamic_cast<OPatternUI*>(entry.get()) && HasFile(*entry->Pattern))
      files.push_back(entry->Pattern->FileName);
  View.WatchFiles(files);
}

void OPatternTree::FileChangedOnDisk(const std::string& path) {
  OPatternUI* node = PatternOfFile(path);
  if (!node || Asking || !node->ChangedOnDisk())
    return;
  const TFileStamp now = TFileStamp::Of(node->Pattern->FileName);
  if (now == node->KeptStamp)
    return;
  node->KeptStamp = now;
  std::string text = node->Pattern->FileName + " was changed by another program.\n\nReload it? ";
  text += node->Pattern->Modified()
              ? "OK reads the file again and drops the changes made here to " + node->Name() +
                    "; Cancel keeps them, and saving then asks before it replaces the file."
              : "OK reads the file again; Cancel keeps the pattern as it is here, and saving "
                "then asks before it replaces the file.";
  bool reload;
  {
    Asking = true;
    reload = g.UI().Confirm(text);
    Asking = false;
  }
  // The answer may have taken a while: the pattern may have gone meanwhile.
  node = PatternOfFile(path);
  if (reload && node)
    Reload(*node);
}

void OPatternTree::Reload(OPatternUI& node) {
  const std::string path = node.Pattern->FileName;
  OWaitCursor wait;
  const TFileStamp stamp = TFileStamp::Of(path);
  std::unique_ptr<OPattern> pattern = ReadPattern(path);
  if (!pattern)
    return;
  // The editors go with the old pattern; what they held was not applied.
  ClosePattern(*node.Pattern);
  AddPattern(std::move(pattern)).DiskStamp = stamp;
}

TFileCommands OPatternTree::FileCommands() const {
  TFileCommands c;
  const OPatternUI* active = ActivePatternNode();
  c.SaveAs = active != nullptr;
  c.Save = active && active->Pattern->Modified();
  c.CloseWindow = ActiveEditor() != nullptr;
  for (const auto& entry : Entries)
    if (dynamic_cast<const OPatternUI*>(entry.get())) {
      c.CloseAll = true;
      c.SaveAll = c.SaveAll || entry->Pattern->Modified();
    }
  return c;
}

void OPatternTree::OpenPatternPaths(const std::vector<std::string>& paths) {
  for (const std::string& path : paths)
    OpenPatternPath(path);
}

OEditor* OPatternTree::ActiveEditor() const {
  const auto& tabs = Tabs.Tabs();
  const size_t index = Tabs.Selected();
  return index < tabs.size() && tabs[index].Node ? tabs[index].Node->Editor() : nullptr;
}

OPatternUI* OPatternTree::ActivePatternNode() const {
  const ODesignUI* node = SelectedUI;
  if (ActiveEditor())
    node = Tabs.Tabs()[Tabs.Selected()].Node;
  return node && node->Pattern ? PatternNode(*node->Pattern) : nullptr;
}

void OPatternTree::SaveActive() {
  if (OPatternUI* node = ActivePatternNode())
    RunCommand(*node, nullptr, [](ODesignUI& c) { c.Save(); });
}

void OPatternTree::SaveActiveAs() {
  if (OPatternUI* node = ActivePatternNode())
    RunCommand(*node, nullptr, [](ODesignUI& c) { c.SaveAs(); });
}

std::vector<OPattern*> OPatternTree::OpenPatterns() const {
  std::vector<OPattern*> open;
  for (const auto& entry : Entries)
    if (dynamic_cast<const OPatternUI*>(entry.get()))
      open.push_back(entry->Pattern);
  return open;
}

} // namespace quillane
