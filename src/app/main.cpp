#include <QApplication>
#include <QStandardPaths>
#include <csignal>

#include "app/App.h"
#include "ui/IniPersist.h"
#include "ui/MainForm.h"
#include "ui/QtPlatform.h"

using namespace quillane;

int main(int argc, char* argv[]) {
#ifdef SIGXFSZ
  // A save past the file size limit then fails with its message and keeps the old file,
  // instead of the signal ending the program with every open pattern's work in it.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillane"));
  // Lets the desktop match our windows to the installed quillane.desktop and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("quillane"));

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
