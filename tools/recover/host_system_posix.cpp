#include <dlfcn.h>
#include <limits.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "host_system.h"

namespace {
void (*g_onInterrupt)() = nullptr;

void HandleInterrupt(int) {
  // The next Ctrl-C takes the default way out.
  ::signal(SIGINT, SIG_DFL);
  if (g_onInterrupt != nullptr) g_onInterrupt();
}
}  // namespace

const char kModuleSuffix[] = ".so";

bool StderrIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

int TerminalWidth() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col >= 20) return size.ws_col;
  return 80;
}

void OnFirstInterrupt(void (*onInterrupt)()) {
  g_onInterrupt = onInterrupt;
  struct sigaction action {};
  action.sa_handler = HandleInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
}

std::string ExecutableFolder() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "./";
  std::string path(buffer, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/') + 1);
}

void* LoadModuleFunction(const std::string& path, const char* name) {
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  return module != nullptr ? ::dlsym(module, name) : nullptr;
}
