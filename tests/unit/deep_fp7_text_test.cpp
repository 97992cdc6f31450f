#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deep/fp7_text.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Case {
  const char* name;
  Bytes bytes;
  std::u16string text;
  bool damaged = false;
};

TEST(DeepScsu, EveryTagAndModeDecodes) {
  const Case cases[] = {
      {"plain ASCII and the passed controls",
       {'A', 0x09, 'b', 0x0A, 0x0D, 0x00, 0x7F},
       std::u16string(u"A\tb\n\r") + char16_t{0} + u"\x7F"},
      {"default window is Latin-1", {0xE8, 0xFF, 0x80}, u"\u00E8\u00FF\u0080"},
      {"SQ0 static window", {0x01, 0x41}, u"A"},
      {"SQ1 static window", {0x02, 0x01}, u"\u0081"},
      {"SQ2 above 0x80 takes the dynamic window", {0x03, 0x80, 0x03, 0x81}, u"\u0400\u0401"},
      {"SQ7 keeps the active window", {0x08, 0x20, 0x08, 0x80, 0xE9}, u"\u3020\uFF00\u00E9"},
      {"SC2 locks onto Cyrillic", {0x12, 0x81, 0x82, 'x'}, u"\u0401\u0402x"},
      {"SD3 one byte below 0x68", {0x1B, 0x02, 0x80, 0x81}, u"\u0100\u0101"},
      {"SD0 one byte from 0x68 up", {0x18, 0x68, 0x80}, u"\uE000"},
      {"SD1 the special offsets",
       {0x19, 0xF9, 0x80, 0x19, 0xFA, 0x80, 0x19, 0xFF, 0x85},
       u"\u00C0\u0250\uFF65"},
      {"SDX window from the high bits of H",
       {0x0B, 0x41, 0x23, 0x85, 0x10, 0xE9, 0x12, 0x85},
       u"\U00019185\u00E9\U00019185"},
      {"SDX at the start of the supplementary planes", {0x0B, 0x20, 0x00, 0x80}, u"\U00010000"},
      {"SQU quotes one unit",
       {0x0E, 0x4E, 0x2D, 0x0E, 0xD8, 0x3D, 0x0E, 0xDE, 0x00},
       u"\u4E2D\U0001F600"},
      {"SCU then UC0",
       {0x0F, 0x4E, 0x2D, 0x00, 0x41, 0xD8, 0x3D, 0xDE, 0x00, 0xE0, 0xE9},
       u"\u4E2DA\U0001F600\u00E9"},
      {"UQU quotes a tag-like unit", {0x0F, 0xF0, 0xE0, 0x00, 0xF0, 0xF2, 0x34}, u"\uE000\uF234"},
      {"UD1 redefines and leaves Unicode mode", {0x0F, 0xE9, 0x08, 0x81}, u"\u0401"},
      {"UC2 activates an existing window", {0x0F, 0xE2, 0x81}, u"\u0401"},
      {"UDX", {0x0F, 0xF1, 0x20, 0x01, 0x81}, u"\U00010081"},
      {"0x0C is reserved", {'a', 0x0C, 'b'}, u"a", true},
      {"0xF2 is reserved in Unicode mode", {'a', 0x0F, 0x00, 0x62, 0xF2, 0x00, 0x63}, u"ab", true},
      {"reserved window byte", {'a', 0x18, 0xA8, 0x80}, u"a", true},
      {"zero window byte is reserved", {'a', 0x1A, 0x00, 0x80}, u"a", true},
      {"SQ0 cut", {'a', 0x01}, u"a", true},
      {"SDX cut", {'a', 0x0B, 0x20}, u"a", true},
      {"Unicode unit cut", {'a', 0x0F, 0x00, 0x62, 0x00}, u"ab", true},
      {"UQU cut", {0x0F, 0xF0, 0x00}, u"", true},
  };
  for (const Case& c : cases) {
    bool damaged = false;
    EXPECT_EQ(deep::DecodeScsu(c.bytes, &damaged), c.text) << c.name;
    EXPECT_EQ(damaged, c.damaged) << c.name;
  }
}

TEST(DeepScsu, StoredFp7TextIsXoredFirst) {
  const Bytes orderLines{0x15, 0x28, 0x3e, 0x3f, 0x28, 0x05, 0x36, 0x33, 0x34, 0x3f, 0x29};
  EXPECT_EQ(deep::DecodeFp7Text(orderLines), u"Order_lines");
  const Bytes readOnly{0x01, 0x1b, 0x39, 0x39, 0xb2, 0x29, 0x7a, 0x3f, 0x34, 0x7a, 0x36, 0x3f,
                       0x39, 0x2e, 0x2f, 0x28, 0x3f, 0x7a, 0x29, 0x3f, 0x2f, 0x36, 0x3f, 0x07};
  EXPECT_EQ(deep::DecodeFp7Text(readOnly), u"[Accès en lecture seule]");
  bool damaged = false;
  EXPECT_EQ(deep::DecodeFp7Text(Bytes{0x3B, 0x0C ^ 0x5A}, &damaged),
            u"a");  // a stored reserved tag
  EXPECT_TRUE(damaged);
}

// Texts are mostly long runs of printable ASCII, which the decoder takes in blocks: a tag, a
// control or a window byte at any place of such a run (before, inside and after a block) must
// decode as it does alone, stored or not.
TEST(DeepScsu, PlainRunsBrokenAtEveryPlace) {
  const struct {
    const char* name;
    Bytes bytes;
    std::u16string text;
  } breakers[] = {
      {"default window byte", {0xE9}, u"\u00E9"},
      {"passed control", {0x09}, u"\t"},
      {"SQ0", {0x01, 0x41}, u"A"},
      {"SC2 and back", {0x12, 0x81, 0x10}, u"\u0401"},
      {"SCU, a unit, UC0", {0x0F, 0x4E, 0x2D, 0xE0}, u"\u4E2D"},
      {"SD0 to the top of the BMP", {0x18, 0x68, 0xFF}, u"\uE07F"},
      {"SDX stays active", {0x0B, 0x41, 0x23, 0x85}, u"\U00019185"},
      {"more units than bytes",
       {0x0B, 0x20, 0x00, 0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x10},
       u"\U00010000\U00010001\U00010002\U00010003\U00010004\U00010005\U00010006\U00010007"},
  };
  // Printable ASCII with both ends of its range.
  std::string plain;
  for (int i = 0; i < 40; ++i)
    plain += static_cast<char>(i == 5 ? 0x20 : i == 17 ? 0x7F : 'a' + i % 26);
  const std::u16string plainText(plain.begin(), plain.end());
  for (const auto& breaker : breakers) {
    for (size_t at = 0; at <= plain.size(); ++at) {
      Bytes bytes(plain.begin(), plain.begin() + at);
      bytes.insert(bytes.end(), breaker.bytes.begin(), breaker.bytes.end());
      bytes.insert(bytes.end(), plain.begin() + at, plain.end());
      const std::u16string text = plainText.substr(0, at) + breaker.text + plainText.substr(at);
      bool damaged = false;
      EXPECT_EQ(deep::DecodeScsu(bytes, &damaged), text) << breaker.name << " at " << at;
      for (uint8_t& b : bytes) b ^= 0x5A;
      EXPECT_EQ(deep::DecodeFp7Text(bytes, &damaged), text) << breaker.name << " at " << at;
      EXPECT_FALSE(damaged);
    }
  }
  for (size_t at = 0; at <= plain.size(); ++at) {
    Bytes bytes(plain.begin(), plain.end());
    bytes.insert(bytes.begin() + at, 0x0C);
    bool damaged = false;
    EXPECT_EQ(deep::DecodeScsu(bytes, &damaged), plainText.substr(0, at)) << at;
    EXPECT_TRUE(damaged);
  }
}

}  // namespace
