#include <filesystem>

#include "PatternSupport.h"
#include "app/Exceptions.h"
#include "files/CmcFile.h"
#include "files/NedFile.h"
#include "files/TuftFile.h"
#include "files/TuftImport.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane::test {
namespace {

class Regression : public TFlowTest {};

TEST_F(Regression, AForgedWidthAndLengthNeverMeetInOneGrid) {
  // Settings of 0 controls by 65535 PLines, then a grid of 65535 controls by 0 PLines: each
  // pair alone is small, but growing the width first would make a grid of 4 GiB.
  OSettings settings(nullptr);
  settings.NoControls = 0;
  settings.NoPLines = 65535;
  auto p = BarePattern(1, 1);
  // The counts disagree with the settings, so the file is refused; no grid on the way is large.
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
      } catch (const Exception&) {
        // Refused with the program's own message: as it should be.
      }
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0);
}

TEST(AtomicWrite, PartsAreJoinedInOrderAndAFailedWriteKeepsTheOldFile) {
  TTempDir dir;
  const std::string path = dir.File("parts.bin");
  const Bytes a = {1, 2, 3}, empty, b(3000, 7), c = {9};
  const std::span<const uint8_t> parts[] = {a, empty, b, empty, c};
  WriteFileAtomic(path, parts);
  const Bytes joined = Cat({a, b, c});
  EXPECT_EQ(FileBytes(path), joined);

  for (size_t cut : {0, 1, 2, 1500, 3000}) {
    SetWriteFailureForTesting(cut);
    const std::span<const uint8_t> other[] = {c, b};
    EXPECT_THROW(WriteFileAtomic(path, other), EWriteError) << cut;
    SetWriteFailureForTesting(std::nullopt);
    EXPECT_EQ(FileBytes(path), joined) << cut;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(AtomicWrite, WritesThroughLinksIntoDevicesAndClearsStaleTemporaries) {
  namespace fs = std::filesystem;
  TTempDir dir;
  const std::string target = dir.File("target.pat"), link = dir.File("link.pat");
  const std::string stale = dir.File(".target.pat.tmp-Ab12Cd"),
                    other = dir.File(".o.pat.tmp-Ab12Cd");
  WriteBytes(target, {1});
  fs::create_symlink("target.pat", link);
  WriteBytes(stale, {2}); // left by a killed save of the same file
  WriteBytes(other, {3});
  WriteFileAtomic(link, Bytes{4, 5});
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(FileBytes(target), (Bytes{4, 5}));
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(other));

  if (!fs::is_character_file("/dev/full"))
    return;
  fs::create_symlink("/dev/full", dir.File("full.pat"));
  try {
    WriteFileAtomic(dir.File("full.pat"), Bytes{6});
    ADD_FAILURE() << "a full device took the bytes";
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.what(),
              "Cannot write file \"" + dir.File("full.pat") + "\". No space left on device");
  }
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

} // namespace
} // namespace quillane::test
