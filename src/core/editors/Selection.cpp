#include "editors/Selection.h"

#include <algorithm>
#include <array>
#include <span>
#include <unordered_map>
#include <utility>

#include "data/Mapping.h"
#include "editors/ViewStates.h"
#include "elements/BitmapMapping.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "model/BitmapStates.h"
#include "model/PaintRules.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane {

TBlock::TBlock(int width, int height, uint8_t value)
    : Width(std::max(width, 0)), Height(std::max(height, 0)),
      Values(static_cast<size_t>(Width) * static_cast<size_t>(Height), value) {}

namespace {
// The block with each value moved to where `to` sends it, in a block `width` by `height`.
template <class TTo> TBlock Moved(const TBlock& block, int width, int height, TTo to) {
  TBlock out(width, height);
  for (int y = 0; y < block.Height; ++y)
    for (int x = 0; x < block.Width; ++x) {
      const auto [toX, toY] = to(x, y);
      out.At(toX, toY) = block.At(x, y);
    }
  return out;
}
} // namespace

TBlock FlippedHorizontally(const TBlock& block) {
  return Moved(block, block.Width, block.Height,
               [&](int x, int y) { return std::pair(block.Width - 1 - x, y); });
}

TBlock FlippedVertically(const TBlock& block) {
  return Moved(block, block.Width, block.Height,
               [&](int x, int y) { return std::pair(x, block.Height - 1 - y); });
}

TBlock TurnedClockwise(const TBlock& block) {
  // Turned clockwise as the eye sees it, the left column read upwards becomes the top row
  // read to the right; rows count upwards, so that top row is the block's last.
  return Moved(block, block.Height, block.Width,
               [&](int x, int y) { return std::pair(y, block.Width - 1 - x); });
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

namespace {

// Pixels `r` (on the picture) painted with `values` (row after row from r.Top, each r's
// width long) as one area of the open batch, when that gives what pixel after pixel would:
// every region over them maps them onto cells the same way, unturned and unflipped, inside
// the grid, and no pixel would be refused. False, with nothing changed, otherwise.
bool PaintAsArea(OPattern& pattern, const OPicture& picture, const TRect& r,
                 std::span<const uint8_t> values) {
  if (pattern.PatternMode != pmStates && pattern.PatternMode != pmColours)
    return false;
  if (pattern.PatternMode == pmColours) {
    // A colour no yarn type shows is refused pixel by pixel, as a press refuses it.
    std::array<bool, 256> refused{};
    for (int v = 1; v < 256; ++v)
      refused[static_cast<size_t>(v)] = !ColourTufts(pattern, static_cast<uint8_t>(v));
    for (const uint8_t v : values)
      if (refused[v])
        return false;
  }
  const TRect B{r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1}; // positions from 1
  std::optional<TPoint64> shift;
  bool covered = false;
  for (const auto& region : picture.Regions) {
    const TRect& q = region->PictureArea;
    if (q.Left > q.Right || q.Top > q.Bottom || q.Left > B.Right || B.Left > q.Right ||
        q.Top > B.Bottom || B.Top > q.Bottom)
      continue;
    auto map = [&](int64_t x, int64_t y) {
      return MapBackUnchecked(region->PatternArea, q, region->HFlip, region->VFlip,
                              region->Rotation, x, y);
    };
    const TPoint64 o = map(0, 0), ex = map(1, 0), ey = map(0, 1);
    if (ex.X - o.X != 1 || ex.Y != o.Y || ey.X != o.X || ey.Y - o.Y != 1 ||
        (shift && (shift->X != o.X || shift->Y != o.Y)))
      return false;
    shift = o;
    covered = covered ||
              (q.Left <= B.Left && q.Right >= B.Right && q.Top <= B.Top && q.Bottom >= B.Bottom);
  }
  if (!covered)
    return false;
  const int64_t left = B.Left + shift->X, top = B.Top + shift->Y;
  const int64_t width = AreaWidth(B), height = AreaHeight(B);
  if (left < 1 || top < 1 || left + width - 1 > pattern.NoControls ||
      top + height - 1 > pattern.NoPLines)
    return false;
  const TRect cells{static_cast<int32_t>(left), static_cast<int32_t>(top),
                    static_cast<int32_t>(left + width - 1), static_cast<int32_t>(top + height - 1)};
  if (pattern.PatternMode == pmStates) {
    // A press is refused where no cell it reaches has a state for its colour: the source
    // the first section over the cell takes it from, or a copy of that source.
    std::vector<int16_t> takes(size_t{256} * 256, -1); // [yarn type][colour], -1 not asked
    auto take = [&](int c, uint8_t v) {
      const int yarn = pattern.Creel->GetYarnType(c);
      int16_t& t = takes[static_cast<size_t>(yarn & 0xFF) * 256 + v];
      if (t < 0)
        t = pattern.MachineTable->GetState(yarn, v) != 0 ? 1 : 0;
      return t == 1;
    };
    const auto& sections = *pattern.Sections;
    // A bit a cell: a cell found under one section is past the later ones.
    std::vector<bool> found(static_cast<size_t>(width * height));
    for (const auto& section : sections) {
      const TRect& t = section->TargetArea;
      for (int64_t p = std::max<int64_t>(t.Top, top);
           p <= std::min<int64_t>(t.Bottom, cells.Bottom); ++p)
        for (int64_t c = std::max<int64_t>(t.Left, left);
             c <= std::min<int64_t>(t.Right, cells.Right); ++c) {
          const size_t k = static_cast<size_t>((p - top) * width + (c - left));
          if (found[k])
            continue;
          found[k] = true;
          int32_t sc = static_cast<int32_t>(c), sp = static_cast<int32_t>(p);
          if (!section->MapToSource(sc, sp) || !pattern.States.Contains(sc, sp) ||
              take(sc, values[k]))
            continue;
          bool copied = false;
          for (const auto& other : sections) {
            int32_t c2 = sc, p2 = sp;
            if (other->MapToTarget(c2, p2) && pattern.States.Contains(c2, p2) &&
                take(c2, values[k])) {
              copied = true;
              break;
            }
          }
          if (!copied)
            return false;
        }
    }
  }
  // Pixel after pixel goes row after row, each from its left: the last of cells sharing a
  // source wins in that order.
  return pattern.BatchPaintArea(cells, values, {1, width + 1});
}

} // namespace

std::string PaintBlock(OPattern& pattern, OPicture& picture, TView view, const TBlock& block,
                       TCell at, const std::string& label, const std::optional<TRect>& cleared) {
  // A stroke still open (a button held while a key was pressed) is a step of its own.
  pattern.History.EndStroke();
  picture.BringUpToDate(view);
  // The parts on the picture: what was lifted, then the block.
  auto onPicture = [&](int64_t l, int64_t t, int64_t r, int64_t b) -> std::optional<TRect> {
    l = std::max<int64_t>(l, 0);
    t = std::max<int64_t>(t, 0);
    r = std::min<int64_t>(r, int64_t{picture.Width} - 1);
    b = std::min<int64_t>(b, int64_t{picture.Height} - 1);
    if (l > r || t > b)
      return std::nullopt;
    return TRect{static_cast<int32_t>(l), static_cast<int32_t>(t), static_cast<int32_t>(r),
                 static_cast<int32_t>(b)};
  };
  const std::optional<TRect> lifted =
      cleared ? onPicture(cleared->Left, cleared->Top, cleared->Right, cleared->Bottom)
              : std::nullopt;
  const std::optional<TRect> placed =
      onPicture(at.C, at.R, int64_t{at.C} + block.Width - 1, int64_t{at.R} + block.Height - 1);
  int64_t pixels = 0;
  for (const auto& part : {lifted, placed})
    pixels += part ? AreaWidth(*part) * AreaHeight(*part) : 0;
  // A batch's cells are not noted one by one for the history, which then compares the
  // grids before and after: for a paint that reaches a fair share of the pattern that costs
  // less than noting each cell, and areas of the batch cost far less than presses.
  // The undefined colour in a state pattern's block is no paint (no state shows it): its
  // cells are made undefined one by one, in the order the other pixels paint.
  const bool states = pattern.PatternMode == pmStates;
  const bool holdsUndefined =
      states && placed &&
      std::find(block.Values.begin(), block.Values.end(), 0) != block.Values.end();
  const bool asArea = view == TView::Machine && !holdsUndefined &&
                      pixels * 256 >= int64_t{pattern.NoControls} * pattern.NoPLines;
  std::optional<OUndoHistory::TChange> change;
  if (asArea)
    change.emplace(pattern.History, label);
  else
    pattern.History.BeginStroke(label);
  std::string first;
  {
    OPatternEvents::TGroup oneReport(pattern.Events);
    // The place a block leaves is made undefined as Set Undefined makes a cell, not painted
    // with colour 0: in a state pattern no state shows that colour, and a paint would be
    // refused.
    auto undefine = [&](int x, int y) { UndefinePixel(pattern, picture, view, {x, y}); };
    // A large place is made undefined a piece of a PLine at a time.
    auto undefineAll = [&](const TRect& part) {
      if (!asArea)
        return false;
      TPixelRuns rows;
      for (int y = part.Top; y <= part.Bottom; ++y)
        rows.push_back({y, part.Left, part.Right});
      return pattern.UndefineMachineCells(ShownCells(pattern, picture, rows));
    };
    if (lifted && !undefineAll(*lifted))
      for (int y = lifted->Top; y <= lifted->Bottom; ++y)
        for (int x = lifted->Left; x <= lifted->Right; ++x)
          undefine(x, y);
    TPaintBatchScope batch(pattern, asArea);
    auto paint = [&](const TRect& part, auto value) {
      std::vector<uint8_t> values;
      values.reserve(static_cast<size_t>(AreaWidth(part) * AreaHeight(part)));
      for (int y = part.Top; y <= part.Bottom; ++y)
        for (int x = part.Left; x <= part.Right; ++x)
          values.push_back(value(x, y));
      if (asArea && PaintAsArea(pattern, picture, part, values))
        return;
      size_t k = 0;
      for (int y = part.Top; y <= part.Bottom; ++y)
        for (int x = part.Left; x <= part.Right; ++x) {
          if (states && values[k] == 0) {
            ++k;
            undefine(x, y);
            continue;
          }
          std::string why = PaintPixel(pattern, picture, view, {x, y}, values[k++]);
          if (first.empty())
            first = std::move(why);
        }
    };
    if (placed)
      paint(*placed, [&](int x, int y) { return block.At(x - at.C, y - at.R); });
  }
  if (asArea)
    change->Commit();
  else
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

OBitmap24 BlockImage(const TBlock& block, const OPalette& palette) {
  OBitmap24 image;
  image.SetSize(block.Width, block.Height);
  for (int y = 0; y < block.Height; ++y)
    for (int x = 0; x < block.Width; ++x)
      image.SetPixel(x, block.Height - 1 - y, palette.GetColour(block.At(x, y)));
  return image;
}

namespace {
constexpr uint8_t BlockMagic[4] = {'Q', 'L', 'B', 'K'};
constexpr size_t BlockHeader = 12;
} // namespace

std::vector<uint8_t> BlockBytes(const TBlock& block) {
  std::vector<uint8_t> bytes(BlockMagic, BlockMagic + 4);
  for (const int size : {block.Width, block.Height})
    for (int shift = 0; shift < 32; shift += 8)
      bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(size) >> shift));
  bytes.insert(bytes.end(), block.Values.begin(), block.Values.end());
  return bytes;
}

std::optional<TBlock> BlockFromBytes(const uint8_t* data, size_t size) {
  if (!data || size < BlockHeader || !std::equal(BlockMagic, BlockMagic + 4, data))
    return std::nullopt;
  auto number = [data](size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
      v = v << 8 | data[at + static_cast<size_t>(i)];
    return v;
  };
  const uint32_t width = number(4), height = number(8);
  // Each size below 2^31, so their product cannot wrap in 64 bits.
  if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX ||
      uint64_t{width} * height != size - BlockHeader)
    return std::nullopt;
  TBlock block;
  block.Width = static_cast<int>(width);
  block.Height = static_cast<int>(height);
  block.Values.assign(data + BlockHeader, data + size);
  return block;
}

bool SelectionCommandEnabled(const OSelection& selection, TSelectionCommand command,
                             bool clipboardHasBlock) {
  switch (command) {
  case TSelectionCommand::Copy:
  case TSelectionCommand::Cut:
  case TSelectionCommand::Delete:
    return selection.Area && !selection.Floating;
  case TSelectionCommand::Paste:
    return clipboardHasBlock;
  case TSelectionCommand::FlipHorizontal:
  case TSelectionCommand::FlipVertical:
  case TSelectionCommand::Turn:
    return selection.Area || selection.Floating;
  }
  return false;
}

std::string OSelection::Select(TCell from, TCell to, TView view) {
  std::string why = Floating ? Place(view) : std::string();
  Area = SelectionArea(from, to, Picture.Width, Picture.Height);
  return why;
}

void OSelection::KeepToPicture() {
  if (Floating)
    Follow();
  else if (Area)
    Area = SelectionArea({Area->Left, Area->Top}, {Area->Right, Area->Bottom}, Picture.Width,
                         Picture.Height);
}

TBlock OSelection::Copy(TView view) const {
  return Area ? CopyBlock(Picture, view, *Area) : TBlock();
}

TBlock OSelection::Cut(TView view, std::string* why) {
  TBlock block = Copy(view);
  if (!block.Empty()) {
    std::string refused = PaintBlock(Pattern, Picture, view, TBlock(), {}, "Cut", Area);
    if (why)
      *why = std::move(refused);
  }
  return block;
}

std::string OSelection::Delete(TView view) {
  if (!Area)
    return {};
  return PaintBlock(Pattern, Picture, view, TBlock(), {}, "Delete", Area);
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
  // A block from another pattern's window may hold colours this palette lacks; stored, they
  // would reach the files as indices the controller cannot show.
  const int colours = Pattern.Palette->NoColours();
  for (const uint8_t v : block.Values)
    if (v > colours)
      return "The block holds Palette Color " + std::to_string(v) +
             ", which this pattern's palette does not have";
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

bool OSelection::Key(TViewKey key) {
  switch (key) {
  case TViewKey::Left:
    return MoveBy(-1, 0);
  case TViewKey::Right:
    return MoveBy(1, 0);
  case TViewKey::Up:
    return MoveBy(0, 1);
  case TViewKey::Down:
    return MoveBy(0, -1);
  case TViewKey::Escape:
    if (Floating)
      Cancel();
    else if (Area)
      SelectNothing();
    else
      return false;
    return true;
  default:
    return false;
  }
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
