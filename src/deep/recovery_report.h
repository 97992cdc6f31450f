// What the recovery report says of the tables of a deep recovery: a grade from the share of
// damaged pages (or blocks), a "Total" entry naming the tables, and per table its columns, rows
// and what was lost (damaged pages, conflicts, values not typed, characters not encoded); and each
// table among the tables of the recovery with its files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "deep/table_writer.h"

namespace deep {

struct TableOutcome {
  std::u16string name;
  size_t columns = 0;
  TableSummary summary;
  uint32_t conflicts = 0;
  uint32_t damagedUnits = 0;  // damaged pages (fp7) or blocks (fp5) holding its records
  const char* unit = "page";  // what such a unit is called
};

// What a column's definition says it holds: "text", "number", "date", "time", "timestamp" or
// "container".
const char16_t* KindName(ColumnKind kind);
// `parts` joined with `separator` between them.
std::u16string Joined(const std::vector<std::u16string>& parts, const char16_t* separator);
// What was lost of a table; empty when nothing was. (Its files are listed per table apart.)
std::u16string NoteOf(const TableOutcome& table);
// A table's files as people look for them: the table, its memo file, then the others.
std::vector<std::u16string> TableFilesFirst(const std::vector<std::u16string>& files);
// Records the table among the tables of this recovery (its counts, files and note), for hosts
// that ask for them one by one.
void NoteTableResult(const TableOutcome& table, const std::u16string& targetDir);
// Grades the recovery by the share of damaged units among those with data, and adds the "Total"
// entry and one entry per table.
void ReportTables(const std::vector<TableOutcome>& tables, uint64_t dataUnits,
                  uint64_t damagedUnits);

}  // namespace deep
