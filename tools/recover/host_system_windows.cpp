#include <windows.h>
// After windows.h, which they build on.
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "host_system.h"
#include "platform/text.h"

namespace {

namespace platform = qrx::platform;

void (*volatile g_onInterrupt)() = nullptr;

BOOL WINAPI HandleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // The next Ctrl-C takes the default way out.
  void (*const onInterrupt)() = g_onInterrupt;
  g_onInterrupt = nullptr;
  if (onInterrupt == nullptr) return FALSE;
  onInterrupt();
  return TRUE;
}

std::wstring Wide(const std::string& utf8) {
  const std::u16string text = platform::FromUtf8(utf8);
  return std::wstring(text.begin(), text.end());
}

std::string Utf8(const wchar_t* text) {
  return platform::ToValidUtf8(reinterpret_cast<const char16_t*>(text));
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string SystemMessage(DWORD error) {
  wchar_t* text = nullptr;
  ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = text != nullptr ? Utf8(text) : "error " + std::to_string(error);
  ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return message;
}

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv + 1, argv + argc);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(Utf8(wide[i]));
  ::LocalFree(wide);
  return args;
}

const char kModuleSuffix[] = ".dll";

bool StderrIsTerminal() {
  return ::_isatty(::_fileno(stderr)) != 0;
}

int TerminalWidth() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info)) {
    const int width = info.srWindow.Right - info.srWindow.Left + 1;
    if (width >= 20) return width;
  }
  return 80;
}

void OnFirstInterrupt(void (*onInterrupt)()) {
  g_onInterrupt = onInterrupt;
  ::SetConsoleCtrlHandler(HandleControl, TRUE);
}

std::string ExecutableFolder() {
  wchar_t buffer[32768];
  const DWORD n = ::GetModuleFileNameW(nullptr, buffer, 32768);
  if (n == 0 || n >= 32768) return ".\\";
  const std::string path = Utf8(buffer);
  return path.substr(0, path.find_last_of("\\/") + 1);
}

bool PrepareTargetFolder(const std::string& folder, std::string& error) {
  const std::wstring path = Wide(folder);
  // Every step of the path that is no folder yet is made one; a drive or share stands already.
  for (size_t separator = path.find_first_of(L"\\/", 1);;
       separator = path.find_first_of(L"\\/", separator + 1)) {
    const std::wstring step = path.substr(0, separator);
    if (!step.empty() && !IsFolder(step) && !::CreateDirectoryW(step.c_str(), nullptr) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS) {
      error = "cannot create the target folder " + Utf8(step.c_str()) + ": " +
              SystemMessage(::GetLastError());
      return false;
    }
    if (separator == std::wstring::npos) break;
  }
  if (!IsFolder(path)) {
    error = "the target " + folder + " is not a folder";
    return false;
  }
  return true;
}

void* LoadModuleFunction(const std::string& path, const char* name) {
  const HMODULE module = ::LoadLibraryW(Wide(path).c_str());
  return module != nullptr ? reinterpret_cast<void*>(::GetProcAddress(module, name)) : nullptr;
}
