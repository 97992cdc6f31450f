// The last word of a process that hits a fatal fault, and the memory figures it reports.
#pragma once

#include <cstdint>

namespace qrx::platform {

// Makes `onFatal` run when the process meets a fatal fault (on POSIX: segmentation fault, bus
// error, floating-point error, illegal instruction, abort), on a stack of its own so that a stack
// overflow is reported too. When it returns, the process ends at once with status 128 + the
// signal number, without a core dump. Installing again replaces the function.
void InstallFatalFaultHandler(void (*onFatal)());

// The machine's memory as the crash report shows it.
struct MemoryStatus {
  uint32_t length;      // size of the record the figures come in (32, as on Windows)
  uint32_t memoryLoad;  // percent of physical memory in use
  uint64_t totalPhysicalBytes;
  uint64_t availablePhysicalBytes;
};

// Safe to call from a fault handler.
MemoryStatus QueryMemoryStatus();

}  // namespace qrx::platform
