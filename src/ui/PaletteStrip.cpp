#include "ui/PaletteStrip.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "ImageIO.h"
#include "app/App.h"

namespace quillane {

namespace {
uint32_t ShiftOf(const QMouseEvent& event) {
  uint32_t shift = 0;
  if (event.modifiers() & Qt::ShiftModifier)
    shift |= ssShift;
  if (event.modifiers() & Qt::AltModifier)
    shift |= ssAlt;
  if (event.modifiers() & Qt::ControlModifier)
    shift |= ssCtrl;
  return shift;
}
} // namespace

TPaletteStrip::TPaletteStrip(QWidget* parent, OPalette* palette, bool editable)
    : TPaletteStrip(parent, *new OPalettePaintBox(palette, editable)) {
  Owned.reset(Strip);
}

TPaletteStrip::TPaletteStrip(QWidget* parent, OPalettePaintBox& box)
    : QWidget(parent), Strip(&box) {
  setAccessibleName(QStringLiteral("Palette"));
  setMouseTracking(true);
  Subscription = Strip->Changes.Subscribe([this](TStripChange) { update(); });
}

TPaletteStrip::~TPaletteStrip() = default;

void TPaletteStrip::SetPalette(OPalette* palette) {
  Strip->Palette = palette;
  update();
}

void TPaletteStrip::paintEvent(QPaintEvent*) {
  if (!ShownHint.isEmpty() && StatusLabel && StatusLabel->text() == ShownHint)
    ShowHint();
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Inactive, QPalette::Mid));
  const int w = width();
  for (const TPaletteCell& cell : Strip->Cells()) {
    const QRect box(0, cell.Top, w, cell.Height);
    painter.fillRect(box, QColor::fromRgb(ToQRgb(cell.Fill)));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.save();
    // A strip too short for its labels keeps each inside its own cell.
    painter.setClipRect(box);
    painter.setPen(QColor::fromRgb(ToQRgb(LabelInk(cell.Fill))));
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, QString::fromStdString(cell.Label));
    painter.restore();
  }
}

void TPaletteStrip::resizeEvent(QResizeEvent* event) {
  Strip->Height = height();
  QWidget::resizeEvent(event);
}

void TPaletteStrip::Press(QMouseEvent* event, uint32_t shift) {
  const TMouseButton button = event->button() == Qt::LeftButton    ? TMouseButton::Left
                              : event->button() == Qt::RightButton ? TMouseButton::Right
                                                                   : TMouseButton::Middle;
  const QPoint at = event->position().toPoint();
  Strip->MouseDown(button, ShiftOf(*event) | shift, at.x(), at.y());
  emit Pressed();
}

void TPaletteStrip::mousePressEvent(QMouseEvent* event) {
  Press(event, 0);
}

void TPaletteStrip::mouseDoubleClickEvent(QMouseEvent* event) {
  Press(event, ssDouble);
}

void TPaletteStrip::mouseMoveEvent(QMouseEvent* event) {
  HintAt = event->position().toPoint();
  ShowHint();
}

void TPaletteStrip::ShowHint() {
  Strip->MouseMove(0, HintAt.x(), HintAt.y());
  const QString hint = QString::fromStdString(Strip->HintText);
  if (!StatusLabel)
    StatusLabel = window()->findChild<QLabel*>(QStringLiteral("sbMainMessage"));
  if (hint != ShownHint || !StatusLabel || StatusLabel->text() != hint)
    g.UI().ShowStatus(Strip->HintText);
  ShownHint = hint;
}

} // namespace quillane
