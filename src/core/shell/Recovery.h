#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/PatternEvents.h"

namespace quillane {

class OPattern;
class OPatternTree;

// A copy of a modified pattern that a program left behind when it ended without closing.
struct TRecoveredCopy {
  std::string CopyPath;
  // The pattern's own file when the copy was made; a name without a folder was never saved.
  std::string FileName;
  bool NeverSaved() const;
};

// Copies of the modified patterns, so that a crash loses minutes of work rather than hours.
// Each running program keeps its copies in a folder of its own under the recovery folder,
// locked for as long as the program runs (the system lets go of the lock however the
// program ends), so that one program never takes another's copies for a crashed one's.
// A copy is the pattern file's bytes, "N.pat", beside "N.name", which holds the pattern's
// own file name.
class ORecovery {
public:
  // Creates the recovery folder when missing and this program's folder in it.
  explicit ORecovery(std::string folder);
  // Leaves the copies where they are, as a crash would: Close is the clean end.
  ~ORecovery();
  ORecovery(const ORecovery&) = delete;
  ORecovery& operator=(const ORecovery&) = delete;

  const std::string& SessionFolder() const { return Session; }

  // The patterns open now: a modified one that changed since its last copy is copied (when
  // `write`), and the copies of patterns saved or closed since are removed. Answers what
  // could not be written.
  std::vector<std::string> Update(const std::vector<OPattern*>& open, bool write);
  // The clean end: this program's copies and its folder go.
  void Close();

  // Copies that programs no longer running left behind. Their folders stay locked for this
  // program until ReleaseOrphans, so no other program offers them too.
  std::vector<TRecoveredCopy> ClaimOrphans();
  // The copy as the pattern it was, under its own file name (a fresh one if never saved)
  // and modified. The copy moves into this program's folder, where it stays until the
  // pattern is saved or closed. Throws "Error reading pattern: " + the copy's path.
  std::unique_ptr<OPattern> Restore(const TRecoveredCopy& copy);
  void Discard(const TRecoveredCopy& copy);
  // Removes the claimed folders that hold no copy any more and lets go of the others.
  void ReleaseOrphans();

private:
  struct TEntry;
  struct TClaimed;
  std::string Folder;
  std::string Session;
  int LockHandle = -1;
  int Serial = 0;
  std::vector<std::unique_ptr<TEntry>> Entries;
  std::vector<TClaimed> Claimed;

  TEntry& Track(OPattern& pattern);
  void Write(TEntry& entry);
  void RemoveFiles(const TEntry& entry) const;
};

// After a crash: asks about every recovered pattern in turn ("Restore" or "Discard"); a
// restored one joins the tree, modified.
void OfferRecovery(ORecovery& recovery, OPatternTree& tree);

} // namespace quillane
