#pragma once

// Carpet on paper at its real size, for a paper strike-off: a tuft on the page is as wide as
// on the floor, to within a sixteenth of an inch over the page. An area larger than the paper
// is cut into pages that abut at their crop marks, to be trimmed and taped together.
#include <cstdint>
#include <string>
#include <vector>

#include "app/LargeBuffer.h"

class QPainter;
class QRectF;

namespace quillane {

class OCarpetPicture;

enum class TPaper : uint8_t { A4, Letter };

struct TTrueSizeOptions {
  // The part of the picture printed, mm from its top left (across, along).
  double Left = 0, Top = 0, Width = 0, Length = 0;
  TPaper Paper = TPaper::A4;
  // The carpet's pixels per inch on paper: sharp enough to see each tuft of a fine gauge, small
  // enough that a page's image stays a few megabytes.
  int Dpi = 150;
  // The repeat's (or the tiles' and widths') edges, mm from the picture's top left: ticked in
  // the margins so that the repeat can be found on the taped-up sheet.
  std::vector<double> EdgesAcross, EdgesAlong;
  std::string Title; // UTF-8, at the head of every page
};

// Where the carpet lies on every page, in mm of paper from its top left.
constexpr double TrueSizeMarginLeft = 12, TrueSizeMarginRight = 12, TrueSizeMarginTop = 16,
                 TrueSizeMarginBottom = 32;
constexpr int TrueSizeDpiLowest = 72, TrueSizeDpiHighest = 300;
// More pages than a person would tape together is a mistake in the area, not a print.
constexpr int TrueSizeMostPages = 400;

// One sheet: the part of the area it carries (mm of the picture) and its place in the grid
// of sheets, from 1.
struct TTrueSizePage {
  int Column = 1, Row = 1;
  double Left = 0, Top = 0, Width = 0, Length = 0;
};
struct TTrueSizeLayout {
  double PaperWidth = 210, PaperHeight = 297; // mm, as the sheets are turned
  bool Landscape = false;
  int Columns = 1, Rows = 1;
  std::vector<TTrueSizePage> Pages; // a row of sheets after another, from the top left
  // The carpet's box on the paper, mm: every sheet's part starts at its top left.
  double CarpetWidth() const { return PaperWidth - TrueSizeMarginLeft - TrueSizeMarginRight; }
  double CarpetLength() const { return PaperHeight - TrueSizeMarginTop - TrueSizeMarginBottom; }
};
// The sheets the area takes, the paper turned whichever way takes fewer (upright when even).
// Throws Exception for an empty area or one of more than TrueSizeMostPages sheets.
TTrueSizeLayout TrueSizePages(const TTrueSizeOptions& options);

// Draws sheet `index` of the layout with the painter: the carpet, its crop marks when there
// are several sheets, the edges' ticks, the scale bars and the sheet's place. `paper` is the
// whole sheet in the painter's units, so the same drawing goes to a PDF or, through a printer
// set to its full page and turned as the layout says, to paper.
void PaintTrueSizePage(QPainter& painter, const QRectF& paper, const OCarpetPicture& picture,
                       const TTrueSizeOptions& options, const TTrueSizeLayout& layout,
                       size_t index);

// The whole print as a PDF. Needs an application object for the fonts. Throws Exception as
// TrueSizePages does.
TBytes TrueSizePdfBytes(const OCarpetPicture& picture, const TTrueSizeOptions& options);
// Writes it atomically; throws Exception when it cannot be made or written.
void SaveTrueSizePdf(const std::string& path, const OCarpetPicture& picture,
                     const TTrueSizeOptions& options);

} // namespace quillane
