// The fp7 recovery from end to end, on built files: result files, report, progress, stops, grade,
// hostile names, damaged variants, the real samples, and memory running out at every allocation.
#include <gtest/gtest.h>

#include <algorithm>

#include "api/library_state.h"
#include "diag/report.h"
#include "diag/status_link.h"
#include "fp7_parser_fixture.h"
#include "support/real_samples.h"

namespace {

namespace fs = std::filesystem;
using fp7::Bytes;
using Entry = std::pair<std::u16string, std::u16string>;
using Names = std::vector<std::string>;
using fp7::SampleTables;  // "Table1" ... with ids 129 ..., four columns

std::vector<int32_t> g_rowProgress;  // the percentages shown while writing rows
uint8_t g_breakByte = 0;
std::u16string g_breakAt;  // progress text at which the host asks for a stop; empty: never

void WriteDiag(const char16_t*) {}
void StatusBar(const char16_t* text, int32_t percent) {
  if (std::u16string(text).starts_with(u"Writing row data...")) g_rowProgress.push_back(percent);
  if (!g_breakAt.empty() && g_breakAt == text) g_breakByte = 1;
}

class Fp7ProcessTest : public Fp7ParserTest {
 protected:
  void SetUp() override {
    Fp7ParserTest::SetUp();
    g_pBreakFlag = &g_breakByte;
    ASSERT_EQ(g_StatusLink.InitLink(WriteDiag, StatusBar, 0, 3, 30), 0);
    Reset();
  }
  void TearDown() override {
    g_pBreakFlag = nullptr;
    Fp7ParserTest::TearDown();
  }
  void Reset() {
    g_rowProgress.clear();
    g_breakByte = 0;
    g_breakAt.clear();
    g_Report = {};
  }
  // Recovers the tables, or a file, with a parser of its own into the folder `target`.
  int32_t Recover(const Bytes& file, const std::string& target = "out") {
    return Open(file).Process(Utf16(dir / target).c_str());
  }
  int32_t Recover(const std::vector<fp7::Table>& tables, const std::string& target = "out") {
    return Recover(fp7::BuildDatabase(tables), target);
  }
  Names Files(const std::string& target = "out") const {
    Names names;
    for (const auto& entry : fs::directory_iterator(dir / target)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  static std::vector<Entry> Entries() {
    KtUtils::KtReport::Column items = nullptr, details = nullptr;
    std::vector<Entry> entries;
    const int32_t rows = g_Report.BuildTable(&items, &details, nullptr, nullptr);
    for (int32_t row = 1; row < rows; ++row) entries.emplace_back(items[row], details[row]);
    return entries;
  }
};

TEST_F(Fp7ProcessTest, TablesWithRecordsGetResultFilesTheReportListsEveryTableProgressRises) {
  std::vector<fp7::Table> tables = SampleTables(4, 10);
  tables[1].columns.clear();
  tables[1].records.clear();
  tables[1].containers = {{1, "b.bin", Bytes{4, 5}}};
  tables[2].containers = {{1, "c.bin", Bytes{1, 2, 3}}};
  ASSERT_EQ(Recover(tables), 0);
  EXPECT_EQ(Entries(), (std::vector<Entry>{{u"Total 4 tables", u"Table1, Table3, Table4, Table2"},
                                           {u"Table1", u"4 columns, 10 rows"},
                                           {u"Table3", u"4 columns, 10 rows"},
                                           {u"Table4", u"4 columns, 10 rows"},
                                           {u"Table2", u"Empty"}}));
  EXPECT_EQ(Files(), (Names{"Table1.dbf", "Table3.dbf", "Table4.dbf", "b.bin", "c.bin"}));
  const DbfTable first = ReadDbf(dir / "out" / "Table1.dbf");
  EXPECT_EQ(first.names, (Names{"Name", "Amount", "Note", "Count"}));
  ASSERT_EQ(first.rows.size(), 10u);
  EXPECT_EQ(first.rows[9], (Names{"Name 9", "63", "Note for record 9 of Table1", "9"}));
  EXPECT_EQ(ReadFileText(dir / "out" / "c.bin"), "\x01\x02\x03");
  // Each table adds its share of 90, cut toward zero.
  EXPECT_EQ(g_rowProgress, (std::vector<int32_t>{10, 32, 55, 77, 100}));

  Reset();
  ASSERT_EQ(Recover(SampleTables(1, 2), "solo"), 0);
  EXPECT_EQ(Entries().at(0), (Entry{u"Total 1 table", u"Table1"}));
}

TEST_F(Fp7ProcessTest, NoTableOrOnlyEmptyTablesGiveMinus3WithoutFilesOrEntries) {
  EXPECT_EQ(Recover(fp7::MakeFile({Filler()})), -3);
  EXPECT_FALSE(fs::exists(dir / "out"));
  std::vector<fp7::Table> empty = SampleTables(2, 0);
  empty[1].columns.clear();
  EXPECT_EQ(Recover(empty), -3);
  EXPECT_TRUE(Entries().empty());
  EXPECT_TRUE(Files().empty());
}

TEST_F(Fp7ProcessTest, ATableIdAbove255FindsRecordsUnderItsLowByteAndColumnsUnderTheFullId) {
  std::vector<fp7::Table> tables = SampleTables(2, 2);
  tables[0].id = 300;
  tables[1].id = 44;  // 300's low byte
  tables[1].columns = {{1, "Decoy", {1, 1}}};
  tables[1].records.clear();
  ASSERT_EQ(Recover(tables), 0);
  const DbfTable big = ReadDbf(dir / "out" / "Table1.dbf");
  EXPECT_EQ(big.names, (Names{"Name", "Amount", "Note", "Count"}));
  EXPECT_EQ(big.rows.size(), 2u);
}

TEST_F(Fp7ProcessTest, TheHostsBreakStopsTheRunAtTheNextCheck) {
  g_breakByte = 1;
  EXPECT_EQ(Recover(SampleTables(2, 3), "before"), -1000);
  EXPECT_FALSE(fs::exists(dir / "before"));
  Reset();
  g_breakAt = u"Writing row data... 100%";  // shown as the second table starts
  EXPECT_EQ(Recover(SampleTables(2, 3)), -1000);
  EXPECT_EQ(Files(), (Names{"Table1.dbf"}));
  EXPECT_TRUE(Entries().empty());
}

TEST_F(Fp7ProcessTest, TheGradeFollowsTheShareOfPagesThatDecodedToTheirEnd) {
  // One page holds the whole table; each broken page stops at an unknown opcode after a chunk.
  fp7::ChunkWriter broken;
  broken.Push(9).Text(1, "cut").Raw(Bytes{0x11, 0x20, 0x01});
  const std::vector<Bytes> database = fp7::LayOutDatabase(SampleTables(1, 2));
  ASSERT_EQ(database.size(), 1u);
  for (const auto& [count, grade] :
       std::initializer_list<std::pair<int, int>>{{0, 3}, {2, 2}, {8, 1}}) {
    std::vector<Bytes> pages = database;
    pages.insert(pages.end(), count, broken.bytes());
    ASSERT_EQ(Recover(fp7::MakeFile(pages), std::string(1, 'g').append(std::to_string(count))), 0);
    EXPECT_EQ(g_Report.Grade(), grade) << count << " broken pages";
  }
}

// Steps over pages the engine refuses (free pages of a real file) up to the file's end.
class SkipRefusedPages : public Fp7WalkRules {
 public:
  bool EndsAtRefusedPage(const CFMCEngine& engine) const override {
    return engine.m_nCurrentPage >= engine.m_nPageCount;
  }
};

// The real databases, when at hand: a free page may end the strict walks; stepping over them
// recovers every table with records.
TEST_F(Fp7ProcessTest, RealSamplesRecover) {
  QRX_REAL_SAMPLE_OR_SKIP(samples, "fp7");
  const SkipRefusedPages stepOver;
  for (const auto& sample : fs::directory_iterator(samples)) {
    const std::string name = sample.path().stem().string();
    const int32_t strict = Recover(ReadFileBytes(sample.path()), name + "-strict");
    EXPECT_TRUE(strict == 0 || strict == -3) << name;
    CFMLogicParser8 tolerant(stepOver);
    ASSERT_TRUE(tolerant.AttachSource(&sources.back()));
    ASSERT_EQ(tolerant.Process(Utf16(dir / name).c_str()), 0) << name;
    for (const auto& written : fs::directory_iterator(dir / name)) {
      if (written.path().extension() == ".dbf") {
        EXPECT_FALSE(ReadDbf(written.path()).rows.empty());
      }
    }
  }
}

}  // namespace
