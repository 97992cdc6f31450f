#include "support/fp5_builder.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "engine/fp5_engine.h"
#include "support/temp_dir.h"

using namespace fp5build;

namespace {

using ItemView = std::tuple<int, int, int, std::string>;   // record, column, type, text
using PieceView = std::tuple<int, int, int, std::string>;  // piece, record, column, text

struct Scan {
  std::vector<ItemView> items;
  std::vector<PieceView> pieces;
  uint32_t dataBlocks = 0;
  uint32_t pagesWalked = 0;
};

Scan ScanFile(const Fp5FileBuilder& file) {
  TempDir dir;
  file.WriteTo(dir / "db.fp5");
  CFileConnector source;
  EXPECT_EQ(source.OpenSource(Utf16(dir / "db.fp5").c_str()), 0);
  CFM5 engine;
  EXPECT_TRUE(engine.Connect(&source));
  Scan scan;
  while (!engine.IsEndOfFile()) {
    engine.ReadPage();
    engine.ParsePage();
    engine.NextPage();
    ++scan.pagesWalked;
  }
  for (const CFM5Item* item : engine.GetFieldItems()) {
    scan.items.emplace_back(item->m_nRecord, item->m_nColumn, item->m_nType, item->m_szText);
  }
  for (const CFM5LongPiece* piece : engine.GetLongTextPieces()) {
    scan.pieces.emplace_back(piece->m_nPiece, piece->m_nRecord, piece->m_nColumn,
                             std::string(piece->m_szText, piece->m_nLength));
  }
  scan.dataBlocks = engine.m_nDataPages;
  return scan;
}

TEST(Fp5Builder, EncodesTheIdForms) {
  EXPECT_EQ(Fp5Id::Auto(0x7F), (Bytes{0xC1, 0x7F}));
  EXPECT_EQ(Fp5Id::Auto(133), (Bytes{0xC2, 0x80, 0x05}));
  EXPECT_EQ(Fp5Id::TwoBytes(0x807F), (Bytes{0xC2, 0xFF, 0xFF}));
  EXPECT_THROW(Fp5Id::TwoBytes(0x7F), std::invalid_argument);
  EXPECT_EQ(Fp5Id::ThreeBytes(1, 2, 3), (Bytes{0xC3, 1, 2, 3}));
  EXPECT_EQ(DataBlock({{Fp5Id::Auto(1), {Fp5Field::Value(2, "ab")}}}),
            (Bytes{0xC1, 5, 0xC1, 1, 0x42, 2, 'a', 'b', 0xC0, 0xC0}));
  const Fp5Record tooLong{Fp5Id::Auto(1), {Fp5Field::LongText(1, {std::string(1200, 'x')})}};
  EXPECT_THROW(Fp5FileBuilder().AddRecords({tooLong}), std::length_error);
}

TEST(Fp5Builder, WhatItWritesTheEngineReadsBack) {
  // Definitions, then 300 records in every id form over several pages, then the rest of a long
  // text of record 2 on a page of its own.
  Fp5FileBuilder file;
  file.AddDefinitions({{2, {1}}, {3, {2}}},
                      {{1, "Name"}, {2, "Born"}, {3, "Memo"}, {200, "Far column"}});
  std::vector<Fp5Record> records;
  std::vector<ItemView> values;
  for (uint16_t id = 1; id <= 300; ++id) {
    const std::string name = "name " + std::to_string(id);
    const std::string born = std::to_string(1900 + id % 100) + "-01-02";
    Bytes form = id % 3 == 0 ? Fp5Id::ThreeBytes(0, id >> 8, id & 0xFF) : Fp5Id::Auto(id);
    records.push_back({form, {Fp5Field::Value(1, name), Fp5Field::Value(2, born)}});
    values.emplace_back(id, 1, 0, name);
    values.emplace_back(id, 2, 0, born);
  }
  // Long texts whose wide (0xFF) piece comes first, and comes later.
  records[1].fields.push_back(Fp5Field::LongText(3, {std::string(400, 'x'), "end of part"}));
  records[3].fields.push_back(Fp5Field::LongText(3, {"start", std::string(300, 'y')}));
  file.AddRecords(records);
  const size_t recordPages = file.PageCount() - 1;
  file.AddRecords({{Fp5Id::Auto(2), {Fp5Field::LongText(3, {"more"}, 3)}}});

  const Scan scan = ScanFile(file);
  std::vector<ItemView> expected = {
      {0, 1, 2, "Name"}, {0, 2, 3, "Born"}, {0, 3, 1, "Memo"}, {0, 200, 1, "Far column"}};
  expected.insert(expected.end(), values.begin(), values.end());
  EXPECT_EQ(scan.items, expected);
  EXPECT_EQ(scan.pieces, (std::vector<PieceView>{{1, 2, 3, std::string(400, 'x')},
                                                 {2, 2, 3, "end of part"},
                                                 {1, 4, 3, "start"},
                                                 {2, 4, 3, std::string(300, 'y')},
                                                 {3, 2, 3, "more"}}));
  EXPECT_GT(recordPages, 3u);
  EXPECT_EQ(scan.dataBlocks, recordPages + 1);
  // The walk ends on the refused page past the last, but the definitions moved it over one page.
  EXPECT_EQ(scan.pagesWalked, file.PageCount());
}

}  // namespace
