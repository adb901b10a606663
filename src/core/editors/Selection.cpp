#include "editors/Selection.h"

#include <algorithm>
#include <unordered_map>

#include "editors/ViewStates.h"
#include "elements/BitmapMapping.h"
#include "elements/Picture.h"
#include "model/Pattern.h"

namespace quillane {

TBlock::TBlock(int width, int height, uint8_t value)
    : Width(std::max(width, 0)), Height(std::max(height, 0)),
      Values(static_cast<size_t>(Width) * static_cast<size_t>(Height), value) {}

TBlock FlippedHorizontally(const TBlock& block) {
  TBlock out(block.Width, block.Height);
  for (int y = 0; y < block.Height; ++y)
    for (int x = 0; x < block.Width; ++x)
      out.At(block.Width - 1 - x, y) = block.At(x, y);
  return out;
}

TBlock FlippedVertically(const TBlock& block) {
  TBlock out(block.Width, block.Height);
  for (int y = 0; y < block.Height; ++y)
    for (int x = 0; x < block.Width; ++x)
      out.At(x, block.Height - 1 - y) = block.At(x, y);
  return out;
}

TBlock TurnedClockwise(const TBlock& block) {
  // Rows count upwards, so what the eye sees turn clockwise is, in the rows' own order,
  // the left column becoming the top row read from the right.
  TBlock out(block.Height, block.Width);
  for (int y = 0; y < block.Height; ++y)
    for (int x = 0; x < block.Width; ++x)
      out.At(y, block.Width - 1 - x) = block.At(x, y);
  return out;
}

std::optional<TRect> SelectionArea(TCell from, TCell to, int width, int height) {
  const TRect r{std::max(std::min(from.C, to.C), 0), std::max(std::min(from.R, to.R), 0),
                std::min(std::max(from.C, to.C), width - 1),
                std::min(std::max(from.R, to.R), height - 1)};
  if (r.Left > r.Right || r.Top > r.Bottom)
    return std::nullopt;
  return r;
}

TBlock CopyBlock(OPicture& picture, TView view, const TRect& area) {
  TBlock block(area.Right - area.Left + 1, area.Bottom - area.Top + 1);
  if (block.Empty() || !picture.Owner)
    return block;
  picture.BringUpToDate(view);
  const TGrid& grid =
      view == TView::Design ? picture.Owner->DesignColours : picture.Owner->MachineColours;
  for (int y = 0; y < block.Height; ++y)
    for (int x = 0; x < block.Width; ++x) {
      int bestC = 0, bestP = 0;
      for (const auto& region : picture.Regions) {
        int32_t c = area.Left + x + 1, p = area.Top + y + 1;
        if (region->MapPixelToCell(c, p) && grid.Contains(c, p) &&
            (c > bestC || (c == bestC && p > bestP))) {
          bestC = c;
          bestP = p;
        }
      }
      block.At(x, y) = grid.Get(bestC, bestP);
    }
  return block;
}

std::string PaintBlock(OPattern& pattern, OPicture& picture, TView view, const TBlock& block,
                       TCell at, const std::string& label, const std::optional<TRect>& cleared) {
  // A stroke still open (a button held while a key was pressed) is a step of its own.
  pattern.History.EndStroke();
  picture.BringUpToDate(view);
  pattern.History.BeginStroke(label);
  std::string first;
  {
    OPatternEvents::TGroup oneReport(pattern.Events);
    // Machine-view paints of many cells are the pattern's batch: the same cells as one by
    // one, the pixels redrawn once.
    struct TBatch {
      OPattern* Pattern;
      explicit TBatch(OPattern* pattern) : Pattern(pattern) {
        if (Pattern)
          Pattern->BeginPaintBatch();
      }
      ~TBatch() {
        if (Pattern)
          Pattern->EndPaintBatch();
      }
    } batch(view == TView::Machine ? &pattern : nullptr);
    auto paint = [&](int64_t x, int64_t y, uint8_t v) {
      if (x < 0 || y < 0 || x >= picture.Width || y >= picture.Height)
        return;
      std::string why =
          PaintPixel(pattern, picture, view, {static_cast<int>(x), static_cast<int>(y)}, v);
      if (first.empty())
        first = std::move(why);
    };
    if (cleared)
      for (int64_t y = cleared->Top; y <= cleared->Bottom; ++y)
        for (int64_t x = cleared->Left; x <= cleared->Right; ++x)
          paint(x, y, 0);
    for (int y = 0; y < block.Height; ++y)
      for (int x = 0; x < block.Width; ++x)
        paint(int64_t{at.C} + x, int64_t{at.R} + y, block.At(x, y));
  }
  pattern.History.EndStroke();
  return first;
}

TBlock BlockFromImage(OPattern& pattern, OPicture& picture, const OBitmap24& image) {
  if (image.Width() <= 0 || image.Height() <= 0)
    return {};
  // The import's assignment is made for a region; one standing apart from the picture's
  // list gives it without adding anything to the pattern.
  ORegion scratch(&pattern, &picture);
  const OBitmapMapping mapping(scratch, image);
  std::unordered_map<uint32_t, uint8_t> mapped;
  for (int i = 1; i <= mapping.NoBitmapColours; ++i)
    mapped.emplace(mapping.BitmapColours[static_cast<size_t>(i)],
                   mapping.Mapping[static_cast<size_t>(i)]);
  TBlock block(image.Width(), image.Height());
  for (int y = 0; y < block.Height; ++y) {
    const uint32_t* row = image.Row(block.Height - 1 - y);
    for (int x = 0; x < block.Width; ++x)
      if (const auto found = mapped.find(row[x]); found != mapped.end())
        block.At(x, y) = found->second;
  }
  return block;
}

std::string OSelection::Select(TCell from, TCell to, TView view) {
  std::string why = Floating ? Place(view) : std::string();
  Area = SelectionArea(from, to, Picture.Width, Picture.Height);
  return why;
}

TBlock OSelection::Copy(TView view) const {
  return Area ? CopyBlock(Picture, view, *Area) : TBlock();
}

TBlock OSelection::Cut(TView view, std::string* why) {
  TBlock block = Copy(view);
  if (!block.Empty()) {
    std::string refused = PaintBlock(Pattern, Picture, view, TBlock(block.Width, block.Height),
                                     {Area->Left, Area->Top}, "Cut");
    if (why)
      *why = std::move(refused);
  }
  return block;
}

std::string OSelection::Delete(TView view) {
  if (!Area)
    return {};
  return PaintBlock(Pattern, Picture, view,
                    TBlock(Area->Right - Area->Left + 1, Area->Bottom - Area->Top + 1),
                    {Area->Left, Area->Top}, "Delete");
}

void OSelection::Float(TBlock block, TCell at, std::optional<TRect> lifted, std::string label) {
  AreaBefore = Area;
  Floating = TFloating{std::move(block), at, lifted, std::move(label)};
  Follow();
}

void OSelection::Follow() {
  const TFloating& f = *Floating;
  // A block beside the picture leaves nothing selected until it comes back.
  Area = SelectionArea(f.At, {f.At.C + f.Block.Width - 1, f.At.R + f.Block.Height - 1},
                       Picture.Width, Picture.Height);
}

std::string OSelection::Paste(TBlock block, TCell at, TView view) {
  std::string why = Floating ? Place(view) : std::string();
  if (!block.Empty())
    Float(std::move(block), at, std::nullopt, "Paste");
  return why;
}

bool OSelection::MoveBy(int columns, int rows) {
  if (!Floating)
    return false;
  // Far enough off the picture is far enough: the sums stay well inside an int.
  auto clamp = [](int64_t v, int size, int extent) {
    return static_cast<int>(std::clamp<int64_t>(v, -int64_t{extent}, size));
  };
  TFloating& f = *Floating;
  f.At = {clamp(int64_t{f.At.C} + columns, Picture.Width, f.Block.Width),
          clamp(int64_t{f.At.R} + rows, Picture.Height, f.Block.Height)};
  Follow();
  return true;
}

std::string OSelection::Place(TView view) {
  if (!Floating)
    return {};
  const TFloating f = std::move(*Floating);
  Floating.reset();
  AreaBefore.reset();
  return PaintBlock(Pattern, Picture, view, f.Block, f.At, f.Label, f.Lifted);
}

void OSelection::Cancel() {
  if (!Floating)
    return;
  Floating.reset();
  Area = AreaBefore;
  AreaBefore.reset();
}

void OSelection::Transform(TView view, TBlock (*transform)(const TBlock&), const char* label) {
  if (!Floating) {
    if (!Area)
      return;
    Float(Copy(view), {Area->Left, Area->Top}, Area, label);
  }
  Floating->Block = transform(Floating->Block);
  Follow();
}

void OSelection::FlipHorizontal(TView view) {
  Transform(view, FlippedHorizontally, "Flip Horizontal");
}

void OSelection::FlipVertical(TView view) {
  Transform(view, FlippedVertically, "Flip Vertical");
}

void OSelection::Turn(TView view) {
  Transform(view, TurnedClockwise, "Turn");
}

} // namespace quillane
