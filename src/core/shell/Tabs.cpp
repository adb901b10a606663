#include "shell/Tabs.h"

#include "shell/DesignUI.h"

namespace quillane {

void OEditor::SetModified(uint8_t modified) {
  if (modified == ModifiedFlag)
    return;
  ModifiedFlag = modified;
  UpdateButtons();
}

OEditor* OTabRegistry::Window(size_t index) const {
  if (index >= Entries.size())
    return nullptr;
  return Entries[index].Node ? Entries[index].Node->Editor() : TreeWindow;
}

size_t OTabRegistry::Add(const std::string& caption, const ODesignUI* node) {
  Entries.push_back({caption, node});
  size_t index = Entries.size() - 1;
  if (View)
    View->InsertTab(index, caption);
  return index;
}

void OTabRegistry::AddTree(OEditor& tree) {
  TreeWindow = &tree;
  Add("Tree", nullptr);
}

void OTabRegistry::Remove(size_t index) {
  Entries.erase(Entries.begin() + static_cast<std::ptrdiff_t>(index));
  if (SelectedIndex > index || SelectedIndex >= Entries.size())
    SelectedIndex = SelectedIndex > 0 ? SelectedIndex - 1 : 0;
  if (View)
    View->RemoveTab(index);
}

void OTabRegistry::RemoveTab(const ODesignUI& node) {
  for (size_t i = 0; i < Entries.size(); ++i)
    if (Entries[i].Node == &node)
      return Remove(i);
}

void OTabRegistry::ShowTab(const ODesignUI& node) {
  for (size_t i = 0; i < Entries.size(); ++i)
    if (Entries[i].Node == &node)
      return SelectTab(i);
  SelectTab(Add(node.Name(), &node));
}

void OTabRegistry::SelectTab(size_t index) {
  OEditor* form = Window(index);
  if (!form)
    return;
  SelectedIndex = index;
  if (View)
    View->SelectTab(index);
  form->BringToFront();
  form->UpdateButtons();
}

void OTabRegistry::FormActivated(const OEditor& form) {
  for (size_t i = 0; i < Entries.size(); ++i)
    if (Window(i) == &form && i != SelectedIndex) {
      SelectedIndex = i;
      if (View)
        View->SelectTab(i);
      Window(i)->UpdateButtons();
    }
}

void OTabRegistry::RefreshEditors(const OPattern& pattern) {
  // By index: an editor's Refresh may open or close others.
  for (size_t i = 0; i < Entries.size(); ++i)
    if (Entries[i].Node && Entries[i].Node->Pattern == &pattern)
      if (OEditor* form = Window(i))
        form->Refresh();
}

} // namespace quillane
