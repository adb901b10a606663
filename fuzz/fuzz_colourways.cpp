// The colourways file (NAME.colourways.json).
#include <cstdlib>

#include "FuzzSupport.h"
#include "production/ColourwaysFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillane;
  return fuzz::Guarded([&] {
    const TColourways colourways = ReadColourwaysBytes({data, size});
    // What was accepted is written so that it reads back the same.
    if (!(ReadColourwaysBytes(ColourwaysBytes(colourways)) == colourways))
      std::abort();
  });
}
