#include "parser/parser_base.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "diag/log.h"
#include "parser/result_path.h"
#include "platform/heap.h"
#include "platform/path.h"
#include "support/dbf_reader.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

using Values = std::vector<std::pair<uint32_t, std::string>>;
using Names = std::vector<std::string>;

template <typename T>
T* HeapCopy(const std::string& bytes) {
  auto* copy = static_cast<T*>(qrx::heap::Allocate(bytes.size() + 1));
  std::memcpy(copy, bytes.c_str(), bytes.size() + 1);
  return copy;
}

// The base with an engine of its own, as a parser of either format has, and its state open.
class TestParser : public CFMLogicParserBase {
 public:
  TestParser() : CFMLogicParserBase(engine) {}

  // Columns 1, 2, ... named by one letter each.
  void AddColumns(const std::string& names, uint32_t type = kColumnText) {
    for (const char name : names) {
      auto& column = m_ArrOfColumns.emplace_back(std::make_unique<CColumnInfo>());
      column->m_dwID = static_cast<uint32_t>(m_ArrOfColumns.size());
      column->m_dwType = type;
      column->SetText(&name, 1);
    }
  }
  void AddRow(const Values& values) {
    CRowOfTable& row = m_DataOfTable.emplace_back();
    for (const auto& [id, text] : values) {
      auto& value = row.m_Fields.emplace_back(std::make_unique<CDataOfField>());
      value->m_dwID = id;
      value->SetText(text.data(), text.size());
      value->m_dwLength = static_cast<uint32_t>(text.size());
    }
  }

  CFMCEngine engine{4096, 0, 0, true};
  using CFMLogicParserBase::m_ArrOfColumns, CFMLogicParserBase::m_BinaryData,
      CFMLogicParserBase::m_ColumnCatalogue, CFMLogicParserBase::m_ColumnWidths,
      CFMLogicParserBase::m_dwTotalColumns, CFMLogicParserBase::m_dwTotalRecords;
};

class ParserBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(out);
    g_Log.Open((dir / "run.log").string().c_str(), true);
  }
  void TearDown() override { g_Log.Close(); }
  std::u16string ResultPath() const { return ResultPathFor(Utf16(out), u"Table", u"Table"); }

  TempDir dir;
  fs::path out = dir / "out";
  TestParser parser;
};

TEST(ParserBase, ConvertDateReordersDayFirstDates) {
  const auto converted = [](const std::string& text) {
    CDataOfField value;
    value.SetText(text.data(), text.size());
    TestParser().ConvertDate(&value.m_szText);
    return std::string(value.m_szText);
  };
  EXPECT_EQ(converted("31.12.1999"), "19991231");
  EXPECT_EQ(converted("5.1.1999"), "19990105");
  EXPECT_EQ(converted("31/12/99"), "19991231");
  EXPECT_EQ(converted("5.1.99"), "990105");   // the separator stands fifth from the end
  EXPECT_EQ(converted(".1.1999"), "199901");  // an empty component adds nothing
  for (const char* unchanged : {"19991231", "1.2", "1999.1231", "", "12345678901", "ab.cd.efgh"}) {
    EXPECT_EQ(converted(unchanged), unchanged);
  }
}

TEST_F(ParserBaseTest, SizingTakesTheWidestValueAndTurnsLongColumnsIntoMemos) {
  parser.AddColumns("ABC");
  parser.AddRow({{1, std::string(250, 'a')}, {2, std::string(40, 'b')}, {99, "stray"}});
  parser.AddRow({{1, "abc"}, {2, std::string(251, 'b')}});
  parser.AddRow({{2, std::string(300, 'b')}});
  parser.CountMaxSizeForFields();
  EXPECT_EQ(parser.m_ColumnWidths, (ColumnWidthMap{{1, 250}, {2, 40}}));
  EXPECT_EQ(parser.m_ArrOfColumns[0]->m_dwType, uint32_t{kColumnText});
  EXPECT_EQ(parser.m_ArrOfColumns[1]->m_dwType, uint32_t{kColumnMemo});
}

TEST_F(ParserBaseTest, EachRowIsOneRecordWithTheFirstValueOfEachColumn) {
  parser.AddColumns("AB");
  parser.AddColumns("D", kColumnDate);
  parser.AddRow({{1, "x"}, {3, "19991231"}, {1, "zzz"}});
  parser.AddRow({{2, "y"}});  // would otherwise fill the first row's empty second field
  EXPECT_EQ(parser.CreateResultFile(ResultPath().c_str()), 0);
  const DbfTable table = ReadDbf(out / "Table.dbf");
  EXPECT_EQ(table.types, "CCD");
  EXPECT_EQ(table.widths, (std::vector<unsigned>{3, 1, 8}));
  EXPECT_EQ(table.rows, (std::vector<Names>{{"x", "", "19991231"}, {"", "y", ""}}));
  // The table file now there is never replaced.
  const auto written = ReadFileBytes(out / "Table.dbf");
  EXPECT_EQ(parser.CreateResultFile(ResultPath().c_str()), -20);
  EXPECT_EQ(ReadFileBytes(out / "Table.dbf"), written);
}

TEST_F(ParserBaseTest, TablesWithoutColumnsWidthsOrRoomInTheHeaderGetNoFile) {
  EXPECT_EQ(parser.CreateResultFile(ResultPath().c_str()), 0);  // no columns
  parser.AddColumns("A");
  parser.AddRow({{1, ""}});  // all widths 0
  EXPECT_EQ(parser.CreateResultFile(ResultPath().c_str()), 0);
  Values values;
  for (uint32_t id = 2; id <= 301; ++id) values.emplace_back(id, std::string(250, 'x'));
  parser.AddColumns(std::string(300, 'C'));
  parser.AddRow(values);  // 301 columns, records of 75000 bytes
  EXPECT_EQ(parser.CreateResultFile(ResultPath().c_str()), -20);
  EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(ParserBaseTest, WriteTableHeaderNumbersPlaceholdersAndClampsWidths) {
  const char* unknown = CFMLogicParserBase::kUnknownColumnName;
  parser.m_ColumnCatalogue = {{9, {1, unknown}},  {2, {3, "Name"}},  {4, {1, unknown}},
                              {5, {261, "Long"}}, {7, {1, unknown}}, {6, {260, "Edge"}}};
  parser.m_dwTotalColumns = 6;
  parser.m_dwTotalRecords = 1;
  EXPECT_EQ(parser.WriteTableHeader(ResultPath().c_str()), 0);
  parser.WriteValue("Bob", 2, 3);
  EXPECT_EQ(parser.CloseResult(), 1);
  EXPECT_TRUE(parser.m_ColumnCatalogue.empty());
  const DbfTable table = ReadDbf(out / "Table.dbf");
  EXPECT_EQ(table.names, (Names{"Name", "Unknown 1", "Long", "Edge", "Unknown 2", "Unknown 3"}));
  EXPECT_EQ(table.types, "CCMMCC");  // the writer makes width 260 a memo field
  EXPECT_EQ(table.widths, (std::vector<unsigned>{5, 5, 10, 10, 5, 5}));
  EXPECT_EQ(table.rows, (std::vector<Names>{{"Bob", "", "", "", "", ""}}));
}

TEST_F(ParserBaseTest, ContainerFilesLandInTheResultFolderWhateverTheirNames) {
  fs::create_directory(dir / "outside");
  WriteFileBytes(dir / "outside" / "passwd", {'k', 'e', 'e', 'p'});
  WriteFileBytes(out / "old.bin", {'o', 'l', 'd'});
  // Object k holds the text of k; object 2 holds nothing, object 3 has no name.
  const std::string outside = (dir / "outside" / "passwd").string(), n300 = std::string(300, 'n');
  const Names names = {"photo.jpg", "no bytes", "",   "photo.jpg",      "old.bin",    "../x",
                       outside,     "a\\b",     "..", "\x01\x63tl\x1F", n300 + ".txt"};
  for (uint32_t key = 1; key <= names.size(); ++key) {
    const std::string bytes = key == 2 ? "" : std::to_string(key);
    auto& object = parser.m_BinaryData[key] = std::make_unique<CBinaryDataInfo>();
    object->m_szName = names[key - 1].empty() ? nullptr : HeapCopy<char>(names[key - 1]);
    object->m_dwNameLength = static_cast<uint32_t>(names[key - 1].size());
    object->m_pData = bytes.empty() ? nullptr : HeapCopy<uint8_t>(bytes);
    object->m_dwSize = static_cast<uint32_t>(bytes.size());
  }
  parser.engine.m_nFileSize = 4096;  // the files may hold up to 4 times the source's bytes
  EXPECT_EQ(parser.CreateBinaryFiles(ResultPath().c_str()), 0);
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
    if (entry.is_regular_file() && entry.path().filename() != "run.log") {
      files[fs::relative(entry.path(), dir.path()).string()] = ReadFileText(entry.path());
    }
  }
  std::string listed;
  for (const auto& [path, text] : files) listed += path + "=" + text + " ";
  const std::string inOut = "out" + fs::path("/").make_preferred().string();
  EXPECT_EQ(listed, inOut + "Object_9=9 " + inOut + "b=8 " + inOut + "ctl=10 " + inOut +
                        std::string(124, 'n') + ".txt=11 " + inOut + "old.bin=5 " + inOut +
                        "passwd=7 " + inOut + "photo.jpg=4 " + inOut + "x=6 outside" +
                        fs::path("/").make_preferred().string() + "passwd=keep ");
  fs::current_path(out);  // a path without a folder must not mean the working folder
  parser.CreateBinaryFiles(u"Table.dbf");
  fs::current_path(dir.path());
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 8);
}

TEST(ResultPathFor, KeepsTheTableNameInsideTheTargetFolder) {
  const std::u16string separator(1, qrx::platform::kPathSeparator);
  EXPECT_EQ(ResultPathFor(u"/target", u"../../etc/Sales", u"Table"),
            u"/target" + separator + u"Sales.dbf");
  EXPECT_EQ(ResultPathFor(u"/target/", u"..", u"Table_3"), u"/target/Table_3.dbf");
  EXPECT_EQ(ResultPathFor(u"", u"Sales", u"Table"), u"");
  const std::u16string deep = u"/" + std::u16string(250, u'd');
  EXPECT_EQ(ResultPathFor(deep, u"Sales", u"Table"), deep + separator + u"Sal.dbf");
  EXPECT_EQ(ResultPathFor(deep + u"dddd", u"Sales", u"Table"), u"");
}

}  // namespace
