#include "shell/MainCommands.h"

#include "app/App.h"
#include "app/FileIO.h"
#include "shell/PatternTree.h"

namespace quillane {

std::vector<std::string> HelpFileCandidates(THelpKind kind, const std::string& startDir,
                                            const std::string& programDir) {
  std::string name = kind == THelpKind::Reference ? "Quillane.html" : "Quillane.pdf";
  return {JoinPath(startDir, name), JoinPath(JoinPath(startDir, "Manual"), name),
          JoinPath(programDir, ShippedManualName),
          JoinPath(JoinPath(FolderOf(programDir), InstalledManualFolder), ShippedManualName)};
}

void OpenHelp(THelpKind kind, const std::string& programDir) {
  std::vector<std::string> candidates = HelpFileCandidates(kind, g.StartDir, programDir);
  for (const std::string& file : candidates)
    if (FileExists(file)) {
      g.UI().ShellOpen(file);
      return;
    }
  std::string text = "No help file was found. Looked for:";
  for (const std::string& file : candidates)
    text += "\n" + file;
  g.UI().ShowMessage(text);
}

void OpenExplorer() {
  g.UI().ShellOpen(g.CurrentDir);
}

void ChooseFolder() {
  std::string folder = g.CurrentDir;
  if (g.UI().RunFolderDialog("Select Current Folder", folder))
    g.SetCurrentDir(folder);
}

void SaveWindowPosition(OPersist& persist, OPlatform& window) {
  TWindowBounds bounds = window.GetBounds();
  persist.WriteInteger("fmMain.WindowState", window.GetWindowState());
  persist.WriteInteger("fmMain.Height", bounds.Height);
  persist.WriteInteger("fmMain.Width", bounds.Width);
  persist.WriteInteger("fmMain.Left", bounds.Left);
  persist.WriteInteger("fmMain.Top", bounds.Top);
}

bool CloseMainWindow(OPatternTree& tree) {
  if (!tree.QuerySaveAll())
    return false;
  g.SaveState();
  SaveWindowPosition(g.Persist(), g.UI());
  tree.CloseAllUnasked();
  return true;
}

} // namespace quillane
