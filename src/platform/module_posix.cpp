#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/module.h"

namespace qrx::platform {

const char* const kModuleSuffix = ".so";

namespace {

struct ModuleSearch {
  const std::string* fileName;
  std::string found;
};

int VisitModule(dl_phdr_info* info, size_t /*size*/, void* data) {
  auto* search = static_cast<ModuleSearch*>(data);
  const char* path = info->dlpi_name;
  if (path == nullptr || *path == '\0') return 0;
  const char* slash = std::strrchr(path, '/');
  const char* name = slash != nullptr ? slash + 1 : path;
  if (*search->fileName != name) return 0;
  search->found = path;
  return 1;
}

}  // namespace

std::optional<std::string> LoadedModulePath(const std::string& fileName) {
  ModuleSearch search{&fileName, {}};
  if (::dl_iterate_phdr(VisitModule, &search) == 0) return std::nullopt;
  return search.found;
}

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string OwnModulePath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<const void*>(&OwnModulePath), &info) == 0 ||
      info.dli_fname == nullptr) {
    return std::string();
  }
  char resolved[PATH_MAX];
  return ::realpath(info.dli_fname, resolved) != nullptr ? resolved : info.dli_fname;
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<Module> Module::Load(const std::string& path) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return std::nullopt;
  return Module(handle);
}

void* Module::Symbol(const char* name) const {
  return ::dlsym(handle_, name);
}

}  // namespace qrx::platform
