#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#endif

namespace quillane::sys {

#ifdef _WIN32

namespace {

std::wstring Widen(const std::string& s) {
  if (s.empty())
    return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Narrow(const std::wstring& w) {
  if (w.empty())
    return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
  return s;
}

// The system's reasons in the words the rest of the core expects.
int ErrnoOf(DWORD error) {
  switch (error) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
  case ERROR_INVALID_DRIVE:
  case ERROR_BAD_NETPATH:
  case ERROR_BAD_PATHNAME:
    return ENOENT;
  case ERROR_FILE_EXISTS:
  case ERROR_ALREADY_EXISTS:
    return EEXIST;
  case ERROR_ACCESS_DENIED:
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION:
  case ERROR_WRITE_PROTECT:
    return EACCES;
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL:
    return ENOSPC;
  case ERROR_FILENAME_EXCED_RANGE:
    return ENAMETOOLONG;
  case ERROR_INVALID_NAME:
  case ERROR_DIRECTORY:
    return EINVAL;
  case ERROR_CANT_RESOLVE_FILENAME:
    return ELOOP;
  case ERROR_NOT_ENOUGH_MEMORY:
  case ERROR_OUTOFMEMORY:
    return ENOMEM;
  default:
    return EIO;
  }
}

int Fail() {
  errno = ErrnoOf(::GetLastError());
  return -1;
}

// Every file is opened sharing everything, so that it can be renamed or removed while open,
// as on POSIX systems.
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE OpenHandle(const std::string& path, DWORD access, DWORD disposition, DWORD flags) {
  return ::CreateFileW(Widen(path).c_str(), access, ShareAll, nullptr, disposition, flags, nullptr);
}

int Descriptor(HANDLE h, int flags) {
  if (h == INVALID_HANDLE_VALUE)
    return Fail();
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), flags | _O_BINARY);
  if (fd < 0)
    ::CloseHandle(h);
  return fd;
}

HANDLE HandleOf(int fd) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

// A handle opened on a link itself (`link`) describes the link; otherwise a reparse point is
// what it holds (a cloud file's placeholder, say), not a link.
int Describe(HANDLE h, TFileStatus& status, bool link = false) {
  status = {};
  switch (::GetFileType(h)) {
  case FILE_TYPE_PIPE:
    status.Kind = TFileKind::Pipe;
    return 0;
  case FILE_TYPE_CHAR:
    status.Kind = TFileKind::Device;
    return 0;
  case FILE_TYPE_DISK:
    break;
  default:
    status.Kind = TFileKind::Device;
    return 0;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(h, &info))
    return ErrnoOf(::GetLastError());
  const DWORD attributes = info.dwFileAttributes;
  status.Kind = link && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? TFileKind::Link
                : (attributes & FILE_ATTRIBUTE_DIRECTORY)           ? TFileKind::Folder
                                                                    : TFileKind::Regular;
  status.Size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  status.Volume = info.dwVolumeSerialNumber;
  status.Index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  status.Mode = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
  return 0;
}

// Far beyond any file's end, so the lock keeps out other lockers but never readers.
constexpr DWORD LockOffsetHigh = 0x7FFFFFFF;

} // namespace

int Status(const std::string& path, bool followLinks, TFileStatus& status) {
  status = {};
  // Asks for nothing but the file's attributes, so that even a file others hold opens.
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  HANDLE h = OpenHandle(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING, flags);
  if (h == INVALID_HANDLE_VALUE) {
    const int e = ErrnoOf(::GetLastError());
    return e;
  }
  const int e = Describe(h, status, !followLinks);
  ::CloseHandle(h);
  return e;
}

int Status(int fd, TFileStatus& status) {
  return Describe(HandleOf(fd), status);
}

int OpenForReading(const std::string& path, bool noLinks) {
  return Descriptor(
      OpenHandle(path, GENERIC_READ, OPEN_EXISTING, noLinks ? FILE_FLAG_OPEN_REPARSE_POINT : 0),
      _O_RDONLY);
}

int CreateNew(const std::string& path) {
  return Descriptor(
      OpenHandle(path, GENERIC_READ | GENERIC_WRITE | DELETE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL),
      _O_RDWR);
}

int OpenLockFile(const std::string& path, bool create, bool mustBeNew) {
  const DWORD disposition = mustBeNew ? CREATE_NEW : create ? OPEN_ALWAYS : OPEN_EXISTING;
  return Descriptor(OpenHandle(path, GENERIC_READ | GENERIC_WRITE | DELETE, disposition,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT),
                    _O_RDWR);
}

void Close(int fd) {
  ::_close(fd);
}

bool Lock(int fd, bool wait) {
  OVERLAPPED at{};
  at.OffsetHigh = LockOffsetHigh;
  return ::LockFileEx(HandleOf(fd),
                      LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY), 0, 1, 0,
                      &at) != 0;
}

std::ptrdiff_t Read(int fd, void* buffer, size_t size) {
  DWORD done = 0;
  const DWORD ask = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
  if (!::ReadFile(HandleOf(fd), buffer, ask, &done, nullptr))
    return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : Fail();
  return done;
}

std::ptrdiff_t Write(int fd, std::span<const std::span<const uint8_t>> parts) {
  // One part at a time: the caller resumes a short write.
  for (const auto& part : parts) {
    if (part.empty())
      continue;
    DWORD done = 0;
    const DWORD ask = static_cast<DWORD>(std::min<size_t>(part.size(), 1u << 30));
    if (!::WriteFile(HandleOf(fd), part.data(), ask, &done, nullptr))
      return Fail();
    return done;
  }
  return 0;
}

int Flush(int fd) {
  HANDLE h = HandleOf(fd);
  if (::GetFileType(h) != FILE_TYPE_DISK || ::FlushFileBuffers(h))
    return 0;
  return ErrnoOf(::GetLastError());
}

void KeepMode(int fd, unsigned mode) {
  // Windows knows only read-only, which the file being replaced cannot have been.
  (void)fd;
  (void)mode;
}

int StandardOutput() {
  return 1; // written with WriteFile, past the C runtime's text mode
}

bool StandardErrorIsTerminal() {
  return ::_isatty(2) != 0;
}

int Replace(const std::string& from, const std::string& to) {
  if (::MoveFileExW(Widen(from).c_str(), Widen(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return 0;
  return ErrnoOf(::GetLastError());
}

int Remove(const std::string& path) {
  const std::wstring w = Widen(path);
  if (::DeleteFileW(w.c_str()))
    return 0;
  const DWORD e = ::GetLastError();
  // A link to a folder is a folder entry of its own.
  if (e == ERROR_ACCESS_DENIED &&
      (::GetFileAttributesW(w.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) &&
      ::RemoveDirectoryW(w.c_str()))
    return 0;
  return ErrnoOf(e);
}

bool ReadOnly(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
         !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int MayChangeFolder(const std::string& folder) {
  const DWORD attributes = ::GetFileAttributesW(Widen(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return ErrnoOf(::GetLastError());
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : ENOTDIR;
}

int LockFolder(const std::string& folder) {
  // A folder takes no byte-range lock: a mutex named after the folder's identity stands in
  // for it, between programs and threads alike.
  HANDLE dir = OpenHandle(folder.empty() ? "." : folder, FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS);
  if (dir == INVALID_HANDLE_VALUE)
    return -1;
  TFileStatus status;
  const int e = Describe(dir, status);
  ::CloseHandle(dir);
  if (e != 0)
    return -1;
  const std::wstring name = L"Local\\quillane-folder-" + std::to_wstring(status.Volume) + L"-" +
                            std::to_wstring(status.Index);
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
  if (mutex == nullptr)
    return -1;
  // An abandoned mutex is one whose program ended holding it: ours now all the same.
  const DWORD waited = ::WaitForSingleObject(mutex, INFINITE);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    ::CloseHandle(mutex);
    return -1;
  }
  // Kernel handles keep to 32 bits on 64-bit Windows, so that 32-bit programs can share them.
  return static_cast<int>(reinterpret_cast<intptr_t>(mutex));
}

void UnlockFolder(int lock) {
  if (lock == -1)
    return;
  HANDLE mutex = reinterpret_cast<HANDLE>(static_cast<intptr_t>(lock));
  ::ReleaseMutex(mutex);
  ::CloseHandle(mutex);
}

int ProcessId() {
  return ::_getpid();
}

std::filesystem::path PathOf(const std::string& name) {
  return std::filesystem::path(Widen(name));
}

std::string NameOf(const std::filesystem::path& path) {
  return Narrow(path.native());
}

#else

namespace {

TFileKind KindOf(mode_t mode) {
  if (S_ISREG(mode))
    return TFileKind::Regular;
  if (S_ISDIR(mode))
    return TFileKind::Folder;
  if (S_ISLNK(mode))
    return TFileKind::Link;
  if (S_ISFIFO(mode))
    return TFileKind::Pipe;
  if (S_ISSOCK(mode))
    return TFileKind::Socket;
  return TFileKind::Device;
}

void Describe(const struct stat& st, TFileStatus& status) {
  status.Kind = KindOf(st.st_mode);
  status.Size = static_cast<uint64_t>(st.st_size);
  status.Volume = static_cast<uint64_t>(st.st_dev);
  status.Index = static_cast<uint64_t>(st.st_ino);
  status.Mode = static_cast<unsigned>(st.st_mode & 07777);
}

} // namespace

int Status(const std::string& path, bool followLinks, TFileStatus& status) {
  status = {};
  struct stat st {};
  if ((followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0)
    return errno;
  Describe(st, status);
  return 0;
}

int Status(int fd, TFileStatus& status) {
  status = {};
  struct stat st {};
  if (::fstat(fd, &st) != 0)
    return errno;
  Describe(st, status);
  return 0;
}

int OpenForReading(const std::string& path, bool noLinks) {
  return ::open(path.c_str(),
                O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (noLinks ? O_NOFOLLOW : 0));
}

int CreateNew(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

int OpenLockFile(const std::string& path, bool create, bool mustBeNew) {
  const int flags = (create ? O_CREAT : 0) | (mustBeNew ? O_EXCL : 0);
  return ::open(path.c_str(), flags | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
}

void Close(int fd) {
  ::close(fd);
}

bool Lock(int fd, bool wait) {
  int r;
  while ((r = ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB))) != 0 && errno == EINTR && wait) {
  }
  return r == 0;
}

std::ptrdiff_t Read(int fd, void* buffer, size_t size) {
  std::ptrdiff_t n;
  while ((n = ::read(fd, buffer, size)) < 0 && errno == EINTR) {
  }
  return n;
}

std::ptrdiff_t Write(int fd, std::span<const std::span<const uint8_t>> parts) {
  // Gathered a batch at a time.
  std::vector<iovec> batch;
  for (size_t i = 0; i < parts.size() && batch.size() < 1024; ++i)
    if (!parts[i].empty())
      batch.push_back({const_cast<uint8_t*>(parts[i].data()), parts[i].size()});
  std::ptrdiff_t n;
  while ((n = ::writev(fd, batch.data(), static_cast<int>(batch.size()))) < 0 && errno == EINTR) {
  }
  return n;
}

int Flush(int fd) {
  if (::fsync(fd) == 0 || errno == EINVAL || errno == EROFS || errno == ENOTSUP)
    return 0;
  return errno;
}

void KeepMode(int fd, unsigned mode) {
  ::fchmod(fd, static_cast<mode_t>(mode));
}

int StandardOutput() {
  return STDOUT_FILENO;
}

bool StandardErrorIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

int Replace(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int Remove(const std::string& path) {
  return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

bool ReadOnly(const std::string& path) {
  return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 &&
         (errno == EACCES || errno == EPERM);
}

int MayChangeFolder(const std::string& folder) {
  return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
}

int LockFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0)
    Lock(fd, true);
  return fd;
}

void UnlockFolder(int lock) {
  if (lock >= 0)
    ::close(lock);
}

int ProcessId() {
  return static_cast<int>(::getpid());
}

std::filesystem::path PathOf(const std::string& name) {
  return std::filesystem::path(name);
}

std::string NameOf(const std::filesystem::path& path) {
  return path.string();
}

#endif

} // namespace quillane::sys
