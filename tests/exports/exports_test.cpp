#include <gtest/gtest.h>

#include <string>

#include "qrx/qrx.h"

TEST(Exports, AnswerTheirDocumentedConstants) {
  EXPECT_EQ(GetDllVersion(), 0);
  EXPECT_EQ(DllInitialize(nullptr, nullptr, nullptr), 1);
  char16_t buffer[16];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  GetSupportedExtensions(buffer);
  EXPECT_EQ(std::u16string(buffer), u"*.fp5;*.fp7");
  EXPECT_EQ(buffer[11], u'\0');
  EXPECT_EQ(buffer[12], u'#');
  GetSupportedExtensions(nullptr);
}
