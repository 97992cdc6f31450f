#include "platform/machine.h"
#include "platform/text.h"
#include "platform/windows_api.h"

namespace qrx::platform {
namespace {

// A directory query that fills a wide buffer and answers with the length (0 on failure), as
// narrow text of the ANSI code page.
template <typename Query>
std::optional<std::string> Asked(Query query) {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = query(buffer, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return std::nullopt;
  return ToNarrow(FromWide(buffer, length));
}

}  // namespace

std::optional<std::string> CurrentDirectory() {
  return Asked([](wchar_t* buffer, DWORD size) { return ::GetCurrentDirectoryW(size, buffer); });
}

std::optional<std::string> SystemDirectory() {
  return Asked([](wchar_t* buffer, DWORD size) { return ::GetSystemDirectoryW(buffer, size); });
}

std::optional<std::string> WindowsDirectory() {
  return Asked([](wchar_t* buffer, DWORD size) { return ::GetWindowsDirectoryW(buffer, size); });
}

std::optional<std::string> TempDirectory() {
  return Asked([](wchar_t* buffer, DWORD size) { return ::GetTempPathW(size, buffer); });
}

std::optional<std::string> ComputerName() {
  return Asked(
      [](wchar_t* buffer, DWORD size) { return ::GetComputerNameW(buffer, &size) ? size : 0; });
}

}  // namespace qrx::platform
