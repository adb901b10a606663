#pragma once

// The Colourways window's model: the pattern's colourways as a list, the one selected, a
// swatch per yarn type, and what each command does to the pattern. Every change is one of
// the pattern's undo steps; the window follows the pattern's notices, so an undo shows.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/PatternEvents.h"
#include "setup/Colourways.h"

namespace quillane {

class OPattern;

// A yarn type's swatch in the selected colourway.
struct TYarnSwatch {
  int YarnType = 0;
  uint32_t Colour = 0;
  std::string Code;
  // The nearest other yarn type when it looks alike on the carpet ("ΔE 2.1"), else "".
  std::string Close;
  friend bool operator==(const TYarnSwatch&, const TYarnSwatch&) = default;
};

// "ΔE 2.1": one decimal, as the swatch shows it.
std::string DeltaEText(double deltaE);

class OColourwaysEditor {
public:
  explicit OColourwaysEditor(OPattern& pattern);
  OColourwaysEditor(const OColourwaysEditor&) = delete;
  OColourwaysEditor& operator=(const OColourwaysEditor&) = delete;

  OPattern& Pattern;
  // Told whenever the list, the selection or the colours may show otherwise.
  std::function<void()> OnChange;

  int Count() const;
  const TColourway& At(int index) const;
  // The line the list shows: the name, and "Duplicate of Harbour" after it when every yarn
  // type looks like an earlier colourway's.
  std::string Caption(int index) const;
  std::string DuplicateText(int index) const;

  int Selected() const { return SelectedIndex; }
  void Select(int index);

  // Commands on the selected colourway. Each answers "" when done, else why not.
  std::string Add(const std::string& name = {});
  std::string Duplicate();
  std::string Rename(const std::string& name);
  std::string Delete();
  std::string MoveTo(int index);
  std::string MoveUp() { return MoveTo(SelectedIndex - 1); }
  std::string MoveDown() { return MoveTo(SelectedIndex + 1); }

  bool CanAdd() const;
  bool CanRename() const { return SelectedIndex > 0; }
  bool CanDelete() const { return SelectedIndex > 0; }
  bool CanMoveUp() const { return SelectedIndex > 1; }
  bool CanMoveDown() const { return SelectedIndex > 0 && SelectedIndex + 1 < Count(); }
  bool CanMakePalette() const { return SelectedIndex > 0; }

  // The selected colourway's swatches, yarn type 1 first.
  std::vector<TYarnSwatch> Swatches() const;
  std::string SetYarnColour(int yarnType, uint32_t colour);
  std::string SetEntryColour(int index, uint32_t colour);
  std::string SetCode(int yarnType, const std::string& code);
  // What the swatch's text field takes: "#RRGGBB" sets the colour, anything else (up to
  // MaxShadeCode bytes) is the shade code, nothing clears the code.
  std::string Enter(int yarnType, const std::string& text);

  // The views draw the selected colourway's colours.
  void ShowInViews();
  bool ShownInViews() const;
  // The selected colourway's colours become the palette.
  std::string MakePalette();

private:
  int SelectedIndex = 0;
  OPatternEvents::TSubscription Subscription;
  void Heard(const TPatternChange& change);
  void Tell();
  // Replaces the list as one undo step, keeping the selection and the colourway the views
  // show on the same colourways by name.
  void Store(TColourways list, const std::string& label, const std::string& select);
  std::string NameProblem(const std::string& name, int except) const;
  // "Harbour 2": the base numbered from `first` on, the first number no colourway has.
  std::string UniqueName(const std::string& base, int first) const;
};

} // namespace quillane
