#include "DrawPasteCommand.h"

#include "Cli.h"
#include "ImageIO.h"
#include "app/Exceptions.h"
#include "editors/Selection.h"
#include "elements/Bitmap.h"
#include "elements/Picture.h"
#include "model/Pattern.h"

namespace quillane {

namespace {

struct TPasteWords {
  std::string Image;
  int X = 0, Y = 0;
};

TPasteWords ParsePaste(const std::vector<std::string>& words) {
  const std::string usage = "expected paste IMAGE X,Y";
  if (words.size() != 2)
    throw CLI::ValidationError("paste", usage);
  const std::string_view at = words[1];
  const size_t comma = at.find(',');
  std::optional<int64_t> x, y;
  if (comma != std::string_view::npos) {
    x = DecimalNumber(at.substr(0, comma), INT32_MIN, INT32_MAX);
    y = DecimalNumber(at.substr(comma + 1), INT32_MIN, INT32_MAX);
  }
  if (!x || !y)
    throw CLI::ValidationError("paste", usage + ": " + words[1]);
  return {words[0], static_cast<int>(*x), static_cast<int>(*y)};
}

} // namespace

std::vector<std::string> DrawPasteInputs(const std::vector<std::string>& words) {
  return {ParsePaste(words).Image};
}

void RunDrawPaste(OPattern& pattern, OPicture& picture, TView view,
                  const std::vector<std::string>& words) {
  const TPasteWords w = ParsePaste(words);
  OBitmap24 image;
  try {
    image = LoadImage(w.Image, ProgressFor("paste", int64_t{picture.Width} * picture.Height));
  } catch (const Exception& e) {
    throw TCliFailure(e.what());
  }
  const int64_t right = int64_t{w.X} + image.Width() - 1, top = int64_t{w.Y} + image.Height() - 1;
  if (w.X < 0 || w.Y < 0 || right >= picture.Width || top >= picture.Height)
    throw CLI::ValidationError("paste", "the picture is " + std::to_string(picture.Width) + " x " +
                                            std::to_string(picture.Height) + " pixels; a " +
                                            std::to_string(image.Width()) + " x " +
                                            std::to_string(image.Height()) + " image at " +
                                            words[1] + " reaches past it");
  OSelection selection(pattern, picture);
  selection.Paste(BlockFromImage(pattern, picture, image), {w.X, w.Y}, view);
  if (std::string why = selection.Place(view); !why.empty())
    throw TCliFailure("paste " + w.Image + " " + words[1] + ": " + why);
}

} // namespace quillane
