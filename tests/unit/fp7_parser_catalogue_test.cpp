// The table list and the columns of each table, as the fp7 parser finds them page by page.
#include <gtest/gtest.h>

#include "fp7_parser_fixture.h"

namespace {

using fp7::Bytes;
using fp7::ChunkWriter;
using Names = std::vector<std::string>;

// "id name" per table or column, and the type of a column.
template <typename Info>
Names Listed(const std::vector<std::unique_ptr<Info>>& infos) {
  Names names;
  for (const auto& info : infos) {
    names.push_back(std::to_string(info->m_dwID) + " " + info->m_szText);
    if constexpr (std::is_same_v<Info, CColumnInfo>) {
      names.back().append(1, ' ').append(std::to_string(info->m_dwType));
    }
  }
  return names;
}

Bytes TableListPage(const std::vector<fp7::Table>& tables) {
  ChunkWriter page;
  fp7::WriteTableCatalogue(page, tables);
  return page.bytes();
}

Bytes ColumnPage(std::initializer_list<uint32_t> path, const std::vector<fp7::Column>& columns) {
  return PageUnder(path, [&](ChunkWriter& page) {
    for (const fp7::Column& c : columns)
      page.Push(c.id).Value(2, c.typeCode).Text(16, c.name).Pop();
  });
}

TEST_F(Fp7ParserTest, TablesComeFromTheFirstPageThatListsAnyAndAnEmptyListEndsTheScan) {
  std::vector<Bytes> pages(11, Filler());
  pages[7] = TableListPage({TableNamed(129, "Customers"), TableNamed(130, "Orders")});
  pages[10] = TableListPage({TableNamed(131, "Later")});
  OpenPages(pages).ReadListOfTables();
  EXPECT_EQ(Listed(parser.m_ArrOfTables), (Names{"129 Customers", "130 Orders"}));
  EXPECT_EQ(parser.m_Engine.m_nCurrentPage, 2u);

  Fp7ParserProbe& emptyFirst = OpenPages({PageUnder({3, 16, 5}, [](ChunkWriter&) {}), pages[7]});
  emptyFirst.ReadListOfTables();
  EXPECT_TRUE(emptyFirst.m_ArrOfTables.empty());
}

TEST_F(Fp7ParserTest, TablesWithoutNameOrIdAreDroppedAndADamagedEntryEndsTheList) {
  OpenPages({PageUnder({3, 16, 5}, [](ChunkWriter& page) {
    page.Push(129).Text(16, "Kept").Pop().Push(130).Text(1, "no name").Pop();
    page.Push(131).Text(16, "First").Text(16, "Renamed").Pop();
    page.Push(132).Pop().Push(133).Text(16, "Never").Pop();  // 132 has no values: the list ends
  })}).ReadListOfTables();
  EXPECT_EQ(Listed(parser.m_ArrOfTables), (Names{"129 Kept", "131 Renamed"}));
}

TEST_F(Fp7ParserTest, SingleTableMarkerSwitchesToTheShortPathsOnlyForALoneTable) {
  const fp7::Table lone = TableNamed(129, "Lone", true);
  OpenPages({TableListPage({lone}), ColumnPage({129, 3, 5}, {{1, "Long path", {1, 1}}}),
             ColumnPage({3, 5}, {{2, "Short path", {1, 1}}})})
      .ReadListOfTables();
  EXPECT_TRUE(parser.m_bSingleTableLayout);
  parser.ReadListOfColumns(129);
  EXPECT_EQ(Listed(parser.m_ArrOfColumns), (Names{"2 Short path 1"}));

  Fp7ParserProbe& two = OpenPages({TableListPage({lone, TableNamed(130, "Second", true)})});
  two.ReadListOfTables();
  EXPECT_FALSE(two.m_bSingleTableLayout);
}

TEST_F(Fp7ParserTest, ColumnsOfEveryPageAreListedAndTheFirstDefinitionWins) {
  OpenPages({ColumnPage({129, 3, 5}, {{7, "First", {1, 4}}, {8, "Amount", {3, 2}}}), Filler(),
             ColumnPage({129, 3, 5}, {{7, "Second", {3, 2}}}),
             PageUnder({129, 3, 5},
                       [](ChunkWriter& page) {  // untyped, id 0, no name
                         page.Push(9).Text(16, "Untyped").Pop().Push(0).Text(16, "Id 0").Pop();
                         page.Push(10).Value(2, Bytes{1, 2}).Pop();
                       }),
             ColumnPage({130, 3, 5}, {{7, "Other table", {1, 1}}}),
             PageUnder({129, 3, 5}, [](ChunkWriter&) {}),  // no columns: the scan ends
             ColumnPage({129, 3, 5}, {{11, "After the end", {1, 1}}})})
      .ReadListOfColumns(129);
  EXPECT_EQ(Listed(parser.m_ArrOfColumns),
            (Names{"7 First 4", "8 Amount 2", "7 Second 2", "9 Untyped 1"}));
  EXPECT_EQ(parser.FillColumnCatalogue(), 1);
  ASSERT_EQ(parser.m_ColumnCatalogue.size(), 3u);
  EXPECT_EQ(parser.m_ColumnCatalogue.at(7).m_strName, "First");
  EXPECT_EQ(parser.m_ColumnCatalogue.at(7).m_dwType, uint32_t{kColumnTextKind4});
  parser.ReadListOfColumns(131);  // a new table starts from an empty list
  EXPECT_TRUE(parser.m_ArrOfColumns.empty());
}

TEST(Fp7ColumnType, FromTheFirstTwoBytesLowByteFirst) {
  const std::vector<std::pair<Bytes, uint32_t>> cases = {
      {{1, 2}, kColumnNumber},    {{2, 2}, kColumnNumber},    {{3, 2, 9}, kColumnNumber},
      {{1, 4}, kColumnTextKind4}, {{1, 5}, kColumnTextKind5}, {{1, 1}, kColumnText},
      {{1, 3}, kColumnText},      {{2, 1}, kColumnText},      {{1}, kColumnText},
      {{}, kColumnText}};
  for (const auto& [bytes, type] : cases) {
    EXPECT_EQ(CFMLogicParser8::ColumnTypeFromCode(bytes), type) << int(bytes.size());
  }
}

}  // namespace
