#pragma once

#include <memory>
#include <vector>

#include "TestSupport.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "model/Pattern.h"
#include "setup/Settings.h"

namespace quillane::test {

// A built-in new pattern of this size and machine type, without sections or pictures.
inline std::unique_ptr<OPattern> BarePattern(int controls, int pLines, uint8_t machineType = 0) {
  auto p = std::make_unique<OPattern>();
  p->InitNew();
  p->Sections->Clear();
  p->Pictures->Clear();
  p->Settings->NoControls = static_cast<uint16_t>(controls);
  p->Settings->NoPLines = static_cast<uint16_t>(pLines);
  p->Settings->MachineType = machineType;
  p->ApplySettings();
  p->Changed();
  return p;
}

inline OSection& AddSection(OPattern& p, const TRect& source, const TRect& target,
                            uint8_t hFlip = 0, uint8_t vFlip = 0, uint8_t rotation = 0) {
  OSection* s = p.Sections->Add(std::make_unique<OSection>(&p));
  s->SetSourceArea(source);
  s->TargetArea = target;
  s->HFlip = hFlip;
  s->VFlip = vFlip;
  s->Rotation = rotation;
  return *s;
}

inline OPicture& AddPicture(OPattern& p, int width, int height) {
  OPicture* picture = p.Pictures->Add(std::make_unique<OPicture>(&p));
  picture->SetWidth(width);
  picture->SetHeight(height);
  return *picture;
}

inline ORegion& AddRegion(OPicture& picture, const TRect& pattern, const TRect& pixels,
                          uint8_t hFlip = 0, uint8_t vFlip = 0, uint8_t rotation = 0) {
  ORegion* r = picture.Regions.Add(std::make_unique<ORegion>(picture.Owner, &picture));
  r->SetPatternArea(pattern);
  r->SetPictureArea(pixels);
  r->HFlip = hFlip;
  r->VFlip = vFlip;
  r->Rotation = rotation;
  return *r;
}

// A bare pattern with these sections (else one whole) shown whole in the machine view.
inline std::unique_ptr<OPattern> ShownPattern(int controls, int pLines,
                                              std::vector<std::pair<TRect, TRect>> sections = {}) {
  auto p = BarePattern(controls, pLines);
  const TRect whole{1, 1, controls, pLines};
  if (sections.empty())
    sections.push_back({whole, whole});
  for (const auto& [source, target] : sections)
    AddSection(*p, source, target);
  AddRegion(AddPicture(*p, controls, pLines), whole, whole);
  p->Changed();
  p->Pictures->Get(0)->BringUpToDate(TView::Machine);
  return p;
}

} // namespace quillane::test
