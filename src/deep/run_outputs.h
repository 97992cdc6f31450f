// What one deep recovery writes, in the formats asked for: each table's dBase files and CSV file
// (through TableWriter), the SQLite database holding every table, and the stored objects as files
// beside the tables and as BLOBs in the database. Asked for no format, it writes nothing at all
// and only records what it would write (the tables for hosts, the stored objects' names).
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "deep/options.h"
#include "deep/recovery_report.h"
#include "deep/table_output.h"

namespace deep {

class SqliteDatabase;

class RunOutputs {
 public:
  // `sourcePath` names the database ("<source name>.sqlite").
  RunOutputs(std::u16string targetDir, std::u16string_view sourcePath, const Options& options);
  RunOutputs(const RunOutputs&) = delete;
  RunOutputs& operator=(const RunOutputs&) = delete;
  ~RunOutputs();

  const Options& options() const { return options_; }
  const std::u16string& Folder() const { return folder_; }
  // Makes the target folder and opens the database; false when that fails (logged). Does nothing
  // when no format is asked for.
  bool Start();
  // The outputs of a table beside its dBase files, in Unicode: its CSV file, its SQL table.
  std::vector<std::unique_ptr<TableOutput>> UnicodeOutputs(const std::u16string& tableName,
                                                           const std::u16string& fileBase);
  // A finished table: recorded for hosts and described in the database.
  void NoteTable(const TableOutcome& table);
  // A stored object: a file beside the tables (for dBase and CSV) and a row of the database.
  // Returns the file's name (the name it would get when nothing is written); empty when it could
  // not be written.
  std::u16string StoreObject(std::u16string_view name, std::span<const uint8_t> bytes);
  // Completes the database; false when it could not be written.
  bool Finish();

 private:
  std::u16string folder_;
  std::u16string databaseBase_;
  Options options_;
  std::unique_ptr<SqliteDatabase> database_;
  std::vector<size_t> tablesInDatabase_;  // their entries among the tables for hosts
};

}  // namespace deep
