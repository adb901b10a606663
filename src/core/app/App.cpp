#include "app/App.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "app/FileIO.h"
#include "app/Version.h"

namespace quillane {

OApp g;

namespace {
// Answers Cancel to everything and shows nothing: the state before a program installs
// its own seam.
class OSilentPlatform : public OPlatform {
public:
  bool RunOpenDialog(TFileDialog&) override { return false; }
  bool RunSaveDialog(TFileDialog&) override { return false; }
  bool RunColourDialog(uint32_t&) override { return false; }
  void ShowError(const std::string&) override {}
  void ShowMessage(const std::string&) override {}
  bool Confirm(const std::string&) override { return false; }
  TSaveChoice AskSaveChanges(const std::string&) override { return TSaveChoice::Cancel; }
  bool RunFolderDialog(const std::string&, std::string&) override { return false; }
  bool ShellOpen(const std::string&) override { return false; }
};

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size())
    return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i])
      return false;
  }
  return true;
}
} // namespace

bool ParseInteger(const std::string& text, int32_t& value) {
  if (text.empty())
    return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str() || *end != 0 || v < INT32_MIN || v > INT32_MAX)
    return false;
  value = static_cast<int32_t>(v);
  return true;
}

int32_t OMemoryPersist::ReadInteger(const std::string& key, int32_t defaultValue) {
  auto it = Values.find(key);
  int32_t v = 0;
  return it != Values.end() && ParseInteger(it->second, v) ? v : defaultValue;
}

void OMemoryPersist::WriteInteger(const std::string& key, int32_t value) {
  Values[key] = std::to_string(value);
}

std::string OMemoryPersist::ReadString(const std::string& key, const std::string& defaultValue) {
  auto it = Values.find(key);
  return it != Values.end() ? it->second : defaultValue;
}

void OMemoryPersist::WriteString(const std::string& key, const std::string& value) {
  Values[key] = value;
}

TVersionInfo TVersionInfo::FromBuild() {
  return {QUILLANE_FILE_VERSION, QUILLANE_PRODUCT_VERSION};
}

OApp::OApp()
    : Version(TVersionInfo::FromBuild()), PersistStore(std::make_unique<OMemoryPersist>()),
      Silent(std::make_unique<OSilentPlatform>()), Platform(Silent.get()) {}

OApp::~OApp() = default;

OPersist& OApp::Persist() {
  return *PersistStore;
}

void OApp::Start(const std::vector<std::string>& arguments, std::unique_ptr<OPersist> persist) {
  UI().SetCaption("Quillane - V" + GetVersionText() + " - " + GetProductVersion());
  PersistStore = persist ? std::move(persist) : std::make_unique<OMemoryPersist>();

  std::error_code ec;
  StartDir = std::filesystem::current_path(ec).string();
  CurrentDir = StartDir;

  // "/d=" is matched in any case, but the folder keeps its own: on this system
  // /home/Designs and /home/designs are different folders.
  // Anything else that is not an option names a pattern to open.
  bool folderGiven = false;
  PatternArguments.clear();
  for (const std::string& argument : arguments) {
    if (StartsWithIgnoringCase(argument, "/d=")) {
      CurrentDir = argument.substr(3);
      folderGiven = true;
    } else if (!argument.empty() && argument[0] != '-') {
      // Named from the folder the program was started in, whatever the dialogs do later.
      PatternArguments.push_back(
          (std::filesystem::path(StartDir) / argument).lexically_normal().string());
    }
  }
  if (!folderGiven) {
    const std::string preferred = PersistStore->ReadString(DesignFolderKey, "");
    CurrentDir =
        preferred.empty() ? PersistStore->ReadString("g.CurrentDir", CurrentDir) : preferred;
  }
  SetCurrentDir(CurrentDir);
  RestoreWindowPosition(*PersistStore, UI());
}

void OApp::SetCurrentDir(const std::string& folder) {
  CurrentDir = folder;
  UI().ShowFolder(folder);
}

void OApp::SaveState() {
  PersistStore->WriteString("g.CurrentDir", CurrentDir);
}

std::string OApp::GetVersionText() const {
  const std::string& v = Version.FileVersion;
  return v.size() > 4 ? v.substr(0, v.size() - 4) : std::string();
}

void RestoreWindowPosition(OPersist& persist, OPlatform& window) {
  int32_t state = persist.ReadInteger("fmMain.WindowState", 0);
  if (state == 0) {
    TWindowBounds b = window.GetBounds();
    b.Height = persist.ReadInteger("fmMain.Height", b.Height);
    b.Width = persist.ReadInteger("fmMain.Width", b.Width);
    b.Left = persist.ReadInteger("fmMain.Left", b.Left);
    b.Top = persist.ReadInteger("fmMain.Top", b.Top);
    window.SetBounds(b);
  } else if (state == 2) {
    window.Maximise();
  }
}

static bool ExecuteFileDialog(TFileDialog& dialog, bool save) {
  OPlatform& ui = g.UI();
  bool confirmed = save ? ui.RunSaveDialog(dialog) : ui.RunOpenDialog(dialog);
  if (confirmed) {
    std::error_code ec;
    std::filesystem::path chosen = std::filesystem::absolute(dialog.FileName, ec);
    g.SetCurrentDir(FolderOf(ec ? dialog.FileName : chosen.lexically_normal().string()));
  }
  return confirmed;
}

bool ExecuteOpenDialog(TFileDialog& dialog) {
  return ExecuteFileDialog(dialog, false);
}
bool ExecuteSaveDialog(TFileDialog& dialog) {
  return ExecuteFileDialog(dialog, true);
}

std::string StripExtension(const std::string& path) {
  size_t start = path.find_last_of("/\\:");
  std::string name = start == std::string::npos ? path : path.substr(start + 1);
  size_t dot = name.find('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

int64_t RoundUp(double value) {
  // Out-of-range values saturate rather than overflow the conversion.
  if (!(value > -9.2e18))
    return std::isnan(value) ? 0 : INT64_MIN;
  if (value >= 9.2e18)
    return INT64_MAX;
  double whole = std::trunc(value);
  return static_cast<int64_t>(whole) + (value > whole ? 1 : 0);
}

std::string LeftText(const std::string& text, size_t count) {
  return text.substr(0, count);
}

OWaitCursor::OWaitCursor() : OWaitCursor(g.UI()) {}

OProgress::OProgress(const std::string& text, int64_t steps) : OProgress(g.UI(), text, steps) {}

} // namespace quillane
