#pragma once

// The picture, region and section editors: a working copy of one element, the values its
// window's boxes show, and the rule each box is stored by when it is left.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "data/Record.h"
#include "editors/NumberField.h"
#include "editors/SetupEditor.h"
#include "elements/Picture.h"
#include "elements/Region.h"
#include "elements/Section.h"

namespace quillane {

// The numeric boxes. The first pair places the pattern (or source) area, the sizes are
// that area's, the last pair places the picture (or target) area.
enum class TElementField : uint8_t { Control1, PLine1, NoControls, NoPLines, Control2, PLine2 };

// The check boxes.
enum class TElementCheck : uint8_t { HFlip, VFlip, ImportFlag };

struct TElementFieldInfo {
  TElementField Field;
  const char* Name;       // the box's name
  const char* Label;      // its label
  const char* Accessible; // its name for a screen reader, which must tell the groups apart
  int Group;              // index into Groups(); -1 for none
};

class OElementEditor : public OSetupEditor {
public:
  using OSetupEditor::OSetupEditor;

  // Every box in the window's order, and the captions of the groups they stand in.
  virtual std::span<const TElementFieldInfo> Fields() const = 0;
  virtual std::span<const char* const> Groups() const { return {}; }
  // A box's limits: controls to 9999, PLines to 65534.
  static int Minimum(TElementField) { return 1; }
  static int Maximum(TElementField field);

  // A box's limits and the name its refusals give it.
  TNumberField NumberField(TElementField field) const;

  // What a box shows, within its limits.
  virtual int Number(TElementField field) const = 0;
  // A box's text changed: the editor is changed.
  void Edited() { Edit.Edited(*this); }
  // The boxes typed in since they last stored.
  TEditedBoxes<TElementField> EditedBoxes;
  // A box is left with what was typed in it: read by the box's rule, then stored as
  // StoreNumber does. A refusal is told and leaves the working copy and the changed flag as
  // they were before the edit; the box should keep the text for correction.
  bool StoreText(TElementField field, std::string_view text);
  // A box's value goes into the working copy by the box's rule. A value out of range, or
  // areas it would carry out of range, are reported and change nothing; the result is then
  // false.
  virtual bool StoreNumber(TElementField field, int value) = 0;

  // The working copy from an exchange file; the user still has to apply it.
  virtual void Import() = 0;
  virtual void Export() = 0;

protected:
  void ForgetEditedBoxes() override { EditedBoxes.Clear(); }
  bool HoldsRefusedText() const override { return !EditedBoxes.Empty(); }
  // "Apply Region1-2"; without a node name (no tree), "Apply".
  static std::string Named(const char* what, const ODesignData& element) {
    return element.NodeName.empty() ? what : std::string(what) + " " + element.NodeName;
  }
  // The edit of the box being typed in.
  TNumberEdit Edit;
};

// "Picture": the size of a picture. Only the size reaches the picture on Apply.
class OPictureEditor : public OElementEditor {
public:
  OPictureEditor(OPattern& pattern, OPicture& picture);

  OPicture& Element;
  std::string ApplyLabel() const override { return Named("Apply", Element); }
  OPicture WorkingCopy;

  std::span<const TElementFieldInfo> Fields() const override;
  int Number(TElementField field) const override;
  bool StoreNumber(TElementField field, int value) override;
  void Import() override;
  // The working copy as it is, unapplied.
  void Export() override;

protected:
  void LoadCopies() override;
  void StoreData() override;
  void ApplyToPattern() override;

private:
  // Whether the pattern file could hold the picture at this size beside the others; told
  // when not.
  bool FitsPatternFile(int64_t width, int64_t height) const;
};

// What the region and section editors share: two areas of one size, the second turned
// with the element, kept so by the boxes; the flips and the rotation.
class OAreaEditor : public OElementEditor {
public:
  using OElementEditor::OElementEditor;

  static constexpr std::array<const char*, 4> RotationItems{"No Rotate", "Rotate 90", "Rotate 180",
                                                            "Rotate 270"};

  int Number(TElementField field) const override;
  bool StoreNumber(TElementField field, int value) override;
  virtual bool Checked(TElementCheck check) const;
  virtual void StoreChecked(TElementCheck check, bool checked);
  int RotationIndex() const { return State().Rotation <= 3 ? State().Rotation : 0; }
  // Turns the second area with the element; refused, as a box is, when it would leave
  // the range.
  bool StoreRotation(int index);

  // Apply, then the working copy to an exchange file.
  void Export() override;

protected:
  struct TAreas {
    TRect First;
    TRect Second;
    uint8_t HFlip;
    uint8_t VFlip;
    uint8_t Rotation;
  };
  virtual TAreas State() const = 0;
  // Stores through the working copy's setters.
  virtual void SetState(const TAreas& areas) = 0;
  virtual void ExportCopy() = 0;
  // Whether the areas the boxes make may be stored; told when not.
  virtual bool Acceptable(const TAreas&) const { return true; }

private:
  // The areas the boxes make, with `field` holding `value` and the rotation given.
  bool Recompute(TAreas& areas, TElementField field, int value) const;
};

// The region and section editors' working copy: taken, stored and exchanged whole.
template <class TElement> class OAreaEditorOf : public OAreaEditor {
public:
  TElement& Element;
  TElement WorkingCopy;
  std::string ApplyLabel() const override { return Named("Apply", Element); }

  void Import() override {
    Edit.Done();
    WorkingCopy.Import();
    ShowData();
    SetModified(true);
  }

protected:
  // The working copy is made from `copyArgs`.
  template <class... TArgs>
  OAreaEditorOf(OPattern& pattern, TElement& element, TArgs&&... copyArgs)
      : OAreaEditor(pattern), Element(element), WorkingCopy(std::forward<TArgs>(copyArgs)...) {}
  void LoadCopies() override {
    Edit.Done();
    WorkingCopy.Assign(Element);
  }
  void StoreData() override { Element.Assign(WorkingCopy); }
  void ExportCopy() override { WorkingCopy.Export(); }
};

// "Region": where a region takes its cells from and where its picture shows them. Its
// working copy is made for the region's picture, as the region is.
class ORegionEditor : public OAreaEditorOf<ORegion> {
public:
  ORegionEditor(OPattern& pattern, ORegion& region);

  std::span<const TElementFieldInfo> Fields() const override;
  std::span<const char* const> Groups() const override;
  bool Checked(TElementCheck check) const override;
  void StoreChecked(TElementCheck check, bool checked) override;

protected:
  void ApplyToPattern() override;
  TAreas State() const override;
  void SetState(const TAreas& areas) override;
  // A region that shows no cell of the pattern is refused, typed or imported.
  bool Acceptable(const TAreas& areas) const override;
  bool ConfirmApply() override;
};

// "Section": a section's source and target; applying copies the sections anew.
class OSectionEditor : public OAreaEditorOf<OSection> {
public:
  OSectionEditor(OPattern& pattern, OSection& section);

  std::span<const TElementFieldInfo> Fields() const override;
  std::span<const char* const> Groups() const override;

protected:
  // Refuses a section that would make the pattern's sections copy more than a pattern file
  // may ask for: the pattern could not be saved.
  bool ConfirmApply() override;
  void ApplyToPattern() override;
  TAreas State() const override;
  void SetState(const TAreas& areas) override;
};

} // namespace quillane
