#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <utility>

#include "platform/file.h"
#include "platform/windows_api.h"

namespace qrx::platform {
namespace {

HANDLE HandleOf(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// The largest piece one ReadFile or WriteFile call is given.
constexpr size_t kLargestPiece = 1u << 30;

}  // namespace

File File::OpenForRead(const std::u16string& path) {
  // Others may read the source while it is recovered, but not change it. A folder does not open.
  const HANDLE handle = ::CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return File();
  return File(reinterpret_cast<intptr_t>(handle), false);
}

File File::Create(const std::u16string& path, Disposition disposition) {
  // CREATE_NEW fails on any entry at the path, a link included, so the file is one of its own.
  // The log (opened, not created new) may be appended to by another writer at the same time.
  const DWORD creation = disposition == Disposition::kCreateNew      ? CREATE_NEW
                         : disposition == Disposition::kCreateAlways ? CREATE_ALWAYS
                                                                     : OPEN_ALWAYS;
  const DWORD share = disposition == Disposition::kOpenAlways ? FILE_SHARE_READ | FILE_SHARE_WRITE
                                                              : FILE_SHARE_READ;
  const HANDLE handle = ::CreateFileW(Wide(path), GENERIC_WRITE, share, nullptr, creation,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return File();
  return File(reinterpret_cast<intptr_t>(handle), disposition == Disposition::kCreateNew);
}

void File::SetDiskFullError() {
  ::SetLastError(ERROR_DISK_FULL);
}

uint64_t File::Size() const {
  LARGE_INTEGER size{};
  if (!IsOpen() || !::GetFileSizeEx(HandleOf(handle_), &size) || size.QuadPart < 0) return 0;
  return static_cast<uint64_t>(size.QuadPart);
}

bool File::Seek(uint64_t offset) {
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(offset);
  return IsOpen() && offset <= static_cast<uint64_t>(std::numeric_limits<LONGLONG>::max()) &&
         ::SetFilePointerEx(HandleOf(handle_), position, nullptr, FILE_BEGIN);
}

bool File::SeekToEnd() {
  return IsOpen() && ::SetFilePointerEx(HandleOf(handle_), LARGE_INTEGER{}, nullptr, FILE_END);
}

size_t File::Read(void* buffer, size_t count) {
  size_t done = 0;
  while (IsOpen() && done < count) {
    DWORD n = 0;
    const auto piece = static_cast<DWORD>(std::min(count - done, kLargestPiece));
    if (!::ReadFile(HandleOf(handle_), static_cast<char*>(buffer) + done, piece, &n, nullptr) ||
        n == 0) {
      break;
    }
    done += n;
  }
  return done;
}

namespace {

bool WriteAll(HANDLE handle, const char* bytes, size_t count) {
  size_t done = 0;
  while (done < count) {
    DWORD n = 0;
    const auto piece = static_cast<DWORD>(std::min(count - done, kLargestPiece));
    if (!::WriteFile(handle, bytes + done, piece, &n, nullptr) || n == 0) return false;
    done += n;
  }
  return true;
}

}  // namespace

bool File::Write(const void* buffer, size_t count) {
  return IsOpen() && WriteMayProceed() &&
         WriteAll(HandleOf(handle_), static_cast<const char*>(buffer), count);
}

bool File::WriteGather(std::initializer_list<std::string_view> pieces) {
  // Windows gathers writes only for unbuffered files: the pieces go one after the other, and the
  // log's own lock keeps the threads of this process from splitting them.
  if (!IsOpen() || !WriteMayProceed()) return false;
  return std::all_of(pieces.begin(), pieces.end(), [this](std::string_view piece) {
    return WriteAll(HandleOf(handle_), piece.data(), piece.size());
  });
}

bool File::Close() {
  if (!IsOpen()) return true;
  return ::CloseHandle(HandleOf(std::exchange(handle_, kNoHandle))) != 0;
}

uint32_t LastError() {
  return ::GetLastError();
}

std::string ErrorText(uint32_t error) {
  char buffer[256] = {};
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD length = ::FormatMessageA(flags, nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT),
                                  buffer, sizeof buffer, nullptr);
  if (length == 0) {
    length = ::FormatMessageA(flags, nullptr, error, 0, buffer, sizeof buffer, nullptr);
  }
  std::string text(buffer, length);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text.empty() ? "error " + std::to_string(error) : text;
}

bool DeleteFile(const std::u16string& path) {
  return ::DeleteFileW(Wide(path)) != 0;
}

bool CreateDirectory(const std::u16string& path) {
  return ::CreateDirectoryW(Wide(path), nullptr) != 0 ||
         (::GetLastError() == ERROR_ALREADY_EXISTS && IsDirectory(path));
}

bool IsDirectory(const std::u16string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const std::u16string& path) {
  return ::GetFileAttributesW(Wide(path)) != INVALID_FILE_ATTRIBUTES;
}

bool RenameNoReplace(const std::u16string& from, const std::u16string& to) {
  // Without MOVEFILE_REPLACE_EXISTING the move fails where anything stands at `to`.
  return ::MoveFileExW(Wide(from), Wide(to), 0) != 0;
}

std::vector<std::u16string> ListDirectory(const std::u16string& path) {
  std::vector<std::u16string> names;
  std::u16string pattern = path;
  if (!pattern.empty() && pattern.back() != u'\\' && pattern.back() != u'/') pattern += u'\\';
  pattern += u'*';
  WIN32_FIND_DATAW entry{};
  const HANDLE search =
      ::FindFirstFileExW(Wide(pattern), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return names;
  // Closed also when memory runs out while the names are gathered.
  const std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)> closer(search, ::FindClose);
  do {
    const std::u16string name = FromWide(entry.cFileName, ::wcslen(entry.cFileName));
    if (name != u"." && name != u"..") names.push_back(name);
  } while (::FindNextFileW(search, &entry));
  return names;
}

}  // namespace qrx::platform
