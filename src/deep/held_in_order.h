// Items (records, stored objects) gathered from pages that come in the order of their first item
// id, and handed on in ascending id order as soon as no page still to come can add to them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>

namespace deep {

template <typename Item>
class HeldInOrder {
 public:
  using Sink = std::function<void(uint64_t id, const Item& item)>;
  explicit HeldInOrder(Sink emit) : emit_(std::move(emit)) {}

  Item& At(uint64_t id) { return held_[id]; }
  // A page whose first item is `firstId` is about to be read: every item below it is complete.
  void ReleaseBelow(uint64_t firstId) {
    while (!held_.empty() && held_.begin()->first < firstId) ReleaseFirst();
  }
  void ReleaseAll() {
    while (!held_.empty()) ReleaseFirst();
  }

 private:
  void ReleaseFirst() {
    emit_(held_.begin()->first, held_.begin()->second);
    held_.erase(held_.begin());
  }

  Sink emit_;
  std::map<uint64_t, Item> held_;
};

}  // namespace deep
