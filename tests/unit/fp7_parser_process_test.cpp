// The fp7 recovery from end to end, on built files: result files, report, progress, stops, grade,
// hostile names, damaged variants, the real samples, and memory running out at every allocation.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

#include "api/library_state.h"
#include "diag/report.h"
#include "diag/status_link.h"
#include "fp7_parser_fixture.h"
#include "platform/heap.h"
#include "support/damage.h"

namespace {

namespace fs = std::filesystem;
using fp7::Bytes;
using Entries = std::vector<std::pair<std::u16string, std::u16string>>;

std::vector<std::pair<std::u16string, int32_t>> g_progress;
uint8_t g_breakByte = 0;
// Progress text at which the status callback sets the break byte; empty: never.
std::u16string g_breakAt;

void WriteDiag(const char16_t*) {}
void StatusBar(const char16_t* text, int32_t percent) {
  g_progress.emplace_back(text, percent);
  if (!g_breakAt.empty() && g_breakAt == text) g_breakByte = 1;
}

const damage::PagedLayout kFp7Layout{fp7::kPageSize, fp7::kFileStart};

fp7::Table MakeTable(uint32_t id, const std::string& name, size_t columns, size_t rows) {
  fp7::Table table = TableNamed(id, name);
  for (uint32_t c = 1; c <= columns; ++c) table.columns.push_back({c, "Col" + std::to_string(c)});
  for (uint32_t r = 1; r <= rows; ++r) {
    fp7::Record record{r, {}};
    for (uint32_t c = 1; c <= columns; ++c) {
      record.fields.emplace_back(c, name + " r" + std::to_string(r) + " c" + std::to_string(c));
    }
    table.records.push_back(record);
  }
  return table;
}

class Fp7ProcessTest : public Fp7ParserTest {
 protected:
  void SetUp() override {
    Fp7ParserTest::SetUp();
    g_progress.clear();
    g_breakByte = 0;
    g_breakAt.clear();
    g_pBreakFlag = &g_breakByte;
    ASSERT_EQ(g_StatusLink.InitLink(WriteDiag, StatusBar, 0, 3, 30), 0);
    fs::create_directory(out());
    reportMark = g_Report.EntryCount();
  }
  void TearDown() override {
    g_pBreakFlag = nullptr;
    Fp7ParserTest::TearDown();
  }

  fs::path out() const { return dir / "out"; }
  int32_t Run() { return parser.Process(Utf16(out()).c_str()); }
  int32_t Recover(const std::vector<fp7::Table>& tables) {
    Open(fp7::BuildDatabase(tables));
    return Run();
  }
  std::vector<std::string> OutputFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  Entries NewEntries() const {
    KtUtils::KtReport::Column items = nullptr, details = nullptr;
    const int32_t rows = g_Report.BuildTable(&items, &details, nullptr, nullptr);
    Entries entries;
    for (int32_t row = 1 + static_cast<int32_t>(reportMark); row < rows; ++row) {
      entries.emplace_back(items[row], details[row]);
    }
    return entries;
  }

  size_t reportMark = 0;
};

TEST_F(Fp7ProcessTest, TablesWithRecordsGetResultFilesAndTheReportListsEveryTable) {
  fp7::Table a = MakeTable(129, "A", 5, 10);
  fp7::Table b = MakeTable(130, "B", 0, 0);
  fp7::Table c = MakeTable(131, "C", 2, 1);
  c.containers = {{1, "c.bin", Bytes{1, 2, 3}}};
  b.containers = {{1, "b.bin", Bytes{4, 5}}};
  ASSERT_EQ(Recover({a, b, c}), 0);

  EXPECT_EQ(NewEntries(), (Entries{{u"Total 3 tables", u"A, C, B"},
                                   {u"A", u"5 columns, 10 rows"},
                                   {u"C", u"2 columns, 1 rows"},
                                   {u"B", u"Empty"}}));
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"A.dbf", "C.dbf", "b.bin", "c.bin"}));
  const DbfTable tableA = ReadDbf(out() / "A.dbf");
  EXPECT_EQ(tableA.names, (std::vector<std::string>{"Col1", "Col2", "Col3", "Col4", "Col5"}));
  ASSERT_EQ(tableA.rows.size(), 10u);
  EXPECT_EQ(tableA.rows[9][4], "A r10 c5");
  EXPECT_EQ(ReadFileBytes(out() / "c.bin"), (std::vector<unsigned char>{1, 2, 3}));
  EXPECT_TRUE(Logged("NO records founded for B"));
  EXPECT_EQ(g_Report.Grade(), 3);
}

TEST_F(Fp7ProcessTest, OneTableIsReportedInTheSingular) {
  ASSERT_EQ(Recover({MakeTable(129, "Solo", 1, 2)}), 0);
  ASSERT_FALSE(NewEntries().empty());
  EXPECT_EQ(NewEntries()[0],
            (std::pair<std::u16string, std::u16string>{u"Total 1 table", u"Solo"}));
}

TEST_F(Fp7ProcessTest, ProgressRisesByTheTablesShareCutTowardZero) {
  ASSERT_EQ(Recover({MakeTable(129, "T1", 1, 1), MakeTable(130, "T2", 1, 1),
                     MakeTable(131, "T3", 1, 1), MakeTable(132, "T4", 1, 1)}),
            0);
  std::vector<int32_t> rows;
  for (const auto& [text, percent] : g_progress) {
    if (text.starts_with(u"Writing row data...")) rows.push_back(percent);
  }
  EXPECT_EQ(rows, (std::vector<int32_t>{10, 32, 55, 77, 100}));
  EXPECT_EQ(g_progress.back(), (std::pair<std::u16string, int32_t>{u"", 100}));
}

TEST_F(Fp7ProcessTest, NothingToRecoverGivesMinus3WithoutFilesOrEntries) {
  OpenPages({Filler()});
  EXPECT_EQ(Run(), -3);
  EXPECT_EQ(g_progress.back(),
            (std::pair<std::u16string, int32_t>{u"Reading tables list... 10%", 10}));

  Fp7ProcessTest::TearDown();
  SetUp();
  EXPECT_EQ(Recover({MakeTable(129, "E1", 3, 0), MakeTable(130, "E2", 0, 0)}), -3);
  EXPECT_TRUE(NewEntries().empty());
  EXPECT_TRUE(OutputFiles().empty());
}

TEST_F(Fp7ProcessTest, TheHostsBreakStopsTheRunAtTheNextCheck) {
  const std::vector<fp7::Table> tables = {MakeTable(129, "First", 2, 3),
                                          MakeTable(130, "Second", 2, 3)};
  g_breakByte = 1;
  EXPECT_EQ(Recover(tables), -1000);
  EXPECT_TRUE(Logged("BreakFlag"));
  EXPECT_TRUE(OutputFiles().empty());

  Fp7ProcessTest::TearDown();
  SetUp();
  g_breakAt = u"Writing row data... 100%";
  EXPECT_EQ(Recover(tables), -1000);
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"First.dbf"}));
  EXPECT_TRUE(NewEntries().empty());
  EXPECT_FALSE(Logged("Process of \"Second\" table ===>\n\tRead list"));
}

TEST_F(Fp7ProcessTest, TheGradeFollowsTheShareOfPagesThatDecodedToTheirEnd) {
  // One page holds the whole table; each broken page stops at an unknown opcode after a chunk.
  fp7::ChunkWriter brokenPage;
  brokenPage.Push(9).Text(1, "cut").Raw(Bytes{0x11, 0x20, 0x01});
  const std::vector<fp7::Bytes> database = fp7::LayOutDatabase({MakeTable(129, "G", 1, 2)});
  ASSERT_EQ(database.size(), 1u);
  for (const auto& [broken, grade] :
       std::vector<std::pair<size_t, int32_t>>{{0, 3}, {2, 2}, {8, 1}}) {
    Fp7ProcessTest::TearDown();
    SetUp();
    Fp7ParserProbe fresh;
    std::vector<fp7::Bytes> pages = database;
    pages.insert(pages.end(), broken, brokenPage.bytes());
    WriteFileBytes(dir / "graded.fp7", fp7::MakeFile(pages));
    CFileConnector graded;
    ASSERT_EQ(graded.OpenSource(Utf16(dir / "graded.fp7").c_str()), 0);
    ASSERT_TRUE(fresh.AttachSource(&graded));
    ASSERT_EQ(fresh.Process(Utf16(out()).c_str()), 0);
    EXPECT_EQ(fresh.m_Engine.m_nBrokenPages > 0, broken > 0);
    EXPECT_EQ(g_Report.Grade(), grade) << broken << " broken pages";
  }
}

TEST_F(Fp7ProcessTest, HostileNamesNeverLeadOutOfTheTargetFolder) {
  std::vector<fp7::Table> tables;
  const std::vector<std::string> names = {"../x", "/etc/passwd",         "..", "ctl\r\r", "Same",
                                          "Same", std::string(300, 'n'), "con"};
  for (uint32_t i = 0; i < names.size(); ++i) {
    tables.push_back(MakeTable(129 + i, names[i], 1, 1));
  }
  tables[0].containers = {{1, "../../evil.txt", Bytes{1}}, {2, "/tmp/evil2", Bytes{2}}};
  ASSERT_EQ(Recover(tables), 0);
  // Everything written is a plain file directly in the target folder.
  std::vector<std::string> outside;
  for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
    const fs::path relative = fs::relative(entry.path(), dir.path());
    if (relative.parent_path() != "out" && relative != "out" && relative != "db.fp7" &&
        relative != "qrx.log") {
      outside.push_back(relative.string());
    }
    if (relative.parent_path() == "out") {
      EXPECT_TRUE(entry.is_regular_file()) << relative;
    }
  }
  EXPECT_TRUE(outside.empty()) << outside.front();
  EXPECT_TRUE(fs::exists(out() / "evil.txt"));
  EXPECT_GE(OutputFiles().size(), names.size());
  // Two tables of one name both keep their rows.
  EXPECT_TRUE(fs::exists(out() / "Same.dbf"));
  EXPECT_TRUE(fs::exists(out() / "Same_134.dbf"));
}

// Pages that hold no records may be lost: all records of the intact file still come back.
TEST_F(Fp7ProcessTest, DamageToPagesWithoutRecordsCostsNoRecord) {
  std::vector<fp7::Table> tables = fp7::SampleTables(3, 40);
  std::vector<Bytes> pages = fp7::LayOutDatabase(tables, 1500);
  // Foreign pages between the tables' pages, and two pages of container objects at the end.
  for (size_t at = pages.size() - 1; at > 3; at -= 3) pages.insert(pages.begin() + at, Filler());
  fp7::Table withObject = tables[2];
  withObject.containers = {{1, "tail.bin", Bytes(3000, 7)}};
  fp7::PageWriter objects(2500);
  fp7::WriteContainers(objects, withObject);
  ASSERT_EQ(objects.Pages().size(), 2u);
  for (const Bytes& page : objects.Pages()) pages.push_back(page);
  const Bytes intact = fp7::MakeFile(pages);
  auto rowsOf = [&](const Bytes& file, const std::string& name) {
    Fp7ParserProbe probe;
    const fs::path target = dir / name;
    fs::create_directory(target);
    WriteFileBytes(dir / (name + ".fp7"), file);
    CFileConnector source;
    EXPECT_EQ(source.OpenSource(Utf16(dir / (name + ".fp7")).c_str()), 0);
    EXPECT_TRUE(probe.AttachSource(&source));
    EXPECT_EQ(probe.Process(Utf16(target).c_str()), 0);
    std::vector<std::vector<std::vector<std::string>>> rows;
    for (const auto& table : {"Table1.dbf", "Table2.dbf", "Table3.dbf"}) {
      rows.push_back(ReadDbf(target / table).rows);
    }
    return rows;
  };
  const auto expected = rowsOf(intact, "intact");
  ASSERT_EQ(expected[0].size(), 40u);

  Bytes damaged = intact;
  const size_t pageCount = damage::PageCount(damaged, kFp7Layout);
  damage::ZeroPage(damaged, kFp7Layout, pageCount - 1);
  damage::NoisePage(damaged, kFp7Layout, pageCount - 2, 11);
  // Foreign pages noised behind an intact page header still decode as far as they can.
  for (size_t page = 0; page + 2 < pageCount; ++page) {
    if (pages[page] != Filler()) continue;
    const size_t header = fp7::kFileStart + page * fp7::kPageSize;
    const Bytes kept(damaged.begin() + header, damaged.begin() + header + fp7::kHeaderSize);
    damage::NoisePage(damaged, kFp7Layout, page, page);
    std::copy(kept.begin(), kept.end(), damaged.begin() + header);
  }
  EXPECT_EQ(rowsOf(damaged, "damaged"), expected);
}

TEST_F(Fp7ProcessTest, RunningOutOfMemoryAtAnyAllocationNeverBreaksTheRun) {
  fp7::Table table = MakeTable(129, "Mem", 2, 3);
  table.records.push_back({2, {{1, std::string(1500, 'L')}}});
  table.containers = {{1, "m.bin", Bytes(1200, 9)}};
  const Bytes file = fp7::BuildDatabase({table});
  qrx::heap::ResetCounting();
  ASSERT_EQ(Recover({table}), 0);
  const uint64_t allocations = qrx::heap::AllocationCount();
  ASSERT_GT(allocations, 10u);
  for (uint64_t failAt = 1; failAt <= allocations; ++failAt) {
    TempDir target;
    Fp7ParserProbe probe;
    CFileConnector source;
    ASSERT_EQ(source.OpenSource(Utf16(dir / "db.fp7").c_str()), 0);
    ASSERT_TRUE(probe.AttachSource(&source));
    qrx::heap::ResetCounting(failAt);
    const int32_t result = probe.Process(Utf16(target.path()).c_str());
    qrx::heap::ResetCounting();
    EXPECT_TRUE(result == 0 || result == -3) << "failing allocation " << failAt;
  }
}

// Rules that step over pages the engine refuses (free pages of a real file) up to the file's end.
class SkipRefusedPages : public Fp7WalkRules {
 public:
  bool EndsAtRefusedPage(const CFMCEngine& engine) const override {
    return engine.m_nCurrentPage >= engine.m_nPageCount;
  }
};

// Recovers `sample` into `target`; prints what came out.
int32_t RecoverSample(const fs::path& sample, const fs::path& target, const Fp7WalkRules& rules) {
  CFMLogicParser8 parser(rules);
  CFileConnector source;
  EXPECT_EQ(source.OpenSource(Utf16(sample).c_str()), 0);
  EXPECT_TRUE(parser.AttachSource(&source));
  fs::create_directories(target);
  const int32_t result = parser.Process(Utf16(target).c_str());
  std::cout << sample.filename().string() << " -> " << target.filename().string() << ": result "
            << result << ", grade " << g_Report.Grade() << "\n";
  for (const auto& written : fs::directory_iterator(target)) {
    if (written.path().extension() != ".dbf") continue;
    const DbfTable table = ReadDbf(written.path());
    EXPECT_FALSE(table.rows.empty()) << written.path();
    std::cout << "  " << written.path().filename().string() << ": " << table.names.size()
              << " columns, " << table.rows.size() << " rows;";
    for (size_t c = 0; c < std::min<size_t>(table.names.size(), 4) && !table.rows.empty(); ++c) {
      std::cout << " " << table.names[c] << "=" << table.rows[0][c];
    }
    std::cout << "\n";
  }
  return result;
}

// The real databases, when they are at hand. A real file has free pages, which end the strict
// walks; stepping over them recovers every table with records.
TEST_F(Fp7ProcessTest, RealSamplesRecover) {
  const fs::path samples = fs::path(QRX_REAL_SAMPLES_DIR) / "fp7";
  if (!fs::exists(samples)) GTEST_SKIP() << "no real fp7 samples";
  for (const auto& sample : fs::directory_iterator(samples)) {
    if (sample.path().extension() != ".fp7") continue;
    const fs::path name = sample.path().stem();
    const int32_t strict =
        RecoverSample(sample.path(), out() / name / "strict", Fp7WalkRules::Strict());
    EXPECT_TRUE(strict == 0 || strict == -3);
    EXPECT_EQ(RecoverSample(sample.path(), out() / name / "tolerant", SkipRefusedPages()), 0);
  }
}

}  // namespace
