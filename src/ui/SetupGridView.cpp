#include "ui/SetupGridView.h"

#include <algorithm>
#include <optional>

#include <QApplication>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStaticText>
#include <QStyleOption>

#include "ImageIO.h"

namespace quillane {

namespace {
constexpr int RowHeight = 20;

// Dark text on light fills, light text on dark ones.
QColor TextOn(uint32_t fill) {
  const int r = fill & 0xFF, g = fill >> 8 & 0xFF, b = fill >> 16 & 0xFF;
  return r * 299 + g * 587 + b * 114 < 128000 ? Qt::white : Qt::black;
}
// The width the grid's row titles take in a font, measured once per grid and font: the
// text is shaped each time it is measured, and every opening of the editor asked again.
int TitlesWidth(TSetupGrid grid, const QFont& font) {
  struct TMeasured {
    QString Font;
    int Width;
  };
  static std::optional<TMeasured> measured[3];
  std::optional<TMeasured>& m = measured[static_cast<size_t>(grid)];
  if (!m || m->Font != font.key()) {
    const QFontMetrics metrics(font);
    int width = 0;
    for (int r = 0; r < OPatternSetupEditor::RowCount(grid); ++r)
      width = std::max(width, metrics.horizontalAdvance(
                                  QString::fromLatin1(OPatternSetupEditor::RowTitle(grid, r))) +
                                  12);
    m = TMeasured{font.key(), width};
  }
  return m->Width;
}
} // namespace

TSetupGridView::TSetupGridView(QWidget* parent, const OPatternSetupEditor& editor, TSetupGrid grid,
                               int titleWidth, int columnWidth)
    : QFrame(parent), Editor(editor), Bar(new QScrollBar(Qt::Horizontal, this)), Grid(grid),
      Rows(OPatternSetupEditor::RowCount(grid)), ColumnWidth(columnWidth) {
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setFocusPolicy(Qt::StrongFocus);
  setBackgroundRole(QPalette::Base);
  BarHeight = Bar->sizeHint().height();
  Bar->setSingleStep(1);
  Bar->setFocusPolicy(Qt::NoFocus);
  connect(Bar, &QScrollBar::valueChanged, this, [this] { update(Area()); });
  // At least the given width, and wide enough for the titles in the font in use.
  TitleWidth = std::max(titleWidth, TitlesWidth(grid, font()));
  setFixedHeight(Rows * RowHeight + BarHeight + 2 * frameWidth());
}

QRect TSetupGridView::Area() const {
  return contentsRect().adjusted(0, 0, 0, -BarHeight);
}

QRect TSetupGridView::CellRect(int row, int column) const {
  const int first = FirstColumn();
  if (row < 0 || row >= Rows || column < first || column > Columns)
    return {};
  const QRect area = Area();
  const QRect cell(area.left() + TitleWidth + (column - first) * ColumnWidth,
                   area.top() + row * RowHeight, ColumnWidth, RowHeight);
  return cell.left() <= area.right() ? cell : QRect();
}

int TSetupGridView::FirstColumn() const {
  return Bar->value() + 1;
}

int TSetupGridView::ColumnAt(int x) const {
  x -= Area().left();
  if (x < TitleWidth)
    return 0;
  const int column = FirstColumn() + (x - TitleWidth) / ColumnWidth;
  return column <= Columns ? column : -1;
}

void TSetupGridView::UpdateScrollBar() {
  const int inSight = std::max(1, (Area().width() - TitleWidth) / ColumnWidth);
  Bar->setPageStep(inSight);
  Bar->setRange(0, std::max(0, Columns - inSight));
}

void TSetupGridView::Reload() {
  const int columns = Editor.ColumnCount(Grid) - 1;
  if (columns != Columns) {
    Columns = columns;
    CurrentColumn = std::clamp(CurrentColumn, 1, std::max(1, Columns));
    UpdateScrollBar();
  }
  update(Area());
}

void TSetupGridView::CellChanged(int row, int column) {
  const QRect cell = CellRect(row, column);
  if (!cell.isEmpty())
    update(cell);
}

void TSetupGridView::MakeCurrent(int row, int column) {
  row = std::clamp(row, 0, Rows - 1);
  column = std::clamp(column, 1, std::max(1, Columns));
  CellChanged(CurrentRow, CurrentColumn);
  CurrentRow = row;
  CurrentColumn = column;
  // Scrolled so the current column is wholly in sight.
  QScrollBar* bar = Bar;
  if (column < FirstColumn())
    bar->setValue(column - 1);
  else if (column >= FirstColumn() + bar->pageStep())
    bar->setValue(column - bar->pageStep());
  CellChanged(CurrentRow, CurrentColumn);
}

const QStaticText& TSetupGridView::Laid(const QString& s, const QFont& font,
                                        const QString& fontKey) {
  // Shared by every grid and every opening of the editor, per font: laying a text out
  // shapes it, and the grids show the same few numbers, letters and state names. Never
  // freed, as the texts must not outlive the application's fonts.
  static auto* laid = new QHash<QString, QHash<QString, QStaticText>>;
  QHash<QString, QStaticText>& texts = (*laid)[fontKey];
  auto it = texts.find(s);
  if (it == texts.end()) {
    it = texts.insert(s, QStaticText(s));
    it->setTextFormat(Qt::PlainText);
    it->prepare(QTransform(), font);
  }
  return *it;
}

void TSetupGridView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  drawFrame(&painter);
  const QRect cells = Area();
  painter.setClipRect(cells);
  painter.fillRect(cells, palette().base());
  const QRect area = event->rect() & cells;
  const QPalette& colours = palette();
  if (area.left() < cells.left() + TitleWidth) {
    QStyleOptionHeader title;
    title.initFrom(this);
    title.orientation = Qt::Vertical;
    title.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    for (int r = 0; r < Rows; ++r) {
      title.section = r;
      title.position = Rows == 1       ? QStyleOptionHeader::OnlyOneSection
                       : r == 0        ? QStyleOptionHeader::Beginning
                       : r == Rows - 1 ? QStyleOptionHeader::End
                                       : QStyleOptionHeader::Middle;
      title.rect = QRect(cells.left(), cells.top() + r * RowHeight, TitleWidth, RowHeight);
      title.text = QString::fromLatin1(OPatternSetupEditor::RowTitle(Grid, r));
      style()->drawControl(QStyle::CE_Header, &title, &painter, this);
    }
  }
  QStyleOption option;
  option.initFrom(this);
  const QColor lines = QColor::fromRgba(
      static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
  const int first =
      std::max(FirstColumn(), ColumnAt(std::max(area.left(), cells.left() + TitleWidth)));
  const int last = ColumnAt(area.right()) < 0 ? Columns : ColumnAt(area.right());
  if (first < 1 || first > Columns)
    return;
  const QFont font = this->font();
  const QString fontKey = font.key();
  painter.setFont(font);
  for (int c = first; c <= last; ++c)
    for (int r = 0; r < Rows; ++r) {
      const QRect whole = CellRect(r, c);
      const QRect box = whole.adjusted(0, 0, -1, -1);
      const TSetupCell cell = Editor.Cell(Grid, r, c);
      if (cell.Coloured)
        painter.fillRect(box, QColor::fromRgb(ToQRgb(cell.Fill)));
      else if (cell.Grey)
        painter.fillRect(box, QColor(128, 128, 128));
      if (!cell.Text.empty()) {
        const QStaticText& text = Laid(QString::fromStdString(cell.Text), font, fontKey);
        const QSizeF size = text.size();
        painter.setClipRect(box & cells);
        painter.setPen(cell.Coloured ? TextOn(cell.Fill) : colours.text().color());
        painter.drawStaticText(QPointF(box.x() + (box.width() - size.width()) / 2,
                                       box.y() + (box.height() - size.height()) / 2),
                               text);
        painter.setClipRect(cells);
      }
      painter.setPen(lines);
      painter.drawLine(whole.right(), whole.top(), whole.right(), whole.bottom());
      painter.drawLine(whole.left(), whole.bottom(), whole.right(), whole.bottom());
      if (hasFocus() && r == CurrentRow && c == CurrentColumn) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = box.adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
      }
    }
}

void TSetupGridView::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const int column = ColumnAt(at.x());
  const int row = (at.y() - Area().top()) / RowHeight;
  if (column < 1 || at.y() < Area().top() || row >= Rows)
    return;
  MakeCurrent(row, column);
  DragColumn = column;
  if (Pressed)
    Pressed(column, event->button());
}

void TSetupGridView::mouseMoveEvent(QMouseEvent* event) {
  if (DragColumn < 1 || Columns < 1)
    return;
  const int column = OPatternSetupEditor::DraggedTo(ColumnAt(event->position().toPoint().x()),
                                                    FirstColumn(), Columns);
  if (column == DragColumn)
    return;
  const int from = DragColumn;
  DragColumn = column;
  MakeCurrent(CurrentRow, column);
  if (Dragged)
    Dragged(from, column);
}

void TSetupGridView::mouseReleaseEvent(QMouseEvent* event) {
  DragColumn = 0;
  QFrame::mouseReleaseEvent(event);
}

void TSetupGridView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
  case Qt::Key_Left:
    MakeCurrent(CurrentRow, CurrentColumn - 1);
    break;
  case Qt::Key_Right:
    MakeCurrent(CurrentRow, CurrentColumn + 1);
    break;
  case Qt::Key_Up:
    MakeCurrent(CurrentRow - 1, CurrentColumn);
    break;
  case Qt::Key_Down:
    MakeCurrent(CurrentRow + 1, CurrentColumn);
    break;
  case Qt::Key_Home:
    MakeCurrent(CurrentRow, 1);
    break;
  case Qt::Key_End:
    MakeCurrent(CurrentRow, Columns);
    break;
  default:
    QFrame::keyPressEvent(event);
  }
}

void TSetupGridView::focusInEvent(QFocusEvent* event) {
  QFrame::focusInEvent(event);
  CellChanged(CurrentRow, CurrentColumn);
}

void TSetupGridView::focusOutEvent(QFocusEvent* event) {
  QFrame::focusOutEvent(event);
  CellChanged(CurrentRow, CurrentColumn);
}

// The grid scrolls only sideways, whichever way the wheel turns.
void TSetupGridView::wheelEvent(QWheelEvent* event) {
  QApplication::sendEvent(Bar, event);
}

void TSetupGridView::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  const QRect inside = contentsRect();
  Bar->setGeometry(inside.left(), inside.bottom() + 1 - BarHeight, inside.width(), BarHeight);
  UpdateScrollBar();
}

} // namespace quillane
