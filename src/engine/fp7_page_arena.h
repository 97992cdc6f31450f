// Memory for everything decoded from one fp7 page: chunk records, value and key bytes, texts.
// Slices are handed out from large blocks and all given back at once by Reset, which keeps the
// blocks for the next page, so decoding a page costs no heap allocation once the engine has
// seen a page as busy as this one. Slices never move while the arena lives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class Fp7PageArena {
 public:
  static constexpr size_t kBlockSize = 64 * 1024;

  Fp7PageArena() = default;
  Fp7PageArena(const Fp7PageArena&) = delete;
  Fp7PageArena& operator=(const Fp7PageArena&) = delete;
  ~Fp7PageArena();

  // `size` bytes aligned for any record, not zeroed; null when no memory can be had or `size`
  // exceeds a block.
  void* Allocate(size_t size);
  // `size` bytes followed by one zero byte, copied from `source`; null on failure.
  uint8_t* CopyTerminated(const uint8_t* source, size_t size);
  // Gives every slice back; the blocks stay for the next page.
  void Reset();

 private:
  std::vector<uint8_t*> blocks_;
  size_t current_ = 0;  // index of the block being filled
  size_t used_ = 0;     // bytes handed out from that block
};
