#include "production/Sheet.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "elements/Picture.h"
#include "model/Pattern.h"
#include "production/ProductionFile.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/Settings.h"

namespace quillane {

bool UsesLetterPaper(std::string_view territory) {
  // The countries whose printers come set to Letter: North and Central America (bar
  // Canada's neighbours who went metric on paper too), Chile, Colombia, Venezuela and the
  // Philippines.
  static constexpr std::array<std::string_view, 14> letter{
      "BZ", "CA", "CL", "CO", "CR", "GT", "MX", "NI", "PA", "PH", "PR", "SV", "US", "VE"};
  if (territory.size() != 2)
    return false;
  const std::string code{static_cast<char>(std::toupper(static_cast<unsigned char>(territory[0]))),
                         static_cast<char>(std::toupper(static_cast<unsigned char>(territory[1])))};
  return std::find(letter.begin(), letter.end(), code) != letter.end();
}

int CreelPeriod(const std::vector<uint8_t>& yarnTypes) {
  // The longest border of the whole sequence leaves its shortest period.
  const size_t n = yarnTypes.size();
  std::vector<size_t> border(n + 1, 0);
  for (size_t i = 1; i < n; ++i) {
    size_t k = border[i];
    while (k > 0 && yarnTypes[i] != yarnTypes[k])
      k = border[k];
    border[i + 1] = yarnTypes[i] == yarnTypes[k] ? k + 1 : 0;
  }
  return static_cast<int>(n - border[n]);
}

namespace {

std::string Number(double value, const char* unit) {
  return NumberText(value) + (*unit ? " " : "") + unit;
}

bool Known(double spacing) {
  return std::isfinite(spacing) && spacing > 0;
}

TSheetBlock Facts(std::string title, std::vector<std::pair<std::string, std::string>> facts) {
  TSheetBlock b;
  b.Title = std::move(title);
  b.RightAligned = {false, false};
  for (auto& [name, value] : facts)
    b.Rows.push_back({{std::move(name), {}}, {std::move(value), {}}});
  return b;
}

TSheetBlock Table(std::string title, std::vector<std::string> columns,
                  std::vector<bool> rightAligned) {
  TSheetBlock b;
  b.Title = std::move(title);
  b.Columns = std::move(columns);
  b.RightAligned = std::move(rightAligned);
  return b;
}

std::string Range(int first, int last) {
  return first == last ? std::to_string(first) : std::to_string(first) + "-" + std::to_string(last);
}

TSheetBlock HeadBlock(const OPattern& pattern, const TProductionParameters& parameters,
                      const TProductionFigures& f, const std::string& name,
                      const std::string& date) {
  const OSettings& s = *pattern.Settings;
  std::string size = std::to_string(pattern.NoControls) + " controls x " +
                     std::to_string(pattern.NoPLines) + " PLines";
  if (Known(s.NeedleSpacing) && Known(s.PLineSpacing))
    size += " (" + MetresText(pattern.NoControls * double{s.NeedleSpacing} / 1000.0) + " x " +
            MetresText(pattern.NoPLines * double{s.PLineSpacing} / 1000.0) + ")";
  std::string run = std::to_string(f.PLines) + " PLines";
  if (parameters.RunLength > 0)
    run = Number(parameters.RunLength, "m") + ", " + run;
  run += f.FullRepeats == 1 ? ", 1 full repeat"
                            : ", " + std::to_string(f.FullRepeats) + " full repeats";
  std::vector<std::pair<std::string, std::string>> facts = {
      {"Size", size}, {"Run", run}, {"Date", date}};
  if (const std::string d = s.GetDescription(); !d.empty())
    facts.insert(facts.begin(), {"Description", d});
  return Facts("Production sheet: " + name, std::move(facts));
}

// The colour of every palette index as the sheet shows it.
std::array<uint32_t, 256> SheetColours(const OPattern& pattern, const TColourway* colourway) {
  if (colourway)
    return ColoursOf(*colourway, *pattern.Palette);
  std::array<uint32_t, 256> colours{};
  for (int i = 0; i <= pattern.Palette->NoColours(); ++i)
    colours[static_cast<size_t>(i)] = pattern.Palette->GetColour(i);
  return colours;
}

TSheetBlock PaletteBlock(const OPattern& pattern, const std::array<uint32_t, 256>& colours) {
  TSheetBlock b = Table("Palette", {"Colour", "Tufted as"}, {false, false});
  const OMachineTable& table = *pattern.MachineTable;
  for (int colour = 1; colour <= pattern.Palette->NoColours(); ++colour) {
    std::string shows;
    for (int state = 1; state <= pattern.NoStates; ++state)
      if (const OYarnType y = table.GetYarnType(colour, state); y != 0)
        shows +=
            (shows.empty() ? "" : ", ") + YarnTypeLetter(y) + " " + pattern.GetStateName(state);
    b.Rows.push_back({{std::to_string(colour), colours[static_cast<size_t>(colour)]},
                      {shows.empty() ? "no yarn" : shows, {}}});
  }
  return b;
}

TSheetBlock StatesBlock(const OPattern& pattern, const TProductionParameters& parameters,
                        const TProductionFigures& f) {
  TSheetBlock b = Table("States", {"State", "Tuft length", "Tufts"}, {false, true, true});
  for (int state = 1; state <= pattern.NoStates; ++state)
    b.Rows.push_back({{pattern.GetStateName(state), {}},
                      {Number(parameters.TuftLength[static_cast<size_t>(state - 1)], "mm"), {}},
                      {std::to_string(f.TuftsPerState[static_cast<size_t>(state)]), {}}});
  b.Rows.push_back({{"No tuft", {}}, {"", {}}, {std::to_string(f.TuftsPerState[0]), {}}});
  return b;
}

TSheetBlock SettingsBlock(const OPattern& pattern) {
  const OSettings& s = *pattern.Settings;
  // The settings are single precision: "3.175", not the double nearest to that float.
  auto given = [](float value, const char* unit) {
    if (!Known(value))
      return std::string("not set");
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return std::string(text, error == std::errc() ? end : text) + (*unit ? " " : "") + unit;
  };
  std::vector<std::pair<std::string, std::string>> facts = {
      {"Machine type", MachineTypeInfo(s.MachineType).Name},
      {"Needle spacing", given(s.NeedleSpacing, "mm")},
      {"PLine spacing", given(s.PLineSpacing, "mm")},
      {"Stitch count", given(s.GetStitchCount(), "")}};
  if (const std::string code = s.GetSizeCode(); !code.empty())
    facts.emplace_back("Size code", code);
  if (const std::string code = s.GetStyleCode(); !code.empty())
    facts.emplace_back("Style code", code);
  return Facts("Control settings", std::move(facts));
}

TSheetBlock YarnBlock(const OPattern& pattern, const TProductionParameters& parameters,
                      const TProductionFigures& f, const std::array<uint32_t, 256>& colours,
                      const TColourway* colourway) {
  TSheetBlock b = Table(
      "Yarn", {"Yarn type", "Shade", "Count", "Length", "Weight", "With waste", "Ends", "Packages"},
      {false, false, true, true, true, true, true, true});
  const std::vector<TPrintedYarn> printed = PrintedYarnTable(f);
  uint64_t ends = 0;
  for (size_t i = 0; i < printed.size(); ++i) {
    const bool total = i == f.YarnTypes.size();
    std::string name = "Total", count, code;
    std::optional<uint32_t> swatch;
    if (!total) {
      const TYarnTypeFigures& y = f.YarnTypes[i];
      const TYarnCount& c = parameters.YarnCounts[y.YarnType - 1u];
      name = YarnTypeLetter(y.YarnType);
      // The colour the yarn type's first state shows, the one a designer picks it by.
      if (const uint8_t index = YarnColourIndex(*pattern.MachineTable, y.YarnType); index != 0)
        swatch = colours[index];
      if (colourway)
        code = colourway->Code(y.YarnType);
      count = Number(c.Value, c.Unit == TYarnCountUnit::Dtex ? "dtex" : "Nm");
      ends += y.Ends;
    }
    b.Rows.push_back({{name, swatch},
                      {code, {}},
                      {count, {}},
                      {DecimalText(printed[i].Centimetres, 2) + " m", {}},
                      {DecimalText(printed[i].Grams, 3) + " kg", {}},
                      {DecimalText(printed[i].GramsWithWaste, 3) + " kg", {}},
                      {std::to_string(total ? ends : f.YarnTypes[i].Ends), {}},
                      {std::to_string(total ? f.Packages : f.YarnTypes[i].Packages), {}}});
  }
  b.Rows.push_back(
      {{PackagesText(parameters, f.Packages) + "; " + Number(parameters.Waste, "%") + " waste",
        {}}});
  b.Rows.push_back({{FirstEmptyText(f.FirstEmpty), {}}});
  return b;
}

} // namespace

TSheetBlock CreelChart(const OPattern& pattern, const std::array<uint32_t, 256>* colours) {
  std::vector<uint8_t> yarns;
  for (int control = 1; control <= pattern.NoControls; ++control)
    yarns.push_back(pattern.Creel->GetYarnType(control));
  const int period = CreelPeriod(yarns);
  std::vector<std::string> columns = {"Needles", "Yarn type"};
  for (int state = 1; state <= pattern.NoStates; ++state)
    columns.push_back(pattern.GetStateName(state));
  const std::string all = std::to_string(pattern.NoControls);
  TSheetBlock b = Table(period == pattern.NoControls ? "Creel"
                        : period == 1 ? "Creel: one yarn type on all " + all + " needles"
                                      : "Creel: needles 1-" + std::to_string(period) +
                                            " repeated across all " + all,
                        std::move(columns), std::vector<bool>(2 + pattern.NoStates, false));
  for (int first = 1; first <= period;) {
    const uint8_t y = yarns[static_cast<size_t>(first - 1)];
    int last = first;
    while (last < period && yarns[static_cast<size_t>(last)] == y)
      ++last;
    std::vector<TSheetCell> row = {{Range(first, last), {}},
                                   {y == 0 ? "none" : YarnTypeLetter(y), {}}};
    for (int state = 1; state <= pattern.NoStates; ++state) {
      const OPaletteEntry colour = y == 0 ? 0 : pattern.MachineTable->GetColour(y, state);
      if (colour == 0)
        row.push_back({"", {}});
      else
        row.push_back({std::to_string(colour),
                       colours ? (*colours)[colour] : pattern.Palette->GetColour(colour)});
    }
    b.Rows.push_back(std::move(row));
    first = last + 1;
  }
  return b;
}

std::string SheetDocumentName(const TSheet& sheet) {
  std::string name = std::filesystem::path(sheet.Name).stem().string();
  // What Windows refuses in a name is refused by some file systems everywhere.
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 0x20 ||
        std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos)
      c = '_';
  return "Production sheet - " + (name.empty() ? std::string("Untitled") : name);
}

TSheet BuildSheet(const OPattern& pattern, const TProductionParameters& parameters,
                  const TProductionFigures& f, const std::string& date,
                  const TColourway* colourway) {
  TSheet sheet;
  sheet.Name = std::filesystem::path(pattern.FileName).filename().string();
  if (sheet.Name.empty())
    sheet.Name = "Untitled";
  sheet.Date = date;
  const std::array<uint32_t, 256> colours = SheetColours(pattern, colourway);
  sheet.Blocks.push_back(
      HeadBlock(pattern, parameters, f,
                colourway ? sheet.Name + ", colourway " + colourway->Name : sheet.Name, date));
  if (pattern.Pictures->Count() > 0) {
    const OPicture& picture = *pattern.Pictures->Get(0);
    if (picture.Width > 0 && picture.Height > 0) {
      TSheetBlock b;
      b.Kind = TSheetBlockKind::Picture;
      b.Title = picture.NodeName.empty() ? "Picture" : "Picture: " + picture.NodeName;
      b.Picture = 0;
      if (colourway)
        b.Colours.assign(colours.begin(), colours.end());
      // Rows stand as far apart as the PLines; the view's own bounds on the ratio hold.
      const float ratio = picture.AspectRatio;
      const double rowHeight =
          std::isfinite(ratio) && ratio >= 1e-3f && ratio <= 1e3f ? ratio : 1.0;
      b.Aspect = picture.Width / (picture.Height * rowHeight);
      sheet.Blocks.push_back(std::move(b));
    }
  }
  sheet.Blocks.push_back(YarnBlock(pattern, parameters, f, colours, colourway));
  TSheetBlock bars;
  bars.Kind = TSheetBlockKind::Bars;
  bars.Title = "Yarn per needle";
  for (const TNeedleFigures& n : f.Needles)
    bars.Bars.push_back(n.Length);
  // Two lines: with five needles named, one is wider than the page.
  const std::string balance = BalanceText(f.Balance);
  const size_t split = balance.find("; ");
  bars.Rows.push_back({{balance.substr(0, split), {}}});
  if (split != std::string::npos) {
    std::string furthest = balance.substr(split + 2);
    furthest[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(furthest[0])));
    bars.Rows.push_back({{furthest, {}}});
  }
  sheet.Blocks.push_back(std::move(bars));
  sheet.Blocks.push_back(CreelChart(pattern, &colours));
  sheet.Blocks.push_back(PaletteBlock(pattern, colours));
  sheet.Blocks.push_back(StatesBlock(pattern, parameters, f));
  sheet.Blocks.push_back(SettingsBlock(pattern));
  return sheet;
}

TSheet BuildColourwaysSheet(const OPattern& pattern, const TProductionParameters& parameters,
                            const TProductionFigures& figures, const std::string& date,
                            const TColourways& colourways) {
  TSheet sheet;
  for (const TColourway& colourway : colourways.List) {
    TSheet one = BuildSheet(pattern, parameters, figures, date, &colourway);
    one.Blocks.front().NewPage = true;
    sheet.Name = one.Name;
    sheet.Date = one.Date;
    for (TSheetBlock& block : one.Blocks)
      sheet.Blocks.push_back(std::move(block));
  }
  return sheet;
}

int SheetBlockLines(const TSheetBlock& block) {
  return (block.Title.empty() ? 0 : 1) + (block.Columns.empty() ? 0 : 1) +
         static_cast<int>(block.Rows.size()) + block.Lines + 1;
}

std::vector<TSheetPage> LayOutSheet(const TSheet& sheet, int linesPerPage, double widthInLines) {
  // Fewer lines than this leave no room for a picture beside its title.
  linesPerPage = std::max(linesPerPage, 16);
  // Rows a table must carry onto a page for its title and header to be worth starting there.
  constexpr int fewestRows = 3;
  std::vector<TSheetPage> pages(1);
  int left = linesPerPage;
  auto newPage = [&] {
    pages.emplace_back();
    left = linesPerPage;
  };
  auto place = [&](TSheetBlock block) {
    left -= SheetBlockLines(block);
    pages.back().Blocks.push_back(std::move(block));
  };
  for (TSheetBlock block : sheet.Blocks) {
    if (block.Kind == TSheetBlockKind::Picture) {
      const double length = std::ceil(widthInLines / block.Aspect);
      block.Lines = linesPerPage * 2 / 5;
      if (length >= 1 && length < block.Lines)
        block.Lines = static_cast<int>(length);
    } else if (block.Kind == TSheetBlockKind::Bars)
      block.Lines = linesPerPage / 5;
    if (block.NewPage && !pages.back().Blocks.empty())
      newPage();
    const bool pageEmpty = pages.back().Blocks.empty();
    if (SheetBlockLines(block) <= left || (pageEmpty && block.Kind != TSheetBlockKind::Table)) {
      place(std::move(block));
      continue;
    }
    if (block.Kind != TSheetBlockKind::Table ||
        (SheetBlockLines(block) <= linesPerPage && block.Rows.size() <= 10)) {
      newPage();
      place(std::move(block));
      continue;
    }
    // A long table fills what is left of the page, then page after page.
    TSheetBlock rest = std::move(block);
    auto overhead = [&rest] { return SheetBlockLines(rest) - static_cast<int>(rest.Rows.size()); };
    if (left - overhead() < fewestRows)
      newPage();
    while (SheetBlockLines(rest) > left) {
      TSheetBlock part = rest;
      const auto take = static_cast<ptrdiff_t>(left - overhead());
      part.Rows.assign(rest.Rows.begin(), rest.Rows.begin() + take);
      rest.Rows.erase(rest.Rows.begin(), rest.Rows.begin() + take);
      place(std::move(part));
      newPage();
      if (rest.Title.find(" (continued)") == std::string::npos)
        rest.Title += " (continued)";
    }
    place(std::move(rest));
  }
  const size_t count = pages.size();
  for (size_t i = 0; i < count; ++i)
    pages[i].Footer = sheet.Name + ", " + sheet.Date + ", page " + std::to_string(i + 1) + " of " +
                      std::to_string(count);
  return pages;
}

} // namespace quillane
