// The pattern file as Open reads it.
#include "FuzzSupport.h"
#include "model/Pattern.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillane;
  return fuzz::Guarded([&] {
    OPattern pattern;
    OReader stream(data, size);
    pattern.ReadFromStream(stream);
  });
}
