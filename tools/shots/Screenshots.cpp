// Pictures of the desktop program's windows and dialogs, one PNG file each, written to
// OUTDIR under the names main() gives them (tools/screenshots lists what each shows);
// production-sheet.pdf and strikeoff-print.pdf as well, whose first pages tools/screenshots
// turns into pictures.
#include <random>
#include <tuple>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QToolButton>
#include <QTreeWidget>

#include "ImageIO.h"
#include "SheetPdf.h"
#include "UiSupport.h"
#include "app/App.h"
#include "editors/ProductionEditor.h"
#include "elements/Picture.h"
#include "elements/Region.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/Settings.h"
#include "shell/DesignUI.h"
#include "shell/RecentPatterns.h"
#include "ui/AboutForm.h"
#include "ui/BitmapForm.h"
#include "ui/CheckForm.h"
#include "ui/ColourwaysForm.h"
#include "ui/ControlSetupForm.h"
#include "ui/DesignForm.h"
#include "ui/HistoryForm.h"
#include "ui/MainForm.h"
#include "ui/PaletteStrip.h"
#include "ui/PatternSetupForm.h"
#include "ui/PreferencesForm.h"
#include "ui/PreviewForm.h"
#include "ui/ProductionForm.h"
#include "ui/QtPlatform.h"
#include "ui/SelectDirForm.h"
#include "ui/TreeForm.h"
#include "ui/WindowForm.h"
#include "ui/wizards/Wizard1Form.h"
#include "ui/wizards/Wizard2Form.h"
#include "ui/wizards/Wizard3Form.h"
#include "ui/wizards/Wizard4Form.h"
#include "ui/wizards/Wizard5Form.h"
#include "wizards/Wizards.h"

using namespace quillane;
using namespace quillane::test;

namespace {

// Lets the windows lay themselves out and the folder tree load before a picture is taken.
void Settle() {
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QThread::msleep(25);
  }
}

bool Save(QWidget& window, const QString& path) {
  Settle();
  return window.grab().save(path);
}

// A dialog shown on its own, then put away.
bool SaveShown(QWidget& dialog, const QString& path) {
  dialog.show();
  const bool saved = Save(dialog, path);
  dialog.hide();
  return saved;
}

// An anti-aliased drawing, soft edges and a gradient, imported in each way of assigning
// colours: bitmap-exact.png, bitmap-nearest.png and bitmap-reduce.png (to 6, Floyd-Steinberg);
// and a photo of thousands of colours, a dusk sky over a hill with the grain of a sensor:
// bitmap-photo-nearest.png (Floyd-Steinberg) and bitmap-photo-reduce.png (to 8, ordered, its
// colours taken into the palette).
bool BitmapModes(QWidget& main, const QDir& out) {
  QImage drawing(160, 100, QImage::Format_RGB32);
  drawing.fill(Qt::white);
  {
    QPainter painter(&drawing);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 100);
    sky.setColorAt(0, QColor(250, 200, 210));
    sky.setColorAt(1, QColor(120, 170, 230));
    painter.fillRect(drawing.rect(), sky);
    painter.setPen(QPen(QColor(20, 90, 30), 3));
    painter.setBrush(QColor(230, 60, 40));
    painter.drawEllipse(QPointF(55, 50), 32, 32);
    painter.setBrush(QColor(250, 210, 40));
    painter.drawEllipse(QPointF(112, 58), 24, 18);
  }
  OBitmap24 bitmap;
  bitmap.SetSize(drawing.width(), drawing.height());
  for (int y = 0; y < drawing.height(); ++y)
    for (int x = 0; x < drawing.width(); ++x)
      bitmap.SetPixel(x, y, FromQRgb(drawing.pixel(x, y)));
  std::unique_ptr<OPattern> drawn = GenerateWizard(TPlainWizard{80, 50, TWizardLayout::Section1});
  drawn->SetMachineType(11); // a colour pattern: every entry paints
  drawn->Changed();
  OBitmap24 photo;
  photo.SetSize(160, 100);
  std::mt19937 grain(7);
  for (int y = 0; y < photo.Height(); ++y)
    for (int x = 0; x < photo.Width(); ++x) {
      const bool hill = y > 70 - 12 * std::sin(x / 25.0);
      const double t = y / 100.0, noise = static_cast<double>(grain() % 21) - 10;
      auto channel = [noise](double v) {
        return static_cast<uint32_t>(std::clamp(v + noise, 0.0, 255.0));
      };
      const uint32_t r = channel(hill ? 40 + x / 4.0 : 250 - 120 * t),
                     g = channel(hill ? 90 - y / 3.0 : 140 + 40 * t),
                     b = channel(hill ? 30 : 120 + 110 * t);
      photo.SetPixel(x, y, r | g << 8 | b << 16);
    }
  bool ok = true;
  for (const auto& [image, mode, dither, reduce, file] :
       {std::tuple{&bitmap, 0, 0, 6, "bitmap-exact.png"},
        {&bitmap, 1, 0, 6, "bitmap-nearest.png"},
        {&bitmap, 2, 1, 6, "bitmap-reduce.png"},
        {&photo, 1, 1, 6, "bitmap-photo-nearest.png"},
        {&photo, 2, 2, 8, "bitmap-photo-reduce.png"}}) {
    TfmBitmap form(*drawn->Pictures->Get(0)->Regions.Get(0), *image, &main);
    form.seReduce->setValue(reduce);
    form.cbColours->setCurrentIndex(mode);
    form.cbDither->setCurrentIndex(dither);
    form.cbTakeColours->setChecked(reduce == 8);
    ok = SaveShown(form, out.filePath(QString::fromLatin1(file))) && ok;
  }
  return ok;
}

// The window with its open menus drawn over it where they stand on the screen.
bool SaveWithMenus(QWidget& window, std::initializer_list<QMenu*> menus, const QString& path) {
  Settle();
  QPixmap shot = window.grab();
  QPainter painter(&shot);
  for (QMenu* menu : menus)
    painter.drawPixmap(window.mapFromGlobal(menu->pos()), menu->grab());
  painter.end();
  for (QMenu* menu : menus)
    menu->hide();
  return shot.save(path);
}

// Opens a menu of the menu bar as a click on it does.
QMenu* OpenMenu(TfmMain& main, int index) {
  QAction* action = main.menuBar()->actions()[index];
  QMenu* menu = action->menu();
  menu->popup(main.menuBar()->mapToGlobal(main.menuBar()->actionGeometry(action).bottomLeft()));
  return menu;
}

// The Production window and sheet of a runner in three yarn types: diamonds of high pile on
// low, needles 1/8 inch and PLines 2.5 mm apart.
bool ShootProduction(TfmMain& main, const QDir& out) {
  std::unique_ptr<OPattern> runner = GenerateWizard(TPlainWizard{120, 80, TWizardLayout::Section1});
  runner->FileName = out.filePath(QStringLiteral("Diamond Runner.pat")).toStdString();
  runner->Settings->NeedleSpacing = 3.175f;
  runner->Settings->PLineSpacing = 2.5f;
  runner->SetNoYarnTypes(3);
  runner->Changed();
  for (int c = 1; c <= runner->NoControls; ++c)
    runner->Creel->SetYarnType(c, static_cast<OYarnType>((c - 1) / 10 % 3 + 1));
  runner->ApplyCreel();
  for (int c = 1; c <= runner->NoControls; ++c)
    for (int p = 1; p <= runner->NoPLines; ++p)
      runner->SetState(c, p, (std::abs(c % 40 - 20) + std::abs(p % 40 - 20)) < 14 ? 1 : 2);
  runner->Changed();
  OPatternTree& tree = main.Tree().Patterns();
  OPatternUI& node = tree.AddPattern(std::move(runner));
  OPattern& pattern = *node.Pattern;
  node.Production();
  auto* form = main.findChild<TfmProduction*>();
  if (!form)
    return false;
  // Wide enough for the parameters' column beside the two tables, with nothing scrolled.
  form->SubWindow()->setGeometry(20, 20, 1040, 560);
  bool ok = Save(*form->SubWindow(), out.filePath(QStringLiteral("production.png")));
  const TProductionParameters parameters = DefaultProductionParameters(pattern);
  SaveSheetPdf(out.filePath(QStringLiteral("production-sheet.pdf")).toStdString(),
               ProductionSheet(pattern, parameters, "2026-12-07"), pattern);
  return ok;
}

// The Check window on a runner of high diamonds on low pile, against a machine ten needles
// narrower whose yarn-feed rolls follow no run shorter than 3 PLines, and the view window with
// the marks of the short runs at the diamonds' tips.
bool ShootCheck(TfmMain& main, const QDir& out) {
  // The pattern's sidecars go into a folder of their own, not among the pictures.
  static QTemporaryDir folder;
  std::unique_ptr<OPattern> runner = GenerateWizard(TPlainWizard{60, 40, TWizardLayout::Section1});
  runner->FileName = folder.filePath(QStringLiteral("Diamond Runner.pat")).toStdString();
  for (int c = 1; c <= runner->NoControls; ++c)
    for (int p = 1; p <= runner->NoPLines; ++p)
      runner->SetState(c, p, (std::abs(c % 20 - 10) + std::abs(p % 20 - 10)) < 7 ? 1 : 2);
  runner->Changed();
  auto write = [&](const char* name, const char* text) {
    QFile file(folder.filePath(QString::fromUtf8(name)));
    return file.open(QIODevice::WriteOnly) && file.write(text) > 0;
  };
  if (!write("Diamond Runner.production.json", "{\"machine\": \"Tufter 4\"}\n") ||
      !write("Tufter 4.machine.json", "{\"name\": \"Tufter 4\", \"needles\": 50, "
                                      "\"shortestStateRunPLines\": 3}\n"))
    return false;
  OPatternTree& tree = main.Tree().Patterns();
  OPatternUI& node = tree.AddPattern(std::move(runner));
  OPattern& pattern = *node.Pattern;
  auto* window = OpenEditor<TfmWindow, OWindowUI>(tree, &pattern);
  node.Check();
  auto* form = main.findChild<TfmCheck*>();
  if (!form || !window)
    return false;
  while (!form->Check().Complete())
    QApplication::processEvents();
  form->cbShowMarks->setChecked(true);
  form->SubWindow()->setGeometry(20, 20, 620, 420);
  Settle();
  bool ok = Save(*form->SubWindow(), out.filePath(QStringLiteral("check.png")));
  window->SubWindow()->setGeometry(10, 10, 580, 400);
  window->SubWindow()->raise();
  Settle();
  window->Fit();
  Settle();
  ok = Save(*window->SubWindow(), out.filePath(QStringLiteral("check-marks.png"))) && ok;
  form->Controller.CloseEditor();
  window->Controller.CloseEditor();
  return ok;
}

// The Colourways window on a runner of high diamonds on low pile in three colourings, the
// last with two yarn types close enough to be marked.
bool ShootColourways(TfmMain& main, const QDir& out) {
  std::unique_ptr<OPattern> runner = GenerateWizard(TPlainWizard{60, 40, TWizardLayout::Section1});
  for (int c = 1; c <= runner->NoControls; ++c)
    for (int p = 1; p <= runner->NoPLines; ++p)
      runner->SetState(c, p, (std::abs(c % 20 - 10) + std::abs(p % 20 - 10)) < 7 ? 1 : 2);
  runner->Changed();
  OPatternTree& tree = main.Tree().Patterns();
  OPatternUI& node = tree.AddPattern(std::move(runner));
  node.Colourways();
  auto* form = main.findChild<TfmColourways*>();
  if (!form)
    return false;
  OColourwaysEditor& e = form->Editor();
  const std::pair<const char*, const char*> ways[] = {{"Harbour", "#1F4E79"}, {"Moss", "#4A5D23"}};
  for (const auto& [name, colour] : ways)
    if (!e.Add(name).empty() || !e.Enter(1, colour).empty() || !e.Enter(1, "NY 4410").empty())
      return false;
  form->SubWindow()->setGeometry(10, 10, 900, 520);
  Settle();
  const bool ok = Save(*form->SubWindow(), out.filePath(QStringLiteral("colourways.png")));
  form->Controller.CloseEditor();
  return ok;
}

// The view window with the line tool chosen and a 3-pixel line being dragged: its preview
// over the picture, nothing painted until the button comes up.
bool SaveDrawingTools(TfmWindow& window, const QString& path) {
  window.SubWindow()->setGeometry(10, 10, 760, 400);
  Settle();
  window.rbMachine->click();
  window.ToolButtons[1]->click();
  window.cbBrush->setCurrentIndex(2);
  const auto [x0, bottom] = Corner(window);
  window.GridPress(Qt::LeftButton, QPoint(x0 + 30 * 4 + 1, bottom - 5 * 4 - 1));
  window.GridMove(QPoint(x0 + 75 * 4 + 1, bottom - 35 * 4 - 1));
  const bool saved = Save(*window.SubWindow(), path);
  window.GridKey(Qt::Key_Escape, {});
  window.SubWindow()->setGeometry(10, 10, 580, 360);
  return saved;
}

// The Preview window's strike-off of a striped carpet: its tiles in each installation
// (strikeoff-monolithic.png, strikeoff-quarter-turn.png, strikeoff-ashlar.png,
// strikeoff-half-drop.png), a broadloom seam in set match with a bow of 2 in
// (strikeoff-broadloom.png), a
// room of 9 x 13 m (strikeoff-room.png) and the part of the tiles shown saved at true size
// (strikeoff-print.pdf, whose first page tools/screenshots turns into a picture).
bool SaveStrikeOffs(OPatternTree& tree, OPattern& pattern, const QDir& out) {
  FindNode<OPictureUI>(tree, &pattern)->Preview();
  auto* form = dynamic_cast<TfmPreview*>(tree.Tabs.Tabs().back().Node->Editor());
  if (!form)
    return false;
  form->SubWindow()->setGeometry(30, 30, 1180, 720);
  auto enter = [](QWidget* field, const char* text) {
    if (auto* list = qobject_cast<QComboBox*>(field))
      list->setEditText(QString::fromLatin1(text));
    else
      static_cast<QLineEdit*>(field)->setText(QString::fromLatin1(text));
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
  };
  form->cbCarpet->setCurrentIndex(1);
  enter(form->cbTileSize, "18 in");
  bool ok = true;
  static const char* const files[] = {"strikeoff-monolithic.png", "strikeoff-quarter-turn.png",
                                      "strikeoff-ashlar.png", "strikeoff-half-drop.png"};
  for (size_t i = 0; i < form->rbInstall.size(); ++i) {
    form->rbInstall[i]->click();
    ok = Save(*form->SubWindow(), out.filePath(QString::fromLatin1(files[i]))) && ok;
  }
  // Zoomed in on a few tiles, as a paper strike-off would carry them.
  form->rbInstall[1]->click();
  form->buZoomIn->click();
  form->buZoomIn->click();
  {
    // Yes to the question of how many pages.
    TTestPlatform answers(*qobject_cast<TfmMain*>(form->window()));
    answers.Confirms = {true};
    OPlatformScope scope(answers);
    form->SavePdf(out.filePath(QStringLiteral("strikeoff-print.pdf")).toStdString());
  }

  form->cbCarpet->setCurrentIndex(2);
  enter(form->edBow, "2 in");
  // The seam between the first two widths, near enough to see the bow meet it.
  for (int i = 0; i < 3; ++i) {
    const TPreviewView& view = form->Shown().View();
    const QPointF at(3657.6 * view.Scale - static_cast<double>(view.Left), view.Height / 2.0);
    QWheelEvent wheel(at, form->pbPreview->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(form->pbPreview, &wheel);
  }
  ok = Save(*form->SubWindow(), out.filePath(QStringLiteral("strikeoff-broadloom.png"))) && ok;

  form->cbCarpet->setCurrentIndex(1);
  form->rbInstall[0]->click();
  form->cbJoins->setChecked(false);
  enter(form->edRoom, "9 x 13 m");
  // Near enough that a tuft is a pixel or more: the whole room would draw its tufts smaller.
  for (int i = 0; i < 3; ++i)
    form->buZoomIn->click();
  ok = Save(*form->SubWindow(), out.filePath(QStringLiteral("strikeoff-room.png"))) && ok;
  return ok;
}

// The Preview window of the painted rug, of a half-drop carpet two widths wide and of a
// cut and loop pattern in one colour, where only the pile draws the figure.
bool SavePreviews(OPatternTree& tree, OPattern& rug, const QDir& out) {
  auto shoot = [&](OPattern& pattern, double widthMetres, const char* file) {
    FindNode<OPictureUI>(tree, &pattern)->Preview();
    auto* form = dynamic_cast<TfmPreview*>(tree.Tabs.Tabs().back().Node->Editor());
    if (!form)
      return false;
    form->SubWindow()->setGeometry(30, 30, 960, 540);
    form->edWidth->setValue(widthMetres);
    return Save(*form->SubWindow(), out.filePath(QString::fromLatin1(file)));
  };
  bool ok = shoot(rug, 0, "preview-rug.png");

  // A diamond in a tile of 24 x 20, the half drop's second band shifted by half a tile.
  const THalfDropWizard halfDrop{96, 40, 24, 20, false, 1, 1};
  std::unique_ptr<OPattern> carpet = GenerateWizard(halfDrop);
  for (int c = 1; c <= 24; ++c)
    for (int p = 1; p <= 20; ++p)
      carpet->SetState(c, p, std::abs(c - 12) * 20 + std::abs(p - 10) * 24 < 200 ? 1 : 2);
  carpet->Changed();
  OPattern& halfDropPattern = *tree.AddPattern(std::move(carpet)).Pattern;
  ok = shoot(halfDropPattern, 0.5, "preview-half-drop.png") && ok;

  // Diagonal stripes of navy on cream with a band across its middle, an 18 in square at an eighth
  // of an inch: the joins and seams show where the stripes no longer meet.
  std::unique_ptr<OPattern> stripes =
      GenerateWizard(TPlainWizard{144, 144, TWizardLayout::Section1});
  stripes->Settings->NeedleSpacing = stripes->Settings->PLineSpacing = 3.175f;
  stripes->ApplySettings();
  stripes->Palette->SetColour(1, 0xC8E6F0);
  stripes->Palette->SetColour(2, 0x5A2814);
  for (int y = 1; y <= stripes->NoYarnTypes; ++y)
    for (int st = 1; st <= stripes->NoStates; ++st)
      stripes->MachineTable->SetColour(y, st, static_cast<uint8_t>(st == 1 ? 2 : 1));
  stripes->MachineTable->Validate();
  for (int c = 1; c <= 144; ++c)
    for (int p = 1; p <= 144; ++p)
      stripes->SetState(c, p, (c + 2 * p) % 48 < 14 || (p + 72) % 144 < 8 ? 1 : 2);
  stripes->Changed();
  ok = SaveStrikeOffs(tree, *tree.AddPattern(std::move(stripes)).Pattern, out) && ok;

  // Low loops, cut pile and high loops in camel wool: squares of cut in a loop ground with a
  // high border.
  std::unique_ptr<OPattern> cutLoop = GenerateWizard(TPlainWizard{60, 48, TWizardLayout::Section1});
  cutLoop->Settings->MachineType = 4; // Low, Cut, High
  cutLoop->Settings->NeedleSpacing = 3.175f;
  cutLoop->Settings->PLineSpacing = 2.5f;
  cutLoop->ApplySettings();
  cutLoop->Palette->SetColour(1, 0x4A7FB8);
  for (int y = 1; y <= cutLoop->NoYarnTypes; ++y)
    for (int st = 1; st <= cutLoop->NoStates; ++st)
      cutLoop->MachineTable->SetColour(y, st, 1);
  cutLoop->MachineTable->Validate();
  for (int c = 1; c <= 60; ++c)
    for (int p = 1; p <= 48; ++p) {
      const bool border = c <= 4 || c > 56 || p <= 4 || p > 44;
      const bool square = (c - 5) % 13 < 8 && (p - 5) % 10 < 6;
      cutLoop->SetState(c, p, border ? 3 : square ? 2 : 1);
    }
  cutLoop->Changed();
  ok = shoot(*tree.AddPattern(std::move(cutLoop)).Pattern, 0, "preview-cut-loop.png") && ok;
  return ok;
}

// Edit > History on a painted pattern whose last stroke was undone: the current step in
// bold, the one Redo would do again in grey.
bool SaveHistory(TfmMain& main, OPattern& pattern, const QString& path) {
  pattern.History.Undo();
  main.findChild<QAction*>(QStringLiteral("miHistory"))->trigger();
  auto* form = main.findChild<TfmHistory*>();
  if (!form)
    return false;
  const bool saved = Save(*form, path);
  form->hide();
  pattern.History.Redo();
  return saved;
}

// The Select tool: the lower half of a cross copied, pasted, flipped and moved up and right,
// floating in its dashed outline until Enter puts it down.
bool SaveSelection(TfmWindow& window, const QString& path) {
  window.SubWindow()->setGeometry(10, 10, 760, 400);
  Settle();
  window.rbMachine->click();
  window.ToolButtons[5]->click();
  const auto [x0, bottom] = Corner(window);
  window.GridPress(Qt::LeftButton, QPoint(x0 + 1 * 4 + 1, bottom - 1 * 4 - 1));
  window.GridMove(QPoint(x0 + 16 * 4 + 1, bottom - 21 * 4 - 1));
  window.GridRelease(Qt::LeftButton, QPoint(x0 + 16 * 4 + 1, bottom - 21 * 4 - 1));
  window.SelectionCommand(TSelectionCommand::Copy);
  window.SelectionCommand(TSelectionCommand::Paste);
  window.SelectionCommand(TSelectionCommand::FlipHorizontal);
  for (int i = 0; i < 60; ++i)
    window.GridKey(i < 22 ? Qt::Key_Right : Qt::Key_Up, {});
  const bool saved = Save(*window.SubWindow(), path);
  window.GridKey(Qt::Key_Escape, {});
  window.GridKey(Qt::Key_Escape, {});
  window.SubWindow()->setGeometry(10, 10, 580, 360);
  return saved;
}

// The pencil after one fast drag across forty cells, a rectangle being dragged, a fill of
// the ground and the picker's colour taken into the right button: each undone afterwards.
bool SaveEachTool(TfmWindow& window, const QDir& out) {
  window.SubWindow()->setGeometry(10, 10, 520, 400);
  Settle();
  window.rbMachine->click();
  window.cbBrush->setCurrentIndex(0);
  const QPoint corner = Corner(window);
  auto at = [corner](int x, int y) { return corner + QPoint(x * 4 + 1, -y * 4 - 1); };
  auto shoot = [&](const char* file) {
    return Save(*window.SubWindow(), out.filePath(QString::fromLatin1(file)));
  };
  window.ToolButtons[0]->click();
  window.GridPress(Qt::LeftButton, at(4, 8));
  window.GridMove(at(44, 52)); // one move: every cell between is painted all the same
  window.GridRelease(Qt::LeftButton, at(44, 52));
  bool ok = shoot("window-pencil.png");
  window.ToolButtons[2]->click();
  window.GridPress(Qt::RightButton, at(50, 10));
  window.GridMove(at(90, 40));
  ok = shoot("window-rectangle.png") && ok;
  window.GridKey(Qt::Key_Escape, {});
  window.ToolButtons[3]->click();
  window.GridPress(Qt::LeftButton, at(20, 58));
  window.GridRelease(Qt::LeftButton, at(20, 58));
  ok = shoot("window-fill.png") && ok;
  window.Pattern.History.Undo(2);
  window.ToolButtons[4]->click();
  const uint8_t right = window.pbPalette->Box().RightIndex;
  // The lowest cell of the figure's green in sight goes into the right button.
  QPoint picked = at(5, 1);
  for (int p = 40; p >= 1; --p)
    for (int c = 1; c <= 40; ++c)
      if (window.Pattern.GetMachineColour(c, p) == window.pbPalette->Box().LeftIndex)
        picked = at(c - 1, p - 1);
  window.GridPress(Qt::RightButton, picked);
  window.GridRelease(Qt::RightButton, picked);
  window.GridMove(picked);
  ok = shoot("window-picker.png") && ok;
  window.pbPalette->Box().RightIndex = right;
  window.pbPalette->update();
  window.SubWindow()->setGeometry(10, 10, 580, 360);
  return ok;
}

} // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillane"));
  if (argc != 2) {
    fprintf(stderr, "usage: quillane-screenshots OUTDIR\n");
    return 2;
  }
  QDir out(QString::fromLocal8Bit(argv[1]));
  QDir().mkpath(out.path());

  TfmMain main;
  OQtPlatform platform(main);
  OPlatformScope scope(platform);
  g.Start({"/d=" + QDir::homePath().toStdString()}, nullptr);
  main.show();
  main.Tree().Patterns().Root().New();
  // A two-part pattern, whose second region is an imported one (drawn on red).
  main.Tree().Patterns().AddPattern(
      GenerateWizard(TPlainWizard{40, 30, TWizardLayout::Sections2h}));
  main.Tree().TreeView1->expandAll();
  bool ok = Save(main, out.filePath(QStringLiteral("main.png")));

  // The Edit menu; File, Recent Patterns with a few patterns; the Preferences dialog.
  ok =
      SaveWithMenus(main, {OpenMenu(main, 1)}, out.filePath(QStringLiteral("edit-menu.png"))) && ok;
  for (const char* name :
       {"/home/designer/Designs/Hall Runner.pat", "/home/designer/Designs/Lobby Border.pat",
        "/home/designer/Designs/rugs/Medallion 3x4.pat"})
    AddRecentPattern(g.Persist(), name);
  QMenu* fileMenu = OpenMenu(main, 0);
  Settle();
  auto* recent = main.findChild<QMenu*>(QStringLiteral("miRecentPatterns"));
  recent->popup(fileMenu->mapToGlobal(fileMenu->actionGeometry(recent->menuAction()).topRight()));
  ok = SaveWithMenus(main, {fileMenu, recent},
                     out.filePath(QStringLiteral("recent-patterns.png"))) &&
       ok;
  TfmPreferences preferences(LoadPreferences(g.Persist()), &main);
  ok = SaveShown(preferences, out.filePath(QStringLiteral("preferences.png"))) && ok;

  // A rug pattern painted with a few strokes at zoom 4: the copies of the rug show them too.
  // The pattern 100 x 60, the rug 40 x 50, the cut 10 x 10, in two halves.
  const TRugWizard rug{100, 60, 40, 50, 10, 10, false, 1, 1, TWizardLayout::Sections2h};
  std::unique_ptr<OPattern> painted = GenerateWizard(rug);
  // Yarn type B everywhere: its states show lime and maroon.
  for (int c = 1; c <= painted->NoControls; ++c)
    painted->Creel->SetYarnType(c, 2);
  painted->ApplyCreel();
  OPatternTree& tree = main.Tree().Patterns();
  OPattern& rugPattern = *tree.AddPattern(std::move(painted)).Pattern;
  auto* window = OpenEditor<TfmWindow, OWindowUI>(tree, &rugPattern);
  if (!window)
    return 1;
  window->SubWindow()->setGeometry(10, 10, 580, 360);
  Settle();
  for (int i = 0; i < 2; ++i)
    window->GridPress(Qt::LeftButton, Corner(*window) + QPoint(1, 0));
  // Paint mode with lime on the left button and maroon on the right.
  const int cell = window->pbPalette->Box().CellHeight();
  for (auto [button, row] : {std::pair(Qt::LeftButton, 4), std::pair(Qt::RightButton, 3)}) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, (row - 1) * cell + 1), QPointF(), button,
                      button, Qt::NoModifier);
    QApplication::sendEvent(window->pbPalette, &press);
  }
  const auto [x0, bottom] = Corner(*window);
  auto stroke = [&](Qt::MouseButton button, int c0, int r0, int c1, int r1) {
    const int steps = std::max(std::abs(c1 - c0), std::abs(r1 - r0));
    for (int i = 0; i <= steps; ++i) {
      const int c = c0 + (c1 - c0) * i / std::max(steps, 1);
      const int r = r0 + (r1 - r0) * i / std::max(steps, 1);
      const QPoint at(x0 + c * 4 + 1, bottom - r * 4 - 1);
      if (i == 0)
        window->GridPress(button, at);
      else
        window->GridMove(at);
    }
    window->GridRelease(button, QPoint(x0 + c1 * 4 + 1, bottom - r1 * 4 - 1));
  };
  stroke(Qt::LeftButton, 2, 2, 15, 40);
  stroke(Qt::LeftButton, 2, 40, 15, 2);
  stroke(Qt::RightButton, 0, 0, 19, 0);
  stroke(Qt::RightButton, 5, 20, 12, 20);
  ok = Save(*window->SubWindow(), out.filePath(QStringLiteral("window-machine.png"))) && ok;
  window->rbDesign->click();
  // The design view paints control pairs.
  stroke(Qt::LeftButton, 2, 10, 17, 45);
  stroke(Qt::RightButton, 2, 45, 17, 10);
  ok = Save(*window->SubWindow(), out.filePath(QStringLiteral("window-design.png"))) && ok;
  ok = SaveDrawingTools(*window, out.filePath(QStringLiteral("window-tools.png"))) && ok;
  ok = SavePreviews(tree, rugPattern, out) && ok;
  ok = SaveHistory(main, rugPattern, out.filePath(QStringLiteral("history.png"))) && ok;
  ok = SaveSelection(*window, out.filePath(QStringLiteral("window-selection.png"))) && ok;
  ok = SaveEachTool(*window, out) && ok;

  // The settings of the same rug pattern.
  tree.Activate(*FindNode<OControlSetupUI>(tree, &rugPattern));
  auto* settings = dynamic_cast<TfmControlSetup*>(main.Tabs.Tabs().back().Node->Editor());
  if (!settings)
    return 1;
  settings->SubWindow()->adjustSize();
  ok = Save(*settings->SubWindow(), out.filePath(QStringLiteral("control-setup.png"))) && ok;

  // The pattern setup editor on a rug pattern with three yarn types, the creel A, B, C, ...
  std::unique_ptr<OPattern> yarns = GenerateWizard(rug);
  yarns->SetNoYarnTypes(3);
  yarns->Changed();
  for (int c = 1; c <= yarns->NoControls; ++c)
    yarns->Creel->SetYarnType(c, static_cast<OYarnType>((c - 1) / 2 % 3 + 1));
  yarns->ApplyCreel();
  OPattern& setupPattern = *tree.AddPattern(std::move(yarns)).Pattern;
  auto* setup = OpenEditor<TfmPatternSetup, OPatternSetupUI>(tree, &setupPattern);
  if (!setup)
    return 1;
  setup->SubWindow()->setGeometry(20, 20, 900, 560);
  ok = Save(*setup->SubWindow(), out.filePath(QStringLiteral("pattern-setup.png"))) && ok;

  // The element editors on the two-part pattern; its second region is an import region.
  auto shoot = [&](auto* kind, const std::string& name, const char* file) {
    if (auto* node = FindNode<std::remove_pointer_t<decltype(kind)>>(tree, nullptr, name))
      node->Open();
    auto* form = dynamic_cast<TfmDesignForm*>(main.Tabs.Tabs().back().Node->Editor());
    if (!form || !form->SubWindow())
      return false;
    form->SubWindow()->adjustSize();
    return Save(*form->SubWindow(), out.filePath(QString::fromLatin1(file)));
  };
  ok = shoot(static_cast<OPictureUI*>(nullptr), "Picture2-1", "picture.png") && ok;
  ok = shoot(static_cast<ORegionUI*>(nullptr), "Region2-2", "region.png") && ok;
  ok = shoot(static_cast<OSectionUI*>(nullptr), "Section2-2", "section.png") && ok;

  // The import window with a drawing loaded into the region of a new pattern.
  std::unique_ptr<OPattern> drawn = GenerateWizard(TPlainWizard{120, 80, TWizardLayout::Section1});
  TfmBitmap bitmap(*drawn->Pictures->Get(0)->Regions.Get(0),
                   LoadImage(QUILLANE_TEST_DATA "/drawing.png"), &main);
  ok = SaveShown(bitmap, out.filePath(QStringLiteral("bitmap-import.png"))) && ok;
  ok = ShootProduction(main, out) && ok;
  ok = ShootCheck(main, out) && ok;
  ok = ShootColourways(main, out) && ok;
  ok = BitmapModes(main, out) && ok;
  TfmAbout about(&main);
  ok = SaveShown(about, out.filePath(QStringLiteral("about.png"))) && ok;
  TfmSelectDir folder(QDir::homePath(), &main);
  ok = SaveShown(folder, out.filePath(QStringLiteral("folder.png"))) && ok;

  // Each wizard with its defaults, as the menu opens it.
  TfmWizard1 wizard1(&main);
  TfmWizard2 wizard2(&main);
  TfmWizard3 wizard3(&main);
  TfmWizard4 wizard4(&main);
  TfmWizard5 wizard5(&main);
  int number = 0;
  for (QDialog* wizard :
       std::initializer_list<QDialog*>{&wizard1, &wizard2, &wizard3, &wizard4, &wizard5})
    ok = SaveShown(*wizard, out.filePath(QStringLiteral("wizard%1.png").arg(++number))) && ok;
  return ok ? 0 : 1;
}
