#include "parser/safe_file_name.h"

#include <algorithm>
#include <array>

namespace {

bool IsRefused(char16_t c) {
  static constexpr std::u16string_view kRefused = u"<>:\"/\\|?*";
  return c < 0x20 || c == 0x7F || kRefused.find(c) != std::u16string_view::npos;
}

std::u16string Upper(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return out;
}

// Names that Windows maps to devices whatever their extension.
bool IsDeviceName(std::u16string_view name) {
  static constexpr std::array<std::u16string_view, 6> kDevices = {u"CON", u"PRN",    u"AUX",
                                                                  u"NUL", u"CONIN$", u"CONOUT$"};
  const std::u16string stem = Upper(name.substr(0, name.find(u'.')));
  if (std::find(kDevices.begin(), kDevices.end(), stem) != kDevices.end()) return true;
  return stem.size() == 4 && (stem.starts_with(u"COM") || stem.starts_with(u"LPT")) &&
         stem[3] >= u'1' && stem[3] <= u'9';
}

}  // namespace

std::u16string SafeFileName(std::u16string_view name, std::u16string_view fallback,
                            size_t maxUnits) {
  const size_t lastSeparator = name.find_last_of(u"/\\");
  if (lastSeparator != std::u16string_view::npos) name.remove_prefix(lastSeparator + 1);

  std::u16string plain;
  for (const char16_t c : name) {
    if (!IsRefused(c)) plain += c;
  }
  const size_t first = plain.find_first_not_of(u' ');
  const size_t last = plain.find_last_not_of(u" .");
  plain = first == std::u16string::npos || last == std::u16string::npos || last < first
              ? std::u16string()
              : plain.substr(first, last - first + 1);
  if (plain.empty()) return std::u16string(fallback);
  // Device names, and names that would make a hidden file or a dotfile, get a visible '_' first.
  if (IsDeviceName(plain) || plain.front() == u'.') plain.insert(plain.begin(), u'_');

  if (plain.size() > maxUnits) {
    const size_t dot = plain.rfind(u'.');
    const size_t extension = dot == std::u16string::npos ? 0 : plain.size() - dot;
    if (extension > 0 && extension < maxUnits / 2) {
      plain = plain.substr(0, maxUnits - extension) + plain.substr(dot);
    } else {
      plain.resize(maxUnits);
    }
  }
  return plain;
}
