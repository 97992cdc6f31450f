#include "deep/field_names.h"

#include <set>
#include <string_view>

#include "dbf/dbf_layout.h"

namespace deep {
namespace {

constexpr size_t kMaxLength = dbf_layout::kFieldNameLength;

// The unaccented form of the Latin-1 letters U+00C0 to U+00FF; '_' where there is none.
constexpr std::string_view kLatin1Letters =
    "AAAAAAACEEEEIIII"
    "DNOOOOO_OUUUUYTs"
    "aaaaaaaceeeeiiii"
    "dnooooo_ouuuuyty";

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsNameCharacter(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
         c == u'_';
}

std::string Folded(char16_t c) {
  if (IsNameCharacter(c)) return std::string(1, static_cast<char>(c));
  if (c == 0xDF) return "ss";
  if (c >= 0xC0 && c <= 0xFF) return std::string(1, kLatin1Letters[c - 0xC0]);
  return "_";
}

// The column name in field-name characters, at any length.
std::string Plain(std::u16string_view name, size_t columnNumber) {
  std::string plain;
  for (const char16_t c : name) {
    for (const char f : Folded(c)) {
      if (f != '_' || (!plain.empty() && plain.back() != '_')) plain += f;
    }
  }
  while (!plain.empty() && plain.back() == '_') plain.pop_back();
  if (plain.empty()) return "Field_" + std::to_string(columnNumber);
  if (!IsAsciiLetter(plain.front())) plain.insert(plain.begin(), 'F');
  return plain;
}

std::string Upper(std::string name) {
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return name;
}

std::string CutTo(std::string name, size_t length) {
  name.resize(std::min(name.size(), length));
  while (name.size() > 1 && name.back() == '_') name.pop_back();
  return name;
}

}  // namespace

std::vector<std::string> DbfFieldNames(const std::vector<std::u16string>& columnNames) {
  std::vector<std::string> plain;
  for (size_t i = 0; i < columnNames.size(); ++i) plain.push_back(Plain(columnNames[i], i + 1));

  std::vector<std::string> names(columnNames.size());
  std::set<std::string> taken;  // in upper case
  // Names that fit keep them, first come first served.
  for (size_t i = 0; i < plain.size(); ++i) {
    if (plain[i].size() <= kMaxLength && taken.insert(Upper(plain[i])).second) names[i] = plain[i];
  }
  for (size_t i = 0; i < plain.size(); ++i) {
    if (!names[i].empty()) continue;
    std::string candidate = CutTo(plain[i], kMaxLength);
    for (unsigned n = 1; !taken.insert(Upper(candidate)).second; ++n) {
      std::string suffix = "_";
      suffix += std::to_string(n);
      candidate = CutTo(plain[i], kMaxLength - suffix.size()) + suffix;
    }
    names[i] = candidate;
  }
  return names;
}

}  // namespace deep
