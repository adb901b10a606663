#include "TrueSizePdf.h"

#include <algorithm>
#include <cmath>

#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "preview/Preview.h"

namespace quillane {

namespace {

// The PDF's own units: fine enough that rounding a line's place costs a hundredth of a mm.
constexpr int PdfResolution = 1200;

QPageSize PageSizeOf(TPaper paper) {
  return QPageSize(paper == TPaper::Letter ? QPageSize::Letter : QPageSize::A4);
}

// How many sheets `length` mm takes at `step` mm a sheet; a sliver of rounding is no sheet.
int SheetsFor(double length, double step) {
  return std::max(1, static_cast<int>(std::ceil(length / step - 1e-9)));
}

QString MmText(double mm) {
  return mm >= 1000 ? QString::number(mm / 1000, 'g', 4) + QStringLiteral(" m")
                    : QString::number(std::round(mm * 10) / 10, 'g', 6) + QStringLiteral(" mm");
}

class TPagePainter {
public:
  TPagePainter(QPainter& painter, const QRectF& paper, const TTrueSizeLayout& layout)
      : P(painter), Paper(paper), Unit(paper.width() / layout.PaperWidth) {}

  QPointF At(double x, double y) const { return {Paper.left() + x * Unit, Paper.top() + y * Unit}; }
  QRectF Box(double x, double y, double w, double h) const {
    return {At(x, y), QSizeF(w * Unit, h * Unit)};
  }
  void Line(double x1, double y1, double x2, double y2, const QColor& colour, double widthMm) {
    P.setPen(QPen(colour, widthMm * Unit, Qt::SolidLine, Qt::FlatCap));
    P.drawLine(At(x1, y1), At(x2, y2));
  }
  void Fill(double x, double y, double w, double h, const QColor& colour) {
    P.fillRect(Box(x, y, w, h), colour);
  }
  void Text(double x, double y, double w, double h, const QString& text, Qt::Alignment align,
            double sizeMm = 3.2) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(sizeMm * Unit))));
    P.setFont(font);
    P.setPen(Qt::black);
    const QRectF box = Box(x, y, w, h);
    P.drawText(
        box, static_cast<int>(align | Qt::AlignVCenter),
        text.contains(QLatin1Char('\n'))
            ? text
            : P.fontMetrics().elidedText(text, Qt::ElideRight, static_cast<int>(box.width())));
  }

private:
  QPainter& P;
  QRectF Paper;
  double Unit; // painter units per mm
};

// A bar `count` steps of `stepMm` long, ticked at every step (and at half steps, shorter).
void ScaleBar(TPagePainter& draw, double x, double y, int count, double stepMm, bool halves,
              const QString& label) {
  const double length = count * stepMm, thick = 1.5;
  draw.Fill(x, y, length, thick, Qt::black);
  const int marks = halves ? 2 * count : count;
  for (int i = 0; i <= marks; ++i) {
    const double at = x + i * length / marks;
    const bool whole = !halves || i % 2 == 0;
    // Inside the bar's ends, so that the bar's length is where it is measured.
    const double tick = std::clamp(at, x + 0.1, x + length - 0.1);
    draw.Line(tick, y + thick, tick, y + thick + (whole ? 2.5 : 1.5), Qt::black, 0.2);
  }
  draw.Text(x + length + 3, y - 2, 30, 6, label, Qt::AlignLeft);
}

} // namespace

TTrueSizeLayout TrueSizePages(const TTrueSizeOptions& options) {
  if (!(options.Width > 0) || !(options.Length > 0) || !std::isfinite(options.Width) ||
      !std::isfinite(options.Length) || !std::isfinite(options.Left) || !std::isfinite(options.Top))
    throw Exception("The area to print is empty");
  const QSizeF paper = PageSizeOf(options.Paper).size(QPageSize::Millimeter);
  TTrueSizeLayout best;
  int64_t bestCount = 0;
  for (const bool landscape : {false, true}) {
    TTrueSizeLayout layout;
    layout.Landscape = landscape;
    layout.PaperWidth = landscape ? paper.height() : paper.width();
    layout.PaperHeight = landscape ? paper.width() : paper.height();
    const double across = layout.CarpetWidth(), along = layout.CarpetLength();
    // Counted in 64 bits before any page is listed: a forged area must not list millions.
    const double columns = std::ceil(options.Width / across - 1e-9);
    const double rows = std::ceil(options.Length / along - 1e-9);
    if (columns * rows > TrueSizeMostPages)
      continue;
    layout.Columns = SheetsFor(options.Width, across);
    layout.Rows = SheetsFor(options.Length, along);
    const int64_t count = int64_t{layout.Columns} * layout.Rows;
    if (bestCount == 0 || count < bestCount) {
      best = layout;
      bestCount = count;
    }
  }
  if (bestCount == 0)
    throw Exception("The area would take more than " + std::to_string(TrueSizeMostPages) +
                    " pages; choose a smaller area");
  for (int row = 1; row <= best.Rows; ++row)
    for (int column = 1; column <= best.Columns; ++column) {
      TTrueSizePage page;
      page.Column = column;
      page.Row = row;
      const double x = (column - 1) * best.CarpetWidth(), y = (row - 1) * best.CarpetLength();
      page.Left = options.Left + x;
      page.Top = options.Top + y;
      page.Width = std::min(best.CarpetWidth(), options.Width - x);
      page.Length = std::min(best.CarpetLength(), options.Length - y);
      best.Pages.push_back(page);
    }
  return best;
}

void PaintTrueSizePage(QPainter& painter, const QRectF& paper, const OCarpetPicture& picture,
                       const TTrueSizeOptions& options, const TTrueSizeLayout& layout,
                       size_t index) {
  if (index >= layout.Pages.size())
    return;
  const TTrueSizePage& page = layout.Pages[index];
  TPagePainter draw(painter, paper, layout);
  const double left = TrueSizeMarginLeft, top = TrueSizeMarginTop;
  const double right = left + page.Width, bottom = top + page.Length;

  // The carpet: whole pixels of the picture at the chosen resolution, placed where those
  // pixels lie in mm and clipped to the sheet's part, so that nothing is stretched to fit.
  const double scale = std::clamp(options.Dpi, TrueSizeDpiLowest, TrueSizeDpiHighest) / 25.4;
  const double x0 = std::floor(page.Left * scale), y0 = std::floor(page.Top * scale);
  const double x1 = std::ceil((page.Left + page.Width) * scale);
  const double y1 = std::ceil((page.Top + page.Length) * scale);
  const int w = static_cast<int>(std::max(1.0, x1 - x0));
  const int h = static_cast<int>(std::max(1.0, y1 - y0));
  QImage image(w, h, QImage::Format_RGB32);
  const TPreviewView view{scale, static_cast<int64_t>(x0), static_cast<int64_t>(y0), w, h};
  picture.Render(view, reinterpret_cast<uint32_t*>(image.bits()), {0, 0, w, h});
  painter.save();
  // Colours are what a strike-off is approved on: a print's file keeps them exact rather
  // than as JPEG, which also smears the tufts' edges.
  painter.setRenderHint(QPainter::LosslessImageRendering);
  painter.setClipRect(draw.Box(left, top, page.Width, page.Length));
  painter.drawImage(
      draw.Box(left + x0 / scale - page.Left, top + y0 / scale - page.Top, w / scale, h / scale),
      image);
  painter.restore();

  // Crop marks along the part's edges, out in the margin, where the sheets are trimmed to
  // abut their neighbours.
  if (layout.Pages.size() > 1) {
    const double gap = 1.5, mark = 6;
    for (const double x : {left, right}) {
      draw.Line(x, top - gap, x, top - gap - mark, Qt::black, 0.15);
      draw.Line(x, bottom + gap, x, bottom + gap + mark, Qt::black, 0.15);
    }
    for (const double y : {top, bottom}) {
      draw.Line(left - gap, y, left - gap - mark, y, Qt::black, 0.15);
      draw.Line(right + gap, y, right + gap + mark, y, Qt::black, 0.15);
    }
  }
  // The edges of the repeat, ticked in red on both sides of the part.
  const QColor edge(200, 0, 0);
  for (const double e : options.EdgesAcross)
    if (e >= page.Left - 1e-6 && e <= page.Left + page.Width + 1e-6) {
      const double x = left + e - page.Left;
      draw.Line(x, top - 1, x, top - 5, edge, 0.3);
      draw.Line(x, bottom + 1, x, bottom + 5, edge, 0.3);
    }
  for (const double e : options.EdgesAlong)
    if (e >= page.Top - 1e-6 && e <= page.Top + page.Length + 1e-6) {
      const double y = top + e - page.Top;
      draw.Line(left - 1, y, left - 5, y, edge, 0.3);
      draw.Line(right + 1, y, right + 5, y, edge, 0.3);
    }

  // The head: what it is, and where this sheet goes.
  const double width = layout.PaperWidth - left - TrueSizeMarginRight;
  const QString area = MmText(options.Width) + QStringLiteral(" x ") + MmText(options.Length);
  draw.Text(left, 4, width * 0.65, 8,
            // The size first: a long title is cut short, never the figures.
            QStringLiteral("Actual size, ") + area +
                (options.Title.empty() ? QString() : QStringLiteral(": ")) +
                QString::fromUtf8(options.Title.c_str()),
            Qt::AlignLeft);
  draw.Text(left + width * 0.65, 4, width * 0.35, 8,
            QStringLiteral("page %1 of %2, column %3, row %4")
                .arg(index + 1)
                .arg(layout.Pages.size())
                .arg(page.Column)
                .arg(page.Row),
            Qt::AlignRight);

  // The foot: two bars to hold a ruler against, for a printer that scaled the page.
  const double foot = layout.PaperHeight - TrueSizeMarginBottom + 9;
  ScaleBar(draw, left, foot, 10, 10.0, false, QStringLiteral("10 cm"));
  ScaleBar(draw, left, foot + 11, 4, 25.4, true, QStringLiteral("4 in"));
  draw.Text(left + 130, foot - 3, width - 130, 18,
            QStringLiteral("Print at 100 % (actual size).\nRed ticks: the repeat's edges."),
            Qt::AlignLeft, 2.6);
}

TBytes TrueSizePdfBytes(const OCarpetPicture& picture, const TTrueSizeOptions& options) {
  const TTrueSizeLayout layout = TrueSizePages(options);
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(PdfResolution);
    writer.setTitle(QString::fromUtf8(options.Title.c_str()));
    writer.setCreator(QStringLiteral("Quillane"));
    writer.setPageLayout(
        QPageLayout(PageSizeOf(options.Paper),
                    layout.Landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                    QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&writer))
      throw Exception("Cannot draw the print");
    const double unit = PdfResolution / 25.4;
    const QRectF paper(0, 0, layout.PaperWidth * unit, layout.PaperHeight * unit);
    for (size_t i = 0; i < layout.Pages.size(); ++i) {
      if (i > 0)
        writer.newPage();
      PaintTrueSizePage(painter, paper, picture, options, layout, i);
    }
    painter.end();
  }
  const QByteArray& bytes = buffer.data();
  return TBytes(bytes.begin(), bytes.end());
}

void SaveTrueSizePdf(const std::string& path, const OCarpetPicture& picture,
                     const TTrueSizeOptions& options) {
  WriteFileAtomic(path, TrueSizePdfBytes(picture, options));
}

} // namespace quillane
