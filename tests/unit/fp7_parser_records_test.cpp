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

Bytes RecordPage(const std::function<void(ChunkWriter&)>& records) {
  return PageUnder({kTable, 5}, records);
}
// One record occurrence with text fields {column, text}.
Bytes OnePage(uint32_t id, std::initializer_list<std::pair<uint32_t, std::string>> fields) {
  return RecordPage([&](ChunkWriter& p) {
    p.Push(id);
    for (const auto& [column, text] : fields) p.Text(column, text);
    p.Pop();
  });
}
// The first piece of a long text in column 3, announcing `total` bytes.
ChunkWriter& Declared(ChunkWriter& p, uint32_t total, const Bytes& first) {
  p.Push(3).ValueAs(0x03, 0, Bytes{0, 0, uint8_t(total >> 8), uint8_t(total)});
  return p.Value(1, first).Pop();
}
// A later piece of the long text in column 3 of record 1.
Bytes Piece(char letter, size_t count) {
  return RecordPage([&](ChunkWriter& p) {
    p.Push(1).Value(3, fp7::EncodeText(std::string(count, letter))).Pop();
  });
}

class Fp7RecordsTest : public Fp7ParserTest {
 protected:
  // The whole recovery; the rows of T.dbf.
  DbfTable Recover(int32_t expected = 0) {
    parser.ResetTable();
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
  constexpr uint32_t kFar = 200000000;  // beyond the first page of seen ids
  OpenPages({CataloguePage(), RecordPage([](ChunkWriter& p) {
               p.Push(10).Text(1, "ten").Pop().Push(kFar).Text(1, "far").Pop();
             }),
             OnePage(11, {{1, "eleven"}}), Filler(), RecordPage([](ChunkWriter& p) {
               p.Push(10).Text(2, "second half").Pop().Push(kFar).Text(2, "again").Pop();
             })});
  Count();
  EXPECT_EQ(parser.m_dwTotalRecords, 3u);
  EXPECT_EQ(parser.m_DuplicateCounts, (std::map<uint32_t, uint32_t>{{10, 2}, {kFar, 2}}));
  const DbfTable table = Recover();
  EXPECT_EQ(table.declaredRows, 3u);
  EXPECT_EQ(table.rows,
            (Rows{{"eleven", "", ""}, {"ten", "second half", ""}, {"far", "again", ""}}));
}

TEST_F(Fp7RecordsTest, ALongTextIsJoinedFromItsOccurrencesUpToItsDeclaredLength) {
  const Bytes first = fp7::EncodeText(std::string(1000, 'a'));
  OpenPages({CataloguePage(),
             RecordPage([&](ChunkWriter& p) { Declared(p.Push(1), 2500, first).Pop(); }),
             Piece('b', 1000), Piece('c', 500)});
  Count();
  EXPECT_EQ(parser.m_ColumnCatalogue.at(3).m_dwWidth, 2500u);
  const DbfTable table = Recover();
  EXPECT_EQ(table.types, "CCM");
  EXPECT_EQ(
      table.rows,
      (Rows{{"", "", std::string(1000, 'a') + std::string(1000, 'b') + std::string(500, 'c')}}));
}

TEST_F(Fp7RecordsTest, APieceBeyondTheDeclaredLengthIsWrittenAsAFieldOfItsOwn) {
  const Bytes first = fp7::EncodeText(std::string(1000, 'a'));
  OpenPages({CataloguePage(), RecordPage([&](ChunkWriter& p) {
               Declared(p.Push(1).Text(1, "one"), 2000, first).Pop();
             }),
             Piece('b', 600), Piece('c', 600)});
  // 1000 + 600 fit the 2000 announced; the third piece follows as a value of its own, which the
  // writer places in a row of its own.
  EXPECT_EQ(Recover().rows, (Rows{{"one", "", std::string(1000, 'a') + std::string(600, 'b')},
                                  {"", "", std::string(600, 'c')}}));
}

TEST_F(Fp7RecordsTest, FieldsWithoutAColumnGetNumberedPlaceholderColumnsAsWideAsTheirValues) {
  OpenPages({CataloguePage(), RecordPage([](ChunkWriter& p) {
               p.Push(1).Text(1, "x").Text(4, "abcdefgh").Text(9, "nine").Pop();
               p.Push(2).Text(4, "ab").Text(7, "seven!").Pop();
               p.Push(3).Value(1, {}).Value(2, {}).Pop();  // only empty values: no record
             })});
  Count();
  EXPECT_EQ(parser.m_dwUnknownColumns, 3u);
  EXPECT_EQ(parser.m_dwTotalColumns, 6u);
  EXPECT_EQ(parser.m_dwTotalRecords, 2u);
  const DbfTable table = Recover();
  EXPECT_EQ(table.names, (std::vector<std::string>{"Name", "Note", "Text", "Unknown 1", "Unknown 2",
                                                   "Unknown 3"}));
  EXPECT_EQ(table.widths, (std::vector<unsigned>{5, 5, 5, 8, 6, 5}));
  EXPECT_EQ(table.rows.size(), 2u);
}

TEST_F(Fp7RecordsTest, ARecordListWithoutRecordsEndsBothPasses) {
  OpenPages({CataloguePage(), OnePage(1, {{1, "a"}}), RecordPage([](ChunkWriter&) {}),
             OnePage(2, {{1, "b"}})});
  Count();
  EXPECT_EQ(parser.m_dwTotalRecords, 1u);
  EXPECT_EQ(Recover(-3).rows, (Rows{{"a", "", ""}}));
}

TEST_F(Fp7RecordsTest, TheStateDumpNamesPendingRecordsAndTheTableResetDropsThem) {
  OpenPages({CataloguePage(), OnePage(10, {{1, "ten"}}), OnePage(10, {{2, "more"}})});
  Count();
  CRowOfTable first;
  first.m_dwKey = 10;
  auto& field = first.m_Fields.emplace_back(new CDataOfField);
  field->m_dwID = 1;
  field->SetText("ten", 3);
  field->m_dwLength = 3;
  EXPECT_EQ(parser.AddRecord(first), 0);  // one of two occurrences: pending
  EXPECT_EQ(parser.DumpParserState(), 0);
  EXPECT_TRUE(Logged("One record. ID10\nField[0], id 1, data ten\n"));
  parser.ResetTable();
  EXPECT_TRUE(parser.m_PendingRecords.empty());
  EXPECT_TRUE(parser.m_DuplicateCounts.empty());
}

}  // namespace
