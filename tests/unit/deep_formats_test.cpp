// SQLite and CSV beside dBase: names and texts dBase cannot hold kept whole, typed values, CSV
// quoting and formula guards, and failures that leave no file.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "deep/run_outputs.h"
#include "deep/table_writer.h"
#include "platform/file.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace deep {
namespace {

namespace fs = std::filesystem;
using Row = std::vector<std::optional<std::u16string>>;

const std::u16string kLongName = std::u16string(55, u'Ж') + u"\"q,\n";  // 60 characters

class DeepFormatsTest : public ::testing::Test {
 protected:
  TableSummary Write(uint32_t formats) {
    RunOutputs outputs(dir.path().u16string(), u"Source.fp7",
                       Options{OutputEncoding::kWindows1252, formats, true});
    EXPECT_TRUE(outputs.Start());
    TableWriter writer(u"Ünïcode, \"table\"",
                       {{kLongName, ColumnKind::kText},
                        {u"Price", ColumnKind::kNumber},
                        {u"Day", ColumnKind::kDate},
                        {u"=Sum", ColumnKind::kText},
                        {u"Big", ColumnKind::kNumber}},
                       outputs);
    writer.AddRow(
        Row{u"日本語, \"x\"\r\nline", u"0,79", u"18/11/2004", u"=1+1", u"1234567890123456.25"});
    writer.AddRow(Row{std::nullopt, u"-3", u"", u"-minus", u"2"});
    TableSummary summary = writer.Finish();
    outputs.NoteTable({u"Ünïcode, \"table\"", 5, summary});
    databaseWritten = outputs.Finish();
    return summary;
  }
  std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  TempDir dir;
  bool databaseWritten = false;
};

TEST_F(DeepFormatsTest, CsvKeepsEveryCharacterQuotesAndGuardsFormulas) {
  const TableSummary summary = Write(kCsv);
  ASSERT_TRUE(summary.written);
  ASSERT_EQ(summary.files, std::vector<std::u16string>{u"Ünïcode, table.csv"});
  const std::string name =
      "\xC3\x9Cn\xC3\xAF"
      "code, table.csv";
  EXPECT_EQ(
      Read(dir.path() / name),
      "\xEF\xBB\xBF\"" + qrx::platform::ToUtf8(kLongName).substr(0, 110) +
          "\"\"q,\n\",Price,Day,\"'=Sum\",Big\r\n"
          "\"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E, \"\"x\"\"\r\nline\",0.79,2004-11-18,\"'=1+1\","
          "1234567890123456.25\r\n"
          ",-3,,\"'-minus\",2\r\n");
}

TEST_F(DeepFormatsTest, SqliteHoldsFullNamesExactNumbersAndTheRecovery) {
  ASSERT_TRUE(Write(kSqlite | kDbase).written);
  ASSERT_TRUE(databaseWritten);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((dir.path() / "Source.sqlite").string().c_str(), &db), SQLITE_OK);
  const auto query = [&](const std::string& sql) {
    std::string out;
    sqlite3_exec(
        db, sql.c_str(),
        [](void* text, int n, char** values, char**) {
          for (int i = 0; i < n; ++i) {
            *static_cast<std::string*>(text) += (values[i] ? values[i] : "NULL");
            *static_cast<std::string*>(text) += i + 1 < n ? "|" : "\n";
          }
          return 0;
        },
        &out, nullptr);
    return out;
  };
  const std::string longName = qrx::platform::ToUtf8(kLongName);
  EXPECT_EQ(
      query("SELECT name, type, definition FROM qrx_columns ORDER BY position"),
      longName + "|TEXT|text\nPrice|NUMERIC|number\nDay|TEXT|date\n=Sum|TEXT|text\nBig||number\n");
  EXPECT_EQ(query("SELECT typeof(Price), Price, Day, typeof(Big), Big, \"=Sum\" FROM "
                  "\"Ünïcode, \"\"table\"\"\""),
            "real|0.79|2004-11-18|text|1234567890123456.25|=1+1\n"
            "integer|-3|NULL|integer|2|-minus\n");
  EXPECT_EQ(query("SELECT \"" + std::string(longName).replace(longName.find('"'), 1, "\"\"") +
                  "\" FROM \"Ünïcode, \"\"table\"\"\" LIMIT 1"),
            "日本語, \"x\"\r\nline\n");
  EXPECT_EQ(query("SELECT * FROM qrx_tables"), "Ünïcode, \"table\"|2|0|0|0\n");
  sqlite3_close(db);
}

TEST_F(DeepFormatsTest, NoFormatWritesNothingButDecidesTheTypes) {
  const TableSummary summary = Write(0);
  EXPECT_TRUE(summary.written);
  EXPECT_EQ(summary.fieldTypes, (std::vector<char>{'C', 'N', 'D', 'C', 'N'}));
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(DeepFormatsTest, AFailedCsvWriteLeavesNoFileOfTheTable) {
  bool succeeded = false;
  for (uint64_t failAt = 1; failAt < 40 && !succeeded; ++failAt) {
    fs::remove_all(dir.path());
    fs::create_directories(dir.path());
    qrx::platform::ResetWriteCounting(failAt);
    const TableSummary summary = Write(kCsv | kDbase);
    qrx::platform::ResetWriteCounting();
    succeeded = summary.written;
    if (succeeded) break;
    EXPECT_TRUE(summary.writeFailed) << failAt;
    EXPECT_TRUE(fs::is_empty(dir.path())) << failAt;
  }
  EXPECT_TRUE(succeeded);
}

}  // namespace
}  // namespace deep
