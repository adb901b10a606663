// Selections and blocks against what painting the same cells press by press gives: pastes
// across a section's edge in both views, cut and paste back, lifted blocks put down or
// dropped, undo, and images mapped as the bitmap import maps them.
#include "editors/Selection.h"

#include <array>

#include "PatternSupport.h"
#include "editors/ViewStates.h"
#include "setup/Creel.h"
#include "setup/MachineTable.h"
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
            // The undefined colour makes its cells undefined, as Delete does.
            if (block.At(x, y) == 0) {
              UndefinePixel(*byHand, *byHand->Pictures->Get(0), view, {x, 28 + y});
              continue;
            }
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
  // Delete makes the cells undefined as Set Undefined does, though no state shows the
  // undefined colour, and the mirrored copies with them, in either view, as one step.
  for (const TView view : {TView::Machine, TView::Design}) {
    SCOPED_TRACE(static_cast<int>(view));
    const Bytes before(p->States.Data().begin(), p->States.Data().end());
    EXPECT_EQ(sel.Delete(view), "");
    EXPECT_EQ(p->History.UndoLabel(), "Delete");
    for (int c = 1; c <= 40; ++c)
      for (int l = 1; l <= 30; ++l)
        ASSERT_TRUE(p->GetMachineColour(c, l) == 0 &&
                    p->GetState(c, l) == p->MachineTable->GetState(p->Creel->GetYarnType(c), 0))
            << c << "," << l;
    EXPECT_EQ(sel.Copy(view), TBlock(13, 7, 0));
    p->History.Undo();
    EXPECT_TRUE(Bytes(p->States.Data().begin(), p->States.Data().end()) == before);
  }
  EXPECT_EQ(sel.Copy(TView::Machine), cells);
  EXPECT_EQ(p->History.UndoCount(), 1);
  // In the design view a colour no state shows on a pair of one yarn type names it once.
  EXPECT_EQ(PaintPixel(*p, picture, TView::Design, {3, 3}, 5),
            "Palette Color 5 has no states for Yarn Type A in the design table");

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
  // A block from a pattern with a larger palette floats nowhere.
  EXPECT_EQ(sel.Paste(TBlock(2, 2, 17), {2, 2}, TView::Machine),
            "The block holds Palette Color 17, which this pattern's palette does not have");
  EXPECT_FALSE(sel.Floating);
}

// A block floating when the view switches or the window closes is put down where it floats,
// in the view it was taken in, as Enter puts it down: neither loses it.
TEST_F(Selections, AFloatingBlockGoesDownWhenTheViewSwitchesOrTheWindowCloses) {
  std::unique_ptr<OPattern> p = Halves(false);
  OPicture& picture = *p->Pictures->Get(0);
  OViewGeometry geometry;
  OViewMouse mouse(*p, picture, geometry);
  std::string why = "unset";
  mouse.Selection.Paste(TBlock(2, 2, 1), {5, 5}, TView::Machine);
  EXPECT_EQ(mouse.ShowView(TView::Design, &why), TView::Design);
  EXPECT_TRUE(!mouse.Selection.Floating && p->History.UndoCount() == 1);
  mouse.Selection.Paste(TBlock(2, 2, 2), {8, 5}, TView::Design);
  EXPECT_EQ(why + mouse.PutDown() + mouse.PutDown(), "");
  EXPECT_FALSE(mouse.Selection.Floating);
  EXPECT_EQ(p->History.UndoLabels(), (std::vector<std::string>{"Paste", "Paste"}));
  EXPECT_EQ(CopyBlock(picture, TView::Machine, {5, 5, 6, 6}), TBlock(2, 2, 1));
  EXPECT_EQ(CopyBlock(picture, TView::Design, {8, 5, 9, 6}), TBlock(2, 2, 2));
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

TEST_F(Selections, TheToolSelectsMovesAndPlacesAndTheCommandsFollowWhatIsSelected) {
  std::unique_ptr<OPattern> p = Halves(true);
  // A colour pattern whose yarn types show colours 1 to 4: every colour of the blocks takes,
  // so the steps are the tool's alone.
  p->PatternMode = pmColours;
  p->SetNoYarnTypes(4);
  for (int y = 1; y <= 4; ++y)
    p->MachineTable->SetColour(y, 1, static_cast<uint8_t>(y));
  p->ApplyMachineTable();
  OPicture& picture = *p->Pictures->Get(0);
  OViewGeometry g;
  g.SetBox(80, 60);
  g.SetPicture(picture.Width, picture.Height, 1);
  OViewMouse mouse(*p, picture, g);
  OPalettePaintBox colours(p->Palette.get(), false);
  mouse.Choose(MakeToolState(TDrawTool::Selection, colours));
  EXPECT_EQ(ChosenTool(mouse), TDrawTool::Selection);
  const OSelection& sel = mouse.Selection;
  // Zoom 1, the picture in the middle of the grid.
  auto at = [&](int c, int r) {
    const TScreenRect cell = g.ScreenRect({c, r, c, r});
    return TViewInput{cell.Left, cell.Top};
  };
  auto drag = [&](TCell from, TCell to) {
    mouse.Press(at(from.C, from.R));
    mouse.Move(at(to.C, to.R));
    return mouse.Release(at(to.C, to.R));
  };
  using C = TSelectionCommand;
  // Copy, Cut, Delete | Paste with a block on the clipboard | flips and turn.
  auto enabled = [&](std::array<bool, 3> want) {
    for (const bool clip : {false, true}) {
      EXPECT_EQ(SelectionCommandEnabled(sel, C::Copy, clip), want[0]);
      EXPECT_EQ(SelectionCommandEnabled(sel, C::Delete, clip), want[0]);
      EXPECT_EQ(SelectionCommandEnabled(sel, C::Paste, clip), clip);
      EXPECT_EQ(SelectionCommandEnabled(sel, C::Turn, clip), want[2]);
    }
  };
  enabled({false, false, false});
  EXPECT_TRUE(drag({5, 7}, {2, 3}).Preview == (TRect{2, 3, 5, 7}));
  EXPECT_TRUE(sel.Area == (TRect{2, 3, 5, 7}));
  enabled({true, true, true});
  drag({9, 9}, {9, 9}); // a click
  EXPECT_FALSE(sel.Area);
  drag({2, 3}, {5, 7});

  const TBlock block = Block(2, 2, {1, 2, 3, 4});
  PasteInView(mouse, block); // its top left on the selection's
  EXPECT_TRUE(sel.Floating && sel.Floating->At == (TCell{2, 6}));
  enabled({false, true, true});
  mouse.Press(at(3, 7)); // on the block: it moves, the pattern waits
  EXPECT_EQ(mouse.Cursor(), TViewCursor::SizeAll);
  EXPECT_TRUE(mouse.Move(at(6, 7)).Preview == (TRect{2, 6, 6, 7}));
  mouse.Release(at(6, 7));
  EXPECT_TRUE(mouse.Key(TViewKey::Up, 0).Taken);
  EXPECT_FALSE(mouse.Key(TViewKey::Up, ssCtrl).Taken);
  EXPECT_TRUE(sel.Floating->At == (TCell{5, 7}));
  EXPECT_EQ(p->History.UndoCount(), 0);
  EXPECT_TRUE(mouse.Key(TViewKey::Enter, 0).Taken);
  EXPECT_EQ(p->History.UndoCount(), 1);
  EXPECT_EQ(p->History.UndoLabel(), "Paste");
  EXPECT_EQ(sel.Copy(TView::Machine), block);
  EXPECT_FALSE(mouse.Key(TViewKey::Enter, 0).Taken);
  // Alt picks, with the selection kept.
  TViewInput pick = at(6, 8);
  pick.Button = TMouseButton::Right;
  pick.Shift = ssAlt;
  EXPECT_EQ(mouse.Press(pick).Status, "Palette Color 4");
  EXPECT_EQ(colours.RightIndex, 4);
  EXPECT_TRUE(sel.Area == (TRect{5, 7, 6, 8}));

  // Escape drops the block, then the selection, then is the window's.
  PasteInView(mouse, Block(1, 1, {3}));
  for (const bool taken : {true, true, false})
    EXPECT_EQ(mouse.Key(TViewKey::Escape, 0).Taken, taken);
  EXPECT_EQ(p->History.UndoCount(), 1);
  // Nothing selected, a block goes to the top left pixel in sight; a press beside it and
  // another tool each put one down.
  PasteInView(mouse, block);
  EXPECT_TRUE(sel.Floating->At == (TCell{0, 28}));
  drag({20, 20}, {20, 20});
  PasteInView(mouse, FlippedVertically(block));
  mouse.Choose(std::make_unique<OZoomState>());
  EXPECT_EQ(p->History.UndoCount(), 3);
  EXPECT_FALSE(sel.Area || sel.Floating);
  // A picture made smaller keeps what is selected on it.
  mouse.Choose(MakeToolState(TDrawTool::Selection, colours));
  drag({30, 25}, {39, 29});
  picture.Width = 35;
  mouse.Selection.KeepToPicture();
  EXPECT_TRUE(sel.Area == (TRect{30, 25, 34, 29}));
}

TEST(Blocks, ClipboardBytesRoundTripAndStrangeBytesAreRefused) {
  const TBlock block = Block(3, 2, {1, 2, 3, 4, 5, 6});
  const std::vector<uint8_t> bytes = BlockBytes(block);
  EXPECT_EQ(bytes,
            (std::vector<uint8_t>{'Q', 'L', 'B', 'K', 3, 0, 0, 0, 2, 0, 0, 0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(BlockFromBytes(bytes.data(), bytes.size()), block);
  auto header = [](uint32_t w, uint32_t h) {
    std::vector<uint8_t> b{'Q', 'L', 'B', 'K'};
    for (const uint32_t v : {w, h})
      for (int i = 0; i < 32; i += 8)
        b.push_back(static_cast<uint8_t>(v >> i));
    return b;
  };
  std::vector<uint8_t> wrongMagic = bytes;
  wrongMagic[3] = 'X';
  const std::vector<uint8_t> hostile[] = {
      {},
      {bytes.begin(), bytes.end() - 1},
      {bytes.begin(), bytes.begin() + 11},
      wrongMagic,
      header(0, 0),
      header(65536, 65536),   // wraps to 0 in 32 bits
      header(0x80000000u, 1), // past an int
      [&] {
        auto b = bytes;
        b.push_back(0);
        return b;
      }(),
  };
  for (const auto& b : hostile)
    EXPECT_FALSE(BlockFromBytes(b.data(), b.size())) << b.size();
}

} // namespace
} // namespace quillane::test
