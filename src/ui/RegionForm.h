#pragma once

#include "ui/ElementForm.h"

namespace quillane {

class ORegionUI;

// "Region": the pattern area a region shows, where in its picture, and how turned.
class TfmRegion : public TfmElementForm {
  Q_OBJECT
public:
  explicit TfmRegion(ORegionUI& controller);
  ~TfmRegion() override;

  ORegionEditor Model;

private:
  TSubscription Stored;
};

} // namespace quillane
