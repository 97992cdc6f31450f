#include <dlfcn.h>
#include <errno.h>
#include <string.h>
#include <sys/stat.h>
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

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

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

bool PrepareTargetFolder(const std::string& folder, std::string& error) {
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string step = folder.substr(0, slash);
    if (::mkdir(step.c_str(), 0755) != 0 && errno != EEXIST) {
      error = "cannot create the target folder " + step + ": " + ::strerror(errno);
      return false;
    }
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    error = "the target " + folder + " is not a folder";
    return false;
  }
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    error = "cannot write into the target folder " + folder + ": " + ::strerror(errno);
    return false;
  }
  return true;
}

void* LoadModuleFunction(const std::string& path, const char* name) {
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  return module != nullptr ? ::dlsym(module, name) : nullptr;
}
