// The two record passes: counting and sizing, then joining the occurrences of a record and writing
// it once.
#include <gtest/gtest.h>

#include "fp7_parser_fixture.h"

namespace {

using fp7::Bytes;
using fp7::ChunkWriter;

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

// A record page: the record list of table 129 opened, `records` written, the list closed.
Bytes RecordPage(const std::function<void(ChunkWriter&)>& records) {
  ChunkWriter page;
  page.Push(kTable).Push(5);
  records(page);
  page.Pop(2).Text(1, "behind");
  return page.bytes();
}

Bytes Letters(char letter, size_t count) {
  return fp7::EncodeText(std::string(count, letter));
}

class Fp7RecordsTest : public Fp7ParserTest {
 protected:
  // Runs the whole recovery; the rows of T.dbf.
  DbfTable Recover(int32_t expected = 0) {
    std::filesystem::create_directory(dir / "out");
    EXPECT_EQ(parser.Process(Utf16(dir / "out").c_str()), expected);
    return ReadDbf(dir / "out" / "T.dbf");
  }
  void Count() {
    parser.ReadListOfTables();
    parser.ReadListOfColumns(kTable);
    parser.FillColumnCatalogue();
    parser.ReadRecords(kTable, false);
  }
};

TEST_F(Fp7RecordsTest, ARecordOnTwoPagesIsCountedOnceAndWrittenOnceWithBothOccurrences) {
  OpenPages({CataloguePage(), Filler(),
             RecordPage([](ChunkWriter& p) { p.Push(10).Text(1, "ten").Pop(); }),
             RecordPage([](ChunkWriter& p) { p.Push(11).Text(1, "eleven").Pop(); }), Filler(),
             RecordPage([](ChunkWriter& p) { p.Push(10).Text(2, "second half").Pop(); })});
  Count();
  EXPECT_EQ(parser.m_dwTotalRecords, 2u);
  EXPECT_EQ(parser.m_DuplicateCounts, (std::map<uint32_t, uint32_t>{{10, 2}}));
  parser.LogRecordSummary();
  EXPECT_TRUE(
      Logged("Duplicated records count:1\nStart enumerating of duplicated records...\n"
             "\tID:10 , Stored count: 2\nEnd enumerating of duplicated records.\n"));

  const DbfTable table = Recover();
  EXPECT_EQ(table.declaredRows, 2u);
  EXPECT_EQ(table.rows, (std::vector<std::vector<std::string>>{{"eleven", "", ""},
                                                               {"ten", "second half", ""}}));
  EXPECT_TRUE(Logged("Write to DBF: Cols 2, ID:10, TOTAL RECs:1"));
}

TEST_F(Fp7RecordsTest, ALongTextIsJoinedFromItsOccurrencesUpToItsDeclaredLength) {
  const auto declared = [](uint32_t total, const Bytes& first) {
    return [=](ChunkWriter& p) {
      p.Push(1).Push(3).ValueAs(0x03, 0, Bytes{0, 0, uint8_t(total >> 8), uint8_t(total)});
      p.Value(1, first).Pop(2);
    };
  };
  const auto piece = [](const Bytes& bytes) {
    return [=](ChunkWriter& p) { p.Push(1).Value(3, bytes).Pop(); };
  };
  OpenPages({CataloguePage(), RecordPage(declared(2500, Letters('a', 1000))),
             RecordPage(piece(Letters('b', 1000))), RecordPage(piece(Letters('c', 500)))});
  Count();
  EXPECT_EQ(parser.m_ColumnCatalogue.at(3).m_dwWidth, 2500u);
  DbfTable table = Recover();
  ASSERT_EQ(table.rows.size(), 1u);
  EXPECT_EQ(table.types, "CCM");
  EXPECT_EQ(table.rows[0][2],
            std::string(1000, 'a') + std::string(1000, 'b') + std::string(500, 'c'));
}

TEST_F(Fp7RecordsTest, APieceBeyondTheDeclaredLengthIsWrittenAsAFieldOfItsOwn) {
  OpenPages({CataloguePage(), RecordPage([](ChunkWriter& p) {
               p.Push(1).Text(1, "one").Push(3).ValueAs(0x03, 0, Bytes{0, 0, 0x07, 0xD0});
               p.Value(1, Letters('a', 1000)).Pop(2);
             }),
             RecordPage([](ChunkWriter& p) { p.Push(1).Value(3, Letters('b', 600)).Pop(); }),
             RecordPage([](ChunkWriter& p) { p.Push(1).Value(3, Letters('c', 600)).Pop(); })});
  const DbfTable table = Recover();
  // 1000 + 600 fit the 2000 announced; the third piece would not, and follows as a value of its
  // own, which the writer places in a row of its own.
  ASSERT_EQ(table.rows.size(), 2u);
  EXPECT_EQ(table.rows[0][0], "one");
  EXPECT_EQ(table.rows[0][2], std::string(1000, 'a') + std::string(600, 'b'));
  EXPECT_EQ(table.rows[1][2], std::string(600, 'c'));
}

TEST_F(Fp7RecordsTest, FieldsWithoutAColumnGetNumberedPlaceholderColumnsAsWideAsTheirValues) {
  OpenPages({CataloguePage(), RecordPage([](ChunkWriter& p) {
               p.Push(1).Text(9, "nine").Text(4, "abcdefgh").Text(1, "x").Pop();
               p.Push(2).Text(4, "ab").Text(7, "seven!").Pop();
             })});
  Count();
  EXPECT_EQ(parser.m_dwUnknownColumns, 3u);
  EXPECT_EQ(parser.m_dwTotalColumns, 6u);
  parser.LogRecordSummary();
  EXPECT_TRUE(Logged("Unknown column count:3\n"));
  EXPECT_TRUE(Logged("Added Unknown Column added. ID 9, name Unknown %, initial size 4\n"));

  parser.ResetTable();
  const DbfTable table = Recover();
  EXPECT_EQ(table.names, (std::vector<std::string>{"Name", "Note", "Text", "Unknown 1", "Unknown 2",
                                                   "Unknown 3"}));
  EXPECT_EQ(table.widths, (std::vector<unsigned>{5, 5, 5, 8, 6, 5}));
}

TEST_F(Fp7RecordsTest, ARecordOfEmptyValuesIsNeitherCountedNorWritten) {
  OpenPages({CataloguePage(), RecordPage([](ChunkWriter& p) {
               p.Push(1).Value(1, {}).Value(2, {}).Pop();
               p.Push(2).Text(1, "kept").Pop();
             })});
  Count();
  EXPECT_EQ(parser.m_dwTotalRecords, 1u);
  parser.ResetTable();
  EXPECT_EQ(Recover().rows, (std::vector<std::vector<std::string>>{{"kept", "", ""}}));
}

TEST_F(Fp7RecordsTest, ARecordListWithoutRecordsEndsBothPasses) {
  ChunkWriter empty;
  empty.Push(kTable).Push(5).Pop(2).Text(1, "behind");
  OpenPages({CataloguePage(), RecordPage([](ChunkWriter& p) { p.Push(1).Text(1, "a").Pop(); }),
             empty.bytes(), RecordPage([](ChunkWriter& p) { p.Push(2).Text(1, "b").Pop(); })});
  Count();
  EXPECT_EQ(parser.m_dwTotalRecords, 1u);
  parser.ResetTable();
  EXPECT_EQ(Recover(-3).rows, (std::vector<std::vector<std::string>>{{"a", "", ""}}));
}

TEST_F(Fp7RecordsTest, RecordIdsBeyondTheFirstBitSetPageAreToldApart) {
  constexpr uint32_t kFar = 200000000;
  OpenPages({CataloguePage(), RecordPage([](ChunkWriter& p) {
               p.Push(5).Text(1, "near").Pop().Push(kFar).Text(1, "far").Pop();
               p.Push(kFar + 1).Text(1, "farther").Pop();
             }),
             RecordPage([](ChunkWriter& p) { p.Push(kFar).Text(2, "again").Pop(); })});
  Count();
  EXPECT_EQ(parser.m_dwTotalRecords, 3u);
  EXPECT_EQ(parser.m_DuplicateCounts, (std::map<uint32_t, uint32_t>{{kFar, 2}}));
  parser.ResetTable();
  EXPECT_EQ(Recover().rows, (std::vector<std::vector<std::string>>{
                                {"near", "", ""}, {"farther", "", ""}, {"far", "again", ""}}));
}

TEST_F(Fp7RecordsTest, TheStateDumpNamesPendingRecordsAndTheTableResetDropsThem) {
  OpenPages({CataloguePage(), RecordPage([](ChunkWriter& p) { p.Push(10).Text(1, "ten").Pop(); }),
             RecordPage([](ChunkWriter& p) { p.Push(10).Text(2, "more").Pop(); })});
  Count();
  CRowOfTable first;
  first.m_dwKey = 10;
  first.m_Fields.emplace_back(new CDataOfField);
  first.m_Fields.back()->m_dwID = 1;
  first.m_Fields.back()->SetText("ten", 3);
  first.m_Fields.back()->m_dwLength = 3;
  EXPECT_EQ(parser.AddRecord(first), 0);
  EXPECT_EQ(parser.DumpParserState(), 0);
  EXPECT_TRUE(Logged("Loaded Page:"));
  EXPECT_TRUE(Logged("Current saved records :\nTotal records founded:1\n"));
  EXPECT_TRUE(
      Logged("Current collected founded count :1\nStart enumerating of incomplete "
             "records...\nOne record. ID10\nField[0], id 1, data ten\n"
             "End enumerating of incomplete records...\nPage data\nPage dump:\n"));
  parser.ResetTable();
  EXPECT_TRUE(parser.m_PendingRecords.empty());
  EXPECT_TRUE(parser.m_DuplicateCounts.empty());
}

}  // namespace
