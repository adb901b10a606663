#include "ui/WindowForm.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <QAction>
#include <QButtonGroup>
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
  // The middle button drags the picture; the others zoom or paint.
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::MiddleButton) {
      if (Window.Mouse().DragState == 0)
        Window.PanPress(event->position().toPoint());
      return;
    }
    if (!Window.Geometry().IsPanning())
      Window.GridPress(event->button(), event->position().toPoint());
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (Window.Geometry().IsPanning())
      Window.PanMove(event->position().toPoint());
    else
      Window.GridMove(event->position().toPoint());
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::MiddleButton)
      Window.PanRelease();
    else if (!Window.Geometry().IsPanning())
      Window.GridRelease();
  }
  // The keys scroll the grid; the scroll area around the window's panel would take them.
  void keyPressEvent(QKeyEvent* event) override {
    if (!Window.GridKey(event->key(), event->modifiers()))
      QWidget::keyPressEvent(event);
  }
  void wheelEvent(QWheelEvent* event) override {
    Window.GridWheel(event->angleDelta(), event->modifiers(), event->position().toPoint());
  }

private:
  TfmWindow& Window;
};

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
    : buZoom(AddButton("buZoom", " Zoom ")), buFit(AddButton("buFit", " Fit ")),
      rbDesign(AddRadio(*ToolBar1, "rbDesign", "Design", "Design View")),
      rbMachine(AddRadio(*ToolBar1, "rbMachine", "Machine", "Machine View")),
      buSetUndefined(AddButton("buSetUndefined", "Set Undefined")),
      buSave(AddButton("buSave", "Save")), buSaveAs(AddButton("buSaveAs", "Save As")),
      buClose(AddButton("buClose", " Close ")), Pattern(*controller.Pattern),
      Picture(controller.Picture), Palette(Pattern.Palette.get()) {
  setObjectName(QStringLiteral("fmWindow"));
  Controller = &controller;
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
  rbMachine->setChecked(true);
  auto* views = new QButtonGroup(this);
  views->addButton(rbDesign);
  views->addButton(rbMachine);

  connect(buZoom, &QToolButton::toggled, this, &TfmWindow::SetZoomMode);
  connect(rbDesign, &QRadioButton::toggled, this, &TfmWindow::ViewChosen);
  connect(buSetUndefined, &QToolButton::clicked, this, [this] {
    OWaitCursor wait(g.UI()); // a whole-pattern pass: a second on a carpet
    Pattern.SetUndefined();
  });
  connect(buSave, &QToolButton::clicked, this, [this] {
    if (Controller)
      Controller->Save();
    UpdateButtons();
  });
  connect(buSaveAs, &QToolButton::clicked, this, [this] {
    if (Controller)
      Controller->SaveAs();
    UpdateButtons();
  });
  connect(buClose, &QToolButton::clicked, this, [this] {
    QWidget* window = SubWindow() ? static_cast<QWidget*>(SubWindow()) : this;
    window->close();
  });
  for (QScrollBar* bar : {sbHorz, sbVert})
    connect(bar, &QScrollBar::valueChanged, this, [this] {
      View.SetScroll(sbHorz->value(), sbVert->value());
      PaintBox1->update();
    });
  connect(pbPalette, &TPaletteStrip::Pressed, this, [this] { buZoom->setChecked(false); });
  buFit->setToolTip(QStringLiteral("Show the whole picture (Ctrl+0)"));
  connect(buFit, &QToolButton::clicked, this, &TfmWindow::Fit);
  // Each view window's own: a button's shortcut would be the main window's, and two
  // windows' would cancel each other.
  auto* fit = new QAction(this);
  fit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
  fit->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  addAction(fit);
  connect(fit, &QAction::triggered, this, &TfmWindow::Fit);
  setFocusProxy(PaintBox1);

  Subscription = Pattern.Events.Subscribe([this](const TPatternChange& c) { Changed(c); });
  SetZoomMode(true);
  RefreshGrids();
}

TfmWindow::~TfmWindow() {
  if (StatusLabel && !ShownStatus.empty() &&
      StatusLabel->text() == QString::fromStdString(ShownStatus))
    g.UI().ShowStatus({});
}

void TfmWindow::Status(const std::string& text) {
  if (!StatusLabel)
    StatusLabel = window()->findChild<QLabel*>(QStringLiteral("sbMainMessage"));
  g.UI().ShowStatus(text);
  ShownStatus = text;
}

void TfmWindow::SetZoomMode(bool on) {
  MouseState.ZoomMode = on;
  if (on)
    setCursor(Qt::SizeAllCursor);
  else
    unsetCursor();
}

void TfmWindow::ViewChosen() {
  // The view's colours and image are made afresh on a switch: most of a second on a carpet,
  // made here rather than in the paint so that its progress can show; until they are
  // made, the view shows the other image.
  OWaitCursor wait(g.UI());
  Picture.ShowViewMode(rbDesign->isChecked() ? OViewMouse::DesignView : OViewMouse::MachineView);
  RefreshGrids(); // the view the button shows from here on
}

void TfmWindow::Refresh() {
  Palette = Pattern.Palette.get();
  pbPalette->SetPalette(Palette);
  RefreshGrids();
}

void TfmWindow::RefreshGrids() {
  if (Pattern.PatternMode == pmColours) {
    rbDesign->setEnabled(false);
    rbMachine->setChecked(true);
  } else {
    rbDesign->setEnabled(true);
  }
  MouseState.View = rbDesign->isChecked() ? OViewMouse::DesignView : OViewMouse::MachineView;
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
  pbPalette->setGeometry(0, 0, StripWidth, h);
  sbHorz->setGeometry(StripWidth, h - BarSize, w - StripWidth - BarSize, BarSize);
  sbVert->setGeometry(w - BarSize, 0, BarSize, h - BarSize);
  PaintBox1->setGeometry(StripWidth, 0, w - StripWidth - BarSize, h - BarSize);
  Corner->setGeometry(w - BarSize, h - BarSize, BarSize, BarSize);
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

void TfmWindow::Changed(const TPatternChange& change) {
  // A closed window waits to be freed; its picture may already be gone.
  if (!Controller)
    return;
  if (change.Kind == TPatternChange::TKind::Pixels) {
    const OBitmap24& image = change.DesignImage ? Picture.DesignImage : Picture.MachineImage;
    if (change.Picture == &Picture && Reduced.Of == &image) {
      const int top = std::max(change.Area.Top, 0);
      const int bottom = std::min(change.Area.Bottom, Reduced.Height - 1);
      for (int row = top; row <= bottom; ++row)
        Reduced.RowReady[static_cast<size_t>(row)] = 0;
    }
  } else if (change.Kind != TPatternChange::TKind::Cells &&
             change.Kind != TPatternChange::TKind::Modified) {
    Reduced.Of = nullptr;
  }
  switch (change.Kind) {
  case TPatternChange::TKind::Pixels:
    // A render while painting is being drawn already.
    if (!Painting && change.Picture == &Picture &&
        change.DesignImage == (MouseState.View == OViewMouse::DesignView)) {
      const TScreenRect r = View.ScreenRect(change.Area);
      if (!r.Empty())
        PaintBox1->update(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top));
    }
    break;
  case TPatternChange::TKind::Cells:
  case TPatternChange::TKind::Modified:
    break;
  default:
    // The picture's size, its regions or the colours may have changed.
    SyncGeometry();
    PaintBox1->update();
    pbPalette->update();
    break;
  }
}

namespace {

// The pixels of the window's backing store when the painter writes straight into them
// (a plain 32-bit image not shared with anything, no scaling): the grid is then sampled
// into them without a pass through a buffer.
struct TDirect {
  QImage* Image = nullptr;
  QPoint Offset;
};

TDirect DirectTarget(QPainter& painter) {
  QPaintEngine* engine = painter.paintEngine();
  if (!engine || engine->type() != QPaintEngine::Raster || !engine->paintDevice() ||
      engine->paintDevice()->devType() != QInternal::Image)
    return {};
  auto* image = static_cast<QImage*>(engine->paintDevice());
  const QTransform t = painter.deviceTransform();
  if ((image->format() != QImage::Format_RGB32 &&
       image->format() != QImage::Format_ARGB32_Premultiplied) ||
      !image->isDetached() || image->devicePixelRatio() != 1 || t.type() > QTransform::TxTranslate)
    return {};
  return {image, QPoint(qRound(t.dx()), qRound(t.dy()))};
}

} // namespace

void TfmWindow::PaintGrid(const QRegion& region) {
  if (!Controller)
    return;
  View.SetBox(PaintBox1->width(), PaintBox1->height());
  // Brings the image of the view up to date; a no-op when it is.
  Painting = true;
  Picture.SetViewMode(MouseState.View);
  Painting = false;
  const TViewFrame f = View.Frame();
  const QRect box = PaintBox1->rect();
  const QRect image(0, View.BoxHeight() - f.DH, f.DR, f.DH);
  const QColor background = QColor::fromRgb(ToQRgb(Palette->Background));
  QPainter painter(PaintBox1);
  const TDirect direct = DirectTarget(painter);
  for (const QRect& exposed : region) {
    const QRect rect = exposed & box;
    const QRect shown = rect & image;
    // The background above and right of the image.
    if (rect.top() < image.top())
      painter.fillRect(QRect(rect.left(), rect.top(), rect.width(),
                             std::min(image.top(), rect.bottom() + 1) - rect.top()),
                       background);
    if (rect.right() >= image.right() + 1) {
      const int left = std::max(rect.left(), image.right() + 1);
      const int top = std::max(rect.top(), image.top());
      if (top <= rect.bottom())
        painter.fillRect(QRect(left, top, rect.right() + 1 - left, rect.bottom() + 1 - top),
                         background);
    }
    if (shown.isEmpty())
      continue;
    const QRect on = direct.Image ? shown.translated(direct.Offset) : QRect();
    if (direct.Image && direct.Image->rect().contains(on)) {
      Sample(f, shown, reinterpret_cast<QRgb*>(direct.Image->scanLine(on.top())) + on.left(),
             direct.Image->bytesPerLine() / 4);
    } else {
      if (Buffer.width() < shown.width() || Buffer.height() < shown.height())
        Buffer = QImage(std::max(Buffer.width(), shown.width()),
                        std::max(Buffer.height(), shown.height()), QImage::Format_RGB32);
      Sample(f, shown, reinterpret_cast<QRgb*>(Buffer.bits()), Buffer.bytesPerLine() / 4);
      painter.drawImage(shown.topLeft(), Buffer, QRect(QPoint(0, 0), shown.size()));
    }
  }
}

void TfmWindow::Sample(const TViewFrame& f, const QRect& part, QRgb* to, qsizetype stride) {
  const OBitmap24& image =
      MouseState.View == OViewMouse::DesignView ? Picture.DesignImage : Picture.MachineImage;
  const double z = View.Zoom(), zs = View.RowHeight();
  const int width = part.width(), bottom = View.BoxHeight() - 1;
  // The picture column each screen column shows, once for the whole part.
  Columns.resize(static_cast<size_t>(width));
  for (int x = 0; x < width; ++x)
    Columns[static_cast<size_t>(x)] =
        std::min(f.X0 + static_cast<int>(std::floor((part.left() + x) / z)), f.X1 - 1);
  const bool straight = z == 1.0f;
  // Zoomed out by a power of two, the columns shown are every Step-th from the first.
  const int step = z < 1.0f ? static_cast<int>(std::lround(1.0 / z)) : 1;
  bool reduced = step >= 2 && static_cast<double>(z) * step == 1.0 && width > 0;
  const int phase = step >= 2 ? f.X0 % step : 0;
  for (int x = 0; x < width && reduced; ++x)
    reduced = (Columns[static_cast<size_t>(x)] - phase) % step == 0 &&
              Columns[static_cast<size_t>(x)] == Columns[0] + x * step;
  if (reduced && (Reduced.Of != &image || Reduced.Step != step || Reduced.Phase != phase ||
                  Reduced.Width != image.Width() || Reduced.Height != image.Height())) {
    Reduced.Of = &image;
    Reduced.Step = step;
    Reduced.Phase = phase;
    Reduced.Width = image.Width();
    Reduced.Height = image.Height();
    const size_t across = static_cast<size_t>((image.Width() - phase + step - 1) / step);
    Reduced.Pixels.assign(across * static_cast<size_t>(std::max(image.Height(), 0)), 0);
    Reduced.RowReady.assign(static_cast<size_t>(std::max(image.Height(), 0)), 0);
  }
  const size_t across =
      reduced ? static_cast<size_t>((Reduced.Width - phase + step - 1) / step) : 0;
  const size_t first = reduced ? static_cast<size_t>((Columns[0] - phase) / step) : 0;
  int shownRow = -1;
  const QRgb* shownLine = nullptr;
  for (int y = 0; y < part.height(); ++y, to += stride) {
    const int row =
        std::min(f.Y0 + static_cast<int>(std::floor((bottom - part.top() - y) / zs)), f.Y1 - 1);
    if (row == shownRow) {
      // The screen rows of one PLine are alike.
      std::memcpy(to, shownLine, sizeof(QRgb) * static_cast<size_t>(width));
      continue;
    }
    if (reduced) {
      QRgb* line = Reduced.Pixels.data() + static_cast<size_t>(row) * across;
      if (!Reduced.RowReady[static_cast<size_t>(row)]) {
        const uint32_t* from = image.Row(row) + phase;
        for (size_t j = 0; j < across; ++j)
          line[j] = Shown(from[j * static_cast<size_t>(step)]);
        Reduced.RowReady[static_cast<size_t>(row)] = 1;
      }
      std::memcpy(to, line + first, sizeof(QRgb) * static_cast<size_t>(width));
      shownRow = row;
      shownLine = to;
      continue;
    }
    const uint32_t* from = image.Row(row);
    if (straight) {
      from += Columns[0];
      for (int x = 0; x < width; ++x)
        to[x] = Shown(from[x]);
    } else {
      const int* column = Columns.data();
      for (int x = 0; x < width; ++x)
        to[x] = Shown(from[column[x]]);
    }
    shownRow = row;
    shownLine = to;
  }
}

void TfmWindow::GridPress(Qt::MouseButton button, QPoint at) {
  const TViewAction a =
      MouseState.Press(View, button == Qt::LeftButton ? TGridButton::Left : TGridButton::Other,
                       at.x(), at.y(), pbPalette->Box().LeftIndex, pbPalette->Box().RightIndex);
  if (a.Status)
    Status(a.StatusText);
  if (a.Kind == TViewAction::TKind::Zoomed) {
    SyncGeometry();
    PaintBox1->update();
  }
  if (const std::string refused = Perform(Picture, a); !refused.empty())
    Status(refused);
}

void TfmWindow::Navigated(bool zoomed) {
  SyncGeometry();
  PaintBox1->update();
  if (zoomed)
    Status(View.ZoomText());
}

void TfmWindow::GridWheel(QPoint angle, Qt::KeyboardModifiers modifiers, QPoint at) {
  if (modifiers & Qt::ControlModifier) {
    if (const int steps = WheelZoom.Take(angle.y() ? angle.y() : angle.x())) {
      View.ZoomAround(at.x(), at.y(), steps);
      Navigated(true);
    }
    return;
  }
  // Shift turns the wheel across; some systems already deliver it as a sideways turn.
  const bool across = (modifiers & Qt::ShiftModifier) != 0;
  const int sideways = WheelAcross.Take(across ? angle.y() + angle.x() : angle.x());
  const int up = across ? 0 : WheelUp.Take(angle.y());
  if (sideways || up) {
    // A turn away from the user (positive) goes left and towards higher PLines.
    View.ScrollLines(-sideways, up);
    Navigated(false);
  }
}

void TfmWindow::PanPress(QPoint at) {
  View.BeginPan(at.x(), at.y());
  PaintBox1->setCursor(Qt::ClosedHandCursor);
}

void TfmWindow::PanMove(QPoint at) {
  View.PanTo(at.x(), at.y());
  Navigated(false);
}

void TfmWindow::PanRelease() {
  View.EndPan();
  PaintBox1->unsetCursor();
}

void TfmWindow::Fit() {
  View.SetBox(PaintBox1->width(), PaintBox1->height());
  View.Fit();
  Navigated(true);
}

bool TfmWindow::GridKey(int key, Qt::KeyboardModifiers modifiers) {
  using K = OViewGeometry::TScrollKey;
  static const std::pair<int, K> keys[] = {
      {Qt::Key_Left, K::Left}, {Qt::Key_Right, K::Right},   {Qt::Key_Up, K::Up},
      {Qt::Key_Down, K::Down}, {Qt::Key_PageUp, K::PageUp}, {Qt::Key_PageDown, K::PageDown},
      {Qt::Key_Home, K::Home}, {Qt::Key_End, K::End}};
  for (const auto& [code, scroll] : keys)
    if (key == code && !(modifiers & ~Qt::KeypadModifier)) {
      View.ScrollKey(scroll);
      Navigated(false);
      return true;
    }
  return false;
}

void TfmWindow::GridMove(QPoint at) {
  const TViewAction a = MouseState.Move(View, at.x(), at.y(), pbPalette->Box().LeftIndex,
                                        pbPalette->Box().RightIndex);
  const std::string refused = Perform(Picture, a);
  Status(refused.empty() ? a.StatusText : refused);
}

void TfmWindow::GridRelease() {
  MouseState.Release();
  Pattern.History.EndStroke();
}

} // namespace quillane
