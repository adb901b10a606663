#pragma once

// How the pattern view takes the mouse and the keys. The view is in one state at a time:
// zooming, one of the drawing tools, or dragging the picture with the middle button. Each state
// turns presses, moves, releases and keys into changes of the view or commands on the pattern, and
// says which cursor the grid shows and what the status bar says. The window forwards its
// events here and draws; what a press changed in the pattern reaches it as a change notice.
// A new tool is one more state: a class of OViewState given to OViewMouse::Choose.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "data/PatternEvents.h"
#include "editors/DrawTools.h"
#include "editors/Selection.h"
#include "editors/ViewGeometry.h"
#include "model/PaintRules.h"
#include "setup/PalettePaintBox.h"

namespace quillane {

class ODesignOwner;
class OPattern;
class OPicture;

// The grid's cursor; the window shows the platform's shape of that name.
enum class TViewCursor : uint8_t { Arrow, SizeAll, ClosedHand, Cross, PointingHand };

// The keys the states know; any other key is Other.
enum class TViewKey : uint8_t {
  Left,
  Right,
  Up,
  Down,
  PageUp,
  PageDown,
  Home,
  End,
  Escape,
  Enter,
  Other
};

// What the mouse is dragging while a button is held.
enum class TDragState : uint8_t { None, Stroke, View };

// A mouse event or a key in grid coordinates. Shift: TShiftFlag bits; only Shift, Alt and
// Ctrl, the Meta key counting as Alt.
struct TViewInput {
  int X = 0;
  int Y = 0;
  TMouseButton Button = TMouseButton::Left;
  uint32_t Shift = 0;
};

// What an event asks of the window besides what the pattern announces.
struct TViewReply {
  bool Taken = true;  // false: a key no state uses, for the window to pass on
  bool Moved = false; // zoom or scroll changed: the scroll bars follow and the grid repaints
  std::optional<std::string> Status; // the status bar's new text
  // Pixels whose look the tool's preview changed (from 0, inclusive): drawn again.
  std::optional<TRect> Preview;
};

// The view's tools, each a button of the window's toolbar.
enum class TDrawTool : uint8_t { Zoom, Pencil, Line, Rectangle, Fill, Picker, Selection };

// What a release would paint, which the view shows meanwhile over the picture in the colour
// it would paint with.
struct TToolPreview {
  const TPixelRuns& Pixels;
  uint8_t Colour = 0;
};

class OViewMouse;

class OViewState {
public:
  virtual ~OViewState() = default;
  virtual std::string_view Name() const = 0;
  // The tool whose button chose the state; a state no drawing tool's button chooses shows
  // the toolbar's Zoom.
  virtual TDrawTool Tool() const { return TDrawTool::Zoom; }
  virtual TViewCursor Cursor() const = 0;
  virtual TDragState Drag() const { return TDragState::None; }
  // None unless a drag of a drawing tool goes on.
  virtual TToolPreview Preview() const;

  virtual TViewReply Press(OViewMouse& mouse, const TViewInput& in) = 0;
  // Shows the cell under the mouse.
  virtual TViewReply Move(OViewMouse& mouse, const TViewInput& in);
  virtual TViewReply Release(OViewMouse& mouse, const TViewInput& in);
  // The arrows, Page Up, Page Down, Home and End scroll while no modifier is held; any
  // other key is not taken.
  virtual TViewReply Key(OViewMouse& mouse, TViewKey key, uint32_t shift);
  // Another state takes over: a drag in progress ends here.
  virtual void Leave(OViewMouse& mouse);

protected:
  // The middle button drags the picture whatever the chosen state.
  static TViewReply BeginPan(OViewMouse& mouse, const TViewInput& in);
};

// A press zooms in with the left button and out with any other, centring the cell pressed.
class OZoomState : public OViewState {
public:
  std::string_view Name() const override { return "Zoom"; }
  TViewCursor Cursor() const override { return TViewCursor::SizeAll; }
  TViewReply Press(OViewMouse& mouse, const TViewInput& in) override;
};

// A drawing tool: a press of the left button draws with the strip's left colour, of any
// other but the middle one with its right colour; the middle button drags the picture, and
// Alt with a press takes the colour under the mouse into that button instead. A press
// off the picture starts nothing.
class ODrawState : public OViewState {
public:
  explicit ODrawState(OPalettePaintBox& colours) : Colours(colours) {}
  TViewCursor Cursor() const override { return TViewCursor::Cross; }
  TDragState Drag() const override { return Held ? TDragState::Stroke : TDragState::None; }
  // The button held, while a drag goes on.
  std::optional<TMouseButton> Button() const { return Held; }
  TToolPreview Preview() const override { return {Shown, Index}; }

  TViewReply Press(OViewMouse& mouse, const TViewInput& in) final;
  TViewReply Move(OViewMouse& mouse, const TViewInput& in) final;
  TViewReply Release(OViewMouse& mouse, const TViewInput& in) final;
  // Escape ends the drag: what would be painted on release is not.
  TViewReply Key(OViewMouse& mouse, TViewKey key, uint32_t shift) override;
  void Leave(OViewMouse& mouse) final;

protected:
  OPalettePaintBox& Colours;
  std::optional<TMouseButton> Held;
  uint8_t Index = 0;
  TPixelRuns Shown;
  // The pixel pressed, the one the mouse moved to (beyond the picture too) and the one
  // released on, with the keys then held.
  virtual TViewReply Begin(OViewMouse& mouse, TCell at, uint32_t shift) = 0;
  virtual TViewReply DragTo(OViewMouse& mouse, TCell at, uint32_t shift);
  virtual TViewReply Finish(OViewMouse& mouse, TCell at, uint32_t shift);
  // A second button pressed while one is held; the drag ends without a release.
  virtual TViewReply Again(OViewMouse& mouse, TCell at, uint32_t shift);
  virtual void End(OViewMouse& mouse);
  // Shows `pixels` as the preview: the reply names what to draw again.
  void ShowPreview(TViewReply& reply, TPixelRuns pixels);
};

// The pencil: a press paints the brush's square under the mouse, a drag every square along
// the line the mouse took, however fast it went; the stroke becomes one step of the
// pattern's history on release.
class OPaintState : public ODrawState {
public:
  using ODrawState::ODrawState;
  std::string_view Name() const override { return "Paint"; }
  TDrawTool Tool() const override { return TDrawTool::Pencil; }

private:
  TCell Last{};
  TViewReply Begin(OViewMouse& mouse, TCell at, uint32_t shift) override;
  TViewReply DragTo(OViewMouse& mouse, TCell at, uint32_t shift) override;
  TViewReply Again(OViewMouse& mouse, TCell at, uint32_t shift) override;
  void End(OViewMouse& mouse) override;
};

// A line with the brush from the press to the release, shown meanwhile; Shift keeps it
// horizontal, vertical or diagonal.
class OLineState : public ODrawState {
public:
  using ODrawState::ODrawState;
  std::string_view Name() const override { return "Line"; }
  TDrawTool Tool() const override { return TDrawTool::Line; }

private:
  TCell Anchor{};
  TViewReply Begin(OViewMouse& mouse, TCell at, uint32_t shift) override;
  TViewReply DragTo(OViewMouse& mouse, TCell at, uint32_t shift) override;
  TViewReply Finish(OViewMouse& mouse, TCell at, uint32_t shift) override;
};

// A rectangle from the press to the release, shown meanwhile: its outline, or with Shift
// (or when made filled) all of it.
class ORectangleState : public ODrawState {
public:
  ORectangleState(OPalettePaintBox& colours, bool filled) : ODrawState(colours), Filled(filled) {}
  std::string_view Name() const override { return Filled ? "Filled Rectangle" : "Rectangle"; }
  TDrawTool Tool() const override { return TDrawTool::Rectangle; }

private:
  bool Filled;
  TCell Anchor{};
  TViewReply Begin(OViewMouse& mouse, TCell at, uint32_t shift) override;
  TViewReply DragTo(OViewMouse& mouse, TCell at, uint32_t shift) override;
  TViewReply Finish(OViewMouse& mouse, TCell at, uint32_t shift) override;
};

// A press fills the area of the pressed pixel's colour that hangs together through its
// sides; with Shift, every pixel of that colour in the picture.
class OFillState : public ODrawState {
public:
  using ODrawState::ODrawState;
  std::string_view Name() const override { return "Fill"; }
  TDrawTool Tool() const override { return TDrawTool::Fill; }
  TViewCursor Cursor() const override { return TViewCursor::PointingHand; }

private:
  TViewReply Begin(OViewMouse& mouse, TCell at, uint32_t shift) override;
};

// A press takes the colour of the pixel under the mouse into the button pressed.
class OPickState : public ODrawState {
public:
  using ODrawState::ODrawState;
  std::string_view Name() const override { return "Picker"; }
  TDrawTool Tool() const override { return TDrawTool::Picker; }
  TViewCursor Cursor() const override { return TViewCursor::PointingHand; }

private:
  TViewReply Begin(OViewMouse& mouse, TCell at, uint32_t shift) override;
};

// The selection tool: a drag selects the pixels between its ends and a click selects nothing;
// a drag that starts on a floating block moves it, a press beside it puts it down first.
// Enter puts the block down, the arrows move it and Escape drops it (or, with none floating,
// the selection). Another tool taken up puts the block down and selects nothing. Alt and a
// press pick a colour, as with the drawing tools.
class OSelectState : public OViewState {
public:
  explicit OSelectState(OPalettePaintBox& colours) : Colours(colours) {}
  std::string_view Name() const override { return "Selection"; }
  TDrawTool Tool() const override { return TDrawTool::Selection; }
  TViewCursor Cursor() const override { return Moving ? TViewCursor::SizeAll : TViewCursor::Cross; }
  TDragState Drag() const override { return Held ? TDragState::Stroke : TDragState::None; }
  TViewReply Press(OViewMouse& mouse, const TViewInput& in) override;
  TViewReply Move(OViewMouse& mouse, const TViewInput& in) override;
  TViewReply Release(OViewMouse& mouse, const TViewInput& in) override;
  TViewReply Key(OViewMouse& mouse, TViewKey key, uint32_t shift) override;
  void Leave(OViewMouse& mouse) override;

private:
  OPalettePaintBox& Colours;
  bool Held = false, Moving = false, Dragged = false;
  TCell Anchor{}, Last{};
};

// The pixels a selection's outline and floating block cover, to be drawn again when they
// change; none when nothing is selected or floating.
std::optional<TRect> SelectionBounds(const OSelection& selection);

// The picture follows the mouse from where the middle button went down until it comes up;
// then the state it interrupted goes on.
class OPanState : public OViewState {
public:
  OPanState(const OViewGeometry& geometry, int x, int y)
      : X(x), Y(y), Horz(geometry.HorzPos()), Vert(geometry.VertPos()) {}
  std::string_view Name() const override { return "Pan"; }
  TViewCursor Cursor() const override { return TViewCursor::ClosedHand; }
  TDragState Drag() const override { return TDragState::View; }
  TViewReply Press(OViewMouse&, const TViewInput&) override { return {}; }
  TViewReply Move(OViewMouse& mouse, const TViewInput& in) override;
  TViewReply Release(OViewMouse& mouse, const TViewInput& in) override;

private:
  int X, Y, Horz, Vert;
};

// The grid's mouse: the state chosen on the toolbar, the drag that may interrupt it, the
// view painted in and the wheel.
class OViewMouse {
public:
  // A new mouse zooms.
  OViewMouse(OPattern& pattern, OPicture& picture, OViewGeometry& geometry);

  OPattern& Pattern;
  OPicture& Picture;
  OViewGeometry& Geometry;
  TView View = TView::Machine;
  // The pencil's and the line's square brush, pixels across: one of BrushSizes.
  int Brush = 1;
  // What the selection tool selected; it outlives the tool's state so that the window's
  // commands reach it.
  OSelection Selection;

  // The state that takes the events now, and the one the toolbar chose (they differ while
  // a drag of the view interrupts it).
  const OViewState& State() const { return Interruption ? *Interruption : *Chosen; }
  const OViewState& ChosenState() const { return *Chosen; }
  // The toolbar's Zoom is the chosen state.
  bool Zooming() const;
  TViewCursor Cursor() const { return State().Cursor(); }
  TDragState Drag() const { return State().Drag(); }
  // The chosen state's drag, if any, ends first.
  void Choose(std::unique_ptr<OViewState> state);
  // For states: `state` takes the events until Resume (both take effect after the event).
  void Interrupt(std::unique_ptr<OViewState> state) { Next = std::move(state); }
  void Resume() { Resuming = true; }

  TViewReply Press(const TViewInput& in) { return Dispatch(&OViewState::Press, in); }
  TViewReply Move(const TViewInput& in) { return Dispatch(&OViewState::Move, in); }
  TViewReply Release(const TViewInput& in) { return Dispatch(&OViewState::Release, in); }
  TViewReply Key(TViewKey key, uint32_t shift);
  // A press on the palette strip picks a colour to paint with: a zooming view starts painting
  // with `colours`; a drawing one goes on, its drag too.
  void StripPressed(OPalettePaintBox& colours);
  // Shows `wanted` where the pattern offers it, else the machine view; answers the view shown.
  // A block floating is put down first, in the view it was taken in (`why` then says why a
  // paint of it was refused, if one was).
  TView ShowView(TView wanted, std::string* why = nullptr);
  // The window closes: a block floating is put down as Enter puts it down, so that closing
  // never loses it; answers why a paint of it was refused, empty when none was.
  std::string PutDown();
  // A turn of the wheel by these angles (Notch a notch): it scrolls up and down, across
  // with Shift, and zooms around the mouse with Ctrl.
  TViewReply Wheel(int across, int up, const TViewInput& at);

private:
  std::unique_ptr<OViewState> Chosen, Interruption, Next;
  bool Resuming = false;
  OWheelSteps WheelAcross, WheelUp, WheelZoom;
  TViewReply Dispatch(TViewReply (OViewState::*event)(OViewMouse&, const TViewInput&),
                      const TViewInput& in);
  void Settle();
};

// Floats a pasted block with its top left pixel on the selection's, or else on the top left
// pixel in sight; answers why a block put down first was refused.
std::string PasteInView(OViewMouse& mouse, TBlock block);

// A colour pattern has one view: its window and its bitmap import offer the machine view
// only.
bool OffersDesignView(const ODesignOwner& pattern);

// What a window showing `picture` in `view` draws again when the pattern announces `change`.
struct TRedraw {
  enum class TKind : uint8_t { Nothing, Pixels, Everything };
  TKind Kind = TKind::Nothing;
  // Pixels: the image whose pixels changed, and the pixels (from 0, inclusive).
  bool DesignImage = false;
  TRect Area{};
  // The grid's part that shows them, a pixel wider each side so that no rounding keeps an
  // old pixel of a drawing kept between paints; empty when none is in sight.
  TScreenRect Stale;
  // The part to repaint now: none when the view shows the other image.
  TScreenRect Repaint;
};
TRedraw RedrawFor(const TPatternChange& change, const OPicture& picture, TView view,
                  const OViewGeometry& geometry);

// The view's tools as the window offers them: its key, its button's text, the hint of its
// button and what the status bar says when it is chosen.
struct TDrawToolInfo {
  TDrawTool Tool;
  char Key;
  const char* Caption;
  const char* Hint;
  const char* Status;
};
extern const TDrawToolInfo DrawToolInfos[7];
std::unique_ptr<OViewState> MakeToolState(TDrawTool tool, OPalettePaintBox& colours);
// The tool whose state takes the events chosen (Zoom for none of the drawing tools').
TDrawTool ChosenTool(const OViewMouse& mouse);

} // namespace quillane
