#include "ui/IniPersist.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "shell/MainCommands.h"

namespace quillane {

namespace {

QString Key(const std::string& key) {
  return QStringLiteral("App/") + QString::fromStdString(key);
}

} // namespace

OIniPersist::OIniPersist(const QString& fileName) : Settings(fileName, QSettings::IniFormat) {}

OIniPersist::~OIniPersist() {
  Settings.sync();
}

QString OIniPersist::DefaultFileName() {
  const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  const QString file = QString::fromStdString(
      IniFileFor(QCoreApplication::applicationDirPath().toStdString(), config.toStdString()));
  QDir().mkpath(QFileInfo(file).absolutePath());
  return file;
}

int32_t OIniPersist::ReadInteger(const std::string& key, int32_t defaultValue) {
  int32_t value = defaultValue;
  if (!ParseInteger(ReadString(key, ""), value))
    return defaultValue;
  return value;
}

void OIniPersist::WriteInteger(const std::string& key, int32_t value) {
  Settings.setValue(Key(key), value);
}

std::string OIniPersist::ReadString(const std::string& key, const std::string& defaultValue) {
  QVariant value = Settings.value(Key(key));
  return value.isValid() ? value.toString().toStdString() : defaultValue;
}

void OIniPersist::WriteString(const std::string& key, const std::string& value) {
  Settings.setValue(Key(key), QString::fromStdString(value));
}

} // namespace quillane
