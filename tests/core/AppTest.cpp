#include "TestSupport.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>
#include <random>
#include <utility>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#include <vector>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "app/ByteRows.h"
#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "app/LargeBuffer.h"
#include "app/Text.h"

namespace quillane::test {
namespace {

class StartUp : public TFlowTest {
protected:
  void SetUp() override {
    TFlowTest::SetUp();
    Saved = std::filesystem::current_path();
    std::filesystem::current_path(Start.Path);
    g.Version = {"3.31.0.0", "3.31"};
  }
  void TearDown() override {
    std::filesystem::current_path(Saved);
    g.Version = TVersionInfo::FromBuild();
    TFlowTest::TearDown();
  }
  std::unique_ptr<OMemoryPersist> Ini(std::map<std::string, std::string> values = {}) {
    auto ini = std::make_unique<OMemoryPersist>();
    ini->Values = std::move(values);
    return ini;
  }
  std::filesystem::path Saved;
};

TEST_F(StartUp, FolderFromTheLastRunUnlessTheCommandLineGivesOne) {
  g.Start({}, Ini({{"g.CurrentDir", "/designs/last"}}));
  EXPECT_EQ(g.CurrentDir, "/designs/last");

  // Any case of the switch; the folder keeps its own case; the last one wins.
  g.Start({"/D=/first", "other", "/d=/Mill/Designs"}, Ini({{"g.CurrentDir", "/designs/last"}}));
  EXPECT_EQ(g.CurrentDir, "/Mill/Designs");

  g.Start({"/x=/nowhere", "/d"}, Ini());
  EXPECT_EQ(g.CurrentDir, Start.Path);
  EXPECT_EQ(UI.Caption, "Quillane - V3.31 - 3.31");
}

// The fill's sixteen-at-a-time writes against the rule they follow, byte by byte, at every
// length and misalignment round a block of sixteen.
TEST(SharedRoutines, TakenWritesFollowEachByteOfTheirTake) {
  std::mt19937 rng(7);
  auto bytes = [&](size_t n, int hi) {
    std::vector<uint8_t> b(n);
    for (uint8_t& x : b)
      x = static_cast<uint8_t>(std::uniform_int_distribution<int>(0, hi)(rng));
    return b;
  };
  for (size_t n = 0; n <= 50; ++n)
    for (int round = 0; round < 20; ++round) {
      const auto take = bytes(n + 3, round % 4 == 0 ? 0 : 3), want = bytes(n + 3, 2);
      auto states = bytes(n + 3, 2), colours = bytes(n + 3, 2);
      const uint8_t v = static_cast<uint8_t>(round % 3), at = static_cast<uint8_t>(round % 4);
      auto wantStates = states, wantColours = colours;
      for (size_t k = at; k < at + n; ++k) {
        wantStates[k] = take[k] & 2 ? want[k] : states[k];
        wantColours[k] = take[k] & 1 ? v : colours[k];
      }
      const bool differs = wantStates != states || wantColours != colours;
      EXPECT_EQ(TakenDiffers(&take[at], &want[at], &states[at], &colours[at], n, v), differs) << n;
      WriteTaken(&take[at], &want[at], &states[at], &colours[at], n, v);
      ASSERT_EQ(states, wantStates) << n;
      ASSERT_EQ(colours, wantColours) << n;
    }
}

TEST(SharedRoutines, StripExtension) {
  const std::pair<const char*, const char*> rows[] = {
      {"C:\\a.b\\name.tar.PAT", "name"},
      {"C:\\x\\my.design.SET", "my"},
      {"/home/mill/a.b/rug.v2.pat", "rug"}, // Linux folders
      {"", ""},
      {".hidden", ""},
  };
  for (auto [path, expected] : rows)
    EXPECT_EQ(StripExtension(path), expected) << path;
}

TEST(SharedRoutines, RoundUpAndTexts) {
  EXPECT_EQ(RoundUp(2.0), 2);
  EXPECT_EQ(RoundUp(2.1), 3);
  EXPECT_EQ(RoundUp(-2.5), -2);
  EXPECT_EQ(RoundUp(1e300), INT64_MAX);

  TShortString<15> field;
  field.SetText("ABCDEFGH");
  SetTextLength(field, 3);
  EXPECT_EQ(field.Text(), "ABC");
  EXPECT_EQ(field.Chars[3], 0);
  EXPECT_EQ(field.Chars[4], 'E') << "bytes after the zero stay as they were";
  SetTextLength(field, 40);
  EXPECT_EQ(field.Length, 14);
  EXPECT_EQ(field.Chars[14], 0);
}

TEST(SharedRoutines, DialogRunnerFollowsTheChosenFolder) {
  OScriptedPlatform ui;
  OPlatformScope scope(ui);
  TFileDialog dialog;
#ifdef _WIN32
  const std::string root = "C:\\", folder = "C:\\mill\\designs";
#else
  const std::string root = "/", folder = "/mill/designs";
#endif
  ui.FileAnswers = {folder + "/rug.PAT", std::nullopt, root + "x.PAT"};
  EXPECT_TRUE(ExecuteOpenDialog(dialog));
  EXPECT_EQ(g.CurrentDir, folder);
  EXPECT_FALSE(ExecuteSaveDialog(dialog));
  EXPECT_EQ(g.CurrentDir, folder);
  EXPECT_TRUE(ExecuteSaveDialog(dialog));
  EXPECT_EQ(g.CurrentDir, root) << "the root keeps its separator";
}

TEST(Text, Windows1252RoundTripsThroughUtf8) {
  std::string all;
  for (int b = 1; b < 256; ++b)
    if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D)
      all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(all)), all);
  EXPECT_EQ(Windows1252ToUtf8("\x80"), "\xE2\x82\xAC"); // euro sign
  EXPECT_EQ(Windows1252ToUtf8("\x81"), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8ToWindows1252("\xE6\x97\xA5"), "?"); // not in the code page
  EXPECT_EQ(Utf8ToWindows1252("a\xC3"), "a?");       // cut short
}

TEST(Records, ReaderIsBoundsCheckedAndLittleEndian) {
  const Bytes b = {0x01, 0x34, 0x12, 0xFE, 0xFF, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x80, 0x3F};
  OReader r(b);
  EXPECT_EQ(r.ReadByte(), 1);
  EXPECT_EQ(r.ReadWord(), 0x1234);
  EXPECT_EQ(r.ReadSmallInt(), -2);
  EXPECT_EQ(r.ReadCardinal(), 0x12345678u);
  EXPECT_EQ(r.ReadSingle(), 1.0f);
  EXPECT_THROW(r.ReadByte(), EReadError);
  OReader s(b.data(), 3);
  s.Skip(2);
  EXPECT_THROW(s.ReadWord(), EReadError);
  EXPECT_EQ(s.Position(), 2u) << "a failed read consumes nothing";
  EXPECT_THROW(s.Skip(SIZE_MAX), EReadError);

  OWriter w;
  w.WriteByte(1);
  w.WriteWord(0x1234);
  w.WriteSmallInt(-2);
  w.WriteCardinal(0x12345678);
  w.WriteSingle(1.0f);
  EXPECT_EQ(w.Bytes(), b);
}

size_t HeapInUse() {
#if defined(__GLIBC__)
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
#else
  return 0;
#endif
}

// Blocks around the huge-page size must be whole, zeroed, apart, and given back exactly.
TEST(LargeBlocks, AreZeroWholeAndApartAtEverySizeAroundAHugePage) {
  const size_t mib = size_t{1} << 20;
  const std::vector<size_t> sizes = {mib - 1, mib,         2 * mib - 1,
                                     2 * mib, 2 * mib + 1, 6 * mib + 12345};
  // Rounds 2 and 3 take heap blocks; each is freed the way it was taken after the switch.
  const size_t heapBefore = HeapInUse();
  for (int round = 0; round < 4; ++round) {
    AllowLargeBlockMapping(round < 2);
    std::vector<TZeroedBytes> blocks;
    for (size_t n : sizes)
      blocks.emplace_back(n);
    std::vector<uint8_t, TLargeAllocator<uint8_t>> vector(3 * mib, 1);
    AllowLargeBlockMapping(round >= 2);
    for (size_t i = 0; i < blocks.size(); ++i) {
      ASSERT_EQ(blocks[i].size(), sizes[i]);
      EXPECT_TRUE(std::all_of(blocks[i].data(), blocks[i].data() + sizes[i],
                              [](uint8_t b) { return b == 0; }));
      std::memset(blocks[i].data(), static_cast<int>(i + 1), sizes[i]);
    }
    for (size_t i = 0; i < blocks.size(); ++i)
      EXPECT_TRUE(std::all_of(blocks[i].data(), blocks[i].data() + sizes[i],
                              [&](uint8_t b) { return b == static_cast<uint8_t>(i + 1); }))
          << sizes[i] << " bytes";
    blocks.erase(blocks.begin() + 2); // given back out of order, then the rest
  }
  AllowLargeBlockMapping(true);
  EXPECT_LT(HeapInUse(), heapBefore + mib); // heap blocks went back to the heap
  TBytes grown;
  for (size_t n = 1; n <= 5 * mib; n = n * 3 + 1) {
    const size_t old = grown.size();
    grown.resize(n, static_cast<uint8_t>(n));
    EXPECT_EQ(grown[old], static_cast<uint8_t>(n));
    EXPECT_EQ(grown[0], 1); // kept through every move to a larger block
  }
}

TEST(AtomicWrite, RemovesOnlyTheTemporariesNoLiveWriterHolds) {
  namespace fs = std::filesystem;
  TTempDir dir;
  // A name beyond ASCII, which Windows is given as UTF-16.
  const std::string name = "M\xC3\xBCster.pat", target = dir.File(name);
  const std::string stale = dir.File("." + name + ".tmp-Ab12Cd");
  WriteBytes(stale, {2}); // a killed save's
  const Bytes first = {1}, second = {3};
  const std::span<const uint8_t> whole[] = {first};
  TPendingWrite live(target, whole); // another writer, half-way
  WriteFileAtomic(target, second);
  EXPECT_FALSE(FileExists(stale));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 2);
  live.Commit(); // its temporary is still there to be put in place
  EXPECT_EQ(FileBytes(target), first);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 1);

  // A writer that runs out of memory half-way leaves the old file and no temporary.
  bool given = false;
  EXPECT_THROW(WriteFileAtomic(target,
                               [&]() -> std::span<const uint8_t> {
                                 if (std::exchange(given, true))
                                   throw std::bad_alloc();
                                 return second;
                               }),
               std::bad_alloc);
  EXPECT_EQ(FileBytes(target), first);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 1);

  // Through a link the file it leads to is written, and the link stays.
  SKIP_ON_WINDOWS("links need the administrator's right");
  fs::create_symlink(name, dir.File("link.pat"));
  WriteFileAtomic(dir.File("link.pat"), second);
  EXPECT_TRUE(fs::is_symlink(dir.File("link.pat")));
  EXPECT_EQ(FileBytes(target), second);
}

// The rename that puts a save in place needs only the folder's permission: root may write
// any file, so the save is made as nobody, who may write the folder but not the file.
TEST(AtomicWrite, RefusesToReplaceAFileTheUserMayNotWrite) {
  TTempDir dir;
  const std::string file = dir.File("keep.pat");
  WriteBytes(file, {1});
#ifdef _WIN32
  // Windows has no permission bits beyond read-only, which binds everyone.
  std::filesystem::permissions(sys::PathOf(file), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  EXPECT_EQ(Thrown([&] { WriteFileAtomic(file, Bytes{2}); }),
            "Cannot replace file \"" + file + "\": it is read-only");
#else
  ASSERT_EQ(::chmod(file.c_str(), 0444) | ::chmod(dir.Path.c_str(), 0777), 0);
  if (const pid_t child = ::fork(); child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
      ::_exit(3);
    try {
      WriteFileAtomic(file, Bytes{2});
    } catch (const EFCreateError& e) {
      ::_exit(e.what() == "Cannot replace file \"" + file + "\": it is read-only" ? 0 : 2);
    }
    ::_exit(1);
  } else {
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
  }
#endif
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path), {}), 1); // no temporary
  EXPECT_EQ(FileBytes(file), Bytes{1});
}

} // namespace
} // namespace quillane::test
