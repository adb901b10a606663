#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/Exceptions.h"

namespace quillane {

// Design elements of one kind in creation order; the list owns them. Zero-based. After
// every addition or removal it calls its owner's ListChanged, which tells the pattern's
// listeners: one owner, known when the list is made, so a call rather than a subscription.
template <class TElement, class TOwner> class ODesignList {
public:
  explicit ODesignList(TOwner* owner) : Owner(owner) {}
  ODesignList(const ODesignList&) = delete;
  ODesignList& operator=(const ODesignList&) = delete;

  TOwner* Owner;

  TElement* Add(std::unique_ptr<TElement> element) { return Insert(Count(), std::move(element)); }
  // Before the element at `index`; at Count(), after the last.
  TElement* Insert(int index, std::unique_ptr<TElement> element) {
    if (index != Count())
      Check(index);
    TElement* inserted = element.get();
    Items.insert(Items.begin() + index, std::move(element));
    Changed();
    return inserted;
  }
  // -1 when the element is not in the list.
  int IndexOf(const TElement* element) const {
    auto it = std::find_if(Items.begin(), Items.end(),
                           [element](const auto& item) { return item.get() == element; });
    return it == Items.end() ? -1 : static_cast<int>(it - Items.begin());
  }
  int Count() const { return static_cast<int>(Items.size()); }
  TElement* Get(int index) const {
    Check(index);
    return Items[static_cast<size_t>(index)].get();
  }
  void Delete(int index) {
    Check(index);
    Items.erase(Items.begin() + index);
    Changed();
  }
  // Takes the element out without freeing it.
  std::unique_ptr<TElement> Take(int index) {
    Check(index);
    std::unique_ptr<TElement> taken = std::move(Items[static_cast<size_t>(index)]);
    Items.erase(Items.begin() + index);
    Changed();
    return taken;
  }
  void Remove(const TElement* element) { Delete(IndexOf(element)); }
  void Clear() {
    Items.clear();
    Changed();
  }

  auto begin() const { return Items.begin(); }
  auto end() const { return Items.end(); }

private:
  void Changed() const {
    if (Owner)
      Owner->ListChanged(*this);
  }
  void Check(int index) const {
    if (index < 0 || index >= Count())
      throw ERangeError("List index out of bounds (" + std::to_string(index) + ")");
  }
  std::vector<std::unique_ptr<TElement>> Items;
};

} // namespace quillane
