#pragma once

#include <memory>

#include "platform/Platform.h"

class QProgressDialog;

namespace quillane {

class TfmMain;

// The seam in Qt: dialogs and boxes owned by the main window, and the main window's own
// caption, status bar and position.
class OQtPlatform : public OPlatform {
public:
  explicit OQtPlatform(TfmMain& main);
  ~OQtPlatform() override;

  bool RunOpenDialog(TFileDialog& dialog) override { return RunFileDialog(dialog, false); }
  bool RunSaveDialog(TFileDialog& dialog) override { return RunFileDialog(dialog, true); }
  bool RunColourDialog(uint32_t& colour) override;
  void ShowError(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  bool Confirm(const std::string& text) override;
  TSaveChoice AskSaveChanges(const std::string& text) override;
  bool AskRestore(const std::string& text) override;
  bool RunFolderDialog(const std::string& title, std::string& folder) override;
  bool ShellOpen(const std::string& target) override;

  void BeginWait() override;
  void EndWait() override;
  void BeginProgress(const std::string& text, int64_t steps) override;
  bool Progress(int64_t done) override;
  void ProgressCannotCancel() override;
  void EndProgress() override;

  void SetCaption(const std::string& text) override;
  void ShowStatus(const std::string& text) override;
  void ShowFolder(const std::string& text) override;
  TWindowBounds GetBounds() override;
  TWindowState GetWindowState() override;
  void SetBounds(const TWindowBounds& bounds) override;
  void Maximise() override;

protected:
  TfmMain& Main;

private:
  std::unique_ptr<QProgressDialog> ProgressBox;
  int64_t ProgressSteps = 0;
  bool RunFileDialog(TFileDialog& dialog, bool save);
};

} // namespace quillane
