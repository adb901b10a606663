#include "ui/SectionForm.h"

#include "shell/DesignUI.h"

namespace quillane {

TfmSection::TfmSection(OSectionUI& controller)
    : TfmElementForm(controller), Model(*controller.Pattern, controller.Section) {
  setObjectName(QStringLiteral("fmSection"));
  setWindowTitle(QStringLiteral("Section"));
  Build(Model);
}

TfmSection::~TfmSection() {
  Detach();
}

} // namespace quillane
