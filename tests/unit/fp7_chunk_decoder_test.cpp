#include <gtest/gtest.h>

#include "engine/fp7_engine.h"
#include "engine/fp7_text.h"
#include "unit/fp7_engine_fixture.h"

namespace {

using fp7::Bytes;

TEST(Fp7ChunkDecoder, PathPushesInEveryIdForm) {
  CFMEngine engine;
  ParseData(engine,
            {0x20, 0x03, 0x20, 0x10, 0x20, 0x05, 0x40,        // ID1
             0x28, 0x80, 0x01, 0x28, 0x05, 0x07,              // ID2, and b2 when h is not 8 to 11
             0x30, 0xC0, 0x00, 0x01,                          // ID3
             0x38, 0x04, 0xE0, 0x00, 0x00, 0x01,              // ID4, g = 14
             0x38, 0x04, 0xF0, 0x00, 0x00, 0x00,              // ID4, g = 15
             0x38, 0x03, 'a',  'b',  'c',                     // a name
             0x38, 0x05, 1,    2,    3,    4,    5,    0x80,  // the id 0xFFFFFFFF, then a skip
             0xE8, 0x99, 0x2A});
  EXPECT_EQ(Describe(engine),
            "push 3, push 16, push 5, pop, push 129, push 7, push 16513, push 2113665, "
            "push 3162240, push 0 'abc', push 4294967295, push 42");
}

TEST(Fp7ChunkDecoder, KeyValueRowsGiveKeyLengthAndBytes) {
  fp7::ChunkWriter w;
  w.ValueAs(0x00, 9, Bytes{})
      .ValueAs(0x08, 10, Bytes{0xAA})
      .ValueAs(0x05, 11, Bytes(8, 0xBB))
      .ValueAs(0x09, 200, Bytes{0xCC})       // ID2 key, 1 byte at 3
      .ValueAs(0x09, 12, Bytes{0xDD, 0xEE})  // b1 key, 2 bytes at 2
      .ValueAs(0x15, 16511, Bytes(9, 1))
      .ValueAs(0x0E, 4223, Bytes{2})  // the 12-bit form
      .ValueAs(0x0E, 0x7F, Bytes{3})
      .ValueAs(0x0F, 0x42, Bytes(1000, 4))
      .ValueAs(0x16, 300, Bytes{5})                 // ID2 + b3
      .ValueAs(0x17, 128 + 3 * 4096 + 7, Bytes{6})  // K3 with t = 3
      .ValueAs(0x17, 128 + 260 * 4096, Bytes{7})    // K3 with t = (h & 3) * 256 + 4
      .NamedValueAs(0x1B, "K1", Bytes(4, 8))
      .NamedValueAs(0x1D, "K2", Bytes(8, 9))
      .NamedValueAs(0x1E, "K3", Bytes{1, 2})
      .NamedValueAs(0x1F, "K4", Bytes(300, 3));
  CFMEngine engine;
  ParseData(engine, w.bytes());
  EXPECT_EQ(Describe(engine),
            "kv 9, kv 10, kv 11, kv 200, kv 12, kv 16511, kv 4223, kv 127, kv 66, kv 300, "
            "kv 12423, kv 1065088, kv 0 'K1', kv 0 'K2', kv 0 'K3', kv 0 'K4'");
  const auto chunks = engine.GetChunks();
  const std::vector<uint32_t> lengths = {0, 1, 8, 1, 2, 9, 1, 1, 1000, 1, 1, 1, 4, 8, 2, 300};
  for (size_t i = 0; i < lengths.size(); ++i) {
    EXPECT_EQ(chunks[i]->m_dwLength, lengths[i]) << i;
    EXPECT_EQ(chunks[i]->m_pValue == nullptr, lengths[i] == 0) << i;
    if (chunks[i]->m_pValue != nullptr) {
      EXPECT_EQ(chunks[i]->m_pValue[lengths[i]], 0) << i;
    }
  }
  EXPECT_EQ(chunks[4]->m_pValue[0], 0xDD);
  EXPECT_EQ(chunks[4]->m_pValue[1], 0xEE);
  EXPECT_EQ(chunks[15]->m_pValue[299], 3);
}

// Each case: a chunk its row refuses (or keeps without bytes), then bytes that show by what they
// decode to where decoding resumed.
struct DropCase {
  const char* name;
  Bytes bytes;
  const char* expected;
};

TEST(Fp7ChunkDecoder, RefusedChunksAreDroppedOrKeptWithTheirAdvance) {
  const DropCase cases[] = {
      {"0x07 length 1001 resumes one byte on",
       {0x07, 0x01, 0x03, 0xE9, 0x20, 0x4D},
       "kv 3, push 77"},
      {"0x07 length 0", {0x07, 0x01, 0x00, 0x00, 0x20, 0x4D}, "kv 0, push 77"},
      {"0x06 length 0 is kept, advance 1",
       {0x06, 0x20, 0x00, 0x20, 0x4D},
       "kv 32, push 0, push 77"},
      {"0x0E length 0", {0x0E, 0x20, 0x4D, 0x00}, "push 77, kv 0"},
      {"0x0F length 0", {0x0F, 0x00, 0x05, 0x00, 0x00, 0x20, 0x4D}, "kv 5, kv 0, push 77"},
      {"0x0A without ID2 skips its 5 bytes", {0x0A, 0x10, 0, 0, 0, 0x20, 0x4D}, "push 77"},
      {"0x16 without ID2 skips 12",
       {0x16, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x20, 0x4D},
       "push 77"},
      {"0x17 length above 1000 kept without bytes, advance 1",
       {0x17, 0x80, 0x80, 0x80, 0x40, 0x40},
       "kv 33024, pop, pop"},
      {"0x1B no key bytes advances 2", {0x1B, 0x00, 0x20, 0x4D}, "push 77"},
      {"0x1E length 0 advances n + 4", {0x1E, 0x01, 'k', 0x00, 0xFF, 0x20, 0x4D}, "push 77"},
      {"0x1F length 0 advances n + 4", {0x1F, 0x01, 'k', 0x00, 0x00, 0x20, 0x4D}, "push 77"},
      {"0x30 below 0xC0 advances 1", {0x30, 0x20, 0x4D}, "push 77"},
      {"0x12 skips 47",
       [] {
         Bytes b(49, 0x40);
         b[0] = 0x12;
         b[47] = 0x20;
         b[48] = 0x4D;
         return b;
       }(),
       "push 77"},
      {"0x1A skips b1 + 4", {0x1A, 0x01, 0x40, 0x40, 0x40, 0x20, 0x4D}, "push 77"},
  };
  for (const DropCase& c : cases) {
    CFMEngine engine;
    ParseData(engine, c.bytes);
    EXPECT_EQ(Describe(engine), c.expected) << c.name;
  }
  // The 0x17 chunk kept without bytes has its length as read.
  CFMEngine engine;
  ParseData(engine, cases[7].bytes);
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
  CFMEngine engine;
  // A full data area whose last chunk declares 200 bytes: the value reaches into the zeroed slack
  // and past the buffer's end, so it is dropped and the page ends without counting as broken.
  Bytes data(4075, 0x80);
  data[4072] = 0x06;
  data[4073] = 0x01;
  data[4074] = 200;
  ParseData(engine, data);
  EXPECT_EQ(engine.GetChunks().size(), 0u);
  EXPECT_EQ(engine.m_nBrokenPages, 0u);
  // Eleven bytes past the data area stay inside the 16 bytes of slack and are read as zeros.
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
  EXPECT_EQ(engine.m_nDataLength, 0);
}

TEST(Fp7TextMap, EveryStoredByteDecodesAsTheGridSays) {
  for (int stored = 0; stored < 256; ++stored) {
    EXPECT_EQ(DecodeChar(static_cast<uint8_t>(stored)), fp7::TextGrid()[stored]) << stored;
  }
  EXPECT_EQ(DecodeChar(0x3B), 'a');
  EXPECT_EQ(DecodeChar(0x1B), 'A');
  EXPECT_EQ(DecodeChar(0x6A), '0');
  EXPECT_EQ(DecodeChar(0x57), '\r');
  EXPECT_EQ(DecodeChar(0x85), 0xE1);
  EXPECT_EQ(DecodeChar(0xAC), 0x94);
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
  uint8_t buffer[] = {0x1B, 0x3B};
  engine.DecodeText(buffer, sizeof buffer);
  EXPECT_EQ(buffer[1], 'a');
  engine.DecodeText(nullptr, 5);
}

}  // namespace
