// The pattern setup editor on the offscreen platform: colour patterns, the Import and
// Export menus, and a grid click that Apply hands to the pattern.
#include <QComboBox>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

#include "UiSupport.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/Settings.h"
#include "shell/DesignUI.h"
#include "shell/PatternTree.h"
#include "ui/PatternSetupForm.h"
#include "ui/SetupGridView.h"

using namespace quillane;
using namespace quillane::test;

namespace {

// Save dialogs answer from the same queue as open dialogs.
struct TExchangePlatform : TTestPlatform {
  using TTestPlatform::TTestPlatform;
  bool RunSaveDialog(TFileDialog& dialog) override { return RunOpenDialog(dialog); }
};

struct TOpened {
  TProgram Program;
  TExchangePlatform Exchange{Program.Main};
  OPlatformScope Scope{Exchange};
  OPattern* Pattern = nullptr;
  TfmPatternSetup* Form = nullptr;
  TOpened(const QString& ini, uint8_t machineType) : Program(ini) {
    auto pattern = std::make_unique<OPattern>();
    pattern->InitNew();
    pattern->Settings->MachineType = machineType;
    pattern->ApplySettings();
    pattern->Changed();
    Pattern = pattern.get();
    OPatternTree& tree = Program.Main.Tree().Patterns();
    tree.AddPattern(std::move(pattern));
    Form = OpenEditor<TfmPatternSetup, OPatternSetupUI>(tree);
    Program.Main.show();
    QApplication::processEvents();
  }
  void Click(TSetupGridView* grid, int column, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(grid->viewport(), button, {}, grid->CellRect(0, column).center());
  }
  void Trigger(const char* item) {
    Form->MakeMenus();
    QAction* action = Form->findChild<QAction*>(QString::fromLatin1(item));
    QVERIFY(action);
    action->trigger();
  }
};

class PatternSetupFormTest : public TUiTest {
  Q_OBJECT
private slots:
  void aColourPatternHasNoDesignTableAndNoUndefinedState() {
    for (uint8_t type : {0, 11}) { // UTPA, COLORTEC
      TOpened o(Ini(), type);
      QVERIFY(o.Form);
      QCOMPARE(o.Form->windowTitle(), QStringLiteral("Pattern Setup"));
      QCOMPARE(o.Form->sgDV->isVisible(), type == 0);
      QCOMPARE(o.Form->cbUndefined->isEnabled(), type == 0);
    }
  }

  void eachMenuItemExportsAndImportsItsOwnObject() {
    TOpened o(Ini(), 0);
    TfmPatternSetup& f = *o.Form;
    OPatternSetupEditor& e = f.Editor();
    e.Strip.LeftIndex = 9;
    struct {
      const char* Name;
      const char* Extension;
      char Kind;
      std::function<void()> Edit;
      std::function<int()> Probe;
    } rows[] = {
        {"Creel", "CRE", 1,
         [&] {
           e.YarnTypeRow = 1;
           o.Click(f.sgCreel, 1);
         },
         [&] { return e.WorkingCreel->GetYarnType(1); }},
        {"DesignTable", "DES", 2, [&] { o.Click(f.sgDV, 2); },
         [&] { return e.WorkingDesignTable->GetColour(1, 1, 1, 2); }},
        {"MachineTable", "MCH", 3, [&] { o.Click(f.sgMV, 1); },
         [&] { return e.WorkingMachineTable->GetColour(1, 1); }},
        {"Palette", "PAL", 4,
         [&] {
           f.edNoColors->setValue(8);
           emit f.edNoColors->editingFinished();
         },
         [&] { return e.WorkingPalette->NoColours(); }},
    };
    for (const auto& row : rows) {
      const QString file = Dir.filePath(QStringLiteral("x.") + QString::fromLatin1(row.Extension));
      const int before = row.Probe();
      o.Exchange.Files.push_back(file.toStdString());
      o.Trigger((std::string("miExport") + row.Name).c_str());
      QFile written(file);
      QVERIFY2(written.open(QIODevice::ReadOnly), row.Name);
      QCOMPARE(written.read(1).at(0), row.Kind);
      row.Edit();
      QVERIFY2(row.Probe() != before, row.Name);
      QVERIFY(f.buApply->isEnabled());
      o.Exchange.Files.push_back(file.toStdString());
      o.Trigger((std::string("miImport") + row.Name).c_str());
      QCOMPARE(row.Probe(), before);
    }
    QVERIFY(o.Exchange.Errors.empty());
  }

  void aGridClickReachesThePatternOnApply() {
    TOpened o(Ini(), 0);
    TfmPatternSetup& f = *o.Form;
    f.Editor().Strip.RightIndex = 7;
    QVERIFY(!f.buApply->isEnabled());
    // The screen shows each grid as the model's cells draw afresh: a click on a first state
    // recolours the creel too.
    auto shown = [&] {
      for (TSetupGridView* grid : {f.sgCreel, f.sgMV, f.sgDV})
        QCOMPARE(OnScreen(grid).convertToFormat(QImage::Format_RGB32),
                 grid->grab().toImage().convertToFormat(QImage::Format_RGB32));
    };
    o.Click(f.sgMV, 1, Qt::RightButton);
    o.Click(f.sgMV, 2, Qt::RightButton);
    shown();
    QVERIFY(f.buApply->isEnabled());
    QVERIFY(o.Pattern->MachineTable->GetColour(1, 2) != 7);
    f.buApply->click();
    QCOMPARE(o.Pattern->MachineTable->GetColour(1, 2), 7);
    QVERIFY(!f.buApply->isEnabled());
    QCOMPARE(f.Editor().Cell(TSetupGrid::MachineTable, 2, 2).Text, "7");

    // A drag along the creel gives every control it passes the selected yarn type.
    f.sgYarnTypes->setCurrentRow(2);
    QWidget* creel = f.sgCreel->viewport();
    QTest::mousePress(creel, Qt::LeftButton, {}, f.sgCreel->CellRect(1, 2).center());
    QMouseEvent move(QEvent::MouseMove, QPointF(f.sgCreel->CellRect(1, 5).center()),
                     creel->mapToGlobal(QPointF(f.sgCreel->CellRect(1, 5).center())), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(creel, &move);
    QTest::mouseRelease(creel, Qt::LeftButton, {}, f.sgCreel->CellRect(1, 5).center());
    QString letters;
    for (int c = 1; c <= 6; ++c)
      letters += QString::fromStdString(f.Editor().Cell(TSetupGrid::Creel, 1, c).Text);
    QCOMPARE(letters, QStringLiteral("ACCCCA"));
  }
};

} // namespace

QTEST_MAIN(PatternSetupFormTest)
#include "PatternSetupFormTest.moc"
