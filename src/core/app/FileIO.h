#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/Exceptions.h"
#include "app/LargeBuffer.h"

namespace quillane {

// An input that is there but cannot be read as a file: a folder, a pipe, a device, a link
// loop or a file the user may not read. Its text says which, where "not found" would not.
class EUnreadableFile : public EFOpenError {
public:
  using EFOpenError::EFOpenError;
};

// Reads a whole regular file in one go; anything else is refused before it is opened for
// reading, so a pipe cannot hang the program. Throws EFOpenError when the file is missing,
// EUnreadableFile when it is there but cannot be read as a file, and EReadError when
// reading fails.
TBytes ReadFileBytes(const std::string& path);

// The name that stands for standard output where a file name is asked for.
inline const std::string StandardOutputName = "-";

// Writes the bytes to a temporary file (".NAME.tmp-XXXXXX", NAME cut so that the whole fits
// any name the folder takes) in the same folder and renames it over `path` only after every
// byte is on disk, so a failed write never destroys the previous file. The writer holds an
// advisory lock on its temporary until it is renamed or removed; a successful write removes
// the temporaries of the same file that no process holds (saves killed half-way). A link is
// written through, beside its target (a link loop is refused); "-" is standard output,
// which takes the bytes directly. Throws EFCreateError, before anything is written, for an
// output ReplaceRefusal refuses and when the temporary cannot be created (nothing is left
// behind), and EWriteError, naming the file and the system's reason, when writing or the
// rename fails (the temporary is removed).
void WriteFileAtomic(const std::string& path, std::span<const uint8_t> bytes);
// The same for a file made of several parts, written in order without joining them first
// (a pattern's cells go straight from its grid to the file).
void WriteFileAtomic(const std::string& path, std::span<const std::span<const uint8_t>> parts);
// The same for a file made as it is written, larger than what it is made from should be
// held at once (an image a band of rows at a time): `next` gives each part in turn, valid
// until it is called again, and an empty part at the end.
void WriteFileAtomic(const std::string& path,
                     const std::function<std::span<const uint8_t>()>& next);

// The first half of an atomic write, for files that must be replaced together: the bytes
// go to a temporary beside the file they will replace (a link's target); standard output
// takes them directly. Commit puts the temporary in place; one that is
// dropped uncommitted is removed. Throws as WriteFileAtomic does.
class TPendingWrite {
public:
  TPendingWrite(const std::string& path, std::span<const std::span<const uint8_t>> parts);
  // Writes with `write`, which answers 0 or the errno of its failure.
  TPendingWrite(const std::string& path, const std::function<int(int fd)>& write);
  TPendingWrite(TPendingWrite&& other) noexcept;
  TPendingWrite(const TPendingWrite&) = delete;
  TPendingWrite& operator=(const TPendingWrite&) = delete;
  TPendingWrite& operator=(TPendingWrite&&) = delete;
  ~TPendingWrite();
  void Commit();

private:
  void Discard();
  std::string Path;
  std::string Target;
  std::string Temp; // empty when written directly, committed or discarded
  int Fd = -1;      // the temporary, open and locked until committed or discarded
};

// An exclusive advisory lock on a folder, held while it lives: writers of files that must be
// replaced together take it so that each set is put in place whole. When the folder cannot
// be opened for reading, nothing is locked.
class TFolderLock {
public:
  explicit TFolderLock(const std::string& folder);
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;
  ~TFolderLock();

private:
  int Fd;
};

// Why `path` (a link followed) may not be replaced by a file written there, or nothing: it
// is a folder, a pipe, a device or a socket, a link loop, or a file the user may not write.
// Standard output ("-") is never refused; a missing file neither.
std::optional<std::string> ReplaceRefusal(const std::string& path);
// The same for removing `path` (a link itself goes): a folder or other file that is not
// regular, a read-only file, or a folder that does not let it go.
std::optional<std::string> RemoveRefusal(const std::string& path);

bool FileExists(const std::string& path);
// Whether two names lead to one file, of any kind (std::filesystem::equivalent refuses two
// devices or pipes).
bool SameFile(const std::string& a, const std::string& b);

// The folder part of a path without a trailing separator ("/" stays "/"), "" when none.
std::string FolderOf(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);

// Finds `name` in `folder`: the exact name first, then one that differs only in case.
std::optional<std::string> FindFileIgnoringCase(const std::string& folder, const std::string& name);

// Test seam: the next atomic writes fail after this many bytes (cleared by passing nullopt).
void SetWriteFailureForTesting(std::optional<size_t> failAfterBytes);

} // namespace quillane
