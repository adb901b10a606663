#pragma once

#include <QDialog>

#include "shell/Preferences.h"

class QLineEdit;
class QPushButton;

namespace quillane {

class TNumberBox;

// Edit, Preferences: the undo memory, the recovery interval and the design folder. OK keeps
// the dialog open, with a message, while a value is wrong.
class TfmPreferences : public QDialog {
  Q_OBJECT
public:
  TfmPreferences(const TPreferences& preferences, QWidget* parent);

  TNumberBox* edUndoMiB;
  TNumberBox* edRecoveryMinutes;
  QLineEdit* edDesignFolder;
  QPushButton* buBrowse;
  QPushButton* buOK;

  TPreferences Values() const;

protected:
  void showEvent(QShowEvent* event) override;

private:
  bool Shown = false;
  void OKClicked();
};

} // namespace quillane
