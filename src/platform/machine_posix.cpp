#include <limits.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/machine.h"

namespace qrx::platform {

std::optional<std::string> CurrentDirectory() {
  char buffer[4096];
  if (::getcwd(buffer, sizeof buffer - 1) == nullptr) return std::nullopt;
  return std::string(buffer);
}

// POSIX has neither a system nor a Windows directory; the banner leaves those lines out.
std::optional<std::string> SystemDirectory() {
  return std::nullopt;
}
std::optional<std::string> WindowsDirectory() {
  return std::nullopt;
}

std::optional<std::string> TempDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string path = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
  if (path.back() != '/') path += '/';
  return path;
}

std::optional<std::string> ComputerName() {
  char buffer[HOST_NAME_MAX + 1] = {};
  if (::gethostname(buffer, sizeof buffer - 1) != 0) return std::nullopt;
  return std::string(buffer);
}

}  // namespace qrx::platform
