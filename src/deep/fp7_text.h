// Text as fp7 files store it: every byte XOR 0x5A, and under that the Standard Compression Scheme
// for Unicode (SCSU), whose starting window maps bytes 0x80-0xFF to Latin-1. Decoded once, where
// a value is known to be text, into UTF-16.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace deep {

// SCSU bytes to UTF-16. Never fails: a reserved tag or a truncated sequence ends the text there
// (what was decoded stays) and sets *damaged to true when given (it is left alone otherwise).
std::u16string DecodeScsu(std::span<const uint8_t> bytes, bool* damaged = nullptr);

// A stored fp7 text: every byte XOR 0x5A, then SCSU.
std::u16string DecodeFp7Text(std::span<const uint8_t> stored, bool* damaged = nullptr);

}  // namespace deep
