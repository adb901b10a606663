// The menu Wizards on the offscreen platform: the five wizard dialogs and the three imports.
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <functional>
#include <variant>

#include "UiSupport.h"
#include "elements/Picture.h"
#include "elements/Region.h"
#include "elements/Section.h"
#include "ui/NumberBox.h"
#include "ui/wizards/Wizard1Form.h"
#include "ui/wizards/Wizard2Form.h"
#include "ui/wizards/Wizard3Form.h"
#include "ui/wizards/Wizard4Form.h"
#include "ui/wizards/Wizard5Form.h"

using namespace quillane;
using namespace quillane::test;

namespace {

using TMake = std::function<std::unique_ptr<TfmWizard>(QWidget*)>;
template <class TForm> TMake Make() {
  return [](QWidget* parent) { return std::make_unique<TForm>(parent); };
}

// The controls in tab order: an edit as "name[min,max]=value" ("-" when disabled), a box or
// radio button as "name=0|1", a button by name. Every one must have an accessible name.
QString Controls(QDialog& dialog) {
  QStringList out;
  for (QWidget* w = dialog.nextInFocusChain(); w != &dialog; w = w->nextInFocusChain()) {
    QString text;
    if (auto* edit = qobject_cast<TNumberBox*>(w))
      text = QStringLiteral("%1[%2,%3]=%4%5")
                 .arg(w->objectName())
                 .arg(edit->minimum())
                 .arg(edit->maximum())
                 .arg(edit->value())
                 .arg(edit->isEnabled() ? "" : "-");
    else if (auto* box = qobject_cast<QAbstractButton*>(w))
      text = box->isCheckable() ? w->objectName() + "=" + QString::number(box->isChecked())
                                : w->objectName();
    else
      continue;
    out << text + (w->accessibleName().isEmpty() ? "(unnamed)" : "");
  }
  return out.join(' ');
}

using TFields = std::vector<std::pair<const char*, int>>;

// Each edit set as the user leaves it; a box or button clicked.
void Set(QDialog& dialog, const TFields& fields) {
  for (auto [name, value] : fields) {
    if (auto* edit = dialog.findChild<TNumberBox*>(QString::fromLatin1(name))) {
      edit->setValue(value);
      emit edit->editingFinished();
    } else if (auto* button = dialog.findChild<QAbstractButton*>(QString::fromLatin1(name))) {
      button->click();
    } else {
      QFAIL(name);
    }
  }
}

// Acts on the wizard dialog once the menu command has opened it.
void WhenOpen(const std::function<void(TfmWizard&)>& act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<TfmWizard*>(QApplication::activeModalWidget());
    QVERIFY(dialog);
    act(*dialog);
  });
}

// Sections as "source>target" with flips; regions' pattern areas, "*" for the import flag.
std::string Layout(const OPattern& p) {
  auto text = [](const TRect& r) {
    return QStringLiteral("%1,%2,%3,%4 ").arg(r.Left).arg(r.Top).arg(r.Right).arg(r.Bottom);
  };
  QString out;
  for (const auto& s : *p.Sections)
    out += text(s->SourceArea) + ">" + text(s->TargetArea) + QString::number(s->HFlip) +
           QString::number(s->VFlip) + "; ";
  for (const auto& r : p.Pictures->Get(0)->Regions)
    out += text(r->PatternArea) + text(r->PictureArea) + (r->ImportFlag ? "*; " : "; ");
  return out.toStdString();
}

} // namespace

class WizardFormsTest : public TUiTest {
  Q_OBJECT
private slots:
  // Each dialog opens at its defaults, and a refusal is shown and keeps it open.
  void eachDialogStartsAtItsDefaultsAndARefusalKeepsItOpen() {
    TProgram program(Ini());
    const QString sizes = "edNoControls1[1,9999]=1 edNoPLines1[1,65534]=1 edNoControls2[1,9999]=1 ";
    const QString layouts = "rbSection1=1 rbSection2h=0 rbSection2v=0 rbSection4=0 ";
    const QString strip = "cbCenter=0 edPatternOffset[1,9999]=1 edNoRepeats[1,99]=1 buOK buCancel";
    const std::tuple<TMake, QString, QString, TFields, std::string> rows[] = {
        // One control cannot be halved: the mirrored half would lie outside the pattern.
        {Make<TfmWizard1>(),
         "New Pattern",
         "edNoControls[1,9999]=1 edNoPLines[1,65534]=1 " + layouts + "buOK buCancel",
         {{"rbSection2h", 0}},
         "Section #2 invalid (outside boundary of pattern)"},
        {Make<TfmWizard2>(),
         "New Rug Pattern",
         sizes + "edNoPLines2[1,65534]=1 edNoControls3[0,9999]=1 edNoPLines3[0,65534]=1- " +
             "cbMirror=0 edControlOffset[1,9999]=1 edPLineOffset[1,9999]=1 " + layouts +
             "buOK buCancel",
         {{"edNoPLines2", 2}},
         "Invalid Rug Size - No. PLines"},
        {Make<TfmWizard3>(),
         "New Carpet Pattern",
         sizes + "edNoPLines2[1,65534]=1- " + strip,
         {{"edNoControls2", 2}},
         "Invalid Section Size - No. Controls"},
        {Make<TfmWizard4>(),
         "New Half Drop Pattern",
         sizes + "edNoPLines2[1,65534]=1- " + strip,
         {{"edNoControls2", 2}},
         "Invalid Region Size - No. Controls"},
        {Make<TfmWizard5>(),
         "New Pattern With Repeats",
         sizes + "edNoPLines2[1,65534]=1 edNoRepeats[1,99]=1 buOK buCancel",
         {{"edNoPLines2", 2}},
         "Invalid Section Size - No. PLines"}};
    for (const auto& [make, caption, controls, fields, message] : rows) {
      std::unique_ptr<TfmWizard> dialog = make(&program.Main);
      QCOMPARE(dialog->windowTitle(), caption);
      QCOMPARE(Controls(*dialog), controls);
      dialog->show();
      Set(*dialog, fields);
      program.Platform.Messages.clear();
      dialog->buOK->click();
      QCOMPARE(program.Platform.Messages, std::vector<std::string>{message});
      QVERIFY(dialog->isVisible());
      QVERIFY(!dialog->TakePattern());
    }
    QCOMPARE(program.Root()->childCount(), 0);
  }

  void okFromTheMenuAddsWhatTheWizardBuilds() {
    using TWizard =
        std::variant<TPlainWizard, TRugWizard, TCarpetWizard, THalfDropWizard, TRepeatsWizard>;
    const std::tuple<const char*, TFields, TWizard> rows[] = {
        {"miNewPlainPattern",
         {{"edNoControls", 5}, {"edNoPLines", 4}, {"rbSection4", 0}},
         TPlainWizard{5, 4, TWizardLayout::Sections4}},
        // The cut mark's PLines follow from the sizes: 0.
        {"miNewRugPattern",
         {{"edNoControls1", 23}, {"edNoPLines1", 10}, {"edNoControls2", 7}, {"edNoPLines2", 10}},
         TRugWizard{23, 10, 7, 10, 1, 0}},
        {"miNewCarpetPattern",
         {{"edNoControls1", 10}, {"edNoPLines1", 6}, {"edNoControls2", 4}, {"cbCenter", 0}},
         TCarpetWizard{10, 6, 4, 6, true, 1, 1}},
        {"miNewHalfDropPattern",
         {{"edNoControls1", 20}, {"edNoPLines1", 10}, {"edNoControls2", 6}, {"cbCenter", 0}},
         THalfDropWizard{20, 10, 6, 5, true, 1, 1}},
        {"miNewRepeatsPattern",
         {{"edNoControls1", 10},
          {"edNoPLines1", 5},
          {"edNoControls2", 4},
          {"edNoPLines2", 3},
          {"edNoRepeats", 2}},
         TRepeatsWizard{10, 5, 4, 3, 2}}};
    {
      TProgram program(Ini());
      WhenOpen([](TfmWizard& dialog) { dialog.buCancel->click(); });
      program.Trigger("miNewRugPattern");
      QCOMPARE(program.Root()->childCount(), 0);
    }
    for (const auto& [action, fields, wizard] : rows) {
      TProgram program(Ini());
      WhenOpen([&fields](TfmWizard& dialog) {
        Set(dialog, fields);
        dialog.buOK->click();
      });
      program.Trigger(action);
      QCOMPARE(program.Root()->childCount(), 1);
      const OPattern* made = program.Main.Tree().Patterns().Registry().front()->Pattern;
      QCOMPARE(Layout(*made),
               Layout(*std::visit([](auto w) { return GenerateWizard(w); }, wizard)));
    }
  }

  void mirrorAndControlOffsetFollowEachOther() {
    TProgram program(Ini());
    TfmWizard2 rug(&program.Main);
    Set(rug, {{"edControlOffset", 3}, {"cbMirror", 0}});
    QCOMPARE(rug.edControlOffset->value(), 1);
    Set(rug, {{"edControlOffset", 2}});
    QVERIFY(!rug.cbMirror->isChecked());
  }

  // The sizes are read from the edits' text, which must not come in another script's digits.
  void sizesReadTheSameWhateverTheDesktopsLanguage() {
    TProgram program(Ini());
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    TfmWizard1 plain(&program.Main);
    QLocale::setDefault(QLocale::c());
    Set(plain, {{"edNoControls", 5}, {"edNoPLines", 3}});
    plain.buOK->click();
    std::unique_ptr<OPattern> made = plain.TakePattern();
    QVERIFY(made && made->NoControls == 5 && made->NoPLines == 3);
  }

  void enterMovesTheFocusInTheNewPatternWizardButPressesOkWithRepeats() {
    TProgram program(Ini());
    TfmWizard1 plain(&program.Main);
    plain.show();
    QVERIFY(QTest::qWaitForWindowActive(&plain));
    // The first field is ready to take what is typed at once.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("23"));
    QCOMPARE(plain.edNoControls->text(), QStringLiteral("23"));
    QTest::keyClick(plain.edNoControls, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), plain.edNoPLines);
    // A size past the box's limit is told and kept, and OK tells it again.
    QTest::keyClicks(plain.edNoPLines, QStringLiteral("70000"));
    QTest::keyClick(plain.edNoPLines, Qt::Key_Return);
    plain.buOK->click();
    QCOMPARE(
        program.Platform.Errors,
        std::vector<std::string>(
            2, "Range check error: No. Pattern Lines must be a whole number between 1 and 65534"));
    QCOMPARE(plain.edNoPLines->text(), QStringLiteral("70000"));
    QVERIFY(plain.isVisible() && !plain.TakePattern());
    plain.reject();

    TfmWizard5 repeats(&program.Main);
    repeats.show();
    QVERIFY(QTest::qWaitForWindowActive(&repeats));
    repeats.edNoControls1->setFocus();
    QTest::keyClick(repeats.edNoControls1, Qt::Key_Return);
    QCOMPARE(repeats.result(), static_cast<int>(QDialog::Accepted));
    QVERIFY(repeats.TakePattern());
  }

  void importsGiveAPatternOrTheirFamilysMessage() {
    QByteArray car(532, '\xFF'); // one plane, 16 controls, 10 PLines
    car.replace(0, 512, QByteArray(512, 0));
    car[5] = 1, car[6] = 9, car[8] = 15, car[10] = 9;
    QByteArray ned = QByteArray("\x00\x03\x00\x02", 4) + QByteArray(1532 + 6, 1);
    const QByteArray tuf("4,2,1\r\n\"STY\",\"SZ\"\r\n\x05\x0A\x00\x01\x02\x00\x00", 26);
    const std::tuple<const char*, const char*, QByteArray, std::string> rows[] = {
        {"miImportTuft", "B.TUF", tuf, ""},
        {"miImportTuft", "C.TUF", tuf.left(20), "Error reading tuft file"},
        {"miImportCmc", "A.CAR", car, ""},
        {"miImportCmc", "B.CAR", car.left(520), "Error reading CMC file"},
        {"miImportNed", "A.PAT", ned, ""},
        {"miImportNed", "B.PAT", ned.left(1540), "Error reading NED Graphics file"}};
    WriteFile(Dir.filePath(QStringLiteral("B.DAT")), QByteArray(1, 7));
    WriteFile(Dir.filePath(QStringLiteral("C.DAT")), QByteArray(1, 7));
    for (const auto& [action, name, bytes, error] : rows) {
      TProgram program(Ini());
      const QString path = Dir.filePath(QString::fromLatin1(name));
      WriteFile(path, bytes);
      program.Platform.Files = {path.toStdString()};
      program.Trigger(action);
      // The NED file shares our patterns' extension: its message names the file.
      const std::string named =
          error + (std::string(action) == "miImportNed" ? ": " + path.toStdString() : "");
      QCOMPARE(program.Platform.Errors,
               error.empty() ? std::vector<std::string>() : std::vector<std::string>{named});
      QCOMPARE(program.Root()->childCount(), error.empty() ? 1 : 0);
    }
  }
};

QTEST_MAIN(WizardFormsTest)
#include "WizardFormsTest.moc"
