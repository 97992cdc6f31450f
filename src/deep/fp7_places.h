// Where an fp7 file keeps what deep recovery reads: the path ids (outermost first) and the keys.
//   3/16/5/T   table catalogue: key 16 the table's name
//   3/17/5/O   table occurrences: key 16 the name, key 2 the table it shows
//   T/3/5/C    columns: key 16 the name, key 2 the 26-byte definition
//   T/5/R      records: key C the value of column C (252 is bookkeeping); T/5/R/C a long value
//   31/5/O     stored objects
#pragma once

#include <cstdint>

namespace deep::fp7_places {

inline constexpr uint64_t kStructures = 3;
inline constexpr uint64_t kTableList = 16;
inline constexpr uint64_t kOccurrenceList = 17;
inline constexpr uint64_t kColumnList = 3;
inline constexpr uint64_t kRecords = 5;
inline constexpr uint64_t kObjects = 31;
inline constexpr uint64_t kEntries = 5;  // the level under a list that holds its entries

inline constexpr uint32_t kNameKey = 16;
inline constexpr uint32_t kDefinitionKey = 2;
inline constexpr uint32_t kBookkeepingKey = 252;
// Key 0 of a record's long value styles its text; of a stored object's stream, its total size.
inline constexpr uint32_t kStylingKey = 0;
inline constexpr uint32_t kTotalSizeKey = 0;

}  // namespace deep::fp7_places
