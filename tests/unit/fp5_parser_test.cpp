#include "parser/fp5_parser.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <list>
#include <string>
#include <vector>

#include "api/crash_filter.h"
#include "api/library_state.h"
#include "diag/log.h"
#include "diag/report.h"
#include "platform/heap.h"
#include "support/fp5_builder.h"
#include "support/temp_dir.h"

using namespace fp5build;

namespace {

class Parser5 : public CFMLogicParser5 {
 public:
  using CFMLogicParser5::m_DataOfTable, CFMLogicParser5::m_Engine5, CFMLogicParser5::m_Items,
      CFMLogicParser5::WalkPages;

  // "column=text" per value, rows apart by "|".
  std::string Rows() const {
    std::string rows;
    for (const CRowOfTable& row : m_DataOfTable) {
      rows += rows.empty() ? "" : "|";
      for (const auto& value : row.m_Fields)
        rows += std::to_string(value->m_dwID) + "=" + value->m_szText + " ";
    }
    return rows;
  }
  // "record@row" per marker.
  std::string Markers() const {
    std::string markers;
    for (const auto& marker : m_WasData.Markers())
      markers += std::to_string(marker->m_wRecordNumber) + "@" +
                 std::to_string(marker->m_wRowPosition) + " ";
    return markers;
  }
};

Fp5Record Record(uint16_t id, std::vector<Fp5Field> fields) {
  return {Fp5Id::Auto(id), std::move(fields)};
}
Fp5Field Value(uint8_t column, const std::string& text) {
  return Fp5Field::Value(column, text);
}

class Fp5ParserTest : public ::testing::Test {
 protected:
  void SetUp() override { g_Log.Open((dir / "log").string().c_str(), true); }
  void TearDown() override { g_Log.Close(); }

  void Attach(const Fp5FileBuilder& file, Parser5& parser) {
    const auto path = dir / ("db" + std::to_string(sources.size()) + ".fp5");
    file.WriteTo(path);
    ASSERT_EQ(sources.emplace_back().OpenSource(Utf16(path).c_str()), 0);
    ASSERT_TRUE(parser.AttachSource(&sources.back()));
  }
  // One text column, the records; walked, and with `read` also made into columns and rows.
  void Walk(const std::vector<Fp5Record>& records, Parser5& parser, bool read = true) {
    Fp5FileBuilder file;
    Attach(file.AddDefinitions({}, {{1, "Name"}}).AddRecords(records), parser);
    parser.WalkPages();
    if (!read) return;
    parser.ReadListOfColumns5();
    parser.ReadDataOfTable5();
  }
  std::string Log() const { return ReadFileText(dir / "log"); }

  TempDir dir;
  std::list<CFileConnector> sources;
};

TEST_F(Fp5ParserTest, ARecordMetAgainJoinsItsFirstRow) {
  Parser5 again, startingElsewhere;
  Walk({Record(1, {Value(1, "a")}), Record(1, {Value(1, "b")}), Record(2, {Value(1, "c")}),
        Record(1, {Value(1, "d")})},
       again);
  EXPECT_EQ(again.Rows(), "1=a 1=b 1=d |1=c ");
  EXPECT_EQ(again.Markers(), "1@0 2@1 ");
  Walk({Record(5, {Value(1, "a")}), Record(6, {Value(1, "b")})}, startingElsewhere);
  EXPECT_EQ(startingElsewhere.Markers(), "0@65535 5@0 ");
}

TEST_F(Fp5ParserTest, LongTextPiecesListedApartJoinInListOrder) {
  Parser5 parser;
  Walk({Record(1, {Value(1, "a"), Fp5Field::LongText(1, {"x1"})}),
        Record(2, {Fp5Field::LongText(1, {"y"})}), Record(1, {Fp5Field::LongText(1, {"x2"}, 2)}),
        Record(3, {Value(1, "c")}), Record(1, {Fp5Field::LongText(1, {"x3"}, 3)})},
       parser);
  EXPECT_EQ(parser.Rows(), "1=a 1=x1x2x3 |1=c |1=y ");
  for (const CFM5LongPiece* piece : parser.m_Engine5.GetLongTextPieces())
    EXPECT_EQ(piece->m_nRecord + piece->m_nColumn, 0);
}

TEST_F(Fp5ParserTest, PiecesWithoutRecordOrColumnMakeNoValue) {
  Parser5 parser;
  Walk({Record(1, {Fp5Field::LongText(1, {"p"}), Fp5Field::LongText(2, {"q"})})}, parser, false);
  ASSERT_EQ(parser.m_Engine5.GetLongTextPieces().size(), 2u);
  parser.m_Engine5.GetLongTextPieces()[0]->m_nRecord = 0;
  parser.m_Engine5.GetLongTextPieces()[1]->m_nColumn = 0;
  parser.LongTextCollect();
  EXPECT_TRUE(parser.m_Items.empty());
}

TEST_F(Fp5ParserTest, AFailedAllocationCostsOnlyItsValue) {
  // From the failAt-th allocation on every one fails: what was made so far stays, the rest is
  // skipped, without a crash or a leak.
  const std::vector<Fp5Record> records = {
      Record(5, {Value(1, "a"), Fp5Field::LongText(1, {"p", "q"})}), Record(6, {Value(1, "b")}),
      Record(5, {Value(1, "c")})};
  for (uint64_t failAt = 1; failAt < 30; ++failAt) {
    Parser5 parser;
    Walk(records, parser, false);
    parser.ReadListOfColumns5();
    qrx::heap::ResetCounting(failAt);
    parser.ReadDataOfTable5();
    qrx::heap::ResetCounting();
    EXPECT_LE(parser.m_DataOfTable.size(), 2u) << failAt;
  }
  EXPECT_NE(Log().find("can not create new CDataOfField"), std::string::npos);
  EXPECT_NE(Log().find("can not realloc 2 bytes"), std::string::npos);
}

TEST_F(Fp5ParserTest, ColumnsWithoutValuesAreReportedButNoTableIsMade) {
  Parser5 parser;
  Fp5FileBuilder file;
  Attach(file.AddDefinitions({}, {{1, "A"}, {2, "B"}}), parser);
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
  Parser5 parser;
  Fp5FileBuilder file;
  Attach(file.AddPage({0xC1, 0x07, 0xC0}), parser);
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
    file.AddDefinitions({}, {{1, "A"}}).AddRecords({Record(1, {Value(1, "a")})});
    for (int i = 0; i < emptyPages; ++i) file.AddPage({});
    Parser5 parser;
    Attach(file, parser);
    EXPECT_EQ(parser.Process(Utf16(dir / "out").c_str()), 0);
    EXPECT_EQ(g_Report.Grade(), grade) << emptyPages;
  }
}

TEST(Fp5ParserDeathTest, ACrashWhileItRunsDoesNotCallItAbsent) {
  TempDir dir;
  const std::string logPath = (dir / "crash.log").string();
  Parser5 parser;
  EXPECT_EXIT(
      {
        g_Log.Open(logPath.c_str(), true);
        g_pCurrentParser5 = &parser;
        InstallCrashFilter();
        std::abort();
      },
      ::testing::ExitedWithCode(128 + SIGABRT), "");
  EXPECT_NE(ReadFileText(logPath).find("FileMaker8parser not created\nEnd of"), std::string::npos);
}

}  // namespace
