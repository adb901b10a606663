#pragma once

#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <array>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "data/PatternEvents.h"
#include "data/Signal.h"
#include "editors/ShownColours.h"
#include "editors/ViewMarks.h"
#include "editors/ViewStates.h"
#include "ui/DesignForm.h"

class QComboBox;
class QLabel;
class QMenu;
class QPainter;
class QRadioButton;
class QScrollBar;
class QToolBar;
class QToolButton;

namespace quillane {

class OPalette;
class OPattern;
class OPicture;
class OWindowUI;
class TPaletteStrip;

// The pattern view window: a picture of the pattern, one pixel per cell enlarged by the
// zoom, PLine 1 at the bottom; clicks zoom or draw with the strip's button colours.
class TfmWindow : public TfmEditorForm {
  Q_OBJECT
public:
  explicit TfmWindow(OWindowUI& controller);
  ~TfmWindow() override;

  QToolButton* buZoom;
  QToolButton* buFit;
  // The drawing tools after Zoom, in the order of DrawToolInfos, and the brush's size, on
  // a bar of their own.
  QToolBar* ToolBar2;
  std::vector<QToolButton*> ToolButtons;
  QComboBox* cbBrush;
  // The selection's commands, on a menu button of the tools' bar, in the order of
  // TSelectionCommand; their keys work while the window has the focus.
  QMenu* SelectionMenu;
  std::vector<QAction*> SelectionActions;
  QRadioButton* rbDesign;
  QRadioButton* rbMachine;
  QToolButton* buSetUndefined;
  QToolButton* buSave;
  QToolButton* buSaveAs;
  QToolButton* buClose;
  TPaletteStrip* pbPalette;
  QWidget* PaintBox1;
  QScrollBar* sbHorz;
  QScrollBar* sbVert;

  OPattern& Pattern;
  OPicture& Picture;
  const OViewGeometry& Geometry() const { return View; }
  const OViewMouse& Mouse() const { return MouseState; }

  void RefreshGrids() override;
  // The grid lays itself out by hand, so the window says how large it likes to open (and
  // to be cascaded).
  QSize sizeHint() const override { return {580, 360}; }

  // The grid's paint box calls these; the mouse state decides what they do.
  void PaintGrid(const QRegion& region);
  void GridPress(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers = {});
  void GridMove(QPoint at, Qt::KeyboardModifiers modifiers = {});
  void GridRelease(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers = {});
  // The wheel: Shift turns across, Ctrl zooms around the mouse.
  void GridWheel(QPoint angle, Qt::KeyboardModifiers modifiers, QPoint at);
  void Fit();
  // Scrolls the control into the middle of the grid.
  void ShowControl(int control);
  // Scrolls the pixel that shows the cell (control and PLine from 1) into the middle of the
  // grid (WindowCheck.cpp); nothing when the picture shows it nowhere.
  void ShowCell(int control, int pline);
  // False for a key the grid does not use.
  bool GridKey(int key, Qt::KeyboardModifiers modifiers);
  // Enter puts a floating block down rather than moving the focus on.
  bool GridTakesEnter() const { return MouseState.Selection.Floating.has_value(); }
  // A command of the selection menu, as its item or key runs it (WindowSelection.cpp).
  void SelectionCommand(TSelectionCommand command);
  // A rung of zoom in (1) or out (-1) around the middle of the picture in sight, as `+` and
  // `-` do.
  void ZoomStep(int steps);
  // The mouse left the grid: no cell is highlighted.
  void GridLeave();
  // The cell under the mouse, highlighted on the grid and the rulers.
  const std::optional<TCell>& Hovered() const { return Hover; }
  // The rulers along the top (controls) and the left (PLines).
  QWidget* RulerTop;
  QWidget* RulerLeft;

  // A block floating is put down before the window closes.
  bool QueryClose() override;

protected:
  // The window stops following the pattern: its picture may go before the window does.
  void Destroy() override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The grid takes the focus, so that the keys scroll from the start.
  void showEvent(QShowEvent* event) override;

private:
  OPalette* Palette;
  // The colourway the views show, as a swap of the images' palette colours; SwapCount counts
  // its changes.
  OColourSwap Swap;
  int SwapCount = 0;
  // The picture colours the grid was sampled in, and each as the grid shows it now. A
  // colour past the keys' room loses them all until the grid is sampled afresh.
  OColourKeys Keys;
  std::array<QRgb, OColourKeys::MaxKeys> KeyColours{};
  bool KeysLost = false;
  ORecolour Recolour;
  void TakeSwap();
  void ForgetKeys();
  // Keys are kept while the pattern has colourways to switch between.
  bool WantKeys() const;
  // Takes up the colourway shown; the grid is recoloured when its colours changed.
  void FollowColourway();
  OViewGeometry View;
  OViewMouse MouseState;
  OPatternEvents::TSubscription Subscription;
  QWidget* Corner;
  // The grid as last drawn, background included, and what it was drawn from. An exposed
  // part is copied from it, as a prepared image is drawn; only the parts in Stale (a changed
  // area) are sampled from the picture again, and a change of what the grid shows (the
  // image, the frame, the grid's size, the background) samples everything afresh.
  struct TShown {
    QImage Image;
    const void* Of = nullptr;
    int Width = 0, Height = 0;
    TViewFrame Frame;
    float Zoom = 0;
    double RowHeight = 0;
    QRgb Background = 0;
    QRegion Stale;
    // Kept parts whose pixels are still in colours shown before: drawn on screen from their
    // keys, and recoloured in here only when they are copied from.
    QRegion Uncoloured;
    // Beside each pixel of the picture's part, the key of the picture colour sampled there,
    // under the grid's lines and marks; and the swap the pixels were drawn through.
    std::vector<uint8_t> Keys;
    bool Keyed = false;
    int Swapped = 0;
  } Drawn;
  // Zoomed out, every Step-th column of the shown image from column Phase, converted for the
  // screen, a PLine at a time as first drawn: a repaint then reads a few contiguous pixels
  // per PLine instead of touching every cache line of the image's width. A changed area
  // makes its PLines be taken again; anything else starts afresh.
  struct TReduced {
    const void* Of = nullptr;
    int Step = 0, Phase = 0, Width = 0, Height = 0;
    std::vector<QRgb> Pixels;
    std::vector<uint8_t> RowReady;
    bool Keyed = false;
    std::vector<uint8_t> Keys;
  } Reduced;
  std::vector<int> Columns;
  bool Painting = false;
  // The status text the window put up last (the cell under the mouse and the like): a
  // window that closes takes it down while the bar still shows it.
  QPointer<QLabel> StatusLabel;
  std::string ShownStatus;
  void Status(const std::string& text);
  // The selection's menu and clipboard, and its outline and floating block over the grid.
  bool ClipboardHasBlock = false;
  void BuildSelectionMenu();
  void ShowSelectionCommands();
  void PaintSelection(QPainter& painter, const QRegion& exposed);

  // WindowView.cpp: the zoom keys, and the zoom, scroll and view kept in the ini per pattern
  // file and window.
  void AddViewKeys();
  // WindowRulers.cpp: the rulers, the cell grid and the highlighted cell over the picture.
  void AddRulers();
  // The rulers' thickness: the left one's width and the top one's height.
  QSize RulerSize() const;
  void PaintMarks(QPainter& painter, const QRegion& exposed);
  // The grid's lines and the crosses of unstated cells, drawn into the cached image as its
  // stale parts are sampled again, so that a repaint from the cache costs no more for them.
  void MarkCells(QPainter& painter, const QRegion& sampled);
  // The picture pixels (from 0, inclusive) drawn in `screen`, a part of the picture's image.
  TRect PixelsUnder(const QRect& screen) const;
  void HoverAt(const std::optional<TCell>& cell);
  std::optional<TCell> Hover;
  // Cells whose colour has no state for their yarn type: crossed on the grid and counted in
  // the status bar. The count follows each change notice of cells; a notice of everything or
  // of a setup object is counted again from the next paint, when the view's colours are up to
  // date, a slice of PLines at a time while the window is idle, so that the picture shows
  // first.
  OUnstatedCells Unstated;
  bool UnstatedDue = true;
  QTimer* UnstatedLater = nullptr;
  void CountUnstatedLater();
  std::string StatusBase, UnstatedShown;
  void CountUnstated(const TPatternChange& change);
  void ShowUnstated();
  // WindowCheck.cpp: the cells of the pattern's check marked over the picture, drawn into
  // the cached image as the crosses are, and its count in the status bar.
  TSubscription CheckNotices;
  void FollowCheck();
  void MarkFindings(QPainter& painter, const QRegion& sampled);
  std::string CheckWord() const;
  std::string CheckShown;
  // What the rulers were last drawn for: they repaint when the grid shows something else.
  std::tuple<TViewFrame, float, int, int> RulersDrawn;
  std::string SavedViewKey() const;
  // A window opens showing the whole picture (unless it reopens as it was left), and keeps
  // it fitted as its size settles, until the designer zooms or scrolls.
  bool KeepFitted = true;
  void RestoreView();
  void SaveView();

  void SetZoomMode(bool on);
  // Takes up a drawing tool (or Zoom) as its button or key does.
  void ChooseTool(TDrawTool tool);
  // The tool buttons show the tool chosen.
  void ShowTool();
  // What an event of the grid asks besides the pattern's change notices.
  void Follow(const TViewReply& reply);
  void ShowCursor();
  void ViewChosen();
  void LayOut();
  // The picture's size and the grid's, and the scroll bars' ranges and positions.
  void SyncGeometry();
  void Changed(const TPatternChange& change);
  // Draws the picture's pixels shown in `part` of the grid, whose top left pixel is at `to`,
  // rows `stride` pixels apart.
  void Sample(const TViewFrame& f, const QRect& part, QRgb* to, qsizetype stride);
  // The kept grid's pixels in `kept` drawn again from their keys through the colours set in
  // Recolour, its lines and marks over them.
  void RecolourDrawn(const QRegion& kept);
  // The same drawn straight onto what `painter` paints the window into, when that is an
  // image of its pixels; false, drawing nothing, when it is not.
  bool RecolourOnto(QPainter& painter, const QRegion& kept);
  void RecolourPart(const QRect& part, QRgb* to, qsizetype stride) const;
};

} // namespace quillane
