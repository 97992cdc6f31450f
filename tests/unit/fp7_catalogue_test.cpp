#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "diag/log.h"
#include "engine/fp7_engine.h"
#include "unit/fp7_engine_fixture.h"

namespace {

using fp7::Bytes;

// Captures g_Log into a file; Lines() gives what was logged, without time stamps.
class LogCapture {
 public:
  LogCapture() { g_Log.Open(path_.c_str(), true); }
  ~LogCapture() { g_Log.Close(); }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadFileText(path_));
    for (std::string line; std::getline(in, line);) {
      const bool stamp = line.size() == 10 && line[0] == '[' && line[3] == ':' && line[9] == ']';
      if (!stamp) lines.push_back(line);
    }
    return lines;
  }

 private:
  TempDir dir_;
  std::string path_ = (dir_ / "qrx.log").string();
};

std::vector<fp7::Table> TwoTables() {
  std::vector<fp7::Table> tables = fp7::SampleTables(2, 3);
  tables[0].name = "Orders";
  tables[1].name = "Lines";
  return tables;
}

TEST(Fp7Catalogue, TablePageIsRecognisedAndCounted) {
  fp7::ChunkWriter w;
  fp7::WriteTableCatalogue(w, TwoTables());
  LogCapture log;
  CFMEngine engine;
  LoadData(engine, w.bytes());
  EXPECT_TRUE(engine.IsTablesCatalogue());
  EXPECT_FALSE(engine.IsFieldsCatalogue());
  EXPECT_EQ(log.Lines(),
            (std::vector<std::string>{"TEST VERS: Finded 2 table(s) of fp7 version.", ""}));
}

TEST(Fp7Catalogue, AnEmptyTableEntryFailsTheWholeList) {
  fp7::ChunkWriter w;
  w.Push(3).Push(16).Push(5).Push(129).Text(16, "A").Pop().Push(130).Pop().Pop(3);
  CFMEngine engine;
  LoadData(engine, w.bytes());
  EXPECT_FALSE(engine.IsTablesCatalogue());
}

TEST(Fp7Catalogue, ColumnPageOfAnyOfTheFirstFiveTablesIsRecognised) {
  fp7::Table table = fp7::SampleTables(1, 0)[0];
  table.id = 4;
  fp7::ChunkWriter w;
  fp7::WriteColumns(w, table);
  LogCapture log;
  CFMEngine engine;
  LoadData(engine, w.bytes());
  EXPECT_TRUE(engine.IsFieldsCatalogue());
  EXPECT_FALSE(engine.IsTablesCatalogue());
  EXPECT_EQ(log.Lines(),
            (std::vector<std::string>{"TEST VERS: Finded 4 field(s) info of fp7 version.", ""}));
}

TEST(Fp7Catalogue, ColumnsWithoutValuesAreSkippedAndUnnamedOnesNotCounted) {
  fp7::ChunkWriter unnamed, named;
  // Table 6 is not looked at; table 5's list holds an empty column and one without a name.
  unnamed.Push(6).Push(3).Push(5).Push(1).Text(16, "a").Pop(4);
  unnamed.Push(5).Push(3).Push(5).Push(1).Pop().Push(2).Value(2, Bytes{1, 1}).Pop().Pop(3);
  named.Push(5).Push(3).Push(5).Push(1).Pop().Push(7).Text(16, "b").Pop().Pop(3);
  CFMEngine engine;
  LoadData(engine, unnamed.bytes());
  EXPECT_FALSE(engine.IsFieldsCatalogue());
  engine.NextPage();
  LoadData(engine, named.bytes());
  EXPECT_TRUE(engine.IsFieldsCatalogue());
}

class Fp7Dump : public Fp7FileFixture {};

TEST_F(Fp7Dump, ListsEveryPageAsATree) {
  fp7::ChunkWriter page1, page2;
  page1.Push(3).Push(16).Text(16, "Ab").Pop(2);
  page2.PushName("FILE").NamedValue("FNAM", fp7::EncodeText("x")).Pop(2);
  Open(fp7::MakeFile({page1.bytes(), page2.bytes()}));
  LogCapture log;
  engine.DumpAllPages(true);  // nothing read since Connect
  ASSERT_TRUE(engine.ReadPage());
  engine.DumpAllPages(true);
  const std::vector<std::string> expected = {
      "=== Start parse all pages for log ===",
      "Not connected file!!!",
      "=== Start parse all pages for log ===",
      "----------------------> Page # 2 <----------------------",
      "Node 3:",
      "Node 3->16:",
      "  16 ---> Ab",
      "<---",
      "Continuation: 3",
      "<---",
      "Root^",
      "----------------------> Page # 3 <----------------------",
      "Node 0 (FILE):",
      "  FNAM ---> x",
      "<---",
      "Root^",
      "<---",
      "=== End parse all pages for log ===",
      ""};
  EXPECT_EQ(log.Lines(), expected);
}

TEST_F(Fp7Dump, ShowsRawBytesWithoutDecoding) {
  fp7::ChunkWriter page;
  page.Push(1).Value(2, Bytes{'r', 'a', 'w'}).Pop();
  Open(fp7::MakeFile({page.bytes()}));
  ASSERT_TRUE(engine.ReadPage());
  LogCapture log;
  engine.DumpAllPages(false);
  EXPECT_EQ(log.Lines().at(3), "  2 ---> raw");
}

// Real files written by the database program, when they are at hand.
TEST(Fp7RealSamples, EveryPageDecodesAndACatalogueIsFound) {
  const std::filesystem::path folder = std::filesystem::path(QRX_REAL_SAMPLES_DIR) / "fp7";
  if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no real fp7 files in " << folder;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    CFileConnector source;
    ASSERT_EQ(source.OpenSource(Utf16(entry.path()).c_str()), 0) << entry.path();
    CFMEngine engine;
    ASSERT_TRUE(engine.Connect(&source));
    bool tables = false;
    uint32_t pagesWithChunks = 0;
    for (; engine.m_nCurrentPage < engine.m_nPageCount; engine.NextPage()) {
      if (!engine.ReadPage()) continue;
      tables = tables || engine.IsTablesCatalogue();
      pagesWithChunks += engine.GetChunks().empty() ? 0 : 1;
    }
    EXPECT_TRUE(tables) << entry.path();
    EXPECT_GT(pagesWithChunks, 0u) << entry.path();
  }
}

}  // namespace
