// What the builders write, the engine reads back.
#include <gtest/gtest.h>

#include <map>

#include "engine/fp7_engine.h"
#include "unit/fp7_engine_fixture.h"

namespace {

using fp7::Bytes;

// The named sub-paths (key 16) under `path` on every page, and the values of records under it.
using Fields = std::map<uint32_t, std::string>;
std::map<uint32_t, Fields> ReadBack(CFMEngine& engine, std::initializer_list<uint32_t> path,
                                    bool records) {
  std::map<uint32_t, Fields> out;
  for (engine.m_nCurrentPage = 2; engine.ReadPage(); engine.NextPage()) {
    engine.ParsePage();
    const uint16_t list = engine.FindPath(path);
    if (list == CFMEngine::kNotFound) continue;
    for (const uint16_t sub : engine.GetSubPaths(list)) {
      const std::optional<CFMNode> node = engine.GetNode(sub, records, false);
      if (!node) continue;
      for (const CFMValue& v : node->m_Values) {
        const bool wanted = records ? v.m_dwKey != 0 : v.m_dwKey == 16;
        if (wanted && v.m_pText != nullptr)
          out[node->m_dwId][v.m_dwKey] += std::string(v.m_pText, v.m_dwLength);
      }
    }
  }
  return out;
}

class Fp7BuilderDatabase : public Fp7FileFixture {};

TEST_F(Fp7BuilderDatabase, TablesSpreadOverSmallPagesReadBackWhole) {
  std::vector<fp7::Table> tables = fp7::SampleTables(2, 40);
  fp7::Table& table = tables[1];
  table.id = 300;  // records under 44/5, columns under 300/3/5
  table.records.push_back({5, {{3, std::string(2500, 'L')}}});  // a long text joins record 5
  const std::vector<Bytes> pages = fp7::LayOutDatabase(tables, 1100);
  ASSERT_GT(pages.size(), 6u);
  Open(fp7::MakeFile(pages));

  using Named = std::map<uint32_t, Fields>;
  EXPECT_EQ(ReadBack(engine, {3, 16, 5}, false),
            (Named{{129, {{16, "Table1"}}}, {300, {{16, "Table2"}}}}));
  EXPECT_EQ(
      ReadBack(engine, {300, 3, 5}, false),
      (Named{
          {1, {{16, "Name"}}}, {2, {{16, "Amount"}}}, {3, {{16, "Note"}}}, {4, {{16, "Count"}}}}));
  Named expected;
  for (const fp7::Record& record : table.records) {
    for (const auto& [column, text] : record.fields) expected[record.id][column] += text;
  }
  EXPECT_EQ(ReadBack(engine, {44, 5}, true), expected);
  EXPECT_EQ(engine.m_nBrokenPages, 0u);
}

}  // namespace
