// Undo and redo from the keyboard while the view window has the focus, and from the Edit
// menu, which names the step and brings a deleted element back with its editor.
#include <QListWidget>
#include <QMenu>
#include <QToolButton>
#include <QtTest>

#include "UiSupport.h"
#include "editors/ViewStates.h"
#include "elements/Picture.h"
#include "elements/Region.h"
#include "model/Pattern.h"
#include "shell/DesignUI.h"
#include "ui/HistoryForm.h"
#include "ui/RegionForm.h"
#include "ui/TreeForm.h"
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
    const QPoint corner = Corner(*w);
    QTest::mousePress(w->PaintBox1, Qt::LeftButton, {}, corner + QPoint(3, 0));
    QMouseEvent move(QEvent::MouseMove, corner + QPoint(9, -2), w->PaintBox1->mapToGlobal(QPoint()),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w->PaintBox1, &move);
    QTest::mouseRelease(w->PaintBox1, Qt::LeftButton, {}, corner + QPoint(9, -2));
    const TBytes painted = saved();
    QVERIFY(painted != before);
    QVERIFY(p.History.UndoCount() == 1);
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

  void undoingTheDeleteOfARegionBringsItBackInPlaceWithItsEditor() {
    TProgram program(Ini());
    auto owned = GenerateWizard(TPlainWizard{40, 30, TWizardLayout::Sections2h});
    OPattern& p = *owned;
    OPatternTree& tree = program.Main.Tree().Patterns();
    tree.AddPattern(std::move(owned));
    program.Main.show();
    QAction* undo = program.Main.findChild<QAction*>(QStringLiteral("miUndo"));
    QCOMPARE(undo->text(), QStringLiteral("&Undo"));
    tree.Select(FindNode<ORegionsUI>(tree));
    tree.RunNew(); // one region more, so that the first has others to come back before
    auto* form = OpenEditor<TfmRegion, ORegionUI>(tree);
    QVERIFY(form);
    ODesignUI* node = &form->Controller;
    const std::string name = node->Name();
    const ORegion* region = &static_cast<ORegionUI*>(node)->Region;
    const int count = p.Pictures->Get(0)->Regions.Count();
    tree.Select(node);
    tree.RunDelete();
    QCOMPARE(p.Pictures->Get(0)->Regions.Count(), count - 1);
    QVERIFY(!FindNode<ORegionUI>(tree, &p, name));
    // Heard from the history, without the menu being opened.
    QCOMPARE(undo->text(), QString::fromStdString("&Undo Delete " + name));

    undo->trigger();
    auto* back = FindNode<ORegionUI>(tree, &p, name);
    QVERIFY(back);
    QCOMPARE(&back->Region, region);
    QCOMPARE(p.Pictures->Get(0)->Regions.Get(0), region);
    QVERIFY(dynamic_cast<TfmRegion*>(back->Editor()));
    QTreeWidgetItem* regions = program.Main.Tree().TreeView1->findItems(
        QStringLiteral("Regions"), Qt::MatchExactly | Qt::MatchRecursive)[0];
    QCOMPARE(regions->child(0)->text(0), QString::fromStdString(name));
    QVERIFY(undo->text().startsWith(QStringLiteral("&Undo New Region")));
  }

  void theHistoryWindowTakesTheClickedStepAndFollowsTheTreesPattern() {
    TProgram program(Ini());
    auto owned = GenerateWizard(TPlainWizard{40, 30, TWizardLayout::Sections2h});
    OPattern& p = *owned;
    OPatternTree& tree = program.Main.Tree().Patterns();
    tree.AddPattern(std::move(owned));
    program.Main.show();
    for (const int x : {2, 3}) {
      PaintPixel(p, *p.Pictures->Get(0), TView::Machine, {x, 2}, 1);
      p.History.EndStroke();
    }
    program.Trigger("miHistory");
    auto* form = program.Main.findChild<TfmHistory*>();
    QVERIFY(form && form->isVisible());
    QListWidget* list = form->lbHistory;
    QCOMPARE(list->count(), 3);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    QCOMPARE(p.History.UndoCount(), 0);
    QVERIFY(list->item(0)->font().bold() && list->item(2)->font().italic());
    // The arrows only choose; Enter takes the pattern there.
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(p.History.UndoCount(), 0);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(p.History.UndoCount(), 1);

    tree.AddPattern(GenerateWizard(TPlainWizard{20, 20, TWizardLayout::Sections2h}));
    QCOMPARE(list->count(), 1);
    tree.Select(FindNode<OPatternUI>(tree, &p));
    QCOMPARE(list->count(), 3);
    QVERIFY(list->item(1)->font().bold());
  }
};

QTEST_MAIN(UndoFlowTest)
#include "UndoFlowTest.moc"
