#include "parser/fp5_parser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <list>
#include <string>
#include <tuple>
#include <vector>

#include "diag/log.h"
#include "diag/report.h"
#include "platform/heap.h"
#include "support/fp5_builder.h"
#include "support/temp_dir.h"

using namespace fp5build;

namespace {

class Parser5 : public CFMLogicParser5 {
 public:
  using CFMLogicParser5::m_ArrOfColumns, CFMLogicParser5::m_DataOfTable,
      CFMLogicParser5::m_DateColumns, CFMLogicParser5::m_Engine5, CFMLogicParser5::m_Items,
      CFMLogicParser5::m_WasData, CFMLogicParser5::WalkPages;

  // Each row as "column=text" words.
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (const CRowOfTable& row : m_DataOfTable) {
      std::string words;
      for (const auto& value : row.m_Fields) {
        words += (words.empty() ? "" : " ") + std::to_string(value->m_dwID) + "=" + value->m_szText;
      }
      rows.push_back(words);
    }
    return rows;
  }
};

Fp5Record Record(uint16_t id, std::vector<Fp5Field> fields) {
  return {Fp5Id::Auto(id), std::move(fields)};
}

class Fp5ParserTest : public ::testing::Test {
 protected:
  void SetUp() override { g_Log.Open((dir / "log").string().c_str(), true); }
  void TearDown() override { g_Log.Close(); }

  void Attach(const Fp5FileBuilder& file, Parser5& into) {
    const auto path = dir / ("db" + std::to_string(files++) + ".fp5");
    file.WriteTo(path);
    ASSERT_EQ(sources.emplace_back().OpenSource(Utf16(path).c_str()), 0);
    ASSERT_TRUE(into.AttachSource(&sources.back()));
  }
  // Columns 1 (text) and 2 (date), then the records.
  void Walk(const std::vector<Fp5Record>& records, Parser5& into) {
    Fp5FileBuilder file;
    file.AddDefinitions({{3, {2}}}, {{1, "Name"}, {2, "Born"}}).AddRecords(records);
    Attach(file, into);
    into.WalkPages();
  }
  void Read(const std::vector<Fp5Record>& records) {
    Walk(records, parser);
    parser.ReadListOfColumns5();
    parser.ReadDataOfTable5();
  }
  std::vector<std::pair<int, int>> Markers() const {
    std::vector<std::pair<int, int>> markers;
    for (const auto& m : parser.m_WasData.Markers())
      markers.emplace_back(m->m_wRecordNumber, m->m_wRowPosition);
    return markers;
  }
  std::string Log() const { return ReadFileText(dir / "log"); }

  TempDir dir;
  std::list<CFileConnector> sources;
  int files = 0;
  Parser5 parser;
};

TEST_F(Fp5ParserTest, ColumnsKeepTheirDefinitionOrderAndTypes) {
  Fp5FileBuilder file;
  file.AddDefinitions({{5, {4}}, {8, {1}}, {3, {3}}, {2, {2}}},
                      {{4, "D"}, {1, "A"}, {3, "C"}, {2, "B"}, {5, "E"}});
  Attach(file, parser);
  parser.WalkPages();
  parser.ReadListOfColumns5();
  std::vector<std::tuple<uint32_t, std::string, uint32_t>> columns;
  for (const auto& c : parser.m_ArrOfColumns)
    columns.emplace_back(c->m_dwID, c->m_szText, c->m_dwType);
  EXPECT_EQ(columns,
            (decltype(columns){{4, "D", 1}, {1, "A", 1}, {3, "C", 3}, {2, "B", 2}, {5, "E", 1}}));
  EXPECT_EQ(parser.m_DateColumns, DateColumnSet{3});
}

TEST_F(Fp5ParserTest, ARecordMetAgainJoinsItsFirstRow) {
  Read({Record(1, {Fp5Field::Value(1, "a")}), Record(1, {Fp5Field::Value(1, "b")}),
        Record(2, {Fp5Field::Value(1, "c")}), Record(1, {Fp5Field::Value(1, "d")})});
  EXPECT_EQ(parser.Rows(), (std::vector<std::string>{"1=a 1=b 1=d", "1=c"}));
  EXPECT_EQ(Markers(), (std::vector<std::pair<int, int>>{{1, 0}, {2, 1}}));
}

TEST_F(Fp5ParserTest, AFirstRecordOtherThanOneIsMarkedWithZero) {
  Read({Record(5, {Fp5Field::Value(1, "a")}), Record(6, {Fp5Field::Value(1, "b")})});
  EXPECT_EQ(parser.Rows(), (std::vector<std::string>{"1=a", "1=b"}));
  EXPECT_EQ(Markers(), (std::vector<std::pair<int, int>>{{0, 0xFFFF}, {5, 0}}));
}

TEST_F(Fp5ParserTest, LongTextPiecesListedApartJoinInListOrder) {
  Read({Record(1, {Fp5Field::Value(1, "a"), Fp5Field::LongText(1, {"x1"})}),
        Record(2, {Fp5Field::LongText(1, {"y"})}), Record(1, {Fp5Field::LongText(1, {"x2"}, 2)}),
        Record(3, {Fp5Field::Value(1, "c")}), Record(1, {Fp5Field::LongText(1, {"x3"}, 3)})});
  EXPECT_EQ(parser.Rows(), (std::vector<std::string>{"1=a 1=x1x2x3", "1=c", "1=y"}));
  for (const CFM5LongPiece* piece : parser.m_Engine5.GetLongTextPieces()) {
    EXPECT_EQ(piece->m_nRecord + piece->m_nColumn, 0);
  }
}

TEST_F(Fp5ParserTest, PiecesWithoutRecordOrColumnMakeNoValue) {
  Walk({Record(1, {Fp5Field::LongText(1, {"p"}), Fp5Field::LongText(2, {"q"})})}, parser);
  ASSERT_EQ(parser.m_Engine5.GetLongTextPieces().size(), 2u);
  parser.m_Engine5.GetLongTextPieces()[0]->m_nRecord = 0;
  parser.m_Engine5.GetLongTextPieces()[1]->m_nColumn = 0;
  parser.LongTextCollect();
  EXPECT_TRUE(parser.m_Items.empty());
}

TEST_F(Fp5ParserTest, AFailedAllocationCostsOnlyItsValue) {
  // Record 5 comes back after 6; its first row is never made when all its values fail.
  const std::vector<Fp5Record> records = {
      Record(5, {Fp5Field::Value(1, "a"), Fp5Field::LongText(1, {"p", "q"})}),
      Record(6, {Fp5Field::Value(1, "b")}), Record(5, {Fp5Field::Value(1, "c")})};
  for (uint64_t failAt = 1; failAt < 30; ++failAt) {
    Parser5 failing;
    Walk(records, failing);
    failing.ReadListOfColumns5();
    qrx::heap::ResetCounting(failAt);
    failing.ReadDataOfTable5();
    qrx::heap::ResetCounting();
    EXPECT_LE(failing.m_DataOfTable.size(), 2u) << failAt;
  }
  EXPECT_NE(Log().find("can not create new CDataOfField"), std::string::npos);
  EXPECT_NE(Log().find("can not realloc 2 bytes"), std::string::npos);
}

TEST_F(Fp5ParserTest, DatesAreReorderedAndTheLengthFollows) {
  Read({Record(1, {Fp5Field::Value(2, "5.1.99")}), Record(2, {Fp5Field::Value(2, "31.12.1999")})});
  EXPECT_EQ(parser.Rows(), (std::vector<std::string>{"2=990105", "2=19991231"}));
  EXPECT_EQ(parser.m_DataOfTable[0].m_Fields[0]->m_dwLength, 6u);
  EXPECT_EQ(parser.m_DataOfTable[1].m_Fields[0]->m_dwLength, 8u);
}

TEST_F(Fp5ParserTest, ColumnsWithoutValuesAreReportedButNoTableIsMade) {
  Fp5FileBuilder file;
  file.AddDefinitions({}, {{1, "A"}, {2, "B"}});
  Attach(file, parser);
  EXPECT_EQ(parser.Process(Utf16(dir / "out").c_str()), 0);
  EXPECT_NE(Log().find("Can't create table."), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "out" / "Table.dbf"));
  KtUtils::KtReport::Column items, details, grades, notes;
  const int32_t rows = g_Report.BuildTable(&items, &details, &grades, &notes);
  EXPECT_EQ(std::u16string(items[rows - 2]) + u"|" + details[rows - 2] + u"|" + items[rows - 1] +
                u"|" + details[rows - 1],
            u"Total 1 table|Table|Table|2 columns, 0 rows");
}

TEST_F(Fp5ParserTest, WithoutTargetOrColumnsNothingIsMade) {
  Fp5FileBuilder file;
  file.AddPage({0xC1, 0x07, 0xC0});
  Attach(file, parser);
  EXPECT_EQ(parser.Process(nullptr), -2);
  EXPECT_EQ(parser.Process(u""), -2);
  EXPECT_EQ(parser.Process(Utf16(dir / "out").c_str()), -3);
  EXPECT_NE(Log().find("No Columns. Nothing to recover"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "out"));
}

TEST_F(Fp5ParserTest, GradeIsTheShareOfWalkedPagesHoldingRecordData) {
  // The walk passes the definitions' page (the engine steps over it itself) and visits one page
  // number past the last page, so definitions and one data page walk two pages.
  for (const auto& [emptyPages, grade] : std::vector<std::pair<int, int>>{{0, 3}, {1, 2}, {2, 1}}) {
    Fp5FileBuilder file;
    file.AddDefinitions({}, {{1, "A"}}).AddRecords({Record(1, {Fp5Field::Value(1, "a")})});
    for (int i = 0; i < emptyPages; ++i) file.AddPage({});
    Parser5 graded;
    Attach(file, graded);
    EXPECT_EQ(graded.Process(Utf16(dir / "out").c_str()), 0);
    EXPECT_EQ(g_Report.Grade(), grade) << emptyPages;
  }
}

}  // namespace
