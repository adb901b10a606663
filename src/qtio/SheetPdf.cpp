#include "SheetPdf.h"

#include <algorithm>
#include <cmath>

#include <QBuffer>
#include <QFontMetricsF>
#include <QImage>
#include <QLocale>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include "ImageIO.h"
#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "editors/ShownColours.h"
#include "elements/Picture.h"
#include "model/Pattern.h"
#include "production/Sheet.h"
#include "setup/Palette.h"

namespace quillane {

namespace {

// Longest side of the picture's image in the file: sharp on paper at 300 dpi and a few
// megabytes at most, however large the picture.
constexpr int PictureImageSide = 2000;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// The picture as the design view shows it, PLine 1 at the bottom, scaled to `size` band by
// band so that a carpet's full image is never held.
QImage PictureImage(OPicture& picture, QSize size, const OColourSwap& swap) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  const bool shrinks = picture.Width > size.width() || picture.Height > size.height();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, shrinks);
  if (picture.Width < 1 || picture.Height < 1)
    return image;
  // Whole rows while a row fits in a band, else a row in pieces.
  const int bandRows =
      static_cast<int>(std::clamp<int64_t>(ImageBandPixels / picture.Width, 1, picture.Height));
  const int bandColumns = static_cast<int>(std::min<int64_t>(ImageBandPixels, picture.Width));
  const double rowHeight = size.height() / static_cast<double>(picture.Height);
  const double columnWidth = size.width() / static_cast<double>(picture.Width);
  OBitmap24 band;
  for (int first = 0; first < picture.Height; first += bandRows) {
    const int rows = std::min(bandRows, picture.Height - first);
    for (int column = 0; column < picture.Width; column += bandColumns) {
      const int columns = std::min(bandColumns, picture.Width - column);
      band.SetSize(columns, rows);
      picture.RenderRows(TView::Design, first, column, band);
      QImage part(columns, rows, QImage::Format_RGB32);
      for (int y = 0; y < rows; ++y) {
        auto* line = reinterpret_cast<QRgb*>(part.scanLine(rows - 1 - y));
        const uint32_t* source = band.Row(y);
        for (int x = 0; x < columns; ++x)
          line[x] = ToQRgb(swap(source[x]));
      }
      const double bottom = size.height() - first * rowHeight;
      painter.drawImage(QRectF(column * columnWidth, bottom - rows * rowHeight,
                               columns * columnWidth, rows * rowHeight),
                        part);
    }
  }
  return image;
}

class TSheetPainter {
public:
  TSheetPainter(QPainter& painter, QRectF page, const OPattern& pattern)
      : P(painter), Page(page), Pattern(pattern), Font(QStringLiteral("DejaVu Sans")) {
    Font.setPointSizeF(9);
    Bold = Font;
    Bold.setBold(true);
    P.setFont(Font);
    Line = QFontMetricsF(Font, P.device()).lineSpacing() * 1.2;
  }

  int LinesPerPage() const { return static_cast<int>(std::floor(Page.height() / Line)) - 2; }
  double WidthInLines() const { return Page.width() / Line; }

  void DrawPage(const TSheetPage& page) {
    double y = Page.top();
    for (const TSheetBlock& block : page.Blocks) {
      const double top = y;
      if (!block.Title.empty()) {
        P.setFont(Bold);
        Text(QRectF(Page.left(), y, Page.width(), Line), block.Title, Qt::AlignLeft);
        P.setFont(Font);
        y += Line;
      }
      const QRectF drawing(Page.left(), y, Page.width(), block.Lines * Line);
      if (block.Kind == TSheetBlockKind::Picture)
        DrawPicture(block, drawing);
      else if (block.Kind == TSheetBlockKind::Bars)
        DrawBars(block, drawing);
      DrawTable(block, y + block.Lines * Line);
      // The lines the layout gave it, so that the page holds what the layout put on it.
      y = top + SheetBlockLines(block) * Line;
    }
    Text(QRectF(Page.left(), Page.bottom() - Line, Page.width(), Line), page.Footer,
         Qt::AlignRight);
  }

private:
  QPainter& P;
  QRectF Page;
  const OPattern& Pattern;
  QFont Font, Bold;
  double Line = 0;

  // Cut short with an ellipsis where the page ends: a long list of what a colour tufts
  // must not run off the paper.
  void Text(const QRectF& rect, const std::string& text, Qt::Alignment align) {
    QRectF shown = rect;
    shown.setRight(std::min(rect.right(), Page.right()));
    const QString elided =
        QFontMetricsF(P.font(), P.device()).elidedText(Q(text), Qt::ElideRight, shown.width());
    P.drawText(shown, static_cast<int>(align | Qt::AlignVCenter), elided);
  }

  double Swatch() const { return Line * 0.7; }

  // Columns as wide as their widest text, a gap apart; rows with fewer cells than the
  // header (a note under a table) run across.
  void DrawTable(const TSheetBlock& block, double y) {
    const QFontMetricsF metrics(Bold, P.device());
    double gap = metrics.horizontalAdvance(QStringLiteral("MMM"));
    std::vector<double> widths(block.Columns.size());
    for (size_t c = 0; c < block.Columns.size(); ++c)
      widths[c] = metrics.horizontalAdvance(Q(block.Columns[c]));
    for (const auto& row : block.Rows)
      if (row.size() == block.Columns.size() || block.Columns.empty()) {
        widths.resize(std::max(widths.size(), row.size()));
        for (size_t c = 0; c < row.size(); ++c)
          widths[c] = std::max(widths[c], metrics.horizontalAdvance(Q(row[c].Text)) +
                                              (row[c].Swatch ? Swatch() * 1.5 : 0.0));
      }
    // A wide table closes up its gaps before its last column runs off the page.
    double total = 0;
    for (const double w : widths)
      total += w;
    if (widths.size() > 1)
      gap = std::clamp((Page.width() - total) / static_cast<double>(widths.size() - 1),
                       metrics.horizontalAdvance(QStringLiteral("M")), gap);
    auto drawRow = [&](const std::vector<TSheetCell>& cells, bool header) {
      P.setFont(header ? Bold : Font);
      double x = Page.left();
      for (size_t c = 0; c < cells.size(); ++c) {
        const bool across = cells.size() < widths.size() && c + 1 == cells.size();
        const double width = across ? Page.right() - x : widths[c];
        QRectF cell(x, y, width, Line);
        if (cells[c].Swatch) {
          const double side = Swatch();
          P.setPen(Qt::black);
          P.setBrush(QColor(ToQRgb(*cells[c].Swatch)));
          P.drawRect(QRectF(x, y + (Line - side) / 2, side, side));
          P.setBrush(Qt::NoBrush);
          cell.setLeft(x + side * 1.5);
        }
        const bool right = !across && c < block.RightAligned.size() && block.RightAligned[c];
        Text(cell, cells[c].Text, right ? Qt::AlignRight : Qt::AlignLeft);
        x += width + gap;
      }
      P.setFont(Font);
      y += Line;
    };
    if (!block.Columns.empty()) {
      std::vector<TSheetCell> header;
      for (const std::string& name : block.Columns)
        header.push_back({name, {}});
      drawRow(header, true);
    }
    for (const auto& row : block.Rows)
      drawRow(row, false);
  }

  void DrawPicture(const TSheetBlock& block, const QRectF& area) {
    if (block.Picture < 0 || block.Picture >= Pattern.Pictures->Count() || !(block.Aspect > 0))
      return;
    OPicture& picture = *Pattern.Pictures->Get(block.Picture);
    QSizeF fit(area.width(), area.width() / block.Aspect);
    if (fit.height() > area.height())
      fit = QSizeF(area.height() * block.Aspect, area.height());
    const QRectF target(area.topLeft(), fit);
    const double longest = std::max(fit.width(), fit.height());
    const double scale = std::min(1.0, PictureImageSide / longest);
    const QSize size(std::max(1, static_cast<int>(std::lround(fit.width() * scale))),
                     std::max(1, static_cast<int>(std::lround(fit.height() * scale))));
    // In a colourway the palette's colours the image holds give way to the colourway's.
    OColourSwap swap;
    if (block.Colours.size() == 256) {
      std::array<uint32_t, 256> palette{}, shown{};
      for (size_t i = 0; i < palette.size(); ++i) {
        palette[i] = Pattern.Palette->GetColour(static_cast<int>(i));
        shown[i] = block.Colours[i];
      }
      swap.Set(palette, shown, Pattern.Palette->NoColours());
    }
    P.drawImage(target, PictureImage(picture, size, swap));
    P.setPen(Qt::black);
    P.setBrush(Qt::NoBrush);
    P.drawRect(target);
  }

  void DrawBars(const TSheetBlock& block, const QRectF& area) {
    const double longest =
        block.Bars.empty() ? 0.0 : *std::max_element(block.Bars.begin(), block.Bars.end());
    P.setPen(Qt::black);
    P.drawLine(area.bottomLeft(), area.bottomRight());
    if (!(longest > 0))
      return;
    // One outline over all the bars: thousands of needles are a shape, not thousands of
    // rectangles with seams between them.
    const double width = area.width() / static_cast<double>(block.Bars.size());
    QPainterPath outline(area.bottomLeft());
    for (size_t i = 0; i < block.Bars.size(); ++i) {
      const double top = area.bottom() - block.Bars[i] / longest * (area.height() - Line);
      outline.lineTo(area.left() + static_cast<double>(i) * width, top);
      outline.lineTo(area.left() + static_cast<double>(i + 1) * width, top);
    }
    outline.lineTo(area.bottomRight());
    outline.closeSubpath();
    P.fillPath(outline, QColor(70, 110, 160));
    Text(QRectF(area.left(), area.top(), area.width(), Line),
         "Longest: " + MetresText(longest) + " (needles 1 to " + std::to_string(block.Bars.size()) +
             ", left to right)",
         Qt::AlignLeft);
  }
};

} // namespace

QPageSize LocalPageSize() {
  const QString territory = QLocale::territoryToCode(QLocale::system().territory());
  return QPageSize(UsesLetterPaper(territory.toStdString()) ? QPageSize::Letter : QPageSize::A4);
}

void PaintSheet(QPagedPaintDevice& device, const TSheet& sheet, const OPattern& pattern) {
  QPainter painter;
  if (!painter.begin(&device))
    throw Exception("Cannot draw the production sheet");
  // The picture and swatches in the yarns' own colours, not as JPEG would shift them.
  painter.setRenderHint(QPainter::LosslessImageRendering);
  TSheetPainter draw(painter, QRectF(0, 0, device.width(), device.height()), pattern);
  const std::vector<TSheetPage> pages =
      LayOutSheet(sheet, draw.LinesPerPage(), draw.WidthInLines());
  for (size_t i = 0; i < pages.size(); ++i) {
    if (i > 0)
      device.newPage();
    draw.DrawPage(pages[i]);
  }
  painter.end();
}

TBytes SheetPdfBytes(const TSheet& sheet, const OPattern& pattern) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(300);
    writer.setTitle(Q("Production sheet: " + sheet.Name));
    writer.setCreator(QStringLiteral("Quillane"));
    writer.setPageSize(LocalPageSize());
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    PaintSheet(writer, sheet, pattern);
  }
  const QByteArray& bytes = buffer.data();
  return TBytes(bytes.begin(), bytes.end());
}

void SaveSheetPdf(const std::string& path, const TSheet& sheet, const OPattern& pattern) {
  WriteFileAtomic(path, SheetPdfBytes(sheet, pattern));
}

} // namespace quillane
