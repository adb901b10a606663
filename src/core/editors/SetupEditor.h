#pragma once

// What the setup and element editors share. Each edits private working copies of some of
// a pattern's setup objects or of one element and writes them back on Apply, when its
// window loses activation and when it closes. The window fills its controls from the editor,
// forwards every edit, and asks the editor which buttons are enabled; the rules live here.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "data/PatternEvents.h"
#include "data/Signal.h"

namespace quillane {

class OPattern;

// What an editor tells its window.
struct TEditorChange {
  enum class TKind : uint8_t {
    Shown,   // the working copies were taken again or imported: fill every control
    Buttons, // what is enabled may have changed
    Stored,  // the element was applied: its node's look may follow (a region's import flag)
  };
  TKind Kind = TKind::Shown;
};

// The boxes typed in since each last stored, in the order first typed in. Leaving a box
// stores it only while it is here, so that leaving an untouched box changes nothing; a
// refused box stays until it stores or the window shows the working copies again.
template <class TField> class TEditedBoxes {
public:
  void Mark(TField field) {
    if (!Holds(field))
      Fields.push_back(field);
  }
  bool Holds(TField field) const {
    return std::find(Fields.begin(), Fields.end(), field) != Fields.end();
  }
  void Stored(TField field) { std::erase(Fields, field); }
  bool Empty() const { return Fields.empty(); }
  // A copy: storing each of them takes the stored ones out.
  std::vector<TField> Waiting() const { return Fields; }
  void Clear() { Fields.clear(); }

private:
  std::vector<TField> Fields;
};

class OSetupEditor {
public:
  // The editor follows the pattern (an undo, another editor's Apply) while it holds no
  // changes of its own.
  explicit OSetupEditor(OPattern& pattern);
  virtual ~OSetupEditor() = default;
  OSetupEditor(const OSetupEditor&) = delete;
  OSetupEditor& operator=(const OSetupEditor&) = delete;

  OPattern& Pattern;

  // Heard by the window, which fills its controls and reads the enabled states again; a
  // test drives the editor without one.
  TSignal<TEditorChange> Changes;

  // The working copies hold changes the pattern does not have yet.
  bool Modified() const { return ModifiedFlag; }
  // Any edit sets it; the buttons follow a change.
  void SetModified(bool modified);

  bool SaveEnabled() const;
  // Also while a box holds a text it refused: Cancel shows the stored value again, Apply
  // reads the box again.
  bool CancelEnabled() const { return ModifiedFlag || HoldsRefusedText(); }
  bool ApplyEnabled() const { return ModifiedFlag || HoldsRefusedText(); }

  // Writes the working copies back to the pattern, when there are changes, and tells
  // whoever needs to know. False when the user chose to keep the pattern as it is (a question
  // answered with Cancel): the editor then stays changed.
  bool Apply();
  // The undo step an Apply makes, as the Edit menu names it.
  virtual std::string ApplyLabel() const { return "Apply"; }
  // Takes the pattern's objects again and shows them.
  void Cancel();
  // The window lost activation: the changes go to the pattern.
  bool Leave();

  // Copies the pattern's objects into the working copies and shows them: the window's
  // start. A derived editor calls it once its copies exist.
  void Reload();
  // The window is going: the editor no longer follows the pattern, whose objects it shows
  // may go before the window does.
  void StopFollowing() { Subscription.Reset(); }

protected:
  // Fill the window from the working copies; the editor is clean afterwards.
  void ShowData();
  // The boxes typed in are shown anew: none waits to be stored.
  virtual void ForgetEditedBoxes() {}
  // A box was typed in and not stored: its text was refused, or is still being typed.
  virtual bool HoldsRefusedText() const { return false; }
  // Copy the pattern's objects into the working copies.
  virtual void LoadCopies() = 0;
  // Copy the working copies into the pattern's objects.
  virtual void StoreData() = 0;
  // What follows the store: the pattern's apply operations and the notification the
  // change needs (a setup object's ends in Changed).
  virtual void ApplyToPattern() = 0;
  // Asked before anything is stored; false keeps the pattern as it is.
  virtual bool ConfirmApply() { return true; }
  // The question before a change that drops painted cells: "`change`? Cells `where` will be
  // lost (N cells)." True when there are none or the user agreed. Leaving the window does
  // not ask again a question the user just declined: one click elsewhere would otherwise
  // raise it at every change of activation.
  bool ConfirmCellLoss(const std::string& change, const std::string& where, int64_t cells);
  // The apply under way comes from the window losing activation, not from the user's
  // Apply, Save or Close.
  bool Leaving = false;
  void UpdateButtons() const;

private:
  bool ModifiedFlag = false;
  // An apply is under way (a question may be open): leaving the window meanwhile must not
  // start another.
  bool Applying = false;
  bool Reloading = false; // the working copies tell of their own lists while loaded
  OPatternEvents::TSubscription Subscription;
  std::string DeclinedQuestion;
  std::vector<std::string> AgreedQuestions;
};

} // namespace quillane
