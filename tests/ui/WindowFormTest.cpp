// The pattern view window on the offscreen platform: what a new window shows, zooming,
// strokes in both views, the palette strip and colour patterns.
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QToolButton>
#include <QtTest>

#include "UiSupport.h"
#include "elements/Picture.h"
#include "model/Pattern.h"
#include "setup/Colourways.h"
#include "setup/Palette.h"
#include "setup/Settings.h"
#include "shell/DesignUI.h"
#include "ui/PaletteStrip.h"
#include "ui/WindowForm.h"
#include "wizards/Wizards.h"

using namespace quillane;
using namespace quillane::test;

namespace {

std::unique_ptr<OPattern> TwoParts() {
  return GenerateWizard(TPlainWizard{40, 30, TWizardLayout::Sections2h});
}

void Mouse(QWidget* widget, QEvent::Type type, Qt::MouseButton button, QPoint at) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton
                                : type == QEvent::MouseMove        ? Qt::MouseButtons(button)
                                                                   : button;
  QMouseEvent event(type, at, widget->mapToGlobal(at),
                    type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

// The program with one pattern and its first window node opened at 400 x 300.
struct TOpened {
  TProgram Program;
  OPattern* Pattern;
  TfmWindow* Window = nullptr;
  TOpened(const QString& ini, std::unique_ptr<OPattern> pattern, bool fitted = false)
      : Program(ini) {
    Pattern = pattern.get();
    OPatternTree& tree = Program.Main.Tree().Patterns();
    tree.AddPattern(std::move(pattern));
    Window = OpenEditor<TfmWindow, OWindowUI>(tree);
    Program.Main.show();
    Window->SubWindow()->resize(400, 300);
    QApplication::processEvents();
    if (!fitted)
      AtZoomOne(*Window);
  }
  QString Status() {
    return Program.Main.findChild<QLabel*>(QStringLiteral("sbMainMessage"))->text();
  }
};

} // namespace

class WindowFormTest : public TUiTest {
  Q_OBJECT
private slots:
  void newWindowShowsPLineOneAtTheBottomAndZoomsWithEitherButton() {
    auto pattern = TwoParts();
    pattern->Pictures->Get(0)->BringUpToDate(TView::Machine);
    pattern->Pictures->Get(0)->PaintMachinePixel(0, 0, 1); // control 1, PLine 1: red
    TOpened o(Ini(), std::move(pattern), true);
    TfmWindow& w = *o.Window;
    QCOMPARE(w.windowTitle().toStdString(), w.Controller.Name());
    QVERIFY(w.buZoom->isChecked() && w.rbMachine->isChecked());
    QCOMPARE(w.Mouse().State().Name(), "Zoom");
    QCOMPARE(w.PaintBox1->cursor().shape(), Qt::SizeAllCursor);
    // It opens showing the whole picture; `-` steps down the ladder from there.
    QApplication::processEvents();
    QCOMPARE(w.Geometry().Zoom(), w.Geometry().FitZoom());
    QVERIFY(w.Geometry().Zoom() > 2 && w.Geometry().Frame().X1 == 40 &&
            w.Geometry().Frame().Y1 == 30);
    while (w.Geometry().Zoom() > 1)
      QTest::keyClick(w.PaintBox1, Qt::Key_Minus);
    QCOMPARE(w.Geometry().Zoom(), 1.0f);
    const QSize panel = w.Panel1->size();
    QCOMPARE(w.pbPalette->geometry(), QRect(0, 0, 30, panel.height()));
    // The rulers along the grid's top and left.
    const int left = w.RulerLeft->width(), top = w.RulerTop->height();
    QCOMPARE(w.PaintBox1->geometry(),
             QRect(30 + left, top, panel.width() - 46 - left, panel.height() - 16 - top));
    QCOMPARE(w.RulerTop->geometry(), QRect(30 + left, 0, panel.width() - 46 - left, top));
    QCOMPARE(w.RulerLeft->geometry(), QRect(30, top, left, panel.height() - 16 - top));
    QCOMPARE(w.sbHorz->geometry(), QRect(30, panel.height() - 16, panel.width() - 46, 16));
    QCOMPARE(w.sbVert->geometry(), QRect(panel.width() - 16, 0, 16, panel.height() - 16));
    // All of it in sight, in the middle of the grid: nothing to scroll.
    QCOMPARE(std::make_pair(w.sbVert->minimum(), w.sbVert->maximum()), std::make_pair(0, 0));
    QCOMPARE(std::make_pair(w.sbHorz->minimum(), w.sbHorz->maximum()), std::make_pair(0, 0));
    // A page is the part in sight: at zoom 1 a column and a PLine are a pixel each.
    QCOMPARE(std::make_pair(w.sbHorz->pageStep(), w.sbVert->pageStep()),
             std::make_pair(w.PaintBox1->width(), w.PaintBox1->height()));
    const QImage shown = w.PaintBox1->grab().toImage();
    const auto [x0, bottom] = Corner(w);
    QCOMPARE(QPoint(x0, bottom),
             QPoint((shown.width() - 40) / 2, shown.height() - 1 - (shown.height() - 30) / 2));
    QCOMPARE(shown.pixel(x0, bottom), qRgb(255, 0, 0));
    QCOMPARE(shown.pixel(x0 + 1, bottom), qRgb(128, 128, 128));  // undefined
    QCOMPARE(shown.pixel(x0, bottom - 30), qRgb(192, 192, 192)); // background above PLine 30,
    QCOMPARE(shown.pixel(x0 - 1, bottom), qRgb(192, 192, 192));  // left of control 1
    QCOMPARE(shown.pixel(x0, bottom + 1), qRgb(192, 192, 192));  // and below PLine 1

    const std::pair<Qt::MouseButton, const char*> clicks[] = {
        {Qt::LeftButton, "Zoom=2"}, {Qt::RightButton, "Zoom=1"}, {Qt::RightButton, "Zoom=0.5"}};
    for (auto [button, text] : clicks) {
      QTest::mouseClick(w.PaintBox1, button, {}, Corner(w) + QPoint(2, 0));
      QCOMPARE(o.Status(), QString::fromLatin1(text));
      if (w.Geometry().Zoom() == 2) { // the red cell two pixels wide and high
        const QImage zoomed = w.PaintBox1->grab().toImage();
        const auto [x, y] = Corner(w);
        QCOMPARE(zoomed.pixel(x + 1, y - 1), qRgb(255, 0, 0));
        QCOMPARE(zoomed.pixel(x + 2, y), qRgb(128, 128, 128));
        QCOMPARE(zoomed.pixel(x + 1, y - 2), qRgb(128, 128, 128));
        // Drawn inside the whole window, and through a buffer into a 24-bit image, alike.
        const QRect at(w.PaintBox1->mapTo(&w, QPoint()), w.PaintBox1->size());
        QImage packed(w.PaintBox1->size(), QImage::Format_RGB888);
        w.PaintBox1->render(&packed);
        QCOMPARE(w.grab().toImage().copy(at).convertToFormat(zoomed.format()), zoomed);
        QCOMPARE(packed.convertToFormat(zoomed.format()), zoomed);
      }
    }
    QTest::mouseClick(w.buClose, Qt::LeftButton);
    QVERIFY(!w.Controller.Editor() && !w.isVisible());
  }

  void strokesPaintWhatTheCorePaints() {
    for (const bool design : {false, true})
      for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        TOpened o(Ini(), TwoParts());
        TfmWindow& w = *o.Window;
        QTest::mouseClick(w.buZoom, Qt::LeftButton);
        if (design)
          QTest::mouseClick(w.rbDesign, Qt::LeftButton);
        const auto [x0, bottom] = Corner(w);
        // Across PLines 1 and 2, then off the picture to the left: at zoom 1 every pixel on
        // the way, up to the picture's edge.
        const QPoint stroke[] = {
            {x0 + 3, bottom}, {x0 + 7, bottom}, {x0 + 7, bottom - 1}, {x0 - 4, bottom - 1}};
        auto reference = TwoParts();
        OPicture& picture = *reference->Pictures->Get(0);
        picture.BringUpToDate(design ? TView::Design : TView::Machine);
        const uint8_t index = button == Qt::LeftButton ? 1 : 2;
        TCell last{3, 0};
        for (const QPoint& at : stroke) {
          Mouse(w.PaintBox1, at == stroke[0] ? QEvent::MouseButtonPress : QEvent::MouseMove, button,
                at);
          const TCell to{at.x() - x0, bottom - at.y()};
          for (const TCell& cell : LineCells(last, to))
            if (cell.C >= 0)
              design ? picture.PaintDesignPixel(cell.C, cell.R, index)
                     : picture.PaintMachinePixel(cell.C, cell.R, index);
          last = to;
        }
        Mouse(w.PaintBox1, QEvent::MouseButtonRelease, button, stroke[3]);
        QCOMPARE(o.Status(), QString());
        QVERIFY(!(reference->States.Data() == TwoParts()->States.Data()));
        QVERIFY(o.Pattern->States.Data() == reference->States.Data());
        QVERIFY(o.Pattern->MachineColours.Data() == reference->MachineColours.Data());
      }
  }

  void toolKeysDrawALineShownUntilReleaseAndAltClickPicks() {
    TOpened o(Ini(), TwoParts());
    TfmWindow& w = *o.Window;
    w.PaintBox1->setFocus();
    QTest::keyClick(w.PaintBox1, Qt::Key_L);
    QVERIFY(w.ToolButtons[1]->isChecked() && !w.buZoom->isChecked());
    QCOMPARE(w.PaintBox1->cursor().shape(), Qt::CrossCursor);
    QCOMPARE(
        o.Status(),
        QStringLiteral("Drag to draw a line; Shift keeps it horizontal, vertical or diagonal"));
    w.cbBrush->setCurrentIndex(2);
    QCOMPARE(w.Mouse().Brush, 3);
    const auto [x0, bottom] = Corner(w);
    const int y = bottom - 5; // PLine 6 at zoom 1
    const auto before = o.Pattern->States.Data();
    Mouse(w.PaintBox1, QEvent::MouseButtonPress, Qt::LeftButton, {x0 + 2, y});
    Mouse(w.PaintBox1, QEvent::MouseMove, Qt::LeftButton, {x0 + 12, y});
    // Three PLines of the left button's red are shown, and nothing is painted yet.
    const QImage shown = w.PaintBox1->grab().toImage();
    for (const int dy : {-2, -1, 0, 1, 2})
      QCOMPARE(shown.pixel(x0 + 7, y + dy) == qRgb(255, 0, 0), std::abs(dy) <= 1);
    QVERIFY(o.Pattern->States.Data() == before);
    Mouse(w.PaintBox1, QEvent::MouseButtonRelease, Qt::LeftButton, {x0 + 12, y});
    QCOMPARE(o.Pattern->History.UndoLabel(), "Line");
    QVERIFY(!(o.Pattern->States.Data() == before));
    // With any tool, Alt and a click take the colour into the button pressed.
    QTest::keyClick(w.PaintBox1, Qt::Key_G);
    QCOMPARE(w.Mouse().State().Name(), "Fill");
    QTest::mouseClick(w.PaintBox1, Qt::RightButton, Qt::AltModifier, QPoint(x0 + 7, y));
    QCOMPARE(w.pbPalette->Box().RightIndex, 1);
    QCOMPARE(o.Pattern->History.UndoLabel(), "Line");
  }

  void selectionCopiedPastedMovedAndPutDownByKeysIsOneStep() {
    auto pattern = TwoParts();
    OPicture& picture = *pattern->Pictures->Get(0);
    picture.BringUpToDate(TView::Machine);
    for (int c = 2; c <= 4; ++c) // colours 1, 2 and 1 on PLine 2
      picture.PaintMachinePixel(c, 1, static_cast<uint8_t>(c % 2 + 1));
    pattern->History.EndStroke();
    TOpened o(Ini(), std::move(pattern));
    TfmWindow& w = *o.Window;
    w.PaintBox1->setFocus();
    QTest::keyClick(w.PaintBox1, Qt::Key_M);
    QCOMPARE(w.Mouse().State().Name(), "Selection");
    QVERIFY(!w.SelectionActions[0]->isEnabled());
    const auto [x0, bottom] = Corner(w);
    Mouse(w.PaintBox1, QEvent::MouseButtonPress, Qt::LeftButton, {x0 + 2, bottom - 1});
    Mouse(w.PaintBox1, QEvent::MouseMove, Qt::LeftButton, {x0 + 4, bottom - 1});
    Mouse(w.PaintBox1, QEvent::MouseButtonRelease, Qt::LeftButton, {x0 + 4, bottom - 1});
    QVERIFY(w.SelectionActions[0]->isEnabled());
    const auto before = o.Pattern->States.Data();
    QTest::keyClick(w.PaintBox1, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(w.PaintBox1, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(w.PaintBox1, Qt::Key_Up);
    QTest::keyClick(w.PaintBox1, Qt::Key_Right);
    // Drawn over the grid one PLine up and a control right; the pattern waits for Enter.
    QCOMPARE(w.PaintBox1->grab().toImage().pixel(x0 + 3, bottom - 2), qRgb(255, 0, 0));
    QVERIFY(o.Pattern->States.Data() == before);
    QTest::keyClick(w.PaintBox1, Qt::Key_Return);
    QCOMPARE(o.Pattern->History.UndoLabel(), "Paste");
    for (int c = 2; c <= 4; ++c)
      for (const TCell at : {TCell{c + 1, 2}, TCell{c, 1}})
        QCOMPARE(PickPixel(*o.Pattern, picture, TView::Machine, at).value_or(0), c % 2 + 1);
    // Another program's image floats in the colours the bitmap import would give it.
    QImage image(2, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(1, 2, 3));
    image.setPixel(1, 0, qRgb(255, 0, 0));
    QGuiApplication::clipboard()->setImage(image);
    QTest::keyClick(w.PaintBox1, Qt::Key_V, Qt::ControlModifier);
    OBitmap24 same;
    same.SetSize(2, 1);
    same.SetPixel(0, 0, 0x030201);
    same.SetPixel(1, 0, 0x0000FF);
    QVERIFY(w.Mouse().Selection.Floating);
    QCOMPARE(w.Mouse().Selection.Floating->Block, BlockFromImage(*o.Pattern, picture, same));
    QCOMPARE(w.Mouse().Selection.Floating->Block.Values[1], 1);
  }

  void stripPressSwitchesToPaintModeAndColourPatternsShowTheMachineView() {
    TOpened o(Ini(), TwoParts());
    TfmWindow& w = *o.Window;
    const int cell = w.pbPalette->Box().CellHeight();
    QTest::mouseClick(w.pbPalette, Qt::RightButton, {}, QPoint(5, 2 * cell + 1));
    QCOMPARE(w.pbPalette->Box().RightIndex, 3);
    QVERIFY(!w.buZoom->isChecked());
    QCOMPARE(w.Mouse().State().Name(), "Paint");
    QCOMPARE(w.PaintBox1->cursor().shape(), Qt::CrossCursor);
    QTest::mouseMove(w.pbPalette, QPoint(5, 1));
    QCOMPARE(o.Status(), QStringLiteral("Palette Color 1: R=255, G=0, B=0"));
    // The hint follows the colour while the bar shows it; the cell under the mouse goes
    // with the window.
    o.Pattern->Palette->SetColour(1, 0x0080FF);
    o.Pattern->Changed();
    QApplication::processEvents();
    QCOMPARE(o.Status(), QStringLiteral("Palette Color 1: R=255, G=128, B=0"));
    QTest::mouseMove(w.PaintBox1, Corner(w) + QPoint(3, 0));
    QCOMPARE(o.Status(), QStringLiteral("Control=4, PLine=1"));

    QTest::mouseClick(w.rbDesign, Qt::LeftButton);
    QCOMPARE(w.Mouse().View, TView::Design);
    o.Pattern->Settings->MachineType = 11; // a colour machine
    o.Pattern->ApplySettings();
    o.Pattern->Changed();
    QCOMPARE(o.Pattern->PatternMode, pmColours);
    QVERIFY(!w.rbDesign->isEnabled() && w.rbMachine->isChecked());
    QCOMPARE(w.Mouse().View, TView::Machine);
    w.SubWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(o.Status(), QString());
  }

  void colourwaysSwitchedAroundAStrokeShowWhatAFreshWindowShows() {
    // At zoom 4 the cell grid's lines lie over the cells; at 1/2 every second column comes
    // from a copy kept beside the image.
    for (const float zoom : {1.0f, 4.0f, 0.5f}) {
      auto pattern = TwoParts();
      pattern->FileName = Dir.filePath(QStringLiteral("two.pat")).toStdString(); // keys the view
      OPicture& picture = *pattern->Pictures->Get(0);
      picture.BringUpToDate(TView::Machine);
      for (int r = 0; r < 30; ++r) // stripes of three colours, a few cells left undefined
        for (int c = r % 7; c < 40; ++c)
          picture.PaintMachinePixel(c, r, static_cast<uint8_t>(1 + (c / 3 + r) % 3));
      pattern->History.EndStroke();
      TColourways list = pattern->Colourways();
      list.List.push_back(NewColourway("Harbour", *pattern->Palette, *pattern->MachineTable));
      for (uint32_t& colour : list.List[1].Colours)
        colour ^= 0x405060;
      pattern->SetColourways(list, "Add Colourway Harbour");
      TOpened o(Ini(), std::move(pattern));
      TfmWindow* w = o.Window;
      while (w->Geometry().Zoom() < zoom)
        QTest::keyClick(w->PaintBox1, Qt::Key_Plus);
      while (w->Geometry().Zoom() > zoom)
        QTest::keyClick(w->PaintBox1, Qt::Key_Minus);
      QCOMPARE(w->Geometry().Zoom(), zoom);
      const QImage original = OnScreen(w->PaintBox1);
      o.Pattern->ShowColourway(1);
      w->PaintBox1->repaint(0, 0, 8, 8); // a corner first: the rest follows in the same colours
      const QImage shown = OnScreen(w->PaintBox1).convertToFormat(QImage::Format_RGB32);
      QVERIFY(shown != original);
      // Drawn on screen from the keys, and on a screen of two device pixels a pixel copied
      // from the grid kept for repaints.
      QImage twice(2 * shown.size(), QImage::Format_RGB32);
      twice.setDevicePixelRatio(2);
      w->PaintBox1->render(&twice);
      twice.setDevicePixelRatio(1);
      QCOMPARE(twice.scaled(shown.size()), shown);
      // A stroke across both parts in the colourway, shown in it and then in the palette.
      QTest::mouseClick(w->buZoom, Qt::LeftButton);
      const QPoint at = Corner(*w) + QPoint(std::max(1, static_cast<int>(zoom)), -1);
      const QPoint to = at + QPoint(static_cast<int>(30 * zoom), -static_cast<int>(2 * zoom));
      Mouse(w->PaintBox1, QEvent::MouseButtonPress, Qt::LeftButton, at);
      Mouse(w->PaintBox1, QEvent::MouseMove, Qt::LeftButton, to);
      Mouse(w->PaintBox1, QEvent::MouseButtonRelease, Qt::LeftButton, to);
      w->GridLeave();
      const QImage painted = OnScreen(w->PaintBox1);
      o.Pattern->ShowColourway(0);
      const QImage back = OnScreen(w->PaintBox1);
      QVERIFY(back != original && back != painted); // painted, in other colours
      // The same view opened afresh, in each colourway.
      auto reopened = [&] {
        QPointer<QMdiSubWindow> frame = w->SubWindow();
        frame->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        w = OpenEditor<TfmWindow, OWindowUI>(o.Program.Main.Tree().Patterns());
        w->SubWindow()->resize(400, 300);
        QApplication::processEvents();
        return OnScreen(w->PaintBox1);
      };
      QCOMPARE(reopened(), back);
      o.Pattern->ShowColourway(1);
      QCOMPARE(reopened(), painted);
    }
  }

  void aClosedWindowIsFreedByItsNodeAndLaterChangesPassItBy() {
    TOpened o(Ini(), TwoParts());
    OWindowUI* node = FindNode<OWindowUI>(o.Program.Main.Tree().Patterns());
    QPointer<QMdiSubWindow> frame = o.Window->SubWindow();
    frame->close(); // the close box
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frame && !node->Editor());
    QCOMPARE(o.Program.Main.MdiArea->subWindowList().size(), qsizetype(1)); // the tree's
    // Its pattern changes after it went (under valgrind: no freed memory is touched).
    OPicture& picture = *o.Pattern->Pictures->Get(0);
    picture.BringUpToDate(TView::Machine);
    picture.PaintMachinePixel(0, 0, 1);
    o.Pattern->Changed();
    node->Open();
    QVERIFY(node->Editor());
    QCOMPARE(o.Program.Main.tcMain->count(), 2);
  }
};

QTEST_MAIN(WindowFormTest)
#include "WindowFormTest.moc"
