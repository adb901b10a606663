#include "ui/WindowForm.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#include <QAction>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QRadioButton>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>

#include "ImageIO.h"
#include "app/App.h"
#include "elements/Picture.h"
#include "model/Pattern.h"
#include "setup/Palette.h"
#include "shell/DesignUI.h"
#include "ui/PaletteStrip.h"

namespace quillane {

namespace {

constexpr int StripWidth = 30;
constexpr int BarSize = 16;

// A core pixel (bytes R, G, B, 0) as the grid's buffer holds it.
inline QRgb Shown(uint32_t pixel) {
  return 0xFF000000u | (pixel & 0xFFu) << 16 | (pixel & 0xFF00u) | (pixel >> 16 & 0xFFu);
}

// The grid: it draws and takes the mouse through its window.
class TViewGrid : public QWidget {
public:
  TViewGrid(QWidget* parent, TfmWindow& window) : QWidget(parent), Window(window) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
  }

protected:
  void paintEvent(QPaintEvent* event) override { Window.PaintGrid(event->region()); }
  // The window's mouse state decides what each event does.
  void mousePressEvent(QMouseEvent* event) override {
    Window.GridPress(event->button(), event->position().toPoint(), event->modifiers());
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    Window.GridMove(event->position().toPoint(), event->modifiers());
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    Window.GridRelease(event->button(), event->position().toPoint(), event->modifiers());
  }
  // The keys scroll the grid; the scroll area around the window's panel would take them.
  void keyPressEvent(QKeyEvent* event) override {
    if (!Window.GridKey(event->key(), event->modifiers()))
      QWidget::keyPressEvent(event);
  }
  bool event(QEvent* event) override {
    // The form's Enter moves the focus on unless a floating block waits to be put down.
    if (event->type() == QEvent::ShortcutOverride && Window.GridTakesEnter())
      if (const int key = static_cast<QKeyEvent*>(event)->key();
          key == Qt::Key_Return || key == Qt::Key_Enter) {
        event->accept();
        return true;
      }
    return QWidget::event(event);
  }
  void wheelEvent(QWheelEvent* event) override {
    Window.GridWheel(event->angleDelta(), event->modifiers(), event->position().toPoint());
  }
  void leaveEvent(QEvent*) override { Window.GridLeave(); }

private:
  TfmWindow& Window;
};

// The grid's events as the mouse state takes them; a button other than the left and the
// middle one counts as the right.
TViewInput Input(QPoint at, Qt::KeyboardModifiers modifiers,
                 Qt::MouseButton button = Qt::LeftButton) {
  TViewInput in;
  in.X = at.x();
  in.Y = at.y();
  in.Button = button == Qt::LeftButton     ? TMouseButton::Left
              : button == Qt::MiddleButton ? TMouseButton::Middle
                                           : TMouseButton::Right;
  if (modifiers & Qt::ShiftModifier)
    in.Shift |= ssShift;
  if (modifiers & Qt::ControlModifier)
    in.Shift |= ssCtrl;
  if (modifiers & (Qt::AltModifier | Qt::MetaModifier | Qt::GroupSwitchModifier))
    in.Shift |= ssAlt;
  return in;
}

QRadioButton* AddRadio(QToolBar& bar, const char* name, const char* caption, const char* hint) {
  auto* button = new QRadioButton(QString::fromLatin1(caption), &bar);
  button->setObjectName(QString::fromLatin1(name));
  button->setToolTip(QString::fromLatin1(hint));
  button->setAccessibleName(QString::fromLatin1(hint));
  // A click leaves the focus on the grid, whose arrow keys scroll.
  button->setFocusPolicy(Qt::TabFocus);
  bar.addWidget(button);
  return button;
}

} // namespace

TfmWindow::TfmWindow(OWindowUI& controller)
    : TfmEditorForm(controller), buZoom(AddButton("buZoom", " Zoom ")),
      buFit(AddButton("buFit", " Fit ")),
      rbDesign(AddRadio(*ToolBar1, "rbDesign", "Design", "Design View")),
      rbMachine(AddRadio(*ToolBar1, "rbMachine", "Machine", "Machine View")),
      buSetUndefined(AddButton("buSetUndefined", "Set Undefined")),
      buSave(AddButton("buSave", "Save")), buSaveAs(AddButton("buSaveAs", "Save As")),
      buClose(AddButton("buClose", " Close ")), Pattern(*controller.Pattern),
      Picture(controller.Picture), Palette(Pattern.Palette.get()),
      MouseState(Pattern, Picture, View) {
  setObjectName(QStringLiteral("fmWindow"));
  setWindowTitle(QString::fromStdString(controller.Name()));

  pbPalette = new TPaletteStrip(Panel1, Palette, false);
  pbPalette->setObjectName(QStringLiteral("pbPalette"));
  PaintBox1 = new TViewGrid(Panel1, *this);
  PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
  PaintBox1->setAccessibleName(QStringLiteral("Pattern View"));
  sbHorz = new QScrollBar(Qt::Horizontal, Panel1);
  sbHorz->setObjectName(QStringLiteral("sbHorz"));
  sbHorz->setAccessibleName(QStringLiteral("Controls"));
  sbVert = new QScrollBar(Qt::Vertical, Panel1);
  sbVert->setObjectName(QStringLiteral("sbVert"));
  sbVert->setAccessibleName(QStringLiteral("PLines"));
  // The square between the scroll bars.
  Corner = new QWidget(Panel1);
  Corner->setBackgroundRole(QPalette::Base);
  Corner->setAutoFillBackground(true);
  Panel1->installEventFilter(this);

  buZoom->setCheckable(true);
  buZoom->setChecked(true);
  buZoom->setToolTip(QString::fromLatin1(DrawToolInfos[0].Hint));
  // The drawing tools have a bar of their own under the window's, each tool its own key.
  ToolBar2 = new QToolBar(this);
  ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
  ToolBar2->setAccessibleName(QStringLiteral("Drawing Tools"));
  ToolBar2->setToolButtonStyle(Qt::ToolButtonTextOnly);
  if (auto* column = qobject_cast<QBoxLayout*>(layout()))
    column->insertWidget(1, ToolBar2);
  for (const TDrawToolInfo& info : DrawToolInfos) {
    const TDrawTool tool = info.Tool;
    auto* key = new QAction(this);
    key->setShortcut(QKeySequence(QChar(info.Key)));
    key->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(key);
    connect(key, &QAction::triggered, this, [this, tool] { ChooseTool(tool); });
    if (tool == TDrawTool::Zoom)
      continue;
    auto* button = new QToolButton(ToolBar2);
    button->setObjectName(QStringLiteral("bu") + QString::fromLatin1(info.Caption));
    button->setText(QString::fromLatin1(info.Caption));
    button->setAccessibleName(QString::fromLatin1(info.Caption));
    button->setToolTip(QString::fromLatin1(info.Hint));
    button->setCheckable(true);
    button->setFocusPolicy(Qt::TabFocus);
    ToolBar2->addWidget(button);
    connect(button, &QToolButton::clicked, this, [this, tool] { ChooseTool(tool); });
    ToolButtons.push_back(button);
  }
  ToolBar2->addSeparator();
  ToolBar2->addWidget(new QLabel(QStringLiteral(" Brush "), ToolBar2));
  cbBrush = new QComboBox(ToolBar2);
  cbBrush->setObjectName(QStringLiteral("cbBrush"));
  cbBrush->setAccessibleName(QStringLiteral("Brush Size"));
  cbBrush->setToolTip(QStringLiteral("The pencil's and the line's brush, pixels across"));
  cbBrush->setFocusPolicy(Qt::TabFocus);
  for (const int size : BrushSizes)
    cbBrush->addItem(QString::number(size), size);
  ToolBar2->addWidget(cbBrush);
  connect(cbBrush, &QComboBox::currentIndexChanged, this,
          [this] { MouseState.Brush = cbBrush->currentData().toInt(); });
  BuildSelectionMenu();
  rbMachine->setChecked(true);
  auto* viewGroup = new QButtonGroup(this);
  viewGroup->addButton(rbDesign);
  viewGroup->addButton(rbMachine);

  connect(buZoom, &QToolButton::toggled, this, &TfmWindow::SetZoomMode);
  connect(rbDesign, &QRadioButton::toggled, this, &TfmWindow::ViewChosen);
  connect(buSetUndefined, &QToolButton::clicked, this, [this] {
    OWaitCursor wait(g.UI()); // a whole-pattern pass: a second on a carpet
    Pattern.SetUndefined();
  });
  connect(buSave, &QToolButton::clicked, this, [this] {
    Controller.Save();
    UpdateButtons();
  });
  connect(buSaveAs, &QToolButton::clicked, this, [this] {
    Controller.SaveAs();
    UpdateButtons();
  });
  connect(buClose, &QToolButton::clicked, this, [this] {
    QWidget* window = SubWindow() ? static_cast<QWidget*>(SubWindow()) : this;
    window->close();
  });
  for (QScrollBar* bar : {sbHorz, sbVert})
    connect(bar, &QScrollBar::valueChanged, this, [this] {
      KeepFitted = false;
      View.SetScroll(sbHorz->value(), sbVert->value());
      PaintBox1->update();
    });
  connect(pbPalette, &TPaletteStrip::Pressed, this, [this] {
    MouseState.StripPressed(pbPalette->Box());
    ShowTool();
    ShowCursor();
  });
  buFit->setToolTip(QStringLiteral("Show the whole picture (0 or Ctrl+0)"));
  connect(buFit, &QToolButton::clicked, this, &TfmWindow::Fit);
  // Each view window's own: a button's shortcut would be the main window's, and two
  // windows' would cancel each other.
  auto* fit = new QAction(this);
  fit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
  fit->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  addAction(fit);
  connect(fit, &QAction::triggered, this, &TfmWindow::Fit);
  setFocusProxy(PaintBox1);
  connect(AddButton("buPreview", " Preview "), &QToolButton::clicked, this,
          [this] { Controller.Preview(); });

  AddViewKeys();
  AddRulers();
  FollowCheck();

  TakeSwap();
  Subscription = Pattern.Events.Subscribe([this](const TPatternChange& c) { Changed(c); });
  SetZoomMode(true);
  RefreshGrids();
  RestoreView();
}

TfmWindow::~TfmWindow() {
  if (StatusLabel && !ShownStatus.empty() &&
      StatusLabel->text() == QString::fromStdString(ShownStatus))
    g.UI().ShowStatus({});
}

void TfmWindow::Status(const std::string& text) {
  if (!StatusLabel)
    StatusLabel = window()->findChild<QLabel*>(QStringLiteral("sbMainMessage"));
  StatusBase = text;
  std::string warning =
      UnstatedStatus(Unstated.Complete() ? Unstated.Total() : 0, Pattern.PatternMode == pmColours);
  CheckShown = CheckWord();
  if (!CheckShown.empty())
    warning = warning.empty() ? CheckShown : warning + "; " + CheckShown;
  if (const std::string colourway = ShownColourwayText(Pattern); !colourway.empty())
    warning = warning.empty() ? colourway : warning + "; " + colourway;
  ShownStatus = warning.empty() ? text : text.empty() ? warning : text + "; " + warning;
  g.UI().ShowStatus(ShownStatus);
}

void TfmWindow::SetZoomMode(bool on) {
  ChooseTool(on ? TDrawTool::Zoom : TDrawTool::Pencil);
}

void TfmWindow::ChooseTool(TDrawTool tool) {
  // A line being dragged goes, and its preview with it.
  TViewReply gone;
  if (const TRect was = PixelBounds(MouseState.ChosenState().Preview().Pixels);
      was.Left <= was.Right)
    gone.Preview = was;
  if (!gone.Preview) // a selection goes too
    gone.Preview = SelectionBounds(MouseState.Selection);
  MouseState.Choose(MakeToolState(tool, pbPalette->Box()));
  ShowTool();
  Follow(gone);
  for (const TDrawToolInfo& info : DrawToolInfos)
    if (info.Tool == tool && isVisible())
      Status(info.Status);
}

void TfmWindow::ShowTool() {
  const TDrawTool chosen = ChosenTool(MouseState);
  const QSignalBlocker b(buZoom);
  buZoom->setChecked(chosen == TDrawTool::Zoom);
  for (size_t i = 0; i < ToolButtons.size(); ++i)
    ToolButtons[i]->setChecked(DrawToolInfos[i + 1].Tool == chosen);
}

void TfmWindow::ShowCursor() {
  static constexpr Qt::CursorShape shapes[] = {Qt::ArrowCursor, Qt::SizeAllCursor,
                                               Qt::ClosedHandCursor, Qt::CrossCursor,
                                               Qt::PointingHandCursor};
  const Qt::CursorShape shape = shapes[static_cast<int>(MouseState.Cursor())];
  if (PaintBox1->cursor().shape() != shape)
    PaintBox1->setCursor(shape);
}

void TfmWindow::Follow(const TViewReply& reply) {
  if (reply.Moved)
    KeepFitted = false; // the designer zoomed or scrolled
  if (reply.Preview) {
    const TScreenRect r = View.ScreenRect(*reply.Preview);
    if (!r.Empty())
      PaintBox1->update(QRect(r.Left - 1, r.Top - 1, r.Right - r.Left + 2, r.Bottom - r.Top + 2));
  }
  if (reply.Moved) {
    SyncGeometry();
    PaintBox1->update();
  }
  if (reply.Status)
    Status(*reply.Status);
  ShowCursor();
  ShowSelectionCommands();
}

void TfmWindow::ViewChosen() {
  // The view's colours and image are made afresh on a switch: most of a second on a carpet,
  // made here rather than in the paint so that its progress can show; until they are
  // made, the view shows the other image.
  OWaitCursor wait(g.UI());
  // A block floating goes down in the view it was taken in, before the other is made.
  if (const std::string why = MouseState.PutDown(); !why.empty())
    Status(why);
  Picture.SwitchView(rbDesign->isChecked() ? TView::Design : TView::Machine);
  RefreshGrids(); // the view the button shows from here on
}

void TfmWindow::RefreshGrids() {
  rbDesign->setEnabled(OffersDesignView(Pattern));
  const TView shown = MouseState.ShowView(rbDesign->isChecked() ? TView::Design : TView::Machine);
  if (shown == TView::Machine && rbDesign->isChecked())
    rbMachine->setChecked(true); // and the picture's machine image is made
  SyncGeometry();
  PaintBox1->update();
  pbPalette->update();
}

void TfmWindow::SyncGeometry() {
  View.SetPicture(Picture.Width, Picture.Height, Picture.AspectRatio);
  View.SetBox(PaintBox1->width(), PaintBox1->height());
  const QSignalBlocker h(sbHorz), v(sbVert);
  sbHorz->setRange(0, View.HorzMax());
  sbVert->setRange(View.VertMin(), 0);
  sbHorz->setValue(View.HorzPos());
  sbVert->setValue(View.VertPos());
  // The sliders show how much of the picture is in sight.
  sbHorz->setPageStep(std::max(1, View.ShownColumns()));
  sbVert->setPageStep(std::max(1, View.ShownRows()));
}

void TfmWindow::LayOut() {
  const int w = Panel1->width(), h = Panel1->height();
  const QSize ruler = RulerSize();
  const int left = StripWidth + ruler.width(), top = ruler.height();
  pbPalette->setGeometry(0, 0, StripWidth, h);
  sbHorz->setGeometry(StripWidth, h - BarSize, w - StripWidth - BarSize, BarSize);
  sbVert->setGeometry(w - BarSize, 0, BarSize, h - BarSize);
  PaintBox1->setGeometry(left, top, w - left - BarSize, h - top - BarSize);
  RulerTop->setGeometry(left, 0, w - left - BarSize, top);
  RulerLeft->setGeometry(StripWidth, top, ruler.width(), h - top - BarSize);
  Corner->setGeometry(w - BarSize, h - BarSize, BarSize, BarSize);
  if (KeepFitted) {
    View.SetPicture(Picture.Width, Picture.Height, Picture.AspectRatio);
    View.SetBox(PaintBox1->width(), PaintBox1->height());
    View.Fit();
  }
  SyncGeometry();
}

bool TfmWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Panel1 && event->type() == QEvent::Resize)
    LayOut();
  return TfmDesignForm::eventFilter(watched, event);
}

void TfmWindow::showEvent(QShowEvent* event) {
  TfmDesignForm::showEvent(event);
  PaintBox1->setFocus();
}

bool TfmWindow::QueryClose() {
  if (const std::string why = MouseState.PutDown(); !why.empty())
    Status(why);
  return true;
}

void TfmWindow::Destroy() {
  SaveView();
  Subscription.Reset();
  CheckNotices.Reset();
  TfmEditorForm::Destroy();
}

void TfmWindow::TakeSwap() {
  Swap = ShownSwap(Pattern);
  ++SwapCount;
  const std::array<uint32_t, OColourKeys::MaxKeys> shown = Keys.Shown(Swap);
  for (size_t k = 0; k < shown.size(); ++k)
    KeyColours[k] = Shown(shown[k]);
}

void TfmWindow::ForgetKeys() {
  // Room for the colours on screen now; the zoomed-out copy's keys go with the old ones.
  Keys.Clear();
  KeysLost = false;
  Reduced.Of = nullptr;
}

bool TfmWindow::WantKeys() const {
  return Pattern.Colourways().List.size() > 1;
}

void TfmWindow::FollowColourway() {
  if (OColourSwap next = ShownSwap(Pattern); !(next == Swap)) {
    TakeSwap();
    // The grid is recoloured from its keys at the next paint; the zoomed-out copy holds
    // colours as shown, so it is taken again.
    Reduced.Of = nullptr;
    PaintBox1->update();
  } else if (WantKeys() != Drawn.Keyed) {
    PaintBox1->update(); // sampled afresh, with keys or without
  }
  Status(StatusBase);
}

void TfmWindow::Changed(const TPatternChange& change) {
  if (change.Kind == TPatternChange::TKind::Setup &&
      change.Object == TDesignRecordKind::Colourways) {
    // Only the colours drawn change: no cell, no geometry, no count.
    FollowColourway();
    return;
  }
  CountUnstated(change);
  if (change.Kind == TPatternChange::TKind::Cells && Unstated.AnyColour() &&
      View.Zoom() >= MinGridZoom)
    // A cell's cross may come or go while its colour on screen stays.
    for (const TRect& pixels : PixelsOfCells(Picture, change.Area))
      if (const TScreenRect s = View.ScreenRect(pixels); !s.Empty()) {
        const QRect r =
            QRect(s.Left, s.Top, s.Right - s.Left, s.Bottom - s.Top).adjusted(-1, -1, 1, 1);
        Drawn.Stale += r;
        if (Drawn.Stale.rectCount() > 64)
          Drawn.Stale = Drawn.Stale.boundingRect();
        PaintBox1->update(r);
      }
  const TRedraw redraw = RedrawFor(change, Picture, MouseState.View, View);
  auto rect = [](const TScreenRect& r) {
    return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
  };
  if (redraw.Kind == TRedraw::TKind::Pixels) {
    // Also while painting: the render that brought the image up to date is drawn afresh.
    if (!redraw.Stale.Empty())
      Drawn.Stale += rect(redraw.Stale);
    // Many strokes while the window is not painted: their bounds, not a list to search.
    if (Drawn.Stale.rectCount() > 64)
      Drawn.Stale = Drawn.Stale.boundingRect();
    const OBitmap24& image = redraw.DesignImage ? Picture.DesignImage : Picture.MachineImage;
    if (Reduced.Of == &image) {
      const int top = std::max(redraw.Area.Top, 0);
      const int bottom = std::min(redraw.Area.Bottom, Reduced.Height - 1);
      for (int row = top; row <= bottom; ++row)
        Reduced.RowReady[static_cast<size_t>(row)] = 0;
    }
    // A render while painting is being drawn already.
    if (!Painting && !redraw.Repaint.Empty())
      PaintBox1->update(rect(redraw.Repaint));
  } else if (redraw.Kind == TRedraw::TKind::Everything) {
    // The one way the window hears that everything changed: the tree's refresh of the
    // pattern's editors passes it by.
    MouseState.Selection.KeepToPicture();
    Reduced.Of = nullptr;
    Drawn.Of = nullptr;
    Palette = Pattern.Palette.get();
    pbPalette->SetPalette(Palette);
    // The palette's colours may have gone: keys start again.
    ForgetKeys();
    TakeSwap();
    RefreshGrids();
  }
}

void TfmWindow::PaintGrid(const QRegion& region) {
  View.SetBox(PaintBox1->width(), PaintBox1->height());
  // Brings the image of the view up to date; a no-op when it is.
  Painting = true;
  Picture.BringUpToDate(MouseState.View);
  Painting = false;
  const TViewFrame f = View.Frame();
  const QRect box = PaintBox1->rect();
  if (box.isEmpty())
    return;
  const OBitmap24& picture =
      MouseState.View == TView::Design ? Picture.DesignImage : Picture.MachineImage;
  const QRgb background = ToQRgb(Palette->Background);
  const bool keyed = WantKeys();
  if (Drawn.Image.size() != box.size() || Drawn.Of != &picture || Drawn.Width != picture.Width() ||
      Drawn.Height != picture.Height() || Drawn.Frame != f || Drawn.Zoom != View.Zoom() ||
      Drawn.RowHeight != View.RowHeight() || Drawn.Background != background ||
      Drawn.Keyed != keyed) {
    if (Drawn.Image.size() != box.size())
      Drawn.Image = QImage(box.size(), QImage::Format_RGB32);
    if (KeysLost)
      ForgetKeys();
    Drawn.Keyed = keyed;
    Drawn.Keys.resize(keyed ? static_cast<size_t>(box.width()) * box.height() : 0);
    Drawn.Swapped = SwapCount;
    Drawn.Of = &picture;
    Drawn.Width = picture.Width();
    Drawn.Height = picture.Height();
    Drawn.Frame = f;
    Drawn.Zoom = View.Zoom();
    Drawn.RowHeight = View.RowHeight();
    Drawn.Background = background;
    Drawn.Stale = QRegion(box);
    Drawn.Uncoloured = QRegion();
  }
  if (UnstatedDue || Unstated.View() != MouseState.View) {
    UnstatedDue = false;
    Unstated.Begin(Pattern, MouseState.View);
    Drawn.Stale = QRegion(box); // the crosses may be others
    CountUnstatedLater();
  }
  const QRegion exposed = region & box;
  const QRect image(f.Left, f.Bottom - f.DH, f.DR, f.DH);
  if (Drawn.Swapped != SwapCount) {
    // Other colours shown: only the colours change, so the kept grid is recoloured from
    // its keys rather than sampled again, unless it has none.
    Drawn.Swapped = SwapCount;
    if (Drawn.Keyed && !KeysLost) {
      Recolour.Set(KeyColours, Keys.Count());
      Drawn.Uncoloured = QRegion(image & box) - Drawn.Stale;
    } else {
      ForgetKeys();
      Drawn.Stale = QRegion(box);
      Drawn.Uncoloured = QRegion();
    }
  }
  QRgb* pixels = reinterpret_cast<QRgb*>(Drawn.Image.bits());
  const qsizetype stride = Drawn.Image.bytesPerLine() / 4;
  const QRegion stale = exposed & Drawn.Stale;
  for (const QRect& rect : stale) {
    // The background around the image.
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
      QRgb* line = pixels + y * stride;
      if (y < image.top() || y > image.bottom()) {
        std::fill(line + rect.left(), line + rect.right() + 1, background);
        continue;
      }
      if (rect.left() < image.left())
        std::fill(line + rect.left(), line + std::min(rect.right() + 1, image.left()), background);
      if (rect.right() > image.right())
        std::fill(line + std::max(rect.left(), image.right() + 1), line + rect.right() + 1,
                  background);
    }
    const QRect shown = rect & image;
    if (!shown.isEmpty())
      Sample(f, shown, pixels + shown.top() * stride + shown.left(), stride);
  }
  if (!stale.isEmpty()) {
    QPainter marks(&Drawn.Image);
    MarkCells(marks, stale);
    MarkFindings(marks, stale);
  }
  Drawn.Stale -= exposed;
  Drawn.Uncoloured -= stale;
  QPainter painter(PaintBox1);
  QRegion copied = exposed;
  if (const QRegion uncoloured = exposed & Drawn.Uncoloured; !uncoloured.isEmpty()) {
    if (RecolourOnto(painter, uncoloured)) {
      // On screen straight from the keys: the kept grid follows only where it is copied
      // from, so that switching colourways back and forth never touches it.
      copied -= uncoloured;
    } else {
      RecolourDrawn(uncoloured);
      Drawn.Uncoloured -= uncoloured;
    }
  }
  for (const QRect& rect : copied)
    painter.drawImage(rect.topLeft(), Drawn.Image, rect);
  // What a tool would paint on release, in the colour it paints with, over the picture.
  if (const TToolPreview preview = MouseState.ChosenState().Preview(); !preview.Pixels.empty()) {
    painter.setClipRegion(exposed);
    const QColor colour(ToQRgb(Swap(Palette->GetColour(preview.Colour))));
    const TRect shown{f.X0, f.Y0, f.X1 - 1, f.Y1 - 1};
    for (const TPixelRun& run : preview.Pixels) {
      if (run.R < shown.Top || run.R > shown.Bottom || run.C1 < shown.Left || run.C0 > shown.Right)
        continue;
      const TScreenRect r = View.ScreenRect({run.C0, run.R, run.C1, run.R});
      painter.fillRect(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top), colour);
    }
  }
  PaintMarks(painter, exposed);
  PaintSelection(painter, exposed);
}

void TfmWindow::Sample(const TViewFrame& f, const QRect& part, QRgb* to, qsizetype stride) {
  const OBitmap24& image =
      MouseState.View == TView::Design ? Picture.DesignImage : Picture.MachineImage;
  const double z = View.Zoom(), zs = View.RowHeight();
  const int width = part.width(), bottom = f.Bottom - 1;
  // The picture column each screen column shows, once for the whole part.
  Columns.resize(static_cast<size_t>(width));
  for (int x = 0; x < width; ++x)
    Columns[static_cast<size_t>(x)] =
        std::min(f.X0 + static_cast<int>(std::floor((part.left() - f.Left + x) / z)), f.X1 - 1);
  const bool straight = z == 1.0f;
  // Zoomed out by a power of two, the columns shown are every Step-th from the first.
  const int step = z < 1.0f ? static_cast<int>(std::lround(1.0 / z)) : 1;
  bool reduced = step >= 2 && static_cast<double>(z) * step == 1.0 && width > 0;
  const int phase = step >= 2 ? f.X0 % step : 0;
  for (int x = 0; x < width && reduced; ++x)
    reduced = (Columns[static_cast<size_t>(x)] - phase) % step == 0 &&
              Columns[static_cast<size_t>(x)] == Columns[0] + x * step;
  if (reduced && (Reduced.Of != &image || Reduced.Step != step || Reduced.Phase != phase ||
                  Reduced.Width != image.Width() || Reduced.Height != image.Height() ||
                  Reduced.Keyed != Drawn.Keyed)) {
    Reduced.Of = &image;
    Reduced.Step = step;
    Reduced.Phase = phase;
    Reduced.Width = image.Width();
    Reduced.Height = image.Height();
    Reduced.Keyed = Drawn.Keyed;
    const size_t across = static_cast<size_t>((image.Width() - phase + step - 1) / step);
    Reduced.Pixels.assign(across * static_cast<size_t>(std::max(image.Height(), 0)), 0);
    Reduced.Keys.assign(Reduced.Keyed ? Reduced.Pixels.size() : 0, 0);
    Reduced.RowReady.assign(static_cast<size_t>(std::max(image.Height(), 0)), 0);
  }
  const size_t across =
      reduced ? static_cast<size_t>((Reduced.Width - phase + step - 1) / step) : 0;
  const size_t first = reduced ? static_cast<size_t>((Columns[0] - phase) / step) : 0;
  const qsizetype keyStride = Drawn.Image.width();
  uint8_t* keys = Drawn.Keyed ? Drawn.Keys.data() + part.top() * keyStride + part.left() : nullptr;
  // The rows, with each pixel looked up as `look` says, and with `keyed` its key kept beside
  // it.
  auto rows = [&](auto keyed, auto look) {
    constexpr bool Keyed = decltype(keyed)::value;
    const size_t wide = static_cast<size_t>(width);
    int shownRow = -1;
    const QRgb* shownLine = nullptr;
    const uint8_t* shownKeys = nullptr;
    for (int y = 0; y < part.height(); ++y, to += stride, keys += Keyed ? keyStride : 0) {
      const int row =
          std::min(f.Y0 + static_cast<int>(std::floor((bottom - part.top() - y) / zs)), f.Y1 - 1);
      if (row == shownRow) {
        // The screen rows of one PLine are alike.
        std::memcpy(to, shownLine, sizeof(QRgb) * wide);
        if constexpr (Keyed)
          std::memcpy(keys, shownKeys, wide);
        continue;
      }
      shownRow = row;
      shownLine = to;
      shownKeys = keys;
      if (reduced) {
        const size_t at = static_cast<size_t>(row) * across;
        QRgb* line = Reduced.Pixels.data() + at;
        uint8_t* lineKeys = Keyed ? Reduced.Keys.data() + at : nullptr;
        if (!Reduced.RowReady[static_cast<size_t>(row)]) {
          const uint32_t* from = image.Row(row) + phase;
          for (size_t j = 0; j < across; ++j)
            line[j] = look(from[j * static_cast<size_t>(step)], Keyed ? lineKeys + j : nullptr);
          Reduced.RowReady[static_cast<size_t>(row)] = 1;
        }
        std::memcpy(to, line + first, sizeof(QRgb) * wide);
        if constexpr (Keyed)
          std::memcpy(keys, lineKeys + first, wide);
        continue;
      }
      const uint32_t* from = image.Row(row);
      if (straight) {
        from += Columns[0];
        for (int x = 0; x < width; ++x)
          to[x] = look(from[x], Keyed ? keys + x : nullptr);
      } else {
        const int* column = Columns.data();
        for (int x = 0; x < width; ++x)
          to[x] = look(from[column[x]], Keyed ? keys + x : nullptr);
      }
    }
  };
  // Neighbouring pixels are mostly alike, so the last look-up is kept.
  uint32_t lastPixel = 0xFFFFFFFFu;
  QRgb lastShown = 0;
  if (Drawn.Keyed) {
    uint8_t lastKey = 0;
    rows(std::true_type{}, [&](uint32_t pixel, uint8_t* key) {
      if (pixel != lastPixel) {
        lastPixel = pixel;
        lastShown = Shown(Swap(pixel));
        const int known = Keys.Count();
        const int k = Keys.KeyOf(pixel);
        if (k < 0)
          KeysLost = true;
        else if (k >= known)
          KeyColours[static_cast<size_t>(k)] = lastShown;
        lastKey = static_cast<uint8_t>(std::max(k, 0));
      }
      *key = lastKey;
      return lastShown;
    });
    return;
  }
  if (Swap.Identity()) {
    rows(std::false_type{}, [](uint32_t pixel, uint8_t*) { return Shown(pixel); });
    return;
  }
  rows(std::false_type{}, [&](uint32_t pixel, uint8_t*) {
    if (pixel != lastPixel) {
      lastPixel = pixel;
      lastShown = Shown(Swap(pixel));
    }
    return lastShown;
  });
}

void TfmWindow::RecolourDrawn(const QRegion& kept) {
  const qsizetype stride = Drawn.Image.bytesPerLine() / 4;
  for (const QRect& part : kept)
    RecolourPart(part,
                 reinterpret_cast<QRgb*>(Drawn.Image.bits()) + part.top() * stride + part.left(),
                 stride);
  // The lines and marks over the picture, as a fresh sample draws them.
  QPainter marks(&Drawn.Image);
  MarkCells(marks, kept);
  MarkFindings(marks, kept);
}

bool TfmWindow::RecolourOnto(QPainter& painter, const QRegion& kept) {
  // The window's own pixels when it is painted straight into an image of them at one device
  // pixel a pixel, as the raster backing stores are; anything else (a grab, a scaled screen)
  // is copied from the recoloured grid instead.
  QPaintEngine* engine = painter.paintEngine();
  QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
  if (!device || device->devType() != QInternal::Image)
    return false;
  QImage& screen = *static_cast<QImage*>(device);
  const QTransform to = painter.deviceTransform();
  if ((screen.format() != QImage::Format_RGB32 &&
       screen.format() != QImage::Format_ARGB32_Premultiplied) ||
      to.type() > QTransform::TxTranslate || to.dx() != std::floor(to.dx()) ||
      to.dy() != std::floor(to.dy()))
    return false;
  const QPoint offset(static_cast<int>(to.dx()), static_cast<int>(to.dy()));
  if (!screen.rect().contains(kept.boundingRect().translated(offset)))
    return false;
  const qsizetype stride = screen.bytesPerLine() / 4;
  QRgb* pixels = reinterpret_cast<QRgb*>(screen.bits());
  for (const QRect& part : kept) {
    const QPoint at = part.topLeft() + offset;
    RecolourPart(part, pixels + at.y() * stride + at.x(), stride);
  }
  painter.save();
  MarkCells(painter, kept);
  MarkFindings(painter, kept);
  painter.restore();
  return true;
}

void TfmWindow::RecolourPart(const QRect& part, QRgb* to, qsizetype stride) const {
  const qsizetype keyStride = Drawn.Image.width();
  Recolour(Drawn.Keys.data() + part.top() * keyStride + part.left(), keyStride, to, stride,
           part.width(), part.height());
}

void TfmWindow::GridPress(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers) {
  Follow(MouseState.Press(Input(at, modifiers, button)));
}

void TfmWindow::GridMove(QPoint at, Qt::KeyboardModifiers modifiers) {
  Follow(MouseState.Move(Input(at, modifiers)));
  HoverAt(View.CellAt(at.x(), at.y()));
}

void TfmWindow::GridRelease(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers modifiers) {
  Follow(MouseState.Release(Input(at, modifiers, button)));
}

void TfmWindow::GridWheel(QPoint angle, Qt::KeyboardModifiers modifiers, QPoint at) {
  Follow(MouseState.Wheel(angle.x(), angle.y(), Input(at, modifiers)));
}

void TfmWindow::Fit() {
  View.SetBox(PaintBox1->width(), PaintBox1->height());
  View.Fit();
  TViewReply fitted;
  fitted.Moved = true;
  fitted.Status = View.ZoomText();
  Follow(fitted);
  KeepFitted = true; // until the designer zooms or scrolls again, as in a new window
}

void TfmWindow::ShowControl(int control) {
  KeepFitted = false;
  View.SetBox(PaintBox1->width(), PaintBox1->height());
  View.CentreColumn(control - 1);
  SyncGeometry();
  PaintBox1->update();
}

bool TfmWindow::GridKey(int key, Qt::KeyboardModifiers modifiers) {
  static const std::pair<int, TViewKey> keys[] = {
      {Qt::Key_Left, TViewKey::Left},     {Qt::Key_Right, TViewKey::Right},
      {Qt::Key_Up, TViewKey::Up},         {Qt::Key_Down, TViewKey::Down},
      {Qt::Key_PageUp, TViewKey::PageUp}, {Qt::Key_PageDown, TViewKey::PageDown},
      {Qt::Key_Home, TViewKey::Home},     {Qt::Key_End, TViewKey::End},
      {Qt::Key_Escape, TViewKey::Escape}, {Qt::Key_Return, TViewKey::Enter},
      {Qt::Key_Enter, TViewKey::Enter}};
  TViewKey k = TViewKey::Other;
  for (const auto& [code, which] : keys)
    if (key == code)
      k = which;
  const TViewReply reply = MouseState.Key(k, Input({}, modifiers).Shift);
  Follow(reply);
  return reply.Taken;
}

} // namespace quillane
