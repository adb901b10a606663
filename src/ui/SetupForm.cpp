#include "ui/SetupForm.h"

#include <QEvent>
#include <QMdiSubWindow>
#include <QToolBar>
#include <QToolButton>

#include "editors/SetupEditor.h"
#include "model/Pattern.h"
#include "shell/DesignUI.h"
#include "ui/NumberBox.h"

namespace quillane {

TfmSetupForm::TfmSetupForm(ODesignUI& controller)
    : TfmEditorForm(controller), buSave(AddToolButton(*ToolBar1, "buSave", "Save", "Save Pattern")),
      buSaveAs(AddToolButton(*ToolBar1, "buSaveAs", "Save As", "Save Pattern As")),
      buImport(AddToolButton(*ToolBar1, "buImport", "Import", "Import Data")),
      buExport(AddToolButton(*ToolBar1, "buExport", "Export", "Export Data")),
      buCancel(AddToolButton(*ToolBar1, "buCancel", "Cancel", "Cancel Changes")),
      buApply(AddToolButton(*ToolBar1, "buApply", "Apply", "Apply Changes")),
      buClose(AddToolButton(*ToolBar1, "buClose", "Close", "Close Form")) {
  connect(buSave, &QToolButton::clicked, this, [this] { SavePattern(&ODesignUI::Save); });
  connect(buSaveAs, &QToolButton::clicked, this, [this] { SavePattern(&ODesignUI::SaveAs); });
  connect(buImport, &QToolButton::clicked, this, [this] { ImportClick(); });
  connect(buExport, &QToolButton::clicked, this, [this] { ExportClick(); });
  connect(buCancel, &QToolButton::clicked, this, [this] { Editor->Cancel(); });
  connect(buApply, &QToolButton::clicked, this, [this] { Apply(); });
  connect(buClose, &QToolButton::clicked, this, [this] {
    QWidget* window = SubWindow() ? static_cast<QWidget*>(SubWindow()) : this;
    window->close();
  });
}

TfmSetupForm::~TfmSetupForm() = default;

void TfmSetupForm::Attach(OSetupEditor& editor) {
  Editor = &editor;
  EditorSubscription = editor.Changes.Subscribe([this](const TEditorChange& change) {
    if (change.Kind == TEditorChange::TKind::Shown)
      ShowData();
    else if (change.Kind == TEditorChange::TKind::Buttons)
      UpdateButtons();
  });
  // Save follows the pattern's flag, whoever changed it.
  Subscription = editor.Pattern.Events.Subscribe([this](const TPatternChange& change) {
    if (change.Kind == TPatternChange::TKind::Modified)
      UpdateButtons();
  });
  editor.Reload();
  UpdateButtons();
}

void TfmSetupForm::Destroy() {
  if (Editor)
    Editor->StopFollowing();
  Detach();
  TfmEditorForm::Destroy();
}

void TfmSetupForm::Detach() {
  Subscription.Reset();
  EditorSubscription.Reset();
  Editor = nullptr;
}

void TfmSetupForm::UpdateButtons() {
  if (!Editor)
    return;
  buSave->setEnabled(Editor->SaveEnabled());
  buCancel->setEnabled(Editor->CancelEnabled());
  buApply->setEnabled(Editor->ApplyEnabled());
}

bool TfmSetupForm::Apply() {
  if (!Editor)
    return true;
  CommitEdit();
  return Editor->Apply();
}

void TfmSetupForm::SavePattern(bool (ODesignUI::*save)()) {
  // What the window shows is what is written: an apply refused writes nothing.
  if (Apply())
    (Controller.*save)();
}

bool TfmSetupForm::QueryClose() {
  return Apply();
}

void TfmSetupForm::Deactivated() {
  if (!Editor || !Editor->Modified())
    return;
  CommitEdit();
  Editor->Leave();
}

bool TfmSetupForm::event(QEvent* event) {
  // A form shown on its own, outside the main window's area, hears its deactivation here.
  if (event->type() == QEvent::WindowDeactivate && !SubWindow())
    Deactivated();
  return TfmDesignForm::event(event);
}

void TfmSetupForm::showEvent(QShowEvent* event) {
  if (QMdiSubWindow* window = SubWindow(); window && !Watching) {
    Watching = true;
    connect(window, &QMdiSubWindow::windowStateChanged, this,
            [this](Qt::WindowStates before, Qt::WindowStates now) {
              if ((before & Qt::WindowActive) && !(now & Qt::WindowActive))
                Deactivated();
            });
  }
  TfmDesignForm::showEvent(event);
  if (QWidget* first = Shown ? nullptr : FirstField()) {
    Shown = true;
    FocusFirstField(first);
  }
}

} // namespace quillane
