#include "app/FileSet.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "app/Exceptions.h"
#include "app/FileIO.h"

namespace quillane {

namespace fs = std::filesystem;

namespace {

// A link is written through: the file it names is the one replaced.
std::string TargetOf(const std::string& path) {
  std::error_code ec;
  if (!fs::is_symlink(path, ec))
    return path;
  fs::path target = fs::weakly_canonical(path, ec);
  return ec ? path : target.string();
}

// Claims a free name beside `path`, named as the single-file save names its temporaries so
// that its clean-up after a killed save finds ours too.
std::string ClaimTemporary(const std::string& path) {
  const std::string folder = FolderOf(path);
  const std::string base = fs::path(path).filename().string();
  std::random_device rd;
  for (int attempt = 0; attempt < 16; ++attempt) {
    static const char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix;
    for (int c = 0; c < 6; ++c)
      suffix += Letters[rd() % (sizeof Letters - 1)];
    std::string temp =
        JoinPath(folder.empty() ? std::string(".") : folder, "." + base + ".tmp-" + suffix);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return temp;
    }
    if (errno != EEXIST)
      break;
  }
  throw EFCreateError("Cannot create file \"" + path + "\". " + std::strerror(errno));
}

} // namespace

void WriteFileSetAtomic(std::span<const TFilePart> files, size_t& failed) {
  std::vector<std::string> targets, temps; // temps[i] "" for a file written directly
  auto removeFrom = [&](size_t first) {
    for (size_t j = first; j < temps.size(); ++j)
      if (!temps[j].empty())
        ::unlink(temps[j].c_str());
  };
  for (size_t i = 0; i < files.size(); ++i) {
    failed = i;
    try {
      targets.push_back(TargetOf(files[i].Path));
      // Found now rather than when it is too late to keep the rest of the old set.
      std::error_code ec;
      const fs::file_status status = fs::status(targets.back(), ec);
      if (fs::is_directory(status))
        throw EFCreateError("Cannot create file \"" + files[i].Path + "\". " +
                            std::strerror(EISDIR));
      // A device or pipe cannot be replaced: it takes its bytes directly, before any
      // file of the set is renamed.
      if (fs::exists(status) && !fs::is_regular_file(status)) {
        temps.emplace_back();
        continue;
      }
      temps.push_back(ClaimTemporary(targets.back()));
      WriteFileAtomic(temps.back(), files[i].Bytes);
      // Keep the old file's permissions where there was one.
      struct stat st {};
      if (::stat(targets.back().c_str(), &st) == 0)
        ::chmod(temps.back().c_str(), st.st_mode & 07777);
    } catch (...) {
      removeFrom(0);
      throw;
    }
  }
  for (size_t i = 0; i < files.size(); ++i) {
    if (!temps[i].empty())
      continue;
    failed = i;
    try {
      WriteFileAtomic(files[i].Path, files[i].Bytes);
    } catch (...) {
      removeFrom(0);
      throw;
    }
  }
  // Renames within a folder do not run out of space; the rare one that fails leaves the
  // files renamed before it in place.
  for (size_t i = 0; i < files.size(); ++i) {
    if (temps[i].empty())
      continue;
    if (::rename(temps[i].c_str(), targets[i].c_str()) != 0) {
      const int e = errno;
      failed = i;
      removeFrom(i);
      throw EWriteError(std::string("Stream write error: ") + std::strerror(e));
    }
  }
}

} // namespace quillane
