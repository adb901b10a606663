#include "ui/wizards/Wizard3Form.h"

namespace quillane {

TfmWizard3::TfmWizard3(QWidget* parent)
    : TCentredWizardForm("fmWizard3", "New Carpet Pattern",
                         {"Section Size", &TCarpetWizard::SectionControls,
                          &TCarpetWizard::SectionPLines, &TCarpetWizard::DeriveSectionPLines},
                         parent) {}

} // namespace quillane
