#include "engine/fp7_page_arena.h"

#include <cstring>

#include "platform/heap.h"

Fp7PageArena::~Fp7PageArena() {
  for (uint8_t* block : blocks_) qrx::heap::Release(block);
}

void* Fp7PageArena::Allocate(size_t size) {
  constexpr size_t kAlign = alignof(std::max_align_t);
  if (size > kBlockSize) return nullptr;
  size_t start = (used_ + kAlign - 1) & ~(kAlign - 1);
  if (blocks_.empty() || start + size > kBlockSize) {
    const size_t next = blocks_.empty() ? 0 : current_ + 1;
    if (next == blocks_.size()) {
      // The list makes room before the block is taken, so that no block is lost when it can't.
      blocks_.reserve(blocks_.size() + 1);
      auto* block = static_cast<uint8_t*>(qrx::heap::Allocate(kBlockSize));
      if (block == nullptr) return nullptr;
      blocks_.push_back(block);
    }
    current_ = next;
    start = 0;
  }
  used_ = start + size;
  return blocks_[current_] + start;
}

uint8_t* Fp7PageArena::CopyTerminated(const uint8_t* source, size_t size) {
  auto* slice = static_cast<uint8_t*>(Allocate(size + 1));
  if (slice == nullptr) return nullptr;
  if (size > 0) std::memcpy(slice, source, size);
  slice[size] = 0;
  return slice;
}

void Fp7PageArena::Reset() {
  current_ = 0;
  used_ = 0;
}
