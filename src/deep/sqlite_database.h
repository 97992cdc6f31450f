// The SQLite database of a deep recovery, "<source name>.sqlite" in the target folder: every table
// as a SQL table under its full name (numbered when the name is taken, in any case), its columns
// under their full names, typed from the decisions the dBase fields take (N: NUMERIC, everything
// else TEXT); the stored objects as BLOBs in "qrx_stored_files"; and what the recovery found in
// "qrx_tables" (per table: rows, damaged pages or blocks, conflicts, values not typed) and
// "qrx_columns" (per column: its name, its SQL type, the type its definition gives).
//
// A number column with a value of more digits than a REAL keeps is declared without a type, so
// that such values stay exact decimal text (a NUMERIC column would turn them into REALs); its
// other values are INTEGERs or REALs as in a NUMERIC column.
//
// The database is written under a temporary name with one transaction per table, checked with
// PRAGMA integrity_check at the end and only then renamed to its name (never over another file:
// "<name>_2.sqlite" and so on). The first failure is logged with its reason; the database is then
// dropped whole.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "deep/table_output.h"

struct sqlite3;

namespace deep {

// A table as "qrx_tables" and "qrx_columns" describe it.
struct TableDescription {
  std::u16string name;
  uint32_t rows = 0;
  uint32_t damagedUnits = 0;
  uint32_t conflicts = 0;
  uint32_t valuesNotTyped = 0;
  std::vector<OutputColumn> columns;
};

class SqliteDatabase {
 public:
  SqliteDatabase() = default;
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;
  ~SqliteDatabase();

  // Creates the database under a temporary name in `folder` (ending with a separator), for the
  // final name "<base>.sqlite".
  bool Open(const std::u16string& folder, const std::u16string& base);
  // The output of one table (one transaction); at most one at a time.
  std::unique_ptr<TableOutput> Table(const std::u16string& tableName);
  void Describe(const TableDescription& table);
  void AddStoredObject(const std::u16string& name, std::span<const uint8_t> bytes);
  // Checks the database and gives it its name; the name (without folder), empty on failure.
  std::u16string Commit();
  void Discard();
  bool Failed() const { return failed_; }

 private:
  class SqlTable;
  friend class SqlTable;

  // Runs statements without results; false (logged, the database failed) on an error.
  bool Execute(const char* sql);
  // Logs the first failure; the database is dropped when committed.
  bool Fail(const std::string& what);
  // Commit but for the drop on failure.
  std::u16string Checked();
  // A SQL table name free in any case: `name`, or "<name>_2", ...
  std::string FreeTableName(const std::string& name);

  sqlite3* db_ = nullptr;
  std::u16string folder_;
  std::u16string base_;
  std::u16string temporaryPath_;
  bool failed_ = false;
};

// `name` in double quotes, its quotes doubled: an identifier holding any characters.
std::string QuotedIdentifier(const std::string& name);

}  // namespace deep
