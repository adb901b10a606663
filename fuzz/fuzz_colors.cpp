// The colour file (.CLR), read as the tuft import reads it: sized for the pattern's controls.
#include "FuzzSupport.h"
#include "files/Colors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillane;
  if (size < 2)
    return 0;
  return fuzz::Guarded([&] {
    // The first two bytes choose the capacity, as a control file's width would.
    TColorsFile file(data[0] | (data[1] << 8));
    file.LoadFromBytes({data + 2, size - 2});
    (void)file.SaveToBytes();
  });
}
