#include "model/Pattern.h"

namespace quillane {

// Stubs until the colourways land.
void OPattern::SetColourways(TColourways colourways, const std::string&) {
  ColourwayList = std::move(colourways);
}
void OPattern::ShowColourway(int index) {
  Shown = index;
}
std::array<uint32_t, 256> OPattern::ShownColours() const {
  return {};
}
void OPattern::MakePalette(int) {}

} // namespace quillane
