#include "model/Grid.h"

#include <algorithm>
#include <cstring>

namespace quillane {

void TGrid::Resize(int noControls, int noPLines) {
  if (noControls < 0)
    noControls = 0;
  if (noPLines < 0)
    noPLines = 0;
  if (noControls == NoControls && noPLines == NoPLines && !Cells.empty())
    return;
  const size_t newStride = static_cast<size_t>(noControls) + 1;
  const size_t newSize = newStride * (static_cast<size_t>(noPLines) + 1);
  if (noControls == NoControls && !Cells.empty()) {
    // Same stride: whole PLines are kept or dropped, no copy needed.
    Cells.resize(newSize, 0);
  } else {
    std::vector<uint8_t> resized(newSize, 0);
    const size_t keep = std::min(Stride(), newStride);
    const int rows = std::min(NoPLines, noPLines);
    if (!Cells.empty())
      for (int p = 0; p <= rows; ++p)
        std::memcpy(resized.data() + static_cast<size_t>(p) * newStride, Row(p), keep);
    Cells.swap(resized);
  }
  NoControls = noControls;
  NoPLines = noPLines;
}

void TGrid::Fill(uint8_t value) { std::fill(Cells.begin(), Cells.end(), value); }

} // namespace quillane
