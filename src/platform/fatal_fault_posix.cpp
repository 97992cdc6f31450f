#include <signal.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <iterator>
#include <memory>

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

struct FatalFaultGuard::Previous {
  void (*onFatal)();
  struct sigaction actions[std::size(kFatalSignals)];
  stack_t stack;
  bool stackReplaced;  // false when the thread's stack could not be changed (it runs on it)
};

FatalFaultGuard::FatalFaultGuard(void (*onFatal)()) : previous_(std::make_unique<Previous>()) {
  previous_->onFatal = g_onFatal;
  g_onFatal = onFatal;
  stack_t stack{};
  stack.ss_sp = g_faultStack;
  stack.ss_size = sizeof g_faultStack;
  previous_->stackReplaced = ::sigaltstack(&stack, &previous_->stack) == 0;
  struct sigaction action {};
  action.sa_handler = HandleFatalSignal;
  action.sa_flags = SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < std::size(kFatalSignals); ++i) {
    ::sigaction(kFatalSignals[i], &action, &previous_->actions[i]);
  }
}

FatalFaultGuard::~FatalFaultGuard() {
  for (size_t i = 0; i < std::size(kFatalSignals); ++i) {
    ::sigaction(kFatalSignals[i], &previous_->actions[i], nullptr);
  }
  if (previous_->stackReplaced) {
    // The flag that tells "running on it now" is a report, not a setting.
    previous_->stack.ss_flags &= ~SS_ONSTACK;
    ::sigaltstack(&previous_->stack, nullptr);
  }
  g_onFatal = previous_->onFatal;
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
