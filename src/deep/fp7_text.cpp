#include "deep/fp7_text.h"

#include <array>
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
  ScsuDecoder(std::span<const uint8_t> bytes, uint8_t mask) : bytes_(bytes), mask_(mask) {
    // One unit per byte in single-byte mode, the usual one; fewer in Unicode mode.
    text_.reserve(bytes.size());
  }

  // Decodes to the end or to the first reserved tag or cut sequence; false in that case.
  bool Run() {
    while (at_ < bytes_.size()) {
      if (!(unicodeMode_ ? UnicodeStep() : SingleByteStep())) return false;
    }
    return true;
  }
  std::u16string& text() { return text_; }

 private:
  bool Next(uint8_t& b) {
    if (at_ >= bytes_.size()) return false;
    b = bytes_[at_++] ^ mask_;
    return true;
  }

  void Emit(uint32_t c) {
    if (c <= 0xFFFF) {
      text_.push_back(static_cast<char16_t>(c));
    } else {
      c -= 0x10000;
      text_.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      text_.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
  }

  // Two bytes as one UTF-16 code unit, high byte first.
  bool Unit() {
    uint8_t high, low;
    if (!Next(high) || !Next(low)) return false;
    text_.push_back(static_cast<char16_t>((high << 8) | low));
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

  bool SingleByteStep() {
    uint8_t b;
    Next(b);
    if (b >= 0x80) {
      Emit(windows_[active_] + (b - 0x80u));
    } else if (b >= 0x20 || b == 0x00 || b == 0x09 || b == 0x0A || b == 0x0D) {
      text_.push_back(b);
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
  std::u16string text_;
};

std::u16string Decode(std::span<const uint8_t> bytes, uint8_t mask, bool* damaged) {
  ScsuDecoder decoder(bytes, mask);
  const bool whole = decoder.Run();
  if (damaged != nullptr && !whole) *damaged = true;
  return std::move(decoder.text());
}

}  // namespace

std::u16string DecodeScsu(std::span<const uint8_t> bytes, bool* damaged) {
  return Decode(bytes, 0, damaged);
}

std::u16string DecodeFp7Text(std::span<const uint8_t> stored, bool* damaged) {
  return Decode(stored, kStoredTextMask, damaged);
}

}  // namespace deep
