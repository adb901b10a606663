#include "ui/HelpForm.h"

#include <algorithm>

#include <QDesktopServices>
#include <QFileInfo>
#include <QImage>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/DesignForm.h"

namespace quillane {

namespace {

// The manual is written for web browsers. Qt's rich text knows no <figure>: it set each
// picture inline in the paragraph around it, as a tall blank line with the picture pushed
// out of sight beside or below it; as blocks of their own they show. A picture wider than the
// window is scaled down to it, as the manual's style asks of a browser, rather than bring a
// scroll bar to every page.
class THelpBrowser : public QTextBrowser {
public:
  using QTextBrowser::QTextBrowser;

  QVariant loadResource(int type, const QUrl& name) override {
    QVariant resource = QTextBrowser::loadResource(type, name);
    if (type == QTextDocument::HtmlResource) {
      QString page = resource.typeId() == QMetaType::QString
                         ? resource.toString()
                         : QString::fromUtf8(resource.toByteArray());
      // A picture's line keeps the page's line spacing, which would add half a picture of
      // blank below it.
      page.replace(QStringLiteral("<figure>"),
                   QStringLiteral("<div class=\"figure\" style=\"line-height: 100%\">"))
          .replace(QStringLiteral("</figure>"), QStringLiteral("</div>"))
          .replace(QStringLiteral("<figcaption>"), QStringLiteral("<p class=\"caption\">"))
          .replace(QStringLiteral("</figcaption>"), QStringLiteral("</p>"))
          // Rich text reads these as a height of its own and leaves the rest blank.
          .replace(QStringLiteral("height: auto;"), QString())
          .replace(QStringLiteral("max-width: 100%;"), QString());
      return page;
    }
    if (type == QTextDocument::ImageResource) {
      QImage image;
      if (resource.typeId() == QMetaType::QByteArray)
        image.loadFromData(resource.toByteArray());
      else
        image = resource.value<QImage>();
      // Room beside a list's indent, the page's margins and the scroll bar; the window's
      // width, since the page may load before the window has laid itself out.
      const int room = std::max(160, window()->width() - 140);
      if (!image.isNull() && image.width() > room)
        return image.scaledToWidth(room, Qt::SmoothTransformation);
      if (!image.isNull())
        return image;
    }
    return resource;
  }
};

} // namespace

TfmHelp::TfmHelp(QWidget* parent) : QWidget(parent, Qt::Window), Browser(new THelpBrowser(this)) {
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
