#include "app/FileSet.h"

#include <vector>

#include "app/FileIO.h"

namespace quillane {

void WriteFileSetAtomic(std::span<const TFilePart> files, size_t& failed) {
  // Every file is written before any is put in place; the pending writes that are dropped
  // on a failure remove their temporaries. Renames within a folder do not run out of space;
  // the rare one that fails leaves the files renamed before it in place.
  std::vector<TPendingWrite> pending;
  pending.reserve(files.size());
  for (failed = 0; failed < files.size(); ++failed) {
    const std::span<const uint8_t> whole[] = {files[failed].Bytes};
    pending.emplace_back(files[failed].Path, whole);
  }
  for (failed = 0; failed < files.size(); ++failed)
    pending[failed].Commit();
}

} // namespace quillane
