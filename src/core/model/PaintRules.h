#pragma once

// The painting rules: what a press on a picture pixel, or a tool's many pixels, does to the
// pattern. The view's mouse states and the command line decide where and with which colour;
// these decide which cells take it, refuse what no cell can show, and make one step of it.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/CellBits.h"
#include "data/Record.h"
#include "elements/PixelRuns.h"

namespace quillane {

class OPattern;
class OPicture;

// Holds the pattern's paint batch open for a scope when `open`: paints in a batch give the
// same cells, their pixels drawn once when it closes.
class TPaintBatchScope {
public:
  TPaintBatchScope(OPattern& pattern, bool open);
  ~TPaintBatchScope();
  TPaintBatchScope(const TPaintBatchScope&) = delete;
  TPaintBatchScope& operator=(const TPaintBatchScope&) = delete;

private:
  OPattern* Pattern;
};

// Paints a picture pixel in a view as a press there does: the pixel is mapped through the
// picture's regions onto pattern cells, which the pattern paints. A paint that no cell it
// reaches can take (the tables give no state that shows the colour on those controls' yarn
// types) is not made: the answer then says why, for the status bar. The view's image is
// brought up to date first, which is no change of the user's; then the pattern's stroke is
// opened, if it is not, to take the cells painted. Whoever paints closes it.
std::string PaintPixel(OPattern& pattern, OPicture& picture, TView view, TCell cell, uint8_t index);
// Makes the cells a press on the pixel reaches undefined, with their copies, as Set
// Undefined makes a cell (the machine table's state for colour 0, machine colour 0): what
// Delete does where no state shows the undefined colour and a paint of it would be refused.
void UndefinePixel(OPattern& pattern, const OPicture& picture, TView view, TCell cell);
// Paints each of `pixels` as PaintPixel does, as one step of the history named `label`.
// Answers the first refusal's text (and its pixel in `refused`), empty when none.
std::string PaintPixels(OPattern& pattern, OPicture& picture, TView view, const TPixelRuns& pixels,
                        uint8_t index, const std::string& label, TCell* refused = nullptr);
// The palette index the view shows at a picture pixel: the view's colour of the first
// region's cell there; none where no region places a cell of the pattern.
std::optional<uint8_t> PickPixel(OPattern& pattern, OPicture& picture, TView view, TCell cell);
// The pixels a fill found in the view's image (brought up to date to find them), painted as
// PaintPixels paints them; a large area of the machine view that no pixel refuses goes to the
// pattern as one mask of cells (PaintMachineCells), whose `goOn` may cancel it before
// anything changed.
std::string PaintFilled(OPattern& pattern, OPicture& picture, TView view, const TPixelRuns& pixels,
                        uint8_t index, const std::string& label,
                        const std::function<bool()>& goOn = {});

// The cells the picture's regions show through the pixels: a byte per cell, laid out as
// the pattern's grids, 1 where shown.
TCellBits ShownCells(const OPattern& pattern, const OPicture& picture, const TPixelRuns& pixels);

} // namespace quillane
