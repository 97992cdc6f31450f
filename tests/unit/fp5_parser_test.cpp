#include "parser/fp5_parser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <list>
#include <string>
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
  using CFMLogicParser5::m_DataOfTable, CFMLogicParser5::WalkPages;

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
};

Fp5Record Record(uint16_t id, std::vector<Fp5Field> fields) {
  return {Fp5Id::Auto(id), std::move(fields)};
}
Fp5Field Value(const std::string& text) {
  return Fp5Field::Value(1, text);
}

class Fp5ParserTest : public ::testing::Test {
 protected:
  void SetUp() override { g_Log.Open((dir / "log").string().c_str(), true); }
  void TearDown() override { g_Log.Close(); }

  Parser5& Attach(const Fp5FileBuilder& file) {
    const auto path = dir / ("db" + std::to_string(sources.size()) + ".fp5");
    file.WriteTo(path);
    EXPECT_EQ(sources.emplace_back().OpenSource(Utf16(path).c_str()), 0);
    EXPECT_TRUE(parsers.emplace_back().AttachSource(&sources.back()));
    return parsers.back();
  }
  // One text column and the records, walked; with `read` also made into columns and rows.
  Parser5& Walk(const std::vector<Fp5Record>& records, bool read = true) {
    Fp5FileBuilder file;
    Parser5& parser = Attach(file.AddDefinitions({}, {{1, "Name"}}).AddRecords(records));
    parser.WalkPages();
    if (read) parser.ReadListOfColumns5();
    if (read) parser.ReadDataOfTable5();
    return parser;
  }
  int Process(Parser5& parser) { return parser.Process(Utf16(dir / "out").c_str()); }

  TempDir dir;
  std::list<CFileConnector> sources;
  std::list<Parser5> parsers;
};

// A record met again adds its values to its first row; long-text pieces listed apart join in
// list order.
TEST_F(Fp5ParserTest, ARecordMetAgainJoinsItsFirstRowAndLongTextPiecesJoinInListOrder) {
  EXPECT_EQ(Walk({Record(1, {Value("a")}), Record(1, {Value("b")}), Record(2, {Value("c")}),
                  Record(1, {Value("d")})})
                .Rows(),
            "1=a 1=b 1=d |1=c ");
  EXPECT_EQ(Walk({Record(1, {Value("a"), Fp5Field::LongText(1, {"x1"})}),
                  Record(2, {Fp5Field::LongText(1, {"y"})}),
                  Record(1, {Fp5Field::LongText(1, {"x2"}, 2)}), Record(3, {Value("c")}),
                  Record(1, {Fp5Field::LongText(1, {"x3"}, 3)})})
                .Rows(),
            "1=a 1=x1x2x3 |1=c |1=y ");
}

TEST_F(Fp5ParserTest, AFailedAllocationCostsOnlyItsValue) {
  // From the failAt-th allocation on every one fails: what was made so far stays, the rest is
  // skipped, without a crash or a leak.
  const std::vector<Fp5Record> records = {
      Record(5, {Value("a"), Fp5Field::LongText(1, {"p", "q"})}), Record(6, {Value("b")}),
      Record(5, {Value("c")})};
  for (uint64_t failAt = 1; failAt < 30; ++failAt) {
    Parser5& parser = Walk(records, false);
    parser.ReadListOfColumns5();
    qrx::heap::ResetCounting(failAt);
    parser.ReadDataOfTable5();
    qrx::heap::ResetCounting();
    EXPECT_LE(parser.m_DataOfTable.size(), 2u) << failAt;
  }
  const std::string log = ReadFileText(dir / "log");
  EXPECT_NE(log.find("can not create new CDataOfField"), std::string::npos);
  EXPECT_NE(log.find("can not realloc 2 bytes"), std::string::npos);
}

TEST_F(Fp5ParserTest, WithoutTargetOrColumnsOrValuesNoTableIsMade) {
  Fp5FileBuilder noColumns;
  Parser5& parser = Attach(noColumns.AddPage({0xC1, 0x07, 0xC0}));
  EXPECT_EQ(parser.Process(nullptr), -2);
  EXPECT_EQ(parser.Process(u""), -2);
  EXPECT_EQ(Process(parser), -3);
  EXPECT_FALSE(std::filesystem::exists(dir / "out"));

  Fp5FileBuilder noValues;  // reported, but no file
  EXPECT_EQ(Process(Attach(noValues.AddDefinitions({}, {{1, "A"}, {2, "B"}}))), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "out" / "Table.dbf"));
  KtUtils::KtReport::Column items, details;
  const int32_t rows = g_Report.BuildTable(&items, &details, nullptr, nullptr);
  EXPECT_EQ(std::u16string(items[rows - 1]) + u"|" + details[rows - 1], u"Table|2 columns, 0 rows");
}

TEST_F(Fp5ParserTest, GradeIsTheShareOfWalkedPagesHoldingRecordData) {
  // The walk visits one page number past the last page: definitions and one data page walk two.
  for (const auto& [emptyPages, grade] : std::vector<std::pair<int, int>>{{0, 3}, {1, 2}, {2, 1}}) {
    Fp5FileBuilder file;
    file.AddDefinitions({}, {{1, "A"}}).AddRecords({Record(1, {Value("a")})});
    for (int i = 0; i < emptyPages; ++i) file.AddPage({});
    std::filesystem::remove_all(dir / "out");
    EXPECT_EQ(Process(Attach(file)), 0);
    EXPECT_EQ(g_Report.Grade(), grade) << emptyPages;
  }
}

}  // namespace
