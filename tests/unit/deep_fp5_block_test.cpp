// The fp5 block decoder on hand-written blocks: every token form, numbers of one to five bytes,
// the live length as the only end of the data, and damage that ends a block.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "deep/fp5_block.h"
#include "deep/fp5_record_keys.h"
#include "deep/fp5_text.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string Hex(std::span<const uint8_t> bytes) {
  std::string out;
  for (const uint8_t b : bytes) {
    char hex[4];
    std::snprintf(hex, sizeof hex, out.empty() ? "%02x" : " %02x", b);
    out += hex;
  }
  return out;
}

std::string ShowPath(deep::Fp5Path path) {
  std::string out;
  for (const deep::Fp5Part& part : path) {
    out += '/';
    out += Hex(part);
  }
  return out;
}

// Every event as a line: `path k<key>=<value>`, `path d=<bytes>` or `push path`.
struct Recorder final : deep::Fp5BlockVisitor {
  std::vector<std::string> events;
  void OnValue(deep::Fp5Path path, const deep::Fp5Key& key,
               std::span<const uint8_t> value) override {
    std::string k = key.isBytes ? Hex(key.bytes) : std::to_string(key.number);
    if (key.isBytes) k = '[' + k + ']';
    events.push_back(ShowPath(path) + " k" + k + "=" + Hex(value));
  }
  void OnPush(deep::Fp5Path path) override { events.push_back("push " + ShowPath(path)); }
  void OnData(deep::Fp5Path path, std::span<const uint8_t> bytes) override {
    events.push_back(ShowPath(path) + " d=" + Hex(bytes));
  }
};

// A data block holding `payload`, of which the first `live` bytes are live (all when negative).
Bytes Block(const Bytes& payload, int live = -1, uint8_t level = 0) {
  Bytes block(deep::kFp5BlockSize, 0);
  const size_t length = live < 0 ? payload.size() : static_cast<size_t>(live);
  block[1] = level;
  block[12] = static_cast<uint8_t>(length >> 8);
  block[13] = static_cast<uint8_t>(length);
  std::copy(payload.begin(), payload.end(), block.begin() + deep::kFp5HeaderSize);
  return block;
}

TEST(DeepFp5Block, EveryTokenFormWithItsPathAndKey) {
  Bytes payload = {0xC1, 0x05, 0xC1, 0x01,                         // push 5, push 1
                   0x41, 0x03, 'Q',  'a',  'l',                    // key 1, 1-byte length
                   0x01, 0x42, 0x01, 'x',                          // one-byte key
                   0x02, 0x05, 0x02, 0x01, 'y',                    // two-VLI key
                   0x00, 0x02, 0x01, 0x0C,                         // key 0
                   0x01, 0xFF, 0x05, 0,    0,    0,    1,   0x2D,  // the length check
                   0x82, 0x81, 0x43,                               // a data item
                   0xC0, 0xC2, 0x82, 0x97,                         // pop, push a 2-byte record id
                   0xFF, 0x02, 0x80, 0x80, 0x00, 0x01, 'z',        // byte-string key, 2-byte length
                   0xFF, 0x44, 0x01, 0x2C};                        // key 4, 300 bytes
  payload.insert(payload.end(), 300, 'w');
  Recorder seen;
  const deep::BlockOutcome outcome = deep::DecodeFp5Block(Block(payload), seen);
  EXPECT_FALSE(outcome.damaged) << outcome.why;
  EXPECT_EQ(outcome.kind, deep::BlockKind::kData);
  EXPECT_EQ(outcome.stoppedAt, deep::kFp5HeaderSize + payload.size());
  const std::vector<std::string> expected = {"push /05",
                                             "push /05/01",
                                             "/05/01 k1=51 61 6c",
                                             "/05/01 k[42]=78",
                                             "/05/01 k[05 02]=79",
                                             "/05/01 k0=01 0c",
                                             "/05/01 k[ff]=00 00 00 01 2d",
                                             "/05/01 d=81 43",
                                             "push /05/82 97",
                                             "/05/82 97 k[80 80]=7a",
                                             "/05/82 97 k4=" + Hex(Bytes(300, 'w'))};
  EXPECT_EQ(seen.events, expected);
}

TEST(DeepFp5Block, NumbersOfOneToFiveBytesContinueEachOthersRange) {
  const std::vector<std::pair<Bytes, uint64_t>> cases = {
      {{0x7F}, 127},
      {{0x80, 0x00}, 128},
      {{0x82, 0x97}, 791},
      {{0xBF, 0xFF}, 0x407F},
      {{0xC0, 0x00, 0x00}, 0x4080},
      {{0xDF, 0xFF, 0xFF}, 0x20407F},
      {{0xE0, 0x00, 0x00, 0x00}, 0x204080},
      {{0xF0, 0x00, 0x00, 0x00, 0x00}, 0x10204080},
      {{0xF7, 0xFF, 0xFF, 0xFF, 0xFF}, 0x10204080 + 0x7FFFFFFFFull}};
  for (const auto& [bytes, value] : cases) EXPECT_EQ(deep::Fp5Number(bytes), value) << Hex(bytes);
  for (const Bytes& bad : {Bytes{0xF8, 0, 0, 0, 0}, Bytes{0x80}, Bytes{0x05, 0x01}, Bytes{},
                           Bytes{0xFF}, Bytes{0x80, 0x00, 0x00}, Bytes{0xE0, 0x00, 0x00}}) {
    EXPECT_FALSE(deep::Fp5Number(bad)) << Hex(bad);
  }
  // As record ids in a path and as keys: field, field and repetition, pieces, bookkeeping.
  const Bytes parts[] = {{0x05}, {0xC0, 0x01, 0x02}, {0x04}};
  const deep::Fp5Part path[] = {parts[0], parts[1], parts[2]};
  const auto place = deep::RecordPlaceOf(std::span(path, 2));
  ASSERT_TRUE(place);
  EXPECT_EQ(place->record, 0x4080u + 0x0102u);
  EXPECT_EQ(deep::RecordPlaceOf(std::span(path, 3))->field, 4u);
  const auto key = [](const Bytes& bytes) { return deep::Fp5Key{0, bytes, true}; };
  const Bytes oneByte{0x90}, twoByte{0x80, 0x80}, repeated{0x0A, 0x02}, piece{0x00, 0x03};
  EXPECT_EQ(deep::SlotOfKey(key(oneByte)), (deep::Fp5Slot{0x90, 1}));
  EXPECT_EQ(deep::SlotOfKey(key(twoByte)), (deep::Fp5Slot{256, 1}));
  EXPECT_EQ(deep::SlotOfKey(key(repeated)), (deep::Fp5Slot{10, 2}));
  EXPECT_EQ(deep::SlotOfKey(deep::Fp5Key{7, {}, false}), (deep::Fp5Slot{7, 1}));
  EXPECT_FALSE(deep::SlotOfKey(key(Bytes{0xFC})));
  EXPECT_EQ(deep::PieceOfKey(key(piece)), 3u);
  EXPECT_EQ(deep::PieceOfKey(deep::Fp5Key{2, {}, false}), 2u);
  const Bytes check{0x24, 0, 0, 1, 0x71};
  EXPECT_FALSE(deep::PieceOfKey(key(Bytes{0xFF})));
  EXPECT_EQ(deep::DeclaredLength(key(Bytes{0xFF}), check), 0x171u);
}

// Paths are placed once while they stay the same, and anew for the next block, whose bytes lie
// where the last block's did.
TEST(DeepFp5Block, RecordPlacesFollowTheBytesOfEachBlock) {
  Bytes block = {0x05, 0x07, 0x02, 0x03};
  const std::span<const uint8_t> bytes(block);
  const deep::Fp5Part path[] = {bytes.first(1), bytes.subspan(1, 1), bytes.subspan(2, 1)};
  const deep::Fp5Part other[] = {bytes.subspan(3, 1), bytes.subspan(1, 1)};
  deep::Fp5RecordPlaces places;
  places.Forget();
  EXPECT_EQ(places.Of(std::span(path, 2))->record, 7u);
  EXPECT_FALSE(places.Of(std::span(path, 2))->field);
  EXPECT_EQ(places.Of(std::span(path, 3))->field, 2u);
  EXPECT_FALSE(places.Of(other));
  EXPECT_EQ(places.Of(std::span(path, 3))->field, 2u);
  block[1] = 0x09;
  places.Forget();
  EXPECT_EQ(places.Of(std::span(path, 3))->record, 9u);
}

TEST(DeepFp5Block, OnlyTheLivePayloadIsRead) {
  // Old field definitions behind the live length: never handed on.
  const Bytes payload = {0xC1, 0x05, 0xC1, 0x01, 0x41, 0x01, 'a', 0xC1, 0x03, 0xC1,
                         0x05, 0xC1, 0x09, 0x41, 0x05, 'N',  'o', 't',  'a',  's'};
  Recorder seen;
  const deep::BlockOutcome outcome = deep::DecodeFp5Block(Block(payload, 7), seen);
  EXPECT_FALSE(outcome.damaged);
  EXPECT_EQ(outcome.stoppedAt, deep::kFp5HeaderSize + 7);
  EXPECT_EQ(seen.events, (std::vector<std::string>{"push /05", "push /05/01", "/05/01 k1=61"}));
}

TEST(DeepFp5Block, DamageEndsTheBlockAndDropsTheValueBeforeIt) {
  struct Case {
    Bytes block;
    const char* why;
    size_t at;
    std::vector<std::string> events;
  };
  const Bytes values = {0xC1, 0x05, 0xC1, 0x01, 0x41, 0x01, 'a', 0x42, 0x01, 'b'};
  Bytes undefined = values;
  undefined.insert(undefined.end(), {0xFF, 0x10, 0x00});
  Bytes nested;
  for (int i = 0; i < 65; ++i) nested.insert(nested.end(), {0xC1, 0x01});
  Bytes cut = Block(values);
  cut.resize(deep::kFp5HeaderSize + 8);
  Bytes tooLong = Block(values);
  tooLong[12] = 0x03;
  tooLong[13] = 0xF3;  // 1011
  const std::vector<Case> cases = {
      // A value whose length runs past the live length: it and the value before it are gone.
      {Block(values, 9), "token runs past the live length", 21, {"push /05", "push /05/01"}},
      {Block(undefined), "undefined token FF 10", 24, {"push /05", "push /05/01", "/05/01 k1=61"}},
      {Block(nested), "path nested deeper than 64 levels", 142, {}},
      {cut, "block cut short", 21, {"push /05", "push /05/01"}},
      {tooLong, "live length past the end of the block", 12, {}}};
  for (const Case& c : cases) {
    Recorder seen;
    const deep::BlockOutcome outcome = deep::DecodeFp5Block(c.block, seen);
    EXPECT_TRUE(outcome.damaged) << c.why;
    EXPECT_STREQ(outcome.why, c.why);
    EXPECT_EQ(outcome.stoppedAt, c.at) << c.why;
    if (c.events.empty()) continue;
    EXPECT_EQ(seen.events, c.events) << c.why;
  }
}

TEST(DeepFp5Block, IndexDeletedAndEmptyBlocksHandOnNothing) {
  const Bytes values = {0xC1, 0x05, 0xC1, 0x01, 0x41, 0x01, 'a'};
  Bytes deleted = Block(values);
  deleted[0] = 0xFF;
  const std::vector<std::pair<Bytes, deep::BlockKind>> cases = {
      {Block(values, -1, 1), deep::BlockKind::kIndex},
      {deleted, deep::BlockKind::kDeleted},
      {Bytes(deep::kFp5BlockSize, 0), deep::BlockKind::kEmpty},
      {Block(values, 0), deep::BlockKind::kEmpty}};
  for (const auto& [block, kind] : cases) {
    Recorder seen;
    const deep::BlockOutcome outcome = deep::DecodeFp5Block(block, seen);
    EXPECT_EQ(outcome.kind, kind);
    EXPECT_FALSE(outcome.damaged);
    EXPECT_TRUE(seen.events.empty());
  }
}

TEST(DeepFp5Text, MacRomanToUnicode) {
  const Bytes text = {'A', 0x8E, 0x9F, 0x96, 0xA5, 0xDB, 0xF0, 0xFF, 0x0D, 0xCA};
  EXPECT_EQ(deep::DecodeMacRoman(text), u"A\u00E9\u00FC\u00F1\u2022\u20AC\uF8FF\u02C7\r\u00A0");
}

// Long ASCII runs are widened a block at a time: one upper-half byte at every place of a text
// longer than two blocks, and texts of every length up to it, decode as byte by byte.
TEST(DeepFp5Text, OneUpperHalfByteAnywhereInALongAsciiText) {
  for (size_t length = 0; length <= 40; ++length) {
    for (size_t at = 0; at <= length; ++at) {
      Bytes text(length, 'a');
      std::u16string expected(length, u'a');
      if (at < length) {
        text[at] = 0xDB;
        expected[at] = u'\u20AC';
      }
      ASSERT_EQ(deep::DecodeMacRoman(text), expected) << length << " " << at;
    }
  }
}

}  // namespace
