#include "engine/fp5_engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "diag/log.h"
#include "platform/heap.h"
#include "support/fp5_builder.h"
#include "support/temp_dir.h"

using namespace fp5build;
using Texts = std::vector<std::string>;

namespace {

// The texts of the engine's items, or of its long-text pieces.
template <class List>
Texts TextsOf(const List& list) {
  Texts texts;
  for (const auto* record : list) texts.emplace_back(record->m_szText);
  return texts;
}

// An engine with one page's data area put straight into its buffer, for the block readers; `level`
// is the nesting the readers start in.
struct LoadedPage {
  explicit LoadedPage(const Bytes& area, uint32_t level = 0) {
    std::memcpy(engine.m_pPage + CFM5::kHeaderSize, area.data(), area.size());
    engine.m_nDataLength = kDataAreaSize;
    engine.m_nLevel = level;
  }
  CFM5 engine;
};

TEST(Fp5BlockCursor, NeverReadsOrMovesOutsideTheBufferAndReadsTheIdForms) {
  uint8_t buffer[20] = {0, 0, 0, 0x55, 0xAA, 0x80, 0x05, 0x02};
  buffer[19] = 0x77;
  Fp5BlockCursor at(buffer, sizeof buffer, 4, 1);
  EXPECT_EQ(at.Id(0xC1), 0x80);
  EXPECT_EQ(at.Id(0xC2), 133);
  EXPECT_EQ(at.Id(0xC3), 86 * 0x80 + 256 * 5 + 2);
  EXPECT_EQ(at.End(), 16);
  EXPECT_EQ(at.Peek(-1), 0xAA);
  EXPECT_EQ(at.Peek(-2), 0);  // the header is not the data area
  EXPECT_EQ(at.Peek(14), 0x77);
  EXPECT_EQ(at.Peek(15), 0);  // past the buffer
  at.Advance(0xFFFFFFFF);
  EXPECT_EQ(at.Position(), 16);
  EXPECT_EQ(at.CutBefore(0, 100, 5), 0);  // nothing lies before a limit behind the position
  uint8_t out[4] = {9, 9, 9, 9};
  at.MoveTo(14);
  at.Copy(1, 4, out);  // one byte inside, three outside
  EXPECT_EQ(Bytes(out, out + 4), (Bytes{0x77, 0, 0, 0}));
}

TEST(Fp5Page, IsRecognisedByAnOpeningDataAreaAndBothMarkers) {
  Bytes page(kPageSize, 0);
  page[14] = 0xC1;
  EXPECT_FALSE(CFM5::IsFp5Page(page));  // no closing marker
  page[1023] = 0xC0;
  EXPECT_TRUE(CFM5::IsFp5Page(page));
  EXPECT_FALSE(CFM5::IsFp5Page(std::span(page).first(100)));
  page[14] = 0xC0;
  page[20] = 0xC1;
  EXPECT_FALSE(CFM5::IsFp5Page(page));  // the data area must open with 0xC1
}

TEST(Fp5SkipBlock, CountsOnlyOpenersWithAKeyBelow0x80AndStopsAtThePageEnd) {
  // 0xC1 0x90 opens nothing, so its 0xC0 closes the block that SkipBlock started in.
  LoadedPage page({0x07, 0xC1, 0x02, 0x01, 0xC0, 0xC1, 0x90, 0xC0, 0xC0}, 1);
  Fp5BlockCursor at = page.engine.CursorAt(0);
  page.engine.SkipBlock(at);
  EXPECT_EQ(at.Position(), 7);
  EXPECT_EQ(page.engine.m_nLevel, 0u);
  // An unclosed block: the walk rests at the page end; from past it, it only steps back.
  for (const uint16_t start : {10, 1010, 1011, 3000}) {
    page.engine.m_nLevel = 1;
    at = page.engine.CursorAt(start);
    page.engine.SkipBlock(at);
    EXPECT_EQ(at.Position(), start <= 1011 ? 1010 : start - 1) << start;
    EXPECT_EQ(page.engine.m_nLevel, 1u);
  }
}

TEST(Fp5FindKey, SkipsOtherSubBlocksAndStopsAtTheBlockOrSearchEnd) {
  LoadedPage page({0xC1, 0x03, 0xC1, 0x02, 0xC1, 0x05, 0xC0, 0xC0, 0xC1, 0x05, 0xC0, 0xC0}, 1);
  Fp5BlockCursor at = page.engine.CursorAt(1);
  ASSERT_TRUE(page.engine.FindKey(5, at));
  EXPECT_EQ(at.Position(), 8);  // not the key 5 nested in the key 2 block
  at = page.engine.CursorAt(1);
  EXPECT_FALSE(page.engine.FindKey(9, at));
  EXPECT_EQ(at.Position(), 11);  // on the 0xC0 that closes the block
  // The search ends at the data length less the header size.
  for (const uint16_t keyAt : {996, 997}) {
    Bytes area(kDataAreaSize, 0x01);
    area[keyAt] = 0xC1;
    area[keyAt + 1] = 0x09;
    LoadedPage atEnd(area);
    at = atEnd.engine.CursorAt(900);
    EXPECT_EQ(atEnd.engine.FindKey(9, at), keyAt == 996) << keyAt;
  }
  LoadedPage shortPage({0x01, 0xC1, 0x09});
  shortPage.engine.m_nDataLength = 10;  // less than the header size: nothing to search
  at = shortPage.engine.CursorAt(0);
  EXPECT_FALSE(shortPage.engine.FindKey(9, at));
}

TEST(Fp5ReadFields, EndOnTheirStopBytes) {
  const std::vector<std::pair<Bytes, Texts>> cases = {
      {{0x41, 1, 'a', 0x40, 1, 'b'}, {"a"}},                       // selector 0x40 or below
      {{0x41, 1, 'a', 0x42, 1, 0x00}, {"a"}},                      // the byte two ahead is 0
      {{0x41, 0, 0x42, 1, 'b'}, {"", "b"}},                        // an empty value in the middle
      {{0x41, 3, 0xC3, 'x', 'y', 0xC0, 1, 'z'}, {"\xC3xy", "z"}},  // 0xC0 three behind a 0xC3
  };
  for (const auto& [fields, values] : cases) {
    Bytes area = {0xC1, 0x05, 0xC1, 0x01};
    area.insert(area.end(), fields.begin(), fields.end());
    area.insert(area.end(), {0xC0, 0xC0});
    LoadedPage page(area, 1);
    Fp5BlockCursor at = page.engine.CursorAt(1);
    page.engine.ReadDataOfPage(at);
    EXPECT_EQ(TextsOf(page.engine.GetFieldItems()), values);
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
  EXPECT_EQ(TextsOf(later.engine.GetLongTextPieces()), (Texts{"a", std::string(512, 'b')}));
  EXPECT_EQ(at.Position(), area.size());
}

// A name, a value and a long-text piece that claim more bytes than the page has left.
TEST(Fp5Readers, CutTextsAtThePageEnd) {
  const Bytes heads[] = {{0xC1, 0x05, 0xC1, 0x03, 'A', 0xFF},
                         {0xC1, 0x05, 0xC1, 0x01, 0x41, 0xFF},
                         {0xC1, 0x03, 0xFF, 0x41, 0x7F, 0xFF}};
  for (int reader = 0; reader < 3; ++reader) {
    Bytes area(kDataAreaSize, 'v');
    std::copy(heads[reader].begin(), heads[reader].end(), area.end() - 100);
    LoadedPage page(area, reader == 1 ? 1 : 0);
    Fp5BlockCursor at = page.engine.CursorAt(kDataAreaSize - (reader == 1 ? 99 : 100));
    if (reader == 0) page.engine.ReadColumns(at);
    if (reader == 1) page.engine.ReadDataOfPage(at);
    if (reader == 2) page.engine.ReadLongData(4, at);
    EXPECT_EQ(reader == 2 ? TextsOf(page.engine.GetLongTextPieces())
                          : TextsOf(page.engine.GetFieldItems()),
              Texts{std::string(94, 'v')})
        << reader;
  }
}

TEST(Fp5ReadColumnTypes, TheFirstTypeCountsAndALongListIsNotLoggedOverAndOver) {
  TempDir dir;
  g_Log.Open((dir / "qrx.log").string().c_str(), true);
  std::vector<uint8_t> columns;
  for (int c = 0; c < 300; ++c) columns.push_back(static_cast<uint8_t>(c % 250 + 1));
  LoadedPage page(ColumnTypeBlock({{7, columns}}));
  for (int block = 0; block < 4; ++block) {
    page.engine.m_nLevel = 1;
    Fp5BlockCursor at = page.engine.CursorAt(0);
    page.engine.ReadColumnTypes(at);
    page.engine.m_pPage[CFM5::kHeaderSize + 3] = 9;  // later blocks give the columns type 9
  }
  g_Log.Close();
  EXPECT_EQ(page.engine.GetColumnTypes().size(), 1200u);
  EXPECT_EQ(page.engine.GetColumnType(1), 7);
  EXPECT_EQ(page.engine.GetColumnType(251), CFM5::kDefaultColumnType);
  // The whole list after each of the first three blocks, only its own entries after the fourth.
  const std::string log = ReadFileText(dir / "qrx.log");
  size_t lines = 0;
  for (size_t at = log.find("[COLTYPES] col"); at != std::string::npos;
       at = log.find("[COLTYPES] col", at + 1)) {
    ++lines;
  }
  EXPECT_EQ(lines, 300u + 600 + 900 + 300);
  EXPECT_NE(log.find("[COLTYPES] 900 earlier entries not repeated"), std::string::npos);
}

TEST(Fp5Allocation, AFailedRecordIsSkippedAndTheScanGoesOn) {
  LoadedPage page({0xC1, 0x05, 0xC1, 0x01, 0x41, 1, 'a', 0x42, 1, 'b', 0xC0, 0xC1, 0x02, 0x43, 1,
                   'c', 0xC0, 0xC0},
                  1);
  Fp5BlockCursor at = page.engine.CursorAt(1);
  qrx::heap::ResetCounting(2);  // the first value's record succeeds, all later ones fail
  page.engine.ReadDataOfPage(at);
  qrx::heap::ResetCounting();
  EXPECT_EQ(TextsOf(page.engine.GetFieldItems()), Texts{"a"});
  EXPECT_EQ(at.Position(), 18);  // both records were walked
}

}  // namespace
