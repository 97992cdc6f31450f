#include "dbf/dbf_gen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "diag/log.h"
#include "platform/clock.h"
#include "platform/heap.h"
#include "support/temp_dir.h"

namespace {

const std::string kMemoMark("\xFF\xFF\x08\x00", 4);

std::string Le16(unsigned value) {
  return {char(value & 0xFF), char(value >> 8)};
}
std::string Le32(unsigned value) {
  return Le16(value & 0xFFFF) + Le16(value >> 16);
}

std::string Header(unsigned count, unsigned headerLength, unsigned recordLength) {
  const qrx::platform::LocalTime today = qrx::platform::Now();
  return std::string{0x03, char(today.year - 1900), char(today.month), char(today.day)} +
         Le32(count) + Le16(headerLength) + Le16(recordLength) + std::string(20, '\0');
}

std::string Descriptor(const std::string& name, char type, unsigned width) {
  std::string descriptor = name + std::string(11 - name.size(), '\0') + type;
  return descriptor + std::string(4, '\0') + char(width) + std::string(15, '\0');
}

// The record area of a table: everything between the header terminator and the end-of-file byte.
std::string Records(const std::string& dbf) {
  const size_t headerLength = static_cast<unsigned char>(dbf[8]) | dbf[9] << 8;
  EXPECT_EQ(dbf[headerLength - 1], '\x0D');
  EXPECT_EQ(dbf.back(), '\x1A');
  return dbf.substr(headerLength, dbf.size() - headerLength - 1);
}

class DbfGenTest : public ::testing::Test {
 protected:
  TempDir dir;
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

  const std::string expected = Header(2, 97, 9) + Descriptor("NAME", 'C', 5) +
                               Descriptor("QTY", 'N', 3) + "\x0D abc  12  xy   7  \x1A";
  ASSERT_EQ(expected.size(), 116u);
  EXPECT_EQ(Read("Table.dbf"), expected);
  EXPECT_EQ(Entries(), std::vector<std::string>{"Table.dbf"});
}

TEST_F(DbfGenTest, MissingValuesAreBlankAndAnEarlierColumnStartsTheNextRecord) {
  CDbfGen table(Path("Table.dbf").c_str());
  table.Prepare(3, 4, 3);
  for (const char* name : {"A", "B", "C"}) table.AddOneColInfo(name, 'C', 1, name[0]);
  // Records: a.c | .b. | .y. (B again, so a new record) | x.. (A after B, again a new one).
  const std::pair<const char*, char> values[] = {
      {"a", 'A'}, {"c", 'C'}, {"b", 'B'}, {"y", 'B'}, {"x", 'A'}};
  for (const auto& [value, column] : values) table.WriteOneValue(value, column, 1);
  table.Close();
  EXPECT_EQ(Records(Read("Table.dbf")), " a c  b   y  x  ");
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

  const std::string dbf = Read("Table.dbf");
  EXPECT_EQ(dbf.substr(32, 5 * 32), Descriptor("ABCDEFGHIJ", 'C', 5) + Descriptor("WIDE", 'M', 10) +
                                        Descriptor("WHEN", 'D', 8) + Descriptor("FLAG", 'L', 1) +
                                        Descriptor("HUGE", 'N', 255));
  EXPECT_EQ(Records(dbf), " 12345" + std::string(10 + 8 + 1 + 255, ' '));
}

TEST_F(DbfGenTest, RepeatedColumnIdKeepsItsFieldBlank) {
  CDbfGen table(Path("Table.dbf").c_str());
  table.Prepare(2, 1, 4);
  table.AddOneColInfo("FIRST", 'C', 2, 9);
  table.AddOneColInfo("SECOND", 'C', 2, 9);
  table.WriteOneValue("ab", 9, 0);
  table.Close();
  EXPECT_EQ(Records(Read("Table.dbf")), " ab  ");
}

TEST_F(DbfGenTest, TableWithoutRecordsEndsWithTerminatorAndEndOfFile) {
  CDbfGen table(Path("Table.dbf").c_str());
  table.Prepare(1, 0, 4);
  table.AddOneColInfo("NAME", 'C', 4, 1);
  table.Close();
  EXPECT_EQ(Read("Table.dbf"), Header(0, 65, 5) + Descriptor("NAME", 'C', 4) + "\x0D\x1A");
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
  EXPECT_EQ(Records(dbf), " 0 0000000001 1 0000000003 2 0000000004 3 0000000005");
  const std::string dbt = Read("CUSTOM~1.dbt");
  ASSERT_EQ(dbt.size(), 7u * 512);
  EXPECT_EQ(dbt.substr(0, 24),
            Le32(7) + std::string(4, '\0') + "CUSTOM~1" + std::string(4, '\0') + Le32(512));
  EXPECT_EQ(dbt.substr(24, 512 - 24), std::string(512 - 24, '\0'));
  const unsigned firstBlocks[] = {1, 3, 4, 5};
  for (size_t i = 0; i < values.size(); ++i) {
    const size_t start = firstBlocks[i] * 512;
    const size_t end = (i + 1 < values.size() ? firstBlocks[i + 1] : 7) * 512;
    const std::string mark = kMemoMark + Le32(values[i].size() + 8);
    EXPECT_EQ(dbt.substr(start, end - start),
              mark + values[i] + std::string(end - start - 8 - values[i].size(), '\0'))
        << "value " << i;
  }
}

TEST_F(DbfGenTest, MemoValueWithoutMemoryLeavesABlankFieldAndItsBlockFree) {
  CDbfGen table(Path("Table.dbf").c_str());
  table.Prepare(1, 2, 10);
  table.AddOneColInfo("NOTE", 'M', 0, 1);
  qrx::heap::ResetCounting(1);
  EXPECT_EQ(table.WriteOneValue("lost", 1, 0), -6);
  qrx::heap::ResetCounting();
  EXPECT_EQ(table.WriteOneValue("kept", 1, 0), 0);
  table.Close();
  EXPECT_EQ(Records(Read("Table.dbf")), std::string(11, ' ') + " 0000000001");
  EXPECT_EQ(Read("Table.dbt").substr(512, 12), kMemoMark + Le32(12) + "kept");
}

TEST_F(DbfGenTest, ExistingResultIsLeftAloneAndTheFailureLogged) {
  WriteFileBytes(dir / "Table.dbf", {'k', 'e', 'e', 'p'});
  g_Log.Open((dir / "dbf.log").string().c_str(), true);
  {
    CDbfGen table(Path("Table.dbf").c_str());
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

TEST_F(DbfGenTest, LogsEveryOperationInOrder) {
  g_Log.Open((dir / "dbf.log").string().c_str(), true);
  {
    CDbfGen table(Path("Table.dbf").c_str());
    table.Prepare(1, 1, 10);
    table.AddOneColInfo("NOTE", 'M', 10, 1);
    table.WriteOneValue("memo", 1, 0);
    table.Close();
  }
  g_Log.Close();
  std::vector<std::string> lines;
  std::istringstream log(Read("dbf.log"));
  for (std::string line; std::getline(log, line);) {
    const bool timeStamp = line.size() == 10 && line.front() == '[' && line.back() == ']';
    if (!timeStamp) lines.push_back(line);
  }
  const std::vector<std::string> expected = {"DbfGen: CDbfGen::CDbfGen\tSTART",
                                             "DbfGen: DBFPath = " + (dir / "Table.dbf").string(),
                                             "DbfGen: CDbfGen::CDbfGen\tEND",
                                             "DbfGen: CDbfGen::Prepare\tSTART",
                                             "DbfGen: CDbfGen::SetDate\tSTART",
                                             "DbfGen: CDbfGen::SetDate\tEND",
                                             "DbfGen: CDbfGen::Prepare\tEND",
                                             "DbfGen: CDbfGen::AddOneColInfo\t\tSTART",
                                             "DbfGen: CDbfGen::AddOneColInfo\t\tEND",
                                             "DbfGen: CDbfGen::WriteOneValue\t\tSTART",
                                             "DbfGen: CDbfGen::WriteToDBTFile\t\tSTART",
                                             "DbfGen: CDbfGen::PrepareDBTFile\t\tSTART",
                                             "DbfGen: CDbfGen::PrepareDBTFile\t\tEND",
                                             "DbfGen: CDbfGen::WriteToDBTFile\t\tEND",
                                             "DbfGen: CDbfGen::WriteOneValue\t\tEND",
                                             "DbfGen: CDbfGen::Close\t\tSTART",
                                             "DbfGen: CDbfGen::WriteLastFields\t\tSTART",
                                             "DbfGen: CDbfGen::WriteLastFields\t\tEND",
                                             "DbfGen: CDbfGen::WriteHeaders\t\tSTART",
                                             "DbfGen: CDbfGen::WriteHeaders\t\tEND",
                                             "DbfGen: CDbfGen::Close\t\tEND",
                                             "DbfGen: CDbfGen::~CDbfGen\tSTART",
                                             "DbfGen: CDbfGen::~CDbfGen\tEND"};
  EXPECT_EQ(lines, expected);
}

TEST_F(DbfGenTest, EmptyPathCreatesNothing) {
  CDbfGen table(u"");
  table.Prepare(1, 0, 1);
  EXPECT_EQ(table.Close(), 0);
  EXPECT_TRUE(Entries().empty());
}

}  // namespace
