#pragma once

#include "ui/ElementForm.h"

namespace quillane {

class OPictureUI;

// "Picture": the size of a picture's images.
class TfmPicture : public TfmElementForm {
  Q_OBJECT
public:
  explicit TfmPicture(OPictureUI& controller);
  ~TfmPicture() override;

  OPictureEditor Model;
};

} // namespace quillane
