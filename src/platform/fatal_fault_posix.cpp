#include <signal.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include "platform/fatal_fault.h"

namespace qrx::platform {
namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
void (*volatile g_onFatal)() = nullptr;
alignas(16) char g_faultStack[64 * 1024];

void HandleFatalSignal(int signal) {
  // A fault inside the report itself must not loop back here.
  for (const int fatal : kFatalSignals) ::signal(fatal, SIG_DFL);
  if (g_onFatal != nullptr) g_onFatal();
  ::_exit(128 + signal);
}

}  // namespace

void InstallFatalFaultHandler(void (*onFatal)()) {
  g_onFatal = onFatal;
  stack_t stack{};
  stack.ss_sp = g_faultStack;
  stack.ss_size = sizeof g_faultStack;
  ::sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_handler = HandleFatalSignal;
  action.sa_flags = SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (const int fatal : kFatalSignals) ::sigaction(fatal, &action, nullptr);
}

MemoryStatus QueryMemoryStatus() {
  struct sysinfo info {};
  MemoryStatus status{32, 0, 0, 0};
  if (::sysinfo(&info) != 0) return status;
  status.totalPhysicalBytes = static_cast<uint64_t>(info.totalram) * info.mem_unit;
  status.availablePhysicalBytes =
      static_cast<uint64_t>(info.freeram + info.bufferram) * info.mem_unit;
  if (status.totalPhysicalBytes > 0) {
    status.memoryLoad = static_cast<uint32_t>(100 - status.availablePhysicalBytes * 100 /
                                                        status.totalPhysicalBytes);
  }
  return status;
}

}  // namespace qrx::platform
