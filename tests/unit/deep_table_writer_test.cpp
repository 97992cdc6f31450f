// Deep tables written into a temporary folder and read back: by Perl's XBase module, a dBase
// reader of its own, value for value, and by the repository's reader for the bytes around them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "deep/run_outputs.h"
#include "deep/table_writer.h"
#include "platform/file.h"
#include "support/dbf_reader.h"
#include "support/temp_dir.h"
#include "support/xbase_dump.h"

namespace deep {
namespace {

namespace fs = std::filesystem;
using Row = std::vector<std::optional<std::u16string>>;

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) hex += {kDigits[c >> 4], kDigits[c & 15]};
  return hex;
}

// The XBase dump line of a value; nullopt for one read as none.
std::string Value(int record, const std::string& field, const std::optional<std::string>& value) {
  const std::string line = "value " + std::to_string(record) + " " + field + " ";
  if (!value) return line + "undef\n";
  return line + std::to_string(value->size()) + " " + Hex(*value) + "\n";
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class DeepTableWriterTest : public ::testing::Test {
 protected:
  TableSummary Write(const std::u16string& name, const std::vector<TableColumn>& columns,
                     const std::vector<Row>& rows,
                     OutputEncoding encoding = OutputEncoding::kWindows1252) {
    RunOutputs outputs(Utf16(dir.path()), u"source.fp7", Options{encoding, kDbase, false});
    TableWriter writer(name, columns, outputs);
    for (const Row& row : rows) writer.AddRow(row);
    return writer.Finish();
  }
  static bool HaveXBase() { return std::system("perl -MXBase -e1 >/dev/null 2>&1") == 0; }

  TempDir dir;
};

TEST_F(DeepTableWriterTest, WritesTypedFieldsThatAnIndependentReaderReads) {
  std::u16string memo(300, u'm');
  memo[100] = u'\x1A';
  memo[299] = u'Ω';
  const std::vector<TableColumn> columns = {
      {u"Item name", ColumnKind::kText}, {u"Price", ColumnKind::kNumber},
      {u"Delivered", ColumnKind::kDate}, {u"Notes", ColumnKind::kText},
      {u"At", ColumnKind::kTime},        {u"Photo", ColumnKind::kContainer},
      {u"Amount", ColumnKind::kNumber}};
  const TableSummary summary = Write(
      u"Order_lines", columns,
      {{u"Café", u"0,79", u"18/11/2004", memo, u"12:30:00", u"image.jpg", u"1,234"},
       {u"Ω tea", u"1 234,5", u"03/04/2005", std::nullopt, std::nullopt, std::nullopt, u"-12"},
       {std::nullopt, u"-3", u"", u"short", u"", u"", u""}});

  ASSERT_TRUE(summary.written);
  EXPECT_FALSE(summary.writeFailed);
  EXPECT_EQ(summary.rows, 3u);
  EXPECT_EQ(summary.files, (std::vector<std::u16string>{u"Order_lines.dbt", u"Order_lines.cpg",
                                                        u"Order_lines.dbf"}));
  EXPECT_EQ(summary.fieldNames, (std::vector<std::string>{"Item_name", "Price", "Delivered",
                                                          "Notes", "At", "Photo", "Amount"}));
  EXPECT_EQ(summary.fieldTypes, (std::vector<char>{'C', 'N', 'D', 'M', 'C', 'C', 'N'}));
  EXPECT_EQ(summary.valuesNotTyped, 0u);
  EXPECT_EQ(summary.charactersNotEncoded, 2u);  // the omegas
  EXPECT_EQ(summary.endOfFileBytesReplaced, 1u);
  EXPECT_EQ(FolderEntries(dir.path()),
            (std::vector<std::string>{"Order_lines.cpg", "Order_lines.dbf", "Order_lines.dbt"}));
  EXPECT_EQ(ReadFileText(dir / "Order_lines.cpg"), "1252");

  const std::vector<unsigned char> bytes = ReadFileBytes(dir / "Order_lines.dbf");
  EXPECT_EQ(bytes[0], 0x83);
  EXPECT_EQ(bytes[29], 0x03);
  const DbfTable table = ReadDbf(dir / "Order_lines.dbf");
  EXPECT_EQ(table.declaredRows, 3u);
  EXPECT_EQ(table.widths, (std::vector<unsigned>{5, 7, 8, 10, 8, 9, 7}));
  const size_t headerLength = bytes[8] | bytes[9] << 8, recordLength = bytes[10] | bytes[11] << 8;
  EXPECT_EQ(headerLength, 32u + 7 * 32 + 1);
  EXPECT_EQ(recordLength, 1u + 5 + 7 + 8 + 10 + 8 + 9 + 7);
  EXPECT_EQ(bytes.size(), headerLength + 3 * recordLength + 1);
  EXPECT_EQ(bytes[32 + 32 + 17], 2);      // Price: two decimals, as "0,79" has
  EXPECT_EQ(bytes[32 + 6 * 32 + 17], 3);  // Amount: "1,234" read as 1.234

  if (!HaveXBase()) GTEST_SKIP() << "Perl's XBase module is missing (libdbd-xbase-perl)";
  std::string memoBytes(300, 'm');
  memoBytes[100] = ' ';
  memoBytes[299] = '?';
  // The reader gives field names in capitals and numbers as numbers (1234.50 as 1234.5).
  const std::string expected =
      "version 83\nfield ITEM_NAME C 5\nfield PRICE N 7\nfield DELIVERED D 8\nfield NOTES M 10\n"
      "field AT C 8\nfield PHOTO C 9\nfield AMOUNT N 7\nrecords 3\n" +
      Value(0, "ITEM_NAME", "Caf\xE9") + Value(0, "PRICE", "0.79") +
      Value(0, "DELIVERED", "20041118") + Value(0, "NOTES", memoBytes) +
      Value(0, "AT", "12:30:00") + Value(0, "PHOTO", "image.jpg") + Value(0, "AMOUNT", "1.234") +
      Value(1, "ITEM_NAME", "? tea") + Value(1, "PRICE", "1234.5") +
      Value(1, "DELIVERED", "20050403") + Value(1, "NOTES", std::nullopt) + Value(1, "AT", "") +
      Value(1, "PHOTO", "") + Value(1, "AMOUNT", "-12") + Value(2, "ITEM_NAME", "") +
      Value(2, "PRICE", "-3") + Value(2, "DELIVERED", std::nullopt) + Value(2, "NOTES", "short") +
      Value(2, "AT", "") + Value(2, "PHOTO", "") + Value(2, "AMOUNT", std::nullopt);
  EXPECT_EQ(XBaseDump(dir / "Order_lines.dbf"), expected);
}

TEST_F(DeepTableWriterTest, ColumnsKeptFromTheirTypeBecomeText) {
  const TableSummary summary = Write(
      u"Mixed",
      {{u"Dutch", ColumnKind::kNumber},  // "1.234" groups thousands, as "2.345.678" shows
       {u"Code", ColumnKind::kNumber},   // not every value is a number
       {u"Wide", ColumnKind::kNumber},   // 21 characters together
       {u"US date", ColumnKind::kDate},  // month first, as "12/31/2004" shows
       {u"Either", ColumnKind::kDate},   // the table's order decides
       {u"Unclear", ColumnKind::kDate},  // day-first and month-first values
       {u"ISO", ColumnKind::kDate}},
      {{u"1.234", u"12", u"1234567890", u"12/31/2004", u"01/02/2003", u"13/01/2004", u"2004-11-18"},
       {u"2.345.678", u"A-7", u"0,1234567890", u"1/2/2004", u"05/06/07", u"01/13/2004",
        u"1999-1-2"}});
  EXPECT_EQ(summary.fieldTypes, (std::vector<char>{'N', 'C', 'C', 'D', 'D', 'C', 'D'}));
  EXPECT_EQ(summary.valuesNotTyped, 1u + 2 + 2);
  const DbfTable table = ReadDbf(dir / "Mixed.dbf");
  ASSERT_EQ(table.rows.size(), 2u);
  EXPECT_EQ(table.rows[0], (std::vector<std::string>{"   1234", "12", "1234567890", "20041231",
                                                     "20030102", "13/01/2004", "20041118"}));
  EXPECT_EQ(table.rows[1], (std::vector<std::string>{"2345678", "A-7", "0,1234567890", "20040102",
                                                     "20070506", "01/13/2004", "19990102"}));
}

// Texts are encoded once, as they come; numbers and dates are read again when written. What the
// code page cannot hold is counted in what is written as text only, whichever kind of column it
// came from.
TEST_F(DeepTableWriterTest, CharactersNotEncodedAreCountedWhereWrittenAsText) {
  const std::u16string eof(1, char16_t{0x1A});
  const TableSummary summary =
      Write(u"Counted",
            {{u"Note", ColumnKind::kText},
             {u"Amount", ColumnKind::kNumber},    // U+2212 minus: a number, not counted
             {u"Code", ColumnKind::kNumber},      // text in the end: its omega counts
             {u"Long", ColumnKind::kContainer}},  // past 254 bytes: a memo
            {{u"\u03A9 one" + eof, u"\u22125", u"\u03A9" + eof, std::u16string(300, u'\u03A9')},
             {std::nullopt, u"3", u"7", u"short"}});
  ASSERT_TRUE(summary.written);
  EXPECT_EQ(summary.fieldTypes, (std::vector<char>{'C', 'N', 'C', 'M'}));
  EXPECT_EQ(summary.charactersNotEncoded, 1u + 1 + 300);
  EXPECT_EQ(summary.endOfFileBytesReplaced, 2u);
  const DbfTable table = ReadDbf(dir / "Counted.dbf");
  ASSERT_EQ(table.rows.size(), 2u);
  EXPECT_EQ(table.rows[0], (std::vector<std::string>{"? one", "-5", "?", std::string(300, '?')}));
  EXPECT_EQ(table.rows[1], (std::vector<std::string>{"", " 3", "7", "short"}));
}

TEST_F(DeepTableWriterTest, ARecordTooLongForItsHeaderMovesItsWidestTextsToMemos) {
  std::vector<TableColumn> columns;
  Row row;
  for (int i = 0; i < 300; ++i) {
    columns.push_back({u"Column " + Utf16(std::to_string(i)), ColumnKind::kText});
    row.push_back(std::u16string(i == 7 ? 10 : 250, u'a' + i % 26));
  }
  const TableSummary summary = Write(u"Wide", columns, {row});
  ASSERT_TRUE(summary.written);
  const DbfTable table = ReadDbf(dir / "Wide.dbf");
  const std::vector<unsigned char> bytes = ReadFileBytes(dir / "Wide.dbf");
  const size_t recordLength = bytes[10] | bytes[11] << 8;
  EXPECT_EQ(bytes[0], 0x83);
  EXPECT_EQ(recordLength, 1u + std::accumulate(table.widths.begin(), table.widths.end(), 0u));
  EXPECT_EQ(table.types[7], 'C');
  EXPECT_GT(std::count(table.types.begin(), table.types.end(), 'M'), 30);
  ASSERT_EQ(table.rows.size(), 1u);
  for (size_t i = 0; i < row.size(); ++i) EXPECT_EQ(Utf16(table.rows[0][i]), *row[i]) << i;
}

TEST_F(DeepTableWriterTest, Utf8OptionDeclaresItAndCountsWidthsInBytes) {
  const TableSummary summary =
      Write(u"Names", {{u"Name", ColumnKind::kText}}, {{u"Zoë"}, {u"€"}}, OutputEncoding::kUtf8);
  ASSERT_TRUE(summary.written);
  EXPECT_EQ(summary.charactersNotEncoded, 0u);
  EXPECT_EQ(ReadFileText(dir / "Names.cpg"), "UTF-8");
  const std::vector<unsigned char> bytes = ReadFileBytes(dir / "Names.dbf");
  EXPECT_EQ(bytes[0], 0x03);
  EXPECT_EQ(bytes[29], 0);
  const DbfTable table = ReadDbf(dir / "Names.dbf");
  EXPECT_EQ(table.widths, (std::vector<unsigned>{4}));
  EXPECT_EQ(table.rows, (std::vector<std::vector<std::string>>{{"Zo\xC3\xAB"}, {"\xE2\x82\xAC"}}));
}

TEST_F(DeepTableWriterTest, NeverReplacesAFileAndNamesTheTableSafely) {
  WriteFileBytes(dir / "orders.DBT", {'x'});  // taken in another case
  const TableSummary first = Write(u"Orders", {{u"A", ColumnKind::kText}}, {{u"1"}});
  const TableSummary second = Write(u"Orders", {{u"A", ColumnKind::kText}}, {{u"2"}});
  const TableSummary hostile = Write(u"../x/.secret", {{u"A", ColumnKind::kText}}, {{u"3"}});
  EXPECT_EQ(first.files.back(), u"Orders_2.dbf");
  EXPECT_EQ(second.files.back(), u"Orders_3.dbf");
  EXPECT_EQ(hostile.files.back(), u"_.secret.dbf");
  EXPECT_EQ(ReadFileText(dir / "orders.DBT"), "x");
  EXPECT_EQ(ReadDbf(dir / "Orders_3.dbf").rows, (std::vector<std::vector<std::string>>{{"2"}}));
}

TEST_F(DeepTableWriterTest, AFailedWriteAtAnyPointLeavesNoFileOfTheTable) {
  const std::vector<Row> rows(200, Row{std::u16string(600, u'n'), u"1,5", u"text"});
  const std::vector<TableColumn> columns = {
      {u"Memo", ColumnKind::kText}, {u"N", ColumnKind::kNumber}, {u"T", ColumnKind::kText}};
  bool succeeded = false;
  for (uint64_t failAt = 1; !succeeded && failAt < 1000; ++failAt) {
    qrx::platform::ResetWriteCounting(failAt);
    const TableSummary summary = Write(u"Big", columns, rows);
    qrx::platform::ResetWriteCounting();
    succeeded = summary.written;
    if (succeeded) break;
    EXPECT_TRUE(summary.writeFailed) << failAt;
    EXPECT_TRUE(summary.files.empty()) << failAt;
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{}) << failAt;
  }
  ASSERT_TRUE(succeeded);
  EXPECT_EQ(ReadDbf(dir / "Big.dbf").rows.size(), 200u);
}

TEST_F(DeepTableWriterTest, DiscardLeavesNothing) {
  {
    RunOutputs outputs(Utf16(dir.path()), u"source.fp7", Options{});
    TableWriter writer(u"Gone", {{u"A", ColumnKind::kText}}, outputs);
    writer.AddRow(Row{u"x"});
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"Gone.qrx-spool"});
    writer.Discard();
    EXPECT_FALSE(writer.AddRow(Row{u"y"}));
    EXPECT_FALSE(writer.Finish().written);
  }
  {
    RunOutputs outputs(Utf16(dir.path()), u"source.fp7", Options{});
    TableWriter dropped(u"Dropped", {{u"A", ColumnKind::kText}}, outputs);
    dropped.AddRow(Row{u"x"});
  }
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace deep
