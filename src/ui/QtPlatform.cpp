#include "ui/QtPlatform.h"

#include <algorithm>

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QUrl>

#include "ImageIO.h"
#include "shell/MainCommands.h"
#include "ui/MainForm.h"
#include "ui/SelectDirForm.h"

namespace quillane {

namespace {

const QString Title = QStringLiteral("Quillane");

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// A box or dialog belongs to the modal dialog that is open, if any, so that it shows above
// it.
QWidget* Owner(QWidget& main) {
  QWidget* modal = QApplication::activeModalWidget();
  return modal ? modal : &main;
}

// Progress is shown in thousandths, whatever the number of steps.
constexpr int ProgressScale = 1000;

// The text a file dialog shows for a filter: its description with every pattern listed, so
// that "Pattern files (*.PAT)" reads "Pattern files (*.PAT *.pat)" and matches either case.
std::string FilterText(const TFileFilter& filter) {
  std::string patterns;
  for (const std::string& p : filter.Patterns)
    patterns += (patterns.empty() ? "" : " ") + p;
  std::string description = filter.Description;
  if (size_t open = description.find('('); open != std::string::npos)
    description.erase(open);
  while (!description.empty() && description.back() == ' ')
    description.pop_back();
  return description + " (" + patterns + ")";
}

} // namespace

OQtPlatform::OQtPlatform(TfmMain& main) : Main(main) {}

OQtPlatform::~OQtPlatform() = default;

bool OQtPlatform::RunFileDialog(TFileDialog& dialog, bool save) {
  QFileDialog box(Owner(Main), Q(dialog.Title), Q(dialog.InitialDir));
  box.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  box.setFileMode(!save && (dialog.Options & ofFileMustExist) ? QFileDialog::ExistingFile
                                                              : QFileDialog::AnyFile);
  box.setOption(QFileDialog::DontConfirmOverwrite, !(dialog.Options & ofOverwritePrompt));
  QStringList filters;
  for (const TFileFilter& filter : dialog.Filters)
    filters << Q(FilterText(filter));
  box.setNameFilters(filters);
  box.setDefaultSuffix(Q(dialog.DefaultExt));
  if (!dialog.FileName.empty())
    box.selectFile(Q(dialog.FileName));
  if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
    return false;
  dialog.FileName = box.selectedFiles().constFirst().toStdString();
  return true;
}

bool OQtPlatform::RunColourDialog(uint32_t& colour) {
  QColor chosen = QColorDialog::getColor(QColor::fromRgb(ToQRgb(colour)), Owner(Main));
  if (!chosen.isValid())
    return false;
  colour = FromQRgb(chosen.rgb());
  return true;
}

void OQtPlatform::ShowError(const std::string& text) {
  QMessageBox::critical(Owner(Main), Title, Q(text), QMessageBox::Ok);
}

void OQtPlatform::ShowMessage(const std::string& text) {
  QMessageBox::information(Owner(Main), Title, Q(text), QMessageBox::Ok);
}

bool OQtPlatform::Confirm(const std::string& text) {
  return QMessageBox::question(Owner(Main), Title, Q(text), QMessageBox::Ok | QMessageBox::Cancel,
                               QMessageBox::Ok) == QMessageBox::Ok;
}

bool OQtPlatform::AskRestore(const std::string& text) {
  QMessageBox box(QMessageBox::Question, Title, Q(text), QMessageBox::NoButton, Owner(Main));
  QPushButton* restore = box.addButton(QStringLiteral("&Restore"), QMessageBox::AcceptRole);
  box.addButton(QStringLiteral("&Discard"), QMessageBox::DestructiveRole);
  box.setDefaultButton(restore);
  box.exec();
  return box.clickedButton() == restore;
}

TSaveChoice OQtPlatform::AskSaveChanges(const std::string& text) {
  QMessageBox box(QMessageBox::Warning, Title, Q(text),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, Owner(Main));
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
  case QMessageBox::Save:
    return TSaveChoice::Save;
  case QMessageBox::Discard:
    return TSaveChoice::Discard;
  default:
    return TSaveChoice::Cancel;
  }
}

bool OQtPlatform::RunFolderDialog(const std::string& title, std::string& folder) {
  TfmSelectDir box(Q(folder), Owner(Main));
  box.setWindowTitle(Q(title));
  if (box.exec() != QDialog::Accepted)
    return false;
  folder = box.Folder().toStdString();
  return true;
}

bool OQtPlatform::ShellOpen(const std::string& target) {
  QString text = Q(target);
  bool isUrl = text.startsWith(QLatin1String("mailto:")) || text.contains(QLatin1String("://"));
  return QDesktopServices::openUrl(isUrl ? QUrl(text) : QUrl::fromLocalFile(text));
}

void OQtPlatform::BeginWait() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void OQtPlatform::EndWait() {
  QApplication::restoreOverrideCursor();
}

void OQtPlatform::BeginProgress(const std::string& text, int64_t steps) {
  ProgressSteps = steps > 0 ? steps : 1;
  ProgressBox = std::make_unique<QProgressDialog>(Q(text), QStringLiteral("Cancel"), 0,
                                                  ProgressScale, Owner(Main));
  ProgressBox->setWindowTitle(Title);
  ProgressBox->setWindowModality(Qt::WindowModal);
  ProgressBox->setMinimumDuration(500);
  ProgressBox->setValue(0);
}

bool OQtPlatform::Progress(int64_t done) {
  if (!ProgressBox)
    return true;
  int64_t clamped = std::clamp<int64_t>(done, 0, ProgressSteps);
  ProgressBox->setValue(static_cast<int>(clamped * ProgressScale / ProgressSteps));
  return !ProgressBox->wasCanceled();
}

void OQtPlatform::ProgressCannotCancel() {
  if (ProgressBox)
    ProgressBox->setCancelButton(nullptr);
}

void OQtPlatform::EndProgress() {
  ProgressBox.reset();
}

void OQtPlatform::SetCaption(const std::string& text) {
  Main.setWindowTitle(Q(text));
}

void OQtPlatform::ShowStatus(const std::string& text) {
  Main.ShowStatus(Q(text));
}

void OQtPlatform::ShowFolder(const std::string& text) {
  Main.ShowFolder(Q(text));
}

TWindowBounds OQtPlatform::GetBounds() {
  QRect r = Main.normalGeometry().isValid() ? Main.normalGeometry() : Main.geometry();
  return {r.x(), r.y(), r.width(), r.height()};
}

TWindowState OQtPlatform::GetWindowState() {
  if (Main.isMinimized())
    return wsMinimized;
  return Main.isMaximized() ? wsMaximized : wsNormal;
}

void OQtPlatform::SetBounds(const TWindowBounds& saved) {
  // The screens may have changed since the bounds were saved.
  std::vector<TWindowBounds> screens;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect a = screen->availableGeometry();
    TWindowBounds s{a.x(), a.y(), a.width(), a.height()};
    if (screen == QGuiApplication::primaryScreen())
      screens.insert(screens.begin(), s);
    else
      screens.push_back(s);
  }
  const TWindowBounds bounds = FitToScreens(saved, screens);
  QRect r(bounds.Left, bounds.Top, bounds.Width, bounds.Height);
  // Moving a window that has not been shown pins it there; leave the placement to the
  // desktop unless the bounds really change.
  if (r != Main.geometry())
    Main.setGeometry(r);
}

void OQtPlatform::Maximise() {
  Main.setWindowState(Main.windowState() | Qt::WindowMaximized);
}

} // namespace quillane
