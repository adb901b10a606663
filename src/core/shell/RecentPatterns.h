#pragma once

#include <string>
#include <vector>

namespace quillane {

class OPatternTree;
class OPersist;

// File, Recent Patterns: the last patterns opened or saved, most recent first, kept in the
// ini file so that every change survives a crash.
constexpr size_t MaxRecentPatterns = 10;

// The full, normalised form of a path, under which entries are compared.
std::string NormalPatternPath(const std::string& path);
std::vector<std::string> RecentPatterns(OPersist& persist);
// Puts the pattern first; an older entry for the same file goes, the eleventh drops off.
void AddRecentPattern(OPersist& persist, const std::string& path);
void RemoveRecentPattern(OPersist& persist, const std::string& path);
// Opens an entry as Open does; a file that is gone is said so and leaves the list.
void OpenRecentPattern(OPatternTree& tree, const std::string& path);

} // namespace quillane
