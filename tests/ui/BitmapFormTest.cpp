// A drawing brought into a region through the import window, and a region written out as
// an image, on the offscreen platform.
#include <QFileDialog>
#include <QMouseEvent>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "ImageIO.h"
#include "UiSupport.h"
#include "data/Record.h"
#include "elements/Bitmap.h"
#include "elements/Picture.h"
#include "elements/Region.h"
#include "model/Pattern.h"
#include "ui/BitmapForm.h"
#include "ui/PaletteStrip.h"
#include "wizards/Wizards.h"

using namespace quillane;
using namespace quillane::test;

namespace {

// 120 x 80: white, a black bottom line, and red, lime, blue and orange shapes.
const std::string Drawing = QUILLANE_TEST_DATA "/drawing.png";

void Press(QWidget* widget, Qt::MouseButton button, QPoint at) {
  QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), button, button,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
}

// Runs `inside` on the import window once it shows.
void WhenShown(std::function<void(TfmBitmap&)> inside) {
  QTimer::singleShot(0, [inside] {
    auto* form = qobject_cast<TfmBitmap*>(QApplication::activeModalWidget());
    QVERIFY(form);
    inside(*form);
  });
}

TBytes Saved(const OPattern& pattern) {
  OWriter w;
  pattern.WriteToStream(w);
  return w.Bytes();
}

} // namespace

class BitmapFormTest : public QObject {
  Q_OBJECT
  QTemporaryDir Dir;
  std::unique_ptr<TProgram> Program;
  OPattern* Pattern = nullptr;

  // A colour pattern the drawing's size, whose one region is selected in the tree.
  void Open() {
    Program = std::make_unique<TProgram>(Dir.filePath(QStringLiteral("quillane.ini")));
    auto pattern = GenerateWizard(TPlainWizard{120, 80, TWizardLayout::Section1});
    pattern->SetMachineType(11);
    pattern->Changed();
    OPatternTree& tree = Program->Main.Tree().Patterns();
    Pattern = tree.AddPattern(std::move(pattern)).Pattern;
    for (const auto& node : tree.Registry())
      if (dynamic_cast<ORegionUI*>(node.get()))
        tree.Select(node.get());
  }
  void Click(const char* button) {
    auto* found = Program->Main.Tree().findChild<QToolButton*>(QString::fromLatin1(button));
    QVERIFY(found && found->isEnabled());
    found->click();
  }

private slots:
  void cleanup() { Program.reset(); }
  void cleanupTestCase() { g.Start({}, nullptr); }

  void aPressedRowPaintsTheStripsColour() {
    Open();
    Program->Platform.Files = {Drawing};
    WhenShown([](TfmBitmap& form) {
      QCOMPARE(form.windowTitle(), QStringLiteral("Import Bitmap"));
      QVERIFY(!form.rbDesign->isEnabled() && form.rbMachine->isChecked());
      // White, black, red, lime, blue, then orange on the first entry no colour took.
      QCOMPARE(form.Work.Mapping,
               (std::vector<OPaletteEntry>{0, 16, 15, 1, 4, 7, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
      // Navy on the left button, then onto orange's row.
      Press(form.pbPalette, Qt::LeftButton, QPoint(5, 8 * form.pbPalette->Box().CellHeight() + 1));
      const int row = form.Work.RowHeight(form.pbPaletteColours->height());
      Press(form.pbPaletteColours, Qt::LeftButton, QPoint(5, 5 * row + 1));
      QCOMPARE(form.StatusBar1->currentMessage(),
               QStringLiteral("Assigned Palette Color 9: Red=0, Green=0, Blue=128"));
      form.buApply->click();
    });
    Click("buImport");
    // PLine 1 is the drawing's bottom row.
    const std::pair<QPoint, int> cells[] = {
        {{1, 1}, 15}, {{1, 80}, 16}, {{21, 60}, 1}, {{91, 20}, 9}, {{86, 50}, 7}};
    for (const auto& [cell, index] : cells)
      QCOMPARE(Pattern->GetMachineColour(cell.x(), cell.y()), index);
    QCOMPARE(Pattern->Pictures->Get(0)->Regions.Get(0)->BitmapFileName, Drawing);
  }

  void theCloseBoxAnsweredCancelChangesNothing() {
    Open();
    const TBytes before = Saved(*Pattern);
    Program->Platform.Files = {Drawing};
    WhenShown([](TfmBitmap& form) {
      form.buPalette->click();
      Press(form.pbBitmapColours, Qt::RightButton, QPoint(5, 1));
      form.close();
    });
    Click("buImport");
    QCOMPARE(Program->Platform.Questions, std::vector<std::string>{"Apply changes"});
    Pattern->Pictures->Get(0)->Regions.Get(0)->BitmapFileName.clear();
    QVERIFY(Saved(*Pattern) == before);
  }

  void exportWritesAnImageThatReadsBack() {
    Open();
    Program->Platform.Files = {Drawing};
    // The drawing's own colours, so that the image reads back as it was drawn.
    WhenShown([](TfmBitmap& form) {
      form.buPalette->click();
      form.buApply->click();
    });
    Click("buImport");
    const QString out = Dir.filePath(QStringLiteral("region.png"));
    QTimer::singleShot(0, [out] {
      auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(box);
      QCOMPARE(box->windowTitle(), QStringLiteral("Export Bitmap"));
      box->selectFile(out);
      static_cast<QDialog*>(box)->accept();
    });
    Click("buExport");
    QVERIFY(Program->Platform.Errors.empty());
    const OBitmap24 drawing = LoadImage(Drawing), back = LoadImage(out.toStdString());
    QCOMPARE(back.Width(), 120);
    QCOMPARE(back.Height(), 80);
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 120; ++x)
        QCOMPARE(back.Row(y)[x], drawing.Row(y)[x]);
  }
};

QTEST_MAIN(BitmapFormTest)
#include "BitmapFormTest.moc"
