// What the builders write, the engine reads back.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "engine/fp7_engine.h"
#include "engine/fp7_text.h"
#include "unit/fp7_engine_fixture.h"

namespace {

using fp7::Bytes;

TEST(Fp7Builder, EveryCharacterTheMapProducesIsEncodedBack) {
  for (int c = 1; c < 256; ++c) {
    const std::string text(1, static_cast<char>(c));
    Bytes stored;
    try {
      stored = fp7::EncodeText(text);
    } catch (const std::invalid_argument&) {
      continue;
    }
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(DecodeChar(stored[0]), c);
  }
  EXPECT_THROW(fp7::EncodeText(std::string(1, '\0')), std::invalid_argument);
  EXPECT_EQ(fp7::EncodeText("Aa0 \r"), (Bytes{0x1B, 0x3B, 0x6A, 0x25, 0x57}));
}

TEST(Fp7Builder, IdsAndKeysAtTheEdgesOfEveryFormComeBack) {
  // ID1, ID2, ID3 and both ID4 bases for pushes; b1, ID2 and K3 forms for keys.
  const std::vector<uint32_t> ids = {0,       255,     256,        16511,      16512,
                                     4210815, 4210816, 0x1020407F, 0x1020408F, 0x1030407F};
  const std::vector<uint32_t> keys = {0, 255, 256, 16511, 16512, 77951, 128 + 260 * 4096};
  const std::vector<uint32_t> emptyKeys = {0, 255, 256, 16766};
  fp7::ChunkWriter w;
  for (const uint32_t id : ids) w.Push(id);
  for (const uint32_t key : keys) w.Value(key, Bytes{7});
  for (const uint32_t key : emptyKeys) w.Value(key, Bytes{});
  w.PushAs(0x38, 0xFFFFFFFF).PushAs(0xE8, 9).PushAs(0x28, 200);
  CFMEngine engine;
  ParseData(engine, w.bytes());
  std::vector<uint32_t> expected = ids;
  expected.insert(expected.end(), keys.begin(), keys.end());
  expected.insert(expected.end(), emptyKeys.begin(), emptyKeys.end());
  expected.insert(expected.end(), {0xFFFFFFFF, 9, 200});
  std::vector<uint32_t> read;
  for (const CFMChunk* chunk : engine.GetChunks()) read.push_back(chunk->m_dwId);
  EXPECT_EQ(read, expected);
  EXPECT_THROW(w.Value(4210815, Bytes{1}), std::invalid_argument);
  EXPECT_THROW(w.Value(16767, Bytes{}), std::invalid_argument);
}

// A record's fields over all its occurrences, each column's pieces joined in page order.
using Fields = std::map<uint32_t, std::string>;

struct ReadBack {
  std::vector<std::pair<uint32_t, std::string>> tables;
  std::map<uint32_t, std::string> columns;
  std::map<uint32_t, Fields> records;
  std::map<uint32_t, std::pair<std::string, Bytes>> containers;
};

// Visits the sub-path nodes under `path` on every page of the file.
template <class Visit>
void ForEachNode(CFMEngine& engine, std::initializer_list<uint32_t> path, bool subPaths,
                 bool binary, Visit visit) {
  for (engine.m_nCurrentPage = 2; engine.ReadPage(); engine.NextPage()) {
    engine.ParsePage();
    const uint16_t list = engine.FindPath(path);
    if (list == CFMEngine::kNotFound) continue;
    for (const uint16_t sub : engine.GetSubPaths(list)) {
      if (std::optional<CFMNode> node = engine.GetNode(sub, subPaths, binary)) visit(*node);
    }
  }
}

std::string TextOf(const CFMValue& v) {
  return v.m_pText ? std::string(v.m_pText, v.m_dwLength) : "";
}

ReadBack Read(CFMEngine& engine, uint32_t tableId) {
  ReadBack out;
  ForEachNode(engine, {3, 16, 5}, false, false, [&](const CFMNode& node) {
    for (const CFMValue& v : node.m_Values) {
      if (v.m_dwKey == 16) out.tables.emplace_back(node.m_dwId, TextOf(v));
    }
  });
  ForEachNode(engine, {tableId, 3, 5}, false, false, [&](const CFMNode& node) {
    for (const CFMValue& v : node.m_Values) {
      if (v.m_dwKey == 16) out.columns[node.m_dwId] = TextOf(v);
    }
  });
  ForEachNode(engine, {tableId % 256, 5}, true, false, [&](const CFMNode& node) {
    for (const CFMValue& v : node.m_Values) {
      if (v.m_dwKey != 0) out.records[node.m_dwId][v.m_dwKey] += TextOf(v);
    }
  });
  ForEachNode(engine, {tableId, 31, 5}, true, true, [&](const CFMNode& node) {
    auto& [name, data] = out.containers[node.m_dwId];
    for (const CFMValue& v : node.m_Values) {
      const std::string kind = v.m_pKeyBytes ? v.m_pKeyBytes : "";
      if (kind == "FNAM") {  // the name behind 0xDA and one more byte
        Bytes tail(v.m_pRaw + 14, v.m_pRaw + v.m_dwLength);
        engine.DecodeText(tail.data(), tail.size());
        name.assign(tail.begin(), tail.end());
      } else if (kind == "FILE") {
        const size_t at = v.m_dwFirstPieceKey == 0 ? 0 : (v.m_dwFirstPieceKey - 1) * 1000;
        if (data.size() < at + v.m_dwLength) data.resize(at + v.m_dwLength);
        std::copy(v.m_pRaw, v.m_pRaw + v.m_dwLength, data.begin() + at);
      }
    }
  });
  return out;
}

class Fp7BuilderDatabase : public Fp7FileFixture {};

TEST_F(Fp7BuilderDatabase, TablesSpreadOverSmallPagesReadBackWhole) {
  std::vector<fp7::Table> tables = fp7::SampleTables(2, 40);
  fp7::Table& table = tables[1];
  table.id = 300;  // records under 44/5, columns under 300/3/5
  table.records.push_back({5, {{3, std::string(2500, 'L')}}});  // a long text joins record 5
  Bytes picture(2300);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint8_t>(i * 7);
  table.containers = {{1, "photo.jpg", picture}, {2, "a.txt", Bytes{1, 2, 3}}};
  const std::vector<Bytes> pages = fp7::LayOutDatabase(tables, 1100);
  ASSERT_GT(pages.size(), 8u);
  Open(fp7::MakeFile(pages));

  const ReadBack back = Read(engine, 300);
  EXPECT_EQ(back.tables,
            (std::vector<std::pair<uint32_t, std::string>>{{129, "Table1"}, {300, "Table2"}}));
  EXPECT_EQ(back.columns, (std::map<uint32_t, std::string>{
                              {1, "Name"}, {2, "Amount"}, {3, "Note"}, {4, "Count"}}));
  std::map<uint32_t, Fields> expected;
  for (const fp7::Record& record : table.records) {
    for (const auto& [column, text] : record.fields) expected[record.id][column] += text;
  }
  EXPECT_EQ(back.records, expected);
  EXPECT_EQ(back.containers.at(1), std::make_pair(std::string("photo.jpg"), picture));
  EXPECT_EQ(back.containers.at(2), std::make_pair(std::string("a.txt"), Bytes{1, 2, 3}));
  EXPECT_EQ(engine.m_nBrokenPages, 0u);
}

TEST(Fp7Builder, PagesCarryTheirUnusedCountAndFilesStartBehindTwoPages) {
  const Bytes file = fp7::MakeFile({Bytes{0x20, 1, 0x40}, Bytes(4075, 0x80)});
  ASSERT_EQ(file.size(), 8192u + 2 * 4096u);
  EXPECT_EQ(file[8192 + 14], 0x0F);  // 4073 unused bytes, high byte first
  EXPECT_EQ(file[8192 + 15], 0xE9);
  EXPECT_EQ(file[8192 + 4096 + 15], 1);
  EXPECT_THROW(fp7::MakePage(Bytes(4076)), std::invalid_argument);
}

}  // namespace
