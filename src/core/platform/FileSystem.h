#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

// What the core asks of the operating system about files, one call per need, so that the
// rest of the core includes no system header. Paths are UTF-8 in narrow strings on every
// system; files are small integers (the C runtime's descriptors on Windows too). Calls that
// fail answer -1 (or an error number) and leave the system's reason in errno, as POSIX does.
namespace quillane::sys {

enum class TFileKind { Missing, Regular, Folder, Link, Pipe, Socket, Device };

struct TFileStatus {
  TFileKind Kind = TFileKind::Missing;
  uint64_t Size = 0;
  // Which file it is: equal for two names of one file, whatever the system.
  uint64_t Volume = 0;
  uint64_t Index = 0;
  unsigned Mode = 0; // permission bits where the system has them
};

// 0 or the error number; `followLinks` false describes a link itself.
int Status(const std::string& path, bool followLinks, TFileStatus& status);
int Status(int fd, TFileStatus& status);

// Opens an existing file for reading without waiting (a pipe) or taking a terminal; with
// `noLinks` a link itself is refused.
int OpenForReading(const std::string& path, bool noLinks = false);
// Creates a file that must not exist yet, for reading and writing.
int CreateNew(const std::string& path);
// Opens (or creates, or only creates when `mustBeNew`) a file used as a lock; a link is
// refused. Others may remove it while it is open.
int OpenLockFile(const std::string& path, bool create, bool mustBeNew);
void Close(int fd);

// An exclusive lock on the whole file, held until it is closed; false when another holds
// it and `wait` is false, or when the file system has no locks.
bool Lock(int fd, bool wait);

// Bytes read (0 at the end), or -1.
std::ptrdiff_t Read(int fd, void* buffer, size_t size);
// Writes from the parts in order, perhaps fewer bytes than they hold: the count, or -1.
std::ptrdiff_t Write(int fd, std::span<const std::span<const uint8_t>> parts);
// 0, or the error number when the bytes cannot be made to reach the disk (a file that
// cannot be flushed, a pipe or a terminal, answers 0).
int Flush(int fd);
// The permission bits of a file being replaced, kept for its successor.
void KeepMode(int fd, unsigned mode);
int StandardOutput();
bool StandardErrorIsTerminal();

// Puts `from` in place of `to` in one step, replacing it and keeping it whole on failure:
// 0 or the error number.
int Replace(const std::string& from, const std::string& to);
// 0 or the error number; a link goes, not what it names.
int Remove(const std::string& path);
// Whether the user may write the file (read-only, or permissions that forbid it).
bool ReadOnly(const std::string& path);
// 0, or the error number when files may not be added to or removed from the folder.
int MayChangeFolder(const std::string& folder);

// An exclusive lock on a folder, between programs and threads, waited for; -1 when the folder
// cannot be opened. Unlocked with UnlockFolder.
int LockFolder(const std::string& folder);
void UnlockFolder(int lock);

int ProcessId();

// Between the core's UTF-8 names and the standard library's paths, which take the system's
// code page for narrow strings on Windows.
std::filesystem::path PathOf(const std::string& name);
std::string NameOf(const std::filesystem::path& path);

} // namespace quillane::sys
