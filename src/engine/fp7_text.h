// Text bytes of fp7 values are stored encoded. The text map turns one stored byte into one output
// byte: letters and digits come out as plain ASCII, stored bytes from 0x80 up as single-byte DOS
// (OEM) code page characters.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

using Fp7TextMap = std::array<uint8_t, 256>;

// The map the database program's own texts need.
extern const Fp7TextMap kFp7OemTextMap;

inline uint8_t DecodeChar(const Fp7TextMap& map, uint8_t stored) {
  return map[stored];
}
inline uint8_t DecodeChar(uint8_t stored) {
  return kFp7OemTextMap[stored];
}

// Maps `length` bytes of `buffer` in place; nothing for a null buffer.
void DecodeText(const Fp7TextMap& map, uint8_t* buffer, size_t length);
