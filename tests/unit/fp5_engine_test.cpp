#include "engine/fp5_engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "diag/log.h"
#include "platform/heap.h"
#include "support/fp5_builder.h"
#include "support/temp_dir.h"

using namespace fp5build;

namespace {

std::string Text(const CFM5Item* item) {
  return item->m_szText;
}
std::string Text(const CFM5LongPiece* piece) {
  return {piece->m_szText, piece->m_nLength};
}

// An engine with one page's data area put straight into its buffer, for the block readers.
struct LoadedPage {
  explicit LoadedPage(const Bytes& area) {
    std::memcpy(engine.m_pPage + CFM5::kHeaderSize, area.data(), area.size());
    engine.m_nDataLength = kDataAreaSize;
  }
  CFM5 engine;
};

// A file on disk, walked page by page as the fp5 parser walks it.
class Fp5File : public ::testing::Test {
 protected:
  void Walk(const Fp5FileBuilder& file) {
    file.WriteTo(dir / "db.fp5");
    ASSERT_EQ(source.OpenSource(Utf16(dir / "db.fp5").c_str()), 0);
    ASSERT_TRUE(engine.Connect(&source));
    while (!engine.IsEndOfFile()) {
      engine.ReadPage();
      engine.ParsePage();
      engine.NextPage();
    }
  }
  std::vector<CFM5Item*> Values() const {
    std::vector<CFM5Item*> values;
    for (CFM5Item* item : engine.GetFieldItems()) {
      if (item->m_nRecord != 0) values.push_back(item);
    }
    return values;
  }

  TempDir dir;
  CFileConnector source;
  CFM5 engine;
};

TEST(Fp5BlockCursor, NeverReadsOrMovesOutsideTheBuffer) {
  const uint8_t buffer[20] = {0, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0, 0, 0,
                              0, 0, 0, 0, 0,    0,    0,    0, 0, 0x77};
  Fp5BlockCursor at(buffer, sizeof buffer, 4, 1);
  EXPECT_EQ(at.End(), 16);
  EXPECT_EQ(at.Peek(-1), 0xAA);
  EXPECT_EQ(at.Peek(-2), 0);  // before the data area
  EXPECT_EQ(at.Peek(14), 0x77);
  EXPECT_EQ(at.Peek(15), 0);  // past the buffer
  at.Advance(0xFFFFFFFF);
  EXPECT_EQ(at.Position(), 16);
  EXPECT_TRUE(at.AtEnd());
  at.MoveTo(0);
  at.StepBack();
  EXPECT_EQ(at.Position(), 0);

  EXPECT_EQ(at.CutBefore(1, 100, 5), 4);
  EXPECT_EQ(at.CutBefore(6, 100, 5), 0);
  uint8_t out[4] = {9, 9, 9, 9};
  at.MoveTo(14);
  at.Copy(1, 4, out);  // one byte inside, three outside
  EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{0x77, 0, 0, 0}));
}

TEST(Fp5BlockCursor, ReadsTheThreeIdForms) {
  const uint8_t buffer[] = {0x80, 0x05, 0x02};
  const Fp5BlockCursor at(buffer, sizeof buffer, 0, 0);
  EXPECT_EQ(at.Id(0xC1), 0x80);
  EXPECT_EQ(at.Id(0xC2), 133);
  EXPECT_EQ(at.Id(0xC3), 86 * 0x80 + 256 * 5 + 2);
  EXPECT_EQ(Fp5BlockCursor::IdWidth(0xC3), 3);
}

TEST(Fp5Page, IsRecognisedByAnOpeningDataAreaAndBothMarkers) {
  Bytes page(kPageSize, 0);
  page[14] = 0xC1;
  EXPECT_FALSE(CFM5::IsFp5Page(page));  // no closing marker
  page[1023] = 0xC0;
  EXPECT_TRUE(CFM5::IsFp5Page(page));
  page[14] = 0xC0;
  page[20] = 0xC1;
  EXPECT_FALSE(CFM5::IsFp5Page(page));  // the data area must open with 0xC1
  EXPECT_FALSE(CFM5::IsFp5Page(std::span(page).first(100)));
}

TEST(Fp5SkipBlock, CountsOnlyOpenersWithAKeyBelow0x80AndStopsAtThePageEnd) {
  // 0xC1 0x90 opens nothing, so its 0xC0 closes the block that SkipBlock started in.
  LoadedPage page({0x07, 0xC1, 0x02, 0x01, 0xC0, 0xC1, 0x90, 0xC0, 0xC0});
  page.engine.m_nLevel = 1;
  Fp5BlockCursor at = page.engine.CursorAt(0);
  page.engine.SkipBlock(at);
  EXPECT_EQ(at.Position(), 7);
  EXPECT_EQ(page.engine.m_nLevel, 0u);
  // An unclosed block: the walk rests at the page end; from past it, it only steps back.
  for (const uint16_t start : {uint16_t{10}, uint16_t{1010}, uint16_t{1011}, uint16_t{3000}}) {
    page.engine.m_nLevel = 1;
    at = page.engine.CursorAt(start);
    page.engine.SkipBlock(at);
    EXPECT_EQ(at.Position(), start <= 1011 ? 1010 : start - 1) << start;
    EXPECT_EQ(page.engine.m_nLevel, 1u);
  }
}

TEST(Fp5FindKey, SkipsOtherSubBlocksAndStopsAtTheBlockEnd) {
  LoadedPage page({0xC1, 0x03, 0xC1, 0x02, 0xC1, 0x05, 0xC0, 0xC0, 0xC1, 0x05, 0xC0, 0xC0});
  page.engine.m_nLevel = 1;
  Fp5BlockCursor at = page.engine.CursorAt(1);
  ASSERT_TRUE(page.engine.FindKey(5, at));
  EXPECT_EQ(at.Position(), 8);  // not the key 5 nested in the key 2 block

  at = page.engine.CursorAt(1);
  EXPECT_FALSE(page.engine.FindKey(9, at));
  EXPECT_EQ(at.Position(), 11);  // on the 0xC0 that closes the block
}

TEST(Fp5FindKey, SearchesOnlyBelowTheDataLengthLessTheHeaderSize) {
  for (const uint16_t keyAt : {uint16_t{996}, uint16_t{997}}) {
    Bytes area(kDataAreaSize, 0x01);
    area[keyAt] = 0xC1;
    area[keyAt + 1] = 0x09;
    LoadedPage page(area);
    Fp5BlockCursor at = page.engine.CursorAt(900);
    EXPECT_EQ(page.engine.FindKey(9, at), keyAt == 996) << keyAt;
  }
  LoadedPage shortPage({0x01, 0xC1, 0x09});
  shortPage.engine.m_nDataLength = 10;  // less than the header size: nothing to search
  Fp5BlockCursor at = shortPage.engine.CursorAt(0);
  EXPECT_FALSE(shortPage.engine.FindKey(9, at));
}

TEST_F(Fp5File, ReadsColumnTypesOfADefinitionBlock) {
  Walk(Fp5FileBuilder().AddPage(
      {0xC1, 0x03, 0xC1, 0x02, 0xC1, 0x05, 0x81, 0x01, 0x81, 0x02, 0xC0, 0xC0, 0xC0}));
  ASSERT_EQ(engine.GetColumnTypes().size(), 2u);
  EXPECT_EQ(engine.GetColumnType(1), 5);
  EXPECT_EQ(engine.GetColumnType(2), 5);
  EXPECT_EQ(engine.GetColumnType(3), CFM5::kDefaultColumnType);
  EXPECT_TRUE(engine.GetFieldItems().empty());
}

TEST_F(Fp5File, ReadsColumnDefinitionsOnceWithTheirTypes) {
  Fp5FileBuilder file;
  file.AddDefinitions({{4, {7}}, {2, {7}}, {6, {133}}},
                      {{7, "Name"}, {7, "Again"}, {133, "Wide id"}, {8, std::string("\0x", 2)}})
      .AddDefinitions({}, {{7, "Later"}, {9, "Note"}});
  Walk(file);
  const std::vector<CFM5Item*> items = engine.GetFieldItems();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0]->m_nRecord, 0);
  EXPECT_EQ(items[0]->m_nColumn, 7);
  EXPECT_EQ(items[0]->m_nType, 4);  // the first type entry for the column
  EXPECT_EQ(Text(items[0]), "Name");
  EXPECT_EQ(items[1]->m_nColumn, 133);
  EXPECT_EQ(items[1]->m_nType, 6);
  EXPECT_EQ(Text(items[1]), "Wide id");
  // The first definition page moves the engine on to the second, which the same ParsePage scans.
  EXPECT_EQ(items[2]->m_nColumn, 9);
}

TEST_F(Fp5File, ReadsRecordsOnlyOnceAColumnIsKnown) {
  const Fp5Record record{Fp5Id::Auto(1), {Fp5Field::Value(2, "abc")}};
  Fp5FileBuilder file;
  file.AddRecords({record}).AddDefinitions({}, {{2, "B"}}).AddRecords({record, record});
  Walk(file);
  EXPECT_EQ(engine.m_nDataPages, 1u);
  ASSERT_EQ(Values().size(), 2u);
  EXPECT_EQ(Values()[0]->m_nColumn, 2);  // selector 0x42
  EXPECT_EQ(Values()[0]->m_nType, 0);
  EXPECT_EQ(Text(Values()[0]), "abc");
}

TEST(Fp5ReadFields, EndOnTheirStopBytes) {
  struct Case {
    Bytes fields;
    std::vector<std::string> values;
  };
  const std::vector<Case> cases = {
      {{0x41, 1, 'a', 0x40, 1, 'b'}, {"a"}},                       // selector 0x40 or below
      {{0x41, 1, 'a', 0x42, 1, 0x00}, {"a"}},                      // the byte two ahead is 0
      {{0x41, 0, 0x42, 1, 'b'}, {"", "b"}},                        // an empty value in the middle
      {{0x41, 3, 0xC3, 'x', 'y', 0xC0, 1, 'z'}, {"\xC3xy", "z"}},  // 0xC0 three behind a 0xC3
  };
  for (const Case& c : cases) {
    Bytes area = {0xC1, 0x05, 0xC1, 0x01};
    area.insert(area.end(), c.fields.begin(), c.fields.end());
    area.insert(area.end(), {0xC0, 0xC0});
    LoadedPage page(area);
    page.engine.m_nLevel = 1;
    Fp5BlockCursor at = page.engine.CursorAt(1);
    page.engine.ReadDataOfPage(at);
    std::vector<std::string> values;
    for (CFM5Item* item : page.engine.GetFieldItems()) values.push_back(Text(item));
    EXPECT_EQ(values, c.values);
  }
}

TEST(Fp5ReadLongData, TestsTheFirstPieceOnItsSelectorAndLaterOnesOnTheirMarker) {
  // First piece: 0xFF skipped, the tests see selector 0x41 whose byte two ahead (the low length
  // byte) is 0, so a first wide piece of 512 bytes ends the pieces at once.
  LoadedPage first({0xC1, 0x03, 0xFF, 0x41, 0x02, 0x00, 'x'});
  Fp5BlockCursor at = first.engine.CursorAt(0);
  first.engine.ReadLongData(1, at);
  EXPECT_TRUE(first.engine.GetLongTextPieces().empty());
  // A later wide piece: the tests see 0xFF whose byte two ahead is the high length byte.
  Bytes area = {0xC1, 0x03, 0x41, 0x01, 'a', 0xFF, 0x42, 0x02, 0x00};
  area.resize(area.size() + 512, 'b');
  area.push_back(0xC0);
  LoadedPage later(area);
  at = later.engine.CursorAt(0);
  later.engine.ReadLongData(1, at);
  ASSERT_EQ(later.engine.GetLongTextPieces().size(), 2u);
  EXPECT_EQ(later.engine.GetLongTextPieces()[1]->m_nLength, 512);
  EXPECT_EQ(at.Position(), area.size());
}

// A name, a value and a long-text piece that claim more bytes than the page has left.
TEST(Fp5Readers, CutTextsAtThePageEnd) {
  auto atPageEnd = [](const Bytes& head) {
    Bytes area(kDataAreaSize, 'v');
    std::copy(head.begin(), head.end(), area.end() - 100);
    return std::make_unique<LoadedPage>(area);
  };
  auto name = atPageEnd({0xC1, 0x05, 0xC1, 0x03, 'A', 0xFF});
  Fp5BlockCursor at = name->engine.CursorAt(kDataAreaSize - 100);
  name->engine.ReadColumns(at);
  ASSERT_EQ(name->engine.GetFieldItems().size(), 1u);
  EXPECT_EQ(Text(name->engine.GetFieldItems()[0]), std::string(94, 'v'));
  EXPECT_EQ(name->engine.m_nCurrentPage, CFM5::kFirstPage + 1);  // moved on after the columns
  EXPECT_EQ(at.Position(), 0);

  auto value = atPageEnd({0xC1, 0x05, 0xC1, 0x01, 0x41, 0xFF});
  value->engine.m_nLevel = 1;
  at = value->engine.CursorAt(kDataAreaSize - 99);
  value->engine.ReadDataOfPage(at);
  ASSERT_EQ(value->engine.GetFieldItems().size(), 1u);
  EXPECT_EQ(Text(value->engine.GetFieldItems()[0]), std::string(94, 'v'));

  auto piece = atPageEnd({0xC1, 0x03, 0xFF, 0x41, 0x7F, 0xFF});
  at = piece->engine.CursorAt(kDataAreaSize - 100);
  piece->engine.ReadLongData(4, at);
  ASSERT_EQ(piece->engine.GetLongTextPieces().size(), 1u);
  EXPECT_EQ(Text(piece->engine.GetLongTextPieces()[0]), std::string(94, 'v'));
}

TEST_F(Fp5File, LeavesTheLevelOfAnUnclosedBlockUntilTheNextPage) {
  Fp5FileBuilder file;
  file.AddDefinitions({}, {{1, "A"}}).AddPage({0xC1, 0x05, 0xC1, 0x01, 0x41, 0x01, 'x'});
  file.WriteTo(dir / "db.fp5");
  ASSERT_EQ(source.OpenSource(Utf16(dir / "db.fp5").c_str()), 0);
  ASSERT_TRUE(engine.Connect(&source));
  ASSERT_TRUE(engine.ReadPage());
  engine.ParsePage();  // the definitions, then the unclosed record block on the next page
  EXPECT_NE(engine.m_nLevel, 0u);
  engine.NextPage();
  engine.ReadPage();
  EXPECT_EQ(engine.m_nLevel, 0u);
  EXPECT_EQ(Values().size(), 1u);
}

TEST_F(Fp5File, WritesItsLogLines) {
  const std::filesystem::path logPath = dir / "scan.log";
  g_Log.Open(logPath.string().c_str(), true);
  Fp5FileBuilder file;
  file.AddDefinitions({{2, {1}}}, {{1, "Name"}, {2, "Memo"}})
      .AddRecords({{Fp5Id::Auto(1), {Fp5Field::Value(1, "Ann"), Fp5Field::LongText(2, {"x"})}}});
  Walk(file);
  g_Log.Close();

  // The log's lines without its "[hh:mm:ss]" stamp lines.
  std::vector<std::string> lines;
  std::istringstream log(ReadFileText(logPath));
  for (std::string line; std::getline(log, line);) {
    if (line.size() != 10 || line.front() != '[' || line[3] != ':') lines.push_back(line);
  }
  const std::vector<std::string> expected = {
      "Columns types found on Page 4",
      "[COLTYPES] col = 1, type = 2",
      "Columns found on Page 4",
      "-----------Columns-----------",
      "Col \xB9 1: Name",
      "Col \xB9 2: Memo",
      "-----------ColumnsEnd-----------",
      "Data found",
      "-----------DataOfPage 5 -----------",
      "Row 1, Col 1 : ",
      "--------------------Long Data found--------------------",
      "--------------------Long Data end--------------------",
      "-----------DataOfPage 5 End-----------",
  };
  EXPECT_EQ(lines, expected);
}

TEST(Fp5Allocation, AFailedRecordIsSkippedAndTheScanGoesOn) {
  LoadedPage page({0xC1, 0x05, 0xC1, 0x01, 0x41, 1, 'a', 0x42, 1, 'b', 0xC0, 0xC1, 0x02, 0x43, 1,
                   'c', 0xC0, 0xC0});
  page.engine.m_nLevel = 1;
  Fp5BlockCursor at = page.engine.CursorAt(1);
  qrx::heap::ResetCounting(2);  // the first value's record succeeds, all later ones fail
  page.engine.ReadDataOfPage(at);
  qrx::heap::ResetCounting();
  ASSERT_EQ(page.engine.GetFieldItems().size(), 1u);
  EXPECT_EQ(Text(page.engine.GetFieldItems()[0]), "a");
  EXPECT_EQ(at.Position(), 18);  // both records were walked
}

TEST(Fp5RealFile, FindsColumnsAndData) {
  const std::filesystem::path path =
      std::filesystem::path(QRX_REAL_SAMPLES_DIR) / "fp5" / "CAKUNITS.FP5";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "no real fp5 sample at " << path;
  CFileConnector source;
  ASSERT_EQ(source.OpenSource(Utf16(path).c_str()), 0);
  CFM5 engine;
  ASSERT_TRUE(engine.Connect(&source));
  while (!engine.IsEndOfFile()) {
    engine.ReadPage();
    engine.ParsePage();
    engine.NextPage();
  }
  size_t columns = 0;
  for (const CFM5Item* item : engine.GetFieldItems()) columns += item->m_nRecord == 0;
  EXPECT_GT(columns, 0u);
  EXPECT_GT(engine.GetFieldItems().size(), columns);
  EXPECT_GT(engine.m_nDataPages, 0u);
}

}  // namespace
