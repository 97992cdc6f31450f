// Decoding of one fp5 block on its own. Every data block re-opens the path of its first item from
// the root, so a block is decoded from an empty path stack, in any order, without prev/next links
// or the index blocks. Only the block's live payload is read (the length at offsets 12-13): the
// bytes behind it are stale content left from before a split or a deletion and are never data.
//
// A block is 1024 bytes: a 14-byte header (deleted flag, level, prev, next, prefix length, live
// length) and up to 1010 payload bytes of tokens:
//   00 N v*N          key 0, 1-byte length
//   01-3F c key*c N   byte-string key of c bytes (VLIs), 1-byte length (01 FF 05: a length check)
//   40-7F N           key c - 0x40, 1-byte length
//   80-BF             a data item of c - 0x80 bytes, no key
//   C0                pop
//   C1-FE             push a path component of c - 0xC0 bytes
//   FF 01-04 key LL   byte-string key, 2-byte length
//   FF 40-80 LL       key c - 0x40, 2-byte length
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "deep/byte_cursor.h"

namespace deep {

inline constexpr size_t kFp5BlockSize = 1024;
inline constexpr size_t kFp5HeaderSize = 14;
inline constexpr size_t kFp5MaxLive = kFp5BlockSize - kFp5HeaderSize;
// Pushes beyond this depth mark the block damaged (real files nest a handful of levels).
inline constexpr size_t kFp5MaxDepth = 64;

// The key of a key/value token: a number (tokens 00, 40-7F, FF 40-80) or a byte string.
struct Fp5Key {
  uint32_t number = 0;
  std::span<const uint8_t> bytes;
  bool isBytes = false;
};

// A path component is a byte string: a number (VLI) for most paths, a word in the word index.
using Fp5Part = std::span<const uint8_t>;
using Fp5Path = std::span<const Fp5Part>;

// A number as fp5 stores it: the first byte gives the length (00-7F one byte, 80-BF two, C0-DF
// three, E0-EF four, F0-F7 five) and each length continues the range of the one before.
// The bytes a number takes, from its lead byte; 0 for F8-FF, which start none.
constexpr size_t Fp5NumberSize(uint8_t lead) {
  return lead < 0x80   ? 1
         : lead < 0xC0 ? 2
         : lead < 0xE0 ? 3
         : lead < 0xF0 ? 4
         : lead < 0xF8 ? 5
                       : 0;
}
// Reads one at the cursor; nullopt when it is cut short or starts with F8-FF.
std::optional<uint64_t> ReadFp5Number(ByteCursor& in);
// `bytes` as exactly one number; nullopt otherwise.
std::optional<uint64_t> Fp5Number(std::span<const uint8_t> bytes);

// What the decoder hands on. Spans point into the block: valid until the callback returns.
class Fp5BlockVisitor {
 public:
  virtual ~Fp5BlockVisitor() = default;
  virtual void OnValue(Fp5Path path, const Fp5Key& key, std::span<const uint8_t> value) = 0;
  // A push: `path` ends with the component just pushed.
  virtual void OnPush(Fp5Path /*path*/) {}
  virtual void OnData(Fp5Path /*path*/, std::span<const uint8_t> /*bytes*/) {}
};

enum class BlockKind {
  kData,
  kIndex,    // level byte not 0: entries pointing at child blocks, not data
  kDeleted,  // deleted flag 0xFF
  kEmpty,    // all zeros, or no live payload
};

struct BlockOutcome {
  BlockKind kind = BlockKind::kData;
  bool damaged = false;    // decoding stopped early, or the header cannot be right
  uint32_t stoppedAt = 0;  // block offset where decoding ended: the end of the live payload, or
                           // the token that stopped it when damaged
  const char* why = "";    // plain English, e.g. "token runs past the live length"
  uint32_t tokens = 0;     // tokens read
};

// `block` is the whole block (1024 bytes, header included). Fewer bytes: a cut block; what is
// there is decoded and the block is reported damaged. Bytes beyond 1024 are not looked at.
// Each value, push and data item is handed on once the token behind it reads well: one right
// before damage may have taken damaged bytes for its own, so it is dropped with the damage.
BlockOutcome DecodeFp5Block(std::span<const uint8_t> block, Fp5BlockVisitor& visitor);

}  // namespace deep
