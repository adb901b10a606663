#include <QPainter>

#include "editors/CheckEditor.h"
#include "editors/ViewMarks.h"
#include "model/Pattern.h"
#include "ui/WindowForm.h"

namespace quillane {

namespace {

QRect OnScreen(const TScreenRect& r) {
  return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
}

} // namespace

void TfmWindow::FollowCheck() {
  CheckNotices = OCheckEditor::Subscribe([this](const TCheckNotice& notice) {
    if (notice.Pattern != &Pattern)
      return;
    if (notice.Everything) {
      Drawn.Stale = QRegion(PaintBox1->rect());
      PaintBox1->update();
    } else {
      for (const TRect& pixels : PixelsOfCells(Picture, notice.Cells))
        if (const TScreenRect s = View.ScreenRect(pixels); !s.Empty()) {
          const QRect r = OnScreen(s).adjusted(-1, -1, 1, 1);
          Drawn.Stale += r;
          if (Drawn.Stale.rectCount() > 64)
            Drawn.Stale = Drawn.Stale.boundingRect();
          PaintBox1->update(r);
        }
    }
    // As the unstated count: only the window at work speaks.
    if (CheckWord() != CheckShown && (PaintBox1->hasFocus() || PaintBox1->underMouse()))
      Status(StatusBase);
  });
}

std::string TfmWindow::CheckWord() const {
  const OCheckEditor* check = OCheckEditor::Of(Pattern);
  return check ? check->Status() : std::string();
}

void TfmWindow::MarkFindings(QPainter& painter, const QRegion& sampled) {
  const OCheckEditor* check = OCheckEditor::Of(Pattern);
  if (!check)
    return;
  const TViewFrame f = View.Frame();
  const QRect image(f.Left, f.Bottom - f.DH, f.DR, f.DH);
  const QRect bounds = sampled.boundingRect() & image;
  if (bounds.isEmpty())
    return;
  // The picture pixels of the sampled part only, as the crosses take them.
  const std::vector<TRect> marked = check->MarkedPixels(Picture, PixelsUnder(bounds));
  if (marked.empty())
    return;
  painter.setClipRegion(sampled & image);
  // A wash the cells' colours still show through, and zoomed in a frame round each finding,
  // in a colour few palettes use for yarn.
  const QColor mark(230, 0, 160);
  QColor wash = mark;
  wash.setAlpha(110);
  for (const TRect& pixels : marked) {
    const QRect r = OnScreen(View.ScreenRect(pixels));
    if (r.isEmpty())
      continue;
    painter.fillRect(r, wash);
    if (View.Zoom() >= MinGridZoom) {
      painter.setPen(mark);
      painter.drawRect(r.adjusted(0, 0, -1, -1));
    }
  }
}

void TfmWindow::ShowCell(int control, int pline) {
  const std::optional<TCell> pixel = PixelOfCell(Picture, control, pline);
  if (!pixel)
    return;
  KeepFitted = false;
  View.SetBox(PaintBox1->width(), PaintBox1->height());
  CentreOn(View, *pixel);
  SyncGeometry();
  PaintBox1->update();
}

} // namespace quillane
