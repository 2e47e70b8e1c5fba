#pragma once
// One list per kind of world object. An object may remove itself, or another object,
// while the list is being visited; the visit then goes on with the next object that is
// still in the list. Removing an object that is not in the list does nothing.
#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

template <class T>
class obj_list {
 public:
  using ptr = std::shared_ptr<T>;

  void add_last(ptr obj) { items_.push_back(std::move(obj)); }

  void remove(const T* obj) {
    auto it =
        std::find_if(items_.begin(), items_.end(), [obj](const ptr& p) { return p.get() == obj; });
    if (it == items_.end()) return;
    std::size_t idx = static_cast<std::size_t>(it - items_.begin());
    items_.erase(it);
    // Keep every visit in progress pointing at the next object still in the list.
    for (std::size_t* cursor : cursors_)
      if (idx < *cursor) --*cursor;
  }

  void clear() {
    items_.clear();
    for (std::size_t* cursor : cursors_) *cursor = 0;
  }

  // Calls fn on each object from first to last. The object is kept alive for the call
  // even if it removes itself.
  template <class Fn>
  void visit(Fn&& fn) {
    std::size_t next = 0;
    cursors_.push_back(&next);
    while (next < items_.size()) {
      ptr obj = items_[next];
      ++next;
      fn(*obj);
    }
    cursors_.pop_back();
  }

  std::size_t count() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  bool contains(const T* obj) const {
    return std::any_of(items_.begin(), items_.end(),
                       [obj](const ptr& p) { return p.get() == obj; });
  }
  const std::vector<ptr>& items() const { return items_; }

 private:
  std::vector<ptr> items_;
  std::vector<std::size_t*> cursors_;
};
