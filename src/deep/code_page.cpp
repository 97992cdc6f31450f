#include "deep/code_page.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "dbf/dbf_layout.h"

namespace deep {
namespace {

constexpr char kReplacement = '?';

// The characters of Windows-1252 bytes 0x80 to 0x9F; 0 where the byte has none.
constexpr char16_t kHighControlRow[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// Copies the leading plain ASCII of `text` to `to` a block at a time, checked four units at a
// time in 64-bit words and narrowed from a local copy (a loop the compiler turns into vector
// instructions); returns how many units it copied.
size_t CopyAsciiBlocks(std::u16string_view text, char* to) {
  constexpr size_t kBlock = 16;
  constexpr uint64_t kAboveAscii = 0xFF80FF80FF80FF80u;
  size_t done = 0;
  while (text.size() - done >= kBlock) {
    char16_t block[kBlock];
    std::memcpy(block, text.data() + done, sizeof block);
    for (size_t quarter = 0; quarter < kBlock; quarter += 4) {
      uint64_t word;
      std::memcpy(&word, block + quarter, 8);
      if ((word & kAboveAscii) != 0) return done;
    }
    char bytes[kBlock];
    for (size_t k = 0; k < kBlock; ++k) bytes[k] = static_cast<char>(block[k]);
    std::memcpy(to + done, bytes, kBlock);
    done += kBlock;
  }
  return done;
}

uint32_t AppendWindows1252(std::u16string_view text, std::string& out) {
  uint32_t notEncoded = 0;
  // Every unit gives at most one byte: the room is made once, and what is not used goes again.
  const size_t start = out.size();
  out.resize(start + text.size());
  char* to = out.data() + start;
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t plain = CopyAsciiBlocks(text.substr(i), to);
    to += plain;
    i += plain;
    if (i == text.size()) break;
    const char16_t c = text[i];
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      *to++ = static_cast<char>(c);
      continue;
    }
    const auto* found = std::find(std::begin(kHighControlRow), std::end(kHighControlRow), c);
    if (found != std::end(kHighControlRow)) {
      *to++ = static_cast<char>(0x80 + (found - std::begin(kHighControlRow)));
      continue;
    }
    // A character outside the code page; a surrogate pair is one character.
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) ++i;
    *to++ = kReplacement;
    ++notEncoded;
  }
  out.resize(static_cast<size_t>(to - out.data()));
  return notEncoded;
}

uint32_t AppendUtf8(std::u16string_view text, std::string& out) {
  uint32_t notEncoded = 0;
  // A unit gives at most three bytes (a surrogate pair four for its two): the room is made once.
  const size_t start = out.size();
  out.resize(start + 3 * text.size());
  char* to = out.data() + start;
  const auto put = [&to](uint32_t byte) { *to++ = static_cast<char>(byte); };
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t plain = CopyAsciiBlocks(text.substr(i), to);
    to += plain;
    i += plain;
    if (i == text.size()) break;
    uint32_t code = text[i];
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
      put(kReplacement);
      ++notEncoded;
      continue;
    }
    if (code < 0x80) {
      put(code);
    } else if (code < 0x800) {
      put(0xC0 | code >> 6);
      put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      put(0xE0 | code >> 12);
      put(0x80 | (code >> 6 & 0x3F));
      put(0x80 | (code & 0x3F));
    } else {
      put(0xF0 | code >> 18);
      put(0x80 | (code >> 12 & 0x3F));
      put(0x80 | (code >> 6 & 0x3F));
      put(0x80 | (code & 0x3F));
    }
  }
  out.resize(static_cast<size_t>(to - out.data()));
  return notEncoded;
}

}  // namespace

uint32_t AppendEncoded(std::u16string_view text, OutputEncoding encoding, std::string& out) {
  return encoding == OutputEncoding::kUtf8 ? AppendUtf8(text, out) : AppendWindows1252(text, out);
}

uint8_t LanguageDriver(OutputEncoding encoding) {
  return encoding == OutputEncoding::kUtf8 ? 0 : dbf_layout::kLanguageWindows1252;
}

// "1252" rather than "ANSI 1252": a bare code page number is what GIS readers map to CP1252.
std::string_view CodePageFileText(OutputEncoding encoding) {
  return encoding == OutputEncoding::kUtf8 ? "UTF-8" : "1252";
}

}  // namespace deep
