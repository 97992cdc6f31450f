// Text as fp5 files store it: MacRoman, one byte a character. Bytes below 0x80 are ASCII (a line
// break is CR and stays CR); the upper half follows Apple's mapping of the Roman character set
// to Unicode (0xDB is the euro sign, 0xF0 the Apple logo in the private use area). Decoded once,
// where a value is known to be text, into UTF-16.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace deep {

std::u16string DecodeMacRoman(std::span<const uint8_t> bytes);

}  // namespace deep
