#pragma once

#include <optional>
#include <vector>

#include "editors/ElementEditor.h"
#include "ui/SetupForm.h"

class QCheckBox;
class QComboBox;
class QVBoxLayout;

namespace quillane {

class TNumberBox;

// What the picture, region and section windows share: the editor model's boxes in their
// groups, stored when left, and for the two area editors the flips and the rotation,
// stored at once.
class TfmElementForm : public TfmSetupForm {
  Q_OBJECT
public:
  TNumberBox* Box(TElementField field) const;
  QCheckBox* cbHFlip = nullptr;
  QCheckBox* cbVFlip = nullptr;
  QComboBox* cbRotate = nullptr;
  QCheckBox* cbImportFlag = nullptr;

  void ShowData() override;

protected:
  using TfmSetupForm::TfmSetupForm;
  // Builds the controls of the model (and, for an area editor, its flips and rotation),
  // then attaches it. The derived form calls it once its model exists.
  void Build(OElementEditor& model, bool importFlag = false);
  void ImportClick() override;
  void ExportClick() override;
  // Stores the box directly, so losing activation never takes the focus back.
  void CommitEdit() override;
  QWidget* FirstField() override;

private:
  struct TBox {
    const TElementFieldInfo* Info;
    TNumberBox* Widget;
  };
  OElementEditor* Model = nullptr;
  OAreaEditor* Areas = nullptr;
  std::vector<TBox> Boxes;
  // The boxes edited since they last stored their values: the one being typed in, and
  // any whose text was refused and still waits for correction.
  bool Showing = false;

  QCheckBox* AddCheck(QVBoxLayout& column, const char* name, const char* caption,
                      TElementCheck check);
  void Edited(TElementField field);
  // A refusal from leaving the box takes the focus back; one from a window losing
  // activation must not.
  void Store(TElementField field, bool takeFocus = true);
};

} // namespace quillane
