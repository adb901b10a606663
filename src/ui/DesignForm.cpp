#include "ui/DesignForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollArea>
#include <QShortcut>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "shell/DesignUI.h"

namespace quillane {

TfmDesignForm::TfmDesignForm(QWidget* parent)
    : QWidget(parent), ToolBar1(new QToolBar(this)), Panel1(new QWidget(this)) {
  setObjectName(QStringLiteral("fmDesignForm"));
  setWindowTitle(QStringLiteral("Object Form"));
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setAccessibleName(QStringLiteral("Toolbar"));
  ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(ToolBar1);
  // A window made smaller than its controls scrolls them instead of cutting them off.
  auto* scroller = new QScrollArea(this);
  scroller->setObjectName(QStringLiteral("sbPanel1"));
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->setFocusPolicy(Qt::NoFocus);
  scroller->setWidgetResizable(true);
  scroller->setWidget(Panel1);
  layout->addWidget(scroller, 1);
  MoveFocusOnEnter(*this, [this] { focusNextChild(); });
}

TfmDesignForm::~TfmDesignForm() = default;

QMdiSubWindow* TfmDesignForm::SubWindow() const {
  return qobject_cast<QMdiSubWindow*>(parentWidget());
}

void TfmDesignForm::BringToFront() {
  if (QMdiSubWindow* sub = SubWindow()) {
    if (sub->isMinimized())
      sub->showNormal();
    sub->mdiArea()->setActiveSubWindow(sub);
  }
}

void TfmDesignForm::Destroy() {
  QWidget* window = SubWindow() ? static_cast<QWidget*>(SubWindow()) : this;
  // The command that closed it may still be running in this window's own handlers.
  window->hide();
  window->deleteLater();
}

void TfmEditorForm::Destroy() {
  Released = true;
  // The node may go before the deferred delete: from here on nothing in the window (a
  // box that stores as it loses the focus, the frame's deactivation) may run a handler.
  if (QMdiSubWindow* frame = SubWindow())
    frame->disconnect(this);
  blockSignals(true);
  for (QObject* part : findChildren<QObject*>())
    part->blockSignals(true);
  TfmDesignForm::Destroy();
}

void TfmEditorForm::closeEvent(QCloseEvent* event) {
  // Once let go it only waits to be freed, and its node may be gone; Close All still
  // reaches it when closing an earlier window took this one's node out.
  event->setAccepted(Released || Controller.CloseEditorAsked());
}

void TfmDesignForm::CommitFocusedField() {
  QWidget* field = QApplication::focusWidget();
  if (!field || !isAncestorOf(field))
    return;
  field->clearFocus();
  field->setFocus(Qt::OtherFocusReason);
}

QToolButton* AddToolButton(QToolBar& bar, const char* name, const char* caption, const char* hint) {
  auto* button = new QToolButton(&bar);
  button->setObjectName(QString::fromLatin1(name));
  button->setText(QString::fromLatin1(caption));
  button->setAccessibleName(QString::fromLatin1(hint ? hint : caption).trimmed());
  if (hint)
    button->setToolTip(QString::fromLatin1(hint));
  button->setFocusPolicy(Qt::TabFocus);
  bar.addWidget(button);
  return button;
}

void MoveFocusOnEnter(QWidget& form, std::function<void()> next) {
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* shortcut = new QShortcut(QKeySequence(key), &form);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    shortcut->setAutoRepeat(false);
    QObject::connect(shortcut, &QShortcut::activated, &form, next);
  }
}

} // namespace quillane
