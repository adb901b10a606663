#include "ui/PreferencesForm.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/App.h"

namespace quillane {

TfmPreferences::TfmPreferences(const TPreferences& preferences, QWidget* parent)
    : QDialog(parent), edUndoMiB(new QSpinBox(this)), edRecoveryMinutes(new QSpinBox(this)),
      edDesignFolder(new QLineEdit(this)),
      buBrowse(new QPushButton(QStringLiteral("&Browse..."), this)) {
  setObjectName(QStringLiteral("fmPreferences"));
  setWindowTitle(QStringLiteral("Preferences"));

  edUndoMiB->setObjectName(QStringLiteral("edUndoMiB"));
  edUndoMiB->setRange(TPreferences::MinUndoMiB, TPreferences::MaxUndoMiB);
  edUndoMiB->setSuffix(QStringLiteral(" MiB"));
  edUndoMiB->setValue(preferences.UndoMiB);
  edUndoMiB->setToolTip(QStringLiteral("The most memory each pattern's undo steps may take; the "
                                       "oldest steps go first"));
  edRecoveryMinutes->setObjectName(QStringLiteral("edRecoveryMinutes"));
  edRecoveryMinutes->setRange(0, TPreferences::MaxRecoveryMinutes);
  edRecoveryMinutes->setSuffix(QStringLiteral(" min"));
  edRecoveryMinutes->setSpecialValueText(QStringLiteral("Never"));
  edRecoveryMinutes->setValue(preferences.RecoveryMinutes);
  edRecoveryMinutes->setToolTip(
      QStringLiteral("How often modified patterns are copied, to be offered back after a crash"));
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
  form->addRow(QStringLiteral("&Undo memory per pattern:"), edUndoMiB);
  form->addRow(QStringLiteral("&Recovery copies every:"), edRecoveryMinutes);
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

void TfmPreferences::OKClicked() {
  const std::string problem = PreferencesProblem(Values());
  if (!problem.empty()) {
    g.UI().ShowMessage(problem);
    return;
  }
  accept();
}

} // namespace quillane
