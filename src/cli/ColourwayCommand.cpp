// The colourway command: the colourings of a pattern, kept beside it, listed and changed
// without touching the pattern file.
#include <iostream>

#include "Cli.h"
#include "model/Pattern.h"
#include "production/ColourwaysFile.h"
#include "production/Production.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane {

namespace {

std::string KnownNames(const TColourways& colourways) {
  std::string names;
  for (const TColourway& c : colourways.List)
    names += (names.empty() ? "" : ", ") + c.Name;
  return names;
}

// A name a new colourway (or a renamed one) may take.
void CheckNewName(const TColourways& colourways, const std::string& name,
                  const std::string& option) {
  if (name.empty() || name.size() > MaxColourwayName)
    throw CLI::ValidationError(option, "a colourway's name is 1 to " +
                                           std::to_string(MaxColourwayName) + " characters: \"" +
                                           name + "\"");
  for (const char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      throw CLI::ValidationError(option, "a colourway's name holds no control characters");
  if (colourways.Find(name) >= 0)
    throw CLI::ValidationError(option, "there is a colourway " + name + " already");
}

int YarnTypeNamed(const OPattern& pattern, const std::string& letter) {
  for (int y = 1; y <= pattern.NoYarnTypes; ++y)
    if (YarnTypeLetter(static_cast<OYarnType>(y)) == letter)
      return y;
  return 0;
}

// Applies "A=#RRGGBB[:CODE]" to the colourway. The Original is the pattern's palette, which
// this command never writes: only its shade codes change here.
void SetYarn(TColourway& colourway, bool original, const OPattern& pattern,
             const std::string& text) {
  const size_t equals = text.find('=');
  const int yarn = equals == std::string::npos ? 0 : YarnTypeNamed(pattern, text.substr(0, equals));
  if (yarn == 0)
    throw CLI::ValidationError("--yarn", "expected A=#RRGGBB[:CODE] with a yarn type of the "
                                         "pattern (A to " +
                                             YarnTypeLetter(static_cast<OYarnType>(
                                                 std::max(1, int{pattern.NoYarnTypes}))) +
                                             "): " + text);
  const std::string rest = text.substr(equals + 1);
  const size_t colon = rest.find(':');
  uint32_t colour = 0;
  if (!ReadHexColour(rest.substr(0, colon), colour))
    throw CLI::ValidationError("--yarn", "expected a colour #RRGGBB: " + text);
  if (colon != std::string::npos) {
    const std::string code = rest.substr(colon + 1);
    if (code.size() > MaxShadeCode)
      throw CLI::ValidationError("--yarn", "a shade code is at most " +
                                               std::to_string(MaxShadeCode) +
                                               " characters: " + code);
    for (const char c : code)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
        throw CLI::ValidationError("--yarn", "a shade code holds no control characters");
    colourway.SetCode(yarn, code);
  }
  const uint32_t now = YarnColour(colourway, *pattern.Palette, *pattern.MachineTable, yarn);
  if (colour == now)
    return;
  if (original)
    throw TCliFailure(std::string("The colours of the ") + OriginalColourwayName +
                      " are the pattern's palette; change them in the pattern, or add a "
                      "colourway");
  SetYarnColour(colourway, *pattern.Palette, *pattern.MachineTable, yarn, colour);
}

} // namespace

TColourways ColourwaysBeside(const std::string& patternPath) {
  try {
    return LoadColourways(patternPath);
  } catch (const std::exception& e) {
    throw TCliFailure(Named(e, ColourwaysFileName(patternPath)));
  }
}

int ColourwayNamed(const TColourways& colourways, const std::string& name,
                   const std::string& option) {
  const int index = colourways.Find(name);
  if (index < 0)
    throw CLI::ValidationError(option, "no colourway " + name +
                                           "; the pattern's colourways: " + KnownNames(colourways));
  return index;
}

void AddColourwayCommand(CLI::App& app, TCommands& commands) {
  struct TArgs {
    std::string In, Name, From, NewName;
    std::vector<std::string> Yarns;
  };
  auto a = std::make_shared<TArgs>();
  CLI::App* cmd = app.add_subcommand(
      "colourway", "List or change a pattern's colourways, kept in NAME.colourways.json beside "
                   "the pattern (the pattern file is not written)");
  cmd->add_option("PAT", a->In, "The pattern file")->required();
  cmd->require_subcommand(1);
  CLI::App* list =
      cmd->add_subcommand("list", "Each colourway's name, then per yarn type its colour and code");
  CLI::App* add = cmd->add_subcommand("add", "A new colourway, from the palette or --from another");
  add->add_option("NAME", a->Name, "The new colourway's name")->required();
  add->add_option("--from", a->From, "The colourway it starts as (default: the palette)");
  add->add_option("--yarn", a->Yarns, "A=#RRGGBB[:CODE]: a yarn type's colour and shade code");
  CLI::App* set = cmd->add_subcommand("set", "Change a colourway's yarn colours and codes");
  set->add_option("NAME", a->Name, "The colourway")->required();
  set->add_option("--yarn", a->Yarns, "A=#RRGGBB[:CODE]: a yarn type's colour and shade code")
      ->required();
  CLI::App* rename = cmd->add_subcommand("rename", "Give a colourway another name");
  rename->add_option("OLD", a->Name, "The colourway")->required();
  rename->add_option("NEW", a->NewName, "Its new name")->required();
  CLI::App* remove = cmd->add_subcommand("remove", "Remove a colourway");
  remove->add_option("NAME", a->Name, "The colourway")->required();
  commands.push_back(
      {cmd, [a, list, add, set, rename, remove] {
         const std::string file = ColourwaysFileName(a->In);
         if (!list->parsed())
           CheckOutput(file, {a->In});
         std::unique_ptr<OPattern> pattern = OpenPattern(a->In, false);
         TColourways colourways = ColourwaysBeside(a->In);
         const OPalette& palette = *pattern->Palette;
         const OMachineTable& table = *pattern->MachineTable;
         if (list->parsed()) {
           for (const TColourway& c : colourways.List) {
             std::cout << c.Name << '\n';
             for (int y = 1; y <= pattern->NoYarnTypes; ++y) {
               const std::string code = c.Code(y);
               std::cout << "  " << YarnTypeLetter(static_cast<OYarnType>(y)) << ' '
                         << HexColour(YarnColour(c, palette, table, y))
                         << (code.empty() ? "" : " " + code) << '\n';
             }
           }
           return 0;
         }
         if (add->parsed()) {
           CheckNewName(colourways, a->Name, "NAME");
           if (colourways.List.size() >= MaxColourways)
             throw TCliFailure("A pattern holds at most " + std::to_string(MaxColourways) +
                               " colourways");
           TColourway made = NewColourway(a->Name, palette, table);
           if (!a->From.empty()) {
             made = colourways
                        .List[static_cast<size_t>(ColourwayNamed(colourways, a->From, "--from"))];
             made.Name = a->Name;
             // The Original's colours are the palette's, whatever it sets.
             const std::array<uint32_t, 256> shown = ColoursOf(made, palette);
             for (const uint8_t i : UsedPaletteIndices(table))
               SetEntryColour(made, i, shown[i]);
           }
           for (const std::string& yarn : a->Yarns)
             SetYarn(made, false, *pattern, yarn);
           colourways.List.push_back(std::move(made));
         } else {
           const int index = ColourwayNamed(colourways, a->Name, rename->parsed() ? "OLD" : "NAME");
           TColourway& c = colourways.List[static_cast<size_t>(index)];
           if (set->parsed()) {
             for (const std::string& yarn : a->Yarns)
               SetYarn(c, index == 0, *pattern, yarn);
           } else if (index == 0) {
             throw TCliFailure(std::string("The ") + OriginalColourwayName +
                               " is the pattern's palette and cannot be " +
                               (rename->parsed() ? "renamed" : "removed"));
           } else if (rename->parsed()) {
             if (a->NewName != c.Name)
               CheckNewName(colourways, a->NewName, "NEW");
             c.Name = a->NewName;
           } else {
             colourways.List.erase(colourways.List.begin() + index);
           }
         }
         try {
           SaveColourways(a->In, colourways);
         } catch (const std::exception& e) {
           throw TCliFailure(Named(e, file));
         }
         return 0;
       }});
}

} // namespace quillane
