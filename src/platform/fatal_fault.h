// The last word of a process that hits a fatal fault, and the memory figures it reports.
#pragma once

#include <cstdint>
#include <memory>

namespace qrx::platform {

// While it lives, makes `onFatal` run when the process meets a fatal fault (on POSIX:
// segmentation fault, bus error, floating-point error, illegal instruction, abort, on a stack of
// its own so that a stack overflow is reported too; on Windows: any exception that no handler
// takes). When `onFatal` returns, the process ends at once: on POSIX with status 128 + the signal
// number and without a core dump, on Windows with the exception's code and without the system's
// error dialog. The destructor puts back what was there before (on POSIX the signal actions and
// the thread's alternate signal stack, on Windows the unhandled-exception filter), so the host's
// own crash handling is its again. Guards nest; each is to end on the thread that made it, the
// inner one first.
class FatalFaultGuard {
 public:
  explicit FatalFaultGuard(void (*onFatal)());
  FatalFaultGuard(const FatalFaultGuard&) = delete;
  FatalFaultGuard& operator=(const FatalFaultGuard&) = delete;
  ~FatalFaultGuard();

 private:
  struct Previous;  // what was installed before, in the platform's own terms
  std::unique_ptr<Previous> previous_;
};

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
