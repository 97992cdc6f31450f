// The fp7 text decoder against an independent SCSU encoder, ICU's, on random texts.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <random>
#include <string>
#include <vector>

#include "deep/fp7_text.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Strings drawn from the scripts SCSU has windows for, and from outside them.
std::u16string RandomText(std::mt19937& random) {
  static const struct {
    char32_t first, last;
  } kRanges[] = {{0x20, 0x7E},     {0xA0, 0xFF},     {0x0400, 0x04FF},   {0x0370, 0x03FF},
                 {0x3040, 0x30FF}, {0x4E00, 0x9FFF}, {0xAC00, 0xD7A3},   {0x0900, 0x097F},
                 {0xE000, 0xF8FF}, {0xFF00, 0xFFEF}, {0x10000, 0x1FFFF}, {0x0000, 0x001F},
                 {0x2000, 0x206F}, {0x0590, 0x06FF}, {0x1F600, 0x1F64F}, {0xF0000, 0x10FFFD}};
  std::u16string text;
  const size_t length = random() % 60;
  const auto& start = kRanges[random() % std::size(kRanges)];
  for (size_t i = 0; i < length; ++i) {
    // Mostly one script with some others mixed in, as real texts are.
    const auto& range = random() % 4 == 0 ? kRanges[random() % std::size(kRanges)] : start;
    const char32_t c = range.first + random() % (range.last - range.first + 1);
    if (c >= 0x10000) {
      text.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      text.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      text.push_back(static_cast<char16_t>(c));
    }
  }
  return text;
}

TEST(DeepScsu, DecodesWhatAnIndependentEncoderWrites) {
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open("SCSU", &status);
  ASSERT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  std::mt19937 random(2024);
  for (int round = 0; round < 500; ++round) {
    const std::u16string text = RandomText(random);
    ucnv_resetFromUnicode(converter);
    std::vector<char> encoded(text.size() * 4 + 16);
    status = U_ZERO_ERROR;
    const int32_t size =
        ucnv_fromUChars(converter, encoded.data(), static_cast<int32_t>(encoded.size()),
                        text.data(), static_cast<int32_t>(text.size()), &status);
    ASSERT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    const Bytes bytes(encoded.begin(), encoded.begin() + size);
    bool damaged = false;
    EXPECT_EQ(deep::DecodeScsu(bytes, &damaged), text) << "round " << round;
    EXPECT_FALSE(damaged) << "round " << round;
  }
  ucnv_close(converter);
}

}  // namespace
