#include "platform/heap.h"

#include <atomic>
#include <cstdlib>

namespace qrx::heap {
namespace {

std::atomic<uint64_t> g_count{0};
std::atomic<uint64_t> g_failAt{0};
std::atomic<bool> g_onlyThatOne{false};

bool NextMayProceed() {
  const uint64_t number = ++g_count;
  const uint64_t failAt = g_failAt.load(std::memory_order_relaxed);
  if (failAt == 0 || number < failAt) return true;
  return number > failAt && g_onlyThatOne.load(std::memory_order_relaxed);
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
  g_count = 0;
  g_failAt = failAt;
  g_onlyThatOne = failing == Failing::kOnlyThatOne;
}

uint64_t AllocationCount() {
  return g_count;
}

}  // namespace qrx::heap
