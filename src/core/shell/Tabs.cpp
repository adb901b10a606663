#include "shell/Tabs.h"

#include "shell/DesignUI.h"

namespace quillane {

void OEditor::SetModified(uint8_t modified) {
  if (modified == ModifiedFlag)
    return;
  ModifiedFlag = modified;
  UpdateButtons();
}

size_t OTabRegistry::AddTab(const std::string& caption, OEditor& form, const ODesignUI* node) {
  Entries.push_back({caption, &form, node});
  size_t index = Entries.size() - 1;
  if (View)
    View->InsertTab(index, caption);
  return index;
}

void OTabRegistry::Remove(size_t index) {
  Entries.erase(Entries.begin() + static_cast<std::ptrdiff_t>(index));
  if (SelectedIndex > index || SelectedIndex >= Entries.size())
    SelectedIndex = SelectedIndex > 0 ? SelectedIndex - 1 : 0;
  if (View)
    View->RemoveTab(index);
}

void OTabRegistry::RemoveTab(const std::string& caption) {
  for (size_t i = 0; i < Entries.size(); ++i)
    if (Entries[i].Caption == caption)
      return Remove(i);
}

void OTabRegistry::RemoveTab(const OEditor& form) {
  for (size_t i = 0; i < Entries.size(); ++i)
    if (Entries[i].Form == &form)
      return Remove(i);
}

void OTabRegistry::ShowTab(const std::string& caption, OEditor& form, const ODesignUI* node) {
  for (size_t i = 0; i < Entries.size(); ++i)
    if (Entries[i].Form == &form)
      return SelectTab(i);
  SelectTab(AddTab(caption, form, node));
}

void OTabRegistry::SelectTab(size_t index) {
  if (index >= Entries.size())
    return;
  SelectedIndex = index;
  if (View)
    View->SelectTab(index);
  Entries[index].Form->BringToFront();
  Entries[index].Form->UpdateButtons();
}

void OTabRegistry::FormActivated(const OEditor& form) {
  for (size_t i = 0; i < Entries.size(); ++i)
    if (Entries[i].Form == &form && i != SelectedIndex) {
      SelectedIndex = i;
      if (View)
        View->SelectTab(i);
      Entries[i].Form->UpdateButtons();
    }
}

void OTabRegistry::RefreshEditors(const OPattern& pattern) {
  // By index: an editor's Refresh may open or close others.
  for (size_t i = 0; i < Entries.size(); ++i) {
    if (Entries[i].Node && Entries[i].Node->Pattern == &pattern)
      Entries[i].Form->Refresh();
  }
}

} // namespace quillane
