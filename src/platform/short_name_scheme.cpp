// Numbered short names (STEM~N), made up where the system gives no short name of its own or where
// the one it gives is taken by a file of another extension.
#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/file.h"
#include "platform/short_name.h"

namespace qrx::platform {
namespace {

constexpr size_t kShortNameLength = 8;
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

bool IsTaken(const std::vector<std::u16string>& entries, std::u16string_view base,
             std::initializer_list<std::u16string_view> extensions) {
  return std::any_of(extensions.begin(), extensions.end(), [&](std::u16string_view extension) {
    const std::u16string fileName = std::u16string(base) + std::u16string(extension);
    return std::any_of(entries.begin(), entries.end(), [&](const std::u16string& entry) {
      return EqualIgnoringAsciiCase(entry, fileName);
    });
  });
}

std::vector<std::u16string> EntriesOf(const std::u16string& folder) {
  return ListDirectory(folder.empty() ? std::u16string(u".") : folder);
}

}  // namespace

bool FitsShortName(std::u16string_view name) {
  return !name.empty() && name.size() <= kShortNameLength &&
         std::all_of(name.begin(), name.end(), IsAllowedInShortName);
}

bool IsShortBaseFree(const std::u16string& folder, std::u16string_view base,
                     std::initializer_list<std::u16string_view> extensions) {
  return !IsTaken(EntriesOf(folder), base, extensions);
}

std::u16string FreeNumberedShortBase(const std::u16string& folder, std::u16string_view name,
                                     std::initializer_list<std::u16string_view> extensions) {
  const std::u16string stem = ShortNameStem(name);
  const std::vector<std::u16string> entries = EntriesOf(folder);
  // Each number gives another name, so a free one turns up within entries.size() + 1 tries.
  unsigned number = 1;
  while (IsTaken(entries, NumberedShortName(stem, number), extensions)) ++number;
  return NumberedShortName(stem, number);
}

}  // namespace qrx::platform
