#pragma once

#include <string>
#include <vector>

namespace quillane {

class OPatternTree;
class OPersist;
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
// Opens the first help file that exists; says so when there is none.
void OpenHelp(THelpKind kind, const std::string& programDir);
// The current design folder in the desktop's file manager.
void OpenExplorer();
// The folder chooser "Select Current Folder"; a confirmed folder becomes the current one.
void ChooseFolder();

// The five position keys: the window's state and its normal bounds.
void SaveWindowPosition(OPersist& persist, OPlatform& window);
// Closing the main window: every modified pattern is asked about first (false, everything
// kept open, when the user cancels or a save fails); then the current folder and the
// window's position are stored and every pattern is closed.
bool CloseMainWindow(OPatternTree& tree);

} // namespace quillane
