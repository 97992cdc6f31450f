#include "parser/parser_base.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "diag/log.h"
#include "parser/result_path.h"
#include "platform/heap.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

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

  void AddColumn(uint32_t id, const char* name, uint32_t type = kColumnText) {
    auto& column = m_ArrOfColumns.emplace_back(std::make_unique<CColumnInfo>());
    column->m_dwID = id;
    column->m_dwType = type;
    column->SetText(name, std::strlen(name));
  }
  void AddRow(const std::vector<std::pair<uint32_t, std::string>>& values) {
    CRowOfTable& row = m_DataOfTable.emplace_back();
    for (const auto& [id, text] : values) {
      auto& value = row.m_Fields.emplace_back(std::make_unique<CDataOfField>());
      value->m_dwID = id;
      value->SetText(text.data(), text.size());
      value->m_dwLength = static_cast<uint32_t>(text.size());
    }
  }
  void AddObject(uint32_t key, const char* name, const std::string& bytes) {
    auto& object = m_BinaryData[key] = std::make_unique<CBinaryDataInfo>();
    if (name != nullptr) object->m_szName = HeapCopy<char>(name);
    if (!bytes.empty()) object->m_pData = HeapCopy<uint8_t>(bytes);
    object->m_dwNameLength = name != nullptr ? static_cast<uint32_t>(std::strlen(name)) : 0;
    object->m_dwSize = static_cast<uint32_t>(bytes.size());
  }

  CFMCEngine engine{4096, 0, 0, true};
  using CFMLogicParserBase::m_ArrOfColumns, CFMLogicParserBase::m_bTableWritten,
      CFMLogicParserBase::m_ColumnCatalogue, CFMLogicParserBase::m_ColumnWidths,
      CFMLogicParserBase::m_dwTotalColumns, CFMLogicParserBase::m_dwTotalRecords,
      CFMLogicParserBase::m_pDbfGen, CFMLogicParserBase::m_szSourcePath;
};

class ParserBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(out);
    g_Log.Open(log.string().c_str(), true);
  }
  void TearDown() override { g_Log.Close(); }

  // The log without its time stamps.
  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    std::istringstream text(ReadFileText(log));
    for (std::string line; std::getline(text, line);) {
      if (!(line.size() == 10 && line.front() == '[')) lines.push_back(line);
    }
    return lines;
  }
  bool Logged(const std::string& line) const {
    const std::vector<std::string> lines = LogLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  std::u16string ResultPath() const { return ResultPathFor(Utf16(out), u"Table", u"Table"); }

  TempDir dir;
  fs::path out = dir / "out";
  fs::path log = dir / "run.log";
  TestParser parser;
};

std::string Converted(const std::string& text) {
  CDataOfField value;
  value.SetText(text.data(), text.size());
  TestParser().ConvertDate(&value.m_szText);
  return value.m_szText;
}

TEST_F(ParserBaseTest, ConvertDateReordersDayFirstDates) {
  EXPECT_EQ(Converted("31.12.1999"), "19991231");
  EXPECT_EQ(Converted("5.1.1999"), "19990105");
  EXPECT_EQ(Converted("31/12/99"), "19991231");
  EXPECT_EQ(Converted("5.1.99"), "990105");   // the separator stands fifth from the end
  EXPECT_EQ(Converted(".1.1999"), "199901");  // an empty component adds nothing
  for (const char* unchanged : {"19991231", "1.2", "1999.1231", ""}) {
    EXPECT_EQ(Converted(unchanged), unchanged);
  }
  g_Log.Open(log.string().c_str(), true);
  Converted("12345678901");
  Converted("ab.cd.efgh");
  EXPECT_EQ(LogLines(),
            (std::vector<std::string>{"S: CFMLogicParserBase::ConvertDate 12345678901",
                                      "S: CFMLogicParserBase::ConvertDate ab.cd.efgh",
                                      "Bad date value: ab.cd.efgh",
                                      "F: CFMLogicParserBase::ConvertDate ab.cd.efgh"}));
}

TEST_F(ParserBaseTest, SizingTakesTheWidestValueAndTurnsLongColumnsIntoMemos) {
  parser.AddColumn(1, "A");
  parser.AddColumn(2, "B");
  parser.AddColumn(3, "C");
  parser.AddRow({{1, std::string(250, 'a')}, {2, std::string(40, 'b')}, {99, "stray"}});
  parser.AddRow({{1, "abc"}, {2, std::string(251, 'b')}});
  parser.AddRow({{2, std::string(300, 'b')}});
  parser.CountMaxSizeForFields();
  EXPECT_EQ(parser.m_ColumnWidths, (ColumnWidthMap{{1, 250}, {2, 40}}));
  EXPECT_EQ(parser.m_ArrOfColumns[0]->m_dwType, uint32_t{kColumnText});
  EXPECT_EQ(parser.m_ArrOfColumns[1]->m_dwType, uint32_t{kColumnMemo});
}

TEST_F(ParserBaseTest, CreateResultFileWritesTheFirstValueOfEachColumn) {
  parser.AddColumn(1, "NAME");
  parser.AddColumn(2, "BORN", kColumnDate);
  parser.AddColumn(3, "EMPTY");
  parser.AddRow({{1, "abc"}, {2, "19991231"}, {1, "zzz"}});
  parser.AddRow({{2, "31.12.1999"}});  // sized 10, declared 8
  EXPECT_EQ(parser.CreateResultFile(ResultPath().c_str()), 0);

  EXPECT_TRUE(parser.m_bTableWritten);
  EXPECT_EQ(parser.m_ColumnWidths[3], 0u);
  EXPECT_TRUE(Logged("73708: wMaxLength = 13"));
  const std::string dbf = ReadFileText(out / "Table.dbf");
  EXPECT_EQ(dbf.substr(8, 4), std::string("\x81\x00\x0C\x00", 4));  // header 129, record 12
  EXPECT_EQ(std::string({dbf[43], dbf[48], dbf[75], dbf[80], dbf[107], dbf[112]}),
            std::string("C\x03"
                        "D\x08"
                        "C\x00",
                        6));
  EXPECT_EQ(dbf.substr(129), " abc19991231    31.12.19\x1A");
}

TEST_F(ParserBaseTest, EachRowIsOneRecordEvenWhenItStartsRightOfThePreviousOne) {
  parser.AddColumn(1, "A");
  parser.AddColumn(2, "B");
  parser.AddRow({{1, "x"}});
  parser.AddRow({{2, "y"}});  // would otherwise fill the first row's empty second field
  EXPECT_EQ(parser.CreateResultFile(ResultPath().c_str()), 0);
  const std::string dbf = ReadFileText(out / "Table.dbf");
  EXPECT_EQ(dbf[4], 2);  // record count
  EXPECT_EQ(dbf.substr(97), " x   y\x1A");
}

TEST_F(ParserBaseTest, EmptyTablesAndTablesTooWideForTheHeaderGetNoFile) {
  parser.CreateResultFile(ResultPath().c_str());
  EXPECT_TRUE(Logged("73708: m_ArrOfColumns.size() == 0"));
  parser.AddColumn(1, "A");
  parser.AddRow({{1, ""}});  // column 1 stays width 0 in what follows
  parser.CreateResultFile(ResultPath().c_str());
  EXPECT_TRUE(Logged("Can't create table."));

  std::vector<std::pair<uint32_t, std::string>> values;
  for (uint32_t id = 2; id <= 301; ++id) {
    parser.AddColumn(id, "C");
    values.emplace_back(id, std::string(250, 'x'));
  }
  parser.AddRow(values);
  parser.CreateResultFile(ResultPath().c_str());
  EXPECT_TRUE(
      Logged("Can't create table: 301 columns with records of 75000 bytes do not fit its "
             "header."));
  EXPECT_TRUE(fs::is_empty(out));
  EXPECT_FALSE(parser.m_bTableWritten);
}

TEST_F(ParserBaseTest, WriteTableHeaderNumbersPlaceholdersAndClampsWidths) {
  const char* unknown = CFMLogicParserBase::kUnknownColumnName;
  parser.m_ColumnCatalogue = {{9, {1, unknown}},  {2, {3, "Name"}},  {4, {1, unknown}},
                              {5, {261, "Long"}}, {7, {1, unknown}}, {6, {260, "Edge"}}};
  parser.m_dwTotalColumns = 6;
  parser.m_dwTotalRecords = 1;
  EXPECT_EQ(parser.WriteTableHeader(ResultPath().c_str()), 0);
  parser.WriteValue("Bob", 2, 3);

  std::string catalogue;
  for (const auto& [id, column] : parser.m_ColumnCatalogue) {
    catalogue += std::to_string(id) + ":" + column.m_strName + ":" +
                 std::to_string(column.m_dwWidth) + ":" + std::to_string(column.m_dwType) + " ";
  }
  EXPECT_EQ(catalogue,
            "2:Name:5:1 4:Unknown 1:5:1 5:Long:10:6 6:Edge:260:1 7:Unknown 2:5:1 "
            "9:Unknown 3:5:1 ");
  EXPECT_TRUE(Logged("Total columns 6, Total Records 1, MaxRecordSize 290"));
  EXPECT_TRUE(Logged("Add Column Info: Name Unknown 3, ID 9, Order 5, Type 1, MaxSize 5"));

  EXPECT_EQ(parser.CloseResult(), 1);
  EXPECT_TRUE(parser.m_ColumnCatalogue.empty());
  EXPECT_FALSE(parser.m_pDbfGen.has_value());
  EXPECT_EQ(parser.m_dwTotalColumns + parser.m_dwTotalRecords, 0u);
  const std::string dbf = ReadFileText(out / "Table.dbf");
  // Width 260 is declared as a character column; the writer makes it a memo field.
  EXPECT_EQ(std::string({dbf[43], dbf[75], dbf[107], dbf[139], dbf[171], dbf[203]}), "CCMMCC");
  EXPECT_EQ(dbf.substr(10, 2), std::string("\x29\x00", 2));  // 5+5+10+10+5+5, deletion flag
  EXPECT_EQ(dbf.substr(225), " Bob  " + std::string(35, ' ') + "\x1A");
}

TEST_F(ParserBaseTest, ContainerFilesLandInTheResultFolderWhateverTheirNames) {
  fs::create_directory(dir / "outside");
  WriteFileBytes(dir / "outside" / "passwd", {'k', 'e', 'e', 'p'});
  WriteFileBytes(out / "old.bin", {'o', 'l', 'd'});
  parser.AddObject(1, "photo.jpg", "first");
  parser.AddObject(2, "no bytes", "");
  parser.AddObject(3, nullptr, "no name");
  parser.AddObject(4, "photo.jpg", "second");
  parser.AddObject(5, "old.bin", "new");
  parser.AddObject(6, "../x", "6");
  parser.AddObject(7, (dir / "outside" / "passwd").c_str(), "7");
  parser.AddObject(8, "a\\b", "8");
  parser.AddObject(9, "..", "9");
  parser.AddObject(10,
                   "\x01"
                   "ctl\x1F",
                   "10");
  parser.AddObject(11, (std::string(300, 'n') + ".txt").c_str(), "11");
  EXPECT_EQ(parser.CreateBinaryFiles(ResultPath().c_str()), 0);

  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
    if (entry.is_regular_file() && entry.path() != log) {
      files[fs::relative(entry.path(), dir.path()).string()] = ReadFileText(entry.path());
    }
  }
  const std::map<std::string, std::string> expected = {
      {"outside/passwd", "keep"},
      {"out/photo.jpg", "second"},
      {"out/old.bin", "new"},
      {"out/x", "6"},
      {"out/passwd", "7"},
      {"out/b", "8"},
      {"out/Object_9", "9"},
      {"out/ctl", "10"},
      {"out/" + std::string(124, 'n') + ".txt", "11"}};
  EXPECT_EQ(files, expected);

  fs::current_path(out);  // a path without a folder must not mean the working folder
  parser.CreateBinaryFiles(u"Table.dbf");
  fs::current_path(dir.path());
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 8);
}

TEST(ResultPathFor, KeepsTheTableNameInsideTheTargetFolder) {
  EXPECT_EQ(ResultPathFor(u"/target", u"../../etc/Sales", u"Table"), u"/target/Sales.dbf");
  EXPECT_EQ(ResultPathFor(u"/target/", u"..", u"Table_3"), u"/target/Table_3.dbf");
  EXPECT_EQ(ResultPathFor(u"", u"Sales", u"Table"), u"");
  const std::u16string deep = u"/" + std::u16string(250, u'd');
  EXPECT_EQ(ResultPathFor(deep, u"Sales", u"Table"), deep + u"/Sal.dbf");
  EXPECT_EQ(ResultPathFor(deep + u"dddd", u"Sales", u"Table"), u"");
}

TEST_F(ParserBaseTest, AttachSourceTakesThePathAndConnectsTheEngine) {
  WriteFileBytes(dir / "source.fp7", std::vector<unsigned char>(8192, 0));
  CFileConnector connector;
  ASSERT_EQ(connector.OpenSource(Utf16(dir / "source.fp7").c_str()), 0);
  EXPECT_TRUE(parser.AttachSource(&connector));
  EXPECT_EQ(std::u16string(parser.m_szSourcePath), Utf16(dir / "source.fp7"));
  EXPECT_EQ(parser.engine.m_hFile, &connector.m_hFile);
  CFileConnector closed;
  EXPECT_FALSE(TestParser().AttachSource(&closed));
}

TEST(SeenRecords, PagesAreTakenOnlyWhereIdsNeedThem) {
  CSeenRecords seen;
  const uint32_t farId = 3 * CSeenRecords::kIdsPerPage + 1;
  qrx::heap::ResetCounting();
  EXPECT_TRUE(seen.Set(5) && seen.Set(6) && seen.Set(farId));
  EXPECT_EQ(qrx::heap::AllocationCount(), 2u);
  EXPECT_TRUE(seen.Test(5) && seen.Test(farId));
  EXPECT_FALSE(seen.Test(7) || seen.Test(farId - 1) || seen.Test(CSeenRecords::kIdsPerPage + 5));

  qrx::heap::ResetCounting(1);  // the next page cannot be had
  EXPECT_FALSE(seen.Set(CSeenRecords::kIdsPerPage));
  EXPECT_FALSE(seen.Test(CSeenRecords::kIdsPerPage));
  qrx::heap::ResetCounting();
  seen.Clear();
  EXPECT_FALSE(seen.Test(5));
}

}  // namespace
