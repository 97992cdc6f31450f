// The bytes of a dBase table (.dbf) and of its memo file (.dbt). All numbers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dbf_layout {

// .dbf: a 32-byte header, one 32-byte descriptor per field, the header terminator, the records,
// the end-of-file byte.
inline constexpr size_t kHeaderSize = 32;
inline constexpr size_t kVersionOffset = 0;
inline constexpr size_t kDateOffset = 1;  // year - 1900, month, day
inline constexpr size_t kRecordCountOffset = 4;
inline constexpr size_t kHeaderLengthOffset = 8;
inline constexpr size_t kRecordLengthOffset = 10;
inline constexpr uint8_t kVersionPlain = 0x03;
inline constexpr uint8_t kVersionWithMemo = 0x8B;        // dBase IV memo blocks
inline constexpr uint8_t kVersionWithDbase3Memo = 0x83;  // dBase III memo blocks
// The code page the texts are written in ("language driver"); 0 says nothing.
inline constexpr size_t kLanguageDriverOffset = 29;
inline constexpr uint8_t kLanguageWindows1252 = 0x03;

inline constexpr size_t kDescriptorSize = 32;
inline constexpr size_t kFieldNameLength = 10;  // byte 10 of the name area stays 0
inline constexpr size_t kFieldTypeOffset = 11;
inline constexpr size_t kFieldWidthOffset = 16;
inline constexpr size_t kFieldDecimalsOffset = 17;
inline constexpr uint32_t kLargestFieldWidth = 255;  // the width is one byte of the descriptor

inline constexpr uint8_t kHeaderTerminator = 0x0D;
inline constexpr uint8_t kEndOfFile = 0x1A;
inline constexpr char kBlank = ' ';  // fills empty fields; also the "not deleted" record flag

// A memo field holds the number of the value's first .dbt block as 10 decimal digits.
inline constexpr size_t kMemoPointerWidth = 10;

// .dbt: blocks of 512 bytes. Block 0 is the header; its first 24 bytes carry data.
inline constexpr size_t kMemoBlockSize = 512;
inline constexpr size_t kMemoHeaderSize = 24;
inline constexpr size_t kMemoNextFreeBlockOffset = 0;
inline constexpr size_t kMemoNameOffset = 8;
inline constexpr size_t kMemoNameLength = 8;
inline constexpr size_t kMemoBlockSizeOffset = 20;

// dBase III memo files: byte 16 of block 0 holds 3, and each value is its bytes followed by two
// end-of-file bytes, padded to whole blocks.
inline constexpr size_t kMemoVersionOffset = 16;
inline constexpr uint8_t kMemoVersionDbase3 = 3;
inline constexpr uint8_t kMemoDbase3ValueEnd[2] = {kEndOfFile, kEndOfFile};

// dBase IV memo files: each value starts a block with this mark and the value's length + 8, then
// the value itself.
inline constexpr uint8_t kMemoValueMark[4] = {0xFF, 0xFF, 0x08, 0x00};
inline constexpr size_t kMemoValuePrefixSize = 8;

// The whole blocks a memo value of `length` bytes takes with its prefix.
inline constexpr uint64_t MemoBlockCount(uint64_t length) {
  return (length + kMemoValuePrefixSize + kMemoBlockSize - 1) / kMemoBlockSize;
}

inline void Store16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

inline void Store32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace dbf_layout
