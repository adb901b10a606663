#include "elements/PixelRuns.h"

#include <algorithm>

namespace quillane {

TPixelRuns Merged(TPixelRuns runs) {
  std::sort(runs.begin(), runs.end(), [](const TPixelRun& a, const TPixelRun& b) {
    return a.R != b.R ? a.R < b.R : a.C0 < b.C0;
  });
  size_t kept = 0;
  for (size_t i = 0; i < runs.size(); ++i) {
    if (kept > 0 && runs[kept - 1].R == runs[i].R &&
        int64_t{runs[i].C0} <= int64_t{runs[kept - 1].C1} + 1)
      runs[kept - 1].C1 = std::max(runs[kept - 1].C1, runs[i].C1);
    else
      runs[kept++] = runs[i];
  }
  runs.resize(kept);
  return runs;
}

int64_t PixelCount(const TPixelRuns& runs) {
  int64_t n = 0;
  for (const TPixelRun& run : runs)
    n += int64_t{run.C1} - run.C0 + 1;
  return n;
}

TRect PixelBounds(const TPixelRuns& runs) {
  if (runs.empty())
    return {0, 0, -1, -1};
  TRect r{runs.front().C0, runs.front().R, runs.front().C1, runs.back().R};
  for (const TPixelRun& run : runs) {
    r.Left = std::min(r.Left, run.C0);
    r.Right = std::max(r.Right, run.C1);
  }
  return r;
}

bool Contains(const TPixelRuns& runs, TCell cell) {
  const auto at = std::upper_bound(runs.begin(), runs.end(), cell, [](TCell c, const TPixelRun& r) {
    return c.R != r.R ? c.R < r.R : c.C < r.C0;
  });
  if (at == runs.begin())
    return false;
  const TPixelRun& run = *(at - 1);
  return run.R == cell.R && cell.C >= run.C0 && cell.C <= run.C1;
}

} // namespace quillane
