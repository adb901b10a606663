// `import-bitmap` and `export-bitmap`: a region's picture area from and to an image file.
#include <algorithm>
#include <iostream>

#include "Cli.h"
#include "ImageIO.h"
#include "app/Exceptions.h"
#include "elements/BitmapMapping.h"
#include "elements/Picture.h"
#include "model/BitmapStates.h"
#include "model/Pattern.h"

namespace quillane {

namespace {

struct TBitmapArgs {
  std::string In, Image, View, Out;
  int Picture = 1, Region = 1;
  bool UpdatePalette = false;
  std::string Colours = "exact", Dither = "none";
  int Reduce = 0;
};

void AddRegionOptions(CLI::App* cmd, TBitmapArgs& a) {
  cmd->add_option("IN", a.In, "The pattern file")->required();
  cmd->add_option("--picture", a.Picture, "The picture, from 1")->required();
  cmd->add_option("--region", a.Region, "The region of the picture, from 1")->required();
  cmd->add_option("--view", a.View, "machine or design")
      ->required()
      ->check(CLI::IsMember({"machine", "design"}));
}

// A colour pattern has only the machine view: the window and the export never offer the
// design view for one.
bool MachineView(const OPattern& pattern, const std::string& view) {
  if (ViewNumber(view) == TView::Machine)
    return true;
  if (pattern.PatternMode == pmColours)
    throw CLI::ValidationError("--view", "a colour pattern has only the machine view");
  return false;
}

} // namespace

void AddBitmapCommands(CLI::App& app, TCommands& commands) {
  {
    auto a = std::make_shared<TBitmapArgs>();
    CLI::App* cmd = app.add_subcommand(
        "import-bitmap",
        "Paint an image (BMP, PNG) into a region with the automatic colour assignment");
    AddRegionOptions(cmd, *a);
    cmd->add_option("IMAGE", a->Image, "The image file")->required();
    cmd->add_flag("--update-palette", a->UpdatePalette,
                  "Give the assigned palette entries the image's exact colours (with reduce: "
                  "the reduced colours, each its own entry)");
    cmd->add_option("--colours", a->Colours,
                    "exact: the first colours found, each its own entry; nearest: every "
                    "colour the entry that looks nearest; reduce: a few colours first")
        ->check(CLI::IsMember({"exact", "nearest", "reduce"}));
    cmd->add_option("--reduce", a->Reduce,
                    "With --colours reduce: at most this many colours (default: the palette's)")
        ->check(CLI::Range(1, 255));
    cmd->add_option("--dither", a->Dither, "With nearest or reduce, cell by cell")
        ->check(CLI::IsMember({"none", "floyd-steinberg", "ordered"}));
    cmd->add_option("-o,--output", a->Out, "The pattern file to write")->required();
    commands.push_back(
        {cmd, [a] {
           CheckOutput(a->Out, {a->In, a->Image});
           std::unique_ptr<OPattern> pattern = OpenPatternToChange(a->In);
           ORegion& region = RegionNumber(PictureNumber(*pattern, a->Picture), a->Region);
           const bool machine = MachineView(*pattern, a->View);
           TAssignment assignment;
           assignment.Mode = a->Colours == "nearest"  ? TColourMode::Nearest
                             : a->Colours == "reduce" ? TColourMode::Reduce
                                                      : TColourMode::Exact;
           if (a->Reduce != 0 && assignment.Mode != TColourMode::Reduce)
             throw CLI::ValidationError("--reduce", "only with --colours reduce");
           if (a->Reduce > pattern->Palette->NoColours())
             throw CLI::ValidationError(
                 "--reduce", "at most the palette's " +
                                 std::to_string(pattern->Palette->NoColours()) + " colours");
           assignment.ReduceTo = a->Reduce;
           assignment.Dither = a->Dither == "floyd-steinberg" ? TDither::FloydSteinberg
                               : a->Dither == "ordered"       ? TDither::Ordered
                                                              : TDither::None;
           if (assignment.Dither != TDither::None && assignment.Mode == TColourMode::Exact)
             throw CLI::ValidationError("--dither", "only with --colours nearest or reduce");
           assignment.TakeColours = a->UpdatePalette;
           OBitmap24 image;
           SayWhenOutOfMemory("import the image", a->Image);
           try {
             const int64_t pixels = int64_t{region.Picture->Width} * region.Picture->Height;
             image = LoadImage(a->Image, ProgressFor("import-bitmap", pixels));
           } catch (const Exception& e) {
             throw TCliFailure(e.what());
           }
           OBitmapMapping mapping(region, std::move(image));
           region.BitmapFileName = a->Image;
           if (assignment.Mode != TColourMode::Exact) {
             mapping.States = StatedEntries(*pattern, machine);
             mapping.Assign(assignment, machine);
           }
           if (a->UpdatePalette)
             mapping.UpdatePalette();
           const TGrid& cells =
               pattern->PatternMode == pmStates ? pattern->States : pattern->MachineColours;
           const TZeroedBytes before = cells.Data();
           if (!mapping.Apply(machine))
             throw TCliFailure(
                 "The region's picture area is empty: there is nothing to import into");
           // Colours that all land on entries that paint nothing are worth a word.
           if (before == cells.Data())
             std::cerr << PrintableLine("0 cells changed: " + a->Image) << '\n';
           SavePattern(*pattern, a->Out);
           return 0;
         }});
  }
  {
    auto a = std::make_shared<TBitmapArgs>();
    CLI::App* cmd = app.add_subcommand(
        "export-bitmap",
        "Write a region's part of a picture as an image (BMP, PNG), PLine 1 at the bottom");
    AddRegionOptions(cmd, *a);
    cmd->add_option("-o,--output", a->Out, "The image file (.bmp or .png)")->required();
    commands.push_back(
        {cmd, [a] {
           CheckOutput(a->Out, {a->In}, TOutputKind::Image);
           std::unique_ptr<OPattern> pattern = OpenPattern(a->In);
           ORegion& region = RegionNumber(PictureNumber(*pattern, a->Picture), a->Region);
           const bool machine = MachineView(*pattern, a->View);
           const int64_t w = region.PatternWidth, h = region.PatternHeight;
           if (w < 1 || h < 1 || w * h > OPicture::MaxPixels)
             (void)ExportBitmap(region, machine); // refuses it, saying why
           // The picture's pixels under the region's pattern area, PLine 1 at the
           // bottom, as ExportBitmap takes them, drawn a band at a time as render draws
           // them: no band is wider or taller than the region, however large the picture.
           OPicture& picture = *region.Picture;
           const int64_t left = int64_t{region.PatternArea.Left} - 1,
                         top = int64_t{region.PatternArea.Top} - 1;
           OBitmap24 shown;
           SayWhenOutOfMemory("export the bitmap", a->In);
           SaveImageRows(
               a->Out, static_cast<int>(w), static_cast<int>(h), ImageBandPixels, false,
               [&](int first, int column, OBitmap24& out) {
                 // Out row r is picture row top + h - 1 - r; pixels off the picture are 0.
                 const int n = out.Height(), m = out.Width();
                 const int64_t from = top + h - first - n, x0 = left + column;
                 const int64_t y1 = std::max<int64_t>(from, 0),
                               y2 = std::min<int64_t>(from + n, picture.Height),
                               x1 = std::max<int64_t>(x0, 0),
                               x2 = std::min<int64_t>(x0 + m, picture.Width);
                 shown.SetSize(static_cast<int>(std::max<int64_t>(x2 - x1, 0)),
                               static_cast<int>(std::max<int64_t>(y2 - y1, 0)));
                 picture.RenderRows(machine ? TView::Machine : TView::Design, y1, x1, shown);
                 for (int r = 0; r < n; ++r) {
                   const int64_t y = from + n - 1 - r; // in the picture
                   uint32_t* row = out.Row(r);
                   for (int x = 0; x < m; ++x)
                     row[x] = shown.GetPixel(x0 + x - x1, y - y1);
                 }
               },
               ProgressFor("export-bitmap", w * h));
           return 0;
         }});
  }
}

} // namespace quillane
