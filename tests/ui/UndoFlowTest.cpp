// Undo and redo from the keyboard while the view window has the focus.
#include <QMenu>
#include <QToolButton>
#include <QtTest>

#include "UiSupport.h"
#include "elements/Picture.h"
#include "model/Pattern.h"
#include "shell/DesignUI.h"
#include "ui/WindowForm.h"
#include "wizards/Wizards.h"

using namespace quillane;
using namespace quillane::test;

class UndoFlowTest : public TUiTest {
  Q_OBJECT
private slots:
  void ctrlZUndoesAStrokeOfTheViewWindowAndCtrlYRedoesIt() {
    TProgram program(Ini());
    auto owned = GenerateWizard(TPlainWizard{40, 30, TWizardLayout::Sections2h});
    OPattern& p = *owned;
    OPatternTree& tree = program.Main.Tree().Patterns();
    tree.AddPattern(std::move(owned));
    TfmWindow* w = OpenEditor<TfmWindow, OWindowUI>(tree);
    program.Main.show();
    QApplication::processEvents();
    auto saved = [&p] { return PatternBytes(p); };
    const TBytes before = saved();
    QAction* undo = program.Main.findChild<QAction*>(QStringLiteral("miUndo"));
    QAction* redo = program.Main.findChild<QAction*>(QStringLiteral("miRedo"));
    QCOMPARE(redo->shortcuts(), (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Shift+Z")),
                                                     QKeySequence(QStringLiteral("Ctrl+Y"))}));

    QTest::mouseClick(w->buZoom, Qt::LeftButton); // paint mode
    const int bottom = w->PaintBox1->height() - 1;
    QTest::mousePress(w->PaintBox1, Qt::LeftButton, {}, QPoint(3, bottom));
    QMouseEvent move(QEvent::MouseMove, QPoint(9, bottom - 2), w->PaintBox1->mapToGlobal(QPoint()),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w->PaintBox1, &move);
    QTest::mouseRelease(w->PaintBox1, Qt::LeftButton, {}, QPoint(9, bottom - 2));
    const TBytes painted = saved();
    QVERIFY(painted != before);
    QVERIFY(p.History.UndoCount() == 1);
    emit program.Main.findChild<QMenu*>(QStringLiteral("miEdit"))->aboutToShow();
    QVERIFY(undo->isEnabled() && !redo->isEnabled());

    w->PaintBox1->setFocus();
    QTest::keyClick(w->PaintBox1, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(saved() == before);
    QVERIFY(!undo->isEnabled() && redo->isEnabled());
    QTest::keyClick(w->PaintBox1, Qt::Key_Y, Qt::ControlModifier);
    QVERIFY(saved() == painted);
    QTest::keyClick(w->PaintBox1, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(w->PaintBox1, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(saved() == painted);
  }
};

QTEST_MAIN(UndoFlowTest)
#include "UndoFlowTest.moc"
