#pragma once

#include "data/PatternEvents.h"
#include "ui/DesignForm.h"

class QToolButton;

namespace quillane {

class ODesignUI;
class OSetupEditor;

// The window of a setup editor: the toolbar Save, Save As, Import, Export, Cancel, Apply,
// Close over the editor's controls. The buttons forward to the editor model and show what
// it enables. The changes are applied when the window loses activation and when it
// closes; a close whose apply the user declines leaves the window open.
class TfmSetupForm : public TfmEditorForm {
  Q_OBJECT
public:
  QToolButton* buSave;
  QToolButton* buSaveAs;
  QToolButton* buImport;
  QToolButton* buExport;
  QToolButton* buCancel;
  QToolButton* buApply;
  QToolButton* buClose;

  void UpdateButtons() override;
  bool QueryClose() override;
  // As the Apply button: the box being edited stores its value first.
  bool Apply();

protected:
  // The derived form sets its caption and builds its controls, creates its editor model
  // and then calls Attach.
  explicit TfmSetupForm(ODesignUI& controller);
  ~TfmSetupForm() override;
  // Points the editor's window hooks here and shows the data.
  void Attach(OSetupEditor& editor);
  // The derived form's destructor lets go of its editor before the editor goes.
  void Detach();
  // The editor stops following the pattern and the window lets go of it.
  void Destroy() override;
  // What Import and Export do is the derived form's: one object's exchange, or a menu
  // opened below the button (buImport, buExport).
  virtual void ImportClick() = 0;
  virtual void ExportClick() = 0;
  // Makes the box being edited store its value. By default its exit handling runs (the
  // focus leaves and comes back), which suits a button press; a form whose window is
  // losing activation must not take the focus back, so it may store the box directly.
  virtual void CommitEdit() { CommitFocusedField(); }
  // The field that takes the focus, its text selected, when the window first shows.
  virtual QWidget* FirstField() { return nullptr; }

  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

private:
  OSetupEditor* Editor = nullptr;
  bool Watching = false;
  bool Shown = false;
  OPatternEvents::TSubscription Subscription;
  TSubscription EditorSubscription;
  void Deactivated();
  // Save or Save As of the node, after the apply.
  void SavePattern(bool (ODesignUI::*save)());
};

} // namespace quillane
