// The draw command: the view's drawing tools from a script, each driven through the same
// mouse state as in the view, on a view at zoom 1 that shows the whole picture.
#include <iostream>

#include "Cli.h"
#include "DrawPasteCommand.h"
#include "app/Exceptions.h"
#include "editors/Selection.h"
#include "editors/ViewStates.h"
#include "elements/Picture.h"
#include "model/Pattern.h"
#include "setup/Palette.h"
#include "setup/PalettePaintBox.h"

namespace quillane {

std::vector<int> NumberList(const std::string& text, const std::vector<std::pair<int, int>>& ranges,
                            const std::string& what) {
  std::vector<int> numbers;
  size_t at = 0, nameAt = 0;
  for (const auto& [low, high] : ranges) {
    const bool last = numbers.size() + 1 == ranges.size();
    const size_t end = last ? text.size() : text.find(',', at);
    const size_t nameEnd = std::min(what.find(',', nameAt), what.size());
    if (end == std::string::npos || (last && text.find(',', at) != std::string::npos))
      throw CLI::ValidationError(what, "expected " + what + ": " + text);
    // The number at fault is named, so that a script's author need not guess which.
    const std::string_view number = std::string_view(text).substr(at, end - at);
    const std::optional<int64_t> n = DecimalNumber(number, low, high);
    if (!n)
      throw CLI::ValidationError(what, what.substr(nameAt, nameEnd - nameAt) +
                                           " must be a whole number from " + std::to_string(low) +
                                           " to " + std::to_string(high) + ": " + text);
    numbers.push_back(static_cast<int>(*n));
    at = end + 1;
    nameAt = nameEnd + 1;
  }
  return numbers;
}

std::vector<std::pair<int, int>> NumberRanges(const std::string& form, int width, int height,
                                              int colours) {
  std::vector<std::pair<int, int>> ranges;
  for (size_t at = 0;; at = form.find(',', at) + 1) {
    ranges.push_back(form[at] == 'X'   ? std::pair(0, width - 1)
                     : form[at] == 'Y' ? std::pair(0, height - 1)
                                       : std::pair(0, colours));
    if (form.find(',', at) == std::string::npos)
      return ranges;
  }
}

namespace {

// A view of the whole picture at zoom 1, in which the tools' presses land on their pixels.
struct TScriptView {
  OViewGeometry Geometry;
  OPalettePaintBox Colours;
  OViewMouse Mouse;
  TScriptView(TDrawJob& job, TDrawTool tool)
      : Colours(job.Pattern.Palette.get(), false), Mouse(job.Pattern, job.Picture, Geometry) {
    Geometry.SetPicture(job.Picture.Width, job.Picture.Height, 1.0f);
    Geometry.SetBox(job.Picture.Width, job.Picture.Height);
    Mouse.View = job.View;
    Mouse.Brush = job.Brush;
    Mouse.Choose(MakeToolState(tool, Colours));
  }
  TViewInput At(int x, int y, uint32_t shift = 0) const {
    return {x, Geometry.BoxHeight() - 1 - y, TMouseButton::Left, shift};
  }
};

// The ranges of X, Y and V on the job's picture and palette.
std::vector<std::pair<int, int>> Ranges(const TDrawJob& job, const std::string& form) {
  return NumberRanges(form, job.Picture.Width, job.Picture.Height,
                      job.Pattern.Palette->NoColours());
}

// A press at the first pixel and a release at the second with the colour; a refusal fails
// the command in the view's words, so that a script never takes a pattern missing a pixel
// it asked for.
bool Drag(TDrawJob& job, TDrawTool tool, uint32_t shift) {
  const std::string& text = job.Words[0];
  const bool two = tool != TDrawTool::Fill;
  const std::string form = two ? "X1,Y1,X2,Y2,V" : "X,Y,V";
  const std::vector<int> n = NumberList(text, Ranges(job, form), form);
  TScriptView view(job, tool);
  view.Colours.LeftIndex = static_cast<uint8_t>(n.back());
  const TViewInput from = view.At(n[0], n[1], shift);
  const TViewInput to = n.size() > 3 ? view.At(n[2], n[3], shift) : from;
  std::optional<std::string> refused = view.Mouse.Press(from).Status;
  view.Mouse.Move(to);
  if (std::optional<std::string> why = view.Mouse.Release(to).Status)
    refused = std::move(why);
  if (refused && !refused->empty())
    throw Exception(text + ": " + *refused);
  return true;
}

TDrawCommandTool Tool(std::string name, std::string usage, std::function<bool(TDrawJob&)> run) {
  TDrawCommandTool t;
  t.Name = std::move(name);
  t.Usage = std::move(usage);
  t.Run = std::move(run);
  return t;
}

std::vector<TDrawCommandTool> Tools() {
  std::vector<TDrawCommandTool> tools{
      Tool("line", "X1,Y1,X2,Y2,V", [](TDrawJob& job) { return Drag(job, TDrawTool::Line, 0); }),
      Tool("rect", "X1,Y1,X2,Y2,V",
           [](TDrawJob& job) {
             return Drag(job, TDrawTool::Rectangle, job.Filled ? uint32_t{ssShift} : 0);
           }),
      Tool("fill", "X,Y,V",
           [](TDrawJob& job) {
             return Drag(job, TDrawTool::Fill, job.All ? uint32_t{ssShift} : 0);
           }),
      Tool("pick", "X,Y",
           [](TDrawJob& job) {
             const std::vector<int> n = NumberList(job.Words[0], Ranges(job, "X,Y"), "X,Y");
             const std::optional<uint8_t> v =
                 PickPixel(job.Pattern, job.Picture, job.View, {n[0], n[1]});
             if (!v)
               throw Exception(job.Words[0] + ": no region of the picture shows a cell there");
             std::cout << int{*v} << '\n';
             return false;
           }),
      Tool("paste", "IMAGE X,Y",
           [](TDrawJob& job) {
             RunDrawPaste(job.Pattern, job.Picture, job.View, job.Words);
             return true;
           }),
      // The selection's Delete: the pixels between the corners made undefined.
      Tool("clear", "X1,Y1,X2,Y2", [](TDrawJob& job) {
        const std::vector<int> n =
            NumberList(job.Words[0], Ranges(job, "X1,Y1,X2,Y2"), "X1,Y1,X2,Y2");
        OSelection selection(job.Pattern, job.Picture);
        selection.Area =
            SelectionArea({n[0], n[1]}, {n[2], n[3]}, job.Picture.Width, job.Picture.Height);
        selection.Delete(job.View);
        return true;
      })};
  tools[0].Brush = true;
  tools[1].Filled = true;
  tools[2].All = true;
  tools[3].Writes = false;
  tools[4].Words = 2;
  tools[4].Inputs = DrawPasteInputs;
  return tools;
}

// What can be judged without the pattern is judged before it is opened: a number that no
// picture or palette takes.
void CheckNumbersBeforeOpening(const TDrawCommandTool& tool,
                               const std::vector<std::string>& words) {
  if (tool.Words == 1)
    NumberList(words[0], NumberRanges(tool.Usage, INT32_MAX, INT32_MAX, 255), tool.Usage);
}

} // namespace

void AddDrawCommand(CLI::App& app, TCommands& commands) {
  struct TArgs {
    std::string In, View, Out, Tool;
    int Picture = 1, Brush = 1;
    bool Filled = false, All = false;
    std::vector<std::string> Words;
    std::vector<TDrawCommandTool> Tools;
  };
  auto a = std::make_shared<TArgs>();
  a->Tools = Tools();
  std::string usage, names;
  for (const TDrawCommandTool& tool : a->Tools) {
    usage += (usage.empty() ? "" : ", ") + tool.Name + " " + tool.Usage;
    names += (names.empty() ? "" : ", ") + tool.Name;
  }
  CLI::App* cmd = app.add_subcommand(
      "draw", "Draw on a picture (X, Y from 0) with a tool of the view: " + usage);
  cmd->add_option("IN", a->In, "The pattern file")->required();
  cmd->add_option("--picture", a->Picture, "The picture, from 1")->required();
  cmd->add_option("--view", a->View, "machine or design")
      ->required()
      ->check(CLI::IsMember({"machine", "design"}));
  cmd->add_option("TOOL", a->Tool, names)->required();
  cmd->add_option("WORDS", a->Words, "The tool's numbers")->required();
  cmd->add_option("--brush", a->Brush, "The line's square brush: 1, 2, 3 or 5 pixels")
      ->check(CLI::IsMember({1, 2, 3, 5}));
  cmd->add_flag("--filled", a->Filled, "rect: the whole rectangle, not its outline");
  cmd->add_flag("--all", a->All, "fill: every pixel of that colour in the picture");
  CLI::Option* out = cmd->add_option("-o,--output", a->Out, "The pattern file to write");
  commands.push_back({cmd, [a, cmd, out] {
                        const TDrawCommandTool* tool = nullptr;
                        for (const TDrawCommandTool& t : a->Tools)
                          if (t.Name == a->Tool)
                            tool = &t;
                        if (!tool)
                          throw CLI::ValidationError("TOOL", "no tool " + a->Tool);
                        auto refuse = [&](bool taken, const char* option) {
                          if (!taken && cmd->count(option) > 0)
                            throw CLI::ValidationError(option,
                                                       a->Tool + " does not take " + option);
                        };
                        refuse(tool->Brush, "--brush");
                        refuse(tool->Filled, "--filled");
                        refuse(tool->All, "--all");
                        refuse(tool->Writes, "--output");
                        if (tool->Writes && out->count() == 0)
                          throw CLI::RequiredError("--output");
                        if (a->Words.size() != tool->Words)
                          throw CLI::ValidationError("WORDS", a->Tool + " takes " + tool->Usage);
                        CheckNumbersBeforeOpening(*tool, a->Words);
                        if (tool->Writes) {
                          std::vector<std::string> inputs{a->In};
                          if (tool->Inputs)
                            for (std::string& name : tool->Inputs(a->Words))
                              inputs.push_back(std::move(name));
                          CheckOutput(a->Out, inputs);
                        }
                        std::unique_ptr<OPattern> pattern =
                            tool->Writes ? OpenPatternToChange(a->In) : OpenPattern(a->In);
                        TDrawJob job{*pattern,
                                     PictureNumber(*pattern, a->Picture),
                                     ViewNumber(a->View),
                                     a->Brush,
                                     a->Filled,
                                     a->All,
                                     a->Words};
                        if (tool->Run(job))
                          SavePattern(*pattern, a->Out);
                        return 0;
                      }});
}

} // namespace quillane
