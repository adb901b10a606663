#include "ui/wizards/Wizard4Form.h"

namespace quillane {

TfmWizard4::TfmWizard4(QWidget* parent)
    : TCentredWizardForm("fmWizard4", "New Half Drop Pattern",
                         {"Region Size", &THalfDropWizard::RegionControls,
                          &THalfDropWizard::RegionPLines, &THalfDropWizard::DeriveRegionPLines},
                         parent) {}

} // namespace quillane
