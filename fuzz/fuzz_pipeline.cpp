// What the program does with a pattern it has read: the change notification, both views
// with their images, painting (one pixel, and a bitmap applied to a region), writing it
// again and exporting it into memory.
#include "FuzzSupport.h"
#include "data/Mapping.h"
#include "elements/BitmapMapping.h"
#include "elements/Picture.h"
#include "elements/Region.h"
#include "files/Export.h"
#include "model/Pattern.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillane;
  return fuzz::Guarded([&] {
    OPattern pattern;
    OReader stream(data, size);
    pattern.ReadFromStream(stream);
    pattern.Changed();
    // A picture's images are as large as its record says, which a valid file may also say;
    // drawing them is not the reader's cost, so patterns with large pictures are not drawn.
    bool small = true;
    for (const auto& picture : *pattern.Pictures)
      small = small && int64_t{picture->Width} * picture->Height <= (int64_t{1} << 22);
    if (small) {
      for (const auto& picture : *pattern.Pictures) {
        picture->BringUpToDate(TView::Machine);
        picture->PaintMachinePixel(0, 0, 1);
        picture->BringUpToDate(TView::Design);
        picture->PaintDesignPixel(1, 1, 2);
      }
      // A bitmap applied in the machine view, which paints a region's cells as one area
      // where the layout allows and pixel by pixel where it does not.
      if (pattern.Pictures->Count() > 0 && pattern.Pictures->Get(0)->Regions.Count() > 0) {
        ORegion& region = *pattern.Pictures->Get(0)->Regions.Get(0);
        const int64_t w = AreaWidth(region.PictureArea), h = AreaHeight(region.PictureArea);
        if (w > 0 && h > 0 && w <= (int64_t{1} << 16) / h) {
          OBitmap24 bitmap;
          bitmap.SetSize(3, 2);
          for (int i = 0; i < 6; ++i)
            bitmap.SetPixel(i % 3, i / 3, pattern.Palette->GetColour(i));
          OBitmapMapping(region, bitmap).Apply(true);
        }
      }
      pattern.SetUndefined();
    }
    OWriter again;
    pattern.WriteToStream(again);
    (void)UncodableCellQuestion(pattern);
    if (!ExportRefusal(pattern))
      (void)BuildControlFileSet(pattern);
  });
}
