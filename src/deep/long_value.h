// A value stored whole or in numbered pieces (long field values, stored object streams).
#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace deep {

struct LongValue {
  std::vector<uint8_t> whole;                       // the value stored as one chunk
  std::map<uint32_t, std::vector<uint8_t>> pieces;  // by piece number

  // The pieces joined in piece order when there are any, else the whole value.
  std::vector<uint8_t> Bytes() const {
    if (pieces.empty()) return whole;
    std::vector<uint8_t> joined;
    for (const auto& [number, piece] : pieces) {
      joined.insert(joined.end(), piece.begin(), piece.end());
    }
    return joined;
  }
};

}  // namespace deep
