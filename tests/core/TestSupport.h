#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "app/App.h"
#include "app/FileIO.h"
#include "data/Record.h"
#include "platform/FileSystem.h"
#include "platform/ScriptedPlatform.h"

// A case that cannot hold on Windows (POSIX permission bits, pipes, links) says so in the run.
#ifdef _WIN32
#define SKIP_ON_WINDOWS(why) GTEST_SKIP() << "not on Windows: " << why
#else
#define SKIP_ON_WINDOWS(why) static_cast<void>(why)
#endif

namespace quillane::test {

using Bytes = TBytes;

// A folder of its own for one test, removed afterwards.
class TTempDir {
public:
  TTempDir() {
#ifdef _WIN32
    std::random_device random;
    std::error_code ec;
    for (auto base = std::filesystem::temp_directory_path(); Path.empty();)
      if (auto p = base / ("quillane-" + std::to_string(random())); create_directory(p, ec))
        Path = sys::NameOf(p);
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "quillane-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    Path = ::mkdtemp(buffer.data());
#endif
  }
  ~TTempDir() {
    std::error_code ec;
    std::filesystem::permissions(Path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(Path, ec);
  }
  std::string File(const std::string& name) const {
    return JoinPath(Path, name);
  }
  std::string Path;
};

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(sys::PathOf(path), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline Bytes FileBytes(const std::string& path) {
  return ReadFileBytes(path);
}

// What a record, or a whole pattern, writes.
template <class TObject> Bytes RecordBytes(const TObject& object) {
  OWriter w;
  object.WriteToStream(w);
  return w.Bytes();
}

// Bytes from hex digits, spaces ignored: Hex("0102 ff") is 1, 2, 255.
inline Bytes Hex(const std::string& digits) {
  Bytes b;
  for (size_t i = 0; i < digits.size(); ++i)
    if (digits[i] != ' ')
      b.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i++, 2), nullptr, 16)));
  return b;
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}
inline Bytes Text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

// What `f` throws as a TException, or "" when it returns: one line per refused case.
template <class TException = std::exception, class TFunction> std::string Thrown(TFunction&& f) {
  try {
    f();
  } catch (const TException& e) {
    return e.what();
  }
  return "";
}

// Little-endian helpers for building expected bytes by hand.
inline void Put(Bytes& b, std::initializer_list<int> values) {
  for (int v : values)
    b.push_back(static_cast<uint8_t>(v));
}
inline void PutWord(Bytes& b, uint16_t v) {
  Put(b, {v & 0xFF, v >> 8});
}
inline void PutCardinal(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void PutSingle(Bytes& b, float f) {
  uint32_t v;
  std::memcpy(&v, &f, 4);
  PutCardinal(b, v);
}

// Installs a scripted user interface and points both default-file folders at fresh
// temporary folders, so no test sees another's files or the working directory.
class TFlowTest : public ::testing::Test {
protected:
  void SetUp() override {
    g.CurrentDir = Current.Path;
    g.StartDir = Start.Path;
    UI.OpenDialog = {};
    UI.SaveDialog = {};
  }
  void TearDown() override { SetWriteFailureForTesting(std::nullopt); }

  OScriptedPlatform UI;
  OPlatformScope Scope{UI};
  TTempDir Current;
  TTempDir Start;
};

} // namespace quillane::test
