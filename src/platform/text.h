// Text forms at the operating system's edge: UTF-16 inside the library, UTF-8 for POSIX calls,
// and the one-byte "ANSI" code page of the log and of narrow texts (the system's on Windows,
// Windows-1252 elsewhere).
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace qrx::platform {

// UTF-8 to UTF-16, for paths the operating system or a command line hands over. A POSIX file name
// is any string of bytes: each byte that does not belong to a well-formed UTF-8 sequence (overlong
// forms and encoded surrogates included) becomes the lone unit U+DC00 + byte (U+DC80 to U+DCFF),
// so that ToUtf8 gives back the very bytes and such a file can still be opened.
std::u16string FromUtf8(std::string_view text);
// UTF-16 to UTF-8, for handing paths to the operating system: a lone U+DC80 to U+DCFF becomes the
// byte FromUtf8 took it from, any other unpaired surrogate U+FFFD.
std::string ToUtf8(std::u16string_view text);
// ToUtf8 into `buffer` with a terminating zero, taking no memory (for removing a file where memory
// has run out); false when it does not fit.
bool ToUtf8Into(std::u16string_view text, std::span<char> buffer);
// UTF-16 to well-formed UTF-8, for text shown to a person: every unpaired surrogate becomes U+FFFD.
std::string ToValidUtf8(std::u16string_view text);

}  // namespace qrx::platform

// One byte per character in the system ANSI code page; a character that code page lacks becomes
// '?'. The result has exactly as many bytes as the input has units.
std::string ToNarrow(std::u16string_view text);
// One UTF-16 unit per byte of the system ANSI code page.
std::u16string ToWide(std::string_view text);
