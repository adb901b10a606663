#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace quillane {

class OPatternTree;
class OPersist;
class ORecovery;
class OUndoHistory;
class OPlatform;

// The manual this program ships: beside the executable in a build folder, and under the
// installation prefix (the executable's parent folder) once installed.
inline const char* const ShippedManualName = "quillane-manual.html";
inline const char* const InstalledManualFolder = "share/quillane";

enum class THelpKind { Reference, Manual };

// Where Help looks, in order: the start folder, its "Manual" folder, then the manual
// shipped beside the program and the installed one.
std::vector<std::string> HelpFileCandidates(THelpKind kind, const std::string& startDir,
                                            const std::string& programDir);
// Shows the first help file that exists and can be shown: a page (.html) in the program's
// own help window (`showPage`), any other file through the desktop, passed over when no
// desktop program takes it. Says so when nothing could be shown.
void OpenHelp(THelpKind kind, const std::string& programDir,
              const std::function<bool(const std::string&)>& showPage);
// The current design folder in the desktop's file manager; says so when none starts.
void OpenExplorer();
// The folder chooser "Select Current Folder"; a confirmed folder becomes the current one
// when it exists.
void ChooseFolder();
// At start: a current folder that does not exist (gone since the last run, or a mistyped
// "/d=") gives way to the start folder, with a word in the status bar.
void CheckCurrentDir();

// Edit's Undo (or Redo) for a pattern's history, none when no pattern is active: enabled
// when there is a step to take, and then naming it ("&Undo Paint").
struct TMenuEntry {
  bool Enabled = false;
  std::string Caption;
};
TMenuEntry UndoMenuEntry(const OUndoHistory* history, bool undo);

// Edit > History: a first row for the pattern before every step kept, then the steps in
// the order they were taken, those Redo would do again after the current one.
inline const char* const HistoryStartText = "(Start)";
struct THistoryRow {
  std::string Text;
  bool Undone = false; // a step Redo would do again
  // What a screen reader says: the text and where the row stands ("Paint, current").
  std::string Accessible;
};
struct THistoryList {
  std::vector<THistoryRow> Rows; // none when no pattern is active
  int Current = -1;              // the row the pattern stands just after
  // The steps a click on `row` takes: redone when more than 0, undone when less.
  int StepsTo(int row) const;
};
THistoryList HistoryList(const OUndoHistory* history);
// A click or Enter on a row of HistoryList: the pattern goes to just after that step in
// one move; a row out of the list changes nothing.
void GoToHistoryRow(OUndoHistory& history, int row);
// An entry of a menu's numbered list (open windows, recent patterns): "&1 " to "&9 " give
// the first nine their mnemonic, the tenth gets "1&0 " where `tenth` and the rest nothing;
// an & of the text itself is shown, not taken for a mnemonic.
std::string NumberedMenuEntry(int number, const std::string& text, bool tenth);

// The ini file: beside the program only where one is already (a portable install), so
// that the users of one installation each keep their own; else in the user's own folder.
std::string IniFileFor(const std::string& programDir, const std::string& configDir);
// Saved bounds moved where the window can be seen and grabbed: a window whose title bar
// lies on no screen goes onto the first (the primary), shrunk to fit it.
TWindowBounds FitToScreens(TWindowBounds bounds, const std::vector<TWindowBounds>& screens);

// The five position keys: the window's state and its normal bounds.
void SaveWindowPosition(OPersist& persist, OPlatform& window);
// Closing the main window: every modified pattern is asked about first (false, everything
// kept open, when the user cancels or a save fails); then the current folder and the
// window's position are stored, every pattern is closed and the recovery copies, if kept,
// go with their folder.
bool CloseMainWindow(OPatternTree& tree, ORecovery* recovery = nullptr);

} // namespace quillane
