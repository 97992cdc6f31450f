// Reasons that name a byte ("unknown opcode 0x7A"), one per byte value, built at compile time so
// that a decoder can hand out a lasting text for any byte it stops at.
#pragma once

#include <array>
#include <cstddef>

namespace deep {

using ByteReason = std::array<char, 32>;

// `text` followed by each byte value in two hex digits; `text` takes at most 29 characters.
template <size_t N>
constexpr std::array<ByteReason, 256> ByteReasons(const char (&text)[N]) {
  static_assert(N + 2 <= sizeof(ByteReason), "the text and two digits must fit");
  std::array<ByteReason, 256> texts{};
  constexpr char kHex[] = "0123456789ABCDEF";
  for (size_t byte = 0; byte < 256; ++byte) {
    size_t i = 0;
    for (; i + 1 < N; ++i) texts[byte][i] = text[i];
    texts[byte][i++] = kHex[byte >> 4];
    texts[byte][i++] = kHex[byte & 15];
    texts[byte][i] = 0;
  }
  return texts;
}

}  // namespace deep
