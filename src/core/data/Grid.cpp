#include "data/Grid.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quillane {

void TGrid::Resize(int noControls, int noPLines) {
  if (noControls < 0)
    noControls = 0;
  if (noPLines < 0)
    noPLines = 0;
  if (noControls == NoControls && noPLines == NoPLines && !Cells.empty())
    return;
  const size_t newStride = static_cast<size_t>(noControls) + 1;
  TZeroedBytes resized(newStride * (static_cast<size_t>(noPLines) + 1));
  if (!Cells.empty()) {
    const size_t keep = std::min(Stride(), newStride);
    const int rows = std::min(NoPLines, noPLines);
    if (keep == Stride() && keep == newStride) // whole PLines are kept or dropped
      std::memcpy(resized.data(), Cells.data(), (static_cast<size_t>(rows) + 1) * keep);
    else
      for (int p = 0; p <= rows; ++p)
        std::memcpy(resized.data() + static_cast<size_t>(p) * newStride, Row(p), keep);
  }
  Cells = std::move(resized);
  NoControls = noControls;
  NoPLines = noPLines;
}

void TGrid::Fill(uint8_t value) {
  std::fill(Cells.begin(), Cells.end(), value);
}

} // namespace quillane
