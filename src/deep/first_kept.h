// The rule for a value met more than once (on an old copy of a page or block): the first bytes
// met are kept. A slot remembers where its bytes came from (a page or block number, 0 while
// empty), so that a conflict can name both places.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace deep {

// Fills an empty `slot` with `bytes` met at `place`; true when the slot held other bytes already
// (a conflict: the slot keeps them).
inline bool KeepFirst(std::vector<uint8_t>& slot, uint64_t& slotPlace, uint64_t place,
                      std::span<const uint8_t> bytes) {
  if (slotPlace == 0) {
    slot.assign(bytes.begin(), bytes.end());
    slotPlace = place;
    return false;
  }
  return !std::equal(slot.begin(), slot.end(), bytes.begin(), bytes.end());
}

}  // namespace deep
