#include "shell/RecentPatterns.h"

#include <algorithm>
#include <filesystem>

#include "app/App.h"
#include "app/FileIO.h"
#include "shell/PatternTree.h"

namespace quillane {

namespace {
std::string Key(size_t index) {
  return "RecentPattern" + std::to_string(index + 1);
}

void Store(OPersist& persist, const std::vector<std::string>& paths) {
  // Every slot is written, so that a shorter list leaves no old entry behind.
  for (size_t i = 0; i < MaxRecentPatterns; ++i)
    persist.WriteString(Key(i), i < paths.size() ? paths[i] : std::string());
}
} // namespace

std::string NormalPatternPath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(path, ec);
  return (ec ? std::filesystem::path(path) : full).lexically_normal().string();
}

std::vector<std::string> RecentPatterns(OPersist& persist) {
  std::vector<std::string> paths;
  for (size_t i = 0; i < MaxRecentPatterns; ++i) {
    std::string path = persist.ReadString(Key(i), "");
    if (!path.empty() && std::find(paths.begin(), paths.end(), path) == paths.end())
      paths.push_back(std::move(path));
  }
  return paths;
}

void AddRecentPattern(OPersist& persist, const std::string& path) {
  const std::string normal = NormalPatternPath(path);
  std::vector<std::string> paths = RecentPatterns(persist);
  std::erase_if(paths, [&](const std::string& p) { return NormalPatternPath(p) == normal; });
  paths.insert(paths.begin(), normal);
  if (paths.size() > MaxRecentPatterns)
    paths.resize(MaxRecentPatterns);
  Store(persist, paths);
}

void RemoveRecentPattern(OPersist& persist, const std::string& path) {
  const std::string normal = NormalPatternPath(path);
  std::vector<std::string> paths = RecentPatterns(persist);
  std::erase_if(paths, [&](const std::string& p) { return NormalPatternPath(p) == normal; });
  Store(persist, paths);
}

void OpenRecentPattern(OPatternTree& tree, const std::string& path) {
  if (!FileExists(path)) {
    RemoveRecentPattern(g.Persist(), path);
    g.UI().ShowMessage("The pattern " + path +
                       " no longer exists; it has been removed from the recent patterns.");
    return;
  }
  tree.OpenPatternPath(path);
}

} // namespace quillane
