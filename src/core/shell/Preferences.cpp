#include "shell/Preferences.h"

#include <algorithm>
#include <filesystem>

#include "app/App.h"
#include "model/Pattern.h"

namespace quillane {

namespace {
int32_t InRange(OPersist& persist, const char* key, int32_t low, int32_t high, int32_t fallback) {
  const int32_t value = persist.ReadInteger(key, fallback);
  return value >= low && value <= high ? value : fallback;
}
} // namespace

TPreferences LoadPreferences(OPersist& persist) {
  TPreferences p;
  p.UndoMiB = InRange(persist, "Preferences.UndoMiB", TPreferences::MinUndoMiB,
                      TPreferences::MaxUndoMiB, TPreferences::DefaultUndoMiB);
  p.RecoveryMinutes =
      InRange(persist, "Preferences.RecoveryMinutes", 0, TPreferences::MaxRecoveryMinutes,
              TPreferences::DefaultRecoveryMinutes);
  p.DesignFolder = persist.ReadString(DesignFolderKey, "");
  return p;
}

void StorePreferences(OPersist& persist, const TPreferences& p) {
  persist.WriteInteger("Preferences.UndoMiB", p.UndoMiB);
  persist.WriteInteger("Preferences.RecoveryMinutes", p.RecoveryMinutes);
  persist.WriteString(DesignFolderKey, p.DesignFolder);
}

std::string PreferencesProblem(const TPreferences& p) {
  if (p.UndoMiB < TPreferences::MinUndoMiB || p.UndoMiB > TPreferences::MaxUndoMiB)
    return "The undo memory must be between " + std::to_string(TPreferences::MinUndoMiB) + " and " +
           std::to_string(TPreferences::MaxUndoMiB) + " MiB.";
  if (p.RecoveryMinutes < 0 || p.RecoveryMinutes > TPreferences::MaxRecoveryMinutes)
    return "The recovery interval must be between 0 (never) and " +
           std::to_string(TPreferences::MaxRecoveryMinutes) + " minutes.";
  std::error_code ec;
  if (!p.DesignFolder.empty() && !std::filesystem::is_directory(p.DesignFolder, ec))
    return "The design folder " + p.DesignFolder + " does not exist.";
  return {};
}

void ApplyPreferences(const TPreferences& before, const TPreferences& after,
                      const std::vector<OPattern*>& open) {
  const size_t undoBytes = static_cast<size_t>(after.UndoMiB) << 20;
  OUndoHistory::SetDefaultLimit(undoBytes);
  for (OPattern* pattern : open)
    pattern->History.SetLimit(undoBytes);
  if (after.DesignFolder != before.DesignFolder && !after.DesignFolder.empty())
    g.SetCurrentDir(after.DesignFolder);
}

int64_t RecoveryInterval(const TPreferences& preferences, bool keepingCopies) {
  return keepingCopies ? int64_t{std::max(preferences.RecoveryMinutes, 0)} * 60 * 1000 : 0;
}

} // namespace quillane
