#include "platform/text.h"

#include <algorithm>
#include <cstdint>

namespace qrx::platform {

namespace {

// The lone units that stand for bytes FromUtf8 could not decode.
constexpr char16_t kFirstByteEscape = 0xDC80;
constexpr char16_t kLastByteEscape = 0xDCFF;

// The smallest code point each sequence length may carry; anything below is an overlong form.
constexpr uint32_t kSmallestOfLength[] = {0, 0x80, 0x800, 0x10000};

// Hands the UTF-8 bytes of one code point to `put`.
template <typename Put>
void PutUtf8(uint32_t c, Put& put) {
  if (c < 0x80) {
    put(static_cast<char>(c));
  } else if (c < 0x800) {
    put(static_cast<char>(0xC0 | (c >> 6)));
    put(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    put(static_cast<char>(0xE0 | (c >> 12)));
    put(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    put(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    put(static_cast<char>(0xF0 | (c >> 18)));
    put(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    put(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    put(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Hands the UTF-8 bytes of `text` to `put`. `bytesBack`: byte escapes become their bytes again
// rather than U+FFFD.
template <typename Put>
void PutUtf8Of(std::u16string_view text, bool bytesBack, Put put) {
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (bytesBack && c >= kFirstByteEscape && c <= kLastByteEscape) {
      put(static_cast<char>(c - 0xDC00));
      continue;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    PutUtf8(c, put);
  }
}

std::string Utf8Of(std::u16string_view text, bool bytesBack) {
  // Plain ASCII, the common case, is narrowed in one go; the rest goes character by character.
  size_t ascii = 0;
  while (ascii < text.size() && text[ascii] < 0x80) ++ascii;
  std::string out(ascii, '\0');
  std::copy_n(text.begin(), ascii, out.begin());
  if (ascii == text.size()) return out;
  out.reserve(ascii + 3 * (text.size() - ascii));
  PutUtf8Of(text.substr(ascii), bytesBack, [&out](char byte) { out += byte; });
  return out;
}

}  // namespace

std::string ToUtf8(std::u16string_view text) {
  return Utf8Of(text, true);
}

std::string ToValidUtf8(std::u16string_view text) {
  return Utf8Of(text, false);
}

bool ToUtf8Into(std::u16string_view text, std::span<char> buffer) {
  size_t length = 0;
  PutUtf8Of(text, true, [&](char byte) {
    if (length < buffer.size()) buffer[length] = byte;
    ++length;
  });
  if (length >= buffer.size()) return false;
  buffer[length] = '\0';
  return true;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int extra = lead < 0x80         ? 0
                      : (lead >> 5) == 6  ? 1
                      : (lead >> 4) == 14 ? 2
                      : (lead >> 3) == 30 ? 3
                                          : -1;
    uint32_t c = extra == 0   ? lead
                 : extra == 1 ? lead & 0x1F
                 : extra == 2 ? lead & 0x0F
                              : lead & 0x07;
    bool valid = extra >= 0 && i + extra < text.size();
    for (int k = 1; valid && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next >> 6) == 2;
      c = (c << 6) | (next & 0x3F);
    }
    valid = valid && c >= kSmallestOfLength[extra] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    if (!valid) {
      out += static_cast<char16_t>(0xDC00 + lead);
      ++i;
      continue;
    }
    i += extra + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

}  // namespace qrx::platform
