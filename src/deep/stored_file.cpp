#include "deep/stored_file.h"

#include "dbf/result_file.h"
#include "diag/log.h"
#include "parser/result_path.h"
#include "parser/safe_file_name.h"
#include "platform/file.h"
#include "platform/text.h"

namespace deep {
namespace {

// Room kept below the path limit for a numeric suffix and a temporary name's ending.
constexpr size_t kReservedUnits = 4 + 11;

// "<stem>_<n><extension>" for n of 2 and more.
std::u16string Numbered(const std::u16string& name, unsigned number) {
  if (number < 2) return name;
  const size_t dot = name.rfind(u'.');
  const size_t stemEnd = dot == std::u16string::npos || dot == 0 ? name.size() : dot;
  return name.substr(0, stemEnd) + u'_' + ToWide(std::to_string(number).c_str()) +
         name.substr(stemEnd);
}

}  // namespace

std::u16string WriteStoredFile(const std::u16string& folder, std::u16string_view name,
                               std::span<const uint8_t> bytes) {
  if (folder.size() + kReservedUnits + 1 >= kMaxPathUnits) return {};
  const std::u16string plain =
      SafeFileName(name, u"object", kMaxPathUnits - 1 - kReservedUnits - folder.size());
  std::u16string chosen = plain;
  for (unsigned number = 2; qrx::platform::PathExists(folder + chosen); ++number) {
    chosen = Numbered(plain, number);
  }
  ResultFile file;
  if (file.Create(folder + chosen) && file.Append(bytes.data(), bytes.size()) && file.Commit()) {
    return chosen;
  }
  g_Log.LogFormat("Stored file not written: %s", file.Failure().c_str());
  return {};
}

}  // namespace deep
