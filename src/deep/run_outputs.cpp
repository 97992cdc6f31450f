#include "deep/run_outputs.h"

#include <utility>

#include "deep/csv_table_file.h"
#include "deep/stored_file.h"
#include "deep/table_file_names.h"
#include "deep/target_folder.h"
#include "diag/table_results.h"
#include "platform/path.h"
#if QRX_HAVE_SQLITE
#include "deep/sqlite_database.h"
#endif

namespace deep {

#if !QRX_HAVE_SQLITE
// Without SQLite no database is ever opened (the options refuse it).
class SqliteDatabase {
 public:
  std::unique_ptr<TableOutput> Table(const std::u16string&) { return nullptr; }
  void Describe(const TableDescription&) {}
  void AddStoredObject(const std::u16string&, std::span<const uint8_t>) {}
  std::u16string Commit() { return {}; }
};
#endif

RunOutputs::RunOutputs(std::u16string targetDir, std::u16string_view sourcePath,
                       const Options& options)
    : folder_(qrx::platform::WithTrailingSeparator(targetDir)),
      databaseBase_(TableBaseName(folder_, SourceStem(sourcePath))),
      options_(options) {}

RunOutputs::~RunOutputs() = default;

bool RunOutputs::Start() {
  if (options_.formats == 0) return true;
  if (!MakeTargetFolder(folder_)) return false;
#if QRX_HAVE_SQLITE
  if ((options_.formats & kSqlite) != 0) {
    database_ = std::make_unique<SqliteDatabase>();
    if (databaseBase_.empty() || !database_->Open(folder_, databaseBase_)) return false;
  }
#endif
  return true;
}

std::vector<std::unique_ptr<TableOutput>> RunOutputs::UnicodeOutputs(
    const std::u16string& tableName, const std::u16string& fileBase) {
  std::vector<std::unique_ptr<TableOutput>> outputs;
  if (database_ != nullptr) {
    if (std::unique_ptr<TableOutput> table = database_->Table(tableName)) {
      outputs.push_back(std::move(table));
    }
  }
  if ((options_.formats & kCsv) != 0) {
    outputs.push_back(std::make_unique<CsvTableFile>(folder_, fileBase, options_.csvByteOrderMark));
  }
  return outputs;
}

void RunOutputs::NoteTable(const TableOutcome& table) {
  if (database_ != nullptr && table.summary.written) {
    tablesInDatabase_.push_back(g_TableResults.Count());
  }
  NoteTableResult(table, folder_);
  if (database_ != nullptr) {
    database_->Describe({table.name, table.summary.rows, table.damagedUnits, table.conflicts,
                         table.summary.valuesNotTyped, table.summary.columns});
  }
}

std::u16string RunOutputs::StoreObject(std::u16string_view name, std::span<const uint8_t> bytes) {
  if (database_ != nullptr) database_->AddStoredObject(std::u16string(name), bytes);
  if ((options_.formats & (kDbase | kCsv)) == 0) return std::u16string(name);
  return WriteStoredFile(folder_, name, bytes);
}

bool RunOutputs::Finish() {
  if (database_ == nullptr) return true;
  const std::u16string name = database_->Commit();
  database_.reset();
  if (name.empty()) return false;
  for (const size_t entry : tablesInDatabase_) g_TableResults.AddFileTo(entry, folder_ + name);
  return true;
}

}  // namespace deep
