// Pictures of the desktop program's windows: OUTDIR/main.png, about.png and folder.png.
#include <QApplication>
#include <QDir>
#include <QThread>
#include <QTreeWidget>

#include "app/App.h"
#include "model/Pattern.h"
#include "ui/AboutForm.h"
#include "ui/MainForm.h"
#include "ui/QtPlatform.h"
#include "ui/SelectDirForm.h"
#include "ui/TreeForm.h"
#include "wizards/Wizards.h"

using namespace quillane;

namespace {

// Lets the windows lay themselves out and the folder tree load before a picture is taken.
void Settle() {
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QThread::msleep(25);
  }
}

bool Save(QWidget& window, const QString& path) {
  Settle();
  return window.grab().save(path);
}

} // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillane"));
  if (argc != 2) {
    fprintf(stderr, "usage: quillane-screenshots OUTDIR\n");
    return 2;
  }
  QDir out(QString::fromLocal8Bit(argv[1]));
  QDir().mkpath(out.path());

  TfmMain main;
  OQtPlatform platform(main);
  OPlatformScope scope(platform);
  g.Start({"/d=" + QDir::homePath().toStdString()}, nullptr);
  main.show();
  main.Tree().Patterns().Root().New();
  // A two-part pattern, whose second region is an imported one (drawn on red).
  main.Tree().Patterns().AddPattern(
      GenerateWizard(TPlainWizard{40, 30, TWizardLayout::Sections2h}));
  main.Tree().TreeView1->expandAll();
  bool ok = Save(main, out.filePath(QStringLiteral("main.png")));

  TfmAbout about(&main);
  about.show();
  ok = Save(about, out.filePath(QStringLiteral("about.png"))) && ok;
  about.hide();

  TfmSelectDir folder(QDir::homePath(), &main);
  folder.show();
  ok = Save(folder, out.filePath(QStringLiteral("folder.png"))) && ok;
  folder.hide();
  return ok ? 0 : 1;
}
