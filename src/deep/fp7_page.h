// Decoding of one fp7 page on its own. Every data page re-opens the full path of its first item
// from the root, so a page is decoded from an empty path stack, in any order, without prev/next
// links or the page index. The decoder reads the whole chunk set through one checked cursor and
// hands on each value with its absolute path and key; it keeps nothing between pages.
#pragma once

#include <cstdint>
#include <span>

namespace deep {

inline constexpr size_t kFp7PageSize = 4096;
inline constexpr size_t kFp7HeaderSize = 20;
inline constexpr size_t kFp7DataAreaSize = kFp7PageSize - kFp7HeaderSize;
// Pushes beyond this depth mark the page damaged (real files nest a dozen levels at most).
inline constexpr size_t kMaxPathDepth = 64;

// One component of a path: pushes of 1, 2, 3 or 8 bytes give a number; a 0x38 push gives a name.
struct PathPart {
  uint64_t id = 0;                // 1-byte: the byte; 2-byte: 0x80 + ((b0 & 0x7F) << 8) + b1;
                                  // 3-byte: 0x80 + (b1 << 8) + b2; 8-byte: big-endian value
  uint8_t tag = 0;                // first byte of a 3-byte id (its meaning is unknown), else 0
  std::span<const uint8_t> name;  // bytes of a 0x38 name (empty otherwise); points into the page
  bool isName = false;
};

// A path id that keeps 3-byte ids of different tags apart (records and objects are told apart by
// their whole id, whatever the tag means).
inline uint64_t IdOf(const PathPart& part) {
  return part.id | (uint64_t{part.tag} << 40);
}

// The key of a key/value chunk: a number (1-, 2- or 3-byte keys) or a byte string (0x19-0x1F).
struct ChunkKey {
  uint32_t number = 0;  // 1-byte keys: the byte; 2-byte keys: b0 < 0x80 -> (b0 << 8) | b1, else
                        // 0x80 + ((b0 & 0x7F) << 8) + b1; 3-byte keys: 0x80 + (b1 << 8) + b2
  uint8_t tag = 0;      // first byte of a 3-byte key, else 0
  std::span<const uint8_t> bytes;  // byte-string keys
  bool isBytes = false;
};

// What the decoder hands on. Spans point into the page buffer: valid until the callback returns.
class Fp7PageVisitor {
 public:
  virtual ~Fp7PageVisitor() = default;
  virtual void OnValue(std::span<const PathPart> path, const ChunkKey& key,
                       std::span<const uint8_t> value) = 0;
  // A numbered piece of a long value (0x07: 1-byte number; 0x0F: the 2-byte id rule).
  virtual void OnSegment(std::span<const PathPart> path, uint32_t piece,
                         std::span<const uint8_t> bytes) = 0;
};

enum class PageKind {
  kData,
  kIndex,  // a node of the page index: its entries are page numbers, not data; nothing handed on
  kEmpty,  // all zeros, or a data area that ends before its first chunk
};

struct PageOutcome {
  PageKind kind = PageKind::kData;
  bool damaged = false;    // decoding stopped early (unknown opcode, chunk past the live data, ...)
  uint32_t stoppedAt = 0;  // page offset where decoding ended: the end of the live data, the
                           // `00 00` end marker, or the chunk that stopped it when damaged
  const char* why = "";    // plain English, e.g. "unknown opcode 0x7A"; empty when not damaged
  uint32_t chunks = 0;     // chunks read (pushes, pops, values, pieces, data, no-ops)
};

// `page` is the whole page (4096 bytes, header included). Fewer bytes: a cut page; what is there
// is decoded and the page is reported damaged. Bytes beyond 4096 are not looked at.
PageOutcome DecodeFp7Page(std::span<const uint8_t> page, Fp7PageVisitor& visitor);

}  // namespace deep
