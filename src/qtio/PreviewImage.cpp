#include "PreviewImage.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "app/Exceptions.h"
#include "elements/Bitmap.h"
#include "preview/StrikeOff.h"

namespace quillane {

double PreviewExportScale(const OCarpetPicture& preview, int longest) {
  return preview.FitScale(longest, longest);
}

namespace {

// Writes the picture band by band, with `overlay` (when not null) over its pixels from
// `at` on.
void SaveCarpetImage(const OCarpetPicture& preview, double scale, const std::string& path,
                     int dotsPerInch, const TImageProgress& progress, const QImage* overlay,
                     QPoint at) {
  const int64_t width = preview.GoodsWidth(scale), height = preview.GoodsHeight(scale);
  if (width > 1000000 || height > 1000000)
    throw Exception("The preview would be " + std::to_string(width) + " x " +
                    std::to_string(height) + " pixels; choose a smaller size");
  const int w = static_cast<int>(width), h = static_cast<int>(height);
  std::vector<uint32_t> rows;
  SaveImageRows(
      path, w, h, 1 << 20, false,
      [&](int first, int column, OBitmap24& out) {
        const int cols = out.Width();
        const TPreviewView view{scale, column, first, cols, out.Height()};
        rows.resize(static_cast<size_t>(cols) * static_cast<size_t>(out.Height()));
        preview.Render(view, rows.data(), {0, 0, cols, out.Height()});
        // The preview draws 0xRRGGBB, the bitmap holds the platform's 0xBBGGRR.
        for (int y = 0; y < out.Height(); ++y) {
          const uint32_t* from = rows.data() + static_cast<size_t>(y) * static_cast<size_t>(cols);
          uint32_t* to = out.Row(y);
          for (int x = 0; x < cols; ++x)
            to[x] = (from[x] >> 16 & 0xFF) | (from[x] & 0xFF00) | (from[x] & 0xFF) << 16;
        }
        if (!overlay)
          return;
        const int top = std::max(first, at.y());
        const int bottom = std::min(first + out.Height(), at.y() + overlay->height());
        const int left = std::max(column, at.x());
        const int right = std::min(column + cols, at.x() + overlay->width());
        for (int y = top; y < bottom; ++y) {
          const auto* line = reinterpret_cast<const QRgb*>(overlay->constScanLine(y - at.y()));
          for (int x = left; x < right; ++x)
            out.Row(y - first)[x - column] = FromQRgb(line[x - at.x()]);
        }
      },
      progress, dotsPerInch);
}

} // namespace

void SavePreviewImage(const OCarpetPicture& preview, double scale, const std::string& path,
                      int dotsPerInch, const TImageProgress& progress) {
  SaveCarpetImage(preview, scale, path, dotsPerInch, progress, nullptr, {});
}

double ScaleBarMm(double widthMm) {
  if (!(widthMm > 0) || !std::isfinite(widthMm))
    return 0;
  const double most = widthMm / 4;
  double bar = std::pow(10.0, std::floor(std::log10(most)));
  for (const double step : {5.0, 2.0})
    if (bar * step <= most * (1 + 1e-9)) {
      bar *= step;
      break;
    }
  return bar;
}

void SaveRoomImage(const OCarpetPicture& room, double scale, const std::string& path,
                   int dotsPerInch, const TImageProgress& progress) {
  const int64_t width = room.GoodsWidth(scale), height = room.GoodsHeight(scale);
  const double barMm = ScaleBarMm(static_cast<double>(width) / scale);
  const int bar = static_cast<int>(std::lround(barMm * scale));
  QFont font;
  font.setPixelSize(ScaleBarFontPixels);
  const QFontMetrics metrics(font);
  const QString label = QString::fromStdString(LengthText(barMm, false));
  const int pad = 8;
  const QSize box(std::max(bar, metrics.horizontalAdvance(label)) + 2 * pad,
                  pad + metrics.height() + 2 + ScaleBarPixels + pad);
  // A room too small for its bar is shown without one rather than hidden under it.
  if (bar < 1 || box.width() + 2 * ScaleBarMargin > width ||
      box.height() + 2 * ScaleBarMargin > height) {
    SavePreviewImage(room, scale, path, dotsPerInch, progress);
    return;
  }
  QImage overlay(box, QImage::Format_RGB32);
  overlay.fill(Qt::white);
  {
    QPainter painter(&overlay);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, pad, box.width(), metrics.height()), Qt::AlignCenter, label);
    painter.fillRect(
        QRect((box.width() - bar) / 2, box.height() - pad - ScaleBarPixels, bar, ScaleBarPixels),
        Qt::black);
  }
  SaveCarpetImage(room, scale, path, dotsPerInch, progress, &overlay,
                  QPoint(ScaleBarMargin, static_cast<int>(height) - ScaleBarMargin - box.height()));
}

void SavePreviewColouringsImage(const OPreview& preview, double scale,
                                const std::vector<TPreviewColouring>& colourings,
                                const std::string& path, int dotsPerInch,
                                const TImageProgress& progress) {
  const int64_t n = std::max<int64_t>(1, static_cast<int64_t>(colourings.size()));
  const int64_t panelWidth = preview.GoodsWidth(scale), panelHeight = preview.GoodsHeight(scale);
  const int64_t width = n * panelWidth + (n + 1) * PreviewPanelGap;
  const int64_t height = PreviewLabelHeight + panelHeight + PreviewPanelGap;
  if (width > 1000000 || height > 1000000)
    throw Exception("The preview would be " + std::to_string(width) + " x " +
                    std::to_string(height) + " pixels; choose a smaller size");
  const int pw = static_cast<int>(panelWidth), ph = static_cast<int>(panelHeight);
  const uint32_t background = FromQRgb(preview.Background);
  // Each name once, in the bitmap's colours, cut short where the panel ends.
  std::vector<QImage> labels;
  for (const TPreviewColouring& c : colourings) {
    QImage label(std::max(pw, 1), PreviewLabelHeight, QImage::Format_RGB32);
    label.fill(QColor::fromRgb(preview.Background));
    QPainter painter(&label);
    QFont font;
    font.setPixelSize(PreviewLabelHeight / 2);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QString name = QFontMetrics(font).elidedText(QString::fromUtf8(c.Name.c_str()),
                                                       Qt::ElideRight, std::max(pw, 1));
    painter.drawText(QRect(0, 0, label.width(), label.height() - 4),
                     Qt::AlignLeft | Qt::AlignBottom, name);
    painter.end();
    labels.push_back(std::move(label));
  }
  std::vector<uint32_t> shades, coloured;
  SaveImageRows(
      path, static_cast<int>(width), static_cast<int>(height), 1 << 20, false,
      [&](int first, int column, OBitmap24& out) {
        const int cols = out.Width(), rows = out.Height();
        for (int y = 0; y < rows; ++y)
          std::fill_n(out.Row(y), cols, background);
        // The band's rows of the goods, sampled once for every panel.
        const int top = std::max(first, PreviewLabelHeight);
        const int bottom = std::min(first + rows, PreviewLabelHeight + ph);
        if (top < bottom && pw > 0) {
          const TPreviewView view{scale, 0, top - PreviewLabelHeight, pw, bottom - top};
          shades.resize(static_cast<size_t>(pw) * static_cast<size_t>(bottom - top));
          coloured.resize(shades.size());
          preview.RenderShades(view, shades.data(), {0, 0, pw, bottom - top});
          for (size_t k = 0; k < colourings.size(); ++k) {
            const int64_t left = PreviewPanelGap + static_cast<int64_t>(k) * (pw + PreviewPanelGap);
            const int64_t from = std::max<int64_t>(left, column);
            const int64_t to = std::min<int64_t>(left + pw, int64_t{column} + cols);
            if (from >= to)
              continue;
            preview.ColourShades(shades.data(), shades.size(), colourings[k].Colours,
                                 coloured.data());
            for (int y = top; y < bottom; ++y) {
              const uint32_t* row =
                  coloured.data() + static_cast<size_t>(y - top) * static_cast<size_t>(pw);
              uint32_t* to24 = out.Row(y - first);
              for (int64_t x = from; x < to; ++x)
                to24[x - column] = FromQRgb(row[x - left]);
            }
          }
        }
        for (int y = first; y < std::min(first + rows, PreviewLabelHeight); ++y)
          for (size_t k = 0; k < labels.size(); ++k) {
            const int64_t left = PreviewPanelGap + static_cast<int64_t>(k) * (pw + PreviewPanelGap);
            const auto* row = reinterpret_cast<const QRgb*>(labels[k].constScanLine(y));
            for (int64_t x = std::max<int64_t>(left, column);
                 x < std::min<int64_t>(left + pw, int64_t{column} + cols); ++x)
              out.Row(y - first)[x - column] = FromQRgb(row[x - left]);
          }
      },
      progress, dotsPerInch);
}

} // namespace quillane
