#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "production/Production.h"
#include "setup/Colourways.h"

namespace quillane {

class OPattern;

// Whether paper in the country of this ISO 3166 code ("US", "de") is US Letter rather
// than A4.
bool UsesLetterPaper(std::string_view territory);

// A cell of a sheet's table; a swatch is a palette colour (0x00BBGGRR) drawn before the text.
struct TSheetCell {
  std::string Text;
  std::optional<uint32_t> Swatch;
  friend bool operator==(const TSheetCell&, const TSheetCell&) = default;
};

enum class TSheetBlockKind : uint8_t { Table, Picture, Bars };

// One block of the production sheet, drawn top down in lines of the sheet's text.
struct TSheetBlock {
  TSheetBlockKind Kind = TSheetBlockKind::Table;
  std::string Title;                         // bold, above the block; "" for none
  std::vector<std::string> Columns;          // a table's header; none for a list of facts
  std::vector<bool> RightAligned;            // by column: numbers line up on the right
  std::vector<std::vector<TSheetCell>> Rows; // a table's rows; under a chart, its caption
  std::vector<double> Bars;                  // m of yarn per control
  int Picture = -1;                          // the pattern's picture, from 0
  double Aspect = 1.0;                       // the picture's width over its length on the goods
  int Lines = 0;                             // lines a picture or chart takes, set by the layout
  bool NewPage = false;                      // starts a page of its own
  // A picture in a colourway: each palette index's colour (0x00BBGGRR) as drawn; empty for
  // the palette's own.
  std::vector<uint32_t> Colours;
};

struct TSheetPage {
  std::vector<TSheetBlock> Blocks;
  std::string Footer; // "rug.pat, 2026-12-07, page 1 of 2"
};

struct TSheet {
  std::string Name, Date;
  std::vector<TSheetBlock> Blocks;
};

// What the mill gets on paper: the pattern's name, size and date, its first picture as the
// design view shows it, the palette and states, the creel, the control settings, the yarn
// with its cones and the yarn per needle. In a colourway, the title names it and its colours
// and shade codes stand in the yarn, creel and palette tables; else the palette's.
TSheet BuildSheet(const OPattern& pattern, const TProductionParameters& parameters,
                  const TProductionFigures& figures, const std::string& date,
                  const TColourway* colourway = nullptr);
// Every colourway's sheet in turn, each from a new page: each colourway runs as an order of
// its own, and its pages go to the creel with its yarn, so none may send the operator to
// another colourway's pages for the figures.
TSheet BuildColourwaysSheet(const OPattern& pattern, const TProductionParameters& parameters,
                            const TProductionFigures& figures, const std::string& date,
                            const TColourways& colourways);

// The name a printed sheet goes by, which a print dialog proposes as a file name:
// "Production sheet - rug", with no character that a file name cannot hold.
std::string SheetDocumentName(const TSheet& sheet);

// Needle ranges of one yarn type, with the colour each state of it shows; a creel that
// repeats shows its first repeat only. The sheet and the Production window share it, so
// the operator's paper and the designer's screen cannot disagree.
// `colours` (0x00BBGGRR by palette index) are a colourway's; the palette's when none.
TSheetBlock CreelChart(const OPattern& pattern, const std::array<uint32_t, 256>* colours = nullptr);

// The blocks on pages of `linesPerPage` lines, each page `widthInLines` lines wide. A table
// too long for the page goes on over the next with its header again; a picture or chart is
// never cut. A picture takes the page's width, or two fifths of its length if that is less.
std::vector<TSheetPage> LayOutSheet(const TSheet& sheet, int linesPerPage, double widthInLines);

// The lines a block takes on the page: its title, header and rows (or drawing), and the gap
// below it.
int SheetBlockLines(const TSheetBlock& block);

// The length of the shortest run of yarn types the creel repeats across all its controls.
int CreelPeriod(const std::vector<uint8_t>& yarnTypes);

} // namespace quillane
