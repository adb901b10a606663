#include "shell/Recovery.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "app/App.h"
#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "model/Pattern.h"
#include "platform/FileSystem.h"
#include "production/ColourwaysFile.h"
#include "shell/PatternTree.h"

namespace quillane {

namespace fs = std::filesystem;

namespace {

// A name file longer than any path is not one of ours.
constexpr size_t MaxNameBytes = 4096;

std::string NamePath(const std::string& copyPath) {
  return sys::NameOf(sys::PathOf(copyPath).replace_extension(".name"));
}

// The file locked for this program, or -1 when another program holds it.
int LockFile(const std::string& path, bool mustBeNew) {
  const int fd = sys::OpenLockFile(path, true, mustBeNew);
  if (fd < 0)
    return -1;
  if (!sys::Lock(fd, false)) {
    sys::Close(fd);
    return -1;
  }
  return fd;
}

std::string ReadName(const std::string& path) {
  std::error_code ec;
  const auto size = fs::file_size(sys::PathOf(path), ec);
  if (ec || size > MaxNameBytes)
    return {};
  try {
    TBytes bytes = ReadFileBytes(path);
    std::string name(bytes.begin(), bytes.end());
    if (!name.empty() && name.back() == '\n')
      name.pop_back();
    if (name.find_first_of(std::string("\n\0", 2)) != std::string::npos)
      return {};
    return name;
  } catch (const std::exception&) {
    return {};
  }
}

} // namespace

bool TRecoveredCopy::NeverSaved() const {
  return FolderOf(FileName).empty();
}

struct ORecovery::TEntry {
  const OPattern* Pattern = nullptr;
  int Serial = 0;
  // The listener holds the token; it goes with the pattern.
  std::weak_ptr<int> Alive;
  std::shared_ptr<bool> Dirty = std::make_shared<bool>(true);
  bool Written = false;
  std::string WrittenName;
  OPatternEvents::TSubscription Subscription;
  std::string CopyPath(const std::string& session) const {
    return JoinPath(session, std::to_string(Serial) + ".pat");
  }
};

struct ORecovery::TClaimed {
  std::string Folder;
  std::string LockPath;
  int Handle = -1;
};

ORecovery::ORecovery(std::string folder) : Folder(std::move(folder)) {
  std::error_code ec;
  fs::create_directories(sys::PathOf(Folder), ec);
  // The lock comes first and the folder after it, so that a folder another program can
  // see is always locked while its program runs.
  const std::string pid = std::to_string(sys::ProcessId());
  for (int n = 1; n <= 1000 && LockHandle < 0; ++n) {
    const std::string session = JoinPath(Folder, pid + "-" + std::to_string(n));
    const int fd = LockFile(session + ".lock", true);
    if (fd < 0)
      continue;
    if (fs::create_directory(sys::PathOf(session), ec)) {
      LockHandle = fd;
      Session = session;
    } else {
      sys::Remove(session + ".lock");
      sys::Close(fd);
    }
  }
  if (LockHandle < 0)
    throw EFCreateError("Cannot create the recovery folder in " + Folder);
}

ORecovery::~ORecovery() {
  Entries.clear();
  for (const TClaimed& c : Claimed)
    sys::Close(c.Handle);
  if (LockHandle >= 0)
    sys::Close(LockHandle);
}

ORecovery::TEntry& ORecovery::Track(OPattern& pattern) {
  auto entry = std::make_unique<TEntry>();
  entry->Pattern = &pattern;
  entry->Serial = ++Serial;
  auto token = std::make_shared<int>(0);
  entry->Alive = token;
  entry->Subscription =
      pattern.Events.Subscribe([token, dirty = entry->Dirty](const TPatternChange& change) {
        if (change.Kind != TPatternChange::TKind::Modified &&
            change.Kind != TPatternChange::TKind::History)
          *dirty = true;
      });
  Entries.push_back(std::move(entry));
  return *Entries.back();
}

void ORecovery::RemoveFiles(const TEntry& entry) const {
  std::error_code ec;
  const std::string copy = entry.CopyPath(Session);
  fs::remove(sys::PathOf(copy), ec);
  fs::remove(sys::PathOf(NamePath(copy)), ec);
  fs::remove(sys::PathOf(ColourwaysFileName(copy)), ec);
}

void ORecovery::Write(TEntry& entry) {
  const std::string copy = entry.CopyPath(Session);
  const std::string& name = entry.Pattern->FileName;
  // The name before the bytes: a copy on disk always has its name beside it.
  if (!entry.Written || entry.WrittenName != name) {
    const std::string line = name + "\n";
    WriteFileAtomic(NamePath(copy),
                    std::span(reinterpret_cast<const uint8_t*>(line.data()), line.size()));
    entry.WrittenName = name;
  }
  *entry.Dirty = false;
  try {
    // The colourways before the pattern, even when only the Original is left: a copy on disk
    // has the colourways it was made with, not those last saved.
    WriteFileAtomic(ColourwaysFileName(copy), ColourwaysBytes(entry.Pattern->Colourways()));
    entry.Pattern->WriteCopy(copy);
  } catch (...) {
    *entry.Dirty = true;
    throw;
  }
  entry.Written = true;
}

std::vector<std::string> ORecovery::Update(const std::vector<OPattern*>& open, bool write) {
  // A pattern closed since: its copy goes. A freed pattern's address may already belong to
  // a new one, which the expired token tells apart.
  std::erase_if(Entries, [&](const std::unique_ptr<TEntry>& e) {
    const bool gone =
        e->Alive.expired() || std::find(open.begin(), open.end(), e->Pattern) == open.end();
    if (gone)
      RemoveFiles(*e);
    return gone;
  });
  std::vector<std::string> failures;
  for (OPattern* pattern : open) {
    auto it = std::find_if(Entries.begin(), Entries.end(),
                           [&](const std::unique_ptr<TEntry>& e) { return e->Pattern == pattern; });
    TEntry& entry = it != Entries.end() ? **it : Track(*pattern);
    if (!pattern->Modified()) {
      // Saved: its own file holds the work now.
      if (entry.Written)
        RemoveFiles(entry);
      entry.Written = false;
      continue;
    }
    if (write && (*entry.Dirty || !entry.Written)) {
      try {
        Write(entry);
      } catch (const std::exception& e) {
        failures.push_back("The recovery copy of " + StripExtension(pattern->FileName) +
                           " could not be written: " + e.what());
      }
    }
  }
  return failures;
}

void ORecovery::Close() {
  Entries.clear();
  std::error_code ec;
  if (!Session.empty()) {
    fs::remove_all(sys::PathOf(Session), ec);
    sys::Remove(Session + ".lock");
  }
  if (LockHandle >= 0)
    sys::Close(LockHandle);
  LockHandle = -1;
  Session.clear();
}

std::vector<TRecoveredCopy> ORecovery::ClaimOrphans() {
  std::vector<TRecoveredCopy> copies;
  std::error_code ec;
  std::vector<std::string> folders;
  // Links are passed over: a discard must never reach files outside the recovery folder.
  for (const auto& item : fs::directory_iterator(sys::PathOf(Folder), ec))
    if (const std::string name = JoinPath(Folder, sys::NameOf(item.path().filename()));
        !item.is_symlink(ec) && item.is_directory(ec) && name != Session)
      folders.push_back(name);
  std::sort(folders.begin(), folders.end());
  for (const std::string& folder : folders) {
    if (std::any_of(Claimed.begin(), Claimed.end(),
                    [&](const TClaimed& c) { return c.Folder == folder; }))
      continue;
    // A folder without its lock file lost its program too.
    const int fd = LockFile(folder + ".lock", false);
    if (fd < 0)
      continue;
    Claimed.push_back({folder, folder + ".lock", fd});
    std::vector<std::string> found;
    for (const auto& item : fs::directory_iterator(sys::PathOf(folder), ec))
      if (!item.is_symlink(ec) && item.is_regular_file(ec) && item.path().extension() == ".pat")
        found.push_back(JoinPath(folder, sys::NameOf(item.path().filename())));
    std::sort(found.begin(), found.end());
    for (const std::string& copy : found)
      copies.push_back({copy, ReadName(NamePath(copy))});
  }
  return copies;
}

std::unique_ptr<OPattern> ORecovery::Restore(const TRecoveredCopy& copy) {
  std::unique_ptr<OPattern> pattern = OpenPatternFile(copy.CopyPath);
  pattern->FileName =
      copy.NeverSaved() ? "Pattern" + std::to_string(pattern->Number()) + ".pat" : copy.FileName;
  // The colourways as they were at the copy. A copy made before copies held them takes those
  // last saved beside the pattern, or saving it would take them away. One that cannot be
  // read stays on disk when the pattern is saved.
  const bool ownColourways = FileExists(ColourwaysFileName(copy.CopyPath));
  if (ownColourways || !copy.NeverSaved())
    try {
      AdoptColourways(*pattern, ownColourways ? copy.CopyPath : copy.FileName);
    } catch (const std::exception&) {
    }
  pattern->SetModified(1);
  // Safe in this program's folder before the old copy goes; when it cannot be written
  // there, the old copy stays to be offered again.
  try {
    Write(Track(*pattern));
    Discard(copy);
  } catch (const std::exception&) {
  }
  return pattern;
}

void ORecovery::Discard(const TRecoveredCopy& copy) {
  std::error_code ec;
  fs::remove(sys::PathOf(copy.CopyPath), ec);
  fs::remove(sys::PathOf(NamePath(copy.CopyPath)), ec);
  fs::remove(sys::PathOf(ColourwaysFileName(copy.CopyPath)), ec);
}

void ORecovery::ReleaseOrphans() {
  std::error_code ec;
  for (const TClaimed& c : Claimed) {
    // A copy still there (its restore could not be kept here) is offered again next time.
    bool kept = false;
    for (const auto& item : fs::directory_iterator(sys::PathOf(c.Folder), ec))
      kept = kept || item.path().extension() == ".pat";
    if (!kept) {
      fs::remove_all(sys::PathOf(c.Folder), ec);
      sys::Remove(c.LockPath);
    }
    sys::Close(c.Handle);
  }
  Claimed.clear();
}

void OfferRecovery(ORecovery& recovery, OPatternTree& tree) {
  for (const TRecoveredCopy& copy : recovery.ClaimOrphans()) {
    const std::string what =
        copy.NeverSaved() ? "a new pattern that was never saved" : copy.FileName;
    if (!g.UI().AskRestore("The program ended without saving " + what +
                           ". Restore the recovered copy?")) {
      recovery.Discard(copy);
      continue;
    }
    try {
      tree.AddPattern(recovery.Restore(copy));
    } catch (const std::exception& e) {
      g.UI().ShowError(e.what());
    }
  }
  recovery.ReleaseOrphans();
}

} // namespace quillane
