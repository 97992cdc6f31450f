#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "host_system.h"

namespace {
void (*g_onInterrupt)() = nullptr;

void HandleInterrupt(int) {
  // The next Ctrl-C takes the default way out.
  ::signal(SIGINT, SIG_DFL);
  if (g_onInterrupt != nullptr) g_onInterrupt();
}

// The system's text for an error, as part of a sentence ("no such file or directory").
std::string Reason(int error) {
  std::string text = ::strerror(error);
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/', path.find_last_not_of('/'));
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Why no file can be made in `folder`.
std::string WhyFolderCannotTakeFiles(const std::string& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return Reason(errno);
  if (!S_ISDIR(info.st_mode)) return folder + " is not a folder";
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return Reason(errno);
  return {};
}

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

const char kModuleSuffix[] = ".so";
const char16_t kPathSeparators[] = u"/";

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

std::string ModuleFolderOf(const void* function) {
  Dl_info info{};
  if (::dladdr(function, &info) == 0 || info.dli_fname == nullptr) return "./";
  char resolved[PATH_MAX];
  const std::string path =
      ::realpath(info.dli_fname, resolved) != nullptr ? resolved : info.dli_fname;
  return path.substr(0, path.rfind('/') + 1);
}

void* LoadModuleFunction(const std::string& path, const char* name) {
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  return module != nullptr ? ::dlsym(module, name) : nullptr;
}

std::string WhySourceCannotBeRead(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return Reason(errno);
  if (S_ISDIR(info.st_mode)) return "it is a folder, not a database file";
  const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return Reason(errno);
  char byte = 0;
  const ssize_t got = ::read(file, &byte, 1);
  const int error = errno;
  ::close(file);
  return got < 0 ? Reason(error) : std::string();
}

std::string WhyLogCannotBeWritten(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return errno == ENOENT ? WhyFolderCannotTakeFiles(FolderOf(path)) : Reason(errno);
  }
  if (S_ISDIR(info.st_mode)) return "it is a folder";
  if (::access(path.c_str(), W_OK) != 0) return Reason(errno);
  return {};
}

std::string WhyTargetCannotBeUsed(const std::string& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0) {
    if (!S_ISDIR(info.st_mode)) return "it is a file, not a folder";
    return ::access(folder.c_str(), W_OK | X_OK) != 0 ? Reason(errno) : std::string();
  }
  if (errno != ENOENT && errno != ENOTDIR) return Reason(errno);
  // The library makes the target folder itself, once the source has been read, but not the
  // folders above it.
  const std::string parent = FolderOf(folder);
  if (::stat(parent.c_str(), &info) != 0) {
    return "the folder " + parent + " above it does not exist; create it first";
  }
  if (!S_ISDIR(info.st_mode)) return parent + " is a file, so no folder can be made in it";
  if (::access(parent.c_str(), W_OK | X_OK) != 0) {
    return "no folder can be made in " + parent + ": " + Reason(errno);
  }
  return {};
}

std::string MakeFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) return {};
  return Reason(errno);
}

std::vector<FolderEntry> ListFolder(const std::string& folder) {
  std::vector<FolderEntry> entries;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return entries;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info {};
    if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    entries.push_back(
        {name, S_ISREG(info.st_mode), static_cast<uint64_t>(info.st_ino),
         static_cast<uint64_t>(info.st_size),
         static_cast<int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec});
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return entries;
}
