#include "app/FileIO.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string_view>
#include <utility>

#include "app/Exceptions.h"
#include "platform/FileSystem.h"

namespace quillane {
namespace fs = std::filesystem;
using sys::TFileKind;
using sys::TFileStatus;

namespace {
std::optional<size_t> WriteFailure;

#ifdef _WIN32
constexpr const char* Separators = "\\/"; // the first joins
#else
constexpr const char* Separators = "/";
#endif

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
      sys::Close(Fd);
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
std::string KindOf(TFileKind kind) {
  if (kind == TFileKind::Folder)
    return "a folder";
  if (kind == TFileKind::Pipe)
    return "a pipe";
  if (kind == TFileKind::Socket)
    return "a socket";
  return "a device";
}

std::string NotRegular(const std::string& path, TFileKind kind, const char* verb = "open") {
  return std::string("Cannot ") + verb + " file \"" + path + "\": not a regular file but " +
         KindOf(kind);
}
} // namespace

TBytes ReadFileBytes(const std::string& path) {
  // Judged by its name first, so a pipe is never opened (opening one waits for a writer) nor
  // a device (opening one may act on it).
  TFileStatus st;
  if (const int e = sys::Status(path, true, st)) {
    const std::string text = "Cannot open file \"" + path + "\". " + std::strerror(e);
    if (e == ENOENT || e == ENOTDIR)
      throw EFOpenError(text);
    throw EUnreadableFile(text);
  }
  if (st.Kind != TFileKind::Regular)
    throw EUnreadableFile(NotRegular(path, st.Kind));
  // Not blocking, should the name have been replaced by a pipe since.
  OFd fd(sys::OpenForReading(path));
  if (fd.Get() < 0) {
    const int e = errno;
    const std::string text = "Cannot open file \"" + path + "\". " + std::strerror(e);
    if (e == ENOENT)
      throw EFOpenError(text);
    throw EUnreadableFile(text);
  }
  if (sys::Status(fd.Get(), st) != 0 || st.Kind != TFileKind::Regular)
    throw EUnreadableFile(NotRegular(path, st.Kind));
  TBytes bytes(static_cast<size_t>(st.Size));
  size_t done = 0;
  while (done < bytes.size()) {
    const std::ptrdiff_t n = sys::Read(fd.Get(), bytes.data() + done, bytes.size() - done);
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
  // A short write resumes where it stopped.
  size_t done = 0, index = 0, offset = 0;
  std::vector<std::span<const uint8_t>> batch;
  while (done < limit) {
    batch.clear();
    size_t room = limit - done;
    for (size_t i = index, o = offset; i < parts.size() && batch.size() < 1024 && room > 0;
         ++i, o = 0) {
      const size_t n = std::min(parts[i].size() - o, room);
      if (n > 0)
        batch.push_back(parts[i].subspan(o, n));
      room -= n;
    }
    const std::ptrdiff_t n = sys::Write(fd, batch);
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
  fs::path p = sys::PathOf(path);
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec)))
      break;
    const fs::path next = fs::read_symlink(p, ec);
    if (ec)
      break;
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  return sys::NameOf(p);
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

bool SameFile(const TFileStatus& a, const TFileStatus& b) {
  return a.Volume == b.Volume && a.Index == b.Index;
}

// A save killed half-way leaves its temporary behind; the next save of the same file
// removes it. A temporary whose writer still runs is locked and stays. Other files'
// temporaries are not ours to judge.
void RemoveStaleTemporaries(const std::string& folder, const std::string& base,
                            const std::string& keep) {
  const std::string prefix = TemporaryPrefix(base);
  std::error_code ec;
  for (fs::directory_iterator it(sys::PathOf(folder), ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = sys::NameOf(it->path().filename());
    const std::string path = JoinPath(folder, name);
    if (name.size() != prefix.size() + TemporarySuffix ||
        name.compare(0, prefix.size(), prefix) != 0 || path == keep)
      continue;
    OFd fd(sys::OpenForReading(path, true));
    TFileStatus held, named;
    if (fd.Get() < 0 || sys::Status(fd.Get(), held) != 0 || held.Kind != TFileKind::Regular ||
        !sys::Lock(fd.Get(), false))
      continue;
    // Still the file we locked, not one renamed into place or created since.
    if (sys::Status(path, false, named) == 0 && SameFile(held, named))
      sys::Remove(path);
  }
}

// Devices, pipes and standard output cannot be replaced: they take the bytes directly.
void WriteDirect(int fd, const std::string& name, const std::function<int(int)>& write) {
  if (const int e = write(fd))
    throw EWriteError(WriteFailureText(name, e));
  if (const int e = sys::Flush(fd))
    throw EWriteError(WriteFailureText(name, e));
}
} // namespace

TPendingWrite::TPendingWrite(const std::string& path,
                             std::span<const std::span<const uint8_t>> parts)
    : TPendingWrite(path, [parts](int fd) { return WriteAll(fd, parts); }) {}

TPendingWrite::TPendingWrite(const std::string& path, const std::function<int(int fd)>& write)
    : Path(path) {
  if (path == StandardOutputName) {
    WriteDirect(sys::StandardOutput(), "standard output", write);
    return;
  }
  if (std::optional<std::string> refusal = ReplaceRefusal(path))
    throw EFCreateError(*refusal);
  Target = LinkTarget(path);
  TFileStatus old;
  if (sys::Status(Target, false, old) == 0 && old.Kind == TFileKind::Link)
    throw EFCreateError("Cannot create file \"" + path + "\". " + std::strerror(ELOOP));
  const bool existed = sys::Status(Target, true, old) == 0;

  const std::string folder = FolderOf(Target);
  const std::string dir = folder.empty() ? std::string(".") : folder;
  const std::string prefix = TemporaryPrefix(sys::NameOf(sys::PathOf(Target).filename()));
  static const char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device rd;
  int raw = -1;
  for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
    std::string suffix;
    for (size_t i = 0; i < TemporarySuffix; ++i)
      suffix += Letters[rd() % (sizeof Letters - 1)];
    Temp = JoinPath(dir, prefix + suffix);
    raw = sys::CreateNew(Temp);
    if (raw < 0 && errno != EEXIST)
      break;
    if (raw < 0)
      continue;
    // Locked before a byte is written; a cleaner that took it for a dead save's in the
    // moment between has removed it, and we start again. A file system without locks
    // is written unlocked.
    TFileStatus held, named;
    if (sys::Lock(raw, true) && (sys::Status(raw, held) != 0 ||
                                 sys::Status(Temp, false, named) != 0 || !SameFile(held, named))) {
      sys::Close(raw);
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
  if (e == 0)
    e = sys::Flush(Fd);
  // Keep the old file's permissions where there was one.
  if (e == 0 && existed)
    sys::KeepMode(Fd, old.Mode);
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
    sys::Remove(Temp);
  Temp.clear();
  if (Fd >= 0)
    sys::Close(Fd);
  Fd = -1;
}

void TPendingWrite::Commit() {
  if (Temp.empty())
    return; // written directly
  if (const int e = sys::Replace(Temp, Target)) {
    Discard();
    throw EWriteError(WriteFailureText(Path, e));
  }
  const std::string folder = FolderOf(Target);
  RemoveStaleTemporaries(folder.empty() ? std::string(".") : folder,
                         sys::NameOf(sys::PathOf(Target).filename()), Temp);
  Temp.clear();
  sys::Close(std::exchange(Fd, -1));
}

TFolderLock::TFolderLock(const std::string& folder) : Fd(sys::LockFolder(folder)) {}

TFolderLock::~TFolderLock() {
  sys::UnlockFolder(Fd);
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
  TFileStatus st;
  if (const int e = sys::Status(path, true, st))
    return e == ENOENT ? std::nullopt
                       : std::optional("Cannot create file \"" + path + "\". " + std::strerror(e));
  if (st.Kind == TFileKind::Folder)
    return "Cannot create file \"" + path + "\". " + std::strerror(EISDIR);
  // Opening a pipe waits for a reader and a device may act on what it is given: only
  // standard output ("-") streams.
  if (st.Kind != TFileKind::Regular)
    return NotRegular(path, st.Kind, "create");
  // The rename needs only the folder's permission: without this, a file the user may not
  // write would be replaced by one of the user's own.
  if (sys::ReadOnly(path))
    return "Cannot replace file \"" + path + "\": it is read-only";
  return std::nullopt;
}

std::optional<std::string> RemoveRefusal(const std::string& path) {
  TFileStatus st;
  if (const int e = sys::Status(path, false, st))
    return e == ENOENT ? std::nullopt
                       : std::optional("Cannot delete file \"" + path + "\". " + std::strerror(e));
  if (st.Kind == TFileKind::Folder)
    return "Cannot delete file \"" + path + "\". " + std::strerror(EISDIR);
  if (st.Kind == TFileKind::Link) // the link goes, not what it names
    return std::nullopt;
  if (st.Kind != TFileKind::Regular)
    return NotRegular(path, st.Kind, "delete");
  const std::string folder = FolderOf(path);
  if (const int e = sys::MayChangeFolder(folder.empty() ? "." : folder))
    return "Cannot delete file \"" + path + "\". " + std::strerror(e);
  if (sys::ReadOnly(path))
    return "Cannot delete file \"" + path + "\": it is read-only";
  return std::nullopt;
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(sys::PathOf(path), ec);
}

bool SameFile(const std::string& a, const std::string& b) {
  TFileStatus sa, sb;
  return sys::Status(a, true, sa) == 0 && sys::Status(b, true, sb) == 0 && SameFile(sa, sb);
}

std::string FolderOf(const std::string& path) {
  size_t cut = path.find_last_of(Separators);
  if (cut == std::string::npos)
    return "";
  if (cut == 0)
    return "/";
#ifdef _WIN32
  if (cut == 2 && path[1] == ':') // a drive's root keeps its separator
    return path.substr(0, 3);
#endif
  return path.substr(0, cut);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty())
    return name;
  std::string path = folder;
  if (std::string_view(Separators).find(folder.back()) == std::string_view::npos)
    path += Separators[0];
  path += name;
#ifdef _WIN32
  // One spelling of a path, as the system's own dialogs and lexically_normal give it.
  std::replace(path.begin(), path.end(), '/', '\\');
#endif
  return path;
}

std::optional<std::string> FindFileIgnoringCase(const std::string& folder,
                                                const std::string& name) {
  std::string exact = JoinPath(folder, name);
#ifndef _WIN32
  if (FileExists(exact))
    return exact;
#endif
  std::error_code ec;
  std::string wanted = Lower(name);
  std::optional<std::string> found;
  for (fs::directory_iterator it(sys::PathOf(folder.empty() ? "." : folder), ec), end;
       !ec && it != end; it.increment(ec)) {
    std::string candidate = sys::NameOf(it->path().filename());
    if (Lower(candidate) != wanted || !it->is_regular_file(ec))
      continue;
    // Several spellings: take the first in name order so the choice does not depend on
    // the directory's order.
    std::string full = JoinPath(folder, candidate);
    if (!found || full < *found)
      found = full;
  }
#ifdef _WIN32
  // Found under the spelling it has on disk; one the system matches beyond ASCII as asked.
  if (!found && FileExists(exact))
    return exact;
#endif
  return found;
}

void SetWriteFailureForTesting(std::optional<size_t> failAfterBytes) {
  WriteFailure = failAfterBytes;
}

} // namespace quillane
