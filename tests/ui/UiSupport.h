// What the desktop program's flow tests share: the program as main() starts it, with a seam
// that records its boxes and answers its dialogs from queues.
#pragma once

#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <deque>

#include "data/Record.h"
#include "model/Pattern.h"
#include "shell/DesignUI.h"
#include "ui/IniPersist.h"
#include "ui/MainForm.h"
#include "ui/QtPlatform.h"
#include "ui/TreeForm.h"

namespace quillane::test {

// The real seam, but errors, plain messages and questions are recorded and the open and save
// dialogs answer from one queue.
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
  bool RunSaveDialog(TFileDialog& dialog) override { return RunOpenDialog(dialog); }
  // The user cancels once this many steps are done; never while negative.
  int64_t CancelAt = -1;
  bool Progress(int64_t done) override {
    return (CancelAt < 0 || done < CancelAt) && OQtPlatform::Progress(done);
  }
};

// A test class with a folder of its own for the settings file and whatever else it writes.
class TUiTest : public QObject {
  Q_OBJECT
protected:
  QTemporaryDir Dir;
  QString Ini() const { return Dir.filePath(QStringLiteral("quillane.ini")); }
private slots:
  // Drops the last settings file before its folder goes.
  void cleanupTestCase() { g.Start({}, nullptr); }
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

// The first node of this kind, of that pattern if one is named, whose name ends so.
template <class TNode>
TNode* FindNode(const OPatternTree& tree, const OPattern* of = nullptr,
                const std::string& suffix = {}) {
  for (const auto& node : tree.Registry())
    if (auto* found = dynamic_cast<TNode*>(node.get());
        found && (!of || node->Pattern == of) && node->Name().ends_with(suffix))
      return found;
  return nullptr;
}

// The editor of that node kind, opened from the tree.
template <class TForm, class TNode>
TForm* OpenEditor(OPatternTree& tree, const OPattern* of = nullptr) {
  TNode* node = FindNode<TNode>(tree, of);
  if (!node)
    return nullptr;
  node->Open();
  return dynamic_cast<TForm*>(node->Editor());
}

// A view window at zoom 1 with PLine 1 in the bottom left corner of the picture (the grid's,
// or where a smaller picture stands in the grid's middle: Corner), where the flows that count
// pixels start; a window opens fitted.
template <class TWindow> void AtZoomOne(TWindow& window) {
  QApplication::processEvents();
  while (window.Geometry().Zoom() > 1)
    QTest::keyClick(window.PaintBox1, Qt::Key_Minus);
  while (window.Geometry().Zoom() < 1)
    QTest::keyClick(window.PaintBox1, Qt::Key_Plus);
  QTest::keyClick(window.PaintBox1, Qt::Key_Home);
}

// The grid point of the picture's bottom left pixel in sight.
template <class TWindow> QPoint Corner(const TWindow& window) {
  const auto f = window.Geometry().Frame();
  return {f.Left, f.Bottom - 1};
}

// What the pattern writes to its file.
inline TBytes PatternBytes(const OPattern& pattern) {
  OWriter w;
  pattern.WriteToStream(w);
  return w.Bytes();
}

// What the screen shows of the widget once the pending updates are painted; unlike grab(),
// no repaint of its own, so that an update left out shows the old pixels.
inline QImage OnScreen(QWidget* widget) {
  QApplication::processEvents();
  QWidget* top = widget->window();
  const QPoint at = widget->mapTo(top, QPoint());
  return top->screen()
      ->grabWindow(top->winId(), at.x(), at.y(), widget->width(), widget->height())
      .toImage();
}

inline void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

} // namespace quillane::test
