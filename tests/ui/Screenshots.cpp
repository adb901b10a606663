// Pictures of the desktop program's windows: OUTDIR/main.png, about.png, folder.png and
// wizard1.png to wizard5.png.
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
#include "ui/wizards/Wizard1Form.h"
#include "ui/wizards/Wizard2Form.h"
#include "ui/wizards/Wizard3Form.h"
#include "ui/wizards/Wizard4Form.h"
#include "ui/wizards/Wizard5Form.h"
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

  // Each wizard with its defaults, as the menu opens it.
  TfmWizard1 wizard1(&main);
  TfmWizard2 wizard2(&main);
  TfmWizard3 wizard3(&main);
  TfmWizard4 wizard4(&main);
  TfmWizard5 wizard5(&main);
  int number = 0;
  for (QDialog* wizard :
       std::initializer_list<QDialog*>{&wizard1, &wizard2, &wizard3, &wizard4, &wizard5}) {
    wizard->show();
    ok = Save(*wizard, out.filePath(QStringLiteral("wizard%1.png").arg(++number))) && ok;
    wizard->hide();
  }
  return ok ? 0 : 1;
}
