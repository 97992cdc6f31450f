#include <windows.h>
// After windows.h, which they build on.
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cctype>
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

// The system's text for an error, as part of a sentence ("the system cannot find the file
// specified").
std::string Reason(DWORD error) {
  std::string text = SystemMessage(error);
  while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

// The folder that holds `path`, or "." for a bare name.
std::wstring FolderOf(const std::wstring& path) {
  const size_t separator = path.find_last_of(L"\\/", path.find_last_not_of(L"\\/"));
  if (separator == std::wstring::npos) return L".";
  // A drive's root keeps its separator ("C:\\").
  return path.substr(0, separator == 0 || path[separator - 1] == L':' ? separator + 1 : separator);
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
const char16_t kPathSeparators[] = u"\\/";

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

std::string ModuleFolderOf(const void* function) {
  HMODULE module = nullptr;
  wchar_t buffer[32768];
  if (!::GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<const wchar_t*>(function), &module)) {
    return ".\\";
  }
  const DWORD n = ::GetModuleFileNameW(module, buffer, 32768);
  if (n == 0 || n >= 32768) return ".\\";
  const std::string path = Utf8(buffer);
  return path.substr(0, path.find_last_of("\\/") + 1);
}

void* LoadModuleFunction(const std::string& path, const char* name) {
  const HMODULE module = ::LoadLibraryW(Wide(path).c_str());
  return module != nullptr ? reinterpret_cast<void*>(::GetProcAddress(module, name)) : nullptr;
}

std::string WhySourceCannotBeRead(const std::string& path) {
  const std::wstring wide = Wide(path);
  if (IsFolder(wide)) return "it is a folder, not a database file";
  const HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Reason(::GetLastError());
  char byte = 0;
  DWORD got = 0;
  const bool read = ::ReadFile(file, &byte, 1, &got, nullptr) != 0;
  const DWORD error = ::GetLastError();
  ::CloseHandle(file);
  return read ? std::string() : Reason(error);
}

std::string WhyLogCannotBeWritten(const std::string& path) {
  const std::wstring wide = Wide(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return Reason(error);
    const std::wstring folder = FolderOf(wide);
    return IsFolder(folder) ? std::string() : Utf8(folder.c_str()) + " is not a folder";
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "it is a folder";
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return "the file is read-only";
  return {};
}

std::string WhyTargetCannotBeUsed(const std::string& folder) {
  const std::wstring wide = Wide(folder);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? std::string()
                                                        : "it is a file, not a folder";
  }
  const DWORD error = ::GetLastError();
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return Reason(error);
  // The library makes the target folder itself, once the source has been read, but not the
  // folders above it.
  const std::wstring parent = FolderOf(wide);
  const DWORD above = ::GetFileAttributesW(parent.c_str());
  const std::string shown = Utf8(parent.c_str());
  if (above == INVALID_FILE_ATTRIBUTES) {
    return "the folder " + shown + " above it does not exist; create it first";
  }
  if ((above & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return shown + " is a file, so no folder can be made in it";
  }
  return {};
}

std::string MakeFolder(const std::string& folder) {
  if (::CreateDirectoryW(Wide(folder).c_str(), nullptr) != 0) return {};
  const DWORD error = ::GetLastError();
  return error == ERROR_ALREADY_EXISTS ? std::string() : Reason(error);
}

std::vector<FolderEntry> ListFolder(const std::string& folder) {
  std::vector<FolderEntry> entries;
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW((Wide(folder) + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::string name = Utf8(found.cFileName);
    if (name == "." || name == "..") continue;
    // Windows has no inode number to hand here: a file replaced under its name shows by its
    // creation time (set anew when a file is created) and its last write.
    const auto time = [](const FILETIME& t) {
      return static_cast<int64_t>((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime);
    };
    entries.push_back({name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0,
                       static_cast<uint64_t>(time(found.ftCreationTime)),
                       (uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow,
                       time(found.ftLastWriteTime) * 100});
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return entries;
}
