#include "ui/RegionForm.h"

#include "shell/DesignUI.h"

namespace quillane {

TfmRegion::TfmRegion(ORegionUI& controller)
    : TfmElementForm(controller), Model(*controller.Pattern, controller.Region) {
  setObjectName(QStringLiteral("fmRegion"));
  setWindowTitle(QStringLiteral("Region"));
  // The tree draws an import region in red.
  Stored = Model.Changes.Subscribe([this](const TEditorChange& change) {
    if (change.Kind == TEditorChange::TKind::Stored)
      Controller.RepaintNode();
  });
  Build(Model, true);
}

TfmRegion::~TfmRegion() {
  Detach();
}

} // namespace quillane
