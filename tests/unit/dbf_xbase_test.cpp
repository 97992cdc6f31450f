// Reads tables written by CDbfGen back with Perl's XBase module, a dBase reader of its own, and
// compares every value, memo values in full.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "dbf/dbf_gen.h"
#include "support/temp_dir.h"
#include "support/xbase_dump.h"

namespace {

// A line of the dump for one value; nullopt for a value the reader takes as none.
std::string ValueLine(int record, const std::string& field,
                      const std::optional<std::string>& value) {
  std::string line = "value " + std::to_string(record) + " " + field + " ";
  if (!value) return line + "undef\n";
  line += std::to_string(value->size()) + " ";
  static const char kDigits[] = "0123456789abcdef";
  for (unsigned char c : *value) line += {kDigits[c >> 4], kDigits[c & 15]};
  return line + "\n";
}

// Memo text of `length` bytes, lines of letters with Latin-1 accents among them.
std::string MemoText(size_t length, int seed) {
  std::string text;
  for (size_t i = 0; i < length; ++i) {
    text += i % 61 == 60 ? '\n' : i % 17 == 0 ? '\xE9' : char('a' + (i * 7 + seed) % 26);
  }
  return text;
}

class DbfXBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("perl -MXBase -e1 >/dev/null 2>&1") != 0) {
      GTEST_SKIP() << "Perl's XBase module is missing (Debian package libdbd-xbase-perl)";
    }
  }
  TempDir dir;
};

TEST_F(DbfXBaseTest, ReaderSeesEveryValueOfEveryType) {
  const std::string note10 = MemoText(10, 1), note504 = MemoText(504, 2),
                    note1000 = MemoText(1000, 3), text1200 = MemoText(1200, 4),
                    text505 = MemoText(505, 5);
  enum Column : uint32_t { kName = 11, kQty, kBorn, kOk, kNote, kText };
  {
    CDbfGen table((dir / "Customers.dbf").u16string().c_str());
    table.Prepare(6, 4, 12 + 5 + 8 + 1 + 10 + 10);
    table.AddOneColInfo("NAME", 'C', 12, kName);
    table.AddOneColInfo("QTY", 'N', 5, kQty);
    table.AddOneColInfo("BORN", 'D', 8, kBorn);
    table.AddOneColInfo("OK", 'L', 1, kOk);
    table.AddOneColInfo("NOTE", 'M', 10, kNote);
    table.AddOneColInfo("LONGTEXT", 'C', 300, kText);
    const std::vector<std::pair<Column, std::string>> values = {
        {kName, "Anna"}, {kQty, "12"},        {kBorn, "19991231"},
        {kOk, "T"},      {kNote, note10},     {kText, text1200},  // a full record
        {kName, "Bob"},  {kBorn, "20000101"}, {kNote, note504},   // gaps, and no last field
        {kQty, "7"},     {kOk, "F"},                              // cut short by the next record
        {kName, "Cy"},   {kNote, note1000},   {kText, text505},
    };
    for (const auto& [column, value] : values) {
      ASSERT_EQ(table.WriteOneValue(value.data(), column, static_cast<uint32_t>(value.size())), 0);
    }
    ASSERT_EQ(table.Close(), 0);
  }

  const std::string expected =
      "version 8b\nfield NAME C 12\nfield QTY N 5\nfield BORN D 8\nfield OK L 1\n"
      "field NOTE M 10\nfield LONGTEXT M 10\nrecords 4\n" +
      ValueLine(0, "NAME", "Anna") + ValueLine(0, "QTY", "12") + ValueLine(0, "BORN", "19991231") +
      ValueLine(0, "OK", "1") + ValueLine(0, "NOTE", note10) + ValueLine(0, "LONGTEXT", text1200) +
      ValueLine(1, "NAME", "Bob") + ValueLine(1, "QTY", std::nullopt) +
      ValueLine(1, "BORN", "20000101") + ValueLine(1, "OK", std::nullopt) +
      ValueLine(1, "NOTE", note504) + ValueLine(1, "LONGTEXT", std::nullopt) +
      ValueLine(2, "NAME", "") + ValueLine(2, "QTY", "7") + ValueLine(2, "BORN", std::nullopt) +
      ValueLine(2, "OK", "0") + ValueLine(2, "NOTE", std::nullopt) +
      ValueLine(2, "LONGTEXT", std::nullopt) + ValueLine(3, "NAME", "Cy") +
      ValueLine(3, "QTY", std::nullopt) + ValueLine(3, "BORN", std::nullopt) +
      ValueLine(3, "OK", std::nullopt) + ValueLine(3, "NOTE", note1000) +
      ValueLine(3, "LONGTEXT", text505);
  EXPECT_EQ(XBaseDump(dir / "CUSTOM~1.dbf"), expected);
}

TEST_F(DbfXBaseTest, ReaderOpensATableWithoutRecords) {
  {
    CDbfGen table((dir / "Empty.dbf").u16string().c_str());
    table.Prepare(1, 0, 4);
    table.AddOneColInfo("CODE", 'C', 4, 1);
    table.Close();
  }
  EXPECT_EQ(XBaseDump(dir / "Empty.dbf"), "version 03\nfield CODE C 4\nrecords 0\n");
}

}  // namespace
