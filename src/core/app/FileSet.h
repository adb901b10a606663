#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quillane {

struct TFilePart {
  std::string Path;
  std::span<const uint8_t> Bytes;
  bool Remove = false; // a file of an earlier set that this one has no place for
};

// Writes files that belong together (a control file and its companions) so that a failure
// leaves the old set whole: each goes to a temporary beside it first, and they are renamed
// into place only when every one was written and every part marked Remove was found free
// to go (a file that is no file, or read-only, is refused before anything is replaced). The
// renames, and the removal of the parts marked Remove (a missing one is no error), happen under a
// lock on the first file's folder, so that of two writers of the same set at once, the set left is
// all of one of them. On a failure the temporaries are removed, `failed` is the index of the file
// that failed and the error is thrown on.
void WriteFileSetAtomic(std::span<const TFilePart> files, size_t& failed);

} // namespace quillane
