#include "parser/safe_file_name.h"

#include <gtest/gtest.h>

namespace {

TEST(SafeFileName, KeepsOnlyThePlainLastComponent) {
  EXPECT_EQ(SafeFileName(u"photo.jpg", u"x"), u"photo.jpg");
  EXPECT_EQ(SafeFileName(u"../../etc/passwd", u"x"), u"passwd");
  EXPECT_EQ(SafeFileName(u"/abs/path/file.txt", u"x"), u"file.txt");
  EXPECT_EQ(SafeFileName(u"C:\\Windows\\win.ini", u"x"), u"win.ini");
  EXPECT_EQ(SafeFileName(u"a:b*c?d\"e<f>g|h\x01i\x7Fj", u"x"), u"abcdefghij");
  EXPECT_EQ(SafeFileName(u"  name. . ", u"x"), u"name");
  EXPECT_EQ(SafeFileName(u"Customers", u"x"), u"Customers");
  EXPECT_EQ(SafeFileName(u"Müller & Söhne", u"x"), u"Müller & Söhne");
}

TEST(SafeFileName, FallsBackWhenNothingUsableIsLeft) {
  for (const std::u16string_view name :
       {u"", u".", u"..", u"../", u"dir/", u"\x01\x02", u" . ", u"///", u"..\\.."}) {
    EXPECT_EQ(SafeFileName(name, u"Object_7"), u"Object_7")
        << std::string(name.begin(), name.end());
  }
}

TEST(SafeFileName, DeviceNamesAreDefused) {
  EXPECT_EQ(SafeFileName(u"CON", u"x"), u"_CON");
  EXPECT_EQ(SafeFileName(u"nul.txt", u"x"), u"_nul.txt");
  EXPECT_EQ(SafeFileName(u"com3.dat", u"x"), u"_com3.dat");
  EXPECT_EQ(SafeFileName(u"CONSOLE", u"x"), u"CONSOLE");
}

TEST(SafeFileName, HiddenNamesAreMadeVisible) {
  EXPECT_EQ(SafeFileName(u".bashrc", u"x"), u"_.bashrc");
  EXPECT_EQ(SafeFileName(u"  ../.ssh/.authorized_keys", u"x"), u"_.authorized_keys");
  EXPECT_EQ(SafeFileName(u" .x.", u"x"), u"_.x");
  EXPECT_EQ(SafeFileName(u"a.bashrc", u"x"), u"a.bashrc");
}

TEST(SafeFileName, LongNamesAreCutKeepingTheExtension) {
  const std::u16string longName = std::u16string(300, u'a') + u".jpeg";
  const std::u16string cut = SafeFileName(longName, u"x", 100);
  EXPECT_EQ(cut.size(), 100u);
  EXPECT_TRUE(cut.ends_with(u".jpeg"));
  EXPECT_EQ(SafeFileName(std::u16string(300, u'b'), u"x", 100), std::u16string(100, u'b'));
}

}  // namespace
