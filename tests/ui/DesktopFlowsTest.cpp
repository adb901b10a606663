// What a designer expects of a desktop editor: wheel, keys and Fit in the view window,
// shortcuts, recent patterns, patterns named on the command line, and crash recovery.
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QRadioButton>
#include <QScrollBar>
#include <QToolButton>
#include <QtTest>

#include "ImageIO.h"
#include "UiSupport.h"
#include "editors/ViewMarks.h"
#include "elements/Picture.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "shell/DesignUI.h"
#include "ui/PaletteStrip.h"
#include "ui/PatternSetupForm.h"
#include "ui/SetupGridView.h"
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
    auto& w = *dynamic_cast<TfmWindow*>(node->Editor());
    program.Main.show();
    w.SubWindow()->resize(400, 300);
    QVERIFY(QTest::qWaitForWindowActive(&program.Main));
    OpenPatterns(program)[0]->SetModified(0);              // navigation changes nothing
    QCOMPARE(QApplication::focusWidget(), w.PaintBox1);    // the keys scroll from the start
    QCOMPARE(w.Geometry().Zoom(), w.Geometry().FitZoom()); // opened showing it all
    AtZoomOne(w);
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
    QCOMPARE(grid->cursor().shape(), Qt::ClosedHandCursor);
    QTest::mouseRelease(grid, Qt::MiddleButton, {}, {10, 90});
    QCOMPARE(grid->cursor().shape(), Qt::SizeAllCursor);
    QCOMPARE(position(), std::make_pair(22, -10));
    QVERIFY(!OpenPatterns(program)[0]->Modified());
    // Fit (Ctrl+0 or 0) at whatever ratio shows it all; + and - climb the ladder from it.
    QTest::keyClick(&w, Qt::Key_0, Qt::ControlModifier);
    const float fitted = w.Geometry().Zoom();
    QVERIFY(w.Geometry().Frame().X1 == 1000 && w.Geometry().Frame().Y1 == 800);
    QVERIFY(position() == std::make_pair(0, 0) && fitted > 0.25f && fitted < 0.5f);
    QTest::keyClick(grid, Qt::Key_Plus, Qt::ShiftModifier);
    QCOMPARE(w.Geometry().Zoom(), 0.5f);
    QTest::keyClicks(grid, QStringLiteral("--"));
    QCOMPARE(w.Geometry().Zoom(), 0.125f);
    QTest::keyClick(grid, Qt::Key_0);
    QCOMPARE(w.Geometry().Zoom(), fitted);
    // Fitted again, the picture follows the window's size.
    w.SubWindow()->resize(500, 400);
    QApplication::processEvents();
    QVERIFY(w.Geometry().Zoom() == w.Geometry().FitZoom() && w.Geometry().Zoom() > fitted);

    // The window reopens as it was left, the key its pattern file's and its own.
    OpenPatterns(program)[0]->FileName = Dir.filePath(QStringLiteral("view.pat")).toStdString();
    Wheel(grid, {30, 30}, 120 * 3, Qt::ControlModifier);
    QTest::keyClick(grid, Qt::Key_Right);
    w.rbDesign->click();
    const auto shown = std::make_pair(w.Geometry().Zoom(), position());
    // Ctrl+W closes the active editor, and on the tree does nothing.
    QTest::keyClick(&program.Main, Qt::Key_W, Qt::ControlModifier);
    QApplication::processEvents();
    QVERIFY(!node->Editor());
    node->Open();
    auto& again = *dynamic_cast<TfmWindow*>(node->Editor());
    QCOMPARE(std::make_pair(again.Geometry().Zoom(),
                            std::make_pair(again.sbHorz->value(), again.sbVert->value())),
             shown);
    QVERIFY(shown.first == 2.0f && shown.second.first > 0 && again.rbDesign->isChecked());
    again.SubWindow()->close();
    QApplication::processEvents();
    const qsizetype windows = program.Main.MdiArea->subWindowList().size();
    QTest::keyClick(&program.Main, Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(program.Main.MdiArea->subWindowList().size(), windows);
  }

  // What the grid shows, pixel for pixel, against the picture the saved pattern renders
  // when it is opened again: after a stroke, a refused one, an undo and a turned region.
  void theGridShowsWhatTheSavedPatternRenders() {
    TProgram program(Ini());
    program.Main.Tree().Patterns().AddPattern(
        GenerateWizard(TPlainWizard{40, 30, TWizardLayout::Sections4}));
    OPattern& p = *OpenPatterns(program)[0];
    auto& w = *OpenEditor<TfmWindow, OWindowUI>(program.Main.Tree().Patterns());
    program.Main.show();
    w.SubWindow()->resize(400, 300);
    QApplication::processEvents();
    w.buFit->click();
    w.buZoom->click(); // paint mode
    const QString saved = Dir.filePath(QStringLiteral("saved.pat"));
    auto matches = [&]() -> bool {
      QApplication::processEvents();
      p.WriteCopy(saved.toStdString());
      auto opened = OpenPatternFile(saved.toStdString());
      OPicture& picture = *opened->Pictures->Get(0);
      picture.BringUpToDate(TView::Machine);
      w.GridLeave(); // no cell highlighted
      const QImage shown = OnScreen(w.PaintBox1);
      // The cell grid's lines are drawn over the cells.
      const TGridLines lines = GridLines(w.Geometry());
      auto onLine = [](const std::vector<int>& at, int v) {
        return std::find(at.begin(), at.end(), v) != at.end();
      };
      int compared = 0;
      for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
          if (const auto cell = w.Geometry().CellAt(x, y);
              cell && !onLine(lines.X, x) && !onLine(lines.Y, y)) {
            ++compared;
            if (shown.pixel(x, y) !=
                (ToQRgb(picture.GetMachinePixel(cell->C, cell->R)) | 0xFF000000u)) {
              qWarning() << "differs at" << x << y << "cell" << cell->C << cell->R;
              return false;
            }
          }
      return compared > 500;
    };
    auto drag = [&](int row, uint8_t index) {
      w.pbPalette->Box().LeftIndex = index;
      const int y =
          w.Geometry().Frame().Bottom - 1 - static_cast<int>(row * w.Geometry().RowHeight());
      const int x0 = w.Geometry().Frame().Left + 2;
      QTest::mousePress(w.PaintBox1, Qt::LeftButton, {}, QPoint(x0, y));
      auto move = [&](int x) {
        QMouseEvent event(QEvent::MouseMove, QPoint(x, y), w.PaintBox1->mapToGlobal(QPoint(x, y)),
                          Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.PaintBox1, &event);
      };
      for (int x = x0; x < w.PaintBox1->width(); x += 3)
        move(x);
      move(x0); // back onto the picture
      QTest::mouseRelease(w.PaintBox1, Qt::LeftButton, {}, QPoint(x0, y));
    };
    QVERIFY(matches());
    uint8_t none = 1; // a colour no state of the first yarn type shows
    while (p.MachineTable->GetState(p.Creel->GetYarnType(1), none) != 0)
      ++none;
    drag(3, none);
    QCOMPARE(p.History.UndoCount(), 0);
    QVERIFY(program.Main.findChild<QLabel*>(QStringLiteral("sbMainMessage"))
                ->text()
                .startsWith(QStringLiteral("Palette Color %1 has no state").arg(none)));
    drag(3, 1);
    QVERIFY(matches());
    w.PaintBox1->setFocus();
    QTest::keyClick(w.PaintBox1, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(matches());

    // The quarter's region moved beside the rest on a larger picture, turned and flipped; a
    // stroke across it paints the cells drawn under the mouse.
    {
      OUndoHistory::TChange step(p.History);
      OPicture& picture = *p.Pictures->Get(0);
      picture.SetWidth(80);
      picture.SetHeight(45);
      ORegion& region = *picture.Regions.Get(1);
      region.SetPictureArea({45, 20, 59, 39});
      region.HFlip = 1;
      region.Rotation = 1;
      p.Changed();
    }
    w.buFit->click();
    QVERIFY(matches());
    drag(25, 2);
    QVERIFY(p.History.UndoCount() == 2);
    QVERIFY(matches());
    const QImage shown = w.PaintBox1->grab().toImage();
    const int y = w.Geometry().Frame().Bottom - 1 - static_cast<int>(25 * w.Geometry().RowHeight());
    int painted = 0;
    for (int x = 0; x < shown.width(); ++x)
      if (const auto cell = w.Geometry().CellAt(x, y); cell && cell->C >= 44 && cell->C <= 58) {
        QCOMPARE(shown.pixel(x, y), ToQRgb(p.Palette->GetColour(2)) | 0xFF000000u);
        ++painted;
      }
    QVERIFY(painted > 0);
    // Zoomed out, where every second column is drawn from a copy kept beside the image.
    while (w.Geometry().Zoom() > 0.5f)
      Wheel(w.PaintBox1, {5, 5}, -120, Qt::ControlModifier);
    QVERIFY(matches());
    drag(30, 1);
    QCOMPARE(p.History.UndoCount(), 3);
    QVERIFY(matches());
    // A machine table colour applied from the pattern setup, and a larger window.
    const QImage before = OnScreen(w.PaintBox1);
    auto& setup = *OpenEditor<TfmPatternSetup, OPatternSetupUI>(program.Main.Tree().Patterns());
    setup.Editor().Strip.LeftIndex = 5;
    QTest::mouseClick(setup.sgMV->viewport(), Qt::LeftButton, {},
                      setup.sgMV->CellRect(0, 1).center());
    setup.buApply->click();
    QCOMPARE(p.History.UndoCount(), 4);
    w.BringToFront();
    QVERIFY(matches());
    QVERIFY(before != OnScreen(w.PaintBox1));
    // Its undo, the window on top all along.
    QTest::keyClick(w.PaintBox1, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(p.History.UndoCount(), 3);
    QVERIFY(matches());
    w.SubWindow()->resize(520, 380);
    QVERIFY(matches());

    // Cells written without their states, as an import may: counted in the status bar and,
    // from zoom 4, crossed on the grid.
    w.PaintBox1->setFocus();
    while (w.Geometry().Zoom() < 4)
      Wheel(w.PaintBox1, {5, 5}, 120, Qt::ControlModifier);
    QTest::keyClick(w.PaintBox1, Qt::Key_Home);
    const QImage plain = OnScreen(w.PaintBox1);
    for (const int c : {1, 2})
      p.SetMachineColour(c, 1, none);
    p.Events.CellsChanged({1, 1, 2, 1});
    QApplication::processEvents();
    const QString status = program.Main.findChild<QLabel*>(QStringLiteral("sbMainMessage"))->text();
    QVERIFY2(status.endsWith(QStringLiteral("cells have no state for their yarn type")),
             qPrintable(status));
    w.PaintBox1->update(); // the pixels are drawn again, as a paint's would be
    QVERIFY(OnScreen(w.PaintBox1) != plain);
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
      p.FileName = Dir.filePath(QStringLiteral("crashed.pat")).toStdString();
      p.Pictures->Get(0)->BringUpToDate(TView::Machine);
      p.Pictures->Get(0)->PaintMachinePixel(3, 4, 2);
      crashed.Main.WriteRecovery();
      // A change after a copy is written goes into the next.
      p.Pictures->Get(0)->PaintMachinePixel(5, 6, 1);
      p.Changed();
      crashed.Main.WriteRecovery();
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

    // Copied again while modified; saved, its copy goes at once, without waiting for a tick.
    auto copies = [&] {
      QDirIterator it(Recovery(), {QStringLiteral("*.pat")}, QDir::Files,
                      QDirIterator::Subdirectories);
      int n = 0;
      for (; it.hasNext(); it.next())
        ++n;
      return n;
    };
    program.Main.WriteRecovery();
    QCOMPARE(copies(), 1);
    OPatternTree& tree = program.Main.Tree().Patterns();
    tree.Select(tree.PatternNode(*restored[0]));
    tree.RunSave();
    QVERIFY(!restored[0]->Modified());
    QCOMPARE(copies(), 0);
    restored[0]->Pictures->Get(0)->PaintMachinePixel(7, 8, 1);
    restored[0]->Changed();
    program.Main.WriteRecovery();
    QVERIFY(restored[0]->Modified());
    QCOMPARE(copies(), 1);

    program.Platform.Answer = TSaveChoice::Discard;
    program.Main.show();
    QVERIFY(program.Main.close());
    QCOMPARE(QDir(Recovery()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
  }
};

QTEST_MAIN(DesktopFlowsTest)
#include "DesktopFlowsTest.moc"
