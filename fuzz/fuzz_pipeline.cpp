// What the program does with a pattern it has read: the change notification, both views
// with their images, painting, writing it again and exporting it into memory.
#include "FuzzSupport.h"
#include "elements/Picture.h"
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
        picture->SetViewMode(1);
        picture->PaintMachinePixel(0, 0, 1);
        picture->SetViewMode(2);
        picture->PaintDesignPixel(1, 1, 2);
      }
      pattern.SetUndefined();
    }
    OWriter again;
    pattern.WriteToStream(again);
    if (!ExportRefusal(pattern))
      (void)BuildControlFileSet(pattern);
  });
}
