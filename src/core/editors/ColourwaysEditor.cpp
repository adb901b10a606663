#include "editors/ColourwaysEditor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "model/Pattern.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane {

std::string DeltaEText(double deltaE) {
  char text[32];
  std::snprintf(text, sizeof text,
                "\xCE\x94"
                "E %.1f",
                deltaE);
  return text;
}

OColourwaysEditor::OColourwaysEditor(OPattern& pattern) : Pattern(pattern) {
  Subscription = Pattern.Events.Subscribe([this](const TPatternChange& c) { Heard(c); });
}

void OColourwaysEditor::Heard(const TPatternChange& change) {
  using K = TPatternChange::TKind;
  // The swatches follow the palette and the machine table too: the Original is the palette,
  // and a yarn type's colour is its first state's entry.
  if (change.Kind == K::All ||
      (change.Kind == K::Setup && (change.Object == TDesignRecordKind::Colourways ||
                                   change.Object == TDesignRecordKind::Palette ||
                                   change.Object == TDesignRecordKind::MachineTable)))
    Tell();
}

void OColourwaysEditor::Tell() {
  // An undo may take away the colourway selected.
  SelectedIndex = std::clamp(SelectedIndex, 0, Count() - 1);
  if (OnChange)
    OnChange();
}

int OColourwaysEditor::Count() const {
  return static_cast<int>(Pattern.Colourways().List.size());
}

const TColourway& OColourwaysEditor::At(int index) const {
  return Pattern.Colourways().List.at(static_cast<size_t>(index));
}

std::string OColourwaysEditor::DuplicateText(int index) const {
  const int of = DuplicateOf(Pattern.Colourways(), index, *Pattern.Palette, *Pattern.MachineTable);
  return of < 0 ? std::string() : "Duplicate of " + At(of).Name;
}

std::string OColourwaysEditor::Caption(int index) const {
  const std::string duplicate = DuplicateText(index);
  return duplicate.empty() ? At(index).Name : At(index).Name + " (" + duplicate + ")";
}

void OColourwaysEditor::Select(int index) {
  if (index < 0 || index >= Count() || index == SelectedIndex)
    return;
  SelectedIndex = index;
  if (OnChange)
    OnChange();
}

bool OColourwaysEditor::CanAdd() const {
  return Pattern.Colourways().List.size() < MaxColourways;
}

std::string OColourwaysEditor::NameProblem(const std::string& name, int except) const {
  if (name.empty())
    return "A colourway needs a name";
  if (name.size() > MaxColourwayName)
    return "A colourway's name has at most " + std::to_string(MaxColourwayName) + " characters";
  if (name.find_first_of("\r\n\t") != std::string::npos)
    return "A colourway's name is one line";
  const int found = Pattern.Colourways().Find(name);
  if (found >= 0 && found != except)
    return "There is a colourway named " + name + " already";
  return {};
}

std::string OColourwaysEditor::UniqueName(const std::string& base, int first) const {
  for (int n = first;; ++n) {
    const std::string suffix = " " + std::to_string(n);
    // Cut the base rather than the number when the name would be too long.
    const std::string name =
        base.substr(0, std::min(base.size(), MaxColourwayName - suffix.size())) + suffix;
    if (Pattern.Colourways().Find(name) < 0)
      return name;
  }
}

void OColourwaysEditor::Store(TColourways list, const std::string& label,
                              const std::string& select) {
  const std::string shown =
      Pattern.Colourways()
          .List.at(static_cast<size_t>(std::clamp(Pattern.ShownColourway(), 0, Count() - 1)))
          .Name;
  const int shownBefore = Pattern.ShownColourway();
  Pattern.SetColourways(std::move(list), label);
  // The views go on showing the colourway they showed wherever it now stands, or the
  // palette when it went.
  const int shownNow = std::max(Pattern.Colourways().Find(shown), 0);
  if (shownBefore != 0 || shownNow != 0)
    Pattern.ShowColourway(shownNow);
  SelectedIndex = std::max(Pattern.Colourways().Find(select), 0);
  Tell();
}

std::string OColourwaysEditor::Add(const std::string& wanted) {
  if (!CanAdd())
    return "A pattern has at most " + std::to_string(MaxColourways) + " colourways";
  const std::string name = wanted.empty() ? UniqueName("Colourway", 1) : wanted;
  if (std::string why = NameProblem(name, -1); !why.empty())
    return why;
  TColourways list = Pattern.Colourways();
  list.List.push_back(NewColourway(name, *Pattern.Palette, *Pattern.MachineTable));
  Store(std::move(list), "Add Colourway " + name, name);
  return {};
}

std::string OColourwaysEditor::Duplicate() {
  if (!CanAdd())
    return "A pattern has at most " + std::to_string(MaxColourways) + " colourways";
  const TColourway& from = At(SelectedIndex);
  const std::string name = UniqueName(from.Name, 2);
  // The Original's colours are the palette's: the copy holds them as they are now.
  TColourway copy =
      SelectedIndex == 0 ? NewColourway(name, *Pattern.Palette, *Pattern.MachineTable) : from;
  copy.Name = name;
  copy.Codes = from.Codes;
  TColourways list = Pattern.Colourways();
  list.List.insert(list.List.begin() + SelectedIndex + 1, std::move(copy));
  Store(std::move(list), "Duplicate Colourway " + from.Name, name);
  return {};
}

std::string OColourwaysEditor::Rename(const std::string& name) {
  if (!CanRename())
    return "The Original is the pattern's palette and keeps its name";
  const std::string old = At(SelectedIndex).Name;
  if (name == old)
    return {};
  if (std::string why = NameProblem(name, SelectedIndex); !why.empty())
    return why;
  TColourways list = Pattern.Colourways();
  list.List[static_cast<size_t>(SelectedIndex)].Name = name;
  Store(std::move(list), "Rename Colourway " + old, name);
  return {};
}

std::string OColourwaysEditor::Delete() {
  if (!CanDelete())
    return "The Original is the pattern's palette and cannot be deleted";
  TColourways list = Pattern.Colourways();
  const std::string name = At(SelectedIndex).Name;
  list.List.erase(list.List.begin() + SelectedIndex);
  // The one after it is selected, or the one before when it was the last.
  const size_t next = std::min(static_cast<size_t>(SelectedIndex), list.List.size() - 1);
  const std::string select = list.List[next].Name;
  Store(std::move(list), "Delete Colourway " + name, select);
  return {};
}

std::string OColourwaysEditor::MoveTo(int index) {
  if (SelectedIndex == 0 || index == 0)
    return "The Original stays first";
  if (index < 1 || index >= Count())
    return {};
  if (index == SelectedIndex)
    return {};
  TColourways list = Pattern.Colourways();
  TColourway moved = std::move(list.List[static_cast<size_t>(SelectedIndex)]);
  list.List.erase(list.List.begin() + SelectedIndex);
  list.List.insert(list.List.begin() + index, std::move(moved));
  const std::string name = At(SelectedIndex).Name;
  Store(std::move(list), "Move Colourway " + name, name);
  return {};
}

std::vector<TYarnSwatch> OColourwaysEditor::Swatches() const {
  const TColourway& way = At(SelectedIndex);
  const OPalette& palette = *Pattern.Palette;
  const OMachineTable& table = *Pattern.MachineTable;
  std::vector<TYarnSwatch> swatches;
  for (int y = 1; y <= Pattern.NoYarnTypes; ++y)
    swatches.push_back({y, YarnColour(way, palette, table, y), way.Code(y), {}});
  // Each swatch names its nearest look-alike.
  std::vector<double> nearest(swatches.size(), -1);
  for (const TCloseYarns& close : CloseYarnTypes(way, palette, table))
    for (const int y : {close.First, close.Second})
      if (y >= 1 && y <= static_cast<int>(swatches.size())) {
        double& d = nearest[static_cast<size_t>(y - 1)];
        if (d < 0 || close.DeltaE < d)
          d = close.DeltaE;
      }
  for (size_t i = 0; i < swatches.size(); ++i)
    if (nearest[i] >= 0)
      swatches[i].Close = DeltaEText(nearest[i]);
  return swatches;
}

std::string OColourwaysEditor::SetYarnColour(int yarnType, uint32_t colour) {
  if (yarnType < 1 || yarnType > Pattern.NoYarnTypes)
    return "There is no yarn type " + std::to_string(yarnType);
  // The Original's colours are the palette's: the pattern writes them there.
  Pattern.SetYarnColour(SelectedIndex, yarnType, colour & 0xFFFFFF);
  return {};
}

std::string OColourwaysEditor::SetEntryColour(int index, uint32_t colour) {
  if (index < 0 || index > Pattern.Palette->NoColours())
    return "There is no palette entry " + std::to_string(index);
  Pattern.SetEntryColour(SelectedIndex, index, colour & 0xFFFFFF);
  return {};
}

std::string OColourwaysEditor::SetCode(int yarnType, const std::string& code) {
  if (yarnType < 1 || yarnType > Pattern.NoYarnTypes)
    return "There is no yarn type " + std::to_string(yarnType);
  if (code.size() > MaxShadeCode)
    return "A shade code has at most " + std::to_string(MaxShadeCode) + " characters";
  if (code.find_first_of("\r\n\t") != std::string::npos)
    return "A shade code is one line";
  if (At(SelectedIndex).Code(yarnType) == code)
    return {};
  TColourways list = Pattern.Colourways();
  TColourway& way = list.List[static_cast<size_t>(SelectedIndex)];
  way.SetCode(yarnType, code);
  Store(std::move(list), "Shade Code Yarn " + std::to_string(yarnType) + " in " + way.Name,
        way.Name);
  return {};
}

std::string OColourwaysEditor::Enter(int yarnType, const std::string& typed) {
  // Spaces around what was pasted are no part of it.
  const size_t first = typed.find_first_not_of(" \t");
  const std::string text = first == std::string::npos
                               ? std::string()
                               : typed.substr(first, typed.find_last_not_of(" \t") - first + 1);
  if (!text.empty() && text[0] == '#') {
    uint32_t colour = 0;
    if (!ReadHexColour(text, colour))
      return "A colour is typed as #RRGGBB, such as #1F4E79";
    return SetYarnColour(yarnType, colour);
  }
  return SetCode(yarnType, text);
}

void OColourwaysEditor::ShowInViews() {
  Pattern.ShowColourway(SelectedIndex);
  Tell();
}

bool OColourwaysEditor::ShownInViews() const {
  return Pattern.ShownColourway() == SelectedIndex;
}

std::string OColourwaysEditor::MakePalette() {
  if (!CanMakePalette())
    return "The Original is the palette already";
  Pattern.MakePalette(SelectedIndex);
  Tell();
  return {};
}

} // namespace quillane
