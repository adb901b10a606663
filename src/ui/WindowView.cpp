// The view window's zoom keys and the view it reopens with.
#include <QAction>
#include <QRadioButton>

#include "app/App.h"
#include "editors/ViewGeometry.h"
#include "model/Pattern.h"
#include "shell/DesignUI.h"
#include "ui/WindowForm.h"

namespace quillane {

void TfmWindow::AddViewKeys() {
  // Each view window's own, as the tools' keys are. `+` comes with Shift on many keyboards
  // (and `=` is the same key without it), or from the keypad.
  const std::pair<QList<QKeySequence>, int> keys[] = {
      {{QKeySequence(Qt::Key_Plus), QKeySequence(Qt::SHIFT | Qt::Key_Plus),
        QKeySequence(Qt::Key_Equal), QKeySequence(Qt::KeypadModifier | Qt::Key_Plus)},
       1},
      {{QKeySequence(Qt::Key_Minus), QKeySequence(Qt::KeypadModifier | Qt::Key_Minus)}, -1},
      {{QKeySequence(Qt::Key_0), QKeySequence(Qt::KeypadModifier | Qt::Key_0)}, 0},
  };
  for (const auto& [sequences, steps] : keys) {
    auto* key = new QAction(this);
    key->setShortcuts(sequences);
    key->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(key);
    const int by = steps;
    connect(key, &QAction::triggered, this, [this, by] { by == 0 ? Fit() : ZoomStep(by); });
  }
}

void TfmWindow::ZoomStep(int steps) {
  KeepFitted = false;
  View.SetBox(PaintBox1->width(), PaintBox1->height());
  View.ZoomSteps(steps);
  TViewReply zoomed;
  zoomed.Moved = true;
  zoomed.Status = View.ZoomText();
  Follow(zoomed);
}

std::string TfmWindow::SavedViewKey() const {
  // A pattern never saved has no file to key it by.
  if (Pattern.FileName.empty())
    return {};
  return quillane::SavedViewKey(Pattern.FileName, Controller.Name());
}

void TfmWindow::RestoreView() {
  const std::string key = SavedViewKey();
  if (key.empty())
    return;
  std::string saved = g.Persist().ReadString(key, "");
  // "zoom,horz,vert" and the view's letter after a last comma.
  const size_t comma = saved.rfind(',');
  if (comma == std::string::npos)
    return;
  const std::string view = saved.substr(comma + 1);
  if (!View.Restore(saved.substr(0, comma)))
    return;
  KeepFitted = false;
  if (view == "D" && rbDesign->isEnabled())
    rbDesign->setChecked(true); // makes the design image, as a click does
  SyncGeometry();
  PaintBox1->update();
}

void TfmWindow::SaveView() {
  const std::string key = SavedViewKey();
  if (!key.empty())
    g.Persist().WriteString(key, View.Saved() + (rbDesign->isChecked() ? ",D" : ",M"));
}

} // namespace quillane
