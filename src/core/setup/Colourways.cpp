#include "setup/Colourways.h"

#include <algorithm>

#include "app/Exceptions.h"
#include "data/Record.h"
#include "imaging/Colour.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane {

std::string TColourway::Code(int yarnType) const {
  if (yarnType < 1 || static_cast<size_t>(yarnType) >= Codes.size())
    return {};
  return Codes[static_cast<size_t>(yarnType)];
}

void TColourway::SetCode(int yarnType, std::string code) {
  // Past 191 the yarn types have no letter to name them by in the colourways file.
  if (yarnType < 1 || yarnType > 191)
    return;
  if (code.size() > MaxShadeCode)
    code.resize(MaxShadeCode);
  const auto y = static_cast<size_t>(yarnType);
  if (y >= Codes.size()) {
    if (code.empty())
      return;
    Codes.resize(y + 1);
  }
  Codes[y] = std::move(code);
  // One colourway, one list: trailing empty codes would make equal colourways differ.
  while (!Codes.empty() && Codes.back().empty())
    Codes.pop_back();
}

int TColourways::Find(const std::string& name) const {
  for (size_t i = 0; i < List.size(); ++i)
    if (List[i].Name == name)
      return static_cast<int>(i);
  return -1;
}

bool TColourways::Trivial() const {
  if (List.size() != 1)
    return false;
  const TColourway& original = List.front();
  return original.Name == OriginalColourwayName &&
         std::none_of(original.Set.begin(), original.Set.end(), [](bool b) { return b; }) &&
         std::all_of(original.Codes.begin(), original.Codes.end(),
                     [](const std::string& c) { return c.empty(); });
}

std::vector<uint8_t> UsedPaletteIndices(const OMachineTable& table) {
  std::vector<uint8_t> indices;
  if (table.NeedsValidating())
    return indices;
  std::array<bool, 256> used{};
  for (int y = 1; y <= table.NoYarnTypes(); ++y)
    for (int s = 1; s <= table.NoStates(); ++s)
      used[table.GetColour(y, s)] = true;
  for (size_t i = 1; i < used.size(); ++i)
    if (used[i])
      indices.push_back(static_cast<uint8_t>(i));
  return indices;
}

uint8_t YarnColourIndex(const OMachineTable& table, int yarnType) {
  if (table.NeedsValidating())
    return 0;
  for (int s = 1; s <= table.NoStates(); ++s)
    if (const uint8_t index = table.GetColour(yarnType, s))
      return index;
  return 0;
}

std::array<uint32_t, 256> ColoursOf(const TColourway& colourway, const OPalette& palette) {
  std::array<uint32_t, 256> colours{};
  for (size_t i = 0; i < colours.size(); ++i)
    colours[i] = colourway.Set[i] ? colourway.Colours[i] : palette.GetColour(static_cast<int>(i));
  return colours;
}

uint32_t YarnColour(const TColourway& colourway, const OPalette& palette,
                    const OMachineTable& table, int yarnType) {
  const uint8_t index = YarnColourIndex(table, yarnType);
  return colourway.Set[index] ? colourway.Colours[index] : palette.GetColour(index);
}

TColourway NewColourway(const std::string& name, const OPalette& palette,
                        const OMachineTable& table) {
  TColourway colourway{name, {}, {}, {}};
  for (const uint8_t index : UsedPaletteIndices(table))
    SetEntryColour(colourway, index, palette.GetColour(index));
  return colourway;
}

void SetYarnColour(TColourway& colourway, const OPalette& palette, const OMachineTable& table,
                   int yarnType, uint32_t colour) {
  const uint8_t first = YarnColourIndex(table, yarnType);
  if (first == 0)
    return;
  const TLab wanted = LabOf(colour);
  const double firstL = LabOf(palette.GetColour(first)).L;
  for (int s = 1; s <= table.NoStates(); ++s) {
    const uint8_t index = table.GetColour(yarnType, s);
    if (index == 0)
      continue;
    if (index == first) {
      SetEntryColour(colourway, index, colour);
      continue;
    }
    const double step = LabOf(palette.GetColour(index)).L - firstL;
    const double l = std::clamp(wanted.L + step, 0.0, 100.0);
    SetEntryColour(colourway, index, ColourOfLab({l, wanted.A, wanted.B}));
  }
}

void SetEntryColour(TColourway& colourway, int index, uint32_t colour) {
  // The undefined colour is no yarn's: a colourway leaves it to the palette.
  if (index < 1 || index > 255)
    return;
  colourway.Colours[static_cast<size_t>(index)] = colour & 0xFFFFFF;
  colourway.Set[static_cast<size_t>(index)] = true;
}

std::vector<TCloseYarns> CloseYarnTypes(const TColourway& colourway, const OPalette& palette,
                                        const OMachineTable& table) {
  std::vector<TCloseYarns> close;
  std::vector<std::pair<int, TLab>> yarns;
  for (int y = 1; y <= table.NoYarnTypes(); ++y)
    if (YarnColourIndex(table, y) != 0)
      yarns.emplace_back(y, LabOf(YarnColour(colourway, palette, table, y)));
  for (size_t i = 0; i < yarns.size(); ++i)
    for (size_t j = i + 1; j < yarns.size(); ++j) {
      const double d = DeltaE2000(yarns[i].second, yarns[j].second);
      if (d < CloseYarnDeltaE)
        close.push_back({yarns[i].first, yarns[j].first, d});
    }
  return close;
}

int DuplicateOf(const TColourways& colourways, int index, const OPalette& palette,
                const OMachineTable& table) {
  if (index < 0 || static_cast<size_t>(index) >= colourways.List.size())
    return -1;
  const TColourway& mine = colourways.List[static_cast<size_t>(index)];
  for (int other = 0; other < index; ++other) {
    const TColourway& theirs = colourways.List[static_cast<size_t>(other)];
    bool compared = false, alike = true;
    for (int y = 1; y <= table.NoYarnTypes() && alike; ++y) {
      if (YarnColourIndex(table, y) == 0)
        continue;
      compared = true;
      alike = DeltaE2000(LabOf(YarnColour(mine, palette, table, y)),
                         LabOf(YarnColour(theirs, palette, table, y))) < DuplicateDeltaE;
    }
    // With no yarn colour to compare, nothing says the two look alike.
    if (compared && alike)
      return other;
  }
  return -1;
}

std::string HexColour(uint32_t colour) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text = "#";
  for (const int c : {RedOf(colour), GreenOf(colour), BlueOf(colour)}) {
    text += digits[c >> 4];
    text += digits[c & 15];
  }
  return text;
}

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}
} // namespace

bool ReadHexColour(const std::string& text, uint32_t& colour) {
  if (text.size() != 7 || text[0] != '#')
    return false;
  int channels[3];
  for (int i = 0; i < 3; ++i) {
    const int high = HexDigit(text[static_cast<size_t>(1 + 2 * i)]);
    const int low = HexDigit(text[static_cast<size_t>(2 + 2 * i)]);
    if (high < 0 || low < 0)
      return false;
    channels[i] = high * 16 + low;
  }
  colour = RGBOf(channels[0], channels[1], channels[2]);
  return true;
}

namespace {

void WriteText(OWriter& stream, const std::string& text) {
  stream.WriteCardinal(static_cast<uint32_t>(text.size()));
  stream.Write(text.data(), text.size());
}

std::string ReadText(OReader& stream) {
  const uint32_t size = stream.ReadCardinal();
  const auto bytes = stream.ReadSpan(size);
  return std::string(bytes.begin(), bytes.end());
}

} // namespace

void WriteColourways(OWriter& stream, const TColourways& colourways) {
  stream.WriteCardinal(static_cast<uint32_t>(colourways.List.size()));
  for (const TColourway& c : colourways.List) {
    WriteText(stream, c.Name);
    for (size_t i = 0; i < c.Set.size(); ++i)
      stream.WriteByte(c.Set[i] ? 1 : 0);
    for (size_t i = 0; i < c.Set.size(); ++i)
      if (c.Set[i])
        stream.WriteColour(c.Colours[i]);
    stream.WriteCardinal(static_cast<uint32_t>(c.Codes.size()));
    for (const std::string& code : c.Codes)
      WriteText(stream, code);
  }
}

TColourways ReadColourways(OReader& stream) {
  TColourways colourways;
  const uint32_t count = stream.ReadCardinal();
  if (count == 0 || count > MaxColourways)
    throw EReadError();
  colourways.List.assign(count, TColourway{});
  for (TColourway& c : colourways.List) {
    c.Name = ReadText(stream);
    for (size_t i = 0; i < c.Set.size(); ++i)
      c.Set[i] = stream.ReadByte() != 0;
    for (size_t i = 0; i < c.Set.size(); ++i)
      if (c.Set[i])
        c.Colours[i] = stream.ReadColour();
    const uint32_t codes = stream.ReadCardinal();
    if (codes > 256)
      throw EReadError();
    c.Codes.resize(codes);
    for (std::string& code : c.Codes)
      code = ReadText(stream);
  }
  return colourways;
}

} // namespace quillane
