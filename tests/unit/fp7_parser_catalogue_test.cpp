// The table list and the columns of each table, as the fp7 parser finds them page by page.
#include <gtest/gtest.h>

#include "fp7_parser_fixture.h"

namespace {

using fp7::Bytes;
using fp7::ChunkWriter;

std::vector<std::string> TableNames(const Fp7ParserProbe& parser) {
  std::vector<std::string> names;
  for (const auto& table : parser.m_ArrOfTables) {
    names.push_back(std::to_string(table->m_dwID) + " " + table->m_szText);
  }
  return names;
}

std::vector<std::string> ColumnNames(const Fp7ParserProbe& parser) {
  std::vector<std::string> names;
  for (const auto& column : parser.m_ArrOfColumns) {
    names.push_back(std::to_string(column->m_dwID) + " " + column->m_szText + " " +
                    std::to_string(column->m_dwType));
  }
  return names;
}

Bytes TableListPage(const std::vector<fp7::Table>& tables) {
  ChunkWriter page;
  fp7::WriteTableCatalogue(page, tables);
  return page.bytes();
}

// Columns of `tableId` under `path`, each {id, name, type bytes}; the list is closed by a value
// behind it, since a path completed by a page's last chunk is not found.
Bytes ColumnPage(std::initializer_list<uint32_t> path, const std::vector<fp7::Column>& columns) {
  ChunkWriter page;
  for (const uint32_t id : path) page.Push(id);
  for (const fp7::Column& column : columns) {
    page.Push(column.id).Value(2, column.typeCode).Text(16, column.name).Pop();
  }
  page.Pop(path.size());
  return page.bytes();
}

TEST_F(Fp7ParserTest, TablesComeFromTheFirstPageThatListsAny) {
  std::vector<Bytes> pages(11, Filler());
  pages[9 - 2] = TableListPage({TableNamed(129, "Customers"), TableNamed(130, "Orders")});
  pages[12 - 2] = TableListPage({TableNamed(131, "Later")});
  OpenPages(pages);
  parser.ReadListOfTables();
  EXPECT_EQ(TableNames(parser), (std::vector<std::string>{"129 Customers", "130 Orders"}));
  EXPECT_TRUE(Logged("Finded tables:\n\t\tCustomers\n\t\tOrders\n"));
  EXPECT_TRUE(Logged("<=== ReadListOfTables"));
  EXPECT_EQ(parser.m_Engine.m_nCurrentPage, 2u);
}

TEST_F(Fp7ParserTest, TableListWithoutTablesEndsTheScan) {
  ChunkWriter empty;
  empty.Push(3).Push(16).Push(5).Pop(3).Text(1, "behind");
  OpenPages({empty.bytes(), TableListPage({TableNamed(129, "Customers")})});
  parser.ReadListOfTables();
  EXPECT_TRUE(parser.m_ArrOfTables.empty());
  EXPECT_FALSE(Logged("<=== ReadListOfTables"));
}

TEST_F(Fp7ParserTest, TablesWithoutNameOrIdAreDroppedAndADamagedEntryEndsTheList) {
  ChunkWriter page;
  page.Push(3).Push(16).Push(5);
  page.Push(129).Text(16, "Kept").Pop();
  page.Push(130).Text(1, "no name").Pop();
  page.Push(131).Text(16, "First").Text(16, "Renamed").Pop();
  page.Push(132).Pop();  // no values: the list ends here
  page.Push(133).Text(16, "Never").Pop();
  page.Pop(3);
  OpenPages({page.bytes()});
  parser.ReadListOfTables();
  EXPECT_EQ(TableNames(parser), (std::vector<std::string>{"129 Kept", "131 Renamed"}));
}

TEST_F(Fp7ParserTest, SingleTableMarkerSwitchesToTheShortPathsOnlyForALoneTable) {
  const fp7::Table lone = TableNamed(129, "Lone", true);
  OpenPages({TableListPage({lone}), ColumnPage({129, 3, 5}, {{1, "Long path", {1, 1}}}),
             ColumnPage({3, 5}, {{2, "Short path", {1, 1}}})});
  parser.ReadListOfTables();
  EXPECT_TRUE(parser.m_bSingleTableLayout);
  parser.ReadListOfColumns(129);
  EXPECT_EQ(ColumnNames(parser), (std::vector<std::string>{"2 Short path 1"}));

  Fp7ParserProbe other;
  const fp7::Table second = TableNamed(130, "Second", true);
  WriteFileBytes(dir / "two.fp7", fp7::MakeFile({TableListPage({lone, second})}));
  CFileConnector twoTables;
  ASSERT_EQ(twoTables.OpenSource(Utf16(dir / "two.fp7").c_str()), 0);
  ASSERT_TRUE(other.AttachSource(&twoTables));
  other.ReadListOfTables();
  EXPECT_EQ(other.m_ArrOfTables.size(), 2u);
  EXPECT_FALSE(other.m_bSingleTableLayout);
}

TEST_F(Fp7ParserTest, ColumnsOfEveryPageAreListedAndTheFirstDefinitionWins) {
  ChunkWriter untyped;
  untyped.Push(129).Push(3).Push(5).Push(9).Text(16, "Untyped").Pop().Push(0).Text(16, "Id 0");
  untyped.Pop().Push(10).Value(2, Bytes{1, 2}).Pop().Pop(3);
  OpenPages({ColumnPage({129, 3, 5}, {{7, "First", {1, 4}}, {8, "Amount", {3, 2}}}), Filler(),
             ColumnPage({129, 3, 5}, {{7, "Second", {3, 2}}}), untyped.bytes(),
             ColumnPage({130, 3, 5}, {{7, "Other table", {1, 1}}})});
  parser.ReadListOfColumns(129);
  EXPECT_EQ(ColumnNames(parser),
            (std::vector<std::string>{"7 First 4", "8 Amount 2", "7 Second 2", "9 Untyped 1"}));
  EXPECT_TRUE(Logged("ColName = First,\t\t ColId = 7\n"));
  EXPECT_TRUE(Logged("<=== ReadListOfColumns"));

  EXPECT_EQ(parser.FillColumnCatalogue(), 1);
  ASSERT_EQ(parser.m_ColumnCatalogue.size(), 3u);
  const CCatalogueColumn& seven = parser.m_ColumnCatalogue.at(7);
  EXPECT_EQ(seven.m_strName, "First");
  EXPECT_EQ(seven.m_dwType, uint32_t{kColumnTextKind4});
  EXPECT_EQ(seven.m_dwWidth, 0u);

  // A new table starts from an empty list.
  parser.ReadListOfColumns(131);
  EXPECT_TRUE(parser.m_ArrOfColumns.empty());
}

TEST_F(Fp7ParserTest, ColumnListWithoutColumnsEndsTheColumnScan) {
  ChunkWriter empty;
  empty.Push(129).Push(3).Push(5).Pop(3).Text(1, "behind");
  OpenPages({ColumnPage({129, 3, 5}, {{1, "Kept", {1, 1}}}), empty.bytes(),
             ColumnPage({129, 3, 5}, {{2, "Not read", {1, 1}}})});
  parser.ReadListOfColumns(129);
  EXPECT_EQ(ColumnNames(parser), (std::vector<std::string>{"1 Kept 1"}));
  EXPECT_FALSE(Logged("<=== ReadListOfColumns"));
}

TEST(Fp7ColumnType, FromTheFirstTwoBytesLowByteFirst) {
  const std::vector<std::pair<Bytes, uint32_t>> cases = {
      {{1, 2}, kColumnNumber},    {{2, 2}, kColumnNumber},    {{3, 2, 9}, kColumnNumber},
      {{1, 4}, kColumnTextKind4}, {{1, 5}, kColumnTextKind5}, {{1, 1}, kColumnText},
      {{1, 3}, kColumnText},      {{1, 6}, kColumnText},      {{2, 1}, kColumnText},
      {{1}, kColumnText},         {{}, kColumnText}};
  for (const auto& [bytes, type] : cases) {
    EXPECT_EQ(CFMLogicParser8::ColumnTypeFromCode(bytes), type) << int(bytes.size());
  }
}

TEST_F(Fp7ParserTest, ATableIdAbove255FindsRecordsUnderItsLowByteAndColumnsUnderTheFullId) {
  fp7::Table big = TableNamed(300, "Big");
  big.columns = {{1, "Name", {1, 1}}};
  big.records = {{1, {{1, "x"}}}, {2, {{1, "y"}}}};
  fp7::Table decoy = TableNamed(44, "Decoy");
  decoy.columns = {{1, "Decoy column", {1, 1}}};
  ChunkWriter pages;
  fp7::WriteTableCatalogue(pages, {big});
  fp7::WriteColumns(pages, decoy);
  fp7::WriteColumns(pages, big);
  fp7::WriteRecords(pages, big);
  pages.Text(1, "end");
  OpenPages({pages.bytes()});
  parser.ReadListOfTables();
  parser.ReadListOfColumns(300);
  EXPECT_EQ(ColumnNames(parser), (std::vector<std::string>{"1 Name 1"}));
  parser.FillColumnCatalogue();
  EXPECT_EQ(parser.ReadRecords(static_cast<uint8_t>(300), false), 0);
  EXPECT_EQ(parser.m_dwTotalRecords, 2u);
}

}  // namespace
