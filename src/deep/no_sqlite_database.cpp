// The SQLite database of a build without SQLite: it never opens (the options refuse the format
// before a recovery starts, so this is only a guard).
#include "deep/sqlite_database.h"
#include "diag/log.h"

namespace deep {

SqliteDatabase::~SqliteDatabase() = default;

bool SqliteDatabase::Open(const std::u16string&, const std::u16string&) {
  return Fail("this build writes no SQLite databases");
}

std::unique_ptr<TableOutput> SqliteDatabase::Table(const std::u16string&) {
  return nullptr;
}

void SqliteDatabase::Describe(const TableDescription&) {}

void SqliteDatabase::AddStoredObject(const std::u16string&, std::span<const uint8_t>) {}

std::u16string SqliteDatabase::Commit() {
  return {};
}

void SqliteDatabase::Discard() {}

bool SqliteDatabase::Fail(const std::string& what) {
  if (!failed_) g_Log.LogFormat("SQLite database: %s", what.c_str());
  failed_ = true;
  return false;
}

}  // namespace deep
