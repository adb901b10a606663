#pragma once

#include <memory>
#include <vector>

#include "data/Signal.h"
#include "editors/CheckEditor.h"
#include "ui/DesignForm.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillane {

class OPattern;

// "Check": the pattern's findings against the machine its production parameters name,
// by rule, kept up to date as the pattern changes; a double click on one shows it in the
// view window.
class TfmCheck : public TfmEditorForm {
  Q_OBJECT
public:
  explicit TfmCheck(ODesignUI& controller);
  ~TfmCheck() override;

  QLabel* laMachine;
  QLabel* laSummary;
  QComboBox* cbRule;     // "All rules", then each rule by name
  QComboBox* cbSeverity; // "Errors and warnings", "Errors", "Warnings"
  QCheckBox* cbShowMarks;
  // A rule a top item (ticked: its marks shown), its findings below it.
  QTreeWidget* tvFindings;
  QToolButton* buCheckAgain;

  OCheckEditor& Check() { return *Editor; }
  void RefreshGrids() override;
  // The view window comes up centred on the finding (an index of the editor's findings),
  // its cells marked.
  void GoTo(size_t finding);

protected:
  void Destroy() override;

private:
  std::unique_ptr<OCheckEditor> Editor;
  TSubscription Notices;
  QTimer* Slices;
  // What the list was last filled from, so that a stroke that changes no finding leaves it
  // (and its scroll and selection) alone.
  std::vector<TFinding> Listed;
  bool Filling = false;
  void CheckLater();
  void FillList();
  TCheckFilter Filter() const;
};

} // namespace quillane
