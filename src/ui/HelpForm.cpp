#include "ui/HelpForm.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/DesignForm.h"

namespace quillane {

TfmHelp::TfmHelp(QWidget* parent) : QWidget(parent, Qt::Window), Browser(new QTextBrowser(this)) {
  setObjectName(QStringLiteral("fmHelp"));
  setWindowTitle(QStringLiteral("Quillane Help"));
  resize(760, 640);
  auto* bar = new QToolBar(this);
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  QToolButton* back = AddToolButton(*bar, "buBack", " Back ");
  QToolButton* forward = AddToolButton(*bar, "buForward", " Forward ");
  QToolButton* home = AddToolButton(*bar, "buHome", " Contents ");
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(back, &QToolButton::clicked, Browser, &QTextBrowser::backward);
  connect(forward, &QToolButton::clicked, Browser, &QTextBrowser::forward);
  connect(home, &QToolButton::clicked, Browser, &QTextBrowser::home);
  connect(Browser, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
  connect(Browser, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);

  Browser->setObjectName(QStringLiteral("tbHelp"));
  Browser->setAccessibleName(QStringLiteral("Help"));
  // Pages of the manual open here; links that leave it go to the desktop, when it can.
  Browser->setOpenLinks(false);
  connect(Browser, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
    if (url.isRelative() || url.isLocalFile())
      Browser->setSource(Browser->source().resolved(url));
    else
      QDesktopServices::openUrl(url);
  });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(bar);
  layout->addWidget(Browser, 1);
}

bool TfmHelp::ShowPage(const QString& file) {
  QFileInfo info(file);
  if (!info.isFile() || !info.isReadable())
    return false;
  Browser->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
  show();
  raise();
  activateWindow();
  return true;
}

} // namespace quillane
