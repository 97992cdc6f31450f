#include "platform/short_name.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace {

class ShortNameTest : public ::testing::Test {
 protected:
  TempDir dir;
  // The short name that a table called `name` gets in the folder, as a narrow file name.
  std::string ShortNameOf(const std::string& name) {
    const std::filesystem::path full(qrx::platform::ShortPathName(Utf16(dir / name)));
    EXPECT_EQ(full.parent_path(), dir.path());
    return full.filename().string();
  }
  void Touch(const std::string& name) { WriteFileBytes(dir / name, {}); }
};

TEST_F(ShortNameTest, NameThatFitsIsKeptAsItIs) {
  EXPECT_EQ(ShortNameOf("Table.dbf"), "Table.dbf");
  EXPECT_EQ(ShortNameOf("a$_(1)~x.dbf"), "a$_(1)~x.dbf");
}

TEST_F(ShortNameTest, LongerOrOddNamesAreCutAndNumbered) {
  EXPECT_EQ(ShortNameOf("Customers.dbf"), "CUSTOM~1.dbf");
  EXPECT_EQ(ShortNameOf("my table.dbf"), "MYTABL~1.dbf");  // 8 characters, but a blank
  EXPECT_EQ(ShortNameOf("a.b.dbf"), "AB~1.dbf");
  EXPECT_EQ(ShortNameOf("Счета.dbf"), "TABLE~1.dbf");  // no allowed character at all
}

TEST_F(ShortNameTest, NumberSkipsTablesOfAnyCaseOnly) {
  Touch("custom~1.DBF");
  Touch("CUSTOM~2.dbt");  // not a table: does not take the name
  EXPECT_EQ(ShortNameOf("Customers.dbf"), "CUSTOM~2.dbf");
  Touch("Custom~2.Dbf");
  EXPECT_EQ(ShortNameOf("Customers.dbf"), "CUSTOM~3.dbf");
}

TEST_F(ShortNameTest, TwoDigitNumbersShortenTheStem) {
  for (int n = 1; n <= 9; ++n) Touch("CUSTOM~" + std::to_string(n) + ".dbf");
  EXPECT_EQ(ShortNameOf("Customers.dbf"), "CUSTO~10.dbf");
}

}  // namespace
