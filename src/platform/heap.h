// The library's own heap. Records, texts and buffers that the recovery builds from file content
// are allocated here, so that a test can make the n-th allocation fail and watch the recovery
// skip the affected item instead of crashing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/fault_counter.h"

namespace qrx::heap {

// Like malloc: null when the memory cannot be had (or a test asked for a failure).
void* Allocate(size_t size);
// Like calloc for one block of `size` bytes.
void* AllocateZeroed(size_t size);
// Like realloc: null on failure, the old block then stays valid.
void* Reallocate(void* block, size_t size);
// Like free; null is allowed.
void Release(void* block);

// Test hooks: allocations are counted from 1 since the last reset; the allocation numbered
// `failAt` (0: none) fails, and with kFromThenOn every later one too.
using qrx::Failing;
void ResetCounting(uint64_t failAt = 0, Failing failing = Failing::kFromThenOn);
uint64_t AllocationCount();

}  // namespace qrx::heap
