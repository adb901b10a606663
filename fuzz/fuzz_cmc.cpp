// The CMC control file (.CAR), through to the pattern the import builds.
#include "FuzzSupport.h"
#include "files/CmcFile.h"
#include "model/Pattern.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillane;
  return fuzz::Guarded([&] { (void)NewPatternFromCmcBytes({data, size}); });
}
