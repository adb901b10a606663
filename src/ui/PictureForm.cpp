#include "ui/PictureForm.h"

#include <QToolButton>

#include "shell/DesignUI.h"

namespace quillane {

TfmPicture::TfmPicture(OPictureUI& controller)
    : TfmElementForm(controller), Model(*controller.Pattern, controller.Picture) {
  setObjectName(QStringLiteral("fmPicture"));
  setWindowTitle(QStringLiteral("Picture"));
  buSaveAs->setText(QStringLiteral("SaveAs"));
  Build(Model);
}

TfmPicture::~TfmPicture() {
  Detach();
}

} // namespace quillane
