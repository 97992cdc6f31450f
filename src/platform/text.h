// Text forms at the operating system's edge: UTF-16 inside the library, UTF-8 for POSIX calls,
// and the one-byte "ANSI" code page (Windows-1252) of the log and of narrow texts.
#pragma once

#include <string>
#include <string_view>

namespace qrx::platform {

// UTF-16 to UTF-8, for handing paths to the operating system. Unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);
// UTF-8 to UTF-16, for paths the operating system hands back. Invalid bytes become U+FFFD.
std::u16string FromUtf8(std::string_view text);

}  // namespace qrx::platform

// One byte per character in the system ANSI code page; a character that code page lacks becomes
// '?'. The result has exactly as many bytes as the input has units.
std::string ToNarrow(std::u16string_view text);
// One UTF-16 unit per byte of the system ANSI code page.
std::u16string ToWide(std::string_view text);
