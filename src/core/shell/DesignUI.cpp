#include "shell/DesignUI.h"

#include <filesystem>
#include <utility>

#include "app/App.h"
#include "app/FileIO.h"
#include "elements/BitmapMapping.h"
#include "elements/Picture.h"
#include "elements/Region.h"
#include "elements/Section.h"
#include "files/Export.h"
#include "model/Pattern.h"
#include "production/ColourwaysFile.h"
#include "shell/PatternCheck.h"
#include "shell/PatternTree.h"
#include "shell/RecentPatterns.h"
#include "shell/Tabs.h"

namespace quillane {

namespace {
constexpr uint32_t WindowColour = 0x00FFFFFF;

TFileFilter PatternFilter() {
  return TFileFilter::ForExtension("Pattern files (*.PAT)", "PAT");
}

// Writes the pattern to its file under the hourglass; a failure is shown and the pattern
// stays modified. The file as written is what later outside changes are measured from.
bool WritePattern(OPatternTree& tree, OPattern& pattern) {
  // The colourways first: when they cannot be written the pattern stays modified, so that
  // closing it still asks.
  try {
    const TColourways& colourways = pattern.Colourways();
    bool keep = false;
    // A file that could not be read holds the designer's colourways; none made here yet
    // must not take its place.
    if (colourways.Trivial())
      try {
        LoadColourways(pattern.FileName);
      } catch (const std::exception&) {
        keep = true;
      }
    if (!keep)
      SaveColourways(pattern.FileName, colourways);
  } catch (const std::exception& e) {
    g.UI().ShowError("Error saving colourways: " + ColourwaysFileName(pattern.FileName) + "\n" +
                     e.what());
    return false;
  }
  try {
    OWaitCursor wait;
    pattern.SaveToFile();
    AddRecentPattern(g.Persist(), pattern.FileName);
  } catch (const std::exception& e) {
    g.UI().ShowError("Error saving pattern: " + pattern.FileName + "\n" + e.what());
    return false;
  }
  if (OPatternUI* node = tree.PatternNode(pattern)) {
    node->DiskStamp = TFileStamp::Of(pattern.FileName);
    node->KeptStamp = {};
  }
  tree.WatchFiles();
  return true;
}

// The pattern file could not hold one more element; better said now than when saving.
bool RefuseBeyond(int count, int limit, const std::string& message) {
  if (count < limit)
    return false;
  g.UI().ShowMessage(message);
  return true;
}

// A pattern still under its first name, "PatternN.pat" without a folder, was never saved.
bool NeverSaved(const OPattern& pattern) {
  return FolderOf(pattern.FileName).empty();
}
// An element's node name: the one it had, when an undo or redo brings it back, else a new
// one that it keeps from now on.
std::string NameOf(ODesignData& element, OPattern& pattern, std::string (OPattern::*next)()) {
  if (element.NodeName.empty())
    element.NodeName = (pattern.*next)();
  return element.NodeName;
}
} // namespace

TFileStamp TFileStamp::Of(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  TFileStamp stamp;
  if (!fs::is_regular_file(path, ec))
    return stamp;
  stamp.Size = fs::file_size(path, ec);
  if (ec)
    return stamp;
  stamp.Time = fs::last_write_time(path, ec).time_since_epoch().count();
  stamp.Exists = !ec;
  return stamp;
}

ODesignUI::ODesignUI(OPatternTree& tree, std::string name, OPattern* pattern)
    : Pattern(pattern), Colour(WindowColour), Tree(tree), NameText(std::move(name)) {}

ODesignUI::~ODesignUI() {
  CloseEditor();
}

void ODesignUI::SetName(const std::string& name) {
  NameText = name;
  Tree.View.SetNodeText(*this, name);
}

void ODesignUI::RepaintNode() {
  Tree.View.RepaintNode(*this);
}

bool ODesignUI::Save() {
  if (!Pattern)
    return false;
  if (NeverSaved(*Pattern))
    return SaveAs();
  OPatternUI* node = Tree.PatternNode(*Pattern);
  if (node && node->ChangedOnDisk() &&
      !g.UI().Confirm(Pattern->FileName +
                      " was changed by another program since it was read here.\n\nSave over "
                      "it? OK replaces that change with this pattern; Cancel saves nothing."))
    return false;
  return WritePattern(Tree, *Pattern);
}

bool ODesignUI::SaveAs() {
  if (!Pattern)
    return false;
  TFileDialog& dialog = g.UI().SaveDialog;
  dialog.DefaultExt = "PAT";
  dialog.FileName = StripExtension(Pattern->FileName);
  dialog.Filters = {PatternFilter()};
  dialog.InitialDir = g.CurrentDir;
  dialog.Title = "Save Pattern";
  dialog.Options = ofOverwritePrompt | ofHideReadOnly | ofShowHelp | ofPathMustExist;
  if (!ExecuteSaveDialog(dialog))
    return false;
  // The whole path is kept, so the file lands where the user chose; the pattern takes the
  // new name only once it is written there.
  std::string previous = Pattern->FileName;
  Pattern->FileName = dialog.FileName;
  if (!WritePattern(Tree, *Pattern)) {
    Pattern->FileName = previous;
    return false;
  }
  if (OPatternUI* node = Tree.PatternNode(*Pattern))
    node->SetName(StripExtension(Pattern->FileName));
  Tree.View.UpdateButtons();
  return true;
}

void ODesignUI::CloseEditor() {
  // Forgotten before it goes, so whatever its closing calls back finds no window here.
  if (TEditorWindow window = std::move(Window)) {
    Tree.Tabs.RemoveTab(*this);
    Tree.Tabs.SelectTree();
  }
}

bool ODesignUI::CloseEditorAsked() {
  if (!Window)
    return true;
  if (!Window->QueryClose())
    return false;
  QueryClose();
  CloseEditor();
  return true;
}

void ODesignUI::OpenEditor(TEditorKind kind) {
  if (!Window)
    Window = Tree.View.CreateEditor(*this, kind);
  Tree.Tabs.ShowTab(*this);
}

OWindowUI* ODesignUI::ShowViewWindow() {
  return Pattern ? Tree.ShowViewWindow(*Pattern) : nullptr;
}

OPatternsUI::OPatternsUI(OPatternTree& tree) : ODesignUI(tree, "Patterns", nullptr) {}

void OPatternsUI::New() {
  OWaitCursor wait;
  auto pattern = std::make_unique<OPattern>();
  pattern->InitNew();
  Tree.AddPattern(std::move(pattern));
}

void OPatternsUI::Open() {
  TFileDialog& dialog = g.UI().OpenDialog;
  dialog.DefaultExt = "PAT";
  dialog.FileName = StripExtension(dialog.FileName);
  dialog.Filters = {PatternFilter()};
  dialog.InitialDir = g.CurrentDir;
  dialog.Title = "Open Pattern";
  dialog.Options = ofReadOnly | ofShowHelp | ofFileMustExist;
  if (ExecuteOpenDialog(dialog))
    Tree.OpenPatternPath(dialog.FileName);
}

OPatternUI::OPatternUI(OPatternTree& tree, std::unique_ptr<OPattern> pattern)
    : ODesignUI(tree, StripExtension(pattern->FileName), pattern.get()), Owned(std::move(pattern)) {
  Subscription = Owned->Events.Subscribe([this](const TPatternChange& change) {
    // An undo, a redo or a resize may have taken elements out or put them back; an undo
    // tells of the elements it put back rather than of everything.
    if (change.Kind == TPatternChange::TKind::All || change.Kind == TPatternChange::TKind::Elements)
      Tree.ElementsMayHaveChanged(*Pattern);
    if (change.Kind == TPatternChange::TKind::All ||
        (change.Kind == TPatternChange::TKind::Elements && Pattern->History.Restoring())) {
      Tree.Tabs.RefreshEditors(*Pattern);
    } else if (change.Kind == TPatternChange::TKind::Modified) {
      Tree.View.UpdateButtons();
      Tree.RecoveryFollows();
    }
  });
}

OPatternUI::~OPatternUI() = default;

namespace {

// The Check and Colourways windows of a pattern: no node of the tree, but the pattern's,
// which goes with them, so that they stand beside the pattern's Production window rather
// than taking its place.
class OSideWindowUI : public ODesignUI {
public:
  OSideWindowUI(OPatternTree& tree, OPattern& pattern, const std::string& name, TEditorKind kind)
      : ODesignUI(tree, name, &pattern), Kind(kind) {}
  void Open() override { OpenEditor(Kind); }

private:
  TEditorKind Kind;
};

} // namespace

void OPatternUI::Check() {
  if (!CheckNode)
    CheckNode = std::make_unique<OSideWindowUI>(Tree, *Pattern, Name(), TEditorKind::Check);
  CheckNode->Open();
}

void OPatternUI::Colourways() {
  if (!ColourwaysNode)
    ColourwaysNode =
        std::make_unique<OSideWindowUI>(Tree, *Pattern, Name(), TEditorKind::Colourways);
  ColourwaysNode->Open();
}

bool OPatternUI::ChangedOnDisk() const {
  if (!DiskStamp.Exists)
    return false;
  const TFileStamp now = TFileStamp::Of(Pattern->FileName);
  // A file that went is no change to keep: saving writes it again.
  return now.Exists && now != DiskStamp;
}

void OPatternUI::Export() {
  // A pattern that names its machine is checked against it before anything is asked or
  // written; one that names none exports as it always did.
  if (const std::string question = ExportCheckQuestion(*Pattern, Pattern->FileName);
      !question.empty() && !g.UI().Confirm(question))
    return;
  ExportControlFiles(*Pattern);
}

OControlSetupUI::OControlSetupUI(OPatternTree& tree, OPattern& pattern)
    : OEditorNodeUI(tree, "ControlSetup" + std::to_string(pattern.Number()), pattern,
                    TEditorKind::ControlSetup) {}

OPatternSetupUI::OPatternSetupUI(OPatternTree& tree, OPattern& pattern)
    : OEditorNodeUI(tree, "PatternSetup" + std::to_string(pattern.Number()), pattern,
                    TEditorKind::PatternSetup) {}

OPicturesUI::OPicturesUI(OPatternTree& tree, OPattern& pattern)
    : ODesignUI(tree, "Pictures", &pattern) {}

void OPicturesUI::New() {
  if (RefuseBeyond(Pattern->Pictures->Count(), OPattern::MaxPictures,
                   "A pattern can hold at most 255 pictures."))
    return;
  OPatternTree::TOwnEdit own(Tree);
  auto added = std::make_unique<OPicture>(Pattern);
  added->SetDefaults();
  added->NodeName = Pattern->NewPictureName();
  OUndoHistory::TChange step(Pattern->History, "New " + added->NodeName,
                             OUndoHistory::TTouches::ObjectsOnly());
  OPicture* picture = Pattern->History.Add(*Pattern->Pictures, std::move(added));
  Tree.AddPictureBranch(*picture, *this);
  Pattern->Changed();
  step.Commit();
  Tree.View.ExpandBranch(*this);
}

OPictureUI::OPictureUI(OPatternTree& tree, OPattern& pattern, OPicture& picture)
    : OEditorNodeUI(tree, NameOf(picture, pattern, &OPattern::NewPictureName), pattern,
                    TEditorKind::Picture),
      Picture(picture) {}

void OPictureUI::Preview() {
  if (!PreviewNode)
    PreviewNode = std::make_unique<OPreviewUI>(Tree, *Pattern, Picture, Name());
  PreviewNode->Open();
}

void OPictureUI::Delete() {
  OPatternTree::TOwnEdit own(Tree);
  OUndoHistory::TChange step(Pattern->History, "Delete " + Name(),
                             OUndoHistory::TTouches::ObjectsOnly());
  Pattern->History.Remove(*Pattern->Pictures, &Picture);
  Pattern->Changed();
  step.Commit();
}

ORegionsUI::ORegionsUI(OPatternTree& tree, OPattern& pattern, OPicture& picture)
    : ODesignUI(tree, "Regions", &pattern), Picture(picture) {}

void ORegionsUI::New() {
  if (RefuseBeyond(Picture.Regions.Count(), OPicture::MaxRegions,
                   "A picture can hold at most 255 regions."))
    return;
  OPatternTree::TOwnEdit own(Tree);
  auto added = std::make_unique<ORegion>(Pattern, &Picture);
  added->SetDefaults();
  added->NodeName = Pattern->NewRegionName();
  OUndoHistory::TChange step(Pattern->History, "New " + added->NodeName,
                             OUndoHistory::TTouches::ObjectsOnly());
  ORegion* region = Pattern->History.Add(Picture.Regions, std::move(added));
  Tree.AddController(std::make_unique<ORegionUI>(Tree, *Pattern, Picture, *region), *this);
  Pattern->Changed();
  step.Commit();
}

ORegionUI::ORegionUI(OPatternTree& tree, OPattern& pattern, OPicture& picture, ORegion& region)
    : OEditorNodeUI(tree, NameOf(region, pattern, &OPattern::NewRegionName), pattern,
                    TEditorKind::Region),
      Picture(picture), Region(region) {}

bool ORegionUI::StandsOut() const {
  return Region.ImportFlag != 0;
}

void ORegionUI::Delete() {
  OPatternTree::TOwnEdit own(Tree);
  OUndoHistory::TChange step(Pattern->History, "Delete " + Name(),
                             OUndoHistory::TTouches::ObjectsOnly());
  Pattern->History.Remove(Picture.Regions, &Region);
  Pattern->Changed();
  step.Commit();
}

void ORegionUI::Import() {
  TFileDialog& dialog = g.UI().OpenDialog;
  dialog.DefaultExt = "BMP";
  dialog.FileName = Region.BitmapFileName;
  // Bitmaps first; then every kind of image the desktop program reads.
  dialog.Filters = {TFileFilter::ForExtension("Bitmap files (*.BMP)", "BMP"),
                    {"Image files (*.BMP *.PNG *.GIF *.JPG *.JPEG)",
                     {"*.BMP", "*.bmp", "*.PNG", "*.png", "*.GIF", "*.gif", "*.JPG", "*.jpg",
                      "*.JPEG", "*.jpeg"}},
                    {"All files (*)", {"*"}}};
  dialog.InitialDir = g.CurrentDir;
  dialog.Title = "Import Bitmap";
  dialog.Options = ofReadOnly | ofShowHelp | ofFileMustExist;
  if (!ExecuteOpenDialog(dialog))
    return;
  Region.BitmapFileName = dialog.FileName;
  Tree.View.RunBitmapImport(Region);
}

void ORegionUI::Export() {
  bool machine = true;
  if (Pattern->PatternMode == pmStates && !Tree.View.AskExportMode(machine))
    return;
  TFileDialog& dialog = g.UI().SaveDialog;
  dialog.DefaultExt = "BMP";
  dialog.FileName = StripExtension(dialog.FileName);
  dialog.Filters = {TFileFilter::ForExtension("Bitmap files (*.BMP)", "BMP"),
                    TFileFilter::ForExtension("PNG files (*.PNG)", "PNG")};
  dialog.InitialDir = g.CurrentDir;
  dialog.Title = "Export Bitmap";
  dialog.Options = ofOverwritePrompt | ofHideReadOnly | ofShowHelp | ofPathMustExist;
  if (!ExecuteSaveDialog(dialog))
    return;
  try {
    OWaitCursor wait;
    Tree.View.SaveBitmap(ExportBitmap(Region, machine), dialog.FileName);
  } catch (const std::exception& e) {
    g.UI().ShowError(e.what());
  }
}

OWindowsUI::OWindowsUI(OPatternTree& tree, OPattern& pattern, OPicture& picture)
    : ODesignUI(tree, "Windows", &pattern), Picture(picture) {}

void OWindowsUI::New() {
  Tree.AddController(std::make_unique<OWindowUI>(Tree, *Pattern, Picture), *this);
}

OWindowUI::OWindowUI(OPatternTree& tree, OPattern& pattern, OPicture& picture, std::string name)
    : OEditorNodeUI(tree, name.empty() ? pattern.NewWindowName() : std::move(name), pattern,
                    TEditorKind::Window),
      Picture(picture) {}

void OWindowUI::Preview() {
  for (ODesignUI* node = Parent; node; node = node->Parent)
    if (auto* picture = dynamic_cast<OPictureUI*>(node))
      return picture->Preview();
}

OSectionsUI::OSectionsUI(OPatternTree& tree, OPattern& pattern)
    : ODesignUI(tree, "Sections", &pattern) {}

void OSectionsUI::New() {
  if (RefuseBeyond(Pattern->Sections->Count(), OPattern::MaxSections,
                   "A pattern can hold at most 65535 sections."))
    return;
  OPatternTree::TOwnEdit own(Tree);
  auto added = std::make_unique<OSection>(Pattern);
  added->SetDefaults();
  added->NodeName = Pattern->NewSectionName();
  OUndoHistory::TChange step(Pattern->History, "New " + added->NodeName);
  OSection* section = Pattern->History.Add(*Pattern->Sections, std::move(added));
  Tree.AddController(std::make_unique<OSectionUI>(Tree, *Pattern, *section), *this);
  Pattern->Changed();
  step.Commit();
}

OSectionUI::OSectionUI(OPatternTree& tree, OPattern& pattern, OSection& section)
    : OEditorNodeUI(tree, NameOf(section, pattern, &OPattern::NewSectionName), pattern,
                    TEditorKind::Section),
      Section(section) {}

void OSectionUI::Delete() {
  OPatternTree::TOwnEdit own(Tree);
  OUndoHistory::TChange step(Pattern->History, "Delete " + Name());
  Pattern->History.Remove(*Pattern->Sections, &Section);
  Pattern->Changed();
  step.Commit();
}

} // namespace quillane
