// The tuft control file: the variant test, then the variant's reader.
#include "FuzzSupport.h"
#include "files/TuftFile.h"
#include "files/TuftImport.h"
#include "model/Pattern.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillane;
  fuzz::Guarded([&] {
    std::span<const uint8_t> bytes(data, size);
    if (TTuftFile::VersionOf(bytes) == 2) {
      TTuftFile2 file("fuzz.TUF");
      file.LoadFromBytes(bytes);
      (void)file.SaveToBytes();
    } else {
      TTuftFile1 file("fuzz.TUF");
      file.LoadFromBytes(bytes);
      (void)file.SaveToBytes();
    }
  });
  // The import on top of the reader (no companion files exist under this name).
  fuzz::Guarded([&] { (void)NewPatternFromTuftBytes("/nonexistent/fuzz.TUF", {data, size}); });
  return 0;
}
