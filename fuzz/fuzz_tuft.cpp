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
      // What is written reads back as the same cells, each in the four bits the file keeps.
      TTuftFile2 back("fuzz.TUF");
      back.LoadFromBytes(file.SaveToBytes());
      for (int32_t p = 1; p <= file.NoPLines(); ++p)
        for (int32_t c = 1; c <= file.NoControls(); ++c)
          if (back.Cell(c, p) != ((file.Cell(c, p) - 1) & 0x0F) + 1)
            __builtin_trap();
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
