// Where an fp7 file keeps its facts: the path ids under which the table list, a table's columns,
// its records and its container objects live, and the keys of the values read there.
#pragma once

#include <cstdint>
#include <vector>

namespace fp7_paths {

inline constexpr uint32_t kCatalogueId = 3;  // the table list lives under 3/16/5
inline constexpr uint32_t kTablesId = 16;
inline constexpr uint32_t kColumnsId = 3;      // T/3/5
inline constexpr uint32_t kContainersId = 31;  // T/31/5
inline constexpr uint32_t kListId = 5;         // the last id of every list path

inline constexpr uint32_t kTypeKey = 2;           // a column's type code
inline constexpr uint32_t kNameKey = 16;          // a table's or a column's name
inline constexpr uint32_t kSingleTableKey = 252;  // a table list with the short paths

// The first fp7 page: every scan starts here.
inline constexpr uint32_t kFirstPage = 2;

inline std::vector<uint32_t> TableList() {
  return {kCatalogueId, kTablesId, kListId};
}
// A file with a single table may keep its columns under 3/5 and its records under 5.
inline std::vector<uint32_t> ColumnList(uint32_t tableId, bool singleTable) {
  if (singleTable) return {kColumnsId, kListId};
  return {tableId, kColumnsId, kListId};
}
// Records are filed under the table id's low byte only.
inline std::vector<uint32_t> RecordList(uint8_t tableId, bool singleTable) {
  if (singleTable) return {kListId};
  return {tableId, kListId};
}
inline std::vector<uint32_t> ContainerList(uint32_t tableId) {
  return {tableId, kContainersId, kListId};
}

}  // namespace fp7_paths
