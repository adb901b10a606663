#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillane {

class OPattern;
class OPersist;

// What the user sets in Edit, Preferences; kept in the ini file.
struct TPreferences {
  static constexpr int32_t MinUndoMiB = 16, MaxUndoMiB = 65536, DefaultUndoMiB = 256;
  static constexpr int32_t MaxRecoveryMinutes = 120, DefaultRecoveryMinutes = 2;

  // How much memory each pattern's undo history may take.
  int32_t UndoMiB = DefaultUndoMiB;
  // How often modified patterns are copied to the recovery folder; 0 never.
  int32_t RecoveryMinutes = DefaultRecoveryMinutes;
  // Where the program starts when no "/d=" names a folder; empty: where the last run ended.
  std::string DesignFolder;

  friend bool operator==(const TPreferences&, const TPreferences&) = default;
};

// A stored value out of its range (an edited ini file) gives its default.
TPreferences LoadPreferences(OPersist& persist);
void StorePreferences(OPersist& persist, const TPreferences& preferences);
// The message the dialog shows for a value it cannot take, "" when all are fine.
std::string PreferencesProblem(const TPreferences& preferences);
// Puts new preferences into effect in the running program: the undo memory of the open
// patterns and of those opened from now on, and a changed design folder as the current one.
// The recovery interval is the caller's timer to set.
void ApplyPreferences(const TPreferences& before, const TPreferences& after,
                      const std::vector<OPattern*>& open);
// Milliseconds between two rounds of recovery copies; 0 while no copies are kept or the
// preferences ask for none.
int64_t RecoveryInterval(const TPreferences& preferences, bool keepingCopies);

} // namespace quillane
