#pragma once

#include <cstdint>
#include <string>

namespace quillane {

class OPattern;

// File dialog options, as the program sets them on the shared dialogs.
enum TDialogOption : uint32_t {
  ofReadOnly = 1u << 0,
  ofOverwritePrompt = 1u << 1,
  ofHideReadOnly = 1u << 2,
  ofShowHelp = 1u << 3,
  ofPathMustExist = 1u << 4,
  ofFileMustExist = 1u << 5,
};

// The settings of a shared open or save dialog. The dialog objects live as long as the
// main window, so the file name chosen last is proposed again next time.
struct TFileDialog {
  std::string DefaultExt;
  std::string FileName;
  std::string Filter;
  std::string InitialDir;
  std::string Title;
  uint32_t Options = 0;
};

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
  // Something the user should know that stops nothing (a damaged default file passed
  // over): no box, the status bar is enough.
  virtual void ShowWarning(const std::string& text) { ShowStatus(text); }

  virtual void BeginWait() {}
  virtual void EndWait() {}

  // The main window: caption, the two status bar panels, position, editor refresh.
  virtual void SetCaption(const std::string&) {}
  virtual void ShowStatus(const std::string&) {}
  virtual void ShowFolder(const std::string&) {}
  virtual TWindowBounds GetBounds() { return {}; }
  virtual void SetBounds(const TWindowBounds&) {}
  virtual void Maximise() {}
  virtual void RefreshEditors(OPattern&) {}
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

} // namespace quillane
