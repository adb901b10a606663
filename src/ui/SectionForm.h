#pragma once

#include "ui/ElementForm.h"

namespace quillane {

class OSectionUI;

// "Section": the source and target of a section and how the copy is turned.
class TfmSection : public TfmElementForm {
  Q_OBJECT
public:
  explicit TfmSection(OSectionUI& controller);
  ~TfmSection() override;

  OSectionEditor Model;
};

} // namespace quillane
