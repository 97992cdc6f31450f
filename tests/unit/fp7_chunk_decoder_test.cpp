#include <gtest/gtest.h>

#include "engine/fp7_engine.h"
#include "engine/fp7_text.h"
#include "unit/fp7_engine_fixture.h"

namespace {

using fp7::Bytes;

TEST(Fp7ChunkDecoder, PathPushesInEveryIdForm) {
  EXPECT_EQ(Decoded({0x20, 0x03, 0x20, 0x10, 0x20, 0x05, 0x40,        // ID1
                     0x28, 0x80, 0x01, 0x28, 0x05, 0x07,              // ID2, else b2
                     0x30, 0xC0, 0x00, 0x01,                          // ID3
                     0x38, 0x04, 0xE0, 0x00, 0x00, 0x01,              // ID4, g = 14
                     0x38, 0x04, 0xF0, 0x00, 0x00, 0x00,              // ID4, g = 15
                     0x38, 0x03, 'a',  'b',  'c',                     // a name
                     0x38, 0x05, 1,    2,    3,    4,    5,    0x80,  // 0xFFFFFFFF, then a skip
                     0xE8, 0x99, 0x2A}),
            "push 3, push 16, push 5, pop, push 129, push 7, push 16513, push 2113665, "
            "push 3162240, push 0 'abc', push 4294967295, push 42");
}

TEST(Fp7ChunkDecoder, KeyValueRowsGiveKeyLengthAndBytes) {
  struct Row {
    uint8_t opcode;
    uint32_t key;  // the id written, and read back
    size_t length;
    const char* name = nullptr;  // keyed by bytes instead
  };
  // 0x09 with an ID2 key, then a b1 key; 0x0E in both forms; 0x17 with both forms of t.
  const Row rows[] = {
      {0x00, 9, 0},       {0x08, 10, 1},      {0x05, 11, 8},      {0x09, 200, 1},
      {0x09, 12, 2},      {0x15, 16511, 9},   {0x0E, 4223, 1},    {0x0E, 0x7F, 1},
      {0x0F, 0x42, 1000}, {0x16, 300, 1},     {0x17, 12423, 1},   {0x17, 1065088, 1},
      {0x1B, 0, 4, "K1"}, {0x1D, 0, 8, "K2"}, {0x1E, 0, 2, "K3"}, {0x1F, 0, 300, "K4"}};
  fp7::ChunkWriter w;
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Bytes value(rows[i].length, static_cast<uint8_t>(i + 1));
    rows[i].name ? w.NamedValueAs(rows[i].opcode, rows[i].name, value)
                 : w.ValueAs(rows[i].opcode, rows[i].key, value);
  }
  CFMEngine engine;
  ParseData(engine, w.bytes());
  const auto chunks = engine.GetChunks();
  ASSERT_EQ(chunks.size(), std::size(rows));
  for (size_t i = 0; i < std::size(rows); ++i) {
    const CFMChunk& c = *chunks[i];
    EXPECT_TRUE(c.IsKeyValue()) << i;
    EXPECT_EQ(c.m_dwId, rows[i].key) << i;
    EXPECT_STREQ(c.m_pKeyBytes, rows[i].name) << i;
    ASSERT_EQ(c.m_dwLength, rows[i].length) << i;
    ASSERT_EQ(c.m_pValue == nullptr, rows[i].length == 0) << i;
    if (c.m_pValue == nullptr) continue;
    Bytes expected(rows[i].length, static_cast<uint8_t>(i + 1));
    expected.push_back(0);  // every value ends in a zero
    EXPECT_EQ(Bytes(c.m_pValue, c.m_pValue + c.m_dwLength + 1), expected) << i;
  }
}

// Each case: a chunk its row refuses (or keeps without bytes), then bytes that show by what they
// decode to where decoding resumed.
TEST(Fp7ChunkDecoder, RefusedChunksAreDroppedOrKeptWithTheirAdvance) {
  const Bytes skip12 = [] {
    Bytes b(49, 0x40);
    b[0] = 0x12;
    b[47] = 0x20;
    b[48] = 0x4D;
    return b;
  }();
  const std::vector<std::tuple<const char*, Bytes, const char*>> cases = {
      {"0x07 length 1001, advance 1", {0x07, 0x01, 0x03, 0xE9, 0x20, 0x4D}, "kv 3, push 77"},
      {"0x07 length 0", {0x07, 0x01, 0x00, 0x00, 0x20, 0x4D}, "kv 0, push 77"},
      {"0x06 length 0 kept, advance 1", {0x06, 0x20, 0x00, 0x20, 0x4D}, "kv 32, push 0, push 77"},
      {"0x0E length 0", {0x0E, 0x20, 0x4D, 0x00}, "push 77, kv 0"},
      {"0x0F length 0", {0x0F, 0x00, 0x05, 0x00, 0x00, 0x20, 0x4D}, "kv 5, kv 0, push 77"},
      {"0x0A without ID2 skips 5", {0x0A, 0x10, 0, 0, 0, 0x20, 0x4D}, "push 77"},
      {"0x16 no ID2, skip 12", {0x16, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x20, 0x4D}, "push 77"},
      {"0x17 > 1000 kept, +1", {0x17, 0x80, 0x80, 0x80, 0x40, 0x40}, "kv 33024, pop, pop"},
      {"0x1B no key bytes, advance 2", {0x1B, 0x00, 0x20, 0x4D}, "push 77"},
      {"0x1E length 0, advance n + 4", {0x1E, 0x01, 'k', 0x00, 0xFF, 0x20, 0x4D}, "push 77"},
      {"0x1F length 0, advance n + 4", {0x1F, 0x01, 'k', 0x00, 0x00, 0x20, 0x4D}, "push 77"},
      {"0x30 below 0xC0, advance 1", {0x30, 0x20, 0x4D}, "push 77"},
      {"0x12 skips 47", skip12, "push 77"},
      {"0x1A skips b1 + 4", {0x1A, 0x01, 0x40, 0x40, 0x40, 0x20, 0x4D}, "push 77"},
  };
  for (const auto& [name, bytes, expected] : cases) EXPECT_EQ(Decoded(bytes), expected) << name;
  // The 0x17 chunk kept without bytes has its length as read.
  CFMEngine engine;
  ParseData(engine, std::get<1>(cases[7]));
  EXPECT_EQ(engine.GetChunks()[0]->m_dwLength, 0x4040u);
  EXPECT_EQ(engine.GetChunks()[0]->m_pValue, nullptr);
  EXPECT_EQ(engine.GetText(*engine.GetChunks()[0]), nullptr);
}

TEST(Fp7ChunkDecoder, UnknownOpcodeEndsThePageAndCountsItBrokenOnlyAfterChunks) {
  CFMEngine engine;
  ParseData(engine, {0x11, 0x20, 0x01});
  EXPECT_EQ(engine.GetChunks().size(), 0u);
  EXPECT_EQ(engine.m_nBrokenPages, 0u);
  engine.NextPage();
  ParseData(engine, {0x20, 0x01, 0xE9, 0x20, 0x02});
  EXPECT_EQ(Describe(engine), "push 1");
  EXPECT_EQ(engine.m_nBrokenPages, 1u);
  EXPECT_EQ(engine.m_nParsedPages, 2u);
}

TEST(Fp7ChunkDecoder, ChunkRunningPastTheDataAreaReadsTheSlackButNeverBeyondTheBuffer) {
  // A full data area whose last chunk declares 200 bytes, past the buffer's end: dropped, and the
  // page is not broken. Eleven bytes stay inside the 16 bytes of zeroed slack and are read.
  Bytes data(4075, 0x80);
  data[4072] = 0x06;
  data[4073] = 0x01;
  data[4074] = 200;
  CFMEngine engine;
  ParseData(engine, data);
  EXPECT_EQ(engine.GetChunks().size(), 0u);
  EXPECT_EQ(engine.m_nBrokenPages, 0u);
  data[4074] = 11;
  engine.NextPage();
  ParseData(engine, data);
  ASSERT_EQ(engine.GetChunks().size(), 1u);
  EXPECT_EQ(engine.GetChunks()[0]->m_dwLength, 11u);
  EXPECT_EQ(engine.GetChunks()[0]->m_pValue[10], 0);
}

TEST(Fp7ChunkDecoder, ParsingTwiceListsThePageTwiceAndNextPageReleasesIt) {
  CFMEngine engine;
  ParseData(engine, {0x20, 0x03, 0x40});
  const CFMChunk* first = engine.GetChunks()[0];
  engine.ParsePage();
  EXPECT_EQ(Describe(engine), "push 3, pop, push 3, pop");
  EXPECT_EQ(engine.GetChunks()[0], first);  // records stay where they are
  engine.NextPage();
  EXPECT_TRUE(engine.GetChunks().empty());
}

TEST(Fp7TextMap, EveryStoredByteDecodesAsTheGridSays) {
  for (int stored = 0; stored < 256; ++stored) {
    EXPECT_EQ(DecodeChar(static_cast<uint8_t>(stored)), fp7::TextGrid()[stored]) << stored;
  }
  EXPECT_EQ(DecodeChar(0x3B), 'a');
  EXPECT_EQ(DecodeChar(0x57), '\r');
  EXPECT_EQ(DecodeChar(0x85), 0xE1);
}

TEST(Fp7TextMap, TextIsDecodedOnceAndKept) {
  CFMEngine engine;
  ParseData(engine, {0x06, 0x10, 0x03, 0x1B, 0x3B, 0x36});
  CFMChunk& chunk = *engine.GetChunks()[0];
  const char* text = engine.GetText(chunk);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "Aal");
  EXPECT_EQ(engine.GetText(chunk), text);
  EXPECT_EQ(chunk.m_pValue[0], 0x1B);  // the raw bytes stay stored
}

}  // namespace
