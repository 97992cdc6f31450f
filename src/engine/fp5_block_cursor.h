// The one reader of fp5 page bytes: a 16-bit data position (counted from the end of the page
// header) over the page buffer, with reads that cannot leave the buffer. Every byte outside the
// buffer reads as 0 and every copy is cut at the buffer's end, so the block readers may move the
// position however damaged bytes tell them to. The position never wraps: advancing saturates at
// the end of the buffer, stepping back stops at 0.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

class Fp5BlockCursor {
 public:
  Fp5BlockCursor(const uint8_t* buffer, uint32_t bufferSize, uint8_t headerSize, uint16_t position)
      : data_(buffer + std::min<uint32_t>(headerSize, bufferSize)),
        end_(static_cast<uint16_t>(
            std::min<uint32_t>(bufferSize - std::min<uint32_t>(headerSize, bufferSize), 0xFFFF))),
        position_(std::min(position, end_)) {}

  uint16_t Position() const { return position_; }
  // The first position past the buffer.
  uint16_t End() const { return end_; }
  bool AtEnd() const { return position_ >= end_; }

  void MoveTo(uint16_t position) { position_ = std::min(position, end_); }
  void Advance(uint32_t count) {
    position_ =
        count < uint32_t{end_} - position_ ? static_cast<uint16_t>(position_ + count) : end_;
  }
  void StepBack() {
    if (position_ > 0) --position_;
  }

  // The byte `offset` places from the position (negative: before it).
  uint8_t Peek(int32_t offset = 0) const {
    const int32_t at = int32_t{position_} + offset;
    return at >= 0 && at < int32_t{end_} ? data_[at] : 0;
  }

  // How many of `count` bytes, starting `offset` places ahead, lie before the position `limit`.
  uint16_t CutBefore(uint32_t offset, uint32_t count, uint16_t limit) const {
    const uint64_t from = uint64_t{position_} + offset;
    const uint64_t stop = std::min(limit, end_);
    return static_cast<uint16_t>(from < stop ? std::min<uint64_t>(count, stop - from) : 0);
  }

  // Copies `count` bytes starting `offset` places ahead; bytes outside the buffer come out as 0.
  void Copy(uint32_t offset, uint16_t count, uint8_t* out) const {
    const uint16_t inside = CutBefore(offset, count, end_);
    if (inside > 0) std::memcpy(out, data_ + position_ + offset, inside);
    std::memset(out + inside, 0, count - inside);
  }

  // A record or column id at the position in the form its introducing byte names: 0xC1 one byte
  // b (b); 0xC2 two bytes (b0 - 0x80) * 256 + b1 + 0x80; 0xC3 three bytes 86 * b0 + 256 * b1 + b2
  // (the last one's meaning is not known for sure). Values are kept to 16 bits.
  uint16_t Id(uint8_t form) const {
    const int32_t b0 = Peek(0), b1 = Peek(1), b2 = Peek(2);
    switch (form) {
      case 0xC1:
        return static_cast<uint16_t>(b0);
      case 0xC2:
        return static_cast<uint16_t>((b0 - 0x80) * 256 + b1 + 0x80);
      default:
        return static_cast<uint16_t>(86 * b0 + 256 * b1 + b2);
    }
  }
  // Bytes an id of that form takes.
  static uint8_t IdWidth(uint8_t form) { return form == 0xC1 ? 1 : form == 0xC2 ? 2 : 3; }
  static bool IsIdForm(uint8_t form) { return form >= 0xC1 && form <= 0xC3; }

 private:
  const uint8_t* data_;
  uint16_t end_;
  uint16_t position_;
};
