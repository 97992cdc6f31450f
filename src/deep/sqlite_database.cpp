#include "deep/sqlite_database.h"

#include <sqlite3.h>

#include <charconv>
#include <utility>

#include "deep/recovery_report.h"
#include "deep/table_file_names.h"
#include "diag/log.h"
#include "platform/file.h"
#include "platform/text.h"

namespace platform = qrx::platform;

namespace deep {
namespace {

constexpr unsigned kNameTries = 100;
// Decimal digits a REAL (a double) always gives back as they were.
constexpr size_t kDigitsKept = 15;

const char* SqlType(const OutputColumn& column) {
  if (column.typed.plan.type != 'N') return "TEXT";
  return column.exactText ? "" : "NUMERIC";
}

size_t SignificantDigits(std::string_view number) {
  size_t digits = 0;
  for (const char c : number) {
    if (c >= '1' && c <= '9') ++digits;
    if (c == '0' && digits > 0) ++digits;
  }
  return digits;
}

// Binds a number's text (as TypedText writes it): an INTEGER or a REAL when that keeps it, the
// exact text otherwise.
int BindNumber(sqlite3_stmt* statement, int index, const std::string& text) {
  if (SignificantDigits(text) <= kDigitsKept) {
    const char* end = text.data() + text.size();
    if (text.find('.') == std::string::npos) {
      int64_t integer = 0;
      if (std::from_chars(text.data(), end, integer).ptr == end) {
        return sqlite3_bind_int64(statement, index, integer);
      }
    } else {
      double real = 0;
      if (std::from_chars(text.data(), end, real).ptr == end) {
        return sqlite3_bind_double(statement, index, real);
      }
    }
  }
  return sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                           SQLITE_TRANSIENT);
}

// Names unique in any case within one table: the second "Name" (or "NAME") becomes "Name_2".
std::vector<std::string> UniqueNames(const std::vector<OutputColumn>& columns) {
  std::vector<std::string> names;
  const auto taken = [&](const std::string& name) {
    for (const std::string& other : names) {
      if (sqlite3_stricmp(other.c_str(), name.c_str()) == 0) return true;
    }
    return false;
  };
  for (const OutputColumn& column : columns) {
    const std::string name = platform::ToValidUtf8(column.name);
    std::string unique = name;
    for (unsigned n = 2; taken(unique); ++n) unique = name + "_" + std::to_string(n);
    names.push_back(std::move(unique));
  }
  return names;
}

// A prepared statement, finalized when it goes.
struct Statement {
  sqlite3_stmt* handle = nullptr;
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { sqlite3_finalize(handle); }
};

}  // namespace

std::string QuotedIdentifier(const std::string& name) {
  std::string quoted = "\"";
  for (const char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

// One table in its own transaction.
class SqliteDatabase::SqlTable : public TableOutput {
 public:
  SqlTable(SqliteDatabase& database, std::string name)
      : database_(database), name_(std::move(name)) {}
  ~SqlTable() override { Discard(); }

  bool Begin(const std::vector<OutputColumn>& columns) override {
    if (!database_.Execute("BEGIN")) return false;
    open_ = true;
    std::string create = "CREATE TABLE " + QuotedIdentifier(name_) + " (";
    std::string insert = "INSERT INTO " + QuotedIdentifier(name_) + " VALUES (";
    const std::vector<std::string> names = UniqueNames(columns);
    for (size_t i = 0; i < columns.size(); ++i) {
      create += (i > 0 ? ", " : "") + QuotedIdentifier(names[i]) + " " + SqlType(columns[i]);
      insert += i > 0 ? ", ?" : "?";
      numbers_.push_back(columns[i].typed.plan.type == 'N');
    }
    if (columns.empty()) create += "\"\"";  // a table needs a column
    if (!database_.Execute((create + ")").c_str())) return false;
    if (columns.empty()) return true;
    return Check(
        sqlite3_prepare_v2(database_.db_, (insert + ")").c_str(), -1, &insert_.handle, nullptr));
  }

  bool AddRow(std::span<const std::optional<std::string>> values) override {
    if (database_.failed_ || insert_.handle == nullptr) return !database_.failed_;
    sqlite3_reset(insert_.handle);
    for (size_t i = 0; i < numbers_.size(); ++i) {
      const int index = static_cast<int>(i) + 1;
      int bound = SQLITE_OK;
      if (i >= values.size() || !values[i]) {
        bound = sqlite3_bind_null(insert_.handle, index);
      } else if (numbers_[i]) {
        bound = BindNumber(insert_.handle, index, *values[i]);
      } else {
        bound = sqlite3_bind_text(insert_.handle, index, values[i]->data(),
                                  static_cast<int>(values[i]->size()), SQLITE_TRANSIENT);
      }
      if (!Check(bound)) return false;
    }
    return Check(sqlite3_step(insert_.handle));
  }

  bool End(std::vector<std::u16string>&) override {
    sqlite3_finalize(insert_.handle);
    insert_.handle = nullptr;
    if (database_.failed_ || !database_.Execute("COMMIT")) return false;
    open_ = false;
    return true;
  }

  void Discard() override {
    sqlite3_finalize(insert_.handle);
    insert_.handle = nullptr;
    if (open_) sqlite3_exec(database_.db_, "ROLLBACK", nullptr, nullptr, nullptr);
    open_ = false;
  }

  std::string Failure() const override {
    return ToNarrow(database_.temporaryPath_) + " (the SQLite database)";
  }

 private:
  bool Check(int code) {
    if (code == SQLITE_OK || code == SQLITE_DONE) return true;
    return database_.Fail("table \"" + name_ + "\": " + sqlite3_errmsg(database_.db_));
  }

  SqliteDatabase& database_;
  std::string name_;
  std::vector<bool> numbers_;
  Statement insert_;
  bool open_ = false;
};

SqliteDatabase::~SqliteDatabase() {
  Discard();
}

bool SqliteDatabase::Open(const std::u16string& folder, const std::u16string& base) {
  folder_ = folder;
  base_ = base;
  for (unsigned attempt = 1; attempt <= kNameTries && temporaryPath_.empty(); ++attempt) {
    std::u16string path = folder + base + u".sqlite.qrx-partial";
    if (attempt > 1) path += ToWide(std::to_string(attempt));
    if (!platform::PathExists(path)) temporaryPath_ = std::move(path);
  }
  if (temporaryPath_.empty()) return Fail("no free temporary name");
  const int opened =
      sqlite3_open_v2(platform::ToValidUtf8(temporaryPath_).c_str(), &db_,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXRESCODE, nullptr);
  if (opened != SQLITE_OK) {
    return Fail(db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(opened));
  }
  // The file gets its name only once checked, so it needs no journal on disk.
  return Execute(
      "PRAGMA journal_mode = MEMORY; PRAGMA synchronous = OFF;"
      "CREATE TABLE qrx_tables (name TEXT, rows INTEGER, damaged_pages INTEGER, conflicts INTEGER,"
      " values_not_typed INTEGER);"
      "CREATE TABLE qrx_columns (table_name TEXT, position INTEGER, name TEXT, type TEXT,"
      " definition TEXT);"
      "CREATE TABLE qrx_stored_files (name TEXT, content BLOB);");
}

std::unique_ptr<TableOutput> SqliteDatabase::Table(const std::u16string& tableName) {
  return std::make_unique<SqlTable>(*this, FreeTableName(platform::ToValidUtf8(tableName)));
}

std::string SqliteDatabase::FreeTableName(const std::string& name) {
  if (failed_) return name;
  Statement query;
  sqlite3_prepare_v2(db_, "SELECT 1 FROM sqlite_schema WHERE name = ? COLLATE NOCASE", -1,
                     &query.handle, nullptr);
  std::string free = name;
  for (unsigned n = 2; query.handle != nullptr; ++n) {
    sqlite3_reset(query.handle);
    sqlite3_bind_text(query.handle, 1, free.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(query.handle) != SQLITE_ROW) break;
    free = name + "_" + std::to_string(n);
  }
  return free;
}

void SqliteDatabase::Describe(const TableDescription& table) {
  if (failed_) return;
  Statement row;
  Statement column;
  sqlite3_prepare_v2(db_, "INSERT INTO qrx_tables VALUES (?, ?, ?, ?, ?)", -1, &row.handle,
                     nullptr);
  sqlite3_prepare_v2(db_, "INSERT INTO qrx_columns VALUES (?, ?, ?, ?, ?)", -1, &column.handle,
                     nullptr);
  if (row.handle == nullptr || column.handle == nullptr) {
    Fail(sqlite3_errmsg(db_));
    return;
  }
  const std::string name = platform::ToValidUtf8(table.name);
  sqlite3_bind_text(row.handle, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int64(row.handle, 2, table.rows);
  sqlite3_bind_int64(row.handle, 3, table.damagedUnits);
  sqlite3_bind_int64(row.handle, 4, table.conflicts);
  sqlite3_bind_int64(row.handle, 5, table.valuesNotTyped);
  if (sqlite3_step(row.handle) != SQLITE_DONE) {
    Fail(sqlite3_errmsg(db_));
    return;
  }
  for (size_t i = 0; i < table.columns.size(); ++i) {
    const OutputColumn& described = table.columns[i];
    const std::string columnName = platform::ToValidUtf8(described.name);
    sqlite3_reset(column.handle);
    sqlite3_bind_text(column.handle, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(column.handle, 2, static_cast<int64_t>(i) + 1);
    sqlite3_bind_text(column.handle, 3, columnName.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(column.handle, 4, SqlType(described), -1, SQLITE_STATIC);
    const std::string kind = ToNarrow(KindName(described.typed.kind));
    sqlite3_bind_text(column.handle, 5, kind.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(column.handle) != SQLITE_DONE) {
      Fail(sqlite3_errmsg(db_));
      return;
    }
  }
}

void SqliteDatabase::AddStoredObject(const std::u16string& name, std::span<const uint8_t> bytes) {
  if (failed_) return;
  Statement insert;
  const std::string text = platform::ToValidUtf8(name);
  if (sqlite3_prepare_v2(db_, "INSERT INTO qrx_stored_files VALUES (?, ?)", -1, &insert.handle,
                         nullptr) != SQLITE_OK ||
      sqlite3_bind_text(insert.handle, 1, text.c_str(), -1, SQLITE_TRANSIENT) != SQLITE_OK ||
      sqlite3_bind_blob64(insert.handle, 2, bytes.data(), bytes.size(), SQLITE_STATIC) !=
          SQLITE_OK ||
      sqlite3_step(insert.handle) != SQLITE_DONE) {
    Fail("stored file " + ToNarrow(name) + ": " + sqlite3_errmsg(db_));
  }
}

std::u16string SqliteDatabase::Commit() {
  const std::u16string name = Checked();
  if (name.empty()) Discard();
  return name;
}

std::u16string SqliteDatabase::Checked() {
  if (failed_) return {};
  Statement check;
  if (sqlite3_prepare_v2(db_, "PRAGMA integrity_check", -1, &check.handle, nullptr) != SQLITE_OK ||
      sqlite3_step(check.handle) != SQLITE_ROW) {
    Fail(std::string("integrity check: ") + sqlite3_errmsg(db_));
    return {};
  }
  const std::string verdict = reinterpret_cast<const char*>(sqlite3_column_text(check.handle, 0));
  if (verdict != "ok") {
    Fail("integrity check: " + verdict);
    return {};
  }
  sqlite3_finalize(check.handle);
  check.handle = nullptr;
  const int closed = sqlite3_close(db_);
  db_ = nullptr;
  if (closed != SQLITE_OK) {
    Fail(sqlite3_errstr(closed));
    return {};
  }
  const std::u16string name = FreeTableBase(folder_, base_, {u".SQLITE"}) + u".sqlite";
  if (!platform::RenameNoReplace(temporaryPath_, folder_ + name)) {
    Fail(ToNarrow(folder_ + name) + ": " + platform::ErrorText(platform::LastError()));
    return {};
  }
  temporaryPath_.clear();
  g_Log.LogFormat("SQLite database written to %s", ToNarrow(folder_ + name).c_str());
  return name;
}

void SqliteDatabase::Discard() {
  sqlite3_close_v2(db_);
  db_ = nullptr;
  if (!temporaryPath_.empty()) platform::DeleteFile(temporaryPath_);
  temporaryPath_.clear();
}

bool SqliteDatabase::Execute(const char* sql) {
  if (failed_) return false;
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  const std::string why = message != nullptr ? message : sqlite3_errmsg(db_);
  sqlite3_free(message);
  return Fail(why);
}

bool SqliteDatabase::Fail(const std::string& what) {
  if (!failed_) {
    failed_ = true;
    g_Log.LogFormat("SQLite database %s: can't write: %s",
                    ToNarrow(folder_ + base_ + u".sqlite").c_str(), what.c_str());
  }
  return false;
}

}  // namespace deep
