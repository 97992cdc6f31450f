// A checked reader over a byte buffer: big-endian numbers and byte runs at a position that moves
// forward. A read that would reach past the end yields zeros (or an empty run), leaves the position
// where it was and marks the cursor as failed; the failure sticks and later reads yield nothing.
// A decoder can thus read a whole chunk and ask once, at its end, whether all of it was there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace deep {

class ByteCursor {
 public:
  explicit ByteCursor(std::span<const uint8_t> bytes, size_t offset = 0)
      : bytes_(bytes), offset_(offset <= bytes.size() ? offset : bytes.size()) {}

  size_t offset() const { return offset_; }
  size_t remaining() const { return bytes_.size() - offset_; }
  bool ok() const { return ok_; }

  // The next byte without moving; 0 at the end (without failing).
  uint8_t Peek() const { return offset_ < bytes_.size() ? bytes_[offset_] : 0; }

  uint8_t U8() { return Has(1) ? bytes_[offset_++] : 0; }
  uint16_t U16() { return static_cast<uint16_t>(Number(2)); }
  uint32_t U24() { return static_cast<uint32_t>(Number(3)); }
  uint32_t U32() { return static_cast<uint32_t>(Number(4)); }
  uint64_t U64() { return Number(8); }

  std::span<const uint8_t> Bytes(size_t count) {
    if (!Has(count)) return {};
    const std::span<const uint8_t> run = bytes_.subspan(offset_, count);
    offset_ += count;
    return run;
  }
  void Skip(size_t count) {
    if (Has(count)) offset_ += count;
  }

 private:
  bool Has(size_t count) {
    ok_ = ok_ && count <= bytes_.size() - offset_;
    return ok_;
  }
  uint64_t Number(size_t size) {
    if (!Has(size)) return 0;
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i) value = (value << 8) | bytes_[offset_ + i];
    offset_ += size;
    return value;
  }

  std::span<const uint8_t> bytes_;
  size_t offset_;
  bool ok_ = true;
};

}  // namespace deep
