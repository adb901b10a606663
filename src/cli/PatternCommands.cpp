// Commands that make, change and show patterns: new, extract, render, paint.
#include <QGuiApplication>
#include <iostream>

#include "Cli.h"
#include "ImageIO.h"
#include "PreviewImage.h"
#include "app/App.h"
#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "editors/ViewStates.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "model/Pattern.h"
#include "preview/Preview.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/PalettePaintBox.h"
#include "setup/Settings.h"

namespace quillane {

std::unique_ptr<OPattern> OpenPattern(const std::string& path, bool applySections) {
  if (auto* platform = dynamic_cast<TCliPlatform*>(&g.UI()))
    platform->PatternFile = path;
  std::unique_ptr<OPattern> pattern;
  try {
    pattern = ReadPatternFile(path, applySections);
  } catch (const Exception& e) {
    throw TCliFailure(e.what());
  } catch (const std::bad_alloc&) {
    throw TCliFailure(NotEnoughMemory("open the pattern", path));
  }
  // Said whether or not opening applied the sections; the platform says each text once.
  if (const std::string problem = pattern->SectionsProblem(); !problem.empty())
    g.UI().ShowError(problem);
  return pattern;
}

std::unique_ptr<OPattern> OpenPatternToChange(const std::string& path) {
  std::unique_ptr<OPattern> pattern = OpenPattern(path);
  if (!pattern->SectionsProblem().empty())
    throw TCliFailure(""); // said already
  return pattern;
}

void SavePattern(OPattern& pattern, const std::string& path) {
  pattern.FileName = path;
  try {
    pattern.SaveToFile();
  } catch (const EStreamError& e) {
    throw TCliFailure(Named(e, path));
  }
}

OPicture& PictureNumber(OPattern& pattern, int number) {
  if (number < 1 || number > pattern.Pictures->Count())
    throw CLI::ValidationError("--picture",
                               "the pattern has " + std::to_string(pattern.Pictures->Count()) +
                                   " picture(s); there is no picture " + std::to_string(number));
  return *pattern.Pictures->Get(number - 1);
}

ORegion& RegionNumber(OPicture& picture, int number) {
  if (number < 1 || number > picture.Regions.Count())
    throw CLI::ValidationError("--region",
                               "the picture has " + std::to_string(picture.Regions.Count()) +
                                   " region(s); there is no region " + std::to_string(number));
  return *picture.Regions.Get(number - 1);
}

TView ViewNumber(const std::string& view) {
  return view == "design" ? TView::Design : TView::Machine;
}

namespace {
CLI::Option* AddViewOption(CLI::App* command, std::string& view) {
  return command->add_option("--view", view, "machine or design")
      ->required()
      ->check(CLI::IsMember({"machine", "design"}));
}

// The object the editors' Export of that kind would write.
const ODesignData& ExtractedObject(OPattern& pattern, const std::string& kind, int index,
                                   int pictureNumber) {
  if (kind == "SET")
    return *pattern.Settings;
  if (kind == "PAL")
    return *pattern.Palette;
  if (kind == "CRE")
    return *pattern.Creel;
  if (kind == "MCH")
    return *pattern.MachineTable;
  if (kind == "DES")
    return *pattern.DesignTable;
  if (kind == "PIC")
    return PictureNumber(pattern, index);
  if (kind == "REG")
    return RegionNumber(PictureNumber(pattern, pictureNumber), index);
  if (index < 1 || index > pattern.Sections->Count())
    throw CLI::ValidationError("--index",
                               "the pattern has " + std::to_string(pattern.Sections->Count()) +
                                   " section(s); there is no section " + std::to_string(index));
  return *pattern.Sections->Get(index - 1);
}

struct TPaintStroke {
  int X, Y, V;
};

// Each number whole and in range: 4294967296 is no way of writing 0. The picture's and the
// palette's own sizes are checked once the pattern is open.
TPaintStroke ParseStroke(const std::string& text, int width = INT32_MAX, int height = INT32_MAX,
                         int colours = 255) {
  const std::vector<int> n =
      NumberList(text, NumberRanges("X,Y,V", width, height, colours), "X,Y,V");
  return {n[0], n[1], n[2]};
}

// Each pixel a click of the left button in the view, at zoom 1 with the whole picture in
// sight, the left colour being the pixel's: the view's own mouse state paints it. A paint
// the view would refuse fails the command with the view's words, so that a script never
// takes a pattern missing a cell it asked for.
void PaintAsPresses(OPattern& pattern, OPicture& picture, TView view,
                    const std::vector<TPaintStroke>& strokes) {
  OViewGeometry geometry;
  geometry.SetPicture(picture.Width, picture.Height, 1.0f);
  geometry.SetBox(picture.Width, picture.Height);
  OViewMouse mouse(pattern, picture, geometry);
  mouse.View = view;
  OPalettePaintBox colours(pattern.Palette.get(), false);
  mouse.Choose(std::make_unique<OPaintState>(colours));
  for (const TPaintStroke& s : strokes) {
    colours.LeftIndex = static_cast<uint8_t>(s.V);
    const TScreenRect at = geometry.ScreenRect({s.X, s.Y, s.X, s.Y});
    const TViewInput click{at.Left, at.Top, TMouseButton::Left, 0};
    const TViewReply pressed = mouse.Press(click);
    mouse.Release(click);
    if (pressed.Status)
      throw Exception(std::to_string(s.X) + "," + std::to_string(s.Y) + "," + std::to_string(s.V) +
                      ": " + *pressed.Status);
  }
}

} // namespace

void AddPatternCommands(CLI::App& app, TCommands& commands) {
  {
    auto out = std::make_shared<std::string>();
    CLI::App* cmd = app.add_subcommand("new", "Write a new pattern (DEFAULT files apply)");
    cmd->add_option("-o,--output", *out, "The pattern file to write")->required();
    commands.push_back({cmd, [out] {
                          CheckOutput(*out, {});
                          OPattern pattern;
                          pattern.InitNew();
                          SavePattern(pattern, *out);
                          return 0;
                        }});
  }
  {
    struct TArgs {
      std::string In, Kind, Out;
      int Index = 1, Picture = 1;
    };
    auto a = std::make_shared<TArgs>();
    CLI::App* cmd = app.add_subcommand(
        "extract",
        "Write one object of a pattern as its exchange file, as the editors' Export does");
    cmd->add_option("IN", a->In, "The pattern file")->required();
    cmd->add_option("--kind", a->Kind, "SET, PAL, CRE, MCH, DES, PIC, REG or SEC")
        ->required()
        ->transform(CLI::IsMember({"SET", "PAL", "CRE", "MCH", "DES", "PIC", "REG", "SEC"},
                                  CLI::ignore_case));
    cmd->add_option("--index", a->Index, "Which picture, region or section, from 1");
    cmd->add_option("--picture", a->Picture, "The picture of a region, from 1");
    cmd->add_option("-o,--output", a->Out, "The file to write")->required();
    commands.push_back({cmd, [a] {
                          CheckOutput(a->Out, {a->In});
                          std::unique_ptr<OPattern> pattern = OpenPattern(a->In, false);
                          const ODesignData& object =
                              ExtractedObject(*pattern, a->Kind, a->Index, a->Picture);
                          OWriter writer;
                          object.WriteToStream(writer);
                          const TKindTexts& texts = KindTexts(object.Kind());
                          try {
                            WriteFileAtomic(a->Out, writer.Bytes());
                          } catch (const EFCreateError& e) {
                            throw TCliFailure(texts.CreatingError + a->Out + ": " + e.what());
                          } catch (const std::exception& e) {
                            throw TCliFailure(texts.WritingError + a->Out + ": " + e.what());
                          }
                          return 0;
                        }});
  }
  {
    struct TArgs {
      std::string In, View, Out;
      int Picture = 1;
      bool Preview = false, AllColourways = false;
      std::string Colourway;
      double WidthM = 0;
      int Size = PreviewLongestSide, Dpi = 0;
      TStrikeOffArgs Strike;
    };
    auto a = std::make_shared<TArgs>();
    CLI::App* cmd = app.add_subcommand(
        "render", "Write a picture as the view shows it (PLine 1 at the bottom) to BMP or PNG, "
                  "or with --preview the pattern as carpet");
    cmd->add_option("IN", a->In, "The pattern file")->required();
    CLI::Option* picture = cmd->add_option("--picture", a->Picture, "The picture, from 1");
    CLI::Option* view = cmd->add_option("--view", a->View, "machine or design")
                            ->check(CLI::IsMember({"machine", "design"}));
    CLI::Option* preview =
        cmd->add_flag("--preview", a->Preview,
                      "The pattern as tufted: each tuft shaded by its pile, at the real "
                      "proportions of the needle and PLine spacings");
    picture->excludes(preview);
    view->excludes(preview);
    CLI::Option* widthM =
        cmd->add_option("--width-m", a->WidthM,
                        "With --preview: goods this many metres wide, the pattern repeated "
                        "across so that its repeat carries on over each seam, two lengths long "
                        "(between half and twice the width)")
            ->check(CLI::Range(0.001, 1000.0))
            ->needs(preview);
    CLI::Option* size =
        cmd->add_option("--size", a->Size, "With --preview: pixels of the longer side")
            ->check(CLI::Range(16, 100000))
            ->needs(preview);
    cmd->add_option("--dpi", a->Dpi,
                    "With --preview: the dots per inch the file states (with --true-size, the "
                    "carpet's, 72 to 300, default 150)")
        ->check(CLI::Range(1, 100000))
        ->needs(preview);
    CLI::Option* one =
        cmd->add_option("--colourway", a->Colourway, "With --preview: in this colourway's colours")
            ->needs(preview);
    CLI::Option* all =
        cmd->add_flag("--colourways", a->AllColourways,
                      "With --preview: every colourway side by side, each under its name")
            ->needs(preview)
            ->excludes(one);
    AddStrikeOffOptions(*cmd, a->Strike, preview, {widthM, all}, {size, all});
    cmd->add_option("-o,--output", a->Out,
                    "The image file (.bmp or .png), or with --true-size the PDF")
        ->required();
    commands.push_back(
        {cmd, [a, picture, view] {
           if (!a->Preview) {
             if (!*picture)
               throw CLI::RequiredError("--picture");
             if (!*view)
               throw CLI::RequiredError("--view");
           }
           CheckStrikeOffArgs(a->Strike, a->Out, a->Dpi);
           CheckOutput(a->Out, {a->In}, a->Strike.TrueSize ? TOutputKind::Any : TOutputKind::Image);
           std::unique_ptr<OPattern> pattern = OpenPattern(a->In);
           if (a->Preview) {
             OPreview carpet(*pattern);
             std::string problem;
             carpet.SetPiles(PreviewPilesBeside(*pattern, problem));
             if (!problem.empty())
               g.UI().ShowError(problem + "\nThe preview takes the default piles.");
             carpet.SetGoods(GoodsAcross(*pattern, a->WidthM));
             const double scale = PreviewExportScale(carpet, a->Size);
             if (a->AllColourways || !a->Colourway.empty()) {
               const TColourways colourways = ColourwaysBeside(a->In);
               if (!a->AllColourways) {
                 const TColourway& shown = colourways.List[static_cast<size_t>(
                     ColourwayNamed(colourways, a->Colourway, "--colourway"))];
                 carpet.SetColours(ColoursOf(shown, *pattern->Palette));
               } else {
                 std::vector<TPreviewColouring> colourings;
                 for (const TColourway& c : colourways.List)
                   colourings.push_back({c.Name, ColoursOf(c, *pattern->Palette)});
                 const std::unique_ptr<QGuiApplication> application = TextApplication();
                 SavePreviewColouringsImage(
                     carpet, scale, colourings, a->Out, a->Dpi,
                     ProgressFor("render", carpet.GoodsWidth(scale) * carpet.GoodsHeight(scale) *
                                               static_cast<int64_t>(colourings.size())));
                 return 0;
               }
             }
             if (StrikeOffAsked(a->Strike)) {
               RenderStrikeOff(carpet, *pattern, a->Strike, a->In, a->Out, a->Size, a->Dpi);
               return 0;
             }
             SavePreviewImage(
                 carpet, scale, a->Out, a->Dpi,
                 ProgressFor("render", carpet.GoodsWidth(scale) * carpet.GoodsHeight(scale)));
             return 0;
           }
           OPicture& shown = PictureNumber(*pattern, a->Picture);
           const TView chosen = ViewNumber(a->View);
           SayWhenOutOfMemory("render the picture", a->In);
           SaveImageRows(
               a->Out, shown.Width, shown.Height, ImageBandPixels, true,
               [&](int y, int x, OBitmap24& band) { shown.RenderRows(chosen, y, x, band); },
               ProgressFor("render", int64_t{shown.Width} * shown.Height));
           return 0;
         }});
  }
  {
    struct TArgs {
      std::string In, View, Out;
      int Picture = 1;
      std::vector<std::string> Strokes;
    };
    auto a = std::make_shared<TArgs>();
    CLI::App* cmd = app.add_subcommand(
        "paint",
        "Paint picture pixels (X, Y from 0) with palette index V, as a press in the view does");
    cmd->add_option("IN", a->In, "The pattern file")->required();
    cmd->add_option("--picture", a->Picture, "The picture, from 1")->required();
    AddViewOption(cmd, a->View);
    cmd->add_option("STROKES", a->Strokes, "X,Y,V ...")->required();
    cmd->add_option("-o,--output", a->Out, "The pattern file to write")->required();
    commands.push_back({cmd, [a] {
                          std::vector<TPaintStroke> strokes;
                          for (const std::string& text : a->Strokes)
                            strokes.push_back(ParseStroke(text));
                          CheckOutput(a->Out, {a->In});
                          std::unique_ptr<OPattern> pattern = OpenPatternToChange(a->In);
                          OPicture& picture = PictureNumber(*pattern, a->Picture);
                          const TView view = ViewNumber(a->View);
                          // The view ignores such presses; asked for by name they are mistakes.
                          for (const std::string& text : a->Strokes)
                            ParseStroke(text, picture.Width, picture.Height,
                                        pattern->Palette->NoColours());
                          PaintAsPresses(*pattern, picture, view, strokes);
                          SavePattern(*pattern, a->Out);
                          return 0;
                        }});
  }
}

} // namespace quillane
