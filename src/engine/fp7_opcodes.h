// The chunk forms of an fp7 page, one row per opcode byte. The decoder (fp7_chunk_decoder.h)
// interprets a row; it knows no opcode itself, so a table with more rows decodes more chunks.
//
// Offsets count from the opcode byte (offset 0); b1, b2 ... are the bytes at offsets 1, 2 ... and
// h is the high four bits of b1. Numbers are big-endian.
#pragma once

#include <array>
#include <cstdint>

enum class Fp7RowAction : uint8_t {
  kEndPage,  // no chunk form: the page's stop rule decides
  kKeyValue,
  kPathPush,
  kPathPop,
  kSkip,  // bytes without a chunk
};

// Where a chunk's key or path id comes from, and so where its key part ends.
enum class Fp7KeyForm : uint8_t {
  kNone,           // ends at 1
  kByte1,          // b1; ends at 2
  kByte2,          // b2; ends at 3
  kId2,            // ((b1 & 0x3F) << 8 | b2) + 128, only for b1 0x80 to 0xBF; ends at 3
  kId2OrByte1,     // the ID2 form ending at 3, else b1 ending at 2
  kId2OrByte2,     // the ID2 form, else b2; ends at 3
  kByte1OrWide12,  // b1 when below 0x80, else ((b1 b2) & 0xFFF) + 128; ends at 3
  kId2PlusByte3,   // the ID2 form plus b3, only for b1 0x80 to 0xBF; ends at 4
  kK3,             // (b2 b3) + 4096 t + 128, t from h; ends at 4
  kId3,            // ((b1 b2 b3) & 0x3FFFFF) + 16512, only for b1 from 0xC0; ends at 4
  kKeyBytes,       // n = b1 key bytes at 2, only for n above 0; ends at n + 2
  kPathName,       // n = b1 payload bytes at 2: an id, a name or the id 0xFFFFFFFF; ends at n + 2
};

// The value that follows the key part.
enum class Fp7ValueForm : uint8_t {
  kNone,         // no value bytes; the chunk ends with its key part
  kFillsChunk,   // the bytes from the key's end up to the chunk size `size`
  kFixed,        // `size` bytes behind the key
  kLength8,      // a length byte behind the key, then that many bytes
  kLength16,     // a 16-bit length behind the key, 1 to kMaxLength16, then that many bytes
  kCountedSkip,  // (skips) b1 + `size` bytes
};

// What a length of 0 (or, for 16-bit lengths, above kMaxLength16) does.
enum class Fp7BadLength : uint8_t {
  kDropped,           // no chunk
  kKeptWithoutValue,  // the chunk with its length as read but no value bytes
  kAccepted,          // an empty value
};

struct Fp7OpcodeRow {
  Fp7RowAction action = Fp7RowAction::kEndPage;
  Fp7KeyForm key = Fp7KeyForm::kNone;
  Fp7ValueForm value = Fp7ValueForm::kNone;
  uint8_t size = 0;
  Fp7BadLength badLength = Fp7BadLength::kDropped;
  // Advance past a chunk dropped for its key (an ID2/ID3 form not met, no key bytes).
  uint8_t badKeyAdvance = 1;
  // Advance past a chunk whose length is refused, plus the count of its key bytes.
  uint8_t badLengthAdvance = 1;
};

using Fp7OpcodeTable = std::array<Fp7OpcodeRow, 256>;

inline constexpr uint32_t kMaxLength16 = 1000;

// The chunk forms the database program writes. No opcode above 0xE8 has a row.
extern const Fp7OpcodeTable kFp7StrictOpcodes;
