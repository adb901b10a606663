#include "shell/MainCommands.h"

#include <algorithm>
#include <filesystem>

#include "app/App.h"
#include "app/FileIO.h"
#include "model/Undo.h"
#include "shell/PatternTree.h"
#include "shell/Recovery.h"

namespace quillane {

std::vector<std::string> HelpFileCandidates(THelpKind kind, const std::string& startDir,
                                            const std::string& programDir) {
  std::string name = kind == THelpKind::Reference ? "Quillane.html" : "Quillane.pdf";
  return {JoinPath(startDir, name), JoinPath(JoinPath(startDir, "Manual"), name),
          JoinPath(programDir, ShippedManualName),
          JoinPath(JoinPath(FolderOf(programDir), InstalledManualFolder), ShippedManualName)};
}

namespace {
bool IsPage(const std::string& file) {
  std::string ext = file.substr(file.find_last_of("./") + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == "html" || ext == "htm";
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec);
}
} // namespace

void OpenHelp(THelpKind kind, const std::string& programDir,
              const std::function<bool(const std::string&)>& showPage) {
  std::vector<std::string> candidates = HelpFileCandidates(kind, g.StartDir, programDir);
  std::vector<std::string> unopened;
  for (const std::string& file : candidates)
    if (FileExists(file)) {
      if (IsPage(file) ? showPage(file) : g.UI().ShellOpen(file))
        return;
      unopened.push_back(file);
    }
  std::string text = "No help file was found. Looked for:";
  for (const std::string& file : candidates)
    text += "\n" + file;
  if (!unopened.empty()) {
    text = "No program could be started to show the help file:";
    for (const std::string& file : unopened)
      text += "\n" + file;
  }
  g.UI().ShowMessage(text);
}

void OpenExplorer() {
  if (!g.UI().ShellOpen(g.CurrentDir))
    g.UI().ShowMessage("No file manager could be started to show the folder " + g.CurrentDir + ".");
}

void ChooseFolder() {
  std::string folder = g.CurrentDir;
  if (!g.UI().RunFolderDialog("Select Current Folder", folder))
    return;
  if (IsFolder(folder))
    g.SetCurrentDir(folder);
  else
    g.UI().ShowMessage("The folder " + folder + " does not exist.");
}

void CheckCurrentDir() {
  if (IsFolder(g.CurrentDir))
    return;
  const std::string missing = g.CurrentDir;
  g.SetCurrentDir(g.StartDir);
  g.UI().ShowWarning("The folder " + missing + " does not exist; the current folder is " +
                     g.StartDir + ".");
}

std::string IniFileFor(const std::string& programDir, const std::string& configDir) {
  const std::string portable = JoinPath(programDir, "quillane.ini");
  return FileExists(portable) ? portable : JoinPath(configDir, "quillane.ini");
}

TWindowBounds FitToScreens(TWindowBounds bounds, const std::vector<TWindowBounds>& screens) {
  if (screens.empty())
    return bounds;
  // Enough of the title bar to take hold of it.
  constexpr int32_t Grip = 40;
  for (const TWindowBounds& s : screens) {
    const int32_t left = std::max(bounds.Left, s.Left);
    const int32_t right = std::min(bounds.Left + bounds.Width, s.Left + s.Width);
    if (right - left >= Grip && bounds.Top >= s.Top && bounds.Top + Grip <= s.Top + s.Height)
      return bounds;
  }
  const TWindowBounds& s = screens.front();
  bounds.Width = std::clamp(bounds.Width, 1, s.Width);
  bounds.Height = std::clamp(bounds.Height, 1, s.Height);
  bounds.Left = std::clamp(bounds.Left, s.Left, s.Left + s.Width - bounds.Width);
  bounds.Top = std::clamp(bounds.Top, s.Top, s.Top + s.Height - bounds.Height);
  return bounds;
}

void SaveWindowPosition(OPersist& persist, OPlatform& window) {
  TWindowBounds bounds = window.GetBounds();
  persist.WriteInteger("fmMain.WindowState", window.GetWindowState());
  persist.WriteInteger("fmMain.Height", bounds.Height);
  persist.WriteInteger("fmMain.Width", bounds.Width);
  persist.WriteInteger("fmMain.Left", bounds.Left);
  persist.WriteInteger("fmMain.Top", bounds.Top);
}

bool CloseMainWindow(OPatternTree& tree, ORecovery* recovery) {
  if (!tree.QuerySaveAll())
    return false;
  g.SaveState();
  SaveWindowPosition(g.Persist(), g.UI());
  tree.CloseAllUnasked();
  if (recovery) // a clean close: nothing is left to recover
    recovery->Close();
  return true;
}

TMenuEntry UndoMenuEntry(const OUndoHistory* history, bool undo) {
  TMenuEntry entry{history && (undo ? history->CanUndo() : history->CanRedo()),
                   undo ? "&Undo" : "&Redo"};
  const std::string label =
      entry.Enabled ? (undo ? history->UndoLabel() : history->RedoLabel()) : std::string();
  if (!label.empty())
    entry.Caption += " " + label;
  return entry;
}

int THistoryList::StepsTo(int row) const {
  return row < 0 || row >= static_cast<int>(Rows.size()) ? 0 : row - Current;
}

THistoryList HistoryList(const OUndoHistory* history) {
  THistoryList list;
  if (!history)
    return list;
  auto add = [&list](std::string text, bool undone) {
    list.Rows.push_back({text, undone, text + (undone ? ", undone" : "")});
  };
  add(HistoryStartText, false);
  for (std::string& label : history->UndoLabels())
    add(std::move(label), false);
  list.Current = static_cast<int>(list.Rows.size()) - 1;
  list.Rows.back().Accessible += ", current";
  for (std::string& label : history->RedoLabels())
    add(std::move(label), true);
  return list;
}

void GoToHistoryRow(OUndoHistory& history, int row) {
  // A stroke still open is the newest step the list did not show yet: it counts as taken.
  history.EndStroke();
  if (row < 0 || row > history.UndoCount() + history.RedoCount())
    return;
  const int steps = row - history.UndoCount();
  steps < 0 ? history.Undo(-steps) : history.Redo(steps);
}

std::string NumberedMenuEntry(int number, const std::string& text, bool tenth) {
  std::string entry = number < 10             ? "&" + std::to_string(number) + " "
                      : number == 10 && tenth ? "1&0 "
                                              : "";
  for (const char c : text) {
    if (c == '&')
      entry += '&';
    entry += c;
  }
  return entry;
}

} // namespace quillane
