#include "app/FileIO.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <utility>

#include "app/Exceptions.h"

namespace quillane {
namespace fs = std::filesystem;

namespace {
std::optional<size_t> WriteFailure;

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return s;
}

class OFd {
public:
  explicit OFd(int fd) : Fd(fd) {}
  ~OFd() {
    if (Fd >= 0)
      ::close(Fd);
  }
  OFd(const OFd&) = delete;
  OFd& operator=(const OFd&) = delete;
  int Get() const { return Fd; }
  int Release() {
    int f = Fd;
    Fd = -1;
    return f;
  }

private:
  int Fd;
};
} // namespace

namespace {
// What a file that is not a regular file is, in the user's words.
std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode))
    return "a folder";
  if (S_ISFIFO(mode))
    return "a pipe";
  if (S_ISSOCK(mode))
    return "a socket";
  return "a device";
}

std::string NotRegular(const std::string& path, mode_t mode, const char* verb = "open") {
  return std::string("Cannot ") + verb + " file \"" + path + "\": not a regular file but " +
         KindOf(mode);
}

// Whether the user may not write the file, though the folder may let it be replaced.
bool ReadOnly(const std::string& path) {
  return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 &&
         (errno == EACCES || errno == EPERM);
}
} // namespace

TBytes ReadFileBytes(const std::string& path) {
  // Judged by its name first, so a pipe is never opened (opening one waits for a writer) nor
  // a device (opening one may act on it).
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    const int e = errno;
    const std::string text = "Cannot open file \"" + path + "\". " + std::strerror(e);
    if (e == ENOENT || e == ENOTDIR)
      throw EFOpenError(text);
    throw EUnreadableFile(text);
  }
  if (!S_ISREG(st.st_mode))
    throw EUnreadableFile(NotRegular(path, st.st_mode));
  // Not blocking, should the name have been replaced by a pipe since.
  OFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.Get() < 0) {
    const int e = errno;
    const std::string text = "Cannot open file \"" + path + "\". " + std::strerror(e);
    if (e == ENOENT)
      throw EFOpenError(text);
    throw EUnreadableFile(text);
  }
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
    throw EUnreadableFile(NotRegular(path, st.st_mode));
  TBytes bytes(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::read(fd.Get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      throw EReadError("Cannot read file \"" + path + "\". " + std::strerror(errno));
    if (n == 0)
      break; // the file shrank under us: what we have is what it holds
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

void WriteFileAtomic(const std::string& path, std::span<const uint8_t> bytes) {
  const std::span<const uint8_t> whole[] = {bytes};
  WriteFileAtomic(path, std::span<const std::span<const uint8_t>>(whole));
}

namespace {
// Writes every part to `fd`, resuming short writes; 0 or the errno of the failure.
int WriteAll(int fd, std::span<const std::span<const uint8_t>> parts) {
  size_t total = 0;
  for (const auto& part : parts)
    total += part.size();
  size_t limit = total;
  if (WriteFailure && *WriteFailure < limit)
    limit = *WriteFailure;
  // Gather the parts a batch at a time; a short write resumes where it stopped.
  size_t done = 0, index = 0, offset = 0;
  std::vector<iovec> batch;
  while (done < limit) {
    batch.clear();
    size_t room = limit - done;
    for (size_t i = index, o = offset; i < parts.size() && batch.size() < 1024 && room > 0;
         ++i, o = 0) {
      const size_t n = std::min(parts[i].size() - o, room);
      if (n > 0)
        batch.push_back({const_cast<uint8_t*>(parts[i].data() + o), n});
      room -= n;
    }
    ssize_t n = ::writev(fd, batch.data(), static_cast<int>(batch.size()));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return n < 0 ? errno : ENOSPC;
    done += static_cast<size_t>(n);
    for (size_t left = static_cast<size_t>(n); left > 0;) {
      const size_t step = std::min(parts[index].size() - offset, left);
      left -= step;
      offset += step;
      if (offset == parts[index].size()) {
        ++index;
        offset = 0;
      }
    }
  }
  return done < total ? ENOSPC : 0;
}

std::string WriteFailureText(const std::string& path, int error) {
  return "Cannot write file \"" + path + "\". " + std::strerror(error);
}

// Follows links to the file they name, so that the link itself stays; a dangling link
// names the file to create.
std::string LinkTarget(const std::string& path) {
  fs::path p = path;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec)))
      break;
    const fs::path next = fs::read_symlink(p, ec);
    if (ec)
      break;
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  return p.string();
}

const std::string TemporaryMark = ".tmp-";
constexpr size_t TemporarySuffix = 6;
constexpr size_t LongestName = 255; // NAME_MAX of the file systems we write to

// ".NAME.tmp-": NAME is cut, never inside a character, so that every name the folder takes
// has a temporary it takes too.
std::string TemporaryPrefix(const std::string& base) {
  size_t keep = std::min(base.size(), LongestName - 1 - TemporaryMark.size() - TemporarySuffix);
  while (keep < base.size() && keep > 0 && (static_cast<uint8_t>(base[keep]) & 0xC0) == 0x80)
    --keep;
  return "." + base.substr(0, keep) + TemporaryMark;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A save killed half-way leaves its temporary behind; the next save of the same file
// removes it. A temporary whose writer still runs is locked and stays. Other files'
// temporaries are not ours to judge.
void RemoveStaleTemporaries(const std::string& folder, const std::string& base,
                            const std::string& keep) {
  const std::string prefix = TemporaryPrefix(base);
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const std::string path = it->path().string();
    if (name.size() != prefix.size() + TemporarySuffix ||
        name.compare(0, prefix.size(), prefix) != 0 || path == keep)
      continue;
    OFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    struct stat held {};
    struct stat named {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &held) != 0 || !S_ISREG(held.st_mode) ||
        ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
      continue;
    // Still the file we locked, not one renamed into place or created since.
    if (::lstat(path.c_str(), &named) == 0 && SameFile(held, named))
      ::unlink(path.c_str());
  }
}

// Devices, pipes and standard output cannot be replaced: they take the bytes directly.
void WriteDirect(int fd, const std::string& name, const std::function<int(int)>& write) {
  if (const int e = write(fd))
    throw EWriteError(WriteFailureText(name, e));
  if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP)
    throw EWriteError(WriteFailureText(name, errno));
}
} // namespace

TPendingWrite::TPendingWrite(const std::string& path,
                             std::span<const std::span<const uint8_t>> parts)
    : TPendingWrite(path, [parts](int fd) { return WriteAll(fd, parts); }) {}

TPendingWrite::TPendingWrite(const std::string& path, const std::function<int(int fd)>& write)
    : Path(path) {
  if (path == StandardOutputName) {
    WriteDirect(STDOUT_FILENO, "standard output", write);
    return;
  }
  if (std::optional<std::string> refusal = ReplaceRefusal(path))
    throw EFCreateError(*refusal);
  Target = LinkTarget(path);
  struct stat old {};
  if (::lstat(Target.c_str(), &old) == 0 && S_ISLNK(old.st_mode))
    throw EFCreateError("Cannot create file \"" + path + "\". " + std::strerror(ELOOP));
  const bool existed = ::stat(Target.c_str(), &old) == 0;

  const std::string folder = FolderOf(Target);
  const std::string dir = folder.empty() ? std::string(".") : folder;
  const std::string prefix = TemporaryPrefix(fs::path(Target).filename().string());
  static const char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device rd;
  int raw = -1;
  for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
    std::string suffix;
    for (size_t i = 0; i < TemporarySuffix; ++i)
      suffix += Letters[rd() % (sizeof Letters - 1)];
    Temp = JoinPath(dir, prefix + suffix);
    raw = ::open(Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (raw < 0 && errno != EEXIST)
      break;
    if (raw < 0)
      continue;
    // Locked before a byte is written; a cleaner that took it for a dead save's in the
    // moment between has removed it, and we start again. A file system without locks
    // is written unlocked.
    struct stat held {};
    struct stat named {};
    if (::flock(raw, LOCK_EX) == 0 &&
        (::fstat(raw, &held) != 0 || ::lstat(Temp.c_str(), &named) != 0 ||
         !SameFile(held, named))) {
      ::close(raw);
      raw = -1;
      errno = EEXIST;
    }
  }
  if (raw < 0) {
    Temp.clear();
    throw EFCreateError("Cannot create file \"" + path + "\". " + std::strerror(errno));
  }
  Fd = raw;
  int e = 0;
  try {
    e = write(Fd);
  } catch (...) {
    // A writer that fails (out of memory, say) leaves no half-written temporary: the
    // destructor does not run for an object that was never made.
    Discard();
    throw;
  }
  if (e == 0 && ::fsync(Fd) != 0)
    e = errno;
  // Keep the old file's permissions where there was one.
  if (e == 0 && existed)
    ::fchmod(Fd, old.st_mode & 07777);
  if (e != 0) {
    Discard();
    throw EWriteError(WriteFailureText(path, e));
  }
}

TPendingWrite::TPendingWrite(TPendingWrite&& other) noexcept
    : Path(std::move(other.Path)), Target(std::move(other.Target)),
      Temp(std::exchange(other.Temp, {})), Fd(std::exchange(other.Fd, -1)) {}

TPendingWrite::~TPendingWrite() {
  Discard();
}

void TPendingWrite::Discard() {
  // Removed while still locked, so no cleaner judges it in between.
  if (!Temp.empty())
    ::unlink(Temp.c_str());
  Temp.clear();
  if (Fd >= 0)
    ::close(Fd);
  Fd = -1;
}

void TPendingWrite::Commit() {
  if (Temp.empty())
    return; // written directly
  if (::rename(Temp.c_str(), Target.c_str()) != 0) {
    const int e = errno;
    Discard();
    throw EWriteError(WriteFailureText(Path, e));
  }
  const std::string folder = FolderOf(Target);
  RemoveStaleTemporaries(folder.empty() ? std::string(".") : folder,
                         fs::path(Target).filename().string(), Temp);
  Temp.clear();
  ::close(std::exchange(Fd, -1));
}

TFolderLock::TFolderLock(const std::string& folder)
    : Fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  while (Fd >= 0 && ::flock(Fd, LOCK_EX) != 0 && errno == EINTR) {
  }
}

TFolderLock::~TFolderLock() {
  if (Fd >= 0)
    ::close(Fd);
}
void WriteFileAtomic(const std::string& path, std::span<const std::span<const uint8_t>> parts) {
  TPendingWrite(path, parts).Commit();
}

void WriteFileAtomic(const std::string& path,
                     const std::function<std::span<const uint8_t>()>& next) {
  TPendingWrite(path, [&next](int fd) {
    for (std::span<const uint8_t> part = next(); !part.empty(); part = next()) {
      const std::span<const uint8_t> one[] = {part};
      if (const int e = WriteAll(fd, one))
        return e;
    }
    return 0;
  }).Commit();
}

std::optional<std::string> ReplaceRefusal(const std::string& path) {
  if (path == StandardOutputName)
    return std::nullopt;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return errno == ENOENT
               ? std::nullopt
               : std::optional("Cannot create file \"" + path + "\". " + std::strerror(errno));
  if (S_ISDIR(st.st_mode))
    return "Cannot create file \"" + path + "\". " + std::strerror(EISDIR);
  // Opening a pipe waits for a reader and a device may act on what it is given: only
  // standard output ("-") streams.
  if (!S_ISREG(st.st_mode))
    return NotRegular(path, st.st_mode, "create");
  // The rename needs only the folder's permission: without this, a file the user may not
  // write would be replaced by one of the user's own.
  if (ReadOnly(path))
    return "Cannot replace file \"" + path + "\": it is read-only";
  return std::nullopt;
}

std::optional<std::string> RemoveRefusal(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0)
    return errno == ENOENT
               ? std::nullopt
               : std::optional("Cannot delete file \"" + path + "\". " + std::strerror(errno));
  if (S_ISDIR(st.st_mode))
    return "Cannot delete file \"" + path + "\". " + std::strerror(EISDIR);
  if (S_ISLNK(st.st_mode)) // the link goes, not what it names
    return std::nullopt;
  if (!S_ISREG(st.st_mode))
    return NotRegular(path, st.st_mode, "delete");
  const std::string folder = FolderOf(path);
  if (::faccessat(AT_FDCWD, folder.empty() ? "." : folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    return "Cannot delete file \"" + path + "\". " + std::strerror(errno);
  if (ReadOnly(path))
    return "Cannot delete file \"" + path + "\": it is read-only";
  return std::nullopt;
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && SameFile(sa, sb);
}

std::string FolderOf(const std::string& path) {
  size_t cut = path.find_last_of('/');
  if (cut == std::string::npos)
    return "";
  if (cut == 0)
    return "/";
  return path.substr(0, cut);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty())
    return name;
  if (folder.back() == '/')
    return folder + name;
  return folder + "/" + name;
}

std::optional<std::string> FindFileIgnoringCase(const std::string& folder,
                                                const std::string& name) {
  std::string exact = JoinPath(folder, name);
  if (FileExists(exact))
    return exact;
  std::error_code ec;
  std::string wanted = Lower(name);
  std::optional<std::string> found;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string candidate = it->path().filename().string();
    if (Lower(candidate) != wanted || !it->is_regular_file(ec))
      continue;
    // Several spellings: take the first in name order so the choice does not depend on
    // the directory's order.
    std::string full = JoinPath(folder, candidate);
    if (!found || full < *found)
      found = full;
  }
  return found;
}

void SetWriteFailureForTesting(std::optional<size_t> failAfterBytes) {
  WriteFailure = failAfterBytes;
}

} // namespace quillane
