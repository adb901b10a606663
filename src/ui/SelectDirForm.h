#pragma once

#include <QDialog>

class QFileSystemModel;
class QLabel;
class QTreeView;

namespace quillane {

// "Select Current Folder": the folder tree of the file system, opened at a folder, with
// the selected folder shown above it.
class TfmSelectDir : public QDialog {
  Q_OBJECT
public:
  explicit TfmSelectDir(const QString& folder, QWidget* parent = nullptr);
  QString Folder() const;

private:
  QLabel* lbFolder;
  QTreeView* tvFolders;
  QFileSystemModel* Model;
  void ShowSelected();
};

} // namespace quillane
