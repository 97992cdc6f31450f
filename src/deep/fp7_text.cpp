#include "deep/fp7_text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace deep {
namespace {

constexpr uint8_t kStoredTextMask = 0x5A;

// Fixed windows, reached by the quote tags with a byte below 0x80.
constexpr std::array<uint32_t, 8> kStaticWindows = {0x0000, 0x0080, 0x0100, 0x0300,
                                                    0x2000, 0x2080, 0x2100, 0x3000};
// Where the eight movable windows start before any tag moves them.
constexpr std::array<uint32_t, 8> kInitialWindows = {0x0080, 0x00C0, 0x0400, 0x0600,
                                                     0x0900, 0x3040, 0x30A0, 0xFF00};

// Offset of a window defined by one byte (SDn, UDn); nothing for the reserved bytes.
std::optional<uint32_t> WindowOffset(uint8_t x) {
  if (x >= 0x01 && x <= 0x67) return x * 0x80u;
  if (x >= 0x68 && x <= 0xA7) return x * 0x80u + 0xAC00u;
  switch (x) {
    case 0xF9:
      return 0x00C0;
    case 0xFA:
      return 0x0250;
    case 0xFB:
      return 0x0370;
    case 0xFC:
      return 0x0530;
    case 0xFD:
      return 0x3040;
    case 0xFE:
      return 0x30A0;
    case 0xFF:
      return 0xFF60;
    default:
      return std::nullopt;
  }
}

class ScsuDecoder {
 public:
  // Appends to `text`. The room is kept at one unit for every byte still to be read, so units
  // are stored without a check: only a supplementary character from one window byte takes more,
  // and Emit makes room for it.
  ScsuDecoder(std::span<const uint8_t> bytes, uint8_t mask, std::u16string& text)
      : bytes_(bytes), mask_(mask), text_(text) {
    const size_t start = text_.size();
    text_.resize(start + bytes.size());
    out_ = text_.data() + start;
  }
  ScsuDecoder(const ScsuDecoder&) = delete;
  ScsuDecoder& operator=(const ScsuDecoder&) = delete;
  // The room not used goes again.
  ~ScsuDecoder() { text_.resize(static_cast<size_t>(out_ - text_.data())); }

  // Decodes to the end or to the first reserved tag or cut sequence; false in that case.
  bool Run() {
    while (at_ < bytes_.size()) {
      if (!unicodeMode_ && CopyRun()) continue;
      if (!(unicodeMode_ ? UnicodeStep() : SingleByteStep())) return false;
    }
    return true;
  }

 private:
  // Single-byte mode: the run of printable ASCII and of bytes of the active window from here on,
  // the bulk of most texts, without a tag between. False when there is none.
  bool CopyRun() {
    const size_t from = at_;
    CopyAsciiBlocks();
    const uint32_t window = windows_[active_];
    // A window reaching past U+FFFF gives two units per byte; SingleByteStep emits those.
    const uint8_t highest = window <= 0xFFFFu - 0x7Fu ? 0xFF : 0x7F;
    for (; at_ < bytes_.size(); ++at_) {
      const uint8_t b = bytes_[at_] ^ mask_;
      if (b < 0x20 || b > highest) break;
      *out_++ = static_cast<char16_t>(b < 0x80 ? b : window + (b - 0x80u));
    }
    return at_ != from;
  }

  // Blocks of printable ASCII, checked eight bytes at a time in 64-bit words and widened from a
  // local copy (a loop the compiler turns into vector instructions).
  void CopyAsciiBlocks() {
    constexpr size_t kBlock = 16;
    constexpr uint64_t kEveryByte = 0x0101010101010101u;
    constexpr uint64_t kHighBits = 0x80 * kEveryByte;
    const uint8_t mask = mask_;
    while (bytes_.size() - at_ >= kBlock) {
      uint8_t block[kBlock];
      std::memcpy(block, bytes_.data() + at_, kBlock);
      for (size_t half = 0; half < kBlock; half += 8) {
        uint64_t word;
        std::memcpy(&word, block + half, 8);
        word ^= mask * kEveryByte;
        // Bytes below 0x80 that stay below it when 0x60 is added are below 0x20.
        if ((word & kHighBits) != 0 || ((word + 0x60 * kEveryByte) & kHighBits) != kHighBits) {
          return;
        }
      }
      char16_t units[kBlock];
      for (size_t k = 0; k < kBlock; ++k) units[k] = static_cast<uint8_t>(block[k] ^ mask);
      std::memcpy(out_, units, sizeof units);
      out_ += kBlock;
      at_ += kBlock;
    }
  }

  bool Next(uint8_t& b) {
    if (at_ >= bytes_.size()) return false;
    b = bytes_[at_++] ^ mask_;
    return true;
  }

  void Emit(uint32_t c) {
    if (c <= 0xFFFF) {
      *out_++ = static_cast<char16_t>(c);
    } else {
      const size_t used = static_cast<size_t>(out_ - text_.data());
      text_.resize(std::max(text_.size(), used + 2 + (bytes_.size() - at_)));
      out_ = text_.data() + used;
      c -= 0x10000;
      *out_++ = static_cast<char16_t>(0xD800 + (c >> 10));
      *out_++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
  }

  // Two bytes as one UTF-16 code unit, high byte first.
  bool Unit() {
    uint8_t high, low;
    if (!Next(high) || !Next(low)) return false;
    *out_++ = static_cast<char16_t>((high << 8) | low);
    return true;
  }

  bool DefineWindow(size_t window) {
    uint8_t x;
    if (!Next(x)) return false;
    const std::optional<uint32_t> offset = WindowOffset(x);
    if (!offset) return false;
    windows_[window] = *offset;
    active_ = window;
    return true;
  }

  // An extended window above U+FFFF: the top three bits of H name the window, the other 13 bits
  // of H L count 128-character steps from U+10000.
  bool DefineExtendedWindow() {
    uint8_t high, low;
    if (!Next(high) || !Next(low)) return false;
    active_ = high >> 5;
    windows_[active_] = 0x10000u + 0x80u * (((high & 0x1Fu) << 8) | low);
    return true;
  }

  // Called with a byte left.
  bool SingleByteStep() {
    const uint8_t b = bytes_[at_++] ^ mask_;
    if (b >= 0x80) {
      Emit(windows_[active_] + (b - 0x80u));
    } else if (b >= 0x20 || b == 0x00 || b == 0x09 || b == 0x0A || b == 0x0D) {
      *out_++ = b;
    } else if (b <= 0x08) {  // SQ0-SQ7: one character from window b - 1
      uint8_t x;
      if (!Next(x)) return false;
      const size_t window = b - 0x01u;
      Emit(x < 0x80 ? kStaticWindows[window] + x : windows_[window] + (x - 0x80u));
    } else if (b == 0x0B) {  // SDX
      return DefineExtendedWindow();
    } else if (b == 0x0E) {  // SQU
      return Unit();
    } else if (b == 0x0F) {  // SCU
      unicodeMode_ = true;
    } else if (b >= 0x10 && b <= 0x17) {  // SC0-SC7
      active_ = b - 0x10u;
    } else if (b >= 0x18) {  // SD0-SD7
      return DefineWindow(b - 0x18u);
    } else {  // 0x0C is reserved
      return false;
    }
    return true;
  }

  bool UnicodeStep() {
    const uint8_t b = bytes_[at_] ^ mask_;
    if (b < 0xE0 || b > 0xF2) return Unit();
    ++at_;
    if (b <= 0xE7) {  // UC0-UC7
      active_ = b - 0xE0u;
      unicodeMode_ = false;
      return true;
    }
    if (b <= 0xEF) {  // UD0-UD7
      unicodeMode_ = false;
      return DefineWindow(b - 0xE8u);
    }
    if (b == 0xF0) return Unit();  // UQU
    if (b == 0xF1) {               // UDX
      unicodeMode_ = false;
      return DefineExtendedWindow();
    }
    return false;  // 0xF2 is reserved
  }

  std::span<const uint8_t> bytes_;
  uint8_t mask_;
  size_t at_ = 0;
  bool unicodeMode_ = false;
  size_t active_ = 0;
  std::array<uint32_t, 8> windows_ = kInitialWindows;
  std::u16string& text_;
  char16_t* out_;
};

void Decode(std::span<const uint8_t> bytes, uint8_t mask, std::u16string& text, bool* damaged) {
  ScsuDecoder decoder(bytes, mask, text);
  if (!decoder.Run() && damaged != nullptr) *damaged = true;
}

}  // namespace

std::u16string DecodeScsu(std::span<const uint8_t> bytes, bool* damaged) {
  std::u16string text;
  Decode(bytes, 0, text, damaged);
  return text;
}

std::u16string DecodeFp7Text(std::span<const uint8_t> stored, bool* damaged) {
  std::u16string text;
  Decode(stored, kStoredTextMask, text, damaged);
  return text;
}

}  // namespace deep
