// What the desktop program's flow tests share: the program as main() starts it, with a seam
// that records its boxes and answers its dialogs from queues.
#pragma once

#include <QFile>
#include <QTreeWidget>
#include <QtTest>
#include <deque>

#include "ui/IniPersist.h"
#include "ui/MainForm.h"
#include "ui/QtPlatform.h"
#include "ui/TreeForm.h"

namespace quillane::test {

// The real seam, but errors, plain messages and questions are recorded and the open dialog
// answers from a queue.
class TTestPlatform : public OQtPlatform {
public:
  using OQtPlatform::OQtPlatform;
  std::vector<std::string> Errors, Messages, Questions;
  std::deque<std::string> Files;
  TSaveChoice Answer = TSaveChoice::Cancel;
  std::deque<bool> Confirms; // OK (true) or Cancel; Cancel when empty
  void ShowError(const std::string& text) override { Errors.push_back(text); }
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  bool Confirm(const std::string& text) override {
    Questions.push_back(text);
    const bool ok = !Confirms.empty() && Confirms.front();
    if (!Confirms.empty())
      Confirms.pop_front();
    return ok;
  }
  bool AskRestore(const std::string& text) override { return Confirm(text); }
  TSaveChoice AskSaveChanges(const std::string& text) override {
    Questions.push_back(text);
    return Answer;
  }
  bool RunOpenDialog(TFileDialog& dialog) override {
    if (Files.empty())
      return false;
    dialog.FileName = Files.front();
    Files.pop_front();
    return true;
  }
};

// The program as main() starts it, with its settings in `ini`.
struct TProgram {
  TfmMain Main;
  TTestPlatform Platform{Main};
  OPlatformScope Scope{Platform};
  explicit TProgram(const QString& ini, const std::vector<std::string>& arguments = {}) {
    g.Start(arguments, std::make_unique<OIniPersist>(ini));
  }
  void Trigger(const char* action) {
    QAction* found = Main.findChild<QAction*>(QString::fromLatin1(action));
    QVERIFY(found);
    found->trigger();
  }
  QTreeWidgetItem* Root() { return Main.Tree().TreeView1->topLevelItem(0); }
};

inline void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

} // namespace quillane::test
