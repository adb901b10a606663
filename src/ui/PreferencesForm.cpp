#include "ui/PreferencesForm.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/App.h"
#include "ui/NumberBox.h"

namespace quillane {

TfmPreferences::TfmPreferences(const TPreferences& preferences, QWidget* parent)
    : QDialog(parent),
      edUndoMiB(new TNumberBox(
          {"Undo memory per pattern", TPreferences::MinUndoMiB, TPreferences::MaxUndoMiB}, this)),
      edRecoveryMinutes(
          new TNumberBox({"Recovery copies every", 0, TPreferences::MaxRecoveryMinutes}, this)),
      edDesignFolder(new QLineEdit(this)),
      buBrowse(new QPushButton(QStringLiteral("&Browse..."), this)) {
  setObjectName(QStringLiteral("fmPreferences"));
  setWindowTitle(QStringLiteral("Preferences"));

  edUndoMiB->setObjectName(QStringLiteral("edUndoMiB"));
  edUndoMiB->setValue(preferences.UndoMiB);
  edUndoMiB->setToolTip(QStringLiteral("The most memory each pattern's undo steps may take; the "
                                       "oldest steps go first"));
  edRecoveryMinutes->setObjectName(QStringLiteral("edRecoveryMinutes"));
  edRecoveryMinutes->setValue(preferences.RecoveryMinutes);
  edRecoveryMinutes->setToolTip(
      QStringLiteral("How often modified patterns are copied, to be offered back after a crash; "
                     "0 never"));
  for (TNumberBox* box : {edUndoMiB, edRecoveryMinutes}) {
    box->setAccessibleName(QString::fromStdString(box->Field().Name));
    connect(box, &TNumberBox::editingFinished, this, [box] { box->Read(); });
  }
  edDesignFolder->setObjectName(QStringLiteral("edDesignFolder"));
  edDesignFolder->setText(QString::fromStdString(preferences.DesignFolder));
  edDesignFolder->setPlaceholderText(QStringLiteral("The folder the last run ended in"));
  edDesignFolder->setMinimumWidth(280);
  buBrowse->setObjectName(QStringLiteral("buBrowse"));
  connect(buBrowse, &QPushButton::clicked, this, [this] {
    std::string folder = edDesignFolder->text().toStdString();
    if (folder.empty())
      folder = g.CurrentDir;
    if (g.UI().RunFolderDialog("Default Design Folder", folder))
      edDesignFolder->setText(QString::fromStdString(folder));
  });

  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(edDesignFolder, 1);
  folderRow->addWidget(buBrowse);
  auto* form = new QFormLayout;
  // The units beside the boxes, which take digits only.
  auto* undoRow = new QHBoxLayout;
  undoRow->addWidget(edUndoMiB);
  undoRow->addWidget(new QLabel(QStringLiteral("MiB"), this));
  undoRow->addStretch(1);
  auto* recoveryRow = new QHBoxLayout;
  recoveryRow->addWidget(edRecoveryMinutes);
  recoveryRow->addWidget(new QLabel(QStringLiteral("minutes (0: never)"), this));
  recoveryRow->addStretch(1);
  auto* undoLabel = new QLabel(QStringLiteral("&Undo memory per pattern:"), this);
  undoLabel->setBuddy(edUndoMiB);
  auto* recoveryLabel = new QLabel(QStringLiteral("&Recovery copies every:"), this);
  recoveryLabel->setBuddy(edRecoveryMinutes);
  form->addRow(undoLabel, undoRow);
  form->addRow(recoveryLabel, recoveryRow);
  auto* folderLabel = new QLabel(QStringLiteral("Default design &folder:"), this);
  folderLabel->setBuddy(edDesignFolder);
  form->addRow(folderLabel, folderRow);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buOK = buttons->button(QDialogButtonBox::Ok);
  buOK->setObjectName(QStringLiteral("buOK"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("buCancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &TfmPreferences::OKClicked);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

TPreferences TfmPreferences::Values() const {
  TPreferences p;
  p.UndoMiB = edUndoMiB->value();
  p.RecoveryMinutes = edRecoveryMinutes->value();
  p.DesignFolder = edDesignFolder->text().trimmed().toStdString();
  return p;
}

void TfmPreferences::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!Shown) {
    Shown = true;
    FocusFirstField(edUndoMiB);
  }
}

void TfmPreferences::OKClicked() {
  // A box holding a text it refuses is told, and the dialog stays open.
  for (TNumberBox* box : {edUndoMiB, edRecoveryMinutes})
    if (!box->Read())
      return;
  const std::string problem = PreferencesProblem(Values());
  if (!problem.empty()) {
    g.UI().ShowMessage(problem);
    return;
  }
  accept();
}

} // namespace quillane
