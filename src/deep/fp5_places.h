// Where an fp5 file keeps what deep recovery reads: the path components (outermost first, each a
// number) and the keys.
//   3 / 2 / T / F  field F has type T (an empty sub-path, or a data item naming F under 3/2/T)
//   3 / 3          field order: key (0, n) -> the n-th field's id
//   3 / 5 / F      field definition: key 1 the name, key 2 twelve flag bytes
//   5 / R          record R: key F the value of field F (0xFC is bookkeeping)
//   5 / R / F      a long value of field F in numbered pieces
//   0D             the record-id list: one data item per live record
#pragma once

#include <cstdint>

namespace deep::fp5_places {

inline constexpr uint64_t kFields = 3;
inline constexpr uint64_t kFieldTypes = 2;
inline constexpr uint64_t kFieldOrder = 3;
inline constexpr uint64_t kFieldDefinitions = 5;
inline constexpr uint64_t kRecords = 5;
inline constexpr uint64_t kRecordList = 0x0D;

inline constexpr uint32_t kNameKey = 1;
inline constexpr uint32_t kFlagsKey = 2;
inline constexpr uint8_t kBookkeepingKey = 0xFC;
// Closes a long value in keyed pieces: five bytes, the last four its total length.
inline constexpr uint8_t kLengthCheckKey = 0xFF;
inline constexpr size_t kLengthCheckSize = 5;

// Field flags (key 2 of 3/5/F): byte 0 above this is an unstored field, byte 1 the type,
// byte 11 the repetitions.
inline constexpr size_t kFlagsSize = 12;
inline constexpr uint8_t kHighestStoredStorage = 2;
inline constexpr size_t kStorageAt = 0;
inline constexpr size_t kTypeAt = 1;
inline constexpr size_t kRepetitionsAt = 11;
enum FieldType : uint8_t {
  kText = 1,
  kNumber = 2,
  kDate = 3,
  kTime = 4,
  kContainer = 5,
  kCalculation = 6,
  kSummary = 7,
  kGlobal = 8,
};

}  // namespace deep::fp5_places
