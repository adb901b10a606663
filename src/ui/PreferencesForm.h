#pragma once

#include <QDialog>

#include "shell/Preferences.h"

class QLineEdit;
class QPushButton;
class QSpinBox;

namespace quillane {

// Edit, Preferences: the undo memory, the recovery interval and the design folder. OK keeps
// the dialog open, with a message, while a value is wrong.
class TfmPreferences : public QDialog {
  Q_OBJECT
public:
  TfmPreferences(const TPreferences& preferences, QWidget* parent);

  QSpinBox* edUndoMiB;
  QSpinBox* edRecoveryMinutes;
  QLineEdit* edDesignFolder;
  QPushButton* buBrowse;
  QPushButton* buOK;

  TPreferences Values() const;

private:
  void OKClicked();
};

} // namespace quillane
