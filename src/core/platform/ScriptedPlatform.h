#pragma once

#include <deque>
#include <optional>
#include <vector>

#include "platform/Platform.h"

namespace quillane {

// Answers dialogs from queues and records everything shown, so a test can drive any
// flow of the program without a display. An empty queue answers Cancel.
class OScriptedPlatform : public OPlatform {
public:
  enum class TBox { Error, Message, Confirm, SaveChanges };
  struct TShown {
    TBox Box;
    std::string Text;
  };

  std::deque<std::optional<std::string>> FileAnswers; // nullopt cancels
  std::deque<std::optional<uint32_t>> ColourAnswers;
  std::deque<bool> ConfirmAnswers;
  std::deque<TSaveChoice> SaveAnswers;
  std::deque<std::optional<std::string>> FolderAnswers; // nullopt cancels
  std::vector<std::string> ShellOpened;                 // every target handed to the desktop

  std::vector<TShown> Shown;
  std::vector<TFileDialog> DialogsRun; // each dialog as it stood when it was run
  std::string Caption;
  std::string Status;
  std::string Folder;
  TWindowBounds Bounds{10, 20, 800, 600};
  bool Maximised = false;
  TWindowState State = wsNormal;
  int WaitDepth = 0;
  int WaitsBegun = 0;
  // Progress reports: each one's text, every step reported, and the step from which the
  // user has pressed Cancel.
  std::vector<std::string> ProgressTexts;
  std::vector<int64_t> ProgressSteps;
  std::optional<int64_t> CancelAtStep;
  int ProgressDepth = 0;

  bool RunOpenDialog(TFileDialog& dialog) override { return RunFile(dialog); }
  bool RunSaveDialog(TFileDialog& dialog) override { return RunFile(dialog); }
  bool RunColourDialog(uint32_t& colour) override;
  void ShowError(const std::string& text) override { Shown.push_back({TBox::Error, text}); }
  void ShowMessage(const std::string& text) override { Shown.push_back({TBox::Message, text}); }
  bool Confirm(const std::string& text) override;
  TSaveChoice AskSaveChanges(const std::string& text) override;
  bool RunFolderDialog(const std::string& title, std::string& folder) override;
  bool ShellOpen(const std::string& target) override {
    ShellOpened.push_back(target);
    return true;
  }
  void BeginWait() override {
    ++WaitDepth;
    ++WaitsBegun;
  }
  void EndWait() override { --WaitDepth; }
  void BeginProgress(const std::string& text, int64_t) override {
    ProgressTexts.push_back(text);
    ++ProgressDepth;
  }
  bool Progress(int64_t done) override {
    ProgressSteps.push_back(done);
    return !CancelAtStep || done < *CancelAtStep;
  }
  void EndProgress() override { --ProgressDepth; }
  void SetCaption(const std::string& text) override { Caption = text; }
  void ShowStatus(const std::string& text) override { Status = text; }
  void ShowFolder(const std::string& text) override { Folder = text; }
  TWindowBounds GetBounds() override { return Bounds; }
  void SetBounds(const TWindowBounds& bounds) override { Bounds = bounds; }
  void Maximise() override { Maximised = true; }
  TWindowState GetWindowState() override { return State; }

  // The texts of the error boxes shown so far.
  std::vector<std::string> Errors() const;

private:
  bool RunFile(TFileDialog& dialog);
};

} // namespace quillane
