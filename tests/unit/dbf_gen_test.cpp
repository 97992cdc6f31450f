#include "dbf/dbf_gen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "diag/log.h"
#include "platform/clock.h"
#include "support/temp_dir.h"

namespace {

std::string Le16(unsigned value) {
  return {char(value & 0xFF), char(value >> 8)};
}
std::string Le32(unsigned value) {
  return Le16(value & 0xFFFF) + Le16(value >> 16);
}
std::string Descriptor(const std::string& name, char type, unsigned width) {
  return name + std::string(11 - name.size(), '\0') + type + std::string(4, '\0') + char(width) +
         std::string(15, '\0');
}

class DbfGenTest : public ::testing::Test {
 protected:
  std::u16string Path(const std::string& name) const { return Utf16(dir / name); }
  std::string Read(const std::string& name) const { return ReadFileText(dir / name); }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // The record area of Table.dbf: between the header terminator and the end-of-file byte.
  std::string Records() const {
    const std::string dbf = Read("Table.dbf");
    const size_t headerLength = static_cast<unsigned char>(dbf[8]) | dbf[9] << 8;
    EXPECT_EQ(dbf[headerLength - 1], '\x0D');
    EXPECT_EQ(dbf.back(), '\x1A');
    return dbf.substr(headerLength, dbf.size() - headerLength - 1);
  }

  TempDir dir;
};

TEST_F(DbfGenTest, TwoColumnTableIsByteExact) {
  CDbfGen table(Path("Table.dbf").c_str());
  table.Prepare(2, 2, 8);
  table.AddOneColInfo("NAME", 'C', 5, 1);
  table.AddOneColInfo("QTY", 'N', 3, 2);
  for (const char* value : {"abc", "12", "xy", "7"}) {
    EXPECT_EQ(table.WriteOneValue(value, value[0] < 'a' ? 2 : 1, 0), 0);
  }
  EXPECT_EQ(table.Close(), 0);
  const qrx::platform::LocalTime today = qrx::platform::Now();
  const std::string header =
      std::string{0x03, char(today.year - 1900), char(today.month), char(today.day)} + Le32(2) +
      Le16(97) + Le16(9) + std::string(20, '\0');
  EXPECT_EQ(Read("Table.dbf"), header + Descriptor("NAME", 'C', 5) + Descriptor("QTY", 'N', 3) +
                                   "\x0D abc  12  xy   7  \x1A");
  EXPECT_EQ(Entries(), std::vector<std::string>{"Table.dbf"});
}

TEST_F(DbfGenTest, MissingValuesAreBlankAndAnEarlierColumnStartsTheNextRecord) {
  CDbfGen table(Path("Table.dbf").c_str());
  table.Prepare(3, 4, 3);
  for (const char* name : {"A", "B", "C"}) table.AddOneColInfo(name, 'C', 1, name[0]);
  // Records: a.c | .b. | .y. (B again, so a new record) | x.. (A after B, again a new one).
  for (const char* value : {"aA", "cC", "bB", "yB", "xA"}) table.WriteOneValue(value, value[1], 1);
  table.Close();
  EXPECT_EQ(Records(), " a c  b   y  x  ");
}

TEST_F(DbfGenTest, DescriptorsCutNamesAndFollowTheWidthRules) {
  CDbfGen table(Path("Table.dbf").c_str());
  table.Prepare(5, 1, 5 + 10 + 8 + 1 + 255);
  table.AddOneColInfo("ABCDEFGHIJKL", 'C', 5, 1);
  table.AddOneColInfo("WIDE", 'C', 300, 2);
  table.AddOneColInfo("WHEN", 'D', 3, 3);
  table.AddOneColInfo("FLAG", 'L', 9, 4);
  table.AddOneColInfo("HUGE", 'N', 400, 5);
  table.AddOneColInfo("", 'C', 5, 6);     // no name: left out
  table.AddOneColInfo("ODD", 'X', 5, 7);  // unknown letter: left out
  table.WriteOneValue("12345678901", 7, 0);
  table.WriteOneValue("12345678901", 1, 0);
  table.Close();
  EXPECT_EQ(Read("Table.dbf").substr(32, 5 * 32),
            Descriptor("ABCDEFGHIJ", 'C', 5) + Descriptor("WIDE", 'M', 10) +
                Descriptor("WHEN", 'D', 8) + Descriptor("FLAG", 'L', 1) +
                Descriptor("HUGE", 'N', 255));
  EXPECT_EQ(Records(), " 12345" + std::string(10 + 8 + 1 + 255, ' '));
}

// Memo values of 1000, 10, 504 and 505 bytes take blocks 1-2, 3, 4 and 5-6 of the .dbt file.
TEST_F(DbfGenTest, MemoValuesTakeWholeBlocksNumberedFromOne) {
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
  EXPECT_EQ(Entries(), (std::vector<std::string>{"CUSTOM~1.dbf", "CUSTOM~1.dbt"}));
  const std::string dbf = Read("CUSTOM~1.dbf");
  EXPECT_EQ(dbf[0], '\x8B');
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
  EXPECT_EQ(Entries(), (std::vector<std::string>{"Table.dbf", "dbf.log"}));
  EXPECT_NE(Read("dbf.log").find("DbfGen: Can't create file: " + (dir / "Table.dbf").string()),
            std::string::npos);
}

}  // namespace
