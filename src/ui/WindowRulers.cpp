// The view window's rulers, its cell grid and the cell under the mouse. What is drawn where
// is the core's (ViewMarks.h); this only draws it.
#include <QPaintEvent>
#include <QPainter>

#include "editors/ViewMarks.h"
#include "model/Pattern.h"
#include "ui/WindowForm.h"

namespace quillane {

namespace {

QRect Shown(const TScreenRect& r) {
  return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
}

// A ruler beside the grid: ticks and numbers of the visible controls (across the top) or
// PLines (down the left side), and a band over the cell under the mouse.
class TViewRuler : public QWidget {
public:
  TViewRuler(QWidget* parent, const TfmWindow& window, bool rows)
      : QWidget(parent), Window(window), Rows(rows) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setObjectName(rows ? QStringLiteral("RulerLeft") : QStringLiteral("RulerTop"));
    setAccessibleName(rows ? QStringLiteral("PLine Ruler") : QStringLiteral("Control Ruler"));
  }

protected:
  void paintEvent(QPaintEvent* e) override {
    // The cell under the mouse moves a band of a few pixels: only what meets it is drawn.
    const QRect due = e->rect();
    QPainter p(this);
    p.fillRect(due, palette().window());
    const OViewGeometry& view = Window.Geometry();
    const QFontMetrics fm = fontMetrics();
    const int digits =
        static_cast<int>(std::to_string(Rows ? view.PictureHeight() : view.PictureWidth()).size());
    // Across, a label takes its widest number and a gap; down, a line of text.
    const int label = Rows ? fm.height() : fm.horizontalAdvance(QString(digits, u'8')) + 8;
    if (const auto& cell = Window.Hovered()) {
      const TScreenRect r = view.ScreenRect({cell->C, cell->R, cell->C, cell->R});
      if (!r.Empty())
        p.fillRect(Rows ? QRect(0, r.Top, width(), r.Bottom - r.Top)
                        : QRect(r.Left, 0, r.Right - r.Left, height()),
                   palette().highlight());
    }
    p.setPen(palette().windowText().color());
    const int thick = Rows ? width() : height();
    for (const TRulerMark& m : Rows ? RowMarks(view, label) : ColumnMarks(view, label)) {
      if (m.Pixel + label / 2 + 1 < (Rows ? due.top() : due.left()) ||
          m.Pixel - label / 2 - 1 > (Rows ? due.bottom() : due.right()))
        continue;
      const int tick = m.Labelled ? thick / 3 : thick / 6;
      if (Rows)
        p.drawLine(thick - tick, m.Pixel, thick - 1, m.Pixel);
      else
        p.drawLine(m.Pixel, thick - tick, m.Pixel, thick - 1);
      if (!m.Labelled)
        continue;
      const QString text = QString::number(m.Number);
      if (Rows)
        p.drawText(QRect(0, m.Pixel - label / 2, thick - thick / 3 - 2, label),
                   Qt::AlignRight | Qt::AlignVCenter, text);
      else
        p.drawText(QRect(m.Pixel - label / 2, 0, label, thick - thick / 3),
                   Qt::AlignHCenter | Qt::AlignVCenter, text);
    }
  }

private:
  const TfmWindow& Window;
  bool Rows;
};

} // namespace

void TfmWindow::AddRulers() {
  RulerTop = new TViewRuler(Panel1, *this, false);
  RulerLeft = new TViewRuler(Panel1, *this, true);
}

QSize TfmWindow::RulerSize() const {
  const QFontMetrics fm = fontMetrics();
  // Room for a PLine of six figures; tens of thousands are common.
  return {fm.horizontalAdvance(QStringLiteral("888888")) + 10, fm.height() + 8};
}

TRect TfmWindow::PixelsUnder(const QRect& screen) const {
  const TViewFrame f = View.Frame();
  const double z = View.Zoom(), zs = View.RowHeight();
  const int bottom = f.Bottom - 1;
  return {f.X0 + static_cast<int>((screen.left() - f.Left) / z),
          f.Y0 + static_cast<int>((bottom - screen.bottom()) / zs),
          f.X0 + static_cast<int>((screen.right() - f.Left) / z),
          f.Y0 + static_cast<int>((bottom - screen.top()) / zs)};
}

void TfmWindow::MarkCells(QPainter& painter, const QRegion& sampled) {
  const TViewFrame f = View.Frame();
  const QRect image(f.Left, f.Bottom - f.DH, f.DR, f.DH);
  const QRect bounds = sampled.boundingRect() & image;
  if (bounds.isEmpty() || View.Zoom() < MinGridZoom)
    return;
  painter.setClipRegion(sampled & image);
  const TGridLines lines = GridLines(View);
  QVector<QLine> drawn;
  for (const int x : lines.X)
    if (x >= bounds.left() && x <= bounds.right())
      drawn.append(QLine(x, image.top(), x, image.bottom()));
  for (const int y : lines.Y)
    if (y >= bounds.top() && y <= bounds.bottom())
      drawn.append(QLine(image.left(), y, image.right(), y));
  // Darkens what it crosses: seen on all but the darkest cells, hiding none.
  painter.setPen(QColor(0, 0, 0, 70));
  painter.drawLines(drawn);
  // The picture pixels of the sampled part only.
  const TRect area = PixelsUnder(bounds);
  const OBitmap24& picture =
      MouseState.View == TView::Design ? Picture.DesignImage : Picture.MachineImage;
  QVector<QLine> dark, light;
  for (const TCell& cell : Unstated.InPixels(Pattern, Picture, area)) {
    const QRect r = Shown(View.ScreenRect({cell.C, cell.R, cell.C, cell.R}));
    if (r.isEmpty())
      continue;
    // Dark on a light cell, light on a dark one: the picture's colour, as the cache may
    // hold an earlier cross where the cell's middle lies outside what is sampled now.
    QVector<QLine>& to = qGray(picture.GetPixel(cell.C, cell.R)) > 110 ? dark : light;
    const int dx = r.width() / 4, dy = r.height() / 4;
    const QRect x = r.adjusted(dx, dy, -dx - 1, -dy - 1);
    to.append(QLine(x.topLeft(), x.bottomRight()));
    to.append(QLine(x.bottomLeft(), x.topRight()));
  }
  painter.setPen(Qt::black);
  painter.drawLines(dark);
  painter.setPen(Qt::white);
  painter.drawLines(light);
}

void TfmWindow::PaintMarks(QPainter& painter, const QRegion& exposed) {
  painter.setClipRegion(exposed);
  const TViewFrame f = View.Frame();
  if (Hover) {
    const TScreenRect r = View.ScreenRect({Hover->C, Hover->R, Hover->C, Hover->R});
    if (!r.Empty()) {
      // Black and white, so that it shows on any colour.
      const QRect cell = Shown(r);
      painter.setPen(Qt::black);
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(cell.adjusted(-1, -1, 0, 0));
      painter.setPen(Qt::white);
      painter.drawRect(cell.adjusted(0, 0, -1, -1));
    }
  }
  const auto drawn = std::make_tuple(f, View.Zoom(), View.BoxWidth(), View.BoxHeight());
  if (drawn != RulersDrawn) {
    RulersDrawn = drawn;
    RulerTop->update();
    RulerLeft->update();
  }
}

void TfmWindow::HoverAt(const std::optional<TCell>& cell) {
  if (cell == Hover)
    return;
  for (const std::optional<TCell>& c : {Hover, cell})
    if (c) {
      const TScreenRect r = View.ScreenRect({c->C, c->R, c->C, c->R});
      if (r.Empty())
        continue;
      PaintBox1->update(Shown(r).adjusted(-2, -2, 2, 2));
      RulerTop->update(r.Left - 1, 0, r.Right - r.Left + 2, RulerTop->height());
      RulerLeft->update(0, r.Top - 1, RulerLeft->width(), r.Bottom - r.Top + 2);
    }
  Hover = cell;
}

void TfmWindow::CountUnstated(const TPatternChange& change) {
  using K = TPatternChange::TKind;
  if (change.Kind == K::All || change.Kind == K::Setup)
    UnstatedDue = true;
  else if (!UnstatedDue && Unstated.Heard(Pattern, change))
    ShowUnstated();
}

void TfmWindow::CountUnstatedLater() {
  if (!UnstatedLater) {
    UnstatedLater = new QTimer(this);
    UnstatedLater->setInterval(0);
    connect(UnstatedLater, &QTimer::timeout, this, [this] {
      // A quarter of a million cells a slice, a fraction of a millisecond: a press meanwhile
      // waits no longer than that. A count due afresh starts again from the next paint.
      const int plines = std::max(1, (1 << 18) / std::max<int>(Pattern.NoControls, 1));
      if (UnstatedDue || Unstated.CountMore(Pattern, plines)) {
        UnstatedLater->stop();
        ShowUnstated();
      }
    });
  }
  UnstatedLater->start();
}

void TfmWindow::ShowUnstated() {
  // Only the window at work speaks, and only when the count's word changes; another's
  // count waits for its mouse.
  if (!Unstated.Complete())
    return;
  const std::string word = UnstatedStatus(Unstated.Total(), Pattern.PatternMode == pmColours);
  if (word != UnstatedShown && (PaintBox1->hasFocus() || PaintBox1->underMouse())) {
    UnstatedShown = word;
    Status(StatusBase);
  }
}

void TfmWindow::GridLeave() {
  HoverAt(std::nullopt);
}

} // namespace quillane
