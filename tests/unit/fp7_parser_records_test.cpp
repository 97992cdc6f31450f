// The two record passes: counting and sizing, then joining the occurrences of a record and writing
// it once.
#include <gtest/gtest.h>

#include "fp7_parser_fixture.h"

namespace {

using fp7::Bytes;
using fp7::ChunkWriter;
using Rows = std::vector<std::vector<std::string>>;

constexpr uint32_t kTable = 129;

// The table list and the columns of table "T" (129): 1 Name, 2 Note, 3 Text.
Bytes CataloguePage() {
  fp7::Table table = TableNamed(kTable, "T");
  table.columns = {{1, "Name", {1, 1}}, {2, "Note", {1, 1}}, {3, "Text", {1, 1}}};
  ChunkWriter page;
  fp7::WriteTableCatalogue(page, {table});
  fp7::WriteColumns(page, table);
  return page.bytes();
}

// A page with these occurrences of T's records, its list closed.
Bytes RecordPage(const std::vector<fp7::Record>& records) {
  fp7::Table table = TableNamed(kTable, "T");
  table.records = records;
  ChunkWriter page;
  fp7::WriteRecords(page, table);
  return page.Text(1, "behind").bytes();
}

// Record 1 with "one" and the first 1000 bytes of a text in column 3 announced as `total` bytes.
Bytes Announced(uint32_t total) {
  return PageUnder({kTable, 5}, [=](ChunkWriter& p) {
    p.Push(1).Text(1, "one").Push(3);
    p.ValueAs(0x03, 0, Bytes{0, 0, uint8_t(total >> 8), uint8_t(total)});
    p.Text(1, std::string(1000, 'a')).Pop(2);
  });
}
// A later piece of that text: a value of column 3 in another occurrence of record 1.
Bytes Piece(char letter, size_t count) {
  return RecordPage({{1, {{3, std::string(count, letter)}}}});
}

class Fp7RecordsTest : public Fp7ParserTest {
 protected:
  void Count() {
    parser.ReadListOfTables();
    parser.ReadListOfColumns(kTable);
    parser.FillColumnCatalogue();
    parser.ReadRecords(kTable, false);
  }
  // The whole recovery; the table written.
  DbfTable Recover(int32_t expected = 0) {
    parser.ResetTable();
    EXPECT_EQ(parser.Process(Utf16(dir / "out").c_str()), expected);
    return ReadDbf(dir / "out" / "T.dbf");
  }
};

TEST_F(Fp7RecordsTest, ARecordOnTwoPagesIsCountedOnceAndWrittenOnceWithBothOccurrences) {
  constexpr uint32_t kFar = 200000000;  // beyond the first page of seen ids
  OpenPages({CataloguePage(), RecordPage({{10, {{1, "ten"}}}, {kFar, {{1, "far"}}}}),
             RecordPage({{11, {{1, "eleven"}}}}), Filler(),
             RecordPage({{10, {{2, "second half"}}}, {kFar, {{2, "again"}}}})});
  Count();
  EXPECT_EQ(parser.m_dwTotalRecords, 3u);
  EXPECT_EQ(parser.m_DuplicateCounts, (std::map<uint32_t, uint32_t>{{10, 2}, {kFar, 2}}));
  const DbfTable table = Recover();
  EXPECT_EQ(table.declaredRows, 3u);
  EXPECT_EQ(table.rows,
            (Rows{{"eleven", "", ""}, {"ten", "second half", ""}, {"far", "again", ""}}));
}

TEST_F(Fp7RecordsTest, ALongTextIsJoinedFromItsOccurrencesUpToItsDeclaredLength) {
  OpenPages({CataloguePage(), Announced(2500), Piece('b', 1000), Piece('c', 500)});
  Count();
  EXPECT_EQ(parser.m_ColumnCatalogue.at(3).m_dwWidth, 2500u);
  const DbfTable table = Recover();
  EXPECT_EQ(table.types, "CCM");
  EXPECT_EQ(
      table.rows,
      (Rows{{"one", "", std::string(1000, 'a') + std::string(1000, 'b') + std::string(500, 'c')}}));
}

TEST_F(Fp7RecordsTest, APieceBeyondTheDeclaredLengthIsWrittenAsAFieldOfItsOwn) {
  OpenPages({CataloguePage(), Announced(2000), Piece('b', 600), Piece('c', 600)});
  // 1000 + 600 fit the 2000 announced; the third piece follows as a value of its own, which the
  // writer places in a row of its own.
  EXPECT_EQ(Recover().rows, (Rows{{"one", "", std::string(1000, 'a') + std::string(600, 'b')},
                                  {"", "", std::string(600, 'c')}}));
}

TEST_F(Fp7RecordsTest, FieldsWithoutAColumnGetNumberedPlaceholderColumnsAsWideAsTheirValues) {
  OpenPages(
      {CataloguePage(), RecordPage({{1, {{1, "x"}, {4, "abcdefgh"}, {9, "nine"}}},
                                    {2, {{4, "ab"}, {7, "seven!"}}},
                                    {3, {{1, ""}, {2, ""}}}})});  // only empty values: no record
  Count();
  EXPECT_EQ(parser.m_dwTotalRecords, 2u);
  const DbfTable table = Recover();
  EXPECT_EQ(table.names, (std::vector<std::string>{"Name", "Note", "Text", "Unknown 1", "Unknown 2",
                                                   "Unknown 3"}));
  EXPECT_EQ(table.widths, (std::vector<unsigned>{5, 5, 5, 8, 6, 5}));
  EXPECT_EQ(table.rows.size(), 2u);
}

TEST_F(Fp7RecordsTest, ARecordListWithoutRecordsEndsBothPasses) {
  OpenPages({CataloguePage(), RecordPage({{1, {{1, "a"}}}}), RecordPage({}),
             RecordPage({{2, {{1, "b"}}}})});
  Count();
  EXPECT_EQ(parser.m_dwTotalRecords, 1u);
  EXPECT_EQ(Recover(-3).rows, (Rows{{"a", "", ""}}));
}

TEST_F(Fp7RecordsTest, TheTableResetDropsPendingRecords) {
  OpenPages({CataloguePage(), RecordPage({{10, {{1, "ten"}}}}), RecordPage({{10, {{2, "x"}}}})});
  Count();
  CRowOfTable first;
  first.m_dwKey = 10;
  first.m_Fields.emplace_back(new CDataOfField)->SetText("ten", 3);
  EXPECT_EQ(parser.AddRecord(first), 0);  // one of two occurrences: pending
  EXPECT_EQ(parser.m_PendingRecords.size(), 1u);
  parser.ResetTable();
  EXPECT_TRUE(parser.m_PendingRecords.empty());
  EXPECT_TRUE(parser.m_DuplicateCounts.empty());
}

}  // namespace
