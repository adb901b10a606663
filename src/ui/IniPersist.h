#pragma once

#include <QSettings>

#include "app/App.h"

namespace quillane {

// The user state in an ini file, section "App", written back when this goes.
class OIniPersist : public OPersist {
public:
  explicit OIniPersist(const QString& fileName);
  ~OIniPersist() override;

  // "quillane.ini" beside the executable when one is there already (a portable install),
  // else in the user's configuration folder.
  static QString DefaultFileName();
  // Writes what changed to the file now.
  void Sync() { Settings.sync(); }

  int32_t ReadInteger(const std::string& key, int32_t defaultValue) override;
  void WriteInteger(const std::string& key, int32_t value) override;
  std::string ReadString(const std::string& key, const std::string& defaultValue) override;
  void WriteString(const std::string& key, const std::string& value) override;

private:
  QSettings Settings;
};

} // namespace quillane
