// The desktop program's user flows, on the offscreen platform: start-up and its settings,
// the tree, New and Open from the menus, and the menus and toolbar as the user reads them.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabBar>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <deque>

#include "UiSupport.h"
#include "editors/ProductionEditor.h"
#include "production/CheckReport.h"
#include "production/Production.h"
#include "production/ProductionFile.h"
#include "setup/MachineTable.h"
#include "ui/CheckForm.h"
#include "ui/ColourwaysForm.h"
#include "ui/DesignForm.h"
#include "ui/HelpForm.h"
#include "ui/PreviewForm.h"
#include "ui/ProductionForm.h"
#include "ui/TreeForm.h"
#include "ui/WindowForm.h"
#include "wizards/Wizards.h"

using namespace quillane;
using namespace quillane::test;

class UiFlowsTest : public TUiTest {
  Q_OBJECT
private slots:
  void init() { QFile::remove(Ini()); }

  void startUpRestoresTheWindowClosingLeft() {
    // The settings file's lines and the size shown; no size: maximized.
    const std::pair<QByteArray, QSize> rows[] = {
        {"", {805, 557}}, // no settings file: the designed size
        {"fmMain.WindowState=2", {}},
        // minimized: neither state nor bounds
        {"fmMain.WindowState=1\nfmMain.Width=300\nfmMain.Height=200", {805, 557}},
        {"fmMain.WindowState=0\nfmMain.Width=640\nfmMain.Height=480", {640, 480}},
        // a value that is no number keeps the window's
        {"fmMain.Width=wide\nfmMain.Height=480", {805, 480}}};
    for (const auto& [ini, size] : rows) {
      QFile::remove(Ini());
      if (!ini.isEmpty())
        WriteFile(Ini(), "[App]\n" + ini + "\n");
      TProgram program(Ini());
      QCOMPARE(program.Main.isMaximized(), !size.isValid());
      QVERIFY(!program.Main.isMinimized());
      if (size.isValid())
        QCOMPARE(program.Main.size(), size);
    }
    {
      TProgram first(Ini(), {"/D=/Some/Mixed"});
      QCOMPARE(first.Main.FolderText(), QStringLiteral("/Some/Mixed")); // its case kept
      first.Main.showMaximized();
      QVERIFY(first.Main.close());
    }
    TProgram second(Ini());
    QVERIFY(second.Main.isMaximized());
  }

  void treeAfterStartOffersOnlyNewAndOpen() {
    TProgram program(Ini());
    QTreeWidget* tree = program.Main.Tree().TreeView1;
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(program.Root()->text(0), QStringLiteral("Patterns"));
    QCOMPARE(program.Root()->childCount(), 0);
    QCOMPARE(tree->currentItem(), program.Root());
    for (const char* name :
         {"buNew", "buOpen", "buSave", "buSaveAs", "buDelete", "buImport", "buExport", "buClose"}) {
      auto* button = program.Main.Tree().findChild<QToolButton*>(QString::fromLatin1(name));
      QVERIFY2(button, name);
      QCOMPARE(button->isEnabled(), name == std::string("buNew") || name == std::string("buOpen"));
    }
    // Nothing open: nothing to save or close.
    for (const char* name : {"miSavePattern", "miSavePatternAs", "miCloseWindow",
                             "miCloseAllPatterns", "miSaveAllPatterns"})
      QVERIFY2(!program.Main.findChild<QAction*>(QString::fromLatin1(name))->isEnabled(), name);
  }

  void aFileChangedOutsideAsksToReloadAndASecondOpenSelectsItsBranch() {
    TProgram program(Ini());
    const QString file = Dir.filePath(QStringLiteral("good.pat"));
    auto write = [&](int plines) {
      auto pattern = std::make_unique<OPattern>();
      pattern->InitNew();
      pattern->SetNoPLines(static_cast<uint16_t>(plines));
      pattern->Changed();
      pattern->WriteCopy(file.toStdString());
    };
    write(40);
    program.Platform.Files = {file.toStdString()};
    program.Trigger("miOpenPattern");
    QCOMPARE(program.Root()->childCount(), 1);
    QTreeWidget* tree = program.Main.Tree().TreeView1;
    QCOMPARE(tree->currentItem(), program.Root()->child(0));
    // Another program writes the file: asked once it has had a moment; OK reloads.
    program.Platform.Confirms = {true};
    write(70);
    QTRY_COMPARE_WITH_TIMEOUT(program.Platform.Questions.size(), size_t{1}, 5000);
    QVERIFY(program.Platform.Questions[0].starts_with(file.toStdString() + " was changed"));
    QCOMPARE(program.Root()->childCount(), 1);
    OPatternUI* node = program.Main.Tree().Patterns().PatternOfFile(file.toStdString());
    QVERIFY(node);
    QCOMPARE(node->Pattern->NoPLines, 70);
    // A click beside the nodes leaves the selection, and what the toolbar offers, in place.
    program.Main.resize(800, 900);
    program.Main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&program.Main));
    const QPoint below(5, tree->viewport()->height() - 5);
    QVERIFY(!tree->itemAt(below));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, below);
    QVERIFY(tree->currentItem()->isSelected());

    tree->setCurrentItem(program.Root());
    program.Platform.Files = {file.toStdString()};
    program.Trigger("miOpenPattern");
    QCOMPARE(program.Root()->childCount(), 1);
    QCOMPARE(tree->currentItem(), program.Root()->child(0));
    QVERIFY(program.Main.findChild<QAction*>(QStringLiteral("miSavePatternAs"))->isEnabled());
  }

  void newPatternShowsItsBranchAndCloseAllAsksFirst() {
    TProgram program(Ini());
    program.Trigger("miNewPattern");
    QCOMPARE(program.Root()->childCount(), 1);
    QTreeWidgetItem* pattern = program.Root()->child(0);
    QVERIFY(pattern->child(2)->child(0)->isExpanded()); // Pictures, the first picture

    // A second pattern is selected and unfolded; the first stays folded as the user left it.
    pattern->setExpanded(false);
    program.Trigger("miNewPattern");
    QTreeWidgetItem* second = program.Root()->child(1);
    QCOMPARE(program.Main.Tree().TreeView1->currentItem(), second);
    QVERIFY(second->isExpanded() && second->child(2)->child(0)->isExpanded());
    QVERIFY(!pattern->isExpanded());
    program.Main.Tree().Patterns().ClosePattern(
        *program.Main.Tree().Patterns().Selected()->Pattern);

    program.Trigger("miCloseAllPatterns");
    QCOMPARE(program.Root()->childCount(), 1);
    QCOMPARE(program.Platform.Questions,
             std::vector<std::string>({"Save changes to " + pattern->text(0).toStdString() + "?"}));
    program.Platform.Answer = TSaveChoice::Discard;
    program.Trigger("miCloseAllPatterns");
    QCOMPARE(program.Root()->childCount(), 0);
  }

  void openingANodeGivesItsWindowATabUntilTheWindowCloses() {
    TProgram program(Ini());
    program.Trigger("miNewPattern");
    QTreeWidget* tree = program.Main.Tree().TreeView1;
    QTabBar* tabs = program.Main.tcMain;
    QTreeWidgetItem* setup = program.Root()->child(0)->child(0);
    emit tree->itemDoubleClicked(setup, 0);
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(1), setup->text(0));
    QCOMPARE(tabs->currentIndex(), 1);
    QMdiSubWindow* window = program.Main.MdiArea->activeSubWindow();
    // Named after its node, so that two patterns' windows differ.
    QCOMPARE(window->windowTitle(),
             setup->text(0) + QStringLiteral(" - Pattern Settings and Options"));

    window->close(); // as the user closes it
    QCOMPARE(tabs->count(), 1);
    QCOMPARE(tabs->currentIndex(), 0);

    emit tree->itemDoubleClicked(setup, 0);
    tree->setCurrentItem(setup);
    auto* close = program.Main.Tree().findChild<QToolButton*>(QStringLiteral("buClose"));
    QVERIFY(close->isEnabled());
    close->click();
    QCOMPARE(tabs->count(), 1);
    QVERIFY(!close->isEnabled());
  }

  void fileDialogsListBothCasesAndGiveTheFullPath() {
    TProgram program(Ini());
    WriteFile(Dir.filePath(QStringLiteral("my.design.pat")), "x");
    QStringList filters;
    // Types a name into the dialog once it shows, as the user would.
    auto answer = [&](const QString& name) {
      QTimer::singleShot(0, [&filters, name] {
        auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(box);
        filters = box->nameFilters();
        box->selectFile(name);
        static_cast<QDialog*>(box)->accept();
      });
    };
    TFileDialog dialog{"PAT",
                       "",
                       {TFileFilter::ForExtension("Pattern files (*.PAT)", "PAT")},
                       Dir.path().toStdString(),
                       "Open Pattern",
                       ofFileMustExist};
    answer(QStringLiteral("my.design.pat"));
    QVERIFY(program.Platform.OQtPlatform::RunOpenDialog(dialog));
    QCOMPARE(dialog.FileName, Dir.filePath(QStringLiteral("my.design.pat")).toStdString());
    QCOMPARE(filters, QStringList(QStringLiteral("Pattern files (*.PAT *.pat)")));

    answer(QStringLiteral("copy"));
    QVERIFY(program.Platform.OQtPlatform::RunSaveDialog(dialog));
    QCOMPARE(dialog.FileName, Dir.filePath(QStringLiteral("copy.PAT")).toStdString());
  }

  // Within a menu no two items share an accelerator, across the menus no two a shortcut;
  // every toolbar button is named to a screen reader by its hint.
  void menusAndToolbarCanBeReachedByKeysAndByName() {
    TProgram program(Ini());
    QStringList shortcuts;
    for (QAction* menu : program.Main.menuBar()->actions()) {
      QSet<QChar> letters;
      for (QAction* a : menu->menu()->actions()) {
        const qsizetype amp = a->text().indexOf(QLatin1Char('&'));
        QVERIFY2(a->isSeparator() || (amp >= 0 && !letters.contains(a->text()[amp + 1].toLower())),
                 qPrintable(a->text()));
        letters.insert(a->isSeparator() ? QChar() : a->text()[amp + 1].toLower());
        for (const QKeySequence& key : a->shortcuts())
          shortcuts << key.toString() + QLatin1Char('=') + a->objectName();
      }
    }
    QCOMPARE(shortcuts,
             QStringList({"Ctrl+N=miNewPattern", "Ctrl+O=miOpenPattern", "Ctrl+S=miSavePattern",
                          "Ctrl+Shift+S=miSavePatternAs", "Ctrl+W=miCloseWindow", "Ctrl+Z=miUndo",
                          "Ctrl+Shift+Z=miRedo", "Ctrl+Y=miRedo", "F1=miManual"}));
    const auto buttons = program.Main.ToolBar1->findChildren<QToolButton*>(
        QRegularExpression(QStringLiteral("^bu")));
    QCOMPARE(buttons.size(), 6);
    for (QToolButton* button : buttons)
      QVERIFY2(!button->text().isEmpty() && !button->toolTip().isEmpty() &&
                   button->accessibleName() == button->toolTip(),
               qPrintable(button->objectName()));
  }

  // Every picture of the manual loads and stands in a block of its own, no wider than the
  // window, so that none leaves a blank gap in its paragraph or a scroll bar across.
  void theHelpWindowShowsEveryPictureOfTheManual() {
    QFile manual(QStringLiteral(QUILLANE_MANUAL));
    QVERIFY(manual.open(QIODevice::ReadOnly));
    const qsizetype written = QString::fromUtf8(manual.readAll()).count(QStringLiteral("<img "));
    TfmHelp help;
    QVERIFY(help.ShowPage(manual.fileName()));
    QApplication::processEvents();
    QTextDocument& page = *help.Browser->document();
    int shown = 0;
    for (QTextBlock block = page.begin(); block.isValid(); block = block.next())
      for (auto part = block.begin(); !part.atEnd(); ++part) {
        if (!part.fragment().charFormat().isImageFormat())
          continue;
        const QString name = part.fragment().charFormat().toImageFormat().name();
        const QVariant resource = page.resource(QTextDocument::ImageResource, QUrl(name));
        const QImage image = resource.typeId() == QMetaType::QPixmap
                                 ? resource.value<QPixmap>().toImage()
                                 : resource.value<QImage>();
        QVERIFY2(!image.isNull(), qPrintable(name));
        QVERIFY2(image.width() < help.Browser->viewport()->width(), qPrintable(name));
        QCOMPARE(block.text().trimmed(), QString(QChar::ObjectReplacementCharacter));
        ++shown;
      }
    QCOMPARE(shown, written);
    QVERIFY(shown > 0);
    QCOMPARE(help.Browser->horizontalScrollBar()->maximum(), 0);
  }

  // The picture's Preview button and its view window's open one preview, which redraws
  // what a paint changed and nothing it did not.
  void previewFollowsPaintsAndIsOfferedByThePictureAndItsWindow() {
    TProgram program(Ini());
    OPatternTree& tree = program.Main.Tree().Patterns();
    OPattern& pattern =
        *tree.AddPattern(GenerateWizard(TPlainWizard{12, 8, TWizardLayout::Section1})).Pattern;
    program.Main.resize(900, 700);
    program.Main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&program.Main));
    auto* button = program.Main.Tree().findChild<QToolButton*>(QStringLiteral("buPreview"));
    QVERIFY(!button->isEnabled());
    tree.Select(FindNode<OPictureUI>(tree, &pattern));
    QVERIFY(button->isEnabled());
    button->click();
    auto* form = program.Main.findChild<TfmPreview*>();
    QVERIFY(form);
    const QImage before = OnScreen(form->pbPreview);
    pattern.PaintMachineColour(1, 1, 2);
    const QImage after = OnScreen(form->pbPreview);
    QVERIFY(after != before);
    QCOMPARE(after, form->pbPreview->grab().toImage().convertToFormat(after.format()));
    // Cut pile chosen for High and Low shows at once and holds for the names from now on.
    QCOMPARE(form->tbPiles->item(0, 0)->text(), QStringLiteral("High"));
    for (int row : {0, 1})
      static_cast<QComboBox*>(form->tbPiles->cellWidget(row, 1))->setCurrentIndex(2);
    QVERIFY(OnScreen(form->pbPreview) != after);
    QCOMPARE(g.Persist().ReadString("Preview.Pile.High", ""), std::string("cut 10"));
    // A drag after zooming in shows the goods moved, drawn from the canvas's wrapped buffer.
    form->buZoomIn->click();
    QTest::mousePress(form->pbPreview, Qt::LeftButton, {}, QPoint(200, 150));
    QTest::mouseMove(form->pbPreview, QPoint(140, 110));
    QTest::mouseRelease(form->pbPreview, Qt::LeftButton, {}, QPoint(140, 110));
    const TPreviewView& v = form->Shown().View();
    const std::vector<uint32_t> pixels = form->Shown().Pixels();
    const QImage expected(reinterpret_cast<const uchar*>(pixels.data()), v.Width, v.Height,
                          v.Width * 4, QImage::Format_RGB32);
    const QImage dragged = OnScreen(form->pbPreview);
    QVERIFY(dragged != after);
    // Above the scale bar, drawn over the goods in their bottom left corner.
    const QRect goods(0, 0, v.Width,
                      v.Height - TPreviewBox::ScaleBarMargin - TPreviewBox::ScaleBarHeight);
    QCOMPARE(dragged.copy(goods), expected.convertToFormat(dragged.format()).copy(goods));
    QVERIFY(dragged != expected.convertToFormat(dragged.format()));

    // The strike-off: tiles, a size typed without its unit refused, one with it taken, and
    // every field of it reachable by Tab and named.
    form->cbCarpet->setCurrentIndex(1);
    QCOMPARE(&form->Shown().Picture(),
             static_cast<const OCarpetPicture*>(&form->StrikeOff().StrikeOff()));
    QVERIFY(form->cbTileSize->isEnabled() && form->rbInstall[3]->isEnabled());
    QVERIFY(!form->cbBroadloom->isEnabled() && !form->edWidth->isEnabled());
    for (QLabel* score : form->lbScore)
      QVERIFY(!score->text().isEmpty());
    const QImage tiles = OnScreen(form->pbPreview);
    form->cbTileSize->setFocus();
    form->cbTileSize->setEditText(QStringLiteral("24"));
    QTest::keyClick(form->cbTileSize, Qt::Key_Return);
    QCOMPARE(program.Platform.Messages.back(),
             std::string("Tile size: \"24\" needs a unit: mm, m, in or ft."));
    QCOMPARE(form->cbTileSize->currentText(), QStringLiteral("500 mm"));
    form->cbTileSize->setEditText(QStringLiteral("24 in"));
    QTest::keyClick(form->cbTileSize, Qt::Key_Return);
    QCOMPARE(form->StrikeOff().Settings().TileMm, 609.6);
    QVERIFY(OnScreen(form->pbPreview) != tiles);
    form->buZoomIn->click();
    const double zoomed = form->Shown().Scale();
    form->rbInstall[1]->click(); // laid otherwise, the same room keeps its zoom
    QCOMPARE(form->StrikeOff().Settings().Install, TInstall::QuarterTurn);
    QCOMPARE(form->Shown().Scale(), zoomed);
    std::vector<QWidget*> reached;
    for (QWidget* w = form->cbCarpet; reached.size() < 40; w = w->nextInFocusChain())
      if (w->focusPolicy() & Qt::TabFocus)
        reached.push_back(w);
    for (QWidget* field : std::initializer_list<QWidget*>{
             form->cbTileSize, form->rbInstall[0], form->cbJoins, form->cbBroadloom, form->cbMatch,
             form->edBow, form->edSkew, form->edRoom}) {
      QVERIFY2(std::count(reached.begin(), reached.end(), field), qPrintable(field->objectName()));
      QVERIFY(!field->accessibleName().isEmpty());
    }
    // A paint shows in the strike-off too, and the joins are scored again once painting
    // pauses: the pattern's last cell lies along a join of tiles holding whole repeats.
    const QImage unpainted = OnScreen(form->pbPreview);
    const QString scored = form->lbScore[1]->text();
    pattern.PaintMachineColour(12, 8, 2);
    QVERIFY(OnScreen(form->pbPreview) != unpainted);
    QTRY_VERIFY(form->lbScore[1]->text() != scored);

    // Broadloom says what the width makes of the repeat; the room is exported and printed.
    form->cbCarpet->setCurrentIndex(2);
    QVERIFY(form->edBow->isEnabled() && !form->cbTileSize->isEnabled());
    QCOMPARE(form->edBow->text(), QStringLiteral("1 in"));
    QVERIFY(form->lbRepeatFit->text().startsWith(QStringLiteral("A 12 ft width holds ")));
    form->edRoom->setText(QStringLiteral("4 x 3 m"));
    QMetaObject::invokeMethod(form->edRoom, "editingFinished");
    QCOMPARE(form->StrikeOff().StrikeOff().RoomWidth(), 4000.0);
    const QString png = Dir.filePath(QStringLiteral("room.png"));
    const QString pdf = Dir.filePath(QStringLiteral("room.pdf"));
    program.Platform.Files = {png.toStdString(), png.toStdString(), pdf.toStdString()};
    form->edSize->setValue(400);
    program.Platform.CancelAt = 1;
    form->buExport->click(); // cancelled: no file, and no error either
    QVERIFY(!QFile::exists(png));
    program.Platform.CancelAt = -1;
    form->buExport->click();
    QCOMPARE(QImage(png).size(), QSize(400, 300));
    form->buSavePdf->click(); // the whole room at true size: asked, and declined
    QCOMPARE(program.Platform.Questions.size(), size_t{1});
    QVERIFY(program.Platform.Questions[0].starts_with("The part shown takes "));
    QVERIFY(!QFile::exists(pdf));
    program.Platform.Files.push_back(pdf.toStdString());
    for (int i = 0; i < 4; ++i)
      form->buZoomIn->click();
    program.Platform.Confirms = {true};
    form->buSavePdf->click();
    QFile written(pdf);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.read(5) == "%PDF-");
    QVERIFY(program.Platform.Errors.empty());

    auto* view = OpenEditor<TfmWindow, OWindowUI>(tree, &pattern);
    view->findChild<QToolButton*>(QStringLiteral("buPreview"))->click();
    QCOMPARE(program.Main.findChildren<TfmPreview*>().size(), 1);
    QCOMPARE(program.Main.MdiArea->activeSubWindow()->widget(), form);
  }

  void checkWindowListsFindingsAndGoesToOneInTheViewWindow() {
    TProgram program(Ini());
    OPatternTree& tree = program.Main.Tree().Patterns();
    OPattern& pattern =
        *tree.AddPattern(GenerateWizard(TPlainWizard{40, 8, TWizardLayout::Section1})).Pattern;
    // The pattern names a machine ten needles short of it, in a folder of its own that other
    // flows do not list profiles from.
    QVERIFY(QDir(Dir.path()).mkpath(QStringLiteral("check")));
    pattern.FileName = Dir.filePath(QStringLiteral("check/chk.pat")).toStdString();
    WriteFile(Dir.filePath(QStringLiteral("check/chk.production.json")),
              "{\"machine\": \"Tufter 4\"}\n");
    WriteFile(Dir.filePath(QStringLiteral("check/Tufter 4.machine.json")),
              "{\"name\": \"Tufter 4\", \"needles\": 30}\n");
    program.Main.resize(900, 700);
    program.Main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&program.Main));
    auto* view = OpenEditor<TfmWindow, OWindowUI>(tree, &pattern);
    QVERIFY(view);

    tree.Select(tree.PatternNode(pattern));
    auto* button = program.Main.Tree().findChild<QToolButton*>(QStringLiteral("buCheck"));
    QVERIFY(button && button->isEnabled());
    button->click();
    auto* form = program.Main.findChild<TfmCheck*>();
    QVERIFY(form);
    QTRY_VERIFY(form->Check().Complete());
    QCOMPARE(form->laMachine->text(), QStringLiteral("Machine: Tufter 4"));
    QCOMPARE(form->laSummary->text(),
             QString::fromStdString(CheckStatus(form->Check().Errors(), 0, "Tufter 4")));
    QCOMPARE(form->tvFindings->topLevelItemCount(), 1);
    QTreeWidgetItem* group = form->tvFindings->topLevelItem(0);
    QCOMPARE(group->text(0), QStringLiteral("needles: 1 error"));
    QTreeWidgetItem* finding = group->child(0);
    QVERIFY2(finding->text(0).startsWith(QStringLiteral("Needles 31-40, PLines 1-8: ")),
             qPrintable(finding->text(0)));
    // A filter that leaves nothing, and back.
    form->cbSeverity->setCurrentIndex(2);
    QCOMPARE(form->tvFindings->topLevelItemCount(), 0);
    form->cbSeverity->setCurrentIndex(0);
    QStringList tabs;
    for (QWidget* w = form->cbRule; tabs.size() < 4; w = w->nextInFocusChain())
      if (w->focusPolicy() & Qt::TabFocus)
        tabs.push_back(w->accessibleName());
    QCOMPARE(tabs, (QStringList{QStringLiteral("Rule"), QStringLiteral("Severity"),
                                QStringLiteral("Show marks"), QStringLiteral("Findings by rule")}));

    // Zoomed in so far that the picture scrolls, a double click brings the view window up on
    // the middle of the finding, marked; the status bar counts the error.
    view->ZoomStep(8);
    QVERIFY(view->Geometry().HorzMax() > 0);
    finding = form->tvFindings->topLevelItem(0)->child(0);
    emit form->tvFindings->itemDoubleClicked(finding, 0);
    QCOMPARE(program.Main.MdiArea->activeSubWindow()->widget(), view);
    QVERIFY(form->Check().Marked(31, 1) && form->Check().Marked(40, 8));
    QVERIFY(!form->Check().Marked(30, 4));
    const OViewGeometry& shown = view->Geometry();
    QVERIFY(shown.HorzPos() > 0);
    QCOMPARE(shown.HorzPos(), std::clamp(34 - shown.ShownColumns() / 2, 0, shown.HorzMax()));
    // The finding's cells washed over, the cell beside it as it was (the plain pattern is
    // one colour).
    auto middle = [&](int pixel) {
      const TScreenRect r = shown.ScreenRect({pixel, 3, pixel, 3});
      return r.Empty()
                 ? QRgb{}
                 : OnScreen(view->PaintBox1).pixel((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    };
    QVERIFY(middle(30) != middle(29));
    QCOMPARE(middle(28), middle(29));
    view->PaintBox1->setFocus();
    view->GridMove(QPoint(1, 1));
    auto* status = program.Main.findChild<QLabel*>(QStringLiteral("sbMainMessage"));
    QVERIFY2(status->text().contains(QString::fromStdString(CheckStatus(1, 0, "Tufter 4"))),
             qPrintable(status->text()));

    // Export asks first, and No writes nothing and asks for no name.
    tree.Select(tree.PatternNode(pattern));
    program.Platform.Files = {Dir.filePath(QStringLiteral("check/CHK.TUF")).toStdString()};
    program.Platform.Confirms = {false};
    tree.RunExport();
    QCOMPARE(program.Platform.Questions.size(), size_t{1});
    QVERIFY2(program.Platform.Questions[0].find("Tufter 4") != std::string::npos &&
                 program.Platform.Questions[0].ends_with("Export anyway?"),
             program.Platform.Questions[0].c_str());
    QCOMPARE(program.Platform.Files.size(), size_t{1});
    QVERIFY(!QFile::exists(Dir.filePath(QStringLiteral("check/CHK.TUF"))));

    // Another machine chosen in the Production window is checked against at once.
    tree.Select(tree.PatternNode(pattern));
    program.Main.Tree().findChild<QToolButton*>(QStringLiteral("buProduction"))->click();
    auto* production = program.Main.findChild<TfmProduction*>();
    QVERIFY(production);
    QCOMPARE(production->cbMachine->currentText(), QStringLiteral("Tufter 4"));
    production->cbMachine->setFocus();
    QTest::keyClick(production->cbMachine, Qt::Key_Up);
    QVERIFY(production->buApply->isEnabled());
    production->buApply->click();
    QTRY_VERIFY(form->Check().Complete());
    QCOMPARE(form->laMachine->text(), QStringLiteral("Machine: Any machine"));
    QCOMPARE(form->tvFindings->topLevelItemCount(), 0);
    // Closing the Check window takes the marks with it.
    form->Controller.CloseEditor();
    QCOMPARE(OCheckEditor::Of(pattern), nullptr);
  }

  void colourwaysWindowShowsATypedYarnColourInTheViewsUntilUndone() {
    TProgram program(Ini());
    OPatternTree& tree = program.Main.Tree().Patterns();
    OPattern& pattern =
        *tree.AddPattern(GenerateWizard(TPlainWizard{12, 8, TWizardLayout::Section1})).Pattern;
    // Every cell in yarn type A's first colour, so the whole picture shows it.
    const uint8_t index = YarnColourIndex(*pattern.MachineTable, 1);
    for (int p = 1; p <= 8; ++p)
      for (int c = 1; c <= 12; ++c)
        pattern.PaintMachineColour(c, p, index);
    program.Main.resize(900, 700);
    program.Main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&program.Main));
    auto* view = OpenEditor<TfmWindow, OWindowUI>(tree, &pattern);
    QVERIFY(view);
    const QImage before = OnScreen(view->PaintBox1);
    const QPoint corner = Corner(*view) + QPoint(1, -1);

    tree.Select(tree.PatternNode(pattern));
    auto* button = program.Main.Tree().findChild<QToolButton*>(QStringLiteral("buColourways"));
    QVERIFY(button && button->isEnabled());
    button->click();
    auto* form = program.Main.findChild<TfmColourways*>();
    QVERIFY(form);
    QVERIFY(!form->buDelete->isEnabled()); // the Original
    form->buAdd->click();
    QCOMPARE(form->lbColourways->count(), 2);
    QVERIFY(form->buDelete->isEnabled());
    auto* field = form->findChild<QLineEdit*>(QStringLiteral("edYarn1"));
    QVERIFY(field);
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("#1F4E79"));
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(YarnColour(pattern.Colourways().List[1], *pattern.Palette, *pattern.MachineTable, 1),
             0x794E1Fu);
    // Side by side, the new colourway's preview shows its own colour.
    QCOMPARE(form->Previews.size(), size_t{2});
    QVERIFY(form->Previews[0]->grab().toImage() != form->Previews[1]->grab().toImage());
    // The view in front, as it stays while the button is pressed beside it.
    program.Main.MdiArea->setActiveSubWindow(view->SubWindow());
    QCOMPARE(OnScreen(view->PaintBox1), before); // typed, not shown yet
    form->buShowInViews->click();
    const QImage shown = OnScreen(view->PaintBox1);
    QCOMPARE(shown.pixel(corner) & 0xFFFFFFu, 0x1F4E79u);
    QVERIFY(program.Main.findChild<QLabel*>(QStringLiteral("sbMainMessage"))
                ->text()
                .contains(QStringLiteral("Colourway: Colourway 1")));
    // Undoing the colour shows the palette's again; the window's swatch follows.
    program.Main.findChild<QAction*>(QStringLiteral("miUndo"))->trigger();
    QCOMPARE(OnScreen(view->PaintBox1), before);
    QCOMPARE(field->text(), QString::fromStdString(HexColour(pattern.Palette->GetColour(index))));
  }

  void productionWindowShowsTheCoresTotalsAndFollowsThePattern() {
    TProgram program(Ini());
    OPatternTree& tree = program.Main.Tree().Patterns();
    // File, Production is enabled as the tree's button is, for the node chosen there.
    auto* entry = program.Main.findChild<QAction*>(QStringLiteral("miProduction"));
    auto* button = program.Main.Tree().findChild<QToolButton*>(QStringLiteral("buProduction"));
    auto fileMenuShown = [&program] {
      emit program.Main.findChild<QMenu*>(QStringLiteral("miFile"))->aboutToShow();
    };
    fileMenuShown();
    QVERIFY(!entry->isEnabled() && !button->isEnabled());
    OPattern& pattern =
        *tree.AddPattern(GenerateWizard(TPlainWizard{12, 8, TWizardLayout::Section1})).Pattern;
    fileMenuShown();
    QVERIFY(entry->isEnabled() && button->isEnabled());
    entry->trigger();
    auto* form = program.Main.findChild<TfmProduction*>();
    QVERIFY(form);
    QCOMPARE(program.Main.MdiArea->activeSubWindow()->windowTitle(),
             QString::fromStdString(tree.PatternNode(pattern)->Name()) +
                 QStringLiteral(" - Production"));
    auto coreLength = [&pattern] {
      const TProductionFigures f = ComputeProduction(pattern, DefaultProductionParameters(pattern));
      return QString::fromStdString(MetresText(f.Length));
    };
    const QString before = coreLength();
    QVERIFY2(form->laTotals->text().contains(before), qPrintable(form->laTotals->text()));
    QCOMPARE(form->tbYarnTypes->rowCount(), static_cast<int>(pattern.NoYarnTypes));
    // The creel's one yarn type, a swatch by each state's colour; Tab goes from the tables to
    // the parameters.
    QCOMPARE(form->laCreel->text(), QStringLiteral("Creel: one yarn type on all 12 needles"));
    QCOMPARE(form->tbCreel->rowCount(), 1);
    QVERIFY(!form->tbCreel->item(0, 2)->icon().isNull() &&
            form->tbCreel->item(0, 1)->icon().isNull());
    QStringList tabs;
    for (QWidget* w = form->tbYarnTypes; tabs.size() < 5; w = w->nextInFocusChain())
      if (w->focusPolicy() & Qt::TabFocus)
        tabs.push_back(w->accessibleName());
    QCOMPARE(tabs, (QStringList{QStringLiteral("Yarn types"), QStringLiteral("Creel"),
                                QStringLiteral("Machine"), QStringLiteral("Colourway"),
                                form->Boxes.front()->accessibleName()}));
    QCOMPARE(form->cbColourway->count(), 2); // the Original and "All colourways"
    QCOMPARE(form->laMachine->buddy(), form->cbMachine);
    QCOMPARE(form->cbMachine->currentText(), QStringLiteral("Any machine"));
    // A painted cell changes the figures shown.
    pattern.PaintMachineColour(1, 1, 2);
    QVERIFY(coreLength() != before);
    QVERIFY2(form->laTotals->text().contains(coreLength()), qPrintable(form->laTotals->text()));

    // A click on the tenth of twelve bars brings the view window up on control 10.
    program.Main.resize(900, 700);
    program.Main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&program.Main));
    QTest::mouseClick(form->pbNeedles, Qt::LeftButton, {},
                      QPoint(form->pbNeedles->width() * 3 / 4 + 1, 5));
    auto* view = program.Main.findChild<TfmWindow*>();
    QVERIFY(view);
    QCOMPARE(program.Main.MdiArea->activeSubWindow()->widget(), view);
    const OViewGeometry& g = view->Geometry();
    QCOMPARE(g.HorzPos(), std::clamp(9 - g.ShownColumns() / 2, 0, g.HorzMax()));

    // Typed parameters are written beside the pattern on Apply, a refused one not at all.
    pattern.FileName = Dir.filePath(QStringLiteral("wiz.pat")).toStdString();
    const QString file = Dir.filePath(QStringLiteral("wiz.production.json"));
    // A profile beside the pattern is offered once the window reads its folder again.
    QFile profile(Dir.filePath(QStringLiteral("tufter-4.machine.json")));
    QVERIFY(profile.open(QIODevice::WriteOnly) && profile.write("{}") == 2);
    profile.close();
    QLineEdit* waste = form->Boxes.back();
    for (const char* typed : {"250", "10"}) {
      waste->selectAll();
      QTest::keyClicks(waste, typed);
      QVERIFY(form->buApply->isEnabled());
      form->buApply->click();
    }
    QCOMPARE(program.Platform.Errors, std::vector<std::string>{"Waste must be from 0 to 100 %"});
    QCOMPARE(LoadProductionParameters(file.toStdString(), pattern).Waste, 10.0);
    QVERIFY(!form->buApply->isEnabled());
    // A yarn count in Nm, and no backups.
    const auto count = static_cast<size_t>(pattern.NoStates);
    form->Boxes[count]->setText(QStringLiteral("12.5"));
    form->Units[count]->setCurrentText(QStringLiteral("Nm"));
    form->cbBackup->click();
    QCOMPARE(form->cbMachine->count(), 2);
    form->cbMachine->setFocus();
    QTest::keyClick(form->cbMachine, Qt::Key_Down);
    form->buApply->click();
    const TProductionParameters applied = LoadProductionParameters(file.toStdString(), pattern);
    QCOMPARE(applied.Machine, std::string("tufter-4"));
    QCOMPARE(form->cbMachine->currentText(), QStringLiteral("tufter-4"));
    QVERIFY(applied.YarnCounts[0] == (TYarnCount{12.5, TYarnCountUnit::Nm}));
    QVERIFY(!applied.BackupPackage);
    // The figures as the command line's CSV.
    const QString csv = Dir.filePath(QStringLiteral("figures.csv"));
    program.Platform.Files.push_back(csv.toStdString());
    form->buSaveCsv->click();
    QFile figures(csv);
    QVERIFY(figures.open(QIODevice::ReadOnly) && figures.readAll().startsWith("control,"));

    // The sheet goes where the save dialog says, proposed beside the pattern.
    const QString sheet = Dir.filePath(QStringLiteral("sheet.pdf"));
    program.Platform.Files.push_back(sheet.toStdString());
    form->buSaveSheet->click();
    QCOMPARE(program.Platform.SaveDialog.InitialDir, Dir.path().toStdString());
    QCOMPARE(program.Platform.SaveDialog.FileName, sheet.toStdString());
    QFile pdf(sheet);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.readAll().startsWith("%PDF-"));
  }

  void enterMovesTheFocusAndACommitRunsTheFieldsExit() {
    TProgram program(Ini());
    auto* form = new TfmDesignForm;
    auto* first = new QLineEdit(form->Panel1);
    auto* second = new QLineEdit(form->Panel1);
    program.Main.AddForm(*form)->show();
    program.Main.show();
    QVERIFY(QTest::qWaitForWindowActive(&program.Main));
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), second);

    int exits = 0;
    connect(second, &QLineEdit::editingFinished, [&exits] { ++exits; });
    QTest::keyClicks(second, "12");
    form->CommitFocusedField();
    QCOMPARE(exits, 1);
    QCOMPARE(QApplication::focusWidget(), second);
  }
};

QTEST_MAIN(UiFlowsTest)
#include "UiFlowsTest.moc"
