// The writer of one table of a deep recovery into every output asked for: a dBase table (.dbf,
// with a .dbt of dBase III memos when a column needs one, and a .cpg naming the code page), a CSV
// file and a table of the SQLite database, all with the types decided once from the values
// themselves.
//
// Rows come in any number while memory stays bounded: each row goes to spool files in the target
// folder (one of encoded text for dBase, one of UTF-8 for the other outputs) while per-column
// statistics are kept; Finish decides the fields from the statistics, writes each output from its
// spool and removes the spools. Asked for no output, it keeps the statistics only. Every file is
// written under a temporary name and renamed when complete, never over an existing file; the first
// failure is logged with the file and the system's reason, and leaves no file of the table behind.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "deep/code_page.h"
#include "deep/column_typing.h"
#include "deep/row_spool.h"
#include "deep/table_output.h"

namespace deep {

struct TableColumn {
  std::u16string name;  // the full column name as stored (any characters)
  ColumnKind kind = ColumnKind::kText;
};

// What a finished table reports.
struct TableSummary {
  bool written = false;      // the table's files exist under their final names
  bool writeFailed = false;  // a create, write, close or rename failed (logged with the reason)
  uint32_t rows = 0;
  std::vector<std::u16string> files;    // names written (.dbf, .dbt, .cpg) in the target folder
  std::vector<std::string> fieldNames;  // the dBase field name of each column
  std::vector<char> fieldTypes;         // 'C', 'N', 'D' or 'M' per column
  uint32_t valuesNotTyped = 0;          // values that kept a column from its type (it became C)
  uint32_t charactersNotEncoded = 0;    // characters the code page cannot hold, written as '?'
  uint32_t endOfFileBytesReplaced = 0;  // values holding 0x1A, that byte written as a blank
  std::vector<OutputColumn> columns;    // each column with the type decided for it
};

class RunOutputs;

class TableWriter {
 public:
  TableWriter(std::u16string tableName, std::vector<TableColumn> columns, RunOutputs& outputs);
  TableWriter(const TableWriter&) = delete;
  TableWriter& operator=(const TableWriter&) = delete;
  // A table neither finished nor discarded is discarded.
  ~TableWriter();

  // One row: `values[i]` belongs to column i (values past the last column are ignored, missing
  // ones are none); nullopt is no value. False once anything has failed: every later call then
  // does nothing, and Finish reports writeFailed.
  bool AddRow(std::span<const std::optional<std::u16string>> values);
  // Decides the fields, writes the table and removes the spool. Called once.
  TableSummary Finish();
  // Drops everything (a stop): no file of this table is left.
  void Discard();

 private:
  struct Field;
  class Output;

  // Logs the first failure (`what`: the file and the system's reason) and drops everything.
  bool Fail(const std::string& what);
  std::vector<Field> PlanFields() const;
  bool WriteTable(const std::vector<Field>& fields);
  bool WriteRecords(const std::vector<Field>& fields, Output& output);
  // The CSV file and the SQL table, from the UTF-8 spool.
  bool WriteUnicode(const std::vector<OutputColumn>& columns);
  bool WritesDbase() const;

  std::u16string folder_;
  std::u16string tableName_;
  std::u16string base_;
  std::vector<TableColumn> columns_;
  OutputEncoding encoding_;
  std::vector<ColumnStats> stats_;
  RunOutputs& outputs_;
  RowSpool spool_;
  RowSpool unicodeSpool_;
  std::vector<bool> exactText_;  // per column: a number of more digits than a double keeps
  std::string encoded_;          // one value encoded, kept for its room
  TableSummary summary_;
  bool failed_ = false;
  bool done_ = false;  // finished or discarded
};

}  // namespace deep
