#pragma once

#include <QDialog>

namespace quillane {

// "About Quillane": the name, the version line and the licence notice.
class TfmAbout : public QDialog {
  Q_OBJECT
public:
  explicit TfmAbout(QWidget* parent = nullptr);

protected:
  void showEvent(QShowEvent* event) override;
};

} // namespace quillane
