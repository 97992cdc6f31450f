#include "platform/path.h"
#include "platform/short_name.h"

namespace qrx::platform {

std::u16string ShortPathName(const std::u16string& existingPath) {
  const PathParts parts = SplitPath(existingPath);
  if (FitsShortName(parts.name)) return existingPath;
  return parts.folder + FreeNumberedShortBase(parts.folder, parts.name, {u".dbf"}) +
         parts.extension;
}

}  // namespace qrx::platform
