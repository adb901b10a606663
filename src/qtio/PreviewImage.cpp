#include "PreviewImage.h"

#include <algorithm>
#include <vector>

#include "app/Exceptions.h"
#include "elements/Bitmap.h"

namespace quillane {

double PreviewExportScale(const OPreview& preview, int longest) {
  return preview.FitScale(longest, longest);
}

void SavePreviewImage(const OPreview& preview, double scale, const std::string& path,
                      int dotsPerInch, const TImageProgress& progress) {
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
      },
      progress, dotsPerInch);
}

} // namespace quillane
