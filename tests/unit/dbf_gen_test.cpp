#include "dbf/dbf_gen.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "diag/log.h"
#include "platform/clock.h"
#include "support/temp_dir.h"

namespace {

std::string Le32(unsigned value) {
  return {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
}
std::string Descriptor(const std::string& name, char type, unsigned width) {
  return name + std::string(11 - name.size(), '\0') + type + std::string(4, '\0') + char(width) +
         std::string(15, '\0');
}

class DbfGenTest : public ::testing::Test {
 protected:
  std::u16string Path(const std::string& name) const { return Utf16(dir / name); }
  std::string Read(const std::string& name) const { return ReadFileText(dir / name); }
  size_t FileCount() const {
    const std::filesystem::directory_iterator files(dir.path());
    return static_cast<size_t>(std::distance(begin(files), end(files)));
  }

  TempDir dir;
};

// Names cut to ten letters; a date is eight wide; nameless columns and unknown letters are left
// out; values are cut to their width.
TEST_F(DbfGenTest, SmallTableIsByteExact) {
  CDbfGen table(Path("Table.dbf").c_str());
  table.Prepare(3, 2, 16);
  table.AddOneColInfo("NAMEOFTHECOLUMN", 'C', 5, 1);
  table.AddOneColInfo("QTY", 'N', 3, 2);
  table.AddOneColInfo("WHEN", 'D', 3, 3);
  table.AddOneColInfo("", 'C', 5, 4);
  table.AddOneColInfo("ODD", 'X', 5, 5);
  const std::pair<const char*, uint32_t> values[] = {{"abcdefg", 1}, {"12", 2}, {"19991231", 3},
                                                     {"ignored", 5}, {"xy", 1}, {"7", 2}};
  for (const auto& [value, column] : values) EXPECT_EQ(table.WriteOneValue(value, column, 0), 0);
  EXPECT_EQ(table.Close(), 0);
  const qrx::platform::LocalTime today = qrx::platform::Now();
  const std::string header =
      std::string{0x03, char(today.year - 1900), char(today.month), char(today.day)} + Le32(2) +
      std::string("\x81\x00\x11\x00", 4) + std::string(20, '\0');
  EXPECT_EQ(Read("Table.dbf"), header + Descriptor("NAMEOFTHEC", 'C', 5) +
                                   Descriptor("QTY", 'N', 3) + Descriptor("WHEN", 'D', 8) +
                                   "\x0D abcde12 19991231 xy   7          \x1A");
  EXPECT_EQ(FileCount(), 1u);
}

TEST_F(DbfGenTest, MissingValuesAreBlankAndAnEarlierColumnStartsTheNextRecord) {
  CDbfGen table(Path("Table.dbf").c_str());
  table.Prepare(3, 4, 3);
  for (const char* name : {"A", "B", "C"}) table.AddOneColInfo(name, 'C', 1, name[0]);
  // Records: a.c | .b. | .y. (B again, so a new record) | x.. (A after B, again a new one).
  for (const char* value : {"aA", "cC", "bB", "yB", "xA"}) {
    table.WriteOneValue(std::string(1, value[0]).c_str(), value[1], 1);
  }
  table.Close();
  EXPECT_EQ(Read("Table.dbf").substr(32 * 4 + 1), " a c  b   y  x  \x1A");
}

// Memo values of 1000, 10, 504 and 505 bytes take blocks 1-2, 3, 4 and 5-6 of the .dbt file.
TEST_F(DbfGenTest, MemoValuesTakeWholeBlocksNumberedFromOne) {
#if defined(_WIN32)
  GTEST_SKIP()
      << "the Windows file system makes up short names of its own (short_name_windows_test)";
#endif
  const std::vector<std::string> values = {std::string(1000, 'a'), "ten bytes!",
                                           std::string(504, 'c'), std::string(505, 'd')};
  CDbfGen table(Path("Customers.dbf").c_str());
  table.Prepare(2, 4, 12);
  table.AddOneColInfo("ID", 'N', 2, 1);
  table.AddOneColInfo("NOTE", 'C', 300, 2);
  for (size_t i = 0; i < values.size(); ++i) {
    table.WriteOneValue(std::to_string(i).c_str(), 1, 0);
    EXPECT_EQ(table.WriteOneValue(values[i].data(), 2, values[i].size()), 0);
  }
  table.Close();
  EXPECT_EQ(FileCount(), 2u);
  const std::string dbf = Read("CUSTOM~1.dbf");
  EXPECT_EQ(dbf[0], '\x8B');
  EXPECT_EQ(dbf.substr(32, 64), Descriptor("ID", 'N', 2) + Descriptor("NOTE", 'M', 10));
  EXPECT_EQ(dbf.substr(97), " 0 0000000001 1 0000000003 2 0000000004 3 0000000005\x1A");
  const std::string dbt = Read("CUSTOM~1.dbt");
  ASSERT_EQ(dbt.size(), 7u * 512);
  EXPECT_EQ(dbt.substr(0, 512), Le32(7) + std::string(4, '\0') + "CUSTOM~1" + std::string(4, '\0') +
                                    Le32(512) + std::string(488, '\0'));
  const unsigned firstBlocks[] = {1, 3, 4, 5, 7};
  for (size_t i = 0; i < values.size(); ++i) {
    const size_t start = firstBlocks[i] * 512, end = firstBlocks[i + 1] * 512;
    EXPECT_EQ(dbt.substr(start, end - start),
              std::string("\xFF\xFF\x08\x00", 4) + Le32(values[i].size() + 8) + values[i] +
                  std::string(end - start - 8 - values[i].size(), '\0'))
        << "value " << i;
  }
}

TEST_F(DbfGenTest, AnExistingFileIsLeftAloneAndAnEmptyPathCreatesNothing) {
  WriteFileBytes(dir / "Table.dbf", {'k', 'e', 'e', 'p'});
  g_Log.Open((dir / "dbf.log").string().c_str(), true);
  for (const std::u16string& path : {Path("Table.dbf"), std::u16string()}) {
    CDbfGen table(path.c_str());
    table.Prepare(1, 1, 1);
    table.AddOneColInfo("A", 'C', 1, 1);
    EXPECT_EQ(table.WriteOneValue("x", 1, 0), 0);
    EXPECT_EQ(table.Close(), 0);
  }
  g_Log.Close();
  EXPECT_EQ(Read("Table.dbf"), "keep");
  EXPECT_EQ(FileCount(), 2u);  // and the log
  EXPECT_NE(Read("dbf.log").find("DbfGen: Can't create file: " + (dir / "Table.dbf").string()),
            std::string::npos);
}

}  // namespace
