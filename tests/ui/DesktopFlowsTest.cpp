// What a designer expects of a desktop editor: wheel, keys and Fit in the view window,
// shortcuts, recent patterns, patterns named on the command line, and crash recovery.
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollBar>
#include <QtTest>

#include "UiSupport.h"
#include "elements/Picture.h"
#include "model/Pattern.h"
#include "shell/DesignUI.h"
#include "ui/WindowForm.h"
#include "wizards/Wizards.h"

using namespace quillane;
using namespace quillane::test;

namespace {

void Wheel(QWidget* widget, QPoint at, int delta, Qt::KeyboardModifiers modifiers = {}) {
  QWheelEvent event(at, widget->mapToGlobal(at), {}, {0, delta}, Qt::NoButton, modifiers,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(widget, &event);
}

std::vector<OPattern*> OpenPatterns(TProgram& program) {
  std::vector<OPattern*> patterns;
  for (const auto& node : program.Main.Tree().Patterns().Registry())
    if (dynamic_cast<OPatternUI*>(node.get()))
      patterns.push_back(node->Pattern);
  return patterns;
}

QByteArray Bytes(const OPattern& pattern, const QString& path) {
  pattern.WriteCopy(path.toStdString());
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class DesktopFlowsTest : public TUiTest {
  Q_OBJECT
  QString Recovery() const { return Dir.filePath(QStringLiteral("recovery")); }

private slots:
  void wheelKeysMiddleDragAndFitMoveTheView() {
    TProgram program(Ini());
    program.Main.Tree().Patterns().AddPattern(
        GenerateWizard(TPlainWizard{1000, 800, TWizardLayout::Section1}));
    OWindowUI* node = FindNode<OWindowUI>(program.Main.Tree().Patterns());
    QVERIFY(node);
    node->Open();
    auto& w = *dynamic_cast<TfmWindow*>(node->Editor);
    program.Main.show();
    w.SubWindow()->resize(400, 300);
    QVERIFY(QTest::qWaitForWindowActive(&program.Main));
    OpenPatterns(program)[0]->SetModified(0);           // navigation changes nothing
    QCOMPARE(QApplication::focusWidget(), w.PaintBox1); // the keys scroll from the start
    auto position = [&] { return std::make_pair(w.sbHorz->value(), w.sbVert->value()); };
    QWidget* grid = w.PaintBox1;
    // A notch up shows higher PLines, Shift turns it across; Ctrl zooms, the cell under the
    // mouse staying under it; the keys scroll; the middle button drags; Fit (Ctrl+0).
    const int line = static_cast<int>(OViewGeometry::LinePixels / w.Geometry().RowHeight());
    Wheel(grid, {10, 10}, 120);
    Wheel(grid, {10, 10}, -120, Qt::ShiftModifier);
    QCOMPARE(position(), std::make_pair(48, -line));
    const QPoint at(101, 57);
    const auto before = w.Geometry().CellAt(at.x(), at.y());
    Wheel(grid, at, 240, Qt::ControlModifier);
    QCOMPARE(program.Main.findChild<QLabel*>(QStringLiteral("sbMainMessage"))->text(),
             QStringLiteral("Zoom=4"));
    QVERIFY(w.Geometry().CellAt(at.x(), at.y()) == before);
    QTest::keyClick(grid, Qt::Key_Home);
    QTest::keyClick(grid, Qt::Key_Right);
    QCOMPARE(position(), std::make_pair(12, 0));
    QTest::mousePress(grid, Qt::MiddleButton, {}, {50, 50});
    QTest::mouseMove(grid, {10, 90});
    QTest::mouseRelease(grid, Qt::MiddleButton, {}, {10, 90});
    QCOMPARE(position(), std::make_pair(22, -10));
    QVERIFY(!OpenPatterns(program)[0]->Modified());
    QTest::keyClick(&w, Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(std::make_pair(w.Geometry().Zoom(), position()),
             std::make_pair(0.25f, std::make_pair(0, 0)));

    // Ctrl+W closes the active editor, and on the tree does nothing.
    QTest::keyClick(&program.Main, Qt::Key_W, Qt::ControlModifier);
    QApplication::processEvents();
    QVERIFY(!node->Editor);
    const qsizetype windows = program.Main.MdiArea->subWindowList().size();
    QTest::keyClick(&program.Main, Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(program.Main.MdiArea->subWindowList().size(), windows);
  }

  void recentPatternsAreKeptAndAGoneOneIsDropped() {
    const QString a = Dir.filePath(QStringLiteral("a.pat")),
                  b = Dir.filePath(QStringLiteral("b.pat"));
    {
      // One named on the command line, one dropped on the window: both open.
      for (const QString& path : {a, b}) {
        OPattern pattern;
        pattern.InitNew();
        pattern.FileName = path.toStdString();
        pattern.SaveToFile();
      }
      TProgram program(Ini(), {a.toStdString()});
      program.Main.Begin({});
      QMimeData dropped;
      dropped.setUrls({QUrl::fromLocalFile(b)});
      QDragEnterEvent enter({10, 10}, Qt::CopyAction, &dropped, Qt::LeftButton, {});
      QApplication::sendEvent(&program.Main, &enter);
      QDropEvent drop({10, 10}, Qt::CopyAction, &dropped, Qt::LeftButton, {});
      QApplication::sendEvent(&program.Main, &drop);
      QApplication::processEvents();
      QCOMPARE(OpenPatterns(program).size(), size_t{2});
    }
    QFile::remove(a);
    TProgram program(Ini());
    QMenu* file = program.Main.menuBar()->actions()[0]->menu();
    emit file->aboutToShow();
    auto* recent = program.Main.findChild<QMenu*>(QStringLiteral("miRecentPatterns"));
    QStringList entries;
    for (QAction* entry : recent->actions())
      entries << entry->text();
    QCOMPARE(entries, QStringList({"&1 " + b, "&2 " + a}));
    recent->actions()[1]->trigger();
    QCOMPARE(program.Platform.Messages.size(), size_t{1});
    QVERIFY(OpenPatterns(program).empty());
    emit file->aboutToShow();
    QCOMPARE(recent->actions().size(), qsizetype{1});
  }

  void aCrashedRunsPatternComesBackBitForBitAndACleanCloseLeavesNothing() {
    QByteArray painted;
    {
      TProgram crashed(Ini());
      crashed.Main.Begin(Recovery());
      crashed.Main.Tree().Patterns().Root().New();
      OPattern& p = *OpenPatterns(crashed)[0];
      p.Pictures->Get(0)->SetViewMode(1);
      p.Pictures->Get(0)->PaintMachinePixel(3, 4, 2);
      crashed.Main.UpdateRecovery(true);
      // What the pattern's file holds once read (a new pattern's undefined state 0 reads as 1).
      const QString saved = Dir.filePath(QStringLiteral("painted.pat"));
      Bytes(p, saved);
      painted = Bytes(*OpenPatternFile(saved.toStdString()), saved);
      // The program ends without closing: its copies stay.
    }
    TProgram program(Ini());
    program.Platform.Confirms = {true};
    program.Main.Begin(Recovery());
    QCOMPARE(program.Platform.Questions.size(), size_t{1});
    const std::vector<OPattern*> restored = OpenPatterns(program);
    QCOMPARE(restored.size(), size_t{1});
    QVERIFY(restored[0]->Modified());
    QCOMPARE(Bytes(*restored[0], Dir.filePath(QStringLiteral("restored.ref"))), painted);

    program.Platform.Answer = TSaveChoice::Discard;
    program.Main.show();
    QVERIFY(program.Main.close());
    QCOMPARE(QDir(Recovery()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
  }
};

QTEST_MAIN(DesktopFlowsTest)
#include "DesktopFlowsTest.moc"
