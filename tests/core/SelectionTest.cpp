// Selections and blocks against what painting the same cells press by press gives: pastes
// across a section's edge in both views, cut and paste back, lifted blocks put down or
// dropped, undo, and images mapped as the bitmap import maps them.
#include "editors/Selection.h"
#include "PatternSupport.h"
#include "editors/ViewStates.h"
#include "setup/Creel.h"
#include "setup/Palette.h"
#include "wizards/Wizards.h"

namespace quillane::test {
namespace {

TBlock Block(int width, int height, std::vector<uint8_t> values) {
  TBlock b(width, height);
  b.Values = std::move(values);
  return b;
}

TEST(Blocks, TurnAndFlipAsTheViewShowsThemAndSelectionsKeepToThePicture) {
  // Seen in the view: 4 5 6 over 1 2 3; turned clockwise: 1 4 / 2 5 / 3 6 from the top.
  const TBlock b = Block(3, 2, {1, 2, 3, 4, 5, 6});
  EXPECT_EQ(TurnedClockwise(b), Block(2, 3, {3, 6, 2, 5, 1, 4}));
  EXPECT_EQ(FlippedHorizontally(b), Block(3, 2, {3, 2, 1, 6, 5, 4}));
  EXPECT_EQ(FlippedVertically(b), Block(3, 2, {4, 5, 6, 1, 2, 3}));
  for (const TBlock& t : {b, Block(1, 4, {1, 2, 3, 4}), TBlock()}) {
    EXPECT_EQ(FlippedHorizontally(FlippedHorizontally(t)), t);
    EXPECT_EQ(FlippedVertically(FlippedVertically(t)), t);
    EXPECT_EQ(TurnedClockwise(TurnedClockwise(TurnedClockwise(TurnedClockwise(t)))), t);
  }
  const std::pair<std::pair<TCell, TCell>, std::optional<TRect>> areas[] = {
      {{{5, 7}, {2, 3}}, TRect{2, 3, 5, 7}}, {{{-4, 8}, {3, 12}}, TRect{0, 8, 3, 9}},
      {{{9, 9}, {9, 9}}, TRect{9, 9, 9, 9}}, {{{10, 0}, {14, 2}}, std::nullopt},
      {{{-3, -1}, {-1, 5}}, std::nullopt},
  };
  for (const auto& [corners, area] : areas)
    EXPECT_TRUE(SelectionArea(corners.first, corners.second, 10, 10) == area) << area.has_value();
}

void ExpectSameCells(OPattern& a, OPattern& b, TView view, int line = __builtin_LINE()) {
  SCOPED_TRACE(line);
  a.Pictures->Get(0)->BringUpToDate(view);
  b.Pictures->Get(0)->BringUpToDate(view);
  EXPECT_TRUE(a.States.Data() == b.States.Data());
  EXPECT_TRUE(a.MachineColours.Data() == b.MachineColours.Data());
  EXPECT_TRUE(a.DesignColours.Data() == b.DesignColours.Data());
}

class Selections : public TFlowTest {};

// 40 x 30 controls, the halves' edge at pixel 20: the right half mirrors the left (a turned
// region over both, drawn cell by cell), or copies it as it is, every control carrying the
// first yarn type.
std::unique_ptr<OPattern> Halves(bool mirrored) {
  if (mirrored) {
    auto p = GenerateWizard(TPlainWizard{40, 30, TWizardLayout::Sections2h});
    AddRegion(*p->Pictures->Get(0), {1, 1, 10, 8}, {16, 20, 23, 29}, 0, 0, 1);
    return p;
  }
  std::unique_ptr<OPattern> p =
      ShownPattern(40, 30, {{{1, 1, 20, 30}, {1, 1, 20, 30}}, {{1, 1, 20, 30}, {21, 1, 40, 30}}});
  for (int c = 1; c <= 40; ++c)
    p->Creel->SetYarnType(c, 1);
  p->ApplyCreel();
  return p;
}

TEST_F(Selections, PlacingPaintsAsPressesDoAsOneStepAndUndoes) {
  // As wide as a source and its copy: of two pixels on one cell the later one wins. Colour 5
  // has no state on the first yarn type: its cells are refused, as a press's are.
  TBlock blocks[] = {TBlock(24, 3), TBlock(24, 3)};
  for (size_t i = 0; i < blocks[0].Values.size(); ++i) {
    blocks[0].Values[i] = static_cast<uint8_t>(i * 7 % 11 % 2 + 1);
    blocks[1].Values[i] = static_cast<uint8_t>(i * 7 % 6);
  }
  for (const bool mirrored : {true, false})
    for (const TView view : {TView::Machine, TView::Design})
      for (const TBlock& block : blocks) {
        const bool refused = &block == &blocks[1];
        SCOPED_TRACE(std::to_string(mirrored) + std::to_string(static_cast<int>(view)) +
                     std::to_string(refused));
        std::unique_ptr<OPattern> p = Halves(mirrored), byHand = Halves(mirrored),
                                  fresh = Halves(mirrored);
        OPicture& picture = *p->Pictures->Get(0);
        OSelection sel(*p, picture);
        // Moved over the edge, its top row off the picture's top.
        sel.Paste(block, {2, 20}, view);
        EXPECT_TRUE(sel.MoveBy(-2, 8));
        EXPECT_TRUE(sel.Area == (TRect{0, 28, 23, 29}));
        ExpectSameCells(*p, *fresh, view);
        const std::string why = sel.Place(view);
        EXPECT_FALSE(sel.Floating);
        std::string expectedWhy;
        for (int y = 0; y < 2; ++y)
          for (int x = 0; x < 24; ++x) {
            std::string w =
                PaintPixel(*byHand, *byHand->Pictures->Get(0), view, {x, 28 + y}, block.At(x, y));
            expectedWhy = expectedWhy.empty() ? w : expectedWhy;
          }
        byHand->History.EndStroke();
        ExpectSameCells(*p, *byHand, view);
        EXPECT_EQ(why, expectedWhy);
        EXPECT_TRUE(mirrored || why.empty() != refused);
        EXPECT_EQ(p->History.UndoCount(), 1);
        EXPECT_EQ(p->History.UndoLabel(), "Paste");
        // A copy of the whole picture takes what the view draws afresh.
        const TBlock all = CopyBlock(picture, view, {0, 0, picture.Width - 1, picture.Height - 1});
        view == TView::Design ? picture.RenderDesignImage() : picture.RenderMachineImage();
        const OBitmap24& image = view == TView::Design ? picture.DesignImage : picture.MachineImage;
        for (int y = 0; y < all.Height; ++y)
          for (int x = 0; x < all.Width; ++x)
            ASSERT_EQ(p->Palette->GetColour(all.At(x, y)) & 0xFFFFFF, image.GetPixel(x, y))
                << x << " " << y;
        p->History.Undo();
        ExpectSameCells(*p, *fresh, view);
      }
}

TEST_F(Selections, CutPastedBackAndLiftedBlocksRestoreTheCells) {
  std::unique_ptr<OPattern> p = Halves(true);
  OPicture& picture = *p->Pictures->Get(0);
  for (int x = 0; x < 12; ++x) // a motif in the left half, whose mirror the right half shows
    PaintPixel(*p, picture, TView::Machine, {x + 3, x % 5 + 3}, static_cast<uint8_t>(x % 4 + 1));
  p->History.EndStroke();
  OSelection sel(*p, picture);
  sel.Select({14, 8}, {2, 2}, TView::Machine);
  const TBlock cells = sel.Copy(TView::Machine);
  EXPECT_EQ(cells.At(1, 1), 1); // pixel (3, 3)
  // The tables give the undefined colour no state: as a press with it, Delete is refused.
  EXPECT_EQ(sel.Delete(TView::Machine).rfind("Palette Color 0 has no state", 0), 0u);
  EXPECT_EQ(p->History.UndoCount(), 1);
  p->PatternMode = pmColours;

  // A lifted block turned or flipped back to itself and put down, or one dropped, changes
  // nothing.
  for (int i = 0; i < 4; ++i)
    sel.Turn(TView::Machine);
  sel.FlipVertical(TView::Machine);
  sel.FlipVertical(TView::Machine);
  EXPECT_EQ(sel.Floating->Block, cells);
  EXPECT_EQ(sel.Place(TView::Machine), "");
  sel.FlipHorizontal(TView::Machine);
  EXPECT_TRUE(sel.Key(TViewKey::Left) && sel.Key(TViewKey::Up));
  EXPECT_TRUE(sel.Area == (TRect{1, 3, 13, 9}));
  EXPECT_TRUE(sel.Key(TViewKey::Escape));
  EXPECT_TRUE(sel.Area == (TRect{2, 2, 14, 8}));
  EXPECT_FALSE(sel.Key(TViewKey::Left));
  EXPECT_EQ(sel.Copy(TView::Machine), cells);
  EXPECT_EQ(p->History.UndoCount(), 1);

  const TBlock cut = sel.Cut(TView::Machine);
  EXPECT_EQ(cut, cells);
  EXPECT_EQ(p->History.UndoLabel(), "Cut");
  EXPECT_EQ(sel.Copy(TView::Machine), TBlock(13, 7, 0));
  sel.Paste(cut, {2, 2}, TView::Machine);
  sel.Place(TView::Machine);
  EXPECT_EQ(sel.Copy(TView::Machine), cells);
  EXPECT_EQ(p->History.UndoCount(), 3);
  // A lift moved and put down clears where it was in the same step.
  sel.FlipHorizontal(TView::Machine);
  sel.MoveBy(0, 20);
  sel.Place(TView::Machine);
  EXPECT_EQ(p->History.UndoLabel(), "Flip Horizontal");
  sel.Select({2, 2}, {14, 8}, TView::Machine);
  EXPECT_EQ(sel.Copy(TView::Machine), TBlock(13, 7, 0));
  sel.Select({2, 22}, {14, 28}, TView::Machine);
  EXPECT_EQ(sel.Copy(TView::Machine), FlippedHorizontally(cells));
  EXPECT_EQ(sel.Delete(TView::Machine), "");
  EXPECT_EQ(p->History.UndoLabel(), "Delete");
  EXPECT_EQ(sel.Copy(TView::Machine), TBlock(13, 7, 0));
}

TEST_F(Selections, ImagesTakeTheBitmapImportsColoursTopRowOnTopAndBlocksGoOutAsImages) {
  std::unique_ptr<OPattern> p = Halves(true);
  OPicture& picture = *p->Pictures->Get(0);
  const uint32_t third = p->Palette->GetColour(3);
  OBitmap24 image;
  image.SetSize(3, 2);
  const uint32_t pixels[] = {0x123456, third, 0x654321, 0x123456, 0x777777, third};
  for (int i = 0; i < 6; ++i)
    image.SetPixel(i % 3, i / 3, pixels[i]);
  // Colour 3 kept its entry; the new ones took the lowest free ones, met column by column.
  const TBlock block = BlockFromImage(*p, picture, image);
  EXPECT_EQ(block, Block(3, 2, {1, 2, 3, 1, 3, 4}));
  // Out to another program and back, in colours the palette holds, as it was.
  EXPECT_EQ(BlockImage(block, *p->Palette).GetPixel(2, 0), p->Palette->GetColour(4));
  EXPECT_EQ(BlockFromImage(*p, picture, BlockImage(block, *p->Palette)), block);
}

} // namespace
} // namespace quillane::test
