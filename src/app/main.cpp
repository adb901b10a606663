#include <QApplication>
#include <QStandardPaths>

#include "app/App.h"
#include "ui/IniPersist.h"
#include "ui/MainForm.h"
#include "ui/QtPlatform.h"

using namespace quillane;

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillane"));

  TfmMain main;
  OQtPlatform platform(main);
  OPlatformScope scope(platform);
  std::vector<std::string> arguments;
  for (const QString& argument : QApplication::arguments().mid(1))
    arguments.push_back(argument.toStdString());
  auto persist = std::make_unique<OIniPersist>(OIniPersist::DefaultFileName());
  OIniPersist& ini = *persist;
  g.Start(arguments, std::move(persist));
  main.show();
  main.Begin(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
             QStringLiteral("/recovery"));
  int status = QApplication::exec();
  // The application object outlives Qt; write the settings while Qt is still here.
  ini.Sync();
  return status;
}
