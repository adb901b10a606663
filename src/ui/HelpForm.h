#pragma once

#include <QWidget>

class QTextBrowser;

namespace quillane {

// The program's own help window: the manual's pages shown by the program itself, so Help
// works where the desktop has no browser to hand them to.
class TfmHelp : public QWidget {
  Q_OBJECT
public:
  explicit TfmHelp(QWidget* parent = nullptr);

  QTextBrowser* Browser;
  // Shows the page and brings the window up; false when the file cannot be read.
  bool ShowPage(const QString& file);
};

} // namespace quillane
