#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using qrx::platform::FromUtf8;
using qrx::platform::ToUtf8;
using qrx::platform::ToUtf8Into;
using qrx::platform::ToValidUtf8;

// A POSIX file name is any string of bytes; through UTF-16 and back it must stay the same name.
TEST(Utf8Paths, AnyBytesComeBackAsTheyWere) {
  for (const std::string bytes :
       {"plain/name", "日志 é 😀", "caf\xE9", "\xC0\xAF", "\xED\xB3\xA9", "\xE6\x97", "\xE6\x97/",
        "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\x80\xBF", "\xFF\xFE"}) {
    EXPECT_EQ(ToUtf8(FromUtf8(bytes)), bytes);
  }
  for (unsigned first = 0; first < 256; ++first) {
    for (unsigned second = 0; second < 256; ++second) {
      const std::string bytes{static_cast<char>(first), static_cast<char>(second)};
      ASSERT_EQ(ToUtf8(FromUtf8(bytes)), bytes) << first << " " << second;
    }
  }
}

TEST(Utf8Paths, OnlyWellFormedSequencesAreDecoded) {
  EXPECT_EQ(FromUtf8("日志 é 😀"), u"日志 é 😀");
  // An overlong slash is no separator, an encoded surrogate no byte escape.
  EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\xDCC0\xDCAF");
  EXPECT_EQ(FromUtf8("\xED\xB3\xA9"), u"\xDCED\xDCB3\xDCA9");
  EXPECT_EQ(FromUtf8("caf\xE9"), u"caf\xDCE9");
  // Other unpaired surrogates have no byte form.
  EXPECT_EQ(ToUtf8(u"\xD800x\xDC7F"), "\xEF\xBF\xBDx\xEF\xBF\xBD");
  // Text shown to a person is well-formed.
  EXPECT_EQ(ToValidUtf8(FromUtf8("caf\xE9 日志")), "caf\xEF\xBF\xBD 日志");
  EXPECT_EQ(ToValidUtf8(u"😀"), "😀");
}

// The form a file is removed by where memory has run out: the same bytes, ended by a zero, or
// nothing when they do not fit.
TEST(Utf8Paths, IntoABufferOfItsOwn) {
  const std::u16string name = FromUtf8("caf\xE9 日志");
  char exact[sizeof "caf\xE9 日志"];
  ASSERT_TRUE(ToUtf8Into(name, exact));
  EXPECT_EQ(std::string(exact), ToUtf8(name));
  char tooShort[sizeof exact - 1];
  EXPECT_FALSE(ToUtf8Into(name, tooShort));
}

}  // namespace
