#include "app/FileSet.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "platform/FileSystem.h"

namespace quillane {

void WriteFileSetAtomic(std::span<const TFilePart> files, size_t& failed) {
  // Every file is written before any is put in place; the pending writes that are dropped
  // on a failure remove their temporaries. Renames within a folder do not run out of space;
  // the rare one that fails leaves the files renamed before it in place.
  std::vector<TPendingWrite> pending;
  pending.reserve(files.size());
  for (failed = 0; failed < files.size(); ++failed) {
    // A part that could not go would fail only after the others were put in place.
    if (files[failed].Remove) {
      if (std::optional<std::string> refusal = RemoveRefusal(files[failed].Path))
        throw EWriteError(*refusal);
      continue;
    }
    const std::span<const uint8_t> whole[] = {files[failed].Bytes};
    pending.emplace_back(files[failed].Path, whole);
  }
  const TFolderLock lock(files.empty() ? std::string() : FolderOf(files[0].Path));
  auto next = pending.begin();
  for (failed = 0; failed < files.size(); ++failed) {
    if (!files[failed].Remove) {
      (next++)->Commit();
      continue;
    }
    const std::string& path = files[failed].Path;
    if (const int e = sys::Remove(path); e != 0 && e != ENOENT)
      throw EWriteError("Cannot delete file \"" + path + "\". " + std::strerror(e));
  }
}

} // namespace quillane
