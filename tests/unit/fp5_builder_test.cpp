#include "support/fp5_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "engine/fp5_engine.h"
#include "support/temp_dir.h"

using namespace fp5build;

namespace {

// A record page before any column is known (not read), two definition pages (a column is defined
// once, with the first type entry naming it; the first page moves the scan on to the next), 300
// records in every id form, long texts whose wide piece comes first and later, then the rest of
// record 2's long text on a page of its own.
TEST(Fp5Builder, WhatItWritesTheEngineReadsBack) {
  using Item = std::tuple<int, int, int, std::string>;  // record, column, type, text
  std::vector<Item> expected = {{0, 1, 2, "Name"},
                                {0, 2, 3, "Born"},
                                {0, 3, 1, "Memo"},
                                {0, 200, 1, "Far column"},
                                {0, 9, 1, "Note"}};
  std::vector<Fp5Record> records;
  for (uint16_t id = 1; id <= 300; ++id) {
    const std::string name = "name " + std::to_string(id);
    const std::string born = std::to_string(1900 + id % 100) + "-01-02";
    Bytes form = id % 3 == 0 ? Fp5Id::ThreeBytes(0, id >> 8, id & 0xFF) : Fp5Id::Auto(id);
    records.push_back({form, {Fp5Field::Value(1, name), Fp5Field::Value(2, born)}});
    expected.emplace_back(id, 1, 0, name);
    expected.emplace_back(id, 2, 0, born);
  }
  records[1].fields.push_back(Fp5Field::LongText(3, {std::string(400, 'x'), "end of part"}));
  records[3].fields.push_back(Fp5Field::LongText(3, {"start", std::string(300, 'y')}));
  Fp5FileBuilder file;
  file.AddRecords({records[0]})
      .AddDefinitions({{2, {1}}, {4, {1}}, {3, {2}}}, {{1, "Name"},
                                                       {1, "Again"},
                                                       {2, "Born"},
                                                       {3, "Memo"},
                                                       {200, "Far column"},
                                                       {8, std::string("\0x", 2)}})
      .AddDefinitions({}, {{1, "Later"}, {9, "Note"}})
      .AddRecords(records);
  const size_t recordPages = file.PageCount() - 3;
  file.AddRecords({{Fp5Id::Auto(2), {Fp5Field::LongText(3, {"more"}, 3)}}});

  TempDir dir;
  file.WriteTo(dir / "db.fp5");
  CFileConnector source;
  ASSERT_EQ(source.OpenSource(Utf16(dir / "db.fp5").c_str()), 0);
  CFM5 engine;
  ASSERT_TRUE(engine.Connect(&source));
  size_t walked = 0;
  for (; !engine.IsEndOfFile(); ++walked, engine.NextPage()) {
    engine.ReadPage();
    engine.ParsePage();
  }
  std::vector<Item> items;
  for (const CFM5Item* i : engine.GetFieldItems())
    items.emplace_back(i->m_nRecord, i->m_nColumn, i->m_nType, i->m_szText);
  EXPECT_EQ(items, expected);
  std::vector<Item> pieces;  // piece, record, column, text
  for (const CFM5LongPiece* p : engine.GetLongTextPieces())
    pieces.emplace_back(p->m_nPiece, p->m_nRecord, p->m_nColumn,
                        std::string(p->m_szText, p->m_nLength));
  EXPECT_EQ(pieces, (std::vector<Item>{{1, 2, 3, std::string(400, 'x')},
                                       {2, 2, 3, "end of part"},
                                       {1, 4, 3, "start"},
                                       {2, 4, 3, std::string(300, 'y')},
                                       {3, 2, 3, "more"}}));
  EXPECT_GT(recordPages, 3u);
  EXPECT_EQ(engine.m_nDataPages, recordPages + 1);
  // The walk ends on the refused page past the last, but the definitions moved it over two pages.
  EXPECT_EQ(walked, file.PageCount() - 1);
}

}  // namespace
