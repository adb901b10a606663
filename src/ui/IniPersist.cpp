#include "ui/IniPersist.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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
  const QString name = QStringLiteral("quillane.ini");
  QString programDir = QCoreApplication::applicationDirPath();
  if (QFileInfo(programDir).isWritable())
    return QDir(programDir).filePath(name);
  QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  QDir().mkpath(config);
  return QDir(config).filePath(name);
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
