// The pattern option file (.DAT) of any version.
#include "FuzzSupport.h"
#include "setup/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillane;
  return fuzz::Guarded([&] {
    OSettings settings(nullptr);
    settings.ReadOptionBytes({data, size});
    (void)settings.OptionFileBytes();
  });
}
