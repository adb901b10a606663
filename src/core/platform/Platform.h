#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillane {

// File dialog options, as the program sets them on the shared dialogs.
enum TDialogOption : uint32_t {
  ofReadOnly = 1u << 0,
  ofOverwritePrompt = 1u << 1,
  ofHideReadOnly = 1u << 2,
  ofShowHelp = 1u << 3,
  ofPathMustExist = 1u << 4,
  ofFileMustExist = 1u << 5,
};

// One entry of a file dialog's type list: its text and the name patterns it shows. File
// names here are case-sensitive, so an extension is listed in both cases.
struct TFileFilter {
  std::string Description;           // "Palette files (*.PAL)"
  std::vector<std::string> Patterns; // "*.PAL", "*.pal"
  friend bool operator==(const TFileFilter&, const TFileFilter&) = default;

  // The filter of one extension, given in upper case.
  static TFileFilter ForExtension(std::string description, const std::string& extension);
  // Whether the name (without folder) matches a pattern, '*' standing for any run.
  bool Matches(const std::string& fileName) const;
};

// The settings of a shared open or save dialog. The dialog objects live as long as the
// main window, so the file name chosen last is proposed again next time.
struct TFileDialog {
  std::string DefaultExt;
  std::string FileName;
  std::vector<TFileFilter> Filters;
  std::string InitialDir;
  std::string Title;
  uint32_t Options = 0;
};

// The answer to "Save changes to NAME?".
enum class TSaveChoice : uint8_t { Save, Discard, Cancel };

// The main window's state as the settings file keeps it.
enum TWindowState : int32_t { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

struct TWindowBounds {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  friend bool operator==(const TWindowBounds&, const TWindowBounds&) = default;
};

// The one seam between the core and whatever shows it: the desktop program's windows,
// a test's script, or the command line. Core flows reach every user-interface service
// through the instance the application object holds.
class OPlatform {
public:
  virtual ~OPlatform() = default;

  TFileDialog OpenDialog;
  TFileDialog SaveDialog;

  // Runs a shared dialog modally. On confirmation the dialog's FileName holds the
  // chosen file's full path and the result is true.
  virtual bool RunOpenDialog(TFileDialog& dialog) = 0;
  virtual bool RunSaveDialog(TFileDialog& dialog) = 0;
  // The colour dialog: starts at `colour` (0x00BBGGRR) and stores the choice there.
  virtual bool RunColourDialog(uint32_t& colour) = 0;

  virtual void ShowError(const std::string& text) = 0;   // error box with OK
  virtual void ShowMessage(const std::string& text) = 0; // plain message box
  virtual bool Confirm(const std::string& text) = 0;     // OK (true) or Cancel
  // Closing what holds unsaved changes: Save, Discard or Cancel.
  virtual TSaveChoice AskSaveChanges(const std::string& text) = 0;
  // A pattern recovered after a crash: Restore (true) or Discard.
  virtual bool AskRestore(const std::string& text) { return Confirm(text); }
  // The folder chooser: starts at `folder` and stores the choice there.
  virtual bool RunFolderDialog(const std::string& title, std::string& folder) = 0;
  // Hands a file, folder or URL to the desktop's default application; false when
  // nothing took it.
  virtual bool ShellOpen(const std::string& target) = 0;
  // Something the user should know that stops nothing (a damaged default file passed
  // over): no box, the status bar is enough.
  virtual void ShowWarning(const std::string& text) { ShowStatus(text); }

  virtual void BeginWait() {}
  virtual void EndWait() {}

  // A long piece of work in `steps` steps, shown with its text and a Cancel button.
  // Progress answers false once the user has cancelled; the work then stops.
  virtual void BeginProgress(const std::string& /*text*/, int64_t /*steps*/) {}
  virtual bool Progress(int64_t /*done*/) { return true; }
  // From here on the work runs to its end: Cancel is no longer offered.
  virtual void ProgressCannotCancel() {}
  virtual void EndProgress() {}

  // The main window: caption, the two status bar panels, position.
  virtual void SetCaption(const std::string&) {}
  virtual void ShowStatus(const std::string&) {}
  virtual void ShowFolder(const std::string&) {}
  // The bounds are those of the normal (not maximized) window.
  virtual TWindowBounds GetBounds() { return {}; }
  virtual TWindowState GetWindowState() { return wsNormal; }
  virtual void SetBounds(const TWindowBounds&) {}
  virtual void Maximise() {}
};

// The hourglass for the length of a long command; the previous cursor comes back
// however the command ends.
class OWaitCursor {
public:
  explicit OWaitCursor(OPlatform& platform) : Platform(platform) { Platform.BeginWait(); }
  OWaitCursor();
  ~OWaitCursor() { Platform.EndWait(); }
  OWaitCursor(const OWaitCursor&) = delete;
  OWaitCursor& operator=(const OWaitCursor&) = delete;

private:
  OPlatform& Platform;
};

// How far a piece of work has come: `done` of its `of` steps. Empty when nobody follows it;
// the work calls it often, so whoever follows it decides how often to show a step.
using TWorkDone = std::function<void(int64_t done, int64_t of)>;

// The progress report for the length of a long piece of work; it closes however the work
// ends.
class OProgress {
public:
  OProgress(OPlatform& platform, const std::string& text, int64_t steps) : Platform(platform) {
    Platform.BeginProgress(text, steps);
  }
  OProgress(const std::string& text, int64_t steps);
  ~OProgress() { Platform.EndProgress(); }
  OProgress(const OProgress&) = delete;
  OProgress& operator=(const OProgress&) = delete;
  // False once the user has cancelled.
  bool Step(int64_t done) { return Platform.Progress(done); }
  void CannotCancel() { Platform.ProgressCannotCancel(); }

private:
  OPlatform& Platform;
};

} // namespace quillane
