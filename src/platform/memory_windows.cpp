#include <cstdint>

#include "platform/memory.h"
#include "platform/windows_api.h"
// After windows.h, which it builds on. Version 2 takes the counters from kernel32 (K32...), so
// that no psapi.dll is needed.
#define PSAPI_VERSION 2
#include <psapi.h>

namespace qrx::platform {

bool IsReadable(const void* block, size_t length) {
  if (block == nullptr) return false;
  // Walk the regions the block spans: each must be committed, readable and not a guard page.
  // Asking the memory manager never faults, unlike touching the bytes.
  constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                              PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  auto at = reinterpret_cast<uintptr_t>(block);
  const uintptr_t end = at + length;
  if (end < at) return false;
  while (at < end) {
    MEMORY_BASIC_INFORMATION region{};
    if (::VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) == 0) {
      return false;
    }
    if (region.State != MEM_COMMIT || (region.Protect & kReadable) == 0 ||
        (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0) {
      return false;
    }
    at = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
  }
  return true;
}

size_t PeakResidentBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  return ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)
             ? counters.PeakWorkingSetSize
             : 0;
}

}  // namespace qrx::platform
