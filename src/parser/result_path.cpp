#include "parser/result_path.h"

#include <algorithm>

#include "parser/safe_file_name.h"
#include "platform/path.h"
#include "platform/text.h"

namespace {

constexpr size_t kMaxNameUnits = 128;

// `folder` (ending with a separator) + the plain form of `name` + `extension`, the name cut so
// that the whole stays below kMaxPathUnits.
std::u16string PathInFolder(std::u16string_view folder, std::u16string_view name,
                            std::u16string_view fallback, std::u16string_view extension) {
  const size_t fixedUnits = folder.size() + extension.size();
  if (folder.empty() || fixedUnits + 1 >= kMaxPathUnits) return {};
  const size_t room = std::min(kMaxNameUnits, kMaxPathUnits - 1 - fixedUnits);
  std::u16string path(folder);
  path += SafeFileName(name, fallback, room);
  path += extension;
  return path.size() < kMaxPathUnits ? path : std::u16string();
}

}  // namespace

std::u16string ResultPathFor(std::u16string_view targetDir, std::u16string_view tableName,
                             std::u16string_view fallback) {
  return PathInFolder(qrx::platform::WithTrailingSeparator(targetDir), tableName, fallback,
                      u".dbf");
}

std::u16string ContainerPathFor(std::u16string_view resultPath, std::string_view storedName,
                                uint32_t key) {
  const std::u16string fallback = ToWide("Object_" + std::to_string(key));
  return PathInFolder(qrx::platform::SplitPath(resultPath).folder, ToWide(storedName), fallback,
                      u"");
}
