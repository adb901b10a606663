#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace quillane {

class OPattern;

// The wizards' choice of how the drawn area is copied: the radio buttons of group "Layout".
enum class TWizardLayout : uint8_t { Section1, Sections2h, Sections2v, Sections4 };
// The buttons' names and captions, in the choices' order; the first is selected at start.
inline constexpr const char* WizardLayouts[4][2] = {{"rbSection1", "1 Section"},
                                                    {"rbSection2h", "2 Sections, Horizontal"},
                                                    {"rbSection2v", "2 Sections, Vertical"},
                                                    {"rbSection4", "4 Sections"}};

// The fields of each wizard dialog, with the dialog's defaults. Values are the dialogs'
// 16-bit readings; all arithmetic on them is signed 32-bit, so nothing wraps. The member
// functions are the dialogs' field events: a dialog puts its fields into the struct, runs
// the event and shows the fields again.

// The limits of the wizards' number boxes, as the dialogs show them.
struct TWizardRange {
  uint16_t Minimum;
  uint16_t Maximum;
};
inline constexpr TWizardRange ControlsRange{1, 9999}, PLinesRange{1, 65534},
    CutControlsRange{0, 9999}, CutPLinesRange{0, 65534}, OffsetRange{1, 9999}, RepeatsRange{1, 99};

// A field's text read as a whole number, for the fields a dialog reads as text. Blanks
// around the digits and a leading '+' are allowed; any other text, the empty text
// included, reads as `notANumber`. A number past 65535 reads as 65535 and a negative one
// as 0: neither wraps round into a plausible size, and both fail the range tests that
// follow.
uint16_t ReadWizardNumber(std::string_view text, uint16_t notANumber);

// One field of a wizard dialog, in the dialog's tab order: a number box or a check box.
template <class TWizard> struct TWizardField {
  const char* Name;                    // the control's name, as the tests and the ini know it
  const char* Caption;                 // its label, or the check box's caption
  const char* Group = nullptr;         // its titled group; none for the rows below the groups
  uint16_t TWizard::*Number = nullptr; // a number box's value
  TWizardRange Range{};
  // Run when the box is left holding a value it takes, or when the check box is clicked.
  void (TWizard::*Rule)() = nullptr;
  bool Enabled = true; // a disabled box shows what a rule derives
  // Where not -1, the number is read from the box's text as ReadWizardNumber reads it, this
  // value standing for a text that is not a number.
  int32_t NotANumber = -1;
  bool TWizard::*Check = nullptr; // a check box's value

  // The number box's value into the wizard: the box's reading, or its text.
  void Read(TWizard& w, uint16_t value, std::string_view text) const {
    w.*Number = NotANumber < 0 ? value : ReadWizardNumber(text, static_cast<uint16_t>(NotANumber));
  }
};

// A wizard dialog: its name and caption, whether Enter moves the focus on as Tab does,
// whether it can be resized, and its fields. The titled groups stand side by side above the
// other rows; a wizard with a layout adds the group "Layout".
template <class TWizard> struct TWizardDialog {
  const char* Name;
  const char* Caption;
  bool EnterMovesFocus;
  bool Sizeable;
  std::span<const TWizardField<TWizard>> Fields;
};

struct TPlainWizard {
  static const TWizardDialog<TPlainWizard> Dialog;
  bool operator==(const TPlainWizard&) const = default;
  uint16_t NoControls = 1;
  uint16_t NoPLines = 1;
  TWizardLayout Layout = TWizardLayout::Section1;
  // The sizes from the edits' text; text that is not a number reads as 0.
  void ReadSizes(std::string_view controls, std::string_view pLines);
};

struct TRugWizard {
  static const TWizardDialog<TRugWizard> Dialog;
  bool operator==(const TRugWizard&) const = default;
  uint16_t PatternControls = 1; // PC
  uint16_t PatternPLines = 1;   // PP
  uint16_t RugControls = 1;     // RC
  uint16_t RugPLines = 1;       // RP
  uint16_t CutControls = 1;     // CC
  uint16_t CutPLines = 1;       // CP, derived: PP - RP
  bool Mirror = false;
  uint16_t ControlOffset = 1; // CO
  uint16_t PLineOffset = 1;   // PO
  TWizardLayout Layout = TWizardLayout::Section1;
  // What the dialog does on leaving either PLines edit.
  void DeriveCutPLines();
  // The control offset from its edit's text; text that is not a number reads as 1.
  void ReadControlOffset(std::string_view text);
  // Checking "Mirror Generated Sections": the mirrored layouts start at control 1.
  void MirrorClick();
  // Leaving the control offset: any offset but 1 unchecks the mirror box.
  void ControlOffsetExit();
};

struct TCarpetWizard {
  static const TWizardDialog<TCarpetWizard> Dialog;
  bool operator==(const TCarpetWizard&) const = default;
  uint16_t PatternControls = 1; // PC
  uint16_t PatternPLines = 1;   // PP
  uint16_t SectionControls = 1; // SC
  uint16_t SectionPLines = 1;   // SP, derived: PP
  bool Center = false;
  uint16_t PatternOffset = 1; // PO
  uint16_t NoRepeats = 1;     // N
  void DeriveSectionPLines();
  // Checking "Center Pattern On Machine" sets the pattern offset to 1; nothing unchecks it.
  void CenterClick();
};

struct THalfDropWizard {
  static const TWizardDialog<THalfDropWizard> Dialog;
  bool operator==(const THalfDropWizard&) const = default;
  uint16_t PatternControls = 1; // PC
  uint16_t PatternPLines = 1;   // PP
  uint16_t RegionControls = 1;  // RC
  uint16_t RegionPLines = 1;    // RP, derived: PP div 2
  bool Center = false;
  uint16_t PatternOffset = 1; // PO
  uint16_t NoRepeats = 1;     // N
  void DeriveRegionPLines();
  void CenterClick();
};

struct TRepeatsWizard {
  static const TWizardDialog<TRepeatsWizard> Dialog;
  bool operator==(const TRepeatsWizard&) const = default;
  uint16_t PatternControls = 1; // PC
  uint16_t PatternPLines = 1;   // PP
  uint16_t SectionControls = 1; // SC
  uint16_t SectionPLines = 1;   // SP
  uint16_t NoRepeats = 1;       // N
};

// The first failing test of a wizard's OK button, as its message, or "" when the values
// are accepted. Beyond the dialogs' own tests, a layout that needs more sections than a
// pattern file holds, or a picture larger than a picture record allows, is refused.
std::string ValidateWizard(const TPlainWizard& w);
std::string ValidateWizard(const TRugWizard& w);
std::string ValidateWizard(const TCarpetWizard& w);
std::string ValidateWizard(const THalfDropWizard& w);
std::string ValidateWizard(const TRepeatsWizard& w);

// The finished new pattern, Changed already run. Values that fail validation, and a layout
// whose sections would lie outside the pattern, throw Exception with the message (shown by
// nobody yet, so the caller reports it once and a dialog can stay open). A rug, carpet or
// half-drop layout that does not fit the pattern adds no design region and no section: the
// pattern has no sections.
std::unique_ptr<OPattern> GenerateWizard(const TPlainWizard& w);
std::unique_ptr<OPattern> GenerateWizard(const TRugWizard& w);
std::unique_ptr<OPattern> GenerateWizard(const TCarpetWizard& w);
std::unique_ptr<OPattern> GenerateWizard(const THalfDropWizard& w);
std::unique_ptr<OPattern> GenerateWizard(const TRepeatsWizard& w);

// The construction every wizard shares: a pattern of `controls` x `pLines` with the
// default setup objects and one picture with its default region ...
std::unique_ptr<OPattern> StartWizardPattern(uint16_t controls, uint16_t pLines);
// ... and, after the wizard's own regions and sections, the import flag on the picture's
// last region and the change notification.
void FinishWizardPattern(OPattern& pattern);

// The messages of the two size limits.
extern const char* const TooManySectionsMessage;
extern const char* const PictureTooLargeMessage;

} // namespace quillane
