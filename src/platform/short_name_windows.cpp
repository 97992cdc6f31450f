#include <vector>

#include "platform/path.h"
#include "platform/short_name.h"
#include "platform/windows_api.h"

namespace qrx::platform {
namespace {

// The file name of the short form the file system holds for the path; empty when it gives none.
std::u16string SystemShortFileName(const std::u16string& existingPath) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = ::GetShortPathNameW(Wide(existingPath), buffer.data(), size);
    if (length == 0) return std::u16string();
    if (length < size) return SplitPath(FromWide(buffer.data(), length)).name;
    buffer.resize(length + 1);
  }
}

}  // namespace

// The folder comes back as given (a short form of it would only make the log harder to read);
// the base name is the one the file system gave the file. A volume without short names hands the
// long name back, and then the numbered scheme makes one up.
std::u16string ShortPathName(const std::u16string& existingPath) {
  const PathParts parts = SplitPath(existingPath);
  if (FitsShortName(parts.name)) return existingPath;
  const std::u16string systemName = SystemShortFileName(existingPath);
  if (FitsShortName(systemName)) return parts.folder + systemName + parts.extension;
  return parts.folder + FreeNumberedShortBase(parts.folder, parts.name, {u".dbf"}) +
         parts.extension;
}

}  // namespace qrx::platform
