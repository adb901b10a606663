// The element editors on the offscreen platform: a section's target moved in its window
// and applied by switching to the tree, and a region marked as imported drawn so at once.
#include <QCheckBox>
#include <QToolButton>
#include <QtTest>

#include "UiSupport.h"
#include "elements/Section.h"
#include "model/Pattern.h"
#include "shell/DesignUI.h"
#include "ui/NumberBox.h"
#include "ui/RegionForm.h"
#include "ui/SectionForm.h"
#include "wizards/Wizards.h"

using namespace quillane;
using namespace quillane::test;

class ElementFormsTest : public TUiTest {
  Q_OBJECT

  // The node of that kind and name in the tree of a 40 x 30 pattern in two mirrored halves.
  template <class TNode> static TNode* Node(TProgram& program, const std::string& suffix) {
    OPatternTree& tree = program.Main.Tree().Patterns();
    if (tree.Registry().empty())
      tree.AddPattern(GenerateWizard(TPlainWizard{40, 30, TWizardLayout::Sections2h}));
    return FindNode<TNode>(tree, nullptr, suffix);
  }

private slots:
  void aMovedTargetIsAppliedWhenTheTreeIsActivated() {
    TProgram program(Ini());
    OSectionUI* node = Node<OSectionUI>(program, "-2");
    QVERIFY(node);
    OPattern& pattern = *node->Pattern;
    pattern.SetState(1, 1, 1); // not yet copied to the mirrored half
    program.Main.show();
    program.Main.Tree().Patterns().Activate(*node);
    auto* form = dynamic_cast<TfmSection*>(node->Editor());
    QVERIFY(form);
    QCOMPARE(form->windowTitle(), QStringLiteral("Section"));
    QVERIFY(QTest::qWaitForWindowActive(&program.Main));
    TNumberBox* target = form->Box(TElementField::Control2);
    QCOMPARE(target->value(), 21);
    target->setFocus();
    QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(target, QStringLiteral("19"));
    QVERIFY(form->buApply->isEnabled());
    program.Main.Tree().BringToFront();
    QCOMPARE(node->Section.TargetArea, (TRect{19, 1, 38, 30}));
    QCOMPARE(pattern.States.Get(38, 1), uint8_t(1));
    QVERIFY(!form->buApply->isEnabled() && form->buSave->isEnabled());
  }

  void aTooBigValueIsToldAndKeptForCorrectionAndTheEditorStaysAsItWas() {
    TProgram program(Ini());
    ORegionUI* node = Node<ORegionUI>(program, "-1");
    QVERIFY(node);
    const TRect before = node->Region.PatternArea;
    program.Main.show();
    program.Main.Tree().Patterns().Activate(*node);
    auto* form = dynamic_cast<TfmRegion*>(node->Editor());
    QVERIFY(form && QTest::qWaitForWindowActive(&program.Main));
    // The editor opens on its first field, not on Save.
    QTRY_COMPARE(QApplication::focusWidget(), form->Box(TElementField::Control1));
    TNumberBox* box = form->Box(TElementField::NoControls);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, QStringLiteral("12000"));
    QVERIFY(form->buApply->isEnabled());
    QTest::keyClick(box, Qt::Key_Tab);
    QCOMPARE(program.Platform.Errors,
             std::vector<std::string>{
                 "Range check error: No. Controls must be a whole number between 1 and 9999"});
    QTRY_COMPARE(QApplication::focusWidget(), box);
    QCOMPARE(box->selectedText(), QStringLiteral("12000"));
    QCOMPARE(node->Region.PatternArea, before);
    // The refused digits keep Cancel offered, and Cancel shows the stored value again.
    QVERIFY(form->buApply->isEnabled() && form->buCancel->isEnabled());
    form->buCancel->click();
    QCOMPARE(box->text(), QString::number(before.Right - before.Left + 1));
    QVERIFY(!form->buApply->isEnabled() && !form->buCancel->isEnabled());
  }

  void anImportRegionTurnsRedWhenApplied() {
    TProgram program(Ini());
    ORegionUI* node = Node<ORegionUI>(program, "-1");
    QVERIFY(node);
    program.Main.show();
    program.Main.Tree().Patterns().Activate(*node);
    auto* form = dynamic_cast<TfmRegion*>(node->Editor());
    QVERIFY(form && !form->cbImportFlag->isChecked());
    form->cbImportFlag->click();
    form->buApply->click();
    QTreeWidgetItem* item = program.Main.Tree().TreeView1->findItems(
        QString::fromStdString(node->Name()), Qt::MatchExactly | Qt::MatchRecursive)[0];
    QCOMPARE(item->background(0).color(), QColor(Qt::red));
  }
};

QTEST_MAIN(ElementFormsTest)
#include "ElementFormsTest.moc"
