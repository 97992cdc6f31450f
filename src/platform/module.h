// Loaded modules (shared libraries) of the running process.
#pragma once

#include <optional>
#include <string>

namespace qrx::platform {

// The file-name suffix of a shared library: ".so" here, ".dll" on Windows.
extern const char* const kModuleSuffix;

// Full path of the loaded module whose file name is `fileName` (e.g. "wmxdll.so"), if one is.
std::optional<std::string> LoadedModulePath(const std::string& fileName);
// Full path of the running executable.
std::string ExecutablePath();
// Full path of the module that holds this library's code.
std::string OwnModulePath();

bool FileExists(const std::string& path);

// A module loaded at run time. Loaded modules are never unloaded: the host may hold on to their
// functions for the life of the process.
class Module {
 public:
  // Empty when the module cannot be loaded.
  static std::optional<Module> Load(const std::string& path);
  // Address of an exported function, or null.
  void* Symbol(const char* name) const;

 private:
  explicit Module(void* handle) : handle_(handle) {}
  void* handle_;
};

}  // namespace qrx::platform
