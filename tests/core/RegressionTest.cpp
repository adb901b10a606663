#include <filesystem>

#include "PatternSupport.h"
#include "app/Exceptions.h"
#include "files/CmcFile.h"
#include "files/NedFile.h"
#include "files/TuftImport.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane::test {
namespace {

class Regression : public TFlowTest {};

TEST_F(Regression, AForgedWidthAndLengthNeverMeetInOneGrid) {
  // 0 controls by 65535 PLines in the settings, a grid 65535 wide: never 4 GiB at once.
  OSettings settings(nullptr);
  settings.NoControls = 0;
  settings.NoPLines = 65535;
  auto p = BarePattern(1, 1);
  const Bytes file =
      Cat({Hex("0502"), RecordBytes(settings), RecordBytes(*p->Palette),
           RecordBytes(*p->MachineTable), RecordBytes(*p->DesignTable), RecordBytes(*p->Creel),
           Hex("ffff 0000 0000 00")}); // no sections, pictures
  OPattern read;
  OReader stream(file);
  EXPECT_THROW(read.ReadFromStream(stream), Exception);
  EXPECT_LT(read.States.Data().size(), size_t{1} << 20);
}

// Inputs that once crashed a fuzz target stay fixed: each is read again by its reader.
TEST_F(Regression, KeptFuzzInputsAreRefusedOrReadCleanly) {
  const std::filesystem::path root =
      std::filesystem::path(QUILLANE_SOURCE_DIR) / "fuzz" / "regressions";
  int replayed = 0;
  for (const auto& folder : std::filesystem::directory_iterator(root)) {
    const std::string target = folder.path().filename().string();
    for (const auto& file : std::filesystem::directory_iterator(folder.path())) {
      const Bytes bytes = FileBytes(file.path().string());
      try {
        if (target == "fuzz_pattern" || target == "fuzz_pipeline") {
          OPattern p;
          OReader stream(bytes);
          p.ReadFromStream(stream);
        } else if (target == "fuzz_tuft") {
          (void)NewPatternFromTuftBytes("/nonexistent/x.TUF", bytes);
        } else if (target == "fuzz_cmc") {
          (void)NewPatternFromCmcBytes(bytes);
        } else if (target == "fuzz_ned") {
          (void)NewPatternFromNedBytes(bytes);
        }
      } catch (const Exception&) { // refused with the program's own message
      }
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0);
}

} // namespace
} // namespace quillane::test
