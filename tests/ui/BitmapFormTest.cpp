// A drawing brought into a region through the import window, and the region written out as
// an image, on the offscreen platform.
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolButton>
#include <QtTest>
#include <set>

#include "ImageIO.h"
#include "UiSupport.h"
#include "data/Record.h"
#include "elements/Picture.h"
#include "elements/Region.h"
#include "model/Pattern.h"
#include "ui/BitmapForm.h"
#include "ui/PaletteStrip.h"
#include "ui/WindowForm.h"
#include "wizards/Wizards.h"

using namespace quillane;
using namespace quillane::test;

class BitmapFormTest : public TUiTest {
  Q_OBJECT
private slots:
  void importPressApplyThenExport() {
    TProgram program(Ini());
    // A colour pattern the drawing's size, its one region selected.
    auto made = GenerateWizard(TPlainWizard{120, 80, TWizardLayout::Section1});
    made->SetMachineType(11);
    made->Changed();
    OPatternTree& tree = program.Main.Tree().Patterns();
    OPattern& pattern = *tree.AddPattern(std::move(made)).Pattern;
    tree.Select(FindNode<ORegionUI>(tree));
    auto saved = [&pattern] { return PatternBytes(pattern); };
    auto run = [&](const char* button, std::function<void(QWidget*)> inside) {
      QTimer::singleShot(0, [inside] { inside(QApplication::activeModalWidget()); });
      program.Main.Tree().findChild<QToolButton*>(QString::fromLatin1(button))->click();
    };
    auto press = [](QWidget* widget, Qt::MouseButton button, int y) {
      QMouseEvent event(QEvent::MouseButtonPress, QPointF(5, y), widget->mapToGlobal(QPointF(5, y)),
                        button, button, Qt::NoModifier);
      QApplication::sendEvent(widget, &event);
    };
    // 120 x 80: white, a black bottom line, and red, lime, blue and orange shapes.
    const std::string drawing = QUILLANE_TEST_DATA "/drawing.png";

    // Changes, then the close box answered Cancel: nothing happens.
    const TBytes before = saved();
    program.Platform.Files = {drawing};
    run("buImport", [&](QWidget* window) {
      auto* form = qobject_cast<TfmBitmap*>(window);
      QVERIFY(form);
      form->buPalette->click();
      press(form->pbBitmapColours, Qt::RightButton, 1);
      form->close();
    });
    QCOMPARE(program.Platform.Questions, std::vector<std::string>{"Apply changes"});
    QCOMPARE(pattern.Pictures->Get(0)->Regions.Get(0)->BitmapFileName, drawing);
    pattern.Pictures->Get(0)->Regions.Get(0)->BitmapFileName.clear();
    QVERIFY(saved() == before);

    program.Platform.Files = {drawing};
    run("buImport", [&](QWidget* window) {
      auto* form = qobject_cast<TfmBitmap*>(window);
      QVERIFY(form);
      QVERIFY(!form->rbDesign->isEnabled() && form->rbMachine->isChecked());
      // Navy on the left button, then onto orange's row.
      press(form->pbPalette, Qt::LeftButton, 8 * form->pbPalette->Box().CellHeight() + 1);
      press(form->pbPaletteColours, Qt::LeftButton,
            5 * form->Work.RowHeight(form->pbPaletteColours->height()) + 1);
      QCOMPARE(form->StatusBar1->currentMessage(),
               QStringLiteral("Assigned Palette Color 9: Red=0, Green=0, Blue=128"));
      form->buApply->click();
    });
    // PLine 1 is the drawing's bottom row: black, white, red, orange now navy, and blue.
    const std::pair<QPoint, int> cells[] = {
        {{1, 1}, 15}, {{1, 80}, 16}, {{21, 60}, 1}, {{91, 20}, 9}, {{86, 50}, 7}};
    for (const auto& [cell, index] : cells)
      QCOMPARE(pattern.GetMachineColour(cell.x(), cell.y()), index);

    // Navy written out where the drawing had orange; an unknown kind of file is refused.
    const QString out = Dir.filePath(QStringLiteral("region.png"));
    program.Platform.Files = {Dir.filePath(QStringLiteral("region.gif")).toStdString(),
                              out.toStdString()};
    for (int k = 0; k < 2; ++k)
      program.Main.Tree().findChild<QToolButton*>(QStringLiteral("buExport"))->click();
    QCOMPARE(program.Platform.Errors,
             std::vector<std::string>{"Cannot write an image of this kind (use .bmp or .png): " +
                                      Dir.filePath(QStringLiteral("region.gif")).toStdString()});
    const OBitmap24 back = LoadImage(out.toStdString()), original = LoadImage(drawing);
    QCOMPARE(back.Width() * 1000 + back.Height(), 120080);
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 120; ++x)
        QCOMPARE(back.Row(y)[x],
                 x >= 80 && x <= 112 && y >= 55 && y <= 72 ? 0x800000u : original.Row(y)[x]);

    // Nearest chosen by keyboard: the preview shows palette colours only, block by block,
    // and the next import starts with it.
    for (const int round : {0, 1}) {
      program.Platform.Files = {drawing};
      run("buImport", [&](QWidget* window) {
        auto* form = qobject_cast<TfmBitmap*>(window);
        QVERIFY(form);
        if (round == 0) {
          QVERIFY(QTest::qWaitForWindowActive(form));
          QTest::keyClick(form, Qt::Key_C, Qt::AltModifier);
          QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->cbColours));
          QTest::keyClick(form->cbColours, Qt::Key_Down);
        }
        QCOMPARE(form->Work.Assignment().Mode, TColourMode::Nearest);
        QVERIFY(form->cbDither->isEnabled() && !form->seReduce->isEnabled());
        QVERIFY(form->lbUnstated->text().isEmpty());
        const QImage shown =
            form->findChild<QWidget*>(QStringLiteral("imBitmap"))->grab().toImage();
        const QRect inside = form->findChild<QFrame*>(QStringLiteral("imBitmap"))->contentsRect();
        std::set<QRgb> colours;
        for (int y = inside.top() + 4; y < inside.bottom() - 4; y += 3)
          colours.insert(shown.pixel(inside.center().x(), y));
        for (const QRgb c : colours)
          QVERIFY2(form->Work.WorkPalette.FindColour(FromQRgb(c)) != 0 ||
                       c == QApplication::palette().color(QPalette::Window).rgb(),
                   qPrintable(QString::number(c, 16)));
        form->buCancel->click();
      });
    }
  }

  // A view window on the picture shows the machine view: the import starts in it, though
  // it would start in the design view otherwise.
  void importStartsInTheViewAWindowShows() {
    TProgram program(Ini());
    g.Persist().WriteInteger("fmBitmap.Machine", 0);
    OPatternTree& tree = program.Main.Tree().Patterns();
    tree.AddPattern(GenerateWizard(TPlainWizard{120, 80, TWizardLayout::Section1}));
    auto* window = OpenEditor<TfmWindow, OWindowUI>(tree);
    QVERIFY(window && window->rbMachine->isChecked());
    tree.Select(FindNode<ORegionUI>(tree));
    program.Platform.Files = {QUILLANE_TEST_DATA "/drawing.png"};
    bool machine = false;
    QTimer::singleShot(0, [&machine] {
      auto* form = qobject_cast<TfmBitmap*>(QApplication::activeModalWidget());
      machine = form && form->rbMachine->isChecked();
      if (form)
        form->buCancel->click();
    });
    program.Main.Tree().findChild<QToolButton*>(QStringLiteral("buImport"))->click();
    QVERIFY(machine);
  }
};

QTEST_MAIN(BitmapFormTest)
#include "BitmapFormTest.moc"
