#include "ui/SelectDirForm.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace quillane {

TfmSelectDir::TfmSelectDir(const QString& folder, QWidget* parent)
    : QDialog(parent), lbFolder(new QLabel(this)), tvFolders(new QTreeView(this)),
      Model(new QFileSystemModel(this)) {
  setObjectName(QStringLiteral("fmSelectDir"));
  setWindowTitle(QStringLiteral("Select Current Folder"));
  resize(420, 460);

  lbFolder->setObjectName(QStringLiteral("lbFolder"));
  lbFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lbFolder->setWordWrap(true);

  Model->setFilter(QDir::Dirs | QDir::Drives | QDir::NoDotAndDotDot);
  Model->setReadOnly(true);
  Model->setRootPath(QDir::rootPath());
  tvFolders->setObjectName(QStringLiteral("tvFolders"));
  tvFolders->setAccessibleName(QStringLiteral("Folders"));
  tvFolders->setModel(Model);
  tvFolders->setHeaderHidden(true);
  for (int column = 1; column < Model->columnCount(); ++column)
    tvFolders->hideColumn(column);

  QString start = QDir(folder).exists() ? QDir(folder).absolutePath() : QDir::currentPath();
  QModelIndex current = Model->index(start);
  tvFolders->setCurrentIndex(current);
  tvFolders->expand(current);
  // The folders load in the background; keep the start folder in sight as they arrive.
  connect(Model, &QFileSystemModel::directoryLoaded, this, [this] {
    tvFolders->scrollTo(tvFolders->currentIndex(), QAbstractItemView::PositionAtCenter);
  });
  connect(tvFolders->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { ShowSelected(); });
  lbFolder->setAccessibleName(QStringLiteral("Selected folder"));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("buOK"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("buCancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lbFolder);
  layout->addWidget(tvFolders, 1);
  layout->addWidget(buttons);
  ShowSelected();
  tvFolders->setFocus();
}

QString TfmSelectDir::Folder() const {
  return QDir::toNativeSeparators(Model->filePath(tvFolders->currentIndex()));
}

void TfmSelectDir::ShowSelected() {
  lbFolder->setText(Folder());
}

} // namespace quillane
