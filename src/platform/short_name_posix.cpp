#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/file.h"
#include "platform/path.h"
#include "platform/short_name.h"

namespace qrx::platform {
namespace {

constexpr size_t kShortNameLength = 8;
constexpr std::u16string_view kTableExtension = u".dbf";
// Stands in for a name of which not a single character may appear in a short name.
constexpr std::u16string_view kStemWithoutAllowedCharacters = u"TABLE";

bool IsAllowedInShortName(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')) {
    return true;
  }
  return std::u16string_view(u"!#$%&'()-@^_`{}~").find(c) != std::u16string_view::npos;
}

char16_t ToUpperAscii(char16_t c) {
  return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool EqualIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char16_t x, char16_t y) { return ToUpperAscii(x) == ToUpperAscii(y); });
}

bool FitsShortName(std::u16string_view name) {
  return !name.empty() && name.size() <= kShortNameLength &&
         std::all_of(name.begin(), name.end(), IsAllowedInShortName);
}

// The allowed characters of the name in upper case.
std::u16string ShortNameStem(std::u16string_view name) {
  std::u16string stem;
  for (char16_t c : name) {
    if (IsAllowedInShortName(c)) stem += ToUpperAscii(c);
  }
  return stem.empty() ? std::u16string(kStemWithoutAllowedCharacters) : stem;
}

std::u16string NumberedShortName(const std::u16string& stem, unsigned number) {
  std::u16string suffix;
  for (unsigned rest = number; rest != 0; rest /= 10) {
    suffix.insert(suffix.begin(), static_cast<char16_t>(u'0' + rest % 10));
  }
  suffix.insert(suffix.begin(), u'~');
  const size_t stemLength = kShortNameLength - std::min(suffix.size(), kShortNameLength);
  return stem.substr(0, stemLength) + suffix;
}

bool IsTableNameTaken(const std::vector<std::u16string>& entries, const std::u16string& name) {
  const std::u16string fileName = name + std::u16string(kTableExtension);
  return std::any_of(entries.begin(), entries.end(), [&](const std::u16string& entry) {
    return EqualIgnoringAsciiCase(entry, fileName);
  });
}

}  // namespace

std::u16string ShortPathName(const std::u16string& existingPath) {
  const PathParts parts = SplitPath(existingPath);
  if (FitsShortName(parts.name)) return existingPath;

  const std::u16string stem = ShortNameStem(parts.name);
  const std::vector<std::u16string> entries =
      ListDirectory(parts.folder.empty() ? std::u16string(u".") : parts.folder);
  // Each number gives another name, so a free one turns up within entries.size() + 1 tries.
  unsigned number = 1;
  while (IsTableNameTaken(entries, NumberedShortName(stem, number))) ++number;
  return parts.folder + NumberedShortName(stem, number) + parts.extension;
}

}  // namespace qrx::platform
