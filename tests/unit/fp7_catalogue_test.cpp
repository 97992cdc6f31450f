#include <gtest/gtest.h>

#include <sstream>

#include "diag/log.h"
#include "engine/fp7_engine.h"
#include "unit/fp7_engine_fixture.h"

namespace {

using fp7::Bytes;

// Captures g_Log into a file; Text() gives what was logged, without the time stamp lines.
class LogCapture {
 public:
  LogCapture() { g_Log.Open(path_.c_str(), true); }
  ~LogCapture() { g_Log.Close(); }
  std::string Text() const {
    std::string text;
    std::istringstream in(ReadFileText(path_));
    for (std::string line; std::getline(in, line);) {
      if (line.size() != 10 || line[0] != '[' || line[3] != ':') text += line + "\n";
    }
    return text;
  }

 private:
  TempDir dir_;
  std::string path_ = (dir_ / "qrx.log").string();
};

TEST(Fp7Catalogue, TableAndColumnPagesAreRecognised) {
  fp7::ChunkWriter tables, columns, emptyTable, unnamed, named;
  std::vector<fp7::Table> two = fp7::SampleTables(2, 3);
  fp7::WriteTableCatalogue(tables, two);
  two[0].id = 4;  // a column list is looked for under the first five tables
  fp7::WriteColumns(columns, two[0]);
  // An empty table entry fails the whole list.
  emptyTable.Push(3).Push(16).Push(5).Push(129).Text(16, "A").Pop().Push(130).Pop().Pop(3);
  // Table 6 is not looked at; table 5's list holds an empty column and one without a name.
  unnamed.Push(6).Push(3).Push(5).Push(1).Text(16, "a").Pop(4);
  unnamed.Push(5).Push(3).Push(5).Push(1).Pop().Push(2).Value(2, Bytes{1, 1}).Pop().Pop(3);
  // A named column next to an empty one is enough.
  named.Push(5).Push(3).Push(5).Push(1).Pop().Push(7).Text(16, "b").Pop().Pop(3);
  const std::vector<std::tuple<const char*, fp7::ChunkWriter*, bool, bool>> cases = {
      {"tables", &tables, true, false},
      {"columns", &columns, false, true},
      {"empty table", &emptyTable, false, false},
      {"unnamed columns", &unnamed, false, false},
      {"named column", &named, false, true}};
  LogCapture log;
  for (const auto& [name, page, isTables, isColumns] : cases) {
    CFMEngine engine;
    LoadData(engine, page->bytes());
    EXPECT_EQ(engine.IsTablesCatalogue(), isTables) << name;
    EXPECT_EQ(engine.IsFieldsCatalogue(), isColumns) << name;
  }
  EXPECT_EQ(log.Text(),
            "TEST VERS: Finded 2 table(s) of fp7 version.\n\n"
            "TEST VERS: Finded 4 field(s) info of fp7 version.\n\n"
            "TEST VERS: Finded 1 field(s) info of fp7 version.\n\n");
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
  EXPECT_EQ(log.Text(),
            "=== Start parse all pages for log ===\nNot connected file!!!\n"
            "=== Start parse all pages for log ===\n"
            "----------------------> Page # 2 <----------------------\n"
            "Node 3:\nNode 3->16:\n  16 ---> Ab\n<---\nContinuation: 3\n<---\nRoot^\n"
            "----------------------> Page # 3 <----------------------\n"
            "Node 0 (FILE):\n  FNAM ---> x\n<---\nRoot^\n<---\n"
            "=== End parse all pages for log ===\n\n");
}

TEST_F(Fp7Dump, ShowsRawBytesWithoutDecoding) {
  Open(fp7::MakeFile({fp7::ChunkWriter().Push(1).Value(2, Bytes{'r', 'a', 'w'}).Pop().bytes()}));
  ASSERT_TRUE(engine.ReadPage());
  LogCapture log;
  engine.DumpAllPages(false);
  EXPECT_NE(log.Text().find("\n  2 ---> raw\n"), std::string::npos);
}

}  // namespace
