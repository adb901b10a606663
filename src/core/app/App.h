#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace quillane {

// User state kept between runs, all in the section "App". The desktop program keeps it
// in an ini file beside the executable; tests keep it in memory.
class OPersist {
public:
  virtual ~OPersist() = default;
  // A missing key, or a value that is not an integer, gives the default.
  virtual int32_t ReadInteger(const std::string& key, int32_t defaultValue) = 0;
  virtual void WriteInteger(const std::string& key, int32_t value) = 0;
  virtual std::string ReadString(const std::string& key, const std::string& defaultValue) = 0;
  virtual void WriteString(const std::string& key, const std::string& value) = 0;
};

class OMemoryPersist : public OPersist {
public:
  std::map<std::string, std::string> Values;

  int32_t ReadInteger(const std::string& key, int32_t defaultValue) override;
  void WriteInteger(const std::string& key, int32_t value) override;
  std::string ReadString(const std::string& key, const std::string& defaultValue) override;
  void WriteString(const std::string& key, const std::string& value) override;
};

// The folder the program starts in when no "/d=" names one (a preference); empty for the
// folder the last run ended in.
inline const char* const DesignFolderKey = "Preferences.DesignFolder";

// Parses a whole decimal integer as the ini reader does; false when it is not one.
bool ParseInteger(const std::string& text, int32_t& value);

struct TVersionInfo {
  std::string FileVersion;
  std::string ProductVersion;
  // The version strings this build was made with.
  static TVersionInfo FromBuild();
};

class OApp {
public:
  OApp();
  ~OApp();

  std::string CurrentDir;
  std::string StartDir;
  TVersionInfo Version;
  // The patterns the command line names, in order, with their full paths.
  std::vector<std::string> PatternArguments;

  // Start-up: folders, command line, persisted state, the main window's caption and
  // position. `arguments` are the command-line arguments without the program name.
  void Start(const std::vector<std::string>& arguments, std::unique_ptr<OPersist> persist);
  // The only way CurrentDir changes: also shows it in the main window's status bar.
  void SetCurrentDir(const std::string& folder);
  void SaveState();
  std::string GetVersionText() const;
  std::string GetProductVersion() const { return Version.ProductVersion; }

  OPersist& Persist();
  // The user-interface seam. Until a program installs its own with an OPlatformScope, a
  // silent one answers Cancel to every question.
  OPlatform& UI() { return *Platform; }

private:
  friend class OPlatformScope;
  std::unique_ptr<OPersist> PersistStore;
  std::unique_ptr<OPlatform> Silent;
  OPlatform* Platform;
};

extern OApp g;

// Installs a user-interface seam for its lifetime and puts the previous one back, so the
// application never holds a seam that is gone. Scopes nest.
class OPlatformScope {
public:
  explicit OPlatformScope(OPlatform& platform) : Previous(g.Platform) { g.Platform = &platform; }
  ~OPlatformScope() { g.Platform = Previous; }
  OPlatformScope(const OPlatformScope&) = delete;
  OPlatformScope& operator=(const OPlatformScope&) = delete;

private:
  OPlatform* Previous;
};

// Reads the main window's saved position and applies it through the seam.
void RestoreWindowPosition(OPersist& persist, OPlatform& window);

// Shared dialog runners: on confirmation the chosen file's folder becomes the current
// design directory.
bool ExecuteOpenDialog(TFileDialog& dialog);
bool ExecuteSaveDialog(TFileDialog& dialog);

// The file name part of a path (after the last '/', '\' or ':') cut before its first dot.
std::string StripExtension(const std::string& path);
// The integer part, plus 1 when the number is greater than it.
int64_t RoundUp(double value);
std::string LeftText(const std::string& text, size_t count);

} // namespace quillane
