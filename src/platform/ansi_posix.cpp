// The ANSI code page where the system has none of its own: Windows-1252, that of Western European
// Windows systems.
#include <array>

#include "platform/text.h"

namespace qrx::platform {
namespace {

// Windows-1252 bytes 0x80 to 0x9F; the five bytes the code page leaves undefined keep their own
// value, as the Windows conversion does.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char ToAnsiByte(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace
}  // namespace qrx::platform

std::string ToNarrow(std::u16string_view text) {
  std::string out(text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i) out[i] = qrx::platform::ToAnsiByte(text[i]);
  return out;
}

std::u16string ToWide(std::string_view text) {
  std::u16string out(text.size(), u'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    out[i] = (b >= 0x80 && b < 0xA0) ? qrx::platform::kHighControls[b - 0x80] : char16_t{b};
  }
  return out;
}
