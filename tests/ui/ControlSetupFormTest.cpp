// The control setup window on the offscreen platform: one window per node, an edit through
// the real boxes applied by the button and by leaving, the close that keeps a declined
// shrink, and what an open view shows after a shrink.
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolButton>
#include <QtTest>

#include "ImageIO.h"
#include "UiSupport.h"
#include "elements/Picture.h"
#include "model/Pattern.h"
#include "shell/DesignUI.h"
#include "shell/MainCommands.h"
#include "ui/ControlSetupForm.h"
#include "ui/NumberBox.h"
#include "ui/WindowForm.h"
#include "wizards/Wizards.h"

using namespace quillane;
using namespace quillane::test;

namespace {

// The program with a rug pattern (100 x 60) and its control setup window opened from the tree.
struct TOpened {
  TProgram Program;
  OPattern* Pattern;
  ODesignUI* Node = nullptr;
  TfmControlSetup* Form = nullptr;
  explicit TOpened(const QString& ini,
                   std::unique_ptr<OPattern> pattern = GenerateWizard(TRugWizard{100, 60, 40, 50, 1,
                                                                                 10}))
      : Program(ini) {
    OPatternTree& tree = Program.Main.Tree().Patterns();
    Pattern = tree.AddPattern(std::move(pattern)).Pattern;
    Pattern->SetModified(0);
    Node = FindNode<OControlSetupUI>(tree);
    Program.Main.show();
    tree.Activate(*Node);
    Form = dynamic_cast<TfmControlSetup*>(Node->Editor());
  }
  TNumberBox* Box(TSettingsField field) { return qobject_cast<TNumberBox*>(Form->Control(field)); }
  // Types a value into a box and presses Enter, which moves on to the next control.
  void Type(TSettingsField field, const char* text) {
    TNumberBox* box = Box(field);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, QString::fromLatin1(text));
    QTest::keyClick(box, Qt::Key_Return);
  }
};

} // namespace

class ControlSetupFormTest : public TUiTest {
  Q_OBJECT
private slots:
  void openingTwiceShowsOneWindowTabVisitsEveryFieldAndAnEditIsApplied() {
    TOpened o(Ini());
    QVERIFY(o.Form);
    o.Program.Main.Tree().Patterns().Activate(*o.Node);
    QCOMPARE(o.Program.Main.MdiArea->subWindowList().size(), 2); // the tree and this one
    QCOMPARE(o.Node->Editor(), static_cast<OEditor*>(o.Form));
    QVERIFY(QTest::qWaitForWindowActive(&o.Program.Main));
    TfmControlSetup& f = *o.Form;
    QVERIFY(!f.buApply->isEnabled() && !f.buCancel->isEnabled() && !f.buSave->isEnabled());
    // Tab visits every field, each named, in the window's order; a visit changes nothing.
    const auto fields = OControlSetupEditor::Fields();
    f.Control(fields.front().Field)->setFocus();
    for (const TSettingsFieldInfo& info : fields) {
      QCOMPARE(QApplication::focusWidget(), f.Control(info.Field));
      QVERIFY(!f.Control(info.Field)->accessibleName().isEmpty());
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QVERIFY(!f.buApply->isEnabled());

    o.Type(TSettingsField::NoControls, "120");
    QVERIFY(f.buApply->isEnabled() && f.buCancel->isEnabled());
    QCOMPARE(o.Pattern->NoControls, 100);
    f.buApply->click();
    QCOMPARE(o.Pattern->NoControls, 120);
    QVERIFY(!f.buApply->isEnabled() && f.buSave->isEnabled());
    // Enter in the box stored before, untouched since, changes nothing.
    o.Box(TSettingsField::NoControls)->setFocus();
    QTest::keyClick(o.Box(TSettingsField::NoControls), Qt::Key_Return);
    QVERIFY(!f.buApply->isEnabled());
    // Save writes what the window shows: its edit is applied first.
    o.Pattern->FileName = Dir.filePath(QStringLiteral("rug.pat")).toStdString();
    o.Type(TSettingsField::NoControls, "130");
    f.buSave->click();
    QCOMPARE(o.Pattern->NoControls, 130);
    QVERIFY(!f.buApply->isEnabled() && !f.buSave->isEnabled() && !o.Pattern->Modified());

    // A number out of range is told and kept for correction; Cancel, offered meanwhile, shows
    // the stored value again.
    o.Type(TSettingsField::NoControls, "123456789012345");
    QCOMPARE(o.Program.Platform.Errors.back(),
             "Range check error: No. Controls must be a whole number between 1 and 9999");
    QVERIFY(f.buCancel->isEnabled() && f.buApply->isEnabled());
    f.buCancel->click();
    QCOMPARE(o.Box(TSettingsField::NoControls)->text(), QStringLiteral("130"));
    QVERIFY(!f.buCancel->isEnabled() && !f.buApply->isEnabled());

    // A refused text is told and kept, selected for correction; the settings stay as they were.
    auto* size = qobject_cast<QLineEdit*>(f.Control(TSettingsField::SizeCode));
    size->setFocus();
    QTest::keyClicks(size, QStringLiteral("6\" wide"));
    QTest::keyClick(size, Qt::Key_Return);
    QCOMPARE(o.Program.Platform.Messages.size(), size_t(1));
    QTRY_COMPARE(QApplication::focusWidget(), size);
    QCOMPARE(size->selectedText(), QStringLiteral("6\" wide"));
    QVERIFY(!f.Model.Modified() && f.buCancel->isEnabled());
    QTest::keyClicks(size, QStringLiteral("6 wide"));
    QTest::keyClick(size, Qt::Key_Return);
    QCOMPARE(o.Form->Model.WorkingCopy.GetSizeCode(), std::string("6 wide"));

    // Leaving the window applies: the edit still being typed goes with it.
    o.Box(TSettingsField::NoPLines)->setFocus();
    QTest::keyClick(o.Box(TSettingsField::NoPLines), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(o.Box(TSettingsField::NoPLines), QStringLiteral("70"));
    o.Program.Main.Tree().BringToFront();
    QCOMPARE(o.Pattern->NoPLines, 70);

    // Closing the program writes back what the window holds before it asks to save.
    o.Form->BringToFront();
    o.Type(TSettingsField::NoControls, "130");
    QVERIFY(!CloseMainWindow(o.Program.Main.Tree().Patterns()));
    QCOMPARE(o.Pattern->NoControls, 130);
    QCOMPARE(o.Program.Platform.Questions.size(), size_t(1));
  }

  void aDeclinedShrinkKeepsTheWindowOpenWithTheValue() {
    TOpened o(Ini());
    QVERIFY(QTest::qWaitForWindowActive(&o.Program.Main));
    o.Pattern->SetState(80, 1, 1);
    o.Type(TSettingsField::NoControls, "50");
    o.Program.Platform.Confirms = {false, false, false, true};
    // Leaving, closing the window and the tree's Close are declined; the next close shrinks.
    o.Program.Main.Tree().BringToFront();
    OPatternTree& tree = o.Program.Main.Tree().Patterns();
    tree.Select(o.Node);
    tree.RunClose();
    QVERIFY(!o.Form->SubWindow()->close());
    QCOMPARE(o.Program.Platform.Questions.size(), size_t(3));
    QCOMPARE(o.Pattern->NoControls, 100);
    QCOMPARE(o.Box(TSettingsField::NoControls)->value(), 50);
    QVERIFY(o.Form->buApply->isEnabled());
    o.Program.Trigger("miCloseAll"); // the Window menu's: every window but the tree's
    QCOMPARE(o.Pattern->NoControls, 50);
    QVERIFY(!o.Node->Editor() && o.Program.Main.Tree().isVisible());
  }

  // Shrinking a pattern whose view window is open: the view shows exactly the cells the
  // core renders and no phantom columns, and the nodes of the sections taken out go, their
  // open editor with them.
  void theViewShowsWhatIsLeftAfterAShrink() {
    auto made = GenerateWizard(TPlainWizard{40, 30, TWizardLayout::Sections4});
    OPicture& picture = *made->Pictures->Get(0);
    picture.BringUpToDate(TView::Machine);
    for (int i = 0; i < 20; ++i)
      picture.PaintMachinePixel(i, i, static_cast<uint8_t>(1 + i % 2));
    TOpened o(Ini(), std::move(made));
    OPatternTree& tree = o.Program.Main.Tree().Patterns();
    auto* window = OpenEditor<TfmWindow, OWindowUI>(tree);
    QVERIFY(window);
    window->SubWindow()->resize(400, 300);
    AtZoomOne(*window);
    auto sections = [&] {
      std::vector<OSectionUI*> nodes;
      for (const auto& node : tree.Registry())
        if (auto* section = dynamic_cast<OSectionUI*>(node.get()))
          nodes.push_back(section);
      return nodes;
    };
    QCOMPARE(sections().size(), size_t(4));
    sections()[1]->Open(); // Section #2, which the shrink takes out
    QVERIFY(sections()[1]->Editor());
    o.Form->BringToFront();
    o.Type(TSettingsField::NoControls, "15");
    o.Program.Platform.Confirms = {true};
    o.Form->buApply->click();
    QCOMPARE(o.Program.Platform.Messages,
             std::vector<std::string>{"The pattern is now 15 \xC3\x97 30. Cut to fit: Region #2 of "
                                      "Picture #1, Section #1, Section #3. Removed: Section #2, "
                                      "Section #4."});
    QCOMPARE(sections().size(), size_t(2));
    QCOMPARE(o.Program.Platform.Errors, std::vector<std::string>{});

    window->BringToFront();
    QApplication::processEvents();
    const QImage shown = window->PaintBox1->grab().toImage();
    QCOMPARE(window->Geometry().Zoom(), 1.0f);
    const auto [x0, bottom] = Corner(*window);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 17; ++x) {
        const QRgb expected = x < 15 ? ToQRgb(picture.GetMachinePixel(x, y)) : qRgb(192, 192, 192);
        QCOMPARE(shown.pixel(x0 + x, bottom - y), expected | 0xFF000000u);
      }
    QVERIFY(picture.GetMachinePixel(3, 3) != picture.GetMachinePixel(4, 3)); // painted, shown
  }

  // Close All reaches a window that closing an earlier one let go, its node gone with the
  // section the setup's apply took out.
  void closeAllGetsPastAWindowAnEarlierCloseTookOut() {
    TOpened o(Ini(), GenerateWizard(TPlainWizard{40, 30, TWizardLayout::Sections4}));
    OPatternTree& tree = o.Program.Main.Tree().Patterns();
    FindNode<OSectionUI>(tree, o.Pattern, "-2")->Open();
    o.Form->BringToFront();
    o.Type(TSettingsField::NoControls, "15");
    o.Program.Platform.Confirms = {true};
    o.Program.Trigger("miCloseAll");
    QCOMPARE(o.Pattern->NoControls, 15);
    QVERIFY(!o.Node->Editor() && !FindNode<OSectionUI>(tree, o.Pattern, "-2"));
    QCOMPARE(o.Program.Main.Tabs.Tabs().size(), size_t(1));
  }
};

QTEST_MAIN(ControlSetupFormTest)
#include "ControlSetupFormTest.moc"
