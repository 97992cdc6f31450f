#include "platform/heap.h"

#include <cstdlib>

namespace qrx::heap {
namespace {

FaultCounter g_allocations;

bool NextMayProceed() {
  return g_allocations.NextMayProceed();
}

}  // namespace

void* Allocate(size_t size) {
  return NextMayProceed() ? std::malloc(size) : nullptr;
}

void* AllocateZeroed(size_t size) {
  return NextMayProceed() ? std::calloc(1, size) : nullptr;
}

void* Reallocate(void* block, size_t size) {
  return NextMayProceed() ? std::realloc(block, size) : nullptr;
}

void Release(void* block) {
  std::free(block);
}

void ResetCounting(uint64_t failAt, Failing failing) {
  g_allocations.Reset(failAt, failing);
}

uint64_t AllocationCount() {
  return g_allocations.Count();
}

}  // namespace qrx::heap
