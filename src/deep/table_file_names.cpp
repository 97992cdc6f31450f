#include "deep/table_file_names.h"

#include <algorithm>
#include <set>

#include "parser/result_path.h"
#include "parser/safe_file_name.h"
#include "platform/file.h"
#include "platform/text.h"

namespace deep {
namespace {

constexpr size_t kMaxBaseUnits = 128;
// Room kept for a numeric suffix ("_123"), the longest extension (".qrx-spool") and a temporary
// name's ending (".partial100").
constexpr size_t kReservedUnits = 4 + 10 + 11;

std::u16string Upper(std::u16string_view text) {
  std::u16string upper(text);
  for (char16_t& c : upper) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return upper;
}

}  // namespace

std::u16string TableBaseName(const std::u16string& folder, std::u16string_view tableName) {
  if (folder.size() + kReservedUnits + 1 >= kMaxPathUnits) return {};
  const size_t room = std::min(kMaxBaseUnits, kMaxPathUnits - 1 - kReservedUnits - folder.size());
  return SafeFileName(tableName, u"Table", room);
}

std::u16string FreeTableBase(const std::u16string& folder, const std::u16string& base,
                             std::initializer_list<std::u16string_view> extensions) {
  std::set<std::u16string> entries;
  for (const std::u16string& entry : qrx::platform::ListDirectory(folder)) {
    entries.insert(Upper(entry));
  }
  const auto isFree = [&](const std::u16string& name) {
    const std::u16string upper = Upper(name);
    return std::none_of(extensions.begin(), extensions.end(),
                        [&](std::u16string_view ext) { return entries.count(upper + ext.data()); });
  };
  // Each number gives another name, so a free one turns up within entries.size() + 2 tries.
  std::u16string name = base;
  for (unsigned number = 2; !isFree(name); ++number) {
    name = base;
    name += u'_';
    name += ToWide(std::to_string(number));
  }
  return name;
}

std::u16string SourceStem(std::u16string_view sourcePath) {
  const size_t slash = sourcePath.find_last_of(u"/\\:");
  std::u16string name(slash == std::u16string_view::npos ? sourcePath
                                                         : sourcePath.substr(slash + 1));
  const size_t dot = name.find_last_of(u'.');
  if (dot != std::u16string::npos && dot != 0) name.erase(dot);
  return name.empty() ? std::u16string(u"Table") : name;
}

}  // namespace deep
