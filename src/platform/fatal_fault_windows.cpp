#include <memory>

#include "platform/fatal_fault.h"
#include "platform/windows_api.h"

namespace qrx::platform {
namespace {

void (*volatile g_onFatal)() = nullptr;

// Runs for an exception that no handler took: writes the report and lets the process end with the
// exception's code, without the system's error dialog.
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* /*exception*/) {
  // A fault inside the report itself must not loop back here.
  void (*const onFatal)() = g_onFatal;
  g_onFatal = nullptr;
  if (onFatal != nullptr) onFatal();
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

struct FatalFaultGuard::Previous {
  void (*onFatal)();
  LPTOP_LEVEL_EXCEPTION_FILTER filter;
};

FatalFaultGuard::FatalFaultGuard(void (*onFatal)()) : previous_(std::make_unique<Previous>()) {
  previous_->onFatal = g_onFatal;
  g_onFatal = onFatal;
  previous_->filter = ::SetUnhandledExceptionFilter(OnUnhandledException);
}

FatalFaultGuard::~FatalFaultGuard() {
  ::SetUnhandledExceptionFilter(previous_->filter);
  g_onFatal = previous_->onFatal;
}

MemoryStatus QueryMemoryStatus() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  // The report shows the length of the classic 32-bit record, whose figures these are.
  MemoryStatus result{static_cast<uint32_t>(sizeof(MEMORYSTATUS)), 0, 0, 0};
  if (!::GlobalMemoryStatusEx(&status)) return result;
  result.memoryLoad = status.dwMemoryLoad;
  result.totalPhysicalBytes = status.ullTotalPhys;
  result.availablePhysicalBytes = status.ullAvailPhys;
  return result;
}

}  // namespace qrx::platform
