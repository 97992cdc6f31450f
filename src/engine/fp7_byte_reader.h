// The one way the fp7 decoder reads page bytes. A reader is placed on a chunk's first byte inside
// the page buffer and reads big-endian numbers and byte runs at offsets from there. A read that
// would reach past the end of the buffer yields zeros (or null for a run) and marks the reader as
// failed; the failure sticks, so a decoder reads a whole chunk and asks once at the end whether
// every byte it looked at was really there.
#pragma once

#include <cstddef>
#include <cstdint>

class Fp7ByteReader {
 public:
  // `buffer` holds `size` readable bytes; offsets are counted from `origin`.
  Fp7ByteReader(const uint8_t* buffer, size_t size, size_t origin)
      : buffer_(buffer), size_(size), origin_(origin) {}

  uint8_t U8(size_t offset) { return Has(offset, 1) ? buffer_[origin_ + offset] : 0; }
  uint16_t U16(size_t offset) {
    if (!Has(offset, 2)) return 0;
    const uint8_t* p = buffer_ + origin_ + offset;
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
  }
  uint32_t U24(size_t offset) {
    if (!Has(offset, 3)) return 0;
    const uint8_t* p = buffer_ + origin_ + offset;
    return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  }
  uint32_t U32(size_t offset) {
    if (!Has(offset, 4)) return 0;
    const uint8_t* p = buffer_ + origin_ + offset;
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
  }
  // `count` bytes at `offset`, or null when they are not all inside the buffer.
  const uint8_t* Bytes(size_t offset, size_t count) {
    return Has(offset, count) ? buffer_ + origin_ + offset : nullptr;
  }

  // False once any read has reached past the buffer.
  bool ok() const { return ok_; }

 private:
  bool Has(size_t offset, size_t count) {
    const bool inside =
        origin_ <= size_ && offset <= size_ - origin_ && count <= size_ - origin_ - offset;
    ok_ = ok_ && inside;
    return inside;
  }

  const uint8_t* buffer_;
  size_t size_;
  size_t origin_;
  bool ok_ = true;
};
