// Module paths are narrow text of the ANSI code page here, as the log shows them.
#include <vector>

#include "platform/module.h"
#include "platform/text.h"
#include "platform/windows_api.h"

namespace qrx::platform {

const char* const kModuleSuffix = ".dll";

namespace {

// The full path of a loaded module (null: the executable), however long it is.
std::string PathOf(HMODULE module) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = ::GetModuleFileNameW(module, buffer.data(), size);
    if (length == 0) return std::string();
    if (length < size) return ToNarrow(FromWide(buffer.data(), length));
    if (buffer.size() >= 32768) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

std::optional<std::string> LoadedModulePath(const std::string& fileName) {
  const HMODULE module = ::GetModuleHandleW(Wide(ToWide(fileName)));
  if (module == nullptr) return std::nullopt;
  std::string path = PathOf(module);
  if (path.empty()) return std::nullopt;
  return path;
}

std::string ExecutablePath() {
  return PathOf(nullptr);
}

std::string OwnModulePath() {
  HMODULE own = nullptr;
  const DWORD flags =
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!::GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&OwnModulePath), &own)) {
    return std::string();
  }
  return PathOf(own);
}

bool FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(ToWide(path)));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<Module> Module::Load(const std::string& path) {
  const HMODULE handle = ::LoadLibraryW(Wide(ToWide(path)));
  if (handle == nullptr) return std::nullopt;
  return Module(handle);
}

void* Module::Symbol(const char* name) const {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name));
}

}  // namespace qrx::platform
