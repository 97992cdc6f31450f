// The system's ANSI code page (CP_ACP), one unit for one byte either way.
#include "platform/text.h"
#include "platform/windows_api.h"

std::string ToNarrow(std::u16string_view text) {
  // Unit by unit, so that a character the code page lacks, or writes with two bytes, becomes '?'
  // on its own; no best-fit look-alikes (a full-width solidus is no separator).
  std::string out(text.size(), '?');
  for (size_t i = 0; i < text.size(); ++i) {
    const auto unit = static_cast<wchar_t>(text[i]);
    char bytes[4];
    BOOL lacking = FALSE;
    const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &unit, 1, bytes, sizeof bytes,
                                        nullptr, &lacking);
    if (n == 1 && !lacking) out[i] = bytes[0];
  }
  return out;
}

std::u16string ToWide(std::string_view text) {
  // Byte by byte; a lead byte of a two-byte code page means nothing alone and becomes '?'.
  std::u16string out(text.size(), u'?');
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t unit = 0;
    if (::MultiByteToWideChar(CP_ACP, 0, &text[i], 1, &unit, 1) == 1) out[i] = unit;
  }
  return out;
}
