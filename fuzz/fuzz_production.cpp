// The production parameters file (NAME.production.json).
#include <cstdlib>

#include "FuzzSupport.h"
#include "production/ProductionFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillane;
  return fuzz::Guarded([&] {
    const TProductionParameters parameters = ReadProductionParameters({data, size});
    // What was accepted is written so that it reads back the same.
    if (!(ReadProductionParameters(ProductionParametersBytes(parameters)) == parameters))
      std::abort();
  });
}
